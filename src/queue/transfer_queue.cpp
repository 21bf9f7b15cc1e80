#include "queue/transfer_queue.h"

#include "ftp/ftp_error.h"
#include "queue/queue_paths.h"

#include <algorithm>
#include <limits>
#include <unordered_set>

namespace tw::queue {

namespace {

// Position keys are spaced this far apart, so a walked folder's rows fit between two rows.
constexpr std::uint64_t kKeyGap = std::uint64_t(1) << 32;

const std::string& sourceOf(const TransferItem& item) {
    return item.direction == Direction::Download ? item.remotePath : item.localPath;
}

const std::string& destinationOf(const TransferItem& item) {
    return item.direction == Direction::Download ? item.localPath : item.remotePath;
}

// Whether running the row needs a connection: everything but local folders and local walks.
bool needsSession(const TransferItem& item) {
    return !(item.direction == Direction::Download && item.kind == ItemKind::Folder) &&
           !(item.direction == Direction::Upload && item.kind == ItemKind::Tree);
}

std::string secondsText(std::chrono::milliseconds ms) {
    const auto s = ms.count() / 1000;
    return s >= 1 ? std::to_string(s) + " s" : std::to_string(ms.count()) + " ms";
}

} // namespace

struct TransferQueue::Run {
    std::atomic<bool> stop{false};
    tw::ftp::RemoteSession* session = nullptr; // guarded by m_mutex
    Clock::time_point started = Clock::now();
    std::optional<std::uint64_t> firstBytes;
    std::uint64_t lastBytes = 0;
};

struct TransferQueue::Event {
    enum Kind { Added, Changed, Inserted, Removed, Moved, Notice, Idle };
    Kind kind = Changed;
    std::vector<TransferItem> rows;
    std::vector<std::int64_t> ids;
    std::int64_t id = 0;
    bool up = false;
    std::string line;
};

TransferQueue::TransferQueue(tw::ftp::SessionOptions options, QueueSettings settings,
                             QueueObserver* observer)
    : m_settings(std::move(settings)), m_observer(observer),
      m_pool(std::move(options), m_settings.maxConnections, m_settings.idleTimeout,
             [this](const std::string& line) { tellNotice(line); }) {
    m_runner = m_settings.runner ? m_settings.runner : DefaultRunner(m_settings.copy);
    const int workers = std::clamp(m_settings.maxConnections, 1, kMaxConnections);
    for (int i = 0; i < workers; ++i)
        m_workers.emplace_back([this] { workerLoop(); });
}

TransferQueue::~TransferQueue() {
    {
        std::lock_guard lock(m_mutex);
        m_shutdown = true;
        for (auto& [key, node] : m_rows)
            if (node.run)
                stopLocked(node);
    }
    m_wake.notify_all();
    for (auto& worker : m_workers)
        worker.join();
    deliver();
}

// ----- events -----

void TransferQueue::tell(Event event) {
    if (m_observer)
        m_events.push_back(std::move(event));
}

void TransferQueue::tellChanged(const Node& node) {
    if (!m_observer)
        return;
    Event e;
    e.kind = Event::Changed;
    e.rows.push_back(node.item);
    m_events.push_back(std::move(e));
}

void TransferQueue::tellNotice(const std::string& line) {
    {
        std::lock_guard lock(m_mutex);
        Event e;
        e.kind = Event::Notice;
        e.line = line;
        tell(std::move(e));
    }
    deliver();
}

void TransferQueue::checkIdle() {
    if (m_totals.queued != 0 || m_totals.running != 0) {
        m_toldIdle = false;
        return;
    }
    if (!m_toldIdle) {
        m_toldIdle = true;
        Event e;
        e.kind = Event::Idle;
        tell(std::move(e));
    }
    m_idleWake.notify_all();
}

// Calls the observer with the events in the order they were made; the thread that finds no
// one delivering does it, so the observer is never called twice at once and may call the queue.
void TransferQueue::deliver() {
    std::unique_lock lock(m_mutex);
    if (m_delivering)
        return;
    m_delivering = true;
    while (!m_events.empty()) {
        std::vector<Event> batch;
        batch.swap(m_events);
        lock.unlock();
        for (const Event& e : batch) {
            switch (e.kind) {
            case Event::Added:
                m_observer->rowsAdded(e.rows);
                break;
            case Event::Changed:
                m_observer->rowsChanged(e.rows);
                break;
            case Event::Inserted:
                m_observer->rowsInserted(e.id, e.rows);
                break;
            case Event::Removed:
                m_observer->rowsRemoved(e.ids);
                break;
            case Event::Moved:
                m_observer->rowsMoved(e.ids, e.up);
                break;
            case Event::Notice:
                m_observer->notice(e.line);
                break;
            case Event::Idle:
                m_observer->idle();
                break;
            }
        }
        lock.lock();
    }
    m_delivering = false;
    m_idleWake.notify_all();
}

// ----- rows -----

void TransferQueue::setState(Node& node, ItemState state) {
    const auto count = [this](ItemState s) -> std::size_t& {
        switch (s) {
        case ItemState::Queued:
            return m_totals.queued;
        case ItemState::Running:
            return m_totals.running;
        case ItemState::Done:
            return m_totals.done;
        case ItemState::Failed:
            return m_totals.failed;
        case ItemState::Stopped:
            return m_totals.stopped;
        case ItemState::Skipped:
            break;
        }
        return m_totals.skipped;
    };
    --count(node.item.state);
    ++count(state);
    node.item.state = state;
}

std::uint64_t TransferQueue::keyAfterLast() {
    if (m_rows.empty())
        return kKeyGap;
    if (m_rows.rbegin()->first > std::numeric_limits<std::uint64_t>::max() - 2 * kKeyGap)
        renumber();
    return m_rows.rbegin()->first + kKeyGap;
}

void TransferQueue::renumber() {
    Rows rows;
    std::uint64_t key = 0;
    for (auto& [old, node] : m_rows) {
        key += kKeyGap;
        const auto it = rows.emplace_hint(rows.end(), key, std::move(node));
        m_byId[it->second.item.id] = it;
    }
    m_rows.swap(rows);
    m_hintKey = 0;
}

void TransferQueue::queueAgain(Rows::iterator it) {
    setState(it->second, ItemState::Queued);
    m_hintKey = std::min(m_hintKey, it->first);
    m_toldIdle = false;
}

std::vector<TransferItem> TransferQueue::add(std::vector<TransferItem> items) {
    if (items.empty())
        return items;
    {
        std::lock_guard lock(m_mutex);
        for (const TransferItem& item : items) // ids the caller kept are kept
            m_nextId = std::max(m_nextId, item.id + 1);
        const std::int64_t first = items.front().id > 0 ? items.front().id : m_nextId;
        for (TransferItem& item : items) {
            if (item.id <= 0 || m_byId.count(item.id))
                item.id = m_nextId++;
            if (item.group == 0)
                item.group = first;
            if (item.state == ItemState::Running)
                item.state = ItemState::Stopped; // a row of a run that ended
            item.bytesPerSecond = 0;
            const std::uint64_t key = keyAfterLast();
            Node node;
            node.item = item;
            const ItemState state = item.state;
            node.item.state = ItemState::Skipped; // counted by setState below
            ++m_totals.skipped;
            ++m_totals.rows;
            const auto it = m_rows.emplace_hint(m_rows.end(), key, std::move(node));
            m_byId[item.id] = it;
            setState(it->second, state);
            if (state == ItemState::Queued)
                queueAgain(it);
        }
        Event e;
        e.kind = Event::Added;
        e.rows = items;
        tell(std::move(e));
        checkIdle();
    }
    m_wake.notify_all();
    deliver();
    return items;
}

void TransferQueue::stopLocked(Node& node) {
    if (node.item.state == ItemState::Queued) {
        setState(node, ItemState::Stopped);
        node.item.bytesPerSecond = 0;
        tellChanged(node);
        return;
    }
    if (node.run) {
        node.run->stop = true;
        if (node.run->session)
            node.run->session->abort();
    }
}

void TransferQueue::stop() {
    {
        std::lock_guard lock(m_mutex);
        for (auto& [key, node] : m_rows)
            stopLocked(node);
        checkIdle();
    }
    deliver();
}

void TransferQueue::stop(const std::vector<std::int64_t>& ids) {
    {
        std::lock_guard lock(m_mutex);
        for (const auto id : ids)
            if (const auto f = m_byId.find(id); f != m_byId.end())
                stopLocked(f->second->second);
        checkIdle();
    }
    deliver();
}

void TransferQueue::start() {
    {
        std::lock_guard lock(m_mutex);
        for (auto it = m_rows.begin(); it != m_rows.end(); ++it)
            if (it->second.item.state == ItemState::Stopped && !it->second.run) {
                queueAgain(it);
                tellChanged(it->second);
            }
    }
    m_wake.notify_all();
    deliver();
}

void TransferQueue::start(const std::vector<std::int64_t>& ids) {
    {
        std::lock_guard lock(m_mutex);
        for (const auto id : ids) {
            const auto f = m_byId.find(id);
            if (f == m_byId.end())
                continue;
            Node& node = f->second->second;
            if (node.run ||
                (node.item.state != ItemState::Stopped && node.item.state != ItemState::Failed))
                continue;
            node.item.error.clear();
            node.item.errorCode = 0;
            node.notBefore = {};
            queueAgain(f->second);
            tellChanged(node);
        }
    }
    m_wake.notify_all();
    deliver();
}

void TransferQueue::retryFailed() {
    {
        std::lock_guard lock(m_mutex);
        for (auto it = m_rows.begin(); it != m_rows.end(); ++it) {
            Node& node = it->second;
            if (node.item.state != ItemState::Failed || node.run)
                continue;
            node.item.error.clear();
            node.item.errorCode = 0;
            node.item.retries = 0;
            node.notBefore = {};
            queueAgain(it);
            tellChanged(node);
        }
    }
    m_wake.notify_all();
    deliver();
}

void TransferQueue::remove(const std::vector<std::int64_t>& ids) {
    {
        std::lock_guard lock(m_mutex);
        Event e;
        e.kind = Event::Removed;
        for (const auto id : ids) {
            const auto f = m_byId.find(id);
            if (f == m_byId.end())
                continue;
            Node& node = f->second->second;
            if (node.run) {
                node.removeWhenDone = true; // goes when its worker lets go of it
                stopLocked(node);
                continue;
            }
            setState(node, ItemState::Skipped);
            --m_totals.skipped;
            --m_totals.rows;
            m_rows.erase(f->second);
            m_byId.erase(f);
            e.ids.push_back(id);
        }
        if (!e.ids.empty())
            tell(std::move(e));
        checkIdle();
    }
    deliver();
}

std::vector<std::int64_t> TransferQueue::clearFinished() {
    std::vector<std::int64_t> ids;
    {
        std::lock_guard lock(m_mutex);
        for (auto it = m_rows.begin(); it != m_rows.end();) {
            Node& node = it->second;
            if (!IsFinished(node.item.state) || node.run) {
                ++it;
                continue;
            }
            ids.push_back(node.item.id);
            setState(node, ItemState::Skipped);
            --m_totals.skipped;
            --m_totals.rows;
            m_byId.erase(node.item.id);
            it = m_rows.erase(it);
        }
        if (!ids.empty()) {
            Event e;
            e.kind = Event::Removed;
            e.ids = ids;
            tell(std::move(e));
        }
    }
    deliver();
    return ids;
}

void TransferQueue::moveUp(const std::vector<std::int64_t>& ids) {
    {
        std::lock_guard lock(m_mutex);
        const std::unordered_set<std::int64_t> selected(ids.begin(), ids.end());
        std::vector<Rows::iterator> rows;
        for (const auto id : selected)
            if (const auto f = m_byId.find(id); f != m_byId.end())
                rows.push_back(f->second);
        std::sort(rows.begin(), rows.end(),
                  [](const auto& a, const auto& b) { return a->first < b->first; });
        Event e;
        e.kind = Event::Moved;
        e.up = true;
        for (const auto& it : rows) {
            // `it` is the slot the row had; earlier swaps never moved this one.
            if (it == m_rows.begin())
                continue;
            const auto above = std::prev(it);
            if (selected.count(above->second.item.id))
                continue;
            std::swap(above->second, it->second);
            m_byId[above->second.item.id] = above;
            m_byId[it->second.item.id] = it;
            if (above->second.item.state == ItemState::Queued)
                m_hintKey = std::min(m_hintKey, above->first);
            e.ids.push_back(above->second.item.id);
        }
        if (!e.ids.empty())
            tell(std::move(e));
    }
    deliver();
}

void TransferQueue::moveDown(const std::vector<std::int64_t>& ids) {
    {
        std::lock_guard lock(m_mutex);
        const std::unordered_set<std::int64_t> selected(ids.begin(), ids.end());
        std::vector<Rows::iterator> rows;
        for (const auto id : selected)
            if (const auto f = m_byId.find(id); f != m_byId.end())
                rows.push_back(f->second);
        std::sort(rows.begin(), rows.end(),
                  [](const auto& a, const auto& b) { return a->first > b->first; });
        Event e;
        e.kind = Event::Moved;
        e.up = false;
        for (const auto& it : rows) {
            const auto below = std::next(it);
            if (below == m_rows.end() || selected.count(below->second.item.id))
                continue;
            std::swap(below->second, it->second);
            m_byId[below->second.item.id] = below;
            m_byId[it->second.item.id] = it;
            if (it->second.item.state == ItemState::Queued)
                m_hintKey = std::min(m_hintKey, it->first);
            e.ids.push_back(below->second.item.id);
        }
        if (!e.ids.empty())
            tell(std::move(e));
    }
    deliver();
}

void TransferQueue::setMaxConnections(int maxConnections) {
    m_pool.setMaxConnections(maxConnections);
    {
        std::lock_guard lock(m_mutex);
        const auto wanted = std::size_t(std::clamp(maxConnections, 1, kMaxConnections));
        while (m_workers.size() < wanted && !m_shutdown)
            m_workers.emplace_back([this] { workerLoop(); });
    }
    m_wake.notify_all();
}

std::vector<TransferItem> TransferQueue::snapshot() const {
    std::lock_guard lock(m_mutex);
    std::vector<TransferItem> rows;
    rows.reserve(m_rows.size());
    for (const auto& [key, node] : m_rows)
        rows.push_back(node.item);
    return rows;
}

std::optional<TransferItem> TransferQueue::item(std::int64_t id) const {
    std::lock_guard lock(m_mutex);
    const auto f = m_byId.find(id);
    if (f == m_byId.end())
        return std::nullopt;
    return f->second->second.item;
}

QueueTotals TransferQueue::totals() const {
    std::lock_guard lock(m_mutex);
    return m_totals;
}

bool TransferQueue::isIdle() const {
    std::lock_guard lock(m_mutex);
    return m_totals.queued == 0 && m_totals.running == 0;
}

void TransferQueue::waitIdle() {
    std::unique_lock lock(m_mutex);
    m_idleWake.wait(lock, [this] {
        return m_totals.queued == 0 && m_totals.running == 0 && !m_delivering && m_events.empty();
    });
}

bool TransferQueue::waitIdle(std::chrono::milliseconds timeout) {
    std::unique_lock lock(m_mutex);
    return m_idleWake.wait_for(lock, timeout, [this] {
        return m_totals.queued == 0 && m_totals.running == 0 && !m_delivering && m_events.empty();
    });
}

void TransferQueue::adoptSession(std::unique_ptr<tw::ftp::RemoteSession> session) {
    m_pool.adopt(std::move(session));
}

// ----- workers -----

TransferQueue::Rows::iterator TransferQueue::pick(Clock::time_point now,
                                                  std::optional<Clock::time_point>& wake) {
    const int limit = m_pool.limit();
    bool sawQueued = false;
    for (auto it = m_rows.lower_bound(m_hintKey); it != m_rows.end(); ++it) {
        if (!sawQueued)
            m_hintKey = it->first;
        Node& node = it->second;
        if (node.item.state == ItemState::Running && node.item.kind == ItemKind::Folder)
            break; // what follows may go into that folder
        if (node.item.state != ItemState::Queued)
            continue;
        sawQueued = true;
        if (node.notBefore > now) {
            wake = wake ? std::min(*wake, node.notBefore) : node.notBefore;
            continue;
        }
        if (needsSession(node.item) && m_holders >= limit)
            break;
        return it;
    }
    return m_rows.end();
}

void TransferQueue::workerLoop() {
    std::optional<Clock::time_point> poolDue;
    std::unique_lock lock(m_mutex);
    while (!m_shutdown) {
        const auto now = Clock::now();
        std::optional<Clock::time_point> wake;
        const auto it = pick(now, wake);
        if (it != m_rows.end()) {
            Node& node = it->second;
            Run run;
            node.run = &run;
            setState(node, ItemState::Running);
            node.item.error.clear();
            node.item.errorCode = 0;
            tellChanged(node);
            const bool holds = needsSession(node.item);
            if (holds)
                ++m_holders;
            const std::int64_t id = node.item.id;
            TransferItem work = node.item;
            lock.unlock();
            deliver();
            runPicked(id, std::move(work), run);
            deliver();
            lock.lock();
            if (holds)
                --m_holders;
            if (holds && m_settings.idleTimeout.count() > 0)
                poolDue = Clock::now() + m_settings.idleTimeout;
            m_wake.notify_all();
            continue;
        }
        if (poolDue && *poolDue <= now) {
            lock.unlock();
            poolDue = m_pool.closeExpired();
            lock.lock();
            continue;
        }
        std::optional<Clock::time_point> until = wake;
        if (poolDue)
            until = until ? std::min(*until, *poolDue) : *poolDue;
        if (until)
            m_wake.wait_until(lock, *until);
        else
            m_wake.wait(lock);
    }
}

void TransferQueue::runPicked(std::int64_t id, TransferItem work, Run& run) {
    ItemResult result;
    std::vector<TransferItem> walked;
    bool requeue = false;
    if (!needsSession(work)) {
        if (work.kind == ItemKind::Folder) {
            result = MakeFolder(work, nullptr);
        } else {
            WalkResult w = WalkLocalTree(
                work, m_settings.walkFilter ? m_settings.walkFilter : DefaultWalkFilter, run.stop);
            if (w.ok)
                walked = std::move(w.items);
            else
                result = ItemResult{w.stopped ? ItemState::Stopped : ItemState::Failed, w.error,
                                    w.errorCode, w.retryable};
        }
    } else {
        for (int attempt = 0;; ++attempt) {
            auto session = m_pool.take();
            const bool reused = session->isConnected();
            {
                std::lock_guard lock(m_mutex);
                run.session = session.get();
            }
            const std::uint64_t before = run.lastBytes;
            bool ready = reused;
            if (run.stop.load()) {
                result = ItemResult{ItemState::Stopped, {}, tw::ftp::kErrOperationCancelled, false};
            } else if (!reused) {
                const ConnectOutcome c = m_pool.connect(*session);
                if (c.kind == ConnectOutcome::Connected)
                    ready = true;
                else if (c.kind == ConnectOutcome::Refused && !run.stop.load())
                    requeue = true;
                else
                    result = ItemResult{run.stop.load() ? ItemState::Stopped : ItemState::Failed,
                                        c.text, c.error, c.retryable};
            }
            if (ready && !run.stop.load())
                result = runOn(work, *session, run, walked);
            else if (ready)
                result = ItemResult{ItemState::Stopped, {}, tw::ftp::kErrOperationCancelled, false};
            {
                std::lock_guard lock(m_mutex);
                run.session = nullptr;
            }
            const bool alive = session->isConnected();
            m_pool.give(std::move(session));
            // A session that died while it waited in the pool: once more on a fresh one.
            if (reused && !alive && attempt == 0 && result.state == ItemState::Failed &&
                result.retryable && run.lastBytes == before && !run.stop.load())
                continue;
            break;
        }
    }
    std::lock_guard lock(m_mutex);
    finish(id, work, result, &walked, requeue);
}

ItemResult TransferQueue::runOn(TransferItem& work, tw::ftp::RemoteSession& session, Run& run,
                                std::vector<TransferItem>& walked) {
    if (work.kind == ItemKind::Folder)
        return MakeFolder(work, &session);
    if (work.kind == ItemKind::Tree) {
        WalkResult w = WalkRemoteTree(
            session, work, m_settings.walkFilter ? m_settings.walkFilter : DefaultWalkFilter,
            run.stop);
        if (w.ok) {
            walked = std::move(w.items);
            return ItemResult{};
        }
        return ItemResult{w.stopped ? ItemState::Stopped : ItemState::Failed, w.error, w.errorCode,
                          w.retryable};
    }
    const std::int64_t id = work.id;
    const RunContext context{
        run.stop,
        [this, id, &run](std::uint64_t transferred) {
            {
                std::lock_guard lock(m_mutex);
                const auto now = Clock::now();
                if (!run.firstBytes) {
                    run.firstBytes = transferred;
                    run.started = now;
                }
                run.lastBytes = transferred;
                const auto f = m_byId.find(id);
                if (f == m_byId.end())
                    return;
                Node& node = f->second->second;
                node.item.transferred = transferred;
                const auto ms =
                    std::chrono::duration_cast<std::chrono::milliseconds>(now - run.started)
                        .count();
                if (ms >= 200 && transferred >= *run.firstBytes)
                    node.item.bytesPerSecond =
                        (transferred - *run.firstBytes) * 1000 / std::uint64_t(ms);
                if (now - node.lastTold < m_settings.progressInterval)
                    return;
                node.lastTold = now;
                tellChanged(node);
            }
            deliver();
        },
        [this, id, &work] {
            {
                std::lock_guard lock(m_mutex);
                const auto f = m_byId.find(id);
                if (f == m_byId.end())
                    return;
                Node& node = f->second->second;
                node.item.partialPath = work.partialPath;
                node.item.sourceSize = work.sourceSize;
                node.item.sourceTime = work.sourceTime;
                node.item.size = work.size;
                tellChanged(node);
            }
            deliver();
        },
        m_settings.resumeChoice,
        [this](const std::string& line) { tellNotice(line); },
    };
    return m_runner(work, session, context);
}

void TransferQueue::finish(std::int64_t id, const TransferItem& work, const ItemResult& result,
                           std::vector<TransferItem>* walked, bool requeue) {
    const auto f = m_byId.find(id);
    if (f == m_byId.end())
        return;
    const auto it = f->second;
    Node& node = it->second;
    const bool stopRequested = node.run && node.run->stop.load();
    node.run = nullptr;
    node.item.partialPath = work.partialPath;
    node.item.sourceSize = work.sourceSize;
    node.item.sourceTime = work.sourceTime;
    node.item.size = work.size;
    node.item.transferred = work.transferred;
    node.item.bytesPerSecond = 0;
    if (node.removeWhenDone) {
        setState(node, ItemState::Skipped);
        --m_totals.skipped;
        --m_totals.rows;
        m_rows.erase(it);
        m_byId.erase(f);
        Event e;
        e.kind = Event::Removed;
        e.ids.push_back(id);
        tell(std::move(e));
        checkIdle();
        return;
    }
    if (requeue) {
        queueAgain(it);
        tellChanged(node);
        checkIdle();
        return;
    }
    ItemState state = result.state;
    if (stopRequested && state != ItemState::Done)
        state = ItemState::Stopped;
    if (state == ItemState::Failed && result.retryable && !m_shutdown &&
        node.item.retries < m_settings.maxRetries) {
        ++node.item.retries;
        node.item.error = result.error;
        node.item.errorCode = result.errorCode;
        node.notBefore = Clock::now() + m_settings.retryDelay;
        queueAgain(it);
        tellChanged(node);
        Event e;
        e.kind = Event::Notice;
        e.line = "Connection lost while copying " + sourceOf(node.item) + " (" + result.error +
                 "): trying again in " + secondsText(m_settings.retryDelay) + " (retry " +
                 std::to_string(node.item.retries) + " of " +
                 std::to_string(m_settings.maxRetries) + ")";
        tell(std::move(e));
        checkIdle();
        return;
    }
    setState(node, state);
    if (state == ItemState::Failed || state == ItemState::Skipped) {
        node.item.error = result.error;
        node.item.errorCode = result.errorCode;
    }
    if (node.item.kind == ItemKind::Tree && state == ItemState::Done && walked) {
        insertWalked(it, *walked);
        checkIdle();
        return;
    }
    tellChanged(node);
    if (node.item.kind == ItemKind::Folder && state == ItemState::Failed)
        failInside(node.item);
    checkIdle();
}

void TransferQueue::insertWalked(Rows::iterator tree, std::vector<TransferItem>& rows) {
    const std::int64_t treeId = tree->second.item.id;
    auto next = std::next(tree);
    std::uint64_t low = tree->first;
    std::uint64_t step = kKeyGap;
    if (next != m_rows.end()) {
        step = (next->first - low) / std::max<std::size_t>(rows.size(), 1);
        if (step == 0) {
            renumber();
            tree = m_byId[treeId];
            next = std::next(tree);
            low = tree->first;
            step = (next->first - low) / std::max<std::size_t>(rows.size(), 1);
        }
    }
    setState(tree->second, ItemState::Skipped);
    --m_totals.skipped;
    --m_totals.rows;
    m_rows.erase(tree);
    m_byId.erase(treeId);
    for (std::size_t i = 0; i < rows.size(); ++i) {
        TransferItem& item = rows[i];
        item.id = m_nextId++;
        Node node;
        node.item = item;
        node.item.state = ItemState::Skipped;
        ++m_totals.skipped;
        ++m_totals.rows;
        const auto it = m_rows.emplace(low + i * step, std::move(node)).first;
        m_byId[item.id] = it;
        setState(it->second, item.state);
        if (item.state == ItemState::Queued)
            queueAgain(it);
    }
    Event e;
    e.kind = Event::Inserted;
    e.id = treeId;
    e.rows = rows;
    tell(std::move(e));
}

void TransferQueue::failInside(const TransferItem& folder) {
    const std::string& path = destinationOf(folder);
    const auto start = m_byId.find(folder.id);
    if (start == m_byId.end())
        return;
    for (auto it = std::next(start->second); it != m_rows.end(); ++it) {
        Node& node = it->second;
        if (node.item.group != folder.group || node.item.state != ItemState::Queued ||
            !IsSameOrInside(destinationOf(node.item), path))
            continue;
        setState(node, ItemState::Failed);
        node.item.error = "the folder " + path + " could not be made";
        tellChanged(node);
    }
}

} // namespace tw::queue
