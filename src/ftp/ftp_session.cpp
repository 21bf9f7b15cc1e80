#include "ftp/ftp_session.h"
#include "ftp/ftp_session_internal.h"

#include "ftp/ftp_error.h"
#include "ftp/listing_parser.h"
#include "ftp/name_safety.h"
#include "ftp/tls_socket.h"
#include "ftp/wildcard.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <mutex>
#include <netdb.h>
#include <poll.h>
#include <system_error>
#include <thread>
#include <unistd.h>
#include <utility>

namespace tw::ftp {

namespace {

constexpr std::size_t kBufferSize = 256 * 1024;
// The longest a stop waits for a reply still due, so the session stays in step with the server.
constexpr int kStopWaitMs = 3000;

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

int FtpSession::waitBound(int timeoutMs) const {
    return m_stopping ? std::min(timeoutMs, kStopWaitMs) : timeoutMs;
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
    const int err = m_control.writeAll(out.data(), out.size(), waitBound(m_options.timeoutMs),
                                       m_shielded ? nullptr : &m_cancel);
    if (err != kErrNone) {
        if (err == kErrOperationCancelled)
            m_cancel.reset();
        dropSession();
        return err == kErrConnectionReset || err == kErrConnectionAborted ? kErrFtpDropped : err;
    }
    return kErrNone;
}

int FtpSession::readLine(std::string& line, int timeoutMs) {
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
        char chunk[4096];
        std::size_t got = 0;
        const int err =
            m_control.readSome(chunk, sizeof chunk, got, waitBound(timeoutMs), &m_cancel);
        if (err == kErrOperationCancelled && m_shielded) {
            m_cancel.reset();
            m_stopping = true;
            continue;
        }
        if (err != kErrNone)
            return err == kErrConnectionReset ? kErrFtpDropped : err;
        if (got == 0)
            return kErrFtpDropped;
        m_controlBuffer.append(chunk, got);
    }
}

int FtpSession::readReply(FtpReply& reply, int timeoutMs) {
    if (timeoutMs < 0)
        timeoutMs = m_options.timeoutMs;
    FtpReplyReader reader;
    const int err = readReplyLines(reader, reply, timeoutMs);
    if (err != kErrOperationCancelled)
        return err;
    if (m_ready)
        return settleStoppedReply(reader, timeoutMs);
    m_cancel.reset(); // connecting or closing: a stop ends the session
    dropSession();
    return err;
}

// The lines of one reply, added to `reader` (which may hold the first lines already). Only an
// unshielded wait returns kErrOperationCancelled, with the session left as it was.
int FtpSession::readReplyLines(FtpReplyReader& reader, FtpReply& reply, int timeoutMs) {
    std::string line;
    for (;;) {
        const int err = readLine(line, timeoutMs);
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

// A stop while a reply is on its way: the reply is still read (within kStopWaitMs), a transfer
// it started (1xx) is aborted, and otherwise NOOP marks the end of anything else still due, so
// the next command reads its own reply. The session is closed only when the server does not
// answer in time. The call fails with kErrOperationCancelled either way.
int FtpSession::settleStoppedReply(FtpReplyReader& reader, int timeoutMs) {
    m_cancel.reset();
    ReplyShield shield(*this, true);
    FtpReply reply;
    if (readReplyLines(reader, reply, timeoutMs) != kErrNone)
        return kErrOperationCancelled;
    if (reply.isPreliminary())
        return abortStartedTransfer();
    const std::string keep = m_lastResponse;
    if (resynchronise() == kErrNone)
        m_lastResponse = keep;
    return kErrOperationCancelled;
}

bool FtpSession::controlHasData(int timeoutMs) {
    if (m_controlPos < m_controlBuffer.size())
        return true;
    return m_control.valid() &&
           (m_control.hasPending() ||
            WaitForSocket(m_control.fd(), POLLIN, timeoutMs, nullptr) == kErrNone);
}

int FtpSession::command(std::string_view line, FtpReply& reply) {
    int err = sendLine(line);
    if (err == kErrNone)
        err = readReply(reply);
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

namespace {

// The size a 150 reply announces, as in "150 Opening BINARY mode data connection for f (42
// bytes).".
std::optional<std::uint64_t> announcedSize(const FtpReply& reply) {
    if (reply.lines.empty())
        return std::nullopt;
    const std::string_view line = reply.lines.back();
    const auto end = line.rfind(" bytes)");
    if (end == std::string_view::npos)
        return std::nullopt;
    const auto open = line.rfind('(', end);
    if (open == std::string_view::npos || open + 1 == end || end - open > 21)
        return std::nullopt;
    std::uint64_t size = 0;
    for (const char c : line.substr(open + 1, end - open - 1)) {
        if (c < '0' || c > '9' || size > (UINT64_MAX - 9) / 10)
            return std::nullopt;
        size = size * 10 + static_cast<std::uint64_t>(c - '0');
    }
    return size;
}

// The size of a 213 reply to SIZE ("213 1234"), or nullopt.
std::optional<std::uint64_t> sizeOfReply(const FtpReply& reply) {
    if (reply.code != 213 || reply.lines.size() != 1 || reply.lines.front().size() <= 4)
        return std::nullopt;
    std::uint64_t size = 0;
    for (const char c : std::string_view(reply.lines.front()).substr(4)) {
        if (c < '0' || c > '9' || size > (UINT64_MAX - 9) / 10)
            return std::nullopt;
        size = size * 10 + static_cast<std::uint64_t>(c - '0');
    }
    return size;
}

} // namespace

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
    size = sizeOfReply(reply);
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
    const int err = command(line, reply);
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

int FtpSession::fillReadBuffer() {
    m_bufferPos = m_bufferLen = 0;
    if (!m_data.valid()) {
        m_dataEof = true;
        return kErrNone;
    }
    if (m_buffer.size() < kBufferSize)
        m_buffer.resize(kBufferSize);
    std::size_t got = 0;
    const int err =
        m_data.readSome(m_buffer.data(), m_buffer.size(), got, m_options.timeoutMs, &m_cancel);
    if (err != kErrNone)
        return err;
    if (got == 0) {
        m_dataEof = true;
        m_dataTruncated = m_data.tlsTruncated();
        m_data.close();
    }
    const auto allowed = restartAllowance();
    if (allowed && got > *allowed)
        return kErrRestartIgnored; // none of these bytes is handed on
    m_bufferLen = got;
    m_transferred += got;
    return kErrNone;
}

// How many more bytes a resumed download of known size may bring; nullopt when not limited. A
// server that took REST with 350 and then sent the file from its start brings more than the
// rest of the file (so does a file that grew since its size was known: starting again from
// zero is right for both).
std::optional<std::uint64_t> FtpSession::restartAllowance() const {
    if (m_restartOffset == 0 || !m_expectedSize || m_fileState != FileState::Reading)
        return std::nullopt;
    const std::uint64_t rest =
        *m_expectedSize > m_restartOffset ? *m_expectedSize - m_restartOffset : 0;
    return rest > m_transferred ? rest - m_transferred : 0;
}

int FtpSession::flushWriteBuffer() {
    if (m_bufferLen == 0)
        return kErrNone;
    const int err = m_data.writeAll(m_buffer.data(), m_bufferLen, m_options.timeoutMs, &m_cancel);
    if (err == kErrNone) {
        m_transferred += m_bufferLen;
        m_bufferLen = 0;
    }
    return err;
}

int FtpSession::finishTransfer() {
    m_data.close();
    if (!m_finalReplyRead) {
        FtpReply reply;
        const FileState state = m_fileState;
        const int err = readReply(reply);
        // A download whose data connection ended in order with every announced byte is
        // complete even when the control connection went silent or was lost after it.
        const bool dataComplete = state == FileState::Reading && m_dataEof && m_expectedSize &&
                                  m_restartOffset + m_transferred == *m_expectedSize;
        if (err != kErrNone && dataComplete &&
            (err == kErrFtpDropped || err == kErrTimeout || err == kErrConnectionReset ||
             err == kErrConnectionAborted)) {
            m_fileState = state; // closeFile() still ends it
            m_finalReplyRead = true;
            m_completeWithoutReply = true;
            tell("The server's final reply did not come; all " + std::to_string(m_transferred) +
                 " bytes arrived, so the transfer counts as complete.");
            return kErrNone;
        }
        if (err != kErrNone)
            return err;
        m_finalReplyRead = true;
        if (!reply.isSuccess())
            return replyError(reply);
    }
    // Fewer bytes than announced: the data connection ended early, whatever the reply says.
    // More: the file grew while it was sent (a log being written), and what came is the file
    // as it was when sent.
    if (m_fileState == FileState::Reading && m_expectedSize &&
        m_restartOffset + m_transferred < *m_expectedSize)
        return m_dataTruncated ? kErrTlsTruncated : kErrShortTransfer;
    if (m_fileState == FileState::Reading && m_expectedSize && m_restartOffset == 0 &&
        m_transferred > *m_expectedSize && !std::exchange(m_grewTold, true))
        tell("The file grew while it was sent: " + std::to_string(m_transferred) +
             " bytes arrived, " + std::to_string(*m_expectedSize) + " were announced.");
    return kErrNone;
}

// NOOP, and every reply up to its "200": whatever was still on its way is read and set aside.
int FtpSession::resynchronise() {
    FtpReply reply;
    int err = sendLine("NOOP");
    for (int i = 0; err == kErrNone && i < 4; ++i) {
        err = readReply(reply);
        if (err == kErrNone && reply.code == 200)
            return kErrNone;
    }
    if (err == kErrNone) {
        dropSession(); // still out of step: nothing later can be trusted
        err = kErrInvalidServerResponse;
    }
    return err;
}

void FtpSession::handleCancel() {
    abortTransfer();
    m_lastError = kErrOperationCancelled;
}

// --- Files -------------------------------------------------------------------------------

bool FtpSession::openFile(std::string_view path, OpenMode mode) {
    return openFile(path, mode, OpenOptions{});
}

bool FtpSession::openFile(std::string_view path, OpenMode mode, const OpenOptions& options) {
    CallScope scope(*this);
    if (!checkReady(path))
        return false;
    if (path.empty())
        return fail(kErrInvalidOperation);
    m_expectedSize.reset();
    m_restartOffset = 0;
    const bool reading = mode == OpenMode::Read;
    const std::uint64_t offset = mode == OpenMode::Append ? 0 : options.offset;
    if (reading && options.knownSize) {
        m_expectedSize = options.knownSize;
    } else if (reading && m_hasSize) {
        const int err = askSize(path, m_expectedSize);
        if (err != kErrNone && err != kErrExtendedError && err != kErrInvalidServerResponse)
            return fail(err); // the session's loss or a stop; a refused SIZE says nothing
    }
    if (reading && offset > 0 && m_expectedSize && offset > *m_expectedSize) {
        m_expectedSize.reset();
        return fail(kErrInvalidOperation); // past the end: the file is not what was started
    }
    const char* verb = reading ? "RETR" : mode == OpenMode::Write ? "STOR" : "APPE";
    FtpReply reply;
    const int err = openDataConnection(joinCommand(verb, path), reply, offset);
    if (err != kErrNone) {
        m_expectedSize.reset();
        if (err == kErrOperationCancelled)
            return fail(err); // the session is in step again, a started transfer aborted
        if (err == kErrTimeout && m_control.valid()) {
            // A 150 without a data connection: tell the server to stop waiting as well.
            m_fileState = FileState::Reading;
            abortTransfer();
        }
        return fail(err);
    }
    m_fileState = reading ? FileState::Reading : FileState::Writing;
    if (reading)
        m_restartOffset = offset;
    // A resumed download's 150 may name the whole file or what is left of it (servers differ),
    // so only a fresh one takes its size from there.
    if (reading && offset == 0 && !m_expectedSize && reply.isPreliminary())
        m_expectedSize = announcedSize(reply);
    if (m_buffer.size() < kBufferSize)
        m_buffer.resize(kBufferSize);
    return succeed();
}

// A transfer cancelled by abort(): the server is told to stop, and the file stays "open" in
// its mode so that closeFile() reports the cancellation and resets the session.
bool FtpSession::cancelTransfer(FileState state) {
    handleCancel();
    m_fileState = state;
    m_transferResult = kErrOperationCancelled;
    m_finalReplyRead = true;
    return false;
}

// Whether a read or write of the open file may go on: a result when the call must end now.
std::optional<bool> FtpSession::transferGate(FileState state) {
    if (m_fileState != FileState::None && m_fileState != state)
        return fail(kErrIncorrectHandleType);
    if (m_fileState != state)
        return fail(m_dropped ? kErrFtpDropped : kErrIncorrectHandleState);
    if (m_transferResult != kErrNone)
        return fail(m_transferResult);
    if (m_cancel.isCancelled())
        return cancelTransfer(state);
    return std::nullopt;
}

bool FtpSession::readFile(void* buffer, std::size_t size, std::size_t& bytesRead) {
    CallScope scope(*this);
    bytesRead = 0;
    if (const auto done = transferGate(FileState::Reading))
        return *done;
    auto* out = static_cast<char*>(buffer);
    while (bytesRead < size) {
        if (m_bufferPos < m_bufferLen) {
            const std::size_t n = std::min(size - bytesRead, m_bufferLen - m_bufferPos);
            std::memcpy(out + bytesRead, m_buffer.data() + m_bufferPos, n);
            m_bufferPos += n;
            bytesRead += n;
            continue;
        }
        if (m_dataEof)
            break;
        const int err = fillReadBuffer();
        if (err == kErrOperationCancelled) {
            return cancelTransfer(FileState::Reading);
        }
        if (err != kErrNone)
            return failRead(err);
    }
    if (bytesRead == 0 && m_dataEof && size > 0)
        return finishRead();
    return succeed();
}

bool FtpSession::failRead(int err) {
    if (err == kErrRestartIgnored) {
        // The server goes on sending the whole file: stop it now, closeFile() only reports.
        abortTransfer();
        m_fileState = FileState::Reading;
        m_finalReplyRead = true;
        m_transferResult = err;
        return fail(err);
    }
    m_data.close();
    m_transferResult = err;
    return fail(err);
}

// The end of a download's data: the final reply decides.
bool FtpSession::finishRead() {
    const int err = finishTransfer();
    if (err == kErrNone)
        return succeed();
    m_transferResult = err;
    if (!m_control.valid())
        m_fileState = FileState::Reading; // closeFile() reports and resets
    return fail(err);
}

// A failed send of upload data. The server usually says why (disk full, aborted): keep its
// words.
bool FtpSession::failWrite(int err) {
    m_data.close();
    m_transferResult = err;
    FtpReply reply;
    if (controlHasData(std::min(m_options.timeoutMs, 1000)) && readReply(reply) == kErrNone) {
        m_finalReplyRead = true;
        if (reply.isError())
            m_transferResult = replyError(reply);
    }
    return fail(m_transferResult);
}

bool FtpSession::writeFile(const void* buffer, std::size_t size, std::size_t& bytesWritten) {
    CallScope scope(*this);
    bytesWritten = 0;
    if (const auto done = transferGate(FileState::Writing))
        return *done;
    const auto* in = static_cast<const char*>(buffer);
    while (bytesWritten < size) {
        if (m_bufferLen == m_buffer.size()) {
            const int err = flushWriteBuffer();
            if (err == kErrOperationCancelled) {
                return cancelTransfer(FileState::Writing);
            }
            if (err != kErrNone)
                return failWrite(err);
        }
        const std::size_t n = std::min(size - bytesWritten, m_buffer.size() - m_bufferLen);
        std::memcpy(m_buffer.data() + m_bufferLen, in + bytesWritten, n);
        m_bufferLen += n;
        bytesWritten += n;
    }
    return succeed();
}

bool FtpSession::closeFile() {
    CallScope scope(*this);
    if (m_fileState == FileState::None)
        return fail(m_dropped ? kErrFtpDropped : kErrIncorrectHandleState);
    int result = m_transferResult;
    if (result == kErrOperationCancelled) {
        result = kErrOperationCancelled;
    } else if (m_fileState == FileState::Reading) {
        if (result != kErrNone) {
            if (!m_finalReplyRead)
                abortTransfer();
        } else if (m_dataEof && m_bufferPos >= m_bufferLen) {
            result = finishTransfer();
        } else if (m_dataEof) {
            // Everything arrived, the caller stopped before the end: still a complete transfer.
            result = finishTransfer();
        } else {
            abortTransfer(); // closed before the end on purpose
        }
    } else {
        if (result == kErrNone) {
            result = flushWriteBuffer();
            if (result == kErrOperationCancelled) {
                abortTransfer();
            } else if (result == kErrNone) {
                result = m_data.endTls(m_options.timeoutMs, &m_cancel); // close_notify
                m_data.close(); // end of file for the server
                if (result == kErrNone)
                    result = finishTransfer();
                else
                    abortTransfer();
            } else {
                m_data.close();
                FtpReply reply;
                if (!m_finalReplyRead && controlHasData(std::min(m_options.timeoutMs, 1000)) &&
                    readReply(reply) == kErrNone && reply.isError())
                    result = replyError(reply);
            }
        } else if (!m_finalReplyRead) {
            abortTransfer();
        }
    }
    resetFile();
    if (m_dropped && result == kErrNone && !m_completeWithoutReply)
        result = kErrFtpDropped;
    return result == kErrNone ? succeed() : fail(result);
}

bool FtpSession::abortFile() {
    CallScope scope(*this);
    if (m_fileState == FileState::None)
        return fail(m_dropped ? kErrFtpDropped : kErrIncorrectHandleState);
    if (m_transferResult != kErrOperationCancelled) // else it was aborted already
        abortTransfer();
    resetFile();
    return fail(kErrOperationCancelled);
}

void FtpSession::resetFile() {
    m_data.close();
    m_listener.close();
    m_fileState = FileState::None;
    m_transferResult = kErrNone;
    m_bufferPos = m_bufferLen = 0;
    m_expectedSize.reset();
    m_restartOffset = 0;
}

namespace {

bool writeWhole(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (n == 0)
                errno = ENOSPC;
            return false;
        }
        data += n;
        size -= std::size_t(n);
    }
    return true;
}

} // namespace

bool FtpSession::readFileTo(int fd, std::size_t size, std::size_t& bytesMoved) {
    CallScope scope(*this);
    bytesMoved = 0;
    m_localErrno = 0;
    if (const auto done = transferGate(FileState::Reading))
        return *done;
    while (bytesMoved < size) {
        if (m_bufferPos < m_bufferLen) { // bytes read ahead by an earlier readFile()
            const std::size_t n = std::min(size - bytesMoved, m_bufferLen - m_bufferPos);
            if (!writeWhole(fd, m_buffer.data() + m_bufferPos, n)) {
                m_localErrno = errno;
                return fail(kErrInternalError);
            }
            m_bufferPos += n;
            bytesMoved += n;
            continue;
        }
        if (m_dataEof)
            break;
        if (m_options.spliceDownloads && !m_spliceFailed && m_data.valid() && !m_data.secured()) {
            if (!m_splice)
                m_splice = std::make_unique<SplicePipe>();
            std::size_t want = size - bytesMoved;
            if (const auto allowed = restartAllowance())
                want = static_cast<std::size_t>(std::min<std::uint64_t>(want, *allowed));
            if (want == 0) { // the rest arrived: a plain read tells the end from more
                const int err = fillReadBuffer();
                if (err == kErrOperationCancelled)
                    return cancelTransfer(FileState::Reading);
                if (err != kErrNone)
                    return failRead(err);
                continue;
            }
            const CopyResult r =
                m_splice->socketToFile(m_data.fd(), fd, want, m_options.timeoutMs, &m_cancel);
            bytesMoved += r.moved;
            m_transferred += r.moved;
            m_spliceFailed = m_spliceFailed || r.unsupported;
            if (r.localErrno != 0) {
                m_localErrno = r.localErrno;
                return fail(kErrInternalError);
            }
            if (r.error == kErrOperationCancelled)
                return cancelTransfer(FileState::Reading);
            if (r.error != kErrNone)
                return failRead(r.error);
            if (r.endOfData) {
                m_dataEof = true;
                m_data.close();
            }
            continue;
        }
        const int err = fillReadBuffer();
        if (err == kErrOperationCancelled)
            return cancelTransfer(FileState::Reading);
        if (err != kErrNone)
            return failRead(err);
    }
    if (bytesMoved == 0 && m_dataEof && size > 0)
        return finishRead();
    return succeed();
}

bool FtpSession::writeFileFrom(int fd, std::size_t size, std::size_t& bytesMoved) {
    CallScope scope(*this);
    bytesMoved = 0;
    m_localErrno = 0;
    if (const auto done = transferGate(FileState::Writing))
        return *done;
    if (m_options.sendfileUploads && !m_sendfileFailed && m_data.valid() && !m_data.secured()) {
        const int flushed = flushWriteBuffer(); // bytes an earlier writeFile() left
        if (flushed == kErrOperationCancelled)
            return cancelTransfer(FileState::Writing);
        if (flushed != kErrNone)
            return failWrite(flushed);
        const CopyResult r =
            SendFileToSocket(fd, m_data.fd(), size, m_options.timeoutMs, &m_cancel);
        bytesMoved = r.moved;
        m_transferred += r.moved;
        if (!r.unsupported) {
            if (r.localErrno != 0) {
                m_localErrno = r.localErrno;
                return fail(kErrInternalError);
            }
            if (r.error == kErrOperationCancelled)
                return cancelTransfer(FileState::Writing);
            if (r.error != kErrNone)
                return failWrite(r.error);
            return succeed();
        }
        m_sendfileFailed = true;
    }
    while (bytesMoved < size) {
        if (m_bufferLen == m_buffer.size()) {
            const int err = flushWriteBuffer();
            if (err == kErrOperationCancelled)
                return cancelTransfer(FileState::Writing);
            if (err != kErrNone)
                return failWrite(err);
        }
        const ssize_t n = ::read(fd, m_buffer.data() + m_bufferLen,
                                 std::min(size - bytesMoved, m_buffer.size() - m_bufferLen));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            m_localErrno = errno;
            return fail(kErrInternalError);
        }
        if (n == 0)
            break;
        m_bufferLen += std::size_t(n);
        bytesMoved += std::size_t(n);
    }
    return succeed();
}

} // namespace tw::ftp
