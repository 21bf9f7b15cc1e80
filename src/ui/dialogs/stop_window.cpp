#include "ui/dialogs/stop_window.h"

#include "ui/dialogs/control_names.h"
#include "ui/dialogs/dialog_placement.h"
#include "ui/dialogs/dialog_units.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace tw::ui {

StopWindow::~StopWindow() {
    delete m_window.data();
}

void StopWindow::open(QWidget* owner, const Look& look, const QString& text,
                      std::function<void()> stop) {
    close();
    m_stop = std::move(stop);
    auto* window = new QDialog(owner);
    if (!look.objectName.isEmpty())
        window->setObjectName(look.objectName);
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->setFont(DialogUnits::dialogFont());
    SetDialogIcon(window, 1000);
    window->setWindowTitle(look.title);
    const DialogUnits du(window->font());
    auto* label = new QLabel(window);
    label->setObjectName(QStringLiteral("progressText"));
    label->setTextFormat(Qt::PlainText);
    label->setMinimumWidth(du.x(look.minimumWidthDu));
    auto* buttons = new QDialogButtonBox(window);
    auto* stopButton = buttons->addButton(look.stopText, QDialogButtonBox::RejectRole);
    stopButton->setObjectName(QStringLiteral("stopButton"));
    QObject::connect(window, &QDialog::rejected, window, [this] {
        if (m_stop)
            m_stop();
    });
    QObject::connect(buttons, &QDialogButtonBox::rejected, window, &QDialog::reject);
    auto* layout = new QVBoxLayout(window);
    layout->setContentsMargins(du.x(7), du.y(7), du.x(7), du.y(7));
    layout->addWidget(label);
    layout->addWidget(buttons);
    m_window = window;
    m_text = label;
    window->setModal(false);
    window->show();
    update(text);
}

void StopWindow::update(const QString& text) {
    if (!m_window)
        return;
    m_text->setText(text);
    NameControlsByText(m_window);
}

void StopWindow::close() {
    m_stop = nullptr;
    if (m_window) {
        QDialog* window = m_window;
        m_window = nullptr;
        window->deleteLater();
    }
}

} // namespace tw::ui
