#include "scripted_server.h"

#include "ftp/tls_types.h"

#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>

#include <arpa/inet.h>
#include <chrono>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace tw::test {

namespace {

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

// The certificate and key of every scripted TLS server: context 0 is the usual one, context
// 1 has the same certificate but its own session cache and ticket keys.
struct TlsMaterial {
    EVP_PKEY* key = nullptr;
    X509* cert = nullptr;
    SSL_CTX* contexts[2] = {nullptr, nullptr};

    TlsMaterial() {
        key = EVP_EC_gen("P-256");
        cert = X509_new();
        X509_set_version(cert, 2);
        ASN1_INTEGER_set(X509_get_serialNumber(cert), 7);
        X509_gmtime_adj(X509_getm_notBefore(cert), -3600);
        X509_gmtime_adj(X509_getm_notAfter(cert), 86400);
        X509_set_pubkey(cert, key);
        X509_NAME* name = X509_get_subject_name(cert);
        X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC,
                                   reinterpret_cast<const unsigned char*>("127.0.0.1"), -1, -1, 0);
        X509_set_issuer_name(cert, name);
        X509_sign(cert, key, EVP_sha256());
        for (SSL_CTX*& ctx : contexts) {
            ctx = SSL_CTX_new(TLS_server_method());
            SSL_CTX_use_certificate(ctx, cert);
            SSL_CTX_use_PrivateKey(ctx, key);
            static const unsigned char id[] = "scripted";
            SSL_CTX_set_session_id_context(ctx, id, sizeof id - 1);
            SSL_CTX_set_session_cache_mode(ctx, SSL_SESS_CACHE_SERVER);
        }
    }
};

TlsMaterial& tlsMaterial() {
    static TlsMaterial material;
    return material;
}

} // namespace

int ListenLoopback(int& port, int backlog) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int one = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || ::listen(fd, backlog) != 0) {
        ::close(fd);
        return -1;
    }
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
    port = ntohs(a.sin_port);
    return fd;
}

std::string ScriptedServer::tlsFingerprint() {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int len = 0;
    X509_digest(tlsMaterial().cert, EVP_sha256(), digest, &len);
    return tw::ftp::FingerprintText(digest, len);
}

// Sends what the TLS engine wrote (byte by byte when split).
bool ScriptedServer::flushTls(ssl_st* ssl, int fd) {
    BIO* out = SSL_get_wbio(ssl);
    char buf[16384];
    for (int n; (n = BIO_read(out, buf, sizeof buf)) > 0;) {
        const std::size_t step = m_split ? 1 : static_cast<std::size_t>(n);
        for (std::size_t i = 0; i < static_cast<std::size_t>(n); i += step) {
            if (::send(fd, buf + i, std::min(step, static_cast<std::size_t>(n) - i),
                       MSG_NOSIGNAL) <= 0)
                return false;
            if (m_split)
                std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
    }
    return true;
}

// After a TLS call that returned `rc`: sends its output, and reads more input when it needs
// some (at most 5 s). False when the call failed or the peer went.
bool ScriptedServer::pump(ssl_st* ssl, int fd, int rc) {
    if (!flushTls(ssl, fd))
        return false;
    if (rc > 0)
        return true;
    if (SSL_get_error(ssl, rc) != SSL_ERROR_WANT_READ)
        return false;
    for (int waited = 0; waited < 5000 && !m_stop; waited += 50) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 50) <= 0)
            continue;
        char buf[16384];
        const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
        if (n <= 0)
            return false;
        BIO_write(SSL_get_rbio(ssl), buf, static_cast<int>(n));
        return true;
    }
    return false;
}

namespace {

ssl_st* newServerTls(int which, int fd) {
    SSL* ssl = SSL_new(tlsMaterial().contexts[which]);
    SSL_set_bio(ssl, BIO_new(BIO_s_mem()), BIO_new(BIO_s_mem()));
    const int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    SSL_set_accept_state(ssl);
    return ssl;
}

} // namespace

bool ScriptedServer::startTls() {
    m_buffer.clear();
    m_ssl = newServerTls(0, m_control);
    for (int rc; (rc = SSL_do_handshake(m_ssl)) != 1;)
        if (!pump(m_ssl, m_control, rc))
            return false;
    return flushTls(m_ssl, m_control);
}

bool ScriptedServer::startDataTls(bool resumable, bool requireReuse) {
    if (m_data < 0)
        return false;
    if (m_dataSsl)
        SSL_free(m_dataSsl);
    m_dataSsl = newServerTls(resumable ? 0 : 1, m_data);
    for (int rc; (rc = SSL_do_handshake(m_dataSsl)) != 1;)
        if (!pump(m_dataSsl, m_data, rc))
            return false;
    flushTls(m_dataSsl, m_data);
    if (requireReuse && !SSL_session_reused(m_dataSsl)) {
        dropDataTls();
        return false;
    }
    return true;
}

void ScriptedServer::dropDataTls() {
    if (m_dataSsl)
        SSL_free(m_dataSsl);
    m_dataSsl = nullptr;
    if (m_data >= 0) {
        // An orderly TCP end (FIN, not a reset from unread input), only without close_notify.
        ::shutdown(m_data, SHUT_WR);
        char buf[4096];
        for (int waited = 0; waited < 2000; waited += 20) {
            pollfd p{m_data, POLLIN, 0};
            if (::poll(&p, 1, 20) > 0 && ::recv(m_data, buf, sizeof buf, 0) <= 0)
                break;
        }
    }
    closeFd(m_data);
}

ScriptedServer::ScriptedServer(Script script) {
    m_listen = ListenLoopback(m_port);
    m_thread = std::thread([this, script = std::move(script)] { run(script); });
}

ScriptedServer::~ScriptedServer() {
    m_stop = true;
    if (m_thread.joinable())
        m_thread.join();
    closeData();
    closeControl();
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
        if (m_ssl) { // records that came with the handshake or an earlier chunk
            char buf[4096];
            bool got = false;
            for (int n; (n = SSL_read(m_ssl, buf, sizeof buf)) > 0; got = true)
                m_buffer.append(buf, static_cast<std::size_t>(n));
            flushTls(m_ssl, m_control);
            if (got)
                continue;
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
        if (!m_ssl) {
            m_buffer.append(buf, static_cast<std::size_t>(n));
            continue;
        }
        BIO_write(SSL_get_rbio(m_ssl), buf, static_cast<int>(n));
        for (int got; (got = SSL_read(m_ssl, buf, sizeof buf)) > 0;)
            m_buffer.append(buf, static_cast<std::size_t>(got));
        flushTls(m_ssl, m_control); // tickets, alerts
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

void ScriptedServer::answer(std::initializer_list<std::string_view> replies) {
    for (const std::string_view line : replies) {
        command();
        reply(line);
    }
}

void ScriptedServer::reply(std::string_view line) {
    std::string out(line);
    out += "\r\n";
    sendRaw(out);
}

bool ScriptedServer::sendRaw(std::string_view bytes) {
    if (m_ssl && m_control >= 0)
        return SSL_write(m_ssl, bytes.data(), static_cast<int>(bytes.size())) > 0 &&
               flushTls(m_ssl, m_control);
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
    if (m_ssl) {
        SSL_shutdown(m_ssl);
        if (m_control >= 0)
            flushTls(m_ssl, m_control);
        SSL_free(m_ssl);
        m_ssl = nullptr;
    }
    closeFd(m_control);
}

void ScriptedServer::login(const std::vector<std::string>& features, bool greet) {
    if (greet)
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
    m_dataListen = ListenLoopback(port);
    return port;
}

bool ScriptedServer::acceptData() {
    closeFd(m_data);
    m_data = acceptWithin(m_dataListen, 5000, m_stop);
    return m_data >= 0;
}

bool ScriptedServer::sendData(std::string_view bytes) {
    if (m_dataSsl && m_data >= 0) {
        for (std::size_t pos = 0; pos < bytes.size(); pos += 16384) {
            const int n = static_cast<int>(std::min<std::size_t>(16384, bytes.size() - pos));
            if (SSL_write(m_dataSsl, bytes.data() + pos, n) <= 0 || !flushTls(m_dataSsl, m_data))
                return false;
        }
        return true;
    }
    std::size_t sent = 0;
    while (sent < bytes.size() && m_data >= 0) {
        const ssize_t n = ::send(m_data, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n <= 0)
            return false;
        sent += static_cast<std::size_t>(n);
    }
    return true;
}

bool ScriptedServer::receiveData(std::string* bytes) {
    for (int waited = 0; m_data >= 0 && waited < 5000 && !m_stop;) {
        pollfd p{m_data, POLLIN, 0};
        if (::poll(&p, 1, 50) <= 0) {
            waited += 50;
            continue;
        }
        char buf[16384];
        const ssize_t n = ::recv(m_data, buf, sizeof buf, 0);
        if (n == 0)
            return true;
        if (n < 0)
            return false;
        if (bytes)
            bytes->append(buf, static_cast<std::size_t>(n));
    }
    return false;
}

void ScriptedServer::closeData() {
    if (m_dataSsl) {
        SSL_shutdown(m_dataSsl); // close_notify
        if (m_data >= 0)
            flushTls(m_dataSsl, m_data);
        SSL_free(m_dataSsl);
        m_dataSsl = nullptr;
    }
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
