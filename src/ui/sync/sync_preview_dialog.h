#pragma once

#include "core/sync/sync_port.h"

#include <QDialog>

#include <functional>
#include <vector>

class QLabel;
class QPushButton;
class QTreeWidget;

namespace tw::ui {

// The preview of a synchronisation: every planned action (Action, Name, Where, Size, Why), a
// box on each row that can be carried out (Skip and Conflict rows have none), Select All and
// Select None, the summary of the ticked rows, and Synchronise or Cancel.
class SyncPreviewDialog : public QDialog {
public:
    SyncPreviewDialog(const SyncPreviewRequest& request, QWidget* parent);

    // Every row's tick, in the request's order.
    std::vector<bool> ticked() const;
    void tickAll(bool on);

    QTreeWidget* actions() const { return m_actions; }
    QLabel* summary() const { return m_summary; }

private:
    void updateSummary();

    std::function<QString(const std::vector<bool>&)> m_summaryText;
    QTreeWidget* m_actions = nullptr;
    QLabel* m_summary = nullptr;
    QPushButton* m_run = nullptr;
};

} // namespace tw::ui
