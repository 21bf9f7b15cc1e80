#include "core/session/remote_file_ops.h"
#include "core/session/session_controller.h"
#include "core/text/messages.h"
#include "integration/ftp/ftp_test_servers.h"
#include "support/loopback_account.h"
#include "support/recording_port.h"
#include "unit/core_panes/pane_test_support.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

using namespace tw;
namespace fs = std::filesystem;

namespace {

// Connect, browse and manage a real server through the recording port.
class SessionTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string why;
        server = test::FtpTestServer::start(test::FtpTestServer::Kind::Pyftpdlib, "127.0.0.1", why);
        if (!server)
            GTEST_SKIP() << why;
        const fs::path root = server->root();
        fs::create_directories(root / "pub" / "sub");
        fs::create_directories(root / "empty");
        std::ofstream(root / "pub" / "a.txt") << "alpha";
        std::ofstream(root / "pub" / "b.TXT") << "beta";
        std::ofstream(root / "pub" / "c.bin") << "gamma";
        std::ofstream(root / "pub" / "old.BAK") << "old";
        std::ofstream(root / "pub" / "bak") << "no extension";
        std::ofstream(root / "top.txt") << "top";

        AccountRecord account =
            test::LoopbackAccount(u"Local"_qs, server->port(), QDir::currentPath());
        account.Login = u"nobody"_qs;
        account.Password = u"wrong"_qs;
        state.Accounts.push_back(account);
        state.CurrentAccount = 0;
        state.ColumnLabels = {u"File Name"_qs, u"Date"_qs, u"Size"_qs};
        globals.soundsWithDialogs = false;

        SessionController::Hooks hooks;
        hooks.showAccountsSheet = [this] { return sheetAnswer; };
        hooks.listLocalDirectory = [this] { ++localListings; };
        controller = std::make_unique<SessionController>(state, runtime, messages, port, hooks);
        controller->setTimeoutMs(5000);
    }

    // Connect only starts the flow; its worker connects, enters the start folder and lists it.
    bool connectAndWait() {
        if (!controller->Connect())
            return false;
        controller->waitForWorker();
        return runtime.connected;
    }

    QStringList remoteNames() const {
        QStringList names;
        for (const FileEntry& e : state.remote.entries)
            names << e.name;
        return names;
    }

    bool logHas(const QString& line) const { return port.log().contains(line); }

    std::unique_ptr<test::FtpTestServer> server;
    test::RecordingPanePort port;
    AppState state;
    AppGlobals globals;
    AppRuntime runtime;
    Messages messages{port, state, globals};
    std::unique_ptr<SessionController> controller;
    bool sheetAnswer = true;
    int localListings = 0;
};

} // namespace

TEST_F(SessionTest, AnonymousConnectWithEmptyRemotePathListsLoginDirectory) {
    ASSERT_TRUE(connectAndWait());
    EXPECT_TRUE(runtime.connected);
    EXPECT_TRUE(runtime.connectMode);
    EXPECT_FALSE(runtime.busy);
    EXPECT_EQ(state.Accounts[0].Visits, 1u);
    EXPECT_EQ(state.remote.site, u"127.0.0.1"_qs);
    EXPECT_EQ(state.remote.path, u"/"_qs);
    EXPECT_EQ(localListings, 1);

    const QStringList log = port.log();
    const QString port_ = QString::number(server->port());
    const QStringList expected = {u"Connecting ..."_qs,
                                  u"Connected to 127.0.0.1 on Port "_qs + port_,
                                  u"Passive Mode (On)"_qs,
                                  u"Current Local Directory is "_qs + QDir::currentPath(),
                                  u"Current Remote Directory is /"_qs,
                                  u"LIST /*.* ..."_qs,
                                  u"4 items listed"_qs};
    EXPECT_EQ(log, expected);
    EXPECT_TRUE(port.events().contains(u"title: Tarnwick 2000 - 127.0.0.1"_qs));
    // The parent row first, then folders, then files.
    EXPECT_EQ(remoteNames(), QStringList({u".."_qs, u"empty"_qs, u"pub"_qs, u"top.txt"_qs}));
    EXPECT_TRUE(state.remote.entries[0].isParent);
}

TEST_F(SessionTest, CancelledSheetLeavesProgramDisconnected) {
    sheetAnswer = false;
    EXPECT_FALSE(controller->Connect());
    EXPECT_FALSE(runtime.connectMode);
    EXPECT_FALSE(runtime.connected);
    EXPECT_TRUE(port.log().isEmpty());
}

TEST_F(SessionTest, RefusedLoginAndRefusedPortReportAndStayDisconnected) {
    state.Accounts[0].Anonymous = false;
    state.Accounts[0].Login = QString::fromStdString(server->user());
    state.Accounts[0].Password = u"not-the-password"_qs;
    // Rows of an earlier session are no listing of this one.
    state.remote.entries.resize(3);
    EXPECT_FALSE(connectAndWait());
    EXPECT_FALSE(runtime.connected);
    EXPECT_FALSE(runtime.connectMode);
    ASSERT_GE(port.log().size(), 2);
    EXPECT_TRUE(port.log()[1].startsWith(u"Error: InternetConnect (1201"_qs))
        << port.log()[1].toStdString();
    // The refused login is also a message box with the server's words.
    ASSERT_EQ(port.boxes().size(), 1u);
    EXPECT_EQ(port.boxes()[0].kind, BoxKind::Error);
    EXPECT_TRUE(port.boxes()[0].text.contains(u"Login refused by 127.0.0.1"_qs))
        << port.boxes()[0].text.toStdString();
    EXPECT_TRUE(port.boxes()[0].text.contains(u"530"_qs)) << port.boxes()[0].text.toStdString();
    EXPECT_TRUE(state.remote.entries.empty());
    EXPECT_EQ(state.remote.label, u"Remote: not connected"_qs);

    // A server that cannot be reached is only logged.
    port.clear();
    state.Accounts[0].RemotePort = 1; // nothing listens there
    EXPECT_FALSE(connectAndWait());
    EXPECT_TRUE(port.log().last().startsWith(u"Error: InternetConnect (12029)"_qs))
        << port.log().last().toStdString();
    EXPECT_TRUE(port.boxes().empty());
    EXPECT_EQ(state.Accounts[0].Visits, 0u);
}

TEST_F(SessionTest, RefusedStartPathAndMissingLocalFolderAreLoggedAndSessionStays) {
    state.Accounts[0].RemotePath = u"/does/not/exist"_qs;
    state.Accounts[0].LocalPath = u"/nonexistent/folder/for/test"_qs;
    const QString cwd = QDir::currentPath();
    ASSERT_TRUE(connectAndWait());
    EXPECT_TRUE(runtime.connected);
    EXPECT_EQ(state.local.path, cwd);
    EXPECT_EQ(state.remote.path, u"/"_qs);
    const QStringList log = port.log();
    EXPECT_TRUE(std::any_of(log.begin(), log.end(), [](const QString& l) {
        return l.startsWith(u"Error: SetCurrentDirectory ("_qs);
    }));
    const auto it = std::find_if(log.begin(), log.end(), [](const QString& l) {
        return l.startsWith(u"Error: FtpSetCurrentDirectory (12003)"_qs);
    });
    const auto at = it == log.end() ? -1 : it - log.begin();
    ASSERT_GE(at, 0) << ::testing::PrintToString(log);
    EXPECT_TRUE(log[at + 1].startsWith(u"550"_qs)) << log[at + 1].toStdString();
    EXPECT_TRUE(logHas(u"LIST /*.* ..."_qs));
}

TEST_F(SessionTest, MasksExcludesAndEmptyDirectory) {
    state.Accounts[0].RemotePath = u"/pub"_qs;
    state.Accounts[0].RemoteMask = u"*.txt"_qs;
    ASSERT_TRUE(connectAndWait());
    EXPECT_TRUE(logHas(u"LIST /pub/*.txt ..."_qs));
    EXPECT_EQ(remoteNames(), QStringList({u".."_qs, u"a.txt"_qs, u"b.TXT"_qs}));

    state.remote.mask.clear();
    state.remote.exclude = u".bak;.tmp"_qs;
    ASSERT_TRUE(controller->StartRemoteListing());
    controller->waitForWorker();
    EXPECT_TRUE(remoteNames().contains(u"bak"_qs));
    EXPECT_FALSE(remoteNames().contains(u"old.BAK"_qs));

    state.remote.mask = u"*.txt"_qs;
    const int parent = 0;
    ASSERT_TRUE(controller->EnterRemoteFolder(parent));
    controller->waitForWorker();
    EXPECT_EQ(state.remote.path, u"/"_qs);
    EXPECT_TRUE(logHas(u"LIST /*.txt ..."_qs));

    state.remote.mask.clear();
    port.clear();
    ASSERT_TRUE(controller->StartRemoteListing());
    controller->waitForWorker();
    const int empty = int(remoteNames().indexOf(u"empty"_qs));
    ASSERT_GT(empty, 0);
    ASSERT_TRUE(controller->EnterRemoteFolder(empty));
    controller->waitForWorker();
    EXPECT_EQ(state.remote.path, u"/empty"_qs);
    EXPECT_EQ(port.log().last(), u"1 item listed"_qs);
    EXPECT_EQ(remoteNames(), QStringList({u".."_qs}));

    // ".." at the root: the server keeps "/".
    ASSERT_TRUE(controller->EnterRemoteFolder(0));
    controller->waitForWorker();
    ASSERT_TRUE(controller->EnterRemoteFolder(0));
    controller->waitForWorker();
    EXPECT_EQ(state.remote.path, u"/"_qs);
}

TEST_F(SessionTest, BusyIgnoresNavigationAndSecondListing) {
    ASSERT_TRUE(connectAndWait());
    runtime.busy = true;
    EXPECT_FALSE(controller->EnterRemoteFolder(0));
    EXPECT_FALSE(controller->StartRemoteListing());
    runtime.busy = false;
    const int file = int(remoteNames().indexOf(u"top.txt"_qs));
    EXPECT_FALSE(controller->EnterRemoteFolder(file)); // a file row does nothing
}

TEST_F(SessionTest, DisconnectAsksOnlyWithConfirmFlagAndOption) {
    ASSERT_TRUE(connectAndWait());
    port.clear();
    state.options.Confirm = 1;
    port.answerBoxes({false});
    EXPECT_FALSE(controller->Disconnect(true));
    EXPECT_TRUE(runtime.connected);
    ASSERT_EQ(port.boxes().size(), 1u);
    EXPECT_EQ(port.boxes()[0].caption, u"Disconnect"_qs);
    EXPECT_TRUE(port.boxes()[0].text.contains(u"FTP Site: Local"_qs));
    EXPECT_TRUE(port.boxes()[0].defaultYes);

    EXPECT_TRUE(controller->Disconnect(false)); // the menu command never asks
    EXPECT_EQ(port.boxes().size(), 1u);
    EXPECT_FALSE(runtime.connected);
    EXPECT_FALSE(runtime.connectMode);
    EXPECT_EQ(port.log().mid(port.log().size() - 2),
              QStringList({u"Disconnecting ..."_qs, u"Connection closed"_qs}));
    EXPECT_TRUE(port.events().contains(u"title: Tarnwick 2000"_qs));
    // The rows of the closed session go; the label says there is no connection.
    EXPECT_TRUE(state.remote.entries.empty());
    EXPECT_EQ(state.remote.label, u"Remote: not connected"_qs);
    EXPECT_TRUE(port.events().contains(u"refresh: remote"_qs));
}

TEST_F(SessionTest, ReconnectAfterServerDropReturnsToSameDirectory) {
    state.Accounts[0].RemotePath = u"/pub"_qs;
    ASSERT_TRUE(connectAndWait());
    EXPECT_EQ(state.remote.path, u"/pub"_qs);

    // The server goes away; a new one serves the same tree on another port.
    const fs::path root = server->root();
    std::string why;
    auto next = test::FtpTestServer::start(test::FtpTestServer::Kind::Pyftpdlib, "127.0.0.1", why);
    ASSERT_TRUE(next) << why;
    fs::create_directories(next->root() / "pub");
    std::ofstream(next->root() / "pub" / "fresh.txt") << "x";
    server.reset();
    state.Accounts[0].RemotePort = std::uint32_t(next->port());

    port.clear();
    ASSERT_TRUE(controller->Reconnect());
    controller->waitForWorker();
    EXPECT_TRUE(runtime.connected);
    EXPECT_EQ(state.remote.path, u"/pub"_qs);
    EXPECT_TRUE(logHas(u"Re-Connected to 127.0.0.1 on Port "_qs + QString::number(next->port())));
    EXPECT_TRUE(remoteNames().contains(u"fresh.txt"_qs));
    EXPECT_EQ(state.Accounts[0].Visits, 1u);
    server = std::move(next);
}

TEST_F(SessionTest, RemoteCallsReportServerRefusal) {
    ASSERT_TRUE(connectAndWait());
    auto made = controller->createDirectory("/newdir");
    EXPECT_TRUE(made.ok);
    EXPECT_TRUE(fs::is_directory(server->root() / "newdir"));
    auto again = controller->createDirectory("/newdir");
    EXPECT_FALSE(again.ok);
    EXPECT_EQ(again.error, 12003);
    EXPECT_TRUE(again.response.startsWith(u"550"_qs));
    EXPECT_TRUE(controller->renameFile("/top.txt", "/renamed.txt").ok);
    EXPECT_TRUE(controller->deleteFile("/renamed.txt").ok);
    EXPECT_TRUE(controller->removeDirectory("/newdir").ok);
    EXPECT_FALSE(controller->createDirectory("/bad\r\nDELE x").ok);
}

namespace {

// Remote Make Directory, Rename, Delete and Properties: the shared dialogs' flows on the server.
class RemoteOperationsTest : public SessionTest {
protected:
    void SetUp() override {
        SessionTest::SetUp();
        if (!server)
            return;
        state.Accounts[0].RemotePath = u"/pub"_qs;
        ASSERT_TRUE(connectAndWait());
        port.clear();
    }
    int row(const QString& name) const { return int(remoteNames().indexOf(name)); }
    PaneContext context{state, messages, port};
};

} // namespace

TEST_F(RemoteOperationsTest, MakeDirectoryRefusesSlashThenCreates) {
    RemoteFileOps ops(*controller);
    port.names = {u"a/b"_qs, u"made"_qs};
    EXPECT_TRUE(MakeDirectory(context, ops));
    controller->waitForWorker();
    ASSERT_EQ(port.nameRequests.size(), 2u);
    EXPECT_EQ(port.nameRequests[0].caption, u" Make Remote Directory"_qs);
    EXPECT_TRUE(port.nameRequests[1].retry);
    ASSERT_EQ(port.boxes().size(), 1u);
    EXPECT_TRUE(port.boxes()[0].text.contains(u"Invalid character in directory name."_qs));
    EXPECT_TRUE(fs::is_directory(server->root() / "pub" / "made"));
    EXPECT_TRUE(remoteNames().contains(u"made"_qs)); // listed again
}

// The server would replace the target: a name the listing shows, or one that appeared on the
// server since, is refused as the local side refuses it, and the dialog asks again.
TEST_F(RemoteOperationsTest, RenameOntoAnExistingNameIsRefusedAndTheDialogStaysOpen) {
    RemoteFileOps ops(*controller);
    fs::create_directories(server->root() / "pub" / "taken"); // not in the listing
    port.names = {u"b.TXT"_qs, u"taken"_qs, std::nullopt};
    EXPECT_FALSE(RenameEntry(context, ops, {row(u"a.txt"_qs)}));
    ASSERT_EQ(port.nameRequests.size(), 3u); // asked again after each refusal
    ASSERT_EQ(port.boxes().size(), 2u);
    for (const auto& box : port.boxes()) {
        EXPECT_TRUE(box.text.startsWith(u"\rError detected renaming file."_qs));
        EXPECT_TRUE(box.text.contains(u"File exists"_qs)) << box.text.toStdString();
    }
    EXPECT_EQ(test::ReadWholeFile(server->root() / "pub" / "a.txt"), "alpha");
    EXPECT_EQ(test::ReadWholeFile(server->root() / "pub" / "b.TXT"), "beta");
}

TEST_F(RemoteOperationsTest, DeleteYesToAllCancelAndFailuresGoOn) {
    RemoteFileOps ops(*controller);
    // Yes to All on the first question deletes all three without asking again.
    port.deletes = {DeleteAnswer::YesToAll};
    EXPECT_EQ(DeleteEntries(context, ops, {row(u"a.txt"_qs), row(u"b.TXT"_qs), row(u"c.bin"_qs)}),
              3);
    controller->waitForWorker();
    EXPECT_EQ(port.deleteRequests.size(), 1u);
    EXPECT_TRUE(port.deleteRequests[0].multiple);
    EXPECT_FALSE(fs::exists(server->root() / "pub" / "a.txt"));
    EXPECT_FALSE(fs::exists(server->root() / "pub" / "c.bin"));

    // Cancel on the second question keeps the first deletion and lists again.
    port.deletes = {DeleteAnswer::Yes, DeleteAnswer::Cancel};
    port.clear();
    EXPECT_EQ(DeleteEntries(context, ops, {row(u"bak"_qs), row(u"old.BAK"_qs)}), 1);
    controller->waitForWorker();
    EXPECT_FALSE(fs::exists(server->root() / "pub" / "bak"));
    EXPECT_TRUE(fs::exists(server->root() / "pub" / "old.BAK"));
    EXPECT_TRUE(port.log().contains(u"LIST /pub/*.* ..."_qs));
}

// A folder with files in it is deleted after one question with its counts, on the worker;
// links inside are removed, never followed, so their targets outside survive.
TEST_F(RemoteOperationsTest, AFullFolderIsDeletedWithEverythingInItAndNothingOutside) {
    const fs::path sub = server->root() / "pub" / "sub";
    fs::create_directories(sub / "deeper" / "deepest");
    std::ofstream(sub / "inside.txt") << "x";
    std::ofstream(sub / "deeper" / "two.txt") << "y";
    std::ofstream(server->root() / "empty" / "keep.txt") << "keep";
    fs::create_symlink(server->root() / "top.txt", sub / "file-link");
    fs::create_symlink(server->root() / "empty", sub / "deeper" / "folder-link");

    // No to the count question keeps everything.
    port.deletes = {DeleteAnswer::Yes};
    port.answerBoxes({false});
    ASSERT_TRUE(RemoteDelete(context, *controller, {row(u"sub"_qs)}));
    controller->waitForWorker();
    ASSERT_EQ(port.boxes().size(), 1u);
    // A server that lists the link to a folder as a folder counts what the link leads to.
    EXPECT_TRUE(port.boxes()[0].text.startsWith(u"Delete 'sub' with 4 files in "_qs));
    EXPECT_TRUE(fs::exists(sub / "deeper" / "two.txt"));

    port.clear();
    port.deletes = {DeleteAnswer::Yes};
    port.answerBoxes({true});
    ASSERT_TRUE(RemoteDelete(context, *controller, {row(u"sub"_qs)}));
    controller->waitForWorker();
    EXPECT_FALSE(fs::exists(sub));
    EXPECT_EQ(test::ReadWholeFile(server->root() / "top.txt"), "top");
    EXPECT_EQ(test::ReadWholeFile(server->root() / "empty" / "keep.txt"), "keep");
    EXPECT_TRUE(logHas(u"4 files and 3 folders deleted"_qs))
        << port.log().join(u'\n').toStdString();
    EXPECT_FALSE(remoteNames().contains(u"sub"_qs)); // listed again by the flow
    EXPECT_FALSE(runtime.busy);
}

TEST_F(RemoteOperationsTest, PropertiesShowSiteAndLocationOrOnlyBeep) {
    EXPECT_FALSE(ShowRemoteProperties(context, {}));
    EXPECT_EQ(port.count(u"beep"_qs), 1);
    EXPECT_TRUE(port.properties.empty());

    EXPECT_TRUE(ShowRemoteProperties(context, {row(u"a.txt"_qs)}));
    ASSERT_EQ(port.properties.size(), 1u);
    EXPECT_EQ(port.properties[0].name, u"a.txt"_qs);
    EXPECT_EQ(port.properties[0].site, u"127.0.0.1"_qs);
    EXPECT_EQ(port.properties[0].location, u"/pub"_qs);
}
