#pragma once

#include "core/ui_port.h"

#include <QObject>
#include <QPoint>

#include <vector>

namespace tw {
class DropController;
class TransferController;
} // namespace tw

namespace tw::ui {

class PaneView;

// Drag and drop of one pane: starts a drag of the selected (shown) rows, takes drops of the
// other pane's rows and of other programs' text/uri-list, and hands them to the
// DropController. A remote drag offers text/uri-list to other programs: asked for at the drop,
// the rows are downloaded into a temporary folder and the answer waits, with the window's
// events running, until the queue is idle. Works through an event filter on the view's
// viewport, so the view itself only accepts drops.
class PaneDrag : public QObject {
    Q_OBJECT
public:
    PaneDrag(PaneView* view, PaneSide side, DropController& drops,
             const TransferController& transfers);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void startDrag();
    std::vector<int> draggedRows() const;

    PaneView* m_view;
    PaneSide m_side;
    DropController& m_drops;
    const TransferController& m_transfers;
    QPoint m_pressPos;
    bool m_pressOnSelection = false;
};

} // namespace tw::ui
