#include "core/session/remote_tree.h"

#include "ftp/ftp_error.h"
#include "ftp/ftp_session.h"

#include <cerrno>
#include <optional>
#include <string>
#include <string_view>

namespace tw {

namespace {

struct RemoteEntry {
    QByteArray path;
    bool folder = false;
};

std::string_view view(const QByteArray& bytes) {
    return {bytes.constData(), std::size_t(bytes.size())};
}

QByteArray join(const QByteArray& folder, const std::string& name) {
    QByteArray path = folder;
    if (!path.endsWith('/'))
        path += '/';
    return path + QByteArray(name.data(), qsizetype(name.size()));
}

OpResult engineFailure(const ftp::RemoteSession& session) {
    const int code = session.lastError() != 0 ? session.lastError() : ftp::kErrExtendedError;
    return {code, QString::fromUtf8(session.lastResponse().data(),
                                    qsizetype(session.lastResponse().size()))};
}

// One folder's entries. The listing is read whole before anything is removed from it.
bool listFolder(ftp::RemoteSession& session, const QByteArray& folder,
                std::vector<RemoteEntry>& entries, std::vector<TreeFailure>& failures) {
    const QByteArray pattern = join(folder, "*");
    ftp::DirEntry e;
    bool ok = session.findFirstFile(view(pattern), e);
    if (!ok && session.lastError() != ftp::kErrNoMoreFiles) {
        failures.push_back({QString::fromUtf8(folder), engineFailure(session)});
        return false;
    }
    for (; ok; ok = session.findNextFile(e)) {
        if (e.name == "." || e.name == "..")
            continue;
        if (e.unsafeName) {
            failures.push_back({QString::fromUtf8(join(folder, e.name)), {EINVAL, {}}});
            continue;
        }
        const bool folderEntry = e.type == ftp::EntryType::Directory;
        entries.push_back({join(folder, e.name), folderEntry});
    }
    session.findClose();
    return true;
}

// Where the server really is after entering `path` (its PWD), or nothing when it cannot be
// entered.
std::optional<std::string> realFolder(ftp::RemoteSession& session, const QByteArray& path) {
    std::string real;
    if (!session.setCurrentDirectory(view(path)) || !session.getCurrentDirectory(real))
        return std::nullopt;
    while (real.size() > 1 && real.back() == '/')
        real.pop_back();
    return real;
}

bool inside(const std::string& child, const std::string& parent) {
    const std::string prefix = parent == "/" ? parent : parent + '/';
    return child.size() > prefix.size() && child.compare(0, prefix.size(), prefix) == 0;
}

// Depth first: `visit(entry)` for every entry, a folder's after its contents; false from
// visit stops the walk. A folder row whose real place (the PWD after entering it) is not
// inside its parent's is a link the listing showed as a folder: it is visited as a file, so
// it is removed and never followed. `enter(entry)` false skips a folder row altogether.
template <typename Enter, typename Visit>
bool walk(ftp::RemoteSession& session, const QByteArray& folder, const std::string& real,
          const std::atomic<bool>& stop, std::vector<TreeFailure>& failures, Enter&& enter,
          Visit&& visit) {
    std::vector<RemoteEntry> entries;
    if (!listFolder(session, folder, entries, failures))
        return session.isConnected();
    for (RemoteEntry& entry : entries) {
        if (stop || !session.isConnected())
            return false;
        if (entry.folder) {
            if (!enter(entry))
                continue; // gone already: a link the listing showed as a folder
            const std::optional<std::string> sub = realFolder(session, entry.path);
            if (sub && inside(*sub, real)) {
                if (!walk(session, entry.path, *sub, stop, failures, enter, visit))
                    return false;
            } else {
                entry.folder = false;
            }
        }
        if (!visit(entry))
            return false;
    }
    return true;
}

// Walks `path` and enters the session's folder again afterwards, since the walk changes it.
template <typename Enter, typename Visit>
bool walkTree(ftp::RemoteSession& session, const QByteArray& path, const std::atomic<bool>& stop,
              std::vector<TreeFailure>& failures, Enter&& enter, Visit&& visit) {
    std::string home;
    session.getCurrentDirectory(home);
    const std::optional<std::string> real = realFolder(session, path);
    bool whole = false;
    std::string base = home;
    while (base.size() > 1 && base.back() == '/')
        base.pop_back();
    if (!real)
        failures.push_back({QString::fromUtf8(path), engineFailure(session)});
    else if (home.empty() || inside(*real, base)) // a link shown as a folder is never walked
        whole = walk(session, path, *real, stop, failures, enter, visit);
    if (!home.empty() && session.isConnected())
        session.setCurrentDirectory(home);
    return whole;
}

} // namespace

TreeCount CountRemoteTree(ftp::RemoteSession& session, const QByteArray& path,
                          const std::atomic<bool>& stop) {
    TreeCount count;
    std::vector<TreeFailure> failures;
    const auto enter = [](const RemoteEntry&) { return true; };
    walkTree(session, path, stop, failures, enter, [&](const RemoteEntry& entry) {
        ++(entry.folder ? count.folders : count.files);
        return true;
    });
    if (!failures.empty())
        count.result = failures.front().result;
    return count;
}

TreeRemoval RemoveRemoteTree(ftp::RemoteSession& session, const QByteArray& path,
                             const std::atomic<bool>& stop) {
    TreeRemoval removal;
    std::vector<TreeFailure>& failures = removal.failures;
    // Some servers list a link to a folder as the folder itself, and their PWD inside it does
    // not tell either. DELE removes such a link but never a real folder, so each folder row is
    // tried with DELE before it is entered.
    const auto enter = [&](const RemoteEntry& entry) {
        if (!session.deleteFile(view(entry.path)))
            return true;
        ++removal.files;
        return false;
    };
    const bool whole =
        walkTree(session, path, stop, failures, enter, [&](const RemoteEntry& entry) {
            const bool ok = entry.folder ? session.removeDirectory(view(entry.path))
                                         : session.deleteFile(view(entry.path));
            if (ok)
                ++(entry.folder ? removal.folders : removal.files);
            else if (!stop)
                failures.push_back({QString::fromUtf8(entry.path), engineFailure(session)});
            return !stop.load();
        });
    if (whole && !stop) {
        if (session.removeDirectory(view(path)))
            ++removal.folders;
        else
            failures.push_back({QString::fromUtf8(path), engineFailure(session)});
    }
    return removal;
}

} // namespace tw
