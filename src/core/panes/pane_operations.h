#pragma once

#include "core/panes/pane_file_ops.h"
#include "core/panes/pane_port.h"

#include <QString>

#include <vector>

namespace tw {

class Messages;
struct AppState;

// What the pane operations work with: the state, the message helpers (with the UI port) and
// the pane questions.
struct PaneContext {
    AppState& state;
    const Messages& messages;
    PanePort& port;
};

// The characters a typed name may not contain: \ / ? * | < > : and the double quote.
const QString& ForbiddenNameCharacters();
// True when `name` holds one of the forbidden characters.
bool HasForbiddenCharacter(const QString& name);

// The pane a side names.
PaneState& PaneOf(AppState& state, PaneSide side);

// Make Directory for either pane: asks for a name until it is valid and the folder was created
// or the user cancels; lists the pane again after a success. True when a folder was made.
bool MakeDirectory(const PaneContext& context, PaneFileOps& ops);

// Rename for either pane: renames the first selected row (`selection` holds row indexes);
// nothing selected → beep. Same loop as MakeDirectory. True when renamed.
bool RenameEntry(const PaneContext& context, PaneFileOps& ops, const std::vector<int>& selection);

// Delete for either pane: asks for each selected row in row order (Yes, Yes to All, No,
// Cancel), removes files and empty folders, reports each failure and goes on; lists the pane
// again when something was removed. Returns the number of rows removed. Where the pane uses
// the Trash a row goes there whole, folders included; a row the Trash cannot take is deleted
// for good only after a question of its own (a folder then as without the Trash).
int DeleteEntries(const PaneContext& context, PaneFileOps& ops, const std::vector<int>& selection);

// The question of the Delete confirmation for one row; with `toTrash` it asks about moving the
// row to the Trash.
DeleteRequest MakeDeleteRequest(const Messages& messages, PaneSide side, const FileEntry& row,
                                bool multiple, bool toTrash = false);

// The Properties dialog's texts for one row.
PropertiesData MakePropertiesData(const FileEntry& row, const QString& site,
                                  const QString& location);

} // namespace tw
