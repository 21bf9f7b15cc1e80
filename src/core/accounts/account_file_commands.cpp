#include "core/accounts/account_file_commands.h"

#include "core/accounts/account_export.h"
#include "core/accounts/accounts_port.h"
#include "core/panes/file_helpers.h"
#include "core/settings/date_text.h"
#include "core/text/messages.h"
#include "platform/xdg_paths.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tw {

namespace {

constexpr int kTitleId = 1000;
constexpr int kImportCommand = 140;
constexpr int kExportCommand = 141;
constexpr int kImportTitleId = 1030;
constexpr int kImportFilterId = 1031;
constexpr int kExportTitleId = 1032;
constexpr int kExportFilterId = 1033;
constexpr int kExportExtensionId = 1034;
constexpr int kImportCaptionId = 3900;
constexpr int kImportQuestionId = 3901;
constexpr int kBadFileId = 3902;
constexpr int kOpenFailedId = 60027;

bool ownerMayWrite(const QByteArray& path) {
    struct stat st {};
    if (::stat(path.constData(), &st) != 0)
        return true; // nothing there yet
    return (st.st_mode & S_IWUSR) != 0;
}

// The "Backup of" copy of a file about to be replaced. An export file holds plain passwords, so
// its copy is kept readable by the owner only, whatever the file it copies allowed.
void BackupExportFile(const QString& path) {
    if (BackupFile(path, true)) {
        const QString backup = BackupFileName(path, true);
        if (QFileInfo(backup).isFile())
            QFile::setPermissions(backup, QFile::ReadOwner | QFile::WriteOwner);
    }
}

} // namespace

QString DefaultExportPath() {
    return QDir(platform::XdgPaths::documentsFolder())
        .filePath(QStringLiteral("Tarnwick 2000 Accounts.twx"));
}

int WriteOwnerOnlyFile(const QString& path, const QByteArray& bytes) {
    const QByteArray name = QFile::encodeName(path);
    if (!ownerMayWrite(name))
        return EACCES;
    // Non-blocking, so that a pipe without a reader cannot hang the program; only a plain file
    // is written.
    const int fd =
        ::open(name.constData(), O_WRONLY | O_CREAT | O_CLOEXEC | O_NONBLOCK | O_NOCTTY, 0600);
    if (fd < 0)
        return errno;
    int error = 0;
    struct stat st {};
    if (::fstat(fd, &st) != 0)
        error = errno;
    else if (!S_ISREG(st.st_mode))
        error = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
    else if (::ftruncate(fd, 0) != 0 || ::fchmod(fd, 0600) != 0)
        error = errno;
    const char* data = bytes.constData();
    qsizetype left = bytes.size();
    while (error == 0 && left > 0) {
        const ssize_t written = ::write(fd, data, std::size_t(left));
        if (written < 0) {
            if (errno == EINTR)
                continue;
            error = errno;
            break;
        }
        data += written;
        left -= written;
    }
    if (::close(fd) != 0 && error == 0)
        error = errno;
    return error;
}

int ReadWholeFile(const QString& path, qint64 maxBytes, QByteArray& bytes) {
    bytes.clear();
    const int fd =
        ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0)
        return errno;
    int error = 0;
    struct stat st {};
    if (::fstat(fd, &st) != 0)
        error = errno;
    else if (S_ISDIR(st.st_mode))
        error = EISDIR;
    else if (!S_ISREG(st.st_mode))
        error = EINVAL;
    else if (st.st_size > maxBytes)
        error = EFBIG;
    char buffer[65536];
    while (error == 0) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            error = errno;
            break;
        }
        if (got == 0)
            break;
        if (bytes.size() + got > maxBytes) { // grew while being read
            error = EFBIG;
            break;
        }
        bytes.append(buffer, got);
    }
    ::close(fd);
    if (error != 0)
        bytes.clear();
    return error;
}

bool RunExport(AppState& state, const Messages& messages, AccountsPort& port, const QDateTime& now,
               const ExportPasswords& passwords) {
    messages.ShowStatus(kExportCommand);
    if (state.ExportPath.isEmpty())
        state.ExportPath = DefaultExportPath();
    const auto filter = messages.LoadStringResource(kExportFilterId);
    if (!filter)
        return false;
    const QString title = messages.LoadStringText(kExportTitleId);
    const QString extension = messages.LoadStringText(kExportExtensionId);
    const auto chosen = port.askSaveFileName(state.ExportPath, title, *filter, extension);
    if (!chosen || chosen->isEmpty())
        return false;
    state.ExportPath = *chosen;
    const QString path = *chosen;

    const ScopedWaitCursor wait(messages);
    BackupExportFile(path); // a failed copy does not stop the export
    const QByteArray bytes = BuildExportFile(
        state, path, FormatDateTimeText(now.isValid() ? now : QDateTime::currentDateTime()),
        passwords);
    if (const int error = WriteOwnerOnlyFile(path, bytes); error != 0) {
        messages.InfoBox(kTitleId, kOpenFailedId, {path, error});
        return false;
    }
    return true;
}

bool RunImport(AppState& state, const Messages& messages, AccountsPort& port,
               const SaveSettingsFn& saveSettings) {
    messages.ShowStatus(kImportCommand);
    if (!messages.YesNoBox(false, kImportCaptionId, kImportQuestionId))
        return false;
    if (state.ExportPath.isEmpty())
        state.ExportPath = DefaultExportPath();
    const auto filter = messages.LoadStringResource(kImportFilterId);
    if (!filter)
        return false;
    const QString title = messages.LoadStringText(kImportTitleId);
    const auto chosen = port.askOpenFileName(state.ExportPath, title, *filter);
    if (!chosen || chosen->isEmpty())
        return false;
    state.ExportPath = *chosen;
    const QString path = *chosen;

    const ScopedWaitCursor wait(messages);
    QByteArray bytes;
    const int error = ReadWholeFile(path, kMaxImportFileSize, bytes);
    if (error == EFBIG) {
        messages.InfoBox(kTitleId, kBadFileId, {path});
        return false;
    }
    if (error != 0) {
        messages.InfoBox(kTitleId, kOpenFailedId, {path, error});
        return false;
    }
    ImportParse parsed = ParseImportFile(bytes);
    if (!parsed.data) {
        messages.InfoBox(kTitleId, kBadFileId, {path});
        return false;
    }
    ApplyImport(state, std::move(*parsed.data));
    return saveSettings ? saveSettings(state) : true;
}

} // namespace tw
