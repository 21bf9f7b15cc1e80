// FtpSession over TLS: AUTH TLS and the control connection's handshake, PBSZ / PROT P, and
// the handshake of each data connection.

#include "ftp/ftp_session.h"

#include "ftp/ftp_error.h"
#include "ftp/tls_socket.h"

#include <algorithm>
#include <string>

namespace tw::ftp {

// The control connection's TLS handshake: the certificate checked, the state kept.
int FtpSession::secureControl() {
    m_controlBuffer.clear(); // nothing sent in clear before the handshake counts after it
    m_controlPos = 0;
    TlsHandshakeResult result;
    const int err = m_control.startTls(*m_tlsContext, m_options.host, true, m_options.timeoutMs,
                                       &m_cancel, result);
    if (IsCertificateError(err))
        m_rejected = result.certificate;
    if (err != kErrNone)
        return err;
    m_tls.version = result.version;
    m_tls.cipher = result.cipher;
    m_tls.certificate = result.certificate;
    return kErrNone;
}

// AUTH TLS after the greeting. Plain FTP goes on only in the if-available mode and only when
// the server says it does not know the command; nothing else is taken for a "no". A 530 counts
// as not knowing it: servers without TLS (vsftpd among them) refuse every command but USER and
// PASS before the login that way.
int FtpSession::negotiateTls() {
    FtpReply reply;
    int err = command("AUTH TLS", reply);
    if (err != kErrNone)
        return err;
    if (reply.code == 234)
        return secureControl();
    const bool unknown = reply.code == 500 || reply.code == 502 || reply.code == 504 ||
                         reply.code == 530 || reply.code == 534;
    if (unknown && m_options.tls == TlsMode::ExplicitIfAvailable) {
        tell("The server does not offer FTP over TLS; the session continues in plain FTP.");
        return kErrNone;
    }
    if (reply.code == 421)
        return kErrFtpDropped;
    return kErrTlsUnavailable;
}

// PBSZ 0 and PROT P: every data connection protected, or the session stops (in every mode: a
// secured login that would then move files in clear is not what was asked for).
int FtpSession::protectData() {
    FtpReply reply;
    int err = command("PBSZ 0", reply);
    if (err == kErrNone && !reply.isSuccess())
        err = reply.code == 421 ? kErrFtpDropped : kErrTlsProtectionRefused;
    if (err == kErrNone)
        err = command("PROT P", reply);
    if (err == kErrNone && !reply.isSuccess())
        err = reply.code == 421 ? kErrFtpDropped : kErrTlsProtectionRefused;
    if (err == kErrNone)
        m_tls.dataProtected = true;
    return err;
}

// The data connection's TLS handshake, resuming the control connection's session. A failure
// leaves the transfer's reply to be read here, so no later command takes it for its own.
int FtpSession::secureData() {
    TlsHandshakeResult result;
    int err = m_data.startTls(*m_tlsContext, m_options.host, false, m_options.timeoutMs, &m_cancel,
                              result);
    if (err == kErrNone)
        return kErrNone;
    m_data.close();
    m_listener.close();
    if (err == kErrOperationCancelled)
        return abortStartedTransfer();
    const std::string keep = m_lastResponse;
    FtpReply reply;
    if (readReply(reply, std::min(m_options.timeoutMs, 5000)) != kErrNone)
        dropSession(); // out of step with the server: nothing later could be trusted
    else if (reply.isPreliminary() || reply.isSuccess())
        m_lastResponse = keep;
    return err == kErrTimeout ? err : kErrTlsDataConnection;
}

} // namespace tw::ftp
