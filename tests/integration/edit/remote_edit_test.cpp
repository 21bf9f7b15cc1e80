#include "core/edit/edit_port.h"
#include "core/edit/remote_edit_controller.h"
#include "core/panes/local_system.h"
#include "core/queue/queue_controller.h"
#include "core/session/session_controller.h"
#include "core/text/messages.h"
#include "integration/ftp/ftp_test_servers.h"
#include "support/loopback_account.h"
#include "support/recording_transfer_port.h"
#include "support/test_files.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <chrono>
#include <deque>
#include <filesystem>
#include <fstream>
#include <thread>

using namespace tw;
namespace fs = std::filesystem;
using test::FtpTestServer;

namespace {

// The edit questions, answered from a script (empty: No, Cancel).
class RecordingEditPort : public EditPort {
public:
    std::deque<UploadAnswer> uploads;
    std::deque<EditExitAnswer> exits;
    QStringList asked; // "upload: <remote path>", "exit: <names>"

    UploadAnswer askUpload(const QString&, const QString& remotePath) override {
        asked << u"upload: "_qs + remotePath;
        return take(uploads, UploadAnswer::No);
    }
    EditExitAnswer askExit(const QStringList& names) override {
        asked << u"exit: "_qs + names.join(u", "_qs);
        return take(exits, EditExitAnswer::Cancel);
    }
    void editsChanged() override {}

private:
    template <typename T>
    static T take(std::deque<T>& script, T fallback) {
        if (script.empty())
            return fallback;
        const T answer = script.front();
        script.pop_front();
        return answer;
    }
};

// Saves the way many editors do: the new text into another name in the folder, then renamed
// over the file. The text is the file "next" beside the script.
const char* const kEditor = "#!/bin/sh\n"
                            "here=$(dirname \"$0\")\n"
                            "cat \"$here/next\" > \"$1.saving\" && mv \"$1.saving\" \"$1\"\n";

void SaveByRename(const QByteArray& path, const std::string& text) {
    const std::string target = path.toStdString();
    std::ofstream(target + ".saving") << text;
    fs::rename(target + ".saving", target);
}

class RemoteEdit : public testing::Test {
protected:
    void SetUp() override {
        static int argc = 1;
        static char name[] = "test_remote_edit";
        static char* argv[] = {name, nullptr};
        if (!QCoreApplication::instance())
            new QCoreApplication(argc, argv); // lives as long as the test program
        std::string why;
        server = FtpTestServer::start(FtpTestServer::Kind::Vsftpd, "127.0.0.1", why);
        if (!server)
            GTEST_SKIP() << why;
        std::ofstream(server->root() / "notes.txt") << "first draft";
        fs::create_directories(server->root() / "sub");
        fs::create_directory_symlink("sub", server->root() / "sublink");

        const std::string editor = tools.path().toStdString() + "/editor.sh";
        std::ofstream(editor) << kEditor;
        fs::permissions(editor, fs::perms::owner_all);
        std::ofstream(tools.path().toStdString() + "/next") << "second draft";
        state.FileTypes = {{u".txt"_qs, QString::fromStdString(editor)}};
        state.Accounts.push_back(test::LoopbackAccount(u"Local"_qs, server->port(), local.path()));
        state.CurrentAccount = 0;
        state.ColumnLabels = {u"File Name"_qs, u"Date"_qs, u"Size"_qs};
        state.options.Connections = 1;
        globals.transferLogging = false;
        SessionController::Hooks hooks;
        hooks.showAccountsSheet = [] { return true; };
        hooks.listLocalDirectory = [] {};
        session = std::make_unique<SessionController>(state, runtime, messages, port, hooks);
        session->setTimeoutMs(5000);
        queue = std::make_unique<QueueController>(state, globals, messages, port, *session, rows,
                                                  QueueController::Hooks{});
        edits = std::make_unique<RemoteEditController>(
            state, messages, editPort, *queue, *session, system,
            RemoteEditController::Hooks{[this] { ++exits; }}, copies.path());
        edits->setSettleMs(50);
        ASSERT_TRUE(session->Connect());
        ASSERT_TRUE(until([&] { return !runtime.busy && state.remote.count() > 1; }));
    }
    void TearDown() override {
        edits.reset();
        queue.reset();
        session.reset();
    }

    // Runs the hand-overs and the event loop until `done`, within a bound that only keeps a
    // broken run from hanging.
    template <typename Done>
    bool until(Done done) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (std::chrono::steady_clock::now() < end) {
            port.runUiTasks();
            QCoreApplication::processEvents();
            if (done())
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return false;
    }
    int row(const QString& name) const {
        for (int i = 0; i < state.remote.count(); ++i)
            if (state.remote.entries[std::size_t(i)].name == name)
                return i;
        return -1;
    }
    EditState stateOf(int id) const {
        for (const EditedFile& file : edits->files())
            if (file.id == id)
                return file.state;
        return EditState::Failed;
    }
    std::string remoteText() const {
        return test::ReadFile(QString::fromStdString((server->root() / "notes.txt").string()))
            .toStdString();
    }
    bool idle() const { return !queue->running(); }

    std::unique_ptr<FtpTestServer> server;
    QTemporaryDir local, copies, tools;
    test::RecordingTransferPort port;
    RecordingEditPort editPort;
    DesktopLocalSystem system;
    AppState state;
    AppGlobals globals;
    AppRuntime runtime;
    Messages messages{port, state, globals};
    QueueRows rows;
    std::unique_ptr<SessionController> session;
    std::unique_ptr<QueueController> queue;
    std::unique_ptr<RemoteEditController> edits;
    int exits = 0;
};

TEST_F(RemoteEdit, SavesAreUploadedOnceAndTheServersOwnChangesAreNotOverwritten) {
    // A folder is no file to edit, nor is a link to one (known once the queue entered it).
    ASSERT_FALSE(edits->editSelected({row(u"sub"_qs)}));
    ASSERT_TRUE(edits->editSelected({row(u"sublink"_qs)}));
    ASSERT_TRUE(until([&] { return port.boxes().size() == 2 && idle(); }));
    for (const auto& box : port.boxes())
        EXPECT_TRUE(box.text.contains(u"Only a file can be edited."_qs)) << box.text.toStdString();
    EXPECT_TRUE(edits->files().empty());
    port.clear();

    // The editor saves by renaming a new file over the copy: asked once, Yes, uploaded.
    editPort.uploads = {UploadAnswer::Yes};
    ASSERT_TRUE(edits->editSelected({row(u"notes.txt"_qs)}));
    ASSERT_EQ(edits->files().size(), 1u);
    const int id = edits->files()[0].id;
    const QString remote = edits->files()[0].remotePath;
    EXPECT_EQ(remote, state.remote.path + u"/notes.txt"_qs);
    const QByteArray copy = edits->copyPath(id);
    EXPECT_EQ(QFile::permissions(QFile::decodeName(copy).section(u'/', 0, -2)) & 0077, 0);
    ASSERT_TRUE(until([&] { return stateOf(id) == EditState::Uploaded && idle(); }));
    EXPECT_EQ(editPort.asked, QStringList{u"upload: "_qs + remote});
    EXPECT_EQ(remoteText(), "second draft");
    EXPECT_FALSE(fs::exists(server->root() / ".notes.txt.tw-up"));

    // The same text saved again asks nothing.
    SaveByRename(copy, "second draft");
    edits->checkCopy(id);
    ASSERT_TRUE(until([&] { return idle(); }));
    EXPECT_EQ(editPort.asked.size(), 1);
    EXPECT_EQ(stateOf(id), EditState::Uploaded);

    // Someone else changes the server's file; the next save is not written over it unasked.
    std::ofstream(server->root() / "notes.txt") << "their version, longer";
    port.answerBoxes({false});
    editPort.uploads = {UploadAnswer::Yes};
    SaveByRename(copy, "third draft");
    edits->checkCopy(id);
    ASSERT_TRUE(until([&] { return port.boxes().size() == 1; }));
    EXPECT_TRUE(port.boxes()[0].text.contains(u"was changed on the server"_qs));
    ASSERT_TRUE(until([&] { return idle() && stateOf(id) == EditState::Changed; }));
    EXPECT_EQ(remoteText(), "their version, longer");

    // Deleted on the server: offered as a new file, and the copy is uploaded.
    fs::remove(server->root() / "notes.txt");
    port.answerBoxes({true});
    edits->uploadNow(id);
    ASSERT_TRUE(until([&] { return stateOf(id) == EditState::Uploaded && idle(); }));
    ASSERT_EQ(port.boxes().size(), 2u);
    EXPECT_TRUE(port.boxes()[1].text.contains(u"is no longer on the server"_qs));
    EXPECT_EQ(remoteText(), "third draft");

    // Exit with a change declined: asked, Cancel keeps the program, Discard lets it end.
    editPort.uploads = {UploadAnswer::No};
    SaveByRename(copy, "fourth draft");
    edits->checkCopy(id);
    EXPECT_EQ(stateOf(id), EditState::Changed);
    editPort.exits = {EditExitAnswer::Cancel, EditExitAnswer::Discard};
    EXPECT_FALSE(edits->confirmExit());
    EXPECT_TRUE(edits->confirmExit());
    EXPECT_EQ(editPort.asked.back(), u"exit: "_qs + remote);

    // Upload at exit: the program ends once the server has it.
    editPort.exits = {EditExitAnswer::Upload};
    EXPECT_FALSE(edits->confirmExit());
    ASSERT_TRUE(until([&] { return exits == 1; }));
    EXPECT_EQ(remoteText(), "fourth draft");

    // Ending the edit removes the copy and its folder.
    EXPECT_TRUE(edits->endEditing(id));
    EXPECT_FALSE(QFile::exists(QFile::decodeName(copy)));
    EXPECT_TRUE(edits->files().empty());

    // A copy with changes not uploaded outlives the program unless they were discarded.
    ASSERT_TRUE(edits->editSelected({row(u"notes.txt"_qs)}));
    const QByteArray kept = edits->copyPath(edits->files()[0].id);
    ASSERT_TRUE(until([&] { return edits->files()[0].state == EditState::Changed && idle(); }));
    edits.reset();
    EXPECT_EQ(test::ReadFile(QFile::decodeName(kept)), "second draft");
}

} // namespace
