#pragma once

#include "core/panes/pane_state.h"

#include <QPointer>
#include <QTreeView>

#include <array>
#include <vector>

class QLabel;

namespace tw::ui {

class PaneModel;

// One file list (local 9001 or remote 9003; the main window sets the object name). Shows a
// pane through a PaneModel and reports double-clicks, header clicks and context-menu requests;
// the selection is read as row indexes into the pane's rows.
class PaneView : public QTreeView {
    Q_OBJECT
public:
    explicit PaneView(const PaneState* pane, QWidget* parent = nullptr);

    PaneModel* paneModel() const { return m_model; }
    // The pane's rows changed: one model reset; the selection is cleared.
    void reload();
    // The path label above the list: its text is the list's accessible name, taken again at
    // every reload (the label changes with the folder).
    void setNameLabel(QLabel* label);

    // Selected rows in ascending order.
    std::vector<int> selectedRows() const;
    int selectedCount() const;
    // Selects and focuses one row (added to the selection) and returns it; -1 for no row.
    int selectRow(int row);
    // The row at a viewport position, or -1.
    int rowAt(const QPoint& viewportPos) const;
    // The row under the mouse cursor, or -1.
    int rowUnderCursor() const;

    std::array<int, 3> columnWidths() const;
    // Widths of 0 or less keep the default width.
    void setColumnWidths(const std::array<int, 3>& widths);

signals:
    // A double-click; `row` is the row under the cursor or -1.
    void rowDoubleClicked(int row);
    void headerClicked(int column);
    void contextMenuWanted(const QPoint& globalPos);
    void selectionCountChanged(int count);

protected:
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    void takeName();

    PaneModel* m_model = nullptr;
    QPointer<QLabel> m_nameLabel;
};

} // namespace tw::ui
