#include "core/transfer/file_copy.h"

#include "core/panes/file_helpers.h"
#include "core/panes/local_paths.h"
#include "core/text/messages.h"
#include "core/transfer/transfer_log.h"
#include "core/transfer/transfer_port.h"
#include "ftp/ftp_error.h"
#include "ftp/ftp_reply.h"
#include "ftp/ftp_session.h"
#include "ftp/replacing_file.h"

#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <optional>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

namespace tw {

namespace {

// Data moves in chunks of whole blocks near this size; the block size still sets how the
// progress counts, but small blocks do not cost a system call each.
constexpr std::uint64_t kChunkBytes = 256 * 1024;
const QString kProgressCaption = QStringLiteral(" Tarnwick 2000 Transfer");
constexpr const char* kUploadSuffix = ".tw-up";

std::string_view view(const QByteArray& bytes) {
    return {bytes.constData(), std::size_t(bytes.size())};
}

QString decode(const std::string& bytes) {
    return QString::fromUtf8(bytes.data(), qsizetype(bytes.size()));
}

// The progress window of one file: opened when the Progress option is on, closed on every
// path out of the copy.
class Progress {
public:
    Progress(const CopyEnvironment& env, const QString& label, std::uint64_t steps)
        : m_port(env.port), m_scale(steps) {
        if (env.options.Progress)
            m_open = m_port.openProgress({kProgressCaption, 1000, label, 0, m_scale.maximum()});
    }
    ~Progress() {
        if (m_open)
            m_port.closeProgress();
    }
    Progress(const Progress&) = delete;
    Progress& operator=(const Progress&) = delete;

    void set(std::uint64_t step) {
        if (m_open)
            m_port.setProgress(m_scale.position(step));
    }

private:
    TransferPort& m_port;
    ProgressScale m_scale;
    bool m_open = false;
};

std::uint64_t elapsedMs(std::chrono::steady_clock::time_point start) {
    return std::uint64_t(std::chrono::duration_cast<std::chrono::milliseconds>(
                             std::chrono::steady_clock::now() - start)
                             .count());
}

bool alertFlag(const CopyEnvironment& env) {
    return env.options.AlertLevel != 0;
}

// A failed engine call, with the server's reply.
void reportEngine(const CopyEnvironment& env, int apiNameId, int code, const std::string& reply) {
    env.messages.ReportApiError(apiNameId, code, alertFlag(env), decode(reply));
}

void reportEngine(const CopyEnvironment& env, int apiNameId) {
    reportEngine(env, apiNameId, env.session.lastError(), env.session.lastResponse());
}

CopyOutcome failed(const CopyEnvironment& env) {
    return CopyOutcome{false, env.stopRequested.load() || !env.session.isConnected(), false};
}

// The user's Stop: told once by the batch ("Transfer stopped"), never as an error.
CopyOutcome stopped() {
    return CopyOutcome{false, true, true};
}

// Whether the engine call that just failed was ended by the user's Stop.
bool stoppedByUser(const CopyEnvironment& env) {
    return env.stopRequested.load() && env.session.lastError() == ftp::kErrOperationCancelled;
}

// The code of the server's last reply (its first line's), 0 when there is none.
int replyCode(const std::string& response) {
    return std::max(ftp::ReplyCode(response), 0);
}

// The server answered the command with a permanent refusal (5xx).
bool refusedByServer(const CopyEnvironment& env) {
    return env.session.lastError() == ftp::kErrExtendedError &&
           replyCode(env.session.lastResponse()) / 100 == 5;
}

std::uint64_t blocksIn(std::uint64_t bytes, std::uint64_t block) {
    return (bytes + block - 1) / block;
}

} // namespace

std::uint32_t BlockSizeFor(std::uint32_t index) {
    return kBlockSizes[index < kBlockSizes.size() ? index : 2];
}

ProgressScale::ProgressScale(std::uint64_t maximumStep) : m_maximum(maximumStep) {
    constexpr std::uint64_t kBarMaximum = 0x7FFFFFFF;
    if (m_maximum > kBarMaximum)
        m_divisor = (m_maximum + kBarMaximum - 1) / kBarMaximum;
}

int ProgressScale::position(std::uint64_t step) const {
    return int(std::min(step, m_maximum) / m_divisor);
}

QByteArray UploadTemporaryPath(const QByteArray& remotePath) {
    const qsizetype slash = remotePath.lastIndexOf('/');
    const QByteArray folder = remotePath.left(slash + 1);
    return folder + '.' + remotePath.mid(slash + 1) + kUploadSuffix;
}

bool IsUploadTemporaryName(std::string_view name) {
    const std::string_view suffix(kUploadSuffix);
    return name.size() > suffix.size() + 1 && name.front() == '.' &&
           name.substr(name.size() - suffix.size()) == suffix;
}

int ReadOnlyDestination(const QByteArray& path) {
    struct stat st {};
    if (::stat(path.constData(), &st) != 0 || !S_ISREG(st.st_mode))
        return 0;
    if (::faccessat(AT_FDCWD, path.constData(), W_OK, AT_EACCESS) != 0)
        return errno == EROFS ? EROFS : EACCES;
    if (st.st_uid == ::geteuid() && (st.st_mode & S_IWUSR) == 0)
        return EACCES;
    return 0;
}

namespace {

// The downloaded file's date: an MLSD listing's (exact, in UTC, so no MDTM round trip per
// file), else the server's MDTM where it tells it, else the listing's.
std::optional<std::int64_t> remoteDate(const CopyEnvironment& env, const CopyRequest& request) {
    if (request.listedTime != 0 && env.session.exactListings())
        return request.listedTime;
    if (env.session.isConnected())
        if (const auto time = env.session.modificationTime(view(request.remotePath)))
            return time;
    if (request.listedTime != 0)
        return request.listedTime;
    return std::nullopt;
}

void setFileDate(int fd, std::int64_t secondsUtc) {
    const timespec times[2] = {{0, UTIME_OMIT}, {time_t(secondsUtc), 0}};
    ::futimens(fd, times);
}

} // namespace

CopyOutcome DownloadFile(const CopyEnvironment& env, const CopyRequest& request) {
    const std::uint64_t block = BlockSizeFor(env.options.BlockSize);
    const std::uint64_t chunk = std::max(block, kChunkBytes / block * block);
    Progress progress(env, request.label, request.expectedSize / block + 2);
    const auto start = std::chrono::steady_clock::now();

    const QByteArray localPath = JoinLocalPath(request.localFolder, request.localName);
    if (!request.replaceReadOnly)
        if (const int err = ReadOnlyDestination(localPath); err != 0) {
            env.messages.ReportApiError(4515, err, alertFlag(env));
            return failed(env);
        }
    ftp::ReplacingFile target;
    if (const int err = target.open(localPath.toStdString()); err != 0) {
        env.messages.ReportApiError(4515, err, alertFlag(env));
        return failed(env);
    }
    progress.set(1);
    env.messages.ShowStatus(4002, {request.label});
    if (!env.session.openFile(view(request.remotePath), ftp::RemoteSession::OpenMode::Read)) {
        if (stoppedByUser(env))
            return stopped();
        reportEngine(env, 4521);
        return failed(env);
    }
    std::uint64_t step = 2;
    progress.set(step);
    std::uint64_t total = 0;
    for (;;) {
        if (env.stopRequested) {
            env.session.abortFile();
            return stopped();
        }
        std::size_t moved = 0;
        if (!env.session.readFileTo(target.fd(), std::size_t(chunk), moved)) {
            const int local = env.session.localError();
            const bool byUser = local == 0 && stoppedByUser(env);
            if (local != 0)
                env.messages.ReportApiError(4516, local, alertFlag(env));
            else if (!byUser)
                reportEngine(env, 4524);
            env.session.abortFile();
            return byUser ? stopped() : failed(env);
        }
        if (moved == 0)
            break; // every byte arrived and the server's final reply was a success
        total += moved;
        step += blocksIn(moved, block);
        progress.set(step);
        env.messages.ShowStatus(4003, {request.label, total, request.expectedSize});
    }
    if (!env.session.closeFile()) {
        if (stoppedByUser(env))
            return stopped();
        reportEngine(env, 4524);
        return failed(env);
    }
    const std::uint64_t elapsed = elapsedMs(start);
    if (env.options.KeepFileDates)
        if (const auto date = remoteDate(env, request))
            setFileDate(target.fd(), *date); // nothing writes to the file after this
    if (const int err = target.commit(); err != 0) {
        env.messages.ReportApiError(4515, err, alertFlag(env));
        return failed(env);
    }
    env.messages.LogText(FormatTransferSpeed(env.messages, elapsed, total));
    return CopyOutcome{true, false, false};
}

namespace {

// What the server kept of a failed upload is removed; when it cannot be, the log says so.
// `mayBeAbsent`: the transfer may never have begun (a stop before the server's 150), so a
// refused DELE is told only when the server shows the file is there.
void removePartialUpload(const CopyEnvironment& env, const QByteArray& remotePath,
                         bool mayBeAbsent = false) {
    if (!env.session.isConnected()) {
        if (!mayBeAbsent)
            env.messages.LogMessage(4424, {QString::fromUtf8(remotePath), QString()});
        return;
    }
    if (env.session.deleteFile(view(remotePath)))
        return;
    const QString response = decode(env.session.lastResponse());
    const std::optional<bool> there = env.session.pathExists(view(remotePath));
    if (there == false || (mayBeAbsent && there != true))
        return;
    env.messages.LogMessage(4424, {QString::fromUtf8(remotePath), response});
}

// Gives the stored temporary file the destination's name. A server that refuses to rename onto
// an existing name (550 / 553 on RNTO, as Windows servers do) has the old file deleted just
// before a second rename. On failure the temporary file is removed, unless the old file is
// already gone: then it stays, under its temporary name, and the log says where.
CopyOutcome commitUpload(const CopyEnvironment& env, const QByteArray& temporary,
                         const QByteArray& destination) {
    if (env.session.renameFile(view(temporary), view(destination)))
        return CopyOutcome{true, false, false};
    if (stoppedByUser(env)) {
        removePartialUpload(env, temporary);
        return stopped();
    }
    const int error = env.session.lastError();
    const std::string reply = env.session.lastResponse();
    const int code = replyCode(reply);
    if (error == ftp::kErrExtendedError && (code == 550 || code == 553) &&
        env.session.deleteFile(view(destination))) {
        env.messages.LogMessage(4440, {QString::fromUtf8(destination)});
        if (env.session.renameFile(view(temporary), view(destination)))
            return CopyOutcome{true, false, false};
        reportEngine(env, 4512);
        env.messages.LogMessage(4441, {QString::fromUtf8(temporary)});
        return failed(env);
    }
    reportEngine(env, 4512, error, reply);
    removePartialUpload(env, temporary);
    return failed(env);
}

} // namespace

CopyOutcome UploadFile(const CopyEnvironment& env, const CopyRequest& request) {
    const std::uint64_t block = BlockSizeFor(env.options.BlockSize);
    const std::uint64_t chunk = std::max(block, kChunkBytes / block * block);
    Progress progress(env, request.label, request.expectedSize / block + 3);
    const auto start = std::chrono::steady_clock::now();

    const QByteArray localPath = JoinLocalPath(request.localFolder, request.localName);
    UniqueFd file(::open(localPath.constData(), O_RDONLY | O_CLOEXEC));
    struct stat local {};
    if (file.get() < 0 || ::fstat(file.get(), &local) != 0) {
        env.messages.ReportApiError(4515, errno, alertFlag(env));
        return failed(env);
    }
    progress.set(1);
    env.messages.ShowStatus(4000, {request.label});
    const QByteArray temporary = UploadTemporaryPath(request.remotePath);
    QByteArray target = temporary;
    if (!env.session.openFile(view(target), ftp::RemoteSession::OpenMode::Write)) {
        if (stoppedByUser(env)) {
            removePartialUpload(env, target, true);
            return stopped();
        }
        if (!refusedByServer(env)) {
            reportEngine(env, 4521);
            return failed(env);
        }
        // The server takes no such name (dot files denied, a name too long): the file goes
        // under its own name.
        target = request.remotePath;
        if (!env.session.openFile(view(target), ftp::RemoteSession::OpenMode::Write)) {
            if (stoppedByUser(env))
                return stopped();
            reportEngine(env, 4521);
            return failed(env);
        }
    }
    progress.set(2);
    // Ends the open transfer and removes what the server kept of it; the outcome is taken
    // afterwards, when it is known whether the session survived.
    const auto abandon = [&](bool byUser) {
        env.session.abortFile();
        removePartialUpload(env, target);
        return byUser ? stopped() : failed(env);
    };
    if (::lseek(file.get(), 0, SEEK_SET) != 0) {
        env.messages.ReportApiError(4519, errno, alertFlag(env));
        return abandon(false);
    }
    std::uint64_t step = 3;
    progress.set(step);
    std::uint64_t total = 0;
    for (;;) {
        if (env.stopRequested)
            return abandon(true);
        std::size_t moved = 0;
        if (!env.session.writeFileFrom(file.get(), std::size_t(chunk), moved)) {
            const int localError = env.session.localError();
            const bool byUser = localError == 0 && stoppedByUser(env);
            if (localError != 0)
                env.messages.ReportApiError(4525, localError, alertFlag(env));
            else if (!byUser)
                reportEngine(env, 4522);
            return abandon(byUser);
        }
        if (moved == 0)
            break;
        total += moved;
        step += blocksIn(moved, block);
        progress.set(step);
        env.messages.ShowStatus(4001, {request.label, total, request.expectedSize});
    }
    if (!env.session.closeFile()) { // the server's final reply decides
        const bool byUser = stoppedByUser(env);
        if (!byUser)
            reportEngine(env, 4522);
        removePartialUpload(env, target);
        return byUser ? stopped() : failed(env);
    }
    const std::uint64_t elapsed = elapsedMs(start);
    if (target == temporary)
        if (const CopyOutcome renamed = commitUpload(env, temporary, request.remotePath);
            !renamed.copied)
            return renamed;
    if (env.options.KeepFileDates && env.session.canSetModificationTime())
        env.session.setModificationTime(view(request.remotePath), std::int64_t(local.st_mtime));
    env.messages.LogText(FormatTransferSpeed(env.messages, elapsed, total));
    return CopyOutcome{true, false, false};
}

} // namespace tw
