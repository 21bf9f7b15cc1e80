#pragma once

#include <QDialog>

class QEventLoop;

namespace tw::ui {

// A dialog whose caller validates the answer and may ask again: OK ends ask() but leaves the
// dialog shown, so a message about the answer appears over it and the next ask() goes on in
// it. Cancel, Escape and the close box hide it as usual.
class AskingDialog : public QDialog {
    Q_OBJECT
public:
    using QDialog::QDialog;
    ~AskingDialog() override;

    // Shows the dialog and waits for OK (Accepted) or Cancel (Rejected).
    int ask();
    // True while ask() waits for an answer.
    bool isAsking() const { return m_loop != nullptr; }
    void done(int result) override;

private:
    QEventLoop* m_loop = nullptr;
};

} // namespace tw::ui
