#include "ftp/ftp_error.h"
#include "ftp/ftp_session.h"
#include "integration/ftp/scripted_session.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <thread>
#include <tuple>

using namespace tw::ftp;
using tw::test::contains;
using tw::test::kTwoLines;
using tw::test::optionsFor;
using tw::test::ScriptedServer;

TEST(ScriptedLogin, AnonymousCommandSequence) {
    ScriptedServer server([](ScriptedServer& s) {
        s.login({"MLST type*;size*;modify*;", "UTF8", "SIZE"});
        s.command(); // QUIT
        s.reply("221 Bye.");
    });
    FtpSession session;
    ASSERT_TRUE(session.connect(optionsFor(server)));
    EXPECT_TRUE(session.usesMlsd());
    EXPECT_TRUE(session.usesUtf8());
    EXPECT_TRUE(session.close());
    EXPECT_EQ(server.finish(),
              (std::vector<std::string>{"USER anonymous", "PASS anonymous@", "FEAT", "OPTS UTF8 ON",
                                        "SYST", "TYPE I", "QUIT"}));
}

TEST(ScriptedLogin, NamedAndExplicitAnonymousUsers) {
    for (const auto& [user, password, sent] :
         {std::tuple<std::string, std::string, std::string>{"bob", "pw", "PASS pw"},
          {"anonymous", "", "PASS anonymous@"},
          {"ftp", "me@home", "PASS me@home"}}) {
        ScriptedServer server([](ScriptedServer& s) {
            s.login({"MLSD"});
            s.drain();
        });
        FtpSession session;
        SessionOptions o = optionsFor(server);
        o.user = user;
        o.password = password;
        ASSERT_TRUE(session.connect(o));
        EXPECT_TRUE(session.usesMlsd());
        session.close();
        const auto commands = server.finish();
        ASSERT_GE(commands.size(), 2u);
        EXPECT_EQ(commands[0], "USER " + user);
        EXPECT_EQ(commands[1], sent);
    }
}

TEST(ScriptedLogin, RefusalsGiveTheirOwnCodes) {
    {
        ScriptedServer server([](ScriptedServer& s) {
            s.reply("220 Hi");
            s.command();
            s.reply("530 This server is anonymous only.");
            s.drain();
        });
        FtpSession session;
        SessionOptions o = optionsFor(server);
        o.user = "bob";
        EXPECT_FALSE(session.connect(o));
        EXPECT_EQ(session.lastError(), kErrIncorrectUserName);
        EXPECT_EQ(session.lastResponse(), "530 This server is anonymous only.");
    }
    {
        ScriptedServer server([](ScriptedServer& s) {
            s.reply("421-Too many users");
            s.reply("421 Try later.");
        });
        FtpSession session;
        EXPECT_FALSE(session.connect(optionsFor(server)));
        EXPECT_EQ(session.lastError(), kErrFtpDropped);
        EXPECT_EQ(session.lastResponse(), "421-Too many users\r\n421 Try later.");
        EXPECT_FALSE(session.isConnected());
    }
}

TEST(HostileServer, PassiveReplyNamingAnotherAddressIsNotFollowed) {
    ScriptedServer server([](ScriptedServer& s) {
        s.login();
        for (int round = 0; round < 2; ++round) {
            const std::string c = s.command();
            if (c == "EPSV") {
                s.reply("500 EPSV not understood.");
                s.command(); // PASV
            }
            const int port = s.listenData();
            // The data listener is on 127.0.0.1 only: following the named address would fail.
            s.reply("227 Entering Passive Mode (127,0,0,2," + std::to_string(port / 256) + "," +
                    std::to_string(port % 256) + ").");
            s.command(); // LIST
            if (!s.acceptData())
                return;
            s.reply("150 Here it comes.");
            s.sendData(kTwoLines);
            s.closeData();
            s.reply("226 Done.");
        }
        s.drain();
    });
    FtpSession session;
    ASSERT_TRUE(session.connect(optionsFor(server)));
    for (int round = 0; round < 2; ++round) {
        DirEntry e;
        ASSERT_TRUE(session.findFirstFile("*.*", e)) << session.lastError();
        EXPECT_EQ(e.name, "one.txt");
        ASSERT_TRUE(session.findNextFile(e));
        EXPECT_EQ(e.name, "two");
        EXPECT_FALSE(session.findNextFile(e));
        EXPECT_EQ(session.lastError(), kErrNoMoreFiles);
    }
    session.close();
    const auto commands = server.finish();
    // After EPSV was refused once, the session goes straight to PASV.
    EXPECT_EQ(std::count(commands.begin(), commands.end(), "EPSV"), 1);
    EXPECT_EQ(std::count(commands.begin(), commands.end(), "PASV"), 2);
}

TEST(HostileServer, EndlessReplyLineClosesTheConnection) {
    ScriptedServer server([](ScriptedServer& s) {
        const std::string chunk(4096, 'A');
        s.sendRaw("220 ");
        for (int i = 0; i < 4096 && s.sendRaw(chunk); ++i) {
        }
    });
    FtpSession session;
    EXPECT_FALSE(session.connect(optionsFor(server)));
    EXPECT_EQ(session.lastError(), kErrConnectionAborted);
    EXPECT_FALSE(session.isConnected());
}

TEST(HostileServer, EndlessMultiLineReplyClosesTheConnection) {
    ScriptedServer server([](ScriptedServer& s) {
        s.reply("220-Welcome");
        for (int i = 0; i < 100000 && s.sendRaw("220-and more, and more\r\n"); ++i) {
        }
    });
    FtpSession session;
    EXPECT_FALSE(session.connect(optionsFor(server)));
    EXPECT_EQ(session.lastError(), kErrConnectionAborted);
}

TEST(HostileServer, SilentServerTimesOut) {
    ScriptedServer server([](ScriptedServer& s) { s.sleepMs(2000); });
    FtpSession session;
    EXPECT_FALSE(session.connect(optionsFor(server, 300)));
    EXPECT_EQ(session.lastError(), kErrTimeout);
}

TEST(HostileServer, SilenceAfterACommandTimesOutAndEndsTheSession) {
    ScriptedServer server([](ScriptedServer& s) {
        s.login();
        s.command(); // CWD, never answered
        s.sleepMs(1000);
    });
    FtpSession session;
    ASSERT_TRUE(session.connect(optionsFor(server, 300)));
    EXPECT_FALSE(session.setCurrentDirectory("/pub"));
    EXPECT_EQ(session.lastError(), kErrTimeout);
    // A late reply could be taken for the answer to the next command: the session is over.
    std::string cwd;
    EXPECT_FALSE(session.getCurrentDirectory(cwd));
    EXPECT_EQ(session.lastError(), kErrFtpDropped);
}

TEST(HostileServer, PreliminaryReplyWithoutDataConnectionInActiveMode) {
    ScriptedServer server([](ScriptedServer& s) {
        s.login();
        s.command(); // EPRT
        s.reply("200 EPRT command successful.");
        s.command(); // RETR
        s.reply("150 Opening BINARY mode data connection.");
        if (s.command() == "ABOR") { // never connects; the client gives up and aborts
            s.reply("426 Transfer aborted.");
            s.reply("226 Abort successful.");
        }
        s.drain();
    });
    FtpSession session;
    SessionOptions o = optionsFor(server, 400);
    o.passive = false;
    ASSERT_TRUE(session.connect(o));
    EXPECT_FALSE(session.openFile("file.bin", FtpSession::OpenMode::Read));
    EXPECT_EQ(session.lastError(), kErrTimeout);
    std::string cwd;
    session.close();
    const auto commands = server.finish();
    EXPECT_TRUE(contains(commands, "EPRT |1|127.0.0.1|"));
    EXPECT_TRUE(contains(commands, "ABOR"));
}

TEST(HostileServer, PreliminaryReplyThenNoDataTimesOut) {
    ScriptedServer server([](ScriptedServer& s) {
        s.login();
        s.passive();
        s.command(); // RETR
        s.reply("150 Opening BINARY mode data connection.");
        s.sleepMs(1500); // the data connection stays open and silent
    });
    FtpSession session;
    ASSERT_TRUE(session.connect(optionsFor(server, 300)));
    ASSERT_TRUE(session.openFile("file.bin", FtpSession::OpenMode::Read));
    char buf[128];
    std::size_t n = 0;
    EXPECT_FALSE(session.readFile(buf, sizeof buf, n));
    EXPECT_EQ(session.lastError(), kErrTimeout);
    EXPECT_FALSE(session.closeFile());
}

// A download shorter than the size the server announced was cut short, even when the server
// then says 226; a longer one is a file that grew while it was sent (a log being written) and
// is taken as it came.
TEST(HostileServer, DownloadsAreCheckedAgainstTheAnnouncedSize) {
    struct Row {
        const char* name;
        bool sizeAnswered; // SIZE 1000, else only the 150 names it
        std::size_t sent;
        int error;
    };
    for (const Row& row :
         {Row{"half, SIZE", true, 500, kErrShortTransfer},
          Row{"half, 150", false, 500, kErrShortTransfer}, Row{"grown, SIZE", true, 1700, kErrNone},
          Row{"grown, 150", false, 1001, kErrNone}, Row{"exact", true, 1000, kErrNone}}) {
        SCOPED_TRACE(row.name);
        ScriptedServer server([&row](ScriptedServer& s) {
            s.login({"SIZE"});
            s.command(); // SIZE
            s.reply(row.sizeAnswered ? "213 1000" : "550 Could not get file size.");
            s.passive();
            s.command(); // RETR
            s.reply("150 Opening BINARY mode data connection for file.bin (1000 bytes).");
            s.sendData(std::string(row.sent, 'x'));
            s.closeData();
            s.reply("226 Transfer complete.");
            s.command(); // PWD
            s.reply("257 \"/after\"");
            s.drain();
        });
        FtpSession session;
        std::vector<std::string> notices;
        SessionOptions o = optionsFor(server);
        o.notice = [&notices](const std::string& n) { notices.push_back(n); };
        ASSERT_TRUE(session.connect(o));
        ASSERT_TRUE(session.openFile("file.bin", FtpSession::OpenMode::Read));
        EXPECT_EQ(session.openFileSize(), 1000u);
        char buf[128];
        std::size_t n = 0, total = 0;
        bool ok = true;
        while ((ok = session.readFile(buf, sizeof buf, n)) && n > 0)
            total += n;
        EXPECT_EQ(total, row.sent);
        EXPECT_EQ(ok, row.error == kErrNone);
        EXPECT_EQ(session.closeFile(), row.error == kErrNone);
        EXPECT_EQ(session.lastError(), row.error);
        EXPECT_EQ(notices.size(), row.sent > 1000 ? 1u : 0u);
        std::string cwd;
        ASSERT_TRUE(session.getCurrentDirectory(cwd)) << session.lastError();
        EXPECT_EQ(cwd, "/after");
    }
}

TEST(HostileServer, DataClosedHalfWayWithAnErrorReply) {
    ScriptedServer server([](ScriptedServer& s) {
        s.login();
        s.passive();
        s.command(); // RETR
        s.reply("150 Opening BINARY mode data connection.");
        s.sendData(std::string(300, 'y'));
        s.closeData();
        s.reply("426 Connection closed; transfer aborted.");
        s.drain();
    });
    FtpSession session;
    ASSERT_TRUE(session.connect(optionsFor(server)));
    ASSERT_TRUE(session.openFile("file.bin", FtpSession::OpenMode::Read));
    char buf[4096];
    std::size_t n = 0;
    ASSERT_TRUE(session.readFile(buf, sizeof buf, n));
    EXPECT_EQ(n, 300u);
    EXPECT_FALSE(session.readFile(buf, sizeof buf, n));
    EXPECT_EQ(session.lastError(), kErrExtendedError);
    EXPECT_EQ(session.lastResponse(), "426 Connection closed; transfer aborted.");
    EXPECT_FALSE(session.closeFile());
    EXPECT_EQ(session.lastError(), kErrExtendedError);
}

TEST(HostileServer, UploadRefusedAtTheEndIsAFailure) {
    ScriptedServer server([](ScriptedServer& s) {
        s.login();
        s.passive();
        s.command(); // STOR
        s.reply("150 Ok to send data.");
        s.sleepMs(200);
        s.closeData();
        s.reply("452 Disk full.");
        s.drain();
    });
    FtpSession session;
    ASSERT_TRUE(session.connect(optionsFor(server)));
    ASSERT_TRUE(session.openFile("up.bin", FtpSession::OpenMode::Write));
    std::size_t n = 0;
    const std::string block(1000, 'z');
    session.writeFile(block.data(), block.size(), n);
    EXPECT_FALSE(session.closeFile());
    EXPECT_EQ(session.lastError(), kErrExtendedError);
    EXPECT_EQ(session.lastResponse(), "452 Disk full.");
}

TEST(HostileServer, ServiceClosingInTheMiddleOfAListing) {
    ScriptedServer server([](ScriptedServer& s) {
        s.login();
        s.passive();
        s.command(); // LIST
        s.reply("150 Here it comes.");
        s.sendData(kTwoLines);
        s.reply("421 Timeout, closing control connection.");
        s.closeData();
        s.closeControl();
    });
    FtpSession session;
    ASSERT_TRUE(session.connect(optionsFor(server)));
    DirEntry e;
    EXPECT_FALSE(session.findFirstFile("/pub/*.*", e));
    EXPECT_EQ(session.lastError(), kErrFtpDropped);
    EXPECT_EQ(session.lastResponse(), "421 Timeout, closing control connection.");
    EXPECT_FALSE(session.isConnected());
    EXPECT_FALSE(session.setCurrentDirectory("/"));
    EXPECT_EQ(session.lastError(), kErrFtpDropped);
}

TEST(HostileServer, NamesWithLineBreaksAndSlashesAreMarkedAndNeverSent) {
    ScriptedServer server([](ScriptedServer& s) {
        s.login();
        s.passive();
        s.command(); // LIST
        s.reply("150 Here it comes.");
        s.sendData("-rw-r--r-- 1 u g 1 Jan 1 2020 ../../etc/passwd\r\n"
                   "-rw-r--r-- 1 u g 1 Jan 1 2020 evil\r\nDELE important\r\n"
                   "-rw-r--r-- 1 u g 1 Jan 1 2020 cr\rname\r\n"
                   "-rw-r--r-- 1 u g 1 Jan 1 2020 back\\slash\r\n"
                   "drwxr-xr-x 2 u g 1 Jan 1 2020 ..\r\n"
                   "-rw-r--r-- 1 u g 1 Jan 1 2020 plain.txt\r\n");
        s.closeData();
        s.reply("226 Done.");
        s.drain();
    });
    FtpSession session;
    ASSERT_TRUE(session.connect(optionsFor(server)));
    std::vector<DirEntry> entries;
    DirEntry e;
    for (bool ok = session.findFirstFile("*.*", e); ok; ok = session.findNextFile(e))
        entries.push_back(e);
    ASSERT_EQ(entries.size(), 5u); // the ".." that "LIST -a" adds is left out
    for (const auto& entry : entries)
        EXPECT_EQ(entry.unsafeName, entry.name != "plain.txt" && entry.name != "evil")
            << entry.name;
    const auto cr = std::find_if(entries.begin(), entries.end(),
                                 [](const DirEntry& d) { return d.name == "cr\rname"; });
    ASSERT_NE(cr, entries.end());
    EXPECT_FALSE(session.deleteFile(cr->name));
    EXPECT_EQ(session.lastError(), kErrInvalidOperation);
    EXPECT_FALSE(session.renameFile("a", "b\nDELE x"));
    EXPECT_EQ(session.lastError(), kErrInvalidOperation);
    session.close();
    const auto commands = server.finish();
    EXPECT_FALSE(contains(commands, "DELE"));
    EXPECT_FALSE(contains(commands, "RNFR"));
}

TEST(HostileServer, BrokenPwdReplies) {
    ScriptedServer server([](ScriptedServer& s) {
        s.login();
        s.command();
        s.reply("257 \"/never closed");
        s.command();
        s.reply("257 \"/bad\x01name\"");
        s.command();
        s.reply("550 No current directory.");
        s.drain();
    });
    FtpSession session;
    ASSERT_TRUE(session.connect(optionsFor(server)));
    std::string cwd;
    EXPECT_FALSE(session.getCurrentDirectory(cwd));
    EXPECT_EQ(session.lastError(), kErrInvalidServerResponse);
    EXPECT_FALSE(session.getCurrentDirectory(cwd));
    EXPECT_EQ(session.lastError(), kErrInvalidServerResponse);
    EXPECT_FALSE(session.getCurrentDirectory(cwd));
    EXPECT_EQ(session.lastError(), kErrExtendedError);
    EXPECT_EQ(session.lastResponse(), "550 No current directory.");
}

TEST(HostileServer, AbortDuringAListingLeavesTheSessionUsable) {
    ScriptedServer server([](ScriptedServer& s) {
        s.login();
        s.passive();
        s.command(); // LIST
        s.reply("150 Here it comes.");
        s.sendData(kTwoLines); // then nothing more until the client aborts
        if (s.command() == "ABOR") {
            s.closeData();
            s.reply("426 Transfer aborted.");
            s.reply("226 ABOR command successful.");
        }
        s.command(); // PWD
        s.reply("257 \"/still here\"");
        s.drain();
    });
    FtpSession session;
    ASSERT_TRUE(session.connect(optionsFor(server, 5000)));
    std::thread canceller([&session] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        session.abort();
    });
    DirEntry e;
    EXPECT_FALSE(session.findFirstFile("*.*", e));
    canceller.join();
    EXPECT_EQ(session.lastError(), kErrOperationCancelled);
    std::string cwd;
    ASSERT_TRUE(session.getCurrentDirectory(cwd)) << session.lastError();
    EXPECT_EQ(cwd, "/still here");
    session.close();
    EXPECT_TRUE(contains(server.finish(), "ABOR"));
}

TEST(ScriptedListing, PassiveModeRefusedEverywhere) {
    ScriptedServer server([](ScriptedServer& s) {
        s.login();
        s.command(); // EPSV
        s.reply("502 EPSV not implemented.");
        s.command(); // PASV
        s.reply("502 PASV not implemented.");
        s.drain();
    });
    FtpSession session;
    ASSERT_TRUE(session.connect(optionsFor(server)));
    DirEntry e;
    EXPECT_FALSE(session.findFirstFile("*.*", e));
    EXPECT_EQ(session.lastError(), kErrFtpNoPassiveMode);
    EXPECT_EQ(session.lastResponse(), "502 PASV not implemented.");
    EXPECT_TRUE(session.isConnected());
}

TEST(ScriptedListing, MlsdOfferedButRefusedFallsBackToList) {
    ScriptedServer server([](ScriptedServer& s) {
        s.login({"MLST type*;size*;modify*;"});
        s.passive();
        s.command(); // MLSD
        s.reply("500 Unknown command.");
        s.closeData();
        s.passive();
        s.command(); // LIST
        s.reply("150 Here it comes.");
        s.sendData(kTwoLines);
        s.closeData();
        s.reply("226 Done.");
        s.drain();
    });
    FtpSession session;
    ASSERT_TRUE(session.connect(optionsFor(server)));
    DirEntry e;
    ASSERT_TRUE(session.findFirstFile("/pub/*.txt", e)) << session.lastError();
    EXPECT_EQ(e.name, "one.txt");
    EXPECT_FALSE(session.findNextFile(e));
    EXPECT_FALSE(session.usesMlsd());
    session.close();
    const auto commands = server.finish();
    EXPECT_TRUE(contains(commands, "MLSD /pub"));
    EXPECT_TRUE(contains(commands, "LIST -a /pub"));
}

TEST(ScriptedListing, MlsdFactsReachTheRecords) {
    ScriptedServer server([](ScriptedServer& s) {
        s.login({"MLST type*;size*;modify*;"});
        s.passive();
        s.command(); // MLSD
        s.reply("150 Here it comes.");
        s.sendData("type=cdir;modify=20200101000000; /pub\r\n"
                   "type=pdir;modify=20200101000000; ..\r\n"
                   "type=file;size=5000000000;modify=20200102030405;perm=r; big.iso\r\n"
                   "type=dir;modify=20200101000000;perm=flcdmpe; Sub\r\n");
        s.closeData();
        s.reply("226 Done.");
        s.drain();
    });
    FtpSession session;
    ASSERT_TRUE(session.connect(optionsFor(server)));
    std::vector<DirEntry> entries;
    DirEntry e;
    for (bool ok = session.findFirstFile("/pub/*.*", e); ok; ok = session.findNextFile(e))
        entries.push_back(e);
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].name, "big.iso");
    EXPECT_EQ(entries[0].size, 5000000000ULL);
    EXPECT_EQ(entries[0].attributes, kAttributeReadOnly | kAttributeArchive);
    EXPECT_EQ(entries[0].lastWriteTime, 1577934245);
    EXPECT_EQ(entries[1].attributes, kAttributeDirectory);
}

// Each server's dialect, found from its SYST reply and its lines, gives every entry; lines no
// parser reads are counted and told once per listing, and a clean listing tells nothing.
TEST(ScriptedListing, DialectsAreReadAndUnreadableLinesAreTold) {
    struct Row {
        const char* system;
        std::vector<std::string> chunks; // the listing, as the data connection delivers it
        std::vector<std::string> names;
        std::size_t unreadable;
        ListingFamily family;
    };
    const std::vector<Row> rows = {
        {"215 UNIX Type: L8",
         {"total 3\r\n-rw-r--r-- 1 u g 5 Jan 1 2020 one.txt\r\nsomething odd\r\n",
          "drwxr-xr-x 2 u g 4096 Jan 1 2020 two\r\n\r\n"},
         {"one.txt", "two"},
         1,
         ListingFamily::Unix},
        {"215 Windows_NT",
         {"01-15-24  10:00AM       <DIR>          Folder\r\n2024-01-15  17:38   1,048,576 "
          "a b.bin\r\n"},
         {"Folder", "a b.bin"},
         0,
         ListingFamily::Dos},
        // A long VMS name alone on its line, its details on the next, split across two reads.
        {"215 VMS V7.3-2 is the operating system of this server.",
         {"\r\nDirectory DKA0:[ANONYMOUS]\r\n\r\nA-RATHER-LONG-FILE-NAME.TXT;3\r\n     "
          "  12/15   ",
          " 1-JAN-2020 10:00:00  [GROUP,OWNER]  (RWED,RWED,RE,)\r\nSUB.DIR;1  1/3  "
          "2-JAN-2020 11:00  [GROUP,OWNER]  (RWE,RWE,RE,)\r\n\r\nTotal of 2 files, 13/18 "
          "blocks.\r\n"},
         {"A-RATHER-LONG-FILE-NAME.TXT;3", "SUB"},
         0,
         ListingFamily::Vms},
        {"215 MVS is the operating system of this server. FTP Server is running on z/OS.",
         {"Volume Unit    Referred Ext Used Recfm Lrecl BlkSz Dsorg Dsname\r\n"
          "WYOSPT 3420   2003/03/11  1    1  FB      80  3120  PS  ADUG.NCD\r\n"
          "B10142 3390   2006/03/20  2   31  F       80    80  PO  MACLIB\r\n"
          "Migrated                                                OLD.DATA\r\n"},
         {"ADUG.NCD", "MACLIB", "OLD.DATA"},
         0,
         ListingFamily::Mvs},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.system);
        ScriptedServer server([&row](ScriptedServer& s) {
            s.setSystem(row.system);
            s.login();
            s.passive();
            s.command(); // LIST
            s.reply("150 Here it comes.");
            for (const std::string& chunk : row.chunks) {
                s.sendData(chunk);
                s.sleepMs(20);
            }
            s.closeData();
            s.reply("226 Done.");
            s.drain();
        });
        std::vector<std::string> notices;
        SessionOptions o = optionsFor(server);
        o.notice = [&notices](const std::string& n) { notices.push_back(n); };
        FtpSession session;
        ASSERT_TRUE(session.connect(o));
        EXPECT_EQ(session.systemFamily(), row.family);
        std::vector<std::string> names;
        DirEntry e;
        for (bool ok = session.findFirstFile("*.*", e); ok; ok = session.findNextFile(e))
            names.push_back(e.name);
        EXPECT_EQ(names, row.names);
        EXPECT_EQ(session.unreadableEntries(), row.unreadable);
        if (row.unreadable) {
            ASSERT_EQ(notices.size(), 1u);
            EXPECT_EQ(notices[0], UnreadableEntriesText(row.unreadable, "something odd"));
            EXPECT_EQ(session.firstUnreadableEntry(), "something odd");
        } else {
            EXPECT_TRUE(notices.empty());
        }
        session.close();
        server.finish();
    }
}

// A stop that lands between two calls is forgotten; one during a transfer aborts it, and when
// the only answer to ABOR is a success the session resynchronises with NOOP, so the next
// command reads its own reply.
TEST(HostileServer, AbortReachesOnlyTheTransferInProgress) {
    ScriptedServer server([](ScriptedServer& s) {
        s.login();
        s.command(); // PWD
        s.reply("257 \"/first\"");
        s.passive();
        s.command(); // RETR
        s.reply("150 Opening BINARY mode data connection.");
        s.sendData(std::string(100, 'd'));
        if (s.command() == "ABOR") {
            s.reply("226 Transfer complete."); // late: ABOR's own answer is still to come
            s.sleepMs(400);
            s.reply("225 ABOR command successful.");
        }
        if (s.command() == "NOOP")
            s.reply("200 NOOP ok.");
        s.command(); // PWD
        s.reply("257 \"/second\"");
        s.drain();
    });
    FtpSession session;
    ASSERT_TRUE(session.connect(optionsFor(server, 3000)));
    session.abort(); // nothing in progress
    std::string cwd;
    ASSERT_TRUE(session.getCurrentDirectory(cwd)) << session.lastError();
    EXPECT_EQ(cwd, "/first");
    ASSERT_TRUE(session.openFile("file.bin", FtpSession::OpenMode::Read));
    char buf[16];
    std::size_t n = 0;
    ASSERT_TRUE(session.readFile(buf, sizeof buf, n));
    session.abort(); // between two reads of an open file: the transfer stops
    EXPECT_FALSE(session.readFile(buf, sizeof buf, n));
    EXPECT_EQ(session.lastError(), kErrOperationCancelled);
    EXPECT_FALSE(session.closeFile());
    ASSERT_TRUE(session.getCurrentDirectory(cwd)) << session.lastError();
    EXPECT_EQ(cwd, "/second");
    session.close();
    const auto commands = server.finish();
    EXPECT_TRUE(contains(commands, "NOOP"));
}
