#include "core/dnd/drop_controller.h"
#include "core/dnd/uri_list.h"
#include "core/panes/local_listing.h"
#include "core/queue/queue_controller.h"
#include "core/queue/queue_rows.h"
#include "core/session/session_controller.h"
#include "core/text/messages.h"
#include "core/transfer/transfer_controller.h"
#include "integration/ftp/ftp_test_servers.h"
#include "support/flow_controllers.h"
#include "support/loopback_account.h"
#include "support/recording_transfer_port.h"
#include "unit/core_panes/pane_test_support.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

using namespace tw;
namespace fs = std::filesystem;
using test::FtpTestServer;

namespace {

// A session to the vsftpd fixture, the local pane on a scratch folder, and the drops through
// the recording port.
class Drops : public testing::Test, public test::FlowControllers {
protected:
    void SetUp() override {
        std::string why;
        server = FtpTestServer::start(FtpTestServer::Kind::Vsftpd, "127.0.0.1", why);
        if (!server)
            GTEST_SKIP() << why;
        fs::create_directories(server->root() / "sub");
        fs::create_directories(server->root() / "tree/inner");
        std::ofstream(server->root() / "a.txt") << "alpha";
        std::ofstream(server->root() / "tree/inner/b.txt") << "beta";
        fs::create_directories(localRoot() / "into");
        std::ofstream(localRoot() / "up.txt") << "upload me";
        state.Accounts.push_back(test::LoopbackAccount(u"Local"_qs, server->port(), local.path()));
        state.CurrentAccount = 0;
        state.sounds[int(AlertKind::FtpErrors)].Active = 0;
        globals.transferLogging = false;
        state.options.Connections = 1;
        build(state, runtime, globals, messages, port, system, queueRows, 5000);
        drops = std::make_unique<DropController>(
            state, runtime, messages, *session, *transfers,
            DropController::Hooks{[this] { ListLocalDirectory(state, messages, system); }});
        ASSERT_TRUE(session->Connect());
        settle();
        ASSERT_TRUE(runtime.connected);
        ListLocalDirectory(state, messages, system);
    }
    void TearDown() override {
        drops.reset();
        reset();
        QDir::setCurrent(savedCwd);
    }

    void settle() {
        FlowControllers::settle(
            port, runtime, [this] { return drops->copying(); }, [this] { drops->waitForCopy(); });
    }
    static int row(const PaneState& pane, const QString& name) {
        for (int i = 0; i < pane.count(); ++i)
            if (pane.entries[std::size_t(i)].name == name)
                return i;
        return -1;
    }
    fs::path localRoot() const { return fs::path(local.path().toStdString()); }
    QByteArray localPath(const char* name) const {
        return QByteArray::fromStdString((localRoot() / name).string());
    }
    std::string read(const fs::path& path) const { return test::ReadWholeFile(path); }

    std::unique_ptr<FtpTestServer> server;
    QTemporaryDir local;
    QString savedCwd = QDir::currentPath();
    test::RecordingTransferPort port;
    test::FakeLocalSystem system;
    AppState state;
    AppGlobals globals;
    AppRuntime runtime;
    Messages messages{port, state, globals};
    QueueRows queueRows;
    std::unique_ptr<DropController> drops;
};

TEST_F(Drops, RowsDroppedOnAFolderRowGoThereThroughTheQueue) {
    state.options.Prompt = true; // a drop asks no name, however many rows it carries
    // Remote rows onto the local folder row "into": the file and the folder with what it holds.
    ASSERT_TRUE(drops->DropRows(PaneSide::Remote,
                                {row(state.remote, u"a.txt"_qs), row(state.remote, u"tree"_qs)},
                                PaneSide::Local, row(state.local, u"into"_qs)));
    settle();
    EXPECT_EQ(read(localRoot() / "into/a.txt"), "alpha");
    EXPECT_EQ(read(localRoot() / "into/tree/inner/b.txt"), "beta");
    EXPECT_FALSE(fs::exists(localRoot() / "a.txt"));
    // A local row onto the remote folder row "sub", and the desktop's file onto "..".
    ListLocalDirectory(state, messages, system);
    ASSERT_TRUE(drops->DropRows(PaneSide::Local, {row(state.local, u"up.txt"_qs)}, PaneSide::Remote,
                                row(state.remote, u"sub"_qs)));
    settle();
    EXPECT_EQ(read(server->root() / "sub/up.txt"), "upload me");
    EXPECT_FALSE(fs::exists(server->root() / "up.txt"));
    EXPECT_TRUE(port.names.empty());
    EXPECT_EQ(port.count(u"box: "_qs), 0);
}

TEST_F(Drops, DesktopFilesUploadAndForeignPlacesAreRefused) {
    const QByteArray list =
        BuildUriList({localPath("up.txt"), localPath("into")}) + "https://example.org/x\r\n";
    ASSERT_TRUE(drops->DropUriList(list, PaneSide::Remote, -1));
    settle();
    EXPECT_EQ(read(server->root() / "up.txt"), "upload me");
    EXPECT_TRUE(fs::is_directory(server->root() / "into"));
    ASSERT_EQ(port.boxes().size(), 1u); // the web address, named
    EXPECT_TRUE(port.boxes()[0].text.contains(u"https://example.org/x"_qs));
    // Without a session the remote pane takes nothing, and says why.
    session->Disconnect(false);
    settle();
    EXPECT_FALSE(drops->DropUriList(BuildUriList({localPath("up.txt")}), PaneSide::Remote, -1));
    ASSERT_EQ(port.boxes().size(), 2u);
    EXPECT_TRUE(port.boxes()[1].text.contains(u"Not connected"_qs));
}

TEST_F(Drops, DesktopFilesCopyIntoTheLocalPaneOffTheUiThread) {
    const QTemporaryDir desktop;
    const fs::path from(desktop.path().toStdString());
    fs::create_directories(from / "docs");
    std::ofstream(from / "docs/note.txt") << "note";
    std::ofstream(from / "up.txt") << "theirs"; // the pane's folder has an up.txt: kept
    const auto path = [&](const char* name) {
        return QByteArray::fromStdString((from / name).string());
    };
    ASSERT_TRUE(
        drops->DropUriList(BuildUriList({path("docs"), path("up.txt")}), PaneSide::Local, -1));
    settle();
    EXPECT_EQ(read(localRoot() / "docs/note.txt"), "note");
    EXPECT_EQ(read(localRoot() / "up.txt"), "upload me");
    EXPECT_GE(row(state.local, u"docs"_qs), 0); // listed again at the end
    EXPECT_TRUE(port.logContains(u"up.txt (the name exists already)"_qs));
    EXPECT_TRUE(port.logContains(u"1 file copied into "_qs));
    ASSERT_EQ(port.boxes().size(), 1u);
    EXPECT_TRUE(port.boxes()[0].text.startsWith(u"1 file(s) copied, 1 skipped"_qs));
    // The pane's folder dropped onto its own sub-folder row: refused, nothing copied.
    EXPECT_FALSE(drops->DropUriList(BuildUriList({QFile::encodeName(local.path())}),
                                    PaneSide::Local, row(state.local, u"into"_qs)));
    EXPECT_TRUE(port.boxes().back().text.contains(u"cannot be copied into itself"_qs));
    EXPECT_TRUE(fs::is_empty(localRoot() / "into"));
}

TEST_F(Drops, RemoteRowsDraggedOutAreDownloadedForTheOtherProgram) {
    const std::vector<QByteArray> paths =
        drops->DownloadForDrag({row(state.remote, u".."_qs), row(state.remote, u"a.txt"_qs)});
    settle();
    ASSERT_EQ(paths.size(), 1u);
    EXPECT_TRUE(paths[0].endsWith("/a.txt"));
    EXPECT_EQ(read(paths[0].toStdString()), "alpha");
    EXPECT_EQ(ParseUriList(BuildUriList(paths)).paths, paths);
}

} // namespace
