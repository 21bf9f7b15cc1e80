#include "ui/panes/file_dialogs.h"

#include "core/text/string_table.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QGridLayout>

#include <optional>

namespace tw::ui {

namespace {

const QString kDefaultFilter =
    QStringLiteral("Application Files|*.exe;*.com;*.bat;*.lnk|Text Files|*.txt|All Files|*.*|");

// The filter index last chosen, per dialog kind, for the rest of the run.
int g_openFilterIndex = 0;
int g_saveFilterIndex = 0;

std::optional<QString> FilterText(int filterId) {
    if (filterId == 0)
        return kDefaultFilter;
    return LookupString(filterId);
}

QString Title(int titleId, const QString& fallback) {
    if (titleId == 0)
        return fallback;
    return LookupString(titleId).value_or(fallback);
}

void ApplyFilters(QFileDialog& dialog, const QStringList& filters, int index) {
    dialog.setNameFilters(filters);
    if (index >= 0 && index < filters.size())
        dialog.selectNameFilter(filters[index]);
}

int ChosenFilter(const QFileDialog& dialog, const QStringList& filters, int previous) {
    const int index = int(filters.indexOf(dialog.selectedNameFilter()));
    return index >= 0 ? index : previous;
}

} // namespace

QStringList NameFiltersFromText(const QString& filterText) {
    if (filterText.isEmpty())
        return {};
    const QChar separator = filterText.back();
    const QStringList parts = filterText.split(separator);
    QStringList out;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        const QString description = parts[i];
        QStringList patterns = parts[i + 1].split(u';', Qt::SkipEmptyParts);
        for (QString& p : patterns)
            p = p.trimmed();
        if (description.isEmpty() && patterns.isEmpty())
            continue;
        out << description + QStringLiteral(" (") + patterns.join(u' ') + u')';
    }
    return out;
}

QString DialogFolderOf(const QString& path) {
    const qsizetype slash = path.lastIndexOf(u'/');
    if (slash < 0)
        return QString();
    if (slash == 0)
        return QStringLiteral("/");
    return path.left(slash);
}

bool SaveFileDialog(QWidget* owner, QString& path, int filterId, int titleId,
                    int defaultExtensionId) {
    const std::optional<QString> filterText = FilterText(filterId);
    if (!filterText)
        return false;
    const QStringList filters = NameFiltersFromText(*filterText);
    QFileDialog dialog(owner, Title(titleId, QStringLiteral("Save File")));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, false);
    dialog.setSizeGripEnabled(true);
    dialog.setDirectory(DialogFolderOf(path));
    if (!path.isEmpty())
        dialog.selectFile(path);
    if (defaultExtensionId != 0) {
        QString suffix = LookupString(defaultExtensionId).value_or(QString());
        while (suffix.startsWith(u'.'))
            suffix.remove(0, 1);
        dialog.setDefaultSuffix(suffix);
    }
    ApplyFilters(dialog, filters, g_saveFilterIndex);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return false;
    g_saveFilterIndex = ChosenFilter(dialog, filters, g_saveFilterIndex);
    path = dialog.selectedFiles().constFirst().left(256);
    return true;
}

bool OpenFileDialog(QWidget* owner, QString& path, int filterId, int titleId, bool* readOnly) {
    const std::optional<QString> filterText = FilterText(filterId);
    if (!filterText)
        return false;
    const QStringList filters = NameFiltersFromText(*filterText);
    QFileDialog dialog(owner, Title(titleId, QStringLiteral("Open File")));
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setSizeGripEnabled(true);
    dialog.setDirectory(DialogFolderOf(path));
    QCheckBox* readOnlyBox = nullptr;
    if (readOnly) {
        // The read-only box needs the widget-based dialog to hold an extra control.
        dialog.setOption(QFileDialog::DontUseNativeDialog, true);
        if (auto* grid = qobject_cast<QGridLayout*>(dialog.layout())) {
            readOnlyBox = new QCheckBox(QStringLiteral("Open as &read-only"), &dialog);
            readOnlyBox->setObjectName(QStringLiteral("readOnlyBox"));
            readOnlyBox->setChecked(*readOnly);
            grid->addWidget(readOnlyBox, grid->rowCount(), 0, 1, grid->columnCount());
        }
    }
    ApplyFilters(dialog, filters, g_openFilterIndex);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return false;
    g_openFilterIndex = ChosenFilter(dialog, filters, g_openFilterIndex);
    path = dialog.selectedFiles().constFirst().left(256);
    if (readOnly && readOnlyBox)
        *readOnly = readOnlyBox->isChecked();
    return true;
}

} // namespace tw::ui
