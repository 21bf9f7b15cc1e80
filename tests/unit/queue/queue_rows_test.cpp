// The queue's rows and commands without a server: order, moves, removal, totals, the
// observer's events (replayed onto a copy that must equal the queue), Folder rows (local, no
// connection) and retries of a server that cannot be reached.

#include "ftp/ftp_error.h"
#include "queue/transfer_queue.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <arpa/inet.h>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <netinet/in.h>
#include <set>
#include <sys/socket.h>
#include <unistd.h>

using namespace tw::queue;
namespace fs = std::filesystem;

namespace {

using Ids = std::vector<std::int64_t>;

std::int64_t idOf(std::int64_t id) {
    return id;
}
std::int64_t idOf(const TransferItem& row) {
    return row.id;
}

// The move rule: each selected row changes places with the nearest unselected row above it.
template <typename Row>
void referenceMove(std::vector<Row>& order, const Ids& selection, bool up) {
    const std::set<std::int64_t> selected(selection.begin(), selection.end());
    const auto in = [&](const Row& r) { return selected.count(idOf(r)) > 0; };
    if (up) {
        for (std::size_t i = 1; i < order.size(); ++i)
            if (in(order[i]) && !in(order[i - 1]))
                std::swap(order[i], order[i - 1]);
    } else {
        for (std::size_t i = order.size() - 1; i-- > 0;)
            if (in(order[i]) && !in(order[i + 1]))
                std::swap(order[i], order[i + 1]);
    }
}

// Keeps a copy of the rows from the observer's events alone.
class Mirror : public QueueObserver {
public:
    void rowsAdded(const std::vector<TransferItem>& rows) override {
        std::lock_guard lock(m_mutex);
        m_rows.insert(m_rows.end(), rows.begin(), rows.end());
    }
    void rowsChanged(const std::vector<TransferItem>& rows) override {
        std::lock_guard lock(m_mutex);
        for (const auto& r : rows)
            *find(r.id) = r;
    }
    void rowsInserted(std::int64_t replaced, const std::vector<TransferItem>& rows) override {
        std::lock_guard lock(m_mutex);
        const auto at = m_rows.erase(find(replaced));
        m_rows.insert(at, rows.begin(), rows.end());
    }
    void rowsRemoved(const Ids& ids) override {
        std::lock_guard lock(m_mutex);
        const std::set<std::int64_t> gone(ids.begin(), ids.end());
        std::erase_if(m_rows, [&](const TransferItem& r) { return gone.count(r.id) > 0; });
    }
    void rowsMoved(const Ids& ids, bool up) override {
        std::lock_guard lock(m_mutex);
        referenceMove(m_rows, ids, up);
    }
    void notice(const std::string& line) override {
        std::lock_guard lock(m_mutex);
        m_notices.push_back(line);
    }
    std::vector<TransferItem> rows() const {
        std::lock_guard lock(m_mutex);
        return m_rows;
    }
    std::vector<std::string> notices() const {
        std::lock_guard lock(m_mutex);
        return m_notices;
    }

private:
    std::vector<TransferItem>::iterator find(std::int64_t id) {
        return std::find_if(m_rows.begin(), m_rows.end(),
                            [id](const TransferItem& r) { return r.id == id; });
    }
    mutable std::mutex m_mutex;
    std::vector<TransferItem> m_rows;
    std::vector<std::string> m_notices;
};

Ids idsOf(const std::vector<TransferItem>& rows) {
    Ids ids;
    for (const auto& r : rows)
        ids.push_back(r.id);
    return ids;
}

// Rows that do not run: they keep the state they are added with.
std::vector<TransferItem> rowsIn(std::initializer_list<ItemState> states) {
    std::vector<TransferItem> rows;
    for (const ItemState state : states) {
        TransferItem item;
        item.state = state;
        item.remotePath = "/r" + std::to_string(rows.size());
        item.localPath = "/tmp/l" + std::to_string(rows.size());
        rows.push_back(item);
    }
    return rows;
}

// A loopback port nobody listens on.
int closedPort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
    ::close(fd);
    return ntohs(a.sin_port);
}

tw::ftp::SessionOptions nowhere() {
    tw::ftp::SessionOptions o;
    o.host = "127.0.0.1";
    o.port = closedPort();
    o.timeoutMs = 2000;
    return o;
}

struct MoveCase {
    Ids selection; // by position, 0 first
    bool up;
};

// Moves of every shape (a single row, a block, rows at the edges, scattered rows), twice in a
// row, against the reference rule; the observer's copy follows.
TEST(QueueRows, MovesFollowTheRuleAndTheObserverFollowsThem) {
    const std::vector<MoveCase> cases = {
        {{0}, true},
        {{0}, false},
        {{3}, true},
        {{5}, false},
        {{2, 3}, true},
        {{2, 3}, false},
        {{0, 1, 4}, true},
        {{4, 5, 1}, false},
        {{1, 3, 5}, true},
        {{0, 2, 4}, false},
        {{0, 1, 2, 3, 4, 5}, true},
    };
    for (const auto& c : cases) {
        Mirror mirror;
        TransferQueue queue(nowhere(), QueueSettings{}, &mirror);
        const auto added =
            queue.add(rowsIn({ItemState::Stopped, ItemState::Done, ItemState::Failed,
                              ItemState::Skipped, ItemState::Stopped, ItemState::Done}));
        Ids expected = idsOf(added);
        Ids selection;
        for (const auto at : c.selection)
            selection.push_back(added[std::size_t(at)].id);
        for (int round = 0; round < 2; ++round) {
            if (c.up)
                queue.moveUp(selection);
            else
                queue.moveDown(selection);
            referenceMove(expected, selection, c.up);
        }
        queue.waitIdle();
        SCOPED_TRACE(testing::PrintToString(c.selection) + (c.up ? " up" : " down"));
        EXPECT_EQ(idsOf(queue.snapshot()), expected);
        EXPECT_EQ(idsOf(mirror.rows()), expected);
    }
}

// Ids are assigned in order and never reused; groups default to the first new row's id;
// rows of a run that ended (Running) come back Stopped; remove and clearFinished keep the
// totals and the observer's copy right.
TEST(QueueRows, AddRemoveClearKeepTotalsAndObserverRight) {
    Mirror mirror;
    TransferQueue queue(nowhere(), QueueSettings{}, &mirror);
    const auto first = queue.add(
        rowsIn({ItemState::Done, ItemState::Running, ItemState::Failed, ItemState::Skipped}));
    const auto second = queue.add(rowsIn({ItemState::Stopped, ItemState::Done}));
    EXPECT_EQ(idsOf(first), (Ids{1, 2, 3, 4}));
    EXPECT_EQ(idsOf(second), (Ids{5, 6}));
    EXPECT_EQ(first[3].group, 1);
    EXPECT_EQ(second[1].group, 5);
    EXPECT_EQ(first[1].state, ItemState::Stopped);

    auto t = queue.totals();
    EXPECT_EQ(t.rows, 6u);
    EXPECT_EQ(t.done, 2u);
    EXPECT_EQ(t.stopped, 2u);
    EXPECT_EQ(t.failed, 1u);
    EXPECT_EQ(t.skipped, 1u);

    queue.remove({2, 99});
    EXPECT_EQ(queue.clearFinished(), (Ids{1, 3, 4, 6}));
    EXPECT_EQ(idsOf(queue.snapshot()), (Ids{5}));
    t = queue.totals();
    EXPECT_EQ(t.rows, 1u);
    EXPECT_EQ(t.stopped, 1u);
    EXPECT_EQ(t.done + t.failed + t.skipped, 0u);
    const auto third = queue.add(rowsIn({ItemState::Stopped}));
    EXPECT_EQ(third[0].id, 7);
    queue.waitIdle();
    EXPECT_EQ(idsOf(mirror.rows()), (Ids{5, 7}));
    EXPECT_FALSE(queue.item(2));
}

// A hundred thousand rows: added, moved at both ends and cleared, with the observer's copy
// still equal (the work per command is that of its rows, not of the queue).
TEST(QueueRows, AHundredThousandRows) {
    Mirror mirror;
    TransferQueue queue(nowhere(), QueueSettings{}, &mirror);
    std::vector<TransferItem> rows;
    for (int i = 0; i < 100000; ++i) {
        TransferItem item;
        item.state = i % 2 ? ItemState::Done : ItemState::Stopped;
        item.remotePath = "/f" + std::to_string(i);
        rows.push_back(std::move(item));
    }
    const auto added = queue.add(std::move(rows));
    queue.moveUp({added.back().id});
    queue.moveDown({added.front().id});
    EXPECT_EQ(queue.clearFinished().size(), 50000u);
    const auto left = queue.snapshot();
    ASSERT_EQ(left.size(), 50000u);
    EXPECT_EQ(left.front().id, added[0].id); // moved below the Done row 2, which went
    EXPECT_EQ(left.back().id, added[99998].id);
    queue.waitIdle();
    EXPECT_EQ(idsOf(mirror.rows()), idsOf(left));
}

// Folder rows of a download need no connection: one that is made is Done; one where a file is
// in the way fails, the file stays, and the Queued rows of its group inside it fail without a
// try ("the folder ... could not be made").
TEST(QueueRows, AFolderThatCannotBeMadeFailsWhatGoesIntoIt) {
    std::string pattern = (fs::temp_directory_path() / "tw-queue-XXXXXX").string();
    const fs::path tmp = ::mkdtemp(pattern.data());
    std::ofstream(tmp / "blocked") << "keep";
    Mirror mirror;
    TransferQueue queue(nowhere(), QueueSettings{}, &mirror);
    std::vector<TransferItem> rows(4);
    rows[0].kind = ItemKind::Folder;
    rows[0].localPath = (tmp / "made").string();
    rows[1].kind = ItemKind::Folder;
    rows[1].localPath = (tmp / "blocked").string();
    rows[2].localPath = (tmp / "blocked" / "a.txt").string();
    rows[2].remotePath = "/blocked/a.txt";
    rows[3].kind = ItemKind::Folder;
    rows[3].localPath = (tmp / "blocked" / "sub").string();
    queue.add(rows);
    queue.waitIdle();
    const auto done = queue.snapshot();
    EXPECT_EQ(done[0].state, ItemState::Done);
    EXPECT_TRUE(fs::is_directory(tmp / "made"));
    EXPECT_EQ(done[1].state, ItemState::Failed);
    EXPECT_EQ(done[1].error, "a file of that name is in the way: " + (tmp / "blocked").string());
    for (int i : {2, 3}) {
        EXPECT_EQ(done[std::size_t(i)].state, ItemState::Failed);
        EXPECT_EQ(done[std::size_t(i)].error,
                  "the folder " + (tmp / "blocked").string() + " could not be made");
    }
    EXPECT_TRUE(fs::is_regular_file(tmp / "blocked"));
    EXPECT_EQ(mirror.rows().size(), 4u);
    EXPECT_EQ(mirror.rows()[3].state, ItemState::Failed);
    fs::remove_all(tmp);
}

// A server that cannot be reached: each try is a retry (counted in the row, told as a notice)
// until the retries are used up; Retry Failed starts the count again; a stopped row stays
// stopped until started.
TEST(QueueRows, RetriesUntilUsedUpThenRetryFailedStartsAgain) {
    Mirror mirror;
    QueueSettings settings;
    settings.maxRetries = 2;
    settings.retryDelay = std::chrono::milliseconds(1);
    TransferQueue queue(nowhere(), settings, &mirror);
    TransferItem item;
    item.remotePath = "/a.txt";
    item.localPath = "/tmp/tw-queue-never-written";
    const std::int64_t id = queue.add({item})[0].id;
    queue.waitIdle();
    auto row = *queue.item(id);
    EXPECT_EQ(row.state, ItemState::Failed);
    EXPECT_EQ(row.retries, 2);
    EXPECT_EQ(row.errorCode, tw::ftp::kErrCannotConnect);
    EXPECT_EQ(row.error.rfind("cannot connect: ", 0), 0u) << row.error;
    auto notices = mirror.notices();
    ASSERT_EQ(notices.size(), 2u);
    EXPECT_NE(notices[1].find("trying again in 1 ms (retry 2 of 2)"), std::string::npos)
        << notices[1];

    queue.retryFailed();
    queue.waitIdle();
    row = *queue.item(id);
    EXPECT_EQ(row.state, ItemState::Failed);
    EXPECT_EQ(row.retries, 2);
    EXPECT_EQ(mirror.notices().size(), 4u);

    queue.stop({id}); // a Failed row is not stopped
    EXPECT_EQ(queue.item(id)->state, ItemState::Failed);
    queue.start({id});
    queue.stop();
    queue.waitIdle();
    const auto state = queue.item(id)->state;
    EXPECT_TRUE(state == ItemState::Stopped || state == ItemState::Failed);
    EXPECT_FALSE(fs::exists("/tmp/tw-queue-never-written"));
}

} // namespace
