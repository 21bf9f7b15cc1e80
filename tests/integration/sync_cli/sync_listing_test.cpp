// Both trees of a compare from real servers: a remote tree of a few hundred folders listed on
// several connections at once equals the local listing of the folder the server serves, and
// files are compared by the server's digests where it offers any.

#include "integration/sync_cli/sync_servers.h"

#include "ftp/file_digest.h"
#include "queue/connection_pool.h"
#include "queue/sync/sync_run.h"
#include "queue/sync/sync_tree.h"
#include "queue/transfer_queue.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <ctime>
#include <map>

namespace fs = std::filesystem;
namespace ts = tw::queue::sync;
using namespace tw::test;

namespace {

std::int64_t recentMinute(int minutesAgo) {
    std::int64_t t = (std::int64_t(std::time(nullptr)) / 60 - minutesAgo) * 60;
    return t % 86400 == 0 ? t - 60 : t;
}

std::int64_t truncated(std::int64_t t, ts::TimePrecision p) {
    switch (p) {
    case ts::TimePrecision::Day:
        return t / 86400 * 86400;
    case ts::TimePrecision::Minute:
        return t / 60 * 60;
    default:
        return t;
    }
}

class SyncListing : public testing::TestWithParam<SyncServerKind> {};

// 300 folders (some nested, names whose byte order and name-by-name order differ), 4 files
// each, a link, a partial and an unfinished upload: the same paths, kinds and sizes as a local
// walk, times equal at the listing's precision, in name-by-name order.
TEST_P(SyncListing, ParallelRemoteListingEqualsLocalWalk) {
    std::string why;
    const auto server = SyncServer::start(GetParam(), why);
    if (!server)
        GTEST_SKIP() << why;
    const fs::path root = server->folder() / "big";
    const std::int64_t t = recentMinute(90);
    for (int d = 0; d < 300; ++d) {
        // "a7/x", "a7/x-y" and "a7/x/z": '-' sorts before '/' byte by byte, after it name by name.
        const fs::path folder = root / (std::string("a").append(std::to_string(d / 3))) /
                                (d % 3 == 0   ? "x"
                                 : d % 3 == 1 ? "x-y"
                                              : "x/z");
        fs::create_directories(folder);
        for (int f = 0; f < 4; ++f)
            WriteDated(folder / (std::string("file").append(std::to_string(f)) + ".txt"),
                       std::string(std::size_t(d * 4 + f), 'q'), t - 60 * f + 7);
    }
    fs::create_symlink("a0/x/file1.txt", root / "link");
    WriteDated(root / ".half.bin.tw-part", "partial", t);
    WriteDated(root / "a1" / ".up.bin.tw-up", "unfinished", t);

    const std::atomic<bool> stop{false};
    const ts::SyncTree local = ts::ListLocalSyncTree(root.string(), stop);
    tw::queue::ConnectionPool pool(server->options(), 4, std::chrono::seconds(30), {});
    const ts::SyncTree remote = ts::ListRemoteSyncTree(pool, server->remotePath("big"), 4, stop);
    ASSERT_TRUE(remote.rootListed());
    EXPECT_TRUE(remote.unlisted.empty());
    EXPECT_GE(pool.openCount(), 2) << "listed on one connection only";
    // a*, their x, x-y and x/z, the files, the link
    ASSERT_EQ(local.entries.size(), 100u + 300u + 1200u + 1u);
    ASSERT_EQ(remote.entries.size(), local.entries.size());
    EXPECT_TRUE(std::is_sorted(
        remote.entries.begin(), remote.entries.end(),
        [](const auto& a, const auto& b) { return ts::SyncPathLess(a.path, b.path); }));
    for (std::size_t i = 0; i < local.entries.size(); ++i) {
        const ts::SyncEntry& l = local.entries[i];
        const ts::SyncEntry& r = remote.entries[i];
        SCOPED_TRACE(l.path);
        ASSERT_EQ(r.path, l.path);
        // Taken locally as the file it points to; pyftpdlib lists it so too, the others as a
        // link.
        const bool remoteLink = l.path == "link" && GetParam() != SyncServerKind::Pyftpdlib;
        EXPECT_EQ(r.kind, remoteLink ? ts::EntryKind::Link : l.kind);
        if (r.kind != ts::EntryKind::File)
            continue;
        EXPECT_EQ(r.size, l.size);
        EXPECT_EQ(r.precision, GetParam() == SyncServerKind::Vsftpd ? ts::TimePrecision::Minute
                                                                    : ts::TimePrecision::Second);
        EXPECT_EQ(r.time, truncated(l.time, r.precision));
        EXPECT_FALSE(r.unsafeName);
    }
    // Order by name: a folder right before its contents, "a1/x" and all in it before "a1/x-y".
    const auto at = [&](const std::string& p) {
        return std::find_if(remote.entries.begin(), remote.entries.end(),
                            [&](const auto& e) { return e.path == p; }) -
               remote.entries.begin();
    };
    EXPECT_EQ(at("a1/x") + 1, at("a1/x/file0.txt"));
    EXPECT_LT(at("a1/x/z/file3.txt"), at("a1/x-y"));
}

INSTANTIATE_TEST_SUITE_P(Servers, SyncListing,
                         testing::Values(SyncServerKind::Vsftpd, SyncServerKind::Pyftpdlib,
                                         SyncServerKind::Sftp),
                         [](const auto& info) { return SyncServerName(info.param); });

// A file's digest from the server, by HASH (after OPTS HASH), by the X commands, or none; the
// compare of same-size files by content on pooled connections.
TEST(SyncChecksums, ServerDigestsAndContentCompare) {
    struct Case {
        SyncServerKind kind;
        std::string mode;
        std::string algorithm; // empty: the server gives none
        std::string command;   // what the server's log shows for the first file
    };
    const std::vector<Case> cases = {
        {SyncServerKind::Pyftpdlib, "hash", "SHA-256", "OPTS HASH SHA-256"},
        {SyncServerKind::Pyftpdlib, "x", "MD5", "XMD5 "},
        {SyncServerKind::Vsftpd, "", "", ""},
        {SyncServerKind::Sftp, "", "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(SyncServerName(c.kind)) + " " + c.mode);
        std::string why;
        const auto server = SyncServer::start(c.kind, why, c.mode);
        if (!server) {
            ADD_FAILURE() << why;
            continue;
        }
        TempDir local;
        const std::vector<std::pair<std::string, std::string>> pairs = {
            {"same.txt", "same content"},   // and the same on the server
            {"other.txt", "first content"}, // the server's: same size, other bytes
            {"sub/deep.bin", std::string(70000, 'z')},
        };
        for (const auto& [path, data] : pairs) {
            fs::create_directories((local.path() / path).parent_path());
            fs::create_directories((server->folder() / "c" / path).parent_path());
            WriteDated(local.path() / path, data, 1600000000);
            WriteDated(server->folder() / "c" / path,
                       path == "other.txt" ? std::string("other content") : data, 1600000600);
        }
        tw::queue::ConnectionPool pool(server->options(), 2, std::chrono::seconds(30), {});
        auto session = pool.take();
        ASSERT_EQ(pool.connect(*session).kind, tw::queue::ConnectOutcome::Connected);
        const auto sum = session->fileChecksum(server->remotePath("c/sub/deep.bin"));
        pool.give(std::move(session));
        if (c.algorithm.empty()) {
            EXPECT_FALSE(sum.has_value());
        } else {
            ASSERT_TRUE(sum.has_value());
            EXPECT_EQ(sum->algorithm, c.algorithm);
            EXPECT_EQ(sum->hex, tw::ftp::FileDigestHex((local.path() / "sub/deep.bin").string(),
                                                       c.algorithm));
            EXPECT_NE(server->serverLog().find(c.command), std::string::npos);
        }

        const std::atomic<bool> stop{false};
        const ts::ContentMatches same =
            ts::CompareChecksums(pool, 2, {"same.txt", "other.txt", "sub/deep.bin"},
                                 local.path().string(), server->remotePath("c"), stop);
        if (c.algorithm.empty()) {
            EXPECT_TRUE(same.empty());
        } else {
            EXPECT_EQ(same, (ts::ContentMatches{
                                {"same.txt", true}, {"other.txt", false}, {"sub/deep.bin", true}}));
        }
    }
}

// A plan carried out on the queue after files changed behind its back, both ways: a source or a
// destination that is no longer what the compare saw is skipped, never copied over; the rest is
// copied, and a second compare finds only the changed files out of step.
TEST(SyncRun, FilesChangedSinceTheCompareAreLeftAlone) {
    std::string why;
    const auto server = SyncServer::start(SyncServerKind::Pyftpdlib, why);
    if (!server)
        GTEST_SKIP() << why;
    const std::int64_t t = recentMinute(60);
    for (const ts::SyncDirection direction :
         {ts::SyncDirection::Download, ts::SyncDirection::Upload}) {
        const bool down = direction == ts::SyncDirection::Download;
        SCOPED_TRACE(down ? "download" : "upload");
        TempDir local;
        const fs::path remoteDir = server->folder() / (down ? "down" : "up");
        const fs::path& source = down ? remoteDir : local.path();
        const fs::path& target = down ? local.path() : remoteDir;
        fs::create_directories(remoteDir / "sub");
        fs::create_directories(local.path() / "sub");
        for (const char* name : {"copied.txt", "sub/copied.txt", "source-changed.txt",
                                 "replaced.txt", "target-changed.txt"})
            WriteDated(source / name, std::string("source ") + name, t);
        for (const char* name : {"replaced.txt", "target-changed.txt"})
            WriteDated(target / name, "older", t - 3600);

        tw::queue::ConnectionPool pool(server->options(), 2, std::chrono::seconds(30), {});
        const std::atomic<bool> stop{false};
        const ts::SyncTree localTree = ts::ListLocalSyncTree(local.path().string(), stop);
        const ts::SyncTree remoteTree =
            ts::ListRemoteSyncTree(pool, server->remotePath(down ? "down" : "up"), 2, stop);
        ts::SyncOptions options;
        options.direction = direction;
        const ts::SyncPlan plan = ts::PlanSync(localTree, remoteTree, options);
        EXPECT_EQ(plan.copies, 3u);
        EXPECT_EQ(plan.replaces, 2u);

        // After the compare: a source rewritten (same size, another time), a destination
        // rewritten.
        WriteDated(source / "source-changed.txt", "SOURCE source-changed.txt", t + 120);
        WriteDated(target / "target-changed.txt", "edited since", t - 60);

        const std::string localRoot = local.path().string();
        const std::string remoteRoot = server->remotePath(down ? "down" : "up");
        tw::queue::QueueSettings settings;
        settings.maxConnections = 2;
        settings.copy.keepDates = true;
        settings.runner = ts::GuardedSyncRunner(plan, localRoot, remoteRoot,
                                                tw::queue::DefaultRunner(settings.copy));
        tw::queue::TransferQueue queue(server->options(), settings);
        queue.add(ts::SyncQueueRows(plan, localRoot, remoteRoot));
        ASSERT_TRUE(queue.waitIdle(std::chrono::seconds(30)));
        std::map<std::string, tw::queue::ItemState> states;
        for (const tw::queue::TransferItem& row : queue.snapshot()) {
            states[ts::SyncRowPath(row, localRoot)] = row.state;
            if (row.state == tw::queue::ItemState::Skipped) {
                EXPECT_EQ(row.error, "changed since the compare");
            }
        }
        using tw::queue::ItemState;
        EXPECT_EQ(states, (std::map<std::string, ItemState>{
                              {"copied.txt", ItemState::Done},
                              {"sub/copied.txt", ItemState::Done},
                              {"source-changed.txt", ItemState::Skipped},
                              {"replaced.txt", ItemState::Done},
                              {"target-changed.txt", ItemState::Skipped},
                          }));
        EXPECT_EQ(ReadWholeFile(target / "target-changed.txt"), "edited since");
        EXPECT_FALSE(fs::exists(target / "source-changed.txt"));
        EXPECT_EQ(ReadWholeFile(target / "replaced.txt"), "source replaced.txt");
        EXPECT_EQ(MtimeOf(target / "sub/copied.txt"), t);
    }
}

} // namespace
