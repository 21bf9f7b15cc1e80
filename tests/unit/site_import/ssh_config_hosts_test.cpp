#include "core/accounts/site_import/site_merge.h"
#include "core/accounts/site_import/ssh_config_hosts.h"

#include "support/test_files.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace tw;

namespace {

const ImportedSite* find(const SiteFileRead& read, const QString& source) {
    for (const ImportedSite& site : read.sites)
        if (site.source == source)
            return &site;
    return nullptr;
}

} // namespace

// A configuration with the keyword forms ssh accepts, blocks that apply to many hosts, Match
// blocks and Include files (one that includes itself): one account per concrete Host pattern,
// every other entry reported with its reason.
TEST(SshConfigHosts, ConcreteHostsBecomeSftpAccountsAndTheRestIsReported) {
    QTemporaryDir home;
    ASSERT_TRUE(home.isValid());
    const QString ssh = home.filePath(QStringLiteral(".ssh"));
    const QString config = ssh + QStringLiteral("/config");
    const QByteArray text = "# the user's configuration\n"
                            "ServerAliveInterval 30\n"
                            "\n"
                            "Host web web-alias\n"
                            "    HostName web.example.org\n"
                            "    Port=2222\n"
                            "    User \"deploy user\"\n"
                            "    IdentityFile ~/.ssh/id_web\n"
                            "    IdentityFile ~/.ssh/id_other\n"
                            "HOST db !db-old *.internal\n"
                            "  hostname = %h.example.net\n"
                            "  USER admin # who runs the database\n"
                            "  IdentityAgent none\n"
                            "Host bastion\n"
                            "  Port 99999\n"
                            "Host plain\n"
                            "Match host foo exec \"true\"\n"
                            "  User matched\n"
                            "Include conf.d/*.conf\n"
                            "Include missing.conf\n"
                            "  User still-matched\n"
                            "Host \"quoted\n"
                            "Host bad\xff\xfe\n"
                            "Host web\n"
                            "Host *\n"
                            "  User fallback\n"
                            "  IdentityFile %d/.ssh/id_%r\n"
                            "  Port 2200\n";
    test::WriteFile(config, text);
    test::WriteFile(ssh + QStringLiteral("/conf.d/10-extra.conf"),
                    "Host extra\n  HostName 2001:db8::5\n  Include conf.d/loop.inc\n");
    test::WriteFile(ssh + QStringLiteral("/conf.d/loop.inc"), "Include conf.d/loop.inc\n");
    const SshConfigPlace place{config, home.path(), QStringLiteral("amy"), ssh};
    const SiteFileRead read = ReadSshConfigHosts(text, place);
    EXPECT_TRUE(read.problem.isEmpty());
    EXPECT_TRUE(read.refusal.isEmpty());

    const QString keys = home.path() + QStringLiteral("/.ssh/");
    const struct {
        const char* alias;
        const char* host;
        std::uint32_t port;
        const char* login;
        QString keyFile;
        bool agent;
        const char* note;
    } accounts[] = {
        {"web", "web.example.org", 2222, "deploy user", keys + QStringLiteral("id_web"), true,
         "only the first IdentityFile is kept"},
        {"web-alias", "web.example.org", 2222, "deploy user", keys + QStringLiteral("id_web"), true,
         "only the first IdentityFile is kept"},
        {"db", "db.example.net", 2200, "admin", keys + QStringLiteral("id_admin"), false, ""},
        {"plain", "plain", 2200, "fallback", keys + QStringLiteral("id_fallback"), true, ""},
        {"extra", "2001:db8::5", 2200, "fallback", keys + QStringLiteral("id_fallback"), true, ""},
    };
    for (const auto& a : accounts) {
        SCOPED_TRACE(a.alias);
        const ImportedSite* site = find(read, QString::fromUtf8(a.alias));
        ASSERT_NE(site, nullptr);
        EXPECT_FALSE(site->skipped()) << site->skipReason.toStdString();
        const AccountRecord& r = site->record;
        EXPECT_EQ(r.Name, QString::fromUtf8(a.alias));
        EXPECT_EQ(r.Protocol, ftp::Protocol::Sftp);
        EXPECT_EQ(r.URL, QString::fromUtf8(a.host));
        EXPECT_EQ(r.RemotePort, a.port);
        EXPECT_EQ(r.Login, QString::fromUtf8(a.login));
        EXPECT_EQ(r.KeyFile, a.keyFile);
        EXPECT_EQ(r.UseAgent, a.agent);
        EXPECT_TRUE(r.Password.isEmpty());
        EXPECT_FALSE(r.SavePassword);
        EXPECT_EQ(site->notes.join(u';'), QString::fromUtf8(a.note));
    }
    const std::pair<const char*, const char*> skipped[] = {
        {"bastion", "the port \"99999\" is not a port number"},
        {"Host *.internal", "a pattern with wildcards names no one host (config, line 10)"},
        {"Host *", "a pattern with wildcards"},
        {"Match host foo exec true", "Match blocks are not imported (config, line 17)"},
        {"Host web", "named again"},
        {"config, line 22", "a quote is not closed"},
        {"config, line 23", "not valid UTF-8"},
        {"Include conf.d/loop.inc (loop.inc, line 1)", "nested too deep: not followed"},
    };
    for (const auto& [source, reason] : skipped) {
        SCOPED_TRACE(source);
        const ImportedSite* site = find(read, QString::fromUtf8(source));
        ASSERT_NE(site, nullptr);
        EXPECT_TRUE(site->skipReason.contains(QString::fromUtf8(reason)))
            << site->skipReason.toStdString();
    }
    // Nothing else: no account for "!db-old", "missing.conf" passed over as ssh does.
    EXPECT_EQ(read.sites.size(), std::size(accounts) + std::size(skipped));
    // The hosts come first, in the order of their Host lines.
    EXPECT_EQ(read.sites[0].source, QStringLiteral("web"));
    EXPECT_EQ(read.sites[3].source, QStringLiteral("bastion"));
    EXPECT_EQ(read.sites[5].source, QStringLiteral("extra"));

    const SiteImportPlan plan = PlanSiteImport({}, read, QStringLiteral("config"));
    EXPECT_EQ(plan.added.size(), std::size(accounts));
}

// The keyword forms and the reader's bounds on one host each.
TEST(SshConfigHosts, KeywordFormsTokensAndUnreadableIncludes) {
    QTemporaryDir home;
    ASSERT_TRUE(home.isValid());
    const QString ssh = home.filePath(QStringLiteral(".ssh"));
    QDir().mkpath(ssh + QStringLiteral("/folder.conf"));
    test::WriteFile(ssh + QStringLiteral("/big.conf"), QByteArray(1024 * 1024 + 1, '#'));
    const struct {
        const char* what;
        QByteArray text;
        const char* source;
        const char* host; // "" when the entry is skipped
        const char* reasonOrLogin;
    } cases[] = {
        {"tabs and equals", "Host\tone\n\tHostName\t=\tone.example\n\tUser=x\n", "one",
         "one.example", "x"},
        {"%% and %u", "Host two\n HostName %%two.example\n User %u\n", "two", "%two.example", "%u"},
        {"an unknown token", "Host three\n HostName %C.example\n", "three", "",
         "the HostName uses tokens an account cannot hold"},
        {"a long host name", "Host four\n HostName " + QByteArray(300, 'a') + "\n", "four", "",
         "the host name is longer than 255 characters"},
        {"a folder included", "Include folder.conf\nHost five\n",
         "Include folder.conf (config, line 1)", "", "cannot be read"},
        {"a large include", "Include ~/.ssh/big.conf\n", "Include ~/.ssh/big.conf (config, line 1)",
         "", "larger than 1 MiB"},
        {"wildcard folders", "Include */x.conf\n", "Include */x.conf (config, line 1)", "",
         "wildcards in folder names are not followed"},
    };
    // A key file's name longer than the field is left out, not cut into another name.
    const SiteFileRead longKey = ReadSshConfigHosts(
        "Host k\n IdentityFile /" + QByteArray(300, 'k') + "\n",
        {ssh + QStringLiteral("/config"), home.path(), QStringLiteral("amy"), ssh});
    ASSERT_EQ(longKey.sites.size(), 1u);
    EXPECT_FALSE(longKey.sites[0].skipped());
    EXPECT_TRUE(longKey.sites[0].record.KeyFile.isEmpty());
    EXPECT_EQ(
        longKey.sites[0].notes,
        QStringList{QStringLiteral("the key file's name is longer than 255 characters: left out")});
    // Include files that include each other by wildcard: the reads stop at a bound.
    for (const char* name : {"/many/a.inc", "/many/b.inc", "/many/c.inc"})
        test::WriteFile(ssh + QString::fromUtf8(name), "Include many/*.inc\n");
    const SiteFileRead many = ReadSshConfigHosts(
        "Include many/*.inc\nHost after\n",
        {ssh + QStringLiteral("/config"), home.path(), QStringLiteral("amy"), ssh});
    const auto bounded =
        std::count_if(many.sites.begin(), many.sites.end(), [](const ImportedSite& s) {
            return s.skipReason.contains(QStringLiteral("more than 256 files included"));
        });
    EXPECT_GE(bounded, 1);
    EXPECT_NE(find(many, QStringLiteral("after")), nullptr);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const SshConfigPlace place{ssh + QStringLiteral("/config"), home.path(),
                                   QStringLiteral("amy"), ssh};
        const SiteFileRead read = ReadSshConfigHosts(c.text, place);
        const ImportedSite* site = find(read, QString::fromUtf8(c.source));
        ASSERT_NE(site, nullptr);
        if (*c.host) {
            EXPECT_FALSE(site->skipped()) << site->skipReason.toStdString();
            EXPECT_EQ(site->record.URL, QString::fromUtf8(c.host));
            EXPECT_EQ(site->record.Login, QString::fromUtf8(c.reasonOrLogin) == u"%u"
                                              ? QStringLiteral("amy")
                                              : QString::fromUtf8(c.reasonOrLogin));
        } else {
            EXPECT_TRUE(site->skipReason.contains(QString::fromUtf8(c.reasonOrLogin)))
                << site->skipReason.toStdString();
        }
    }
}
