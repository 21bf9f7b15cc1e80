#pragma once

#include "core/panes/pane_state.h"

#include "ui/sync/compare_marks.h"

#include <QAbstractTableModel>
#include <QPalette>

namespace tw::ui {

// Shows a pane's rows: column 0 the name with the row's icon, 1 the date text, 2 the size
// text; the headers are the pane's header texts. Row n is entries[n]. The model reads the pane
// directly; reload() (one model reset) must follow every change of the pane's rows.
class PaneModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit PaneModel(const PaneState* pane, QObject* parent = nullptr);

    void setPane(const PaneState* pane);
    // The pane's rows or headers changed: show them again.
    void reload();

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    // Sizes as "1.4 MB" with the exact bytes in the row's tooltip and accessible text, or the
    // byte count as it is.
    void setReadableSizes(bool readable);
    bool readableSizes() const { return m_readableSizes; }

    // A name as one line: line breaks and other control characters become visible symbols.
    static QString DisplayName(const QString& name);

    // Compare Folders' marks: a marked row has a tint of `palette` (the view's) behind it, a
    // badge on its icon and a description for screen readers.
    void setTintPalette(const QPalette& palette);
    // The rows' marks changed without a new listing: painted again, the selection kept.
    void marksChanged();
    CompareMark markOf(int row) const;
    bool isParentRow(int row) const;

private:
    const PaneState* m_pane = nullptr;
    int m_rows = 0; // the row count of the last reset
    bool m_readableSizes = false;
    CompareTints m_tints{};
};

} // namespace tw::ui
