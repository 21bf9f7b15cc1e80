#include "ui/client_area.h"

#include <QPainter>
#include <QPalette>

namespace tw::ui {

ClientArea::ClientArea(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("client"));
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Button);
}

void ClientArea::setSeparator(const SeparatorLine& line) {
    m_separator = line;
    update();
}

void ClientArea::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (m_onResize)
        m_onResize();
}

// An etched line: shadow at y from left to right, highlight at y + 1, and the highlight
// continued at the right end up to y - 1.
void ClientArea::paintEvent(QPaintEvent* event) {
    QWidget::paintEvent(event);
    if (!m_separator.visible)
        return;
    QPainter painter(this);
    const auto& s = m_separator;
    painter.setPen(palette().color(QPalette::Dark));
    painter.drawLine(s.left, s.y, s.right, s.y);
    painter.setPen(palette().color(QPalette::Light));
    painter.drawLine(s.left, s.y + 1, s.right, s.y + 1);
    painter.drawLine(s.right, s.y + 1, s.right, s.y - 1);
}

} // namespace tw::ui
