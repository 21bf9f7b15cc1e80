#pragma once

#include "core/dnd/drop_plan.h"
#include "core/dnd/local_copy.h"
#include "core/state/app_runtime.h"
#include "core/state/app_state.h"

#include <QByteArray>
#include <QTemporaryDir>

#include <functional>
#include <memory>
#include <vector>

namespace tw {

class Messages;
class SessionController;
class TransferController;

// What a drop on a pane does (PlanDrop), carried out: rows of the other pane and the desktop's
// files onto the remote pane are queued uploads, onto the local pane queued downloads or a
// copy by the local copy worker; remote rows dragged out of the window are downloaded into a
// temporary folder whose files the drag then offers.
class DropController {
public:
    struct Hooks {
        // Lists the local pane again (the end of a local copy).
        std::function<void()> relistLocal;
    };

    DropController(AppState& state, AppRuntime& runtime, const Messages& messages,
                   SessionController& session, TransferController& transfers, Hooks hooks);
    DropController(const DropController&) = delete;
    DropController& operator=(const DropController&) = delete;

    // `rows`: the dragged rows of pane `from` (indices into its rows); `targetRow` the row of
    // `target` under the drop, or -1. False when nothing was started.
    bool DropRows(PaneSide from, const std::vector<int>& rows, PaneSide target, int targetRow);
    // A text/uri-list from another program.
    bool DropUriList(const QByteArray& uriList, PaneSide target, int targetRow);
    // Remote rows dragged out of the window: queued for a temporary folder; the local paths
    // they will have (empty when nothing could be queued).
    std::vector<QByteArray> DownloadForDrag(const std::vector<int>& rows);

    // The paths of local rows (a drag out of the local pane).
    std::vector<QByteArray> LocalRowPaths(const std::vector<int>& rows) const;

    bool copying() const { return m_copy.running(); }
    // Waits for the local copy's thread (tests, shutdown).
    void waitForCopy() { m_copy.wait(); }

private:
    QByteArray targetFolder(PaneSide target, DropFolder folder, int targetRow) const;
    const FileEntry* rowOf(PaneSide side, int row) const;
    bool copyFiles(std::vector<QByteArray> paths, const QByteArray& folder);
    void copyEnded(const LocalCopyOutcome& outcome, const QByteArray& folder);

    AppState& m_state;
    AppRuntime& m_runtime;
    const Messages& m_messages;
    SessionController& m_session;
    TransferController& m_transfers;
    Hooks m_hooks;
    // The downloads of drags out of the window, one folder each.
    std::vector<std::unique_ptr<QTemporaryDir>> m_dragFolders;
    LocalCopyJob m_copy; // last: stopped and joined first
};

} // namespace tw
