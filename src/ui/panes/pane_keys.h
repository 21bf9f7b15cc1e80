#pragma once

#include <optional>

class QKeyEvent;

namespace tw::ui {

// The keys a file list answers itself.
enum class PaneKeyCommand {
    Open,   // Enter: the current row as a double-click opens it
    Up,     // Backspace: the ".." row
    Rename, // F2: the current row
};

// The command of a key press: Enter or Return (the keypad's too) without other modifiers,
// Backspace, F2; nullopt for any other key.
std::optional<PaneKeyCommand> PaneKeyCommandOf(const QKeyEvent* event);

// Keys the list keeps from the window's accelerators while it has the focus: its own commands
// and text typed to find a row by name (no Ctrl, Alt or Meta).
bool PaneKeepsKey(const QKeyEvent* event);

} // namespace tw::ui
