#include "queue/sync/sync_tree.h"

#include "ftp/dir_entry.h"
#include "ftp/ftp_error.h"
#include "ftp/name_safety.h"
#include "ftp/remote_session.h"
#include "queue/connection_pool.h"
#include "queue/folder_walk.h"
#include "queue/queue_paths.h"
#include "queue/resumable_copy.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <mutex>
#include <sys/stat.h>
#include <thread>
#include <unordered_set>

namespace tw::queue::sync {

namespace {

using tw::ftp::DirEntry;
using tw::ftp::EntryType;
using tw::ftp::RemoteSession;

// Folders listed between two progress reports.
constexpr std::size_t kProgressEvery = 64;

// How often the caller's thread looks at the stop flag while the listing threads work.
constexpr auto kStopPoll = std::chrono::milliseconds(20);

// A name that is no name of its own inside a folder (it cannot be a path component).
bool unusableComponent(std::string_view name) {
    return name.empty() || name == "." || name == ".." || name.find('/') != std::string_view::npos;
}

bool hiddenCopyName(std::string_view name) {
    return IsDownloadPartialName(name) || IsUploadTemporaryName(name);
}

std::string childPath(const std::string& folder, std::string_view name) {
    std::string path;
    path.reserve(folder.size() + 1 + name.size());
    path = folder;
    if (!path.empty())
        path += '/';
    path += name;
    return path;
}

void sortEntries(std::vector<SyncEntry>& entries) {
    std::sort(entries.begin(), entries.end(),
              [](const SyncEntry& a, const SyncEntry& b) { return SyncPathLess(a.path, b.path); });
}

// --- Local ----------------------------------------------------------------------------------

SyncEntry localEntry(std::string path, const struct stat& st, EntryKind kind,
                     std::string_view name) {
    SyncEntry e;
    e.path = std::move(path);
    e.kind = kind;
    e.size = kind == EntryKind::File ? std::uint64_t(st.st_size) : 0;
    e.time = std::int64_t(st.st_mtim.tv_sec);
    e.precision = TimePrecision::Second;
    e.unsafeName = !tw::ftp::IsSendableArgument(name);
    return e;
}

// --- Remote ---------------------------------------------------------------------------------

bool connectionGone(const RemoteSession& session) {
    return !session.isConnected() ||
           IsConnectionFailure(session.lastError(), session.lastResponse()) ||
           session.lastError() == tw::ftp::kErrOperationCancelled;
}

TimePrecision remotePrecision(bool exact, std::int64_t time) {
    if (time == 0)
        return TimePrecision::Unknown;
    if (exact)
        return TimePrecision::Second;
    return time % 86400 == 0 ? TimePrecision::Day : TimePrecision::Minute;
}

// The remote folders of one listing, shared by its threads: a stack of folders still to be
// listed, each thread listing one at a time on its own session and pushing the folders it
// finds. The listing ends when the stack is empty and no thread is listing.
class RemoteLister {
public:
    RemoteLister(ConnectionPool& pool, std::string root, const std::atomic<bool>& stop,
                 const ListProgress& progress)
        : m_pool(pool), m_root(std::move(root)), m_stop(stop), m_progress(progress) {
        if (m_root.size() > 1 && m_root.back() == '/')
            m_root.pop_back();
    }

    SyncTree run(int threads) {
        m_pending.push_back({std::string(), 0, {}});
        m_found.resize(std::size_t(threads));
        m_alive = threads;
        std::vector<std::thread> workers;
        workers.reserve(std::size_t(threads));
        for (int i = 0; i < threads; ++i)
            workers.emplace_back([this, i] { work(m_found[std::size_t(i)]); });
        {
            std::unique_lock lock(m_mutex);
            while (m_alive > 0) {
                if (m_stop.load() && !m_stopping) {
                    m_stopping = true;
                    for (RemoteSession* s : m_live)
                        s->abort();
                    m_wake.notify_all();
                }
                m_done.wait_for(lock, kStopPoll);
            }
        }
        for (auto& t : workers)
            t.join();

        SyncTree tree;
        tree.stopped = m_stopping;
        tree.ignoresCase = m_ignoresCase;
        tree.canSetTimes = m_canSetTimes;
        std::size_t total = 0;
        for (const auto& part : m_found)
            total += part.size();
        tree.entries.reserve(total);
        for (auto& part : m_found)
            std::move(part.begin(), part.end(), std::back_inserter(tree.entries));
        sortEntries(tree.entries);
        for (const std::string& path : m_loops) {
            const auto at = std::lower_bound(
                tree.entries.begin(), tree.entries.end(), path,
                [](const SyncEntry& e, const std::string& p) { return SyncPathLess(e.path, p); });
            if (at != tree.entries.end() && at->path == path)
                at->kind = EntryKind::Link;
        }
        if (m_progress)
            m_progress(m_listed);
        // Folders nobody could list any more (every connection failed, or the run stopped).
        for (const Folder& f : m_pending)
            m_unlisted.push_back(
                {f.path, m_stopping ? std::string("stopped") : m_lastFailure, m_lastCode});
        std::sort(m_unlisted.begin(), m_unlisted.end(),
                  [](const UnlistedFolder& a, const UnlistedFolder& b) {
                      return SyncPathLess(a.path, b.path);
                  });
        tree.unlisted = std::move(m_unlisted);
        return tree;
    }

private:
    struct Folder {
        std::string path; // relative
        int depth = 0;
        // Over exact listings: the listing signatures of the folders above it, so a link shown
        // as a folder that leads back up is told apart (folder_walk.h).
        std::vector<std::uint64_t> above;
    };

    // A connected session of the pool, or null (the reason kept for the folders left over).
    std::unique_ptr<RemoteSession> acquire() {
        std::unique_ptr<RemoteSession> session = m_pool.take();
        {
            std::lock_guard lock(m_mutex);
            if (m_stopping)
                return giveBack(std::move(session));
            m_live.insert(session.get());
        }
        if (!session->isConnected()) {
            const ConnectOutcome c = m_pool.connect(*session);
            if (c.kind != ConnectOutcome::Connected) {
                std::lock_guard lock(m_mutex);
                m_live.erase(session.get());
                if (c.kind == ConnectOutcome::Failed || !m_failureKnown) {
                    m_lastFailure = c.text;
                    m_lastCode = c.error;
                    m_failureKnown = true;
                }
                return giveBack(std::move(session));
            }
        }
        std::lock_guard lock(m_mutex);
        if (!m_sideKnown) {
            m_sideKnown = true;
            m_ignoresCase = session->namesIgnoreCase();
            m_canSetTimes = session->canSetModificationTime();
        }
        return session;
    }

    std::unique_ptr<RemoteSession> giveBack(std::unique_ptr<RemoteSession> session) {
        m_pool.give(std::move(session));
        return nullptr;
    }

    void release(std::unique_ptr<RemoteSession> session) {
        if (!session)
            return;
        {
            std::lock_guard lock(m_mutex);
            m_live.erase(session.get());
        }
        m_pool.give(std::move(session));
    }

    // The next folder to list; false when the listing is over (or stopped).
    bool next(Folder& folder) {
        std::unique_lock lock(m_mutex);
        m_wake.wait(lock, [&] { return m_stopping || !m_pending.empty() || m_busy == 0; });
        if (m_stopping || m_pending.empty())
            return false;
        folder = std::move(m_pending.back());
        m_pending.pop_back();
        ++m_busy;
        return true;
    }

    void work(std::vector<SyncEntry>& found) {
        std::unique_ptr<RemoteSession> session = acquire();
        std::vector<DirEntry> listing;
        std::vector<Folder> below;
        Folder folder;
        while (session && next(folder)) {
            below.clear();
            std::string failure;
            int code = 0;
            bool ok = list(*session, folder, listing, failure, code);
            // A lost connection: once more on another session.
            if (!ok && !m_stop.load() && connectionGone(*session)) {
                release(std::move(session));
                session = acquire();
                if (session)
                    ok = list(*session, folder, listing, failure, code);
            }
            if (ok)
                take(folder, listing, session->exactListings(), found, below);
            std::lock_guard lock(m_mutex);
            if (!ok && !m_stopping)
                m_unlisted.push_back({folder.path, failure, code});
            else if (!ok)
                m_pending.push_back(std::move(folder)); // told as stopped with the others
            for (Folder& f : below)
                m_pending.push_back(std::move(f));
            --m_busy;
            if (++m_listed % kProgressEvery == 0 && m_progress)
                m_progress(m_listed);
            m_wake.notify_all();
        }
        release(std::move(session));
        std::lock_guard lock(m_mutex);
        --m_alive;
        m_wake.notify_all();
        m_done.notify_all();
    }

    // One folder's listing into `listing`; false with the reason when it could not be read.
    bool list(RemoteSession& session, const Folder& folder, std::vector<DirEntry>& listing,
              std::string& failure, int& code) {
        listing.clear();
        const std::string absolute = folder.path.empty() ? m_root : JoinPath(m_root, folder.path);
        // The root is entered first: a listing of a missing path or of a file reads, on some
        // servers, as an empty folder or as that file.
        if (folder.path.empty() && !session.setCurrentDirectory(absolute)) {
            failure = "cannot open the folder: " + EngineErrorText(session);
            code = session.lastError();
            return false;
        }
        DirEntry entry;
        bool more = session.findFirstFile(JoinPath(absolute, "*"), entry);
        if (!more && session.lastError() != tw::ftp::kErrNoMoreFiles) {
            failure = "cannot list the folder: " + EngineErrorText(session);
            code = session.lastError();
            return false;
        }
        for (; more; more = session.findNextFile(entry))
            listing.push_back(std::move(entry));
        const int end = session.lastError();
        session.findClose();
        if (end == tw::ftp::kErrListingTooLarge) {
            failure = "the listing is too large";
            code = end;
            return false;
        }
        return true;
    }

    void take(const Folder& folder, const std::vector<DirEntry>& listing, bool exact,
              std::vector<SyncEntry>& found, std::vector<Folder>& below) {
        std::vector<std::uint64_t> above;
        if (exact) {
            const std::uint64_t signature = ListingSignature(listing);
            if (folder.depth > 0 && std::find(folder.above.begin(), folder.above.end(),
                                              signature) != folder.above.end()) {
                // A link back up, shown as a folder: it stays, as a link, and is not entered.
                std::lock_guard lock(m_mutex);
                m_loops.push_back(folder.path);
                return;
            }
            above = folder.above;
            above.push_back(signature);
        }
        for (const DirEntry& e : listing) {
            if (unusableComponent(e.name) || hiddenCopyName(e.name))
                continue;
            SyncEntry s;
            s.path = childPath(folder.path, e.name);
            s.kind = e.type == EntryType::Directory ? EntryKind::Folder
                     : e.type == EntryType::Link    ? EntryKind::Link
                     : e.type == EntryType::Other   ? EntryKind::Other
                                                    : EntryKind::File;
            s.size = s.kind == EntryKind::File ? e.size : 0;
            s.time = e.lastWriteTime;
            s.precision = remotePrecision(exact, e.lastWriteTime);
            s.unsafeName = e.unsafeName || !tw::ftp::IsSafeLocalName(e.name);
            if (s.kind == EntryKind::Folder && !s.unsafeName) {
                if (folder.depth + 1 > kMaxWalkDepth) {
                    std::lock_guard lock(m_mutex);
                    m_unlisted.push_back({s.path, "the folders are nested too deeply", 0});
                } else {
                    below.push_back({s.path, folder.depth + 1, above});
                }
            }
            found.push_back(std::move(s));
        }
    }

    ConnectionPool& m_pool;
    std::string m_root;
    const std::atomic<bool>& m_stop;
    const ListProgress& m_progress;

    std::mutex m_mutex;
    std::condition_variable m_wake; // a folder to list, or the end
    std::condition_variable m_done; // a thread ended
    std::vector<Folder> m_pending;
    std::vector<std::vector<SyncEntry>> m_found; // one part per thread, no lock needed
    std::vector<UnlistedFolder> m_unlisted;
    std::unordered_set<RemoteSession*> m_live;
    int m_busy = 0;
    int m_alive = 0;
    std::size_t m_listed = 0;
    bool m_stopping = false;
    bool m_sideKnown = false;
    bool m_ignoresCase = false;
    bool m_canSetTimes = true;
    std::vector<std::string> m_loops; // folders found to be links back up
    std::string m_lastFailure = "no connection to the server";
    int m_lastCode = 0;
    bool m_failureKnown = false;
};

} // namespace

bool SyncPathLess(std::string_view a, std::string_view b) {
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        if (a[i] == b[i])
            continue;
        // The end of a name sorts before any byte of a longer name.
        if (a[i] == '/')
            return true;
        if (b[i] == '/')
            return false;
        return static_cast<unsigned char>(a[i]) < static_cast<unsigned char>(b[i]);
    }
    return a.size() < b.size();
}

SyncTree ListLocalSyncTree(const std::string& root, const std::atomic<bool>& stop,
                           const ListProgress& progress) {
    SyncTree tree;
    struct Pending {
        std::string path;
        int depth;
    };
    struct stat rootStat {};
    const int rootError = ::stat(root.c_str(), &rootStat) != 0 ? errno
                          : S_ISDIR(rootStat.st_mode)          ? 0
                                                               : ENOTDIR;
    if (rootError != 0) {
        const int error = rootError;
        tree.unlisted.push_back(
            {std::string(), std::string("cannot open the folder: ") + std::strerror(error), 0});
        return tree;
    }
    std::vector<Pending> pending{{std::string(), 0}};
    std::size_t listed = 0;
    while (!pending.empty()) {
        if (stop.load()) {
            tree.stopped = true;
            for (const Pending& p : pending)
                tree.unlisted.push_back({p.path, "stopped", tw::ftp::kErrOperationCancelled});
            break;
        }
        const Pending dir = std::move(pending.back());
        pending.pop_back();
        const std::string full = dir.path.empty() ? root : JoinPath(root, dir.path);
        // Below the root, a folder replaced by a link since it was seen is not entered.
        const int fd = ::open(full.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC |
                                                (dir.path.empty() ? 0 : O_NOFOLLOW));
        DIR* handle = fd >= 0 ? ::fdopendir(fd) : nullptr;
        if (!handle) {
            const int error = errno;
            if (fd >= 0)
                ::close(fd);
            tree.unlisted.push_back(
                {dir.path, std::string("cannot open the folder: ") + std::strerror(error), 0});
            continue;
        }
        while (const dirent* d = ::readdir(handle)) {
            const std::string_view name(d->d_name);
            if (unusableComponent(name) || hiddenCopyName(name))
                continue;
            std::string path = childPath(dir.path, name);
            struct stat st {};
            if (::fstatat(fd, d->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) {
                tree.entries.push_back(localEntry(std::move(path), st, EntryKind::Other, name));
                continue;
            }
            EntryKind kind = EntryKind::Other;
            if (S_ISLNK(st.st_mode)) {
                // A link to a file is that file; a link to a folder is never followed.
                struct stat target {};
                if (::fstatat(fd, d->d_name, &target, 0) == 0 && S_ISREG(target.st_mode)) {
                    st = target;
                    kind = EntryKind::File;
                } else if (S_ISDIR(target.st_mode)) {
                    kind = EntryKind::Link;
                }
            } else if (S_ISREG(st.st_mode)) {
                kind = EntryKind::File;
            } else if (S_ISDIR(st.st_mode)) {
                kind = EntryKind::Folder;
            }
            SyncEntry e = localEntry(std::move(path), st, kind, name);
            if (kind == EntryKind::Folder) {
                if (dir.depth + 1 > kMaxWalkDepth)
                    tree.unlisted.push_back({e.path, "the folders are nested too deeply", 0});
                else
                    pending.push_back({e.path, dir.depth + 1});
            }
            tree.entries.push_back(std::move(e));
        }
        ::closedir(handle);
        if (++listed % kProgressEvery == 0 && progress)
            progress(listed);
    }
    sortEntries(tree.entries);
    std::sort(tree.unlisted.begin(), tree.unlisted.end(),
              [](const UnlistedFolder& a, const UnlistedFolder& b) {
                  return SyncPathLess(a.path, b.path);
              });
    if (progress)
        progress(listed);
    return tree;
}

SyncTree ListRemoteSyncTree(ConnectionPool& pool, const std::string& root, int connections,
                            const std::atomic<bool>& stop, const ListProgress& progress) {
    const int threads = std::clamp(connections, 1, std::max(1, pool.limit()));
    RemoteLister lister(pool, root, stop, progress);
    SyncTree tree = lister.run(threads);
    return tree;
}

} // namespace tw::queue::sync
