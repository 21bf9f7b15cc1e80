#include "platform/secrets/vault_crypto.h"

#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/rand.h>

#include <cstdint>
#include <memory>

namespace tw::platform {

namespace {

constexpr int kKeySize = 32;
constexpr int kNonceSize = 12;
constexpr int kTagSize = 16;
constexpr std::uint64_t kMaxScryptMemory = std::uint64_t{1} << 30;
// Far above any password; keeps every length within OpenSSL's int.
constexpr qsizetype kMaxSealedSize = qsizetype{16} << 20;

struct CipherContextFree {
    void operator()(EVP_CIPHER_CTX* c) const { EVP_CIPHER_CTX_free(c); }
};
using CipherContext = std::unique_ptr<EVP_CIPHER_CTX, CipherContextFree>;

const unsigned char* Bytes(const QByteArray& a) {
    return reinterpret_cast<const unsigned char*>(a.constData());
}

} // namespace

std::optional<QByteArray> DeriveVaultKey(const QByteArray& password, const VaultKdf& kdf) {
    if (kdf.logN < 1 || kdf.logN > 30 || kdf.r < 1 || kdf.p < 1)
        return std::nullopt;
    QByteArray key(kKeySize, '\0');
    const std::uint64_t n = std::uint64_t{1} << kdf.logN;
    const int done =
        EVP_PBE_scrypt(password.constData(), static_cast<size_t>(password.size()), Bytes(kdf.salt),
                       static_cast<size_t>(kdf.salt.size()), n, static_cast<std::uint64_t>(kdf.r),
                       static_cast<std::uint64_t>(kdf.p), kMaxScryptMemory,
                       reinterpret_cast<unsigned char*>(key.data()), kKeySize);
    if (done != 1) {
        WipeBytes(key);
        return std::nullopt;
    }
    return key;
}

QByteArray SealWithNonce(const QByteArray& key, const QByteArray& nonce12, const QByteArray& plain,
                         const QByteArray& aad) {
    if (key.size() != kKeySize || nonce12.size() != kNonceSize || plain.size() > kMaxSealedSize ||
        aad.size() > kMaxSealedSize)
        return {};
    CipherContext ctx(EVP_CIPHER_CTX_new());
    if (!ctx)
        return {};
    QByteArray out = nonce12;
    out.resize(kNonceSize + plain.size() + kTagSize);
    auto* cipher = reinterpret_cast<unsigned char*>(out.data()) + kNonceSize;
    int len = 0;
    int total = 0;
    if (EVP_EncryptInit_ex(ctx.get(), EVP_aes_256_gcm(), nullptr, nullptr, nullptr) != 1 ||
        EVP_CIPHER_CTX_ctrl(ctx.get(), EVP_CTRL_GCM_SET_IVLEN, kNonceSize, nullptr) != 1 ||
        EVP_EncryptInit_ex(ctx.get(), nullptr, nullptr, Bytes(key), Bytes(nonce12)) != 1)
        return {};
    if (!aad.isEmpty() &&
        EVP_EncryptUpdate(ctx.get(), nullptr, &len, Bytes(aad), static_cast<int>(aad.size())) != 1)
        return {};
    if (!plain.isEmpty()) {
        if (EVP_EncryptUpdate(ctx.get(), cipher, &len, Bytes(plain),
                              static_cast<int>(plain.size())) != 1)
            return {};
        total = len;
    }
    if (EVP_EncryptFinal_ex(ctx.get(), cipher + total, &len) != 1)
        return {};
    total += len;
    if (total != plain.size() ||
        EVP_CIPHER_CTX_ctrl(ctx.get(), EVP_CTRL_GCM_GET_TAG, kTagSize, cipher + total) != 1)
        return {};
    return out;
}

QByteArray Seal(const QByteArray& key, const QByteArray& plain, const QByteArray& aad) {
    const QByteArray nonce = RandomBytes(kNonceSize);
    if (nonce.isEmpty())
        return {};
    return SealWithNonce(key, nonce, plain, aad);
}

std::optional<QByteArray> OpenSealed(const QByteArray& key, const QByteArray& sealed,
                                     const QByteArray& aad) {
    if (key.size() != kKeySize || sealed.size() < kNonceSize + kTagSize ||
        sealed.size() > kMaxSealedSize + kNonceSize + kTagSize || aad.size() > kMaxSealedSize)
        return std::nullopt;
    CipherContext ctx(EVP_CIPHER_CTX_new());
    if (!ctx)
        return std::nullopt;
    const qsizetype cipherSize = sealed.size() - kNonceSize - kTagSize;
    const unsigned char* nonce = Bytes(sealed);
    const unsigned char* cipher = nonce + kNonceSize;
    QByteArray tag = sealed.right(kTagSize);
    QByteArray plain(cipherSize, '\0');
    auto* out = reinterpret_cast<unsigned char*>(plain.data());
    int len = 0;
    int total = 0;
    bool good = EVP_DecryptInit_ex(ctx.get(), EVP_aes_256_gcm(), nullptr, nullptr, nullptr) == 1 &&
                EVP_CIPHER_CTX_ctrl(ctx.get(), EVP_CTRL_GCM_SET_IVLEN, kNonceSize, nullptr) == 1 &&
                EVP_DecryptInit_ex(ctx.get(), nullptr, nullptr, Bytes(key), nonce) == 1;
    if (good && !aad.isEmpty())
        good = EVP_DecryptUpdate(ctx.get(), nullptr, &len, Bytes(aad),
                                 static_cast<int>(aad.size())) == 1;
    if (good && cipherSize > 0) {
        good = EVP_DecryptUpdate(ctx.get(), out, &len, cipher, static_cast<int>(cipherSize)) == 1;
        total = len;
    }
    good = good && EVP_CIPHER_CTX_ctrl(ctx.get(), EVP_CTRL_GCM_SET_TAG, kTagSize, tag.data()) == 1;
    // The tag is checked here: nothing decrypted leaves the function unless it matches.
    good = good && EVP_DecryptFinal_ex(ctx.get(), out + total, &len) == 1;
    if (!good) {
        WipeBytes(plain);
        return std::nullopt;
    }
    return plain;
}

QByteArray RandomBytes(int count) {
    QByteArray out(count, '\0');
    if (RAND_bytes(reinterpret_cast<unsigned char*>(out.data()), count) != 1)
        return {};
    return out;
}

void WipeBytes(QByteArray& data) {
    if (!data.isEmpty())
        OPENSSL_cleanse(data.data(), static_cast<size_t>(data.size()));
    data.clear();
}

} // namespace tw::platform
