#include "queue/chmod_tree.h"

#include "ftp/ftp_error.h"
#include "queue/connection_pool.h"
#include "queue/folder_walk.h"
#include "queue/queue_paths.h"
#include "queue/resumable_copy.h"

#include <algorithm>

namespace tw::queue {

using tw::ftp::DirEntry;
using tw::ftp::EntryType;
using tw::ftp::RemoteSession;

std::optional<std::uint16_t> ModeChange::applyTo(std::optional<std::uint16_t> mode) const {
    const std::uint16_t decided = known & 0777;
    if (!mode && decided != 0777)
        return std::nullopt;
    const std::uint16_t kept = mode ? std::uint16_t(*mode & 07777 & ~decided) : 0;
    return std::uint16_t(kept | (bits & decided));
}

namespace {

bool changesFolders(const ChmodRule& rule) {
    return !rule.recursive || rule.scope != ChmodScope::FilesOnly;
}

bool sessionLost(const RemoteSession& session) {
    return !session.isConnected() ||
           (session.lastError() != tw::ftp::kErrExtendedError &&
            IsConnectionFailure(session.lastError(), session.lastResponse()));
}

} // namespace

ChmodPlan PlanChmod(RemoteSession& session, const std::vector<ChmodTarget>& targets,
                    const ChmodRule& rule, const std::atomic<bool>& stop) {
    ChmodPlan plan;
    // In listing order, each folder before what it holds; reversed at the end.
    std::vector<ChmodTarget> order;
    struct Pending {
        ChmodTarget folder;
        int depth = 0;
        std::vector<std::uint64_t> above; // listing signatures of its parents, where known
    };
    for (const ChmodTarget& target : targets) {
        if (!target.folder || !rule.recursive) {
            order.push_back(target);
            continue;
        }
        std::vector<Pending> pending(1);
        pending.front().folder = target;
        std::vector<DirEntry> listed;
        while (!pending.empty()) {
            if (stop.load()) {
                plan.stopped = true;
                return plan;
            }
            Pending dir = std::move(pending.back());
            pending.pop_back();
            if (changesFolders(rule))
                order.push_back(dir.folder);
            if (dir.depth > kMaxWalkDepth) {
                plan.failures.push_back({dir.folder.path, "the folders are nested too deeply", 0});
                continue;
            }
            DirEntry e;
            bool ok = session.findFirstFile(JoinPath(dir.folder.path, "*"), e);
            if (!ok && session.lastError() != tw::ftp::kErrNoMoreFiles) {
                plan.failures.push_back({dir.folder.path,
                                         "cannot list the folder: " + EngineErrorText(session),
                                         session.lastError()});
                session.findClose();
                if (sessionLost(session))
                    return plan;
                continue;
            }
            listed.clear();
            for (; ok; ok = session.findNextFile(e))
                if (e.name != "." && e.name != ".." && !e.name.empty() &&
                    e.name.find('/') == std::string::npos)
                    listed.push_back(e);
            session.findClose();
            std::vector<std::uint64_t> above = dir.above;
            if (session.exactListings()) {
                const std::uint64_t signature = ListingSignature(listed);
                if (std::find(above.begin(), above.end(), signature) != above.end())
                    continue; // a link shown as a folder, leading back up
                above.push_back(signature);
            }
            for (const DirEntry& entry : listed) {
                ChmodTarget child{JoinPath(dir.folder.path, entry.name),
                                  entry.type == EntryType::Directory, entry.mode};
                if (entry.type == EntryType::File && rule.scope != ChmodScope::FoldersOnly)
                    order.push_back(std::move(child));
            }
            for (auto it = listed.rbegin(); it != listed.rend(); ++it) {
                if (it->type != EntryType::Directory)
                    continue;
                Pending& next = pending.emplace_back();
                next.folder.path = JoinPath(dir.folder.path, it->name);
                next.folder.folder = true;
                next.folder.mode = it->mode;
                next.depth = dir.depth + 1;
                next.above = above;
            }
        }
    }
    plan.entries.assign(order.rbegin(), order.rend());
    return plan;
}

ChmodReport RunChmod(RemoteSession& session, const ChmodPlan& plan, const ModeChange& change,
                     const std::atomic<bool>& stop,
                     const std::function<void(const std::string& path, std::uint64_t done,
                                              std::uint64_t total)>& progress) {
    ChmodReport report;
    report.failures = plan.failures;
    report.total = plan.entries.size();
    report.stopped = plan.stopped;
    if (plan.stopped)
        return report;
    for (std::size_t i = 0; i < plan.entries.size(); ++i) {
        if (stop.load()) {
            report.stopped = true;
            break;
        }
        const ChmodTarget& entry = plan.entries[i];
        if (progress)
            progress(entry.path, report.done, report.total);
        const std::optional<std::uint16_t> mode = change.applyTo(entry.mode);
        if (!mode) {
            report.failures.push_back({entry.path, "its permissions are not known", 0});
            continue;
        }
        if (entry.mode && *entry.mode == *mode) {
            ++report.done;
            continue;
        }
        if (session.chmod(entry.path, *mode)) {
            ++report.done;
            continue;
        }
        if (session.lastError() == tw::ftp::kErrOperationCancelled) {
            report.stopped = true;
            break;
        }
        report.failures.push_back({entry.path, EngineErrorText(session), session.lastError()});
        if (sessionLost(session)) {
            const std::size_t left = plan.entries.size() - i - 1;
            if (left > 0)
                report.failures.push_back(
                    {entry.path,
                     "the connection was lost (" + std::to_string(left) + " entries left)",
                     session.lastError()});
            break;
        }
    }
    return report;
}

ChmodRun::ChmodRun(tw::ftp::SessionOptions options) : m_options(std::move(options)) {}

ChmodRun::~ChmodRun() {
    stop();
    wait();
}

bool ChmodRun::start(std::vector<ChmodTarget> targets, ChmodRule rule, Callbacks callbacks) {
    std::lock_guard lock(m_mutex);
    if (m_running.load())
        return false;
    if (m_thread.joinable())
        m_thread.join();
    m_stop = false;
    m_running = true;
    m_thread = std::thread(&ChmodRun::body, this, std::move(targets), rule, std::move(callbacks));
    return true;
}

void ChmodRun::stop() {
    m_stop = true;
    std::lock_guard lock(m_mutex);
    if (m_session)
        m_session->abort();
}

void ChmodRun::wait() {
    std::thread thread;
    {
        std::lock_guard lock(m_mutex);
        thread = std::move(m_thread);
    }
    if (thread.joinable())
        thread.join();
}

void ChmodRun::body(std::vector<ChmodTarget> targets, ChmodRule rule, Callbacks callbacks) {
    ChmodReport report;
    {
        ConnectionPool pool(m_options, 1, std::chrono::milliseconds(0), m_options.notice);
        std::unique_ptr<RemoteSession> session = pool.take();
        {
            std::lock_guard lock(m_mutex);
            m_session = session.get();
        }
        const ConnectOutcome connected = m_stop.load()
                                             ? ConnectOutcome{ConnectOutcome::Failed,
                                                              tw::ftp::kErrOperationCancelled,
                                                              {},
                                                              {},
                                                              false}
                                             : pool.connect(*session);
        if (connected.kind != ConnectOutcome::Connected) {
            report.stopped = m_stop.load();
            if (!report.stopped)
                report.failures.push_back({targets.empty() ? std::string() : targets.front().path,
                                           connected.text, connected.error});
        } else {
            if (callbacks.progress)
                callbacks.progress(targets.empty() ? std::string() : targets.front().path, 0, 0);
            const ChmodPlan plan = PlanChmod(*session, targets, rule, m_stop);
            report = RunChmod(*session, plan, rule.change, m_stop, callbacks.progress);
        }
        {
            std::lock_guard lock(m_mutex);
            m_session = nullptr;
        }
        if (session->isConnected())
            session->close(false);
    }
    m_running = false;
    if (callbacks.finished)
        callbacks.finished(report);
}

} // namespace tw::queue
