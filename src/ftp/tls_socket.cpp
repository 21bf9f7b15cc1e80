#include "ftp/tls_socket.h"

#include "ftp/canceller.h"
#include "ftp/ftp_error.h"
#include "ftp/socket.h"

#include <openssl/bio.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <ctime>
#include <mutex>
#include <poll.h>
#include <sys/socket.h>

namespace tw::ftp {

namespace {

using Clock = std::chrono::steady_clock;

// A socket BIO that sends with MSG_NOSIGNAL: a peer that has gone must give an error, never
// SIGPIPE.
int bioWrite(BIO* bio, const char* data, int size) {
    BIO_clear_retry_flags(bio);
    const ssize_t n = ::send(static_cast<int>(BIO_get_fd(bio, nullptr)), data,
                             static_cast<std::size_t>(size), MSG_NOSIGNAL);
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR))
        BIO_set_retry_write(bio);
    return static_cast<int>(n);
}

int bioRead(BIO* bio, char* data, int size) {
    BIO_clear_retry_flags(bio);
    const ssize_t n =
        ::recv(static_cast<int>(BIO_get_fd(bio, nullptr)), data, static_cast<std::size_t>(size), 0);
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR))
        BIO_set_retry_read(bio);
    return static_cast<int>(n);
}

BIO_METHOD* sendingSocketMethod() {
    static BIO_METHOD* method = [] {
        const BIO_METHOD* base = BIO_s_socket();
        BIO_METHOD* m = BIO_meth_new(
            BIO_get_new_index() | BIO_TYPE_SOURCE_SINK | BIO_TYPE_DESCRIPTOR, "tw socket");
        BIO_meth_set_write(m, bioWrite);
        BIO_meth_set_read(m, bioRead);
        BIO_meth_set_ctrl(m, BIO_meth_get_ctrl(base));
        BIO_meth_set_create(m, BIO_meth_get_create(base));
        BIO_meth_set_destroy(m, BIO_meth_get_destroy(base));
        BIO_meth_set_puts(m, BIO_meth_get_puts(base));
        return m;
    }();
    return method;
}

int controlIndex() {
    static const int index = SSL_get_ex_new_index(0, nullptr, nullptr, nullptr, nullptr);
    return index;
}

int linkIndex() {
    static const int index = SSL_get_ex_new_index(0, nullptr, nullptr, nullptr, nullptr);
    return index;
}

int verifyIndex() {
    static const int index = SSL_get_ex_new_index(0, nullptr, nullptr, nullptr, nullptr);
    return index;
}

std::string nameText(const X509_NAME* name) {
    BIO* bio = BIO_new(BIO_s_mem());
    X509_NAME_print_ex(bio, name, 0, XN_FLAG_RFC2253);
    char* data = nullptr;
    const long len = BIO_get_mem_data(bio, &data);
    std::string text(data, static_cast<std::size_t>(std::max(0L, len)));
    BIO_free(bio);
    return text;
}

std::int64_t timeValue(const ASN1_TIME* time) {
    std::tm tm{};
    if (!time || ASN1_TIME_to_tm(time, &tm) != 1)
        return 0;
    return static_cast<std::int64_t>(::timegm(&tm));
}

CertificateInfo describe(X509* cert) {
    CertificateInfo info;
    info.subject = nameText(X509_get_subject_name(cert));
    info.issuer = nameText(X509_get_issuer_name(cert));
    info.notBefore = timeValue(X509_get0_notBefore(cert));
    info.notAfter = timeValue(X509_get0_notAfter(cert));
    info.selfSigned = X509_check_issued(cert, cert) == X509_V_OK;
    auto* names =
        static_cast<GENERAL_NAMES*>(X509_get_ext_d2i(cert, NID_subject_alt_name, nullptr, nullptr));
    for (int i = 0; names && i < sk_GENERAL_NAME_num(names); ++i) {
        const GENERAL_NAME* name = sk_GENERAL_NAME_value(names, i);
        if (name->type == GEN_DNS) {
            const auto* s = name->d.dNSName;
            info.names.emplace_back(reinterpret_cast<const char*>(ASN1_STRING_get0_data(s)),
                                    static_cast<std::size_t>(ASN1_STRING_length(s)));
        } else if (name->type == GEN_IPADD) {
            const auto* s = name->d.iPAddress;
            char buf[INET6_ADDRSTRLEN] = {};
            const int len = ASN1_STRING_length(s);
            if (len == 4 || len == 16)
                ::inet_ntop(len == 4 ? AF_INET : AF_INET6, ASN1_STRING_get0_data(s), buf,
                            sizeof buf);
            info.names.emplace_back(buf);
        }
    }
    GENERAL_NAMES_free(names);
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int len = 0;
    X509_digest(cert, EVP_sha256(), digest, &len);
    info.sha256 = FingerprintText(digest, len);
    return info;
}

} // namespace

std::optional<CertificateInfo> DescribeCertificateDer(std::string_view der) {
    const auto* p = reinterpret_cast<const unsigned char*>(der.data());
    X509* cert = d2i_X509(nullptr, &p, static_cast<long>(der.size()));
    if (!cert)
        return std::nullopt;
    CertificateInfo info = describe(cert);
    X509_free(cert);
    return info;
}

namespace {

CertificateProblem problemOf(long result) {
    switch (result) {
    case X509_V_ERR_DEPTH_ZERO_SELF_SIGNED_CERT:
    case X509_V_ERR_SELF_SIGNED_CERT_IN_CHAIN:
    case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT:
    case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT_LOCALLY:
    case X509_V_ERR_UNABLE_TO_VERIFY_LEAF_SIGNATURE:
    case X509_V_ERR_CERT_UNTRUSTED:
        return CertificateProblem::Untrusted;
    case X509_V_ERR_HOSTNAME_MISMATCH:
    case X509_V_ERR_IP_ADDRESS_MISMATCH:
        return CertificateProblem::NameMismatch;
    case X509_V_ERR_CERT_HAS_EXPIRED:
    case X509_V_ERR_CERT_NOT_YET_VALID:
        return CertificateProblem::Expired;
    default:
        return CertificateProblem::Invalid;
    }
}

int errorOf(CertificateProblem problem) {
    switch (problem) {
    case CertificateProblem::Untrusted:
        return kErrCertificateUntrusted;
    case CertificateProblem::NameMismatch:
        return kErrCertificateName;
    case CertificateProblem::Expired:
        return kErrCertificateExpired;
    default:
        return kErrCertificateInvalid;
    }
}

// Keeps the first failed check of the chain and lets the handshake go on: the session decides
// after it, with the certificate in hand.
int keepFirstError(int preverified, X509_STORE_CTX* store) {
    if (!preverified) {
        auto* ssl = static_cast<SSL*>(
            X509_STORE_CTX_get_ex_data(store, SSL_get_ex_data_X509_STORE_CTX_idx()));
        auto* first = static_cast<long*>(SSL_get_ex_data(ssl, verifyIndex()));
        if (first && *first == X509_V_OK)
            *first = X509_STORE_CTX_get_error(store);
    }
    return 1;
}

// Waits for what OpenSSL asked for; kErrNone to retry, else the error to give.
int waitFor(SSL* ssl, int rc, int timeoutMs, const Canceller* cancel, int sslError) {
    const int e = SSL_get_error(ssl, rc);
    if (e == SSL_ERROR_WANT_READ)
        return WaitForSocket(SSL_get_fd(ssl), POLLIN, timeoutMs, cancel);
    if (e == SSL_ERROR_WANT_WRITE)
        return WaitForSocket(SSL_get_fd(ssl), POLLOUT, timeoutMs, cancel);
    if (e == SSL_ERROR_SYSCALL && errno != 0 && errno != EPIPE)
        return ErrorFromErrno(errno, false);
    return sslError;
}

} // namespace

struct TlsContext::Impl {
    SSL_CTX* ctx = nullptr;
    TlsConfig config;
    std::mutex mutex;
    // Sessions not yet resumed (TLS 1.3 tickets, which a server may take once only), and the
    // one resumed last (TLS 1.2 resumes the same session again and again).
    std::vector<SSL_SESSION*> fresh;
    SSL_SESSION* last = nullptr;
    std::string controlFingerprint;

    ~Impl() {
        for (SSL_SESSION* session : fresh)
            SSL_SESSION_free(session);
        if (last)
            SSL_SESSION_free(last);
        if (ctx)
            SSL_CTX_free(ctx);
    }
};

namespace {

TlsContext::Impl* implOf(SSL* ssl) {
    return static_cast<TlsContext::Impl*>(SSL_get_ex_data(ssl, controlIndex()));
}

// Every session a connection of the context is given: the control connection's first, then
// the tickets that resumed data connections get, so each data connection has one to resume.
int keepSession(SSL* ssl, SSL_SESSION* session) {
    if (auto* counter = static_cast<int*>(SSL_get_ex_data(ssl, linkIndex())))
        ++*counter;
    TlsContext::Impl* impl = implOf(ssl);
    if (!impl)
        return 0;
    std::lock_guard lock(impl->mutex);
    if (impl->fresh.size() >= 8) {
        SSL_SESSION_free(impl->fresh.front());
        impl->fresh.erase(impl->fresh.begin());
    }
    impl->fresh.push_back(session);
    return 1; // the reference is ours
}

} // namespace

TlsContext::TlsContext() = default;
TlsContext::~TlsContext() = default;

void TlsContext::reset() {
    d.reset();
}
bool TlsContext::ready() const {
    return d && d->ctx;
}

int TlsContext::init(const TlsConfig& config) {
    d = std::make_unique<Impl>();
    d->config = config;
    d->ctx = SSL_CTX_new(TLS_client_method());
    if (!d->ctx)
        return kErrInternalError;
    SSL_CTX_set_min_proto_version(d->ctx, TLS1_2_VERSION);
    if (config.maxVersion == 12)
        SSL_CTX_set_max_proto_version(d->ctx, TLS1_2_VERSION);
    else if (config.maxVersion == 13)
        SSL_CTX_set_min_proto_version(d->ctx, TLS1_3_VERSION);
    SSL_CTX_set_mode(d->ctx, SSL_MODE_ENABLE_PARTIAL_WRITE | SSL_MODE_ACCEPT_MOVING_WRITE_BUFFER |
                                 SSL_MODE_RELEASE_BUFFERS);
    SSL_CTX_set_default_verify_paths(d->ctx);
    if (!config.caFile.empty() &&
        SSL_CTX_load_verify_locations(d->ctx, config.caFile.c_str(), nullptr) != 1) {
        ERR_clear_error();
        return kErrInternalError;
    }
    SSL_CTX_set_verify(d->ctx, SSL_VERIFY_NONE, keepFirstError);
    SSL_CTX_set_session_cache_mode(d->ctx,
                                   SSL_SESS_CACHE_CLIENT | SSL_SESS_CACHE_NO_INTERNAL_STORE);
    SSL_CTX_sess_set_new_cb(d->ctx, keepSession);
    return kErrNone;
}

struct TlsLink::Impl {
    SSL* ssl = nullptr;
    long firstError = X509_V_OK;
    int sessionsReceived = 0;
    ~Impl() {
        if (ssl)
            SSL_free(ssl);
    }
};

TlsLink::~TlsLink() = default;

bool TlsLink::hasPending() const {
    return d && SSL_pending(d->ssl) > 0;
}

int TlsLink::handshake(int fd, TlsContext& context, const std::string& host, bool control,
                       int timeoutMs, const Canceller* cancel, std::unique_ptr<TlsLink>& link,
                       TlsHandshakeResult& result) {
    link.reset();
    result = {};
    if (!context.ready())
        return kErrInternalError;
    TlsContext::Impl& shared = *context.d;
    std::unique_ptr<TlsLink> made(new TlsLink);
    made->d = std::make_unique<Impl>();
    SSL* ssl = SSL_new(shared.ctx);
    if (!ssl)
        return kErrInternalError;
    made->d->ssl = ssl;
    BIO* bio = BIO_new(sendingSocketMethod());
    if (!bio)
        return kErrInternalError;
    BIO_set_fd(bio, fd, BIO_NOCLOSE);
    SSL_set_bio(ssl, bio, bio);
    SSL_set_ex_data(ssl, verifyIndex(), &made->d->firstError);
    SSL_set_ex_data(ssl, controlIndex(), &shared);
    SSL_set_ex_data(ssl, linkIndex(), &made->d->sessionsReceived);

    in6_addr address{};
    const bool numeric = ::inet_pton(AF_INET, host.c_str(), &address) == 1 ||
                         ::inet_pton(AF_INET6, host.c_str(), &address) == 1;
    X509_VERIFY_PARAM* param = SSL_get0_param(ssl);
    if (numeric) {
        X509_VERIFY_PARAM_set1_ip_asc(param, host.c_str());
    } else {
        // SSL_set_tlsext_host_name is a macro with a C cast.
        SSL_ctrl(ssl, SSL_CTRL_SET_TLSEXT_HOSTNAME, TLSEXT_NAMETYPE_host_name,
                 const_cast<char*>(host.c_str()));
        X509_VERIFY_PARAM_set_hostflags(param, X509_CHECK_FLAG_NO_PARTIAL_WILDCARDS);
        X509_VERIFY_PARAM_set1_host(param, host.c_str(), host.size());
    }
    if (!control) {
        std::lock_guard lock(shared.mutex);
        if (!shared.fresh.empty()) {
            if (shared.last)
                SSL_SESSION_free(shared.last);
            shared.last = shared.fresh.back();
            shared.fresh.pop_back();
        }
        if (shared.last)
            SSL_set_session(ssl, shared.last);
    }

    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        errno = 0;
        const int rc = SSL_connect(ssl);
        if (rc == 1)
            break;
        const int err = waitFor(ssl, rc, RemainingMs(deadline), cancel, kErrTlsHandshake);
        if (err != kErrNone) {
            ERR_clear_error();
            return control || err == kErrTimeout || err == kErrOperationCancelled
                       ? err
                       : kErrTlsDataConnection;
        }
    }
    result.version = SSL_get_version(ssl);
    result.cipher = SSL_CIPHER_get_name(SSL_get_current_cipher(ssl));
    result.resumed = SSL_session_reused(ssl) == 1;

    X509* peer = SSL_get1_peer_certificate(ssl);
    if (!peer)
        return control ? kErrCertificateInvalid : kErrTlsDataConnection;
    result.certificate = describe(peer);
    const long verified =
        made->d->firstError != X509_V_OK ? made->d->firstError : SSL_get_verify_result(ssl);
    X509_free(peer);
    link = std::move(made);
    if (!control)
        return result.certificate.sha256 == shared.controlFingerprint ? kErrNone
                                                                      : kErrTlsDataConnection;

    CertificateInfo& info = result.certificate;
    const auto& trusted = shared.config.trustedFingerprints;
    const bool pinned = std::find(trusted.begin(), trusted.end(), info.sha256) != trusted.end();
    int outcome = kErrNone;
    if (pinned || !shared.config.verifyCertificate) {
        outcome = kErrNone;
    } else if (shared.config.onlyTrustedFingerprints) {
        info.problem = CertificateProblem::Invalid;
        info.reason = "certificate is not the one expected";
        outcome = kErrCertificateInvalid;
    } else if (verified != X509_V_OK) {
        info.problem = problemOf(verified);
        info.reason = X509_verify_cert_error_string(verified);
        outcome = errorOf(info.problem);
    }
    if (pinned && shared.config.onlyTrustedFingerprints)
        outcome = kErrNone;
    if (outcome == kErrNone)
        shared.controlFingerprint = info.sha256;
    return outcome;
}

int TlsLink::read(char* buffer, std::size_t size, std::size_t& received, int timeoutMs,
                  const Canceller* cancel) {
    received = 0;
    if (m_truncated)
        return kErrNone; // the end, again
    if (m_failed)
        return kErrConnectionAborted;
    SSL* ssl = d->ssl;
    // One bound for the call: a record trickled in byte by byte does not re-arm it.
    const Deadline deadline = DeadlineIn(timeoutMs);
    while (received < size) {
        errno = 0;
        std::size_t got = 0;
        const int rc = SSL_read_ex(ssl, buffer + received, size - received, &got);
        if (rc == 1) {
            received += got;
            continue;
        }
        const int e = SSL_get_error(ssl, rc);
        if (e == SSL_ERROR_ZERO_RETURN) // close_notify
            return kErrNone;
        if ((e == SSL_ERROR_SYSCALL && errno == 0) ||
            (e == SSL_ERROR_SSL &&
             ERR_GET_REASON(ERR_peek_last_error()) == SSL_R_UNEXPECTED_EOF_WHILE_READING)) {
            ERR_clear_error();
            m_truncated = true;
            m_failed = true;
            return kErrNone;
        }
        if (received > 0 && e == SSL_ERROR_WANT_READ)
            return kErrNone; // what was there; the rest on the next call
        const int err = waitFor(ssl, rc, RemainingMs(deadline), cancel, kErrConnectionAborted);
        if (err != kErrNone) {
            ERR_clear_error();
            if (err != kErrTimeout && err != kErrOperationCancelled)
                m_failed = true;
            return err;
        }
    }
    return kErrNone;
}

int TlsLink::write(const char* data, std::size_t size, int timeoutMs, const Canceller* cancel) {
    if (m_failed)
        return kErrConnectionAborted;
    SSL* ssl = d->ssl;
    std::size_t sent = 0;
    while (sent < size) {
        errno = 0;
        std::size_t n = 0;
        const int rc = SSL_write_ex(ssl, data + sent, size - sent, &n);
        if (rc == 1) {
            sent += n;
            continue;
        }
        const int err = waitFor(ssl, rc, timeoutMs, cancel, kErrConnectionAborted);
        if (err != kErrNone) {
            ERR_clear_error();
            if (err != kErrTimeout && err != kErrOperationCancelled)
                m_failed = true;
            return err == kErrConnectionAborted && errno == EPIPE ? kErrConnectionReset : err;
        }
    }
    return kErrNone;
}

int TlsLink::shutdown(int timeoutMs, const Canceller* cancel) {
    if (m_failed || m_shutdownSent)
        return kErrNone;
    SSL* ssl = d->ssl;
    if (SSL_version(ssl) == TLS1_3_VERSION && d->sessionsReceived == 0) {
        // An upload reads nothing, so the ticket its server sent after the handshake (for
        // the next data connection) is taken here, waiting a moment for it.
        WaitForSocket(SSL_get_fd(ssl), POLLIN, std::min(timeoutMs, 100), cancel);
        char byte = 0;
        std::size_t got = 0;
        SSL_peek_ex(ssl, &byte, 1, &got);
        ERR_clear_error();
    }
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        errno = 0;
        const int rc = SSL_shutdown(ssl);
        if (rc >= 0) { // sent (0: the peer's close_notify not awaited)
            m_shutdownSent = true;
            return kErrNone;
        }
        const int e = SSL_get_error(ssl, rc);
        if (e != SSL_ERROR_WANT_WRITE && e != SSL_ERROR_WANT_READ) {
            ERR_clear_error();
            m_failed = true;
            return kErrNone; // the peer has gone: nothing to tell it
        }
        const int err = waitFor(ssl, rc, RemainingMs(deadline), cancel, kErrConnectionAborted);
        if (err != kErrNone) {
            ERR_clear_error();
            m_failed = true;
            return err;
        }
    }
}

void TlsLink::quickShutdown() {
    if (!d || m_failed || m_shutdownSent)
        return;
    m_shutdownSent = true;
    SSL_shutdown(d->ssl);
    ERR_clear_error();
}

} // namespace tw::ftp
