#include "platform/secrets/vault_secrets.h"

#include "support/qt_printers.h"
#include "support/test_files.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <functional>
#include <string>

namespace tw::platform {
namespace {

using UnlockResult = VaultSecrets::UnlockResult;

// A cheap scrypt cost for tests; the program's own is logN 17.
const VaultKdf kTestCost{10, 8, 1, {}};
const QString kMaster = QStringLiteral("correct horse");

SecretItem Item(const QString& id, const QString& host) {
    return {id,   QStringLiteral("password"), QStringLiteral("Tarnwick 2000: alice@") + host,
            host, QStringLiteral("alice"),    QStringLiteral("ftp"),
            {}};
}

unsigned FileMode(const QString& path) {
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return 0;
    return st.st_mode & 07777;
}

QJsonObject ReadJson(const QString& path) {
    return QJsonDocument::fromJson(test::ReadFile(path)).object();
}

void WriteJson(const QString& path, const QJsonObject& root) {
    test::WriteFile(path, QJsonDocument(root).toJson());
}

QString Secret(VaultSecrets& vault, const QString& id) {
    const SecretLookup found = vault.lookup(id);
    return found.outcome.ok() ? found.secret
                              : QStringLiteral("<%1>").arg(int(found.outcome.status));
}

class VaultSecretsTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("private/vault.json"));

    // A vault of three entries on disk, locked.
    void makeThreeEntries() {
        VaultSecrets vault(path, kTestCost);
        ASSERT_TRUE(vault.create(kMaster).ok());
        for (const char* id : {"a", "b", "c"})
            ASSERT_TRUE(vault
                            .store(Item(QString::fromLatin1(id), QStringLiteral("h")),
                                   QStringLiteral("secret-") + QString::fromLatin1(id))
                            .ok());
    }
};

TEST_F(VaultSecretsTest, KeepsSecretsAcrossLockUnlockAndMasterPasswordChange) {
    VaultSecrets vault(path, kTestCost);
    EXPECT_FALSE(vault.exists());
    EXPECT_EQ(vault.probe().status, SecretStatus::Unavailable);
    EXPECT_EQ(vault.unlock(kMaster), UnlockResult::Missing);
    EXPECT_EQ(vault.lookup(QStringLiteral("a")).outcome.status, SecretStatus::Locked);

    ASSERT_TRUE(vault.create(kMaster).ok());
    EXPECT_TRUE(vault.isUnlocked());
    EXPECT_EQ(FileMode(path), 0600u);
    const QByteArray fresh = test::ReadFile(path);
    EXPECT_EQ(vault.create(QStringLiteral("other")).status, SecretStatus::Failed);
    EXPECT_EQ(test::ReadFile(path), fresh);

    const QString wide = QStringLiteral("p\u00e4ssw\u00f6rd \u5bc6\u7801 \U0001f511");
    const QString uuid = QStringLiteral("{6f1c0d5e-1111-4c3a-9e0b-2b0c5a7d8e9f}");
    const QString passphrase = QStringLiteral("passphrase:/home/alice/.ssh/id_ed25519");
    EXPECT_TRUE(
        vault.store(Item(QStringLiteral("a"), QStringLiteral("one")), QStringLiteral("first"))
            .ok());
    EXPECT_TRUE(
        vault.store(Item(QStringLiteral("a"), QStringLiteral("two")), QStringLiteral("second"))
            .ok());
    EXPECT_TRUE(vault.store(Item(uuid, QStringLiteral("ftp.example.com")), wide).ok());
    EXPECT_TRUE(vault.store(Item(passphrase, {}), {}).ok());
    EXPECT_TRUE(vault.store(Item(QStringLiteral("gone"), {}), QStringLiteral("x")).ok());
    EXPECT_TRUE(vault.remove(QStringLiteral("gone")).ok());
    EXPECT_TRUE(vault.remove(QStringLiteral("never there")).ok());
    EXPECT_EQ(vault.store(Item({}, {}), QStringLiteral("x")).status, SecretStatus::Failed);
    EXPECT_EQ(vault.lookup(QStringLiteral("gone")).outcome.status, SecretStatus::NotFound);
    EXPECT_EQ(FileMode(path), 0600u);
    // Nothing secret is in the file as text.
    for (const QString& secret : {QStringLiteral("second"), wide})
        EXPECT_FALSE(test::ReadFile(path).contains(secret.toUtf8()));
    EXPECT_EQ(ReadJson(path)[QStringLiteral("entries")][QStringLiteral("a")][QStringLiteral("host")]
                  .toString(),
              QStringLiteral("two"));

    const QStringList ids = {QStringLiteral("a"), passphrase, uuid}; // sorted
    vault.lock();
    EXPECT_EQ(vault.probe().status, SecretStatus::Locked);
    EXPECT_EQ(vault.lookup(QStringLiteral("a")).outcome.status, SecretStatus::Locked);
    EXPECT_EQ(vault.store(Item(QStringLiteral("b"), {}), QStringLiteral("x")).status,
              SecretStatus::Locked);
    EXPECT_EQ(vault.remove(QStringLiteral("a")).status, SecretStatus::Locked);
    EXPECT_EQ(vault.changeMasterPassword(QStringLiteral("x")).status, SecretStatus::Locked);
    EXPECT_EQ(vault.ids(), ids);

    // Another object on the same file, as after a restart; a wrong password changes nothing.
    VaultSecrets again(path, kTestCost);
    const QByteArray before = test::ReadFile(path);
    EXPECT_EQ(again.unlock(QStringLiteral("Correct horse")), UnlockResult::WrongPassword);
    EXPECT_FALSE(again.isUnlocked());
    EXPECT_EQ(test::ReadFile(path), before);
    ASSERT_EQ(again.unlock(kMaster), UnlockResult::Ok);
    EXPECT_EQ(again.probe().status, SecretStatus::Ok);
    EXPECT_EQ(Secret(again, QStringLiteral("a")), QStringLiteral("second"));
    EXPECT_EQ(Secret(again, uuid), wide);
    EXPECT_EQ(Secret(again, passphrase), QString());

    const QString salt = ReadJson(path)[QStringLiteral("kdf")][QStringLiteral("salt")].toString();
    ASSERT_TRUE(again.changeMasterPassword(wide).ok());
    EXPECT_EQ(FileMode(path), 0600u);
    EXPECT_NE(ReadJson(path)[QStringLiteral("kdf")][QStringLiteral("salt")].toString(), salt);
    EXPECT_EQ(Secret(again, QStringLiteral("a")), QStringLiteral("second"));

    VaultSecrets third(path, kTestCost);
    EXPECT_EQ(third.unlock(kMaster), UnlockResult::WrongPassword);
    // The new password in decomposed form (a + combining diaeresis) is the same password.
    QString decomposed = wide.normalized(QString::NormalizationForm_D);
    ASSERT_NE(decomposed, wide);
    ASSERT_EQ(third.unlock(decomposed), UnlockResult::Ok);
    EXPECT_EQ(third.ids(), ids);
    EXPECT_EQ(Secret(third, QStringLiteral("a")), QStringLiteral("second"));
    EXPECT_EQ(Secret(third, uuid), wide);
}

// Files that are not vaults or ask for absurd costs: Damaged at once, the file left alone.
TEST_F(VaultSecretsTest, RefusesMalformedAndHostileFiles) {
    makeThreeEntries();
    const QByteArray good = test::ReadFile(path);
    const QJsonObject root = ReadJson(path);
    auto withKdf = [&](const char* name, const QJsonValue& value) {
        QJsonObject r = root, kdf = root[QStringLiteral("kdf")].toObject();
        kdf.insert(QString::fromLatin1(name), value);
        r.insert(QStringLiteral("kdf"), kdf);
        return QJsonDocument(r).toJson();
    };
    auto with = [&](const char* name, const QJsonValue& value) {
        QJsonObject r = root;
        r.insert(QString::fromLatin1(name), value);
        return QJsonDocument(r).toJson();
    };
    struct Case {
        const char* what;
        QByteArray content;
    };
    const Case cases[] = {
        {"empty", {}},
        {"truncated", good.left(good.size() / 2)},
        {"garbage", QByteArray(4096, '\xa5')},
        {"a JSON array", "[1, 2, 3]"},
        {"another format", with("format", QStringLiteral("KeePass"))},
        {"a newer version", with("version", 2)},
        {"no entry table", with("entries", QJsonArray{1})},
        {"a verifier that is not base64", with("verifier", QStringLiteral("!!not base64!!"))},
        {"no verifier", with("verifier", QJsonValue())},
        {"another KDF", withKdf("name", QStringLiteral("argon2id"))},
        {"logN 40", withKdf("logN", 40)},
        {"logN 23", withKdf("logN", 23)},
        {"logN 9", withKdf("logN", 9)},
        {"logN as text", withKdf("logN", QStringLiteral("17"))},
        {"logN 17.5", withKdf("logN", 17.5)},
        {"logN 1e300", withKdf("logN", 1e300)},
        {"negative r", withKdf("r", -8)},
        {"r of a billion", withKdf("r", 1e9)},
        {"p of a million", withKdf("p", 1e6)},
        {"2 GiB of memory", withKdf("logN", 22).replace("\"r\": 8", "\"r\": 4")},
        {"work of logN 20 times p 16", withKdf("logN", 20).replace("\"p\": 1", "\"p\": 16")},
        {"a short salt", withKdf("salt", QStringLiteral("c2FsdA=="))},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        test::WriteFile(path, c.content);
        VaultSecrets vault(path, kTestCost);
        EXPECT_EQ(vault.unlock(kMaster), UnlockResult::Damaged);
        EXPECT_FALSE(vault.isUnlocked());
        EXPECT_EQ(vault.probe().status, SecretStatus::Locked);
        EXPECT_TRUE(vault.ids().isEmpty());
        EXPECT_EQ(vault.create(kMaster).status, SecretStatus::Failed);
        EXPECT_EQ(test::ReadFile(path), c.content);
    }
    test::WriteFile(path, good);
    VaultSecrets vault(path, kTestCost);
    EXPECT_EQ(vault.unlock(kMaster), UnlockResult::Ok);
}

// A damaged entry is Damaged alone; the others still open, and nothing is dropped on a save.
TEST_F(VaultSecretsTest, DamagedOrSwappedEntriesAreToldApart) {
    makeThreeEntries();
    const QJsonObject root = ReadJson(path);
    const QJsonObject entries = root[QStringLiteral("entries")].toObject();
    auto value = [&](const char* id) {
        return entries[QString::fromLatin1(id)][QStringLiteral("value")].toString();
    };
    auto withEntryValue = [](QJsonObject es, const char* id, const QJsonValue& v) {
        QJsonObject e = es[QString::fromLatin1(id)].toObject();
        e.insert(QStringLiteral("value"), v);
        es.insert(QString::fromLatin1(id), e);
        return es;
    };
    QByteArray bent = QByteArray::fromBase64(value("a").toLatin1());
    bent[20] = static_cast<char>(bent[20] ^ 0x10);

    struct Case {
        const char* what;
        QJsonObject entries;
        const char* expected; // a, b, c: "ok" or "damaged"
    };
    const Case cases[] = {
        {"a flipped bit in a", withEntryValue(entries, "a", QString::fromLatin1(bent.toBase64())),
         "damaged ok ok"},
        {"b and c swapped",
         withEntryValue(withEntryValue(entries, "b", value("c")), "c", value("b")),
         "ok damaged damaged"},
        {"a's value not text", withEntryValue(entries, "a", 42), "damaged ok ok"},
        {"a's value not base64", withEntryValue(entries, "a", QStringLiteral("%%%")),
         "damaged ok ok"},
        {"a's value cut short", withEntryValue(entries, "a", QStringLiteral("AAAA")),
         "damaged ok ok"},
        {"b not an object",
         [&] {
             QJsonObject es = entries;
             es.insert(QStringLiteral("b"), QJsonArray{1, 2});
             return es;
         }(),
         "ok damaged ok"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        QJsonObject r = root;
        r.insert(QStringLiteral("entries"), c.entries);
        WriteJson(path, r);
        VaultSecrets vault(path, kTestCost);
        ASSERT_EQ(vault.unlock(kMaster), UnlockResult::Ok);
        QStringList seen;
        for (const char* id : {"a", "b", "c"}) {
            const SecretLookup found = vault.lookup(QString::fromLatin1(id));
            if (found.outcome.ok())
                EXPECT_EQ(found.secret, QStringLiteral("secret-") + QString::fromLatin1(id));
            else
                EXPECT_EQ(found.outcome.status, SecretStatus::Damaged) << id;
            seen << (found.outcome.ok() ? QStringLiteral("ok") : QStringLiteral("damaged"));
        }
        EXPECT_EQ(seen.join(u' '), QString::fromLatin1(c.expected));

        // A save and a re-key keep every entry: the damaged ones as they were.
        ASSERT_TRUE(vault.store(Item(QStringLiteral("d"), {}), QStringLiteral("secret-d")).ok());
        ASSERT_TRUE(vault.changeMasterPassword(QStringLiteral("new master")).ok());
        VaultSecrets reread(path, kTestCost);
        ASSERT_EQ(reread.unlock(QStringLiteral("new master")), UnlockResult::Ok);
        EXPECT_EQ(reread.ids(), (QStringList{QStringLiteral("a"), QStringLiteral("b"),
                                             QStringLiteral("c"), QStringLiteral("d")}));
        QStringList after;
        for (const char* id : {"a", "b", "c"})
            after << (reread.lookup(QString::fromLatin1(id)).outcome.ok()
                          ? QStringLiteral("ok")
                          : QStringLiteral("damaged"));
        EXPECT_EQ(after.join(u' '), QString::fromLatin1(c.expected));
        EXPECT_EQ(Secret(reread, QStringLiteral("d")), QStringLiteral("secret-d"));
        QFile::remove(path);
        WriteJson(path, root);
    }
}

} // namespace
} // namespace tw::platform
