#include "shell_fixture.h"

#include "core/commands/toolbar_layout.h"
#include "ui/dialogs/exit_confirm_dialog.h"
#include "ui/main_toolbar.h"

namespace tw::test {
namespace {

using ui::ExitConfirmTestHook;
using ui::MainWindow;

class ExitTest : public ShellFixture {
protected:
    void TearDown() override {
        ExitConfirmTestHook::clear();
        ShellFixture::TearDown();
    }
};

TEST_F(ExitTest, ConfirmOnAndAnsweredNoKeepsTheProgramRunning) {
    MainWindow* w = start();
    ASSERT_EQ(w->state().options.Confirm, 1u);
    ExitConfirmTestHook::clear();
    ExitConfirmTestHook::pushAnswers({{false, true}});
    w->dispatcher().dispatch(CommandId::Exit);
    EXPECT_EQ(ExitConfirmTestHook::askedCount(), 1);
    EXPECT_FALSE(w->isShutDown());
    EXPECT_TRUE(w->isVisible());
}

TEST_F(ExitTest, ConfirmOnAndAnsweredYesShutsDownAndSavesAfterTheLoop) {
    MainWindow* w = start();
    w->move(60, 70);
    w->resize(700, 480);
    w->toolbar()->setArrangement(*ToolbarFromArrangement({toInt(CommandId::About)}));
    ExitConfirmTestHook::clear();
    ExitConfirmTestHook::pushAnswers({{true, true}});
    w->dispatcher().dispatch(CommandId::Exit);
    EXPECT_EQ(ExitConfirmTestHook::askedCount(), 1);
    EXPECT_TRUE(w->isShutDown());
    EXPECT_EQ(w->state().options.Confirm, 1u);
    EXPECT_FALSE(w->isVisible());

    // Placement taken at shutdown; written with everything else after the loop.
    const WindowPlacement& p = w->state().placement(Placement::Main);
    EXPECT_EQ(p.Width, 700);
    EXPECT_EQ(p.Height, 480);
    session().finish(0);
    SettingsStore reread(settingsFile());
    EXPECT_EQ(
        reread.ReadSettingNumber(QStringLiteral("DeskTop\\Window"), QStringLiteral("Width"), 0),
        700u);
    EXPECT_EQ(reread.ReadSettingString(QStringLiteral("DeskTop\\Window\\ToolBar"),
                                       QStringLiteral("Custom"), QString()),
              QString::number(toInt(CommandId::About)));
}

// The saved place is where the next start opens the window, to the pixel, also when the
// window was maximised at exit (then its normal place and size).
TEST_F(ExitTest, WindowPlacementRoundTripIsExact) {
    store().WriteSettingFlag(QStringLiteral("Options"), QStringLiteral("Confirm"), 0);
    MainWindow* w = start();
    w->setGeometry(QRect(60, 70, 700, 480));
    ASSERT_TRUE(waitFor([&] { return w->geometry() == QRect(60, 70, 700, 480); }));
    const QRect frame = w->frameGeometry();
    for (const bool maximised : {false, true}) {
        if (maximised) {
            w->showMaximized();
            ASSERT_TRUE(waitFor([&] { return w->geometry() != QRect(60, 70, 700, 480); }));
            ASSERT_TRUE(w->isMaximized());
        }
        w->close();
        ASSERT_TRUE(w->isShutDown());
        w = restart();
        EXPECT_TRUE(waitFor([&] { return w->geometry() == QRect(60, 70, 700, 480); }))
            << "maximised " << maximised;
        EXPECT_EQ(w->geometry(), QRect(60, 70, 700, 480));
        EXPECT_EQ(w->frameGeometry(), frame);
    }
}

TEST_F(ExitTest, ConfirmOffClosesWithoutAQuestion) {
    store().WriteSettingFlag(QStringLiteral("Options"), QStringLiteral("Confirm"), 0);
    MainWindow* w = start();
    ASSERT_EQ(w->state().options.Confirm, 0u);
    ExitConfirmTestHook::clear();
    ExitConfirmTestHook::pushAnswers({{false, true}}); // would keep it running if asked
    w->close();
    EXPECT_EQ(ExitConfirmTestHook::askedCount(), 0);
    EXPECT_EQ(ExitConfirmTestHook::pendingAnswers(), 1u);
    EXPECT_TRUE(w->isShutDown());
}

// Unticking "Always Confirm" and answering Yes turns the question off for later exits, and
// the choice is saved with the other settings.
TEST_F(ExitTest, UntickedConfirmationTurnsConfirmOff) {
    MainWindow* w = start();
    ExitConfirmTestHook::clear();
    ExitConfirmTestHook::pushAnswers({{true, false}});
    w->dispatcher().dispatch(CommandId::Exit);
    EXPECT_TRUE(w->isShutDown());
    EXPECT_EQ(w->state().options.Confirm, 0u);

    MainWindow* again = restart();
    EXPECT_EQ(again->state().options.Confirm, 0u);
    ExitConfirmTestHook::clear();
    ExitConfirmTestHook::pushAnswers({{false, true}});
    again->dispatcher().dispatch(CommandId::Exit);
    EXPECT_EQ(ExitConfirmTestHook::askedCount(), 0);
    EXPECT_TRUE(again->isShutDown());
}

TEST_F(ExitTest, RefusedDisconnectKeepsTheProgramRunning) {
    store().WriteSettingFlag(QStringLiteral("Options"), QStringLiteral("Confirm"), 0);
    MainWindow* w = start();
    int asked = 0;
    w->setDisconnectHandler([&] {
        ++asked;
        return false;
    });
    w->runtime().connected = true;
    w->close();
    EXPECT_EQ(asked, 1);
    EXPECT_FALSE(w->isShutDown());
    EXPECT_TRUE(w->isVisible());
    w->runtime().connected = false;
    w->setDisconnectHandler({});
}

} // namespace
} // namespace tw::test
