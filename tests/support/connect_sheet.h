#pragma once

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QTimer>

namespace tw::test {

// Presses "Connect" in the accounts sheet (its OK button in the Connect form) as soon as it is
// shown; any other modal dialog met first is rejected.
inline void PressConnectWhenAsked(int pollMs = 50) {
    QTimer::singleShot(pollMs, [pollMs] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal) {
            PressConnectWhenAsked(pollMs);
            return;
        }
        auto* ok = modal->findChild<QAbstractButton*>(QStringLiteral("okButton"));
        if (ok && ok->text() == QStringLiteral("Connect") && ok->isEnabled())
            ok->click();
        else if (auto* dialog = qobject_cast<QDialog*>(modal))
            dialog->reject();
    });
}

} // namespace tw::test
