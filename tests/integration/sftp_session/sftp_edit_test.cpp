#include "core/edit/edit_port.h"
#include "core/edit/remote_edit_controller.h"
#include "core/panes/local_system.h"
#include "core/queue/queue_controller.h"
#include "core/session/session_controller.h"
#include "core/text/messages.h"
#include "integration/sftp/ssh_test_server.h"
#include "support/recording_transfer_port.h"

#include <QCoreApplication>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

using namespace tw;
namespace fs = std::filesystem;

namespace {

class YesEditPort : public EditPort {
public:
    int asked = 0;
    UploadAnswer askUpload(const QString&, const QString&) override {
        ++asked;
        return UploadAnswer::Yes;
    }
    EditExitAnswer askExit(const QStringList&) override { return EditExitAnswer::Discard; }
    void editsChanged() override {}
};

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

} // namespace

// Remote edit (F4) over SFTP: the copy comes down through the queue, a save goes up after the
// question, and a file someone changed on the server meanwhile is asked about, never written
// over (its size and time read through the session's interface).
TEST(SftpEdit, SavesGoUpAndTheServersOwnChangesAreAskedAbout) {
    static int argc = 1;
    static char name[] = "test_sftp_session";
    static char* argv[] = {name, nullptr};
    if (!QCoreApplication::instance())
        new QCoreApplication(argc, argv); // lives as long as the test program
    std::string why;
    auto server = test::SshTestServer::start({}, why);
    if (!server)
        GTEST_SKIP() << why;
    const fs::path notes = server->root() / "notes.txt";
    std::ofstream(notes) << "first draft";
    std::ofstream(server->knownHosts()) << server->knownHostsLine(true) << "\n";

    QTemporaryDir local, copies, tools;
    const std::string editor = tools.path().toStdString() + "/editor.sh";
    std::ofstream(editor) << "#!/bin/sh\nprintf 'second draft' > \"$1.saving\" && mv \"$1.saving\" "
                             "\"$1\"\n";
    fs::permissions(editor, fs::perms::owner_all);

    test::RecordingTransferPort port;
    YesEditPort editPort;
    DesktopLocalSystem system;
    AppState state;
    AppGlobals globals;
    globals.soundsWithDialogs = false;
    globals.transferLogging = false;
    AppRuntime runtime;
    Messages messages{port, state, globals};
    state.FileTypes = {{u".txt"_qs, QString::fromStdString(editor)}};
    AccountRecord a;
    a.Name = u"Shell"_qs;
    a.URL = u"127.0.0.1"_qs;
    a.Protocol = ftp::Protocol::Sftp;
    a.RemotePort = std::uint32_t(server->port());
    a.Login = QString::fromStdString(server->user());
    a.KeyFile = QString::fromStdString(server->clientKey().string());
    a.UseAgent = false;
    a.RemotePath = QString::fromStdString(server->root().string());
    a.LocalPath = local.path();
    state.Accounts.push_back(a);
    state.CurrentAccount = 0;
    state.ColumnLabels = {u"File Name"_qs, u"Date"_qs, u"Size"_qs};
    state.options.Connections = 1;
    SessionController::Hooks hooks;
    hooks.showAccountsSheet = [] { return true; };
    hooks.listLocalDirectory = [] {};
    SessionController session(state, runtime, messages, port, hooks);
    session.setTimeoutMs(10000);
    session.setSshFiles(server->knownHosts().string(), server->sshConfig().string());
    QueueRows rows;
    QueueController queue(state, globals, messages, port, session, rows, QueueController::Hooks{});
    RemoteEditController edits(state, messages, editPort, queue, session, system,
                               RemoteEditController::Hooks{[] {}}, copies.path());
    edits.setSettleMs(50);

    const auto until = [&](auto done) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (std::chrono::steady_clock::now() < end) {
            port.runUiTasks();
            QCoreApplication::processEvents();
            if (done())
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return false;
    };
    const auto stateOf = [&] {
        return edits.files().empty() ? EditState::Failed : edits.files()[0].state;
    };
    ASSERT_TRUE(session.Connect());
    ASSERT_TRUE(until([&] { return !runtime.busy && state.remote.count() > 1; }))
        << port.log().join(u'\n').toStdString();
    int row = -1;
    for (int i = 0; i < state.remote.count(); ++i)
        if (state.remote.entries[std::size_t(i)].name == u"notes.txt"_qs)
            row = i;

    ASSERT_TRUE(edits.editSelected({row}));
    ASSERT_TRUE(until([&] { return stateOf() == EditState::Uploaded && !queue.running(); }))
        << port.log().join(u'\n').toStdString();
    EXPECT_EQ(editPort.asked, 1);
    EXPECT_EQ(readFile(notes), "second draft");

    // Changed on the server (another size): the next save asks, and No keeps their version.
    std::ofstream(notes) << "their version, longer";
    port.answerBoxes({false});
    const QByteArray copy = edits.copyPath(edits.files()[0].id);
    {
        std::ofstream(copy.toStdString() + ".saving") << "third draft";
        fs::rename(copy.toStdString() + ".saving", copy.toStdString());
    }
    edits.checkCopy(edits.files()[0].id);
    ASSERT_TRUE(until([&] { return port.boxes().size() == 1; }));
    EXPECT_TRUE(port.boxes()[0].text.contains(u"was changed on the server"_qs))
        << port.boxes()[0].text.toStdString();
    ASSERT_TRUE(until([&] { return !queue.running() && stateOf() == EditState::Changed; }));
    EXPECT_EQ(readFile(notes), "their version, longer");
    edits.endEditing(edits.files()[0].id);
}
