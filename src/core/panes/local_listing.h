#pragma once

#include "core/panes/pane_state.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <vector>

namespace tw {

class LocalSystem;
class Messages;
struct AppState;

// The rows of one local folder before sorting.
struct LocalFolderRead {
    std::vector<FileEntry> rows;
    int error = 0; // errno when the folder could not be opened or read to its end
};

// Reads a local folder: every name matching `mask` (Windows wildcard rules; empty = all) and
// not excluded, hidden names included, "." left out, ".." left out at "/". At "/" one drive
// row follows per mount point in `drives`. Entries that vanish while read are left out; entries
// that cannot be examined (symlink loops, dangling links) are listed as files.
LocalFolderRead ReadLocalFolder(const QByteArray& folder, const QString& mask,
                                const QString& exclude, const QStringList& drives);

// Rebuilds the local pane for its path, mask and exclude list, writes the path label and shows
// the sorted rows; hidden names are held back (PaneState::heldHidden) unless ShowHidden is on. False, with an empty pane, when the search found nothing; a folder that
// cannot be read is also reported in the log.
bool ListLocalDirectory(AppState& state, const Messages& messages, LocalSystem& system);

// Makes the folder or drive of a row the local folder (through the process's current folder)
// and lists it. A failed change is reported and the previous folder listed again.
bool NavigateLocal(AppState& state, const Messages& messages, LocalSystem& system, int row);

// Makes `folder` the process's current folder and the local pane's path (read back from the
// system, so ".." is resolved), reporting failures; does not list.
void ChangeLocalFolder(AppState& state, const Messages& messages, const QByteArray& folder);

} // namespace tw
