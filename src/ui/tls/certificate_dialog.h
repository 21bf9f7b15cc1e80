#pragma once

#include "core/ui_port.h"

#include <QDialog>

class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace tw::ui {

// The question about a server certificate the checks refused: what is wrong with it (and,
// for a changed one, that it differs from the one remembered), its details as selectable text,
// and "Trust once", "Always trust this certificate" and "Cancel" (the default; Escape and the
// close box cancel too).
class CertificateDialog : public QDialog {
    Q_OBJECT
public:
    CertificateDialog(const CertificateRequest& request, QWidget* owner = nullptr);

    CertificateAnswer answer() const { return m_answer; }

    QLabel* problemText() const { return m_problem; }
    QPlainTextEdit* detailsText() const { return m_details; }
    QPushButton* onceButton() const { return m_once; }
    QPushButton* alwaysButton() const { return m_always; }
    QPushButton* cancelButton() const { return m_cancel; }

    // The sentence that says what is wrong, and the details, as the dialog shows them.
    static QString ProblemText(const CertificateRequest& request);
    static QString DetailsText(const ftp::CertificateInfo& certificate);

private:
    void finish(CertificateAnswer answer);

    CertificateAnswer m_answer = CertificateAnswer::Cancel;
    QLabel* m_problem = nullptr;
    QPlainTextEdit* m_details = nullptr;
    QPushButton* m_once = nullptr;
    QPushButton* m_always = nullptr;
    QPushButton* m_cancel = nullptr;
};

// Shows the dialog modally over `owner` and returns the answer.
CertificateAnswer AskCertificate(QWidget* owner, const CertificateRequest& request);

} // namespace tw::ui
