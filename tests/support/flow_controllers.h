#pragma once

#include "core/panes/local_listing.h"
#include "core/queue/queue_controller.h"
#include "core/session/session_controller.h"
#include "core/text/messages.h"
#include "core/transfer/transfer_controller.h"
#include "support/recording_transfer_port.h"

#include <QCoreApplication>
#include <QStringList>

#include <chrono>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

namespace tw::test {

// The session, the transfer queue and the transfers over one state, wired as the main window
// wires them (a finished batch lists its pane again), for the window's flows run headless.
struct FlowControllers {
    std::unique_ptr<SessionController> session;
    std::unique_ptr<QueueController> queue;
    std::unique_ptr<TransferController> transfers;

    void build(AppState& state, AppRuntime& runtime, const AppGlobals& globals,
               const Messages& messages, RecordingTransferPort& port, LocalSystem& system,
               QueueRows& rows, int timeoutMs) {
        reset();
        SessionController::Hooks hooks;
        hooks.showAccountsSheet = [] { return true; };
        hooks.listLocalDirectory = [&state, &messages, &system] {
            ListLocalDirectory(state, messages, system);
        };
        session = std::make_unique<SessionController>(state, runtime, messages, port, hooks);
        session->setTimeoutMs(timeoutMs);
        QueueController::Hooks queueHooks;
        queueHooks.relist = [this, &state, &messages, &system](PaneSide side) {
            if (side == PaneSide::Remote)
                session->StartRemoteListing();
            else
                ListLocalDirectory(state, messages, system);
        };
        queue = std::make_unique<QueueController>(state, globals, messages, port, *session, rows,
                                                  queueHooks);
        transfers = std::make_unique<TransferController>(state, globals, runtime, messages, port,
                                                         *session, *queue);
    }

    // In the order the window lets them go.
    void reset() {
        transfers.reset();
        queue.reset();
        session.reset();
    }
    ~FlowControllers() { reset(); }

    // Waits for the workers and runs what they hand to the UI thread until all is quiet.
    // `busy` says what else still runs; `waitMore` waits for it; `events` also turns the event
    // loop (watchers, timers).
    void settle(RecordingTransferPort& port, const AppRuntime& runtime,
                const std::function<bool()>& busy = {}, const std::function<void()>& waitMore = {},
                bool events = false) const {
        do {
            while (queue->running() || runtime.busy || (busy && busy())) {
                port.runUiTasks();
                if (events)
                    QCoreApplication::processEvents();
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
            }
            session->waitForWorker();
            if (waitMore)
                waitMore();
            queue->waitIdle();
            if (events)
                QCoreApplication::processEvents();
        } while (port.runUiTasks());
    }
};

// The rows of `pane` with one of `names`, in list order.
inline std::vector<int> RowsNamed(const PaneState& pane, const QStringList& names) {
    std::vector<int> out;
    for (int i = 0; i < pane.count(); ++i)
        if (names.contains(pane.entries[std::size_t(i)].name))
            out.push_back(i);
    return out;
}

} // namespace tw::test
