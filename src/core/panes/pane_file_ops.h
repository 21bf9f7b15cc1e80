#pragma once

#include "core/panes/pane_state.h"
#include "core/ui_port.h"

#include <QString>

namespace tw {

// The outcome of one file-system call: 0 or the error number (errno locally, the FTP
// engine's 12001-12174 remotely), and the server's last response for 12003.
struct OpResult {
    int code = 0;
    QString response;
    bool ok() const { return code == 0; }
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
    // Lists the pane's folder again after a change.
    virtual void relist() = 0;
};

} // namespace tw
