#include "ui/queue/queue_pane.h"

#include "core/text/string_table.h"
#include "ui/focus_frame.h"
#include "ui/queue/queue_model.h"

#include <QAction>
#include <QApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMenu>
#include <QPainter>

#include <algorithm>

namespace tw::ui {

void QueueProgressDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                                  const QModelIndex& index) const {
    QStyleOptionViewItem item = option;
    initStyleOption(&item, index);
    const QWidget* widget = option.widget;
    QStyle* style = widget ? widget->style() : QApplication::style();
    // The cell's background and selection as any other cell has them, then the bar inside.
    item.text.clear();
    style->drawControl(QStyle::CE_ItemViewItem, &item, painter, widget);
    QStyleOptionProgressBar bar;
    bar.initFrom(widget);
    bar.rect = option.rect.adjusted(2, 2, -2, -2);
    bar.minimum = 0;
    bar.maximum = 100;
    bar.progress = index.data(QueueModel::kPercentRole).toInt();
    bar.text = index.data(Qt::DisplayRole).toString();
    bar.textVisible = true;
    bar.textAlignment = Qt::AlignCenter;
    bar.state = option.state | QStyle::State_Horizontal;
    style->drawControl(QStyle::CE_ProgressBar, &bar, painter, widget);
}

void QueuePathDelegate::initStyleOption(QStyleOptionViewItem* option,
                                        const QModelIndex& index) const {
    QStyledItemDelegate::initStyleOption(option, index);
    option->textElideMode = Qt::ElideMiddle;
}

QueuePane::QueuePane(QueueRows* rows, QWidget* parent)
    : QTreeView(parent), m_rows(rows), m_model(new QueueModel(rows, this)),
      m_menu(new QMenu(this)) {
    const QString name = LookupString(4810).value_or(QString());
    setAccessibleName(name);
    setModel(m_model);
    RepaintOnFocusChange(this);
    setItemDelegateForColumn(QueueModel::Progress, new QueueProgressDelegate(this));
    auto* paths = new QueuePathDelegate(this);
    setItemDelegateForColumn(QueueModel::LocalPath, paths);
    setItemDelegateForColumn(QueueModel::RemotePath, paths);
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true); // keeps 100 000 rows fast
    setAllColumnsShowFocus(true);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setTextElideMode(Qt::ElideRight);
    setContextMenuPolicy(Qt::CustomContextMenu);
    header()->setSectionsMovable(false);
    header()->setStretchLastSection(true);
    // The state takes what is left of the width.
    const int widths[QueueModel::State] = {100, 200, 200, 80, 110, 90};
    for (int column = 0; column < QueueModel::State; ++column)
        setColumnWidth(column, widths[column]);

    m_menu->setObjectName(QStringLiteral("queue-menu"));
    m_menu->setAccessibleName(name);
    const QueueCommand order[] = {QueueCommand::Stop,          QueueCommand::StartAgain,
                                  QueueCommand::RetryFailed,   QueueCommand::Remove,
                                  QueueCommand::ClearFinished, QueueCommand::MoveUp,
                                  QueueCommand::MoveDown};
    for (const QueueCommand command : order) {
        if (command == QueueCommand::Remove || command == QueueCommand::MoveUp)
            m_menu->addSeparator();
        QAction* action = m_menu->addAction(QueueCommandText(command));
        action->setObjectName(QStringLiteral("queue-command-%1").arg(int(command)));
        connect(action, &QAction::triggered, this, [this, command] { request(command); });
        m_actions[command] = action;
    }
    connect(this, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& pos) { contextMenu()->popup(viewport()->mapToGlobal(pos)); });
}

std::vector<std::int64_t> QueuePane::selectedIds() const {
    std::vector<int> indices;
    for (const QModelIndex& index : selectionModel()->selectedRows(0))
        indices.push_back(index.row());
    std::sort(indices.begin(), indices.end());
    std::vector<std::int64_t> ids;
    ids.reserve(indices.size());
    for (const int row : indices)
        if (row < m_rows->count())
            ids.push_back(m_rows->at(row).id);
    return ids;
}

void QueuePane::updateActions() {
    const std::vector<std::int64_t> ids = selectedIds();
    for (auto& [command, action] : m_actions)
        action->setEnabled(m_rows->canRun(command, ids));
}

QMenu* QueuePane::contextMenu() {
    updateActions();
    return m_menu;
}

QAction* QueuePane::commandAction(QueueCommand command) const {
    const auto found = m_actions.find(command);
    return found == m_actions.end() ? nullptr : found->second;
}

bool QueuePane::request(QueueCommand command) {
    const std::vector<std::int64_t> ids = selectedIds();
    if (!m_rows->canRun(command, ids))
        return false;
    emit commandRequested(command, ids);
    return true;
}

std::optional<QueueCommand> QueuePane::commandOfKey(const QKeyEvent* event) const {
    const Qt::KeyboardModifiers mods = event->modifiers() & ~Qt::KeypadModifier;
    if (event->key() == Qt::Key_Delete && mods == Qt::NoModifier)
        return QueueCommand::Remove;
    if (event->key() == Qt::Key_Up && mods == Qt::ControlModifier)
        return QueueCommand::MoveUp;
    if (event->key() == Qt::Key_Down && mods == Qt::ControlModifier)
        return QueueCommand::MoveDown;
    return std::nullopt;
}

// The pane's keys are its own while it has the focus: the window's Delete (the local pane's)
// does not take them.
bool QueuePane::event(QEvent* event) {
    if (event->type() == QEvent::ShortcutOverride && commandOfKey(static_cast<QKeyEvent*>(event))) {
        event->accept();
        return true;
    }
    return QTreeView::event(event);
}

void QueuePane::keyPressEvent(QKeyEvent* event) {
    if (const auto command = commandOfKey(event)) {
        if (!request(*command))
            QApplication::beep();
        event->accept();
        return;
    }
    QTreeView::keyPressEvent(event);
}

void QueuePane::paintEvent(QPaintEvent* event) {
    QTreeView::paintEvent(event);
    PaintFocusFrameWhenNoCurrentRow(this); // an empty queue shows the focus too
}

} // namespace tw::ui
