#include "ui/options/run_options_sheet.h"

#include "core/settings/settings.h"
#include "core/setup/desktop_shortcuts.h"
#include "ui/options/options_sheet_dialog.h"
#include "ui/options/program_shortcut.h"

namespace tw::ui {

bool RunOptionsSheet(QWidget* owner, AppState& state, AppGlobals& globals, const Messages& messages,
                     int startPage, const OptionsEffects& effects,
                     const std::function<void(int)>& showHelp) {
    return ShowOptionsSheet(
        state, globals, messages,
        [&](OptionsSheet& sheet) {
            OptionsSheetDialog dialog(sheet, messages, state, OptionsSheet::startPage(startPage),
                                      showHelp, owner);
            return dialog.exec() == QDialog::Accepted;
        },
        effects);
}

OptionsEffects SharedOptionsEffects(SettingsStore& store, const AppGlobals& globals,
                                    const Messages& messages) {
    OptionsEffects effects;
    effects.applySetup = [&globals, &messages](SetupChoices& requests) {
        ApplySetupRequests(messages, ProgramShortcutTarget(globals), requests);
    };
    effects.save = [&store, &globals, &messages](const AppState& state) {
        return SaveSettings(store, state, globals, &messages);
    };
    return effects;
}

} // namespace tw::ui
