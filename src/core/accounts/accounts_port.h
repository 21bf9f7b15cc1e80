#pragma once

#include <QString>

#include <optional>

namespace tw {

// The questions the account commands ask beyond the UI port: the file dialogs of Export and
// Import. The main window implements it (tw::ui::AccountFileDialogs is a ready implementation);
// tests answer from a script.
class AccountsPort {
public:
    virtual ~AccountsPort() = default;

    // A save-file dialog opened in the folder of `path` proposing its file name; it asks before
    // an existing file is replaced. `filter` is "Name|patterns|Name|patterns|" text.
    // The chosen path, or nullopt on cancel.
    virtual std::optional<QString> askSaveFileName(const QString& path, const QString& title,
                                                   const QString& filter,
                                                   const QString& defaultExtension) = 0;
    // An open-file dialog opened in the folder of `path`; the file must exist.
    virtual std::optional<QString> askOpenFileName(const QString& path, const QString& title,
                                                   const QString& filter) = 0;
};

} // namespace tw
