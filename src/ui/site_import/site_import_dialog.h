#pragma once

#include "core/accounts/site_import/site_merge.h"

#include <QDialog>

#include <vector>

class QLabel;
class QPushButton;
class QTableWidget;

namespace tw::ui {

// The report of an import before anything changes: one row per site of the other client's
// file (Site, Account, Outcome, Notes), a line that says how many accounts will be added, and
// Import (the default; greyed when nothing can be imported) and Cancel.
class SiteImportDialog : public QDialog {
    Q_OBJECT
public:
    SiteImportDialog(const QString& title, const QString& file,
                     const std::vector<SiteImportRow>& rows, int importCount,
                     QWidget* owner = nullptr);

    QTableWidget* table() const { return m_table; }
    QLabel* summaryText() const { return m_summary; }
    QPushButton* importButton() const { return m_import; }
    QPushButton* cancelButton() const { return m_cancel; }

    // The line above the table.
    static QString SummaryText(const QString& file, std::size_t rows, int importCount);
    // "Imported", "Renamed", "Skipped".
    static QString OutcomeText(SiteOutcome outcome);

private:
    QTableWidget* m_table = nullptr;
    QLabel* m_summary = nullptr;
    QPushButton* m_import = nullptr;
    QPushButton* m_cancel = nullptr;
};

} // namespace tw::ui
