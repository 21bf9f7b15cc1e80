#include "ui/site_import/site_import_dialogs.h"

#include "platform/xdg_paths.h"
#include "ui/accounts/account_file_dialogs.h"
#include "ui/site_import/site_import_dialog.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>

namespace tw::ui {

std::optional<QString> SiteImportDialogs::askSiteFile(const QString& path, const QString& title,
                                                      const QString& filter) {
    QFileDialog dialog(m_owner, title);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilters(AccountFileDialogs::ConvertFilter(filter));
    dialog.setFilter(dialog.filter() | QDir::Hidden);
    const QFileInfo info(path);
    if (info.dir().exists()) {
        dialog.setDirectory(info.absolutePath());
        if (info.exists())
            dialog.selectFile(info.fileName());
    } else {
        dialog.setDirectory(platform::XdgPaths::homeFolder());
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().constFirst();
}

bool SiteImportDialogs::confirmSiteImport(const QString& title, const QString& file,
                                          const std::vector<SiteImportRow>& rows, int importCount) {
    SiteImportDialog dialog(title, file, rows, importCount, m_owner);
    return dialog.exec() == QDialog::Accepted && importCount > 0;
}

std::vector<int> RunSiteImportCommand(QWidget* owner, SiteImportKind kind, AppState& state,
                                      const Messages& messages, const SaveSettingsFn& saveSettings,
                                      const AccountsImportedFn& imported) {
    SiteImportDialogs dialogs(owner);
    return RunSiteImport(kind, state, messages, dialogs, saveSettings, imported,
                         platform::XdgPaths::homeFolder());
}

} // namespace tw::ui
