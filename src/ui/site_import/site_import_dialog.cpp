#include "ui/site_import/site_import_dialog.h"

#include "core/text/shown_text.h"
#include "ui/dialogs/control_names.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace tw::ui {

namespace {

enum Column { kSite, kAccount, kOutcome, kNotes, kColumns };

constexpr std::size_t kWrappedRows = 500;

// A text from the other client's file, on one line with control characters as escapes.
QString shown(const QString& text) {
    return ShownText(text, ftp::LineBreaks::Escape);
}

QTableWidgetItem* cell(const QString& text) {
    auto* item = new QTableWidgetItem(text);
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    item->setToolTip(text);
    return item;
}

} // namespace

QString SiteImportDialog::OutcomeText(SiteOutcome outcome) {
    switch (outcome) {
    case SiteOutcome::Imported:
        return QStringLiteral("Imported");
    case SiteOutcome::Renamed:
        return QStringLiteral("Renamed");
    case SiteOutcome::Skipped:
        break;
    }
    return QStringLiteral("Skipped");
}

QString SiteImportDialog::SummaryText(const QString& file, std::size_t rows, int importCount) {
    const QString name = shown(file);
    if (importCount == 0)
        return QStringLiteral("Nothing in %1 can be imported: the rows below say why.").arg(name);
    return QStringLiteral("%1 of the %2 entries in %3 will be added to the accounts. Nothing "
                          "changes until you choose Import.")
        .arg(importCount)
        .arg(rows)
        .arg(name);
}

SiteImportDialog::SiteImportDialog(const QString& title, const QString& file,
                                   const std::vector<SiteImportRow>& rows, int importCount,
                                   QWidget* owner)
    : QDialog(owner) {
    setObjectName(QStringLiteral("SiteImportDialog"));
    setWindowTitle(title);

    m_summary = new QLabel(SummaryText(file, rows.size(), importCount), this);
    m_summary->setObjectName(QStringLiteral("summaryText"));
    m_summary->setTextFormat(Qt::PlainText);
    m_summary->setWordWrap(true);

    m_table = new QTableWidget(int(rows.size()), kColumns, this);
    m_table->setObjectName(QStringLiteral("sitesTable"));
    m_table->setHorizontalHeaderLabels({QStringLiteral("Site"), QStringLiteral("Account"),
                                        QStringLiteral("Outcome"), QStringLiteral("Notes")});
    m_table->setAccessibleName(QStringLiteral("Sites"));
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->verticalHeader()->hide();
    m_table->horizontalHeader()->setStretchLastSection(true);
    // Long notes wrap, so that every reason can be read; a very long report keeps rows of one
    // line (with the whole text as the tooltip), since measuring each row would be slow.
    const int line = m_table->fontMetrics().height() + 8;
    m_table->verticalHeader()->setMinimumSectionSize(line);
    m_table->verticalHeader()->setDefaultSectionSize(line);
    const bool wrap = rows.size() <= kWrappedRows;
    m_table->setWordWrap(wrap);
    if (wrap)
        m_table->verticalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    for (int i = 0; i < int(rows.size()); ++i) {
        const SiteImportRow& row = rows[std::size_t(i)];
        m_table->setItem(i, kSite, cell(shown(row.source)));
        m_table->setItem(i, kAccount, cell(shown(row.account)));
        m_table->setItem(i, kOutcome, cell(OutcomeText(row.outcome)));
        m_table->setItem(i, kNotes, cell(shown(row.notes)));
    }
    m_table->resizeColumnsToContents();
    for (const Column column : {kSite, kAccount})
        m_table->setColumnWidth(column, std::min(m_table->columnWidth(column), 220));
    m_table->setMinimumSize(720, 300);

    auto* buttons = new QDialogButtonBox(this);
    m_import = buttons->addButton(QStringLiteral("&Import"), QDialogButtonBox::AcceptRole);
    m_import->setObjectName(QStringLiteral("importButton"));
    m_import->setEnabled(importCount > 0);
    m_import->setDefault(importCount > 0);
    m_cancel = buttons->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole);
    m_cancel->setObjectName(QStringLiteral("cancelButton"));
    if (importCount == 0)
        m_cancel->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_summary);
    layout->addWidget(m_table, 1);
    layout->addWidget(buttons);
    NameControlsByText(this);
    m_table->setAccessibleName(QStringLiteral("Sites"));
}

} // namespace tw::ui
