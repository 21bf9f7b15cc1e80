#pragma once

#include "core/transfer/transfer_port.h"

#include <QWidget>

#include <functional>

class QLabel;
class QProgressBar;

namespace tw::ui {

// The progress window of a file transfer (5600): the icon (control 100), a line of text (101),
// the bar (102) and a Cancel button. A top-level window that stays on top and does not take
// the focus when it is shown. The user cannot close it: the close box, Cancel and Escape ask
// the transfer to stop through `stop`, and the transfer closes the window. Object names: "100",
// "101", "102", "cancelButton".
class ProgressWindow : public QWidget {
    Q_OBJECT
public:
    explicit ProgressWindow(std::function<void()> stop = {});

    // Caption, icon, text and range of a new file, the bar at its start (empty texts and icon
    // 0 give the defaults).
    void start(const ProgressRequest& request);
    // Moves the bar; a position above the maximum leaves it full, one below the minimum empty.
    void setPosition(int position);
    void setText(const QString& text);

    QProgressBar* bar() const { return m_bar; }

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void requestStop();

    std::function<void()> m_stop;
    QLabel* m_icon = nullptr;
    QLabel* m_text = nullptr;
    QProgressBar* m_bar = nullptr;
    int m_minimum = 0;
    int m_maximum = 0;
};

} // namespace tw::ui
