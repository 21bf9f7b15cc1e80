#pragma once

#include "core/commands/command_id.h"

#include <optional>
#include <vector>

namespace tw {

// One toolbar slot: a button with its command and image, or a separator (id None).
struct ToolbarSlot {
    CommandId id = CommandId::None;
    int imageIndex = -1; // index into the 16 x 16 bitmap strip; -1 for a separator

    bool isSeparator() const { return id == CommandId::None; }
};

// The 34 slots the toolbar offers, in order; also the built-in ("Standard") arrangement.
// Every button starts enabled, plain button style.
const std::vector<ToolbarSlot>& ToolbarSlots();

// The built-in arrangement as saved: command ids in order, 0 for a separator.
std::vector<int> StandardToolbarArrangement();

// The buttons a user may place (every command that has a toolbar image), in slot order.
std::vector<ToolbarSlot> ToolbarButtons();

// Reads a saved arrangement (command ids, 0 = separator) back into slots. An arrangement that
// names an id which is no toolbar button, or a button twice, is damaged: nullopt, and the
// caller keeps the arrangement it has. An empty list is a toolbar without buttons.
std::optional<std::vector<ToolbarSlot>> ToolbarFromArrangement(const std::vector<int>& ids);

} // namespace tw
