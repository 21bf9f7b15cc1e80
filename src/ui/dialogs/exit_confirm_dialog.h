#pragma once

#include <QDialog>

#include <cstddef>
#include <cstdint>
#include <initializer_list>

class QCheckBox;
class QLabel;
class QPushButton;
class QWidget;

namespace tw::ui {

// The exit question: " Exit Tarnwick 2000", the program icon, "You are about to exit ..."
// and the check box "&Always Confirm Tarnwick 2000 Exits" (hidden when there is no flag to
// keep it in). "&Yes" is the default button; "&No", Escape and the close box answer No.
// Object names: "101" text, "102" check box, "1" Yes, "2" No.
class ExitConfirmDialog : public QDialog {
    Q_OBJECT
public:
    // `confirmFlag` only sets the check box (null hides it); ConfirmExit() stores the answer.
    ExitConfirmDialog(QWidget* owner, const std::uint32_t* confirmFlag);

    QLabel* textLabel() const { return m_text; }
    QCheckBox* alwaysConfirmBox() const { return m_check; }
    QPushButton* yesButton() const { return m_yes; }
    QPushButton* noButton() const { return m_no; }
    bool alwaysConfirm() const;

private:
    QLabel* m_text = nullptr;
    QCheckBox* m_check = nullptr;
    QPushButton* m_yes = nullptr;
    QPushButton* m_no = nullptr;
};

// Asks before the program exits. With a flag that is 0 it goes on without asking. Returns true
// to go on (Yes: the check box is then stored into the flag as 1 or 0), false to keep running.
bool ConfirmExit(QWidget* owner, std::uint32_t* confirmFlag);

// Test hook: exit questions answered without being shown (used by UI tests only). While
// answers are queued, ConfirmExit() takes the next one instead of opening the dialog.
struct ExitConfirmAnswer {
    bool yes = true;
    bool alwaysConfirm = true; // the check box state on Yes
};
class ExitConfirmTestHook {
public:
    static void pushAnswers(std::initializer_list<ExitConfirmAnswer> answers);
    static std::size_t pendingAnswers();
    // How many questions were answered from the queue (and so would have been shown).
    static int askedCount();
    static void clear();
};

} // namespace tw::ui
