#include "ui/permissions/permissions_dialogs.h"

#include "ui/permissions/permissions_dialog.h"

#include <QDialog>

namespace tw::ui {

PermissionsDialogs::PermissionsDialogs(QWidget* owner) : m_owner(owner) {}

PermissionsDialogs::~PermissionsDialogs() = default;

std::optional<PermissionsAnswer>
PermissionsDialogs::askPermissions(const PermissionsRequest& request) {
    PermissionsDialog dialog(request, m_owner);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.answer();
}

void PermissionsDialogs::openRunProgress(const QString& text, std::function<void()> stop) {
    m_progress.open(m_owner, {QStringLiteral(" Permissions"), QStringLiteral("Stop"), 220, {}},
                    text, std::move(stop));
}

void PermissionsDialogs::updateRunProgress(const QString& text) {
    m_progress.update(text);
}

void PermissionsDialogs::closeRunProgress() {
    m_progress.close();
}

} // namespace tw::ui
