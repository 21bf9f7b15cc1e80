// Deadlines and bounds of the engine against servers that never stop talking, never answer, or
// send without end: every wait ends by its deadline, and nothing grows without a bound.
#include "ftp/ftp_error.h"
#include "ftp/ftp_session.h"
#include "ftp/replacing_file.h"
#include "integration/ftp/scripted_session.h"

#include <gtest/gtest.h>

#include <netdb.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <mutex>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

using namespace tw::ftp;
using tw::test::contains;
using tw::test::kTwoLines;
using tw::test::optionsFor;
using tw::test::ScriptedServer;

namespace {

using Clock = std::chrono::steady_clock;
using Script = std::function<void(ScriptedServer&)>;
// The call under test, after connect() (or connect() itself when `connects` is false).
using Action = std::function<void(FtpSession&)>;

long long msSince(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

// Reads the client's commands without ever answering, until it leaves.
void silentUntilClosed(ScriptedServer& s) {
    while (!s.command().empty()) {
    }
}

// Sends `bytes` one piece every `gapMs` for at most 5 s, until the client leaves.
void trickle(ScriptedServer& s, const std::string& bytes, int gapMs) {
    const auto start = Clock::now();
    for (std::size_t i = 0; msSince(start) < 5000; i = (i + 1) % bytes.size()) {
        if (!s.sendRaw(bytes.substr(i, 1)))
            return;
        s.sleepMs(gapMs);
    }
}

void download(FtpSession& session) {
    if (!session.openFile("f.bin", FtpSession::OpenMode::Read))
        return;
    char buf[256];
    std::size_t n = 0;
    while (session.readFile(buf, sizeof buf, n) && n > 0) {
    }
    session.closeFile();
}

void list(FtpSession& session) {
    DirEntry e;
    session.findFirstFile("*.*", e);
}

struct TimedRow {
    const char* name;
    Script script;
    Action action; // nullptr: connect() is the call under test
    int timeoutMs;
    int boundMs;         // the call ends within this
    int error;           // with this error
    int stopAfterMs = 0; // abort() this long after the call started (0: no stop)
    bool passive = true;
};

// Runs every row at once, each against its own server, and checks each call's time and error.
// The rows run side by side so the table takes as long as its slowest row.
void runTimed(const std::vector<TimedRow>& rows) {
    struct Result {
        long long ms = 0;
        int error = 0;
    };
    std::vector<Result> results(rows.size());
    std::vector<std::thread> threads;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        threads.emplace_back([&row = rows[i], &result = results[i]] {
            ScriptedServer server(row.script);
            FtpSession session;
            SessionOptions o = optionsFor(server, row.timeoutMs);
            o.passive = row.passive;
            if (row.action && !session.connect(o)) {
                result.error = -session.lastError();
                server.finish();
                return;
            }
            std::thread stopper;
            auto start = Clock::now();
            if (row.stopAfterMs > 0)
                stopper = std::thread([&] {
                    std::this_thread::sleep_for(std::chrono::milliseconds(row.stopAfterMs));
                    start = Clock::now(); // from the stop on
                    session.abort();
                });
            if (row.action)
                row.action(session);
            else
                session.connect(o);
            if (stopper.joinable())
                stopper.join();
            result.ms = msSince(start);
            result.error = session.lastError();
            session.close(false);
            server.finish();
        });
    }
    for (auto& t : threads)
        t.join();
    for (std::size_t i = 0; i < rows.size(); ++i) {
        SCOPED_TRACE(rows[i].name);
        EXPECT_EQ(results[i].error, rows[i].error);
        EXPECT_LT(results[i].ms, rows[i].boundMs);
    }
}

} // namespace

// --- Deadlines -------------------------------------------------------------------------------

// A reply has one deadline, whatever trickles in before it: bytes, lines of a multi-line reply,
// or preliminary replies that promise the real one.
TEST(Deadlines, AReplyThatKeepsComingEndsByItsDeadline) {
    constexpr int kTimeout = 400;
    constexpr int kBound = 3 * kTimeout;
    const auto afterLogin = [](Script rest) {
        return [rest](ScriptedServer& s) {
            s.login();
            rest(s);
        };
    };
    const Action cwd = [](FtpSession& s) { s.setCurrentDirectory("/pub"); };
    // No announced size: without the final reply nothing says the download is complete.
    const Script slowFinalReply = [](ScriptedServer& s) {
        s.passive();
        s.command(); // RETR
        s.reply("150 Opening BINARY mode data connection.");
        s.sendData("data");
        s.closeData();
        trickle(s, "226 Transfer complete.\r\n", 20);
    };
    const Script drippingListing = [](ScriptedServer& s) {
        s.passive();
        s.command(); // LIST
        s.reply("150 Here it comes.");
        const std::string line = "-rw-r--r-- 1 u g 5 Jan 1 2020 one.txt\r\n";
        const auto start = Clock::now();
        for (std::size_t i = 0; msSince(start) < 5000; i = (i + 1) % line.size()) {
            if (!s.sendData(line.substr(i, 1)))
                break;
            s.sleepMs(50);
        }
    };
    runTimed({
        {"greeting, a byte every 20 ms", [](ScriptedServer& s) { trickle(s, "220 Hello", 20); },
         nullptr, kTimeout, kBound, kErrTimeout},
        {"greeting, a line every 50 ms",
         [](ScriptedServer& s) { trickle(s, "220-Welcome\r\n", 4); }, nullptr, kTimeout, kBound,
         kErrTimeout},
        {"greeting, \"120\" every 100 ms",
         [](ScriptedServer& s) { trickle(s, "120 Ready soon.\r\n", 6); }, nullptr, kTimeout, kBound,
         kErrTimeout},
        {"CWD, a preliminary reply every 100 ms",
         afterLogin([](ScriptedServer& s) { trickle(s, "150 Working.\r\n", 7); }), cwd, kTimeout,
         kBound, kErrTimeout},
        {"CWD, a byte every 20 ms", afterLogin([](ScriptedServer& s) {
             s.command();
             trickle(s, "250 Done.", 20);
         }),
         cwd, kTimeout, kBound, kErrTimeout},
        {"final reply after the data, a byte every 20 ms", afterLogin(slowFinalReply), download,
         kTimeout, kBound, kErrTimeout},
        {"listing, a byte every 50 ms", afterLogin(drippingListing), list, kTimeout, kBound,
         kErrTimeout},
    });
}

// A server that stops answering costs the timeout and at most a second more (ABOR's answer),
// never two timeouts; a stop ends a stalled transfer within a second or so.
TEST(Deadlines, GiveUpTimesAreTheTimeoutAndASecond) {
    constexpr int kTimeout = 2000;
    constexpr int kBound = kTimeout + 1000 + 600; // two timeouts would be 4000
    const Script silentAfterLogin = [](ScriptedServer& s) {
        s.login();
        silentUntilClosed(s);
    };
    const Script stalledDownload = [](ScriptedServer& s) {
        s.login();
        s.passive();
        s.command(); // RETR
        s.reply("150 Opening BINARY mode data connection.");
        s.sendData(std::string(1000, 'd'));
        silentUntilClosed(s); // ABOR is never answered either
    };
    const Script stalledListing = [](ScriptedServer& s) {
        s.login();
        s.passive();
        s.command(); // LIST
        s.reply("150 Here it comes.");
        s.sendData("-rw-r--r-- 1 u g 5 Jan 1 2020 one.txt\r\n");
        silentUntilClosed(s);
    };
    const Script neverConnects = [](ScriptedServer& s) {
        s.login();
        s.command(); // EPRT
        s.reply("200 EPRT command successful.");
        s.command(); // RETR
        s.reply("150 Opening BINARY mode data connection.");
        silentUntilClosed(s);
    };
    runTimed({
        {"silent EPSV and PASV", silentAfterLogin, list, kTimeout, kBound, kErrTimeout},
        {"stalled download", stalledDownload, download, kTimeout, kBound, kErrTimeout},
        {"stalled listing", stalledListing, list, kTimeout, kBound, kErrTimeout},
        {"active mode, the server never connects", neverConnects, download, kTimeout, kBound,
         kErrTimeout, 0, false},
        {"stop during a stalled download", stalledDownload, download, 5000, 2000,
         kErrOperationCancelled, 300},
    });
}

// --- Bounds ----------------------------------------------------------------------------------

// A listing past its bounds stops there: what was read is kept and the search ends with
// kErrListingTooLarge, told once; an over-long line is no entry, and the session goes on.
TEST(Bounds, ListingsStopAtTheirBoundsAndKeepWhatWasRead) {
    ListingLimits limits;
    limits.lineBytes = 1024;
    limits.textBytes = 1 << 20;
    limits.entryBytes = 256 * 1024;
    const std::string longName(900, 'n');
    const auto entryLine = [&](int i) {
        return "-rw-r--r-- 1 u g 5 Jan 1 2020 " + longName + std::to_string(i) + "\r\n";
    };
    struct Row {
        const char* name;
        std::function<bool(ScriptedServer&)> send; // false: the client cut the data connection
        int error;
        std::size_t minEntries;
        std::size_t maxEntries;
        std::size_t unreadable;
    };
    const std::vector<Row> rows = {
        {"a flood without a line end",
         [](ScriptedServer& s) {
             const std::string chunk(64 * 1024, 'x');
             for (int i = 0; i < 1000; ++i) // 64 MB at most
                 if (!s.sendData(chunk))
                     return false;
             return true;
         },
         kErrListingTooLarge, 0, 0, 1},
        {"endless entries with long names",
         [&](ScriptedServer& s) {
             for (int i = 0; i < 100000; ++i)
                 if (!s.sendData(entryLine(i)))
                     return false;
             return true;
         },
         kErrListingTooLarge, 100, limits.entryBytes / (sizeof(DirEntry) + longName.size()), 0},
        {"an over-long line between two entries",
         [](ScriptedServer& s) {
             return s.sendData("-rw-r--r-- 1 u g 5 Jan 1 2020 one.txt\r\n") &&
                    s.sendData(std::string(700, 'L')) && s.sendData(std::string(5000, 'L')) &&
                    s.sendData("\r\ndrwxr-xr-x 2 u g 4096 Jan 1 2020 two\r\n");
         },
         kErrNoMoreFiles, 2, 2, 1},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ScriptedServer server([&row](ScriptedServer& s) {
            s.login();
            s.passive();
            s.command(); // LIST
            s.reply("150 Here it comes.");
            const bool whole = row.send(s);
            s.closeData();
            if (whole) {
                s.reply("226 Done.");
            } else if (s.command() == "ABOR") {
                s.reply("426 Transfer aborted.");
                s.reply("226 ABOR command successful.");
            }
            s.command(); // PWD
            s.reply("257 \"/in step\"");
            s.drain();
        });
        std::vector<std::string> notices;
        SessionOptions o = optionsFor(server, 3000);
        o.listingLimits = limits;
        o.notice = [&notices](const std::string& n) { notices.push_back(n); };
        FtpSession session;
        ASSERT_TRUE(session.connect(o));
        std::vector<DirEntry> entries;
        DirEntry e;
        for (bool ok = session.findFirstFile("*.*", e); ok; ok = session.findNextFile(e))
            entries.push_back(e);
        EXPECT_EQ(session.lastError(), row.error);
        EXPECT_GE(entries.size(), row.minEntries);
        EXPECT_LE(entries.size(), row.maxEntries);
        EXPECT_EQ(session.unreadableEntries(), row.unreadable);
        if (row.unreadable > 0) {
            EXPECT_EQ(session.firstUnreadableEntry().substr(0, 3),
                      std::string(3, row.error == kErrNoMoreFiles ? 'L' : 'x'));
        }
        const bool told = std::any_of(notices.begin(), notices.end(), [](const std::string& n) {
            return n.find("too large") != std::string::npos;
        });
        EXPECT_EQ(told, row.error == kErrListingTooLarge);
        std::string cwd;
        ASSERT_TRUE(session.getCurrentDirectory(cwd)) << session.lastError();
        EXPECT_EQ(cwd, "/in step");
        session.close();
        server.finish();
    }
}

namespace {

// A name server that answers only when told to.
std::mutex g_resolverMutex;
std::condition_variable g_resolverWake;
bool g_resolverAnswers = false;

int hangingLookup(const char*, const char*, const addrinfo*, addrinfo**) {
    std::unique_lock lock(g_resolverMutex);
    g_resolverWake.wait(lock, [] { return g_resolverAnswers; });
    return EAI_NONAME;
}

std::size_t openDescriptors() {
    std::size_t n = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd"))
        ++n;
    return n;
}

} // namespace

// Lookups that never end cannot pile up: a few wait at once, the next connect fails at once
// with its own error, and when the name server answers every thread and descriptor goes.
TEST(Bounds, NameLookupsThatNeverAnswerArePutToAnEnd) {
    // What the runtime opens once, at the first thread (a sanitizer's own descriptors), is
    // not the lookups': counted before the baseline.
    std::thread([] { FtpSession warmUp; }).join();
    const std::size_t descriptors = openDescriptors();
    SetNameLookupFunction(hangingLookup);
    SessionOptions o;
    o.host = "never.answers.example";
    o.timeoutMs = 200;
    std::vector<int> errors(3 * kMaxPendingNameLookups);
    std::vector<std::thread> connects;
    const auto start = Clock::now();
    for (int& error : errors)
        connects.emplace_back([&error, &o] {
            FtpSession session;
            session.connect(o);
            error = session.lastError();
        });
    for (auto& t : connects)
        t.join();
    EXPECT_LT(msSince(start), 3000);
    EXPECT_EQ(std::count(errors.begin(), errors.end(), kErrTimeout), kMaxPendingNameLookups);
    EXPECT_EQ(std::count(errors.begin(), errors.end(), kErrTooManyLookups),
              2 * kMaxPendingNameLookups);
    EXPECT_EQ(PendingNameLookups(), kMaxPendingNameLookups);
    {
        std::lock_guard lock(g_resolverMutex);
        g_resolverAnswers = true;
    }
    g_resolverWake.notify_all();
    for (int waited = 0; PendingNameLookups() > 0 && waited < 5000; waited += 10)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(PendingNameLookups(), 0);
    {
        FtpSession session; // the places are free again, and the answer is the name server's
        EXPECT_FALSE(session.connect(o));
        EXPECT_EQ(session.lastError(), kErrNameNotResolved);
    }
    SetNameLookupFunction(nullptr);
    // That last lookup's thread may still be on its way out, its pipe with it.
    for (int waited = 0; PendingNameLookups() > 0 && waited < 5000; waited += 10)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_LE(openDescriptors(), descriptors);
}

namespace {

std::string readAll(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::vector<std::string> folderNames(const std::filesystem::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

int linkUnavailable(int, const char*) {
    return ENOENT; // as linkat through /proc/self/fd where /proc is not mounted
}

} // namespace

// Whether or not the unnamed file can be linked, a download replaces its destination in one
// step, keeps the replaced file's permissions, and leaves nothing behind; where linking fails,
// the files that follow are hidden part files from the start.
TEST(Bounds, DownloadsReplaceTheirFileWithOrWithoutLinking) {
    for (const bool linkWorks : {true, false}) {
        SCOPED_TRACE(linkWorks ? "link works" : "link fails");
        char pattern[] = "/tmp/tw-replacing-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        const std::filesystem::path folder(pattern);
        const auto dest = folder / "file.bin";
        std::ofstream(dest) << "old";
        ::chmod(dest.c_str(), 0640);
        ReplacingFile::setLinkFunction(linkWorks ? nullptr : linkUnavailable);
        for (int round = 0; round < 2; ++round) {
            ReplacingFile file;
            ASSERT_EQ(file.open(dest.string()), 0);
            const std::string data = "new data " + std::to_string(round);
            ASSERT_EQ(::write(file.fd(), data.data(), data.size()), ssize_t(data.size()));
            // Only after a failed link does a named part file show while writing.
            const bool named = !linkWorks && round == 1;
            EXPECT_EQ(folderNames(folder).size(), named ? 2u : 1u);
            EXPECT_EQ(readAll(dest), round == 0 ? "old" : "new data 0");
            ASSERT_EQ(file.commit(), 0);
            EXPECT_EQ(readAll(dest), data);
            EXPECT_EQ(folderNames(folder), std::vector<std::string>{"file.bin"});
            struct stat info {};
            ASSERT_EQ(::stat(dest.c_str(), &info), 0);
            EXPECT_EQ(info.st_mode & 07777, 0640u);
        }
        ReplacingFile dropped;
        ASSERT_EQ(dropped.open(dest.string()), 0);
        dropped.discard();
        EXPECT_EQ(folderNames(folder), std::vector<std::string>{"file.bin"});
        ReplacingFile::setLinkFunction(nullptr);
        std::filesystem::remove_all(folder);
    }
}
