#pragma once

// Recursive delete of a remote or a local folder, in two passes so the caller can ask first:
//
//   DeletePlan plan = PlanRemoteDelete(session, "/pub/site", stop);     // lists everything
//   ask("Delete 'site' with " + plan.count.files + " files in " + plan.count.folders + ...);
//   DeleteReport r = DeleteRemoteTree(session, plan, stop);             // depth-first
//   for (auto& f : r.failures) log(f.path + ": " + f.reason);
//
// The plan lists every entry below the folder (parents before their contents); the count's
// folders include the folder itself. The delete removes files first and each folder once it is
// empty; a failure is recorded (path and reason) and the rest still goes; the stop flag ends it
// between two entries (already deleted entries stay deleted). A lost connection ends it with
// one failure for what was left.
//
// Links are removed, never followed, and nothing outside the folder is touched: a remote link
// is deleted with DELE; a remote entry listed as a folder is first tried with DELE too (a
// server may list a link to a folder as a folder, and only a link or a file can be deleted so),
// and only entered when that fails. A local symbolic link is unlinked; a local folder is checked
// again with lstat just before its contents go, so a folder replaced by a link since the plan
// is only unlinked. The folder given is the caller's to check: give a link to DeleteFile
// instead.

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace tw::ftp {
class RemoteSession;
}

namespace tw::queue {

struct DeleteCount {
    std::uint64_t files = 0;   // files and links
    std::uint64_t folders = 0; // the folder itself and every folder below it
};

struct DeleteFailure {
    std::string path;
    std::string reason; // one line
};

struct DeletePlan {
    struct Entry {
        std::string path;
        bool folder = false;
    };
    std::string root;
    std::vector<Entry> entries; // below the root, each folder before what it holds
    DeleteCount count;
    std::vector<DeleteFailure> failures; // folders that could not be listed
    bool ok = false;                     // the root was listed
    bool stopped = false;                // the stop flag ended the count
};

struct DeleteReport {
    DeleteCount deleted;
    std::vector<DeleteFailure> failures;
    bool stopped = false;
    bool complete() const { return failures.empty() && !stopped; }
};

DeletePlan PlanRemoteDelete(tw::ftp::RemoteSession& session, std::string_view folder,
                            const std::atomic<bool>& stop);
// `deleted` (may be empty) hears of each entry as it goes, for a progress display.
DeleteReport DeleteRemoteTree(tw::ftp::RemoteSession& session, const DeletePlan& plan,
                              const std::atomic<bool>& stop,
                              const std::function<void(const std::string&)>& deleted = {});
DeletePlan PlanLocalDelete(std::string_view folder, const std::atomic<bool>& stop);
DeleteReport DeleteLocalTree(const DeletePlan& plan, const std::atomic<bool>& stop,
                             const std::function<void(const std::string&)>& deleted = {});

} // namespace tw::queue
