#include "core/commands/menu_help.h"

#include "core/text/messages.h"

namespace tw {

namespace {
constexpr int kReady = 60000;
}

std::optional<int> MenuHelpStringId(const MenuSelection& selection, bool statusBarVisible) {
    if (!statusBarVisible || selection.popup)
        return std::nullopt;
    if (selection.itemId <= 100 || selection.itemId >= 1000)
        return kReady;
    if (selection.systemMenu)
        return std::nullopt;
    return selection.itemId;
}

bool ShowMenuHelp(const Messages& messages, const MenuSelection& selection, bool statusBarVisible) {
    const std::optional<int> id = MenuHelpStringId(selection, statusBarVisible);
    return id && messages.ShowStatus(*id);
}

} // namespace tw
