#include "ui/dialogs/exit_confirm_dialog.h"

#include "ui/dialogs/dialog_units.h"
#include "widget_test_support.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

namespace {

using tw::ui::ConfirmExit;
using tw::ui::ExitConfirmAnswer;
using tw::ui::ExitConfirmDialog;
using tw::ui::ExitConfirmTestHook;

class ExitConfirmTest : public ::testing::Test {
protected:
    void SetUp() override {
        tw::test::widgetApp();
        ExitConfirmTestHook::clear();
    }
    void TearDown() override { ExitConfirmTestHook::clear(); }
};

TEST_F(ExitConfirmTest, TextsAndGeometry) {
    std::uint32_t flag = 1;
    ExitConfirmDialog dialog(nullptr, &flag);
    const tw::ui::DialogUnits du;
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral(" Exit Tarnwick 2000"));
    EXPECT_EQ(dialog.textLabel()->text(),
              QStringLiteral("You are about to exit Tarnwick 2000.\nAre you sure you want to "
                             "quit Tarnwick 2000 at this time?"));
    EXPECT_EQ(dialog.alwaysConfirmBox()->text(),
              QStringLiteral("&Always Confirm Tarnwick 2000 Exits"));
    EXPECT_EQ(dialog.size(), du.size(230, 76));
    EXPECT_EQ(dialog.textLabel()->geometry(), du.rect(37, 10, 190, 16));
    EXPECT_EQ(dialog.yesButton()->geometry(), du.rect(58, 54, 46, 14));
    EXPECT_EQ(dialog.noButton()->geometry(), du.rect(124, 54, 46, 14));
    EXPECT_EQ(dialog.alwaysConfirmBox()->geometry(), du.rect(50, 35, 155, 8));
    EXPECT_EQ(dialog.yesButton()->text(), QStringLiteral("&Yes"));
    EXPECT_EQ(dialog.noButton()->text(), QStringLiteral("&No"));
    EXPECT_TRUE(dialog.yesButton()->isDefault());
    EXPECT_FALSE(dialog.noButton()->isDefault());
    EXPECT_TRUE(dialog.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_TRUE(dialog.alwaysConfirmBox()->isChecked());
}

TEST_F(ExitConfirmTest, WithoutFlagTheCheckBoxIsHidden) {
    ExitConfirmDialog dialog(nullptr, nullptr);
    dialog.show();
    EXPECT_FALSE(dialog.alwaysConfirmBox()->isVisible());
    EXPECT_TRUE(dialog.yesButton()->isVisible());

    const tw::test::ModalWatcher watcher(
        [](QWidget* modal) { modal->findChild<QPushButton*>(QStringLiteral("1"))->click(); });
    EXPECT_TRUE(ConfirmExit(nullptr, nullptr));
}

TEST_F(ExitConfirmTest, FlagOffGoesOnWithoutAsking) {
    std::uint32_t flag = 0;
    // Should a dialog come up after all, it is closed so the test ends and fails.
    const tw::test::ModalWatcher watcher([](QWidget* modal) { modal->close(); });
    EXPECT_TRUE(ConfirmExit(nullptr, &flag));
    EXPECT_EQ(flag, 0u);
    EXPECT_FALSE(watcher.fired());
}

TEST_F(ExitConfirmTest, YesWithBoxUntickedTurnsConfirmOff) {
    std::uint32_t flag = 1;
    const tw::test::ModalWatcher watcher([](QWidget* modal) {
        modal->findChild<QCheckBox*>(QStringLiteral("102"))->setChecked(false);
        modal->findChild<QPushButton*>(QStringLiteral("1"))->click();
    });
    EXPECT_TRUE(ConfirmExit(nullptr, &flag));
    EXPECT_EQ(flag, 0u);
}

TEST_F(ExitConfirmTest, YesWithBoxTickedKeepsConfirmOn) {
    std::uint32_t flag = 7; // any nonzero value counts as on and is stored back as 1
    const tw::test::ModalWatcher watcher(
        [](QWidget* modal) { QTest::keyClick(modal->focusWidget(), Qt::Key_Return); });
    EXPECT_TRUE(ConfirmExit(nullptr, &flag));
    EXPECT_EQ(flag, 1u);
}

TEST_F(ExitConfirmTest, NoEscapeAndCloseKeepRunningAndKeepTheFlag) {
    const std::vector<std::function<void(QWidget*)>> refusals = {
        [](QWidget* m) {
            m->findChild<QCheckBox*>(QStringLiteral("102"))->setChecked(false);
            m->findChild<QPushButton*>(QStringLiteral("2"))->click();
        },
        [](QWidget* m) { QTest::keyClick(m, Qt::Key_Escape); },
        [](QWidget* m) { m->close(); },
    };
    for (const auto& refuse : refusals) {
        std::uint32_t flag = 1;
        const tw::test::ModalWatcher watcher(refuse);
        EXPECT_FALSE(ConfirmExit(nullptr, &flag));
        EXPECT_EQ(flag, 1u);
    }
}

TEST_F(ExitConfirmTest, TestHookAnswersWithoutDialog) {
    ExitConfirmTestHook::pushAnswers({{true, false}, {false, false}});
    std::uint32_t flag = 1;
    EXPECT_TRUE(ConfirmExit(nullptr, &flag));
    EXPECT_EQ(flag, 0u);
    flag = 1;
    EXPECT_FALSE(ConfirmExit(nullptr, &flag));
    EXPECT_EQ(flag, 1u);
    EXPECT_EQ(ExitConfirmTestHook::askedCount(), 2);
    EXPECT_EQ(ExitConfirmTestHook::pendingAnswers(), 0u);
}

} // namespace
