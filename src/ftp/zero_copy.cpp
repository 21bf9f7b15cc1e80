#include "ftp/zero_copy.h"

#include "ftp/ftp_error.h"
#include "ftp/socket.h"

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <sys/sendfile.h>
#include <unistd.h>

namespace tw::ftp {

namespace {

constexpr int kPipeCapacity = 1 << 20;

// After a copy call failed with `error`: true when the copy goes on (interrupted, or the
// socket is ready again); else the outcome is in `result` (an engine error, or a pair of
// descriptors the kernel cannot copy between, when nothing moved yet).
bool goesOn(int error, int socket, short events, int timeoutMs, const Canceller* cancel,
            CopyResult& result) {
    if (error == EINTR)
        return true;
    if (error == EAGAIN || error == EWOULDBLOCK) {
        result.error = WaitForSocket(socket, events, timeoutMs, cancel);
        return result.error == kErrNone;
    }
    if ((error == EINVAL || error == ENOSYS) && result.moved == 0)
        result.unsupported = true;
    else
        result.error = ErrorFromErrno(error, false);
    return false;
}

} // namespace

SplicePipe::SplicePipe() {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0)
        return;
    m_read = fds[0];
    m_write = fds[1];
    // A larger pipe moves more per call; the system may refuse it (its limit), which is fine.
    const int got = ::fcntl(m_write, F_SETPIPE_SZ, kPipeCapacity);
    if (got > 0)
        m_capacity = static_cast<std::size_t>(got);
}

SplicePipe::~SplicePipe() {
    if (m_read >= 0)
        ::close(m_read);
    if (m_write >= 0)
        ::close(m_write);
}

// Empties `count` bytes of the pipe into the file; by hand when the file cannot take a splice.
int SplicePipe::drainTo(int to, std::size_t count, CopyResult& result) {
    while (count > 0) {
        const ssize_t n = ::splice(m_read, nullptr, to, nullptr, count, SPLICE_F_MOVE);
        if (n > 0) {
            count -= std::size_t(n);
            result.moved += std::size_t(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno == EINVAL) {
            char buffer[65536];
            while (count > 0) {
                const ssize_t r = ::read(m_read, buffer, std::min(count, sizeof buffer));
                if (r <= 0)
                    return errno ? errno : EIO;
                for (ssize_t done = 0; done < r;) {
                    const ssize_t w = ::write(to, buffer + done, std::size_t(r - done));
                    if (w < 0 && errno == EINTR)
                        continue;
                    if (w <= 0)
                        return w < 0 ? errno : ENOSPC;
                    done += w;
                }
                count -= std::size_t(r);
                result.moved += std::size_t(r);
            }
            result.unsupported = true;
            return 0;
        }
        return n < 0 ? errno : ENOSPC;
    }
    return 0;
}

CopyResult SplicePipe::socketToFile(int from, int to, std::size_t size, int timeoutMs,
                                    const Canceller* cancel) {
    CopyResult result;
    if (!valid()) {
        result.unsupported = true;
        return result;
    }
    while (result.moved < size) {
        const std::size_t want = std::min(size - result.moved, m_capacity);
        const ssize_t n =
            ::splice(from, nullptr, m_write, nullptr, want, SPLICE_F_MOVE | SPLICE_F_NONBLOCK);
        if (n > 0) {
            if (const int err = drainTo(to, std::size_t(n), result)) {
                result.localErrno = err;
                return result;
            }
            if (result.unsupported)
                return result;
            continue;
        }
        if (n == 0) {
            result.endOfData = true;
            return result;
        }
        if (!goesOn(errno, from, POLLIN, timeoutMs, cancel, result))
            return result;
    }
    return result;
}

CopyResult SendFileToSocket(int from, int to, std::size_t size, int timeoutMs,
                            const Canceller* cancel) {
    CopyResult result;
    while (result.moved < size) {
        const ssize_t n = ::sendfile(to, from, nullptr, size - result.moved);
        if (n > 0) {
            result.moved += std::size_t(n);
            continue;
        }
        if (n == 0) {
            result.endOfData = true;
            return result;
        }
        if (errno == EIO || errno == EFAULT || errno == ENOMEM || errno == EOVERFLOW) {
            result.localErrno = errno; // reading the file failed
            return result;
        }
        if (!goesOn(errno, to, POLLOUT, timeoutMs, cancel, result))
            return result;
    }
    return result;
}

} // namespace tw::ftp
