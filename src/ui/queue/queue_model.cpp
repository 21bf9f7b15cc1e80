#include "ui/queue/queue_model.h"

#include "core/panes/size_text.h"
#include "core/text/string_table.h"
#include "ui/panes/pane_model.h"

#include <QApplication>
#include <QFile>
#include <QStyle>

namespace tw::ui {

namespace {

QString label(int id) {
    return LookupString(id).value_or(QString());
}

} // namespace

QueueModel::QueueModel(QueueRows* rows, QObject* parent)
    : QAbstractTableModel(parent), m_rows(rows),
      m_download(QApplication::style()->standardIcon(QStyle::SP_ArrowDown)),
      m_upload(QApplication::style()->standardIcon(QStyle::SP_ArrowUp)) {
    connect(rows, &QueueRows::rowsAboutToBeInserted, this,
            [this](int first, int last) { beginInsertRows(QModelIndex(), first, last); });
    connect(rows, &QueueRows::rowsInserted, this, [this] { endInsertRows(); });
    connect(rows, &QueueRows::rowsAboutToBeRemoved, this,
            [this](int first, int last) { beginRemoveRows(QModelIndex(), first, last); });
    connect(rows, &QueueRows::rowsRemoved, this, [this] { endRemoveRows(); });
    connect(rows, &QueueRows::rowAboutToBeMoved, this, [this](int from, int to) {
        beginMoveRows(QModelIndex(), from, from, QModelIndex(), to);
    });
    connect(rows, &QueueRows::rowMoved, this, [this] { endMoveRows(); });
    connect(rows, &QueueRows::aboutToBeReset, this, [this] { beginResetModel(); });
    connect(rows, &QueueRows::reset, this, [this] { endResetModel(); });
    connect(rows, &QueueRows::rowsChanged, this, [this](int first, int last) {
        emit dataChanged(index(first, 0), index(last, ColumnCount - 1));
    });
}

QString QueueModel::LocalPathText(const queue::TransferItem& item) {
    return PaneModel::DisplayName(QFile::decodeName(
        QByteArray::fromRawData(item.localPath.data(), qsizetype(item.localPath.size()))));
}

QString QueueModel::RemotePathText(const queue::TransferItem& item) {
    return PaneModel::DisplayName(
        QString::fromUtf8(item.remotePath.data(), qsizetype(item.remotePath.size())));
}

void QueueModel::setReadableSizes(bool readable) {
    if (readable == m_readableSizes)
        return;
    m_readableSizes = readable;
    if (m_rows->count() > 0)
        emit dataChanged(index(0, Size), index(m_rows->count() - 1, Size));
}

int QueueModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : m_rows->count();
}

int QueueModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QString QueueModel::text(const queue::TransferItem& item, int column) const {
    switch (column) {
    case Direction:
        return QueueDirectionText(item.direction);
    case LocalPath:
        return LocalPathText(item);
    case RemotePath:
        return RemotePathText(item);
    case Size:
        return QueueSizeText(item, m_readableSizes);
    case Progress:
        return QueuePercentText(QueuePercent(item));
    case Speed:
        return QueueSpeedText(item);
    case State:
        return QueueStateText(item);
    default:
        return {};
    }
}

QVariant QueueModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= m_rows->count())
        return {};
    const queue::TransferItem& item = m_rows->at(index.row());
    const int column = index.column();
    switch (role) {
    case Qt::DisplayRole:
        return text(item, column);
    case Qt::AccessibleTextRole:
        // The first cell reads the whole row; the others read what they show.
        if (column == Direction)
            return QueueRowName(item, LocalPathText(item), RemotePathText(item));
        return text(item, column);
    case Qt::DecorationRole:
        if (column == Direction)
            return item.direction == queue::Direction::Download ? m_download : m_upload;
        return {};
    case Qt::ToolTipRole:
        if (column == LocalPath || column == RemotePath) {
            const std::string& raw = column == LocalPath ? item.localPath : item.remotePath;
            const QString exact = column == LocalPath
                                      ? QFile::decodeName(QByteArray::fromStdString(raw))
                                      : QString::fromStdString(raw);
            return exact != text(item, column) ? QVariant(exact) : QVariant();
        }
        if (column == State && !item.error.empty())
            return QueueStateText(item);
        if (column == Size && m_readableSizes && !text(item, column).isEmpty())
            return ExactSizeText(item.size);
        return {};
    case Qt::TextAlignmentRole:
        if (column == Size || column == Speed)
            return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
        if (column == Progress)
            return QVariant::fromValue(Qt::AlignCenter);
        return QVariant::fromValue(Qt::AlignLeft | Qt::AlignVCenter);
    case kPercentRole:
        return QueuePercent(item);
    default:
        return {};
    }
}

QVariant QueueModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= ColumnCount)
        return QAbstractTableModel::headerData(section, orientation, role);
    if (role == Qt::DisplayRole)
        return label(4811 + section);
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(
            (section == Size || section == Speed ? Qt::AlignRight : Qt::AlignLeft) |
            Qt::AlignVCenter);
    return {};
}

Qt::ItemFlags QueueModel::flags(const QModelIndex& index) const {
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
}

} // namespace tw::ui
