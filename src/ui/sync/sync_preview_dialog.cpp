#include "ui/sync/sync_preview_dialog.h"

#include "core/text/string_table.h"
#include "ui/dialogs/control_names.h"
#include "ui/dialogs/dialog_placement.h"
#include "ui/dialogs/dialog_units.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace tw::ui {

namespace {

enum Text {
    kCaption = 5915,
    kAction,
    kName,
    kWhere,
    kSize,
    kWhy,
    kSelectAll,
    kSelectNone,
    kSynchronise,
    kCancel,
    kActions = 5927,
};

enum Column { kActionColumn, kNameColumn, kWhereColumn, kSizeColumn, kWhyColumn, kColumns };

QString text(int id) {
    return LookupString(id).value_or(QString());
}

} // namespace

SyncPreviewDialog::SyncPreviewDialog(const SyncPreviewRequest& request, QWidget* parent)
    : QDialog(parent), m_summaryText(request.summary) {
    setObjectName(QStringLiteral("SyncPreviewDialog"));
    setFont(DialogUnits::dialogFont());
    SetDialogIcon(this, 1000);
    setWindowTitle(text(kCaption));
    const DialogUnits du(font());

    auto* folders = new QLabel(request.localFolder + u"  \u2194  "_qs + request.remoteFolder, this);
    folders->setObjectName(QStringLiteral("folders"));
    folders->setTextFormat(Qt::PlainText);

    m_actions = new QTreeWidget(this);
    m_actions->setObjectName(QStringLiteral("actions"));
    m_actions->setColumnCount(kColumns);
    m_actions->setHeaderLabels({text(kAction), text(kName), text(kWhere), text(kSize), text(kWhy)});
    m_actions->setRootIsDecorated(false);
    m_actions->setUniformRowHeights(true);
    m_actions->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_actions->setAllColumnsShowFocus(true);
    QList<QTreeWidgetItem*> items;
    items.reserve(qsizetype(request.rows.size()));
    for (const SyncPreviewRow& row : request.rows) {
        auto* item =
            new QTreeWidgetItem(QStringList{row.action, row.name, row.where, row.size, row.why});
        Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
        if (row.tickable) {
            flags |= Qt::ItemIsUserCheckable;
            item->setCheckState(kActionColumn, row.ticked ? Qt::Checked : Qt::Unchecked);
        }
        item->setFlags(flags);
        item->setTextAlignment(kSizeColumn, Qt::AlignRight | Qt::AlignVCenter);
        for (int c = 0; c < kColumns; ++c)
            item->setData(c, Qt::AccessibleTextRole, item->text(c));
        item->setToolTip(kNameColumn, row.name);
        item->setToolTip(kWhyColumn, row.why);
        items.push_back(item);
    }
    m_actions->addTopLevelItems(items);
    for (int c = 0; c < kColumns; ++c)
        m_actions->resizeColumnToContents(c);
    m_actions->setColumnWidth(kActionColumn, m_actions->columnWidth(kActionColumn) + du.x(4));
    m_actions->setColumnWidth(kNameColumn,
                              std::min(m_actions->columnWidth(kNameColumn), du.x(180)));
    m_actions->header()->setStretchLastSection(true);
    m_actions->setMinimumSize(du.x(380), du.y(150));
    connect(m_actions, &QTreeWidget::itemChanged, this, [this] { updateSummary(); });

    m_summary = new QLabel(this);
    m_summary->setObjectName(QStringLiteral("summary"));
    m_summary->setTextFormat(Qt::PlainText);

    auto* selectAll = new QPushButton(text(kSelectAll), this);
    selectAll->setObjectName(QStringLiteral("selectAll"));
    selectAll->setAutoDefault(false);
    connect(selectAll, &QPushButton::clicked, this, [this] { tickAll(true); });
    auto* selectNone = new QPushButton(text(kSelectNone), this);
    selectNone->setObjectName(QStringLiteral("selectNone"));
    selectNone->setAutoDefault(false);
    connect(selectNone, &QPushButton::clicked, this, [this] { tickAll(false); });

    auto* buttons = new QDialogButtonBox(this);
    m_run = buttons->addButton(text(kSynchronise), QDialogButtonBox::AcceptRole);
    m_run->setObjectName(QStringLiteral("synchronise"));
    m_run->setDefault(true);
    auto* cancel = buttons->addButton(text(kCancel), QDialogButtonBox::RejectRole);
    cancel->setObjectName(QStringLiteral("cancel"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* bottom = new QHBoxLayout;
    bottom->addWidget(selectAll);
    bottom->addWidget(selectNone);
    bottom->addStretch(1);
    bottom->addWidget(buttons);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(du.x(7), du.y(7), du.x(7), du.y(7));
    layout->addWidget(folders);
    layout->addWidget(m_actions, 1);
    layout->addWidget(m_summary);
    layout->addLayout(bottom);
    updateSummary();
    resize(du.x(440), du.y(230));
}

std::vector<bool> SyncPreviewDialog::ticked() const {
    std::vector<bool> out;
    out.reserve(std::size_t(m_actions->topLevelItemCount()));
    for (int i = 0; i < m_actions->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* item = m_actions->topLevelItem(i);
        out.push_back((item->flags() & Qt::ItemIsUserCheckable) &&
                      item->checkState(kActionColumn) == Qt::Checked);
    }
    return out;
}

void SyncPreviewDialog::tickAll(bool on) {
    const QSignalBlocker quiet(m_actions);
    for (int i = 0; i < m_actions->topLevelItemCount(); ++i)
        if (QTreeWidgetItem* item = m_actions->topLevelItem(i);
            item->flags() & Qt::ItemIsUserCheckable)
            item->setCheckState(kActionColumn, on ? Qt::Checked : Qt::Unchecked);
    updateSummary();
}

void SyncPreviewDialog::updateSummary() {
    const std::vector<bool> rows = ticked();
    if (m_summaryText)
        m_summary->setText(m_summaryText(rows));
    // Nothing ticked leaves nothing to run: only Cancel closes the preview then.
    if (m_run)
        m_run->setEnabled(std::find(rows.begin(), rows.end(), true) != rows.end());
    NameControlsByText(this);
    m_actions->setAccessibleName(text(kActions));
}

} // namespace tw::ui
