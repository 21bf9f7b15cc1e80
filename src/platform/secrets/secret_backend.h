#pragma once

#include <QString>

namespace tw::platform {

// How a call to a password store ended.
enum class SecretStatus {
    Ok,
    NotFound,    // the store works but holds no such secret
    Unavailable, // no Secret Service on the bus, no session bus, or no vault file
    Locked,  // the keyring stayed locked (prompt dismissed or impossible), or the vault is locked
    Damaged, // the stored value cannot be read back (vault: authentication failed, malformed)
    Failed,  // anything else; the detail says what
};

struct SecretOutcome {
    SecretStatus status = SecretStatus::Ok;
    QString detail; // the service's or library's own message, for the log and message boxes
    bool ok() const { return status == SecretStatus::Ok; }
};

struct SecretLookup {
    SecretOutcome outcome;
    QString secret; // set when outcome.ok()
};

// What a secret belongs to. `id` is the stable key (an account's UUID, or "passphrase:" and a
// key file's path); the other fields are shown by keyring managers (Seahorse, KeePassXC) so that
// users can tell the items apart.
struct SecretItem {
    QString id;
    QString kind;  // "password" or "passphrase"
    QString label; // "Tarnwick 2000: alice@ftp.example.com"
    QString host;
    QString user;
    QString protocol; // "ftp", "sftp"
    QString keyFile;  // passphrases
};

// A place to keep passwords. Every call blocks: call it from a worker thread, never the UI
// thread. Calls from several threads at once are allowed.
class SecretBackend {
public:
    virtual ~SecretBackend() = default;
    // Whether the store can be used now.
    virtual SecretOutcome probe() = 0;
    virtual SecretLookup lookup(const QString& id) = 0;
    // Keeps `secret` for item.id, replacing what was kept for it.
    virtual SecretOutcome store(const SecretItem& item, const QString& secret) = 0;
    // Forgets the secret of `id`; Ok when there was none.
    virtual SecretOutcome remove(const QString& id) = 0;
};

} // namespace tw::platform
