#pragma once

#include "core/commands/command_id.h"
#include "core/panes/pane_state.h"
#include "core/ui_port.h"

#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

namespace tw {

// One command: how it appears in the menus and on the toolbar, and how it is reached by key.
struct CommandInfo {
    CommandId id = CommandId::None;
    // Main-menu text with its '&' mnemonic and, after a '\t', the shortcut shown beside it.
    // Empty for the context-menu-only Cancel.
    QString menuText;
    // Text in the context menus; empty when the command is in no context menu.
    QString contextMenuText;
    // Keys of the accelerator table that send this command, in Qt's portable key-sequence
    // format (QKeySequence::fromString(..., QKeySequence::PortableText)). Enter stands for both
    // the main Return key and the keypad Enter.
    QStringList shortcuts;
    // Toolbar image index (bitmap strip, 0-21); -1 when the command has no toolbar button.
    int imageIndex = -1;
    // Menu picture: bitmap id shown beside the main-menu item (0 = none), and the picture of
    // the checked state when it differs (0 = the same picture).
    int pictureId = 0;
    int checkedPictureId = 0;
    // The item carries a check mark (View Toolbar / Status, Always on Top, the Sort items).
    bool checkable = false;

    int value() const { return toInt(id); }
    // Status-bar help is the string with the command's own id.
    int helpStringId() const { return toInt(id); }
    // Toolbar button text and tooltip: the string with the command id + 1000.
    int buttonTextId() const { return toInt(id) + 1000; }
    bool hasButton() const { return imageIndex >= 0; }
};

// Every command, in the order of the menus (FTP, View, Local, Remote, Help, then Cancel).
const std::vector<CommandInfo>& CommandTable();

// The command with `id`, or nullptr for an id that is no command.
const CommandInfo* FindCommand(int id);
inline const CommandInfo* FindCommand(CommandId id) {
    return FindCommand(toInt(id));
}

// One entry of the accelerator table: the key as the table names it and the Qt key
// sequences that stand for it.
struct AcceleratorEntry {
    QString key;        // "Ctrl+A", "Del", "Alt+Enter", ...
    QStringList qtKeys; // portable key-sequence texts
    CommandId command = CommandId::None;
};

// The accelerator table (18 entries, in table order). Window-wide shortcuts of the main window.
const std::vector<AcceleratorEntry>& AcceleratorTable();

// The pane and sort key a Sort command sets (530-533 local, 534-537 remote); nullopt for any
// other command.
struct SortCommand {
    PaneSide side = PaneSide::Local;
    SortKey key = SortKey::Name;
};
std::optional<SortCommand> SortCommandOf(CommandId id);

} // namespace tw
