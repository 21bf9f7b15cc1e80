#pragma once

#include "core/secrets/password_port.h"

#include <QDialog>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace tw::ui {

// The master password of the file that keeps saved passwords. Create: typed twice, OK only
// while both agree and it has kMinimumLength characters or more, with a line saying that a
// forgotten one cannot be recovered. Unlock: typed once, "Attempt N of 3" from the second try
// on and "Wrong master password." after a wrong one.
class MasterPasswordDialog : public QDialog {
    Q_OBJECT
public:
    static constexpr int kMinimumLength = 8;

    explicit MasterPasswordDialog(const MasterPasswordRequest& request, QWidget* owner = nullptr);

    QLineEdit* passwordEdit() const { return m_password; }
    QLineEdit* repeatEdit() const { return m_repeat; } // null in Unlock
    QLabel* hintText() const { return m_hint; }        // why OK is off; null in Unlock
    QLabel* attemptText() const { return m_attempt; }  // null unless attempt > 1
    QLabel* wrongText() const { return m_wrong; }      // null unless wrong
    QPushButton* okButton() const { return m_ok; }
    QString password() const;
    // Empties the fields, so the secret does not outlive the answer in the widgets.
    void clearFields();

    // Create's rule: both entries agree and have at least kMinimumLength characters (code
    // points, not UTF-16 units).
    static bool Acceptable(const QString& password, const QString& repeat);

private:
    void updateOk();

    MasterPasswordRequest::Mode m_mode;
    QLineEdit* m_password = nullptr;
    QLineEdit* m_repeat = nullptr;
    QLabel* m_hint = nullptr;
    QLabel* m_attempt = nullptr;
    QLabel* m_wrong = nullptr;
    QPushButton* m_ok = nullptr;
};

// A password the store could not give, asked at connect: who and where it is for, why it is
// asked, the password, and "Save password" (off) when saving is offered.
class PasswordDialog : public QDialog {
    Q_OBJECT
public:
    explicit PasswordDialog(const PasswordRequest& request, QWidget* owner = nullptr);

    QLabel* promptText() const { return m_prompt; }
    QLabel* reasonText() const { return m_reason; } // null without a reason
    QLineEdit* passwordEdit() const { return m_password; }
    QCheckBox* saveBox() const { return m_save; } // null unless offerSave
    QPushButton* okButton() const { return m_ok; }
    PasswordAnswer answer() const;
    void clearFields();

    static QString PromptText(const PasswordRequest& request);

private:
    QLabel* m_prompt = nullptr;
    QLabel* m_reason = nullptr;
    QLineEdit* m_password = nullptr;
    QCheckBox* m_save = nullptr;
    QPushButton* m_ok = nullptr;
};

} // namespace tw::ui
