#pragma once

#include <QPointer>
#include <QString>

#include <functional>

class QDialog;
class QLabel;
class QWidget;

namespace tw::ui {

// A modeless window that shows how a long run is going, with a Stop button: Stop, Escape and
// the close box all call the run's stop; the owner closes the window when the run has ended.
class StopWindow {
public:
    struct Look {
        QString title;
        QString stopText;
        int minimumWidthDu = 180; // the text's width in dialog units
        QString objectName;       // for tests; may be empty
    };

    StopWindow() = default;
    StopWindow(const StopWindow&) = delete;
    StopWindow& operator=(const StopWindow&) = delete;
    ~StopWindow();

    // Replaces any window still open.
    void open(QWidget* owner, const Look& look, const QString& text, std::function<void()> stop);
    void update(const QString& text);
    void close();
    // The window while open, else null.
    QDialog* window() const { return m_window; }

private:
    QPointer<QDialog> m_window;
    QPointer<QLabel> m_text;
    std::function<void()> m_stop;
};

} // namespace tw::ui
