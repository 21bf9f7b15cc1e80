// Local folder walks and the local recursive delete, on real files in a temporary folder.

#include "queue/delete_tree.h"
#include "queue/folder_walk.h"
#include "queue/queue_paths.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sys/stat.h>

using namespace tw::queue;
namespace fs = std::filesystem;

namespace {

class TempFolder {
public:
    TempFolder() {
        std::string pattern = (fs::temp_directory_path() / "tw-queue-XXXXXX").string();
        m_path = ::mkdtemp(pattern.data());
    }
    ~TempFolder() {
        std::error_code ec;
        fs::remove_all(m_path, ec);
    }
    const fs::path& path() const { return m_path; }

private:
    fs::path m_path;
};

void write(const fs::path& path, const std::string& data) {
    std::ofstream(path, std::ios::binary) << data;
}

struct PathCase {
    std::string path;
    std::string base;
    std::string parent;
    std::string upload;
    std::string partial;
};

TEST(QueuePaths, NamesAndHiddenSiblings) {
    const std::vector<PathCase> cases = {
        {"/pub/a.txt", "a.txt", "/pub", "/pub/.a.txt.tw-up", "/pub/.a.txt.tw-part"},
        {"/a", "a", "/", "/.a.tw-up", "/.a.tw-part"},
        {"a", "a", "", ".a.tw-up", ".a.tw-part"},
        {"/pub/dir/", "dir", "/pub", "/pub/.dir.tw-up", "/pub/.dir.tw-part"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(BaseName(c.path), c.base);
        EXPECT_EQ(ParentPath(c.path), c.parent);
        EXPECT_EQ(UploadTemporaryPath(c.path), c.upload);
        EXPECT_EQ(DownloadPartialPath(c.path), c.partial);
        EXPECT_TRUE(IsUploadTemporaryName(BaseName(c.upload)));
        EXPECT_TRUE(IsDownloadPartialName(BaseName(c.partial)));
        EXPECT_FALSE(IsUploadTemporaryName(c.base));
    }
    EXPECT_TRUE(IsSameOrInside("/a/b", "/a"));
    EXPECT_TRUE(IsSameOrInside("/a", "/a/"));
    EXPECT_TRUE(IsSameOrInside("/x", "/"));
    EXPECT_FALSE(IsSameOrInside("/ab", "/a"));
}

// An upload walk: folders before files, a link to a folder outside followed once, a second
// link to it and a link back up left out, a link to a file taken as a file, a broken link, a
// pipe, an unsendable name and a filtered name left out with their reasons, and the hidden
// partial files of downloads not shown at all.
TEST(LocalWalk, ListsFoldersFirstAndLeavesOutWhatCannotGo) {
    TempFolder tmp;
    const fs::path site = tmp.path() / "site";
    fs::create_directories(site / "a" / "b");
    fs::create_directories(tmp.path() / "outside");
    write(site / "top.txt", "top");
    write(site / "a" / "b" / "deep.txt", "deep");
    write(site / "skip.bak", "old");
    write(site / "new\nline", "x");
    write(site / ".half.tw-part", "partial");
    write(tmp.path() / "outside" / "far.txt", "far");
    fs::create_symlink("../outside", site / "out1");
    fs::create_symlink("../../outside", site / "a" / "out2");
    fs::create_symlink("..", site / "a" / "up");
    fs::create_symlink("top.txt", site / "top-link");
    fs::create_symlink("missing", site / "broken");
    ASSERT_EQ(::mkfifo((site / "pipe").c_str(), 0600), 0);

    TransferItem tree;
    tree.kind = ItemKind::Tree;
    tree.direction = Direction::Upload;
    tree.group = 7;
    tree.localPath = site.string();
    tree.remotePath = "/dest/site";
    const std::atomic<bool> stop{false};
    const WalkResult w = WalkLocalTree(
        tree,
        [](const WalkEntry& e) -> std::optional<std::string> {
            if (e.name == "skip.bak")
                return std::string("excluded");
            return DefaultWalkFilter(e);
        },
        stop);
    ASSERT_TRUE(w.ok) << w.error;

    std::map<std::string, std::string> rows; // remote path -> kind/state/reason
    bool filesStarted = false;
    for (const auto& r : w.items) {
        EXPECT_EQ(r.group, 7);
        EXPECT_EQ(r.direction, Direction::Upload);
        const bool folder = r.kind == ItemKind::Folder && r.state == ItemState::Queued;
        EXPECT_FALSE(folder && filesStarted) << "a folder after files: " << r.remotePath;
        filesStarted = filesStarted || !folder;
        const char* kind = r.kind == ItemKind::Folder ? "folder" : "file";
        const char* state = r.state == ItemState::Queued    ? "queued"
                            : r.state == ItemState::Skipped ? "skipped"
                                                            : "failed";
        rows[r.remotePath.substr(std::string("/dest/site").size())] =
            std::string(kind) + " " + state + (r.error.empty() ? "" : ": " + r.error);
    }
    const std::map<std::string, std::string> expected = {
        {"", "folder queued"},
        {"/a", "folder queued"},
        {"/a/b", "folder queued"},
        {"/a/b/deep.txt", "file queued"},
        {"/top.txt", "file queued"},
        {"/top-link", "file queued"},
        {"/out1", "folder queued"},
        {"/out1/far.txt", "file queued"},
        {"/a/out2", "folder skipped: a link to a folder that is copied already"},
        {"/a/up", "folder skipped: a link to a folder that is copied already"},
        {"/broken", "file skipped: a link to nothing"},
        {"/pipe", "file skipped: not a file or a folder"},
        {"/skip.bak", "file skipped: excluded"},
        {"/new\nline", "file skipped: the name cannot be sent to the server"},
    };
    EXPECT_EQ(rows, expected);
    for (const auto& r : w.items) {
        if (r.remotePath == "/dest/site/top-link") {
            EXPECT_EQ(r.size, 3u);
        }
    }
}

TEST(LocalWalk, AMissingFolderFailsTheWalk) {
    TransferItem tree;
    tree.kind = ItemKind::Tree;
    tree.direction = Direction::Upload;
    tree.localPath = "/nonexistent/tw-queue-test";
    const std::atomic<bool> stop{false};
    const WalkResult w = WalkLocalTree(tree, DefaultWalkFilter, stop);
    EXPECT_FALSE(w.ok);
    EXPECT_EQ(w.error, "cannot open the folder /nonexistent/tw-queue-test: No such file or "
                       "directory");
}

// Counted, then deleted depth-first; links are unlinked and what they lead to survives; an entry
// that vanished since the count is reported and the rest still goes.
TEST(LocalDelete, RemovesTheFolderNotWhatItsLinksLeadTo) {
    TempFolder tmp;
    const fs::path victim = tmp.path() / "victim";
    fs::create_directories(victim / "sub" / "deeper");
    fs::create_directories(tmp.path() / "keep");
    write(tmp.path() / "keep" / "k.txt", "kept");
    write(victim / "f1", "1");
    write(victim / "gone", "2");
    write(victim / "sub" / "f2", "2");
    write(victim / "sub" / "deeper" / "f3", "3");
    fs::create_symlink("../keep", victim / "link-out");
    fs::create_symlink("../../keep/k.txt", victim / "sub" / "link-file");

    const std::atomic<bool> stop{false};
    const DeletePlan plan = PlanLocalDelete(victim.string(), stop);
    ASSERT_TRUE(plan.ok);
    EXPECT_EQ(plan.count.files, 6u); // f1, gone, link-out, f2, link-file, f3
    EXPECT_EQ(plan.count.folders, 3u);
    fs::remove(victim / "gone");
    const DeleteReport report = DeleteLocalTree(plan, stop);
    ASSERT_EQ(report.failures.size(), 1u);
    EXPECT_EQ(report.failures[0].path, (victim / "gone").string());
    EXPECT_EQ(report.failures[0].reason, "No such file or directory");
    EXPECT_EQ(report.deleted.files, 5u);
    EXPECT_EQ(report.deleted.folders, 3u);
    EXPECT_FALSE(fs::exists(fs::symlink_status(victim)));
    std::ifstream kept(tmp.path() / "keep" / "k.txt");
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(kept), {}), "kept");
}

// The stop flag ends the delete between two entries: what was deleted stays deleted, the rest
// is still there. A folder that became a link since the count is only unlinked: the file of the
// same name behind the link survives.
TEST(LocalDelete, StopsHalfWayAndNeverFollowsAFolderTurnedLink) {
    TempFolder tmp;
    const fs::path victim = tmp.path() / "victim";
    fs::create_directories(victim / "sub");
    fs::create_directories(tmp.path() / "keep");
    write(tmp.path() / "keep" / "k.txt", "kept");
    for (int i = 0; i < 6; ++i)
        write(victim / ("f" + std::to_string(i)), "x");
    write(victim / "sub" / "k.txt", "x");
    std::atomic<bool> stop{false};
    const DeletePlan plan = PlanLocalDelete(victim.string(), stop);
    ASSERT_EQ(plan.count.files, 7u);
    fs::remove_all(victim / "sub");
    fs::create_symlink("../keep", victim / "sub");

    std::vector<std::string> deleted;
    const DeleteReport first = DeleteLocalTree(plan, stop, [&](const std::string& path) {
        deleted.push_back(path);
        if (deleted.size() == 3)
            stop = true;
    });
    EXPECT_TRUE(first.stopped);
    EXPECT_EQ(first.deleted.files, 3u);
    EXPECT_EQ(std::distance(fs::directory_iterator(victim), fs::directory_iterator()), 4);

    stop = false;
    const DeleteReport second = DeleteLocalTree(plan, stop);
    ASSERT_EQ(second.failures.size(), 3u); // the three deleted before
    for (std::size_t i = 0; i < 3; ++i)
        EXPECT_EQ(second.failures[i].path, deleted[i]);
    EXPECT_FALSE(second.stopped);
    EXPECT_FALSE(fs::exists(fs::symlink_status(victim)));
    EXPECT_TRUE(fs::exists(tmp.path() / "keep" / "k.txt"));
}

} // namespace
