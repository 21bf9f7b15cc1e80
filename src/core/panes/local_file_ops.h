#pragma once

#include "core/panes/pane_file_ops.h"

#include <QByteArray>

namespace tw {

class LocalSystem;
class Messages;
struct AppState;

// Moves a file or folder without ever replacing an existing destination. Across file systems
// a file (or symbolic link) is copied and the original removed only after the copy is
// complete; a folder cannot leave its file system (EXDEV). Returns 0 or the errno value.
int MoveLocalPath(const QByteArray& from, const QByteArray& to);

// Counts what the local folder `path` holds, without following links.
TreeCount CountLocalTree(const QByteArray& path);
// Removes the local folder `path` with everything in it, deepest first; links are unlinked,
// never followed, and no other file system is entered.
TreeRemoval RemoveLocalTree(const QByteArray& path);

// The local pane's file-system calls.
class LocalFileOps : public PaneFileOps {
public:
    LocalFileOps(AppState& state, const Messages& messages, LocalSystem& system);

    PaneSide side() const override { return PaneSide::Local; }
    QString joinPath(const PaneState& pane, const QString& name) const override;
    OpResult makeDirectory(const PaneState& pane, const QString& name) override;
    OpResult rename(const PaneState& pane, const FileEntry& row, const QString& newName) override;
    OpResult removeFile(const PaneState& pane, const FileEntry& row) override;
    OpResult removeFolder(const PaneState& pane, const FileEntry& row) override;
    TreeCount countFolder(const PaneState& pane, const FileEntry& row) override;
    TreeRemoval removeTree(const PaneState& pane, const FileEntry& row) override;
    bool usesTrash() const override;
    OpResult moveToTrash(const PaneState& pane, const FileEntry& row) override;
    void relist() override;

private:
    AppState& m_state;
    const Messages& m_messages;
    LocalSystem& m_system;
};

} // namespace tw
