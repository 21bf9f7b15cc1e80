#pragma once

#include "core/accounts/site_import/site_import_flow.h"
#include "core/accounts/site_import/site_import_port.h"

class QWidget;

namespace tw::ui {

// The questions of the site imports over widgets: a file dialog that proposes the usual file
// (hidden folders shown, since ~/.config and ~/.ssh are), and SiteImportDialog.
class SiteImportDialogs : public SiteImportPort {
public:
    explicit SiteImportDialogs(QWidget* owner) : m_owner(owner) {}

    std::optional<QString> askSiteFile(const QString& path, const QString& title,
                                       const QString& filter) override;
    bool confirmSiteImport(const QString& title, const QString& file,
                           const std::vector<SiteImportRow>& rows, int importCount) override;

private:
    QWidget* m_owner;
};

// The handler of Import FileZilla Sites and Import SSH Config Hosts: RunSiteImport with these
// dialogs over `owner`. `imported` receives the rows added (see AccountsImportedFn).
std::vector<int> RunSiteImportCommand(QWidget* owner, SiteImportKind kind, AppState& state,
                                      const Messages& messages, const SaveSettingsFn& saveSettings,
                                      const AccountsImportedFn& imported);

} // namespace tw::ui
