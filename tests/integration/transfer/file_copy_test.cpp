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
#include <thread>

#include <sys/stat.h>

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
        state.options.KeepFileDates = 0; // no date commands in the scripts unless asked for
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

// Whether `want` appear in `commands` in this order (others may come between them).
bool inOrder(const std::vector<std::string>& commands, const std::vector<std::string>& want) {
    auto at = commands.begin();
    for (const std::string& w : want) {
        at = std::find_if(at, commands.end(), [&](const std::string& c) { return c == w; });
        if (at == commands.end())
            return false;
        ++at;
    }
    return true;
}

// The data of an upload: the server takes 700 bytes and answers `final`.
void storeData(ScriptedServer& s, const char* final) {
    s.passive();
    s.command(); // STOR
    s.reply("150 Ok to send data.");
    s.sleepMs(200);
    s.closeData();
    s.reply(final);
}

// An upload is stored under a hidden temporary name and renamed over its destination only
// after the server's final reply was a success; whatever fails, the original file is never
// what gets removed.
TEST(FileCopy, UploadsTakeTheirNameOnlyWhenStoredWhole) {
    struct Case {
        const char* what;
        ScriptedServer::Script script;
        bool copied;
        std::vector<std::string> commands; // in this order
        std::vector<std::string> never;    // commands that must not be sent
        QStringList lines;                 // log lines
    };
    const Case cases[] = {
        {"renamed over the original",
         [](ScriptedServer& s) {
             s.login();
             storeData(s, "226 Transfer complete.");
             s.answer({"350 Ready for RNTO.", "250 Rename successful."});
             s.drain();
         },
         true,
         {"STOR /.up.bin.tw-up", "RNFR /.up.bin.tw-up", "RNTO /up.bin"},
         {"DELE", "STOR /up.bin"},
         {}},
        {"RNTO onto an existing name refused: the original goes just before the rename",
         [](ScriptedServer& s) {
             s.setSystem("215 Windows_NT");
             s.login();
             storeData(s, "226 Transfer complete.");
             s.answer({"350 Ready for RNTO.", "553 Cannot rename onto an existing file.",
                       "250 DELE command successful.", "350 Ready for RNTO.",
                       "250 Rename successful."});
             s.drain();
         },
         true,
         {"STOR /.up.bin.tw-up", "RNFR /.up.bin.tw-up", "RNTO /up.bin", "DELE /up.bin",
          "RNFR /.up.bin.tw-up", "RNTO /up.bin"},
         {"DELE /.up.bin.tw-up"},
         {u"The server does not rename onto an existing file: /up.bin was deleted first"_qs}},
        {"temporary name refused: stored under its own name",
         [](ScriptedServer& s) {
             s.login();
             s.passive();
             s.command(); // STOR of the temporary name
             s.reply("553 Could not create file.");
             storeData(s, "226 Transfer complete.");
             s.drain();
         },
         true,
         {"STOR /.up.bin.tw-up", "STOR /up.bin"},
         {"RNFR", "DELE"},
         {}},
        {"final 452: the temporary file is removed",
         [](ScriptedServer& s) {
             s.login();
             storeData(s, "452 Insufficient storage space in system.");
             s.command();
             s.reply("250 Deleted.");
             s.drain();
         },
         false,
         {"STOR /.up.bin.tw-up", "DELE /.up.bin.tw-up"},
         {"RNFR", "DELE /up.bin"},
         {u"452 Insufficient storage space in system."_qs}},
        {"final 452 and the temporary file cannot be removed",
         [](ScriptedServer& s) {
             s.login();
             storeData(s, "452 Insufficient storage space in system.");
             s.command();
             s.reply("550 Permission denied.");
             s.drain();
         },
         false,
         {"STOR /.up.bin.tw-up", "DELE /.up.bin.tw-up"},
         {"RNFR", "DELE /up.bin"},
         {u"A partial file was left on the server: /.up.bin.tw-up 550 Permission denied."_qs}},
        {"rename refused and no original to delete: the original stays, the upload goes",
         [](ScriptedServer& s) {
             s.login();
             storeData(s, "226 Transfer complete.");
             s.answer({"350 Ready for RNTO.", "553 Name not allowed.", "550 No such file.",
                       "250 Deleted."});
             s.drain();
         },
         false,
         {"RNTO /up.bin", "DELE /up.bin", "DELE /.up.bin.tw-up"},
         {},
         {u"553 Name not allowed."_qs}},
        {"second rename refused after the original went: the upload is kept",
         [](ScriptedServer& s) {
             s.login();
             storeData(s, "226 Transfer complete.");
             s.answer({"350 Ready for RNTO.", "553 Cannot rename onto an existing file.",
                       "250 DELE command successful.", "350 Ready for RNTO.", "553 Still no."});
             s.drain();
         },
         false,
         {"DELE /up.bin", "RNFR /.up.bin.tw-up", "RNTO /up.bin"},
         {"DELE /.up.bin.tw-up"},
         {u"553 Still no."_qs, u"The uploaded file was kept on the server as /.up.bin.tw-up"_qs}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ScriptedServer server(c.script);
        CopyFixture f;
        ASSERT_TRUE(f.connect(server));
        std::ofstream(f.dir.path() / "up.bin") << std::string(700, 'u');
        const CopyOutcome result = UploadFile(f.env(), f.request("up.bin"));
        EXPECT_EQ(result.copied, c.copied);
        EXPECT_FALSE(result.stopped);
        for (const QString& line : c.lines)
            EXPECT_TRUE(f.port.log().contains(line)) << line.toStdString() << "\n"
                                                     << f.port.log().join(u'\n').toStdString();
        EXPECT_EQ(f.logStarts(u"Error: "_qs), !c.copied);
        f.session.close(false);
        const auto commands = server.finish();
        EXPECT_TRUE(inOrder(commands, c.commands));
        for (const std::string& n : c.never)
            EXPECT_FALSE(contains(commands, n)) << n;
    }
}

// A Stop while the server has not yet answered RETR or STOR is no error; an upload's temporary
// file, which the server may have made, is removed, and an existing local file stays.
TEST(FileCopy, AStopBeforeTheServersAnswerIsNoError) {
    for (const bool upload : {false, true}) {
        SCOPED_TRACE(upload ? "upload" : "download");
        ScriptedServer server([](ScriptedServer& s) {
            s.login();
            s.passive();
            s.command(); // RETR / STOR, answered only after the client stopped
            s.sleepMs(600);
            s.reply("150 Ok to send data.");
            s.command(); // ABOR
            s.reply("426 Transfer aborted.");
            s.reply("226 Abort successful.");
            for (std::string c = s.command(); !c.empty() && c != "QUIT"; c = s.command())
                s.reply(c.rfind("DELE", 0) == 0 ? "250 Deleted." : "200 Ok.");
        });
        CopyFixture f;
        ASSERT_TRUE(f.connect(server));
        std::ofstream(f.dir.path() / "up.bin") << "old";
        std::thread stopper([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            f.stop = true;
            f.session.abort();
        });
        const CopyOutcome result = upload ? UploadFile(f.env(), f.request("up.bin"))
                                          : DownloadFile(f.env(), f.request("up.bin"));
        stopper.join();
        EXPECT_FALSE(result.copied);
        EXPECT_TRUE(result.stopped);
        EXPECT_TRUE(result.endsBatch);
        EXPECT_FALSE(f.logStarts(u"Error: "_qs)) << f.port.log().join(u'\n').toStdString();
        EXPECT_EQ(test::ReadWholeFile(f.dir.path() / "up.bin"), "old");
        EXPECT_EQ(f.localNames(), std::vector<std::string>{"up.bin"});
        f.session.close(false);
        const auto commands = server.finish();
        std::string sent;
        for (const std::string& c : commands)
            sent += c + "\n";
        EXPECT_EQ(contains(commands, "DELE /.up.bin.tw-up"), upload) << sent;
        EXPECT_FALSE(contains(commands, "DELE /up.bin")) << sent;
    }
}

// A file that grew after the server told its size is fetched whole: the core counts what
// arrived, not what the row or SIZE said.
TEST(FileCopy, AFileThatGrewWhileSentIsCopiedWhole) {
    ScriptedServer server([](ScriptedServer& s) {
        s.login({"SIZE"});
        s.command(); // SIZE
        s.reply("213 500");
        s.passive();
        s.command(); // RETR
        s.reply("150 Opening BINARY mode data connection (500 bytes).");
        s.sendData(std::string(1200, 'g'));
        s.closeData();
        s.reply("226 Transfer complete.");
        s.drain();
    });
    CopyFixture f;
    ASSERT_TRUE(f.connect(server));
    CopyRequest request = f.request("grown.log");
    request.expectedSize = 500;
    ASSERT_TRUE(DownloadFile(f.env(), request).copied) << f.port.log().join(u'\n').toStdString();
    EXPECT_EQ(test::ReadWholeFile(f.dir.path() / "grown.log"), std::string(1200, 'g'));
    f.session.close(false);
}

// Without MDTM the downloaded file takes the date its listing row showed.
TEST(FileCopy, ADownloadTakesTheListedDateWhereTheServerTellsNone) {
    ScriptedServer server([](ScriptedServer& s) {
        s.login();
        s.passive();
        s.command(); // RETR
        s.reply("150 Opening BINARY mode data connection.");
        s.sendData("abc");
        s.closeData();
        s.reply("226 Transfer complete.");
        s.command(); // MDTM, where it is sent
        s.reply("502 Command not implemented.");
        s.drain();
    });
    CopyFixture f;
    ASSERT_TRUE(f.connect(server));
    f.state.options.KeepFileDates = 1;
    CopyRequest request = f.request("dated.txt");
    request.listedTime = 1234567890;
    ASSERT_TRUE(DownloadFile(f.env(), request).copied) << f.port.log().join(u'\n').toStdString();
    struct stat st {};
    ASSERT_EQ(::stat((f.dir.path() / "dated.txt").c_str(), &st), 0);
    EXPECT_EQ(st.st_mtime, 1234567890);
    f.session.close(false);
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
