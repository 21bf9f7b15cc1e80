#pragma once

#include "core/transfer/transfer_port.h"

#include <QDialog>

#include <functional>

class QGridLayout;

namespace tw::ui {

// The question asked when the destination of a transfer is newer than its source (3400): the
// source block (icon 100, "Remote File: ..." or "Local File: ..." 101, size and type 102, date
// 103), the destination block (200-203), the question line (205) and the buttons "&Yes",
// "Yes to &All" (enabled only for several rows), "&No" (the default), "Cancel" and "&Help"
// (which stays open). Object names: the control ids, "yesButton", "yesToAllButton",
// "noButton", "cancelButton", "helpButton".
class NewerDestinationDialog : public QDialog {
    Q_OBJECT
public:
    explicit NewerDestinationDialog(const NewerDestinationRequest& request,
                                    QWidget* parent = nullptr, std::function<void(int)> help = {});

    // The answer the dialog closed with (Cancel also for the close box and Escape).
    NewerAnswer answer() const { return m_answer; }

private:
    void addBlock(QGridLayout* grid, int row, int firstId, const FileEntry& entry, int nameTextId);
    void finish(NewerAnswer answer);

    std::function<void(int)> m_help;
    NewerAnswer m_answer = NewerAnswer::Cancel;
};

} // namespace tw::ui
