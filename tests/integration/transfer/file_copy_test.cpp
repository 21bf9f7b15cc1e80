#include "core/text/messages.h"
#include "core/transfer/file_copy.h"
#include "ftp/ftp_session.h"
#include "integration/ftp/ftp_test_servers.h"
#include "integration/ftp/scripted_session.h"
#include "support/recording_transfer_port.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

using namespace tw;
namespace fs = std::filesystem;
using test::contains;
using test::ScriptedServer;

namespace {

// One file copied against a scripted server that misbehaves.
struct CopyFixture {
    test::RecordingTransferPort port;
    AppState state;
    AppGlobals globals;
    Messages messages{port, state, globals};
    std::atomic<bool> stop{false};
    test::TempDir dir;
    ftp::FtpSession session;

    bool connect(const ScriptedServer& server) {
        state.options.AlertLevel = 0;
        ftp::SessionOptions o;
        o.host = "127.0.0.1";
        o.port = server.port();
        o.timeoutMs = 2000;
        return session.connect(o);
    }
    CopyEnvironment env() { return {messages, port, session, state.options, stop}; }
    CopyRequest request(const std::string& name) const {
        CopyRequest r;
        r.localFolder = QByteArray::fromStdString(dir.path().string());
        r.localName = QByteArray::fromStdString(name);
        r.remotePath = "/" + r.localName;
        r.label = QString::fromStdString(name);
        r.expectedSize = 1000;
        return r;
    }
    std::vector<std::string> localNames() const {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(dir.path()))
            names.push_back(e.path().filename().string());
        return names;
    }
    bool logStarts(const QString& prefix) const {
        const QStringList lines = port.log();
        return std::any_of(lines.begin(), lines.end(),
                           [&](const QString& l) { return l.startsWith(prefix); });
    }
};

// A download that fails after some data arrived never replaces the existing local file, and
// leaves no temporary file behind.
TEST(FileCopy, FailedDownloadsLeaveTheLocalFileAsItWas) {
    struct Case {
        const char* what;
        ScriptedServer::Script script;
    };
    const Case cases[] = {
        {"426 after part of the data",
         [](ScriptedServer& s) {
             s.login();
             s.passive();
             s.command(); // RETR
             s.reply("150 Opening BINARY mode data connection.");
             s.sendData(std::string(300, 'y'));
             s.closeData();
             s.reply("426 Connection closed; transfer aborted.");
             s.drain();
         }},
        {"short transfer with 226",
         [](ScriptedServer& s) {
             s.login({"SIZE"});
             s.command(); // SIZE
             s.reply("213 1000");
             s.passive();
             s.command(); // RETR
             s.reply("150 Opening BINARY mode data connection (1000 bytes).");
             s.sendData(std::string(500, 'x'));
             s.closeData();
             s.reply("226 Transfer complete.");
             s.drain();
         }},
        {"control connection dropped mid-file",
         [](ScriptedServer& s) {
             s.login();
             s.passive();
             s.command(); // RETR
             s.reply("150 Opening BINARY mode data connection.");
             s.sendData(std::string(200, 'z'));
             s.reply("421 Service not available, closing control connection.");
             s.closeControl();
             s.closeData();
         }},
        {"RETR refused",
         [](ScriptedServer& s) {
             s.login();
             s.passive();
             s.command(); // RETR
             s.reply("550 Permission denied.");
             s.drain();
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ScriptedServer server(c.script);
        CopyFixture f;
        ASSERT_TRUE(f.connect(server));
        std::ofstream(f.dir.path() / "keep.bin") << "old";
        const CopyOutcome result = DownloadFile(f.env(), f.request("keep.bin"));
        EXPECT_FALSE(result.copied);
        EXPECT_EQ(test::ReadWholeFile(f.dir.path() / "keep.bin"), "old");
        EXPECT_EQ(f.localNames(), std::vector<std::string>{"keep.bin"});
        EXPECT_TRUE(f.logStarts(u"Error: InternetReadFile ("_qs) ||
                    f.logStarts(u"Error: FtpOpenFile ("_qs));
        EXPECT_EQ(f.port.count(u"progress: open keep.bin 0..3"_qs), 1); // 1000 / 512 + 2
        const QStringList events = f.port.events();
        EXPECT_EQ(events.filter(u"progress: close at"_qs).size(), 1);
        f.session.close(false);
    }
}

// A final 4xx after the data of an upload is a failure, and what the server kept is removed
// (or, when it cannot be, the log says that a partial file was left).
TEST(FileCopy, UploadRefusedAfterItsDataIsAFailure) {
    ScriptedServer server([](ScriptedServer& s) {
        s.login();
        s.passive();
        s.command(); // STOR
        s.reply("150 Ok to send data.");
        s.sleepMs(200);
        s.closeData();
        s.reply("452 Insufficient storage space in system.");
        s.command(); // DELE
        s.reply("550 No such file.");
        s.drain();
    });
    CopyFixture f;
    ASSERT_TRUE(f.connect(server));
    std::ofstream(f.dir.path() / "up.bin") << std::string(700, 'u');
    const CopyOutcome result = UploadFile(f.env(), f.request("up.bin"));
    EXPECT_FALSE(result.copied);
    EXPECT_TRUE(f.logStarts(u"Error: InternetWriteFile (12003)"_qs));
    EXPECT_TRUE(f.port.log().contains(u"452 Insufficient storage space in system."_qs));
    EXPECT_TRUE(f.port.log().contains(
        u"A partial file was left on the server: /up.bin 550 No such file."_qs));
    f.session.close(false);
    const auto commands = server.finish();
    EXPECT_TRUE(contains(commands, "DELE /up.bin"));
}

TEST(FileCopy, ProgressScaleFitsTheBar) {
    struct Case {
        std::uint64_t maximum, step;
        int wantMaximum, wantPosition;
    };
    const std::uint64_t fiveGiB = 5ull << 30;
    const Case cases[] = {
        {2, 1, 2, 1},
        {2, 9, 2, 2}, // beyond the maximum: full
        {fiveGiB / 128 + 2, 0, int((fiveGiB / 128 + 2) / 1), 0},
        {fiveGiB + 2, fiveGiB + 2, int((fiveGiB + 2) / 3), int((fiveGiB + 2) / 3)},
        {fiveGiB + 2, (fiveGiB + 2) / 2, int((fiveGiB + 2) / 3), int((fiveGiB + 2) / 2 / 3)},
    };
    for (const Case& c : cases) {
        const ProgressScale scale(c.maximum);
        EXPECT_EQ(scale.maximum(), c.wantMaximum) << c.maximum;
        EXPECT_EQ(scale.position(c.step), c.wantPosition) << c.maximum << " " << c.step;
    }
    EXPECT_EQ(BlockSizeFor(0), 128u);
    EXPECT_EQ(BlockSizeFor(5), 4096u);
    EXPECT_EQ(BlockSizeFor(9), 512u);
}

} // namespace
