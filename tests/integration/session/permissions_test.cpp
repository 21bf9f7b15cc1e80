#include "core/permissions/permissions_controller.h"
#include "core/session/remote_file_ops.h"
#include "core/session/session_controller.h"
#include "core/text/messages.h"
#include "integration/ftp/ftp_test_servers.h"
#include "support/loopback_account.h"
#include "unit/core_panes/pane_test_support.h"

#include <QDir>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sys/stat.h>

using namespace tw;
namespace fs = std::filesystem;
using Kind = test::FtpTestServer::Kind;

namespace {

unsigned modeOnDisk(const fs::path& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 ? unsigned(st.st_mode & 07777) : 0xFFFFu;
}

// The pane questions, the Permissions dialog answered by `answer`, and the run's window.
class PermissionsPortRecorder : public test::RecordingPanePort, public PermissionsPort {
public:
    std::function<std::optional<PermissionsAnswer>(const PermissionsRequest&)> answer;
    std::vector<PermissionsRequest> requests;

    std::optional<PermissionsAnswer> askPermissions(const PermissionsRequest& r) override {
        requests.push_back(r);
        return answer ? answer(r) : std::nullopt;
    }
    void openRunProgress(const QString& text, std::function<void()>) override {
        record(u"progress: "_qs + text);
    }
    void updateRunProgress(const QString&) override {}
    void closeRunProgress() override { record(u"progress: close"_qs); }
};

// Remote Permissions through the core on a real server: pyftpdlib's account may change modes,
// vsftpd's anonymous login may not.
class PermissionsTest : public ::testing::Test {
protected:
    void start(Kind kind) {
        std::string why;
        server = test::FtpTestServer::start(kind, "127.0.0.1", why);
        if (!server)
            GTEST_SKIP() << why;
        pub = server->root() / "pub";
        fs::create_directories(pub / "sub" / "deeper");
        for (const auto& [name, mode] : {std::pair{"a.txt", 0644},
                                         {"b.txt", 0600},
                                         {"sub/in.txt", 0644},
                                         {"sub/deeper/down.txt", 0644}}) {
            std::ofstream(pub / name) << name;
            fs::permissions(pub / name, fs::perms(mode));
        }
        fs::permissions(pub / "sub", fs::perms(0755));
        AccountRecord account =
            test::LoopbackAccount(u"Local"_qs, server->port(), QDir::currentPath());
        if (kind == Kind::Pyftpdlib) {
            account.Anonymous = false;
            account.Login = QString::fromStdString(server->user());
            account.Password = QString::fromStdString(server->password());
        }
        // vsftpd's paths are the machine's: the served folder is where it starts.
        account.RemotePath = kind == Kind::Pyftpdlib ? u"/pub"_qs : QString();
        state.Accounts.push_back(account);
        state.CurrentAccount = 0;
        globals.soundsWithDialogs = false;
        SessionController::Hooks hooks;
        hooks.showAccountsSheet = [] { return true; };
        hooks.listLocalDirectory = [] {};
        session = std::make_unique<SessionController>(state, runtime, messages, port, hooks);
        session->setTimeoutMs(5000);
        permissions =
            std::make_unique<PermissionsController>(state, runtime, messages, *session, port);
        ASSERT_TRUE(session->Connect());
        session->waitForWorker();
        ASSERT_TRUE(runtime.connected);
        if (kind == Kind::Vsftpd) {
            session->EnterRemoteFolder(row(u"pub"_qs));
            session->waitForWorker();
        }
        port.clear();
    }
    int row(const QString& name) const {
        for (std::size_t i = 0; i < state.remote.entries.size(); ++i)
            if (state.remote.entries[i].name == name)
                return int(i);
        return -1;
    }
    const FileEntry& entry(const QString& name) const {
        return state.remote.entries[std::size_t(row(name))];
    }

    std::unique_ptr<test::FtpTestServer> server;
    fs::path pub;
    PermissionsPortRecorder port;
    AppState state;
    AppGlobals globals;
    AppRuntime runtime;
    Messages messages{port, state, globals};
    std::unique_ptr<SessionController> session;
    std::unique_ptr<PermissionsController> permissions;
};

} // namespace

// Two files with different modes: the boxes they differ on start undecided, and only the bit
// the user set changes, each keeping its own others; the listing and Properties follow. A file
// gone from the server is refused with its name and the server's reply.
TEST_F(PermissionsTest, OnlyTheDecidedBitsChangeAndARefusalNamesTheFile) {
    start(Kind::Pyftpdlib);
    ASSERT_TRUE(entry(u"a.txt"_qs).mode);
    EXPECT_EQ(*entry(u"a.txt"_qs).mode, 0644);
    port.answer = [](const PermissionsRequest& r) {
        return PermissionsAnswer{WithBit(r.start, PermissionBit(1, 1), BitState::Set)};
    };
    ASSERT_TRUE(permissions->ChangePermissions({row(u"a.txt"_qs), row(u"b.txt"_qs)}));
    session->waitForWorker();
    ASSERT_EQ(port.requests.size(), 1u);
    EXPECT_EQ(port.requests[0].name, u"2 items"_qs);
    EXPECT_EQ(OctalText(port.requests[0].start), u"6xx"_qs);
    EXPECT_FALSE(port.requests[0].folders);
    EXPECT_EQ(modeOnDisk(pub / "a.txt"), 0664u);
    EXPECT_EQ(modeOnDisk(pub / "b.txt"), 0620u);
    EXPECT_TRUE(port.log().contains(u"SITE CHMOD 664 /pub/a.txt"_qs))
        << port.log().join(u'\n').toStdString();
    EXPECT_TRUE(port.boxes().empty());

    // Listed again: Properties shows the new mode with the owner and group.
    PaneContext context{state, messages, port};
    ASSERT_TRUE(ShowRemoteProperties(context, {row(u"a.txt"_qs)}));
    ASSERT_EQ(port.properties.size(), 1u);
    EXPECT_TRUE(port.properties[0].showAccess);
    EXPECT_EQ(port.properties[0].permissions, u"rw-rw-r-- (664)"_qs);
    EXPECT_NE(port.properties[0].owner, u"Unknown"_qs);

    fs::remove(pub / "b.txt");
    port.clear();
    port.answer = [](const PermissionsRequest&) { return PermissionsAnswer{{0600, 0777}}; };
    ASSERT_TRUE(permissions->ChangePermissions({row(u"b.txt"_qs)}));
    session->waitForWorker();
    ASSERT_EQ(port.boxes().size(), 1u);
    const QString text = port.boxes()[0].text;
    EXPECT_TRUE(text.startsWith(u"\rError detected changing permissions.\r\rFile: b.txt"_qs))
        << text.toStdString();
    EXPECT_TRUE(text.contains(u"550"_qs)) << text.toStdString();
    EXPECT_TRUE(port.logContains(u"Error: FtpCommand (12003)"_qs));
}

// Inside a folder on a connection of its own: its window opens and closes, the files change,
// the folders stay (files only), and the end is logged and listed again.
TEST_F(PermissionsTest, EverythingInsideAFolderRunsOnItsOwnConnection) {
    start(Kind::Pyftpdlib);
    port.answer = [](const PermissionsRequest& r) {
        EXPECT_TRUE(r.folders);
        return PermissionsAnswer{{0600, 0777}, true, queue::ChmodScope::FilesOnly};
    };
    ASSERT_TRUE(permissions->ChangePermissions({row(u"sub"_qs)}));
    permissions->waitForRun();
    session->waitForWorker();
    EXPECT_EQ(modeOnDisk(pub / "sub" / "in.txt"), 0600u);
    EXPECT_EQ(modeOnDisk(pub / "sub" / "deeper" / "down.txt"), 0600u);
    EXPECT_EQ(modeOnDisk(pub / "sub"), 0755u);
    EXPECT_EQ(modeOnDisk(pub / "a.txt"), 0644u);
    EXPECT_EQ(port.count(u"progress: Reading sub ..."_qs), 1);
    EXPECT_EQ(port.count(u"progress: close"_qs), 1);
    EXPECT_TRUE(port.log().contains(u"Permissions changed: 2 of 2 items"_qs))
        << port.log().join(u'\n').toStdString();
    EXPECT_TRUE(port.logContains(u"LIST /pub/*.* ..."_qs));
    EXPECT_TRUE(port.boxes().empty());
}

// A server that refuses: the run goes on with every entry and names them at its end.
TEST_F(PermissionsTest, ARefusingServerIsReportedAtTheEnd) {
    start(Kind::Vsftpd);
    port.answer = [](const PermissionsRequest&) {
        return PermissionsAnswer{{0700, 0777}, true, queue::ChmodScope::FilesAndFolders};
    };
    ASSERT_TRUE(permissions->ChangePermissions({row(u"sub"_qs)}));
    permissions->waitForRun();
    session->waitForWorker();
    ASSERT_EQ(port.boxes().size(), 1u);
    const QString text = port.boxes()[0].text;
    EXPECT_TRUE(text.startsWith(u"\rThe permissions of 4 items could not be changed."_qs))
        << text.toStdString();
    EXPECT_TRUE(text.contains(u"in.txt: 550 Permission denied."_qs)) << text.toStdString();
    EXPECT_TRUE(port.log().contains(u"Permissions changed: 0 of 4 items"_qs));
    EXPECT_EQ(modeOnDisk(pub / "sub"), 0755u);
}
