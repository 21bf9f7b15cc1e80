#include "ui/panes/pane_keys.h"

#include <QKeyEvent>

namespace tw::ui {

namespace {

Qt::KeyboardModifiers modifiersOf(const QKeyEvent* event) {
    // The keypad's Enter carries the keypad modifier: it is the same key.
    return event->modifiers() & ~Qt::KeypadModifier;
}

} // namespace

std::optional<PaneKeyCommand> PaneKeyCommandOf(const QKeyEvent* event) {
    if (modifiersOf(event) != Qt::NoModifier)
        return std::nullopt;
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return PaneKeyCommand::Open;
    case Qt::Key_Backspace:
        return PaneKeyCommand::Up;
    case Qt::Key_F2:
        return PaneKeyCommand::Rename;
    default:
        return std::nullopt;
    }
}

bool PaneKeepsKey(const QKeyEvent* event) {
    if (PaneKeyCommandOf(event))
        return true;
    const Qt::KeyboardModifiers mods = modifiersOf(event);
    if (mods & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))
        return false;
    const QString text = event->text();
    return !text.isEmpty() && text.at(0).isPrint();
}

} // namespace tw::ui

// ---- PaneView: the keyboard and the columns ------------------------------------------------

#include "ui/focus_frame.h"
#include "ui/panes/pane_model.h"
#include "ui/panes/pane_view.h"

#include <QHeaderView>
#include <QItemSelection>

#include <algorithm>

namespace tw::ui {

void PaneView::setUpColumns() {
    RepaintOnFocusChange(this);
    header()->setSectionResizeMode(0, QHeaderView::Stretch);
    header()->setSectionResizeMode(1, QHeaderView::Interactive);
    header()->setSectionResizeMode(2, QHeaderView::Interactive);
    connect(header(), &QHeaderView::sectionHandleDoubleClicked, this, [this](int column) {
        if (header()->sectionResizeMode(column) != QHeaderView::Interactive)
            return;
        header()->resizeSection(
            column, std::max(sizeHintForColumn(column), header()->sectionSizeHint(column)));
    });
}

void PaneView::selectRows(const std::vector<int>& rows) {
    QItemSelection selection;
    const int last = m_model->rowCount() - 1;
    // Runs of neighbouring rows become one range, so that 100 000 rows stay one range.
    for (std::size_t i = 0; i < rows.size();) {
        std::size_t j = i;
        while (j + 1 < rows.size() && rows[j + 1] == rows[j] + 1)
            ++j;
        if (rows[i] >= 0 && rows[j] <= last)
            selection.select(m_model->index(rows[i], 0), m_model->index(rows[j], 2));
        i = j + 1;
    }
    selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
}

bool PaneView::isRowShown(int row) const {
    return row >= 0 && row < m_model->rowCount() && !isRowHidden(row, QModelIndex());
}

void PaneView::keyboardSearch(const QString& search) {
    // The search reads the current cell's column: it must be the name's.
    const QModelIndex current = currentIndex();
    if (current.isValid() && current.column() != 0)
        selectionModel()->setCurrentIndex(current.siblingAtColumn(0),
                                          QItemSelectionModel::NoUpdate);
    QTreeView::keyboardSearch(search);
}

bool PaneView::event(QEvent* event) {
    if (event->type() == QEvent::ShortcutOverride && PaneKeepsKey(static_cast<QKeyEvent*>(event))) {
        event->accept();
        return true;
    }
    return QTreeView::event(event);
}

void PaneView::keyPressEvent(QKeyEvent* event) {
    // Ctrl+A is the window's Accounts: the list never takes it as select-all.
    if (event->matches(QKeySequence::SelectAll)) {
        event->ignore();
        return;
    }
    const std::optional<PaneKeyCommand> command = PaneKeyCommandOf(event);
    if (!command) {
        QTreeView::keyPressEvent(event);
        return;
    }
    const QModelIndex current = currentIndex();
    const int row = current.isValid() ? current.row() : -1;
    if (*command == PaneKeyCommand::Rename && row >= 0)
        selectionModel()->setCurrentIndex(current, QItemSelectionModel::ClearAndSelect |
                                                       QItemSelectionModel::Rows);
    event->accept();
    emit keyCommand(*command, row);
}

void PaneView::paintEvent(QPaintEvent* event) {
    QTreeView::paintEvent(event);
    PaintFocusFrameWhenNoCurrentRow(this); // an empty list shows the focus too
}

} // namespace tw::ui
