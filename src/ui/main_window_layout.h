#pragma once

#include <QRect>

namespace tw::ui {

// What the layout of the main window's client area depends on.
struct MainWindowLayoutInput {
    int clientWidth = 0;
    int clientHeight = 0;
    bool toolbarVisible = true;
    int toolbarHeight = 0;
    bool statusVisible = true;
    int statusHeight = 0;
    bool hasMenu = true;        // the etched line goes under the menu bar when the toolbar is off
    bool toolbarOption = true;  // the ToolBar option (the toolbar may exist but be hidden)
    bool queueVisible = false;  // the transfer queue pane shows between the panes and the log
    int quickConnectHeight = 0; // the quick connect bar under the toolbar; 0 while hidden
    int paneToolsHeight = 0;    // the row of path box and filter under each path label; 0: none
};

// The etched separator line: from (left, y) to (right, y); invalid when none is drawn.
struct SeparatorLine {
    bool visible = false;
    int left = 0;
    int right = 0;
    int y = 0;
};

// Where every child of the main window goes, in client coordinates. A hidden bar has an
// empty rectangle.
struct MainWindowLayout {
    QRect toolbar;
    QRect statusBar;
    QRect localLabel;   // 9002
    QRect localList;    // 9001
    QRect remoteLabel;  // 9004
    QRect remoteList;   // 9003
    QRect logPane;      // 9005
    QRect queuePane;    // empty while hidden
    QRect quickConnect; // empty while hidden
    QRect localTools;   // path box and filter of the local pane; empty while none
    QRect remoteTools;
    SeparatorLine separator;
};

// The geometry of the client area: toolbar on top, the quick connect bar under it, two panes side
// by side (a path label above a list each, with the row of path box and filter between them), the
// log pane 74 pixels high across the bottom, the status bar below it. The transfer queue pane, when
// shown, takes two fifths of the lists' height (at least 60 pixels) from under them, across the
// window above the log pane.
MainWindowLayout LayoutMainWindow(const MainWindowLayoutInput& input);

} // namespace tw::ui
