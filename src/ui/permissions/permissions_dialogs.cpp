#include "ui/permissions/permissions_dialogs.h"

#include "ui/dialogs/control_names.h"
#include "ui/dialogs/dialog_placement.h"
#include "ui/dialogs/dialog_units.h"
#include "ui/permissions/permissions_dialog.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace tw::ui {

PermissionsDialogs::PermissionsDialogs(QWidget* owner) : m_owner(owner) {}

PermissionsDialogs::~PermissionsDialogs() {
    delete m_progress.data();
}

std::optional<PermissionsAnswer>
PermissionsDialogs::askPermissions(const PermissionsRequest& request) {
    PermissionsDialog dialog(request, m_owner);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.answer();
}

void PermissionsDialogs::openRunProgress(const QString& text, std::function<void()> stop) {
    closeRunProgress();
    m_stop = std::move(stop);
    {
        auto* window = new QDialog(m_owner);
        window->setAttribute(Qt::WA_DeleteOnClose);
        window->setFont(DialogUnits::dialogFont());
        SetDialogIcon(window, 1000);
        window->setWindowTitle(QStringLiteral(" Permissions"));
        const DialogUnits du(window->font());
        auto* label = new QLabel(window);
        label->setObjectName(QStringLiteral("progressText"));
        label->setTextFormat(Qt::PlainText);
        label->setMinimumWidth(du.x(220));
        auto* buttons = new QDialogButtonBox(window);
        auto* stopButton = buttons->addButton(QStringLiteral("Stop"), QDialogButtonBox::RejectRole);
        stopButton->setObjectName(QStringLiteral("stopButton"));
        // Stop, Escape and the close box all end the run; the window goes when it has ended.
        QObject::connect(window, &QDialog::rejected, window, [this] {
            if (m_stop)
                m_stop();
        });
        auto* layout = new QVBoxLayout(window);
        layout->setContentsMargins(du.x(7), du.y(7), du.x(7), du.y(7));
        layout->addWidget(label);
        layout->addWidget(buttons);
        QObject::connect(buttons, &QDialogButtonBox::rejected, window, &QDialog::reject);
        m_progress = window;
        m_progressText = label;
        window->setModal(false);
        window->show();
    }
    updateRunProgress(text);
}

void PermissionsDialogs::updateRunProgress(const QString& text) {
    if (!m_progress)
        return;
    m_progressText->setText(text);
    NameControlsByText(m_progress);
}

void PermissionsDialogs::closeRunProgress() {
    m_stop = nullptr;
    if (m_progress) {
        QDialog* window = m_progress;
        m_progress = nullptr;
        window->deleteLater();
    }
}

} // namespace tw::ui
