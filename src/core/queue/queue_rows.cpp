#include "core/queue/queue_rows.h"

#include "core/panes/size_text.h"
#include "core/text/format.h"
#include "core/text/string_table.h"

#include <algorithm>
#include <unordered_set>

namespace tw {

namespace {

using queue::ItemKind;
using queue::ItemState;

// More separate runs than this in one removal are shown again as a whole: one reset is
// cheaper for a view than thousands of row removals.
constexpr std::size_t kMaxRemovedRuns = 32;

bool isActive(ItemState state) {
    return state == ItemState::Queued || state == ItemState::Running;
}

// Runs of consecutive values in ascending `sorted`: (first, last) pairs.
std::vector<std::pair<int, int>> runsOf(const std::vector<int>& sorted) {
    std::vector<std::pair<int, int>> runs;
    for (const int index : sorted) {
        if (!runs.empty() && runs.back().second + 1 == index)
            runs.back().second = index;
        else
            runs.emplace_back(index, index);
    }
    return runs;
}

} // namespace

QueueRows::QueueRows(QObject* parent) : QObject(parent) {}

int QueueRows::indexOf(std::int64_t id) const {
    const auto found = m_index.find(id);
    return found == m_index.end() ? -1 : found->second;
}

std::vector<std::int64_t> QueueRows::ids() const {
    std::vector<std::int64_t> out;
    out.reserve(m_rows.size());
    for (const Row& row : m_rows)
        out.push_back(row.item.id);
    return out;
}

QueueTotals QueueRows::contribution(const Row& row) const {
    QueueTotals t;
    const queue::TransferItem& item = row.item;
    if (row.batch != m_batch || item.kind != ItemKind::File)
        return t;
    t.filesTotal = 1;
    const std::uint64_t size = std::max(item.size, item.transferred);
    switch (item.state) {
    case ItemState::Skipped:
        t.filesDone = 1;
        break;
    case ItemState::Done:
        t.filesDone = 1;
        t.bytesDone = t.bytesTotal = size;
        break;
    default:
        t.bytesDone = item.transferred;
        t.bytesTotal = size;
        break;
    }
    return t;
}

// Adds (sign 1) or takes away (sign -1) a row's share of the totals and the counts.
void QueueRows::add(const Row& row, int sign) {
    const QueueTotals t = contribution(row);
    if (sign > 0) {
        m_totals.filesDone += t.filesDone;
        m_totals.filesTotal += t.filesTotal;
        m_totals.bytesDone += t.bytesDone;
        m_totals.bytesTotal += t.bytesTotal;
    } else {
        m_totals.filesDone -= t.filesDone;
        m_totals.filesTotal -= t.filesTotal;
        m_totals.bytesDone -= t.bytesDone;
        m_totals.bytesTotal -= t.bytesTotal;
    }
    m_active += isActive(row.item.state) ? sign : 0;
    m_finished += queue::IsFinished(row.item.state) ? sign : 0;
}

void QueueRows::renumber(int from) {
    for (std::size_t i = std::size_t(std::max(from, 0)); i < m_rows.size(); ++i)
        m_index[m_rows[i].item.id] = int(i);
}

void QueueRows::wake(ItemState state) {
    if (active() || !isActive(state))
        return;
    ++m_batch; // the rows of the batch before leave it all at once
    m_totals = {};
}

void QueueRows::insert(int position, std::vector<queue::TransferItem> items) {
    std::unordered_set<std::int64_t> seen;
    std::vector<Row> rows;
    rows.reserve(items.size());
    for (queue::TransferItem& item : items)
        if (!m_index.contains(item.id) && seen.insert(item.id).second)
            rows.push_back(Row{std::move(item), 0});
    if (rows.empty())
        return;
    const QueueTotals before = m_totals;
    if (const auto first = std::find_if(rows.begin(), rows.end(),
                                        [](const Row& row) { return isActive(row.item.state); });
        first != rows.end())
        wake(first->item.state);
    for (Row& row : rows) {
        if (isActive(row.item.state))
            row.batch = m_batch;
        add(row, 1);
    }
    const int at = std::clamp(position, 0, count());
    emit rowsAboutToBeInserted(at, at + int(rows.size()) - 1);
    m_rows.insert(m_rows.begin() + at, std::make_move_iterator(rows.begin()),
                  std::make_move_iterator(rows.end()));
    renumber(at);
    emit rowsInserted();
    if (m_totals != before)
        emit totalsChanged();
}

void QueueRows::update(const std::vector<queue::TransferItem>& items) {
    const QueueTotals before = m_totals;
    std::vector<int> changed;
    changed.reserve(items.size());
    bool woken = false;
    for (const queue::TransferItem& item : items) {
        const int index = indexOf(item.id);
        if (index < 0)
            continue;
        if (!woken) {
            wake(item.state);
            woken = active() || isActive(item.state);
        }
        Row& row = m_rows[std::size_t(index)];
        add(row, -1);
        row.item = item;
        if (isActive(item.state))
            row.batch = m_batch;
        add(row, 1);
        changed.push_back(index);
    }
    std::sort(changed.begin(), changed.end());
    changed.erase(std::unique(changed.begin(), changed.end()), changed.end());
    for (const auto& [first, last] : runsOf(changed))
        emit rowsChanged(first, last);
    if (m_totals != before)
        emit totalsChanged();
}

void QueueRows::removeIndices(std::vector<int> indices) {
    std::sort(indices.begin(), indices.end());
    indices.erase(std::unique(indices.begin(), indices.end()), indices.end());
    if (indices.empty())
        return;
    const QueueTotals before = m_totals;
    for (const int index : indices) {
        add(m_rows[std::size_t(index)], -1);
        m_index.erase(m_rows[std::size_t(index)].item.id);
    }
    const auto runs = runsOf(indices);
    if (runs.size() > kMaxRemovedRuns) {
        emit aboutToBeReset();
        std::size_t kept = 0;
        std::size_t next = 0; // the next index to remove, in `indices`
        for (std::size_t i = 0; i < m_rows.size(); ++i) {
            if (next < indices.size() && std::size_t(indices[next]) == i) {
                ++next;
                continue;
            }
            if (kept != i)
                m_rows[kept] = std::move(m_rows[i]);
            ++kept;
        }
        m_rows.resize(kept);
        renumber(indices.front());
        emit reset();
    } else {
        // From the last run to the first, so the runs before keep their indices.
        for (auto run = runs.rbegin(); run != runs.rend(); ++run) {
            emit rowsAboutToBeRemoved(run->first, run->second);
            m_rows.erase(m_rows.begin() + run->first, m_rows.begin() + run->second + 1);
            renumber(run->first);
            emit rowsRemoved();
        }
    }
    if (m_totals != before)
        emit totalsChanged();
}

void QueueRows::remove(const std::vector<std::int64_t>& ids) {
    std::vector<int> indices;
    indices.reserve(ids.size());
    for (const std::int64_t id : ids)
        if (const int index = indexOf(id); index >= 0)
            indices.push_back(index);
    removeIndices(std::move(indices));
}

void QueueRows::removeFinished() {
    if (m_finished == 0)
        return;
    std::vector<int> indices;
    for (std::size_t i = 0; i < m_rows.size(); ++i)
        if (queue::IsFinished(m_rows[i].item.state))
            indices.push_back(int(i));
    removeIndices(std::move(indices));
}

void QueueRows::clear() {
    if (m_rows.empty())
        return;
    const QueueTotals before = m_totals;
    emit aboutToBeReset();
    m_rows.clear();
    m_index.clear();
    m_totals = {};
    m_active = m_finished = 0;
    emit reset();
    if (m_totals != before)
        emit totalsChanged();
}

void QueueRows::moveRuns(const std::vector<std::int64_t>& ids, bool up) {
    std::vector<int> indices;
    for (const std::int64_t id : ids)
        if (const int index = indexOf(id); index >= 0)
            indices.push_back(index);
    std::sort(indices.begin(), indices.end());
    indices.erase(std::unique(indices.begin(), indices.end()), indices.end());
    auto runs = runsOf(indices);
    if (!up)
        std::reverse(runs.begin(), runs.end());
    for (const auto& [first, last] : runs) {
        // The row beside the run changes sides with the whole run.
        if (up && first > 0) {
            emit rowAboutToBeMoved(first - 1, last + 1);
            std::rotate(m_rows.begin() + first - 1, m_rows.begin() + first,
                        m_rows.begin() + last + 1);
        } else if (!up && last + 1 < count()) {
            emit rowAboutToBeMoved(last + 1, first);
            std::rotate(m_rows.begin() + first, m_rows.begin() + last + 1,
                        m_rows.begin() + last + 2);
        } else {
            continue;
        }
        for (int i = std::max(first - 1, 0); i <= std::min(last + 1, count() - 1); ++i)
            m_index[m_rows[std::size_t(i)].item.id] = i;
        emit rowMoved();
    }
}

void QueueRows::moveUp(const std::vector<std::int64_t>& ids) {
    moveRuns(ids, true);
}

void QueueRows::moveDown(const std::vector<std::int64_t>& ids) {
    moveRuns(ids, false);
}

bool QueueRows::canRun(QueueCommand command, const std::vector<std::int64_t>& ids) const {
    if (command == QueueCommand::ClearFinished)
        return m_finished > 0;
    std::vector<int> indices;
    for (const std::int64_t id : ids)
        if (const int index = indexOf(id); index >= 0)
            indices.push_back(index);
    const auto any = [&](auto test) {
        return std::any_of(indices.begin(), indices.end(),
                           [&](int i) { return test(m_rows[std::size_t(i)].item.state); });
    };
    switch (command) {
    case QueueCommand::Stop:
        return any(isActive);
    case QueueCommand::StartAgain:
        return any([](ItemState s) { return !isActive(s); });
    case QueueCommand::RetryFailed:
        return any([](ItemState s) { return s == ItemState::Failed; });
    case QueueCommand::Remove:
        return !indices.empty();
    case QueueCommand::MoveUp:
    case QueueCommand::MoveDown: {
        // Some selected row has a row that is not selected on that side.
        std::sort(indices.begin(), indices.end());
        indices.erase(std::unique(indices.begin(), indices.end()), indices.end());
        const int n = int(indices.size());
        for (int k = 0; k < n; ++k) {
            if (command == QueueCommand::MoveUp && indices[std::size_t(k)] != k)
                return true;
            if (command == QueueCommand::MoveDown &&
                indices[std::size_t(n - 1 - k)] != count() - 1 - k)
                return true;
        }
        return false;
    }
    case QueueCommand::ClearFinished:
        break;
    }
    return false;
}

namespace {

QString text(int id, FmtArgs args = {}) {
    return FormatText(LookupString(id).value_or(QString()), args);
}

// The text of a final state with its reason, the bare word without one.
QString withReason(int bare, int reasoned, const std::string& reason) {
    return reason.empty() ? text(bare) : text(reasoned, {reason});
}

} // namespace

QString QueueDirectionText(queue::Direction direction) {
    return text(direction == queue::Direction::Download ? 4820 : 4821);
}

QString QueueStateText(const queue::TransferItem& item) {
    switch (item.state) {
    case ItemState::Queued:
        return text(4822);
    case ItemState::Running:
        return text(4823);
    case ItemState::Done:
        return text(4824);
    case ItemState::Failed:
        return withReason(4825, 4826, item.error);
    case ItemState::Stopped:
        return text(4827);
    case ItemState::Skipped:
        return withReason(4828, 4829, item.error);
    }
    return {};
}

int QueuePercent(const queue::TransferItem& item) {
    if (item.state == ItemState::Done)
        return 100;
    if (item.size == 0)
        return 0;
    const long double share =
        static_cast<long double>(item.transferred) * 100 / static_cast<long double>(item.size);
    return int(std::min<long double>(share, 100));
}

QString QueuePercentText(int percent) {
    return text(4830, {percent});
}

QString QueueSpeedText(const queue::TransferItem& item) {
    if (item.state != ItemState::Running || item.bytesPerSecond == 0)
        return {};
    const std::uint64_t rate = item.bytesPerSecond;
    constexpr double kKilo = 1024;
    if (rate < 1024)
        return text(4831, {rate});
    if (rate < 1024 * 1024)
        return text(4832, {double(rate) / kKilo});
    if (rate < 1024ull * 1024 * 1024)
        return text(4833, {double(rate) / (kKilo * kKilo)});
    return text(4834, {double(rate) / (kKilo * kKilo * kKilo)});
}

QString QueueSizeText(const queue::TransferItem& item, bool readable) {
    if (item.kind != ItemKind::File || (item.size == 0 && item.state != ItemState::Done))
        return {}; // a folder, or a size not known yet
    return readable ? ReadableSizeText(item.size) : QString::number(item.size);
}

QString QueueRowName(const queue::TransferItem& item, const QString& localPath,
                     const QString& remotePath) {
    const QString percent = QueuePercentText(QueuePercent(item));
    if (item.direction == queue::Direction::Download)
        return text(4835, {remotePath, localPath, percent, QueueStateText(item)});
    return text(4836, {localPath, remotePath, percent, QueueStateText(item)});
}

QString QueueCommandText(QueueCommand command) {
    return text(4840 + int(command));
}

} // namespace tw
