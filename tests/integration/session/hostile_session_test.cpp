#include "core/session/remote_file_ops.h"
#include "core/session/session_controller.h"
#include "core/text/messages.h"
#include "ftp/ftp_session.h"
#include "integration/ftp/scripted_server.h"
#include "support/loopback_account.h"
#include "support/recording_port.h"
#include "unit/core_panes/pane_test_support.h"

#include <QDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <thread>

using namespace tw;
using test::ScriptedServer;

namespace {

// How the scripted server answers a listing command; false ends the script (the server has
// gone).
using ListingPlay = std::function<bool(ScriptedServer&, const std::string& command)>;

struct ServerPlay {
    std::string greeting = "220 Scripted server ready.";
    std::string passReply = "230 Logged in.";
    std::vector<std::string> features; // FEAT lines; none: FEAT is refused
    ListingPlay listing;
    std::vector<std::string> folders = {"/"}; // CWD succeeds for these
    std::vector<std::string> existing;        // MLST finds these paths
    std::string system = "215 UNIX Type: L8";
};

bool SendListing(ScriptedServer& s, const std::string& lines) {
    s.reply("150 Here comes the listing.");
    s.sendData(lines);
    s.closeData();
    s.reply("226 Directory send OK.");
    return true;
}

// Answers a client command by command, whatever order it asks in.
void Serve(ScriptedServer& s, const ServerPlay& play) {
    s.reply(play.greeting);
    if (play.greeting[0] != '2') {
        s.closeControl();
        return;
    }
    std::string cwd = "/";
    for (;;) {
        const std::string line = s.command();
        if (line.empty())
            return;
        std::string verb = line.substr(0, line.find(' '));
        std::transform(verb.begin(), verb.end(), verb.begin(),
                       [](unsigned char c) { return char(std::toupper(c)); });
        const std::string argument = line.size() > verb.size() ? line.substr(verb.size() + 1) : "";
        if (verb == "USER") {
            s.reply("331 Password please.");
        } else if (verb == "PASS") {
            s.reply(play.passReply);
            if (play.passReply[0] != '2')
                return s.drain();
        } else if (verb == "FEAT") {
            if (play.features.empty()) {
                s.reply("502 FEAT not implemented.");
                continue;
            }
            s.reply("211-Features:");
            for (const std::string& f : play.features)
                s.reply(" " + f);
            s.reply("211 End");
        } else if (verb == "SYST") {
            s.reply(play.system);
        } else if (verb == "PWD") {
            s.reply("257 \"" + cwd + "\" is the current directory");
        } else if (verb == "CWD") {
            const std::string path =
                argument.empty() || argument[0] == '/' ? argument : "/" + argument;
            if (std::find(play.folders.begin(), play.folders.end(), path) == play.folders.end()) {
                s.reply("550 Failed to change directory.");
            } else {
                cwd = path;
                s.reply("250 Directory successfully changed.");
            }
        } else if (verb == "EPSV") {
            const int port = s.listenData();
            s.reply("229 Entering Extended Passive Mode (|||" + std::to_string(port) + "|)");
            s.acceptData();
        } else if (verb == "LIST" || verb == "MLSD" || verb == "NLST") {
            if (!play.listing(s, line))
                return;
        } else if (verb == "MLST") {
            if (std::find(play.existing.begin(), play.existing.end(), argument) ==
                play.existing.end()) {
                s.reply("550 No such file.");
            } else {
                s.reply("250-Listing " + argument);
                s.reply(" type=file;size=1; " + argument);
                s.reply("250 End");
            }
        } else if (verb == "RNFR") {
            s.reply("350 Ready for RNTO.");
        } else if (verb == "RNTO") {
            s.reply("250 Rename successful.");
        } else if (verb == "QUIT") {
            s.reply("221 Goodbye.");
            return;
        } else if (verb == "TYPE" || verb == "NOOP" || verb == "OPTS") {
            s.reply("200 OK.");
        } else {
            s.reply("502 Command not implemented.");
        }
    }
}

class HostileSessionTest : public ::testing::Test {
protected:
    void startServer(ServerPlay play) {
        server = std::make_unique<ScriptedServer>(
            [play = std::move(play)](ScriptedServer& s) { Serve(s, play); });
        state.Accounts = {
            test::LoopbackAccount(u"Scripted"_qs, server->port(), QDir::currentPath())};
        state.CurrentAccount = 0;
        state.ColumnLabels = {u"File Name"_qs, u"Date"_qs, u"Size"_qs};
        state.options.AlertLevel = 1;
        globals.soundsWithDialogs = false;
        SessionController::Hooks hooks;
        hooks.showAccountsSheet = [] { return true; };
        controller = std::make_unique<SessionController>(state, runtime, messages, port, hooks);
        controller->setTimeoutMs(timeoutMs);
    }

    bool connect() {
        if (!controller->Connect())
            return false;
        controller->waitForWorker();
        return runtime.connected;
    }

    bool logHas(const QString& text) const { return port.logContains(text); }

    QStringList remoteNames() const {
        QStringList names;
        for (const FileEntry& e : state.remote.entries)
            names << e.name;
        return names;
    }

    // Waits (bounded) until the log shows `text`.
    bool waitForLog(const QString& text) const {
        for (int i = 0; i < 500 && !logHas(text); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        return logHas(text);
    }

    int timeoutMs = 5000;
    std::unique_ptr<ScriptedServer> server;
    test::RecordingPanePort port;
    AppState state;
    AppGlobals globals;
    AppRuntime runtime;
    Messages messages{port, state, globals};
    std::unique_ptr<SessionController> controller;
};

} // namespace

// A listing the server refuses or cannot deliver is an error with the server's words, never
// a count that reads as an empty folder; a session the server ended is shown as lost.
TEST_F(HostileSessionTest, FailedListingsAreReportedAndALostSessionPointsToReConnect) {
    struct Case {
        const char* name;
        ListingPlay listing;
        QString serverWords; // logged after the error line
        bool lost;
    };
    const Case cases[] = {
        {"550",
         [](ScriptedServer& s, const std::string&) {
             s.closeData();
             s.reply("550 Permission denied.");
             return true;
         },
         u"550 Permission denied."_qs, false},
        {"425",
         [](ScriptedServer& s, const std::string&) {
             s.closeData();
             s.reply("425 Can't open data connection.");
             return true;
         },
         u"425 Can't open data connection."_qs, false},
        {"421",
         [](ScriptedServer& s, const std::string&) {
             s.reply("421 Timeout.");
             s.closeControl();
             return false;
         },
         u"421 Timeout."_qs, true},
        {"closed",
         [](ScriptedServer& s, const std::string&) {
             s.closeControl();
             return false;
         },
         QString(), true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        port.clear();
        runtime.connected = false;
        runtime.sessionLost = false;
        ServerPlay play;
        play.listing = c.listing;
        startServer(play);
        ASSERT_TRUE(connect());
        EXPECT_TRUE(logHas(u"LIST /*.* ..."_qs));
        EXPECT_TRUE(logHas(u"Error: FtpFindFirstFile ("_qs))
            << port.log().join(u'\n').toStdString();
        if (!c.serverWords.isEmpty()) {
            EXPECT_TRUE(logHas(c.serverWords));
        }
        EXPECT_FALSE(logHas(u"listed"_qs));
        // A failed listing leaves the parent row; a lost session no rows that look current.
        EXPECT_EQ(remoteNames(), c.lost ? QStringList() : QStringList{u".."_qs});
        EXPECT_EQ(state.remote.label, c.lost ? u"Remote: / (connection lost)"_qs : u"Remote: /"_qs);
        // The connection's and the FTP Errors alerts; no end-of-listing beep.
        EXPECT_EQ(port.count(u"beep"_qs), 2);
        EXPECT_FALSE(runtime.busy);
        EXPECT_EQ(bool(runtime.sessionLost), c.lost);
        EXPECT_EQ(logHas(u"choose Re-Connect"_qs), c.lost);
        EXPECT_EQ(port.events().contains(u"title: Tarnwick 2000 - 127.0.0.1 (connection lost)"_qs),
                  c.lost);
        if (c.lost) {
            // Disconnect after the server has gone is a clean close.
            port.clear();
            EXPECT_TRUE(controller->Disconnect(false));
            EXPECT_EQ(port.log(), QStringList({u"Disconnecting ..."_qs, u"Connection closed"_qs}));
            EXPECT_FALSE(runtime.sessionLost);
            EXPECT_EQ(state.remote.label, u"Remote: not connected"_qs);
        }
        controller.reset();
        server->finish();
    }
}

// The server's reason for refusing a login is logged with the error.
TEST_F(HostileSessionTest, RefusedLoginsLogTheServersReason) {
    const struct {
        std::string greeting, passReply, logged;
    } cases[] = {
        {"421 Too many connections (8) from this IP", "230 Logged in.",
         "421 Too many connections (8) from this IP"},
        {"220 Ready.", "530 Non-anonymous sessions must use encryption.",
         "530 Non-anonymous sessions must use encryption."},
        {"220 Ready.", "550 TLS required", "550 TLS required"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.logged);
        port.clear();
        ServerPlay play;
        play.greeting = c.greeting;
        play.passReply = c.passReply;
        startServer(play);
        EXPECT_FALSE(connect());
        EXPECT_TRUE(logHas(u"Error: InternetConnect ("_qs));
        EXPECT_TRUE(logHas(QString::fromStdString(c.logged)))
            << port.log().join(u'\n').toStdString();
        EXPECT_FALSE(runtime.busy);
        EXPECT_FALSE(runtime.connectMode);
        controller.reset();
        server->finish();
    }
}

// Stop ends a connect to a server that never answers, and a listing whose data never comes.
TEST_F(HostileSessionTest, StopEndsAHangingConnectAndAHangingListing) {
    timeoutMs = 60000; // only Stop can end these waits in time
    server = std::make_unique<ScriptedServer>([](ScriptedServer& s) { s.sleepMs(30000); });
    AccountRecord account;
    account.URL = u"127.0.0.1"_qs;
    account.Anonymous = true;
    account.RemotePort = std::uint32_t(server->port());
    state.Accounts = {account};
    state.CurrentAccount = 0;
    SessionController::Hooks hooks;
    hooks.showAccountsSheet = [] { return true; };
    controller = std::make_unique<SessionController>(state, runtime, messages, port, hooks);
    controller->setTimeoutMs(timeoutMs);
    ASSERT_TRUE(controller->Connect());
    EXPECT_TRUE(runtime.busy);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    controller->abortEngine();
    controller->waitForWorker();
    EXPECT_EQ(port.log(), QStringList({u"Connecting ..."_qs, u"Connect stopped"_qs}));
    EXPECT_EQ(state.remote.label, u"Remote: not connected"_qs);
    EXPECT_FALSE(runtime.connected);
    EXPECT_FALSE(runtime.busy);
    EXPECT_FALSE(runtime.connectMode);
    controller.reset();
    server.reset();

    port.clear();
    ServerPlay hanging;
    hanging.listing = [](ScriptedServer& s, const std::string&) {
        s.reply("150 Here comes the listing.");
        // Nothing is sent until the client gives up.
        for (std::string line = s.command(); !line.empty(); line = s.command()) {
            if (line.find("ABOR") != std::string::npos) {
                s.closeData();
                s.reply("426 Transfer aborted.");
                s.reply("226 ABOR successful.");
                return true;
            }
        }
        return false;
    };
    startServer(hanging);
    ASSERT_TRUE(controller->Connect());
    ASSERT_TRUE(waitForLog(u"LIST /*.* ..."_qs));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    controller->abortEngine();
    controller->waitForWorker();
    EXPECT_TRUE(logHas(u"Listing stopped"_qs)) << port.log().join(u'\n').toStdString();
    EXPECT_FALSE(logHas(u"listed"_qs));
    EXPECT_EQ(remoteNames(), QStringList{u".."_qs}); // nothing that reads as the folder's rows
    EXPECT_FALSE(runtime.busy);
    EXPECT_TRUE(runtime.connected);
}

// Links are shown as links; entering one is the server's CWD to decide: a link to a folder is
// listed, a link to a file is reported with the server's reply and the pane stays as it is.
TEST_F(HostileSessionTest, LinksAreEnteredWhenTheyLeadToAFolder) {
    const std::string listLines = "lrwxrwxrwx 1 u g 11 Jan 01 12:00 www -> public_html\r\n"
                                  "lrwxrwxrwx 1 u g  5 Jan 01 12:00 note -> a.txt\r\n"
                                  "drwxr-xr-x 2 u g 4096 Jan 01 12:00 public_html\r\n"
                                  "-rw-r--r-- 1 u g 5 Jan 01 12:00 a.txt\r\n";
    const std::string mlsdLines = "type=OS.unix=slink:/public_html;modify=20260101120000; www\r\n"
                                  "type=OS.unix=symlink;modify=20260101120000; note\r\n"
                                  "type=dir;modify=20260101120000; public_html\r\n"
                                  "type=file;size=5;modify=20260101120000; a.txt\r\n";
    for (const bool mlsd : {false, true}) {
        SCOPED_TRACE(mlsd ? "MLSD" : "LIST");
        port.clear();
        ServerPlay play;
        if (mlsd)
            play.features = {"MLST type*;size*;modify*;"};
        play.folders = {"/", "/www"};
        play.listing = [=](ScriptedServer& s, const std::string&) {
            return SendListing(s, mlsd ? mlsdLines : listLines);
        };
        startServer(play);
        ASSERT_TRUE(connect());
        const QStringList names = remoteNames();
        const int www = int(names.indexOf(u"www"_qs));
        const int note = int(names.indexOf(u"note"_qs));
        ASSERT_GE(www, 0) << names.join(u' ').toStdString();
        ASSERT_GE(note, 0);
        EXPECT_TRUE(state.remote.entries[std::size_t(www)].isLink);
        EXPECT_FALSE(state.remote.entries[std::size_t(www)].isFolder);
        EXPECT_FALSE(state.remote.entries[std::size_t(names.indexOf(u"a.txt"_qs))].isLink);

        ASSERT_TRUE(controller->EnterRemoteFolder(note));
        controller->waitForWorker();
        const QStringList log = port.log();
        const auto error = std::find_if(log.begin(), log.end(), [](const QString& line) {
            return line.startsWith(u"Error: FtpSetCurrentDirectory (12003)"_qs);
        });
        ASSERT_NE(error, log.end()) << log.join(u'\n').toStdString();
        ASSERT_NE(error + 1, log.end());
        EXPECT_TRUE((error + 1)->startsWith(u"550"_qs)) << (error + 1)->toStdString();
        EXPECT_FALSE(logHas(u"LIST /note/*.* ..."_qs));
        EXPECT_EQ(state.remote.path, u"/"_qs);
        EXPECT_EQ(remoteNames(), names);
        EXPECT_FALSE(runtime.busy);

        ASSERT_TRUE(controller->EnterRemoteFolder(www));
        controller->waitForWorker();
        EXPECT_EQ(state.remote.path, u"/www"_qs);
        EXPECT_TRUE(logHas(u"LIST /www/*.* ..."_qs));
        controller.reset();
        server->finish();
    }
}

// A listing with lines no parser reads shows the rest and says in the log how many are
// hidden, once per listing.
TEST_F(HostileSessionTest, UnreadableListingLinesAreToldInTheLog) {
    ServerPlay play;
    play.system = "215 NETWARE  Type: L8";
    play.listing = [](ScriptedServer& s, const std::string&) {
        return SendListing(s,
                           "total 2\r\n"
                           "d [R----F--] supervisor            512       Jan 16 18:53    login\r\n"
                           "- [RWCEAFMS] rhesus             214059       Oct 20  2001    cx.exe\r\n"
                           "?? broken entry\r\n");
    };
    startServer(play);
    ASSERT_TRUE(connect());
    EXPECT_EQ(remoteNames(), (QStringList{u".."_qs, u"login"_qs, u"cx.exe"_qs}));
    const QString note = u"Note: 1 entry of the listing could not be read: ?? broken entry"_qs;
    EXPECT_TRUE(waitForLog(note));
    EXPECT_EQ(port.log().filter(note).size(), 1);
    controller.reset();
    server->finish();
}

// A listing past the engine's bounds shows the rows read up to there and says why the rest
// is missing.
TEST_F(HostileSessionTest, AListingTooLargeKeepsWhatWasRead) {
    ServerPlay play;
    play.listing = [](ScriptedServer& s, const std::string&) {
        std::string lines;
        for (int i = 0; i < 200; ++i)
            lines += "-rw-r--r-- 1 u g 5 Jan 16 18:53 file-" + std::to_string(1000 + i) + "\r\n";
        return SendListing(s, lines);
    };
    startServer(play);
    ftp::ListingLimits limits;
    limits.entryBytes = 4000;
    controller->setListingLimits(limits);
    ASSERT_TRUE(connect());
    const QStringList names = remoteNames();
    ASSERT_GT(names.size(), 2);
    EXPECT_LT(names.size(), 201);
    EXPECT_EQ(names.at(1), u"file-1000"_qs);
    EXPECT_TRUE(logHas(u"The listing is too large: only its beginning was read."_qs))
        << port.log().join(u'\n').toStdString();
    controller.reset();
    server->finish();
}

// A rename onto a name the listing shows or the server knows is refused with the local side's
// "File exists" before anything is renamed; names are told apart by case on a Unix server.
TEST_F(HostileSessionTest, RenameNeverReplacesAnExistingName) {
    ServerPlay play;
    play.features = {"MLST type*;size*;modify*;"};
    play.listing = [](ScriptedServer& s, const std::string&) {
        return SendListing(s, "type=file;size=1; a.txt\r\ntype=file;size=1; b.txt\r\n");
    };
    play.existing = {"/c.txt"};
    startServer(play);
    ASSERT_TRUE(connect());
    RemoteFileOps ops(*controller);
    const FileEntry a = state.remote.entries[std::size_t(remoteNames().indexOf(u"a.txt"_qs))];
    EXPECT_EQ(ops.rename(state.remote, a, u"b.txt"_qs).code, EEXIST); // the listing shows it
    EXPECT_EQ(ops.rename(state.remote, a, u"c.txt"_qs).code, EEXIST); // the server knows it
    EXPECT_EQ(ops.rename(state.remote, a, u"B.txt"_qs).code, 0);      // names differ in case
    controller.reset();
    const std::vector<std::string> commands = server->finish();
    const auto renames = std::count_if(commands.begin(), commands.end(), [](const std::string& c) {
        return c.rfind("RNFR", 0) == 0;
    });
    EXPECT_EQ(renames, 1);
}
