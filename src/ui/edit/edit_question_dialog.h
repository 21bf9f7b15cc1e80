#pragma once

#include <QDialog>
#include <QStringList>

#include <vector>

class QLabel;
class QListWidget;
class QPushButton;

namespace tw::ui {

// A question of the remote edits: its text, an optional list of files, and one button per
// answer; `answer()` is the pressed button's index, `cancelIndex` for Escape and the close box.
class EditQuestionDialog : public QDialog {
    Q_OBJECT
public:
    EditQuestionDialog(const QString& title, const QString& text, const QStringList& files,
                       const QStringList& buttons, int defaultIndex, int cancelIndex,
                       QWidget* owner = nullptr);

    int answer() const { return m_answer; }
    QLabel* questionText() const { return m_text; }
    QListWidget* fileList() const { return m_files; }
    const std::vector<QPushButton*>& buttons() const { return m_buttons; }

    void reject() override;

private:
    QLabel* m_text = nullptr;
    QListWidget* m_files = nullptr;
    std::vector<QPushButton*> m_buttons;
    int m_answer = 0;
    int m_cancel = 0;
};

} // namespace tw::ui
