#include "core/queue/queue_rows.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <limits>
#include <set>

namespace tw::test {
namespace {

using queue::ItemKind;
using queue::ItemState;
using queue::TransferItem;
using Ids = std::vector<std::int64_t>;

TransferItem Row(std::int64_t id, ItemState state = ItemState::Stopped, std::uint64_t size = 100,
                 std::uint64_t transferred = 0, ItemKind kind = ItemKind::File) {
    TransferItem item;
    item.id = id;
    item.state = state;
    item.size = size;
    item.transferred = transferred;
    item.kind = kind;
    item.remotePath = "/pub/" + std::to_string(id);
    return item;
}

bool Active(ItemState s) {
    return s == ItemState::Queued || s == ItemState::Running;
}

// The plain reading of what QueueRows keeps: a vector searched from the front, and a batch
// flag per row that a new batch clears for every row.
struct Reference {
    struct Entry {
        TransferItem item;
        bool inBatch = false;
    };
    std::vector<Entry> rows;

    int find(std::int64_t id) const {
        for (std::size_t i = 0; i < rows.size(); ++i)
            if (rows[i].item.id == id)
                return int(i);
        return -1;
    }
    bool anyActive() const {
        return std::any_of(rows.begin(), rows.end(),
                           [](const Entry& e) { return Active(e.item.state); });
    }
    // A change that sets something going while nothing runs starts a new batch.
    void startBatchIf(bool setsGoing) {
        if (setsGoing && !anyActive())
            for (Entry& e : rows)
                e.inBatch = false;
    }
    void insert(int position, const std::vector<TransferItem>& items) {
        std::vector<Entry> added;
        for (const TransferItem& item : items) {
            const bool known = find(item.id) >= 0 ||
                               std::any_of(added.begin(), added.end(),
                                           [&](const Entry& e) { return e.item.id == item.id; });
            if (!known)
                added.push_back({item, false});
        }
        startBatchIf(std::any_of(added.begin(), added.end(),
                                 [](const Entry& e) { return Active(e.item.state); }));
        for (Entry& e : added)
            e.inBatch = Active(e.item.state);
        const int at = std::clamp(position, 0, int(rows.size()));
        rows.insert(rows.begin() + at, added.begin(), added.end());
    }
    void update(const std::vector<TransferItem>& items) {
        bool going = false;
        for (const TransferItem& item : items)
            going = going || (find(item.id) >= 0 && Active(item.state));
        startBatchIf(going);
        for (const TransferItem& item : items)
            if (const int i = find(item.id); i >= 0) {
                rows[std::size_t(i)].item = item;
                if (Active(item.state))
                    rows[std::size_t(i)].inBatch = true;
            }
    }
    void remove(const Ids& ids) {
        std::erase_if(rows, [&](const Entry& e) {
            return std::find(ids.begin(), ids.end(), e.item.id) != ids.end();
        });
    }
    void removeFinished() {
        std::erase_if(rows, [](const Entry& e) { return queue::IsFinished(e.item.state); });
    }
    // One place up: each selected row trades places with an unselected row above it.
    void moveUp(const Ids& ids) {
        const auto selected = [&](std::size_t i) {
            return std::find(ids.begin(), ids.end(), rows[i].item.id) != ids.end();
        };
        for (std::size_t i = 1; i < rows.size(); ++i)
            if (selected(i) && !selected(i - 1))
                std::swap(rows[i], rows[i - 1]);
    }
    void moveDown(const Ids& ids) {
        std::reverse(rows.begin(), rows.end());
        moveUp(ids);
        std::reverse(rows.begin(), rows.end());
    }
    QueueTotals totals() const {
        QueueTotals t;
        for (const Entry& e : rows) {
            const TransferItem& i = e.item;
            if (!e.inBatch || i.kind != ItemKind::File)
                continue;
            ++t.filesTotal;
            const std::uint64_t size = std::max(i.size, i.transferred);
            if (i.state == ItemState::Skipped) {
                ++t.filesDone;
            } else if (i.state == ItemState::Done) {
                ++t.filesDone;
                t.bytesDone += size;
                t.bytesTotal += size;
            } else {
                t.bytesDone += i.transferred;
                t.bytesTotal += size;
            }
        }
        return t;
    }
    Ids ids() const {
        Ids out;
        for (const Entry& e : rows)
            out.push_back(e.item.id);
        return out;
    }
};

// What a list model would hold if it followed only the signals: the ids, changed as each
// signal pair says.
struct SignalMirror {
    Ids ids;
    std::set<std::int64_t> changed;
    int resets = 0;
    int pendingFirst = -1, pendingLast = -1;

    explicit SignalMirror(QueueRows& rows) {
        QObject::connect(&rows, &QueueRows::rowsAboutToBeInserted, [this](int f, int l) {
            pendingFirst = f;
            pendingLast = l;
        });
        QObject::connect(&rows, &QueueRows::rowsInserted, [this, &rows] {
            for (int i = pendingFirst; i <= pendingLast; ++i)
                ids.insert(ids.begin() + i, rows.at(i).id);
        });
        QObject::connect(&rows, &QueueRows::rowsAboutToBeRemoved,
                         [this](int f, int l) { ids.erase(ids.begin() + f, ids.begin() + l + 1); });
        QObject::connect(&rows, &QueueRows::rowAboutToBeMoved, [this](int from, int to) {
            const std::int64_t id = ids[std::size_t(from)];
            ids.erase(ids.begin() + from);
            ids.insert(ids.begin() + (to > from ? to - 1 : to), id);
        });
        QObject::connect(&rows, &QueueRows::reset, [this, &rows] {
            ids = rows.ids();
            ++resets;
        });
        QObject::connect(&rows, &QueueRows::rowsChanged, [this, &rows](int f, int l) {
            for (int i = f; i <= l; ++i)
                changed.insert(rows.at(i).id);
        });
    }
};

struct Step {
    const char* what;
    std::function<void(QueueRows&, Reference&)> apply;
    Ids changed = {}; // the rows the step reports as changed (updates only)
    bool resets = false;
};

Step Insert(const char* what, int position, std::vector<TransferItem> items) {
    return {what, [=](QueueRows& r, Reference& ref) {
                r.insert(position, items);
                ref.insert(position, items);
            }};
}
Step Update(const char* what, std::vector<TransferItem> items, Ids changed) {
    return {what,
            [=](QueueRows& r, Reference& ref) {
                r.update(items);
                ref.update(items);
            },
            changed};
}
Step Remove(const char* what, Ids ids, bool resets = false) {
    return {what,
            [=](QueueRows& r, Reference& ref) {
                r.remove(ids);
                ref.remove(ids);
            },
            {},
            resets};
}
Step Move(const char* what, bool up, Ids ids) {
    return {what, [=](QueueRows& r, Reference& ref) {
                if (up) {
                    r.moveUp(ids);
                    ref.moveUp(ids);
                } else {
                    r.moveDown(ids);
                    ref.moveDown(ids);
                }
            }};
}

std::vector<TransferItem> Numbered(std::int64_t first, std::int64_t last,
                                   ItemState state = ItemState::Stopped) {
    std::vector<TransferItem> out;
    for (std::int64_t id = first; id <= last; ++id)
        out.push_back(Row(id, state, 100 * std::uint64_t(id)));
    return out;
}

// Every batch operation against the reference, one step after another on the same rows: the
// order, the id map, the totals and what the signals told a model all agree after each step.
TEST(QueueRows, BatchOperationsMatchThePlainReference) {
    using S = ItemState;
    const Step steps[] = {
        Insert("ten stopped rows", 0, Numbered(1, 10)),
        Insert("at the front", 0, {Row(20), Row(21)}),
        Insert("in the middle, a known id left out", 5, {Row(22), Row(3), Row(23), Row(22)}),
        Insert("past the end appends", 999, {Row(24)}),
        Insert("only known ids: nothing", 2, {Row(1), Row(2)}),
        Update("queue three rows: a batch begins",
               {Row(1, S::Queued, 100), Row(2, S::Queued, 200), Row(30, S::Queued)}, {1, 2}),
        Update("progress of one row", {Row(1, S::Running, 100, 40)}, {1}),
        Update("a folder row and a skipped file",
               {Row(4, S::Queued, 0, 0, ItemKind::Folder), Row(5, S::Skipped)}, {4, 5}),
        Update("one done, one failed, folder done",
               {Row(1, S::Done, 100, 100), Row(2, S::Failed, 200, 50),
                Row(4, S::Done, 0, 0, ItemKind::Folder)},
               {1, 2, 4}),
        // Nothing runs now; queuing again starts a new batch without the rows before.
        Update("start again: a new batch", {Row(2, S::Queued, 200, 0)}, {2}),
        Update("a size larger than listed", {Row(2, S::Running, 200, 250)}, {2}),
        Insert("queued rows join the running batch", 3, Numbered(40, 43, S::Queued)),
        Move("up: runs at the top stay", true, {20, 21, 1, 999}),
        Move("up: two runs", true, {22, 23, 6, 7}),
        Move("down: the last row stays", false, {24, 9}),
        Move("down: a run", false, {40, 41, 42}),
        Remove("three runs", {21, 43, 24, 777}),
        Update("running rows finish", {Row(2, S::Done, 200, 250), Row(40, S::Done, 400, 400)},
               {2, 40}),
        {"clear finished",
         [](QueueRows& r, Reference& ref) {
             r.removeFinished();
             ref.removeFinished();
         }},
        Insert("many rows", 2, Numbered(100, 300)),
        Remove(
            "scattered: shown again as a whole",
            [] {
                Ids odd;
                for (std::int64_t id = 101; id <= 300; id += 2)
                    odd.push_back(id);
                return odd;
            }(),
            true),
    };

    QueueRows rows;
    Reference ref;
    SignalMirror mirror(rows);
    for (const Step& step : steps) {
        SCOPED_TRACE(step.what);
        mirror.changed.clear();
        const int resets = mirror.resets;
        step.apply(rows, ref);
        ASSERT_EQ(rows.ids(), ref.ids());
        EXPECT_EQ(mirror.ids, ref.ids());
        EXPECT_EQ(mirror.changed, std::set<std::int64_t>(step.changed.begin(), step.changed.end()));
        EXPECT_EQ(mirror.resets > resets, step.resets);
        for (int i = 0; i < rows.count(); ++i)
            ASSERT_EQ(rows.indexOf(rows.at(i).id), i);
        EXPECT_EQ(rows.indexOf(777), -1);
        const QueueTotals want = ref.totals();
        EXPECT_EQ(rows.totals(), want) << want.filesDone << "/" << want.filesTotal << " "
                                       << want.bytesDone << "/" << want.bytesTotal;
        EXPECT_EQ(rows.finishedCount(),
                  std::count_if(ref.rows.begin(), ref.rows.end(),
                                [](const auto& e) { return queue::IsFinished(e.item.state); }));
    }
    rows.clear();
    EXPECT_EQ(rows.count(), 0);
    EXPECT_TRUE(mirror.ids.empty());
    EXPECT_EQ(rows.totals(), QueueTotals{});
}

// Which of the pane's commands a selection offers.
TEST(QueueRows, CommandsFollowTheSelectedStates) {
    using C = QueueCommand;
    using S = ItemState;
    QueueRows rows;
    rows.insert(0, {Row(1, S::Running), Row(2, S::Queued), Row(3, S::Failed), Row(4, S::Done),
                    Row(5, S::Stopped), Row(6, S::Skipped)});
    struct Case {
        Ids selected;
        std::vector<C> offered;
    };
    const Case cases[] = {
        {{}, {C::ClearFinished}},
        {{1}, {C::Stop, C::Remove, C::MoveDown, C::ClearFinished}},
        {{1, 2}, {C::Stop, C::Remove, C::MoveDown, C::ClearFinished}},
        {{3}, {C::StartAgain, C::RetryFailed, C::Remove, C::MoveUp, C::MoveDown, C::ClearFinished}},
        {{6, 5}, {C::StartAgain, C::Remove, C::MoveUp, C::ClearFinished}},
        {{1, 6}, {C::Stop, C::StartAgain, C::Remove, C::MoveUp, C::MoveDown, C::ClearFinished}},
        {{1, 2, 3, 4, 5, 6}, {C::Stop, C::StartAgain, C::RetryFailed, C::Remove, C::ClearFinished}},
        {{99}, {C::ClearFinished}},
    };
    const C all[] = {C::Stop,          C::StartAgain, C::RetryFailed, C::Remove,
                     C::ClearFinished, C::MoveUp,     C::MoveDown};
    for (const Case& c : cases) {
        for (const C command : all) {
            const bool want =
                std::find(c.offered.begin(), c.offered.end(), command) != c.offered.end();
            EXPECT_EQ(rows.canRun(command, c.selected), want)
                << int(command) << " for " << c.selected.size() << " rows";
        }
    }
    rows.removeFinished();
    EXPECT_FALSE(rows.canRun(C::ClearFinished, {}));
}

// The texts a row shows.
TEST(QueueRows, RowTexts) {
    using S = ItemState;
    struct Case {
        TransferItem item;
        const char* state;
        const char* percent;
        const char* speed;
        const char* size;
    };
    TransferItem failed = Row(1, S::Failed, 1000, 10);
    failed.error = "550 Permission denied";
    TransferItem skipped = Row(2, S::Skipped);
    skipped.error = "the destination is newer";
    TransferItem running = Row(3, S::Running, 1000, 400);
    running.bytesPerSecond = 3 * 1024 * 1024 / 2;
    TransferItem huge = Row(4, S::Running, std::numeric_limits<std::uint64_t>::max(),
                            std::numeric_limits<std::uint64_t>::max() / 2);
    huge.bytesPerSecond = 512;
    const Case cases[] = {
        {Row(5, S::Queued, 0), "Queued", "0 %", "", ""},
        {running, "Running", "40 %", "1.5 MB/s", "1000"},
        {huge, "Running", "49 %", "512 B/s", "18446744073709551615"},
        {Row(6, S::Done, 0, 0), "Done", "100 %", "", "0"},
        {failed, "Failed: 550 Permission denied", "1 %", "", "1000"},
        {Row(7, S::Failed), "Failed", "0 %", "", "100"},
        {Row(8, S::Stopped, 100, 99), "Stopped", "99 %", "", "100"},
        {skipped, "Skipped: the destination is newer", "0 %", "", "100"},
        {Row(9, S::Done, 0, 0, ItemKind::Folder), "Done", "100 %", "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.item.id);
        EXPECT_EQ(QueueStateText(c.item), QString::fromUtf8(c.state));
        EXPECT_EQ(QueuePercentText(QueuePercent(c.item)), QString::fromUtf8(c.percent));
        EXPECT_EQ(QueueSpeedText(c.item), QString::fromUtf8(c.speed));
        EXPECT_EQ(QueueSizeText(c.item), QString::fromUtf8(c.size));
    }
    TransferItem upload = running;
    upload.direction = queue::Direction::Upload;
    EXPECT_EQ(QueueRowName(running, QStringLiteral("/home/u/a.txt"), QStringLiteral("/pub/a.txt")),
              QStringLiteral("Download /pub/a.txt to /home/u/a.txt, 40 %, Running"));
    EXPECT_EQ(QueueRowName(upload, QStringLiteral("/home/u/a.txt"), QStringLiteral("/pub/a.txt")),
              QStringLiteral("Upload /home/u/a.txt to /pub/a.txt, 40 %, Running"));
    EXPECT_EQ(QueueCommandText(QueueCommand::Remove), QStringLiteral("Re&move\tDel"));
}

} // namespace
} // namespace tw::test
