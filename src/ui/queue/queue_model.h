#pragma once

#include "core/queue/queue_rows.h"

#include <QAbstractTableModel>
#include <QIcon>

namespace tw::ui {

// Shows the queue's rows, one per item in queue order: direction (an arrow and "Download" /
// "Upload"), local path, remote path, size, progress ("40 %", drawn as a bar by
// QueueProgressDelegate), speed and state. It follows the rows' signals, so a progress update
// repaints one row and nothing is copied. Paths are shown as the panes show names: the local
// one decoded as the file system's name, the remote one as UTF-8, control characters made
// visible; the exact text is the tooltip where they differ.
class QueueModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { Direction, LocalPath, RemotePath, Size, Progress, Speed, State, ColumnCount };
    // The share copied, 0-100, of a row (Progress column).
    static constexpr int kPercentRole = Qt::UserRole + 1;

    explicit QueueModel(QueueRows* rows, QObject* parent = nullptr);

    QueueRows* rows() const { return m_rows; }
    // Sizes as "1.4 MB", the exact bytes in the tooltip, or the byte count as it is.
    void setReadableSizes(bool readable);
    // The shown paths of a row.
    static QString LocalPathText(const queue::TransferItem& item);
    static QString RemotePathText(const queue::TransferItem& item);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    QString text(const queue::TransferItem& item, int column) const;

    QueueRows* m_rows;
    QIcon m_download;
    QIcon m_upload;
    bool m_readableSizes = false;
};

} // namespace tw::ui
