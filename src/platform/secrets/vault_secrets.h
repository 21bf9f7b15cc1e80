#pragma once

#include "platform/secrets/secret_backend.h"
#include "platform/secrets/vault_crypto.h"

#include <QByteArray>
#include <QJsonObject>
#include <QString>
#include <QStringList>

#include <mutex>
#include <optional>

namespace tw::platform {

// The password store of a desktop without a keyring: one JSON file holding the scrypt
// parameters and salt, a verifier sealed with the derived key (a wrong master password is told
// from a damaged entry by it), and per id the item's plain fields and its secret sealed with
// AES-256-GCM, the id being the authenticated data (a value moved to another entry does not
// open). The file is written atomically, readable by its owner only. Parameters read from a
// file are bounded, so a hostile file costs neither gigabytes nor minutes; a malformed file or
// entry reads as Damaged.
//
//   VaultSecrets vault(path);
//   if (!vault.exists()) vault.create(master);          // on a worker: derives the key
//   else if (vault.unlock(master) != UnlockResult::Ok) ...
//   vault.store(item, password); vault.lookup(item.id);
class VaultSecrets final : public SecretBackend {
public:
    // `newVaultCost` gives the scrypt cost of vaults this object creates or re-keys (its salt is
    // ignored: each gets a fresh one); tests use a small logN.
    explicit VaultSecrets(QString filePath, VaultKdf newVaultCost = {});
    ~VaultSecrets() override;
    VaultSecrets(const VaultSecrets&) = delete;
    VaultSecrets& operator=(const VaultSecrets&) = delete;

    const QString& filePath() const { return m_path; }
    bool exists() const;
    bool isUnlocked() const;

    enum class UnlockResult { Ok, WrongPassword, Damaged, Missing };
    // Reads the file and derives its key (slow by design: ~0.3 s at logN 17; workers only).
    UnlockResult unlock(const QString& masterPassword);
    // Writes a new empty vault and leaves it unlocked; refuses when the file exists.
    SecretOutcome create(const QString& masterPassword);
    // Re-seals every entry under a key from the new password and a new salt, in one atomic
    // write; the vault must be unlocked. Entries already damaged are kept as they are.
    SecretOutcome changeMasterPassword(const QString& newMasterPassword);
    // Forgets the key (wiped) and the entries held in memory.
    void lock();
    // The ids of the file's entries, sorted; ids are not secret, so no unlock is needed.
    QStringList ids() const;

    // probe: Unavailable without a file, Locked until unlocked, then Ok. lookup, store and
    // remove need the vault unlocked (Locked otherwise).
    SecretOutcome probe() override;
    SecretLookup lookup(const QString& id) override;
    SecretOutcome store(const SecretItem& item, const QString& secret) override;
    SecretOutcome remove(const QString& id) override;

private:
    SecretOutcome writeLocked(const QJsonObject& entries, const VaultKdf& kdf,
                              const QByteArray& verifier) const;
    void forgetLocked();

    QString m_path;
    VaultKdf m_newCost;
    mutable std::mutex m_mutex;
    // Set while unlocked.
    std::optional<QByteArray> m_key;
    VaultKdf m_kdf;
    QByteArray m_verifier;
    QJsonObject m_entries;
};

} // namespace tw::platform
