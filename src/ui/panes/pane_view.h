#pragma once

#include "core/panes/pane_state.h"
#include "ui/panes/pane_keys.h"

#include <QPointer>
#include <QTreeView>

#include <array>
#include <cstdint>
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

    // Hides the rows whose flag is 0 (the filter box; `visible` has one flag per row, empty
    // shows every row). Hidden rows are deselected; row indexes stay indexes into the rows.
    void showRows(const std::vector<std::uint8_t>& visible);
    // Show Only Differences: also hides the rows without a compare mark ("..") stays. Both
    // this and the filter apply: a row is shown when both leave it.
    void setOnlyMarked(bool on);
    bool onlyMarked() const { return m_onlyMarked; }
    // The rows' compare marks changed (no new listing): painted again, the selection kept,
    // Show Only Differences applied again.
    void marksChanged();

    // Selected rows in ascending order; hidden rows are never part of the selection.
    std::vector<int> selectedRows() const;
    int selectedCount() const;
    // Selects and focuses one row (added to the selection) and returns it; -1 for no row.
    int selectRow(int row);
    // The row at a viewport position, or -1.
    int rowAt(const QPoint& viewportPos) const;
    // The row under the mouse cursor, or -1.
    int rowUnderCursor() const;

    // Selects exactly `rows` (Select All: the rows the core chose); the current row stays.
    void selectRows(const std::vector<int>& rows);
    // False for a row a filter hides from the list.
    bool isRowShown(int row) const;
    // Type-ahead: finds the typed text at the start of a shown name, whichever column the
    // current cell is in.
    void keyboardSearch(const QString& search) override;

    std::array<int, 3> columnWidths() const;
    // Widths of 0 or less keep the default width.
    void setColumnWidths(const std::array<int, 3>& widths);

signals:
    // A double-click; `row` is the row under the cursor or -1.
    void rowDoubleClicked(int row);
    void headerClicked(int column);
    void contextMenuWanted(const QPoint& globalPos);
    void selectionCountChanged(int count);
    // Enter, Backspace or F2 in the list; `row` is the current row or -1. For F2 the row has
    // been made the only selected one.
    void keyCommand(PaneKeyCommand command, int row);
    // After every reload (the rows are all shown again).
    void reloaded();

protected:
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void takeName();
    // Whether a row is shown (by the filter and Show Only Differences), without asking the view.
    bool shownByFilter(int row) const;
    // Hides and shows the rows as the filter and Show Only Differences want them now.
    void applyShown();
    // The name column takes the width the other columns leave; a double-click on a column's
    // edge fits the column to its contents.
    void setUpColumns();

    PaneModel* m_model = nullptr;
    QPointer<QLabel> m_nameLabel;
    std::vector<std::uint8_t> m_filter; // per row, as showRows() set it; empty: all pass
    std::vector<std::uint8_t> m_shown;  // per row, as the view shows them; empty: all shown
    bool m_onlyMarked = false;
};

} // namespace tw::ui
