#include "core/accounts/accounts_sheet.h"
#include "core/text/messages.h"
#include "core/text/string_table.h"
#include "support/recording_port.h"
#include "ui/accounts/account_file_dialogs.h"
#include "ui/accounts/accounts_sheet_dialog.h"
#include "ui/accounts/run_accounts_sheet.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>

#include <gtest/gtest.h>

#include <tuple>

using namespace tw;

namespace tw {
// Readable records in failure messages.
void PrintTo(const AccountRecord& a, std::ostream* os) {
    *os << a.Name.toStdString() << " (" << a.LocalPath.toStdString() << ", "
        << a.RemotePath.toStdString() << ", port " << a.RemotePort << ", encryption "
        << int(a.Encryption) << ", " << a.Comments.toStdString() << ")";
}
} // namespace tw
using tw::test::RecordingPort;
using tw::ui::AccountsSheetDialog;

namespace {

QString text(int id) {
    return LookupString(id).value_or(QString());
}

AccountRecord account(const QString& name) {
    AccountRecord a;
    a.Name = name;
    a.URL = name.toLower() + u".example.org"_qs;
    a.Login = u"user"_qs;
    a.Password = u"secret"_qs;
    a.Passive = true;
    a.RemotePort = 21;
    a.LocalPath = u"/home/"_qs + name;
    a.Visits = 3;
    a.Comments = u"Mirror of the archive.\r\nOpen at night."_qs;
    return a;
}

template <typename T>
T* child(QWidget* parent, const char* name) {
    T* found = parent->findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(found, nullptr) << name;
    return found;
}

// A page of the sheet by its object name, then a control on it.
template <typename T>
T* on(QWidget* dialog, const char* page, const char* name) {
    QWidget* p = child<QWidget>(dialog, page);
    return p ? child<T>(p, name) : nullptr;
}

void choose(QComboBox* list, int index) {
    list->setCurrentIndex(index);
    emit list->activated(index);
}

class SheetDialog : public ::testing::Test {
protected:
    void SetUp() override {
        state.Accounts = {account(u"Alpha"_qs), account(u"Beta"_qs), account(u"Gamma"_qs)};
        state.CurrentAccount = 0;
        state.options.SaveWindows = 0;
    }
    AppState state;
    AppGlobals globals;
    RecordingPort port;
    Messages messages{port, state, globals};
};

} // namespace

TEST_F(SheetDialog, ConnectFormAndControlLimits) {
    AccountsSheet sheet(state, true, messages);
    AccountsSheetDialog dialog(sheet, text(3200), {});
    EXPECT_EQ(dialog.windowTitle(), text(3320));
    EXPECT_EQ(dialog.okButton()->text(), text(3309));
    EXPECT_TRUE(dialog.okButton()->isEnabled());
    EXPECT_EQ(dialog.tabs()->count(), 3);
    const std::vector<std::pair<const char*, int>> limits = {{"nameEdit", 47},
                                                             {"urlEdit", 255},
                                                             {"ipEdit", 47},
                                                             {"loginEdit", 63},
                                                             {"passwordEdit", 63}};
    for (const auto& [name, limit] : limits)
        EXPECT_EQ(on<QLineEdit>(&dialog, "loginPage", name)->maxLength(), limit) << name;
    EXPECT_EQ(on<QLineEdit>(&dialog, "loginPage", "passwordEdit")->echoMode(), QLineEdit::Password);
    const std::vector<std::pair<const char*, int>> startupLimits = {
        {"localPathEdit", 255},  {"localMaskEdit", 23},  {"localExcludeEdit", 255},
        {"remotePathEdit", 255}, {"remoteMaskEdit", 23}, {"remoteExcludeEdit", 255}};
    for (const auto& [name, limit] : startupLimits)
        EXPECT_EQ(on<QLineEdit>(&dialog, "startupPage", name)->maxLength(), limit) << name;
    QComboBox* sort = on<QComboBox>(&dialog, "startupPage", "localSortList");
    ASSERT_EQ(sort->count(), 4);
    EXPECT_EQ(sort->itemText(3), u"by Type"_qs);
    EXPECT_EQ(on<QLabel>(&dialog, "loginPage", "visitsText")->text(), u"Visits: 3"_qs);
    EXPECT_EQ(port.status(), text(454));

    AccountsSheet plain(state, false, messages);
    AccountsSheetDialog plainDialog(plain, text(3200), {});
    EXPECT_EQ(plainDialog.windowTitle(), text(3321));
    EXPECT_EQ(plainDialog.okButton()->text(), text(3308));
}

TEST_F(SheetDialog, AnInvalidLoginPageCannotBeLeft) {
    AccountsSheet sheet(state, false, messages);
    AccountsSheetDialog dialog(sheet, text(3200), {});
    dialog.show();
    dialog.activateWindow();
    QApplication::processEvents();
    QLineEdit* login = on<QLineEdit>(&dialog, "loginPage", "loginEdit");
    login->clear();
    EXPECT_FALSE(dialog.switchTo(SheetPage::Startup));
    EXPECT_EQ(dialog.tabs()->currentIndex(), 0);
    ASSERT_FALSE(port.boxes().empty());
    EXPECT_EQ(port.boxes().back().text, text(3304));
    EXPECT_EQ(QApplication::focusWidget(), login);
    EXPECT_FALSE(dialog.tryAccept());
    EXPECT_TRUE(dialog.isVisible());

    // Anonymous makes the empty login acceptable and disables the login controls.
    // A refused switch to another account keeps the list on the current one.
    QComboBox* list = on<QComboBox>(&dialog, "loginPage", "accountList");
    choose(list, 2);
    EXPECT_EQ(list->currentIndex(), 0);
    EXPECT_EQ(on<QLineEdit>(&dialog, "loginPage", "nameEdit")->text(), u"Alpha"_qs);

    on<QCheckBox>(&dialog, "loginPage", "anonymousCheck")->click();
    EXPECT_FALSE(login->isEnabled());
    EXPECT_FALSE(on<QLineEdit>(&dialog, "loginPage", "passwordEdit")->isEnabled());
    EXPECT_TRUE(dialog.switchTo(SheetPage::Startup));
}

TEST_F(SheetDialog, SwitchingAccountsKeepsStartupEditsApart) {
    const auto result = ShowAccountsSheet(
        state, false, messages,
        [&](AccountsSheet& sheet) {
            AccountsSheetDialog dialog(sheet, text(3200), {});
            dialog.show();
            EXPECT_TRUE(dialog.switchTo(SheetPage::Startup));
            on<QLineEdit>(&dialog, "startupPage", "localPathEdit")->setText(u"/srv/alpha"_qs);
            on<QLineEdit>(&dialog, "startupPage", "portEdit")->setText(u"2121"_qs);
            EXPECT_TRUE(dialog.switchTo(SheetPage::Login));
            choose(on<QComboBox>(&dialog, "loginPage", "accountList"), 1);
            EXPECT_EQ(on<QLineEdit>(&dialog, "loginPage", "nameEdit")->text(), u"Beta"_qs);
            return dialog.tryAccept();
        },
        {});
    EXPECT_EQ(result, 1);
    EXPECT_EQ(state.Accounts[0].LocalPath, u"/srv/alpha"_qs);
    EXPECT_EQ(state.Accounts[0].RemotePort, 2121u);
    EXPECT_EQ(state.Accounts[1].LocalPath, u"/home/Beta"_qs);
    EXPECT_EQ(state.Accounts[1].RemotePort, 21u);
}

// The combo lists the four modes; choosing implicit TLS moves port 21 to 990 on the Startup
// page, and what was chosen is each account's when the sheet is accepted.
TEST_F(SheetDialog, EncryptionIsChosenPerAccountAndMovesTheStandardPort) {
    state.Accounts[1].Encryption = ftp::TlsMode::ExplicitRequired;
    const auto result = ShowAccountsSheet(
        state, false, messages,
        [&](AccountsSheet& sheet) {
            AccountsSheetDialog dialog(sheet, text(3200), {});
            dialog.show();
            QComboBox* combo = on<QComboBox>(&dialog, "loginPage", "encryptionCombo");
            QStringList items;
            for (int i = 0; i < combo->count(); ++i)
                items << combo->itemText(i);
            EXPECT_EQ(items, (QStringList{u"Use explicit FTP over TLS if available"_qs,
                                          u"Require explicit FTP over TLS"_qs,
                                          u"Require implicit FTP over TLS"_qs,
                                          u"Only use plain FTP (insecure)"_qs}));
            EXPECT_EQ(combo->currentText(), u"Only use plain FTP (insecure)"_qs);
            choose(combo, 2);
            EXPECT_TRUE(dialog.switchTo(SheetPage::Startup));
            EXPECT_EQ(on<QLineEdit>(&dialog, "startupPage", "portEdit")->text(), u"990"_qs);
            EXPECT_TRUE(dialog.switchTo(SheetPage::Login));
            choose(on<QComboBox>(&dialog, "loginPage", "accountList"), 1);
            EXPECT_EQ(combo->currentText(), u"Require explicit FTP over TLS"_qs);
            choose(combo, 0);
            return dialog.tryAccept();
        },
        {});
    EXPECT_EQ(result, 1);
    EXPECT_EQ(state.Accounts[0].Encryption, ftp::TlsMode::Implicit);
    EXPECT_EQ(state.Accounts[0].RemotePort, 990u);
    EXPECT_EQ(state.Accounts[1].Encryption, ftp::TlsMode::ExplicitIfAvailable);
    EXPECT_EQ(state.Accounts[1].RemotePort, 21u);
}

// The protocol choice: SFTP greys (never hides) Encryption and Passive and offers the key file
// and the agent; the port moves between the protocols' defaults (21, 990 for implicit TLS, 22)
// only when it held the other one. New accounts are FTP.
TEST_F(SheetDialog, ProtocolSwitchingGreysFtpChoicesAndMovesDefaultPorts) {
    state.Accounts[1].RemotePort = 2222;
    state.Accounts[2].Encryption = ftp::TlsMode::Implicit;
    state.Accounts[2].RemotePort = 990;
    const struct Case {
        int account;
        std::vector<std::pair<int, const char*>> switches; // protocol index, port after it
    } cases[] = {
        {0, {{1, "22"}, {0, "21"}, {1, "22"}}},
        {1, {{1, "2222"}, {0, "2222"}}},
        {2, {{1, "22"}, {0, "990"}}},
    };
    const auto result = ShowAccountsSheet(
        state, false, messages,
        [&](AccountsSheet& sheet) {
            AccountsSheetDialog dialog(sheet, text(3200), {});
            dialog.show();
            QComboBox* protocol = on<QComboBox>(&dialog, "loginPage", "protocolCombo");
            QComboBox* encryption = on<QComboBox>(&dialog, "loginPage", "encryptionCombo");
            QLineEdit* keyFile = on<QLineEdit>(&dialog, "loginPage", "keyFileEdit");
            QCheckBox* agent = on<QCheckBox>(&dialog, "loginPage", "useAgentCheck");
            QWidget* browse = on<QWidget>(&dialog, "loginPage", "browseKeyButton");
            EXPECT_EQ(protocol->itemText(0), u"FTP"_qs);
            EXPECT_EQ(protocol->itemText(1), u"SFTP (SSH)"_qs);
            for (const Case& c : cases) {
                SCOPED_TRACE(c.account);
                choose(on<QComboBox>(&dialog, "loginPage", "accountList"), c.account);
                EXPECT_EQ(protocol->currentIndex(), 0);
                for (const auto& [index, port] : c.switches) {
                    choose(protocol, index);
                    const bool sftp = index == 1;
                    EXPECT_TRUE(encryption->isVisible());
                    EXPECT_EQ(encryption->isEnabled(), !sftp);
                    for (QWidget* w :
                         {static_cast<QWidget*>(keyFile), browse, static_cast<QWidget*>(agent)})
                        EXPECT_EQ(w->isEnabled(), sftp);
                    EXPECT_TRUE(dialog.switchTo(SheetPage::Startup));
                    EXPECT_EQ(on<QLineEdit>(&dialog, "startupPage", "portEdit")->text(),
                              QString::fromLatin1(port));
                    QCheckBox* passive = on<QCheckBox>(&dialog, "startupPage", "passiveCheck");
                    EXPECT_TRUE(passive->isVisible());
                    EXPECT_EQ(passive->isEnabled(), !sftp);
                    EXPECT_TRUE(dialog.switchTo(SheetPage::Login));
                }
            }
            // The first account ends as SFTP with a key, without the agent and without a
            // password, which SFTP does not need.
            choose(on<QComboBox>(&dialog, "loginPage", "accountList"), 0);
            keyFile->setText(u"/home/amy/.ssh/id_ed25519"_qs);
            on<QLineEdit>(&dialog, "loginPage", "passwordEdit")->clear();
            agent->setChecked(false);
            EXPECT_TRUE(dialog.switchTo(SheetPage::Startup));
            EXPECT_TRUE(dialog.switchTo(SheetPage::Login));
            // A new account is FTP, its key choices greyed.
            on<QPushButton>(&dialog, "loginPage", "newButton")->click();
            EXPECT_EQ(protocol->currentIndex(), 0);
            EXPECT_FALSE(keyFile->isEnabled());
            on<QLineEdit>(&dialog, "loginPage", "nameEdit")->setText(u"Delta"_qs);
            on<QLineEdit>(&dialog, "loginPage", "urlEdit")->setText(u"delta.example.org"_qs);
            on<QLineEdit>(&dialog, "loginPage", "loginEdit")->setText(u"user"_qs);
            on<QLineEdit>(&dialog, "loginPage", "passwordEdit")->setText(u"pw"_qs);
            return dialog.tryAccept();
        },
        {});
    ASSERT_TRUE(result.has_value());
    ASSERT_EQ(state.Accounts.size(), 4u);
    const AccountRecord& first = state.Accounts[0];
    EXPECT_EQ(first.Protocol, ftp::Protocol::Sftp);
    EXPECT_EQ(first.RemotePort, 22u);
    EXPECT_EQ(first.KeyFile, u"/home/amy/.ssh/id_ed25519"_qs);
    EXPECT_FALSE(first.UseAgent);
    EXPECT_TRUE(first.Password.isEmpty());
    EXPECT_EQ(state.Accounts[1].Protocol, ftp::Protocol::Ftp);
    EXPECT_EQ(state.Accounts[1].RemotePort, 2222u);
    EXPECT_EQ(state.Accounts[2].RemotePort, 990u);
    EXPECT_EQ(state.Accounts[3].Protocol, ftp::Protocol::Ftp);
    EXPECT_EQ(state.Accounts[3].RemotePort, 21u);
}

// The pages shown before a delete never store what they showed into the account that is
// current after it: the next account in the table, or a new one in the freed place.
TEST_F(SheetDialog, PagesNeverStoreADeletedAccountsValuesIntoAnother) {
    state.Accounts[1].RemotePort = 990;
    state.Accounts[1].Passive = false;
    state.Accounts[1].LocalMask = u"*.txt"_qs;
    state.Accounts[1].RemoteSort = 2;
    state.Accounts[1].Comments = u"Beta's own notes"_qs;
    state.Accounts[0].RemotePath = u"/pub/alpha"_qs;
    state.Accounts[0].LocalExclude = u"*.tmp"_qs;
    state.Accounts[0].LocalSort = 3;
    const AppState before = state;
    AccountRecord fresh;
    fresh.RemotePort = 21;
    fresh.Name = u"Delta"_qs;
    fresh.URL = u"delta.example.org"_qs;
    fresh.Anonymous = true;
    fresh.Passive = true;                                 // what New gives
    fresh.Encryption = ftp::TlsMode::ExplicitIfAvailable; // what New gives

    struct Case {
        const char* name;
        int accounts;     // in the table when the sheet opens
        int shownAccount; // whose Startup and Notes pages are viewed, then deleted
        bool addNew;      // New after the delete, filled in on the Login page
        std::vector<AccountRecord> expected;
    };
    const std::vector<Case> cases = {
        {"delete the first, the next takes its place",
         3,
         0,
         false,
         {before.Accounts[1], before.Accounts[2]}},
        {"delete the last, then New", 1, 0, true, {fresh}},
        {"delete the end of the table, then New", 2, 1, true, {before.Accounts[0], fresh}},
    };
    for (const Case& c : cases) {
        state = before;
        state.Accounts.resize(std::size_t(c.accounts));
        state.CurrentAccount = c.shownAccount;
        ShowAccountsSheet(
            state, false, messages,
            [&](AccountsSheet& sheet) {
                AccountsSheetDialog dialog(sheet, text(3200), {});
                dialog.show();
                EXPECT_TRUE(dialog.switchTo(SheetPage::Startup));
                EXPECT_TRUE(dialog.switchTo(SheetPage::Notes));
                EXPECT_TRUE(dialog.switchTo(SheetPage::Login));
                port.answerBoxes({true});
                on<QPushButton>(&dialog, "loginPage", "deleteButton")->click();
                if (c.addNew) {
                    on<QPushButton>(&dialog, "loginPage", "newButton")->click();
                    on<QLineEdit>(&dialog, "loginPage", "nameEdit")->setText(fresh.Name);
                    on<QLineEdit>(&dialog, "loginPage", "urlEdit")->setText(fresh.URL);
                    on<QCheckBox>(&dialog, "loginPage", "anonymousCheck")->click();
                }
                return dialog.tryAccept();
            },
            {});
        EXPECT_EQ(state.Accounts, c.expected) << c.name;
    }
}

TEST_F(SheetDialog, ChoosingTheShownAccountAgainKeepsWhatWasTyped) {
    const auto result = ShowAccountsSheet(
        state, false, messages,
        [&](AccountsSheet& sheet) {
            AccountsSheetDialog dialog(sheet, text(3200), {});
            dialog.show();
            QLineEdit* url = on<QLineEdit>(&dialog, "loginPage", "urlEdit");
            url->setText(u"mirror.example.net"_qs);
            on<QLineEdit>(&dialog, "loginPage", "passwordEdit")->setText(u"changed"_qs);
            choose(on<QComboBox>(&dialog, "loginPage", "accountList"), 0);
            EXPECT_EQ(url->text(), u"mirror.example.net"_qs);
            return dialog.tryAccept();
        },
        {});
    EXPECT_EQ(result, 0);
    EXPECT_EQ(state.Accounts[0].URL, u"mirror.example.net"_qs);
    EXPECT_EQ(state.Accounts[0].Password, u"changed"_qs);
}

TEST_F(SheetDialog, EveryControlIsNamedByItsText) {
    AccountsSheet sheet(state, true, messages);
    AccountsSheetDialog dialog(sheet, text(3200), {});
    const std::vector<std::tuple<const char*, const char*, QString>> names = {
        {"loginPage", "nameEdit", u"Account"_qs},
        {"loginPage", "passwordEdit", u"Password"_qs},
        {"loginPage", "anonymousCheck", u"Anonymous"_qs},
        {"loginPage", "accountList", u"Alpha"_qs},
        {"loginPage", "newButton", u"New"_qs},
        {"loginPage", "visitsText", u"Visits: 3"_qs},
        {"loginPage", "encryptionCombo", u"Encryption"_qs},
        {"loginPage", "protocolCombo", u"Protocol"_qs},
        {"loginPage", "keyFileEdit", u"Key file"_qs},
        {"loginPage", "browseKeyButton", u"Browse..."_qs},
        {"loginPage", "useAgentCheck", u"Use the SSH agent"_qs},
        {"startupPage", "localSortList", u"Sort"_qs},
        {"startupPage", "portEdit", u"Port"_qs},
        {"startupPage", "passiveCheck", u"Passive Connection"_qs},
        {"startupPage", "browseButton", text(3200)},
    };
    for (const auto& [page, name, expected] : names)
        EXPECT_EQ(on<QWidget>(&dialog, page, name)->accessibleName(), expected) << name;
    EXPECT_EQ(dialog.okButton()->accessibleName(), u"Connect"_qs);
}

TEST_F(SheetDialog, NewAccountNameFollowsInTheList) {
    AccountsSheet sheet(state, false, messages);
    AccountsSheetDialog dialog(sheet, text(3200), {});
    on<QPushButton>(&dialog, "loginPage", "newButton")->click();
    QComboBox* list = on<QComboBox>(&dialog, "loginPage", "accountList");
    ASSERT_EQ(list->count(), 4);
    EXPECT_EQ(list->currentIndex(), 3);
    EXPECT_TRUE(on<QLineEdit>(&dialog, "loginPage", "nameEdit")->text().isEmpty());
    on<QLineEdit>(&dialog, "loginPage", "nameEdit")->setText(u"Delta"_qs);
    EXPECT_EQ(list->itemText(3), u"Delta"_qs);
    EXPECT_EQ(sheet.state().Accounts[3].Name, u"Delta"_qs);
    EXPECT_EQ(list->currentIndex(), 3);
}

TEST_F(SheetDialog, DeletingEveryAccountLeavesTheListAndNew) {
    state.Accounts.resize(1);
    AccountsSheet sheet(state, false, messages);
    AccountsSheetDialog dialog(sheet, text(3200), {});
    port.answerBoxes({true});
    on<QPushButton>(&dialog, "loginPage", "deleteButton")->click();
    EXPECT_TRUE(on<QComboBox>(&dialog, "loginPage", "accountList")->isEnabled());
    EXPECT_TRUE(on<QPushButton>(&dialog, "loginPage", "newButton")->isEnabled());
    for (const char* name : {"nameEdit", "urlEdit", "ipEdit", "loginEdit", "passwordEdit"}) {
        EXPECT_FALSE(on<QLineEdit>(&dialog, "loginPage", name)->isEnabled()) << name;
        EXPECT_TRUE(on<QLineEdit>(&dialog, "loginPage", name)->text().isEmpty()) << name;
    }
    EXPECT_FALSE(on<QPushButton>(&dialog, "loginPage", "deleteButton")->isEnabled());
    EXPECT_FALSE(dialog.okButton()->isEnabled());
    EXPECT_FALSE(dialog.tryAccept());
}

TEST_F(SheetDialog, NotesAreLimitedAndStored) {
    AccountsSheet sheet(state, false, messages);
    AccountsSheetDialog dialog(sheet, text(3200), {});
    ASSERT_TRUE(dialog.switchTo(SheetPage::Notes));
    QPlainTextEdit* notes = on<QPlainTextEdit>(&dialog, "notesPage", "notesEdit");
    EXPECT_EQ(notes->toPlainText(), u"Mirror of the archive.\nOpen at night."_qs);
    notes->setPlainText(QString(600, u'a') + u'\n' + QString(600, u'b'));
    EXPECT_EQ(notes->toPlainText().size(), 1022); // 600 + CR LF + 421 as kept
    ASSERT_TRUE(dialog.tryAccept());
    EXPECT_EQ(sheet.state().Accounts[0].Comments.size(), 1023);
    EXPECT_TRUE(sheet.state().Accounts[0].Comments.contains(u"\r\n"_qs));
}

TEST_F(SheetDialog, CancelThroughTheEntryPointChangesNothing) {
    const AppState before = state;
    int saves = 0;
    QTimer::singleShot(0, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        ASSERT_NE(modal, nullptr);
        port.answerBoxes({true});
        child<QPushButton>(modal, "deleteButton")->click();
        child<QPushButton>(modal, "cancelButton")->click();
    });
    const auto result = ui::RunAccountsSheet(nullptr, state, messages, false,
                                             [&](const AppState&) { return ++saves > 0; });
    EXPECT_FALSE(result);
    EXPECT_EQ(state.Accounts, before.Accounts);
    EXPECT_EQ(saves, 0);
}

TEST_F(SheetDialog, OkThroughTheEntryPointSavesAndReturnsTheAccount) {
    int saves = 0;
    QTimer::singleShot(0, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        ASSERT_NE(modal, nullptr);
        choose(child<QComboBox>(modal, "accountList"), 2);
        child<QPushButton>(modal, "okButton")->click();
    });
    const auto result = ui::RunAccountsSheet(nullptr, state, messages, true,
                                             [&](const AppState&) { return ++saves > 0; });
    EXPECT_EQ(result, 2);
    EXPECT_EQ(state.CurrentAccount, 2);
    EXPECT_EQ(saves, 1);
}

TEST(AccountFileDialogs, FiltersBecomeQtFilters) {
    EXPECT_EQ(
        ui::AccountFileDialogs::ConvertFilter(u"Tarnwick 2000 Accounts|*.twx|All Files|*.*|"_qs),
        (QStringList{u"Tarnwick 2000 Accounts (*.twx)"_qs, u"All Files (*.*)"_qs}));
    EXPECT_EQ(ui::AccountFileDialogs::ConvertFilter(u"Programs|*.exe;*.bat|"_qs),
              (QStringList{u"Programs (*.exe *.bat)"_qs}));
    EXPECT_TRUE(ui::AccountFileDialogs::ConvertFilter(QString()).isEmpty());
}

TEST_F(SheetDialog, Screenshots) {
    state.Accounts[0].Anonymous = false;
    AccountsSheet sheet(state, true, messages);
    AccountsSheetDialog dialog(sheet, text(3200), {});
    dialog.show();
    const char* names[] = {"login", "startup", "notes"};
    for (int page = 0; page < 3; ++page) {
        ASSERT_TRUE(dialog.switchTo(static_cast<SheetPage>(page)));
        QApplication::processEvents();
        const QImage image = dialog.grab().toImage();
        EXPECT_GT(image.width(), 200);
        image.save(QStringLiteral("/tmp/accounts_%1.png").arg(QString::fromLatin1(names[page])));
    }
    ASSERT_TRUE(dialog.switchTo(SheetPage::Login));
    choose(on<QComboBox>(&dialog, "loginPage", "protocolCombo"), 1);
    QApplication::processEvents();
    dialog.grab().toImage().save(QStringLiteral("/tmp/accounts_login_sftp.png"));
}

// The application object lives in main(), so that it is gone before static objects are.
// Widget tests run without a display (also when the test list is read).
int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
