#pragma once

#include "core/secrets/password_port.h"

#include <optional>

class QWidget;

namespace tw::ui {

// The password store's questions (PasswordPort), one modal dialog each over `owner`, placed
// over the middle of the owner window. Call them on the UI thread only: the window's port
// methods bring a worker's question over before calling these.
class PasswordDialogs {
public:
    static StoreFallback chooseFallback(QWidget* owner, const StoreFallbackRequest& request);
    // Create returns the password only when both entries agreed (OK is off until they do).
    static std::optional<QString> askMasterPassword(QWidget* owner,
                                                    const MasterPasswordRequest& request);
    static std::optional<PasswordAnswer> askPassword(QWidget* owner,
                                                     const PasswordRequest& request);
    static ExportPasswordsAnswer askExportPasswords(QWidget* owner, int count);
};

} // namespace tw::ui
