#pragma once

#include "core/commands/command_id.h"

#include <QString>

#include <vector>

namespace tw {

// One entry of a menu: a command item, a separator, or a pop-up with its own items.
struct MenuItem {
    CommandId id = CommandId::None; // None for separators and pop-ups
    QString text; // with '&' mnemonic and '\t' shortcut text; empty for separators
    bool separator = false;
    std::vector<MenuItem> children; // the items of a pop-up

    bool isPopup() const { return !separator && id == CommandId::None; }
};

enum class MenuKind { Main, LocalContext, RemoteContext };

// The main menu bar: its top-level pop-ups "&FTP", "&View", "&Local", "&Remote", "&Help".
const std::vector<MenuItem>& MainMenu();
// The pop-up of the local file list (menu 1001) and of the remote file list (menu 1002).
const std::vector<MenuItem>& LocalContextMenu();
const std::vector<MenuItem>& RemoteContextMenu();
const std::vector<MenuItem>& Menu(MenuKind kind);

// The commands that show a picture beside their item in `kind`, in loading order. The bitmap
// id of a picture is the command id (see CommandInfo::checkedPictureId for the checked state).
std::vector<CommandId> MenuPictures(MenuKind kind);

// Every command item of a menu tree, depth first, in order (a command may appear twice).
std::vector<CommandId> MenuCommands(const std::vector<MenuItem>& menu);

} // namespace tw
