// FtpSession's files: openFile (SIZE, REST, RETR / STOR / APPE), reads and writes through the
// session's buffer or straight between a descriptor and the data connection, the checks
// against the announced size, and closeFile.

#include "ftp/ftp_session.h"
#include "ftp/ftp_session_internal.h"

#include "ftp/file_io.h"
#include "ftp/ftp_error.h"
#include "ftp/reply_numbers.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>
#include <unistd.h>
#include <utility>

namespace tw::ftp {

namespace {

constexpr std::size_t kBufferSize = 256 * 1024;

} // namespace

// The next bytes of the data connection: an idle wait of `timeoutMs` (-1: the session's
// timeout) for each.
int FtpSession::fillReadBuffer(int timeoutMs) {
    m_bufferPos = m_bufferLen = 0;
    if (!m_data.valid()) {
        m_dataEof = true;
        return kErrNone;
    }
    if (m_buffer.size() < kBufferSize)
        m_buffer.resize(kBufferSize);
    std::size_t got = 0;
    const int err = m_data.readSome(m_buffer.data(), m_buffer.size(), got,
                                    timeoutMs < 0 ? m_options.timeoutMs : timeoutMs, &m_cancel);
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
        // The final reply's deadline starts when the data has ended; a preliminary reply
        // before it (a server repeating its 150) is passed over within the same deadline.
        FtpReply reply;
        const FileState state = m_fileState;
        const int err = readFinalReply(reply, DeadlineIn(m_options.timeoutMs));
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
    // Without a size and without close_notify, an attacker who cuts the connection (and a
    // server that sends 226 anyway) leaves a short file that looks complete.
    if (m_fileState == FileState::Reading && m_dataTruncated && !m_expectedSize) {
        tell("The server ended the encrypted data connection without confirming its end, and "
             "the file's size is not known: the " +
             std::to_string(m_restartOffset + m_transferred) +
             " bytes received may be only part of the file" +
             (m_acceptUnconfirmedEnd ? std::string(" (accepted as asked).")
                                     : std::string(", so the download counts as failed.")));
        if (!m_acceptUnconfirmedEnd)
            return kErrTlsEndUnconfirmed;
    }
    if (m_fileState == FileState::Reading && m_expectedSize && m_restartOffset == 0 &&
        m_transferred > *m_expectedSize && !std::exchange(m_grewTold, true))
        tell("The file grew while it was sent: " + std::to_string(m_transferred) +
             " bytes arrived, " + std::to_string(*m_expectedSize) + " were announced.");
    return kErrNone;
}

void FtpSession::handleCancel() {
    abortTransfer();
    m_lastError = kErrOperationCancelled;
}

bool FtpSession::openFile(std::string_view path, OpenMode mode, const OpenOptions& options) {
    CallScope scope(*this);
    if (!checkReady(path))
        return false;
    if (path.empty())
        return fail(kErrInvalidOperation);
    m_expectedSize.reset();
    m_restartOffset = 0;
    m_acceptUnconfirmedEnd = options.acceptUnconfirmedEnd;
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
        m_expectedSize = AnnouncedSize(reply);
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

bool FtpSession::readFileTo(int fd, std::size_t size, std::size_t& bytesMoved) {
    CallScope scope(*this);
    bytesMoved = 0;
    m_localErrno = 0;
    if (const auto done = transferGate(FileState::Reading))
        return *done;
    while (bytesMoved < size) {
        if (m_bufferPos < m_bufferLen) { // bytes read ahead by an earlier readFile()
            const std::size_t n = std::min(size - bytesMoved, m_bufferLen - m_bufferPos);
            if (!WriteWhole(fd, m_buffer.data() + m_bufferPos, n)) {
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
