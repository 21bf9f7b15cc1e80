// FtpSession's control channel: commands sent and replies read, every wait bounded and
// cancellable, a stopped wait settled so the session stays in step; the plain commands.

#include "ftp/ftp_session.h"
#include "ftp/ftp_session_internal.h"

#include "ftp/ftp_error.h"
#include "ftp/name_safety.h"
#include "ftp/reply_numbers.h"
#include "ftp/tls_socket.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <poll.h>
#include <string>

namespace tw::ftp {

namespace {

// The longest a stop waits, all waits together, for what is still due (the reply in progress,
// ABOR's answers, NOOP's), so the session stays in step with the server; never longer than
// the timeout.
constexpr int kStopWaitMs = 1000;

} // namespace

FtpSession::FtpSession() = default;

FtpSession::~FtpSession() {
    close();
}

bool FtpSession::succeed() {
    m_lastError = kErrNone;
    return true;
}

bool FtpSession::fail(int error) {
    m_lastError = error;
    return false;
}

void FtpSession::dropSession() {
    m_control.close();
    m_data.close();
    m_listener.close();
    m_controlBuffer.clear();
    m_controlPos = 0;
    m_fileState = FileState::None;
    m_dropped = true;
    m_ready = false;
}

void FtpSession::startStopClock() {
    if (m_stopping)
        return;
    m_stopping = true;
    m_stopDeadline = DeadlineIn(std::min(m_options.timeoutMs, kStopWaitMs));
}

Deadline FtpSession::bounded(Deadline deadline) const {
    return m_stopping ? std::min(deadline, m_stopDeadline) : deadline;
}

bool FtpSession::checkReady(std::string_view argument) {
    if (m_dropped)
        return fail(kErrFtpDropped);
    if (!m_control.valid())
        return fail(kErrIncorrectHandleState);
    if (m_fileState != FileState::None)
        return fail(kErrFtpTransferInProgress);
    if (!IsSendableArgument(argument))
        return fail(kErrInvalidOperation);
    return true;
}

bool FtpSession::checkReady(std::string_view a, std::string_view b) {
    return checkReady(a) && checkReady(b);
}

int FtpSession::sendLine(std::string_view line) {
    std::string out(line);
    out += "\r\n";
    const int err = m_control.writeAll(out.data(), out.size(),
                                       RemainingMs(bounded(DeadlineIn(m_options.timeoutMs))),
                                       m_shielded ? nullptr : &m_cancel);
    if (err != kErrNone) {
        if (err == kErrOperationCancelled)
            m_cancel.reset();
        dropSession();
        return err == kErrConnectionReset || err == kErrConnectionAborted ? kErrFtpDropped : err;
    }
    return kErrNone;
}

// One line of the control connection, by `deadline` (or the stop's, when sooner): however the
// bytes trickle in, the wait ends then.
int FtpSession::readLine(std::string& line, Deadline deadline) {
    for (;;) {
        const auto nl = m_controlBuffer.find('\n', m_controlPos);
        if (nl != std::string::npos) {
            std::size_t end = nl;
            if (end > m_controlPos && m_controlBuffer[end - 1] == '\r')
                --end;
            line.assign(m_controlBuffer, m_controlPos, end - m_controlPos);
            m_controlPos = nl + 1;
            if (m_controlPos == m_controlBuffer.size()) {
                m_controlBuffer.clear();
                m_controlPos = 0;
            }
            return kErrNone;
        }
        if (m_controlBuffer.size() - m_controlPos > kMaxLineLength)
            return kErrConnectionAborted; // an endless reply line
        if (m_controlPos > 0) {
            m_controlBuffer.erase(0, m_controlPos);
            m_controlPos = 0;
        }
        const int left = RemainingMs(bounded(deadline));
        if (left == 0 && !m_control.hasPending())
            return kErrTimeout;
        std::array<char, 4096> chunk;
        std::size_t got = 0;
        const int err = m_control.readSome(chunk.data(), chunk.size(), got, left, &m_cancel);
        if (err == kErrOperationCancelled && m_shielded) {
            m_cancel.reset();
            startStopClock();
            continue;
        }
        if (err != kErrNone)
            return err == kErrConnectionReset ? kErrFtpDropped : err;
        if (got == 0)
            return kErrFtpDropped;
        m_controlBuffer.append(chunk.data(), got);
    }
}

int FtpSession::readReply(FtpReply& reply, int timeoutMs) {
    return readReplyBy(reply, DeadlineIn(timeoutMs < 0 ? m_options.timeoutMs : timeoutMs));
}

// One reply, complete by `deadline`.
int FtpSession::readReplyBy(FtpReply& reply, Deadline deadline) {
    FtpReplyReader reader;
    const int err = readReplyLines(reader, reply, deadline);
    if (err != kErrOperationCancelled)
        return err;
    if (m_ready)
        return settleStoppedReply(reader, deadline);
    m_cancel.reset(); // connecting or closing: a stop ends the session
    dropSession();
    return err;
}

// The lines of one reply, added to `reader` (which may hold the first lines already). Only an
// unshielded wait returns kErrOperationCancelled, with the session left as it was.
int FtpSession::readReplyLines(FtpReplyReader& reader, FtpReply& reply, Deadline deadline) {
    std::string line;
    for (;;) {
        const int err = readLine(line, deadline);
        if (err == kErrOperationCancelled)
            return err;
        if (err != kErrNone) {
            // The reply stream is out of step (or gone): nothing later can be trusted.
            dropSession();
            return err;
        }
        const auto status = reader.addLine(line);
        if (status == FtpReplyReader::Status::NeedMore)
            continue;
        if (status != FtpReplyReader::Status::Done) {
            dropSession();
            return status == FtpReplyReader::Status::TooLong ? kErrConnectionAborted
                                                             : kErrInvalidServerResponse;
        }
        reply = reader.take();
        m_lastResponse = reply.text();
        if (reply.code == 421) {
            dropSession();
            return kErrFtpDropped;
        }
        return kErrNone;
    }
}

// The final reply: preliminary ones (1xx) before it are read and passed over, all of them by
// the one deadline, so a server that keeps saying "wait" cannot hold the call.
int FtpSession::readFinalReply(FtpReply& reply, Deadline deadline) {
    for (;;) {
        const int err = readReplyBy(reply, deadline);
        if (err != kErrNone || !reply.isPreliminary())
            return err;
    }
}

// A stop while a reply is on its way: the reply is still read, a transfer it started (1xx) is
// aborted, and otherwise NOOP marks the end of anything else still due, so the next command
// reads its own reply; all within kStopWaitMs. The session is closed only when the server does
// not answer in time. The call fails with kErrOperationCancelled either way.
int FtpSession::settleStoppedReply(FtpReplyReader& reader, Deadline deadline) {
    m_cancel.reset();
    ReplyShield shield(*this, true);
    FtpReply reply;
    if (readReplyLines(reader, reply, deadline) != kErrNone)
        return kErrOperationCancelled;
    if (reply.isPreliminary())
        return abortStartedTransfer();
    const std::string keep = m_lastResponse;
    if (resynchronise() == kErrNone)
        m_lastResponse = keep;
    return kErrOperationCancelled;
}

// NOOP, and every reply up to its "200": whatever was still on its way is read and set aside.
int FtpSession::resynchronise() {
    FtpReply reply;
    int err = sendLine("NOOP");
    const Deadline deadline = DeadlineIn(m_options.timeoutMs);
    for (int i = 0; err == kErrNone && i < 4; ++i) {
        err = readReplyBy(reply, deadline);
        if (err == kErrNone && reply.code == 200)
            return kErrNone;
    }
    if (err == kErrNone) {
        dropSession(); // still out of step: nothing later can be trusted
        err = kErrInvalidServerResponse;
    }
    return err;
}

bool FtpSession::controlHasData(int timeoutMs) {
    if (m_controlPos < m_controlBuffer.size())
        return true;
    return m_control.valid() &&
           (m_control.hasPending() ||
            WaitForSocket(m_control.fd(), POLLIN, timeoutMs, nullptr) == kErrNone);
}

int FtpSession::command(std::string_view line, FtpReply& reply) {
    const Deadline deadline = DeadlineIn(m_options.timeoutMs);
    int err = sendLine(line);
    if (err == kErrNone)
        err = readFinalReply(reply, deadline);
    return err;
}

// A command whose first reply may be a preliminary one the caller acts on (a transfer's 150).
int FtpSession::commandFirstReply(std::string_view line, FtpReply& reply) {
    const Deadline deadline = DeadlineIn(m_options.timeoutMs);
    int err = sendLine(line);
    if (err == kErrNone)
        err = readReplyBy(reply, deadline);
    return err;
}

int FtpSession::replyError(const FtpReply& reply) {
    if (reply.code == 522 && m_tls.dataProtected && m_fileState != FileState::None)
        return kErrTlsDataConnection; // the server refused the protected data connection
    return reply.code == 421 ? kErrFtpDropped : kErrExtendedError;
}

bool FtpSession::simpleCommand(std::string_view verb, std::string_view argument) {
    CallScope scope(*this);
    if (!checkReady(argument))
        return false;
    if (argument.empty())
        return fail(kErrInvalidOperation);
    FtpReply reply;
    const int err = command(joinCommand(verb, argument), reply);
    if (err != kErrNone)
        return fail(err);
    return reply.isSuccess() ? succeed() : fail(replyError(reply));
}

bool FtpSession::keepAlive() {
    CallScope scope(*this);
    if (!checkReady({}))
        return false;
    FtpReply reply;
    const int err = command("NOOP", reply);
    if (err != kErrNone)
        return fail(err);
    return reply.isSuccess() ? succeed() : fail(replyError(reply));
}

void FtpSession::tell(const std::string& text) const {
    if (m_options.notice)
        m_options.notice(text);
}

std::optional<bool> FtpSession::pathExists(std::string_view path) {
    CallScope scope(*this);
    if (!checkReady(path))
        return std::nullopt;
    if (path.empty()) {
        fail(kErrInvalidOperation);
        return std::nullopt;
    }
    FtpReply reply;
    if (m_hasMlst) {
        const int err = command(joinCommand("MLST", path), reply);
        if (err != kErrNone) {
            fail(err);
            return std::nullopt;
        }
        succeed();
        if (reply.isSuccess())
            return true;
        if (reply.code == 550)
            return false;
        if (reply.code != 500 && reply.code != 502)
            return std::nullopt;
        m_hasMlst = false; // offered but not implemented
    }
    succeed();
    if (!m_hasSize)
        return std::nullopt;
    const int err = command(joinCommand("SIZE", path), reply);
    if (err != kErrNone) {
        fail(err);
        return std::nullopt;
    }
    if (reply.code == 213)
        return true;
    return std::nullopt; // a 550 could be a folder as well as a missing name
}

// SIZE: kErrNone with `size` set, or unset after a refusal (kErrExtendedError, or the session's
// loss) or an unreadable answer (kErrInvalidServerResponse).
int FtpSession::askSize(std::string_view path, std::optional<std::uint64_t>& size) {
    size.reset();
    FtpReply reply;
    const int err = command(joinCommand("SIZE", path), reply);
    if (err != kErrNone)
        return err;
    if (!reply.isSuccess())
        return replyError(reply);
    size = SizeOfSizeReply(reply);
    return size ? kErrNone : kErrInvalidServerResponse;
}

std::optional<std::uint64_t> FtpSession::fileSize(std::string_view path) {
    CallScope scope(*this);
    if (!checkReady(path))
        return std::nullopt;
    if (path.empty() || !m_hasSize) {
        fail(kErrInvalidOperation);
        return std::nullopt;
    }
    std::optional<std::uint64_t> size;
    const int err = askSize(path, size);
    if (err != kErrNone) {
        fail(err);
        return std::nullopt;
    }
    succeed();
    return size;
}

std::optional<std::int64_t> FtpSession::modificationTime(std::string_view path) {
    CallScope scope(*this);
    if (!checkReady(path))
        return std::nullopt;
    if (path.empty() || !m_hasMdtm) {
        fail(kErrInvalidOperation);
        return std::nullopt;
    }
    FtpReply reply;
    const int err = command(joinCommand("MDTM", path), reply);
    if (err != kErrNone) {
        fail(err);
        return std::nullopt;
    }
    if (!reply.isSuccess()) {
        fail(replyError(reply));
        return std::nullopt;
    }
    const auto time = reply.lines.size() == 1 ? ParseMdtmReply(reply.lines.front()) : std::nullopt;
    if (!time) {
        fail(kErrInvalidServerResponse);
        return std::nullopt;
    }
    succeed();
    return time;
}

bool FtpSession::setModificationTime(std::string_view path, std::int64_t secondsUtc) {
    CallScope scope(*this);
    if (!checkReady(path))
        return false;
    const std::optional<std::string> time = FormatTimeVal(secondsUtc);
    if (path.empty() || !m_hasMfmt || !time)
        return fail(kErrInvalidOperation);
    FtpReply reply;
    const int err = command("MFMT " + *time + " " + std::string(path), reply);
    if (err != kErrNone)
        return fail(err);
    return reply.isSuccess() ? succeed() : fail(replyError(reply));
}

bool FtpSession::sendCommand(std::string_view line, FtpReply& reply) {
    CallScope scope(*this);
    if (!checkReady(line))
        return false;
    const int err = commandFirstReply(line, reply);
    if (err != kErrNone)
        return fail(err);
    return reply.code < 400 ? succeed() : fail(replyError(reply));
}

// --- Commands ----------------------------------------------------------------------------

bool FtpSession::setCurrentDirectory(std::string_view path) {
    return simpleCommand("CWD", path);
}

bool FtpSession::getCurrentDirectory(std::string& path) {
    CallScope scope(*this);
    if (!checkReady(""))
        return false;
    FtpReply reply;
    const int err = command("PWD", reply);
    if (err != kErrNone)
        return fail(err);
    if (reply.code != 257)
        return fail(replyError(reply));
    if (!ParsePwdReply(reply.lines.front(), path))
        return fail(kErrInvalidServerResponse);
    return succeed();
}

bool FtpSession::createDirectory(std::string_view path) {
    return simpleCommand("MKD", path);
}

bool FtpSession::removeDirectory(std::string_view path) {
    return simpleCommand("RMD", path);
}

bool FtpSession::deleteFile(std::string_view path) {
    return simpleCommand("DELE", path);
}

bool FtpSession::chmod(std::string_view path, std::uint16_t mode) {
    if (mode > 07777)
        return fail(kErrInvalidOperation);
    char digits[8];
    std::snprintf(digits, sizeof digits, "%03o", unsigned(mode));
    return simpleCommand("SITE CHMOD " + std::string(digits), path);
}

bool FtpSession::renameFile(std::string_view from, std::string_view to) {
    CallScope scope(*this);
    if (!checkReady(from, to))
        return false;
    if (from.empty() || to.empty())
        return fail(kErrInvalidOperation);
    FtpReply reply;
    int err = command(joinCommand("RNFR", from), reply);
    if (err != kErrNone)
        return fail(err);
    if (reply.code != 350)
        return fail(replyError(reply));
    err = command(joinCommand("RNTO", to), reply);
    if (err != kErrNone)
        return fail(err);
    return reply.isSuccess() ? succeed() : fail(replyError(reply));
}

} // namespace tw::ftp
