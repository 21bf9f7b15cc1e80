#include "core/settings/settings_store.h"
#include "core/tls/certificate_trust.h"

#include <QSettings>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace tw;

namespace {

const std::string kFpA = "AA:" + std::string("01:02:03:04:05:06:07:08:09:0A:0B:0C:0D:0E:0F:10:"
                                             "11:12:13:14:15:16:17:18:19:1A:1B:1C:1D:1E:1F");
const std::string kFpB = "BB:" + std::string("01:02:03:04:05:06:07:08:09:0A:0B:0C:0D:0E:0F:10:"
                                             "11:12:13:14:15:16:17:18:19:1A:1B:1C:1D:1E:1F");

} // namespace

TEST(CertificateTrust, KeysNameHostAndPort) {
    const struct {
        const char* host;
        int port;
        const char* key;
    } cases[] = {
        {"ftp.Example.ORG", 21, "ftp.example.org:21"},
        {" 127.0.0.1 ", 990, "127.0.0.1:990"},
        {"::1", 21, "[::1]:21"},
        {"[FE80::1]", 2121, "[fe80::1]:2121"},
        {"", 21, ""},
        {"a/b", 21, ""},
        {"a\\b", 21, ""},
        {"host", 0, ""},
        {"host", 70000, ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CertificateTrust::Key(QString::fromUtf8(c.host), c.port),
                  QString::fromUtf8(c.key))
            << c.host;
}

// Remembered fingerprints outlive the program (a new store on the same file reads them), per
// host and port; forgetting removes only the one; trust once never reaches the file.
TEST(CertificateTrust, RemembersPerServerInTheSettingsAndTrustsOnceInMemory) {
    QTemporaryDir dir;
    const QString file = dir.filePath(u"settings.conf"_qs);
    {
        SettingsStore store(file);
        CertificateTrust trust(&store);
        EXPECT_FALSE(trust.remembered(u"ftp.example.org"_qs, 21));
        // Any spelling of a fingerprint is kept in its one form.
        std::string lower = kFpA;
        std::transform(lower.begin(), lower.end(), lower.begin(), ::tolower);
        EXPECT_TRUE(trust.remember(u"FTP.example.org"_qs, 21, lower));
        EXPECT_TRUE(trust.remember(u"ftp.example.org"_qs, 990, kFpB));
        EXPECT_TRUE(trust.remember(u"other.example.org"_qs, 21, kFpB));
        EXPECT_FALSE(trust.remember(u"ftp.example.org"_qs, 21, "not a fingerprint"));
        EXPECT_FALSE(trust.remember(u""_qs, 21, kFpA));
        trust.trustOnce(u"ftp.example.org"_qs, 21, kFpB);
        EXPECT_EQ(trust.trustedOnce(u"ftp.example.org"_qs, 21), std::vector<std::string>{kFpB});
        EXPECT_TRUE(trust.trustedOnce(u"ftp.example.org"_qs, 990).empty());
    }
    EXPECT_EQ(QSettings(file, QSettings::IniFormat)
                  .value(u"Certificates/ftp.example.org:21"_qs)
                  .toString()
                  .toStdString(),
              kFpA);
    {
        SettingsStore store(file);
        CertificateTrust trust(&store);
        EXPECT_EQ(trust.remembered(u"ftp.example.org"_qs, 21), kFpA);
        EXPECT_EQ(trust.remembered(u"ftp.example.org"_qs, 990), kFpB);
        EXPECT_TRUE(trust.trustedOnce(u"ftp.example.org"_qs, 21).empty());
        // A replaced certificate replaces the remembered one.
        EXPECT_TRUE(trust.remember(u"ftp.example.org"_qs, 21, kFpB));
        EXPECT_EQ(trust.remembered(u"ftp.example.org"_qs, 21), kFpB);
        trust.forget(u"ftp.example.org"_qs, 21);
        EXPECT_FALSE(trust.remembered(u"ftp.example.org"_qs, 21));
        EXPECT_EQ(trust.remembered(u"ftp.example.org"_qs, 990), kFpB);
        EXPECT_EQ(trust.remembered(u"other.example.org"_qs, 21), kFpB);
    }
    {
        // A hand-edited value that is no fingerprint is not trusted.
        QSettings(file, QSettings::IniFormat)
            .setValue(u"Certificates/other.example.org:21"_qs, u"garbage"_qs);
        SettingsStore store(file);
        EXPECT_FALSE(CertificateTrust(&store).remembered(u"other.example.org"_qs, 21));
    }
    // Without a store the remembered ones live in memory.
    CertificateTrust memory;
    EXPECT_TRUE(memory.remember(u"h"_qs, 21, kFpA));
    EXPECT_EQ(memory.remembered(u"H"_qs, 21), kFpA);
    memory.forget(u"h"_qs, 21);
    EXPECT_FALSE(memory.remembered(u"h"_qs, 21));
}
