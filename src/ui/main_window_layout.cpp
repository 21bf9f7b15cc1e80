#include "ui/main_window_layout.h"

#include <algorithm>

namespace tw::ui {

namespace {
constexpr int kMinQueueHeight = 60;
}

MainWindowLayout LayoutMainWindow(const MainWindowLayoutInput& in) {
    MainWindowLayout out;
    const int w = in.clientWidth;
    int top = 0;
    int bottom = in.clientHeight;

    if (in.toolbarVisible) {
        out.toolbar = QRect(0, 0, w, in.toolbarHeight);
        top += in.toolbarHeight;
    }
    if (in.statusVisible) {
        out.statusBar = QRect(0, bottom - in.statusHeight, w, in.statusHeight);
        bottom -= in.statusHeight;
    }

    if (in.quickConnectHeight > 0) {
        out.quickConnect = QRect(0, top + 2, w, in.quickConnectHeight);
        top += in.quickConnectHeight + 2;
    }

    const int h = bottom - top;
    const int half = w / 2;
    const int tools = in.paneToolsHeight > 0 ? in.paneToolsHeight + 2 : 0;
    int lists = h - 100 - tools;
    if (in.queueVisible) {
        const int queue = std::max(kMinQueueHeight, lists * 2 / 5);
        lists -= queue + 1;
        // One pixel apart from the lists above and, as they were, from the log pane below.
        out.queuePane = QRect(1, top + 25 + tools + lists + 1, w - 2, queue);
    }
    out.localLabel = QRect(5, top + 8, half - 5, 15);
    out.remoteLabel = QRect(half + 5, top + 8, half - 5, 15);
    if (tools > 0) {
        out.localTools = QRect(0, top + 25, half, in.paneToolsHeight);
        out.remoteTools = QRect(half, top + 25, half, in.paneToolsHeight);
    }
    out.localList = QRect(0, top + 25 + tools, half, lists);
    out.remoteList = QRect(half, top + 25 + tools, half, lists);
    out.logPane = QRect(1, bottom - 74, w - 2, 74);

    // Under the toolbar when it shows; under the menu bar when the toolbar is switched off; no
    // line while the toolbar is switched on but hidden.
    if (in.toolbarOption && in.toolbarVisible) {
        out.separator = {true, 0, w - 1, in.toolbarHeight + 2};
    } else if (!in.toolbarOption && in.hasMenu) {
        out.separator = {true, 0, w - 1, 0};
    }
    return out;
}

} // namespace tw::ui
