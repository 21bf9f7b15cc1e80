#include "queue/sync/sync_run.h"

#include "ftp/file_digest.h"
#include "ftp/ftp_error.h"
#include "ftp/remote_session.h"
#include "queue/connection_pool.h"
#include "queue/queue_paths.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <unordered_map>
#include <unordered_set>

namespace tw::queue::sync {

namespace {

using tw::ftp::RemoteSession;

constexpr auto kStopPoll = std::chrono::milliseconds(20);

std::string under(const std::string& root, const std::string& relative) {
    return relative.empty() ? root : JoinPath(root, relative);
}

bool isCopy(const SyncAction& a) {
    return a.selected && (a.kind == ActionKind::Copy || a.kind == ActionKind::Replace ||
                          a.kind == ActionKind::MakeFolder);
}

bool connectionGone(const RemoteSession& session) {
    return !session.isConnected() ||
           IsConnectionFailure(session.lastError(), session.lastResponse());
}

ItemResult skipped(std::string why) {
    return ItemResult{ItemState::Skipped, std::move(why), 0, false};
}

constexpr const char* kChanged = "changed since the compare";

// The plan's copies by relative local path, shared by the runner's copies.
using ActionIndex = std::unordered_map<std::string, SyncAction>;

// The local file as the listing saw it (a link to a file is that file).
std::optional<struct stat> localFile(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return std::nullopt;
    return st;
}

// Sessions of a pool shared by a few threads, every one of them aborted when the stop flag is
// set (the caller's thread watches it while the threads work).
class SessionThreads {
public:
    SessionThreads(ConnectionPool& pool, const std::atomic<bool>& stop)
        : m_pool(pool), m_stop(stop) {}

    // Runs `body(session)` on `count` threads, each with a connected session of its own
    // (threads that get none do not run it), until every thread returned.
    template <typename Body>
    void run(int count, Body body) {
        std::vector<std::thread> threads;
        int alive = count;
        for (int i = 0; i < count; ++i)
            threads.emplace_back([&] {
                if (auto session = acquire()) {
                    body(*session);
                    release(std::move(session));
                }
                std::lock_guard lock(m_mutex);
                --alive;
                m_done.notify_all();
            });
        {
            std::unique_lock lock(m_mutex);
            while (alive > 0) {
                if (m_stop.load() && !m_stopping) {
                    m_stopping = true;
                    for (RemoteSession* s : m_live)
                        s->abort();
                }
                m_done.wait_for(lock, kStopPoll);
            }
        }
        for (auto& t : threads)
            t.join();
    }

private:
    std::unique_ptr<RemoteSession> acquire() {
        std::unique_ptr<RemoteSession> session = m_pool.take();
        {
            std::lock_guard lock(m_mutex);
            if (m_stopping) {
                m_pool.give(std::move(session));
                return nullptr;
            }
            m_live.insert(session.get());
        }
        if (!session->isConnected() && m_pool.connect(*session).kind != ConnectOutcome::Connected) {
            release(std::move(session));
            return nullptr;
        }
        return session;
    }
    void release(std::unique_ptr<RemoteSession> session) {
        {
            std::lock_guard lock(m_mutex);
            m_live.erase(session.get());
        }
        m_pool.give(std::move(session));
    }

    ConnectionPool& m_pool;
    const std::atomic<bool>& m_stop;
    std::mutex m_mutex;
    std::condition_variable m_done;
    std::unordered_set<RemoteSession*> m_live;
    bool m_stopping = false;
};

} // namespace

std::vector<TransferItem> SyncQueueRows(const SyncPlan& plan, const std::string& localRoot,
                                        const std::string& remoteRoot) {
    std::vector<TransferItem> rows;
    for (const SyncAction& a : plan.actions) {
        if (!isCopy(a))
            continue;
        TransferItem item;
        item.direction = a.target == Side::Remote ? Direction::Upload : Direction::Download;
        item.kind =
            a.folder || a.kind == ActionKind::MakeFolder ? ItemKind::Folder : ItemKind::File;
        item.localPath = under(localRoot, a.path);
        item.remotePath = under(remoteRoot, a.remotePath.empty() ? a.path : a.remotePath);
        if (item.kind == ItemKind::File) {
            item.size = a.size;
            item.listedTime = a.sourceTime;
        }
        rows.push_back(std::move(item));
    }
    return rows;
}

std::string SyncRowPath(const TransferItem& row, const std::string& localRoot) {
    std::string_view root = localRoot;
    while (root.size() > 1 && root.back() == '/')
        root.remove_suffix(1);
    const std::string_view path = row.localPath;
    if (path == root)
        return {};
    if (path.size() > root.size() && path.substr(0, root.size()) == root &&
        (path[root.size()] == '/' || root == "/"))
        return std::string(path.substr(root == "/" ? 1 : root.size() + 1));
    return row.localPath;
}

ItemRunner GuardedSyncRunner(const SyncPlan& plan, const std::string& localRoot,
                             const std::string& /*remoteRoot*/, ItemRunner inner) {
    auto index = std::make_shared<ActionIndex>();
    for (const SyncAction& a : plan.actions)
        if (isCopy(a) && !a.folder && a.kind != ActionKind::MakeFolder)
            index->emplace(a.path, a);
    return [index, localRoot, inner = std::move(inner)](TransferItem& item, RemoteSession& session,
                                                        const RunContext& context) {
        const auto found = index->find(SyncRowPath(item, localRoot));
        if (found == index->end())
            return inner(item, session, context);
        const SyncAction& a = found->second;
        if (item.direction == Direction::Upload) {
            // The local source: as listed, or left alone.
            const auto st = localFile(item.localPath);
            if (!st || !S_ISREG(st->st_mode) || std::uint64_t(st->st_size) != a.size ||
                (a.sourceTime != 0 && std::int64_t(st->st_mtim.tv_sec) != a.sourceTime))
                return skipped(kChanged);
            // The server's file a replace would overwrite, where the listing's time is exact
            // enough to tell it was changed since.
            if (a.kind == ActionKind::Replace && session.exactListings() &&
                a.destinationTime != 0 && item.sourceSize == 0) {
                const auto time = session.modificationTime(item.remotePath);
                if (!time && connectionGone(session))
                    return ItemResult{ItemState::Failed, EngineErrorText(session),
                                      session.lastError(), true};
                if (time && *time != a.destinationTime)
                    return skipped(kChanged);
            }
            return inner(item, session, context);
        }
        // The local destination: still absent for a copy, still the file the compare saw
        // for a replace.
        struct stat st {};
        const bool exists = ::lstat(item.localPath.c_str(), &st) == 0;
        if (a.kind == ActionKind::Copy && exists)
            return skipped(kChanged);
        if (a.kind == ActionKind::Replace) {
            const auto now = localFile(item.localPath);
            if (!now || !S_ISREG(now->st_mode) ||
                (a.destinationTime != 0 && std::int64_t(now->st_mtim.tv_sec) != a.destinationTime))
                return skipped(kChanged);
        }
        // The remote source, where the listing's time is exact enough to tell.
        if (session.exactListings() && a.sourceTime != 0 && item.sourceSize == 0) {
            const auto time = session.modificationTime(item.remotePath);
            if (!time && connectionGone(session))
                return ItemResult{ItemState::Failed, EngineErrorText(session), session.lastError(),
                                  true};
            if (!time && IsServerRefusal(session.lastError(), session.lastResponse()))
                return skipped(std::string(kChanged) + " (it is gone from the server)");
            if (time && *time != a.sourceTime)
                return skipped(kChanged);
        }
        return inner(item, session, context);
    };
}

std::vector<DeleteOutcome> RunSyncDeletes(RemoteSession* session, const SyncPlan& plan,
                                          const std::string& localRoot,
                                          const std::string& remoteRoot,
                                          const std::atomic<bool>& stop) {
    std::vector<const SyncAction*> doomed;
    for (const SyncAction& a : plan.actions)
        if (a.selected && a.kind == ActionKind::Delete)
            doomed.push_back(&a);
    // What a folder holds before the folder: the reverse of path order.
    std::stable_sort(doomed.begin(), doomed.end(), [](const SyncAction* a, const SyncAction* b) {
        return SyncPathLess(b->path, a->path);
    });
    std::vector<DeleteOutcome> outcomes;
    outcomes.reserve(doomed.size());
    std::string lost; // the connection's loss, told for every remote delete after it
    for (const SyncAction* a : doomed) {
        DeleteOutcome o;
        o.path = a->path;
        o.side = a->target;
        if (stop.load()) {
            o.error = "stopped";
        } else if (a->target == Side::Local) {
            const std::string path = under(localRoot, a->path);
            struct stat st {};
            if (::lstat(path.c_str(), &st) != 0) {
                o.ok = errno == ENOENT; // gone already
                if (!o.ok)
                    o.error = std::strerror(errno);
            } else if (a->folder && S_ISDIR(st.st_mode)) {
                o.ok = ::rmdir(path.c_str()) == 0;
                if (!o.ok)
                    o.error = std::strerror(errno);
            } else if (a->folder || S_ISDIR(st.st_mode)) {
                o.error = kChanged;
            } else {
                // A file as the compare saw it (a link is removed itself, never its target).
                const auto target = localFile(path);
                const bool changed = S_ISREG(st.st_mode) && target &&
                                     (std::uint64_t(target->st_size) != a->size ||
                                      (a->destinationTime != 0 &&
                                       std::int64_t(target->st_mtim.tv_sec) != a->destinationTime));
                if (changed) {
                    o.error = kChanged;
                } else {
                    o.ok = ::unlink(path.c_str()) == 0;
                    if (!o.ok)
                        o.error = std::strerror(errno);
                }
            }
        } else if (!session || !lost.empty()) {
            o.error = lost.empty() ? std::string("no connection to the server") : lost;
        } else {
            const std::string path =
                under(remoteRoot, a->remotePath.empty() ? a->path : a->remotePath);
            o.ok = a->folder ? session->removeDirectory(path) : session->deleteFile(path);
            if (!o.ok) {
                o.error = EngineErrorText(*session);
                if (connectionGone(*session))
                    lost = o.error;
            }
        }
        outcomes.push_back(std::move(o));
    }
    return outcomes;
}

ContentMatches CompareChecksums(ConnectionPool& pool, int connections,
                                const std::vector<std::string>& paths, const std::string& localRoot,
                                const std::string& remoteRoot, const std::atomic<bool>& stop) {
    ContentMatches matches;
    if (paths.empty())
        return matches;
    std::mutex mutex;
    std::size_t next = 0;
    bool unavailable = false; // the server computes no digests
    SessionThreads threads(pool, stop);
    const int count = std::clamp(connections, 1, std::max(1, pool.limit()));
    threads.run(int(std::min<std::size_t>(std::size_t(count), paths.size())),
                [&](RemoteSession& session) {
                    for (;;) {
                        std::size_t at = 0;
                        {
                            std::lock_guard lock(mutex);
                            if (unavailable || stop.load() || next >= paths.size())
                                return;
                            at = next++;
                        }
                        const std::string& path = paths[at];
                        const auto remote = session.fileChecksum(under(remoteRoot, path));
                        if (!remote) {
                            if (session.lastError() == tw::ftp::kErrInvalidOperation) {
                                std::lock_guard lock(mutex);
                                unavailable = true;
                            }
                            if (!session.isConnected())
                                return;
                            continue;
                        }
                        const auto local =
                            tw::ftp::FileDigestHex(under(localRoot, path), remote->algorithm);
                        if (!local)
                            continue;
                        std::lock_guard lock(mutex);
                        matches[path] = *local == remote->hex;
                    }
                });
    return matches;
}

} // namespace tw::queue::sync
