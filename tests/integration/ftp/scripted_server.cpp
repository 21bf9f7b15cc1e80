#include "scripted_server.h"

#include <arpa/inet.h>
#include <chrono>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace tw::test {

namespace {

int listenLoopback(int& port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int one = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || ::listen(fd, 4) != 0) {
        ::close(fd);
        return -1;
    }
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
    port = ntohs(a.sin_port);
    return fd;
}

int acceptWithin(int listenFd, int timeoutMs, const std::atomic<bool>& stop) {
    for (int waited = 0; waited < timeoutMs && !stop; waited += 50) {
        pollfd p{listenFd, POLLIN, 0};
        if (::poll(&p, 1, 50) > 0)
            return ::accept4(listenFd, nullptr, nullptr, SOCK_CLOEXEC);
    }
    return -1;
}

void closeFd(int& fd) {
    if (fd >= 0) {
        ::close(fd);
        fd = -1;
    }
}

} // namespace

ScriptedServer::ScriptedServer(Script script) {
    m_listen = listenLoopback(m_port);
    m_thread = std::thread([this, script = std::move(script)] { run(script); });
}

ScriptedServer::~ScriptedServer() {
    m_stop = true;
    if (m_thread.joinable())
        m_thread.join();
    closeFd(m_data);
    closeFd(m_dataListen);
    closeFd(m_control);
    closeFd(m_listen);
}

void ScriptedServer::run(Script script) {
    m_control = acceptWithin(m_listen, 5000, m_stop);
    if (m_control < 0)
        return;
    script(*this);
    closeData();
    closeControl();
}

std::vector<std::string> ScriptedServer::finish() {
    if (m_thread.joinable())
        m_thread.join();
    std::lock_guard lock(m_mutex);
    return m_commands;
}

std::string ScriptedServer::readLine(int timeoutMs) {
    for (int waited = 0; !m_stop && m_control >= 0;) {
        const auto nl = m_buffer.find('\n');
        if (nl != std::string::npos) {
            std::string line = m_buffer.substr(0, nl);
            m_buffer.erase(0, nl + 1);
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            return line;
        }
        if (waited >= timeoutMs)
            return {};
        pollfd p{m_control, POLLIN, 0};
        if (::poll(&p, 1, 50) <= 0) {
            waited += 50;
            continue;
        }
        char buf[4096];
        const ssize_t n = ::recv(m_control, buf, sizeof buf, 0);
        if (n <= 0)
            return {};
        m_buffer.append(buf, static_cast<std::size_t>(n));
    }
    return {};
}

std::string ScriptedServer::command() {
    std::string line = readLine(5000);
    if (!line.empty()) {
        std::lock_guard lock(m_mutex);
        m_commands.push_back(line);
    }
    return line;
}

void ScriptedServer::drain() {
    for (std::string c = command(); !c.empty(); c = command()) {
        if (c == "QUIT") {
            reply("221 Goodbye.");
            return;
        }
    }
}

void ScriptedServer::reply(std::string_view line) {
    std::string out(line);
    out += "\r\n";
    sendRaw(out);
}

bool ScriptedServer::sendRaw(std::string_view bytes) {
    std::size_t sent = 0;
    while (sent < bytes.size() && m_control >= 0 && !m_stop) {
        pollfd p{m_control, POLLOUT, 0};
        if (::poll(&p, 1, 100) <= 0)
            continue;
        const ssize_t n = ::send(m_control, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n <= 0)
            return false;
        sent += static_cast<std::size_t>(n);
    }
    return sent == bytes.size();
}

void ScriptedServer::closeControl() {
    closeFd(m_control);
}

void ScriptedServer::login(const std::vector<std::string>& features) {
    reply("220 Scripted server ready.");
    command(); // USER
    reply("331 Password please.");
    command(); // PASS
    reply("230 Logged in.");
    command(); // FEAT
    if (features.empty()) {
        reply("502 FEAT not implemented.");
    } else {
        reply("211-Features:");
        for (const auto& f : features)
            reply(" " + f);
        reply("211 End");
        for (const auto& f : features)
            if (f == "UTF8") {
                command(); // OPTS UTF8 ON
                reply("200 Always in UTF8 mode.");
            }
    }
    command(); // SYST
    reply(m_system);
    command(); // TYPE I
    reply("200 Switching to Binary mode.");
}

int ScriptedServer::listenData() {
    closeFd(m_dataListen);
    int port = 0;
    m_dataListen = listenLoopback(port);
    return port;
}

bool ScriptedServer::acceptData() {
    closeFd(m_data);
    m_data = acceptWithin(m_dataListen, 5000, m_stop);
    return m_data >= 0;
}

bool ScriptedServer::sendData(std::string_view bytes) {
    std::size_t sent = 0;
    while (sent < bytes.size() && m_data >= 0) {
        const ssize_t n = ::send(m_data, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n <= 0)
            return false;
        sent += static_cast<std::size_t>(n);
    }
    return true;
}

void ScriptedServer::closeData() {
    closeFd(m_data);
    closeFd(m_dataListen);
}

void ScriptedServer::passive() {
    command(); // EPSV
    const int port = listenData();
    reply("229 Entering Extended Passive Mode (|||" + std::to_string(port) + "|)");
    acceptData();
}

bool ScriptedServer::connectActive(std::string_view eprt) {
    const auto end = eprt.rfind('|');
    const auto start = end == std::string_view::npos ? end : eprt.rfind('|', end - 1);
    if (start == std::string_view::npos)
        return false;
    closeFd(m_data);
    m_data = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(static_cast<std::uint16_t>(
        std::stoi(std::string(eprt.substr(start + 1, end - start - 1)))));
    return ::connect(m_data, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
}

void ScriptedServer::sleepMs(int ms) {
    for (int waited = 0; waited < ms && !m_stop; waited += 10)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
}

} // namespace tw::test
