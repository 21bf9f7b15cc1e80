// FtpSession's data connections: passive (EPSV, then PASV) and active (EPRT, then PORT), the
// fallback from one mode to the other, and the end of a transfer before its end (ABOR).

#include "ftp/ftp_session.h"
#include "ftp/ftp_session_internal.h"

#include "ftp/ftp_error.h"

#include <algorithm>
#include <cerrno>
#include <poll.h>
#include <string>

namespace tw::ftp {

// EPSV, then PASV, both within one timeout. EPSV gets at most half of it, and its data
// connection half of what is left, so PASV always keeps its share: some servers and firewalls
// swallow EPSV. Its answer may still come after PASV was sent; replies come in order, so it is
// the first one read then (a 229 is set aside; an error could be either's, so NOOP marks the
// end of both).
int FtpSession::openPassive() {
    const Deadline deadline = DeadlineIn(m_options.timeoutMs);
    FtpReply reply;
    bool epsvPending = false; // EPSV sent and not answered yet
    if (!m_epsvFailed) {
        const int epsvWait = std::min(m_options.timeoutMs / 2, 5000);
        int err = sendLine("EPSV");
        if (err != kErrNone)
            return err;
        const bool buffered = m_controlPos < m_controlBuffer.size() || m_control.hasPending();
        const int waited =
            buffered ? kErrNone : WaitForSocket(m_control.fd(), POLLIN, epsvWait, &m_cancel);
        if (waited == kErrOperationCancelled) {
            FtpReplyReader reader; // EPSV's answer is still due
            return settleStoppedReply(reader, deadline);
        }
        if (waited == kErrNone) {
            err = readReplyBy(reply, deadline);
            if (err != kErrNone)
                return err;
            const int port = reply.code == 229 ? ParseEpsvReply(reply.lines.front()) : -1;
            if (port >= 0) {
                SocketAddress target = m_peer;
                target.setPort(port);
                err = m_data.connectTo(target, std::max(RemainingMs(deadline) / 2, 1), &m_cancel);
                if (err == kErrNone || err == kErrOperationCancelled)
                    return err;
                tell("The data connection EPSV named could not be made; trying PASV.");
            }
        } else {
            epsvPending = true;
            tell("EPSV was not answered; trying PASV.");
        }
        m_epsvFailed = true;
    }
    const bool v6 = m_peer.host().find(':') != std::string::npos;
    int err = v6 ? kErrNone : sendLine("PASV"); // PASV cannot name an IPv6 port
    if (err == kErrNone && !v6)
        err = readReplyBy(reply, deadline);
    if (err != kErrNone)
        return err;
    if (epsvPending && !v6 && reply.code == 229) {
        err = readReplyBy(reply, deadline);
        if (err != kErrNone)
            return err;
    } else if (epsvPending && reply.code != 227) {
        FtpReply answer = reply;
        err = sendLine("NOOP");
        bool inStep = false;
        for (int i = 0; err == kErrNone && i < 3 && !inStep; ++i) {
            FtpReply next;
            err = readReplyBy(next, deadline);
            if (err == kErrNone && next.code == 200)
                inStep = true;
            else if (err == kErrNone && answer.code != 227)
                answer = next;
        }
        if (err != kErrNone)
            return err;
        if (!inStep) {
            dropSession();
            return kErrInvalidServerResponse;
        }
        reply = answer;
        m_lastResponse = reply.text();
    }
    if (v6)
        return kErrFtpNoPassiveMode;
    const int port = reply.code == 227 ? ParsePasvReply(reply.lines.front()) : -1;
    if (port < 0)
        return kErrFtpNoPassiveMode;
    // Always the control connection's peer: a 227 naming another host is not followed.
    SocketAddress target = m_peer;
    target.setPort(port);
    const int left = RemainingMs(deadline);
    return left > 0 ? m_data.connectTo(target, left, &m_cancel) : kErrTimeout;
}

int FtpSession::openActiveListener() {
    int err = m_listener.listenOn(m_local);
    if (err != kErrNone)
        return err;
    SocketAddress bound;
    m_listener.localAddress(bound);
    const std::string host = bound.host();
    const bool v4 = host.find(':') == std::string::npos;
    FtpReply reply;
    if (!m_eprtFailed) {
        err = command("EPRT |" + std::string(v4 ? "1" : "2") + "|" + host + "|" +
                          std::to_string(bound.port()) + "|",
                      reply);
        if (err != kErrNone)
            return err;
        if (reply.isSuccess())
            return kErrNone;
        m_eprtFailed = true;
    }
    if (!v4)
        return replyError(reply);
    std::string hostCommas = host;
    std::replace(hostCommas.begin(), hostCommas.end(), '.', ',');
    err = command("PORT " + hostCommas + "," + std::to_string(bound.port() / 256) + "," +
                      std::to_string(bound.port() % 256),
                  reply);
    if (err != kErrNone)
        return err;
    return reply.isSuccess() ? kErrNone : replyError(reply);
}

// Waits for the server's connection to the active-mode listener while watching the control
// connection, so that a refusal (425) is seen at once. A pending connection is taken before a
// reply: a server that connected, sent and closed may have its final reply buffered already.
int FtpSession::awaitServerConnection(FtpReply& reply) {
    const Deadline deadline = DeadlineIn(m_options.timeoutMs);
    for (;;) {
        if (m_cancel.isCancelled())
            return abortStartedTransfer();
        const int left = RemainingMs(deadline);
        const bool buffered = m_controlPos < m_controlBuffer.size() || m_control.hasPending();
        pollfd fds[3] = {
            {m_listener.fd(), POLLIN, 0}, {m_control.fd(), POLLIN, 0}, {m_cancel.fd(), POLLIN, 0}};
        const int n = ::poll(fds, m_cancel.fd() >= 0 ? 3 : 2, buffered ? 0 : left);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return kErrInternalError;
        if (m_cancel.isCancelled())
            return abortStartedTransfer();
        if (fds[0].revents != 0) {
            const int err = m_listener.acceptFrom(m_peer, 0, &m_cancel, m_data);
            if (err == kErrOperationCancelled)
                return abortStartedTransfer();
            if (err != kErrTimeout)
                return err; // accepted, or the listener failed
            continue;       // a stranger was turned away
        }
        if (!buffered && fds[1].revents == 0) {
            if (left == 0)
                return kErrTimeout;
            continue;
        }
        const int err = readReplyBy(reply, deadline); // preliminary ones count against it too
        if (err != kErrNone)
            return err;
        if (reply.isError())
            return replyError(reply);
        if (reply.isSuccess()) { // done without a data connection (nothing to send)
            m_finalReplyRead = true;
            m_dataEof = true;
            return kErrNone;
        }
    }
}

// The data connection for `commandLine`, and its first reply. A REST for `restartAt` goes right
// before the transfer command (RFC 959 wants nothing between them), after EPSV / PASV / EPRT /
// PORT; anything but 350 fails with the server's words.
int FtpSession::openDataConnection(std::string_view commandLine, FtpReply& firstReply,
                                   std::uint64_t restartAt) {
    m_dataEof = false;
    m_finalReplyRead = false;
    m_completeWithoutReply = false;
    m_transferResult = kErrNone;
    m_bufferPos = m_bufferLen = 0;
    m_transferred = 0;
    m_dataTruncated = false;
    m_grewTold = false;
    bool passive = m_options.passive;
    // The other mode is tried once, when this one's data connection could not be made.
    auto switchMode = [&](bool canSwitch) {
        m_data.close();
        m_listener.close();
        if (!canSwitch || !m_control.valid() || m_cancel.isCancelled())
            return false;
        tell(passive ? "The passive data connection failed; trying active mode."
                     : "The active data connection failed; trying passive mode.");
        passive = !passive;
        return true;
    };
    for (int attempt = 0;; ++attempt) {
        const bool canSwitch = attempt == 0;
        int err = passive ? openPassive() : openActiveListener();
        if (err != kErrNone) {
            const bool connectFailed = passive ? (err == kErrCannotConnect || err == kErrTimeout ||
                                                  err == kErrConnectionReset)
                                               : err != kErrOperationCancelled;
            if (connectFailed && switchMode(canSwitch))
                continue;
            m_data.close();
            m_listener.close();
            if (err == kErrOperationCancelled)
                m_cancel.reset();
            return err;
        }
        if (restartAt > 0) {
            err = command("REST " + std::to_string(restartAt), firstReply);
            if (err == kErrNone && firstReply.code != 350)
                err = replyError(firstReply);
            if (err != kErrNone) {
                m_data.close();
                m_listener.close();
                return err;
            }
        }
        err = commandFirstReply(commandLine, firstReply);
        if (err != kErrNone) {
            m_data.close();
            m_listener.close();
            return err;
        }
        if (firstReply.code == 425 && !passive && switchMode(canSwitch))
            continue; // the server could not connect to our listener
        if (firstReply.isError()) {
            m_data.close();
            m_listener.close();
            return replyError(firstReply);
        }
        if (firstReply.isSuccess()) {
            // Some servers answer an empty transfer with the final reply at once.
            m_finalReplyRead = true;
            if (!passive)
                m_dataEof = true;
            m_listener.close();
            m_options.passive = passive;
            return kErrNone;
        }
        if (!firstReply.isPreliminary()) {
            m_data.close();
            m_listener.close();
            return kErrExtendedError;
        }
        if (!passive) {
            FtpReply refusal;
            err = awaitServerConnection(refusal);
            m_listener.close();
            if (err == kErrExtendedError && refusal.code == 425 && switchMode(canSwitch))
                continue;
            if (err != kErrNone)
                return err;
        }
        m_options.passive = passive; // the mode that worked stays for the session
        if (m_tls.dataProtected && m_data.valid() && !m_finalReplyRead)
            return secureData();
        return kErrNone;
    }
}

void FtpSession::abortTransfer() {
    const bool writing = m_fileState == FileState::Writing;
    m_cancel.reset();
    if (!writing)
        m_data.close();
    m_listener.close();
    m_fileState = FileState::None;
    m_bufferPos = m_bufferLen = 0;
    if (m_finalReplyRead || !m_control.valid()) {
        m_data.close();
        return;
    }
    sendAbort();
}

// ABOR for the transfer in progress, and every reply it causes read, all within kStopWaitMs
// whether or not the caller stopped (a live server answers ABOR at once; a stalled one must not
// hold the caller for a second timeout). An upload's data connection goes only after ABOR, and
// with a reset: an orderly close would tell the server that the file is complete.
void FtpSession::sendAbort() {
    ReplyShield shield(*this, true);
    const std::string keep = m_lastResponse;
    const int sent = sendLine("ABOR");
    m_data.closeWithReset();
    m_finalReplyRead = true;
    if (sent != kErrNone || awaitAbortAnswer() != kErrNone)
        return;
    if (m_lastResponse.empty())
        m_lastResponse = keep;
}

// A stop after the transfer command's 1xx and before the transfer was handed to the caller:
// the transfer is aborted as abortTransfer() does.
int FtpSession::abortStartedTransfer() {
    m_cancel.reset();
    m_listener.close();
    if (m_control.valid())
        sendAbort();
    m_data.close();
    return kErrOperationCancelled;
}

// Reads the replies that an ABOR causes, up to and including ABOR's own: "426" (or another
// error) for the transfer and then ABOR's answer; or a single success, which may be either the
// transfer's own "226" (ABOR's answer still to come) or ABOR's answer alone. In that case a
// NOOP is sent and everything up to its "200" is read, so no later command reads a stale reply.
int FtpSession::awaitAbortAnswer() {
    FtpReply reply;
    int err = readReply(reply);
    if (err != kErrNone)
        return err;
    if (reply.isError())
        return readReply(reply);
    return resynchronise();
}

} // namespace tw::ftp
