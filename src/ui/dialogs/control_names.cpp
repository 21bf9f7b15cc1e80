#include "ui/dialogs/control_names.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QGroupBox>
#include <QHash>
#include <QLabel>
#include <QWidget>

namespace tw::ui {

QString VisibleText(const QString& text) {
    QString shown;
    shown.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == u'&' && i + 1 < text.size())
            ++i;
        else if (text[i] == u'&')
            continue;
        shown += text[i];
    }
    return shown;
}

namespace {

void nameOne(QWidget* w, const QHash<QWidget*, QString>& buddyTexts) {
    QString name;
    if (auto* button = qobject_cast<QAbstractButton*>(w))
        name = VisibleText(button->text());
    else if (auto* label = qobject_cast<QLabel*>(w))
        name = label->buddy() ? VisibleText(label->text()) : label->text();
    else if (auto* group = qobject_cast<QGroupBox*>(w))
        name = VisibleText(group->title());
    if (name.isEmpty())
        name = buddyTexts.value(w);
    if (name.isEmpty())
        if (auto* list = qobject_cast<QComboBox*>(w))
            name = list->currentText();
    if (!name.isEmpty())
        w->setAccessibleName(name);
}

} // namespace

void NameControlsByText(QWidget* root) {
    if (!root)
        return;
    QHash<QWidget*, QString> buddyTexts;
    const QList<QLabel*> labels = root->findChildren<QLabel*>();
    for (QLabel* label : labels)
        if (QWidget* buddy = label->buddy(); buddy && !label->text().isEmpty())
            buddyTexts.insert(buddy, VisibleText(label->text()));
    nameOne(root, buddyTexts);
    const QList<QWidget*> children = root->findChildren<QWidget*>();
    for (QWidget* w : children)
        nameOne(w, buddyTexts);
}

} // namespace tw::ui
