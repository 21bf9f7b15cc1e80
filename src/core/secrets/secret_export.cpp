#include "core/secrets/secret_export.h"

#include "core/secrets/password_keeper.h"
#include "core/state/app_state.h"
#include "core/text/messages.h"

namespace tw {

namespace {
constexpr int kUnreadableCaptionId = 5705;
constexpr int kUnreadableTextId = 5723;
} // namespace

int CountExportPasswords(const AppState& state) {
    int count = 0;
    for (const AccountRecord& a : state.Accounts)
        if (!a.Password.isEmpty() || passwordKept(a))
            ++count;
    return count;
}

void StartExport(const AppState& state, const Messages& messages, PasswordPort& port,
                 PasswordKeeper& keeper, std::function<void(const ExportPasswords&)> run) {
    const int count = CountExportPasswords(state);
    if (count == 0) {
        run(ExportPasswords{});
        return;
    }
    switch (port.askExportPasswords(count)) {
    case ExportPasswordsAnswer::Cancel:
        return;
    case ExportPasswordsAnswer::WithoutPasswords:
        run(ExportPasswords{false, {}});
        return;
    case ExportPasswordsAnswer::WithPasswords:
        break;
    }
    keeper.collectForExport([&messages, run = std::move(run)](ExportSecrets secrets) {
        if (!secrets.unreadable.isEmpty())
            messages.SystemWarningBox(kUnreadableCaptionId, kUnreadableTextId,
                                      {secrets.unreadable.join(QStringLiteral(", "))});
        run(ExportPasswords{true, std::move(secrets.passwords)});
    });
}

} // namespace tw
