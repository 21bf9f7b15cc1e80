#include "core/panes/local_listing.h"
#include "core/panes/local_paths.h"
#include "core/queue/queue_controller.h"
#include "core/session/session_controller.h"
#include "core/text/messages.h"
#include "core/transfer/file_copy.h"
#include "core/transfer/transfer_controller.h"
#include "ftp/ftp_session.h"
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

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace tw;
namespace fs = std::filesystem;
using test::FtpTestServer;

namespace {

constexpr std::size_t kBig = 3 << 20;
// The file a stop cuts, and the rate of the server that sends it (a second a file), so that
// the stop lands in its middle on any machine.
constexpr std::size_t kHuge = 4 << 20;
constexpr std::uint64_t kStopRate = 4 << 20;

struct Param {
    FtpTestServer::Kind kind;
    bool zeroCopy;
};

std::string paramName(const testing::TestParamInfo<Param>& info) {
    return std::string(info.param.kind == FtpTestServer::Kind::Vsftpd ? "vsftpd" : "pyftpdlib") +
           (info.param.zeroCopy ? "_splice" : "_readwrite");
}

// A connected session to a real server, the local pane on a scratch folder, and the transfer
// controller, all through the recording port.
class TransferFixture : public test::FlowControllers {
public:
    // `named`: log in with the server's named account (pyftpdlib's may set file dates).
    // `maxRate`: the server's data rate in bytes per second (0: as fast as it goes).
    bool setUp(FtpTestServer::Kind kind, bool zeroCopy, std::string& why, bool named = false,
               std::uint64_t maxRate = 0) {
        server = maxRate > 0 ? FtpTestServer::startThrottled(kind, "127.0.0.1", maxRate, why)
                             : FtpTestServer::start(kind, "127.0.0.1", why);
        if (!server)
            return false;
        const fs::path root = server->root();
        fs::create_directories(root / "sub");
        std::ofstream(root / "a.txt") << "alpha";
        std::ofstream(root / "empty.bin");
        test::WritePatternFile(root / "big.bin", kBig, 7);
        std::ofstream(root / ".left.bin.tw-up") << "an upload cut short"; // never listed

        state.Accounts.push_back(test::LoopbackAccount(u"Local"_qs, server->port(), local.path()));
        if (named && !server->user().empty()) {
            state.Accounts[0].Anonymous = false;
            state.Accounts[0].Login = QString::fromStdString(server->user());
            state.Accounts[0].Password = QString::fromStdString(server->password());
        }
        state.CurrentAccount = 0;
        state.ColumnLabels = {u"File Name"_qs, u"Date"_qs, u"Size"_qs};
        state.options.AlertLevel = 2; // wave files, so each alert is told apart
        state.sounds[int(AlertKind::TransferSuccess)].WaveFile = u"success.wav"_qs;
        state.sounds[int(AlertKind::TransferFailure)].WaveFile = u"failure.wav"_qs;
        state.sounds[int(AlertKind::FtpErrors)].Active = 0;
        globals.soundsWithDialogs = false;
        globals.transferLogging = false;

        state.options.Connections = 1; // the files one after another, as the log lines show
        build(state, runtime, globals, messages, port, system, queueRows, 5000);
        session->setZeroCopy(zeroCopy);
        if (!session->Connect()) {
            why = "cannot connect";
            return false;
        }
        settle();
        if (!runtime.connected) {
            why = "cannot connect";
            return false;
        }
        return true;
    }

    ~TransferFixture() {
        reset();
        QDir::setCurrent(savedCwd);
    }

    // Waits for the workers and runs what they handed to the UI thread, until all is quiet.
    // While the queue runs, its hand-overs are run as the event loop would, so the progress
    // window and the pane follow it.
    void settle() { FlowControllers::settle(port, runtime); }

    std::vector<int> rows(const PaneState& pane, const QStringList& names) const {
        return test::RowsNamed(pane, names);
    }

    bool download(const QStringList& names) {
        const bool started = transfers->StartDownload(rows(state.remote, names));
        settle();
        return started;
    }
    bool upload(const QStringList& names) {
        ListLocalDirectory(state, messages, system);
        const bool started = transfers->StartUpload(rows(state.local, names));
        settle();
        return started;
    }

    fs::path localFile(const std::string& name) const {
        return fs::path(local.path().toStdString()) / name;
    }
    bool logHas(const QString& line) const { return port.log().contains(line); }
    int eventCount(const QString& prefix) const {
        int n = 0;
        for (const QString& event : port.events())
            n += event.startsWith(prefix) ? 1 : 0;
        return n;
    }
    int logCount(const QString& prefix) const {
        int n = 0;
        for (const QString& line : port.log())
            n += line.startsWith(prefix) ? 1 : 0;
        return n;
    }
    bool noTemporaryFiles() const {
        for (const auto& e : fs::directory_iterator(local.path().toStdString()))
            if (const std::string n = e.path().filename().string();
                n.size() > 8 && n.compare(n.size() - 8, 8, ".tw-part") == 0)
                return false;
        return true;
    }
    // The names of the server's folder ending in ".tw-up" (temporary uploads).
    std::vector<std::string> remoteTemporaryFiles() const {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(server->root()))
            if (const std::string n = e.path().filename().string();
                n.size() > 6 && n.compare(n.size() - 6, 6, ".tw-up") == 0 && n != ".left.bin.tw-up")
                names.push_back(n);
        return names;
    }
    // The ids of the queue's stopped rows.
    std::vector<std::int64_t> stoppedRows() const {
        std::vector<std::int64_t> ids;
        for (int i = 0; i < queueRows.count(); ++i)
            if (queueRows.at(i).state == queue::ItemState::Stopped)
                ids.push_back(queueRows.at(i).id);
        return ids;
    }
    // The local rows whose name has these bytes.
    std::vector<int> localRowsByBytes(const QByteArray& bytes) const {
        std::vector<int> out;
        for (int i = 0; i < state.local.count(); ++i)
            if (EntryNameBytes(state.local.entries[std::size_t(i)]) == bytes)
                out.push_back(i);
        return out;
    }

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
};

class Transfers : public testing::TestWithParam<Param> {
protected:
    void SetUp() override {
        std::string why;
        if (!f.setUp(GetParam().kind, GetParam().zeroCopy, why))
            GTEST_SKIP() << why;
    }
    TransferFixture f;
};

// The same, against a vsftpd that sends at kStopRate.
class StoppedTransfers : public testing::TestWithParam<Param> {
protected:
    void SetUp() override {
        std::string why;
        if (!f.setUp(GetParam().kind, GetParam().zeroCopy, why, false, kStopRate))
            GTEST_SKIP() << why;
    }
    TransferFixture f;
};

TEST_P(Transfers, DownloadAndUploadCopyFilesOnlyWithTheirLogLines) {
    // A temporary upload is never shown as a file.
    EXPECT_TRUE(f.rows(f.state.remote, {u".left.bin.tw-up"_qs}).empty());
    EXPECT_FALSE(f.rows(f.state.remote, {u"a.txt"_qs}).empty());
    const QTemporaryDir logDir;
    f.globals.transferLogging = true;
    f.globals.logPath = logDir.filePath(u"tarnwick2000.log"_qs);
    ASSERT_TRUE(f.download({u".."_qs, u"sub"_qs, u"a.txt"_qs, u"empty.bin"_qs, u"big.bin"_qs}));
    f.globals.transferLogging = false;
    const fs::path root = f.server->root();
    // The transfer log joins folders and names with one '/', also at the server's root.
    QString remoteFolder = f.state.remote.path;
    if (remoteFolder.endsWith(u'/'))
        remoteFolder.chop(1);
    const std::string logText = test::ReadWholeFile(f.globals.logPath.toStdString());
    EXPECT_NE(logText.find(" - " + remoteFolder.toStdString() + "/a.txt => " +
                           f.local.path().toStdString() + "/a.txt\n"),
              std::string::npos)
        << logText;
    EXPECT_EQ(test::ReadWholeFile(f.localFile("a.txt")), "alpha");
    EXPECT_TRUE(fs::exists(f.localFile("empty.bin")));
    EXPECT_EQ(fs::file_size(f.localFile("empty.bin")), 0u);
    EXPECT_EQ(test::ReadWholeFile(f.localFile("big.bin")), test::ReadWholeFile(root / "big.bin"));
    EXPECT_TRUE(fs::is_directory(f.localFile("sub"))); // a folder goes with what it holds
    EXPECT_EQ(f.logCount(u"GET: "_qs), 3);
    EXPECT_TRUE(f.logHas(u"a.txt transferred (5 bytes) "_qs));
    EXPECT_TRUE(f.logHas(u"empty.bin transferred (0 bytes) "_qs));
    EXPECT_TRUE(f.logHas(u"3 files transfered"_qs));
    EXPECT_GE(f.logCount(u"Speed: "_qs), 3);
    // One progress window for the batch, closed at its end (a batch over before the window
    // could follow it opens none).
    EXPECT_LE(f.eventCount(u"progress: open File "_qs), 1);
    EXPECT_EQ(f.eventCount(u"progress: open "_qs), f.eventCount(u"progress: close "_qs));
    EXPECT_EQ(f.port.count(u"wave: success.wav"_qs), 1);
    EXPECT_EQ(f.port.count(u"wave: failure.wav"_qs), 0);
    EXPECT_TRUE(f.noTemporaryFiles());
    EXPECT_FALSE(f.runtime.busy);

    // Upload with Lowercase: stored as readme.txt, no "AS:" line, an empty third field. A name
    // that is not UTF-8 has only its ASCII capitals lowered, every other byte kept.
    f.port.clear();
    f.state.options.Lowercase = 1;
    test::WritePatternFile(f.localFile("ReadMe.TXT"), kBig + 17, 3);
    std::ofstream(f.localFile("zero.dat"));
    std::ofstream(f.localFile("Caf\xe9.TXT")) << "latin-1";
    ListLocalDirectory(f.state, f.messages, f.system);
    std::vector<int> selected = f.rows(f.state.local, {u"ReadMe.TXT"_qs, u"zero.dat"_qs});
    const std::vector<int> latin1 = f.localRowsByBytes("Caf\xe9.TXT");
    ASSERT_EQ(latin1.size(), 1u);
    selected.push_back(latin1.front());
    ASSERT_TRUE(f.transfers->StartUpload(selected));
    f.settle();
    EXPECT_EQ(test::ReadWholeFile(root / "caf\xe9.txt"), "latin-1");
    EXPECT_TRUE(f.logHas(u"3 files transfered"_qs));
    EXPECT_EQ(test::ReadWholeFile(root / "readme.txt"),
              test::ReadWholeFile(f.localFile("ReadMe.TXT")));
    EXPECT_TRUE(fs::exists(root / "zero.dat"));
    EXPECT_EQ(fs::file_size(root / "zero.dat"), 0u);
    EXPECT_TRUE(f.logHas(u"PUT: ReadMe.TXT ..."_qs));
    EXPECT_EQ(f.logCount(u"AS: "_qs), 0);
    EXPECT_TRUE(f.logHas(u"ReadMe.TXT transferred (%1 bytes) "_qs.arg(kBig + 17)));
    EXPECT_TRUE(f.remoteTemporaryFiles().empty());
    // The refresh after an upload listed the remote folder again.
    EXPECT_FALSE(f.rows(f.state.remote, {u"readme.txt"_qs}).empty());
}

// A stop in the middle of a file: the existing local and remote files are untouched, the
// partial data is kept beside them, the Stop is told once and as no error, the destination is
// listed again, and Start Again resumes both ways to byte-exact files.
TEST_P(StoppedTransfers, StopEndsTheBatchAndLosesNothing) {
    test::WritePatternFile(f.server->root() / "huge.bin", kHuge, 5);
    std::ofstream(f.localFile("huge.bin")) << "old";
    std::ofstream(f.server->root() / "zz.txt") << "after";
    ASSERT_EQ(f.session->StartRemoteListing(), true);
    f.settle();
    // Stopped at the first sign of progress, so the file is surely cut in its middle.
    f.port.onProgress = [this](int position) {
        if (position > 0)
            f.transfers->Stop();
    };
    f.port.clear();
    ASSERT_TRUE(f.download({u"huge.bin"_qs, u"zz.txt"_qs}));
    EXPECT_EQ(test::ReadWholeFile(f.localFile("huge.bin")), "old");
    EXPECT_FALSE(fs::exists(f.localFile("zz.txt"))) << "no file is started after a stop";
    EXPECT_EQ(f.logCount(u"Transfer stopped"_qs), 1);
    EXPECT_EQ(f.logCount(u"Error"_qs), 0) << f.port.log().join(u'\n').toStdString();
    EXPECT_EQ(f.port.count(u"wave: failure.wav"_qs), 0);
    EXPECT_EQ(f.port.count(u"refresh: local"_qs), 1);
    EXPECT_EQ(f.logCount(u"1 file"_qs), 0);
    const fs::path partial = f.localFile(".huge.bin.tw-part");
    ASSERT_TRUE(fs::exists(partial));
    EXPECT_LT(fs::file_size(partial), kHuge);
    f.port.onProgress = nullptr;
    f.port.clear();
    f.queue->startAgain(f.stoppedRows());
    f.settle();
    EXPECT_EQ(test::ReadWholeFile(f.localFile("huge.bin")),
              test::ReadWholeFile(f.server->root() / "huge.bin"));
    EXPECT_EQ(test::ReadWholeFile(f.localFile("zz.txt")), "after");
    EXPECT_TRUE(f.noTemporaryFiles());
    EXPECT_TRUE(f.logHas(u"2 files transfered"_qs)) << f.port.log().join(u'\n').toStdString();
    std::string cwd;
    EXPECT_TRUE(f.session->engine()->getCurrentDirectory(cwd)) << f.session->engine()->lastError();

    f.port.clear();
    test::WritePatternFile(f.localFile("up.bin"), kHuge, 9);
    std::ofstream(f.server->root() / "up.bin") << "the original";
    // The upload is stopped once the server has stored some of it. The client's first writes
    // land in the socket buffers at once, so the hook waits (a moment, on the test's thread)
    // for the throttled server to have stored some bytes.
    const fs::path temporary = f.server->root() / ".up.bin.tw-up";
    f.port.onProgress = [this, temporary](int) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
        std::error_code ec;
        while (!(fs::file_size(temporary, ec) > 0 && !ec) &&
               std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        f.transfers->Stop();
    };
    ASSERT_TRUE(f.upload({u"up.bin"_qs}));
    EXPECT_EQ(f.logCount(u"Transfer stopped"_qs), 1);
    EXPECT_EQ(f.logCount(u"Error"_qs), 0) << f.port.log().join(u'\n').toStdString();
    EXPECT_EQ(f.logCount(u"A partial file was left on the server: "_qs), 0);
    EXPECT_EQ(f.port.count(u"wave: failure.wav"_qs), 0);
    EXPECT_EQ(test::ReadWholeFile(f.server->root() / "up.bin"), "the original");
    EXPECT_TRUE(fs::exists(temporary)) << "kept to be resumed";
    EXPECT_EQ(f.logCount(u"LIST "_qs), 1) << "the remote folder is listed again";
    EXPECT_TRUE(f.session->engine()->getCurrentDirectory(cwd))
        << f.session->engine()->lastError() << f.port.log().join(u'\n').toStdString();
    f.port.onProgress = nullptr;
    f.port.clear();
    f.queue->startAgain(f.stoppedRows());
    f.settle();
    EXPECT_EQ(test::ReadWholeFile(f.server->root() / "up.bin"),
              test::ReadWholeFile(f.localFile("up.bin")))
        << f.port.log().join(u'\n').toStdString();
    EXPECT_TRUE(f.remoteTemporaryFiles().empty());
    // The session serves the next file after the stops.
    f.port.clear();
    ASSERT_TRUE(f.download({u"a.txt"_qs}));
    EXPECT_TRUE(f.logHas(u"1 file transfered"_qs));
}

// A folder goes with everything in it; links are followed once: a link to a file is fetched
// as the file, a link to a folder as the folder, and a link back up is never entered again.
TEST_P(Transfers, FoldersAndLinksAreFollowedOnceWithoutLoops) {
    const fs::path root = f.server->root();
    fs::create_directories(root / "sub" / "deep");
    std::ofstream(root / "sub" / "in.txt") << "inside";
    std::ofstream(root / "sub" / "old.bak") << "excluded";
    test::WritePatternFile(root / "sub" / "deep" / "d.bin", kBig + 5, 7);
    fs::create_symlink("..", root / "sub" / "up"); // a loop
    fs::create_symlink("sub", root / "www");
    fs::create_symlink("a.txt", root / "note");
    ASSERT_TRUE(f.session->StartRemoteListing());
    f.settle();
    if (GetParam().kind == FtpTestServer::Kind::Vsftpd) { // LIST shows links as links
        ASSERT_EQ(f.rows(f.state.remote, {u"www"_qs, u"note"_qs}).size(), 2u);
        for (int row : f.rows(f.state.remote, {u"www"_qs, u"note"_qs}))
            EXPECT_TRUE(f.state.remote.entries[std::size_t(row)].isLink);
    }
    f.port.clear();
    f.state.remote.exclude = u".bak"_qs; // the account's exclude list holds inside folders too
    ASSERT_TRUE(f.download({u"www"_qs, u"note"_qs}));
    EXPECT_FALSE(fs::exists(f.localFile("www/old.bak")));
    EXPECT_EQ(f.logCount(u"Skipped: "_qs), 3) << f.port.log().join(u'\n').toStdString();
    EXPECT_EQ(test::ReadWholeFile(f.localFile("note")), "alpha");
    EXPECT_EQ(test::ReadWholeFile(f.localFile("www/in.txt")), "inside");
    EXPECT_EQ(test::ReadWholeFile(f.localFile("www/deep/d.bin")),
              test::ReadWholeFile(root / "sub" / "deep" / "d.bin"));
    // "up" leads to the server's root, not copied yet: it is copied once, and the folders in it
    // that are copied already are not entered again.
    EXPECT_EQ(test::ReadWholeFile(f.localFile("www/up/a.txt")), "alpha");
    EXPECT_FALSE(fs::exists(f.localFile("www/up/sub"))) << "the loop was entered";
    EXPECT_FALSE(fs::exists(f.localFile("www/up/www")));
    EXPECT_EQ(f.logCount(u"Error"_qs), 0) << f.port.log().join(u'\n').toStdString();
    EXPECT_TRUE(f.logHas(u"7 files transfered"_qs)) << f.port.log().join(u'\n').toStdString();

    // Up again, as a folder of its own: the same tree arrives on the server.
    fs::remove(root / "www");
    f.port.clear();
    ASSERT_TRUE(f.upload({u"www"_qs}));
    ASSERT_FALSE(fs::is_symlink(root / "www"));
    EXPECT_EQ(test::ReadWholeFile(root / "www" / "deep" / "d.bin"),
              test::ReadWholeFile(root / "sub" / "deep" / "d.bin"));
    EXPECT_EQ(f.logCount(u"Error"_qs), 0) << f.port.log().join(u'\n').toStdString();
}

INSTANTIATE_TEST_SUITE_P(Servers, Transfers,
                         testing::Values(Param{FtpTestServer::Kind::Pyftpdlib, true},
                                         Param{FtpTestServer::Kind::Pyftpdlib, false},
                                         Param{FtpTestServer::Kind::Vsftpd, true},
                                         Param{FtpTestServer::Kind::Vsftpd, false}),
                         paramName);
INSTANTIATE_TEST_SUITE_P(Servers, StoppedTransfers,
                         testing::Values(Param{FtpTestServer::Kind::Vsftpd, true},
                                         Param{FtpTestServer::Kind::Vsftpd, false}),
                         paramName);

class TransferQuestions : public testing::Test {
protected:
    void SetUp() override {
        std::string why;
        if (!f.setUp(FtpTestServer::Kind::Pyftpdlib, true, why))
            GTEST_SKIP() << why;
        const fs::path root = f.server->root();
        for (const char* name : {"same.txt", "older.txt", "newer1.txt", "newer2.txt"})
            std::ofstream(root / name) << "remote " << name;
        const auto remoteTime = fs::file_time_type::clock::now() - std::chrono::hours(24 * 30);
        for (const char* name : {"same.txt", "older.txt", "newer1.txt", "newer2.txt"}) {
            fs::last_write_time(root / name, remoteTime);
            std::ofstream(f.localFile(name)) << "local";
        }
        fs::last_write_time(f.localFile("same.txt"), remoteTime);
        fs::last_write_time(f.localFile("older.txt"), remoteTime - std::chrono::hours(48));
        ListLocalDirectory(f.state, f.messages, f.system);
        f.session->StartRemoteListing();
        f.settle();
    }
    TransferFixture f;
};

TEST_F(TransferQuestions, NewerDestinationIsAskedAndAnswered) {
    const QStringList all = {u"same.txt"_qs, u"older.txt"_qs, u"newer1.txt"_qs, u"newer2.txt"_qs};
    // No: the newer file is kept; equal and older destinations are replaced without a question.
    f.port.newer = {NewerAnswer::No, NewerAnswer::No};
    ASSERT_TRUE(f.download(all));
    EXPECT_EQ(f.port.count(u"askNewer: newer1.txt (multiple)"_qs), 1);
    EXPECT_EQ(f.port.count(u"askNewer: newer2.txt (multiple)"_qs), 1);
    EXPECT_EQ(f.port.count(u"askNewer: same.txt (multiple)"_qs), 0);
    EXPECT_EQ(test::ReadWholeFile(f.localFile("newer1.txt")), "local");
    EXPECT_EQ(test::ReadWholeFile(f.localFile("same.txt")), "remote same.txt");
    EXPECT_EQ(test::ReadWholeFile(f.localFile("older.txt")), "remote older.txt");

    // Cancel ends the batch: the next file is not copied.
    for (const char* name : {"newer1.txt", "newer2.txt"})
        std::ofstream(f.localFile(name)) << "local"; // newer again
    ListLocalDirectory(f.state, f.messages, f.system);
    f.port.clear();
    f.port.newer = {NewerAnswer::Cancel};
    ASSERT_TRUE(f.download({u"newer1.txt"_qs, u"newer2.txt"_qs}));
    EXPECT_EQ(f.port.count(u"askNewer: newer1.txt (multiple)"_qs), 1);
    EXPECT_EQ(f.logCount(u"GET: "_qs), 0);
    EXPECT_EQ(test::ReadWholeFile(f.localFile("newer2.txt")), "local");

    // Yes to All: one question for the whole batch. A single row asks without "multiple".
    f.port.clear();
    f.port.newer = {NewerAnswer::YesToAll};
    ASSERT_TRUE(f.download({u"newer1.txt"_qs, u"newer2.txt"_qs}));
    EXPECT_EQ(f.port.count(u"askNewer: newer1.txt (multiple)"_qs), 1);
    EXPECT_EQ(f.port.count(u"askNewer: newer2.txt (multiple)"_qs), 0);
    EXPECT_EQ(test::ReadWholeFile(f.localFile("newer2.txt")), "remote newer2.txt");
    std::ofstream(f.localFile("newer1.txt")) << "local";
    ListLocalDirectory(f.state, f.messages, f.system);
    f.port.clear();
    f.port.newer = {NewerAnswer::Yes};
    ASSERT_TRUE(f.download({u"newer1.txt"_qs}));
    EXPECT_EQ(f.port.count(u"askNewer: newer1.txt"_qs), 1);
    EXPECT_EQ(test::ReadWholeFile(f.localFile("newer1.txt")), "remote newer1.txt");
}

TEST_F(TransferQuestions, DestinationNamePromptSkipsOnCancelAndValidates) {
    f.state.options.Prompt = 1;
    f.state.options.Timestamp = 0;
    f.port.names = {std::nullopt, u"re:named"_qs, u""_qs, u"renamed.txt"_qs};
    ASSERT_TRUE(f.download({u"a.txt"_qs, u"same.txt"_qs}));
    EXPECT_EQ(f.port.count(u"endName: cancel"_qs), 1);
    EXPECT_EQ(f.logCount(u"GET: a.txt"_qs), 0) << "Cancel skips that file only";
    const auto boxes = f.port.boxes();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].caption, u" Destination File Name"_qs);
    EXPECT_TRUE(boxes[0].text.contains(u"File names can not contain: \\/?*|<>:\""_qs));
    EXPECT_TRUE(boxes[1].text.contains(u"Missing File Name."_qs));
    EXPECT_EQ(f.port.count(u"askName: re:named (retry)"_qs), 1);
    EXPECT_TRUE(f.logHas(u"AS: renamed.txt ..."_qs));
    EXPECT_TRUE(f.logHas(u"same.txt transferred (15 bytes) renamed.txt"_qs));
    EXPECT_EQ(test::ReadWholeFile(f.localFile("renamed.txt")), "remote same.txt");
}

// Names a server sends that would leave the local folder or name something else are never
// used: each row is reported and skipped.
TEST_F(TransferQuestions, UnsafeServerNamesAreRefused) {
    std::vector<FileEntry> rows;
    for (const char* name : {"../escape.txt", "a/b", "..", "."}) {
        FileEntry e;
        e.name = QString::fromUtf8(name);
        e.findData.rawName = name;
        e.icon = 3;
        rows.push_back(e);
    }
    f.state.remote.entries = rows;
    f.state.options.Timestamp = 0; // the local ".." row would be compared as well
    ASSERT_TRUE(f.transfers->StartDownload({0, 1, 2, 3}));
    f.settle();
    EXPECT_EQ(f.logCount(u"Error: \""_qs), 4);
    EXPECT_EQ(f.logCount(u"GET: "_qs), 0);
    EXPECT_EQ(f.port.count(u"wave: failure.wav"_qs), 4);
    EXPECT_FALSE(fs::exists(fs::path(f.local.path().toStdString()).parent_path() / "escape.txt"));
}

// A read-only local file is not replaced by a download (as CreateFile refuses it), unless the
// user answered the newer-destination question with Yes.
TEST_F(TransferQuestions, AReadOnlyLocalFileIsReplacedOnlyAfterYes) {
    fs::permissions(f.localFile("older.txt"), fs::perms::owner_read | fs::perms::group_read);
    fs::permissions(f.localFile("newer1.txt"), fs::perms::owner_read | fs::perms::group_read);
    f.port.newer = {NewerAnswer::Yes};
    ASSERT_TRUE(f.download({u"older.txt"_qs, u"newer1.txt"_qs}));
    EXPECT_EQ(f.port.count(u"askNewer: older.txt (multiple)"_qs), 0);
    EXPECT_EQ(test::ReadWholeFile(f.localFile("older.txt")), "local");
    EXPECT_EQ(f.logCount(u"Error: CreateFile (13) "_qs), 1)
        << f.port.log().join(u'\n').toStdString();
    EXPECT_EQ(f.port.count(u"wave: failure.wav"_qs), 1);
    EXPECT_EQ(test::ReadWholeFile(f.localFile("newer1.txt")), "remote newer1.txt");
    EXPECT_TRUE(f.logHas(u"1 file transfered"_qs));
    // The replacing file keeps the permissions of the one it replaced.
    EXPECT_EQ(fs::status(f.localFile("newer1.txt")).permissions() & fs::perms::owner_write,
              fs::perms::none);
}

// On a server that tells names apart by case, and on the local disk, a name that differs only
// in case is another file: no question, and both files exist afterwards.
TEST_F(TransferQuestions, ACaseOnlyMatchIsAnotherFileWhereNamesHaveCase) {
    const fs::path root = f.server->root();
    const auto old = fs::file_time_type::clock::now() - std::chrono::hours(24 * 60);
    std::ofstream(root / "report.txt") << "remote report";
    std::ofstream(f.localFile("REPORT.TXT")) << "local report";
    fs::last_write_time(f.localFile("REPORT.TXT"), old);
    std::ofstream(root / "README") << "remote readme";
    fs::last_write_time(root / "README", old);
    std::ofstream(f.localFile("readme")) << "local readme";
    f.session->StartRemoteListing();
    f.settle();
    ASSERT_TRUE(f.upload({u"REPORT.TXT"_qs}));
    ASSERT_TRUE(f.download({u"README"_qs}));
    EXPECT_EQ(f.port.count(u"askNewer: REPORT.TXT"_qs), 0);
    EXPECT_EQ(f.port.count(u"askNewer: README"_qs), 0);
    EXPECT_EQ(test::ReadWholeFile(root / "report.txt"), "remote report");
    EXPECT_EQ(test::ReadWholeFile(root / "REPORT.TXT"), "local report");
    EXPECT_EQ(test::ReadWholeFile(f.localFile("readme")), "local readme");
    EXPECT_EQ(test::ReadWholeFile(f.localFile("README")), "remote readme");
}

// The destination row a name meets: ignoring case only where the destination does, else byte
// for byte (a name that is not UTF-8 meets only its own bytes).
TEST(DestinationLookup, ComparesAsTheDestinationDoes) {
    std::vector<FileEntry> rows;
    for (const char* raw : {"report.txt", "Caf\xe9.txt", "Caf\xe8.txt"}) {
        FileEntry e;
        e.findData.rawName = raw;
        e.name = QString::fromUtf8(raw);
        rows.push_back(e);
    }
    struct Case {
        QString name;
        QByteArray bytes;
        bool ignoreCase;
        int want; // index into rows, -1 none
    };
    const Case cases[] = {
        {u"REPORT.TXT"_qs, "REPORT.TXT", false, -1},
        {u"REPORT.TXT"_qs, "REPORT.TXT", true, 0},
        {u"report.txt"_qs, "report.txt", false, 0},
        {QString::fromUtf8("Caf\xe8.txt"), "Caf\xe8.txt", false, 2},
        {QString::fromUtf8("Caf\xe8.txt"), "caf\xe8.txt", false, -1},
    };
    for (const Case& c : cases) {
        const FileEntry* found = FindDestinationRow(rows, c.name, c.bytes, c.ignoreCase);
        EXPECT_EQ(found ? int(found - rows.data()) : -1, c.want)
            << c.bytes.toStdString() << " " << c.ignoreCase;
    }
}

// Whether a download may replace a local file, asked as the test's user and, where the test
// runs as root, as an ordinary user (nobody) in a child process: a file the user cannot write
// is refused, and so is the user's own file without its owner's write bit, even for root.
TEST(ReadOnlyDestination, RefusesWhatTheUserCannotOrWillNotWrite) {
    test::TempDir dir;
    fs::permissions(dir.path(), fs::perms(0755));
    constexpr uid_t kNobody = 65534;
    struct Case {
        const char* name;
        unsigned mode; // 0: no such file
        bool ownedByNobody;
        int asTestUser; // the answer for the test's user (root, for nobody's files)
        int asNobody;
    };
    const Case cases[] = {
        {"own-rw", 0644, false, 0, EACCES}, {"own-ro", 0444, false, EACCES, EACCES},
        {"nobodys-rw", 0644, true, 0, 0},   {"nobodys-ro", 0444, true, 0, EACCES},
        {"missing", 0, false, 0, 0},
    };
    const bool root = ::geteuid() == 0;
    const auto pathOf = [&](const Case& c) {
        return QByteArray::fromStdString((dir.path() / c.name).string());
    };
    for (const Case& c : cases) {
        if (c.mode == 0 || (c.ownedByNobody && !root))
            continue;
        const fs::path path = dir.path() / c.name;
        std::ofstream(path) << "x";
        fs::permissions(path, fs::perms(c.mode));
        if (c.ownedByNobody) {
            ASSERT_EQ(::chown(path.c_str(), kNobody, kNobody), 0);
        }
    }
    for (const Case& c : cases) {
        if (!c.ownedByNobody || root) {
            EXPECT_EQ(ReadOnlyDestination(pathOf(c)), c.asTestUser) << c.name;
        }
    }
    if (!root)
        return;
    // As nobody, in a child, so that the test itself keeps its privileges.
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (::setgid(kNobody) != 0 || ::setuid(kNobody) != 0)
            ::_exit(100);
        int failures = 0;
        for (std::size_t i = 0; i < std::size(cases); ++i)
            if (ReadOnlyDestination(pathOf(cases[i])) != cases[i].asNobody)
                failures |= 1 << i;
        ::_exit(failures);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "bit n set: case n answered otherwise as nobody";
}

// With Keep File Dates a downloaded file takes the server's date and an uploaded one the local
// file's, where the server can set it (MFMT); without it the copy is dated when it was made.
TEST(KeepFileDates, CopiesTakeTheSourcesDateWhereTheOptionAndTheServerAllow) {
    struct Case {
        FtpTestServer::Kind kind;
        bool upload;
        bool keep;
        bool kept;
    };
    using K = FtpTestServer::Kind;
    const Case cases[] = {
        {K::Vsftpd, false, true, true},     {K::Vsftpd, false, false, false},
        {K::Pyftpdlib, false, true, true},  {K::Pyftpdlib, true, true, true},
        {K::Pyftpdlib, true, false, false}, {K::Vsftpd, true, true, false}, // no MFMT
    };
    constexpr std::time_t kThen = 981173106; // 3 Feb 2001, 04:05:06 UTC
    const auto mtime = [](const fs::path& path) {
        struct stat st {};
        return ::stat(path.c_str(), &st) == 0 ? st.st_mtime : std::time_t(-1);
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message()
                     << (c.kind == K::Vsftpd ? "vsftpd" : "pyftpdlib")
                     << (c.upload ? " upload" : " download") << (c.keep ? " keep" : ""));
        TransferFixture f;
        std::string why;
        if (!f.setUp(c.kind, true, why, true)) {
            ADD_FAILURE() << why;
            continue;
        }
        f.state.options.KeepFileDates = c.keep ? 1 : 0;
        f.state.options.Timestamp = 0;
        const fs::path source =
            c.upload ? f.localFile("dated.txt") : f.server->root() / "dated.txt";
        const fs::path copy = c.upload ? f.server->root() / "dated.txt" : f.localFile("dated.txt");
        std::ofstream(source) << "dated";
        const timespec times[2] = {{kThen, 0}, {kThen, 0}};
        ASSERT_EQ(::utimensat(AT_FDCWD, source.c_str(), times, 0), 0);
        if (c.upload) {
            ASSERT_TRUE(f.upload({u"dated.txt"_qs}));
        } else {
            f.session->StartRemoteListing();
            f.settle();
            ASSERT_TRUE(f.download({u"dated.txt"_qs}));
        }
        ASSERT_EQ(test::ReadWholeFile(copy), "dated") << f.port.log().join(u'\n').toStdString();
        if (c.kept)
            EXPECT_EQ(mtime(copy), kThen);
        else
            EXPECT_LT(std::time(nullptr) - mtime(copy), 3600);
    }
}

} // namespace
