#pragma once

#include "queue/transfer_item.h"

#include <QObject>
#include <QString>

#include <cstdint>
#include <unordered_map>
#include <vector>

namespace tw {

// What a batch of the queue has done so far. A batch is every row that was queued or running
// since the queue last stood still (nothing queued or running); the counts stay as they ended
// until a row is queued again. Only files count; a skipped file counts as done with no bytes.
struct QueueTotals {
    std::int64_t filesDone = 0;
    std::int64_t filesTotal = 0;
    std::uint64_t bytesDone = 0;
    std::uint64_t bytesTotal = 0;
    bool operator==(const QueueTotals&) const = default;
};

// The commands of the queue pane.
enum class QueueCommand { Stop, StartAgain, RetryFailed, Remove, ClearFinished, MoveUp, MoveDown };

// The rows the queue pane shows, in queue order, with an id -> index map. Changes come in
// batches; each announces itself with signals a list model turns into its begin / end calls
// (the "about to" signal before the rows change, the other after). Updating rows by id and the
// totals cost nothing per row beyond the rows updated; inserting in the middle, removing and
// moving renumber the rows after the change.
class QueueRows : public QObject {
    Q_OBJECT
public:
    explicit QueueRows(QObject* parent = nullptr);

    int count() const { return int(m_rows.size()); }
    const queue::TransferItem& at(int index) const { return m_rows[std::size_t(index)].item; }
    // The index of the row `id`; -1 when there is none.
    int indexOf(std::int64_t id) const;
    // Every row's id in order (what QueueStore keeps as the order).
    std::vector<std::int64_t> ids() const;
    QueueTotals totals() const { return m_totals; }
    bool inBatch(int index) const { return m_rows[std::size_t(index)].batch == m_batch; }
    // Rows whose state is final (done, failed, skipped): what Clear Finished removes.
    int finishedCount() const { return m_finished; }

    // Puts `items` before the row at `position` (clamped; count() appends), in their order. An
    // item whose id is already in the queue is left out.
    void insert(int position, std::vector<queue::TransferItem> items);
    // Replaces the rows with the items' ids; an id not in the queue is left out.
    void update(const std::vector<queue::TransferItem>& items);
    // Removes the rows with these ids (unknown ids are left out).
    void remove(const std::vector<std::int64_t>& ids);
    // Removes every finished row.
    void removeFinished();
    // Moves each run of consecutive rows among `ids` one place up (down), past the row before
    // (after) it; a run at the top (bottom) stays. The rows keep their order among themselves.
    void moveUp(const std::vector<std::int64_t>& ids);
    void moveDown(const std::vector<std::int64_t>& ids);
    // Removes every row.
    void clear();

    // Whether `command` does anything for the rows `ids` (the pane's selection).
    bool canRun(QueueCommand command, const std::vector<std::int64_t>& ids) const;

signals:
    void rowsAboutToBeInserted(int first, int last);
    void rowsInserted();
    void rowsAboutToBeRemoved(int first, int last);
    void rowsRemoved();
    // Row `from` moves so that it stands before the row that is at `to` before the move (as
    // QAbstractItemModel::beginMoveRows counts).
    void rowAboutToBeMoved(int from, int to);
    void rowMoved();
    // Many rows changed at once: everything is to be read again.
    void aboutToBeReset();
    void reset();
    // The rows first..last hold new values.
    void rowsChanged(int first, int last);
    void totalsChanged();

private:
    struct Row {
        queue::TransferItem item;
        std::uint64_t batch = 0;
    };
    QueueTotals contribution(const Row& row) const;
    void add(const Row& row, int sign);
    void renumber(int from);
    // Starts a new batch when the queue stands still and `state` sets it going again.
    void wake(queue::ItemState state);
    bool active() const { return m_active > 0; }
    void removeIndices(std::vector<int> indices);
    void moveRuns(const std::vector<std::int64_t>& ids, bool up);

    std::vector<Row> m_rows;
    std::unordered_map<std::int64_t, int> m_index;
    QueueTotals m_totals;
    std::uint64_t m_batch = 1;
    int m_active = 0;   // queued or running rows
    int m_finished = 0; // done, failed or skipped rows
};

// The queue pane's texts of a row: "Download" / "Upload"; "Queued", "Running", "Done",
// "Failed: <reason>", "Stopped", "Skipped: <reason>"; the share copied (100 once done); "40 %";
// the speed while running ("" otherwise); and the row read as one sentence from its shown
// paths, "Download /pub/a.txt to /home/u/a.txt, 40 %, Running".
QString QueueDirectionText(queue::Direction direction);
QString QueueStateText(const queue::TransferItem& item);
int QueuePercent(const queue::TransferItem& item);
QString QueuePercentText(int percent);
QString QueueSpeedText(const queue::TransferItem& item);
// The size column: the byte count, or with `readable` as the panes write it ("1.4 MB").
QString QueueSizeText(const queue::TransferItem& item, bool readable = false);
QString QueueRowName(const queue::TransferItem& item, const QString& localPath,
                     const QString& remotePath);
// The text of a command of the pane's menu, with its key after a tab where it has one.
QString QueueCommandText(QueueCommand command);

} // namespace tw
