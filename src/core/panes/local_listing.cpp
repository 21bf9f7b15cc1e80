#include "core/panes/local_listing.h"

#include "core/panes/entry_format.h"
#include "core/panes/hidden_rows.h"
#include "core/panes/local_paths.h"
#include "core/panes/local_system.h"
#include "core/panes/pane_sort.h"
#include "core/state/app_state.h"
#include "core/text/messages.h"
#include "ftp/wildcard.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace tw {

namespace {

struct DirCloser {
    void operator()(DIR* dir) const { ::closedir(dir); }
};

std::int64_t Seconds(const struct statx_timestamp& t) {
    return static_cast<std::int64_t>(t.tv_sec);
}

// Fills the search record of one name from the file system. False when the name vanished.
bool Examine(int dirFd, const char* name, unsigned char dType, FileEntry& entry) {
    struct statx sx {};
    const unsigned mask = STATX_BASIC_STATS | STATX_BTIME;
    int rc = ::statx(dirFd, name, AT_STATX_SYNC_AS_STAT, mask, &sx);
    if (rc != 0) {
        // A dangling link or a link loop: describe the link itself.
        rc = ::statx(dirFd, name, AT_STATX_SYNC_AS_STAT | AT_SYMLINK_NOFOLLOW, mask, &sx);
        if (rc != 0) {
            if (errno == ENOENT)
                return false;
            entry.isFolder = dType == DT_DIR;
            entry.findData.attributes = entry.isFolder ? kAttrDirectory : 0;
            return true;
        }
    }
    FindData& fd = entry.findData;
    entry.isFolder = S_ISDIR(sx.stx_mode);
    fd.attributes = 0;
    if (entry.isFolder)
        fd.attributes |= kAttrDirectory;
    if (!(sx.stx_mode & S_IWUSR))
        fd.attributes |= kAttrReadOnly;
    if (name[0] == '.' && std::strcmp(name, "..") != 0)
        fd.attributes |= kAttrHidden;
    fd.lastWriteTime = Seconds(sx.stx_mtime);
    fd.lastAccessTime = Seconds(sx.stx_atime);
    fd.creationTime = (sx.stx_mask & STATX_BTIME) ? Seconds(sx.stx_btime) : 0;
    fd.size = entry.isFolder ? 0 : sx.stx_size;
    return true;
}

} // namespace

LocalFolderRead ReadLocalFolder(const QByteArray& folder, const QString& mask,
                                const QString& exclude, const QStringList& drives) {
    LocalFolderRead out;
    const bool atRoot = folder == "/";
    const QByteArray pattern = mask.isEmpty() ? QByteArray("*.*") : mask.toUtf8();
    const std::string_view patternView(pattern.constData(), std::size_t(pattern.size()));
    const bool everything = pattern == "*.*" || pattern == "*";

    std::unique_ptr<DIR, DirCloser> dir(::opendir(folder.constData()));
    if (!dir) {
        out.error = errno;
        return out;
    }
    const int dirFd = ::dirfd(dir.get());
    for (;;) {
        errno = 0;
        const struct dirent* found = ::readdir(dir.get());
        if (!found) {
            out.error = errno;
            break;
        }
        const char* raw = found->d_name;
        const std::size_t length = std::strlen(raw);
        if (std::strcmp(raw, ".") == 0)
            continue;
        const bool parent = std::strcmp(raw, "..") == 0;
        if (parent && atRoot)
            continue;
        if (!everything && !ftp::WildcardMatch(patternView, std::string_view(raw, length)))
            continue;
        FileEntry entry;
        entry.name = QFile::decodeName(QByteArray::fromRawData(raw, qsizetype(length)));
        if (IsExcluded(exclude, entry.name))
            continue;
        if (!DecodesCleanly(raw, length))
            entry.findData.rawName.assign(raw, length);
        if (!Examine(dirFd, raw, found->d_type, entry))
            continue;
        CompleteEntry(entry);
        out.rows.push_back(std::move(entry));
    }
    if (atRoot) {
        for (const QString& drive : drives) {
            FileEntry entry;
            entry.name = drive;
            entry.isDrive = true;
            CompleteEntry(entry);
            out.rows.push_back(std::move(entry));
        }
    }
    return out;
}

bool ListLocalDirectory(AppState& state, const Messages& messages, LocalSystem& system) {
    PaneState& pane = state.local;
    pane.entries.clear();
    pane.entries.shrink_to_fit();
    pane.heldHidden.clear();
    pane.hasListing = false;
    const QByteArray folder = LocalPathBytes(pane);
    const QStringList drives = folder == "/" ? system.mountPoints() : QStringList();
    LocalFolderRead read = ReadLocalFolder(folder, pane.mask, pane.exclude, drives);
    if (read.error != 0)
        messages.ReportApiError(4523, read.error, false);
    if (state.options.ShowHidden == 0)
        pane.heldHidden = TakeHiddenRows(read.rows);
    if (read.rows.empty()) {
        // Nothing found: the view must not keep rows of the released listing.
        messages.port().refreshPane(PaneSide::Local);
        return false;
    }
    pane.entries = std::move(read.rows);
    pane.hasListing = true;
    pane.label = messages.FormatResource(9002, {pane.path}, kShortFormatLimit).value_or(pane.path);
    return SortAndShowPane(messages, state, pane, PaneSide::Local);
}

void ChangeLocalFolder(AppState& state, const Messages& messages, const QByteArray& folder) {
    const bool alert = state.options.AlertLevel != 0;
    if (::chdir(folder.constData()) != 0)
        messages.ReportApiError(4506, errno, alert);
    const QByteArray current = CurrentFolderBytes();
    if (current.isEmpty())
        messages.ReportApiError(4505, errno, alert);
    else
        SetLocalPathFromBytes(state.local, current);
}

bool NavigateLocal(AppState& state, const Messages& messages, LocalSystem& system, int row) {
    PaneState& pane = state.local;
    if (row < 0 || row >= pane.count())
        return false;
    ChangeLocalFolder(state, messages, LocalEntryBytes(pane, pane.entries[std::size_t(row)]));
    ListLocalDirectory(state, messages, system);
    return true;
}

} // namespace tw
