#pragma once

#include "core/setup/desktop_shortcuts.h"

namespace tw {
struct AppGlobals;
}

namespace tw::ui {

// What the program's desktop entries start and show: the program by its full path, and its
// icon written as "tarnwick2000.svg" into the program's data folder (rewritten only when it
// differs), so that the entries carry the picture wherever the program is installed.
ShortcutTarget ProgramShortcutTarget(const AppGlobals& globals);

} // namespace tw::ui
