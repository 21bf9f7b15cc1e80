#pragma once

#include <QByteArray>

#include <optional>

namespace tw::platform {

// The scrypt parameters of a vault: N = 2^logN, block size r, parallelism p, and its salt
// (16 random bytes for a new vault).
struct VaultKdf {
    int logN = 17;
    int r = 8;
    int p = 1;
    QByteArray salt;
};

// The 32-byte key scrypt derives from `password`; nullopt when OpenSSL refuses the parameters
// (logN outside 1..30, r or p below 1, more memory than 1 GiB).
std::optional<QByteArray> DeriveVaultKey(const QByteArray& password, const VaultKdf& kdf);

// AES-256-GCM with a 32-byte key. A sealed value is nonce (12 bytes) | ciphertext | tag (16
// bytes); `aad` is authenticated but not stored. Empty results mean a wrong key or nonce size.
QByteArray SealWithNonce(const QByteArray& key, const QByteArray& nonce12, const QByteArray& plain,
                         const QByteArray& aad);
// The same with a fresh random nonce.
QByteArray Seal(const QByteArray& key, const QByteArray& plain, const QByteArray& aad);
// The plain text of a sealed value; nullopt when it is too short or fails authentication
// (another key, another aad, changed bytes).
std::optional<QByteArray> OpenSealed(const QByteArray& key, const QByteArray& sealed,
                                     const QByteArray& aad);

// `count` bytes from OpenSSL's random generator (empty if it fails).
QByteArray RandomBytes(int count);
// Overwrites the bytes of `data` (detaching it first) and empties it.
void WipeBytes(QByteArray& data);

} // namespace tw::platform
