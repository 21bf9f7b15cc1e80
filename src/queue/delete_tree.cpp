#include "queue/delete_tree.h"

#include "ftp/ftp_error.h"
#include "ftp/ftp_session.h"
#include "queue/folder_walk.h"
#include "queue/queue_paths.h"
#include "queue/resumable_copy.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace tw::queue {

namespace {

using tw::ftp::DirEntry;
using tw::ftp::EntryType;
using tw::ftp::RemoteSession;

// Lists the folders of a plan depth-first: each folder's entry is followed by its files and
// then by its folders, each with what it holds, so a folder's contents are contiguous.
template <typename ListFolder>
void planFolders(DeletePlan& plan, const std::atomic<bool>& stop, ListFolder list) {
    struct Pending {
        std::string path;
        int depth;
        std::vector<std::uint64_t> above; // listing signatures of its parents, where known
    };
    std::vector<Pending> pending{{plan.root, 0, {}}};
    std::vector<DeletePlan::Entry> found;
    while (!pending.empty()) {
        if (stop.load()) {
            plan.stopped = true;
            return;
        }
        const Pending dir = std::move(pending.back());
        pending.pop_back();
        ++plan.count.folders;
        if (dir.depth > 0)
            plan.entries.push_back({dir.path, true});
        if (dir.depth > kMaxWalkDepth) {
            plan.failures.push_back({dir.path, "the folders are nested too deeply"});
            continue;
        }
        found.clear();
        std::string why;
        std::optional<std::uint64_t> signature;
        if (!list(dir.path, found, why, signature)) {
            if (dir.depth == 0)
                return; // not ok: the folder itself could not be listed
            plan.failures.push_back({dir.path, why});
            continue;
        }
        plan.ok = true;
        std::vector<std::uint64_t> above = dir.above;
        if (signature) {
            // A listing equal to a parent's: a link shown as a folder, leading back up. It is
            // removed as a link, and what it shows is not counted.
            if (std::find(above.begin(), above.end(), *signature) != above.end())
                continue;
            above.push_back(*signature);
        }
        for (const DeletePlan::Entry& e : found)
            if (!e.folder) {
                plan.entries.push_back(e);
                ++plan.count.files;
            }
        for (auto it = found.rbegin(); it != found.rend(); ++it)
            if (it->folder)
                pending.push_back({it->path, dir.depth + 1, above});
    }
}

// Runs the plan: `removeFile` for files and links, `probeFolder` before a folder's contents
// (false: it is gone already, as a link, and its contents are not touched), `removeFolder`
// once its contents went. Each returns false with a reason; `lost` ends the run.
template <typename RemoveFile, typename ProbeFolder, typename RemoveFolder>
DeleteReport runPlan(const DeletePlan& plan, const std::atomic<bool>& stop,
                     const std::function<void(const std::string&)>& deleted, RemoveFile removeFile,
                     ProbeFolder probeFolder, RemoveFolder removeFolder) {
    DeleteReport report;
    std::vector<std::string> open{plan.root};
    std::string gone; // a folder that went as a link: its planned contents are not there
    bool lost = false;
    std::string why;
    const auto closeUntil = [&](const std::string* next) {
        while (!open.empty() && !lost && (!next || !IsSameOrInside(*next, open.back()))) {
            if (removeFolder(open.back(), why, lost)) {
                ++report.deleted.folders;
                if (deleted)
                    deleted(open.back());
            } else
                report.failures.push_back({open.back(), why});
            open.pop_back();
        }
    };
    std::size_t left = plan.entries.size();
    for (const DeletePlan::Entry& e : plan.entries) {
        if (stop.load()) {
            report.stopped = true;
            return report;
        }
        if (lost)
            break;
        --left;
        if (!gone.empty() && IsSameOrInside(e.path, gone))
            continue;
        closeUntil(&e.path);
        if (lost)
            break;
        if (e.folder) {
            bool removed = false;
            if (!probeFolder(e.path, removed, why, lost)) {
                report.failures.push_back({e.path, why});
                gone = e.path; // it is not entered
                continue;
            }
            if (removed) {
                ++report.deleted.files;
                gone = e.path;
                if (deleted)
                    deleted(e.path);
                continue;
            }
            open.push_back(e.path);
        } else if (removeFile(e.path, why, lost)) {
            ++report.deleted.files;
            if (deleted)
                deleted(e.path);
        } else {
            report.failures.push_back({e.path, why});
        }
    }
    if (stop.load()) {
        report.stopped = true;
        return report;
    }
    if (!lost)
        closeUntil(nullptr);
    if (lost)
        report.failures.push_back(
            {plan.root, why + " (" + std::to_string(left + open.size()) + " entries left)"});
    return report;
}

std::string remoteWhy(const RemoteSession& session) {
    return EngineErrorText(session);
}

bool remoteLost(const RemoteSession& session) {
    return !session.isConnected() ||
           (session.lastError() != tw::ftp::kErrExtendedError &&
            IsConnectionFailure(session.lastError(), session.lastResponse()));
}

} // namespace

DeletePlan PlanRemoteDelete(RemoteSession& session, std::string_view folder,
                            const std::atomic<bool>& stop) {
    DeletePlan plan;
    plan.root = std::string(folder);
    std::vector<DirEntry> listed;
    planFolders(
        plan, stop,
        [&](const std::string& path, std::vector<DeletePlan::Entry>& found, std::string& why,
            std::optional<std::uint64_t>& signature) {
            DirEntry e;
            bool ok = session.findFirstFile(JoinPath(path, "*"), e);
            if (!ok && session.lastError() != tw::ftp::kErrNoMoreFiles) {
                why = "cannot list the folder: " + remoteWhy(session);
                return false;
            }
            listed.clear();
            for (; ok; ok = session.findNextFile(e))
                if (e.name != "." && e.name != ".." && !e.name.empty() &&
                    e.name.find('/') == std::string::npos) {
                    found.push_back({JoinPath(path, e.name), e.type == EntryType::Directory});
                    listed.push_back(e);
                }
            session.findClose();
            if (session.exactListings())
                signature = ListingSignature(listed);
            return true;
        });
    return plan;
}

DeleteReport DeleteRemoteTree(RemoteSession& session, const DeletePlan& plan,
                              const std::atomic<bool>& stop,
                              const std::function<void(const std::string&)>& deleted) {
    return runPlan(
        plan, stop, deleted,
        [&](const std::string& path, std::string& why, bool& lost) {
            if (session.deleteFile(path))
                return true;
            why = remoteWhy(session);
            lost = remoteLost(session);
            return false;
        },
        [&](const std::string& path, bool& removed, std::string& why, bool& lost) {
            // A link listed as a folder goes with DELE; a real folder refuses it.
            removed = session.deleteFile(path);
            if (!removed && remoteLost(session)) {
                why = remoteWhy(session);
                lost = true;
                return false;
            }
            return true;
        },
        [&](const std::string& path, std::string& why, bool& lost) {
            if (session.removeDirectory(path))
                return true;
            why = remoteWhy(session);
            lost = remoteLost(session);
            return false;
        });
}

DeletePlan PlanLocalDelete(std::string_view folder, const std::atomic<bool>& stop) {
    DeletePlan plan;
    plan.root = std::string(folder);
    struct stat st {};
    if (::lstat(plan.root.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
        return plan;
    planFolders(plan, stop,
                [](const std::string& path, std::vector<DeletePlan::Entry>& found, std::string& why,
                   std::optional<std::uint64_t>&) {
                    DIR* dir = ::opendir(path.c_str());
                    if (!dir) {
                        why = std::string("cannot open the folder: ") + std::strerror(errno);
                        return false;
                    }
                    while (const dirent* d = ::readdir(dir)) {
                        const std::string_view name(d->d_name);
                        if (name == "." || name == "..")
                            continue;
                        const std::string child = JoinPath(path, name);
                        struct stat cs {};
                        const bool folder = ::lstat(child.c_str(), &cs) == 0 && S_ISDIR(cs.st_mode);
                        found.push_back({child, folder});
                    }
                    ::closedir(dir);
                    return true;
                });
    return plan;
}

DeleteReport DeleteLocalTree(const DeletePlan& plan, const std::atomic<bool>& stop,
                             const std::function<void(const std::string&)>& deleted) {
    const auto failure = [](std::string& why) {
        why = std::strerror(errno);
        return false;
    };
    return runPlan(
        plan, stop, deleted,
        [&](const std::string& path, std::string& why, bool&) {
            return ::unlink(path.c_str()) == 0 || failure(why);
        },
        [&](const std::string& path, bool& removed, std::string& why, bool&) {
            struct stat st {};
            if (::lstat(path.c_str(), &st) != 0)
                return failure(why);
            removed = !S_ISDIR(st.st_mode) && ::unlink(path.c_str()) == 0;
            if (!S_ISDIR(st.st_mode) && !removed)
                return failure(why);
            return true;
        },
        [&](const std::string& path, std::string& why, bool&) {
            return ::rmdir(path.c_str()) == 0 || failure(why);
        });
}

} // namespace tw::queue
