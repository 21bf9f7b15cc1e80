#include "core/accounts/site_import/site_import_flow.h"
#include "core/accounts/site_import/site_import_port.h"
#include "core/text/messages.h"

#include "support/recording_port.h"
#include "support/test_files.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace tw;

namespace {

// Answers the file dialog and the report from a script, and keeps what it was shown.
class ScriptedSitePort : public test::RecordingPort, public SiteImportPort {
public:
    std::optional<QString> fileAnswer;
    bool importAnswer = true;
    QString askedPath, askedTitle, askedFilter;
    std::vector<SiteImportRow> shownRows;
    int shownCount = -1;
    int reports = 0;

    std::optional<QString> askSiteFile(const QString& path, const QString& title,
                                       const QString& filter) override {
        askedPath = path;
        askedTitle = title;
        askedFilter = filter;
        return fileAnswer;
    }
    bool confirmSiteImport(const QString&, const QString&, const std::vector<SiteImportRow>& rows,
                           int importCount) override {
        ++reports;
        shownRows = rows;
        shownCount = importCount;
        return importAnswer;
    }
};

AccountRecord existing(const QString& name) {
    AccountRecord r;
    r.Name = name;
    r.URL = QStringLiteral("old.example.org");
    return r;
}

class SiteImportFlow : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(home.isValid());
        qunsetenv("XDG_CONFIG_HOME");
        state.Accounts = {existing(QStringLiteral("Old"))};
        state.CurrentAccount = 0;
    }
    std::vector<int> run(SiteImportKind kind) {
        return RunSiteImport(
            kind, state, messages, port, save,
            [this](const std::vector<int>& rows) { announced.push_back(rows); }, home.path());
    }

    QTemporaryDir home;
    AppState state;
    AppGlobals globals;
    ScriptedSitePort port;
    Messages messages{port, state, globals};
    std::vector<AppState> saved;
    std::vector<std::vector<int>> announced;
    SaveSettingsFn save = [this](const AppState& s) {
        saved.push_back(s);
        return true;
    };
};

} // namespace

// Each command proposes its usual file, shows the report before anything changes, and on
// Import adds, saves, and announces the new rows; Cancel at either step changes nothing.
TEST_F(SiteImportFlow, ReportFirstThenImportSavesAndAnnouncesTheRows) {
    const QString fileZilla = home.filePath(QStringLiteral(".config/filezilla/sitemanager.xml"));
    test::WriteFile(fileZilla,
                    "<FileZilla3><Servers><Server><Host>a.example</Host><Pass>pw</Pass>"
                    "<User>u</User><Name>A</Name></Server><Server><Host>b.example</Host>"
                    "<Protocol>9</Protocol><Name>B</Name></Server></Servers></FileZilla3>");
    const QString sshConfig = home.filePath(QStringLiteral(".ssh/config"));
    test::WriteFile(sshConfig, "Host Old\n  HostName old.example\nHost *\n  User x\n");
    const struct {
        SiteImportKind kind;
        QString path;
        const char* title;
        std::vector<QString> accounts; // the names added
        std::size_t rows;              // rows of the report
    } cases[] = {
        {SiteImportKind::FileZilla, fileZilla, "Import FileZilla Sites", {QStringLiteral("A")}, 2},
        {SiteImportKind::SshConfig,
         sshConfig,
         "Import SSH Config Hosts",
         {QStringLiteral("Old (2)")},
         2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.title);
        const std::vector<AccountRecord> before = state.Accounts;
        // Cancel in the file dialog, then in the report.
        port.fileAnswer.reset();
        EXPECT_TRUE(run(c.kind).empty());
        EXPECT_EQ(port.askedPath, c.path);
        EXPECT_EQ(port.askedTitle, QString::fromUtf8(c.title));
        EXPECT_EQ(port.reports, 0);
        port.fileAnswer = c.path;
        port.importAnswer = false;
        EXPECT_TRUE(run(c.kind).empty());
        EXPECT_EQ(port.reports, 1);
        EXPECT_EQ(port.shownRows.size(), c.rows);
        EXPECT_EQ(port.shownCount, int(c.accounts.size()));
        EXPECT_EQ(state.Accounts, before);
        EXPECT_TRUE(saved.empty());
        EXPECT_TRUE(announced.empty());

        port.importAnswer = true;
        const std::vector<int> rows = run(c.kind);
        ASSERT_EQ(rows.size(), c.accounts.size());
        for (std::size_t i = 0; i < rows.size(); ++i)
            EXPECT_EQ(state.Accounts[std::size_t(rows[i])].Name, c.accounts[i]);
        EXPECT_EQ(state.Accounts.size(), before.size() + rows.size());
        ASSERT_EQ(saved.size(), 1u);
        EXPECT_EQ(saved.front().Accounts, state.Accounts);
        ASSERT_EQ(announced.size(), 1u);
        EXPECT_EQ(announced.front(), rows);
        EXPECT_EQ(state.CurrentAccount, 0);
        saved.clear();
        announced.clear();
        port.reports = 0;
    }
    // The imported password waits for the store: kept in the record, not yet placed.
    const AccountRecord& a = state.Accounts[1];
    EXPECT_EQ(a.Password, QStringLiteral("pw"));
    EXPECT_TRUE(a.SavePassword);
    EXPECT_EQ(a.Kept, PasswordPlace::None);
}

// A file too large, unreadable or of another kind is a message; nothing is shown or changed.
TEST_F(SiteImportFlow, FilesThatCannotBeReadAreAMessageAndChangeNothing) {
    const QString big = home.filePath(QStringLiteral("big.xml"));
    test::WriteFile(big, QByteArray(kMaxSiteFileSize + 1, ' '));
    const QString html = home.filePath(QStringLiteral("page.xml"));
    test::WriteFile(html, "<html/>");
    const struct {
        QString path;
        const char* message;
    } cases[] = {
        {big, "is larger than 16 MiB"},
        {home.filePath(QStringLiteral("none.xml")), "cannot be read: No such file or directory"},
        {home.path(), "cannot be read: Is a directory"},
        {html, "This is not a FileZilla site list"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message);
        port.clear();
        port.fileAnswer = c.path;
        EXPECT_TRUE(run(SiteImportKind::FileZilla).empty());
        const auto boxes = port.boxes();
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].caption, QStringLiteral("Import FileZilla Sites"));
        EXPECT_TRUE(boxes[0].text.contains(QString::fromUtf8(c.message)))
            << boxes[0].text.toStdString();
        EXPECT_EQ(port.reports, 0);
        EXPECT_EQ(state.Accounts.size(), 1u);
        EXPECT_TRUE(saved.empty());
    }
}
