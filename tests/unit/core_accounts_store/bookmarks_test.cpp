#include "core/accounts/account_store.h"
#include "core/accounts/accounts_sheet.h"
#include "core/accounts/bookmarks.h"
#include "core/settings/settings_store.h"
#include "core/state/app_state.h"
#include "core/text/messages.h"
#include "support/recording_port.h"

#include <QSettings>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace tw;

namespace {

class BookmarksTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString file = dir.filePath(u"settings.ini"_qs);
    test::RecordingPort port;
    AppGlobals globals;

    SaveState saver() {
        return [this](const AppState& s) {
            SettingsStore store(file);
            SaveAccounts(store, s);
            return store.Sync();
        };
    }
    AppState load() {
        AppState s;
        const SettingsStore store(file);
        LoadAccounts(store, s);
        return s;
    }
    static AccountRecord account(const QString& name, std::vector<QString> bookmarks) {
        AccountRecord a;
        a.Name = name;
        a.URL = u"ftp.example.org"_qs;
        a.Anonymous = true;
        a.Bookmarks = std::move(bookmarks);
        return a;
    }
    static std::vector<QString> bookmarksOf(const AppState& s, const QString& name) {
        for (const AccountRecord& a : s.Accounts)
            if (a.Name == name)
                return a.Bookmarks;
        return {u"<no account>"_qs};
    }
};

// Bookmarks go with their account through the load-time sort, a rename in the accounts sheet
// and the delete of another account; the export format does not carry them.
TEST_F(BookmarksTest, FollowTheirAccountThroughRenameAndDelete) {
    AppState state;
    state.Accounts = {account(u"Beta"_qs, {u"/b1"_qs, u"/b2"_qs}),
                      account(u"Alpha"_qs, {u"/a1"_qs})};
    state.CurrentAccount = 0;
    ASSERT_TRUE(saver()(state));

    state = load();
    ASSERT_EQ(state.Accounts[0].Name, u"Alpha"_qs); // sorted by name on loading
    EXPECT_EQ(bookmarksOf(state, u"Alpha"_qs), std::vector<QString>{u"/a1"_qs});
    EXPECT_EQ(bookmarksOf(state, u"Beta"_qs), (std::vector<QString>{u"/b1"_qs, u"/b2"_qs}));

    // Rename Alpha to Zeta: it sorts after Beta on the next load, its bookmarks with it.
    const Messages messages(port, state, globals);
    state.CurrentAccount = 0; // Alpha
    ShowAccountsSheet(
        state, false, messages,
        [](AccountsSheet& sheet) {
            sheet.activateLogin();
            sheet.nameEdited(u"Zeta"_qs);
            return true;
        },
        saver());
    state = load();
    ASSERT_EQ(state.Accounts[0].Name, u"Beta"_qs);
    EXPECT_EQ(bookmarksOf(state, u"Zeta"_qs), std::vector<QString>{u"/a1"_qs});
    EXPECT_EQ(bookmarksOf(state, u"Beta"_qs), (std::vector<QString>{u"/b1"_qs, u"/b2"_qs}));

    // Delete Beta (row 1): Zeta takes row 1, and row 1 keeps none of Beta's bookmarks.
    port.answerBoxes({true});
    ShowAccountsSheet(
        state, false, messages,
        [](AccountsSheet& sheet) {
            sheet.activateLogin();
            return sheet.deleteAccount(0);
        },
        saver());
    state = load();
    ASSERT_EQ(state.AccountCount(), 1);
    EXPECT_EQ(bookmarksOf(state, u"Zeta"_qs), std::vector<QString>{u"/a1"_qs});
    QSettings raw(file, QSettings::IniFormat);
    EXPECT_EQ(raw.value(u"Accounts/Account-001/Bookmarks/Count"_qs).toInt(), 1);
    EXPECT_FALSE(raw.contains(u"Accounts/Account-001/Bookmarks/Folder-002"_qs));
    EXPECT_FALSE(raw.contains(u"Accounts/Account-002/Bookmarks/Count"_qs));
}

TEST_F(BookmarksTest, AddKeepsTheRemoteFolderOnceAndRefusesWhatCannotBeKept) {
    AppState state;
    state.Accounts = {account(u"Site"_qs, {})};
    state.CurrentAccount = 0;
    const Messages messages(port, state, globals);
    struct Step {
        QString folder;
        bool added;
        QString status;
    };
    const Step steps[] = {
        {u"/pub/docs"_qs, true, u"Bookmark added: /pub/docs"_qs},
        {u"/pub/docs"_qs, false, u"/pub/docs is a bookmark already."_qs},
        {u"/a\r\nDELE x"_qs, false,
         u"The folder name /a\\x0d\\x0aDELE x contains a control character: it is not entered."_qs},
        {u"/"_qs, true, u"Bookmark added: /"_qs},
    };
    for (const Step& step : steps) {
        state.remote.path = step.folder;
        EXPECT_EQ(AddCurrentBookmark(state, state.CurrentAccount, messages, saver()), step.added);
        EXPECT_EQ(port.status(), step.status);
    }
    EXPECT_EQ(load().Accounts[0].Bookmarks, (std::vector<QString>{u"/pub/docs"_qs, u"/"_qs}));

    for (int i = 2; i < kMaxBookmarks; ++i) {
        state.remote.path = QStringLiteral("/f%1").arg(i);
        ASSERT_TRUE(AddCurrentBookmark(state, state.CurrentAccount, messages, {}));
    }
    state.remote.path = u"/one-more"_qs;
    EXPECT_FALSE(AddCurrentBookmark(state, state.CurrentAccount, messages, {}));
    EXPECT_EQ(port.status(), u"An account keeps at most 50 bookmarks: remove one first."_qs);

    // A connection outside the table (a quick connect) keeps nothing, not even for the table's
    // current account.
    state.Accounts[0].Bookmarks.clear();
    state.remote.path = u"/elsewhere"_qs;
    EXPECT_FALSE(AddCurrentBookmark(state, -1, messages, {}));
    EXPECT_EQ(port.status(), u"Connect with a saved account to keep its folders as bookmarks."_qs);
    EXPECT_TRUE(state.Accounts[0].Bookmarks.empty());
}

// The dialog's flow: a removal is stored at once, Go To returns the row's folder.
TEST_F(BookmarksTest, DialogRemovesAndGoesTo) {
    struct ScriptedPort : BookmarksPort {
        QString account;
        std::vector<QString> afterRemove;
        std::optional<int>
        chooseBookmark(const QString& name, const std::vector<QString>&,
                       const std::function<std::vector<QString>(int)>& remove) override {
            account = name;
            afterRemove = remove(0);
            return 1;
        }
    } dialog;
    AppState state;
    state.Accounts = {account(u"Site"_qs, {u"/a"_qs, u"/b"_qs, u"/c"_qs})};
    state.CurrentAccount = 0;
    const Messages messages(port, state, globals);
    EXPECT_EQ(ShowBookmarks(state, 0, messages, dialog, saver()), u"/c"_qs);
    EXPECT_EQ(dialog.account, u"Site"_qs);
    EXPECT_EQ(dialog.afterRemove, (std::vector<QString>{u"/b"_qs, u"/c"_qs}));
    EXPECT_EQ(load().Accounts[0].Bookmarks, (std::vector<QString>{u"/b"_qs, u"/c"_qs}));

    // A hand-edited file: a folder with a control character and a copy are dropped on reading.
    {
        QSettings raw(file, QSettings::IniFormat);
        raw.setValue(u"Accounts/Account-001/Bookmarks/Count"_qs, 3);
        raw.setValue(u"Accounts/Account-001/Bookmarks/Folder-001"_qs, u"/x\u0001y"_qs);
        raw.setValue(u"Accounts/Account-001/Bookmarks/Folder-003"_qs, u"/c"_qs);
    }
    EXPECT_EQ(load().Accounts[0].Bookmarks, std::vector<QString>{u"/c"_qs});
}

} // namespace
