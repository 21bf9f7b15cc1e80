#pragma once

#include <cstddef>
#include <string>

#include <sys/socket.h>

namespace tw::ftp {

class Canceller;

// A socket address with its length.
struct SocketAddress {
    sockaddr_storage storage{};
    socklen_t length = 0;

    int family() const { return storage.ss_family; }
    int port() const;
    void setPort(int port);
    // The numeric host ("127.0.0.1", "::1").
    std::string host() const;
    // Same host address (ports ignored; IPv4-mapped IPv6 equals its IPv4 address).
    bool sameHost(const SocketAddress& other) const;
};

// A TCP socket whose every wait is bounded by a timeout and can be cut short by a Canceller.
// Functions return an engine error number (kErrNone on success).
class Socket {
public:
    Socket() = default;
    explicit Socket(int fd) : m_fd(fd) {}
    ~Socket();
    Socket(Socket&& other) noexcept;
    Socket& operator=(Socket&& other) noexcept;
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;

    bool valid() const { return m_fd >= 0; }
    int fd() const { return m_fd; }
    void close();
    // Closes with a reset instead of an orderly end, so the peer cannot take the end of the
    // connection for the end of the data (a stopped upload).
    void closeWithReset();
    // Sends small writes at once (for the command connection; bulk data does not want it).
    void setNoDelay();
    // Sends keepalive probes after `idleSeconds` without traffic, then every `intervalSeconds`,
    // giving up after `count` unanswered ones.
    void setKeepAlive(int idleSeconds, int intervalSeconds, int count);
    // Sends FIN (the peer reads end of file) but keeps the socket for reading.
    void shutdownWrite();

    int connectTo(const SocketAddress& address, int timeoutMs, const Canceller* cancel);
    // Listens on the given local address with a system-chosen port.
    int listenOn(const SocketAddress& address);
    // Accepts one connection from `peerHost`; connections from other hosts are closed and the
    // wait goes on until the deadline.
    int acceptFrom(const SocketAddress& peerHost, int timeoutMs, const Canceller* cancel,
                   Socket& accepted);

    // Reads up to `size` bytes; `received` is 0 at end of file.
    int readSome(char* buffer, std::size_t size, std::size_t& received, int timeoutMs,
                 const Canceller* cancel);
    int writeAll(const char* data, std::size_t size, int timeoutMs, const Canceller* cancel);

    bool localAddress(SocketAddress& address) const;
    bool peerAddress(SocketAddress& address) const;

private:
    int m_fd = -1;
};

// Waits until `fd` is ready for `events` (poll flags): kErrNone, kErrTimeout or
// kErrOperationCancelled.
int WaitForSocket(int fd, short events, int timeoutMs, const Canceller* cancel);

// The engine error for an errno value of a failed socket call.
int ErrorFromErrno(int error, bool connecting);

} // namespace tw::ftp
