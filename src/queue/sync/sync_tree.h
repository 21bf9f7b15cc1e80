#pragma once

// The two sides of a folder comparison: every entry under a local folder and under a remote
// one, by path relative to the root, as plain values without Qt. The window's Compare Folders
// and Synchronise and tarnwick-ftp's mirror read both trees with these and hand them to the
// compare and the planner (sync_plan.h).
//
//   SyncTree local = ListLocalSyncTree("/home/me/site", stop);
//   SyncTree remote = ListRemoteSyncTree(pool, "/www", 4, stop);   // folders listed in parallel
//
// Paths are byte strings with '/' between names ("docs/a.txt"), never starting with '/'. The
// hidden names of unfinished copies (".x.tw-part", ".x.tw-up") are left out. A folder that cannot
// be listed is named in `unlisted` with the reason and its contents are unknown: the planner
// never deletes below it.

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace tw::queue {
class ConnectionPool;
}

namespace tw::queue::sync {

// How finely a listed time is known. Local files, MLSD and SFTP give seconds; LIST gives
// minutes for recent files and only the day for old ones.
enum class TimePrecision : std::uint8_t { Unknown = 0, Day = 1, Minute = 2, Second = 3 };

enum class EntryKind : std::uint8_t {
    File,
    Folder,
    Link,  // a link not followed (a remote link; a local link to a folder)
    Other, // a device, a pipe, a socket, a broken link
};

struct SyncEntry {
    std::string path; // relative to the root, '/' between names, raw bytes
    EntryKind kind = EntryKind::File;
    std::uint64_t size = 0;
    std::int64_t time = 0; // modification time, seconds since 1970 UTC; 0 unknown
    TimePrecision precision = TimePrecision::Second;
    // The name is not usable on the other side as it stands: a server's name that is no safe
    // local file name, or a local name that cannot be sent in an FTP command.
    bool unsafeName = false;
};

struct UnlistedFolder {
    std::string path; // relative, "" for the root itself
    std::string reason;
    int errorCode = 0;
};

struct SyncTree {
    std::vector<SyncEntry> entries; // sorted by path (bytes), folders before their contents
    std::vector<UnlistedFolder> unlisted;
    bool stopped = false;
    // The remote side's names ignore case (a Windows server): "A.txt" and "a.txt" are one file.
    bool ignoresCase = false;
    // The remote side can set a file's modification time (MFMT, SFTP's setstat).
    bool canSetTimes = true;

    // The root itself could be listed.
    bool rootListed() const {
        for (const auto& u : unlisted)
            if (u.path.empty())
                return false;
        return true;
    }
};

// The order of SyncTree::entries: name by name, bytes compared, so "a" comes right before
// "a/b" and everything else inside "a", and "a/b" before "a-b" (plain byte order would put
// '-' before '/').
bool SyncPathLess(std::string_view a, std::string_view b);

// Reports how many folders have been listed so far (from a listing thread, rarely).
using ListProgress = std::function<void(std::size_t foldersListed)>;

// Every entry under `root` (lstat: a link to a file is taken as that file, a link to a folder is
// a Link entry not followed, so a walk never loops and a delete never goes through one).
SyncTree ListLocalSyncTree(const std::string& root, const std::atomic<bool>& stop,
                           const ListProgress& progress = {});

// Every entry under the absolute remote `root`, its folders listed on up to `connections`
// sessions of `pool` at once. A remote link is a Link entry (not followed). Non-exact listings
// (LIST) give Minute precision, or Day for a time at midnight, where LIST shows old files
// with a year and no time.
SyncTree ListRemoteSyncTree(ConnectionPool& pool, const std::string& root, int connections,
                            const std::atomic<bool>& stop, const ListProgress& progress = {});

} // namespace tw::queue::sync
