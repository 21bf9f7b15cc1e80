#include "ui/panes/pane_model.h"

#include "core/panes/size_text.h"
#include "core/text/shown_text.h"
#include "ui/panes/pane_icons.h"

namespace tw::ui {

PaneModel::PaneModel(const PaneState* pane, QObject* parent)
    : QAbstractTableModel(parent), m_pane(pane), m_rows(pane ? pane->count() : 0) {}

void PaneModel::setPane(const PaneState* pane) {
    beginResetModel();
    m_pane = pane;
    m_rows = pane ? pane->count() : 0;
    endResetModel();
}

void PaneModel::reload() {
    beginResetModel();
    m_rows = m_pane ? m_pane->count() : 0;
    endResetModel();
    emit headerDataChanged(Qt::Horizontal, 0, 2);
}

void PaneModel::setReadableSizes(bool readable) {
    if (readable == m_readableSizes)
        return;
    m_readableSizes = readable;
    if (m_rows > 0)
        emit dataChanged(index(0, 2), index(m_rows - 1, 2));
}

void PaneModel::setTintPalette(const QPalette& palette) {
    const CompareTints tints = CompareTintsFor(palette);
    if (tints == m_tints)
        return;
    m_tints = tints;
    if (m_rows > 0)
        emit dataChanged(index(0, 0), index(m_rows - 1, 2), {Qt::BackgroundRole});
}

void PaneModel::marksChanged() {
    if (m_rows > 0)
        emit dataChanged(index(0, 0), index(m_rows - 1, 2),
                         {Qt::BackgroundRole, Qt::DecorationRole, Qt::AccessibleDescriptionRole});
}

CompareMark PaneModel::markOf(int row) const {
    if (!m_pane || row < 0 || row >= m_rows || row >= m_pane->count())
        return CompareMark::None;
    return m_pane->entries[std::size_t(row)].compare;
}

bool PaneModel::isParentRow(int row) const {
    return m_pane && row >= 0 && row < m_rows && row < m_pane->count() &&
           m_pane->entries[std::size_t(row)].isParent;
}

int PaneModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : m_rows;
}

int PaneModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : 3;
}

QString PaneModel::DisplayName(const QString& name) {
    QString out = name;
    for (QChar& c : out) {
        if (c == u'\n' || c == u'\r')
            c = QChar(0x21B5); // downwards arrow with corner leftwards
        else if (ftp::IsControlCodePoint(c.unicode()))
            c = QChar(0xFFFD); // controls, and overrides that would reorder the name's end
    }
    return out;
}

QVariant PaneModel::data(const QModelIndex& index, int role) const {
    if (!m_pane || !index.isValid() || index.row() >= m_pane->count() || index.row() >= m_rows)
        return {};
    const FileEntry& row = m_pane->entries[std::size_t(index.row())];
    switch (role) {
    case Qt::DisplayRole:
        switch (index.column()) {
        case 0:
            return DisplayName(row.name);
        case 1:
            return row.dateText();
        case 2:
            return PaneSizeText(row, m_readableSizes);
        default:
            return {};
        }
    case Qt::DecorationRole:
        if (index.column() == 0)
            return CompareRowIcon(row.icon, row.isLink, row.compare);
        return {};
    case Qt::BackgroundRole:
        if (const QColor& tint = m_tints[std::size_t(row.compare)]; tint.isValid())
            return tint;
        return {};
    case Qt::AccessibleDescriptionRole:
        if (row.compare != CompareMark::None)
            return CompareDescription(row.compare);
        return {};
    case Qt::ToolTipRole:
        if (index.column() == 0 && DisplayName(row.name) != row.name)
            return ShownText(row.name, ftp::LineBreaks::Keep); // what the marks stand for
        if (m_readableSizes)
            if (const QString exact = PaneExactSizeText(row); !exact.isEmpty())
                return exact;
        return {};
    case Qt::AccessibleTextRole:
        // Read as "1.4 MB (1,457,664 bytes)".
        if (index.column() == 2 && m_readableSizes)
            if (const QString exact = PaneExactSizeText(row); !exact.isEmpty())
                return QStringLiteral("%1 (%2)").arg(PaneSizeText(row, true), exact);
        return {};
    case Qt::TextAlignmentRole:
        if (index.column() == 2)
            return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
        return QVariant::fromValue(Qt::AlignLeft | Qt::AlignVCenter);
    default:
        return {};
    }
}

QVariant PaneModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section > 2)
        return QAbstractTableModel::headerData(section, orientation, role);
    if (role == Qt::DisplayRole)
        return m_pane ? m_pane->headers[std::size_t(section)] : QString();
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(section == 2 ? Qt::AlignRight | Qt::AlignVCenter
                                                : Qt::AlignLeft | Qt::AlignVCenter);
    return {};
}

Qt::ItemFlags PaneModel::flags(const QModelIndex& index) const {
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
}

} // namespace tw::ui
