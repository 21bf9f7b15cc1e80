#include "ui/accounts/run_accounts_sheet.h"

#include "core/accounts/accounts_sheet.h"
#include "core/text/messages.h"
#include "ui/about/about_splash.h"
#include "ui/accounts/accounts_sheet_dialog.h"

namespace tw::ui {

namespace {
constexpr int kBrowseTitleId = 3200;
}

std::optional<int> RunAccountsSheet(QWidget* owner, AppState& state, const Messages& messages,
                                    bool connectMode,
                                    const std::function<bool(const AppState&)>& saveSettings,
                                    const std::function<void(int)>& showHelp) {
    CloseAboutSplash(); // the topmost splash would cover the sheet, in either role
    const QString browseTitle = messages.LoadStringText(kBrowseTitleId);
    return ShowAccountsSheet(
        state, connectMode, messages,
        [&](AccountsSheet& sheet) {
            AccountsSheetDialog dialog(sheet, browseTitle, showHelp, owner);
            return dialog.exec() == QDialog::Accepted;
        },
        saveSettings);
}

} // namespace tw::ui
