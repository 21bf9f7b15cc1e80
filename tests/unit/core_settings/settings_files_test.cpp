#include "settings_fixture.h"
#include "support/test_files.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <csignal>
#include <sys/resource.h>
#include <unistd.h>

using namespace tw;
using tw::test::SettingsFixture;

namespace {

// Stored values of a state loaded from a damaged file: every field is either what was stored
// or its default, so only the shapes are checked.
void expectSaneState(const AppState& s) {
    EXPECT_LE(s.options.BlockSize, 5u);
    EXPECT_LE(s.AccountCount(), kMaxAccounts);
    EXPECT_LE(s.FileTypes.size(), std::size_t(kMaxFileTypes));
    EXPECT_GE(s.CurrentAccount, -1);
    EXPECT_LT(s.CurrentAccount, std::max(1, s.AccountCount()));
    for (const QString& label : s.ColumnLabels)
        EXPECT_FALSE(label.isEmpty());
}

} // namespace

TEST_F(SettingsFixture, SettingsFileIsCreatedForItsOwnerOnly) {
    AppGlobals globals;
    load(globals);
    ASSERT_TRUE(QFileInfo::exists(file));
    EXPECT_EQ(QFileInfo(file).permissions(), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                 QFileDevice::ReadUser | QFileDevice::WriteUser);
    // Saving again (an atomic replace) keeps the rights.
    AppState state = load(globals);
    auto store = openStore();
    ASSERT_TRUE(SaveSettings(*store, state, globals));
    EXPECT_EQ(QFileInfo(file).permissions() & (QFileDevice::ReadGroup | QFileDevice::ReadOther),
              QFileDevice::Permissions());
}

TEST_F(SettingsFixture, GarbageAndTruncatedFilesGiveDefaultsWithoutACrash) {
    // A full file, truncated at several places, then random bytes.
    {
        AppGlobals globals;
        load(globals);
    }
    const QByteArray whole = test::ReadFile(file);
    ASSERT_GT(whole.size(), 1000);
    for (qsizetype cut : {qsizetype(7), whole.size() / 3, whole.size() / 2, whole.size() - 5}) {
        test::WriteFile(file, whole.left(cut));
        AppGlobals globals;
        expectSaneState(load(globals));
    }
    QRandomGenerator rng(4711);
    for (int round = 0; round < 5; ++round) {
        QByteArray junk(4096, '\0');
        for (char& c : junk)
            c = static_cast<char>(rng.bounded(256));
        // Some plausible structure amid the noise.
        junk.replace(100, 30, "\n[Accounts]\nCount=999\nCurrent=77");
        test::WriteFile(file, junk);
        AppGlobals globals;
        const AppState state = load(globals);
        expectSaneState(state);
        EXPECT_EQ(state.options.ToolBar, 1u);
    }
}

TEST_F(SettingsFixture, MissingFileIsAFirstStart) {
    ASSERT_FALSE(QFileInfo::exists(file));
    AppGlobals globals;
    load(globals);
    EXPECT_TRUE(globals.FirstStart);
    EXPECT_TRUE(QFileInfo::exists(file));
}

TEST_F(SettingsFixture, EmptyFileIsAFirstStart) {
    test::WriteFile(file, QByteArray());
    AppGlobals globals;
    const AppState state = load(globals);
    EXPECT_TRUE(globals.FirstStart);
    EXPECT_EQ(state.AccountCount(), 4);
}

TEST_F(SettingsFixture, SettingsPathThatIsAFolderGivesDefaultsAndAFailedSave) {
    ASSERT_TRUE(QDir().mkpath(file));
    AppGlobals globals;
    const AppState state = load(globals);
    EXPECT_FALSE(globals.FirstStart); // something is there; it is not replaced by a first start
    EXPECT_EQ(state.options, Options{});
    EXPECT_EQ(state.AccountCount(), 0);
    auto store = openStore();
    EXPECT_FALSE(SaveSettings(*store, state, globals));
    EXPECT_TRUE(QFileInfo(file).isDir());
    EXPECT_TRUE(QFileInfo(file).permissions() & QFileDevice::ExeOwner); // rights left alone
    EXPECT_EQ(
        QFileInfo(file).dir().entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
        QStringList{QFileInfo(file).fileName()});
}

TEST_F(SettingsFixture, UnreadableFileGivesDefaultsAndIsNotOverwrittenAtStart) {
    if (geteuid() == 0)
        GTEST_SKIP() << "file permissions do not bind the super-user";
    // Written without QSettings, which would keep a parsed copy of the file in this process.
    test::WriteFile(file, "[Options]\nTopMost=1\n");
    const QByteArray before = test::ReadFile(file);
    ASSERT_TRUE(QFile::setPermissions(file, QFileDevice::Permissions()));
    AppGlobals globals;
    const AppState state = load(globals);
    EXPECT_FALSE(globals.FirstStart);
    EXPECT_EQ(state.options.TopMost, 0u);
    QFile::setPermissions(file, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    EXPECT_EQ(test::ReadFile(file), before);
    EXPECT_EQ(QFileInfo(file).dir().entryList(QDir::Files | QDir::Hidden),
              QStringList{QFileInfo(file).fileName()});
}

// A save that fails half-way (here: the file size limit is hit while writing) leaves the old
// file exactly as it was.
TEST_F(SettingsFixture, FailedSaveLeavesTheOldFileIntact) {
    AppGlobals globals;
    AppState state = load(globals);
    const QByteArray before = test::ReadFile(file);
    ASSERT_GT(before.size(), 4096);

    for (AccountRecord& a : state.Accounts)
        a.Comments = QString(1000, u'c');
    state.options.TopMost = 1;

    struct rlimit old {};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = old;
    small.rlim_cur = 2048;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    bool saved = true;
    {
        auto store = openStore();
        saved = SaveSettings(*store, state, globals);
    }
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, previousHandler);

    EXPECT_FALSE(saved);
    EXPECT_EQ(test::ReadFile(file), before);
    const QStringList leftovers =
        QFileInfo(file).dir().entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot);
    EXPECT_EQ(leftovers, QStringList{QFileInfo(file).fileName()});
}
