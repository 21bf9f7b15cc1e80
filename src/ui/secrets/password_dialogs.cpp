#include "ui/secrets/password_dialogs.h"

#include "ui/dialogs/dialog_placement.h"
#include "ui/secrets/choice_dialogs.h"
#include "ui/secrets/entry_dialogs.h"

#include <QLineEdit>

namespace tw::ui {

namespace {

// Runs `dialog` modally over the middle of `owner`.
int runOver(QDialog& dialog, QWidget* owner) {
    dialog.adjustSize();
    CenterWindowOnMonitor(&dialog, owner ? owner->window() : nullptr);
    return dialog.exec();
}

} // namespace

StoreFallback PasswordDialogs::chooseFallback(QWidget* owner, const StoreFallbackRequest& request) {
    StoreFallbackDialog dialog(request, owner);
    runOver(dialog, owner);
    return dialog.answer();
}

std::optional<QString> PasswordDialogs::askMasterPassword(QWidget* owner,
                                                          const MasterPasswordRequest& request) {
    MasterPasswordDialog dialog(request, owner);
    const bool ok = runOver(dialog, owner) == QDialog::Accepted;
    std::optional<QString> password;
    if (ok && (request.mode == MasterPasswordRequest::Mode::Unlock ||
               MasterPasswordDialog::Acceptable(dialog.password(), dialog.repeatEdit()->text())))
        password = dialog.password();
    dialog.clearFields();
    return password;
}

std::optional<PasswordAnswer> PasswordDialogs::askPassword(QWidget* owner,
                                                           const PasswordRequest& request) {
    PasswordDialog dialog(request, owner);
    std::optional<PasswordAnswer> answer;
    if (runOver(dialog, owner) == QDialog::Accepted)
        answer = dialog.answer();
    dialog.clearFields();
    return answer;
}

ExportPasswordsAnswer PasswordDialogs::askExportPasswords(QWidget* owner, int count) {
    ExportPasswordsDialog dialog(count, owner);
    runOver(dialog, owner);
    return dialog.answer();
}

} // namespace tw::ui
