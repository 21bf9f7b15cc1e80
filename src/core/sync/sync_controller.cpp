#include "core/sync/sync_controller.h"

#include "core/panes/local_paths.h"
#include "core/panes/size_text.h"
#include "core/queue/queue_controller.h"
#include "core/session/session_controller.h"
#include "core/text/messages.h"
#include "core/text/shown_text.h"
#include "ftp/remote_session.h"
#include "queue/connection_pool.h"
#include "queue/sync/sync_run.h"
#include "queue/sync/sync_tree.h"

#include <QDir>
#include <QRegularExpression>
#include <QStringList>

#include <algorithm>
#include <atomic>
#include <map>
#include <mutex>
#include <string>

namespace tw {

namespace {

namespace qs = queue::sync;

// The texts of the flow (string_table_program.cpp).
constexpr int kReasonFirst = 5830; // one per qs::Reason, in its order
constexpr int kKindFirst = 5853;   // one per qs::ActionKind, in its order
constexpr int kWhereServer = 5859;
constexpr int kWhereLocal = 5860;
constexpr int kSummary = 5861;
constexpr int kInStep = 5862;
constexpr int kCaption = 5863;
constexpr int kDeleteOnServer = 5864;
constexpr int kDeleteLocally = 5865;
constexpr int kFileCount = 5866;
constexpr int kFolderCount = 5867;
constexpr int kFilesAndFolders = 5868;
constexpr int kDeleteEverything = 5869;
constexpr int kSynchronised = 5870;
constexpr int kListing = 5871;
constexpr int kStopped = 5872;
constexpr int kRootUnlisted = 5873;
constexpr int kDeleteFailed = 5874;
constexpr int kStateUnreadable = 5875;
constexpr int kStateUnsaved = 5876;
constexpr int kStillRunning = 5877;
constexpr int kChecksums = 5878;
constexpr int kLeftAlone = 5879;
constexpr int kDeleting = 5880;
constexpr int kDeletesFailed = 5881;
constexpr int kNoteLine = 4428;

constexpr auto kPoolIdle = std::chrono::seconds(30);

QString decode(const std::string& bytes) {
    return QString::fromUtf8(bytes.data(), qsizetype(bytes.size()));
}

std::string bytes(const QByteArray& b) {
    return {b.constData(), std::size_t(b.size())};
}

QString plural(std::uint64_t n) {
    return n == 1 ? QString() : QStringLiteral("s");
}

bool tickable(qs::ActionKind kind) {
    return kind == qs::ActionKind::Copy || kind == qs::ActionKind::Replace ||
           kind == qs::ActionKind::Delete || kind == qs::ActionKind::MakeFolder;
}

// "a;b ; c" as its patterns; the extension lists' separators (';', ',' and blanks) as ';'.
std::vector<std::string> patterns(const QString& text) {
    std::vector<std::string> out;
    for (const QString& part : text.split(u';', Qt::SkipEmptyParts))
        if (const QString p = part.trimmed(); !p.isEmpty())
            out.push_back(p.toStdString());
    return out;
}

QString extensions(const QStringList& lists) {
    QStringList out;
    static const QRegularExpression separators(QStringLiteral("[;,\\s]+"));
    for (const QString& list : lists)
        for (const QString& part : list.split(separators, Qt::SkipEmptyParts))
            if (!out.contains(part, Qt::CaseInsensitive))
                out << part;
    return out.join(u';');
}

} // namespace

// One run from the options to the saved state. The thread and the UI thread take turns with
// it: the thread fills it, then hands it over, and never touches it again until started anew.
struct SyncController::Run {
    std::string localRoot;
    std::string remoteRoot;
    std::string accountName;
    std::string statePath;
    qs::SyncOptions options;
    int connections = 1;
    std::shared_ptr<queue::ConnectionPool> pool;
    std::atomic<bool> stop{false};

    qs::SyncTree local;
    qs::SyncTree remote;
    qs::SyncPlan plan;
    std::string stateError;

    std::vector<std::string> done; // relative paths of the actions carried out
    std::size_t copied = 0;
    std::size_t replaced = 0;
    std::size_t deleted = 0;
    bool stopped = false;
    std::vector<qs::DeleteOutcome> deletes;
    std::string deleteError; // no connection for the deletes
};

// What the thread hands to the UI thread: the latest progress text, once per turn of the UI
// thread, and the controller while it lives.
struct SyncController::Shared {
    std::mutex mutex;
    QString progress;
    bool posted = false;
    SyncController* owner = nullptr; // UI thread only
};

SyncController::SyncController(AppState& state, AppRuntime& runtime, const Messages& messages,
                               SessionController& session, QueueController& queue, SyncPort& port,
                               QString stateFolder, Hooks hooks)
    : m_state(state), m_runtime(runtime), m_messages(messages), m_session(session), m_queue(queue),
      m_port(port), m_stateFolder(std::move(stateFolder)), m_hooks(std::move(hooks)),
      m_shared(std::make_shared<Shared>()) {
    m_shared->owner = this;
}

SyncController::~SyncController() {
    m_shared->owner = nullptr;
    stop();
    waitForWorker();
}

void SyncController::stop() {
    if (m_run)
        m_run->stop = true;
}

void SyncController::waitForWorker() {
    if (m_thread.joinable())
        m_thread.join();
}

void SyncController::startThread(std::function<void()> body) {
    waitForWorker();
    m_thread = std::thread(std::move(body));
}

void SyncController::post(std::function<void(SyncController&)> task) const {
    const std::weak_ptr<Shared> weak = m_shared;
    m_messages.port().runOnUiThread([weak, task = std::move(task)] {
        if (const std::shared_ptr<Shared> shared = weak.lock(); shared && shared->owner)
            task(*shared->owner);
    });
}

bool SyncController::Synchronise() {
    if (!m_runtime.connected || m_runtime.busy || m_runtime.sessionLost || !m_session.engine()) {
        m_messages.Beep();
        return false;
    }
    if (running()) {
        m_messages.InfoBox(kCaption, kStillRunning);
        return false;
    }
    const AccountRecord* account = m_session.sessionAccount();
    SyncOptionsRequest request;
    request.localFolder = m_state.local.path;
    request.remoteFolder = ShownText(m_state.remote.path, ftp::LineBreaks::Escape);
    request.start = m_last.value_or(SyncChoices{});
    request.start.excludes = account ? account->SyncExcludes : QString();
    const std::optional<SyncChoices> choices = m_port.askSyncOptions(request);
    if (!choices)
        return false;
    m_last = *choices;
    if (account && choices->excludes != account->SyncExcludes)
        saveExcludes(choices->excludes);

    auto run = std::make_shared<Run>();
    run->localRoot = bytes(LocalPathBytes(m_state.local));
    run->remoteRoot = bytes(m_session.remotePathBytes());
    qs::SyncOptions& options = run->options;
    options.direction = choices->direction;
    options.onlyNewer = choices->onlyNewer;
    options.onlyMissing = choices->onlyMissing;
    options.deleteExtra = choices->deleteExtra;
    options.compare.rule = choices->rule;
    options.checksum = choices->checksum;
    options.excludes = patterns(choices->excludes);
    if (account) {
        options.compare.remoteOffset = account->TimeOffset;
        options.excludeExtensions =
            extensions({account->LocalExclude, account->RemoteExclude}).toStdString();
        run->accountName = account->Name.toStdString();
    } else {
        options.excludeExtensions =
            extensions({m_state.local.exclude, m_state.remote.exclude}).toStdString();
    }
    run->connections = int(account && account->Connections != 0 ? account->Connections
                                                                : m_state.options.Connections);
    run->connections = std::clamp(run->connections, 1, 10);
    if (!m_stateFolder.isEmpty())
        run->statePath = qs::SyncStatePath(QDir(m_stateFolder).absolutePath().toStdString(),
                                           run->accountName, run->localRoot, run->remoteRoot);
    const Messages& messages = m_messages;
    run->pool = std::make_shared<queue::ConnectionPool>(
        m_session.connectionOptions(), run->connections, kPoolIdle,
        [&messages](const std::string& note) { messages.LogMessage(kNoteLine, {decode(note)}); });
    m_run = run;

    m_port.openSyncProgress(m_messages.FormatStringResource(kListing, {0}).value_or(QString()),
                            [this] { stop(); });
    const std::weak_ptr<Shared> weak = m_shared;
    startThread([this, run, weak] {
        std::atomic<std::size_t> localFolders{0};
        const auto progress = [this, weak](std::size_t folders) {
            const std::shared_ptr<Shared> shared = weak.lock();
            if (!shared)
                return;
            const QString text =
                m_messages.FormatStringResource(kListing, {folders}).value_or(QString());
            {
                const std::lock_guard lock(shared->mutex);
                shared->progress = text;
                if (std::exchange(shared->posted, true))
                    return;
            }
            post([](SyncController& owner) { owner.showProgress(); });
        };
        run->local = qs::ListLocalSyncTree(run->localRoot, run->stop,
                                           [&](std::size_t n) { progress(localFolders = n); });
        if (!run->stop)
            run->remote =
                qs::ListRemoteSyncTree(*run->pool, run->remoteRoot, run->connections, run->stop,
                                       [&](std::size_t n) { progress(localFolders + n); });
        qs::SyncState last;
        if (!run->statePath.empty() && !qs::LoadSyncState(run->statePath, last, run->stateError))
            last.clear();
        qs::ContentMatches same;
        if (run->options.checksum && !run->stop) {
            const std::vector<std::string> paths =
                qs::PathsForChecksum(run->local, run->remote, run->options);
            if (!paths.empty()) {
                m_messages.LogMessage(kChecksums,
                                      {std::uint64_t(paths.size()), plural(paths.size())});
                same = qs::CompareChecksums(*run->pool, run->connections, paths, run->localRoot,
                                            run->remoteRoot, run->stop);
            }
        }
        if (!run->stop)
            run->plan = qs::PlanSync(run->local, run->remote, run->options, &last,
                                     run->options.checksum ? &same : nullptr);
        post([](SyncController& owner) { owner.listed(); });
    });
    return true;
}

void SyncController::showProgress() {
    QString text;
    {
        const std::lock_guard lock(m_shared->mutex);
        text = m_shared->progress;
        m_shared->posted = false;
    }
    if (m_run)
        m_port.updateSyncProgress(text);
}

void SyncController::saveExcludes(const QString& excludes) {
    const int index = m_state.CurrentAccount;
    if (m_session.quickAccount() || index < 0 || index >= m_state.AccountCount())
        return; // a quick connection's account is not kept
    AppState draft = m_state;
    draft.Accounts[std::size_t(index)].SyncExcludes = excludes;
    if (!m_hooks.saveAccounts || m_hooks.saveAccounts(draft))
        m_state.Accounts[std::size_t(index)].SyncExcludes = excludes;
}

void SyncController::listed() {
    m_port.closeSyncProgress();
    const std::shared_ptr<Run> run = m_run;
    if (!run)
        return;
    if (run->stop) {
        m_messages.LogMessage(kStopped);
        m_run.reset();
        return;
    }
    for (const auto* tree : {&run->local, &run->remote})
        for (const qs::UnlistedFolder& u : tree->unlisted)
            if (u.path.empty()) {
                const std::string& root = tree == &run->local ? run->localRoot : run->remoteRoot;
                m_messages.InfoBox(kCaption, kRootUnlisted, {decode(root), decode(u.reason)});
                m_run.reset();
                return;
            }
    if (!run->stateError.empty())
        m_messages.LogMessage(kStateUnreadable, {decode(run->stateError)});
    const qs::SyncPlan& plan = run->plan;
    if (plan.inStep()) {
        m_messages.LogMessage(kInStep);
        m_messages.InfoBox(kCaption, kInStep);
        m_run.reset();
        return;
    }

    SyncPreviewRequest request;
    request.localFolder = m_state.local.path;
    request.remoteFolder = ShownText(m_state.remote.path, ftp::LineBreaks::Escape);
    for (const qs::SyncAction& action : plan.actions) {
        SyncPreviewRow row;
        row.action = m_messages.LoadStringText(kKindFirst + int(action.kind));
        row.name = ShownText(decode(action.path), ftp::LineBreaks::Escape);
        row.where = m_messages.LoadStringText(action.target == qs::Side::Remote ? kWhereServer
                                                                                : kWhereLocal);
        row.size = action.folder ? QString() : ReadableSizeText(action.size);
        row.why = m_messages.LoadStringText(kReasonFirst + int(action.reason));
        row.tickable = tickable(action.kind);
        row.ticked = row.tickable && action.selected;
        request.rows.push_back(std::move(row));
    }
    const std::vector<qs::SyncAction> actions = plan.actions;
    const Messages& messages = m_messages;
    request.summary = [actions, &messages](const std::vector<bool>& ticked) {
        std::uint64_t copies = 0, replaces = 0, deletes = 0, conflicts = 0, size = 0;
        for (std::size_t i = 0; i < actions.size(); ++i) {
            const qs::SyncAction& a = actions[i];
            const bool on = i < ticked.size() && ticked[i];
            conflicts += a.kind == qs::ActionKind::Conflict ? 1 : 0;
            if (!on)
                continue;
            copies += a.kind == qs::ActionKind::Copy ? 1 : 0;
            replaces += a.kind == qs::ActionKind::Replace ? 1 : 0;
            deletes += a.kind == qs::ActionKind::Delete ? 1 : 0;
            if (a.kind == qs::ActionKind::Copy || a.kind == qs::ActionKind::Replace)
                size += a.size;
        }
        return messages
            .FormatStringResource(kSummary, {copies, replaces, deletes, conflicts,
                                             plural(conflicts), ReadableSizeText(size)})
            .value_or(QString());
    };
    const std::optional<std::vector<bool>> ticks = m_port.askSyncPreview(request);
    if (!ticks) {
        m_run.reset();
        return;
    }
    bool any = false;
    for (std::size_t i = 0; i < run->plan.actions.size(); ++i) {
        qs::SyncAction& action = run->plan.actions[i];
        action.selected = tickable(action.kind) && i < ticks->size() && (*ticks)[i];
        any = any || action.selected;
    }
    if (!any || !confirmDeletes()) {
        m_run.reset();
        return;
    }
    execute();
}

QString SyncController::deleteCountText(std::size_t files, std::size_t folders) const {
    const QString f =
        m_messages.FormatStringResource(kFileCount, {std::uint64_t(files), plural(files)})
            .value_or(QString());
    const QString d =
        m_messages.FormatStringResource(kFolderCount, {std::uint64_t(folders), plural(folders)})
            .value_or(QString());
    if (folders == 0)
        return f;
    if (files == 0)
        return d;
    return m_messages.FormatStringResource(kFilesAndFolders, {f, d}).value_or(QString());
}

// One question for each side that loses something, and for a side that would lose every file it
// holds a second one, whose default is No.
bool SyncController::confirmDeletes() {
    const qs::SyncPlan& plan = m_run->plan;
    for (const qs::Side side : {qs::Side::Remote, qs::Side::Local}) {
        std::size_t files = 0, folders = 0, planned = 0;
        for (const qs::SyncAction& a : plan.actions) {
            if (a.kind != qs::ActionKind::Delete || a.target != side)
                continue;
            ++planned;
            if (a.selected)
                ++(a.folder ? folders : files);
        }
        if (files + folders == 0)
            continue;
        const bool one = files + folders == 1;
        const QString count = deleteCountText(files, folders);
        const QString verb = one ? QStringLiteral("is") : QStringLiteral("are");
        if (!m_messages.YesNoBox(false, kCaption,
                                 side == qs::Side::Remote ? kDeleteOnServer : kDeleteLocally,
                                 {count, verb}))
            return false;
        // Every file of the destination goes only when no delete was unticked.
        if (plan.deletesEverything && files + folders == planned) {
            const QString folder = side == qs::Side::Remote
                                       ? ShownText(m_state.remote.path, ftp::LineBreaks::Escape)
                                       : m_state.local.path;
            if (!m_messages.YesNoBox(false, kCaption, kDeleteEverything, {folder}))
                return false;
        }
    }
    return true;
}

void SyncController::execute() {
    const std::shared_ptr<Run> run = m_run;
    std::vector<queue::TransferItem> rows =
        qs::SyncQueueRows(run->plan, run->localRoot, run->remoteRoot);
    if (rows.empty()) {
        rowsFinished({});
        return;
    }
    QueueController::BatchHooks hooks;
    hooks.wrap = [run](queue::ItemRunner inner) -> queue::ItemRunner {
        queue::ItemRunner guarded =
            qs::GuardedSyncRunner(run->plan, run->localRoot, run->remoteRoot, std::move(inner));
        // The run (and the plan the guard reads) lives as long as the runner.
        return [run, guarded = std::move(guarded)](
                   queue::TransferItem& item, ftp::RemoteSession& session,
                   const queue::RunContext& context) { return guarded(item, session, context); };
    };
    const std::weak_ptr<Shared> weak = m_shared;
    hooks.finished = [weak, run](const std::vector<queue::TransferItem>& ended) {
        if (const std::shared_ptr<Shared> shared = weak.lock();
            shared && shared->owner && shared->owner->m_run == run)
            shared->owner->rowsFinished(ended);
    };
    if (!m_queue.enqueue(std::move(rows), std::move(hooks))) {
        m_messages.Beep();
        m_run.reset();
    }
}

void SyncController::rowsFinished(const std::vector<queue::TransferItem>& rows) {
    const std::shared_ptr<Run> run = m_run;
    std::map<std::string, qs::ActionKind> kinds;
    for (const qs::SyncAction& a : run->plan.actions)
        if (a.selected)
            kinds.emplace(a.path, a.kind);
    for (const queue::TransferItem& row : rows) {
        const std::string path = qs::SyncRowPath(row, run->localRoot);
        if (row.state == queue::ItemState::Done) {
            run->done.push_back(path);
            const auto it = kinds.find(path);
            if (it != kinds.end() && it->second == qs::ActionKind::Copy)
                ++run->copied;
            else if (it != kinds.end() && it->second == qs::ActionKind::Replace)
                ++run->replaced;
        } else if (row.state == queue::ItemState::Skipped) {
            m_messages.LogMessage(kLeftAlone, {decode(path), decode(row.error)});
        } else if (row.state == queue::ItemState::Stopped) {
            run->stopped = true;
        }
    }
    bool deletes = false;
    bool remote = false;
    for (const qs::SyncAction& a : run->plan.actions)
        if (a.kind == qs::ActionKind::Delete && a.selected) {
            deletes = true;
            remote = remote || a.target == qs::Side::Remote;
        }
    if (!deletes || run->stopped || run->stop) {
        finish();
        return;
    }
    m_port.openSyncProgress(m_messages.LoadStringText(kDeleting), [this] { stop(); });
    startThread([this, run, remote] {
        std::unique_ptr<ftp::RemoteSession> session;
        if (remote) {
            session = run->pool->take();
            if (!session->isConnected()) {
                const queue::ConnectOutcome outcome = run->pool->connect(*session);
                if (outcome.kind != queue::ConnectOutcome::Connected) {
                    run->deleteError = outcome.text;
                    session.reset();
                }
            }
        }
        if (!remote || session)
            run->deletes = qs::RunSyncDeletes(session.get(), run->plan, run->localRoot,
                                              run->remoteRoot, run->stop);
        if (session)
            run->pool->give(std::move(session));
        post([](SyncController& owner) { owner.deleted(); });
    });
}

void SyncController::deleted() {
    m_port.closeSyncProgress();
    const std::shared_ptr<Run> run = m_run;
    if (!run)
        return;
    QStringList failures;
    for (const qs::DeleteOutcome& d : run->deletes) {
        if (d.ok) {
            ++run->deleted;
            run->done.push_back(d.path);
            continue;
        }
        m_messages.LogMessage(kDeleteFailed, {decode(d.path), decode(d.error)});
        failures << decode(d.path) + u": "_qs + decode(d.error);
    }
    if (!run->deleteError.empty()) {
        m_messages.LogMessage(kDeleteFailed, {QString(), decode(run->deleteError)});
        failures << decode(run->deleteError);
    }
    if (run->stop)
        run->stopped = true;
    if (!failures.isEmpty()) {
        m_messages.PlayAlert(AlertKind::FtpErrors);
        constexpr qsizetype kShown = 5;
        m_messages.InfoBox(kCaption, kDeletesFailed,
                           {std::uint64_t(failures.size()), plural(std::uint64_t(failures.size())),
                            failures.mid(0, kShown).join(u'\r')});
    }
    finish();
}

void SyncController::finish() {
    const std::shared_ptr<Run> run = std::exchange(m_run, nullptr);
    if (!run->statePath.empty()) {
        const qs::SyncState state =
            qs::StateAfterSync(run->local, run->remote, run->plan, run->done, run->options.compare);
        std::string error;
        if (!qs::SaveSyncState(run->statePath, state, error))
            m_messages.LogMessage(kStateUnsaved, {decode(error)});
    }
    if (run->stopped)
        m_messages.LogMessage(kStopped);
    m_messages.LogMessage(kSynchronised,
                          {std::uint64_t(run->copied), std::uint64_t(run->replaced),
                           std::uint64_t(run->deleted), std::uint64_t(run->plan.conflicts),
                           plural(run->plan.conflicts)});
    if (m_hooks.listLocal)
        m_hooks.listLocal();
    if (m_runtime.connected && !m_runtime.busy && !m_runtime.sessionLost)
        m_session.StartRemoteListing();
}

} // namespace tw
