#pragma once

#include "core/panes/pane_port.h"

#include <QDialog>

class QLabel;
class QPushButton;

namespace tw::ui {

// The Delete confirmation (3200) of both panes: the row's icon, the question, "File" or
// "Folder", the name, and the buttons "&Yes" (default), "Yes to &All" (enabled only when
// several rows are selected), "&No" and "Cancel". Object names: "100"-"103", "yesButton",
// "yesToAllButton", "noButton", "cancelButton".
class DeleteConfirmDialog : public QDialog {
    Q_OBJECT
public:
    explicit DeleteConfirmDialog(const DeleteRequest& request, QWidget* parent = nullptr);

    // The answer the dialog closed with (Cancel also for the close box and Escape).
    DeleteAnswer answer() const { return m_answer; }

private:
    void finish(DeleteAnswer answer);

    DeleteAnswer m_answer = DeleteAnswer::Cancel;
};

} // namespace tw::ui
