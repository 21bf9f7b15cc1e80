#include "core/session/quick_connect.h"
#include "core/session/session_controller.h"
#include "core/text/messages.h"
#include "ftp/ftp_session.h"
#include "integration/ftp/ftp_test_servers.h"
#include "support/loopback_account.h"
#include "support/recording_port.h"

#include <QDir>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

using namespace tw;
namespace fs = std::filesystem;

namespace {

// The quick connect bar's flow against a real server: the site is reached, browsed and kept
// in the history without becoming an account until Save as account keeps it.
TEST(QuickConnectSession, ConnectsListsAndSavesWithoutTouchingTheAccountTable) {
    std::string why;
    auto server =
        test::FtpTestServer::start(test::FtpTestServer::Kind::Pyftpdlib, "127.0.0.1", why);
    if (!server)
        GTEST_SKIP() << why;
    fs::create_directories(server->root() / "pub" / "sub");
    std::ofstream(server->root() / "pub" / "a.txt") << "alpha";

    test::RecordingPort port;
    AppState state;
    state.ColumnLabels = {u"File Name"_qs, u"Date"_qs, u"Size"_qs};
    state.Accounts.push_back(test::LoopbackAccount(u"Stored"_qs, 1, QDir::currentPath()));
    state.Accounts[0].RemotePath = u"/elsewhere"_qs;
    state.CurrentAccount = 0;
    const std::vector<AccountRecord> table = state.Accounts;
    AppGlobals globals;
    globals.soundsWithDialogs = false;
    AppRuntime runtime;
    Messages messages{port, state, globals};
    SessionController session(state, runtime, messages, port, {});
    session.setTimeoutMs(5000);

    // Refused fields connect nothing and say why.
    std::vector<QuickConnectEntry> history;
    EXPECT_FALSE(
        StartQuickConnect(session, messages, {u"http://127.0.0.1"_qs, {}, {}, {}}, history));
    EXPECT_FALSE(
        StartQuickConnect(session, messages, {u"127.0.0.1"_qs, {}, {}, u"70000"_qs}, history));
    ASSERT_EQ(port.boxes().size(), 2u);
    EXPECT_TRUE(port.boxes()[0].text.startsWith(u"http:// addresses are not supported"_qs));
    EXPECT_EQ(port.boxes()[1].text, u"The port 70000 is not a number from 1 to 65535."_qs);
    EXPECT_TRUE(history.empty());
    EXPECT_FALSE(runtime.connected);

    // An address with a start folder; anonymous, plain FTP after the server refuses AUTH TLS.
    const QString address = u"ftp://127.0.0.1:%1/pub"_qs.arg(server->port());
    ASSERT_TRUE(StartQuickConnect(session, messages, {address, {}, {}, {}}, history));
    session.waitForWorker();
    ASSERT_TRUE(runtime.connected);
    EXPECT_EQ(state.remote.path, u"/pub"_qs);
    QStringList names;
    for (const FileEntry& e : state.remote.entries)
        names << e.name;
    EXPECT_EQ(names, QStringList({u".."_qs, u"sub"_qs, u"a.txt"_qs}));
    EXPECT_TRUE(port.events().contains(u"title: Tarnwick 2000 - 127.0.0.1"_qs));
    ASSERT_EQ(history.size(), 1u);
    EXPECT_EQ(QuickHistoryText(history[0]), u"ftp://127.0.0.1:%1"_qs.arg(server->port()));
    EXPECT_EQ(state.Accounts, table);
    EXPECT_EQ(state.CurrentAccount, 0);

    // Re-Connect returns to the quick site's folder, not the stored account's.
    ASSERT_TRUE(session.Reconnect());
    session.waitForWorker();
    EXPECT_TRUE(runtime.connected);
    EXPECT_EQ(state.remote.path, u"/pub"_qs);
    EXPECT_EQ(session.connectionOptions().port, server->port());

    // Save as account: the sheet opens on the new account; Cancel keeps nothing, OK adds it.
    ASSERT_TRUE(session.quickAccount().has_value());
    int sheets = 0;
    const auto cancel = [&](AppState& draft) {
        ++sheets;
        EXPECT_EQ(draft.CurrentAccount, 1);
        return false;
    };
    EXPECT_FALSE(SaveQuickAccount(state, messages, *session.quickAccount(), cancel, {}));
    EXPECT_EQ(state.Accounts, table);
    int saves = 0;
    ASSERT_TRUE(SaveQuickAccount(
        state, messages, *session.quickAccount(), [&](AppState&) { return ++sheets, true; },
        [&](const AppState&) { return ++saves, true; }));
    EXPECT_EQ(sheets, 2);
    EXPECT_EQ(saves, 1);
    ASSERT_EQ(state.AccountCount(), 2);
    const AccountRecord& saved = state.Accounts[1];
    EXPECT_EQ(saved.Name, u"127.0.0.1"_qs);
    EXPECT_EQ(saved.URL, u"127.0.0.1"_qs);
    EXPECT_EQ(saved.RemotePort, std::uint32_t(server->port()));
    EXPECT_EQ(saved.RemotePath, u"pub"_qs);
    EXPECT_TRUE(saved.Anonymous);
    EXPECT_EQ(state.CurrentAccount, 1);
    // The next copy gets a name of its own.
    ASSERT_TRUE(SaveQuickAccount(state, messages, *session.quickAccount(),
                                 [](AppState&) { return true; }, {}));
    EXPECT_EQ(state.Accounts[2].Name, u"127.0.0.1 (2)"_qs);

    EXPECT_TRUE(session.Disconnect(false));
}

} // namespace
