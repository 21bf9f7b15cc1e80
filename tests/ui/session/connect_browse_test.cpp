#include "../shell/shell_fixture.h"

#include "core/session/session_controller.h"
#include "integration/ftp/ftp_test_servers.h"
#include "integration/ftp/scripted_server.h"
#include "support/connect_sheet.h"
#include "support/qt_printers.h"
#include "ui/command_actions.h"
#include "ui/panes/pane_view.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QLabel>
#include <QStatusBar>
#include <QTest>
#include <QTimer>

#include <filesystem>
#include <fstream>

namespace tw::test {
namespace {

namespace fs = std::filesystem;

// The real main window connected to a real FTP server: Connect through the accounts sheet in
// its Connect form, the remote listing, folder navigation, Disconnect and exit.
class ConnectBrowseTest : public ShellFixture {
protected:
    void SetUp() override {
        ShellFixture::SetUp();
        std::string why;
        m_server = FtpTestServer::start(FtpTestServer::Kind::Pyftpdlib, "127.0.0.1", why);
        if (!m_server)
            GTEST_SKIP() << why;
        fs::create_directories(m_server->root() / "pub" / "docs");
        std::ofstream(m_server->root() / "pub" / "notes.txt") << "notes";
        std::ofstream(m_server->root() / "readme.txt") << "hello";
        qputenv("TARNWICK2000_DEMO_SERVER",
                QByteArray("127.0.0.1:") + QByteArray::number(m_server->port()));
    }
    void TearDown() override {
        qunsetenv("TARNWICK2000_DEMO_SERVER");
        ShellFixture::TearDown();
    }

    QStringList remoteNames(ui::MainWindow* w) const {
        QStringList names;
        for (const FileEntry& e : w->state().remote.entries)
            names << e.name;
        return names;
    }

    std::unique_ptr<FtpTestServer> m_server;
};

TEST_F(ConnectBrowseTest, ConnectListBrowseAndDisconnect) {
    ui::MainWindow* w = start();
    ASSERT_NE(w, nullptr);
    const AppState& state = w->state();
    ASSERT_GE(state.CurrentAccount, 0);
    EXPECT_EQ(state.Accounts[std::size_t(state.CurrentAccount)].Name,
              QStringLiteral("Local Demo Server"));

    PressConnectWhenAsked();
    w->dispatcher().dispatch(int(CommandId::Connect));
    ASSERT_TRUE(waitFor([&] { return w->runtime().connected && !w->runtime().busy; }));
    ASSERT_TRUE(waitFor([&] { return remoteNames(w).contains(QStringLiteral("pub")); }))
        << ::testing::PrintToString(w->logLines());
    EXPECT_EQ(w->windowTitle(), QStringLiteral("Tarnwick 2000 - 127.0.0.1"));
    EXPECT_EQ(w->remoteLabel()->text(), QStringLiteral("Remote: /"));
    auto* remote = qobject_cast<ui::PaneView*>(w->remoteList());
    ASSERT_NE(remote, nullptr);
    EXPECT_EQ(remote->model()->rowCount(), int(state.remote.entries.size()));

    // Double-click the "pub" folder: the server's folder is listed.
    const int pub = int(remoteNames(w).indexOf(QStringLiteral("pub")));
    emit remote->rowDoubleClicked(pub);
    ASSERT_TRUE(waitFor([&] {
        return !w->runtime().busy && remoteNames(w).contains(QStringLiteral("notes.txt"));
    }));
    EXPECT_EQ(state.remote.path, QStringLiteral("/pub"));
    EXPECT_EQ(w->remoteLabel()->text(), QStringLiteral("Remote: /pub"));
    EXPECT_TRUE(w->logLines().contains(QStringLiteral("LIST /pub/*.* ...")));
    const QString shots = qEnvironmentVariable("TW_SCREENSHOT_DIR");
    if (!shots.isEmpty())
        w->grab().save(shots + QStringLiteral("/connected.png"));

    // Disconnect from the menu never asks.
    w->dispatcher().dispatch(int(CommandId::Disconnect));
    EXPECT_FALSE(w->runtime().connected);
    EXPECT_EQ(w->windowTitle(), QStringLiteral("Tarnwick 2000"));
    EXPECT_TRUE(ui::MessageBoxTestHook::takeAnsweredRequests().empty());
}

// Links on a real server, entered by a real double-click on their rows: a link to a folder
// lists the folder; a link to a file is reported and leaves the pane as it is. Disconnect then
// leaves no listing that reads as current.
class LinkBrowseTest : public ShellFixture,
                       public ::testing::WithParamInterface<FtpTestServer::Kind> {};

TEST_P(LinkBrowseTest, DoubleClickEntersAFolderLinkAndReportsAFileLink) {
    // The server inherits the working folder; an earlier test's may be gone already, which
    // pyftpdlib's CWD does not survive.
    ASSERT_TRUE(QDir::setCurrent(folder()));
    std::string why;
    auto server = FtpTestServer::start(GetParam(), "127.0.0.1", why);
    if (!server)
        GTEST_SKIP() << why;
    fs::create_directories(server->root() / "pub" / "docs");
    std::ofstream(server->root() / "pub" / "docs" / "inside.txt") << "inside";
    std::ofstream(server->root() / "readme.txt") << "hello";
    fs::create_directory_symlink("pub/docs", server->root() / "docs-link");
    fs::create_symlink("readme.txt", server->root() / "note-link");
    qputenv("TARNWICK2000_DEMO_SERVER",
            QByteArray("127.0.0.1:") + QByteArray::number(server->port()));
    ui::MainWindow* w = start();
    qunsetenv("TARNWICK2000_DEMO_SERVER");
    ASSERT_NE(w, nullptr);
    const PaneState& remote = w->state().remote;
    const auto rowOf = [&remote](const QString& name) {
        for (std::size_t i = 0; i < remote.entries.size(); ++i)
            if (remote.entries[i].name == name)
                return int(i);
        return -1;
    };
    // vsftpd cannot chroot here: its login folder is the served one, "/" is the machine's.
    w->state().Accounts[std::size_t(w->state().CurrentAccount)].RemotePath.clear();
    PressConnectWhenAsked();
    w->dispatcher().dispatch(int(CommandId::Connect));
    ASSERT_TRUE(waitFor([&] { return !w->runtime().busy && rowOf(u"docs-link"_qs) >= 0; }))
        << ::testing::PrintToString(w->logLines());
    auto* view = qobject_cast<ui::PaneView*>(w->remoteList());
    ASSERT_NE(view, nullptr);
    const QString start = remote.path;

    // LIST shows the links as links (vsftpd); MLSD shows what they lead to (pyftpdlib).
    const int note = rowOf(u"note-link"_qs);
    ASSERT_GE(note, 0);
    const bool shownAsLink = remote.entries[std::size_t(note)].isLink;
    EXPECT_EQ(shownAsLink, GetParam() == FtpTestServer::Kind::Vsftpd);
    const int rows = remote.count();
    doubleClickRow(view, note);
    spin(100);
    ASSERT_TRUE(waitFor([&] { return !w->runtime().busy; }));
    EXPECT_EQ(w->logLines().filter(u"Error: FtpSetCurrentDirectory"_qs).size(), shownAsLink ? 1 : 0)
        << ::testing::PrintToString(w->logLines());
    EXPECT_EQ(remote.path, start);
    EXPECT_EQ(remote.count(), rows);

    doubleClickRow(view, rowOf(u"docs-link"_qs));
    ASSERT_TRUE(waitFor([&] { return !w->runtime().busy && rowOf(u"inside.txt"_qs) >= 0; }))
        << ::testing::PrintToString(w->logLines());
    EXPECT_TRUE(remote.path.endsWith(u"docs-link"_qs) || remote.path.endsWith(u"pub/docs"_qs))
        << remote.path.toStdString();
    EXPECT_EQ(w->remoteLabel()->text(), u"Remote: "_qs + remote.path);

    w->dispatcher().dispatch(int(CommandId::Disconnect));
    EXPECT_EQ(view->model()->rowCount(), 0);
    EXPECT_EQ(w->remoteLabel()->text(), u"Remote: not connected"_qs);
}

INSTANTIATE_TEST_SUITE_P(Servers, LinkBrowseTest,
                         ::testing::Values(FtpTestServer::Kind::Vsftpd,
                                           FtpTestServer::Kind::Pyftpdlib),
                         [](const auto& info) {
                             return info.param == FtpTestServer::Kind::Vsftpd ? "vsftpd"
                                                                              : "pyftpdlib";
                         });

TEST_F(ConnectBrowseTest, ExitWhileAListingRunsStopsTheWorker) {
    ui::MainWindow* w = start();
    ASSERT_NE(w, nullptr);
    w->state().options.Confirm = 0;
    PressConnectWhenAsked();
    w->dispatcher().dispatch(int(CommandId::Connect));
    ASSERT_TRUE(waitFor([&] { return w->runtime().connected && !w->runtime().busy; }));

    w->dispatcher().dispatch(int(CommandId::RemoteRefresh));
    EXPECT_TRUE(w->ShutdownMainWindow()); // joins the worker, closes the connection
    EXPECT_FALSE(w->runtime().busy);
    EXPECT_FALSE(w->runtime().connected);
    spin(50); // queued results of the stopped worker are harmless
}

// Connect to a server that accepts and never answers: the window keeps running while the
// worker waits, and Stop ends the connect at once, leaving the program disconnected.
class ConnectStopTest : public ShellFixture {
protected:
    // The program, started with the demo account pointing at `server`, connecting to it.
    ui::MainWindow* connectTo(const ScriptedServer& server) {
        qputenv("TARNWICK2000_DEMO_SERVER",
                QByteArray("127.0.0.1:") + QByteArray::number(server.port()));
        ui::MainWindow* w = start();
        qunsetenv("TARNWICK2000_DEMO_SERVER");
        if (w) {
            PressConnectWhenAsked();
            w->dispatcher().dispatch(int(CommandId::Connect));
        }
        return w;
    }
};

TEST_F(ConnectStopTest, StopEndsAConnectThatHangsWithoutFreezingTheWindow) {
    ScriptedServer silent([](ScriptedServer& s) { s.sleepMs(30000); });
    ui::MainWindow* w = connectTo(silent);
    ASSERT_NE(w, nullptr);
    ASSERT_TRUE(w->runtime().busy);

    // The longest time the UI thread went without running its event loop while connecting.
    QElapsedTimer sinceTick;
    qint64 longest = 0;
    QTimer ticker;
    ticker.setInterval(1);
    QObject::connect(&ticker, &QTimer::timeout,
                     [&] { longest = std::max(longest, sinceTick.restart()); });
    sinceTick.start();
    ticker.start();
    spin(300);
    EXPECT_TRUE(w->runtime().busy); // still waiting for the greeting
    w->dispatcher().dispatch(int(CommandId::StopTransfer));
    EXPECT_TRUE(waitFor([&] { return !w->runtime().busy; }));
    ticker.stop();
    std::printf("longest UI-thread stall while connecting: %lld ms\n", qlonglong(longest));
    // A blocking connect would stall for the whole 30 s wait; the bound leaves room for a
    // loaded test machine.
    EXPECT_LT(longest, 500);
    EXPECT_FALSE(w->runtime().connected);
    EXPECT_TRUE(w->logLines().contains(QStringLiteral("Connect stopped")))
        << ::testing::PrintToString(w->logLines());
    EXPECT_EQ(w->windowTitle(), QStringLiteral("Tarnwick 2000"));
}

// While a connect runs, the commands that change the accounts or start another connection
// are greyed; their keys and the dispatcher refuse them with the reason, and nothing opens.
TEST_F(ConnectStopTest, AccountCommandsWaitForARunningConnectAndSayWhy) {
    ScriptedServer silent([](ScriptedServer& s) { s.sleepMs(30000); });
    ui::MainWindow* w = connectTo(silent);
    ASSERT_NE(w, nullptr);
    ASSERT_TRUE(w->runtime().busy);
    const int current = w->state().CurrentAccount;

    int opened = 0; // any dialog that comes up now is a command that ran
    QTimer rejecter;
    QObject::connect(&rejecter, &QTimer::timeout, [&] {
        if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
            ++opened;
            dialog->reject();
        }
    });
    rejecter.start(20);
    w->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(w));
    const std::pair<CommandId, QKeySequence> commands[] = {
        {CommandId::Accounts, QKeySequence(u"Ctrl+A"_qs)},
        {CommandId::Connect, QKeySequence(u"Ctrl+O"_qs)},
        {CommandId::Export, QKeySequence(u"Ctrl+X"_qs)},
        {CommandId::Import, QKeySequence()},
    };
    for (const auto& [id, key] : commands) {
        SCOPED_TRACE(toInt(id));
        EXPECT_FALSE(w->commandActions()->mainAction(id)->isEnabled());
        w->statusLine()->clearMessage();
        if (!key.isEmpty()) {
            QTest::keyClick(w, key[0].key(), key[0].keyboardModifiers());
            spin(50);
            EXPECT_EQ(w->statusText(), u"Not available while the connection is busy"_qs);
        }
        w->statusLine()->clearMessage();
        EXPECT_FALSE(w->dispatcher().dispatch(id));
        spin(50);
        EXPECT_EQ(w->statusText(), u"Not available while the connection is busy"_qs);
    }
    EXPECT_EQ(opened, 0);
    EXPECT_EQ(w->state().CurrentAccount, current);

    w->dispatcher().dispatch(int(CommandId::StopTransfer));
    ASSERT_TRUE(waitFor([&] { return !w->runtime().busy; }));
    for (const auto& [id, key] : commands)
        EXPECT_TRUE(w->commandActions()->mainAction(id)->isEnabled()) << toInt(id);
}

} // namespace
} // namespace tw::test
