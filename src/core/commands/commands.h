#pragma once

// Commands and menu state of the main window.
//
// Data (built once, read-only, safe to read from any thread):
//   CommandTable() / FindCommand(id)  every command: CommandId, menu text (with '&' and the
//                                     shown shortcut after '\t'), context-menu text, Qt portable
//                                     shortcut strings, toolbar image index (-1 none), menu
//                                     picture id (0 none) and checked picture, `checkable`,
//                                     help string id (= id), button text id (= id + 1000).
//   SortCommandOf(id)                 pane side and sort key of 530-537.
//   AcceleratorTable()                the 18 window-wide shortcuts; map each of `qtKeys` with
//                                     QKeySequence::fromString(key, QKeySequence::PortableText).
//   MainMenu(), LocalContextMenu(),   menu trees of MenuItem {id, text, separator, children};
//   RemoteContextMenu(), Menu(kind)   a pop-up has id None and children. Build QMenus from them,
//                                     each QAction carrying toInt(id).
//   MenuPictures(kind)                commands with a picture beside their item in that menu.
//   ToolbarSlots()                    the 34 slots (id None = separator), also the "Standard"
//                                     arrangement; StandardToolbarArrangement() as saved ids;
//                                     ToolbarButtons() the placeable buttons;
//                                     ToolbarFromArrangement(ids) reads a saved "Custom" list.
//
// Enabling rule (pure):
//   CommandStates UpdateCommandState(const CommandInputs&)
//   CommandInputs::From(state, runtime, globals, localSelected, remoteSelected)
//   states.main(id) / localContext(id) / remoteContext(id) -> {enabled, checked};
//   states.surface(CommandSurface::...) lists every command of a surface. The toolbar uses the
//   Main state of commands with a button. The port's updateCommandState() computes the inputs,
//   calls UpdateCommandState and applies the result everywhere (any thread may ask for it).
//
// Dispatch:
//   CommandDispatcher d(messages); d.registerHandler(CommandId::Download, [..] { .. });
//   d.dispatch(id) for every triggered action: help string of the id in the status bar, the
//   handler, "Ready ..." after Connect / Re-Connect, then port.updateCommandState(). An id with
//   no handler (Cancel, or a subsystem not yet connected) only recomputes the state.
//
// Menu help (hovering menu items):
//   MenuHelpStringId({id, popup, systemMenu}, statusBarVisible) -> string id or nullopt (leave
//   the text); ShowMenuHelp(messages, selection, visible) shows it. When a menu closes, pass
//   itemId 0 (gives 60000 "Ready ...").

#include "core/commands/command_dispatcher.h"
#include "core/commands/command_id.h"
#include "core/commands/command_state.h"
#include "core/commands/command_table.h"
#include "core/commands/menu_help.h"
#include "core/commands/menu_model.h"
#include "core/commands/toolbar_layout.h"
