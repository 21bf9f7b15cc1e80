#pragma once

#include "core/panes/pane_state.h"
#include "core/ui_port.h"

#include <QString>

#include <cerrno>
#include <cstdint>
#include <vector>

namespace tw {

// The outcome of one file-system call: 0 or the error number (errno locally, the FTP
// engine's 12001-12174 remotely), and the server's last response for 12003.
struct OpResult {
    int code = 0;
    QString response;
    bool ok() const { return code == 0; }
};

// What a folder holds, all the way down (the folder itself not counted); `result` is the
// first failure to read it.
struct TreeCount {
    std::uint64_t files = 0;   // files and links (a link is removed, never followed)
    std::uint64_t folders = 0; // folders below it
    OpResult result;
};

// One entry a recursive delete could not remove.
struct TreeFailure {
    QString path;
    OpResult result;
};

// What a recursive delete removed (the folder itself among the folders) and what it could not.
struct TreeRemoval {
    std::uint64_t files = 0;
    std::uint64_t folders = 0;
    std::vector<TreeFailure> failures;
};

// The calls one pane makes on its file system, so that Make Directory, Rename and Delete are
// one flow for both panes. The local pane works on the disks, the remote pane on the FTP
// connection.
class PaneFileOps {
public:
    virtual ~PaneFileOps() = default;
    virtual PaneSide side() const = 0;
    // The full path of `name` in the pane's folder (shown in messages, handed to programs).
    virtual QString joinPath(const PaneState& pane, const QString& name) const = 0;
    virtual OpResult makeDirectory(const PaneState& pane, const QString& name) = 0;
    // Renames a row within the pane's folder; never replaces an existing entry.
    virtual OpResult rename(const PaneState& pane, const FileEntry& row,
                            const QString& newName) = 0;
    virtual OpResult removeFile(const PaneState& pane, const FileEntry& row) = 0;
    // Removes an empty folder; never recursive.
    virtual OpResult removeFolder(const PaneState& pane, const FileEntry& row) = 0;
    // Counts what a folder row holds. A link to a folder holds nothing: it is removed as a link.
    virtual TreeCount countFolder(const PaneState& pane, const FileEntry& row) = 0;
    // Removes a folder row with everything in it, deepest first. Links are removed, never
    // followed, so nothing outside the folder is touched. A failure is kept and the rest goes
    // on; a stop (stopRequested) ends it between two entries.
    virtual TreeRemoval removeTree(const PaneState& pane, const FileEntry& row) = 0;
    // True when Delete moves rows to the desktop's Trash instead of removing them.
    virtual bool usesTrash() const { return false; }
    // Moves a file or a whole folder to the Trash; fails where no Trash can take it (another
    // file system without a Trash of its own, a name the Trash cannot hold).
    virtual OpResult moveToTrash(const PaneState& pane, const FileEntry& row);
    // The user's Stop during a recursive delete.
    virtual bool stopRequested() const { return false; }
    // Lists the pane's folder again after a change.
    virtual void relist() = 0;
};

inline OpResult PaneFileOps::moveToTrash(const PaneState&, const FileEntry&) {
    return {EOPNOTSUPP, {}};
}

} // namespace tw
