#pragma once

#include "core/state/app_state.h"

#include <QDialog>

#include <functional>

class QLabel;
class QLineEdit;
class QToolButton;

namespace tw {
class Messages;
}

namespace tw::ui {

// The Edit File Type dialog (2350) on a copy of one association: the type's picture, the
// extension (at most 15 characters, lower case as typed), the program with a browse button,
// OK, Cancel and Help. OK validates (ValidateFileType); a refused field is selected and the
// dialog stays open. Object names: "typePicture", "typeEdit", "programEdit", "browseButton",
// "okButton", "cancelButton", "helpButton".
class EditFileTypeDialog : public QDialog {
    Q_OBJECT
public:
    // `remember`, when given, receives the dialog's position when OK is accepted.
    EditFileTypeDialog(const Messages& messages, const FileTypeAssociation& record, bool modify,
                       std::function<void(int)> showHelp, WindowPlacement* remember = nullptr,
                       QWidget* parent = nullptr);

    // What the fields hold now.
    FileTypeAssociation record() const;
    QLineEdit* typeEdit() const { return m_type; }
    QLineEdit* programEdit() const { return m_program; }

    // OK: validates; accepts only a valid record.
    void accept() override;

private:
    void showTypePicture(const QString& extension);
    void browse();

    const Messages& m_messages;
    bool m_modify;
    std::function<void(int)> m_showHelp;
    WindowPlacement* m_remember;
    QLabel* m_picture = nullptr;
    QLineEdit* m_type = nullptr;
    QLineEdit* m_program = nullptr;
    QToolButton* m_browse = nullptr;
};

// Runs the dialog modally over `owner`, placed by the dialogs' rule at `placement`. On OK the
// dialog's position goes into `placement`, the record is written back and the result is true;
// Cancel leaves both unchanged.
bool EditFileType(QWidget* owner, const Messages& messages, FileTypeAssociation& record,
                  bool modify, WindowPlacement& placement, bool saveWindows,
                  std::function<void(int)> showHelp);

} // namespace tw::ui
