#include "ui/dnd/pane_drag.h"

#include "core/dnd/drop_controller.h"
#include "core/dnd/uri_list.h"
#include "core/panes/local_paths.h"
#include "core/transfer/transfer_controller.h"
#include "ui/panes/pane_view.h"

#include <QApplication>
#include <QDrag>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QEventLoop>
#include <QMimeData>
#include <QMouseEvent>
#include <QTimer>

namespace tw::ui {

namespace {

constexpr char kUriList[] = "text/uri-list";
// Rows of one of the window's panes: the side ("local" / "remote") and this process's id, so
// a drag from another running copy of the program is taken as its files.
constexpr char kPaneRows[] = "application/x-tarnwick2000-pane-rows";

QByteArray paneTag(PaneSide side) {
    return (side == PaneSide::Local ? QByteArray("local ") : QByteArray("remote ")) +
           QByteArray::number(QCoreApplication::applicationPid());
}

QByteArray paneRowsTag(const QMimeData* mime) {
    const QString type = QString::fromLatin1(kPaneRows);
    return mime->hasFormat(type) ? mime->data(type) : QByteArray();
}

// The rows of the drag in progress (one at a time in a program).
struct CurrentDrag {
    PaneSide side = PaneSide::Local;
    std::vector<int> rows;
};
CurrentDrag g_drag;

// The drag data of remote rows: the pane's rows for the window's own panes; text/uri-list for
// other programs, produced when asked for (at the drop) by downloading the rows and waiting
// for the queue.
class RemoteRowsMime : public QMimeData {
public:
    RemoteRowsMime(DropController& drops, const TransferController& transfers,
                   std::vector<int> rows)
        : m_drops(drops), m_transfers(transfers), m_rows(std::move(rows)) {
        setData(QString::fromLatin1(kPaneRows), paneTag(PaneSide::Remote));
    }

    QStringList formats() const override {
        return {QString::fromLatin1(kPaneRows), QString::fromLatin1(kUriList)};
    }
    bool hasFormat(const QString& type) const override { return formats().contains(type); }

protected:
    QVariant retrieveData(const QString& type, QMetaType metaType) const override {
        if (type != QLatin1String(kUriList))
            return QMimeData::retrieveData(type, metaType);
        if (!m_asked) {
            m_asked = true;
            m_paths = m_drops.DownloadForDrag(m_rows);
            // The window keeps running its events; the other program waits for the answer.
            QEventLoop loop;
            QTimer poll;
            QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
                if (!m_transfers.running())
                    loop.quit();
            });
            poll.start(50);
            if (!m_paths.empty())
                loop.exec(QEventLoop::ExcludeUserInputEvents);
        }
        return BuildUriList(m_paths);
    }

private:
    DropController& m_drops;
    const TransferController& m_transfers;
    std::vector<int> m_rows;
    mutable bool m_asked = false;
    mutable std::vector<QByteArray> m_paths;
};

} // namespace

PaneDrag::PaneDrag(PaneView* view, PaneSide side, DropController& drops,
                   const TransferController& transfers)
    : QObject(view), m_view(view), m_side(side), m_drops(drops), m_transfers(transfers) {
    // With drags on, a press on a selected row keeps the selection until the release.
    m_view->setDragEnabled(true);
    m_view->setAcceptDrops(true);
    m_view->viewport()->setAcceptDrops(true);
    m_view->viewport()->installEventFilter(this);
}

std::vector<int> PaneDrag::draggedRows() const {
    std::vector<int> rows;
    for (const int row : m_view->selectedRows())
        if (!m_view->isRowHidden(row, QModelIndex())) // rows a filter hides are never dragged
            rows.push_back(row);
    return rows;
}

void PaneDrag::startDrag() {
    std::vector<int> rows = draggedRows();
    if (rows.empty())
        return;
    g_drag = {m_side, rows};
    auto* drag = new QDrag(m_view);
    if (m_side == PaneSide::Remote) {
        drag->setMimeData(new RemoteRowsMime(m_drops, m_transfers, std::move(rows)));
    } else {
        auto* mime = new QMimeData;
        mime->setData(QString::fromLatin1(kPaneRows), paneTag(PaneSide::Local));
        mime->setData(QString::fromLatin1(kUriList), BuildUriList(m_drops.LocalRowPaths(rows)));
        drag->setMimeData(mime);
    }
    drag->exec(Qt::CopyAction, Qt::CopyAction);
    g_drag = {};
}

bool PaneDrag::eventFilter(QObject* watched, QEvent* event) {
    if (watched != m_view->viewport())
        return false;
    switch (event->type()) {
    case QEvent::MouseButtonPress: {
        auto* mouse = static_cast<QMouseEvent*>(event);
        const int row = m_view->rowAt(mouse->position().toPoint());
        m_pressPos = mouse->position().toPoint();
        m_pressOnSelection = mouse->button() == Qt::LeftButton &&
                             !(mouse->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier)) &&
                             row >= 0 &&
                             m_view->selectionModel()->isRowSelected(row, QModelIndex());
        return false;
    }
    case QEvent::MouseMove: {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (!m_pressOnSelection || !(mouse->buttons() & Qt::LeftButton))
            return false;
        if ((mouse->position().toPoint() - m_pressPos).manhattanLength() >=
            QApplication::startDragDistance()) {
            m_pressOnSelection = false;
            startDrag();
        }
        return true; // the view would otherwise start a rubber-band selection
    }
    case QEvent::MouseButtonRelease:
        m_pressOnSelection = false;
        return false;
    case QEvent::DragEnter:
    case QEvent::DragMove: {
        auto* drag = static_cast<QDragMoveEvent*>(event);
        const QMimeData* mime = drag->mimeData();
        const QByteArray tag = paneRowsTag(mime);
        const bool ours = tag == paneTag(PaneSide::Local) || tag == paneTag(PaneSide::Remote);
        const bool accept =
            ours ? tag != paneTag(m_side) : mime->hasFormat(QLatin1String(kUriList));
        if (accept) {
            drag->setDropAction(Qt::CopyAction);
            drag->accept();
        } else {
            drag->ignore();
        }
        return true;
    }
    case QEvent::Drop: {
        auto* drop = static_cast<QDropEvent*>(event);
        const QMimeData* mime = drop->mimeData();
        const int row = m_view->rowAt(drop->position().toPoint());
        const QByteArray tag = paneRowsTag(mime);
        drop->setDropAction(Qt::CopyAction);
        drop->accept();
        if (tag == paneTag(PaneSide::Local) || tag == paneTag(PaneSide::Remote)) {
            const CurrentDrag dragged = g_drag;
            // Queued, so the drag's own event loop has ended before any question is asked.
            QTimer::singleShot(0, this, [this, dragged, row] {
                m_drops.DropRows(dragged.side, dragged.rows, m_side, row);
            });
        } else {
            const QByteArray list = mime->data(QLatin1String(kUriList));
            QTimer::singleShot(0, this,
                               [this, list, row] { m_drops.DropUriList(list, m_side, row); });
        }
        return true;
    }
    default:
        return false;
    }
}

} // namespace tw::ui
