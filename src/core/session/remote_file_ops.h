#pragma once

#include "core/panes/pane_file_ops.h"
#include "core/panes/pane_operations.h"

namespace tw {

class SessionController;

// The remote pane's file calls for the shared Make Directory, Rename and Delete flows: each
// goes through the FTP session, and a change lists the server's folder again.
class RemoteFileOps : public PaneFileOps {
public:
    explicit RemoteFileOps(SessionController& session) : m_session(session) {}

    PaneSide side() const override { return PaneSide::Remote; }
    QString joinPath(const PaneState& pane, const QString& name) const override;
    OpResult makeDirectory(const PaneState& pane, const QString& name) override;
    OpResult rename(const PaneState& pane, const FileEntry& row, const QString& newName) override;
    OpResult removeFile(const PaneState& pane, const FileEntry& row) override;
    OpResult removeFolder(const PaneState& pane, const FileEntry& row) override;
    // On the session's worker (see RemoteDelete).
    TreeCount countFolder(const PaneState& pane, const FileEntry& row) override;
    TreeRemoval removeTree(const PaneState& pane, const FileEntry& row) override;
    bool stopRequested() const override;
    void relist() override;

private:
    SessionController& m_session;
};

// Remote Delete: the shared Delete flow on the session's worker, so that a folder with
// thousands of files never holds the window; Stop ends it between two commands, and the
// folder is listed again when something was removed.
bool RemoteDelete(const PaneContext& context, SessionController& session,
                  const std::vector<int>& selection);

// Remote Properties: the first selected row in the Properties dialog with the site and the
// remote folder; no selection only beeps.
bool ShowRemoteProperties(const PaneContext& context, const std::vector<int>& selection);

} // namespace tw
