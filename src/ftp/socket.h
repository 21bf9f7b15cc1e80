#pragma once

#include <chrono>
#include <cstddef>
#include <memory>
#include <string>

#include <sys/socket.h>

namespace tw::ftp {

class Canceller;
class TlsContext;
class TlsLink;
struct TlsHandshakeResult;

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
// Functions return an engine error number (kErrNone on success). After startTls() reads and
// writes go through TLS (ftp/tls_socket.h), with the same bounds.
class Socket {
public:
    Socket();
    explicit Socket(int fd);
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

    // A TLS client handshake over this connection (see TlsLink::handshake). On failure the
    // socket stays plain (the caller closes it).
    int startTls(TlsContext& context, const std::string& host, bool control, int timeoutMs,
                 const Canceller* cancel, TlsHandshakeResult& result);
    bool secured() const { return m_tls != nullptr; }
    // Sends close_notify (bounded by timeoutMs); the socket stays open.
    int endTls(int timeoutMs, const Canceller* cancel);
    // The peer ended the TLS stream without close_notify.
    bool tlsTruncated() const;
    // Decrypted bytes already buffered (a poll on the descriptor does not see them).
    bool hasPending() const;

    bool localAddress(SocketAddress& address) const;
    bool peerAddress(SocketAddress& address) const;

private:
    int m_fd = -1;
    std::unique_ptr<TlsLink> m_tls;
};

// The moment a wait must end by.
using Deadline = std::chrono::steady_clock::time_point;

// `ms` milliseconds from now.
inline Deadline DeadlineIn(int ms) {
    return std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
}

// Milliseconds left until `deadline` (0 when it has passed).
int RemainingMs(Deadline deadline);

// Waits until `fd` is ready for `events` (poll flags): kErrNone, kErrTimeout or
// kErrOperationCancelled.
int WaitForSocket(int fd, short events, int timeoutMs, const Canceller* cancel);

// The engine error for an errno value of a failed socket call.
int ErrorFromErrno(int error, bool connecting);

} // namespace tw::ftp
