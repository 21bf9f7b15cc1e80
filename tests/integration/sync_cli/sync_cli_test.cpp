// tarnwick-ftp mirror end to end against vsftpd (LIST, minute times) and sshd's SFTP: the plan
// shown by --dry-run, the run that carries it out, a second run that finds nothing to do,
// deletes and their refusal, and a run stopped half-way that the next run finishes.

#include "integration/queue/scripted_servers.h"
#include "integration/sync_cli/sync_servers.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <ctime>
#include <fstream>
#include <set>
#include <sstream>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace tw::test;

namespace {

std::set<std::string> linesOf(const std::string& text) {
    std::set<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.insert(line);
    return lines;
}

// Minutes ago, on a whole minute and not at midnight (LIST would show a day only).
std::int64_t recentMinute(int minutesAgo) {
    std::int64_t t = (std::int64_t(std::time(nullptr)) / 60 - minutesAgo) * 60;
    return t % 86400 == 0 ? t - 60 : t;
}

ino_t inodeOf(const fs::path& p) {
    struct stat st {};
    return ::lstat(p.c_str(), &st) == 0 ? st.st_ino : 0;
}

// The tree without the paths named.
std::map<std::string, std::string> without(std::map<std::string, std::string> tree,
                                           const std::vector<std::string>& paths) {
    for (const auto& p : paths)
        tree.erase(p);
    return tree;
}

class SyncCli : public testing::TestWithParam<SyncServerKind> {
protected:
    void SetUp() override {
        std::string why;
        m_server = SyncServer::start(GetParam(), why);
        if (!m_server)
            GTEST_SKIP() << why;
    }
    CliOutcome mirror(std::vector<std::string> args) const {
        std::vector<std::string> all = {"mirror"};
        const auto login = m_server->loginArguments();
        all.insert(all.end(), login.begin(), login.end());
        all.insert(all.end(), args.begin(), args.end());
        return RunCli(all);
    }

    std::unique_ptr<SyncServer> m_server;
    TempDir m_local;
};

// Both trees differ in every way a mirror must tell apart. The dry run lists each action with
// its reason, the run carries them out, the next run finds both sides in step; --delete removes
// what the source lacks and nothing excluded or hidden; back up the other way, the same.
TEST_P(SyncCli, DryRunRunInStepDeleteAndBack) {
    const fs::path site = m_server->folder() / "site";
    const fs::path copy = m_local.path() / "copy";
    const std::int64_t t = recentMinute(180), later = t + 600;
    const std::string latin1 = "caf\xe9.txt";
    struct File {
        fs::path root;
        std::string path;
        std::string data;
        std::int64_t time;
    };
    const std::vector<File> files = {
        {site, "only-remote.txt", "remote only", t},
        {site, "remote-newer.txt", "new remote", later},
        {copy, "remote-newer.txt", "old", t},
        {site, "local-newer.txt", "older", t},
        {copy, "local-newer.txt", "newer here", later},
        {site, "sized.bin", std::string(3000, 's'), t},
        {copy, "sized.bin", std::string(2000, 's'), t},
        {site, "same.txt", "same", t},
        {copy, "same.txt", "same", t},
        {site, "deep/er/nested.txt", "nested", t},
        {site, "Case.txt", "upper", t},
        {copy, "case.txt", "lower", t},
        {site, latin1, "latin-1 name", t},
        {site, "notes.bak", "excluded", t},
        {copy, "keep.bak", "excluded here too", t},
        {site, ".big.bin.tw-part", "a partial download", t},
        {copy, ".big.bin.tw-part", "a partial download", t},
        {copy, "only-local.txt", "local only", t},
    };
    for (const File& f : files) {
        fs::create_directories((f.root / f.path).parent_path());
        WriteDated(f.root / f.path, f.data, f.time);
    }
    fs::create_symlink("same.txt", site / "link");
    const std::string url = m_server->url("site");

    struct Step {
        std::vector<std::string> args;
        int status;
        std::set<std::string> lines; // of standard output
        std::string inErr;
    };
    const std::string summaryOnly = "0 copied, 0 deleted, 0 failed, 0 conflicts";
    const std::vector<Step> steps = {
        {{"-n", "--exclude", "*.bak", url, copy.string()},
         5,
         {"copy  Case.txt  (not there yet)", "copy  caf\\xe9.txt  (not there yet)",
          "skip  case.txt  (not on the source; deleting is off)", "copy  deep/  (not there yet)",
          "copy  deep/er/  (not there yet)", "copy  deep/er/nested.txt  (not there yet)",
          "skip  keep.bak  (excluded)",
          "skip  link  (a link; links are neither followed nor replaced)",
          "skip  local-newer.txt  (the destination is newer; it is never replaced by an older "
          "file)",
          "skip  notes.bak  (excluded)",
          "skip  only-local.txt  (not on the source; deleting is off)",
          "copy  only-remote.txt  (not there yet)",
          "replace  remote-newer.txt  (the source is newer)",
          "replace  sized.bin  (same time, another size)",
          "6 copies, 2 replaces, 0 deletes, 0 conflicts, 6 skips; 3.0 KiB to copy"},
         ""},
        {{"-P", "3", "--exclude", "*.bak", url, copy.string()},
         5,
         {"8 copied, 0 deleted, 0 failed, 0 conflicts"},
         "local-newer.txt: the destination is newer"},
        {{"--exclude", "*.bak", url, copy.string()}, 0, {summaryOnly}, ""},
        {{"--delete", "--exclude", "*.bak", url, copy.string()},
         5,
         {"0 copied, 2 deleted, 0 failed, 0 conflicts"},
         ""},
        {{"-n", "--delete", "--exclude", "*.bak", url, copy.string()},
         0,
         {"skip  keep.bak  (excluded)",
          "skip  link  (a link; links are neither followed nor replaced)",
          "skip  local-newer.txt  (the destination is newer; it is never replaced by an older "
          "file)",
          "skip  notes.bak  (excluded)",
          "0 copies, 0 replaces, 0 deletes, 0 conflicts, 4 skips; 0 B to copy"},
         ""},
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(testing::PrintToString(s.args));
        const CliOutcome o = mirror(s.args);
        EXPECT_EQ(o.status, s.status) << o.err;
        EXPECT_EQ(linesOf(o.out), s.lines) << o.out;
        EXPECT_NE(o.err.find(s.inErr), std::string::npos) << o.err;
    }
    // Byte for byte and date for date where copied; the newer local file, the excluded and the
    // partial ones untouched; what the source lacked deleted.
    EXPECT_EQ(without(TreeOf(copy), {"local-newer.txt", "keep.bak"}),
              without(TreeOf(site), {"local-newer.txt", "notes.bak", "link"}));
    EXPECT_EQ(ReadWholeFile(copy / "local-newer.txt"), "newer here");
    EXPECT_TRUE(fs::exists(copy / "keep.bak"));
    EXPECT_FALSE(fs::exists(copy / "notes.bak"));
    EXPECT_FALSE(fs::exists(copy / "case.txt"));
    EXPECT_FALSE(fs::exists(copy / "only-local.txt"));

    // Up into a folder the server lacks: made, filled; the next run finds nothing to copy.
    fs::remove(copy / ".big.bin.tw-part");
    const std::string back = m_server->url("back");
    CliOutcome o = mirror({"--reverse", "-P", "2", copy.string(), back});
    EXPECT_EQ(o.status, 5) << o.err;
    EXPECT_EQ(o.out, "11 copied, 0 deleted, 0 failed, 0 conflicts\n") << o.err;
    const auto up = TreeOf(m_server->folder() / "back");
    auto mine = TreeOf(copy);
    ASSERT_EQ(up.size(), mine.size());
    for (const auto& [path, shape] : mine) {
        const auto there = up.find(path);
        ASSERT_NE(there, up.end()) << path;
        // Size and content; the date too where the server lets a time be set.
        EXPECT_EQ(there->second.substr(0, there->second.rfind('@')),
                  shape.substr(0, shape.rfind('@')))
            << path;
    }
    o = mirror({"--reverse", copy.string(), back});
    EXPECT_EQ(o.status, 0) << o.err;
    EXPECT_EQ(o.out, summaryOnly + "\n");
}

// A delete that would empty the destination is refused, before anything changes, until
// --delete-all allows it; then it deletes files and folders, contents first.
TEST_P(SyncCli, DeletingEverythingNeedsDeleteAll) {
    fs::create_directories(m_server->folder() / "empty");
    const fs::path full = m_local.path() / "full";
    fs::create_directories(full / "sub");
    WriteDated(full / "a.txt", "a", recentMinute(30));
    WriteDated(full / "sub" / "b.txt", "b", recentMinute(30));
    const std::string url = m_server->url("empty");

    CliOutcome o = mirror({"--delete", url, full.string()});
    EXPECT_EQ(o.status, 2);
    EXPECT_NE(o.err.find("--delete would delete every file in " + full.string() +
                         " (3 entries); give --delete-all to allow that. Nothing was changed."),
              std::string::npos)
        << o.err;
    EXPECT_EQ(o.out, "");
    EXPECT_EQ(TreeOf(full).size(), 3u);

    o = mirror({"--delete", "--delete-all", url, full.string()});
    EXPECT_EQ(o.status, 5) << o.err;
    EXPECT_EQ(o.out, "0 copied, 3 deleted, 0 failed, 0 conflicts\n");
    EXPECT_TRUE(fs::is_directory(full));
    EXPECT_TRUE(TreeOf(full).empty());
}

INSTANTIATE_TEST_SUITE_P(Servers, SyncCli,
                         testing::Values(SyncServerKind::Vsftpd, SyncServerKind::Sftp),
                         [](const auto& info) { return SyncServerName(info.param); });

// What each compare option changes in the plan, on a server that lists seconds and offers HASH:
// the same five pairs of files planned under each option set.
TEST(SyncCliOptions, EachOptionChangesThePlan) {
    std::string why;
    const auto server = SyncServer::start(SyncServerKind::Pyftpdlib, why, "hash");
    if (!server)
        GTEST_SKIP() << why;
    const fs::path site = server->folder() / "site";
    TempDir local;
    const fs::path copy = local.path() / "copy";
    fs::create_directories(site);
    fs::create_directories(copy);
    const std::int64_t t = recentMinute(600);
    struct Pair {
        std::string name;
        std::string remote;
        std::int64_t remoteTime;
        std::string local; // empty: missing locally
        std::int64_t localTime;
    };
    for (const Pair& p : std::vector<Pair>{
             {"a.txt", "AAAA", t + 3600, "AAAA", t}, // the server's newer, same bytes
             {"b.txt", "BBBB", t + 3600, "bbbb", t}, // the server's newer, same size
             {"c.txt", "CC", t, "CCC", t + 7200},    // the local one newer and bigger
             {"d.txt", "new", t, "", 0},             // missing locally
             {"e.txt", "EE", t, "EEE", t},           // same time, other size
         }) {
        WriteDated(site / p.name, p.remote, p.remoteTime);
        if (!p.local.empty())
            WriteDated(copy / p.name, p.local, p.localTime);
    }
    const std::string newer = "skip  c.txt  (the destination is newer; it is never replaced by "
                              "an older file)";
    const std::string copyD = "copy  d.txt  (not there yet)";
    struct Case {
        std::vector<std::string> options;
        std::set<std::string> lines;
    };
    const std::vector<Case> cases = {
        {{},
         {"replace  a.txt  (the source is newer)", "replace  b.txt  (the source is newer)", newer,
          copyD, "replace  e.txt  (same time, another size)",
          "1 copy, 3 replaces, 0 deletes, 0 conflicts, 1 skip; 13 B to copy"}},
        {{"--checksum"},
         {"skip  a.txt  (same content by checksum; only the times differ)",
          "replace  b.txt  (the source is newer)", newer, copyD,
          "replace  e.txt  (same time, another size)",
          "1 copy, 2 replaces, 0 deletes, 0 conflicts, 2 skips; 9 B to copy"}},
        {{"--only-missing"},
         {"skip  a.txt  (exists; only missing files are copied)",
          "skip  b.txt  (exists; only missing files are copied)",
          "skip  c.txt  (exists; only missing files are copied)", copyD,
          "skip  e.txt  (exists; only missing files are copied)",
          "1 copy, 0 replaces, 0 deletes, 0 conflicts, 4 skips; 3 B to copy"}},
        {{"--only-newer"},
         {"replace  a.txt  (the source is newer)", "replace  b.txt  (the source is newer)", newer,
          copyD, "skip  e.txt  (the source is not newer; only newer files are copied)",
          "1 copy, 2 replaces, 0 deletes, 0 conflicts, 2 skips; 11 B to copy"}},
        {{"--time-only"},
         {"replace  a.txt  (the source is newer)", "replace  b.txt  (the source is newer)", newer,
          copyD, "1 copy, 2 replaces, 0 deletes, 0 conflicts, 1 skip; 11 B to copy"}},
        // Sizes alone: a and b in step, the newer local c replaced since only sizes count.
        {{"--size-only"},
         {"replace  c.txt  (same time, another size)", copyD,
          "replace  e.txt  (same time, another size)",
          "1 copy, 2 replaces, 0 deletes, 0 conflicts, 0 skips; 7 B to copy"}},
        // The server's clock an hour ahead: a and b in step, e older than the local one.
        {{"--time-offset", "-1h"},
         {newer, copyD,
          "skip  e.txt  (the destination is newer; it is never replaced by an older file)",
          "1 copy, 0 replaces, 0 deletes, 0 conflicts, 2 skips; 3 B to copy"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.options));
        std::vector<std::string> args = {"mirror", "-n"};
        args.insert(args.end(), c.options.begin(), c.options.end());
        args.insert(args.end(), {server->url("site"), copy.string()});
        const CliOutcome o = RunCli(args);
        EXPECT_EQ(o.status, 5) << o.err;
        EXPECT_EQ(linesOf(o.out), c.lines) << o.out;
    }
    // Carried out: what the plan said, and nothing left to do after it.
    CliOutcome o = RunCli({"mirror", "--size-only", server->url("site"), copy.string()});
    EXPECT_EQ(o.status, 5) << o.err;
    EXPECT_EQ(o.out, "3 copied, 0 deleted, 0 failed, 0 conflicts\n");
    for (const auto& [name, data] :
         std::vector<std::pair<std::string, std::string>>{{"a.txt", "AAAA"},
                                                          {"b.txt", "bbbb"},
                                                          {"c.txt", "CC"},
                                                          {"d.txt", "new"},
                                                          {"e.txt", "EE"}})
        EXPECT_EQ(ReadWholeFile(copy / name), data) << name;
    o = RunCli({"mirror", "-n", "--size-only", server->url("site"), copy.string()});
    EXPECT_EQ(o.status, 0) << o.out;
}

// A folder the server will not list is said, and nothing under it is deleted or copied, while
// the rest of the tree is mirrored with --delete as usual.
TEST(SyncCliUnlisted, NothingBelowAFolderThatCannotBeListedIsDeleted) {
    FakeFtp::Behaviour b;
    b.unlistable = {"/site/locked"};
    FakeFtp fake(b);
    fake.folder("/site");
    fake.folder("/site/locked");
    fake.put("/site/locked/inside.txt", "unseen");
    fake.put("/site/a.txt", "a", 1700000000);
    ScriptedServers servers([&](ScriptedServer& s, int n) { fake.serve(s, n); });
    TempDir local;
    const fs::path copy = local.path() / "copy";
    fs::create_directories(copy / "locked");
    WriteDated(copy / "locked" / "precious.txt", "keep me", 1700000000);
    WriteDated(copy / "extra.txt", "goes", 1700000000);

    const CliOutcome o =
        RunCli({"mirror", "--delete", "-P", "2",
                "ftp://127.0.0.1:" + std::to_string(servers.port()) + "/site", copy.string()});
    EXPECT_EQ(o.status, 5) << o.err;
    EXPECT_EQ(o.out, "1 copied, 1 deleted, 0 failed, 0 conflicts\n");
    EXPECT_NE(o.err.find("cannot list /site/locked: "), std::string::npos) << o.err;
    EXPECT_NE(o.err.find("; nothing inside it is copied or deleted"), std::string::npos) << o.err;
    EXPECT_EQ(ReadWholeFile(copy / "locked" / "precious.txt"), "keep me");
    EXPECT_FALSE(fs::exists(copy / "locked" / "inside.txt"));
    EXPECT_FALSE(fs::exists(copy / "extra.txt"));
    EXPECT_EQ(ReadWholeFile(copy / "a.txt"), "a");
    EXPECT_EQ(MtimeOf(copy / "a.txt"), 1700000000);
}

// A mirror stopped by Ctrl+C after its first files, against a server slow enough to stop it
// there: the next run copies only the rest (no finished file is fetched again) and a third
// finds nothing to do.
TEST(SyncCliStopped, StoppedRunConvergesWithoutCopyingTwice) {
    std::string why;
    const auto server =
        FtpTestServer::startThrottled(FtpTestServer::Kind::Vsftpd, "127.0.0.1", 256 * 1024, why);
    if (!server)
        GTEST_SKIP() << why;
    const fs::path site = server->root() / "slow";
    constexpr int kFiles = 8;
    fs::create_directories(site);
    for (int i = 0; i < kFiles; ++i)
        WritePatternFile(site / (std::string("f").append(std::to_string(i)) + ".bin"), 128 * 1024,
                         unsigned(i));
    TempDir local;
    const fs::path copy = local.path() / "copy";
    const std::string url = "ftp://127.0.0.1:" + std::to_string(server->port()) + "/slow";

    const fs::path output = local.path() / "first-run.txt";
    const pid_t pid = StartCli({"mirror", "-P", "1", url, copy.string()}, output);
    // Stopped once two files have arrived whole.
    const auto finished = [&] {
        std::vector<fs::path> done;
        if (fs::is_directory(copy))
            for (const auto& e : fs::directory_iterator(copy))
                if (e.path().filename().string()[0] != '.')
                    done.push_back(e.path());
        return done;
    };
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (finished().size() < 2 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    ::kill(pid, SIGINT);
    EXPECT_EQ(WaitCli(pid), 130) << ReadWholeFile(output);
    const std::vector<fs::path> first = finished();
    ASSERT_GE(first.size(), 2u);
    ASSERT_LT(first.size(), std::size_t(kFiles));
    std::map<fs::path, ino_t> inodes;
    for (const auto& p : first)
        inodes[p] = inodeOf(p);

    CliOutcome o = RunCli({"mirror", "-P", "2", url, copy.string()});
    EXPECT_EQ(o.status, 5) << o.err;
    EXPECT_EQ(o.out, std::to_string(kFiles - first.size()) +
                         " copied, 0 deleted, 0 failed, 0 conflicts\n");
    EXPECT_EQ(TreeOf(copy), TreeOf(site));
    for (const auto& [p, inode] : inodes)
        EXPECT_EQ(inodeOf(p), inode) << p << " was copied again";
    // The server sent each finished file once.
    const std::string log = server->serverLog();
    for (const auto& p : first) {
        std::size_t sent = 0;
        for (std::size_t at = log.find("RETR "); at != std::string::npos;
             at = log.find("RETR ", at + 1))
            sent += log.compare(log.find('"', at) - p.filename().string().size(),
                                p.filename().string().size(), p.filename().string()) == 0;
        EXPECT_EQ(sent, 1u) << p;
    }
    o = RunCli({"mirror", url, copy.string()});
    EXPECT_EQ(o.status, 0) << o.err;
}

} // namespace
