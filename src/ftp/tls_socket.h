#pragma once

// TLS for the engine's sockets, through OpenSSL (kept out of every other header by pimpls).
//
// TlsContext holds what one session's connections share: the settings and trust store, the
// control connection's certificate, and the control connection's TLS session, which data
// connections resume (servers such as vsftpd with require_ssl_reuse refuse them otherwise).
// TLS 1.3 sends its session tickets after the handshake, so they are taken as they arrive
// (a new-session callback), which happens while the control connection reads its replies.
//
// TlsLink is one TLS client connection over a non-blocking descriptor. Every wait (handshake,
// read, write, shutdown) is bounded by the timeout and cut short by the Canceller.

#include "ftp/tls_types.h"

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tw::ftp {

class Canceller;

struct TlsConfig {
    std::string caFile;
    std::vector<std::string> trustedFingerprints; // normalized "AB:CD:.."
    bool onlyTrustedFingerprints = false;
    bool verifyCertificate = true;
    int maxVersion = 0; // 0: the newest; 12: TLS 1.2; 13: TLS 1.3
};

class TlsContext {
public:
    TlsContext();
    ~TlsContext();
    TlsContext(const TlsContext&) = delete;
    TlsContext& operator=(const TlsContext&) = delete;

    // kErrNone, or kErrInternalError when OpenSSL or the CA file cannot be used.
    int init(const TlsConfig& config);
    void reset();
    bool ready() const;

    struct Impl;
    std::unique_ptr<Impl> d;
};

// What a handshake learnt.
struct TlsHandshakeResult {
    std::string version;
    std::string cipher;
    bool resumed = false;
    CertificateInfo certificate; // problem and reason set when it was refused
};

// The certificate of DER bytes as a person judges it (no problem set: nothing is checked);
// nullopt when the bytes hold no certificate.
std::optional<CertificateInfo> DescribeCertificateDer(std::string_view der);

class TlsLink {
public:
    ~TlsLink();
    TlsLink(const TlsLink&) = delete;
    TlsLink& operator=(const TlsLink&) = delete;

    // A TLS client handshake on `fd`. The control connection's certificate is checked (an
    // error kErrCertificate* with result.certificate describing it); a data connection
    // resumes the control connection's session and must show the same certificate
    // (else kErrTlsDataConnection).
    static int handshake(int fd, TlsContext& context, const std::string& host, bool control,
                         int timeoutMs, const Canceller* cancel, std::unique_ptr<TlsLink>& link,
                         TlsHandshakeResult& result);

    // Reads what is there, up to `size` (at least one byte unless the peer ended); 0 bytes at
    // the end, with truncated() telling whether the peer closed without close_notify.
    int read(char* buffer, std::size_t size, std::size_t& received, int timeoutMs,
             const Canceller* cancel);
    int write(const char* data, std::size_t size, int timeoutMs, const Canceller* cancel);
    // Sends close_notify, waiting at most timeoutMs for room to send it.
    int shutdown(int timeoutMs, const Canceller* cancel);
    // Sends close_notify when it can go at once (no wait); nothing after a failure.
    void quickShutdown();
    bool truncated() const { return m_truncated; }
    bool hasPending() const;

private:
    TlsLink() = default;
    struct Impl;
    std::unique_ptr<Impl> d;
    bool m_truncated = false;
    bool m_failed = false;
    bool m_shutdownSent = false;
};

} // namespace tw::ftp
