#include "ui/help/f1_help.h"

#include "ui/dialogs/control_names.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QKeyEvent>

namespace tw::ui {

QAbstractButton* FindHelpButton(QWidget* dialog) {
    if (!dialog)
        return nullptr;
    const auto buttons = dialog->findChildren<QAbstractButton*>();
    for (QAbstractButton* button : buttons) {
        if (button->window() != dialog || !button->isVisibleTo(dialog) || !button->isEnabled())
            continue;
        if (button->objectName() == QStringLiteral("helpButton") ||
            VisibleText(button->text()) == QStringLiteral("Help"))
            return button;
    }
    return nullptr;
}

bool F1HelpFilter::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress)
        return QObject::eventFilter(watched, event);
    const auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() != Qt::Key_F1 || key->modifiers() != Qt::NoModifier)
        return QObject::eventFilter(watched, event);
    QWidget* dialog = QApplication::activeModalWidget();
    if (!dialog)
        dialog = qobject_cast<QDialog*>(QApplication::activeWindow());
    if (QAbstractButton* help = FindHelpButton(dialog)) {
        help->click();
        return true;
    }
    return QObject::eventFilter(watched, event);
}

} // namespace tw::ui
