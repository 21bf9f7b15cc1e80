// mirror: the remote and the local folder listed (the remote one on -P connections at once),
// compared and planned; the plan printed (--dry-run) or carried out: its copies on the transfer
// queue, guarded against files changed since the compare, then its deletes.

#include "cli/cli_runner.h"
#include "cli/queue_reporter.h"
#include "cli/size_text.h"

#include "ftp/display_text.h"
#include "ftp/ftp_error.h"
#include "queue/connection_pool.h"
#include "queue/queue_paths.h"
#include "queue/sync/sync_plan.h"
#include "queue/sync/sync_run.h"
#include "queue/sync/sync_tree.h"
#include "queue/transfer_queue.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <sys/stat.h>

namespace tw::cli {

namespace {

namespace sync = tw::queue::sync;
using sync::ActionKind;

std::string shown(std::string_view text) {
    return tw::ftp::DisplayText(text);
}

void warn(const std::string& line) {
    std::fprintf(stderr, "tarnwick-ftp: %s\n", shown(line).c_str());
}

// A refusal of the path itself (it is missing or not a folder), not a lost connection.
bool refusedPath(int code) {
    return code == tw::ftp::kErrExtendedError ||
           (tw::ftp::IsSftpStatus(code) && code != tw::ftp::kErrSftpNoConnection &&
            code != tw::ftp::kErrSftpConnectionLost);
}

const sync::UnlistedFolder* rootFailure(const sync::SyncTree& tree) {
    for (const auto& u : tree.unlisted)
        if (u.path.empty())
            return &u;
    return nullptr;
}

// "copy  docs/a.txt  (not there yet)": the word of the action, the path (a folder's with a
// trailing '/'), the reason.
std::string actionLine(const sync::SyncAction& a) {
    const std::string_view kind =
        a.kind == ActionKind::MakeFolder ? std::string_view("copy") : sync::DescribeKind(a.kind);
    std::string path = a.path.empty() ? std::string(".") : a.path;
    if (a.folder)
        path += '/';
    return std::string(kind) + "  " + shown(path) + "  (" +
           std::string(sync::DescribeReason(a.reason)) + ")";
}

// Whether a real run says why it left a path alone: not for the user's own choices.
bool toldWhenSkipped(sync::Reason reason) {
    switch (reason) {
    case sync::Reason::Excluded:
    case sync::Reason::DeletesOff:
    case sync::Reason::OnlyMissingRule:
    case sync::Reason::OnlyNewerRule:
    case sync::Reason::UnchangedSinceSync:
    case sync::Reason::SameContent:
        return false;
    default:
        return true;
    }
}

std::string plural(std::size_t n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

} // namespace

int CliRunner::mirror(const FtpUrl& url) {
    const CommandLine& c = m_commandLine;
    std::string base;
    if (!m_session->getCurrentDirectory(base))
        return ftpFailure("pwd");
    const std::string remoteRoot = url.path.empty()     ? base
                                   : url.path[0] == '/' ? url.path
                                                        : tw::queue::JoinPath(base, url.path);
    const bool up = c.reverse;
    const std::string localRoot = up ? c.arguments[0] : c.arguments[1];
    struct stat st {};
    const bool localExists = ::stat(localRoot.c_str(), &st) == 0;
    if ((localExists && !S_ISDIR(st.st_mode)) || (!localExists && up))
        return usage(localRoot + " is not a folder");

    // The connection made to look around is the first of the listing's.
    tw::queue::ConnectionPool pool(m_options, c.parallel, std::chrono::seconds(60),
                                   [](const std::string& line) { warn(line); });
    {
        std::lock_guard lock(m_liveMutex);
        m_live = nullptr;
    }
    pool.adopt(std::move(m_session));
    const auto stopped = [] {
        std::fputs("tarnwick-ftp: stopped; nothing more was changed\n", stderr);
        return kExitInterrupted;
    };

    sync::SyncTree remote = sync::ListRemoteSyncTree(pool, remoteRoot, c.parallel, m_interrupted);
    if (m_interrupted)
        return stopped();
    if (const sync::UnlistedFolder* failed = rootFailure(remote)) {
        if (!up || !refusedPath(failed->errorCode)) {
            warn(remoteRoot + ": " + failed->reason);
            return kExitFailure;
        }
        // Mirrored up for the first time: the folder is made (by the run, not the preview).
        sync::SyncTree empty;
        empty.ignoresCase = remote.ignoresCase;
        empty.canSetTimes = remote.canSetTimes;
        remote = std::move(empty);
        if (!c.dryRun) {
            auto session = pool.take();
            const bool ready = session->isConnected() ||
                               pool.connect(*session).kind == tw::queue::ConnectOutcome::Connected;
            if (!ready || !session->createDirectory(remoteRoot)) {
                warn("cannot make the folder " + remoteRoot + ": " +
                     tw::queue::EngineErrorText(*session));
                return kExitFailure;
            }
            pool.give(std::move(session));
        }
    }
    sync::SyncTree local;
    if (localExists)
        local = sync::ListLocalSyncTree(localRoot, m_interrupted);
    if (m_interrupted)
        return stopped();
    if (const sync::UnlistedFolder* failed = rootFailure(local)) {
        warn(localRoot + ": " + failed->reason);
        return kExitFailure;
    }
    for (const auto* tree : {&remote, &local})
        for (const auto& u : tree->unlisted)
            warn((tree == &remote ? "cannot list " + tw::queue::JoinPath(remoteRoot, u.path)
                                  : "cannot list " + tw::queue::JoinPath(localRoot, u.path)) +
                 ": " + u.reason + "; nothing inside it is copied or deleted");

    sync::SyncOptions options;
    options.direction = up ? sync::SyncDirection::Upload : sync::SyncDirection::Download;
    options.onlyNewer = c.onlyNewer;
    options.onlyMissing = c.onlyMissing;
    options.deleteExtra = c.deleteExtra;
    options.compare.rule = c.sizeOnly   ? sync::CompareRule::SizeOnly
                           : c.timeOnly ? sync::CompareRule::TimeOnly
                                        : sync::CompareRule::SizeAndTime;
    options.compare.remoteOffset = c.timeOffset;
    options.excludes = c.excludes;
    options.checksum = c.checksum;
    sync::ContentMatches same;
    if (c.checksum) {
        const auto paths = sync::PathsForChecksum(local, remote, options);
        if (!paths.empty()) {
            same = sync::CompareChecksums(pool, c.parallel, paths, localRoot, remoteRoot,
                                          m_interrupted);
            if (m_interrupted)
                return stopped();
            if (same.empty())
                warn("the server gives no checksums: the times decide");
        }
    }
    const sync::SyncPlan plan =
        sync::PlanSync(local, remote, options, nullptr, c.checksum ? &same : nullptr);

    if (plan.deletes > 0 && plan.deletesEverything && !c.deleteAll) {
        warn("--delete would delete every file in " + (up ? remoteRoot : localRoot) + " (" +
             plural(plan.deletes, "entry", "entries") +
             "); give --delete-all to allow that. Nothing was changed.");
        return kExitUsage;
    }

    const std::size_t changes = plan.copies + plan.replaces + plan.deletes;
    if (c.dryRun) {
        std::size_t skips = 0;
        for (const sync::SyncAction& a : plan.actions) {
            skips += a.kind == ActionKind::Skip ? 1 : 0;
            std::printf("%s\n", actionLine(a).c_str());
        }
        std::printf("%s, %s, %s, %s, %s; %s to copy\n",
                    plural(plan.copies, "copy", "copies").c_str(),
                    plural(plan.replaces, "replace", "replaces").c_str(),
                    plural(plan.deletes, "delete", "deletes").c_str(),
                    plural(plan.conflicts, "conflict", "conflicts").c_str(),
                    plural(skips, "skip", "skips").c_str(), HumanSize(plan.bytes).c_str());
        return changes > 0 ? kExitChanged : plan.conflicts > 0 ? kExitConflicts : kExitOk;
    }
    for (const sync::SyncAction& a : plan.actions) {
        if (a.kind == ActionKind::Conflict)
            warn(actionLine(a));
        else if (a.kind == ActionKind::Skip && toldWhenSkipped(a.reason))
            warn("skipped " +
                 tw::queue::JoinPath(up ? localRoot : remoteRoot, up ? a.path : a.remotePath) +
                 ": " + std::string(sync::DescribeReason(a.reason)));
    }

    if (!localExists && ::mkdir(localRoot.c_str(), 0777) != 0) {
        std::fprintf(stderr, "tarnwick-ftp: cannot make the folder %s: %s\n",
                     shown(localRoot).c_str(), std::strerror(errno));
        return kExitFailure;
    }

    std::size_t copied = 0, failed = 0, deleted = 0;
    bool interrupted = false;
    std::vector<tw::queue::TransferItem> rows = sync::SyncQueueRows(plan, localRoot, remoteRoot);
    if (!rows.empty()) {
        tw::queue::QueueSettings settings;
        settings.maxConnections = c.parallel;
        settings.copy.keepDates = true;
        if (c.blockSizeGiven)
            settings.copy.chunkBytes = c.blockSize;
        settings.copy.probeRemotePartials = c.resume;
        settings.copy.acceptUnconfirmedTlsEnd = c.allowTruncatedTls;
        settings.resumeChoice = [resume = c.resume](const tw::queue::TransferItem&,
                                                    const tw::queue::ResumeOffer& offer) {
            return offer.verified || resume ? tw::queue::ResumeChoice::Resume
                                            : tw::queue::ResumeChoice::StartOver;
        };
        settings.runner = sync::GuardedSyncRunner(plan, localRoot, remoteRoot,
                                                  tw::queue::DefaultRunner(settings.copy));
        QueueReporter reporter(m_showProgress);
        tw::queue::TransferQueue queue(m_options, settings, &reporter);
        // The listing's sessions copy too; one stays for the deletes.
        while (pool.idleCount() > 1)
            queue.adoptSession(pool.take());
        queue.add(std::move(rows));
        while (!queue.waitIdle(std::chrono::milliseconds(100)))
            if (m_interrupted && !interrupted) {
                interrupted = true;
                queue.stop();
            }
        reporter.finish();
        for (const tw::queue::TransferItem& row : queue.snapshot()) {
            copied += row.state == tw::queue::ItemState::Done ? 1 : 0;
            failed += row.state == tw::queue::ItemState::Failed ? 1 : 0;
        }
    }
    if (interrupted || m_interrupted) {
        std::fputs("tarnwick-ftp: stopped; run the mirror again to finish it\n", stderr);
        return kExitInterrupted;
    }

    if (plan.deletes > 0 && failed > 0) {
        warn("nothing was deleted, since some copies failed");
    } else if (plan.deletes > 0) {
        std::unique_ptr<tw::ftp::RemoteSession> session;
        if (up) {
            session = pool.take();
            if (session->isConnected() && !session->keepAlive()) {
                pool.give(std::move(session)); // gone while the copies ran
                session = pool.take();
            }
            if (!session->isConnected()) {
                const auto outcome = pool.connect(*session);
                if (outcome.kind != tw::queue::ConnectOutcome::Connected) {
                    warn("cannot delete: " + outcome.text);
                    return kExitFailure;
                }
            }
            std::lock_guard lock(m_liveMutex);
            m_live = session.get();
        }
        const auto outcomes =
            sync::RunSyncDeletes(session.get(), plan, localRoot, remoteRoot, m_interrupted);
        {
            std::lock_guard lock(m_liveMutex);
            m_live = nullptr;
        }
        for (const sync::DeleteOutcome& o : outcomes) {
            if (o.ok) {
                ++deleted;
                continue;
            }
            ++failed;
            warn(
                "cannot delete " +
                tw::queue::JoinPath(o.side == sync::Side::Remote ? remoteRoot : localRoot, o.path) +
                ": " + o.error);
        }
        if (session)
            pool.give(std::move(session));
        if (m_interrupted)
            return stopped();
    }
    std::printf("%s, %s, %s, %s\n", plural(copied, "copied", "copied").c_str(),
                plural(deleted, "deleted", "deleted").c_str(),
                plural(failed, "failed", "failed").c_str(),
                plural(plan.conflicts, "conflict", "conflicts").c_str());
    if (failed > 0) {
        std::fprintf(stderr, "tarnwick-ftp: %zu of the copies and deletes failed\n", failed);
        return kExitFailure;
    }
    return copied + deleted > 0 ? kExitChanged : plan.conflicts > 0 ? kExitConflicts : kExitOk;
}

} // namespace tw::cli
