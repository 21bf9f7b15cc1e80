#pragma once

#include "core/ui_port.h"

#include <QDialog>

#include <optional>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace tw::ui {

// The question about an SSH host key that known_hosts does not hold: the host, the key's type
// and its "SHA256:..." fingerprint (selectable, to compare with what the server's owner
// says), and "Trust once", "Always trust this key" and "Cancel" (the default; Escape and the
// close box cancel too).
class HostKeyDialog : public QDialog {
    Q_OBJECT
public:
    HostKeyDialog(const HostKeyRequest& request, QWidget* owner = nullptr);

    HostKeyAnswer answer() const { return m_answer; }

    QLabel* questionText() const { return m_question; }
    QLineEdit* fingerprintText() const { return m_fingerprint; }
    QPushButton* onceButton() const { return m_once; }
    QPushButton* alwaysButton() const { return m_always; }
    QPushButton* cancelButton() const { return m_cancel; }

    // The sentences above the fingerprint, as the dialog shows them.
    static QString QuestionText(const HostKeyRequest& request);

private:
    void finish(HostKeyAnswer answer);

    HostKeyAnswer m_answer = HostKeyAnswer::Cancel;
    QLabel* m_question = nullptr;
    QLineEdit* m_fingerprint = nullptr;
    QPushButton* m_once = nullptr;
    QPushButton* m_always = nullptr;
    QPushButton* m_cancel = nullptr;
};

// Shows the dialog modally over `owner` and returns the answer.
HostKeyAnswer AskHostKey(QWidget* owner, const HostKeyRequest& request);

// The passphrase of a private key: a password-style input box; nullopt on Cancel.
class PassphraseDialog : public QDialog {
    Q_OBJECT
public:
    PassphraseDialog(const PassphraseRequest& request, QWidget* owner = nullptr);

    QLineEdit* passphraseEdit() const { return m_edit; }
    // The "Save passphrase" box, when the request offers it.
    QCheckBox* saveBox() const { return m_save; }
    static QString PromptText(const PassphraseRequest& request);

private:
    QLineEdit* m_edit = nullptr;
    QCheckBox* m_save = nullptr;
};

std::optional<PassphraseAnswer> AskPassphrase(QWidget* owner, const PassphraseRequest& request);

} // namespace tw::ui
