#include "core/commands/toolbar_layout.h"

#include "core/commands/command_table.h"

#include <algorithm>

namespace tw {

namespace {

using C = CommandId;

std::vector<ToolbarSlot> buildSlots() {
    const CommandId order[] = {
        C::None,
        C::Connect,
        C::ReConnect,
        C::Disconnect,
        C::None,
        C::Accounts,
        C::None,
        C::LocalRefresh,
        C::LocalMakeDirectory,
        C::None,
        C::LocalEdit,
        C::None,
        C::LocalProperties,
        C::LocalRename,
        C::LocalDelete,
        C::None,
        C::Upload,
        C::None,
        C::RemoteRefresh,
        C::RemoteMakeDirectory,
        C::None,
        C::RemoteProperties,
        C::RemoteRename,
        C::RemoteDelete,
        C::None,
        C::Download,
        C::None,
        C::Options,
        C::None,
        C::AlwaysOnTop,
        C::Font,
        C::None,
        C::HelpContents,
        C::About,
    };
    std::vector<ToolbarSlot> layout;
    for (CommandId id : order) {
        const CommandInfo* info = id == C::None ? nullptr : FindCommand(id);
        layout.push_back(ToolbarSlot{id, info ? info->imageIndex : -1});
    }
    return layout;
}

} // namespace

const std::vector<ToolbarSlot>& ToolbarSlots() {
    static const std::vector<ToolbarSlot> layout = buildSlots();
    return layout;
}

std::vector<int> StandardToolbarArrangement() {
    std::vector<int> ids;
    for (const ToolbarSlot& slot : ToolbarSlots())
        ids.push_back(toInt(slot.id));
    return ids;
}

std::vector<ToolbarSlot> ToolbarButtons() {
    std::vector<ToolbarSlot> buttons;
    for (const ToolbarSlot& slot : ToolbarSlots())
        if (!slot.isSeparator())
            buttons.push_back(slot);
    return buttons;
}

std::optional<std::vector<ToolbarSlot>> ToolbarFromArrangement(const std::vector<int>& ids) {
    const std::vector<ToolbarSlot> buttons = ToolbarButtons();
    std::vector<ToolbarSlot> layout;
    std::vector<int> placed;
    for (int id : ids) {
        if (id == 0) {
            layout.push_back(ToolbarSlot{});
            continue;
        }
        const auto button = std::find_if(buttons.begin(), buttons.end(),
                                         [id](const auto& b) { return toInt(b.id) == id; });
        if (button == buttons.end() || std::find(placed.begin(), placed.end(), id) != placed.end())
            return std::nullopt;
        placed.push_back(id);
        layout.push_back(*button);
    }
    return layout;
}

} // namespace tw
