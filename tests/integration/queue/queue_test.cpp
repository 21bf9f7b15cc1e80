// The transfer queue against real servers (vsftpd, pyftpdlib) and a scripted one that
// misbehaves: folder trees both ways, recursive delete, resume, retries, connection limits.

#include "ftp/ftp_error.h"
#include "integration/ftp/ftp_test_servers.h"
#include "queue/delete_tree.h"
#include "queue/queue_paths.h"
#include "queue/transfer_queue.h"
#include "scripted_servers.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <fcntl.h>
#include <fstream>
#include <map>
#include <mutex>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using namespace tw::queue;
using tw::test::FakeFtp;
using tw::test::FtpTestServer;
using tw::test::PatternBytes;
using tw::test::ScriptedServer;
using tw::test::ScriptedServers;
using tw::test::TempDir;
namespace fs = std::filesystem;

namespace {

// Hears everything the queue tells.
class Recorder : public QueueObserver {
public:
    void rowsAdded(const std::vector<TransferItem>& rows) override { keep(rows); }
    void rowsChanged(const std::vector<TransferItem>& rows) override { keep(rows); }
    void rowsInserted(std::int64_t replaced, const std::vector<TransferItem>& rows) override {
        std::lock_guard lock(m_mutex);
        m_rows.erase(replaced);
        for (const auto& r : rows)
            m_rows[r.id] = r;
    }
    void notice(const std::string& line) override {
        std::lock_guard lock(m_mutex);
        m_notices.push_back(line);
    }
    void idle() override {
        std::lock_guard lock(m_mutex);
        ++m_idle;
    }

    std::vector<std::string> notices() const {
        std::lock_guard lock(m_mutex);
        return m_notices;
    }
    bool noticed(const std::string& part) const {
        if (part.empty())
            return true;
        const auto all = notices();
        return std::any_of(all.begin(), all.end(),
                           [&](const std::string& n) { return n.find(part) != std::string::npos; });
    }
    int idleCount() const {
        std::lock_guard lock(m_mutex);
        return m_idle;
    }

private:
    void keep(const std::vector<TransferItem>& rows) {
        std::lock_guard lock(m_mutex);
        for (const auto& r : rows)
            m_rows[r.id] = r;
    }

    mutable std::mutex m_mutex;
    std::map<std::int64_t, TransferItem> m_rows;
    std::vector<std::string> m_notices;
    int m_idle = 0;
};

tw::ftp::SessionOptions optionsFor(const FtpTestServer& server) {
    tw::ftp::SessionOptions o;
    o.host = server.host();
    o.port = server.port();
    o.user = server.user();
    o.password = server.password();
    o.timeoutMs = 5000;
    return o;
}

tw::ftp::SessionOptions optionsFor(int port) {
    tw::ftp::SessionOptions o;
    o.host = "127.0.0.1";
    o.port = port;
    o.user = "tester";
    o.password = "secret";
    o.timeoutMs = 5000;
    return o;
}

// The server's path of its served folder (vsftpd runs unconfined here: its paths are the
// machine's), as PWD tells it after the login.
std::string remoteRoot(const FtpTestServer& server) {
    tw::ftp::FtpSession session;
    std::string cwd;
    if (!session.connect(optionsFor(server)) || !session.getCurrentDirectory(cwd))
        return {};
    session.close();
    return cwd;
}

QueueSettings quick(int connections = 2) {
    QueueSettings s;
    s.maxConnections = connections;
    s.retryDelay = std::chrono::milliseconds(50);
    s.idleTimeout = std::chrono::milliseconds(2000);
    s.progressInterval = std::chrono::milliseconds(1);
    return s;
}

void writeFile(const fs::path& path, const std::string& data, std::int64_t mtime = 0) {
    std::ofstream(path, std::ios::binary).write(data.data(), std::streamsize(data.size()));
    if (mtime != 0) {
        const timespec times[2] = {{time_t(mtime), 0}, {time_t(mtime), 0}};
        ::utimensat(AT_FDCWD, path.c_str(), times, 0);
    }
}

std::int64_t mtimeOf(const fs::path& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? std::int64_t(st.st_mtime) : -1;
}

// A file's bytes as a short text: its size and a hash.
std::string digest(const std::string& data) {
    return std::to_string(data.size()) + ":" + std::to_string(std::hash<std::string>{}(data));
}

// A tree as "relative path" -> "d" for a folder, else the file's digest and date.
std::map<std::string, std::string> treeOf(const fs::path& root, bool withDates) {
    std::map<std::string, std::string> out;
    for (auto it = fs::recursive_directory_iterator(root); it != fs::recursive_directory_iterator();
         ++it) {
        const std::string rel = fs::relative(it->path(), root).string();
        if (it->is_directory() && !it->is_symlink())
            out[rel] = "d";
        else
            out[rel] = digest(tw::test::ReadWholeFile(it->path())) +
                       (withDates ? "@" + std::to_string(mtimeOf(it->path())) : "");
    }
    return out;
}

// The source tree every copy test starts from: files of several sizes, an empty folder, a
// link to a file, a link to a folder outside the tree, a link back up, an excluded name and
// one that cannot be copied as named (`unsafe`).
void makeTree(const fs::path& site, const std::string& unsafe) {
    fs::create_directories(site / "a" / "b");
    fs::create_directories(site / "a" / "empty");
    writeFile(site / "top.bin", PatternBytes(300 * 1024, 1), 1600000000);
    writeFile(site / "notes.txt", "notes\n", 1600000100);
    writeFile(site / "skip.bak", "old", 1600000200);
    writeFile(site / "a" / "b" / "deep.bin", PatternBytes(70 * 1024, 2), 1600000300);
    writeFile(site / unsafe, "unsafe", 1600000400);
    fs::create_symlink("top.bin", site / "file-link");
    fs::create_directories(site.parent_path() / "elsewhere");
    writeFile(site.parent_path() / "elsewhere" / "far.txt", "far", 1600000500);
    fs::create_symlink("../elsewhere", site / "dir-link");
    fs::create_symlink("..", site / "a" / "up");
}

// What a copy of that tree holds: links resolved, the link back up, the excluded and the
// unsafe names left out.
std::map<std::string, std::string> expectedCopy(bool withDates) {
    const auto dated = [&](const std::string& data, std::int64_t t) {
        return digest(data) + (withDates ? "@" + std::to_string(t) : "");
    };
    return {{"top.bin", dated(PatternBytes(300 * 1024, 1), 1600000000)},
            {"notes.txt", dated("notes\n", 1600000100)},
            {"file-link", dated(PatternBytes(300 * 1024, 1), 1600000000)},
            {"a", "d"},
            {"a/b", "d"},
            {"a/b/deep.bin", dated(PatternBytes(70 * 1024, 2), 1600000300)},
            {"dir-link", "d"},
            {"dir-link/far.txt", dated("far", 1600000500)}};
}

WalkFilter excludingBak() {
    return [](const WalkEntry& e) -> std::optional<std::string> {
        if (e.name.size() > 4 && e.name.substr(e.name.size() - 4) == ".bak")
            return std::string("excluded by *.bak");
        return DefaultWalkFilter(e);
    };
}

std::map<std::string, std::string> reasons(const std::vector<TransferItem>& rows, ItemState state) {
    std::map<std::string, std::string> out;
    for (const auto& r : rows)
        if (r.state == state)
            out[BaseName(r.direction == Direction::Download ? r.remotePath : r.localPath)] =
                r.error;
    return out;
}

struct TreeCase {
    FtpTestServer::Kind server;
    Direction direction;
};

void PrintTo(const TreeCase& c, std::ostream* os) {
    *os << (c.server == FtpTestServer::Kind::Vsftpd ? "vsftpd " : "pyftpdlib ")
        << (c.direction == Direction::Download ? "download" : "upload");
}

class TreeCopy : public testing::TestWithParam<TreeCase> {};

// A folder copied with everything in it, byte for byte (and date for date where the server
// can tell or set dates), on three connections; what cannot be copied is a Skipped row with its
// reason, and a file where a folder must be made is a Failed row and stays as it was.
TEST_P(TreeCopy, CopiesEverythingAndReportsWhatItLeftOut) {
    const TreeCase c = GetParam();
    std::string why;
    auto server = FtpTestServer::start(c.server, "127.0.0.1", why);
    if (!server)
        GTEST_SKIP() << why;
    const bool down = c.direction == Direction::Download;
    TempDir local;
    const fs::path source = down ? server->root() / "site" : local.path() / "site";
    const fs::path target = down ? local.path() / "site" : server->root() / "site";
    makeTree(source, down ? "back\\slash.txt" : "new\nline.txt");
    fs::create_directories(target / "a");
    writeFile(target / "a" / "empty", "keep"); // where a folder must go
    if (!down)
        fs::permissions(target, fs::perms::all, fs::perm_options::add);

    Recorder recorder;
    QueueSettings settings = quick(3);
    settings.walkFilter = excludingBak();
    {
        TransferQueue queue(optionsFor(*server), settings, &recorder);
        TransferItem tree;
        tree.kind = ItemKind::Tree;
        tree.direction = c.direction;
        tree.remotePath = JoinPath(remoteRoot(*server), "site");
        tree.localPath = (local.path() / "site").string();
        queue.add({tree});
        queue.waitIdle();
        const auto rows = queue.snapshot();

        const auto skipped = reasons(rows, ItemState::Skipped);
        EXPECT_EQ(skipped.at("skip.bak"), "excluded by *.bak");
        EXPECT_EQ(skipped.at(down ? "back\\slash.txt" : "new\nline.txt"),
                  down ? "the name cannot be used for a local file"
                       : "the name cannot be sent to the server");
        EXPECT_TRUE(skipped.count("up")) << "the link back up is left out";
        const auto failed = reasons(rows, ItemState::Failed);
        ASSERT_EQ(failed.size(), 1u);
        EXPECT_TRUE(failed.count("empty"));
        EXPECT_NE(failed.at("empty").find(down ? "a file of that name is in the way"
                                               : "cannot create the folder"),
                  std::string::npos)
            << failed.at("empty");
        EXPECT_EQ(std::count_if(rows.begin(), rows.end(),
                                [](const TransferItem& r) {
                                    return r.kind == ItemKind::File && r.state == ItemState::Done;
                                }),
                  5);
        for (const auto& r : rows)
            EXPECT_NE(r.kind, ItemKind::Tree);
    }
    // Dates: downloads take the server's (MDTM or MLSD); uploads set them where MFMT exists.
    const bool dates = down || c.server == FtpTestServer::Kind::Pyftpdlib;
    auto expected = expectedCopy(dates);
    expected["a/empty"] =
        digest("keep") +
        (dates ? "@" + std::to_string(mtimeOf(target / "a" / "empty")) : std::string());
    EXPECT_EQ(treeOf(target, dates), expected);
    EXPECT_GE(recorder.idleCount(), 1);
}

INSTANTIATE_TEST_SUITE_P(
    Servers, TreeCopy,
    testing::Values(TreeCase{FtpTestServer::Kind::Vsftpd, Direction::Download},
                    TreeCase{FtpTestServer::Kind::Vsftpd, Direction::Upload},
                    TreeCase{FtpTestServer::Kind::Pyftpdlib, Direction::Download},
                    TreeCase{FtpTestServer::Kind::Pyftpdlib, Direction::Upload}),
    [](const testing::TestParamInfo<TreeCase>& info) {
        return std::string(info.param.server == FtpTestServer::Kind::Vsftpd ? "Vsftpd"
                                                                            : "Pyftpdlib") +
               (info.param.direction == Direction::Download ? "Download" : "Upload");
    });

struct DeleteCase {
    FtpTestServer::Kind server;
    DeleteCount planned; // MLSD (pyftpdlib) shows the link to a folder as a folder
};

void PrintTo(const DeleteCase& c, std::ostream* os) {
    *os << (c.server == FtpTestServer::Kind::Vsftpd ? "vsftpd" : "pyftpdlib");
}

class RemoteDelete : public testing::TestWithParam<DeleteCase> {};

// A remote folder deleted with everything in it: counted first, then removed depth-first; its
// links are removed and what they lead to (outside the folder) survives.
TEST_P(RemoteDelete, RemovesTheFolderAndNotWhatItsLinksLeadTo) {
    std::string why;
    auto server = FtpTestServer::start(GetParam().server, "127.0.0.1", why);
    if (!server)
        GTEST_SKIP() << why;
    const fs::path root = server->root();
    fs::create_directories(root / "victim" / "sub" / "deeper");
    fs::create_directories(root / "keep");
    writeFile(root / "keep" / "k.txt", "kept");
    writeFile(root / "victim" / "f1", "1");
    writeFile(root / "victim" / "sub" / "f2", "2");
    writeFile(root / "victim" / "sub" / "deeper" / "f3", "3");
    fs::create_symlink("../keep", root / "victim" / "link-out");
    fs::create_symlink("../keep/k.txt", root / "victim" / "link-file");

    tw::ftp::FtpSession session;
    ASSERT_TRUE(session.connect(optionsFor(*server))) << session.lastResponse();
    const std::atomic<bool> stop{false};
    const std::string victim = JoinPath(remoteRoot(*server), "victim");
    const DeletePlan plan = PlanRemoteDelete(session, victim, stop);
    ASSERT_TRUE(plan.ok);
    EXPECT_EQ(plan.count.files, GetParam().planned.files);
    EXPECT_EQ(plan.count.folders, GetParam().planned.folders);
    std::vector<std::string> deleted;
    const DeleteReport report =
        DeleteRemoteTree(session, plan, stop, [&](const std::string& p) { deleted.push_back(p); });
    EXPECT_TRUE(report.complete())
        << (report.failures.empty() ? std::string()
                                    : report.failures[0].path + ": " + report.failures[0].reason);
    EXPECT_FALSE(fs::exists(fs::symlink_status(root / "victim")));
    EXPECT_EQ(tw::test::ReadWholeFile(root / "keep" / "k.txt"), "kept");
    EXPECT_EQ(deleted.back(), victim);
    EXPECT_EQ(report.deleted.files + report.deleted.folders, deleted.size());
}

INSTANTIATE_TEST_SUITE_P(Servers, RemoteDelete,
                         testing::Values(DeleteCase{FtpTestServer::Kind::Vsftpd, {5, 3}},
                                         DeleteCase{FtpTestServer::Kind::Pyftpdlib, {5, 4}}),
                         [](const testing::TestParamInfo<DeleteCase>& info) {
                             return info.param.server == FtpTestServer::Kind::Vsftpd ? "Vsftpd"
                                                                                     : "Pyftpdlib";
                         });

// Four connections against a vsftpd that takes two per address: the pool runs with what the
// server takes, told once as a notice, and no file fails.
TEST(ConnectionLimit, UsesWhatTheServerTakesAndFailsNothing) {
    std::string why;
    auto server =
        FtpTestServer::start(FtpTestServer::Kind::Vsftpd, "127.0.0.1", why, "max_per_ip=2\n");
    if (!server)
        GTEST_SKIP() << why;
    TempDir local;
    const std::string base = remoteRoot(*server);
    std::vector<TransferItem> files;
    for (int i = 0; i < 24; ++i) {
        const std::string name = "f" + std::to_string(i) + ".bin";
        writeFile(server->root() / name, PatternBytes(40 * 1024, unsigned(i)));
        TransferItem item;
        item.remotePath = JoinPath(base, name);
        item.localPath = (local.path() / name).string();
        files.push_back(item);
    }
    Recorder recorder;
    TransferQueue queue(optionsFor(*server), quick(4), &recorder);
    queue.add(files);
    queue.waitIdle();
    const auto totals = queue.totals();
    EXPECT_EQ(totals.done, files.size());
    EXPECT_EQ(totals.failed, 0u);
    EXPECT_TRUE(recorder.noticed("The server refused another connection: using "))
        << testing::PrintToString(recorder.notices());
    EXPECT_LE(queue.connectionLimit(), 2);
    for (int i = 0; i < 24; ++i)
        EXPECT_EQ(
            digest(tw::test::ReadWholeFile(local.path() / ("f" + std::to_string(i) + ".bin"))),
            digest(PatternBytes(40 * 1024, unsigned(i))));
}

// ----- resume, against the scripted server -----

constexpr std::size_t kFileSize = 1024 * 1024;
constexpr std::size_t kCut = 300 * 1024;

struct ResumeCase {
    const char* name;
    Direction direction;
    FakeFtp::Behaviour behaviour;
    // Between the first run and the next: the source changes.
    bool sourceChanges = false;
    // The first run ends by itself (a dropped connection, retried) instead of a stop.
    bool retriedByItself = false;
    int maxRetries = 2;
    // Expected: a notice containing this, and whether the second run resumed.
    const char* notice;
    bool resumes;
};

void PrintTo(const ResumeCase& c, std::ostream* os) {
    *os << c.name;
}

class Resume : public testing::TestWithParam<ResumeCase> {};

// A copy cut half-way continues where it stopped, from the partial data, once the source is
// the same; a server that ignores REST, and a source that changed, start it from zero. Every
// way ends with the exact file.
TEST_P(Resume, EndsWithTheExactFile) {
    const ResumeCase c = GetParam();
    const bool down = c.direction == Direction::Download;
    FakeFtp fake(c.behaviour);
    fake.folder("/pub");
    const std::string first = PatternBytes(kFileSize, 7);
    const std::string second = PatternBytes(kFileSize + 1000, 8);
    TempDir local;
    const fs::path localFile = local.path() / "big.bin";
    if (down)
        fake.put("/pub/big.bin", first, 1650000000);
    else
        writeFile(localFile, first, 1650000000);
    ScriptedServers servers([&](ScriptedServer& s, int n) { fake.serve(s, n); });

    TransferItem item;
    item.direction = c.direction;
    item.remotePath = "/pub/big.bin";
    item.localPath = localFile.string();
    item.size = down ? kFileSize : 0;
    item.listedTime = down ? 1650000000 : 0;

    Recorder recorder;
    QueueSettings settings = quick(1);
    settings.maxRetries = c.maxRetries;
    TransferItem saved;
    {
        // The first run: cut by the server, or stopped once data arrived, as a killed program
        // leaves it (the row as the store has it, and the partial data).
        TransferQueue queue(optionsFor(servers.port()), settings, &recorder);
        const std::int64_t id = queue.add({item})[0].id;
        if (!c.retriedByItself) {
            const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
            while (queue.item(id)->transferred == 0 && std::chrono::steady_clock::now() < deadline)
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            ASSERT_GT(queue.item(id)->transferred, 0u);
            queue.stop({id});
        }
        queue.waitIdle();
        saved = *queue.item(id);
    }
    if (c.retriedByItself && c.maxRetries > 0) {
        EXPECT_EQ(saved.state, ItemState::Done) << saved.error;
        EXPECT_EQ(saved.retries, 1);
        EXPECT_TRUE(recorder.noticed("Connection lost while copying"));
    } else {
        EXPECT_EQ(saved.state, c.retriedByItself ? ItemState::Failed : ItemState::Stopped)
            << saved.error;
        EXPECT_FALSE(saved.partialPath.empty());
        if (down)
            EXPECT_GT(fs::file_size(saved.partialPath), 0u);
        else
            EXPECT_TRUE(fake.file(saved.partialPath));
        if (c.sourceChanges) {
            if (down)
                fake.put("/pub/big.bin", second, 1660000000);
            else
                writeFile(localFile, second, 1660000000);
        }
        TransferQueue queue(optionsFor(servers.port()), settings, &recorder);
        const std::int64_t id = queue.add({saved})[0].id;
        if (saved.state == ItemState::Failed)
            queue.retryFailed();
        else
            queue.start({id});
        queue.waitIdle();
        const auto row = *queue.item(id);
        EXPECT_EQ(row.state, ItemState::Done) << row.error;
        EXPECT_TRUE(row.partialPath.empty());
    }
    const std::string& expected = c.sourceChanges ? second : first;
    if (down) {
        EXPECT_EQ(digest(tw::test::ReadWholeFile(localFile)), digest(expected));
        EXPECT_EQ(mtimeOf(localFile), c.sourceChanges ? 1660000000 : 1650000000);
        EXPECT_FALSE(fs::exists(DownloadPartialPath(localFile.string())));
    } else {
        const auto stored = fake.file("/pub/big.bin");
        ASSERT_TRUE(stored);
        EXPECT_EQ(digest(stored->data), digest(expected));
        EXPECT_EQ(stored->time, c.sourceChanges ? 1660000000 : 1650000000);
        EXPECT_FALSE(fake.file("/pub/.big.bin.tw-up"));
    }
    EXPECT_TRUE(recorder.noticed(c.notice)) << testing::PrintToString(recorder.notices());
    const auto commands = servers.finish();
    const bool resumed = std::any_of(commands.begin(), commands.end(), [&](const std::string& l) {
        return l.rfind(down ? "REST " : "APPE ", 0) == 0;
    });
    EXPECT_EQ(resumed, c.resumes || c.behaviour.ignoreRest) << testing::PrintToString(commands);
}

FakeFtp::Behaviour stallingFirst() {
    FakeFtp::Behaviour b;
    b.stalling = {0};
    b.dropAfter = kCut;
    return b;
}

FakeFtp::Behaviour droppingFirst() {
    FakeFtp::Behaviour b;
    b.dropping = {0};
    b.dropAfter = kCut;
    return b;
}

FakeFtp::Behaviour ignoringRest() {
    FakeFtp::Behaviour b = stallingFirst();
    b.ignoreRest = true;
    return b;
}

INSTANTIATE_TEST_SUITE_P(
    Ways, Resume,
    testing::Values(ResumeCase{"DownloadStoppedThenResumed", Direction::Download, stallingFirst(),
                               false, false, 2, "", true},
                    ResumeCase{"DownloadServerIgnoresRest", Direction::Download, ignoringRest(),
                               false, false, 2, "ignored the restart offset", false},
                    ResumeCase{"DownloadSourceChanged", Direction::Download, stallingFirst(), true,
                               false, 2, "changed on the server since its download began", false},
                    ResumeCase{"DownloadDroppedAndRetried", Direction::Download, droppingFirst(),
                               false, true, 2, "Connection lost while copying /pub/big.bin", true},
                    ResumeCase{"UploadDroppedAndRetried", Direction::Upload, droppingFirst(), false,
                               true, 2, "Connection lost while copying", true},
                    ResumeCase{"UploadFailedThenRetried", Direction::Upload, droppingFirst(), false,
                               true, 0, "", true},
                    ResumeCase{"UploadSourceChanged", Direction::Upload, droppingFirst(), true,
                               true, 0, "changed since its upload began", false}),
    [](const testing::TestParamInfo<ResumeCase>& info) { return std::string(info.param.name); });

// A download resumed at an offset above 4 GiB (a sparse file on a real server): REST carries the
// whole 64-bit offset and the file ends exact.
TEST(ResumeAbove4GiB, ContinuesAtTheExactOffset) {
    std::string why;
    auto server = FtpTestServer::start(FtpTestServer::Kind::Vsftpd, "127.0.0.1", why);
    if (!server)
        GTEST_SKIP() << why;
    constexpr std::uint64_t k4GiB = std::uint64_t(1) << 32;
    const std::string tail = PatternBytes(1024 * 1024, 9);
    const fs::path remote = server->root() / "big.bin";
    {
        std::ofstream out(remote, std::ios::binary);
        out.seekp(std::streamoff(k4GiB));
        out.write(tail.data(), std::streamsize(tail.size()));
    }
    TempDir local;
    const fs::path target = local.path() / "big.bin";
    const std::string partial = DownloadPartialPath(target.string());
    {
        std::ofstream out(partial, std::ios::binary);
        out.seekp(std::streamoff(k4GiB));
        out.write(tail.data(), 100);
    }
    tw::ftp::FtpSession probe;
    ASSERT_TRUE(probe.connect(optionsFor(*server)));
    const auto time = probe.modificationTime(JoinPath(remoteRoot(*server), "big.bin"));
    ASSERT_TRUE(time);
    TransferItem row;
    row.remotePath = JoinPath(remoteRoot(*server), "big.bin");
    row.localPath = target.string();
    row.size = k4GiB + tail.size();
    row.state = ItemState::Stopped;
    row.partialPath = partial;
    row.sourceSize = row.size;
    row.sourceTime = *time;
    TransferQueue queue(optionsFor(*server), quick(1));
    const std::int64_t id = queue.add({row})[0].id;
    queue.start({id});
    queue.waitIdle();
    const auto done = *queue.item(id);
    EXPECT_EQ(done.state, ItemState::Done) << done.error;
    ASSERT_EQ(fs::file_size(target), k4GiB + tail.size());
    std::ifstream in(target, std::ios::binary);
    in.seekg(std::streamoff(k4GiB));
    std::string got(tail.size(), '\0');
    in.read(got.data(), std::streamsize(got.size()));
    EXPECT_EQ(digest(got), digest(tail));
    EXPECT_NE(server->serverLog().find("REST 4294967396"), std::string::npos);
}

// An upload replacing a file on a server that will not rename onto an existing name: the old
// file is deleted just before the second rename, and the new one takes its place.
TEST(Upload, ReplacesAFileWhereTheServerWillNotRenameOntoIt) {
    FakeFtp::Behaviour b;
    b.renameKeepsExisting = true;
    FakeFtp fake(b);
    fake.folder("/pub");
    fake.put("/pub/a.txt", "old");
    ScriptedServers servers([&](ScriptedServer& s, int n) { fake.serve(s, n); });
    TempDir local;
    writeFile(local.path() / "a.txt", "new contents", 1650000000);
    TransferQueue queue(optionsFor(servers.port()), quick(1));
    TransferItem item;
    item.direction = Direction::Upload;
    item.localPath = (local.path() / "a.txt").string();
    item.remotePath = "/pub/a.txt";
    const std::int64_t id = queue.add({item})[0].id;
    queue.waitIdle();
    EXPECT_EQ(queue.item(id)->state, ItemState::Done) << queue.item(id)->error;
    EXPECT_EQ(fake.file("/pub/a.txt")->data, "new contents");
    EXPECT_EQ(fake.file("/pub/a.txt")->time, 1650000000);
    EXPECT_FALSE(fake.file("/pub/.a.txt.tw-up"));
}

// A connection left idle is closed with QUIT once its idle time is over, while the queue lives.
TEST(ConnectionPool, ClosesIdleConnections) {
    FakeFtp fake;
    fake.folder("/pub");
    fake.put("/pub/a.txt", "a");
    ScriptedServers servers([&](ScriptedServer& s, int n) { fake.serve(s, n); });
    TempDir local;
    QueueSettings settings = quick(1);
    settings.idleTimeout = std::chrono::milliseconds(50);
    TransferQueue queue(optionsFor(servers.port()), settings);
    TransferItem item;
    item.remotePath = "/pub/a.txt";
    item.localPath = (local.path() / "a.txt").string();
    queue.add({item});
    queue.waitIdle();
    // finish() returns once the connection's script ended: after the QUIT the pool sent.
    const auto commands = servers.finish();
    ASSERT_FALSE(commands.empty());
    EXPECT_EQ(commands.back(), "QUIT");
    EXPECT_EQ(servers.connections(), 1);
}

// A folder the server will not list is a Failed row with the server's words; the rest of the
// tree still arrives.
TEST(TreeWalk, AFolderThatCannotBeListedFailsAloneAndTheRestArrives) {
    FakeFtp::Behaviour b;
    b.unlistable = {"/site/locked"};
    FakeFtp fake(b);
    fake.folder("/site");
    fake.folder("/site/locked");
    fake.folder("/site/open");
    fake.put("/site/open/a.txt", "a");
    fake.put("/site/b.txt", "b");
    ScriptedServers servers([&](ScriptedServer& s, int n) { fake.serve(s, n); });
    TempDir local;
    TransferQueue queue(optionsFor(servers.port()), quick(2));
    TransferItem tree;
    tree.kind = ItemKind::Tree;
    tree.remotePath = "/site";
    tree.localPath = (local.path() / "site").string();
    queue.add({tree});
    queue.waitIdle();
    const auto failed = reasons(queue.snapshot(), ItemState::Failed);
    ASSERT_EQ(failed.size(), 1u);
    EXPECT_EQ(failed.at("locked"), "cannot list the folder: 550 Cannot list that.");
    EXPECT_EQ(treeOf(local.path() / "site", false),
              (std::map<std::string, std::string>{
                  {"b.txt", digest("b")}, {"open", "d"}, {"open/a.txt", digest("a")}}));
}

} // namespace

// What arrives must be what the source held: an upload whose file shrank while it was sent, and
// a protected download of unknown size whose end the server never confirmed.
TEST(Integrity, AFileThatChangedWhileSentFailsAndLeavesNothingBehind) {
    FakeFtp fake;
    fake.folder("/pub");
    ScriptedServers servers([&](ScriptedServer& s, int n) { fake.serve(s, n); });
    TempDir local;
    const fs::path source = local.path() / "big.bin";
    writeFile(source, std::string(8 << 20, 'x'), 1650000000);
    QueueSettings settings = quick(1);
    settings.copy.chunkBytes = 64 * 1024;
    bool cut = false;
    settings.runner = [&](TransferItem& item, tw::ftp::RemoteSession& session,
                          const RunContext& context) {
        RunContext watched = context;
        watched.progress = [&](std::uint64_t done) {
            if (done >= (1u << 20) && !std::exchange(cut, true))
                fs::resize_file(source, 1 << 20); // a log rotated under the sender
            context.progress(done);
        };
        return UploadFile(item, session, watched, settings.copy);
    };
    TransferQueue queue(optionsFor(servers.port()), settings);
    TransferItem item;
    item.direction = Direction::Upload;
    item.localPath = source.string();
    item.remotePath = "/pub/big.bin";
    const std::int64_t id = queue.add({item})[0].id;
    queue.waitIdle();
    ASSERT_TRUE(cut);
    EXPECT_EQ(queue.item(id)->state, ItemState::Failed);
    EXPECT_NE(queue.item(id)->error.find("the local file changed while it was sent"),
              std::string::npos)
        << queue.item(id)->error;
    EXPECT_FALSE(fake.file("/pub/big.bin"));
    EXPECT_FALSE(fake.file("/pub/.big.bin.tw-up"));
}

TEST(Integrity, AnUnconfirmedEncryptedEndFailsUnlessAccepted) {
    const std::string data(600000, 'd');
    for (const bool accept : {false, true}) {
        SCOPED_TRACE(accept ? "accepted" : "refused");
        FakeFtp::Behaviour b;
        b.tls = b.hideSizes = b.bareTlsEnd = true;
        b.dropAfter = data.size() / 2; // cut half-way, then 226 all the same
        FakeFtp fake(b);
        fake.folder("/pub");
        fake.put("/pub/f.bin", data);
        ScriptedServers servers([&](ScriptedServer& s, int n) { fake.serve(s, n); });
        TempDir local;
        tw::ftp::SessionOptions options = optionsFor(servers.port());
        options.tls = tw::ftp::TlsMode::ExplicitRequired;
        options.trustedFingerprints = {ScriptedServer::tlsFingerprint()};
        QueueSettings settings = quick(1);
        settings.copy.acceptUnconfirmedTlsEnd = accept;
        settings.idleTimeout = std::chrono::milliseconds(50); // QUIT soon: finish() waits for it
        Recorder recorder;
        TransferQueue queue(options, settings, &recorder);
        TransferItem item;
        item.remotePath = "/pub/f.bin";
        item.localPath = (local.path() / "f.bin").string();
        const std::int64_t id = queue.add({item})[0].id;
        queue.waitIdle();
        EXPECT_TRUE(recorder.noticed("may be only part of the file"));
        const auto commands = servers.finish();
        if (accept) {
            EXPECT_EQ(queue.item(id)->state, ItemState::Done) << queue.item(id)->error;
            EXPECT_EQ(fs::file_size(item.localPath), data.size() / 2);
        } else {
            EXPECT_EQ(queue.item(id)->state, ItemState::Failed);
            EXPECT_EQ(queue.item(id)->errorCode, tw::ftp::kErrTlsEndUnconfirmed);
            EXPECT_FALSE(fs::exists(item.localPath));
            // Not a lost connection: trying again would only repeat it.
            EXPECT_EQ(std::count(commands.begin(), commands.end(), "RETR /pub/f.bin"), 1);
        }
    }
}
