#pragma once

#include <optional>

namespace tw {

class Messages;

// What the status bar shows while a menu item is highlighted.
struct MenuSelection {
    int itemId = 0;          // the command id; 0 when the menu closes
    bool popup = false;      // the item opens a sub-menu (a menu title)
    bool systemMenu = false; // the item belongs to the window's system menu
};

// The string id for the status bar, or nullopt to leave it as it is. Nothing changes while the
// status bar is hidden or for a pop-up title; ids up to 100 and from 1000 (and the 0 of a
// closing menu) give 60000 "Ready ..."; a system-menu item shows nothing; any other item shows
// its own help string.
std::optional<int> MenuHelpStringId(const MenuSelection& selection, bool statusBarVisible);

// Applies MenuHelpStringId through the status bar. Returns true when a text was shown.
bool ShowMenuHelp(const Messages& messages, const MenuSelection& selection, bool statusBarVisible);

} // namespace tw
