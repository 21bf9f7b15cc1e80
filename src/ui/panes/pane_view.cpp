#include "ui/panes/pane_view.h"

#include "ui/panes/pane_icons.h"
#include "ui/panes/pane_model.h"

#include <QCursor>
#include <QHeaderView>
#include <QItemSelection>
#include <QLabel>
#include <QMouseEvent>

namespace tw::ui {

PaneView::PaneView(const PaneState* pane, QWidget* parent)
    : QTreeView(parent), m_model(new PaneModel(pane, this)) {
    setModel(m_model);
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true); // keeps 100 000 rows fast
    setAllColumnsShowFocus(true);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSortingEnabled(false);
    setTextElideMode(Qt::ElideRight);
    setIconSize(kPaneIconSize);
    setContextMenuPolicy(Qt::CustomContextMenu);
    header()->setSectionsClickable(true);
    header()->setSectionsMovable(false);
    header()->setStretchLastSection(false);
    header()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    m_model->setTintPalette(palette());
    setColumnWidths({200, 150, 90});
    setUpColumns();
    connect(header(), &QHeaderView::sectionClicked, this, &PaneView::headerClicked);
    connect(this, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& pos) { emit contextMenuWanted(viewport()->mapToGlobal(pos)); });
    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this] { emit selectionCountChanged(selectedCount()); });
}

void PaneView::reload() {
    m_model->reload(); // the reset shows every row again
    m_shown.clear();
    m_filter.clear();
    applyShown(); // Show Only Differences; the filter's binding applies its own after `reloaded`
    takeName();
    emit selectionCountChanged(0);
    emit reloaded();
}

void PaneView::showRows(const std::vector<std::uint8_t>& visible) {
    m_filter =
        visible.size() == std::size_t(m_model->rowCount()) ? visible : std::vector<std::uint8_t>{};
    applyShown();
}

void PaneView::setOnlyMarked(bool on) {
    if (on == m_onlyMarked)
        return;
    m_onlyMarked = on;
    applyShown();
}

void PaneView::marksChanged() {
    m_model->marksChanged();
    if (m_onlyMarked)
        applyShown();
}

void PaneView::changeEvent(QEvent* event) {
    QTreeView::changeEvent(event);
    if (event->type() == QEvent::PaletteChange)
        m_model->setTintPalette(palette()); // the tints keep the text readable on this palette
}

void PaneView::applyShown() {
    const int rows = m_model->rowCount();
    std::vector<std::uint8_t> visible = m_filter;
    if (m_onlyMarked) {
        visible.resize(std::size_t(rows), 1);
        for (int row = 0; row < rows; ++row)
            if (m_model->markOf(row) == CompareMark::None && !m_model->isParentRow(row))
                visible[std::size_t(row)] = 0;
    }
    const auto flag = [rows](const std::vector<std::uint8_t>& flags, int row) {
        return flags.size() != std::size_t(rows) || flags[std::size_t(row)] != 0;
    };
    QItemSelection hidden;
    for (int row = 0; row < rows; ++row) {
        const bool show = flag(visible, row);
        if (show == flag(m_shown, row))
            continue; // only the rows that change: a filter typed on 100 000 rows stays quick
        setRowHidden(row, QModelIndex(), !show);
        if (!show) {
            const QModelIndex index = m_model->index(row, 0);
            if (selectionModel()->isRowSelected(row, QModelIndex()))
                hidden.select(index, index);
        }
    }
    m_shown =
        visible.size() == std::size_t(rows) ? std::move(visible) : std::vector<std::uint8_t>{};
    if (!hidden.isEmpty())
        selectionModel()->select(hidden, QItemSelectionModel::Deselect | QItemSelectionModel::Rows);
}

bool PaneView::shownByFilter(int row) const {
    return row >= 0 &&
           (m_shown.empty() || (std::size_t(row) < m_shown.size() && m_shown[std::size_t(row)]));
}

void PaneView::setNameLabel(QLabel* label) {
    m_nameLabel = label;
    takeName();
}

void PaneView::takeName() {
    if (m_nameLabel)
        setAccessibleName(m_nameLabel->text());
}

std::vector<int> PaneView::selectedRows() const {
    std::vector<int> rows;
    const QModelIndexList list = selectionModel()->selectedRows(0);
    rows.reserve(std::size_t(list.size()));
    for (const QModelIndex& index : list)
        if (shownByFilter(index.row()))
            rows.push_back(index.row());
    std::sort(rows.begin(), rows.end());
    return rows;
}

int PaneView::selectedCount() const {
    if (m_shown.empty())
        return int(selectionModel()->selectedRows(0).size());
    return int(selectedRows().size());
}

int PaneView::selectRow(int row) {
    if (row < 0 || row >= m_model->rowCount() || !shownByFilter(row))
        return -1;
    const QModelIndex index = m_model->index(row, 0);
    selectionModel()->select(index, QItemSelectionModel::Select | QItemSelectionModel::Rows);
    selectionModel()->setCurrentIndex(index, QItemSelectionModel::NoUpdate);
    return row;
}

int PaneView::rowAt(const QPoint& viewportPos) const {
    const QModelIndex index = indexAt(viewportPos);
    return index.isValid() ? index.row() : -1;
}

int PaneView::rowUnderCursor() const {
    return rowAt(viewport()->mapFromGlobal(QCursor::pos()));
}

std::array<int, 3> PaneView::columnWidths() const {
    return {columnWidth(0), columnWidth(1), columnWidth(2)};
}

void PaneView::setColumnWidths(const std::array<int, 3>& widths) {
    for (int i = 0; i < 3; ++i)
        if (widths[std::size_t(i)] > 0)
            setColumnWidth(i, widths[std::size_t(i)]);
}

void PaneView::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QTreeView::mouseDoubleClickEvent(event);
        return;
    }
    emit rowDoubleClicked(rowAt(event->position().toPoint()));
    event->accept();
}

} // namespace tw::ui
