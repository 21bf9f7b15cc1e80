#pragma once

// TransferQueue: the rows of one server's transfers and the worker threads that run them on
// connections of their own (ConnectionPool), so the browsing session stays free.
//
//   QueueSettings settings;  settings.maxConnections = 4;
//   TransferQueue queue(browsingOptions, settings, &observer);
//   std::vector<TransferItem> rows = queue.add({tree, file});  // ids and groups assigned
//   queue.stop({id});  queue.start({id});  queue.retryFailed();  queue.moveUp({id});
//   queue.waitIdle();                                          // tarnwick-ftp, tests
//
// Rows keep the order they were added in. Each of the `maxConnections` workers (std::thread,
// joined by the destructor) takes the next Queued row in that order:
//   File   - the runner (QueueSettings::runner, else DefaultRunner(settings.copy)) copies it
//            on a pooled session;
//   Folder - MakeFolder: the local folder of a download (no connection needed), the remote
//            one of an upload. Rows after a Folder row that is running wait for it, so a folder
//            exists before what goes into it;
//   Tree   - the folder is walked (WalkRemoteTree on a session, WalkLocalTree) and the row is
//            replaced, in place, by the walk's rows (same group), told by rowsInserted.
// A Folder row that failed fails the Queued rows of its group inside it ("the folder could not
// be made").
//
// Failures: a row that failed because the connection was lost (ItemResult::retryable) is
// queued again after `retryDelay`, at most `maxRetries` times, on a fresh connection, so it
// resumes; each retry counts in the row (retries, error) and is told as a notice. A session
// taken idle from the pool that turns out dead is replaced at once, without counting. A login
// refused for the server's connection limit puts the row back, Queued, and the pool runs with
// fewer connections (a notice). Other failures are final (Failed, with the reason).
//
// Commands (any thread): stop (all, or ids): Queued rows become Stopped, running ones are
// aborted (RemoteSession::abort of their session) and become Stopped with their partial data
// kept; start (ids, or every Stopped row) and retryFailed (Failed rows) queue them again;
// remove (ids; a running row is stopped first and goes when its worker let go of it; partial
// data stays on disk); clearFinished removes Done, Failed and Skipped rows; moveUp / moveDown:
// each selected row changes places with the nearest unselected row above (below) it, so a
// selected block moves as one and a row at the edge stays (rowsMoved tells which ids moved).
//
// The observer hears of every change, in order, from whichever thread made it (never two calls
// at once; it may call the queue): rowsAdded, rowsChanged (state changes at once, progress and
// speed at most every progressInterval per row), rowsInserted, rowsRemoved, rowsMoved, notice
// (log lines: connection limit, retries, resume refused...), idle (nothing Queued or Running
// any more). Costs: a progress tick is O(1) and copies one row; a command costs O(its ids) but
// for clearFinished / stop-all / start-all (O(rows)); snapshot() copies every row.
//
// Remote paths in rows must be absolute (the pooled sessions' directories are not kept).

#include "ftp/ftp_session.h"
#include "queue/connection_pool.h"
#include "queue/folder_walk.h"
#include "queue/resumable_copy.h"
#include "queue/transfer_item.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

namespace tw::queue {

class QueueObserver {
public:
    virtual ~QueueObserver() = default;
    virtual void rowsAdded(const std::vector<TransferItem>& /*rows*/) {}
    virtual void rowsChanged(const std::vector<TransferItem>& /*rows*/) {}
    // The row `replacedId` is gone; `rows` stand in its place, in order.
    virtual void rowsInserted(std::int64_t /*replacedId*/,
                              const std::vector<TransferItem>& /*rows*/) {}
    virtual void rowsRemoved(const std::vector<std::int64_t>& /*ids*/) {}
    // moveUp / moveDown of these ids (those that moved), by the rule above.
    virtual void rowsMoved(const std::vector<std::int64_t>& /*ids*/, bool /*up*/) {}
    virtual void notice(const std::string& /*line*/) {}
    virtual void idle() {}
};

struct QueueSettings {
    int maxConnections = 2; // 1..10
    std::chrono::milliseconds idleTimeout{60000};
    int maxRetries = 2;
    std::chrono::milliseconds retryDelay{5000};
    std::chrono::milliseconds progressInterval{100};
    ItemRunner runner;          // File rows; empty: DefaultRunner(copy)
    WalkFilter walkFilter;      // Tree walks; empty: DefaultWalkFilter
    ResumeChooser resumeChoice; // empty: resume what the row recorded, start anything else again
    CopyOptions copy;
};

// Counts of rows by state, kept as rows change (O(1) to ask).
struct QueueTotals {
    std::size_t rows = 0;
    std::size_t queued = 0;
    std::size_t running = 0;
    std::size_t done = 0;
    std::size_t failed = 0;
    std::size_t stopped = 0;
    std::size_t skipped = 0;
};

class TransferQueue {
public:
    TransferQueue(tw::ftp::SessionOptions options, QueueSettings settings,
                  QueueObserver* observer = nullptr);
    // Stops every running row, joins the workers and closes the connections.
    ~TransferQueue();
    TransferQueue(const TransferQueue&) = delete;
    TransferQueue& operator=(const TransferQueue&) = delete;

    // Appends rows (an id the caller gave is kept when no row has it, else one is assigned; a
    // group of 0 becomes the first new row's id; states
    // other than Queued are kept, so rows loaded from a store come back as they were) and
    // returns them as stored.
    std::vector<TransferItem> add(std::vector<TransferItem> items);

    void stop();
    void stop(const std::vector<std::int64_t>& ids);
    void start();
    void start(const std::vector<std::int64_t>& ids);
    void retryFailed();
    void remove(const std::vector<std::int64_t>& ids);
    std::vector<std::int64_t> clearFinished();
    void moveUp(const std::vector<std::int64_t>& ids);
    void moveDown(const std::vector<std::int64_t>& ids);
    // 1..10; also lifts a limit the server's refusals lowered.
    void setMaxConnections(int maxConnections);
    // A session already logged in with the same options joins the pool as an idle one (so a
    // caller that connected to look around spares the queue a login).
    void adoptSession(std::unique_ptr<tw::ftp::RemoteSession> session);

    std::vector<TransferItem> snapshot() const;
    std::optional<TransferItem> item(std::int64_t id) const;
    QueueTotals totals() const;
    int connectionLimit() const { return m_pool.limit(); }
    bool isIdle() const;
    // Blocks until nothing is Queued or Running (and the observer heard of it all).
    void waitIdle();
    // The same for at most `timeout`; false when the queue is still busy.
    bool waitIdle(std::chrono::milliseconds timeout);

private:
    using Clock = std::chrono::steady_clock;
    struct Run;
    struct Node {
        TransferItem item;
        Clock::time_point notBefore{};
        Clock::time_point lastTold{};
        Run* run = nullptr; // while its worker runs it
        bool removeWhenDone = false;
    };
    using Rows = std::map<std::uint64_t, Node>; // by position key, in queue order
    struct Event;

    void workerLoop();
    Rows::iterator pick(Clock::time_point now, std::optional<Clock::time_point>& wake);
    void runPicked(std::int64_t id, TransferItem work, Run& run);
    ItemResult runOn(TransferItem& work, tw::ftp::RemoteSession& session, Run& run,
                     std::vector<TransferItem>& walked);
    void finish(std::int64_t id, const TransferItem& work, const ItemResult& result,
                std::vector<TransferItem>* walked, bool requeue);
    void setState(Node& node, ItemState state);
    void queueAgain(Rows::iterator it);
    void insertWalked(Rows::iterator tree, std::vector<TransferItem>& rows);
    void failInside(const TransferItem& folder);
    void renumber();
    void stopLocked(Node& node);
    void tellChanged(const Node& node);
    void tell(Event event);
    void tellNotice(const std::string& line);
    void checkIdle();
    void deliver();
    std::uint64_t keyAfterLast();

    QueueSettings m_settings;
    ItemRunner m_runner;
    QueueObserver* m_observer;
    ConnectionPool m_pool;

    mutable std::mutex m_mutex;
    std::condition_variable m_wake;     // work may be there, or shutdown
    std::condition_variable m_idleWake; // the queue may have gone idle
    Rows m_rows;
    std::unordered_map<std::int64_t, Rows::iterator> m_byId;
    std::uint64_t m_hintKey = 0; // no Queued row has a smaller key
    std::int64_t m_nextId = 1;
    QueueTotals m_totals;
    int m_holders = 0; // workers holding a session
    bool m_shutdown = false;
    bool m_toldIdle = true;

    std::vector<Event> m_events;
    bool m_delivering = false;
    std::vector<std::thread> m_workers;
};

} // namespace tw::queue
