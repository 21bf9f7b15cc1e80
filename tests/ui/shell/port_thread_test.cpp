#include "shell_fixture.h"

#include "ui/command_actions.h"

#include <QAction>

#include <future>
#include <thread>

namespace tw::test {
namespace {

using ui::MainWindow;

class PortThreadTest : public ShellFixture {};

// A worker logging fast: every line arrives, in order, after the UI's own earlier line, and
// the status keeps the worker's last text.
TEST_F(PortThreadTest, WorkerLinesArriveInOrderAndStatusKeepsTheLatest) {
    MainWindow* w = start();
    w->appendLog(QStringLiteral("ui first"));
    constexpr int kLines = 3000;
    std::thread worker([w] {
        for (int i = 0; i < kLines; ++i) {
            w->appendLog(QStringLiteral("line %1").arg(i));
            EXPECT_TRUE(w->showStatus(QStringLiteral("status %1").arg(i)));
        }
    });
    worker.join();
    ASSERT_TRUE(waitFor([w] { return w->logLines().size() == kLines + 1; }));
    const QStringList lines = w->logLines();
    EXPECT_EQ(lines.first(), QStringLiteral("ui first"));
    for (int i = 0; i < kLines; ++i)
        ASSERT_EQ(lines[i + 1], QStringLiteral("line %1").arg(i));
    EXPECT_EQ(w->statusText(), QStringLiteral("status %1").arg(kLines - 1));
}

// A question from a worker blocks it until the UI thread has answered; lines logged before
// the question are on screen when it is asked.
TEST_F(PortThreadTest, WorkerQuestionBlocksUntilAnswered) {
    MainWindow* w = start();
    ui::MessageBoxTestHook::pushAnswers({false, true});
    int linesWhenAsked = -1;
    auto answers = std::async(std::launch::async, [w] {
        w->appendLog(QStringLiteral("before the question"));
        const bool first =
            w->showBox({BoxKind::YesNo, QStringLiteral("Q"), QStringLiteral("1?"), false});
        const bool second =
            w->showBox({BoxKind::YesNo, QStringLiteral("Q"), QStringLiteral("2?"), true});
        return std::make_pair(first, second);
    });
    ASSERT_TRUE(waitFor([&] {
        if (linesWhenAsked < 0 && ui::MessageBoxTestHook::pendingAnswers() < 2)
            linesWhenAsked = static_cast<int>(w->logLines().size());
        return answers.wait_for(std::chrono::milliseconds(0)) == std::future_status::ready;
    }));
    const auto [first, second] = answers.get();
    EXPECT_FALSE(first);
    EXPECT_TRUE(second);
    EXPECT_EQ(linesWhenAsked, 1);
    const auto asked = ui::MessageBoxTestHook::takeAnsweredRequests();
    ASSERT_EQ(asked.size(), 2u);
    EXPECT_EQ(asked[1].text, QStringLiteral("2?"));
}

// The worker's end recomputes the commands from its own thread.
TEST_F(PortThreadTest, CommandStateFromAWorkerIsAppliedOnTheUiThread) {
    MainWindow* w = start();
    QAction* disconnect = w->commandActions()->mainAction(CommandId::Disconnect);
    w->runtime().connected = true;
    w->runtime().busy = true;
    w->UpdateCommandState();
    ASSERT_FALSE(disconnect->isEnabled());
    std::thread worker([w] {
        w->runtime().busy = false;
        w->updateCommandState();
        w->refreshPane(PaneSide::Remote);
        w->setWindowTitle(QStringLiteral("from the worker"));
    });
    worker.join();
    EXPECT_TRUE(waitFor([&] { return disconnect->isEnabled(); }));
    EXPECT_EQ(w->windowTitle(), QStringLiteral("from the worker"));
    w->runtime().connected = false;
}

TEST_F(PortThreadTest, HiddenStatusBarTellsTheWorkerNothingWasShown) {
    MainWindow* w = start();
    w->dispatcher().dispatch(CommandId::ViewStatus);
    bool shown = true;
    std::thread worker([&] { shown = w->showStatus(QStringLiteral("x")); });
    worker.join();
    EXPECT_FALSE(shown);
}

} // namespace
} // namespace tw::test
