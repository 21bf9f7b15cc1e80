#pragma once

#include "core/state/app_state.h"

#include <functional>
#include <optional>

class QWidget;

namespace tw {
class Messages;
}

namespace tw::ui {

// Command 130 (connectMode false) and the first step of Connect (connectMode true): shows the
// accounts sheet modally over a scratch copy of `state`. On OK / Connect the copy replaces
// `state`, `saveSettings` runs, and the current account's index is returned; on Cancel nothing
// has changed and the result is nullopt. `showHelp` opens a help topic (300, 302, 304).
std::optional<int> RunAccountsSheet(QWidget* owner, AppState& state, const Messages& messages,
                                    bool connectMode,
                                    const std::function<bool(const AppState&)>& saveSettings,
                                    const std::function<void(int topic)>& showHelp = {});

} // namespace tw::ui
