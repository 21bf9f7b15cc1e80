#pragma once

#include <atomic>
#include <thread>

namespace tw {

// What exists only while the program runs and is never copied or saved: the connection
// flags and the worker guard. `busy` is set by the UI thread just before a worker starts and
// cleared by the worker at its end; at most one worker runs at a time.
struct AppRuntime {
    std::atomic<bool> connectMode{false};
    std::atomic<bool> connected{false};
    std::atomic<bool> busy{false};
    // The transfer queue has rows queued or running (on connections of its own).
    std::atomic<bool> transfersRunning{false};
    // The server or the network ended the session while `connected`: only Re-Connect and
    // Disconnect remain possible.
    std::atomic<bool> sessionLost{false};
    std::thread::id workerThreadId{};
    // Compare Folders' marks are shown in the panes, and only the rows that differ (UI thread).
    bool comparing = false;
    bool onlyDifferences = false;
};

} // namespace tw
