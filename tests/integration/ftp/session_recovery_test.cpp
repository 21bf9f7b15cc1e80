// Sessions against servers that fail, refuse, swallow or leave: every failure is told apart
// from success, and the fallbacks keep working sessions working.
#include "ftp/ftp_error.h"
#include "ftp/ftp_session.h"
#include "integration/ftp/scripted_session.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <future>
#include <net/if.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace tw::ftp;
using tw::test::contains;
using tw::test::kTwoLines;
using tw::test::optionsFor;
using tw::test::ScriptedServer;

namespace {

std::vector<std::string> startingWith(const std::vector<std::string>& lines,
                                      std::string_view prefix) {
    std::vector<std::string> out;
    std::copy_if(lines.begin(), lines.end(), std::back_inserter(out),
                 [&](const std::string& l) { return l.rfind(prefix, 0) == 0; });
    return out;
}

// Serves EPSV, "LIST" (kTwoLines, unless `plain` answers it) and QUIT; "LIST -a" goes to
// `listAll`.
void serve(ScriptedServer& s, const std::function<void(ScriptedServer&)>& listAll,
           const std::function<void(ScriptedServer&)>& plain = {}) {
    for (std::string c = s.command(); !c.empty(); c = s.command()) {
        if (c == "EPSV") {
            const int port = s.listenData();
            s.reply("229 Entering Extended Passive Mode (|||" + std::to_string(port) + "|)");
            s.acceptData();
        } else if (c.rfind("LIST -a", 0) == 0) {
            listAll(s);
            s.closeData();
        } else if (c.rfind("LIST", 0) == 0 && plain) {
            plain(s);
            s.closeData();
        } else if (c.rfind("LIST", 0) == 0) {
            s.reply("150 Here it comes.");
            s.sendData(kTwoLines);
            s.closeData();
            s.reply("226 Done.");
        } else if (c == "QUIT") {
            s.reply("221 Bye.");
            return;
        } else {
            s.reply("502 Not here.");
        }
    }
}

std::vector<std::string> names(FtpSession& session, std::string_view pattern) {
    std::vector<std::string> out;
    DirEntry e;
    for (bool ok = session.findFirstFile(pattern, e); ok; ok = session.findNextFile(e))
        out.push_back(e.name);
    return out;
}

} // namespace

TEST(FailedListing, EveryFailureHasItsOwnNumberAndTheServersWords) {
    struct Row {
        std::string answer; // to LIST -a (and to the plain LIST where it is retried); "": close
        int error;
        bool connected;
    };
    for (const auto& row : std::vector<Row>{
             {"425 Can't open data connection.", kErrExtendedError, true},
             {"426 Connection closed; transfer aborted.", kErrExtendedError, true},
             {"450 Folder busy.", kErrExtendedError, true},
             {"550 Permission denied.", kErrExtendedError, true},
             {"421 Timeout, closing control connection.", kErrFtpDropped, false},
             {"", kErrFtpDropped, false},
             {"226 Nothing to list.", kErrNoMoreFiles, true},
         }) {
        ScriptedServer server([&row](ScriptedServer& s) {
            s.login();
            const auto answer = [&row](ScriptedServer& t) {
                if (row.answer.empty())
                    t.closeControl();
                else
                    t.reply(row.answer);
            };
            serve(s, answer, answer);
        });
        FtpSession session;
        ASSERT_TRUE(session.connect(optionsFor(server)));
        DirEntry e;
        EXPECT_FALSE(session.findFirstFile("/pub/*.*", e)) << row.answer;
        EXPECT_EQ(session.lastError(), row.error) << row.answer;
        if (!row.answer.empty()) {
            EXPECT_EQ(session.lastResponse(), row.answer);
        }
        EXPECT_EQ(session.isConnected(), row.connected) << row.answer;
    }
}

// vsftpd leaves dot files out of a plain LIST; servers that refuse "-a" or take it for a path
// get the plain LIST, from then on for the whole session.
TEST(HiddenFiles, ListAllFallsBackOnceAndIsRemembered) {
    struct Row {
        std::string name;
        std::function<void(ScriptedServer&)> listAll;
        std::vector<std::string> lists; // the LIST commands of two searches
        std::vector<std::string> found; // what the first search found
    };
    const std::vector<Row> rows = {
        {"understood",
         [](ScriptedServer& s) {
             s.reply("150 Here it comes.");
             s.sendData("drwxr-xr-x 2 u g 1 Jan 1 2020 .\r\ndrwxr-xr-x 2 u g 1 Jan 1 2020 ..\r\n"
                        "-rw-r--r-- 1 u g 9 Jan 1 2020 .htaccess\r\n");
             s.closeData();
             s.reply("226 Done.");
         },
         {"LIST -a /pub", "LIST -a /pub"},
         {".htaccess"}},
        {"refused",
         [](ScriptedServer& s) { s.reply("501 Invalid option."); },
         {"LIST -a /pub", "LIST /pub", "LIST /pub"},
         {"one.txt", "two"}},
        {"taken for a path",
         [](ScriptedServer& s) { s.reply("550 -a /pub: No such file."); },
         {"LIST -a /pub", "LIST /pub", "LIST /pub"},
         {"one.txt", "two"}},
        {"taken for a path, empty",
         [](ScriptedServer& s) {
             s.reply("150 Here it comes.");
             s.closeData();
             s.reply("226 Done.");
         },
         {"LIST -a /pub", "LIST /pub", "LIST /pub"},
         {"one.txt", "two"}},
    };
    for (const auto& row : rows) {
        ScriptedServer server([&row](ScriptedServer& s) {
            s.login();
            serve(s, row.listAll);
        });
        FtpSession session;
        std::vector<std::string> notices;
        SessionOptions o = optionsFor(server);
        o.notice = [&notices](const std::string& n) { notices.push_back(n); };
        ASSERT_TRUE(session.connect(o));
        EXPECT_EQ(names(session, "/pub/*.*"), row.found) << row.name;
        names(session, "/pub/*.*");
        session.close();
        EXPECT_EQ(startingWith(server.finish(), "LIST"), row.lists) << row.name;
        EXPECT_EQ(notices.size(), row.lists.back() == "LIST /pub" ? 1u : 0u) << row.name;
    }
}

TEST(Close, AServerThatHasGoneIsACleanClose) {
    for (const bool with421 : {true, false}) {
        ScriptedServer server([with421](ScriptedServer& s) {
            s.login();
            serve(s, [with421](ScriptedServer& t) {
                t.reply("150 Here it comes.");
                t.sendData(kTwoLines);
                t.closeData();
                t.reply("226 Done.");
                if (with421) // the idle timeout, before the client's next command
                    t.reply("421 Timeout.");
                t.closeControl();
            });
        });
        FtpSession session;
        ASSERT_TRUE(session.connect(optionsFor(server)));
        DirEntry e;
        EXPECT_FALSE(session.findFirstFile("*.zzz", e));
        EXPECT_EQ(session.lastError(), kErrNoMoreFiles);
        server.finish(); // the server has gone
        EXPECT_TRUE(session.close()) << with421;
        EXPECT_EQ(session.lastError(), kErrNone);
        EXPECT_FALSE(session.isConnected());
    }
}

TEST(Login, RefusalsKeepTheirNumbersAndTheServersLines) {
    struct Row {
        std::vector<std::string> replies; // greeting, to USER, to PASS
        int error;
    };
    for (const auto& row : std::vector<Row>{
             {{"421 Too many connections (8) from this IP"}, kErrFtpDropped},
             {{"220 Hi", "530 Non-anonymous sessions must use encryption."}, kErrIncorrectUserName},
             {{"220 Hi", "331 Password?", "530 Login must use encryption."}, kErrIncorrectPassword},
             {{"220 Hi", "550-SSL/TLS required on the control channel", "550 Bye."},
              kErrIncorrectUserName},
         }) {
        ScriptedServer server([&row](ScriptedServer& s) {
            for (std::size_t i = 0; i < row.replies.size(); ++i) {
                if (i > 0 && row.replies[i].rfind("550 ", 0) != 0)
                    s.command();
                s.reply(row.replies[i]);
            }
            s.drain();
        });
        FtpSession session;
        SessionOptions o = optionsFor(server);
        o.user = "bob";
        EXPECT_FALSE(session.connect(o));
        EXPECT_EQ(session.lastError(), row.error);
        std::string expected = row.replies.back();
        if (row.replies.back() == "550 Bye.")
            expected = row.replies[1] + "\r\n" + row.replies[2];
        EXPECT_EQ(session.lastResponse(), expected);
        EXPECT_FALSE(session.isConnected());
    }
}

TEST(Connect, KeepAliveOnTheControlConnection) {
    ScriptedServer server([](ScriptedServer& s) {
        s.login();
        s.drain();
    });
    FtpSession session;
    ASSERT_TRUE(session.connect(optionsFor(server)));
    int on = 0, idle = 0;
    socklen_t len = sizeof on;
    ASSERT_EQ(::getsockopt(session.controlDescriptor(), SOL_SOCKET, SO_KEEPALIVE, &on, &len), 0);
    len = sizeof idle;
    ASSERT_EQ(::getsockopt(session.controlDescriptor(), IPPROTO_TCP, TCP_KEEPIDLE, &idle, &len), 0);
    EXPECT_NE(on, 0);
    EXPECT_GT(idle, 0);
    EXPECT_LE(idle, 60);
}

// Port 0 is port 21: checked in a user and network namespace of its own, where a listener on
// 127.0.0.1:21 is allowed.
TEST(Connect, PortZeroMeansTwentyOne) {
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (::unshare(CLONE_NEWUSER | CLONE_NEWNET) != 0)
            ::_exit(77);
        ifreq ifr{};
        std::strncpy(ifr.ifr_name, "lo", IFNAMSIZ - 1);
        const int ctl = ::socket(AF_INET, SOCK_DGRAM, 0);
        ifr.ifr_flags = IFF_UP | IFF_LOOPBACK | IFF_RUNNING;
        if (::ioctl(ctl, SIOCSIFFLAGS, &ifr) != 0)
            ::_exit(77);
        const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(21);
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || ::listen(fd, 1) != 0)
            ::_exit(77);
        FtpSession session;
        SessionOptions o;
        o.host = "127.0.0.1";
        o.port = 0;
        o.timeoutMs = 200;
        session.connect(o); // connected to the listener, which never greets
        ::_exit(session.lastError() == kErrTimeout ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    if (WEXITSTATUS(status) == 77)
        GTEST_SKIP() << "no user and network namespaces here";
    EXPECT_EQ(WEXITSTATUS(status), 0) << "port 0 did not reach the listener on port 21";
}

// A long timeout: an abort that did not work would hang the test past its own limit.
TEST(Connect, AbortEndsConnectAtEveryStage) {
    for (const int stage : {0, 1, 2}) { // silent greeting, USER, FEAT
        std::atomic<bool> reached{false};
        ScriptedServer server([stage, &reached](ScriptedServer& s) {
            if (stage > 0)
                s.reply("220 Hi");
            if (stage > 1) {
                s.command();
                s.reply("331 Password?");
                s.command();
                s.reply("230 In.");
            }
            if (stage > 0)
                s.command();
            reached = true;
            s.sleepMs(120000);
        });
        FtpSession session;
        auto connected = std::async(std::launch::async,
                                    [&] { return session.connect(optionsFor(server, 120000)); });
        while (!reached)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        session.abort();
        EXPECT_FALSE(connected.get()) << stage;
        EXPECT_EQ(session.lastError(), kErrOperationCancelled) << stage;
        EXPECT_FALSE(session.isConnected());
        std::string cwd;
        EXPECT_FALSE(session.getCurrentDirectory(cwd));
        EXPECT_EQ(session.lastError(), kErrIncorrectHandleState); // closed, not dropped
    }
}

TEST(Transfer, CompleteDataWithoutTheFinalReplyIsComplete) {
    ScriptedServer server([](ScriptedServer& s) {
        s.login();
        s.passive();
        s.command(); // RETR
        s.reply("150 Opening BINARY mode data connection for f.bin (1000 bytes).");
        s.sendData(std::string(1000, 'x'));
        s.closeData();
        s.closeControl(); // gone before its 226
    });
    FtpSession session;
    std::vector<std::string> notices;
    SessionOptions o = optionsFor(server);
    o.notice = [&notices](const std::string& n) { notices.push_back(n); };
    ASSERT_TRUE(session.connect(o));
    ASSERT_TRUE(session.openFile("f.bin", FtpSession::OpenMode::Read));
    char buf[300];
    std::size_t n = 0, total = 0;
    bool ok = true;
    while ((ok = session.readFile(buf, sizeof buf, n)) && n > 0)
        total += n;
    EXPECT_TRUE(ok) << session.lastError();
    EXPECT_EQ(total, 1000u);
    EXPECT_TRUE(session.closeFile()) << session.lastError();
    EXPECT_EQ(notices.size(), 1u);
    EXPECT_FALSE(session.isConnected());
    std::string cwd;
    EXPECT_FALSE(session.getCurrentDirectory(cwd));
    EXPECT_EQ(session.lastError(), kErrFtpDropped);
}

// A stop while the engine waits for a reply leaves a working session: the reply is still read,
// a transfer it started is aborted, and the next command reads its own reply. The server holds
// back the reply named by `stall` until the client has been stopped; when it holds it back for
// longer than the stop waits, the session is closed instead.
TEST(Stop, DuringEveryReplyWaitKeepsTheSession) {
    using Action = std::function<bool(FtpSession&)>;
    const Action download = [](FtpSession& s) {
        if (!s.openFile("f.bin", FtpSession::OpenMode::Read))
            return false;
        char buf[64];
        std::size_t n = 0;
        bool ok = true;
        while ((ok = s.readFile(buf, sizeof buf, n)) && n > 0) {
        }
        const int error = s.lastError();
        const bool closed = s.closeFile();
        EXPECT_EQ(s.lastError(), error);
        return ok && closed;
    };
    const Action upload = [](FtpSession& s) {
        if (!s.openFile("up.bin", FtpSession::OpenMode::Write))
            return false;
        std::size_t n = 0;
        const bool ok = s.writeFile("hello", 5, n);
        return s.closeFile() && ok;
    };
    const Action list = [](FtpSession& s) {
        DirEntry e;
        return s.findFirstFile("*.*", e);
    };
    struct Row {
        std::string stall; // the reply held back: a command, or a command and the reply's code
        Action action;
        bool keepsSession = true;
        int holdMs = 500;
    };
    const std::vector<Row> rows = {
        {"SIZE", download},
        {"RETR 150", download},
        {"RETR 226", download},
        {"STOR 150", upload},
        {"STOR 226", upload},
        {"LIST 150", list},
        {"LIST 226", list},
        {"CWD", [](FtpSession& s) { return s.setCurrentDirectory("/sub"); }},
        {"DELE", [](FtpSession& s) { return s.deleteFile("old.bin"); }},
        {"RNFR", [](FtpSession& s) { return s.renameFile("a", "b"); }},
        {"RNTO", [](FtpSession& s) { return s.renameFile("a", "b"); }},
        {"CWD", [](FtpSession& s) { return s.setCurrentDirectory("/sub"); }, false, 5000},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.stall + (row.keepsSession ? "" : ", never answered in time"));
        std::atomic<bool> reached{false};
        ScriptedServer server([&row, &reached](ScriptedServer& s) {
            s.login({"SIZE"});
            const auto answer = [&](const std::string& key, const std::string& line) {
                if (key == row.stall) {
                    reached = true;
                    s.sleepMs(row.holdMs);
                }
                s.reply(line);
            };
            for (std::string c = s.command(); !c.empty(); c = s.command()) {
                const std::string verb = c.substr(0, c.find(' '));
                if (verb == "EPSV") {
                    const int port = s.listenData();
                    s.reply("229 Entering Extended Passive Mode (|||" + std::to_string(port) +
                            "|)");
                    s.acceptData();
                } else if (verb == "SIZE") {
                    answer("SIZE", "213 5");
                } else if (verb == "RETR") {
                    answer("RETR 150", "150 Opening BINARY mode data connection (5 bytes).");
                    s.sendData("hello");
                    s.closeData();
                    answer("RETR 226", "226 Transfer complete.");
                } else if (verb == "STOR") {
                    answer("STOR 150", "150 Ok to send data.");
                    const bool whole = s.receiveData();
                    s.closeData();
                    answer("STOR 226", whole ? "226 Transfer complete." : "426 Connection lost.");
                } else if (verb == "LIST") {
                    answer("LIST 150", "150 Here comes the directory listing.");
                    s.sendData(kTwoLines);
                    s.closeData();
                    answer("LIST 226", "226 Directory send OK.");
                } else if (verb == "CWD" || verb == "DELE" || verb == "RNTO") {
                    answer(verb, "250 Done.");
                } else if (verb == "RNFR") {
                    answer(verb, "350 Ready for RNTO.");
                } else if (verb == "ABOR") {
                    s.reply("225 No transfer to ABOR.");
                } else if (verb == "NOOP") {
                    s.reply("200 NOOP ok.");
                } else if (verb == "PWD") {
                    s.reply("257 \"/still here\"");
                } else if (verb == "QUIT") {
                    s.reply("221 Goodbye.");
                    return;
                } else {
                    s.reply("502 Not here.");
                }
            }
        });
        FtpSession session;
        ASSERT_TRUE(session.connect(optionsFor(server, 20000)));
        std::thread stopper([&] {
            while (!reached)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            session.abort();
        });
        const bool ok = row.action(session);
        stopper.join();
        EXPECT_FALSE(ok);
        EXPECT_EQ(session.lastError(), kErrOperationCancelled);
        EXPECT_EQ(session.isConnected(), row.keepsSession);
        if (row.keepsSession) {
            std::string cwd;
            EXPECT_TRUE(session.getCurrentDirectory(cwd)) << session.lastError();
            EXPECT_EQ(cwd, "/still here");
            DirEntry e;
            EXPECT_TRUE(session.findFirstFile("*.*", e)) << session.lastError();
        }
        session.close();
        server.finish();
    }
}

TEST(PassiveFallback, SwallowedEpsvIsRetriedWithPasvAndALateAnswerIsSetAside) {
    for (const std::string late : {"", "229 Entering Extended Passive Mode (|||1|)", "500 No."}) {
        ScriptedServer server([&late](ScriptedServer& s) {
            s.login();
            s.command(); // EPSV, not answered in time
            s.command(); // PASV
            if (!late.empty())
                s.reply(late);
            const int port = s.listenData();
            s.reply("227 Entering Passive Mode (127,0,0,1," + std::to_string(port / 256) + "," +
                    std::to_string(port % 256) + ").");
            std::string c = s.command();
            if (c == "NOOP") {
                s.reply("200 NOOP ok.");
                c = s.command(); // LIST
            }
            s.acceptData();
            s.reply("150 Here it comes.");
            s.sendData(kTwoLines);
            s.closeData();
            s.reply("226 Done.");
            s.command(); // PWD
            s.reply("257 \"/in step\"");
            s.drain();
        });
        FtpSession session;
        std::vector<std::string> notices;
        SessionOptions o = optionsFor(server, 400);
        o.notice = [&notices](const std::string& n) { notices.push_back(n); };
        ASSERT_TRUE(session.connect(o));
        EXPECT_EQ(names(session, "*.*"), (std::vector<std::string>{"one.txt", "two"})) << late;
        std::string cwd;
        ASSERT_TRUE(session.getCurrentDirectory(cwd)) << late << session.lastError();
        EXPECT_EQ(cwd, "/in step");
        EXPECT_EQ(notices.size(), 1u);
    }
}

// The server refuses at once to connect to our listener; with a long timeout, an engine that
// did not watch the control connection would hang here.
TEST(PassiveFallback, RefusedActiveConnectionFallsBackToPassive) {
    ScriptedServer server([](ScriptedServer& s) {
        s.login();
        s.command(); // EPRT
        s.reply("200 EPRT command successful.");
        s.command(); // RETR
        s.reply("150 Opening BINARY mode data connection.");
        s.reply("425 Failed to establish connection.");
        s.passive();
        s.command(); // RETR
        s.reply("150 Opening BINARY mode data connection.");
        s.sendData("data");
        s.closeData();
        s.reply("226 Done.");
        s.drain();
    });
    FtpSession session;
    std::vector<std::string> notices;
    SessionOptions o = optionsFor(server, 120000);
    o.passive = false;
    o.notice = [&notices](const std::string& n) { notices.push_back(n); };
    ASSERT_TRUE(session.connect(o));
    ASSERT_TRUE(session.openFile("f", FtpSession::OpenMode::Read)) << session.lastError();
    char buf[16];
    std::size_t n = 0;
    ASSERT_TRUE(session.readFile(buf, sizeof buf, n));
    EXPECT_EQ(std::string(buf, n), "data");
    EXPECT_TRUE(session.closeFile());
    EXPECT_EQ(notices.size(), 1u);
}

TEST(PassiveFallback, FailedPassiveDataConnectionFallsBackToActive) {
    ScriptedServer server([](ScriptedServer& s) {
        s.login();
        s.command(); // EPSV: a port nobody listens on
        s.reply("229 Entering Extended Passive Mode (|||1|)");
        s.command(); // PASV: the same
        s.reply("227 Entering Passive Mode (127,0,0,1,0,1).");
        const std::string eprt = s.command();
        s.reply("200 EPRT command successful.");
        s.command(); // LIST -a
        if (!s.connectActive(eprt))
            return;
        s.reply("150 Here it comes.");
        s.sendData(kTwoLines);
        s.closeData();
        s.reply("226 Done.");
        s.drain();
    });
    FtpSession session;
    std::vector<std::string> notices;
    SessionOptions o = optionsFor(server);
    o.notice = [&notices](const std::string& n) { notices.push_back(n); };
    ASSERT_TRUE(session.connect(o));
    EXPECT_EQ(names(session, "*.*"), (std::vector<std::string>{"one.txt", "two"}));
    EXPECT_EQ(notices.size(), 2u); // EPSV's connection, then passive mode as a whole
}

TEST(PathExists, MlstThenSizeAndTheServersCase) {
    ScriptedServer mlst([](ScriptedServer& s) {
        s.setSystem("215 Windows_NT");
        s.login({"MLST type*;size*;", "SIZE"});
        s.command();
        s.reply("250-Listing a.txt");
        s.reply(" type=file;size=5; a.txt");
        s.reply("250 End");
        s.command();
        s.reply("550 No such file.");
        s.drain();
    });
    FtpSession session;
    ASSERT_TRUE(session.connect(optionsFor(mlst)));
    EXPECT_TRUE(session.namesIgnoreCase());
    EXPECT_EQ(session.pathExists("a.txt"), std::optional<bool>(true));
    EXPECT_EQ(session.pathExists("b.txt"), std::optional<bool>(false));
    session.close();
    EXPECT_EQ(startingWith(mlst.finish(), "MLST"),
              (std::vector<std::string>{"MLST a.txt", "MLST b.txt"}));

    ScriptedServer size([](ScriptedServer& s) {
        s.login({"SIZE"});
        s.command();
        s.reply("213 5");
        s.command();
        s.reply("550 Not a plain file.");
        s.drain();
    });
    ASSERT_TRUE(session.connect(optionsFor(size)));
    EXPECT_FALSE(session.namesIgnoreCase());
    EXPECT_EQ(session.pathExists("a.txt"), std::optional<bool>(true));
    EXPECT_EQ(session.pathExists("dir"), std::nullopt);
    EXPECT_EQ(session.lastError(), kErrNone);
}

// MDTM is asked only where FEAT listed it; an answer that is no time-val is told apart from a
// refusal.
TEST(ModificationTime, OnlyWhereOfferedAndOnlyReadableAnswers) {
    struct Row {
        std::vector<std::string> features;
        std::string answer; // to MDTM; empty: not asked
        int error;
    };
    for (const Row& row : std::vector<Row>{
             {{"MDTM"}, "213 20210304050607", kErrNone},
             {{"MDTM"}, "213 20210304050607 UTC", kErrInvalidServerResponse},
             {{"MDTM"}, "213 2021-03-04 05:06:07", kErrInvalidServerResponse},
             {{"MDTM"}, "550 Not a plain file.", kErrExtendedError},
             {{"SIZE"}, "", kErrInvalidOperation},
             {{}, "", kErrInvalidOperation},
         }) {
        SCOPED_TRACE(row.answer);
        ScriptedServer server([&row](ScriptedServer& s) {
            s.login(row.features);
            if (!row.answer.empty() && s.command().rfind("MDTM ", 0) == 0)
                s.reply(row.answer);
            s.drain();
        });
        FtpSession session;
        ASSERT_TRUE(session.connect(optionsFor(server)));
        const auto time = session.modificationTime("/a file.txt");
        EXPECT_EQ(session.lastError(), row.error);
        EXPECT_EQ(time,
                  row.error == kErrNone ? std::optional<std::int64_t>(1614834367) : std::nullopt);
        EXPECT_FALSE(session.canSetModificationTime());
        EXPECT_FALSE(session.setModificationTime("/a file.txt", 0));
        EXPECT_EQ(session.lastError(), kErrInvalidOperation);
        session.close();
        const auto commands = server.finish();
        EXPECT_EQ(contains(commands, "MDTM /a file.txt"), !row.answer.empty());
        EXPECT_FALSE(contains(commands, "MFMT"));
    }
}

// Resuming: REST goes right before RETR / STOR with the exact 64-bit offset; a refused REST
// fails openFile with the server's words; a server that answers 350 and then sends the file
// from its start is stopped before a byte past the rest of the file is handed on (through
// readFile and through the spliced readFileTo alike); APPE sends no REST. A listed size
// spares SIZE. The session serves the next command every time.
TEST(Resume, RestartOffsetsAndAppendAgainstTheServersAnswers) {
    using Mode = FtpSession::OpenMode;
    constexpr std::uint64_t kSize = 5'000'000'000; // past 4 GiB
    constexpr std::uint64_t kOffset = kSize - 400;
    const std::string tail = [] {
        std::string t(1000, '\0');
        for (std::size_t i = 0; i < t.size(); ++i)
            t[i] = static_cast<char>('a' + i * 7 % 26);
        return t;
    }();
    const std::string rest = tail.substr(600); // the file's last 400 bytes
    struct Row {
        const char* name;
        Mode mode;
        FtpSession::OpenOptions options;
        const char* restReply;
        bool ignoresRest; // 350, then the file from its start
        bool splice;      // readFileTo with splicing, else readFile
        int error;        // of openFile after a refused REST, else of the transfer
        std::vector<std::string> commands;
    };
    const std::string restLine = "REST " + std::to_string(kOffset);
    const std::vector<Row> rows = {
        {"honoured, SIZE asked",
         Mode::Read,
         {kOffset, std::nullopt},
         "350 Restarting.",
         false,
         false,
         kErrNone,
         {"SIZE f.bin", "EPSV", restLine, "RETR f.bin", "PWD"}},
        {"honoured, size listed, spliced",
         Mode::Read,
         {kOffset, kSize},
         "350 Restarting.",
         false,
         true,
         kErrNone,
         {"EPSV", restLine, "RETR f.bin", "PWD"}},
        {"refused",
         Mode::Read,
         {kOffset, kSize},
         "502 REST not implemented.",
         false,
         false,
         kErrExtendedError,
         {"EPSV", restLine, "PWD"}},
        {"ignored",
         Mode::Read,
         {kOffset, std::nullopt},
         "350 Restarting.",
         true,
         false,
         kErrRestartIgnored,
         {"SIZE f.bin", "EPSV", restLine, "RETR f.bin", "ABOR", "PWD"}},
        {"ignored, spliced",
         Mode::Read,
         {kOffset, kSize},
         "350 Restarting.",
         true,
         true,
         kErrRestartIgnored,
         {"EPSV", restLine, "RETR f.bin", "ABOR", "PWD"}},
        {"upload from an offset",
         Mode::Write,
         {kOffset, std::nullopt},
         "350 Restarting.",
         false,
         false,
         kErrNone,
         {"EPSV", restLine, "STOR f.bin", "PWD"}},
        {"append",
         Mode::Append,
         {kOffset, std::nullopt},
         nullptr,
         false,
         false,
         kErrNone,
         {"EPSV", "APPE f.bin", "PWD"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        std::string received;
        ScriptedServer server([&](ScriptedServer& s) {
            s.login({"SIZE"});
            for (std::string c = s.command(); !c.empty(); c = s.command()) {
                const std::string verb = c.substr(0, 4);
                if (verb == "SIZE") {
                    s.reply("213 " + std::to_string(kSize));
                } else if (verb == "EPSV") {
                    const int port = s.listenData();
                    s.reply("229 Entering Extended Passive Mode (|||" + std::to_string(port) +
                            "|)");
                    s.acceptData();
                } else if (verb == "REST") {
                    s.reply(row.restReply);
                } else if (verb == "RETR") {
                    s.reply("150 Opening BINARY mode data connection (" + std::to_string(kSize) +
                            " bytes).");
                    s.sendData(row.ignoresRest ? tail : rest);
                    if (row.ignoresRest && s.command() == "ABOR") { // more would follow
                        s.closeData();
                        s.reply("426 Transfer aborted.");
                    } else {
                        s.closeData();
                    }
                    s.reply("226 Done.");
                } else if (verb == "STOR" || verb == "APPE") {
                    s.reply("150 Ok to send data.");
                    s.receiveData(&received);
                    s.closeData();
                    s.reply("226 Stored.");
                } else if (verb == "PWD") {
                    s.reply("257 \"/after\"");
                } else if (verb == "QUIT") {
                    s.reply("221 Bye.");
                    return;
                } else {
                    s.reply("502 Not here.");
                }
            }
        });
        FtpSession session;
        SessionOptions o = optionsFor(server);
        o.spliceDownloads = row.splice;
        ASSERT_TRUE(session.connect(o));
        const bool opened = session.openFile("f.bin", row.mode, row.options);
        if (!row.restReply || std::string_view(row.restReply).substr(0, 3) == "350") {
            ASSERT_TRUE(opened) << session.lastError();
            std::string got;
            bool ok = true;
            if (row.mode != Mode::Read) {
                std::size_t n = 0;
                ok = session.writeFile(rest.data(), rest.size(), n) && n == rest.size();
            } else if (row.splice) {
                std::string path = "/tmp/tw-resume-XXXXXX";
                const int fd = ::mkstemp(path.data());
                ASSERT_GE(fd, 0);
                ::unlink(path.c_str());
                std::size_t n = 0;
                while ((ok = session.readFileTo(fd, 256, n)) && n > 0) {
                }
                got.resize(2000);
                const ssize_t kept = ::pread(fd, got.data(), got.size(), 0);
                got.resize(kept > 0 ? std::size_t(kept) : 0);
                ::close(fd);
            } else {
                char buf[100];
                std::size_t n = 0;
                while ((ok = session.readFile(buf, sizeof buf, n)) && n > 0)
                    got.append(buf, n);
            }
            EXPECT_EQ(ok, row.error == kErrNone);
            EXPECT_EQ(session.lastError(), row.error);
            EXPECT_EQ(session.closeFile(), row.error == kErrNone);
            EXPECT_EQ(session.lastError(), row.error);
            if (row.mode != Mode::Read)
                EXPECT_EQ(received, rest);
            else if (row.error == kErrNone)
                EXPECT_EQ(got, rest);
            else // never a byte past the rest of the file
                EXPECT_LE(got.size(), rest.size());
        } else {
            EXPECT_FALSE(opened);
            EXPECT_EQ(session.lastError(), row.error);
            EXPECT_EQ(session.lastResponse(), row.restReply);
        }
        std::string cwd;
        ASSERT_TRUE(session.getCurrentDirectory(cwd)) << session.lastError();
        EXPECT_EQ(cwd, "/after");
        session.close();
        auto commands = server.finish();
        ASSERT_GE(commands.size(), 6u);
        commands.erase(commands.begin(), commands.begin() + 5); // the login
        commands.pop_back();                                    // QUIT
        EXPECT_EQ(commands, row.commands);
    }
}
