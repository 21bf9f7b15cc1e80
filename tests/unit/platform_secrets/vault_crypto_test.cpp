#include "platform/secrets/vault_crypto.h"

#include <gtest/gtest.h>

#include <string>

namespace tw::platform {
namespace {

QByteArray Hex(const char* hex) {
    return QByteArray::fromHex(QByteArray(hex));
}

// RFC 7914, section 12. The vault takes the first 32 bytes of scrypt's output, which are the
// first 32 bytes of the published 64-byte results (PBKDF2 computes its output blocks apart).
TEST(VaultCrypto, ScryptMatchesRfc7914Vectors) {
    struct Case {
        const char* password;
        const char* salt;
        VaultKdf kdf;
        const char* expected;
    };
    const Case cases[] = {
        {"password",
         "NaCl",
         {10, 8, 16, {}},
         "fdbabe1c9d3472007856e7190d01e9fe7c6ad7cbc8237830e77376634b373162"},
        {"pleaseletmein",
         "SodiumChloride",
         {14, 8, 1, {}},
         "7023bdcb3afd7348461c06cd81fd38ebfda8fbba904f8e3ea9b543f6545da1f2"},
    };
    for (const Case& c : cases) {
        VaultKdf kdf = c.kdf;
        kdf.salt = c.salt;
        const auto key = DeriveVaultKey(c.password, kdf);
        ASSERT_TRUE(key.has_value()) << c.password;
        EXPECT_EQ(key->toHex(), QByteArray(c.expected)) << c.password;
    }
    // Parameters OpenSSL cannot take are refused, never a crash.
    for (const VaultKdf& bad :
         {VaultKdf{0, 8, 1, "salt"}, VaultKdf{31, 8, 1, "salt"}, VaultKdf{10, 0, 1, "salt"},
          VaultKdf{10, 8, 0, "salt"}, VaultKdf{24, 32, 1, "salt"}})
        EXPECT_FALSE(DeriveVaultKey("password", bad).has_value()) << bad.logN << " " << bad.r;
}

// The AES-256 cases of McGrew and Viega, "The Galois/Counter Mode of Operation", test cases
// 14 (zero key and block, no AAD) and 16 (60-byte text with 20 bytes of AAD).
TEST(VaultCrypto, AesGcmMatchesPublishedVectorsAndRefusesTampering) {
    struct Case {
        const char* key;
        const char* nonce;
        const char* plain;
        const char* aad;
        const char* cipher;
        const char* tag;
    };
    const Case cases[] = {
        {"0000000000000000000000000000000000000000000000000000000000000000",
         "000000000000000000000000", "00000000000000000000000000000000", "",
         "cea7403d4d606b6e074ec5d3baf39d18", "d0d1c8a799996bf0265b98b5d48ab919"},
        {"feffe9928665731c6d6a8f9467308308feffe9928665731c6d6a8f9467308308",
         "cafebabefacedbaddecaf888",
         "d9313225f88406e5a55909c5aff5269a86a7a9531534f7da2e4c303d8a318a72"
         "1c3c0c95956809532fcf0e2449a6b525b16aedf5aa0de657ba637b39",
         "feedfacedeadbeeffeedfacedeadbeefabaddad2",
         "522dc1f099567d07f47f37a32a84427d643a8cdcbfe5c0c97598a2bd2555d1aa"
         "8cb08e48590dbb3da7b08b1056828838c5f61e6393ba7a0abcc9f662",
         "76fc6ece0f4e1768cddf8853bb2d551b"},
    };
    for (const Case& c : cases) {
        const QByteArray key = Hex(c.key), nonce = Hex(c.nonce), plain = Hex(c.plain),
                         aad = Hex(c.aad);
        const QByteArray sealed = SealWithNonce(key, nonce, plain, aad);
        EXPECT_EQ(sealed.toHex(), nonce.toHex() + QByteArray(c.cipher) + QByteArray(c.tag));
        EXPECT_EQ(OpenSealed(key, sealed, aad), plain);

        // Any flipped byte (nonce, text, tag), another key or other AAD: nothing comes out.
        for (qsizetype i = 0; i < sealed.size(); ++i) {
            QByteArray bent = sealed;
            bent[i] = static_cast<char>(bent[i] ^ 0x01);
            EXPECT_FALSE(OpenSealed(key, bent, aad).has_value()) << "byte " << i;
        }
        QByteArray otherKey = key;
        otherKey[0] = static_cast<char>(otherKey[0] ^ 0x80);
        EXPECT_FALSE(OpenSealed(otherKey, sealed, aad).has_value());
        EXPECT_FALSE(OpenSealed(key, sealed, aad + "x").has_value());
        EXPECT_FALSE(OpenSealed(key, sealed.left(27), aad).has_value());
    }
    // A random nonce each time: the same text seals differently and still opens.
    const QByteArray key(32, 'k');
    const QByteArray a = Seal(key, "secret", "id"), b = Seal(key, "secret", "id");
    EXPECT_NE(a, b);
    EXPECT_EQ(OpenSealed(key, a, "id"), QByteArray("secret"));
    EXPECT_EQ(OpenSealed(key, Seal(key, {}, {}), {}), QByteArray());
    EXPECT_TRUE(SealWithNonce(key.left(16), QByteArray(12, '\0'), "x", {}).isEmpty());
    EXPECT_TRUE(SealWithNonce(key, QByteArray(8, '\0'), "x", {}).isEmpty());
}

} // namespace
} // namespace tw::platform
