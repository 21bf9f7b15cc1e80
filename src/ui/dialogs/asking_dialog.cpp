#include "ui/dialogs/asking_dialog.h"

#include <QEventLoop>
#include <QPointer>

namespace tw::ui {

AskingDialog::~AskingDialog() {
    if (m_loop)
        m_loop->exit(Rejected);
}

int AskingDialog::ask() {
    setResult(Rejected);
    show();
    raise();
    activateWindow();
    QEventLoop loop;
    m_loop = &loop;
    const QPointer<AskingDialog> self(this);
    const int result = loop.exec(QEventLoop::DialogExec);
    if (!self) // deleted while asking, with its owner
        return Rejected;
    m_loop = nullptr;
    return result;
}

void AskingDialog::done(int result) {
    if (m_loop) {
        m_loop->exit(result);
        m_loop = nullptr;
    }
    if (result == Accepted)
        setResult(result);
    else
        QDialog::done(result);
}

} // namespace tw::ui
