#pragma once

#include "core/queue/queue_rows.h"
#include "core/queue/queue_store.h"
#include "core/state/app_state.h"
#include "queue/resumable_copy.h"
#include "queue/transfer_item.h"

#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <unordered_map>
#include <vector>

namespace tw {

namespace ftp {
class RemoteSession;
}
namespace queue {
class TransferQueue;
}
class Messages;
class SessionController;
class TransferPort;
enum class PaneSide;

// The transfer queue of the window: every transfer is a row of it, and its files run on
// connections of their own to the current server (queue::TransferQueue), so the browsing
// session stays free. Around each file the window's rules hold: the log lines, the transfer
// log, the speed line and the sounds; a batch (the rows one command queued) ends with its
// count, the destination listed again and, after a stop, "Transfer stopped". The rows are kept
// in a QueueStore, so a restart shows them again and starts them when the user asks.
//
// Used on the user-interface thread; the queue's workers reach it only through the port's
// runOnUiThread, coalesced.
class QueueController {
public:
    struct Hooks {
        // Lists a pane again (the destination of a finished batch).
        std::function<void(PaneSide)> relist;
        // The queue started or stopped running (rows queued or running, or none).
        std::function<void(bool running)> runningChanged;
    };

    // `rows`: what the queue pane shows, kept up to date by the controller.
    QueueController(AppState& state, const AppGlobals& globals, const Messages& messages,
                    TransferPort& port, SessionController& session, QueueRows& rows, Hooks hooks);
    ~QueueController();
    QueueController(const QueueController&) = delete;
    QueueController& operator=(const QueueController&) = delete;

    // Opens the kept queue in `folder` and shows its rows; a file that cannot be used is said
    // in the log, and the queue then lives in memory.
    void openStore(const QString& folder);
    QueueRows& rows() { return m_rows; }
    const QueueStore* store() const { return m_store.get(); }

    // Queues rows (remote paths absolute) for the current connection's server and starts
    // them; false when there is no connection.
    bool enqueue(std::vector<queue::TransferItem> items);

    // A batch whose caller follows it: `wrap` is given the window's runner and returns the
    // batch's own (called on the queue's workers; the rows' names are used as given, no
    // Lowercase); `finished` runs on the UI thread once no row of the batch is queued or
    // running any more, with the batch's rows as they ended.
    struct BatchHooks {
        std::function<queue::ItemRunner(queue::ItemRunner)> wrap;
        std::function<void(const std::vector<queue::TransferItem>&)> finished;
    };
    bool enqueue(std::vector<queue::TransferItem> items, BatchHooks hooks);

    // One file another flow copies (a remote file edited in place), with its hooks around the
    // copy. `before` runs on the queue's worker with the row's session before the copy; a
    // result it returns ends the row without copying. `after` runs there after a copy that
    // succeeded. `finished` runs on the UI thread each time the row stops running (Done,
    // Failed, Stopped, Skipped), after the queue's own handling. The row's names are used as
    // given (no Lowercase), and a finished download lists no pane again.
    struct FileHooks {
        std::function<std::optional<queue::ItemResult>(queue::TransferItem&, ftp::RemoteSession&)>
            before;
        std::function<void(const queue::TransferItem&, ftp::RemoteSession&)> after;
        std::function<void(const queue::TransferItem&)> finished;
    };
    // The row's id, or nothing when there is no connection.
    std::optional<std::int64_t> enqueueFile(queue::TransferItem item, FileHooks hooks);

    // The pane's commands, on the selected rows' ids.
    void stop(const std::vector<std::int64_t>& ids);
    // Stops every running and queued row; false when none was.
    bool stopAll();
    void startAgain(const std::vector<std::int64_t>& ids);
    void retryFailed();
    void remove(const std::vector<std::int64_t>& ids);
    void clearFinished();
    void moveUp(const std::vector<std::int64_t>& ids);
    void moveDown(const std::vector<std::int64_t>& ids);

    // Something is queued or running.
    bool running() const;
    // Blocks until the queue's workers are idle (what they handed to the UI thread runs when
    // the UI thread gets to it). For tests; the window never waits.
    void waitIdle();
    // The connection ended: the queue's connections close and its running rows stop.
    void disconnected();

private:
    class Bridge;
    struct Group {
        int active = 0;
        int transferred = 0;
        bool stopped = false;
        bool upload = false;
        bool hooked = false; // a row of enqueueFile's
    };
    struct Pending; // what the workers handed over, not yet applied

    queue::TransferQueue* queueForServer();
    QueueAccount currentAccount() const;
    void flush();
    void track(const queue::TransferItem* before, const queue::TransferItem& after);
    void endGroup(std::int64_t id, const Group& group);
    void showProgress();
    void saveChanges(bool force);
    void logWalkRow(const queue::TransferItem& item);
    void runFinishedCalls();

    AppState& m_state;
    const AppGlobals& m_globals;
    const Messages& m_messages;
    TransferPort& m_port;
    SessionController& m_session;
    Hooks m_hooks;

    QueueRows& m_rows;
    std::unique_ptr<QueueStore> m_store;
    std::unique_ptr<Bridge> m_bridge;
    std::unique_ptr<queue::TransferQueue> m_queue;
    QueueAccount m_queueAccount;
    std::unordered_map<std::int64_t, QueueAccount> m_accounts; // every row's server
    std::unordered_map<std::int64_t, Group> m_groups;
    std::vector<std::pair<std::function<void(const queue::TransferItem&)>, queue::TransferItem>>
        m_finishedCalls; // made at the end of a flush, when the rows are consistent
    // enqueue's followed batches by group, and their ends not yet told.
    std::unordered_map<std::int64_t, std::function<void(const std::vector<queue::TransferItem>&)>>
        m_batchFinished;
    std::vector<std::int64_t> m_endedBatches;
    std::unordered_map<std::int64_t, queue::TransferItem> m_unsaved;
    std::vector<std::int64_t> m_unsavedRemovals;
    bool m_orderChanged = false;
    bool m_progressOpen = false;
    bool m_wasRunning = false;
    std::int64_t m_nextId = 1;
    std::int64_t m_lastSaveMs = 0;
};

} // namespace tw
