#include "ui/accounts/account_file_dialogs.h"

#include <QFileDialog>
#include <QFileInfo>

namespace tw::ui {

namespace {

QString g_saveFilter; // the filter last chosen, per dialog, for the rest of the run
QString g_openFilter;

std::optional<QString> run(QFileDialog& dialog, const QString& path, const QStringList& filters,
                           QString& remembered, const QString& proposedName) {
    const QFileInfo info(path);
    dialog.setNameFilters(filters);
    if (!remembered.isEmpty() && filters.contains(remembered))
        dialog.selectNameFilter(remembered);
    if (!path.isEmpty())
        dialog.setDirectory(info.absolutePath());
    if (!proposedName.isEmpty())
        dialog.selectFile(proposedName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    remembered = dialog.selectedNameFilter();
    return dialog.selectedFiles().constFirst();
}

} // namespace

QStringList AccountFileDialogs::ConvertFilter(const QString& filter) {
    const QStringList parts = filter.split(u'|');
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        if (parts[i].isEmpty())
            break;
        QString patterns = parts[i + 1];
        patterns.replace(u';', u' ');
        filters << parts[i] + QStringLiteral(" (") + patterns + u')';
    }
    return filters;
}

std::optional<QString> AccountFileDialogs::askSaveFileName(const QString& path,
                                                           const QString& title,
                                                           const QString& filter,
                                                           const QString& defaultExtension) {
    QFileDialog dialog(m_owner, title.isEmpty() ? QStringLiteral("Save File") : title);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDefaultSuffix(defaultExtension);
    return run(dialog, path, ConvertFilter(filter), g_saveFilter, QFileInfo(path).fileName());
}

std::optional<QString> AccountFileDialogs::askOpenFileName(const QString& path,
                                                           const QString& title,
                                                           const QString& filter) {
    QFileDialog dialog(m_owner, title.isEmpty() ? QStringLiteral("Open File") : title);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    return run(dialog, path, ConvertFilter(filter), g_openFilter, QString());
}

} // namespace tw::ui
