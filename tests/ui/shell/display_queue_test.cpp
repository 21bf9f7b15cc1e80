#include "ui/display_queue.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace tw::ui {
namespace {

TEST(DisplayQueue, FlushIsAskedForOnlyWhenTheQueueWasEmpty) {
    DisplayQueue q;
    EXPECT_TRUE(q.appendLog(QStringLiteral("a")));
    EXPECT_FALSE(q.appendLog(QStringLiteral("b")));
    EXPECT_FALSE(q.setStatus(QStringLiteral("s")));
    EXPECT_FALSE(q.take().empty());
    EXPECT_TRUE(q.take().empty());
    EXPECT_TRUE(q.updateCommandState());
}

TEST(DisplayQueue, LinesKeepOrderLatestStatusAndTitleWin) {
    DisplayQueue q;
    q.appendLog(QStringLiteral("one"));
    q.setStatus(QStringLiteral("first"));
    q.appendLog(QStringLiteral("two"));
    q.setStatus(QStringLiteral("second"));
    q.setTitle(QStringLiteral("T1"));
    q.setTitle(QStringLiteral("T2"));
    q.refreshPane(PaneSide::Remote);
    q.refreshPane(PaneSide::Remote);
    const DisplayQueue::Batch b = q.take();
    EXPECT_EQ(b.logLines, (QStringList{QStringLiteral("one"), QStringLiteral("two")}));
    EXPECT_EQ(b.status, QStringLiteral("second"));
    EXPECT_EQ(b.title, QStringLiteral("T2"));
    EXPECT_TRUE(b.refreshRemote);
    EXPECT_FALSE(b.refreshLocal);
    EXPECT_FALSE(b.clearLogFirst);
}

TEST(DisplayQueue, ClearDropsEarlierLinesButKeepsLaterOnes) {
    DisplayQueue q;
    q.appendLog(QStringLiteral("old"));
    q.clearLog();
    q.appendLog(QStringLiteral("new"));
    const DisplayQueue::Batch b = q.take();
    EXPECT_TRUE(b.clearLogFirst);
    EXPECT_EQ(b.logLines, QStringList{QStringLiteral("new")});
}

TEST(DisplayQueue, CursorSwitchesArePairedInOrder) {
    DisplayQueue q;
    q.setCursor(CursorKind::Busy, true);
    q.setCursor(CursorKind::Busy, false);
    q.setCursor(CursorKind::Wait, true);
    const auto b = q.take();
    ASSERT_EQ(b.cursors.size(), 3u);
    EXPECT_EQ(b.cursors[0], std::make_pair(CursorKind::Busy, true));
    EXPECT_EQ(b.cursors[1], std::make_pair(CursorKind::Busy, false));
    EXPECT_EQ(b.cursors[2], std::make_pair(CursorKind::Wait, true));
}

// Several writers against a reader taking batches: no line is lost or duplicated, and each
// writer's lines stay in their order.
TEST(DisplayQueue, ConcurrentWritersLoseNothing) {
    DisplayQueue q;
    constexpr int kWriters = 4;
    constexpr int kLines = 2000;
    std::vector<std::thread> writers;
    for (int w = 0; w < kWriters; ++w)
        writers.emplace_back([&q, w] {
            for (int i = 0; i < kLines; ++i)
                q.appendLog(QStringLiteral("%1:%2").arg(w).arg(i));
        });
    QStringList seen;
    std::atomic<bool> done{false};
    std::thread reader([&] {
        while (!done)
            seen << q.take().logLines;
    });
    for (auto& t : writers)
        t.join();
    done = true;
    reader.join();
    seen << q.take().logLines;

    ASSERT_EQ(seen.size(), kWriters * kLines);
    std::vector<int> next(kWriters, 0);
    for (const QString& line : seen) {
        const int w = line.section(QLatin1Char(':'), 0, 0).toInt();
        const int i = line.section(QLatin1Char(':'), 1, 1).toInt();
        ASSERT_EQ(i, next[std::size_t(w)]) << "writer " << w;
        ++next[std::size_t(w)];
    }
}

} // namespace
} // namespace tw::ui
