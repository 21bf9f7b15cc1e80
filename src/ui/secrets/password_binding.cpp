#include "ui/secrets/password_binding.h"

#include "platform/secrets/keyring_secrets.h"
#include "platform/secrets/vault_secrets.h"
#include "ui/secrets/password_dialogs.h"

#include <QMetaObject>
#include <QThread>
#include <QWidget>

namespace tw::ui {

PasswordBinding::PasswordBinding(QWidget* window, AppState& state, const Messages& messages,
                                 const QString& settingsFile, std::function<void()> save)
    : m_window(window), m_keyring(std::make_unique<platform::KeyringSecrets>()),
      m_vault(
          std::make_unique<platform::VaultSecrets>(PasswordKeeper::VaultPathFor(settingsFile))) {
    m_keeper = std::make_unique<PasswordKeeper>(state, messages, *this, *m_keyring, *m_vault,
                                                std::move(save));
    m_keeper->setCancel([keyring = m_keyring.get()] { keyring->cancelAll(); });
}

PasswordBinding::~PasswordBinding() {
    m_keeper.reset(); // joins its worker before the stores go
}

// `refused` is the answer when the question cannot be put (the window is going).
template <typename Result, typename Call>
Result PasswordBinding::onUiThread(Call call, Result refused) {
    if (QThread::currentThread() == thread())
        return call();
    Result result = refused;
    if (!QMetaObject::invokeMethod(this, call, Qt::BlockingQueuedConnection, &result))
        return refused;
    return result;
}

StoreFallback PasswordBinding::chooseFallback(const StoreFallbackRequest& request) {
    return onUiThread<StoreFallback>(
        [this, &request] { return PasswordDialogs::chooseFallback(m_window, request); },
        StoreFallback::Cancel);
}

std::optional<QString> PasswordBinding::askMasterPassword(const MasterPasswordRequest& request) {
    return onUiThread<std::optional<QString>>(
        [this, &request] { return PasswordDialogs::askMasterPassword(m_window, request); },
        std::optional<QString>());
}

std::optional<PasswordAnswer> PasswordBinding::askPassword(const PasswordRequest& request) {
    return onUiThread<std::optional<PasswordAnswer>>(
        [this, &request] { return PasswordDialogs::askPassword(m_window, request); },
        std::optional<PasswordAnswer>());
}

ExportPasswordsAnswer PasswordBinding::askExportPasswords(int count) {
    return onUiThread<ExportPasswordsAnswer>(
        [this, count] { return PasswordDialogs::askExportPasswords(m_window, count); },
        ExportPasswordsAnswer::Cancel);
}

} // namespace tw::ui
