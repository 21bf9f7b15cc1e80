#include "queue/folder_walk.h"

#include "ftp/ftp_error.h"
#include "ftp/ftp_session.h"
#include "ftp/name_safety.h"
#include "queue/queue_paths.h"
#include "queue/resumable_copy.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <set>
#include <sys/stat.h>
#include <utility>

namespace tw::queue {

namespace {

using tw::ftp::DirEntry;
using tw::ftp::EntryType;
using tw::ftp::RemoteSession;

// A folder still to be listed.
struct Pending {
    std::string source;
    std::string destination;
    std::string real; // remote: the folder's real path; local: unused
    int depth = 0;
    std::vector<std::uint64_t> above; // remote over MLSD: the listing signatures of its parents
};

// Collects the rows: folders first (in the order they were found, so parents come before
// children), then files, skipped and failed entries.
class Rows {
public:
    explicit Rows(const TransferItem& tree) : m_tree(tree) {}

    TransferItem row(ItemKind kind, std::string source, std::string destination) const {
        TransferItem item;
        item.group = m_tree.group;
        item.direction = m_tree.direction;
        item.kind = kind;
        const bool down = m_tree.direction == Direction::Download;
        item.remotePath = down ? std::move(source) : std::move(destination);
        item.localPath = down ? std::move(destination) : std::move(source);
        return item;
    }
    void folder(std::string source, std::string destination) {
        m_folders.push_back(row(ItemKind::Folder, std::move(source), std::move(destination)));
    }
    void file(std::string source, std::string destination, std::uint64_t size, std::int64_t time) {
        TransferItem item = row(ItemKind::File, std::move(source), std::move(destination));
        item.size = size;
        item.listedTime = time;
        m_others.push_back(std::move(item));
    }
    void leftOut(ItemState state, bool isFolder, std::string source, std::string destination,
                 std::string reason, std::uint64_t size = 0, int code = 0) {
        TransferItem item = row(isFolder ? ItemKind::Folder : ItemKind::File, std::move(source),
                                std::move(destination));
        item.state = state;
        item.error = std::move(reason);
        item.errorCode = code;
        item.size = size;
        m_others.push_back(std::move(item));
    }
    // An entry that is neither a file nor a folder, or that the filter leaves out, becomes a
    // Skipped row; true when the walk takes it.
    bool admitted(const WalkEntry& w, bool fileOrFolder, const WalkFilter& filter) {
        if (!fileOrFolder) {
            leftOut(ItemState::Skipped, false, w.sourcePath, w.destinationPath,
                    "not a file or a folder");
            return false;
        }
        if (const auto reason = filter ? filter(w) : DefaultWalkFilter(w)) {
            leftOut(ItemState::Skipped, w.folder, w.sourcePath, w.destinationPath, *reason, w.size);
            return false;
        }
        return true;
    }
    // The folder row of a folder that cannot be listed becomes a Failed row (or Skipped).
    void failFolder(const std::string& source, std::string reason, int code,
                    ItemState state = ItemState::Failed) {
        const bool down = m_tree.direction == Direction::Download;
        for (auto it = m_folders.rbegin(); it != m_folders.rend(); ++it)
            if ((down ? it->remotePath : it->localPath) == source) {
                it->state = state;
                it->error = std::move(reason);
                it->errorCode = code;
                return;
            }
    }
    std::vector<TransferItem> take() {
        std::vector<TransferItem> all = std::move(m_folders);
        all.reserve(all.size() + m_others.size());
        for (auto& item : m_others)
            all.push_back(std::move(item));
        return all;
    }

private:
    const TransferItem& m_tree;
    std::vector<TransferItem> m_folders;
    std::vector<TransferItem> m_others;
};

WalkResult engineFailure(const RemoteSession& session, const std::atomic<bool>& stop,
                         const std::string& what) {
    WalkResult r;
    r.stopped = stop.load();
    r.errorCode = session.lastError();
    r.error = what + ": " + EngineErrorText(session);
    r.retryable = !r.stopped && IsConnectionFailure(r.errorCode, session.lastResponse());
    return r;
}

bool connectionGone(const RemoteSession& session) {
    return !session.isConnected() ||
           IsConnectionFailure(session.lastError(), session.lastResponse()) ||
           session.lastError() == tw::ftp::kErrOperationCancelled;
}

// Every entry of a remote folder; false when it could not be listed.
bool listRemote(RemoteSession& session, const std::string& folder, std::vector<DirEntry>& entries) {
    entries.clear();
    DirEntry entry;
    bool ok = session.findFirstFile(JoinPath(folder, "*"), entry);
    if (!ok && session.lastError() != tw::ftp::kErrNoMoreFiles)
        return false;
    for (; ok; ok = session.findNextFile(entry))
        entries.push_back(entry);
    session.findClose();
    return true;
}

} // namespace

std::uint64_t ListingSignature(const std::vector<DirEntry>& entries) {
    // FNV-1a of each entry, summed so the order of the listing does not matter.
    std::uint64_t sum = 0;
    for (const DirEntry& e : entries) {
        if (e.name == "." || e.name == "..")
            continue;
        std::uint64_t h = 1469598103934665603ULL;
        const auto mix = [&h](const void* data, std::size_t size) {
            const auto* p = static_cast<const unsigned char*>(data);
            for (std::size_t i = 0; i < size; ++i)
                h = (h ^ p[i]) * 1099511628211ULL;
        };
        mix(e.name.data(), e.name.size());
        const int type = int(e.type);
        mix(&type, sizeof type);
        mix(&e.size, sizeof e.size);
        mix(&e.lastWriteTime, sizeof e.lastWriteTime);
        sum += h;
    }
    return sum;
}

std::optional<std::string> DefaultWalkFilter(const WalkEntry& entry) {
    if (entry.direction == Direction::Download) {
        if (entry.unsafeName || !tw::ftp::IsSafeLocalName(entry.name))
            return std::string("the name cannot be used for a local file");
    } else if (!tw::ftp::IsSendableArgument(entry.name) || entry.name.empty()) {
        return std::string("the name cannot be sent to the server");
    }
    return std::nullopt;
}

WalkResult WalkRemoteTree(RemoteSession& session, const TransferItem& tree,
                          const WalkFilter& filter, const std::atomic<bool>& stop) {
    Rows rows(tree);
    std::string rootReal;
    if (!session.setCurrentDirectory(tree.remotePath) || !session.getCurrentDirectory(rootReal)) {
        // A link the user chose that CWD does not enter leads to a file: it is copied as one.
        if (tree.link && !connectionGone(session) && !stop.load()) {
            rows.file(tree.remotePath, tree.localPath, 0, 0);
            WalkResult r;
            r.ok = true;
            r.items = rows.take();
            return r;
        }
        return engineFailure(session, stop, "cannot open the folder " + tree.remotePath);
    }
    std::set<std::string> visited{rootReal};
    rows.folder(tree.remotePath, tree.localPath);
    std::vector<Pending> pending{{tree.remotePath, tree.localPath, rootReal, 0, {}}};
    // Links wait until every folder was listed, so a link never takes the place of the folder
    // it leads to.
    struct Link {
        WalkEntry entry;
        int depth;
        std::vector<std::uint64_t> above;
    };
    std::vector<Link> links;
    std::size_t nextLink = 0;
    std::vector<DirEntry> entries;
    bool first = true;
    while (!pending.empty() || nextLink < links.size()) {
        if (stop.load())
            return WalkResult{false, true, false, tw::ftp::kErrOperationCancelled, {}, {}};
        if (pending.empty()) {
            const Link& link = links[nextLink++];
            const WalkEntry& w = link.entry;
            const int depth = link.depth;
            std::string real;
            // Only entering it tells a link to a folder from a link to a file.
            if (!session.setCurrentDirectory(w.sourcePath) || !session.getCurrentDirectory(real)) {
                if (connectionGone(session))
                    return engineFailure(session, stop, "cannot open " + w.sourcePath);
                // A link's listed size and time are its own, not its file's.
                rows.file(w.sourcePath, w.destinationPath, 0, 0);
            } else if (!visited.insert(real).second) {
                rows.leftOut(ItemState::Skipped, true, w.sourcePath, w.destinationPath,
                             "a link to a folder that is copied already");
            } else if (depth > kMaxWalkDepth) {
                rows.leftOut(ItemState::Failed, true, w.sourcePath, w.destinationPath,
                             "the folders are nested too deeply");
            } else {
                rows.folder(w.sourcePath, w.destinationPath);
                pending.push_back({w.sourcePath, w.destinationPath, real, depth, link.above});
            }
            continue;
        }
        const Pending dir = std::move(pending.back());
        pending.pop_back();
        if (!listRemote(session, dir.source, entries)) {
            if (first || connectionGone(session))
                return engineFailure(session, stop, "cannot list the folder " + dir.source);
            rows.failFolder(dir.source, "cannot list the folder: " + EngineErrorText(session),
                            session.lastError());
            continue;
        }
        first = false;
        std::vector<std::uint64_t> above;
        if (session.exactListings() && dir.depth > 0) {
            const std::uint64_t signature = ListingSignature(entries);
            if (std::find(dir.above.begin(), dir.above.end(), signature) != dir.above.end()) {
                rows.failFolder(dir.source, "seems to be a link back to a folder above it", 0,
                                ItemState::Skipped);
                continue;
            }
            above = dir.above;
            above.push_back(signature);
        } else if (session.exactListings()) {
            above.push_back(ListingSignature(entries));
        }
        std::vector<Pending> below;
        for (const DirEntry& e : entries) {
            if (e.name == "." || e.name == ".." || IsUploadTemporaryName(e.name))
                continue;
            WalkEntry w;
            w.direction = Direction::Download;
            w.name = e.name;
            w.sourcePath = JoinPath(dir.source, e.name);
            w.destinationPath = JoinPath(dir.destination, e.name);
            w.unsafeName = e.unsafeName;
            w.size = e.size;
            w.time = e.lastWriteTime;
            w.folder = e.type == EntryType::Directory;
            w.link = e.type == EntryType::Link;
            if (!rows.admitted(w, e.type != EntryType::Other, filter))
                continue;
            if (w.link) {
                links.push_back({std::move(w), dir.depth + 1, above});
                continue;
            }
            if (!w.folder) {
                rows.file(w.sourcePath, w.destinationPath, w.size, w.time);
                continue;
            }
            std::string real = JoinPath(dir.real, e.name);
            if (!visited.insert(real).second) {
                rows.leftOut(ItemState::Skipped, true, w.sourcePath, w.destinationPath,
                             "a link to a folder that is copied already");
                continue;
            }
            if (dir.depth + 1 > kMaxWalkDepth) {
                rows.leftOut(ItemState::Failed, true, w.sourcePath, w.destinationPath,
                             "the folders are nested too deeply");
                continue;
            }
            rows.folder(w.sourcePath, w.destinationPath);
            below.push_back(
                {w.sourcePath, w.destinationPath, std::move(real), dir.depth + 1, above});
        }
        // Listed in the order found: the stack takes them back to front.
        for (auto it = below.rbegin(); it != below.rend(); ++it)
            pending.push_back(std::move(*it));
    }
    WalkResult r;
    r.ok = true;
    r.items = rows.take();
    return r;
}

namespace {

// A local folder reached through a symbolic link, walked after the real folders.
struct LocalLink {
    WalkEntry entry;
    std::pair<dev_t, ino_t> identity;
    int depth = 0;
};

} // namespace

WalkResult WalkLocalTree(const TransferItem& tree, const WalkFilter& filter,
                         const std::atomic<bool>& stop) {
    Rows rows(tree);
    struct stat rootStat {};
    const int rootError = ::stat(tree.localPath.c_str(), &rootStat) != 0 ? errno
                          : S_ISDIR(rootStat.st_mode)                    ? 0
                                                                         : ENOTDIR;
    if (rootError != 0)
        return WalkResult{false,
                          false,
                          false,
                          0,
                          "cannot open the folder " + tree.localPath + ": " +
                              std::strerror(rootError),
                          {}};
    std::set<std::pair<dev_t, ino_t>> visited{{rootStat.st_dev, rootStat.st_ino}};
    rows.folder(tree.localPath, tree.remotePath);
    std::vector<Pending> pending{{tree.localPath, tree.remotePath, {}, 0, {}}};
    std::vector<LocalLink> links;
    std::size_t nextLink = 0;
    bool first = true;
    // A folder to enter, unless it was entered already or lies too deep.
    const auto enter = [&](const WalkEntry& w, std::pair<dev_t, ino_t> identity, int depth,
                           std::vector<Pending>& into) {
        if (!visited.insert(identity).second)
            rows.leftOut(ItemState::Skipped, true, w.sourcePath, w.destinationPath,
                         "a link to a folder that is copied already");
        else if (depth > kMaxWalkDepth)
            rows.leftOut(ItemState::Failed, true, w.sourcePath, w.destinationPath,
                         "the folders are nested too deeply");
        else {
            rows.folder(w.sourcePath, w.destinationPath);
            into.push_back({w.sourcePath, w.destinationPath, {}, depth, {}});
        }
    };
    while (!pending.empty() || nextLink < links.size()) {
        if (stop.load())
            return WalkResult{false, true, false, tw::ftp::kErrOperationCancelled, {}, {}};
        if (pending.empty()) {
            const LocalLink& link = links[nextLink++];
            enter(link.entry, link.identity, link.depth, pending);
            continue;
        }
        const Pending dir = std::move(pending.back());
        pending.pop_back();
        DIR* handle = ::opendir(dir.source.c_str());
        if (!handle) {
            const std::string why = std::strerror(errno);
            if (first)
                return WalkResult{
                    false, false, false, 0, "cannot open the folder " + dir.source + ": " + why,
                    {}};
            rows.failFolder(dir.source, "cannot open the folder: " + why, 0);
            continue;
        }
        first = false;
        std::vector<std::string> names;
        while (const dirent* d = ::readdir(handle)) {
            const std::string_view name(d->d_name);
            if (name != "." && name != ".." && !IsDownloadPartialName(name))
                names.emplace_back(name);
        }
        ::closedir(handle);
        std::vector<Pending> below;
        for (const std::string& name : names) {
            WalkEntry w;
            w.direction = Direction::Upload;
            w.name = name;
            w.sourcePath = JoinPath(dir.source, name);
            w.destinationPath = JoinPath(dir.destination, name);
            struct stat st {};
            if (::lstat(w.sourcePath.c_str(), &st) != 0) {
                rows.leftOut(ItemState::Failed, false, w.sourcePath, w.destinationPath,
                             std::string("cannot read it: ") + std::strerror(errno));
                continue;
            }
            w.link = S_ISLNK(st.st_mode);
            if (w.link && ::stat(w.sourcePath.c_str(), &st) != 0) {
                rows.leftOut(ItemState::Skipped, false, w.sourcePath, w.destinationPath,
                             "a link to nothing");
                continue;
            }
            w.folder = S_ISDIR(st.st_mode);
            w.size = w.folder ? 0 : std::uint64_t(st.st_size);
            w.time = std::int64_t(st.st_mtim.tv_sec);
            if (!rows.admitted(w, w.folder || S_ISREG(st.st_mode), filter))
                continue;
            if (!w.folder)
                rows.file(w.sourcePath, w.destinationPath, w.size, w.time);
            else if (w.link)
                links.push_back({std::move(w), {st.st_dev, st.st_ino}, dir.depth + 1});
            else
                enter(w, {st.st_dev, st.st_ino}, dir.depth + 1, below);
        }
        for (auto it = below.rbegin(); it != below.rend(); ++it)
            pending.push_back(std::move(*it));
    }
    WalkResult r;
    r.ok = true;
    r.items = rows.take();
    return r;
}

} // namespace tw::queue
