#pragma once

#include "core/ui_port.h"

#include <QDialog>
#include <QString>

#include <cstddef>
#include <initializer_list>
#include <vector>

class QLabel;
class QPushButton;
class QWidget;

namespace tw::ui {

// The program's own message box: a 230 x 100 dialog-unit dialog with the kind's icon, the text
// (plain, '\r' a line break) and "OK" or "&Yes" / "&No"; topmost and centred on its monitor.
// A text longer than the standard text area makes the box grow up to the screen, and what is
// still longer scrolls ("textArea"). Children carry their control ids as object names: "100"
// icon, "101" text, "1" OK, "6" Yes, "7" No.
//
//   MessageBoxDialog box(MessageBoxDialog::Kind::YesNo, owner, caption, text, false);
//   const bool yes = box.exec() == MessageBoxDialog::kYes;
//
// Most code calls ShowMessageBox() below instead.
class MessageBoxDialog : public QDialog {
    Q_OBJECT
public:
    enum class Kind { Error = 0, Info = 1, YesNo = 2 };
    // End codes of exec(): OK, Yes; No, Escape and the close box end with 0.
    static constexpr int kOk = 1;
    static constexpr int kYes = 6;
    static constexpr int kNo = 0;

    MessageBoxDialog(Kind kind, QWidget* owner, const QString& caption, const QString& text,
                     bool defaultYes = false);

    Kind kind() const { return m_kind; }
    QLabel* iconLabel() const { return m_icon; }
    QLabel* textLabel() const { return m_text; }
    // "OK" for Error and Info, "&Yes" for YesNo.
    QPushButton* firstButton() const { return m_first; }
    // "&No" for YesNo, else null.
    QPushButton* noButton() const { return m_no; }

private:
    // Sizes the text area and the box for the text; returns how much the box grew.
    QSize layOutText(QWidget* owner);

    Kind m_kind;
    QLabel* m_icon = nullptr;
    QLabel* m_text = nullptr;
    QPushButton* m_first = nullptr;
    QPushButton* m_no = nullptr;
};

// A message text as shown: every "\r\n", '\r' or '\n' is one line break ('\n'), and other
// control characters (from a server's reply or a name) are escapes, as ShownText shows them.
QString BoxDisplayText(const QString& text);

// Shows the box of `request` modally and returns 1 when it was answered with OK or Yes, else 0.
// Error, Info and YesNo are the program's own boxes (MessageBoxDialog; "Error" is always the
// caption of an Error box); the system kinds are standard message boxes with the caption as
// given. A SystemYesNo box defaults to "&No" unless `defaultYes`; a Fatal box is application-
// modal and stays on top. `owner` (may be null) is repainted once an own box has closed.
// Call it on the UI thread only (workers ask through the UI port).
int ShowMessageBox(QWidget* owner, const BoxRequest& request);

// Test hook: boxes answered without being shown. While answers are queued, ShowMessageBox()
// takes the next one (true = OK / Yes) instead of opening a dialog and records the request.
// Used by UI tests only.
class MessageBoxTestHook {
public:
    static void pushAnswers(std::initializer_list<bool> answers);
    static std::size_t pendingAnswers();
    // The requests answered from the queue since the last call, oldest first.
    static std::vector<BoxRequest> takeAnsweredRequests();
    // Forgets queued answers and recorded requests.
    static void clear();
};

} // namespace tw::ui
