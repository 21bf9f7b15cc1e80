#pragma once

#include "platform/secrets/secret_backend.h"

#include <memory>

namespace tw::platform {

// The desktop keyring over the Secret Service (libsecret, synchronous calls): items of the
// program's own schema "org.quellwork.Tarnwick2000.Secret" with the attributes id, kind, host,
// user, protocol and key-file (the empty ones left out), in the default collection. A locked
// collection is unlocked through the service, so the desktop shows its own prompt; the call
// waits for it. Calls blocked in such a prompt end when cancelAll() is called (shutdown).
class KeyringSecrets final : public SecretBackend {
public:
    static constexpr const char* kSchemaName = "org.quellwork.Tarnwick2000.Secret";

    KeyringSecrets();
    ~KeyringSecrets() override;
    KeyringSecrets(const KeyringSecrets&) = delete;
    KeyringSecrets& operator=(const KeyringSecrets&) = delete;

    // Ok when the service answers and its default collection is unlocked, Locked when that
    // collection is locked (a lookup or store would prompt), Unavailable without a service.
    SecretOutcome probe() override;
    SecretLookup lookup(const QString& id) override;
    SecretOutcome store(const SecretItem& item, const QString& secret) override;
    SecretOutcome remove(const QString& id) override;

    // Cancels the calls in progress on other threads; they end with Failed ("cancelled").
    void cancelAll();

private:
    struct Private;
    std::unique_ptr<Private> d;
};

} // namespace tw::platform
