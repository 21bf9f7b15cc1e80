#pragma once

#include "core/panes/pane_port.h"

#include "ui/dialogs/asking_dialog.h"

#include <functional>

class QLabel;
class QLineEdit;
class QPushButton;

namespace tw::ui {

// The Make Directory (3000) and Rename (3100) dialogs of both panes: a line of explanation,
// the current folder or name (control 101), an edit field for the new name (102), OK, Cancel
// and Help. Object names: "100" (icon, Rename only), "101", "102", "okButton",
// "cancelButton", "helpButton". OK accepts whatever was typed; the caller validates and asks
// again, so OK leaves the dialog open (see AskingDialog).
class NameDialog : public AskingDialog {
    Q_OBJECT
public:
    explicit NameDialog(QWidget* parent = nullptr, std::function<void(int)> help = {});

    // Shows a request: caption, the folder or current name and the edit text (selected when
    // the request is a retry).
    void setRequest(const NameRequest& request);
    QString text() const;
    QLineEdit* edit() const { return m_edit; }
    NameDialogKind kind() const { return m_kind; }

private:
    NameDialogKind m_kind = NameDialogKind::MakeDirectory;
    std::function<void(int)> m_help;
    QLabel* m_intro = nullptr;
    QLabel* m_icon = nullptr;
    QLabel* m_currentLabel = nullptr;
    QLabel* m_current = nullptr;
    QLabel* m_editLabel = nullptr;
    QLineEdit* m_edit = nullptr;
};

} // namespace tw::ui
