#include "../shell/shell_fixture.h"

#include "core/commands/command_id.h"
#include "integration/ftp/ftp_test_servers.h"
#include "support/qt_printers.h"
#include "ui/quickconnect/quick_connect_bar.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <filesystem>
#include <fstream>

namespace tw::test {
namespace {

namespace fs = std::filesystem;

class QuickConnectBarTest : public ShellFixture {};

// The bar in the real window: its fields and their names, a remembered site chosen from the
// list, Enter with a bad port and Enter with a real server's address, the history kept in the
// settings file, and View > Quick Connect Bar.
TEST_F(QuickConnectBarTest, FieldsHistoryEnterConnectsAndViewToggle) {
    ASSERT_TRUE(QDir::setCurrent(folder()));
    std::string why;
    auto server = FtpTestServer::start(FtpTestServer::Kind::Pyftpdlib, "127.0.0.1", why);
    if (!server)
        GTEST_SKIP() << why;
    fs::create_directories(server->root() / "pub");
    const QuickConnectEntry remembered{u"files.example"_qs, 2121, u"amy"_qs,
                                       ftp::TlsMode::Implicit};
    ASSERT_TRUE(SaveQuickHistory(store(), {remembered}));

    ui::MainWindow* w = start();
    ASSERT_NE(w, nullptr);
    const std::vector<AccountRecord> table = w->state().Accounts;
    auto* bar = w->findChild<ui::QuickConnectBar*>();
    ASSERT_NE(bar, nullptr);
    EXPECT_TRUE(bar->isVisible());
    auto* host = bar->findChild<QComboBox*>(u"host"_qs);
    auto* user = bar->findChild<QLineEdit*>(u"user"_qs);
    auto* password = bar->findChild<QLineEdit*>(u"password"_qs);
    auto* port = bar->findChild<QLineEdit*>(u"port"_qs);
    auto* save = bar->findChild<QPushButton*>(u"saveAsAccount"_qs);
    ASSERT_TRUE(host && user && password && port && save);
    QStringList names;
    for (QWidget* field : bar->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        if (!qobject_cast<QLabel*>(field))
            names << field->accessibleName();
    EXPECT_EQ(names, QStringList({u"Host"_qs, u"User"_qs, u"Password"_qs, u"Port"_qs, u"Connect"_qs,
                                  u"Save as account..."_qs}));
    EXPECT_EQ(password->echoMode(), QLineEdit::Password);
    EXPECT_FALSE(save->isEnabled());
    // Tab runs through the bar's fields in order, then on to the panes.
    w->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(w));
    host->setFocus();
    QStringList order;
    for (int i = 0; i < 4; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        order << QApplication::focusWidget()->objectName();
    }
    save->setEnabled(true);
    save->setFocus();
    QTest::keyClick(save, Qt::Key_Tab);
    order << QApplication::focusWidget()->objectName();
    EXPECT_EQ(order, QStringList({u"user"_qs, u"password"_qs, u"port"_qs, u"connect"_qs,
                                  u"localFolderBox"_qs}));
    bar->updateState();

    // The remembered site fills the fields, the scheme telling its encryption.
    ASSERT_EQ(host->count(), 1);
    EXPECT_EQ(host->itemText(0), u"ftps://amy@files.example:2121"_qs);
    password->setText(u"old"_qs);
    emit host->activated(0);
    EXPECT_EQ(bar->fields(),
              (QuickConnectFields{u"ftps://files.example"_qs, u"amy"_qs, {}, u"2121"_qs}));
    EXPECT_TRUE(save->isEnabled());

    // Enter with a port out of range: a message, no connection.
    bar->setFields({u"127.0.0.1"_qs, {}, {}, u"0"_qs});
    ui::MessageBoxTestHook::pushAnswers({true});
    QTest::keyClick(port, Qt::Key_Return);
    const std::vector<BoxRequest> boxes = ui::MessageBoxTestHook::takeAnsweredRequests();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, u"The port 0 is not a number from 1 to 65535."_qs);
    EXPECT_FALSE(w->runtime().connected);

    // Enter in the password field connects to the address and lists its folder.
    host->setEditText(u"ftp://127.0.0.1:%1/pub"_qs.arg(server->port()));
    port->clear();
    QTest::keyClick(password, Qt::Key_Return);
    ASSERT_TRUE(waitFor([&] { return w->runtime().connected && !w->runtime().busy; }))
        << ::testing::PrintToString(w->logLines());
    EXPECT_EQ(w->state().remote.path, u"/pub"_qs);
    EXPECT_EQ(w->state().Accounts, table);
    ASSERT_EQ(host->count(), 2);
    EXPECT_EQ(host->itemText(0), u"ftp://127.0.0.1:%1"_qs.arg(server->port()));
    const std::vector<QuickConnectEntry> kept = LoadQuickHistory(store());
    ASSERT_EQ(kept.size(), 2u);
    EXPECT_EQ(kept[1], remembered);
    host->setEditText({});
    EXPECT_TRUE(save->isEnabled()); // the open quick session can still be saved
    const QString shots = qEnvironmentVariable("TW_SCREENSHOT_DIR");
    if (!shots.isEmpty())
        w->grab().save(shots + u"/quick_connect.png"_qs);

    EXPECT_LE(bar->minimumSizeHint().width(), w->minimumWidth())
        << "the bar fits the narrowest window";
    w->dispatcher().dispatch(int(CommandId::ViewQuickConnect));
    EXPECT_FALSE(bar->isVisible());
    EXPECT_EQ(w->state().options.QuickConnectBar, 0u);
    w->dispatcher().dispatch(int(CommandId::Disconnect));
}

} // namespace
} // namespace tw::test
