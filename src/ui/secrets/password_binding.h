#pragma once

#include "core/secrets/password_keeper.h"
#include "core/secrets/password_port.h"

#include <QObject>

#include <functional>
#include <memory>

class QWidget;

namespace tw {

class Messages;
struct AppState;

namespace platform {
class KeyringSecrets;
}

namespace ui {

// The window's password store: the desktop keyring, the master-password file beside the
// settings file, the keeper over both, and the port whose questions it asks (brought over to
// the UI thread from the keeper's worker and the connect worker, blocking them until answered).
class PasswordBinding final : public QObject, public PasswordPort {
    Q_OBJECT
public:
    PasswordBinding(QWidget* window, AppState& state, const Messages& messages,
                    const QString& settingsFile, std::function<void()> save);
    ~PasswordBinding() override;

    PasswordKeeper& keeper() { return *m_keeper; }

    StoreFallback chooseFallback(const StoreFallbackRequest& request) override;
    std::optional<QString> askMasterPassword(const MasterPasswordRequest& request) override;
    std::optional<PasswordAnswer> askPassword(const PasswordRequest& request) override;
    ExportPasswordsAnswer askExportPasswords(int count) override;

private:
    template <typename Result, typename Call>
    Result onUiThread(Call call, Result refused);

    QWidget* m_window;
    std::unique_ptr<platform::KeyringSecrets> m_keyring;
    std::unique_ptr<platform::VaultSecrets> m_vault;
    std::unique_ptr<PasswordKeeper> m_keeper;
};

} // namespace ui
} // namespace tw
