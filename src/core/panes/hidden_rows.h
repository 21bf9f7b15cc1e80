#pragma once

#include "core/panes/pane_state.h"

#include <QStringView>

#include <vector>

namespace tw {

class LocalSystem;
class Messages;
struct AppState;
struct SortOptions;

// Names the desktop hides: those starting with a period, ".." excepted.
bool IsHiddenName(QStringView name);

// Moves the rows with hidden names out of `rows`, keeping the order of both, and returns them.
std::vector<FileEntry> TakeHiddenRows(std::vector<FileEntry>& rows);

// Shows the pane's held-back hidden rows among its sorted rows, or holds them back again,
// without reading the folder: the rows stay in their pane's order. False when nothing changed.
bool ShowHiddenRows(PaneState& pane, bool show, const SortOptions& options);

// View > Show Hidden Files: turns the option over, lists the local folder again and shows or
// holds back the remote pane's hidden rows from the rows it keeps, with no new listing (one
// running hands its rows over by the new setting).
void ToggleHiddenFiles(AppState& state, const Messages& messages, LocalSystem& system);

} // namespace tw
