#include "core/accounts/account_export.h"
#include "core/accounts/account_file_commands.h"
#include "core/accounts/account_store.h"
#include "core/settings/settings.h"
#include "core/settings/settings_store.h"
#include "core/text/messages.h"
#include "core/text/string_table.h"
#include "scripted_accounts_port.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

using namespace tw;
using tw::test::ScriptedAccountsPort;

namespace {

AccountRecord account(const QString& name) {
    AccountRecord a;
    a.Name = name;
    a.URL = name.toLower() + u".example.org"_qs;
    a.Anonymous = true;
    a.Passive = true;
    return a;
}

QString text(int id, FmtArgs args = {}) {
    return FormatText(LookupString(id).value_or(QString()), args, kMessageLimit);
}

QByteArray contents(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

class AccountFileCommands : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        state.Accounts = {account(u"Alpha"_qs), account(u"Beta"_qs)};
        state.CurrentAccount = 0;
        state.FileTypes = {{u".txt"_qs, u"NotePad.exe"_qs}};
        state.DefaultEditor = u"NotePad.exe"_qs;
    }
    QString path(const char* name) const { return dir.filePath(QString::fromUtf8(name)); }

    QTemporaryDir dir;
    AppState state;
    AppGlobals globals;
    ScriptedAccountsPort port;
    Messages messages{port, state, globals};
    int saves = 0;
    SaveSettingsFn countSaves = [this](const AppState&) {
        ++saves;
        return true;
    };
};

} // namespace

TEST_F(AccountFileCommands, ExportAsksInTheDocumentsFolderAndCancelWritesNothing) {
    EXPECT_FALSE(RunExport(state, messages, port));
    ASSERT_EQ(port.dialogs.size(), 1);
    const QStringList dialog = port.dialogs[0].split(u'|');
    EXPECT_EQ(dialog[0], u"save"_qs);
    EXPECT_TRUE(dialog[1].endsWith(u"/Tarnwick 2000 Accounts.twx"_qs)) << dialog[1].toStdString();
    EXPECT_EQ(dialog[2], text(1032));
    EXPECT_EQ(port.dialogs[0].section(u'|', 3, -3) + u'|', text(1033));
    EXPECT_EQ(dialog.last(), text(1034));
    EXPECT_EQ(port.status(), text(141));
    EXPECT_FALSE(QFileInfo::exists(dialog[1]) &&
                 QFileInfo(dialog[1]).lastModified().secsTo(QDateTime::currentDateTime()) < 2);
}

TEST_F(AccountFileCommands, ExportWritesAnOwnerOnlyFileAndRemembersThePath) {
    const QString file = path("out.twx");
    port.fileAnswers = {file};
    state.ExportPath = path("earlier.twx");
    ASSERT_TRUE(RunExport(state, messages, port, QDateTime(QDate(2026, 12, 8), QTime(17, 55, 42))));
    EXPECT_EQ(state.ExportPath, file);
    EXPECT_TRUE(port.dialogs[0].startsWith(u"save|"_qs + path("earlier.twx")));
    struct stat st {};
    ASSERT_EQ(::stat(QFile::encodeName(file).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    const QByteArray bytes = contents(file);
    EXPECT_TRUE(bytes.contains("Name=Beta\r\n"));
    EXPECT_TRUE(bytes.endsWith("; end of " + file.toUtf8() + "\r\n"));
    EXPECT_FALSE(bytes.contains(":42")); // the time is shown without seconds
    EXPECT_EQ(port.count(u"cursor: wait on"_qs), 1);
    EXPECT_EQ(port.count(u"cursor: wait off"_qs), 1);
}

TEST_F(AccountFileCommands, ExportKeepsABackupOfTheFileItReplaces) {
    const QString file = path("out.twx");
    writeFile(file, "old contents");
    writeFile(path("Backup of out.twx"), "older backup");
    ::chmod(QFile::encodeName(file).constData(), 0644);
    port.fileAnswers = {file};
    ASSERT_TRUE(RunExport(state, messages, port));
    EXPECT_EQ(contents(path("Backup of out.twx")), QByteArray("old contents"));
    struct stat st {};
    ASSERT_EQ(::stat(QFile::encodeName(file).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u); // an existing file is tightened as well
    ASSERT_EQ(::stat(QFile::encodeName(path("Backup of out.twx")).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0077, 0u);
}

TEST_F(AccountFileCommands, ExportToAReadOnlyFileFailsWithoutBackup) {
    const QString file = path("locked.twx");
    writeFile(file, "keep me");
    ::chmod(QFile::encodeName(file).constData(), 0444);
    port.fileAnswers = {file};
    EXPECT_FALSE(RunExport(state, messages, port));
    EXPECT_EQ(contents(file), QByteArray("keep me"));
    EXPECT_FALSE(QFileInfo::exists(path("Backup of locked.twx")));
    ASSERT_EQ(port.boxes().size(), 1u);
    EXPECT_EQ(port.boxes()[0].caption, text(1000));
    EXPECT_EQ(port.boxes()[0].text, text(60027, {file, EACCES}));
    EXPECT_EQ(port.count(u"cursor: wait off"_qs), 1);
    EXPECT_EQ(state.ExportPath, file);
}

TEST_F(AccountFileCommands, ExportIntoAMissingFolderReportsTheOpenError) {
    const QString file = path("no/such/folder/out.twx");
    port.fileAnswers = {file};
    EXPECT_FALSE(RunExport(state, messages, port));
    ASSERT_EQ(port.boxes().size(), 1u);
    EXPECT_EQ(port.boxes()[0].text, text(60027, {file, ENOENT}));
}

TEST_F(AccountFileCommands, ExportNeverBlocksOnAPipe) {
    const QString pipe = path("pipe.twx");
    ASSERT_EQ(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    port.fileAnswers = {pipe};
    EXPECT_FALSE(RunExport(state, messages, port));
    ASSERT_EQ(port.boxes().size(), 1u);
    EXPECT_EQ(port.boxes()[0].text, text(60027, {pipe, ENXIO}));
}

TEST_F(AccountFileCommands, ImportAnsweredNoAsksForNoFile) {
    port.answerBoxes({false});
    EXPECT_FALSE(RunImport(state, messages, port, countSaves));
    ASSERT_EQ(port.boxes().size(), 1u);
    EXPECT_EQ(port.boxes()[0].caption, text(3900));
    EXPECT_EQ(port.boxes()[0].text, text(3901));
    EXPECT_TRUE(port.dialogs.isEmpty());
    EXPECT_EQ(saves, 0);
    EXPECT_EQ(port.status(), text(140));
}

TEST_F(AccountFileCommands, TwoLineNotesRoundTripThroughTheFile) {
    state.Accounts[1].Comments = u"first line\r\nsecond line"_qs;
    const QString file = path("notes.twx");
    port.fileAnswers = {file};
    ASSERT_TRUE(RunExport(state, messages, port));
    EXPECT_TRUE(contents(file).contains("Comments=first line|second line\r\n"));

    AppState other;
    Messages otherMessages(port, other, globals);
    port.fileAnswers = {file};
    port.answerBoxes({true});
    ASSERT_TRUE(RunImport(other, otherMessages, port, countSaves));
    ASSERT_EQ(other.AccountCount(), 2);
    EXPECT_EQ(other.Accounts[1].Comments, u"first line\r\nsecond line"_qs);
    EXPECT_EQ(other.ExportPath, file);
    EXPECT_EQ(saves, 1);
}

TEST_F(AccountFileCommands, RefusedImportsChangeNothing) {
    const AppState before = [&] {
        state.sounds[2].WaveFile = u"/keep.wav"_qs;
        return state;
    }();
    const QString wrong = path("wrong.twx");
    writeFile(wrong,
              "[Tarnwick 2000]\r\nSignature=0x5B3D0C70\r\n[Accounts]\r\nCount=0\r\n; end of\r\n");
    const QString cut = path("cut.twx");
    const QByteArray whole = BuildExportFile(state, cut, u"now"_qs); // sound, then cut short
    writeFile(cut, whole.left(whole.indexOf("[Sounds]")));
    const QString garbage = path("garbage.twx");
    QByteArray noise;
    for (int i = 0; i < 300000; ++i)
        noise.append(char((i * 2654435761u) >> 13));
    writeFile(garbage, noise);
    const QString pipe = path("pipe.twx");
    ASSERT_EQ(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    const QString missing = path("missing.twx");
    const QString huge = path("huge.twx");
    writeFile(huge, "[Tarnwick 2000]\r\nSignature=0x5B3D0C71\r\n");
    ASSERT_EQ(::truncate(QFile::encodeName(huge).constData(), 100LL * 1024 * 1024), 0);

    const std::vector<std::pair<QString, QString>> cases = {
        {wrong, text(3902, {wrong})},
        {cut, text(3902, {cut})},
        {missing, text(60027, {missing, ENOENT})},
        {huge, text(3902, {huge})},
        {dir.path(), text(60027, {dir.path(), EISDIR})},
        {garbage, text(3902, {garbage})},
        {pipe, text(60027, {pipe, EINVAL})},
    };
    for (const auto& [file, message] : cases) {
        port.clear();
        port.fileAnswers = {file};
        port.answerBoxes({true});
        EXPECT_FALSE(RunImport(state, messages, port, countSaves)) << file.toStdString();
        ASSERT_EQ(port.boxes().size(), 2u) << file.toStdString();
        EXPECT_EQ(port.boxes()[1].caption, text(1000));
        EXPECT_EQ(port.boxes()[1].text, message);
        EXPECT_EQ(port.count(u"cursor: wait off"_qs), 1);
        EXPECT_EQ(state.Accounts, before.Accounts);
        EXPECT_EQ(state.FileTypes, before.FileTypes);
        EXPECT_EQ(state.sounds, before.sounds);
    }
    EXPECT_EQ(saves, 0);
}

TEST_F(AccountFileCommands, ImportingTwoAccountsOverTenLeavesOnlyRowsOneAndTwoStored) {
    SettingsStore store(path("settings.ini"));
    AppState big;
    for (int i = 0; i < 10; ++i)
        big.Accounts.push_back(account(u"Row %1"_qs.arg(i + 1)));
    big.CurrentAccount = 9;
    ASSERT_TRUE(SaveSettings(store, big, globals));
    ASSERT_TRUE(store.SettingsKeyExists(AccountKey(10)));

    const QString file = path("two.twx");
    port.fileAnswers = {file};
    ASSERT_TRUE(RunExport(state, messages, port));

    Messages bigMessages(port, big, globals);
    port.fileAnswers = {file};
    port.answerBoxes({true});
    ASSERT_TRUE(RunImport(big, bigMessages, port,
                          [&](const AppState& s) { return SaveSettings(store, s, globals); }));
    ASSERT_EQ(big.AccountCount(), 2);
    EXPECT_EQ(big.CurrentAccount, 0);

    AppState reloaded;
    LoadAccounts(store, reloaded);
    ASSERT_EQ(reloaded.AccountCount(), 2);
    EXPECT_EQ(reloaded.Accounts[0].Name, u"Alpha"_qs);
    EXPECT_EQ(reloaded.Accounts[1].Name, u"Beta"_qs);
    EXPECT_TRUE(store.SettingsKeyExists(AccountKey(1)));
    EXPECT_TRUE(store.SettingsKeyExists(AccountKey(2)));
    for (int row = 3; row <= 10; ++row)
        EXPECT_FALSE(store.SettingsKeyExists(AccountKey(row))) << row;
}
