#include "ui/main_window_layout.h"

#include <gtest/gtest.h>

namespace tw::ui {
namespace {

MainWindowLayoutInput input(int w, int h, bool toolbar = true, bool status = true) {
    MainWindowLayoutInput in;
    in.clientWidth = w;
    in.clientHeight = h;
    in.toolbarVisible = toolbar;
    in.toolbarHeight = 29;
    in.statusVisible = status;
    in.statusHeight = 22;
    in.toolbarOption = toolbar;
    return in;
}

// Client area of a 620 x 420 window below a 23-pixel menu bar.
TEST(LayoutMainWindow, MinimumSizeKeepsEveryChildVisible) {
    const MainWindowLayout l = LayoutMainWindow(input(620, 397));
    for (const QRect& r : {l.toolbar, l.statusBar, l.localLabel, l.localList, l.remoteLabel,
                           l.remoteList, l.logPane}) {
        EXPECT_GT(r.width(), 0);
        EXPECT_GT(r.height(), 0);
        EXPECT_GE(r.top(), 0);
        EXPECT_LE(r.bottom(), 396);
    }
    // Nothing overlaps between the toolbar, the panes, the log pane and the status bar.
    EXPECT_LE(l.toolbar.bottom(), l.localLabel.top());
    EXPECT_LT(l.localList.bottom(), l.logPane.top());
    EXPECT_LT(l.logPane.bottom(), l.statusBar.top());
}

TEST(LayoutMainWindow, GeometryAtSeveralSizes) {
    for (const QSize size : {QSize(620, 397), QSize(800, 600), QSize(1921, 1057)}) {
        SCOPED_TRACE(size.width());
        const MainWindowLayout l = LayoutMainWindow(input(size.width(), size.height()));
        const int top = 29;
        const int bottom = size.height() - 22;
        const int half = size.width() / 2;
        EXPECT_EQ(l.toolbar, QRect(0, 0, size.width(), 29));
        EXPECT_EQ(l.statusBar, QRect(0, bottom, size.width(), 22));
        EXPECT_EQ(l.localLabel, QRect(5, top + 8, half - 5, 15));
        EXPECT_EQ(l.localList, QRect(0, top + 25, half, bottom - top - 100));
        EXPECT_EQ(l.remoteLabel, QRect(half + 5, top + 8, half - 5, 15));
        EXPECT_EQ(l.remoteList, QRect(half, top + 25, half, bottom - top - 100));
        EXPECT_EQ(l.logPane, QRect(1, bottom - 74, size.width() - 2, 74));
        // The lists end one pixel above the log pane, whatever the height.
        EXPECT_EQ(l.localList.bottom() + 2, l.logPane.top());
        EXPECT_EQ(l.remoteList.bottom() + 2, l.logPane.top());
    }
}

TEST(LayoutMainWindow, OddWidthLeavesTheRightmostColumnEmpty) {
    const MainWindowLayout l = LayoutMainWindow(input(801, 500));
    EXPECT_EQ(l.remoteList.right(), 799);
    EXPECT_EQ(l.localList.width(), l.remoteList.width());
    EXPECT_EQ(l.logPane.right(), 799);
}

TEST(LayoutMainWindow, HiddenBarsGiveTheirSpaceToThePanes) {
    const MainWindowLayout shown = LayoutMainWindow(input(700, 500));
    const MainWindowLayout noToolbar = LayoutMainWindow(input(700, 500, false, true));
    const MainWindowLayout noStatus = LayoutMainWindow(input(700, 500, true, false));

    EXPECT_TRUE(noToolbar.toolbar.isEmpty());
    EXPECT_EQ(noToolbar.localLabel.top(), shown.localLabel.top() - 29);
    EXPECT_EQ(noToolbar.remoteList.top(), shown.remoteList.top() - 29);
    EXPECT_EQ(noToolbar.logPane, shown.logPane);

    EXPECT_TRUE(noStatus.statusBar.isEmpty());
    EXPECT_EQ(noStatus.logPane.bottom(), 499);
    EXPECT_EQ(noStatus.logPane.height(), 74);
    EXPECT_EQ(noStatus.localList.top(), shown.localList.top());
    EXPECT_EQ(noStatus.localList.height(), shown.localList.height() + 22);
}

TEST(LayoutMainWindow, SeparatorFollowsTheToolbarOption) {
    const MainWindowLayout shown = LayoutMainWindow(input(700, 500));
    ASSERT_TRUE(shown.separator.visible);
    EXPECT_EQ(shown.separator.y, 29 + 2);
    EXPECT_EQ(shown.separator.left, 0);
    EXPECT_EQ(shown.separator.right, 699);

    // Option on but the toolbar hidden: no line.
    MainWindowLayoutInput hidden = input(700, 500);
    hidden.toolbarVisible = false;
    EXPECT_FALSE(LayoutMainWindow(hidden).separator.visible);

    // Option off: the line runs under the menu bar, or nowhere without a menu.
    MainWindowLayoutInput off = input(700, 500, false);
    EXPECT_TRUE(LayoutMainWindow(off).separator.visible);
    EXPECT_EQ(LayoutMainWindow(off).separator.y, 0);
    off.hasMenu = false;
    EXPECT_FALSE(LayoutMainWindow(off).separator.visible);
}

} // namespace
} // namespace tw::ui
