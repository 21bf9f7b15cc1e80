#pragma once

#include "core/state/app_runtime.h"
#include "core/state/app_state.h"
#include "core/sync/sync_port.h"

#include <QString>

#include <functional>
#include <memory>
#include <optional>
#include <thread>
#include <vector>

namespace tw {

namespace queue {
struct TransferItem;
}
class Messages;
class QueueController;
class SessionController;

// View > Synchronise: the two panes' folders brought in step. The options are asked, both trees
// listed on a thread of the controller's own over a pool of connections of their own (the
// browsing session stays free and the window never waits), the plan shown as a preview whose
// rows can be unticked, the deletes confirmed; then the copies run as rows of the window's
// transfer queue, the deletes after them on a pooled connection, and the state the run left
// is kept for the next one, so a both-ways run can tell a change from a deletion.
//
// Used on the user-interface thread; the thread reaches it only through the port's
// runOnUiThread.
class SyncController {
public:
    struct Hooks {
        std::function<void()> listLocal; // the local pane listed again
        // The accounts saved after the exclude patterns of one changed.
        std::function<bool(const AppState&)> saveAccounts;
    };

    // `stateFolder`: where the last runs' states are kept (empty: not kept).
    SyncController(AppState& state, AppRuntime& runtime, const Messages& messages,
                   SessionController& session, QueueController& queue, SyncPort& port,
                   QString stateFolder, Hooks hooks);
    // Stops a listing or a delete and waits for its thread.
    ~SyncController();
    SyncController(const SyncController&) = delete;
    SyncController& operator=(const SyncController&) = delete;

    // The command; false when nothing was started.
    bool Synchronise();
    // A run is going (listing, preview, copies or deletes).
    bool running() const { return m_run != nullptr; }
    // Stops a listing or the deletes; the copies are the queue's and stop with it.
    void stop();
    // Waits for the controller's thread; what it handed over then waits for the UI thread.
    // For tests.
    void waitForWorker();
    // The choices of the last run (the dialog starts from them).
    const std::optional<SyncChoices>& lastChoices() const { return m_last; }

private:
    struct Run;
    struct Shared;

    void startThread(std::function<void()> body);
    void post(std::function<void(SyncController&)> task) const;
    void showProgress();
    void listed();
    bool confirmDeletes();
    void execute();
    void rowsFinished(const std::vector<queue::TransferItem>& rows);
    void deleted();
    void finish();
    QString deleteCountText(std::size_t files, std::size_t folders) const;
    void saveExcludes(const QString& excludes);

    AppState& m_state;
    AppRuntime& m_runtime;
    const Messages& m_messages;
    SessionController& m_session;
    QueueController& m_queue;
    SyncPort& m_port;
    QString m_stateFolder;
    Hooks m_hooks;
    std::optional<SyncChoices> m_last;
    std::shared_ptr<Shared> m_shared;
    std::shared_ptr<Run> m_run;
    std::thread m_thread;
};

} // namespace tw
