#include "core/accounts/site_import/filezilla_sites.h"
#include "core/accounts/site_import/site_merge.h"

#include "support/test_files.h"

#include <gtest/gtest.h>

using namespace tw;
using ftp::Protocol;
using ftp::TlsMode;

namespace {

QByteArray sample() {
    return test::ReadFile(
        QStringLiteral(TW_SOURCE_DIR "/tests/unit/site_import/data/sitemanager.xml"));
}

AccountRecord named(const QString& name) {
    AccountRecord r;
    r.Name = name;
    r.URL = QStringLiteral("existing.example.org");
    return r;
}

const AccountRecord* added(const SiteImportPlan& plan, const QString& name) {
    for (const AccountRecord& r : plan.added)
        if (r.Name == name)
            return &r;
    return nullptr;
}

QByteArray servers(const QByteArray& inside) {
    return "<?xml version=\"1.0\"?>\n<FileZilla3>\n<Servers>\n" + inside +
           "</Servers>\n</FileZilla3>\n";
}

QByteArray server(const QByteArray& name, const QByteArray& host) {
    return "<Server><Host>" + host + "</Host><Name>" + name + "</Name></Server>\n";
}

} // namespace

// Every kind of site of the sample, as the report lists it and as the account it becomes.
TEST(FileZillaSites, SampleSitesBecomeAccountsWithTheirFields) {
    const SiteFileRead read = ReadFileZillaSites(sample());
    EXPECT_TRUE(read.problem.isEmpty()) << read.problem.toStdString();
    EXPECT_TRUE(read.refusal.isEmpty());
    const SiteImportPlan plan = PlanSiteImport({named(QStringLiteral("plain ftp"))}, read,
                                               QStringLiteral("sitemanager.xml"));

    const QString longName =
        QStringLiteral("A site whose name is far longer than forty-seven characters")
            .left(47)
            .trimmed();
    const struct {
        const char* source;
        SiteOutcome outcome;
        QString account;
        const char* host;
        std::uint32_t port;
        Protocol protocol;
        TlsMode encryption;
        bool anonymous;
        const char* login;
        const char* password;
        bool passive;
        const char* remotePath;
        const char* keyFile;
        const char* note; // a part of the row's notes ("" when there are none)
    } cases[] = {
        {"Plain FTP", SiteOutcome::Renamed, QStringLiteral("Plain FTP (2)"), "files.example.org",
         2121, Protocol::Ftp, TlsMode::Plain, false, "bob", "s3cret & more", false, "/home/alice",
         "", "renamed: an account is already called \"Plain FTP\""},
        {"Work / Clients / Acme", SiteOutcome::Imported, QStringLiteral("Work / Clients / Acme"),
         "ftp.acme.example", 21, Protocol::Ftp, TlsMode::ExplicitIfAvailable, false, "acme", "pass",
         true, "C:\\windows\\path", "", "1 of FileZilla's bookmarks left out"},
        {"Work / Implicit", SiteOutcome::Imported, QStringLiteral("Work / Implicit"),
         "2001:db8::21", 990, Protocol::Ftp, TlsMode::Implicit, true, "", "", true, "", "", ""},
        {"Work / Explicit", SiteOutcome::Imported, QStringLiteral("Work / Explicit"),
         "tls.example.com", 2100, Protocol::Ftp, TlsMode::ExplicitRequired, true, "", "", true, "",
         "", "the character set ISO-8859-2 was left out"},
        {"Key SFTP", SiteOutcome::Imported, QStringLiteral("Key SFTP"), "sftp.example.net", 22,
         Protocol::Sftp, kNewAccountEncryption, false, "deploy", "", true, "/srv/my files",
         "/home/bob/.ssh/id_ed25519", ""},
        {"Crypt", SiteOutcome::Imported, QStringLiteral("Crypt"), "vault.example.net", 2222,
         Protocol::Sftp, kNewAccountEncryption, false, "carol", "", true, "", "",
         "password encrypted with a master password: not imported"},
        {"Bucket", SiteOutcome::Skipped, QString(), "", 0, Protocol::Ftp, TlsMode::Plain, false, "",
         "", false, "", "", "the protocol S3 is not supported"},
        {"Twin", SiteOutcome::Imported, QStringLiteral("Twin"), "one.example.org", 21,
         Protocol::Ftp, TlsMode::ExplicitIfAvailable, false, "", "", true, "", "", ""},
        {"twin", SiteOutcome::Renamed, QStringLiteral("twin (2)"), "two.example.org", 21,
         Protocol::Ftp, TlsMode::ExplicitIfAvailable, false, "", "", true, "", "", "renamed"},
        {"Legacy site", SiteOutcome::Imported, QStringLiteral("Legacy site"), "legacy.example.org",
         21, Protocol::Ftp, TlsMode::ExplicitIfAvailable, false, "dave", "", true, "", "",
         "FileZilla asks for the password at each login"},
        {"A site whose name is far longer than forty-seven characters", SiteOutcome::Imported,
         longName, "long.example.org", 21, Protocol::Ftp, TlsMode::ExplicitIfAvailable, false, "",
         "", true, "", "",
         "the name was cut to 47 characters; the remote folder could not be read"},
        {"Tab\tName", SiteOutcome::Skipped, QString(), "", 0, Protocol::Ftp, TlsMode::Plain, false,
         "", "", false, "", "", "the name holds control characters"},
        {"VMS", SiteOutcome::Imported, QStringLiteral("VMS"), "vms.example.org", 21, Protocol::Ftp,
         TlsMode::ExplicitIfAvailable, false, "", "", true, "DISK:[USER.SUB]", "", ""},
        {"No host", SiteOutcome::Skipped, QString(), "", 0, Protocol::Ftp, TlsMode::Plain, false,
         "", "", false, "", "", "no host name"},
    };
    ASSERT_EQ(plan.rows.size(), std::size(cases));
    std::size_t imported = 0;
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const auto& c = cases[i];
        const SiteImportRow& row = plan.rows[i];
        SCOPED_TRACE(c.source);
        EXPECT_EQ(row.source, QString::fromUtf8(c.source));
        EXPECT_EQ(row.outcome, c.outcome);
        EXPECT_EQ(row.account, c.account);
        if (*c.note)
            EXPECT_TRUE(row.notes.contains(QString::fromUtf8(c.note))) << row.notes.toStdString();
        else
            EXPECT_TRUE(row.notes.isEmpty()) << row.notes.toStdString();
        if (c.outcome == SiteOutcome::Skipped) {
            EXPECT_EQ(added(plan, QString::fromUtf8(c.source)), nullptr);
            continue;
        }
        ++imported;
        const AccountRecord* r = added(plan, c.account);
        ASSERT_NE(r, nullptr);
        EXPECT_LE(r->Name.size(), kAccountNameLimit);
        EXPECT_EQ(r->URL, QString::fromUtf8(c.host));
        EXPECT_EQ(r->RemotePort, c.port);
        EXPECT_EQ(r->Protocol, c.protocol);
        EXPECT_EQ(r->Encryption, c.encryption);
        EXPECT_EQ(r->Anonymous, c.anonymous);
        EXPECT_EQ(r->Login, QString::fromUtf8(c.login));
        EXPECT_EQ(r->Password, QString::fromUtf8(c.password));
        EXPECT_EQ(r->SavePassword, *c.password != 0);
        EXPECT_EQ(r->Passive, c.passive);
        EXPECT_EQ(r->RemotePath, QString::fromUtf8(c.remotePath));
        EXPECT_EQ(r->KeyFile, QString::fromUtf8(c.keyFile));
        EXPECT_TRUE(r->UseAgent);
        EXPECT_EQ(r->Kept, PasswordPlace::None);
        EXPECT_TRUE(r->SecretId.isEmpty());
    }
    EXPECT_EQ(plan.added.size(), imported);
    // The fields only the first site sets.
    const AccountRecord* plain = added(plan, QStringLiteral("Plain FTP (2)"));
    ASSERT_NE(plain, nullptr);
    EXPECT_EQ(plain->LocalPath, QStringLiteral("/home/bob/site"));
    EXPECT_EQ(plain->Comments, QStringLiteral("first line\r\nsecond line"));
    EXPECT_EQ(added(plan, QStringLiteral("Work / Clients / Acme"))->Connections, 4u);
    EXPECT_EQ(added(plan, QStringLiteral("Work / Clients / Acme"))->Bookmarks,
              std::vector<QString>{QStringLiteral("C:\\logs")});

    // Applying adds the planned records at the end, in order.
    std::vector<AccountRecord> table{named(QStringLiteral("plain ftp"))};
    const std::vector<int> rows = ApplySiteImport(table, plan);
    ASSERT_EQ(rows.size(), imported);
    for (std::size_t i = 0; i < rows.size(); ++i)
        EXPECT_EQ(table[std::size_t(rows[i])], plan.added[i]);
    EXPECT_EQ(rows.front(), 1);
}

// Files that are not site lists, break off, or hold values no field can take.
TEST(FileZillaSites, DamagedAndHostileFilesKeepWhatWasReadAndSayWhy) {
    const QByteArray hugeHost(2 * 1024 * 1024, 'h');
    // Folders nested 300 deep with long names: the site's name stays bounded.
    QByteArray deep;
    QString deepName;
    for (int i = 0; i < 300; ++i) {
        const QByteArray folder(100, char('a' + i % 26));
        deep += "<Folder>" + folder;
        deepName += QString::fromLatin1(folder) + QStringLiteral(" / ");
    }
    deep += server("Deep", "deep.example");
    for (int i = 0; i < 300; ++i)
        deep += "</Folder>";
    // Entities that expand a billion times over stop at the reader's limit.
    QByteArray bomb = "<?xml version=\"1.0\"?>\n<!DOCTYPE b [\n<!ENTITY e0 \"lol\">\n";
    for (int i = 1; i < 10; ++i) {
        bomb += "<!ENTITY e" + QByteArray::number(i) + " \"";
        for (int k = 0; k < 10; ++k)
            bomb += "&e" + QByteArray::number(i - 1) + ';';
        bomb += "\">\n";
    }
    bomb += "]>\n<FileZilla3><Servers>" + server("Before", "before.example") +
            server("Bomb", "&e9;") + "</Servers></FileZilla3>\n";
    const struct {
        const char* what;
        QByteArray xml;
        std::vector<QString> sources; // the sites read, in order
        const char* problem;          // a part of the file's problem ("" for none)
        const char* refusal;
        const char* skipReason; // a part of the first site's reason, when it is skipped
    } cases[] = {
        {"broken after two sites",
         "<?xml version=\"1.0\"?>\n<FileZilla3>\n<Servers>\n" + server("One", "one.example") +
             server("Two", "two.example") + "<Server><Host>three</Hst></Server>\n" +
             server("Four", "four.example") + "</Servers></FileZilla3>\n",
         {QStringLiteral("One"), QStringLiteral("Two")},
         "Broken XML at line 6",
         "",
         ""},
        {"cut off inside a folder",
         "<FileZilla3><Servers><Folder>Half" + server("In", "in.example") + "<Folder>Deep",
         {QStringLiteral("Half / In")},
         "Broken XML at line 2",
         "",
         ""},
        {"not a site list",
         "<html><body>no</body></html>",
         {},
         "",
         "not a FileZilla site list",
         ""},
        {"not XML at all",
         QByteArray("\x89PNG\r\n\x1a\n\0\0", 10),
         {},
         "",
         "not a FileZilla site list",
         ""},
        {"no Servers", "<FileZilla3><Settings/></FileZilla3>", {}, "holds no Servers", "", ""},
        {"a huge host",
         servers(server("Huge", hugeHost)),
         {QStringLiteral("Huge")},
         "",
         "",
         "the host name is longer than 255 characters"},
        {"a long password",
         servers("<Server><Host>h.example</Host><User>u</User><Pass>" + QByteArray(64, 'p') +
                 "</Pass><Name>Pw</Name></Server>"),
         {QStringLiteral("Pw")},
         "",
         "",
         "the password is longer than 63 characters"},
        {"a long user",
         servers("<Server><Host>h.example</Host><User>" + QByteArray(64, 'u') +
                 "</User><Name>User</Name></Server>"),
         {QStringLiteral("User")},
         "",
         "",
         "the user name is longer than 63 characters"},
        {"a control character in the host",
         servers("<Server><Host>h&#9;x.example</Host><Name>Ctl</Name></Server>"),
         {QStringLiteral("Ctl")},
         "",
         "",
         "the host name holds control characters"},
        {"not UTF-8",
         "<?xml version=\"1.0\"?><FileZilla3><Servers>\n" + server("A", "a.example") +
             server("B\xff\xfe", "b.example") + "</Servers></FileZilla3>",
         {QStringLiteral("A")},
         "not valid UTF-8 at line 3",
         "",
         ""},
        {"folders nested deep", servers(deep), {deepName.left(512)}, "", "", ""},
        {"an entity bomb", bomb, {QStringLiteral("Before")}, "Broken XML at line 15", "", ""},
        {"an unknown protocol number",
         servers("<Server><Host>x.example</Host><Protocol>99</Protocol><Name>P</Name></Server>"),
         {QStringLiteral("P")},
         "",
         "",
         "the protocol number 99 is not supported"},
        {"a port beyond 65535",
         servers("<Server><Host>x.example</Host><Port>70000</Port><Name>P</Name></Server>"),
         {QStringLiteral("P")},
         "",
         "",
         "the port \"70000\" is not a port number"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const SiteFileRead read = ReadFileZillaSites(c.xml);
        std::vector<QString> sources;
        for (const ImportedSite& site : read.sites)
            sources.push_back(site.source);
        EXPECT_EQ(sources, c.sources);
        if (*c.problem)
            EXPECT_TRUE(read.problem.contains(QString::fromUtf8(c.problem)))
                << read.problem.toStdString();
        else
            EXPECT_TRUE(read.problem.isEmpty()) << read.problem.toStdString();
        if (*c.refusal)
            EXPECT_TRUE(read.refusal.contains(QString::fromUtf8(c.refusal)))
                << read.refusal.toStdString();
        else
            EXPECT_TRUE(read.refusal.isEmpty()) << read.refusal.toStdString();
        if (*c.skipReason) {
            ASSERT_FALSE(read.sites.empty());
            EXPECT_TRUE(read.sites.front().skipReason.contains(QString::fromUtf8(c.skipReason)))
                << read.sites.front().skipReason.toStdString();
        } else {
            for (const ImportedSite& site : read.sites)
                EXPECT_FALSE(site.skipped()) << site.skipReason.toStdString();
        }
        // The file's problem is the report's last row; nothing else is lost.
        const SiteImportPlan plan = PlanSiteImport({}, read, QStringLiteral("sitemanager.xml"));
        const bool noted = !read.problem.isEmpty() || !read.refusal.isEmpty();
        ASSERT_EQ(plan.rows.size(), read.sites.size() + (noted ? 1 : 0));
        if (noted) {
            EXPECT_EQ(plan.rows.back().source, QStringLiteral("sitemanager.xml"));
            EXPECT_EQ(plan.rows.back().outcome, SiteOutcome::Skipped);
        }
    }
}

// Names made unique within the field's 47 characters, and a table that fills up.
TEST(SiteMerge, CollidingNamesGetSuffixesAndAFullTableSkipsTheRest) {
    const QString long47 = QString(47, u'n');
    std::vector<AccountRecord> table;
    for (int i = 0; i < kMaxAccounts - 3; ++i)
        table.push_back(named(QStringLiteral("Account %1").arg(i)));
    table.push_back(named(long47));
    QByteArray xml;
    for (const QByteArray& name : {QByteArray("ACCOUNT 7"), QByteArray("Account 7 (2)"),
                                   long47.toUtf8(), QByteArray("Fresh"), QByteArray("Late")})
        xml += server(name, "h.example");
    const SiteImportPlan plan = PlanSiteImport(table, ReadFileZillaSites(servers(xml)), QString());
    const struct {
        SiteOutcome outcome;
        QString account;
        const char* note;
    } expected[] = {
        {SiteOutcome::Renamed, QStringLiteral("ACCOUNT 7 (2)"), "renamed"},
        {SiteOutcome::Renamed, QStringLiteral("Account 7 (2) (2)"), "renamed"},
        {SiteOutcome::Skipped, QString(), "the account table is full"},
        {SiteOutcome::Skipped, QString(), "the account table is full"},
        {SiteOutcome::Skipped, QString(), "the account table is full"},
    };
    ASSERT_EQ(plan.rows.size(), std::size(expected));
    for (std::size_t i = 0; i < std::size(expected); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(plan.rows[i].outcome, expected[i].outcome);
        EXPECT_EQ(plan.rows[i].account, expected[i].account);
        EXPECT_TRUE(plan.rows[i].notes.contains(QString::fromUtf8(expected[i].note)));
    }
    // A long name taken keeps its suffix within the field.
    std::vector<AccountRecord> small{named(long47)};
    const SiteImportPlan renamed =
        PlanSiteImport(small,
                       ReadFileZillaSites(servers(server(long47.toUtf8(), "h.example") +
                                                  server(long47.toUtf8(), "h.example"))),
                       QString());
    ASSERT_EQ(renamed.added.size(), 2u);
    EXPECT_EQ(renamed.added[0].Name, QString(43, u'n') + QStringLiteral(" (2)"));
    EXPECT_EQ(renamed.added[1].Name, QString(43, u'n') + QStringLiteral(" (3)"));
    ApplySiteImport(small, renamed);
    EXPECT_EQ(small.size(), 3u);
}

// FileZilla's safe paths of each server type, and forms that are not one.
TEST(FileZillaSites, SafePathsDecodeForEachServerType) {
    const std::pair<const char*, std::optional<QString>> cases[] = {
        {"1 0 4 home 5 alice", QStringLiteral("/home/alice")},
        {"1 0", QStringLiteral("/")},
        {"0 0 8 my files 3 web", QStringLiteral("/my files/web")},
        {"3 0 2 C: 7 windows 4 path", QStringLiteral("C:\\windows\\path")},
        {"3 0 2 D:", QStringLiteral("D:\\")},
        {"10 0 2 C: 3 dir", QStringLiteral("C:/dir")},
        {"2 5 DISK: 4 USER 3 SUB", QStringLiteral("DISK:[USER.SUB]")},
        {"8 0 3 dir", QStringLiteral("\\dir")},
        {"1 0 4 d\xc3\xa9j\xc3\xa0 1 x", QStringLiteral("/d\u00e9j\u00e0/x")},
        {"1 0 9 short", std::nullopt},
        {"1 0 0  x", std::nullopt},
        {"99 0 3 abc", std::nullopt},
        {"x 0", std::nullopt},
        {"1 3", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto& [safe, path] : cases) {
        SCOPED_TRACE(safe);
        EXPECT_EQ(DecodeFileZillaPath(QString::fromUtf8(safe)), path);
    }
}
