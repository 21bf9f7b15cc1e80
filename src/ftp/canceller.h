#pragma once

#include <atomic>

namespace tw::ftp {

// Wakes up a blocking wait from another thread: cancel() sets a flag and writes to a pipe that
// every socket wait also polls. reset() is called by the waiting side once it has handled the
// cancellation.
class Canceller {
public:
    Canceller();
    ~Canceller();
    Canceller(const Canceller&) = delete;
    Canceller& operator=(const Canceller&) = delete;

    void cancel();
    void reset();
    bool isCancelled() const { return m_cancelled.load(); }
    int fd() const { return m_readFd; }

private:
    std::atomic<bool> m_cancelled{false};
    int m_readFd = -1;
    int m_writeFd = -1;
};

} // namespace tw::ftp
