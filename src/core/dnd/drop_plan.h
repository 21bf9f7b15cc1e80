#pragma once

#include "core/panes/pane_state.h"
#include "core/ui_port.h"

#include <QByteArray>

namespace tw {

// Where a drag comes from: one of the window's panes, or another program (a file manager).
enum class DragSource { LocalPane, RemotePane, Desktop };

// What a drop does.
enum class DropAction {
    None,         // a pane onto itself: nothing
    Download,     // remote rows into a local folder, through the transfer queue
    Upload,       // local rows into a remote folder, through the transfer queue
    UploadFiles,  // the desktop's files into a remote folder, through the transfer queue
    CopyFiles,    // the desktop's files into a local folder, by the local copy worker
    NotConnected, // onto the remote pane with no session: a message
};

// Which folder of the target pane receives the drop.
enum class DropFolder { Current, Row, Parent };

struct DropPlan {
    DropAction action = DropAction::None;
    DropFolder folder = DropFolder::Current;
    bool operator==(const DropPlan&) const = default;
};

// The decision table: the source, the pane dropped on, the row under the drop (nullptr for
// none) and whether a session is up. A folder row (a drive row too) receives the drop, ".."
// sends it to the parent folder, any other row or none to the pane's folder.
DropPlan PlanDrop(DragSource source, PaneSide target, const FileEntry* row, bool connected);

// The parent of a remote folder given as bytes ("/a/b" gives "/a", "/a" gives "/").
QByteArray RemoteParentFolder(const QByteArray& folder);
// The parent of a local folder.
QByteArray LocalParentFolder(const QByteArray& folder);

} // namespace tw
