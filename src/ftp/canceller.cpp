#include "ftp/canceller.h"

#include <fcntl.h>
#include <unistd.h>

namespace tw::ftp {

Canceller::Canceller() {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) == 0) {
        m_readFd = fds[0];
        m_writeFd = fds[1];
    }
}

Canceller::~Canceller() {
    if (m_readFd >= 0)
        ::close(m_readFd);
    if (m_writeFd >= 0)
        ::close(m_writeFd);
}

void Canceller::drain() {
    if (m_readFd < 0)
        return;
    char buf[64];
    while (::read(m_readFd, buf, sizeof buf) > 0) {
    }
}

void Canceller::arm() {
    std::lock_guard lock(m_mutex);
    m_cancelled.store(false);
    drain();
    m_armed.store(true);
}

void Canceller::disarm() {
    std::lock_guard lock(m_mutex);
    m_armed.store(false);
    m_cancelled.store(false);
    drain();
}

void Canceller::cancel() {
    std::lock_guard lock(m_mutex);
    if (!m_armed.load() || m_cancelled.load())
        return;
    m_cancelled.store(true);
    if (m_writeFd >= 0) {
        const char b = 1;
        [[maybe_unused]] const auto n = ::write(m_writeFd, &b, 1);
    }
}

void Canceller::reset() {
    std::lock_guard lock(m_mutex);
    m_cancelled.store(false);
    drain();
}

} // namespace tw::ftp
