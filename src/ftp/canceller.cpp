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

void Canceller::cancel() {
    m_cancelled.store(true);
    if (m_writeFd >= 0) {
        const char b = 1;
        [[maybe_unused]] const auto n = ::write(m_writeFd, &b, 1);
    }
}

void Canceller::reset() {
    m_cancelled.store(false);
    if (m_readFd >= 0) {
        char buf[64];
        while (::read(m_readFd, buf, sizeof buf) > 0) {
        }
    }
}

} // namespace tw::ftp
