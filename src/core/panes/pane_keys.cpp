#include "core/panes/pane_keys.h"

namespace tw {

EnterAction EnterActionFor(const PaneState& pane, PaneSide side, int row) {
    const bool valid = row >= 0 && row < pane.count();
    if (side == PaneSide::Remote)
        return valid ? EnterAction::OpenRow : EnterAction::None;
    if (!valid)
        return EnterAction::EditFile;
    const FileEntry& entry = pane.entries[std::size_t(row)];
    return entry.isFolder || entry.isDrive ? EnterAction::OpenRow : EnterAction::EditFile;
}

bool CanRenameRow(const PaneState& pane, int row) {
    return row >= 0 && row < pane.count() && !pane.entries[std::size_t(row)].isParent;
}

int ParentRowOf(const PaneState& pane) {
    for (int row = 0; row < pane.count(); ++row)
        if (pane.entries[std::size_t(row)].isParent)
            return row;
    return -1;
}

std::vector<int> SelectAllRows(const PaneState& pane, const std::function<bool(int)>& shown) {
    std::vector<int> rows;
    rows.reserve(pane.entries.size());
    for (int row = 0; row < pane.count(); ++row)
        if (!pane.entries[std::size_t(row)].isParent && (!shown || shown(row)))
            rows.push_back(row);
    return rows;
}

} // namespace tw
