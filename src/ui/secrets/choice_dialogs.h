#pragma once

#include "core/secrets/password_port.h"

#include <QDialog>

class QLabel;
class QPushButton;

namespace tw::ui {

// "Saved Passwords": the desktop keyring cannot be used, so where do saved passwords go? A
// file protected by a master password, nowhere (asked at each connect), or Cancel. Escape
// and the close box cancel; "Use a Master Password" is the default.
class StoreFallbackDialog : public QDialog {
    Q_OBJECT
public:
    explicit StoreFallbackDialog(const StoreFallbackRequest& request, QWidget* owner = nullptr);

    StoreFallback answer() const { return m_answer; }
    QLabel* questionText() const { return m_question; }
    QPushButton* masterPasswordButton() const { return m_master; }
    QPushButton* doNotSaveButton() const { return m_doNotSave; }
    QPushButton* cancelButton() const { return m_cancel; }

    // The dialog's sentences, as shown.
    static QString QuestionText(const StoreFallbackRequest& request);

private:
    void finish(StoreFallback answer);

    StoreFallback m_answer = StoreFallback::Cancel;
    QLabel* m_question = nullptr;
    QPushButton* m_master = nullptr;
    QPushButton* m_doNotSave = nullptr;
    QPushButton* m_cancel = nullptr;
};

// The warning before an export would write `count` saved passwords into the file in plain
// text: "Export without Passwords" (the default, so Enter never leaks one), "Export with
// Passwords", "Cancel" (also Escape and the close box).
class ExportPasswordsDialog : public QDialog {
    Q_OBJECT
public:
    explicit ExportPasswordsDialog(int count, QWidget* owner = nullptr);

    ExportPasswordsAnswer answer() const { return m_answer; }
    QLabel* warningText() const { return m_warning; }
    QPushButton* withoutButton() const { return m_without; }
    QPushButton* withButton() const { return m_with; }
    QPushButton* cancelButton() const { return m_cancel; }

    static QString WarningText(int count);

private:
    void finish(ExportPasswordsAnswer answer);

    ExportPasswordsAnswer m_answer = ExportPasswordsAnswer::Cancel;
    QLabel* m_warning = nullptr;
    QPushButton* m_without = nullptr;
    QPushButton* m_with = nullptr;
    QPushButton* m_cancel = nullptr;
};

} // namespace tw::ui
