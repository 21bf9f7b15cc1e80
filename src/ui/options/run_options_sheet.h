#pragma once

#include "core/options/options_sheet.h"

#include <functional>

class QWidget;

namespace tw {
class Messages;
class SettingsStore;
} // namespace tw

namespace tw::ui {

// Commands 133, 440, 134 and 995 and the setup start: the options sheet over `owner` (none
// before the main window exists) on `startPage`, then OK's steps (ShowOptionsSheet). Returns
// true on OK.
bool RunOptionsSheet(QWidget* owner, AppState& state, AppGlobals& globals, const Messages& messages,
                     int startPage, const OptionsEffects& effects,
                     const std::function<void(int topic)>& showHelp);

// The effects every caller shares: the Setup requests carried out with the program's desktop
// entries, and the settings saved into `store` ("Options saved" through `messages`).
OptionsEffects SharedOptionsEffects(SettingsStore& store, const AppGlobals& globals,
                                    const Messages& messages);

} // namespace tw::ui
