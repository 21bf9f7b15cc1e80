#pragma once

#include "core/sync/pane_compare.h"
#include "core/ui_port.h"

#include <QObject>

namespace tw::ui {

class PaneView;

// View > Compare Folders and Show Only Differences in the window: the core's PaneCompare
// decides the marks, this shows them in both lists and asks its question once they are on
// screen.
class CompareBinding : public QObject {
    Q_OBJECT
public:
    CompareBinding(AppState& state, AppRuntime& runtime, const Messages& messages,
                   PaneCompare::Hooks hooks, PaneView* localView, PaneView* remoteView,
                   QObject* parent);

    void toggleCompare();
    void toggleOnlyDifferences();
    // A pane's view was reloaded (a listing, a sort, a cleared pane): both panes are compared
    // again while comparing, and the compare ends with the connection.
    void paneReloaded();

    PaneCompare& compare() { return m_compare; }

private:
    // Both views as the marks and Show Only Differences stand.
    void show();
    // The server-time question, after the event loop has painted the marks.
    void offerLater();

    PaneCompare m_compare;
    AppRuntime& m_runtime;
    PaneView* m_local;
    PaneView* m_remote;
    bool m_offerQueued = false;
};

} // namespace tw::ui
