#pragma once

#include "core/permissions/permissions_port.h"
#include "core/state/app_runtime.h"
#include "core/state/app_state.h"

#include <memory>
#include <vector>

namespace tw {

namespace queue {
class ChmodRun;
struct ChmodReport;
} // namespace queue
class Messages;
class SessionController;

// Remote Permissions: the selected rows' Unix permissions changed (SITE CHMOD, SFTP setstat). The
// dialog starts from the rows' listed modes (bits on which they differ undecided, so only the bits
// the user decides change). Files, and folders without "Apply to everything inside", are
// changed on the session's worker, each refusal a message with the server's reply; a change
// inside folders runs on a connection of its own (queue::ChmodRun) with a progress window
// whose Stop ends it, goes on past refusals and reports them at its end. The folder is listed
// again after a change.
//
// Used on the user-interface thread.
class PermissionsController {
public:
    PermissionsController(AppState& state, AppRuntime& runtime, const Messages& messages,
                          SessionController& session, PermissionsPort& port);
    // Stops a run inside folders and waits for its thread.
    ~PermissionsController();
    PermissionsController(const PermissionsController&) = delete;
    PermissionsController& operator=(const PermissionsController&) = delete;

    // The Permissions command on the remote pane's selected rows (the parent row aside);
    // false when nothing was started.
    bool ChangePermissions(const std::vector<int>& selection);
    // A run inside folders is going.
    bool running() const;
    // Stops that run (between two entries; the command in progress is cancelled).
    void stop();
    // Waits for the run's thread to end; its end is then queued for the UI thread. For tests.
    void waitForRun();

private:
    struct Shared;
    void finishRun(const queue::ChmodReport& report);

    AppState& m_state;
    AppRuntime& m_runtime;
    const Messages& m_messages;
    SessionController& m_session;
    PermissionsPort& m_port;
    std::shared_ptr<Shared> m_shared;
    std::unique_ptr<queue::ChmodRun> m_run;
};

} // namespace tw
