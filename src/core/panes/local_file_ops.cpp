#include "core/panes/local_file_ops.h"

#include "core/panes/file_helpers.h"

#include "core/panes/local_listing.h"
#include "core/panes/local_paths.h"
#include "core/state/app_state.h"

#include <QFile>

#include <cerrno>
#include <cstdio>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace tw {

namespace {

// Renames without replacing: the kernel's no-replace rename, or a hard link for file systems
// without it (a link never replaces either).
int RenameNoReplace(const char* from, const char* to) {
    if (::renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE) == 0)
        return 0;
    const int error = errno;
    if (error != EINVAL && error != ENOSYS)
        return error;
    struct stat st {};
    if (::lstat(from, &st) != 0)
        return errno;
    if (S_ISDIR(st.st_mode)) {
        if (::lstat(to, &st) == 0)
            return EEXIST;
        return ::rename(from, to) == 0 ? 0 : errno;
    }
    if (::link(from, to) != 0)
        return errno;
    if (::unlink(from) != 0) {
        const int unlinkError = errno;
        ::unlink(to);
        return unlinkError;
    }
    return 0;
}

// Copies a regular file to a new file `to` (which must not exist), keeping its mode and
// times. A failed copy removes what it wrote.
int CopyNewFile(const char* from, const char* to, const struct stat& st) {
    UniqueFd in(::open(from, O_RDONLY | O_CLOEXEC));
    if (in.get() < 0)
        return errno;
    UniqueFd out(::open(to, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, st.st_mode & 07777));
    if (out.get() < 0)
        return errno;
    std::vector<char> buffer(1 << 16);
    int error = 0;
    for (;;) {
        const ssize_t n = ::read(in.get(), buffer.data(), buffer.size());
        if (n < 0) {
            if (errno == EINTR)
                continue;
            error = errno;
            break;
        }
        if (n == 0)
            break;
        ssize_t done = 0;
        while (done < n) {
            const ssize_t w = ::write(out.get(), buffer.data() + done, std::size_t(n - done));
            if (w < 0) {
                if (errno == EINTR)
                    continue;
                error = errno;
                break;
            }
            done += w;
        }
        if (error)
            break;
    }
    if (!error && ::fsync(out.get()) != 0)
        error = errno;
    if (!error) {
        const struct timespec times[2] = {st.st_atim, st.st_mtim};
        ::futimens(out.get(), times);
    }
    if (::close(out.release()) != 0 && !error)
        error = errno;
    if (error)
        ::unlink(to);
    return error;
}

} // namespace

int MoveLocalPath(const QByteArray& from, const QByteArray& to) {
    const int error = RenameNoReplace(from.constData(), to.constData());
    if (error != EXDEV)
        return error;
    struct stat st {};
    if (::lstat(from.constData(), &st) != 0)
        return errno;
    if (::lstat(to.constData(), &st) == 0)
        return EEXIST;
    if (::lstat(from.constData(), &st) != 0)
        return errno;
    if (S_ISDIR(st.st_mode))
        return EXDEV;
    if (S_ISLNK(st.st_mode)) {
        std::vector<char> target(std::size_t(st.st_size) + 1 + 4096);
        const ssize_t n = ::readlink(from.constData(), target.data(), target.size() - 1);
        if (n < 0)
            return errno;
        target[std::size_t(n)] = '\0';
        if (::symlink(target.data(), to.constData()) != 0)
            return errno;
    } else if (S_ISREG(st.st_mode)) {
        if (const int copyError = CopyNewFile(from.constData(), to.constData(), st))
            return copyError;
    } else {
        return EXDEV;
    }
    // The copy is complete: only now the original goes.
    if (::unlink(from.constData()) != 0)
        return errno;
    return 0;
}

LocalFileOps::LocalFileOps(AppState& state, const Messages& messages, LocalSystem& system)
    : m_state(state), m_messages(messages), m_system(system) {}

QString LocalFileOps::joinPath(const PaneState& pane, const QString& name) const {
    return JoinLocalPath(pane.path, name);
}

OpResult LocalFileOps::makeDirectory(const PaneState& pane, const QString& name) {
    const QByteArray path = JoinLocalPath(LocalPathBytes(pane), QFile::encodeName(name));
    if (::mkdir(path.constData(), 0777) != 0)
        return {errno, {}};
    return {};
}

OpResult LocalFileOps::rename(const PaneState& pane, const FileEntry& row, const QString& newName) {
    if (row.isDrive)
        return {ENOENT, {}}; // a mount point is never renamed
    const QByteArray folder = LocalPathBytes(pane);
    const QByteArray from = JoinLocalPath(folder, EntryNameBytes(row));
    const QByteArray to = JoinLocalPath(folder, QFile::encodeName(newName));
    return {RenameNoReplace(from.constData(), to.constData()), {}};
}

OpResult LocalFileOps::removeFile(const PaneState& pane, const FileEntry& row) {
    if (row.isDrive)
        return {ENOENT, {}};
    const QByteArray path = LocalEntryBytes(pane, row);
    if (::unlink(path.constData()) != 0)
        return {errno, {}};
    return {};
}

bool LocalFileOps::usesTrash() const {
    return m_state.options.UseTrash != 0;
}

OpResult LocalFileOps::moveToTrash(const PaneState& pane, const FileEntry& row) {
    if (row.isDrive || row.isParent)
        return {EINVAL, {}};
    const QByteArray path = LocalEntryBytes(pane, row);
    // The Trash takes names as text: one that does not decode back to its bytes cannot go.
    const QString name = QFile::decodeName(path);
    if (QFile::encodeName(name) != path)
        return {EILSEQ, {}};
    if (!QFile::moveToTrash(name))
        return {EXDEV, {}};
    return {};
}

OpResult LocalFileOps::removeFolder(const PaneState& pane, const FileEntry& row) {
    if (row.isDrive)
        return {ENOENT, {}};
    const QByteArray path = LocalEntryBytes(pane, row);
    // A link to a folder is removed as the link; its target stays untouched.
    struct stat st {};
    if (::lstat(path.constData(), &st) == 0 && S_ISLNK(st.st_mode))
        return {::unlink(path.constData()) == 0 ? 0 : errno, {}};
    if (::rmdir(path.constData()) != 0)
        return {errno, {}};
    return {};
}

namespace {

bool isLink(const QByteArray& path) {
    struct stat st {};
    return ::lstat(path.constData(), &st) == 0 && S_ISLNK(st.st_mode);
}

// Walks a folder's entries depth first without following links; `visit(path, isFolder)` is
// called for every entry, a folder's after its contents. Returns the first failure to open a
// folder (0 none); the walk goes on with the rest.
template <typename Visit>
int walkLocal(const QByteArray& folder, dev_t device, Visit&& visit) {
    DIR* dir = ::opendir(folder.constData());
    if (!dir)
        return errno;
    std::vector<std::pair<QByteArray, bool>> entries;
    while (const dirent* e = ::readdir(dir)) {
        const QByteArray name(e->d_name);
        if (name == "." || name == "..")
            continue;
        const QByteArray path = folder + '/' + name;
        struct stat st {};
        const bool folderEntry = ::lstat(path.constData(), &st) == 0 && S_ISDIR(st.st_mode);
        entries.emplace_back(path, folderEntry && st.st_dev == device);
    }
    ::closedir(dir);
    int first = 0;
    for (const auto& [path, sub] : entries) {
        if (sub)
            if (const int err = walkLocal(path, device, visit); err != 0 && first == 0)
                first = err;
        if (!visit(path, sub))
            break;
    }
    return first;
}

dev_t deviceOf(const QByteArray& path) {
    struct stat st {};
    return ::lstat(path.constData(), &st) == 0 ? st.st_dev : 0;
}

} // namespace

TreeCount CountLocalTree(const QByteArray& path) {
    TreeCount count;
    if (isLink(path))
        return count;
    count.result.code = walkLocal(path, deviceOf(path), [&](const QByteArray&, bool folder) {
        ++(folder ? count.folders : count.files);
        return true;
    });
    return count;
}

TreeRemoval RemoveLocalTree(const QByteArray& path) {
    TreeRemoval removal;
    std::vector<TreeFailure>& failures = removal.failures;
    const auto remove = [&](const QByteArray& entry, bool folder) {
        if ((folder ? ::rmdir(entry.constData()) : ::unlink(entry.constData())) != 0)
            failures.push_back({QString::fromLocal8Bit(entry), {errno, {}}});
        else
            ++(folder ? removal.folders : removal.files);
        return true;
    };
    if (!isLink(path))
        if (const int err = walkLocal(path, deviceOf(path), remove); err != 0)
            failures.push_back({QString::fromLocal8Bit(path), {err, {}}});
    if (isLink(path) ? ::unlink(path.constData()) != 0 : ::rmdir(path.constData()) != 0)
        failures.push_back({QString::fromLocal8Bit(path), {errno, {}}});
    else
        ++removal.folders;
    return removal;
}

TreeCount LocalFileOps::countFolder(const PaneState& pane, const FileEntry& row) {
    if (row.isDrive)
        return {0, 0, {ENOENT, {}}};
    return CountLocalTree(LocalEntryBytes(pane, row));
}

TreeRemoval LocalFileOps::removeTree(const PaneState& pane, const FileEntry& row) {
    if (row.isDrive)
        return {0, 0, {{row.name, {ENOENT, {}}}}};
    return RemoveLocalTree(LocalEntryBytes(pane, row));
}

void LocalFileOps::relist() {
    ListLocalDirectory(m_state, m_messages, m_system);
}

} // namespace tw
