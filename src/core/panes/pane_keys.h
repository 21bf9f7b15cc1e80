#pragma once

#include "core/panes/pane_state.h"
#include "core/ui_port.h"

#include <functional>
#include <vector>

namespace tw {

// What Enter does in a pane.
enum class EnterAction {
    None,
    OpenRow,  // as a double-click on the row: a folder, drive or link is opened
    EditFile, // the Edit command on the local selection, as the Enter key always did
};

// Enter on `row` (the view's current row, or -1): a local folder, drive or ".." opens, a local
// file (or no current row) is edited; every remote row goes to the remote double-click, which
// enters folders and links.
EnterAction EnterActionFor(const PaneState& pane, PaneSide side, int row);

// True when F2 may rename `row`: a row of the pane other than "..".
bool CanRenameRow(const PaneState& pane, int row);

// The ".." row that Backspace opens, or -1 when the pane has none.
int ParentRowOf(const PaneState& pane);

// The rows Select All selects: every row `shown` accepts, the ".." row never.
std::vector<int> SelectAllRows(const PaneState& pane, const std::function<bool(int)>& shown);

} // namespace tw
