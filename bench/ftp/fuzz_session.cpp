// libFuzzer target: FtpSession's reply and transfer state machine against a server that says
// whatever the input says. The input is the server's side, split at NUL bytes into pieces: the
// greeting, then one piece per command (a transfer command takes three: its first reply, the
// bytes of its data connection, its final reply). EPSV and PASV are answered with a real data
// listener on 127.0.0.1, so listings and downloads reach their data. The session connects,
// logs in, lists, downloads, changes folder and quits with a 50 ms timeout, so every input ends
// quickly whatever it holds.
#include "ftp/file_io.h"
#include "ftp/ftp_session.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace {

constexpr int kTimeoutMs = 50;
constexpr int kServerWaitMs = 300;

using Fd = tw::ftp::UniqueFd;

int listenLoopback(int& port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
        ::listen(fd, 4) != 0 || ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len) != 0) {
        if (fd >= 0)
            ::close(fd);
        return -1;
    }
    port = ntohs(a.sin_port);
    return fd;
}

bool readable(int fd, int ms) {
    pollfd p{fd, POLLIN, 0};
    return ::poll(&p, 1, ms) > 0;
}

int acceptWithin(int listener, int ms) {
    return listener >= 0 && readable(listener, ms)
               ? ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC)
               : -1;
}

void sendAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        pollfd p{fd, POLLOUT, 0};
        if (::poll(&p, 1, kServerWaitMs) <= 0)
            return;
        const ssize_t n = ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n <= 0)
            return;
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
}

// The server: plays the pieces of the input in answer to the client's commands.
class Peer {
public:
    explicit Peer(std::string_view input) {
        for (std::size_t start = 0; start <= input.size();) {
            auto end = input.find('\0', start);
            if (end == std::string_view::npos)
                end = input.size();
            m_pieces.emplace_back(input.substr(start, end - start));
            start = end + 1;
        }
        m_listener.reset(listenLoopback(m_port));
    }

    int port() const { return m_port; }

    void run() {
        Fd control(acceptWithin(m_listener.get(), kServerWaitMs));
        if (control.get() < 0)
            return;
        const int one = 1;
        ::setsockopt(control.get(), IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        sendAll(control.get(), next());
        std::string buffer;
        for (;;) {
            const auto nl = buffer.find('\n');
            if (nl == std::string::npos) {
                std::array<char, 4096> chunk;
                if (!readable(control.get(), kServerWaitMs))
                    return;
                const ssize_t n = ::recv(control.get(), chunk.data(), chunk.size(), 0);
                if (n <= 0)
                    return;
                buffer.append(chunk.data(), static_cast<std::size_t>(n));
                continue;
            }
            const std::string line = buffer.substr(0, nl);
            buffer.erase(0, nl + 1);
            if (!answer(control.get(), line))
                return;
        }
    }

private:
    std::string_view next() {
        if (m_next >= m_pieces.size())
            return {};
        return m_pieces[m_next++];
    }

    bool answer(int control, const std::string& line) {
        const std::string verb = line.substr(0, line.find_first_of(" \r"));
        if (verb == "QUIT")
            return false;
        if (verb == "EPSV" || verb == "PASV") {
            int port = 0;
            m_data.reset(listenLoopback(port));
            const std::string reply =
                verb == "EPSV"
                    ? "229 Entering Extended Passive Mode (|||" + std::to_string(port) + "|)\r\n"
                    : "227 Entering Passive Mode (127,0,0,1," + std::to_string(port / 256) + "," +
                          std::to_string(port % 256) + ")\r\n";
            sendAll(control, reply);
            return true;
        }
        const bool transfer = verb == "RETR" || verb == "LIST" || verb == "MLSD" ||
                              verb == "NLST" || verb == "STOR" || verb == "APPE";
        if (!transfer) {
            sendAll(control, next());
            return m_next < m_pieces.size(); // the last piece said, the server hangs up
        }
        Fd data(acceptWithin(m_data.get(), kServerWaitMs));
        m_data.reset();
        sendAll(control, next());
        if (data.get() >= 0) {
            sendAll(data.get(), next());
            data.reset();
        }
        sendAll(control, next());
        return true;
    }

    std::vector<std::string> m_pieces;
    std::size_t m_next = 0;
    Fd m_listener;
    Fd m_data;
    int m_port = 0;
};

void drive(tw::ftp::FtpSession& session, int port) {
    tw::ftp::SessionOptions o;
    o.host = "127.0.0.1";
    o.port = port;
    o.timeoutMs = kTimeoutMs;
    o.listingLimits.textBytes = 1 << 20;
    o.listingLimits.entryBytes = 1 << 20;
    if (!session.connect(o))
        return;
    tw::ftp::DirEntry entry;
    for (bool ok = session.findFirstFile("/pub/*.*", entry); ok; ok = session.findNextFile(entry)) {
    }
    if (session.openFile("file.bin", tw::ftp::FtpSession::OpenMode::Read)) {
        std::array<char, 4096> buffer;
        std::size_t n = 0;
        while (session.readFile(buffer.data(), buffer.size(), n) && n > 0) {
        }
        session.closeFile();
    }
    session.setCurrentDirectory("/sub");
    std::string cwd;
    session.getCurrentDirectory(cwd);
    session.close();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Peer peer(std::string_view(reinterpret_cast<const char*>(data), size));
    if (peer.port() == 0)
        return 0;
    std::thread server([&peer] { peer.run(); });
    {
        tw::ftp::FtpSession session;
        drive(session, peer.port());
    }
    server.join();
    return 0;
}
