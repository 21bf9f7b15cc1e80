#pragma once

#include "ui/main_window_layout.h"

#include <QWidget>

#include <functional>

namespace tw::ui {

// The main window's client area below the menu bar: it holds the toolbar, the panes, the log
// pane and the status bar, calls back on every resize so they are laid out, and draws the
// etched separator line.
class ClientArea : public QWidget {
    Q_OBJECT
public:
    explicit ClientArea(QWidget* parent = nullptr);

    void setResizeHandler(std::function<void()> handler) { m_onResize = std::move(handler); }
    void setSeparator(const SeparatorLine& line);
    const SeparatorLine& separator() const { return m_separator; }

protected:
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    std::function<void()> m_onResize;
    SeparatorLine m_separator;
};

} // namespace tw::ui
