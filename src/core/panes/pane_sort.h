#pragma once

#include "core/panes/pane_state.h"
#include "core/ui_port.h"

#include <QString>

#include <array>
#include <vector>

namespace tw {

class Messages;
struct Options;
struct AppState;

// The four sorting options of the Sorting page.
struct SortOptions {
    bool foldersLast = false;
    bool drivesLast = false;
    bool oldestFirst = false;
    bool largestFirst = false;

    static SortOptions From(const Options& options);
};

// Case-insensitive, locale-aware order of names and types; empty texts after all others.
int CompareTextEmptyLast(const QString& a, const QString& b);

// The placement rule every comparator applies first: "..", then drives, then folders.
int ComparePlacement(const FileEntry& a, const FileEntry& b, const SortOptions& options);

// The full comparator of a sort key (placement, then the key's steps). Negative, 0, positive.
int CompareEntries(const FileEntry& a, const FileEntry& b, SortKey key, const SortOptions& options);

// Sorts rows in place by `key`; the same order as CompareEntries, computed with collation
// keys made once per row so that large listings sort quickly.
void SortEntries(std::vector<FileEntry>& entries, SortKey key, const SortOptions& options);

// The three header texts for `key`: the sorted column carries the mark ("* %s" before the
// Size text, "%s *" after the others); key Type marks none.
std::array<QString, 3> HeaderTexts(const Messages& messages, const std::array<QString, 3>& labels,
                                   SortKey key);

// Sorts the pane by its key, writes its header texts and has the view show it again.
bool SortAndShowPane(const Messages& messages, const AppState& state, PaneState& pane,
                     PaneSide side);

// Sets the pane's sort key from a sort command or a header click, then sorts and shows it.
void SetPaneSortKey(const Messages& messages, const AppState& state, PaneState& pane, PaneSide side,
                    int key);

// The first selected row of an ascending selection, or -1.
int GetFirstSelectedRow(const std::vector<int>& selection);

} // namespace tw
