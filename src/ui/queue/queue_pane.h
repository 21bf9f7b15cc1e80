#pragma once

#include "core/queue/queue_rows.h"

#include <QStyledItemDelegate>
#include <QTreeView>

#include <cstdint>
#include <map>
#include <optional>
#include <vector>

class QAction;
class QMenu;

namespace tw::ui {

class QueueModel;

// The progress cell: a bar with the percent as its text.
class QueueProgressDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
};

// A path cell: a path too long for its column loses its middle, where it says least.
class QueuePathDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override;
};

// The transfer queue pane under the file panes: the queue's rows through a QueueModel, one
// line each (uniform heights, no widget per row, so 100 000 rows scroll smoothly). Its
// commands work on the selected rows, from the context menu or from keys (Delete removes,
// Ctrl+Up / Ctrl+Down move); the pane only asks for them, through commandRequested, and the
// queue's controller carries them out.
class QueuePane : public QTreeView {
    Q_OBJECT
public:
    explicit QueuePane(QueueRows* rows, QWidget* parent = nullptr);

    QueueRows* rows() const { return m_rows; }
    QueueModel* queueModel() const { return m_model; }
    // The ids of the selected rows, in queue order.
    std::vector<std::int64_t> selectedIds() const;
    // The context menu, its actions enabled for the selection as it is now.
    QMenu* contextMenu();
    QAction* commandAction(QueueCommand command) const;
    // Asks for `command` on the selected rows when the selection offers it; false otherwise.
    bool request(QueueCommand command);

signals:
    void commandRequested(tw::QueueCommand command, const std::vector<std::int64_t>& ids);

protected:
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    std::optional<QueueCommand> commandOfKey(const QKeyEvent* event) const;
    void updateActions();

    QueueRows* m_rows;
    QueueModel* m_model;
    QMenu* m_menu;
    std::map<QueueCommand, QAction*> m_actions;
};

} // namespace tw::ui
