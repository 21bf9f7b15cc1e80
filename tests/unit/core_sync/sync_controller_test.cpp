#include "core/sync/sync_controller.h"

#include "core/panes/local_listing.h"
#include "integration/ftp/ftp_test_servers.h"
#include "support/flow_controllers.h"
#include "support/loopback_account.h"
#include "support/recording_transfer_port.h"
#include "support/test_files.h"
#include "unit/core_panes/pane_test_support.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <chrono>
#include <deque>
#include <filesystem>
#include <iostream>
#include <map>

using namespace tw;
namespace fs = std::filesystem;
namespace qs = tw::queue::sync;
using test::FtpTestServer;

namespace {

// Plays the Synchronise dialogs: options from a script, the preview answered by `preview`,
// every call recorded.
class RecordingSyncPort : public SyncPort {
public:
    std::deque<std::optional<SyncChoices>> choices;
    std::function<std::optional<std::vector<bool>>(const SyncPreviewRequest&)> preview;
    std::vector<SyncOptionsRequest> optionRequests;
    std::vector<SyncPreviewRequest> previews;
    QStringList progress;

    std::optional<SyncChoices> askSyncOptions(const SyncOptionsRequest& request) override {
        optionRequests.push_back(request);
        if (choices.empty())
            return std::nullopt;
        const std::optional<SyncChoices> answer = choices.front();
        choices.pop_front();
        return answer;
    }
    std::optional<std::vector<bool>> askSyncPreview(const SyncPreviewRequest& request) override {
        previews.push_back(request);
        return preview ? preview(request) : std::nullopt;
    }
    void openSyncProgress(const QString& text, std::function<void()>) override {
        progress << u"open: "_qs + text;
    }
    void updateSyncProgress(const QString& text) override { progress << text; }
    void closeSyncProgress() override { progress << u"close"_qs; }
};

// A row of the preview as the test reads it.
struct Shown {
    QString action, where, why;
    bool tickable = false;
    bool operator==(const Shown&) const = default;
};

std::map<QString, Shown> byName(const SyncPreviewRequest& request) {
    std::map<QString, Shown> out;
    for (const SyncPreviewRow& row : request.rows)
        out[row.name] = {row.action, row.where, row.why, row.tickable};
    return out;
}

std::vector<bool> ticksWithout(const SyncPreviewRequest& request, const QString& name) {
    std::vector<bool> ticks;
    for (const SyncPreviewRow& row : request.rows)
        ticks.push_back(row.ticked && row.name != name);
    return ticks;
}

// A whole minute some days back: every listing gives it exactly, LIST included.
fs::file_time_type daysAgo(int days) {
    const auto now =
        std::chrono::time_point_cast<std::chrono::minutes>(std::chrono::system_clock::now());
    return std::chrono::file_clock::from_sys(
        std::chrono::sys_seconds(now - std::chrono::days(days)));
}

void writeFile(const fs::path& file, const std::string& data, int days) {
    test::WriteFile(QString::fromStdString(file.string()), QByteArray::fromStdString(data));
    fs::last_write_time(file, daysAgo(days));
}

std::string readFile(const fs::path& file) {
    return test::ReadFile(QString::fromStdString(file.string())).toStdString();
}

class SyncFlow : public testing::TestWithParam<FtpTestServer::Kind>, public test::FlowControllers {
protected:
    void SetUp() override {
        std::string why;
        server = FtpTestServer::start(GetParam(), "127.0.0.1", why);
        if (!server)
            GTEST_SKIP() << why;
        localRoot = fs::path(local.path().toStdString());
        remoteRoot = server->root();
        // Old: three days back; new: one day back.
        writeFile(localRoot / "local_only.txt", "made here", 3);
        writeFile(localRoot / "left_out.txt", "not sent", 3);
        writeFile(localRoot / "notes.bak", "excluded", 3);
        writeFile(localRoot / "newer_local.txt", "changed here, longer", 1);
        writeFile(remoteRoot / "newer_local.txt", "old text", 3);
        writeFile(localRoot / "newer_remote.txt", "old", 3);
        writeFile(remoteRoot / "newer_remote.txt", "changed on the server", 1);
        writeFile(localRoot / "size.txt", "12345", 3);
        writeFile(remoteRoot / "size.txt", "123", 3);
        writeFile(localRoot / "same.txt", "same", 3);
        writeFile(remoteRoot / "same.txt", "same", 3);
        writeFile(remoteRoot / "remote_only.txt", "made there", 3);
        writeFile(remoteRoot / "sub" / "deep.txt", "deep down", 3);

        state.Accounts.push_back(test::LoopbackAccount(u"Sync"_qs, server->port(), local.path()));
        if (!server->user().empty()) {
            state.Accounts[0].Anonymous = false;
            state.Accounts[0].Login = QString::fromStdString(server->user());
            state.Accounts[0].Password = QString::fromStdString(server->password());
        }
        state.Accounts[0].LocalExclude = u".tmp"_qs;
        state.CurrentAccount = 0;
        state.ColumnLabels = {u"File Name"_qs, u"Date"_qs, u"Size"_qs};
        state.options.KeepFileDates = 1;
        state.options.Connections = 2;
        state.local.path = local.path();
        globals.soundsWithDialogs = false;
        globals.transferLogging = false;
        build(state, runtime, globals, messages, port, system, queueRows, 5000);
        ASSERT_TRUE(session->Connect());
        settle();
        ASSERT_TRUE(runtime.connected);
        SyncController::Hooks hooks;
        hooks.listLocal = [this] { ListLocalDirectory(state, messages, system); };
        hooks.saveAccounts = [this](const AppState& saved) {
            savedExcludes = saved.Accounts[0].SyncExcludes;
            return true;
        };
        sync = std::make_unique<SyncController>(state, runtime, messages, *session, *queue,
                                                syncPort, stateFolder.path(), hooks);
    }
    void TearDown() override {
        if (HasFailure() && server)
            std::cerr << server->serverLog() << "\n";
        sync.reset();
        reset();
        // The local listing made the temporary folder the current one; the next server started
        // must not inherit it once it is gone.
        QDir::setCurrent(savedCwd);
    }

    void settle() {
        FlowControllers::settle(
            port, runtime, [this] { return sync && sync->running(); },
            [this] {
                if (sync)
                    sync->waitForWorker();
            });
    }
    // One Synchronise with `choices`, run to its end.
    void synchronise(const SyncChoices& choices) {
        syncPort.choices.push_back(choices);
        ASSERT_TRUE(sync->Synchronise());
        settle();
        EXPECT_FALSE(sync->running());
    }
    int logCount(const QString& prefix) const {
        int n = 0;
        for (const QString& line : port.log())
            n += line.startsWith(prefix) ? 1 : 0;
        return n;
    }

    std::unique_ptr<FtpTestServer> server;
    QString savedCwd = QDir::currentPath();
    QTemporaryDir local;
    QTemporaryDir stateFolder;
    fs::path localRoot;
    fs::path remoteRoot;
    test::RecordingTransferPort port;
    RecordingSyncPort syncPort;
    test::FakeLocalSystem system;
    AppState state;
    AppGlobals globals;
    AppRuntime runtime;
    Messages messages{port, state, globals};
    QueueRows queueRows;
    std::unique_ptr<SyncController> sync;
    QString savedExcludes;
};

TEST_P(SyncFlow, BothWaysPreviewRunsTheTickedRowsAndThenTheFoldersAreInStep) {
    SyncChoices both;
    both.direction = qs::SyncDirection::Both;
    both.excludes = u"*.bak"_qs;
    syncPort.preview = [](const SyncPreviewRequest& request) {
        return std::optional(ticksWithout(request, u"left_out.txt"_qs));
    };
    synchronise(both);

    // The dialog showed both folders; the new exclude pattern went to the account.
    ASSERT_EQ(syncPort.optionRequests.size(), 1u);
    EXPECT_EQ(syncPort.optionRequests[0].localFolder, local.path());
    EXPECT_EQ(syncPort.optionRequests[0].remoteFolder, state.remote.path);
    EXPECT_EQ(savedExcludes, u"*.bak"_qs);
    EXPECT_EQ(state.Accounts[0].SyncExcludes, u"*.bak"_qs);
    EXPECT_EQ(sync->lastChoices(), both);

    ASSERT_EQ(syncPort.previews.size(), 1u)
        << port.log().join(u'\n').toStdString() << "|"
        << (port.boxes().empty() ? std::string() : port.boxes().back().text.toStdString());
    const std::map<QString, Shown> shown = byName(syncPort.previews[0]);
    const Shown copyUp{u"Copy"_qs, u"Server"_qs, u"missing on the destination"_qs, true};
    const Shown copyDown{u"Copy"_qs, u"Local"_qs, u"missing on the destination"_qs, true};
    const std::pair<const char*, Shown> expected[] = {
        {"local_only.txt", copyUp},
        {"left_out.txt", copyUp},
        {"remote_only.txt", copyDown},
        {"sub/deep.txt", copyDown},
        {"newer_local.txt", {u"Replace"_qs, u"Server"_qs, u"the source is newer"_qs, true}},
        {"newer_remote.txt", {u"Replace"_qs, u"Local"_qs, u"the source is newer"_qs, true}},
        {"size.txt",
         {u"Conflict"_qs, u"Server"_qs,
          u"same time, another size, and no earlier synchronisation"_qs, false}},
        {"notes.bak", {u"Skip"_qs, u"Server"_qs, u"excluded"_qs, false}},
    };
    for (const auto& [name, row] : expected) {
        SCOPED_TRACE(name);
        const auto it = shown.find(QString::fromUtf8(name));
        ASSERT_NE(it, shown.end());
        EXPECT_EQ(it->second.action, row.action);
        EXPECT_EQ(it->second.why, row.why);
        EXPECT_EQ(it->second.tickable, row.tickable);
        if (row.action != u"Conflict"_qs) {
            EXPECT_EQ(it->second.where, row.where);
        }
    }
    EXPECT_EQ(shown.count(u"same.txt"_qs), 0u);
    // The summary counts what is ticked: the left-out copy is not.
    const SyncPreviewRequest& preview = syncPort.previews[0];
    const QString all = preview.summary(ticksWithout(preview, QString()));
    const QString run = preview.summary(ticksWithout(preview, u"left_out.txt"_qs));
    EXPECT_TRUE(all.startsWith(u"4 to copy, 2 to replace, 0 to delete, 1 conflict, "_qs))
        << all.toStdString();
    EXPECT_TRUE(run.startsWith(u"3 to copy, 2 to replace, 0 to delete, 1 conflict, "_qs))
        << run.toStdString();
    EXPECT_TRUE(syncPort.progress.front().startsWith(u"open: Listing... "_qs));

    // The ticked rows ran through the queue; the unticked one and the conflict did not.
    EXPECT_EQ(readFile(remoteRoot / "local_only.txt"), "made here");
    EXPECT_EQ(readFile(remoteRoot / "newer_local.txt"), "changed here, longer");
    EXPECT_EQ(readFile(localRoot / "remote_only.txt"), "made there");
    EXPECT_EQ(readFile(localRoot / "newer_remote.txt"), "changed on the server");
    EXPECT_EQ(readFile(localRoot / "sub" / "deep.txt"), "deep down");
    EXPECT_FALSE(fs::exists(remoteRoot / "left_out.txt"));
    EXPECT_FALSE(fs::exists(remoteRoot / "notes.bak"));
    EXPECT_EQ(readFile(localRoot / "size.txt"), "12345");
    EXPECT_EQ(readFile(remoteRoot / "size.txt"), "123");
    EXPECT_GE(queueRows.count(), 5);
    for (int i = 0; i < queueRows.count(); ++i)
        EXPECT_EQ(queueRows.at(i).state, queue::ItemState::Done) << queueRows.at(i).localPath;
    EXPECT_TRUE(port.log().contains(u"Synchronised: 3 copied, 2 replaced, 0 deleted, 1 conflict "
                                    u"left"_qs))
        << port.log().join(u'\n').toStdString();

    // The user settles the conflict and drops the file left out: nothing is left to do.
    writeFile(remoteRoot / "size.txt", "12345", 3);
    fs::remove(localRoot / "left_out.txt");
    const std::size_t boxes = port.boxes().size();
    synchronise(both);
    EXPECT_EQ(syncPort.previews.size(), 1u) << "an in-step plan shows no preview";
    ASSERT_EQ(port.boxes().size(), boxes + 1);
    EXPECT_EQ(port.boxes().back().text, u"The folders are in step."_qs);
    EXPECT_EQ(logCount(u"Synchronised:"_qs), 1);
}

TEST_P(SyncFlow, DeletesAreCountedAndConfirmedBeforeAnyRuns) {
    // Bring both sides in step first, so the deletes are all that differs.
    SyncChoices down;
    down.direction = qs::SyncDirection::Download;
    syncPort.preview = [](const SyncPreviewRequest& request) {
        std::vector<bool> ticks;
        for (const SyncPreviewRow& row : request.rows)
            ticks.push_back(row.ticked);
        return std::optional(ticks);
    };
    synchronise(down);
    ASSERT_EQ(readFile(localRoot / "remote_only.txt"), "made there");
    fs::remove(localRoot / "remote_only.txt");
    fs::remove_all(localRoot / "sub");

    SyncChoices up;
    up.direction = qs::SyncDirection::Upload;
    up.onlyMissing = true; // the files that differ stay as they are
    up.deleteExtra = true;
    up.excludes = u"*.bak;left_out.txt;local_only.txt"_qs;
    struct Step {
        bool yes;
        bool remoteLeft;
    };
    for (const Step step : {Step{false, true}, Step{true, false}}) {
        SCOPED_TRACE(step.yes);
        port.answerBoxes({step.yes});
        const std::size_t boxes = port.boxes().size();
        synchronise(up);
        const std::map<QString, Shown> shown = byName(syncPort.previews.back());
        ASSERT_EQ(shown.count(u"remote_only.txt"_qs), 1u);
        EXPECT_EQ(shown.at(u"remote_only.txt"_qs),
                  (Shown{u"Delete"_qs, u"Server"_qs, u"not on the source"_qs, true}));
        EXPECT_EQ(shown.at(u"sub/deep.txt"_qs).action, u"Delete"_qs);
        EXPECT_EQ(shown.at(u"sub"_qs).action, u"Delete"_qs);
        ASSERT_EQ(port.boxes().size(), boxes + 1);
        EXPECT_EQ(port.boxes()[boxes].text,
                  u"Delete 2 files and 1 folder on the server that are not in the local "
                  u"folder?"_qs);
        EXPECT_FALSE(port.boxes()[boxes].defaultYes);
        EXPECT_EQ(fs::exists(remoteRoot / "remote_only.txt"), step.remoteLeft);
        EXPECT_EQ(fs::exists(remoteRoot / "sub"), step.remoteLeft);
    }
    EXPECT_TRUE(port.log().contains(u"Synchronised: 0 copied, 0 replaced, 3 deleted, 0 "
                                    u"conflicts left"_qs))
        << port.log().join(u'\n').toStdString();
    EXPECT_EQ(readFile(remoteRoot / "same.txt"), "same");
    EXPECT_EQ(readFile(remoteRoot / "newer_local.txt"), "old text");
}

TEST_P(SyncFlow, EmptyingTheServerFolderIsAskedTwice) {
    for (const fs::directory_entry& entry : fs::directory_iterator(localRoot))
        fs::remove_all(entry.path());
    SyncChoices up;
    up.deleteExtra = true;
    syncPort.preview = [](const SyncPreviewRequest& request) {
        std::vector<bool> ticks;
        for (const SyncPreviewRow& row : request.rows)
            ticks.push_back(row.ticked);
        return std::optional(ticks);
    };
    const QString first = u"Delete 6 files and 1 folder on the server that are not in the local "
                          u"folder?"_qs;
    const QString second = u"This deletes every file in "_qs + state.remote.path + u"."_qs;
    struct Step {
        std::initializer_list<bool> answers;
        std::vector<QString> asked;
        bool remoteLeft;
    };
    const Step steps[] = {
        {{false}, {first}, true},
        {{true, false}, {first, second}, true},
        {{true, true}, {first, second}, false},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.answers.size());
        port.answerBoxes(step.answers);
        const std::size_t boxes = port.boxes().size();
        synchronise(up);
        ASSERT_EQ(port.boxes().size(), boxes + step.asked.size());
        for (std::size_t i = 0; i < step.asked.size(); ++i) {
            EXPECT_TRUE(port.boxes()[boxes + i].text.startsWith(step.asked[i]))
                << port.boxes()[boxes + i].text.toStdString();
            EXPECT_FALSE(port.boxes()[boxes + i].defaultYes);
        }
        EXPECT_EQ(fs::exists(remoteRoot / "same.txt"), step.remoteLeft);
        EXPECT_EQ(fs::exists(remoteRoot / "sub"), step.remoteLeft);
    }
    EXPECT_TRUE(fs::is_empty(remoteRoot));
}

INSTANTIATE_TEST_SUITE_P(Servers, SyncFlow,
                         testing::Values(FtpTestServer::Kind::Vsftpd,
                                         FtpTestServer::Kind::Pyftpdlib),
                         [](const testing::TestParamInfo<FtpTestServer::Kind>& info) {
                             return info.param == FtpTestServer::Kind::Vsftpd ? "vsftpd"
                                                                              : "pyftpdlib";
                         });

} // namespace
