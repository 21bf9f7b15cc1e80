#include "core/transfer/file_copy.h"

#include "core/panes/file_helpers.h"
#include "core/panes/local_paths.h"
#include "core/text/messages.h"
#include "core/transfer/transfer_log.h"
#include "core/transfer/transfer_port.h"
#include "ftp/ftp_error.h"
#include "ftp/ftp_session.h"
#include "ftp/replacing_file.h"

#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <string_view>
#include <unistd.h>

namespace tw {

namespace {

// Data moves in chunks of whole blocks near this size; the block size still sets how the
// progress counts, but small blocks do not cost a system call each.
constexpr std::uint64_t kChunkBytes = 256 * 1024;
const QString kProgressCaption = QStringLiteral(" Tarnwick 2000 Transfer");

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

// A failed engine call: a cancellation is the user's Stop (no error sound), anything else
// carries the server's reply.
void reportEngine(const CopyEnvironment& env, int apiNameId) {
    const int code = env.session.lastError();
    const bool cancelled = code == ftp::kErrOperationCancelled;
    env.messages.ReportApiError(apiNameId, code, alertFlag(env) && !cancelled,
                                decode(env.session.lastResponse()));
}

void reportStopped(const CopyEnvironment& env, int apiNameId) {
    env.messages.ReportApiError(apiNameId, ftp::kErrOperationCancelled, false);
}

CopyOutcome failed(const CopyEnvironment& env) {
    return CopyOutcome{false, env.stopRequested.load() || !env.session.isConnected()};
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

CopyOutcome DownloadFile(const CopyEnvironment& env, const CopyRequest& request) {
    const std::uint64_t block = BlockSizeFor(env.options.BlockSize);
    const std::uint64_t chunk = std::max(block, kChunkBytes / block * block);
    Progress progress(env, request.label, request.expectedSize / block + 2);
    const auto start = std::chrono::steady_clock::now();

    ftp::ReplacingFile target;
    if (const int err =
            target.open(JoinLocalPath(request.localFolder, request.localName).toStdString());
        err != 0) {
        env.messages.ReportApiError(4515, err, alertFlag(env));
        return failed(env);
    }
    progress.set(1);
    env.messages.ShowStatus(4002, {request.label});
    if (!env.session.openFile(view(request.remotePath), ftp::FtpSession::OpenMode::Read)) {
        reportEngine(env, 4521);
        return failed(env);
    }
    std::uint64_t step = 2;
    progress.set(step);
    std::uint64_t total = 0;
    for (;;) {
        if (env.stopRequested) {
            env.session.abortFile();
            reportStopped(env, 4524);
            return failed(env);
        }
        std::size_t moved = 0;
        if (!env.session.readFileTo(target.fd(), std::size_t(chunk), moved)) {
            if (const int local = env.session.localError(); local != 0)
                env.messages.ReportApiError(4516, local, alertFlag(env));
            else
                reportEngine(env, 4524);
            env.session.abortFile();
            return failed(env);
        }
        if (moved == 0)
            break; // every byte arrived and the server's final reply was a success
        total += moved;
        step += blocksIn(moved, block);
        progress.set(step);
        env.messages.ShowStatus(4003, {request.label, total, request.expectedSize});
    }
    if (!env.session.closeFile()) {
        reportEngine(env, 4524);
        return failed(env);
    }
    if (const int err = target.commit(); err != 0) {
        env.messages.ReportApiError(4515, err, alertFlag(env));
        return failed(env);
    }
    env.messages.LogText(FormatTransferSpeed(env.messages, elapsedMs(start), total));
    return CopyOutcome{true, false};
}

namespace {

// What the server kept of a failed upload is removed; when it cannot be, the log says so.
void removePartialUpload(const CopyEnvironment& env, const QByteArray& remotePath) {
    if (env.session.isConnected() && env.session.deleteFile(view(remotePath)))
        return;
    const QString response =
        env.session.isConnected() ? decode(env.session.lastResponse()) : QString();
    env.messages.LogMessage(4424, {QString::fromUtf8(remotePath), response});
}

} // namespace

CopyOutcome UploadFile(const CopyEnvironment& env, const CopyRequest& request) {
    const std::uint64_t block = BlockSizeFor(env.options.BlockSize);
    const std::uint64_t chunk = std::max(block, kChunkBytes / block * block);
    Progress progress(env, request.label, request.expectedSize / block + 3);
    const auto start = std::chrono::steady_clock::now();

    const QByteArray localPath = JoinLocalPath(request.localFolder, request.localName);
    UniqueFd file(::open(localPath.constData(), O_RDONLY | O_CLOEXEC));
    if (file.get() < 0) {
        env.messages.ReportApiError(4515, errno, alertFlag(env));
        return failed(env);
    }
    progress.set(1);
    env.messages.ShowStatus(4000, {request.label});
    if (!env.session.openFile(view(request.remotePath), ftp::FtpSession::OpenMode::Write)) {
        reportEngine(env, 4521);
        return failed(env);
    }
    progress.set(2);
    const auto abandon = [&] {
        env.session.abortFile();
        removePartialUpload(env, request.remotePath);
        return failed(env);
    };
    if (::lseek(file.get(), 0, SEEK_SET) != 0) {
        env.messages.ReportApiError(4519, errno, alertFlag(env));
        return abandon();
    }
    std::uint64_t step = 3;
    progress.set(step);
    std::uint64_t total = 0;
    for (;;) {
        if (env.stopRequested) {
            reportStopped(env, 4522);
            return abandon();
        }
        std::size_t moved = 0;
        if (!env.session.writeFileFrom(file.get(), std::size_t(chunk), moved)) {
            if (const int local = env.session.localError(); local != 0)
                env.messages.ReportApiError(4525, local, alertFlag(env));
            else
                reportEngine(env, 4522);
            return abandon();
        }
        if (moved == 0)
            break;
        total += moved;
        step += blocksIn(moved, block);
        progress.set(step);
        env.messages.ShowStatus(4001, {request.label, total, request.expectedSize});
    }
    if (!env.session.closeFile()) { // the server's final reply decides
        reportEngine(env, 4522);
        removePartialUpload(env, request.remotePath);
        return failed(env);
    }
    env.messages.LogText(FormatTransferSpeed(env.messages, elapsedMs(start), total));
    return CopyOutcome{true, false};
}

} // namespace tw
