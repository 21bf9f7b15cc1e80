#include "core/accounts/account_store.h"
#include "core/accounts/accounts_sheet.h"
#include "core/text/messages.h"
#include "core/text/string_table.h"
#include "support/recording_port.h"

#include <gtest/gtest.h>

using namespace tw;
using tw::test::RecordingPort;

namespace {

AccountRecord account(const QString& name) {
    AccountRecord a;
    a.Name = name;
    a.URL = name.toLower() + u".example.org"_qs;
    a.Login = u"user"_qs;
    a.Password = u"secret"_qs;
    a.Passive = true;
    a.RemotePort = 21;
    a.LocalPath = u"/home/"_qs + name;
    return a;
}

QString text(int id, FmtArgs args = {}) {
    return FormatText(LookupString(id).value_or(QString()), args, kMessageLimit);
}

class Sheet : public ::testing::Test {
protected:
    void SetUp() override {
        state.Accounts = {account(u"Alpha"_qs), account(u"Beta"_qs), account(u"Gamma"_qs)};
        state.CurrentAccount = 0;
    }
    LoginFields shown(const AccountsSheet& sheet) const { return sheet.loginView().fields; }

    AppState state;
    AppGlobals globals;
    RecordingPort port;
    Messages messages{port, state, globals};
};

} // namespace

TEST_F(Sheet, FirstActivationChoosesAValidCurrentAccount) {
    state.CurrentAccount = 7;
    AccountsSheet sheet(state, false, messages);
    sheet.activateLogin();
    EXPECT_EQ(sheet.currentAccount(), 0);
    const LoginView v = sheet.loginView();
    EXPECT_EQ(v.names, (QStringList{u"Alpha"_qs, u"Beta"_qs, u"Gamma"_qs}));
    EXPECT_EQ(v.selected, 0);
    EXPECT_EQ(v.visitsText, text(3307, {0u}));

    state.Accounts.clear();
    state.CurrentAccount = 0;
    AccountsSheet empty(state, false, messages);
    empty.activateLogin();
    EXPECT_EQ(empty.currentAccount(), -1);
}

TEST_F(Sheet, EnablingFollowsTheCurrentAccountsFlags) {
    state.Accounts[0].UseIP = true;
    state.Accounts[0].Anonymous = true;
    AccountsSheet sheet(state, false, messages);
    sheet.activateLogin();
    LoginView v = sheet.loginView();
    EXPECT_TRUE(v.newEnabled && v.deleteEnabled && v.nameEnabled && v.useIpEnabled);
    EXPECT_FALSE(v.urlEnabled);
    EXPECT_TRUE(v.ipEnabled);
    EXPECT_FALSE(v.loginEnabled);
    sheet.setUseIp(false);
    sheet.setAnonymous(false);
    v = sheet.loginView();
    EXPECT_TRUE(v.urlEnabled);
    EXPECT_FALSE(v.ipEnabled);
    EXPECT_TRUE(v.loginEnabled);
    EXPECT_FALSE(sheet.state().Accounts[0].UseIP);
}

TEST_F(Sheet, ValidationStopsAtTheFirstMissingFieldInOrder) {
    AccountsSheet sheet(state, false, messages);
    sheet.activateLogin();
    struct Case {
        LoginFields fields;
        std::optional<LoginField> failed;
        int message;
    };
    const LoginFields good = shown(sheet);
    auto with = [&](auto change) {
        LoginFields f = good;
        change(f);
        return f;
    };
    const std::vector<Case> cases = {
        {with([](LoginFields& f) { f.name.clear(), f.url.clear(); }), LoginField::Name, 3301},
        {with([](LoginFields& f) { f.url.clear(); }), LoginField::Url, 3302},
        {with([](LoginFields& f) { f.useIp = true; }), LoginField::Ip, 3303},
        {with([](LoginFields& f) { f.login.clear(), f.password.clear(); }), LoginField::Login,
         3304},
        {with([](LoginFields& f) { f.password.clear(); }), LoginField::Password, 3305},
        // Use IP with an empty URL and a filled address is valid.
        {with([](LoginFields& f) { f.url.clear(), f.useIp = true, f.ip = u"192.0.2.1"_qs; }),
         std::nullopt, 0},
        // Anonymous needs neither login nor password.
        {with([](LoginFields& f) { f.login.clear(), f.password.clear(), f.anonymous = true; }),
         std::nullopt, 0},
    };
    for (const Case& c : cases) {
        port.clear();
        EXPECT_EQ(sheet.validateAndStore(c.fields), c.failed) << c.message;
        if (c.failed) {
            ASSERT_EQ(port.boxes().size(), 1u) << c.message;
            EXPECT_EQ(port.boxes()[0].caption, text(3300));
            EXPECT_EQ(port.boxes()[0].text, text(c.message));
        } else {
            EXPECT_TRUE(port.boxes().empty());
        }
    }
    EXPECT_TRUE(sheet.state().Accounts[0].Anonymous);
    EXPECT_TRUE(sheet.state().Accounts[0].Login.isEmpty());
}

TEST_F(Sheet, AnInvalidAccountCannotBeLeftForAnother) {
    AccountsSheet sheet(state, false, messages);
    sheet.activateLogin();
    LoginFields f = shown(sheet);
    f.url.clear();
    std::optional<LoginField> failed;
    EXPECT_FALSE(sheet.selectAccount(2, f, &failed));
    EXPECT_EQ(failed, LoginField::Url);
    EXPECT_EQ(sheet.currentAccount(), 0);
    EXPECT_FALSE(sheet.newAccount(f, &failed));
    EXPECT_EQ(sheet.state().AccountCount(), 3);

    f.url = u"fixed.example.org"_qs;
    EXPECT_TRUE(sheet.selectAccount(2, f));
    EXPECT_EQ(sheet.currentAccount(), 2);
    EXPECT_EQ(sheet.state().Accounts[0].URL, u"fixed.example.org"_qs);
    EXPECT_EQ(sheet.loginView().fields.name, u"Gamma"_qs);
}

TEST_F(Sheet, TheNameIsEditedLiveInTheList) {
    AccountsSheet sheet(state, false, messages);
    sheet.activateLogin();
    ASSERT_TRUE(sheet.selectAccount(1, shown(sheet)));
    sheet.nameEdited(u"Beta renamed and made far longer than the field allows to hold it"_qs);
    const LoginView v = sheet.loginView();
    EXPECT_EQ(v.names[1].size(), kAccountNameLimit);
    EXPECT_TRUE(v.names[1].startsWith(u"Beta renamed"_qs));
    EXPECT_EQ(v.selected, 1);
}

TEST_F(Sheet, NewAccountIsEmptyPassiveWithPortTwentyOne) {
    state.Accounts[0].Passive = false; // a stored account keeps its mode
    AccountsSheet sheet(state, false, messages);
    sheet.activateLogin();
    ASSERT_TRUE(sheet.newAccount(shown(sheet)));
    ASSERT_EQ(sheet.state().AccountCount(), 4);
    EXPECT_EQ(sheet.currentAccount(), 3);
    EXPECT_FALSE(sheet.state().Accounts[0].Passive);
    AccountRecord expected;
    expected.RemotePort = 21;
    expected.Passive = true; // active mode fails behind NAT and most firewalls
    expected.Encryption = ftp::TlsMode::ExplicitIfAvailable;
    EXPECT_EQ(sheet.state().Accounts[3], expected);
    // It cannot be left empty.
    EXPECT_FALSE(sheet.selectAccount(0, shown(sheet)));
    EXPECT_EQ(port.boxes().back().text, text(3301));
}

// The first-start samples are complete accounts: New, another account and OK leave each of
// them untouched without a word.
TEST_F(Sheet, TheFirstStartSamplesLetNewSwitchingAndOkThrough) {
    state.Accounts = SampleAccounts();
    for (int index = 0; index < 4; ++index) {
        state.CurrentAccount = index;
        AccountsSheet sheet(state, index % 2 == 0, messages);
        sheet.activateLogin();
        EXPECT_EQ(sheet.validateAndStore(shown(sheet)), std::nullopt) << index;
        EXPECT_TRUE(sheet.selectAccount((index + 1) % 4, shown(sheet))) << index;
        ASSERT_TRUE(sheet.newAccount(shown(sheet))) << index;
        EXPECT_EQ(sheet.state().AccountCount(), 5);
        EXPECT_TRUE(sheet.state().Accounts[4].Passive);
    }
    EXPECT_TRUE(port.boxes().empty());
}

TEST_F(Sheet, NewThenDeleteRestoresTheTable) {
    state.CurrentAccount = 2;
    AccountsSheet sheet(state, false, messages);
    sheet.activateLogin();
    ASSERT_TRUE(sheet.newAccount(shown(sheet)));
    port.answerBoxes({true});
    ASSERT_TRUE(sheet.deleteAccount(sheet.currentAccount()));
    EXPECT_EQ(sheet.state().Accounts, state.Accounts);
    EXPECT_EQ(sheet.currentAccount(), 0);
    EXPECT_EQ(port.boxes().back().caption, text(3300));
    EXPECT_EQ(port.boxes().back().text, text(3306, {QString()}));
}

TEST_F(Sheet, DeleteAnsweredNoKeepsEverything) {
    AccountsSheet sheet(state, false, messages);
    sheet.activateLogin();
    ASSERT_TRUE(sheet.selectAccount(1, shown(sheet)));
    port.answerBoxes({false});
    EXPECT_FALSE(sheet.deleteAccount(1));
    EXPECT_EQ(port.boxes().back().text, text(3306, {u"Beta"_qs}));
    EXPECT_EQ(sheet.state().Accounts, state.Accounts);
    EXPECT_EQ(sheet.currentAccount(), 1);
}

TEST_F(Sheet, TheTableLimitDisablesNewUntilOneIsDeleted) {
    state.Accounts.assign(kMaxAccounts, account(u"Same"_qs));
    AccountsSheet sheet(state, false, messages);
    sheet.activateLogin();
    EXPECT_FALSE(sheet.loginView().newEnabled);
    EXPECT_FALSE(sheet.newAccount(shown(sheet)));
    EXPECT_EQ(sheet.state().AccountCount(), kMaxAccounts);
    port.answerBoxes({true});
    ASSERT_TRUE(sheet.deleteAccount(10));
    EXPECT_TRUE(sheet.loginView().newEnabled);
    EXPECT_TRUE(sheet.newAccount(shown(sheet)));
    EXPECT_FALSE(sheet.loginView().newEnabled);
}

TEST_F(Sheet, DeletingTheLastAccountLeavesOnlyTheListAndNew) {
    state.Accounts.resize(1);
    AccountsSheet sheet(state, false, messages);
    sheet.activateLogin();
    port.answerBoxes({true});
    ASSERT_TRUE(sheet.deleteAccount(0));
    const LoginView v = sheet.loginView();
    EXPECT_EQ(sheet.currentAccount(), -1);
    EXPECT_TRUE(v.names.isEmpty());
    EXPECT_EQ(v.selected, -1);
    EXPECT_TRUE(v.fields.name.isEmpty() && v.fields.url.isEmpty() && v.fields.password.isEmpty());
    EXPECT_FALSE(v.fields.anonymous || v.fields.useIp || v.fields.savePassword);
    EXPECT_TRUE(v.visitsText.isEmpty());
    EXPECT_TRUE(v.newEnabled);
    EXPECT_FALSE(v.deleteEnabled || v.nameEnabled || v.anonymousEnabled || v.useIpEnabled ||
                 v.urlEnabled || v.ipEnabled || v.loginEnabled);
    EXPECT_FALSE(v.okEnabled);
    // Nothing to validate, nothing stored by the other pages.
    EXPECT_FALSE(sheet.validateAndStore(LoginFields{}));
    EXPECT_EQ(sheet.activateStartup().name, QString());
    StartupFields typed;
    typed.localPath = u"/x"_qs;
    EXPECT_FALSE(sheet.storeStartup(typed));
    EXPECT_FALSE(sheet.storeNotes(u"text"_qs));
    EXPECT_TRUE(sheet.state().Accounts.empty());
}

TEST_F(Sheet, StartupEditsStayWithTheirAccount) {
    AccountsSheet sheet(state, false, messages);
    sheet.activateLogin();
    StartupView a = sheet.activateStartup();
    EXPECT_EQ(a.name, u"Alpha"_qs);
    EXPECT_EQ(a.fields.localPath, u"/home/Alpha"_qs);
    a.fields.localPath = u"/srv/alpha"_qs;
    a.fields.remoteSort = 2;
    a.fields.remotePort = u"2121"_qs;
    EXPECT_FALSE(sheet.storeStartup(a.fields)); // leaving the page
    NotesView notes = sheet.activateNotes();
    EXPECT_FALSE(sheet.storeNotes(u"about alpha"_qs));

    sheet.activateLogin();
    ASSERT_TRUE(sheet.selectAccount(1, shown(sheet)));
    // OK from the Login page: the other pages still show Alpha's values.
    const auto reloaded = sheet.storeStartup(a.fields);
    ASSERT_TRUE(reloaded);
    EXPECT_EQ(reloaded->name, u"Beta"_qs);
    EXPECT_EQ(reloaded->fields.localPath, u"/home/Beta"_qs);
    const auto notesReloaded = sheet.storeNotes(u"about alpha"_qs);
    ASSERT_TRUE(notesReloaded);
    EXPECT_EQ(notesReloaded->name, u"Beta"_qs);

    const AccountRecord& alpha = sheet.state().Accounts[0];
    EXPECT_EQ(alpha.LocalPath, u"/srv/alpha"_qs);
    EXPECT_EQ(alpha.RemoteSort, 2);
    EXPECT_EQ(alpha.RemotePort, 2121u);
    EXPECT_EQ(alpha.Comments, u"about alpha"_qs);
    EXPECT_EQ(sheet.state().Accounts[1], state.Accounts[1]);
    (void)notes;
}

TEST_F(Sheet, StartupFieldsAreReadAsTheirKinds) {
    AccountsSheet sheet(state, false, messages);
    sheet.activateLogin();
    StartupFields f = sheet.activateStartup().fields;
    f.remotePort.clear();
    f.localSort = -1; // nothing selected in the list: the stored key stays
    f.localMask = QString(40, u'*');
    ASSERT_FALSE(sheet.storeStartup(f));
    EXPECT_EQ(sheet.state().Accounts[0].RemotePort, 0u);
    EXPECT_EQ(sheet.state().Accounts[0].LocalSort, 0);
    EXPECT_EQ(sheet.state().Accounts[0].LocalMask.size(), kAccountMaskLimit);
    f.remotePort = u"99999999999"_qs;
    ASSERT_FALSE(sheet.storeStartup(f));
    EXPECT_EQ(sheet.state().Accounts[0].RemotePort, 4294967295u);
}

TEST_F(Sheet, NotesKeepCrLfLineEndsAndTheirLimit) {
    AccountsSheet sheet(state, false, messages);
    sheet.activateLogin();
    sheet.activateNotes();
    ASSERT_FALSE(sheet.storeNotes(u"one\ntwo\r\nthree"_qs));
    EXPECT_EQ(sheet.state().Accounts[0].Comments, u"one\r\ntwo\r\nthree"_qs);
    EXPECT_EQ(CommentsToNotes(sheet.state().Accounts[0].Comments), u"one\ntwo\nthree"_qs);
    ASSERT_FALSE(sheet.storeNotes(QString(1022, u'x') + u"\nmore"_qs));
    EXPECT_EQ(sheet.state().Accounts[0].Comments, QString(1022, u'x'));
}

TEST_F(Sheet, CancelAfterThreeDeletionsRestoresThem) {
    int saves = 0;
    const AppState before = state;
    const auto result = ShowAccountsSheet(
        state, false, messages,
        [&](AccountsSheet& sheet) {
            sheet.activateLogin();
            port.answerBoxes({true, true, true});
            for (int i = 0; i < 3; ++i)
                EXPECT_TRUE(sheet.deleteAccount(0));
            EXPECT_TRUE(sheet.state().Accounts.empty());
            return false; // Cancel
        },
        [&](const AppState&) { return ++saves > 0; });
    EXPECT_FALSE(result);
    EXPECT_EQ(state.Accounts, before.Accounts);
    EXPECT_EQ(state.CurrentAccount, before.CurrentAccount);
    EXPECT_EQ(saves, 0);
}

TEST_F(Sheet, OkReplacesTheStateSavesAndReturnsTheCurrentAccount) {
    std::vector<AccountRecord> saved;
    const auto result = ShowAccountsSheet(
        state, true, messages,
        [&](AccountsSheet& sheet) {
            sheet.activateLogin();
            EXPECT_TRUE(sheet.selectAccount(2, sheet.loginView().fields));
            sheet.rememberPosition(QRect(40, 50, 400, 300));
            return true;
        },
        [&](const AppState& s) {
            saved = s.Accounts;
            return true;
        });
    EXPECT_EQ(result, 2);
    EXPECT_EQ(state.CurrentAccount, 2);
    EXPECT_EQ(saved, state.Accounts);
    const WindowPlacement& p = state.placement(Placement::Accounts);
    EXPECT_EQ(p.Left, 40);
    EXPECT_EQ(p.Top, 50);
    EXPECT_EQ(p.Width, 400);
    EXPECT_EQ(p.Height, 300);
}

TEST_F(Sheet, OkLeavesWhatChangedMeanwhileOutsideTheSheet) {
    const auto result = ShowAccountsSheet(state, false, messages,
                                          [&](AccountsSheet& sheet) {
                                              sheet.activateLogin();
                                              sheet.nameEdited(u"Alpha 2"_qs);
                                              // A listing ends and an import path is set while the
                                              // sheet is open.
                                              state.local.path = u"/new/listing"_qs;
                                              state.ExportPath = u"/elsewhere.twx"_qs;
                                              return true;
                                          },
                                          {});
    EXPECT_EQ(result, 0);
    EXPECT_EQ(state.Accounts[0].Name, u"Alpha 2"_qs);
    EXPECT_EQ(state.local.path, u"/new/listing"_qs);
    EXPECT_EQ(state.ExportPath, u"/elsewhere.twx"_qs);
}

TEST_F(Sheet, ConnectFormAndPageTexts) {
    AccountsSheet connect(state, true, messages);
    EXPECT_EQ(connect.caption(), text(3320));
    EXPECT_EQ(connect.okText(), text(3309));
    connect.showPageStatus(SheetPage::Login);
    EXPECT_EQ(port.status(), text(454));
    AccountsSheet plain(state, false, messages);
    EXPECT_EQ(plain.caption(), text(3321));
    EXPECT_EQ(plain.okText(), text(3308));
    plain.showPageStatus(SheetPage::Login);
    EXPECT_EQ(port.status(), text(130));
    plain.showPageStatus(SheetPage::Startup);
    EXPECT_EQ(port.status(), text(420));
    plain.showPageStatus(SheetPage::Notes);
    EXPECT_EQ(port.status(), text(273));
    EXPECT_EQ(AccountsSheet::helpTopic(SheetPage::Startup), 302);
}

TEST_F(Sheet, PositionIsCentredOrKeptInsideTheScreen) {
    state.placement(Placement::Accounts) = WindowPlacement{900, 2000, 300, 400, 1};
    state.options.SaveWindows = 0;
    EXPECT_FALSE(AccountsSheet(state, false, messages).position(QRect(0, 0, 1024, 768)));
    state.options.SaveWindows = 1;
    EXPECT_EQ(AccountsSheet(state, false, messages).position(QRect(0, 0, 1024, 768)),
              QPoint(954, 698));
    state.placement(Placement::Accounts) = WindowPlacement{100, 120, 300, 400, 1};
    EXPECT_EQ(AccountsSheet(state, false, messages).position(QRect(0, 0, 1024, 768)),
              QPoint(120, 100));
}

// Implicit TLS has its own port: the choice moves 21 to 990 and back, and leaves any other port
// as the user set it. The choice is the account's once the page's fields are stored.
TEST_F(Sheet, EncryptionChoiceMovesOnlyTheStandardPorts) {
    using ftp::TlsMode;
    const struct {
        std::uint32_t port;
        TlsMode mode;
        std::uint32_t expected;
    } cases[] = {
        {21, TlsMode::Implicit, 990},
        {990, TlsMode::ExplicitRequired, 21},
        {990, TlsMode::ExplicitIfAvailable, 21},
        {990, TlsMode::Plain, 21},
        {990, TlsMode::Implicit, 990},
        {21, TlsMode::ExplicitRequired, 21},
        {2121, TlsMode::Implicit, 2121},
        {0, TlsMode::Implicit, 0},
        {10990, TlsMode::Plain, 10990},
    };
    for (const auto& c : cases) {
        state.Accounts[0].RemotePort = c.port;
        AccountsSheet sheet(state, false, messages);
        sheet.activateLogin();
        sheet.setEncryption(c.mode);
        LoginFields f = shown(sheet);
        EXPECT_EQ(f.encryption, c.mode);
        ASSERT_TRUE(sheet.selectAccount(1, f));
        const AccountRecord& a = sheet.state().Accounts[0];
        EXPECT_EQ(a.RemotePort, c.expected) << c.port << " " << int(c.mode);
        EXPECT_EQ(a.Encryption, c.mode) << c.port;
    }
    EXPECT_EQ(EncryptionText(TlsMode::ExplicitIfAvailable),
              u"Use explicit FTP over TLS if available"_qs);
    EXPECT_EQ(EncryptionText(TlsMode::ExplicitRequired), u"Require explicit FTP over TLS"_qs);
    EXPECT_EQ(EncryptionText(TlsMode::Implicit), u"Require implicit FTP over TLS"_qs);
    EXPECT_EQ(EncryptionText(TlsMode::Plain), u"Only use plain FTP (insecure)"_qs);
}
