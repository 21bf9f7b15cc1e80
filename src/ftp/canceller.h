#pragma once

#include <atomic>
#include <mutex>

namespace tw::ftp {

// Wakes up a blocking wait from another thread. The waiting side arms it while a call is in
// progress; cancel() then sets a flag and writes to a pipe that every socket wait also polls.
// A cancel() while it is not armed does nothing, so a stop that lands between two calls never
// cancels the next one. Flag and pipe change together under a lock: no stale wake-up byte can
// outlive a reset and make later waits return at once.
class Canceller {
public:
    Canceller();
    ~Canceller();
    Canceller(const Canceller&) = delete;
    Canceller& operator=(const Canceller&) = delete;

    // A call starts: later cancel() calls take effect; an earlier one is forgotten.
    void arm();
    // The call has ended: cancel() is ignored until the next arm().
    void disarm();
    void cancel();
    // The waiting side has handled a cancellation; it stays armed.
    void reset();
    bool isArmed() const { return m_armed.load(); }
    bool isCancelled() const { return m_cancelled.load(); }
    int fd() const { return m_readFd; }

private:
    void drain(); // call with the lock held

    std::mutex m_mutex;
    std::atomic<bool> m_armed{false};
    std::atomic<bool> m_cancelled{false};
    int m_readFd = -1;
    int m_writeFd = -1;
};

} // namespace tw::ftp
