#include "core/queue/queue_controller.h"

#include "core/panes/entry_format.h"
#include "core/panes/file_helpers.h"
#include "core/panes/pane_state.h"
#include "core/session/session_controller.h"
#include "core/text/messages.h"
#include "core/transfer/transfer_log.h"
#include "core/transfer/transfer_port.h"
#include "core/ui_port.h"
#include "ftp/ftp_session.h"
#include "ftp/wildcard.h"
#include "queue/queue_paths.h"
#include "queue/transfer_queue.h"

#include <QDateTime>
#include <QFile>

#include <algorithm>
#include <chrono>

namespace tw {

namespace {

using queue::Direction;
using queue::ItemKind;
using queue::ItemState;
using queue::TransferItem;

constexpr std::int64_t kSaveIntervalMs = 500;
const QString kProgressCaption = QStringLiteral(" Tarnwick 2000 Transfer");

QString decode(const std::string& bytes) {
    return QString::fromUtf8(bytes.data(), qsizetype(bytes.size()));
}

bool active(ItemState state) {
    return state == ItemState::Queued || state == ItemState::Running;
}

QString sizeText(std::uint64_t bytes) {
    return FormatShortSize(bytes);
}

QString durationText(std::uint64_t seconds) {
    if (seconds >= 3600)
        return QStringLiteral("%1:%2:%3")
            .arg(seconds / 3600)
            .arg(seconds / 60 % 60, 2, 10, QLatin1Char('0'))
            .arg(seconds % 60, 2, 10, QLatin1Char('0'));
    return QStringLiteral("%1:%2").arg(seconds / 60).arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

// The file's own name at either end of an item.
std::string sourceName(const TransferItem& item) {
    return queue::BaseName(item.direction == Direction::Upload ? item.localPath : item.remotePath);
}

std::string destinationName(const TransferItem& item) {
    return queue::BaseName(item.direction == Direction::Upload ? item.remotePath : item.localPath);
}

// The names of the failing calls the log's error lines have always named.
int apiNameFor(const TransferItem& item, int code) {
    const bool engine = code >= 12000 && code < 12200;
    if (item.direction == Direction::Upload)
        return engine ? 4522 : 4525;
    return engine ? 4524 : 4515;
}

} // namespace

// What the workers handed over, in order, until the UI thread applies it.
struct QueueController::Pending {
    enum class Kind { Added, Changed, Inserted, Removed, Moved, Notice };
    Kind kind = Kind::Changed;
    std::vector<TransferItem> items;
    std::vector<std::int64_t> ids;
    std::int64_t replaced = 0;
    bool up = false;
    std::string line;
};

// The queue's observer and its runner around each file: called on the queue's threads.
class QueueController::Bridge : public queue::QueueObserver {
public:
    Bridge(QueueController& owner) : m_owner(owner), m_messages(owner.m_messages) {}

    // The Options and the panes' masks and exclude lists as the latest command saw them.
    void setOptions(const AppState& state) {
        const std::lock_guard lock(m_mutex);
        m_options = std::make_shared<const Options>(state.options);
        m_filters = {state.local.mask, state.local.exclude, state.remote.mask,
                     state.remote.exclude};
    }
    std::shared_ptr<const Options> options() const {
        const std::lock_guard lock(m_mutex);
        return m_options;
    }

    // The hooks of enqueueFile's rows, read by the workers.
    void setFileHooks(std::int64_t id, std::shared_ptr<const FileHooks> hooks) {
        const std::lock_guard lock(m_mutex);
        m_fileHooks[id] = std::move(hooks);
    }
    std::shared_ptr<const FileHooks> fileHooks(std::int64_t id) const {
        const std::lock_guard lock(m_mutex);
        const auto it = m_fileHooks.find(id);
        return it != m_fileHooks.end() ? it->second : nullptr;
    }
    void dropFileHooks(std::int64_t id) {
        const std::lock_guard lock(m_mutex);
        m_fileHooks.erase(id);
    }

    void rowsAdded(const std::vector<TransferItem>& rows) override {
        push({Pending::Kind::Added, rows, {}, 0, false, {}});
    }
    void rowsChanged(const std::vector<TransferItem>& rows) override {
        push({Pending::Kind::Changed, rows, {}, 0, false, {}});
    }
    void rowsInserted(std::int64_t replaced, const std::vector<TransferItem>& rows) override {
        push({Pending::Kind::Inserted, rows, {}, replaced, false, {}});
    }
    void rowsRemoved(const std::vector<std::int64_t>& ids) override {
        push({Pending::Kind::Removed, {}, ids, 0, false, {}});
    }
    void rowsMoved(const std::vector<std::int64_t>& ids, bool up) override {
        push({Pending::Kind::Moved, {}, ids, 0, up, {}});
    }
    void notice(const std::string& line) override { m_messages.LogMessage(4428, {decode(line)}); }

    // The runners of enqueue's followed batches, by group.
    void setBatchRunner(std::int64_t group, queue::ItemRunner runner) {
        const std::lock_guard lock(m_mutex);
        m_batchRunners[group] = std::make_shared<const queue::ItemRunner>(std::move(runner));
    }
    std::shared_ptr<const queue::ItemRunner> batchRunner(std::int64_t group) const {
        const std::lock_guard lock(m_mutex);
        const auto it = m_batchRunners.find(group);
        return it != m_batchRunners.end() ? it->second : nullptr;
    }
    void dropBatchRunner(std::int64_t group) {
        const std::lock_guard lock(m_mutex);
        m_batchRunners.erase(group);
    }

    // A row of the queue: its batch's runner when it has one, else the window's.
    queue::ItemResult runRow(TransferItem& item, ftp::RemoteSession& session,
                             const queue::RunContext& context) {
        if (const auto runner = batchRunner(item.group))
            return (*runner)(item, session, context);
        return run(item, session, context, false);
    }

    // One file with the window's rules around the queue's copy; `asNamed`: no Lowercase.
    queue::ItemResult run(TransferItem& item, ftp::RemoteSession& session,
                          const queue::RunContext& context, bool asNamed) {
        const std::shared_ptr<const Options> options = this->options();
        const std::shared_ptr<const FileHooks> hooks = fileHooks(item.id);
        const bool upload = item.direction == Direction::Upload;
        if (hooks && hooks->before)
            if (std::optional<queue::ItemResult> early = hooks->before(item, session))
                return *early;
        if (upload && options->Lowercase && !hooks && !asNamed) {
            // Only the file's own name: its folder is where the user sent it.
            const std::string folder = queue::ParentPath(item.remotePath);
            std::string name = queue::BaseName(item.remotePath);
            std::transform(name.begin(), name.end(), name.begin(),
                           [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; });
            item.remotePath = queue::JoinPath(folder, name);
        }
        const QString source = decode(sourceName(item));
        const QString destination = decode(destinationName(item));
        const bool renamed = source.compare(destination, Qt::CaseInsensitive) != 0;
        m_messages.LogMessage(upload ? 4410 : 4411, {source});
        if (renamed)
            m_messages.LogMessage(4418, {destination});
        queue::CopyOptions copy;
        copy.keepDates = options->KeepFileDates != 0;
        copy.acceptUnconfirmedTlsEnd = options->AcceptUnconfirmedTlsEnd != 0;
        const auto start = std::chrono::steady_clock::now();
        const queue::ItemResult result = upload ? queue::UploadFile(item, session, context, copy)
                                                : queue::DownloadFile(item, session, context, copy);
        if (result.state == ItemState::Done) {
            if (hooks && hooks->after)
                hooks->after(item, session);
            const auto elapsed =
                std::uint64_t(std::chrono::duration_cast<std::chrono::milliseconds>(
                                  std::chrono::steady_clock::now() - start)
                                  .count());
            m_messages.LogMessage(
                4412, {source, QString::number(item.size), renamed ? destination : QString()});
            TransferLogEntry entry;
            const std::string& from = upload ? item.localPath : item.remotePath;
            const std::string& to = upload ? item.remotePath : item.localPath;
            entry.sourceFolder = decode(queue::ParentPath(from));
            entry.sourceName = source;
            entry.destinationFolder = decode(queue::ParentPath(to));
            entry.destinationName = destination;
            WriteTransferLogEntry(m_messages, m_owner.m_globals, entry);
            m_messages.LogText(FormatTransferSpeed(m_messages, elapsed, item.transferred));
        } else if (result.state == ItemState::Failed) {
            m_messages.ReportApiError(apiNameFor(item, result.errorCode),
                                      result.errorCode != 0 ? result.errorCode : 12003,
                                      options->AlertLevel != 0, decode(result.error));
            if (!result.retryable)
                m_messages.PlayAlert(AlertKind::TransferFailure);
        }
        return result;
    }

    // What a folder walk leaves out: what the queue cannot copy as named, and what the source
    // pane's mask and exclude list would not show.
    std::optional<std::string> walkFilter(const queue::WalkEntry& entry) const {
        if (auto reason = queue::DefaultWalkFilter(entry))
            return reason;
        Filters filters;
        {
            const std::lock_guard lock(m_mutex);
            filters = m_filters;
        }
        const bool upload = entry.direction == Direction::Upload;
        const QString name =
            upload ? QFile::decodeName(QByteArray::fromStdString(entry.name)) : decode(entry.name);
        if (IsExcluded(upload ? filters.localExclude : filters.remoteExclude, name))
            return std::string("excluded by the exclude list");
        const QString& mask = upload ? filters.localMask : filters.remoteMask;
        if (!entry.folder && !mask.isEmpty() && mask != u"*.*"_qs &&
            !ftp::WildcardMatch(mask.toStdString(), entry.name))
            return "not matched by the mask " + mask.toStdString();
        return std::nullopt;
    }

    // An earlier run's partial file the queue did not record: the user chooses.
    queue::ResumeChoice resumeChoice(const TransferItem& item, const queue::ResumeOffer& offer) {
        if (offer.verified)
            return queue::ResumeChoice::Resume;
        const std::lock_guard lock(m_askMutex);
        ResumeRequest request;
        request.upload = item.direction == Direction::Upload;
        request.name = decode(destinationName(item));
        request.partial = offer.partialBytes;
        request.size = item.size;
        return m_owner.m_port.askResume(request) == ResumeAnswer::Resume
                   ? queue::ResumeChoice::Resume
                   : queue::ResumeChoice::StartOver;
    }

    // Takes what the UI thread is to apply; false when nothing waits.
    std::vector<Pending> take() {
        const std::lock_guard lock(m_mutex);
        m_posted = false;
        return std::exchange(m_pending, {});
    }

private:
    void push(Pending event) {
        bool post = false;
        {
            const std::lock_guard lock(m_mutex);
            m_pending.push_back(std::move(event));
            post = !std::exchange(m_posted, true);
        }
        if (post)
            m_messages.port().runOnUiThread([this] { m_owner.flush(); });
    }

    QueueController& m_owner;
    const Messages& m_messages;
    mutable std::mutex m_mutex;
    struct Filters {
        QString localMask, localExclude, remoteMask, remoteExclude;
    };
    std::shared_ptr<const Options> m_options = std::make_shared<const Options>();
    std::unordered_map<std::int64_t, std::shared_ptr<const FileHooks>> m_fileHooks;
    std::unordered_map<std::int64_t, std::shared_ptr<const queue::ItemRunner>> m_batchRunners;
    Filters m_filters;
    std::vector<Pending> m_pending;
    bool m_posted = false;
    std::mutex m_askMutex; // one question at a time, whichever worker asks
};

QueueController::QueueController(AppState& state, const AppGlobals& globals,
                                 const Messages& messages, TransferPort& port,
                                 SessionController& session, QueueRows& rows, Hooks hooks)
    : m_state(state), m_globals(globals), m_messages(messages), m_port(port), m_session(session),
      m_hooks(std::move(hooks)), m_rows(rows), m_bridge(std::make_unique<Bridge>(*this)) {}

QueueController::~QueueController() {
    m_queue.reset(); // joins the workers; what they still tell is not shown any more
    m_bridge->take();
    saveChanges(true);
}

void QueueController::openStore(const QString& folder) {
    m_store = std::make_unique<QueueStore>(folder);
    const QueueOpenOutcome outcome = m_store->open();
    if (!outcome.message.isEmpty())
        m_messages.LogText(outcome.message);
    std::vector<TransferItem> items;
    for (QueueRecord& record : m_store->load()) {
        m_accounts[record.item.id] = record.account;
        items.push_back(std::move(record.item));
    }
    m_rows.insert(m_rows.count(), std::move(items));
}

QueueAccount QueueController::currentAccount() const {
    const ftp::SessionOptions options = m_session.connectionOptions();
    QueueAccount account;
    account.host = QString::fromStdString(options.host);
    account.port = std::uint32_t(options.port);
    account.user = QString::fromStdString(options.user);
    // SFTP rows are kept apart from FTP rows of the same host and port.
    account.protocol = int(options.tls) + 16 * int(options.protocol);
    return account;
}

queue::TransferQueue* QueueController::queueForServer() {
    const QueueAccount account = currentAccount();
    if (m_queue && account == m_queueAccount)
        return m_queue.get();
    disconnected();
    const AccountRecord* record = m_session.sessionAccount();
    queue::QueueSettings settings;
    settings.maxConnections =
        int(record && record->Connections != 0 ? record->Connections : m_state.options.Connections);
    settings.progressInterval = std::chrono::milliseconds(50);
    settings.runner = [this](TransferItem& item, ftp::RemoteSession& session,
                             const queue::RunContext& context) {
        return m_bridge->runRow(item, session, context);
    };
    settings.walkFilter = [this](const queue::WalkEntry& entry) {
        return m_bridge->walkFilter(entry);
    };
    settings.resumeChoice = [this](const TransferItem& item, const queue::ResumeOffer& offer) {
        return m_bridge->resumeChoice(item, offer);
    };
    ftp::SessionOptions options = m_session.connectionOptions();
    options.notice = [this](const std::string& note) {
        m_messages.LogMessage(4428, {decode(note)});
    };
    m_queue = std::make_unique<queue::TransferQueue>(std::move(options), std::move(settings),
                                                     m_bridge.get());
    m_queueAccount = account;
    // Rows kept for this server (an earlier run's) come back as they were.
    std::vector<TransferItem> kept;
    for (int i = 0; i < m_rows.count(); ++i) {
        const auto it = m_accounts.find(m_rows.at(i).id);
        if (it != m_accounts.end() && it->second == account)
            kept.push_back(m_rows.at(i));
    }
    if (!kept.empty())
        m_queue->add(std::move(kept));
    return m_queue.get();
}

bool QueueController::enqueue(std::vector<TransferItem> items) {
    if (items.empty() || !m_session.engine())
        return false;
    m_bridge->setOptions(m_state);
    queue::TransferQueue* queue = queueForServer();
    // Ids are the pane's, unique among the rows of every server it shows.
    for (int i = 0; i < m_rows.count(); ++i)
        m_nextId = std::max(m_nextId, m_rows.at(i).id + 1);
    const std::int64_t group = m_nextId;
    for (TransferItem& item : items) {
        item.id = m_nextId++;
        item.group = group;
        item.state = ItemState::Queued;
    }
    queue->add(std::move(items)); // told back through rowsAdded
    return true;
}

bool QueueController::enqueue(std::vector<TransferItem> items, BatchHooks hooks) {
    if (items.empty() || !m_session.engine())
        return false;
    for (int i = 0; i < m_rows.count(); ++i)
        m_nextId = std::max(m_nextId, m_rows.at(i).id + 1);
    const std::int64_t group = m_nextId;
    if (hooks.wrap)
        m_bridge->setBatchRunner(
            group,
            hooks.wrap([bridge = m_bridge.get()](TransferItem& item, ftp::RemoteSession& session,
                                                 const queue::RunContext& context) {
                return bridge->run(item, session, context, true);
            }));
    if (hooks.finished)
        m_batchFinished[group] = std::move(hooks.finished);
    return enqueue(std::move(items));
}

std::optional<std::int64_t> QueueController::enqueueFile(TransferItem item, FileHooks hooks) {
    if (!m_session.engine())
        return std::nullopt;
    m_bridge->setOptions(m_state);
    queue::TransferQueue* queue = queueForServer();
    for (int i = 0; i < m_rows.count(); ++i)
        m_nextId = std::max(m_nextId, m_rows.at(i).id + 1);
    item.id = m_nextId++;
    item.group = item.id;
    item.kind = ItemKind::File;
    item.state = ItemState::Queued;
    m_bridge->setFileHooks(item.id, std::make_shared<const FileHooks>(std::move(hooks)));
    const std::int64_t id = item.id;
    queue->add({std::move(item)});
    return id;
}

void QueueController::stop(const std::vector<std::int64_t>& ids) {
    if (m_queue)
        m_queue->stop(ids);
}

bool QueueController::stopAll() {
    if (!m_queue || !running())
        return false;
    m_queue->stop();
    return true;
}

void QueueController::startAgain(const std::vector<std::int64_t>& ids) {
    if (!m_session.engine())
        return;
    m_bridge->setOptions(m_state);
    queueForServer()->start(ids);
}

void QueueController::retryFailed() {
    if (!m_session.engine())
        return;
    m_bridge->setOptions(m_state);
    queueForServer()->retryFailed();
}

void QueueController::remove(const std::vector<std::int64_t>& ids) {
    if (m_queue)
        m_queue->remove(ids);
    // Rows of another server are not in the running queue: they go from the pane directly.
    std::vector<std::int64_t> others;
    for (const std::int64_t id : ids) {
        const auto it = m_accounts.find(id);
        if (!m_queue || it == m_accounts.end() || !(it->second == m_queueAccount))
            others.push_back(id);
    }
    if (!others.empty()) {
        m_rows.remove(others);
        for (const std::int64_t id : others) {
            m_accounts.erase(id);
            m_unsaved.erase(id);
            m_unsavedRemovals.push_back(id);
        }
        saveChanges(true);
    }
}

void QueueController::clearFinished() {
    if (m_queue)
        m_queue->clearFinished();
    std::vector<std::int64_t> finished;
    for (int i = 0; i < m_rows.count(); ++i)
        if (queue::IsFinished(m_rows.at(i).state))
            finished.push_back(m_rows.at(i).id);
    remove(finished);
}

void QueueController::moveUp(const std::vector<std::int64_t>& ids) {
    if (m_queue)
        m_queue->moveUp(ids);
}

void QueueController::moveDown(const std::vector<std::int64_t>& ids) {
    if (m_queue)
        m_queue->moveDown(ids);
}

bool QueueController::running() const {
    return m_queue && !m_queue->isIdle();
}

void QueueController::waitIdle() {
    if (m_queue)
        m_queue->waitIdle();
}

void QueueController::disconnected() {
    if (!m_queue)
        return;
    m_queue->stop();
    m_queue.reset();
    flush();
    // What the workers could not tell any more: nothing of this server runs now.
    std::vector<TransferItem> stopped;
    for (int i = 0; i < m_rows.count(); ++i)
        if (active(m_rows.at(i).state)) {
            TransferItem item = m_rows.at(i);
            item.state = ItemState::Stopped;
            item.bytesPerSecond = 0;
            stopped.push_back(item);
        }
    for (const TransferItem& item : stopped)
        track(&m_rows.at(m_rows.indexOf(item.id)), item);
    m_rows.update(stopped);
    for (const TransferItem& item : stopped)
        m_unsaved[item.id] = item;
    saveChanges(true);
    showProgress();
    runFinishedCalls();
}

void QueueController::runFinishedCalls() {
    for (auto& [call, item] : std::exchange(m_finishedCalls, {}))
        call(item);
    for (const std::int64_t group : std::exchange(m_endedBatches, {})) {
        const auto it = m_batchFinished.find(group);
        if (it == m_batchFinished.end())
            continue;
        const auto call = std::move(it->second);
        m_batchFinished.erase(it);
        m_bridge->dropBatchRunner(group);
        std::vector<TransferItem> rows;
        for (int i = 0; i < m_rows.count(); ++i)
            if (m_rows.at(i).group == group)
                rows.push_back(m_rows.at(i));
        call(rows);
    }
}

void QueueController::track(const TransferItem* before, const TransferItem& after) {
    const bool wasActive = before && active(before->state);
    const bool isActive = active(after.state);
    Group& group = m_groups[after.group];
    group.upload = after.direction == Direction::Upload;
    if (isActive && !wasActive)
        ++group.active;
    if (isActive && m_bridge->fileHooks(after.id))
        group.hooked = true;
    if (!isActive && wasActive) {
        if (const auto hooks = m_bridge->fileHooks(after.id)) {
            if (hooks->finished)
                m_finishedCalls.emplace_back(hooks->finished, after);
            if (after.state != ItemState::Stopped)
                m_bridge->dropFileHooks(after.id);
        }
        --group.active;
        if (after.state == ItemState::Done && after.kind == ItemKind::File)
            ++group.transferred;
        if (after.state == ItemState::Stopped)
            group.stopped = true;
        if (group.active <= 0) {
            const Group ended = group;
            m_groups.erase(after.group);
            endGroup(after.group, ended);
        }
    }
}

void QueueController::endGroup(std::int64_t id, const Group& group) {
    if (m_batchFinished.count(id) != 0)
        m_endedBatches.push_back(id);
    const bool refresh = (group.transferred > 0 && m_state.options.Refresh) || group.stopped;
    if (group.stopped)
        m_messages.LogMessage(4422);
    if (group.transferred > 0) {
        m_messages.LogMessage(
            4413, {group.transferred, group.transferred == 1 ? QString() : QStringLiteral("s")});
        m_messages.PlayAlert(AlertKind::TransferSuccess);
    }
    // An edited file's copy is in a folder of its own, not in the local pane.
    if (refresh && m_hooks.relist && !(group.hooked && !group.upload))
        m_hooks.relist(group.upload ? PaneSide::Remote : PaneSide::Local);
}

void QueueController::logWalkRow(const TransferItem& item) {
    const QString path =
        decode(item.direction == Direction::Upload ? item.localPath : item.remotePath);
    if (item.state == ItemState::Skipped)
        m_messages.LogMessage(4921, {path, decode(item.error)});
    else if (item.state == ItemState::Failed) {
        m_messages.LogMessage(4922, {path, decode(item.error)});
        m_messages.PlayAlert(AlertKind::TransferFailure);
    }
}

void QueueController::flush() {
    for (Pending& event : m_bridge->take()) {
        switch (event.kind) {
        case Pending::Kind::Added:
            for (const TransferItem& item : event.items) {
                m_accounts[item.id] = m_queueAccount;
                const int at = m_rows.indexOf(item.id);
                track(at >= 0 ? &m_rows.at(at) : nullptr, item);
                m_unsaved[item.id] = item;
            }
            m_rows.update(event.items); // rows kept from an earlier run are there already
            {
                std::vector<TransferItem> fresh;
                for (const TransferItem& item : event.items)
                    if (m_rows.indexOf(item.id) < 0)
                        fresh.push_back(item);
                m_rows.insert(m_rows.count(), std::move(fresh));
            }
            break;
        case Pending::Kind::Changed:
            for (const TransferItem& item : event.items) {
                const int at = m_rows.indexOf(item.id);
                if (at < 0)
                    continue;
                track(&m_rows.at(at), item);
                m_unsaved[item.id] = item;
            }
            m_rows.update(event.items);
            break;
        case Pending::Kind::Inserted: {
            const int at = m_rows.indexOf(event.replaced);
            const int position = at >= 0 ? at : m_rows.count();
            // The walked rows are in the group before the tree's row leaves it, so the batch
            // does not end in between.
            for (const TransferItem& item : event.items) {
                m_accounts[item.id] = m_queueAccount;
                track(nullptr, item);
                logWalkRow(item);
                m_unsaved[item.id] = item;
            }
            if (at >= 0) {
                TransferItem gone = m_rows.at(at);
                gone.state = ItemState::Done;
                track(&m_rows.at(at), gone);
                m_rows.remove({event.replaced});
            }
            m_accounts.erase(event.replaced);
            m_unsaved.erase(event.replaced);
            m_unsavedRemovals.push_back(event.replaced);
            m_rows.insert(position, std::move(event.items));
            m_orderChanged = true;
            break;
        }
        case Pending::Kind::Removed:
            for (const std::int64_t id : event.ids) {
                const int at = m_rows.indexOf(id);
                if (at >= 0 && active(m_rows.at(at).state)) {
                    TransferItem gone = m_rows.at(at);
                    gone.state = ItemState::Skipped;
                    track(&m_rows.at(at), gone);
                }
                m_accounts.erase(id);
                m_unsaved.erase(id);
                m_unsavedRemovals.push_back(id);
                m_bridge->dropFileHooks(id);
            }
            m_rows.remove(event.ids);
            break;
        case Pending::Kind::Moved:
            if (event.up)
                m_rows.moveUp(event.ids);
            else
                m_rows.moveDown(event.ids);
            m_orderChanged = true;
            break;
        case Pending::Kind::Notice:
            break;
        }
    }
    saveChanges(false);
    showProgress();
    runFinishedCalls();
}

void QueueController::saveChanges(bool force) {
    if (!m_store)
        return;
    const std::int64_t now = QDateTime::currentMSecsSinceEpoch();
    // A state change is kept at once; progress alone waits for the next save.
    bool stateChanged = force || m_orderChanged || !m_unsavedRemovals.empty();
    for (const auto& [id, item] : m_unsaved) {
        const int at = m_rows.indexOf(id);
        if (at < 0 || m_rows.at(at).state != item.state || item.state != ItemState::Running)
            stateChanged = true;
    }
    if (m_unsaved.empty() && m_unsavedRemovals.empty() && !m_orderChanged)
        return;
    if (!stateChanged && now - m_lastSaveMs < kSaveIntervalMs)
        return;
    QueueChanges changes;
    for (const auto& [id, item] : m_unsaved) {
        QueueRecord record;
        const int at = m_rows.indexOf(id);
        record.item = at >= 0 ? m_rows.at(at) : item;
        const auto account = m_accounts.find(id);
        if (account != m_accounts.end())
            record.account = account->second;
        changes.upserts.push_back(std::move(record));
    }
    changes.removals = m_unsavedRemovals;
    if (m_orderChanged || !changes.upserts.empty())
        changes.order = m_rows.ids();
    if (m_store->save(changes)) {
        m_unsaved.clear();
        m_unsavedRemovals.clear();
        m_orderChanged = false;
    }
    m_lastSaveMs = now;
}

void QueueController::showProgress() {
    const QueueTotals totals = m_rows.totals();
    if (const bool now = running(); now != m_wasRunning) {
        m_wasRunning = now;
        if (m_hooks.runningChanged)
            m_hooks.runningChanged(now);
    }
    if (!running()) {
        if (m_progressOpen)
            m_port.closeProgress();
        m_progressOpen = false;
        return;
    }
    std::uint64_t speed = 0;
    int runningRows = 0;
    const TransferItem* one = nullptr;
    for (int i = 0; i < m_rows.count(); ++i) // the running rows: found by a scan, once a flush
        if (m_rows.at(i).state == ItemState::Running) {
            speed += m_rows.at(i).bytesPerSecond;
            ++runningRows;
            one = &m_rows.at(i);
        }
    const std::uint64_t left =
        totals.bytesTotal > totals.bytesDone ? totals.bytesTotal - totals.bytesDone : 0;
    const QString text =
        m_messages
            .FormatStringResource(4923,
                                  {std::int64_t(std::min(totals.filesDone + 1, totals.filesTotal)),
                                   totals.filesTotal, sizeText(totals.bytesDone),
                                   sizeText(totals.bytesTotal), sizeText(speed),
                                   speed > 0 ? durationText(left / speed) : QStringLiteral("-")})
            .value_or(QString());
    // One file copying: the status bar says how far, as a single transfer always has.
    if (runningRows == 1 && one->kind == ItemKind::File)
        m_messages.ShowStatus(one->direction == Direction::Upload ? 4001 : 4003,
                              {decode(sourceName(*one)), one->transferred, one->size});
    else
        m_messages.port().showStatus(text);
    if (m_state.options.Progress == 0)
        return;
    constexpr int kBar = 1000;
    const int position =
        totals.bytesTotal > 0 ? int(totals.bytesDone * kBar / totals.bytesTotal) : 0;
    if (!m_progressOpen)
        m_progressOpen = m_port.openProgress({kProgressCaption, 1000, text, 0, kBar});
    m_port.setProgress(position, text);
}

} // namespace tw
