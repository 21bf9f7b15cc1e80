#include "ftp/socket.h"

#include "ftp/canceller.h"
#include "ftp/ftp_error.h"
#include "ftp/tls_socket.h"

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <unistd.h>

namespace tw::ftp {

namespace {

using Clock = std::chrono::steady_clock;

void setNonBlocking(int fd) {
    const int flags = ::fcntl(fd, F_GETFL, 0);
    ::fcntl(fd, F_SETFL, flags | O_NONBLOCK);
}

// The IPv4 address of an IPv4 or IPv4-mapped IPv6 address, if it is one.
bool asIPv4(const sockaddr_storage& s, in_addr& out) {
    if (s.ss_family == AF_INET) {
        out = reinterpret_cast<const sockaddr_in*>(&s)->sin_addr;
        return true;
    }
    if (s.ss_family == AF_INET6) {
        const auto* a6 = reinterpret_cast<const sockaddr_in6*>(&s);
        if (IN6_IS_ADDR_V4MAPPED(&a6->sin6_addr)) {
            std::memcpy(&out, a6->sin6_addr.s6_addr + 12, 4);
            return true;
        }
    }
    return false;
}

} // namespace

int SocketAddress::port() const {
    if (storage.ss_family == AF_INET)
        return ntohs(reinterpret_cast<const sockaddr_in*>(&storage)->sin_port);
    if (storage.ss_family == AF_INET6)
        return ntohs(reinterpret_cast<const sockaddr_in6*>(&storage)->sin6_port);
    return 0;
}

void SocketAddress::setPort(int port) {
    const auto p = htons(static_cast<std::uint16_t>(port));
    if (storage.ss_family == AF_INET)
        reinterpret_cast<sockaddr_in*>(&storage)->sin_port = p;
    else if (storage.ss_family == AF_INET6)
        reinterpret_cast<sockaddr_in6*>(&storage)->sin6_port = p;
}

std::string SocketAddress::host() const {
    char buf[INET6_ADDRSTRLEN] = {};
    in_addr v4{};
    if (asIPv4(storage, v4))
        ::inet_ntop(AF_INET, &v4, buf, sizeof buf);
    else if (storage.ss_family == AF_INET6)
        ::inet_ntop(AF_INET6, &reinterpret_cast<const sockaddr_in6*>(&storage)->sin6_addr, buf,
                    sizeof buf);
    return buf;
}

bool SocketAddress::sameHost(const SocketAddress& other) const {
    in_addr a{}, b{};
    const bool av4 = asIPv4(storage, a);
    const bool bv4 = asIPv4(other.storage, b);
    if (av4 || bv4)
        return av4 && bv4 && a.s_addr == b.s_addr;
    if (storage.ss_family != AF_INET6 || other.storage.ss_family != AF_INET6)
        return false;
    return std::memcmp(&reinterpret_cast<const sockaddr_in6*>(&storage)->sin6_addr,
                       &reinterpret_cast<const sockaddr_in6*>(&other.storage)->sin6_addr,
                       sizeof(in6_addr)) == 0;
}

int RemainingMs(Deadline deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                          deadline - std::chrono::steady_clock::now())
                          .count();
    return left < 0 ? 0 : static_cast<int>(left);
}

int WaitForSocket(int fd, short events, int timeoutMs, const Canceller* cancel) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        if (cancel && cancel->isCancelled())
            return kErrOperationCancelled;
        pollfd fds[2] = {{fd, events, 0}, {cancel ? cancel->fd() : -1, POLLIN, 0}};
        const int n = ::poll(fds, cancel && cancel->fd() >= 0 ? 2 : 1, RemainingMs(deadline));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return kErrInternalError;
        }
        if (cancel && cancel->isCancelled())
            return kErrOperationCancelled;
        if (n == 0 || (fds[0].revents == 0 && RemainingMs(deadline) == 0))
            return kErrTimeout;
        if (fds[0].revents != 0)
            return kErrNone;
    }
}

int ErrorFromErrno(int error, bool connecting) {
    switch (error) {
    case ECONNRESET:
    case EPIPE:
        return kErrConnectionReset;
    case ETIMEDOUT:
        return kErrTimeout;
    case ECONNREFUSED:
    case ENETUNREACH:
    case EHOSTUNREACH:
    case EADDRNOTAVAIL:
    case EAFNOSUPPORT:
        return connecting ? kErrCannotConnect : kErrConnectionAborted;
    case EMFILE:
    case ENFILE:
    case ENOBUFS:
        return kErrOutOfHandles;
    default:
        return connecting ? kErrCannotConnect : kErrConnectionAborted;
    }
}

Socket::Socket() = default;
Socket::Socket(int fd) : m_fd(fd) {}

Socket::~Socket() {
    close();
}

Socket::Socket(Socket&& other) noexcept : m_fd(other.m_fd), m_tls(std::move(other.m_tls)) {
    other.m_fd = -1;
}

Socket& Socket::operator=(Socket&& other) noexcept {
    if (this != &other) {
        close();
        m_fd = other.m_fd;
        m_tls = std::move(other.m_tls);
        other.m_fd = -1;
    }
    return *this;
}

void Socket::close() {
    if (m_tls) {
        m_tls->quickShutdown();
        m_tls.reset();
    }
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
}

void Socket::closeWithReset() {
    m_tls.reset(); // no close_notify: the cut must not look like an end
    if (m_fd >= 0) {
        const linger hard{1, 0};
        ::setsockopt(m_fd, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
    }
    close();
}

void Socket::setNoDelay() {
    const int one = 1;
    if (m_fd >= 0)
        ::setsockopt(m_fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
}

void Socket::setKeepAlive(int idleSeconds, int intervalSeconds, int count) {
    if (m_fd < 0)
        return;
    const int one = 1;
    ::setsockopt(m_fd, SOL_SOCKET, SO_KEEPALIVE, &one, sizeof one);
    ::setsockopt(m_fd, IPPROTO_TCP, TCP_KEEPIDLE, &idleSeconds, sizeof idleSeconds);
    ::setsockopt(m_fd, IPPROTO_TCP, TCP_KEEPINTVL, &intervalSeconds, sizeof intervalSeconds);
    ::setsockopt(m_fd, IPPROTO_TCP, TCP_KEEPCNT, &count, sizeof count);
}

void Socket::shutdownWrite() {
    if (m_fd >= 0)
        ::shutdown(m_fd, SHUT_WR);
}

int Socket::connectTo(const SocketAddress& address, int timeoutMs, const Canceller* cancel) {
    close();
    m_fd = ::socket(address.family(), SOCK_STREAM | SOCK_CLOEXEC, IPPROTO_TCP);
    if (m_fd < 0)
        return ErrorFromErrno(errno, true);
    setNonBlocking(m_fd);
    if (::connect(m_fd, reinterpret_cast<const sockaddr*>(&address.storage), address.length) == 0)
        return kErrNone;
    if (errno != EINPROGRESS) {
        const int err = errno;
        close();
        return ErrorFromErrno(err, true);
    }
    const int waited = WaitForSocket(m_fd, POLLOUT, timeoutMs, cancel);
    if (waited != kErrNone) {
        close();
        return waited;
    }
    int soError = 0;
    socklen_t len = sizeof soError;
    ::getsockopt(m_fd, SOL_SOCKET, SO_ERROR, &soError, &len);
    if (soError != 0) {
        close();
        return ErrorFromErrno(soError, true);
    }
    return kErrNone;
}

int Socket::listenOn(const SocketAddress& address) {
    close();
    m_fd = ::socket(address.family(), SOCK_STREAM | SOCK_CLOEXEC, IPPROTO_TCP);
    if (m_fd < 0)
        return ErrorFromErrno(errno, true);
    SocketAddress local = address;
    local.setPort(0);
    if (::bind(m_fd, reinterpret_cast<const sockaddr*>(&local.storage), local.length) != 0 ||
        ::listen(m_fd, 4) != 0) {
        const int err = errno;
        close();
        return ErrorFromErrno(err, true);
    }
    setNonBlocking(m_fd);
    return kErrNone;
}

int Socket::acceptFrom(const SocketAddress& peerHost, int timeoutMs, const Canceller* cancel,
                       Socket& accepted) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        const int waited = WaitForSocket(m_fd, POLLIN, RemainingMs(deadline), cancel);
        if (waited != kErrNone)
            return waited;
        SocketAddress from;
        from.length = sizeof from.storage;
        const int fd = ::accept4(m_fd, reinterpret_cast<sockaddr*>(&from.storage), &from.length,
                                 SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (fd < 0) {
            if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR || errno == ECONNABORTED)
                continue;
            return ErrorFromErrno(errno, true);
        }
        Socket candidate(fd);
        if (!from.sameHost(peerHost))
            continue; // someone else: refuse and keep waiting for the server
        accepted = std::move(candidate);
        return kErrNone;
    }
}

int Socket::readSome(char* buffer, std::size_t size, std::size_t& received, int timeoutMs,
                     const Canceller* cancel) {
    received = 0;
    if (m_tls)
        return m_tls->read(buffer, size, received, timeoutMs, cancel);
    for (;;) {
        const ssize_t n = ::recv(m_fd, buffer, size, 0);
        if (n >= 0) {
            received = static_cast<std::size_t>(n);
            return kErrNone;
        }
        if (errno == EINTR)
            continue;
        if (errno != EAGAIN && errno != EWOULDBLOCK)
            return ErrorFromErrno(errno, false);
        const int waited = WaitForSocket(m_fd, POLLIN, timeoutMs, cancel);
        if (waited != kErrNone)
            return waited;
    }
}

int Socket::writeAll(const char* data, std::size_t size, int timeoutMs, const Canceller* cancel) {
    if (m_tls)
        return m_tls->write(data, size, timeoutMs, cancel);
    std::size_t sent = 0;
    while (sent < size) {
        const ssize_t n = ::send(m_fd, data + sent, size - sent, MSG_NOSIGNAL);
        if (n > 0) {
            sent += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK)
            return ErrorFromErrno(errno, false);
        const int waited = WaitForSocket(m_fd, POLLOUT, timeoutMs, cancel);
        if (waited != kErrNone)
            return waited;
    }
    return kErrNone;
}

int Socket::startTls(TlsContext& context, const std::string& host, bool control, int timeoutMs,
                     const Canceller* cancel, TlsHandshakeResult& result) {
    std::unique_ptr<TlsLink> link;
    const int err =
        TlsLink::handshake(m_fd, context, host, control, timeoutMs, cancel, link, result);
    if (err == kErrNone)
        m_tls = std::move(link);
    else if (link)
        link->quickShutdown(); // a refused certificate: end the TLS session in order
    return err;
}

int Socket::endTls(int timeoutMs, const Canceller* cancel) {
    return m_tls ? m_tls->shutdown(timeoutMs, cancel) : kErrNone;
}

bool Socket::tlsTruncated() const {
    return m_tls && m_tls->truncated();
}

bool Socket::hasPending() const {
    return m_tls && m_tls->hasPending();
}

bool Socket::localAddress(SocketAddress& address) const {
    address.length = sizeof address.storage;
    return ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&address.storage), &address.length) == 0;
}

bool Socket::peerAddress(SocketAddress& address) const {
    address.length = sizeof address.storage;
    return ::getpeername(m_fd, reinterpret_cast<sockaddr*>(&address.storage), &address.length) == 0;
}

} // namespace tw::ftp
