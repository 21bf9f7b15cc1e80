#include "ui/log_line_model.h"

#include "ui/log_pane.h"

namespace tw::ui {

LogLineModel::LogLineModel(QObject* parent) : QAbstractListModel(parent) {}

int LogLineModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_lines.size());
}

QVariant LogLineModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() < 0 || index.row() >= rowCount())
        return {};
    if (role == Qt::DisplayRole)
        return LogPane::displayText(m_lines[std::size_t(index.row())]);
    return {};
}

void LogLineModel::append(const QStringList& lines) {
    if (lines.isEmpty())
        return;
    const int first = rowCount();
    beginInsertRows(QModelIndex(), first, first + static_cast<int>(lines.size()) - 1);
    m_lines.insert(m_lines.end(), lines.begin(), lines.end());
    endInsertRows();
}

void LogLineModel::clear() {
    beginResetModel();
    m_lines.clear();
    m_lines.shrink_to_fit();
    endResetModel();
}

} // namespace tw::ui
