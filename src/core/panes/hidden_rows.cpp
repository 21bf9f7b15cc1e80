#include "core/panes/hidden_rows.h"

#include "core/panes/local_listing.h"
#include "core/panes/pane_sort.h"
#include "core/state/app_state.h"
#include "core/text/messages.h"

#include <algorithm>

namespace tw {

bool IsHiddenName(QStringView name) {
    return name.startsWith(u'.') && name != u"..";
}

std::vector<FileEntry> TakeHiddenRows(std::vector<FileEntry>& rows) {
    std::vector<FileEntry> hidden;
    const auto shown = std::stable_partition(rows.begin(), rows.end(), [](const FileEntry& row) {
        return row.isParent || row.isDrive || !IsHiddenName(row.name);
    });
    hidden.assign(std::make_move_iterator(shown), std::make_move_iterator(rows.end()));
    rows.erase(shown, rows.end());
    return hidden;
}

bool ShowHiddenRows(PaneState& pane, bool show, const SortOptions& options) {
    if (!show) {
        std::vector<FileEntry> taken = TakeHiddenRows(pane.entries);
        if (taken.empty())
            return false;
        pane.heldHidden.insert(pane.heldHidden.end(), std::make_move_iterator(taken.begin()),
                               std::make_move_iterator(taken.end()));
        return true;
    }
    if (pane.heldHidden.empty())
        return false;
    std::vector<FileEntry> hidden;
    hidden.swap(pane.heldHidden);
    SortEntries(hidden, pane.sortKey, options);
    // Few hidden rows among many: each finds its place by a binary search, and the rows are
    // moved once.
    const auto less = [&](const FileEntry& a, const FileEntry& b) {
        return CompareEntries(a, b, pane.sortKey, options) < 0;
    };
    std::vector<FileEntry> merged;
    merged.reserve(pane.entries.size() + hidden.size());
    auto from = pane.entries.begin();
    for (FileEntry& row : hidden) {
        const auto place = std::upper_bound(from, pane.entries.end(), row, less);
        merged.insert(merged.end(), std::make_move_iterator(from), std::make_move_iterator(place));
        merged.push_back(std::move(row));
        from = place;
    }
    merged.insert(merged.end(), std::make_move_iterator(from),
                  std::make_move_iterator(pane.entries.end()));
    pane.entries.swap(merged);
    return true;
}

void ToggleHiddenFiles(AppState& state, const Messages& messages, LocalSystem& system) {
    state.options.ShowHidden = state.options.ShowHidden ? 0 : 1;
    const bool show = state.options.ShowHidden != 0;
    ListLocalDirectory(state, messages, system);
    if (ShowHiddenRows(state.remote, show, SortOptions::From(state.options)))
        messages.port().refreshPane(PaneSide::Remote);
}

} // namespace tw
