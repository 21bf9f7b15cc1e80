// The last sync's state on disk: any bytes in a path survive a save and a load, a damaged file
// is refused with the reason, and every account and folder pair has a file of its own.

#include "queue/sync/sync_run.h"
#include "queue/sync/sync_tree.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;
namespace ts = tw::queue::sync;

namespace {

struct Scratch {
    Scratch() {
        std::string pattern = (fs::temp_directory_path() / "tw-state-XXXXXX").string();
        path = ::mkdtemp(pattern.data()) ? pattern : std::string();
    }
    ~Scratch() {
        std::error_code ec;
        fs::remove_all(path, ec);
    }
    std::string path;
};

void write(const std::string& file, const std::string& text) {
    std::ofstream(file, std::ios::binary) << text;
}

TEST(SyncStateFile, AnyPathSurvivesAndDamageIsRefused) {
    Scratch dir;
    ASSERT_FALSE(dir.path.empty());
    const std::string file =
        ts::SyncStatePath(dir.path + "/state", "me@example.org", "/home/me", "/www");

    ts::SyncState state, loaded;
    std::string error;
    // Absent: an empty state, no error.
    EXPECT_TRUE(ts::LoadSyncState(file, loaded, error)) << error;
    EXPECT_TRUE(loaded.empty());

    std::string everyByte;
    for (int c = 1; c < 256; ++c)
        everyByte += char(c);
    state["plain.txt"] = {12, 1700000000, 1700000060};
    state["a\tb\nc\\d\\t\r"] = {0, 0, -5};
    state["dir/" + everyByte] = {std::uint64_t(1) << 40, -1, 0};
    ASSERT_TRUE(ts::SaveSyncState(file, state, error)) << error;
    struct stat st {};
    ASSERT_EQ(::stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    ASSERT_TRUE(ts::LoadSyncState(file, loaded, error)) << error;
    ASSERT_EQ(loaded.size(), state.size());
    for (const auto& [path, f] : state) {
        const auto l = loaded.find(path);
        ASSERT_NE(l, loaded.end());
        EXPECT_EQ(l->second.size, f.size);
        EXPECT_EQ(l->second.localTime, f.localTime);
        EXPECT_EQ(l->second.remoteTime, f.remoteTime);
    }
    // Only the renamed file is left behind.
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path + "/state"), fs::directory_iterator()),
              1);

    const std::string header = "tarnwick-sync-state 1\n";
    struct Damage {
        std::string text;
        std::string reason;
    };
    const std::vector<Damage> damages = {
        {"", "line 1: the file is empty"},
        {"something else\nend 0\n", "line 1: not a synchronisation state"},
        {header + "a\t1\t2\t3\n", "line 2: the file is cut short"},
        {header + "a\t1\t2\t3\nend 1", "line 3: the last line is cut short"},
        {header + "a\t1\t2\nend 1\n", "line 2: an unreadable entry"},
        {header + "a\tx\t2\t3\nend 1\n", "line 2: an unreadable entry"},
        {header + "a\\q\t1\t2\t3\nend 1\n", "line 2: an unreadable entry"},
        {header + "\t1\t2\t3\nend 1\n", "line 2: an unreadable entry"},
        {header + "a\t1\t2\t3\na\t1\t2\t3\nend 2\n", "line 3: a path listed twice"},
        {header + "a\t1\t2\t3\nend 2\n", "line 3: the number of files does not match"},
        {header + "end 0\nb\t1\t2\t3\n", "line 3: text after the end"},
        {header + "end many\n", "line 2: an unreadable end"},
        {header + std::string(70000, 'x') + "\t1\t2\t3\nend 1\n", "line 2: a line is too long"},
    };
    for (const Damage& d : damages) {
        write(file, d.text);
        loaded["stale"] = {};
        EXPECT_FALSE(ts::LoadSyncState(file, loaded, error)) << d.reason;
        EXPECT_EQ(error, file + ", " + d.reason);
        EXPECT_TRUE(loaded.empty());
    }

    // One file per account and pair; names that only move a boundary do not collide.
    std::set<std::string> names;
    for (const auto& [account, local, remote] :
         std::vector<std::tuple<std::string, std::string, std::string>>{{"a", "/x", "/y"},
                                                                        {"b", "/x", "/y"},
                                                                        {"a", "/x", "/z"},
                                                                        {"a", "/w", "/y"},
                                                                        {"ab", "c", "d"},
                                                                        {"a", "bc", "d"},
                                                                        {"a", "b", "cd"}})
        names.insert(ts::SyncStatePath("/s", account, local, remote));
    EXPECT_EQ(names.size(), 7u);
    for (const std::string& n : names)
        EXPECT_TRUE(n.rfind("/s/", 0) == 0 && n.size() == 3 + 16 + 5 && n.ends_with(".sync")) << n;
}

// Name by name: a folder right before what it holds, '-' after '/', bytes unsigned.
TEST(SyncTreeOrder, ComparesNameByName) {
    const std::vector<std::string> sorted = {"A",   "B/x", "a",   "a/b", "a/b/c",
                                             "a/c", "a-b", "a.b", "ab",  "a\xe9"};
    for (std::size_t i = 0; i < sorted.size(); ++i)
        for (std::size_t j = 0; j < sorted.size(); ++j)
            EXPECT_EQ(ts::SyncPathLess(sorted[i], sorted[j]), i < j)
                << sorted[i] << " vs " << sorted[j];
}

} // namespace
