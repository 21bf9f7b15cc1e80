#include "ui/log_pane.h"

#include "ui/log_pane_accessible.h"

#include "core/text/shown_text.h"

#include <QAccessible>
#include <QClipboard>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QKeySequence>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionFocusRect>

#include <algorithm>

namespace tw::ui {

namespace {
constexpr int kTextMargin = 2;  // pixels left of the text
constexpr int kLinePadding = 2; // pixels added to the font height
} // namespace

LogPane::LogPane(QWidget* parent) : QAbstractScrollArea(parent) {
    // A list box with a vertical scroll bar that is always there and no horizontal one: long
    // lines are cut at the right edge.
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setFrameShape(QFrame::StyledPanel);
    setFrameShadow(QFrame::Sunken);
    setFocusPolicy(Qt::StrongFocus);
    setBackgroundRole(QPalette::Base);
    viewport()->setBackgroundRole(QPalette::Base);
    viewport()->setAutoFillBackground(true);
    verticalScrollBar()->setSingleStep(1);
    updateScrollRange();
    // Screen readers see the lines as a list (LogPaneAccessible).
    LogPaneAccessible::Install();
    setAccessibleName(QStringLiteral("Log Window"));
}

void LogPane::notifyAccessibility(QAccessible::Event kind, int line) {
    // Costs one test while no assistive technology listens.
    if (!QAccessible::isActive())
        return;
    QAccessibleEvent event(this, kind);
    if (line >= 0)
        event.setChild(line);
    QAccessible::updateAccessibility(&event);
}

QString LogPane::displayText(const QString& line) {
    return ShownText(line, ftp::LineBreaks::Space);
}

int LogPane::nextTopLine(int top, int visible, int newIndex, int count) {
    int result = top;
    if (newIndex < top || newIndex > top + visible - 1)
        result = newIndex;
    // The list cannot scroll past its last full page.
    const int maxTop = std::max(0, count - std::max(visible, 1));
    return std::clamp(result, 0, maxTop);
}

void LogPane::appendLine(const QString& line) {
    appendLines(QStringList{line});
}

void LogPane::appendLines(const QStringList& lines) {
    if (lines.isEmpty())
        return;
    int top = topLine();
    const int visible = visibleLines();
    int count = lineCount();
    m_lines.insert(m_lines.end(), lines.begin(), lines.end());
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const int n = count++;
        top = nextTopLine(top, visible, n, count);
        notifyAccessibility(QAccessible::ObjectCreated, n);
    }
    updateScrollRange();
    setTopLine(top);
    viewport()->update();
}

void LogPane::clear() {
    m_lines.clear();
    m_lines.shrink_to_fit();
    m_selected = -1;
    notifyAccessibility(QAccessible::ObjectReorder, -1);
    updateScrollRange();
    verticalScrollBar()->setValue(0);
    viewport()->update();
}

QString LogPane::line(int index) const {
    if (index < 0 || index >= lineCount())
        return {};
    return m_lines[std::size_t(index)];
}

int LogPane::topLine() const {
    return verticalScrollBar()->value();
}

void LogPane::setTopLine(int index) {
    verticalScrollBar()->setValue(std::clamp(index, 0, maxTopLine()));
}

int LogPane::lineHeight() const {
    return std::max(1, fontMetrics().height() + kLinePadding);
}

int LogPane::visibleLines() const {
    return height() / lineHeight();
}

int LogPane::linesInViewport() const {
    // The contents rectangle, not the viewport: it follows a resize at once, also before the
    // pane is first shown.
    return std::max(1, contentsRect().height() / lineHeight());
}

int LogPane::maxTopLine() const {
    return std::max(0, lineCount() - linesInViewport());
}

void LogPane::updateScrollRange() {
    QScrollBar* bar = verticalScrollBar();
    bar->setPageStep(linesInViewport());
    bar->setRange(0, maxTopLine());
}

void LogPane::setSelectedLine(int index) {
    m_selected = index >= 0 && index < lineCount() ? index : -1;
    if (m_selected >= 0) {
        ensureVisible(m_selected);
        notifyAccessibility(hasFocus() ? QAccessible::Focus : QAccessible::Selection, m_selected);
    }
    viewport()->update();
}

void LogPane::ensureVisible(int index) {
    const int top = topLine();
    if (index < top)
        setTopLine(index);
    else if (index >= top + linesInViewport())
        setTopLine(index - linesInViewport() + 1);
}

QSize LogPane::sizeHint() const {
    return {300, 74};
}

void LogPane::paintEvent(QPaintEvent*) {
    QPainter painter(viewport());
    const int height = lineHeight();
    const int width = viewport()->width();
    const int first = topLine();
    const int last = std::min(lineCount() - 1, first + viewport()->height() / height + 1);
    const QPalette& pal = palette();
    const int ascentOffset = kLinePadding / 2;
    for (int i = first; i <= last; ++i) {
        const QRect row(0, (i - first) * height, width, height);
        const bool selected = i == m_selected;
        if (selected)
            painter.fillRect(row, pal.brush(QPalette::Highlight));
        painter.setPen(pal.color(selected ? QPalette::HighlightedText : QPalette::Text));
        painter.drawText(row.adjusted(kTextMargin, ascentOffset, 0, 0),
                         Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine,
                         displayText(m_lines[std::size_t(i)]));
    }
    if (hasFocus()) {
        QStyleOptionFocusRect focus;
        focus.initFrom(this);
        focus.rect = viewport()->rect().adjusted(1, 1, -1, -1);
        if (m_selected >= first && m_selected <= last)
            focus.rect = QRect(0, (m_selected - first) * height, width, height);
        focus.backgroundColor = pal.color(m_selected >= 0 ? QPalette::Highlight : QPalette::Base);
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, &painter, this);
    }
}

void LogPane::focusInEvent(QFocusEvent* event) {
    QAbstractScrollArea::focusInEvent(event);
    viewport()->update();
}

void LogPane::focusOutEvent(QFocusEvent* event) {
    QAbstractScrollArea::focusOutEvent(event);
    viewport()->update();
}

void LogPane::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    updateScrollRange();
}

void LogPane::changeEvent(QEvent* event) {
    QAbstractScrollArea::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        updateScrollRange();
        viewport()->update();
    }
}

void LogPane::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        const int index = topLine() + event->position().toPoint().y() / lineHeight();
        setSelectedLine(index < lineCount() ? index : -1);
    }
    QAbstractScrollArea::mousePressEvent(event);
}

void LogPane::keyPressEvent(QKeyEvent* event) {
    if (event->matches(QKeySequence::Copy)) {
        if (m_selected >= 0)
            QGuiApplication::clipboard()->setText(displayText(line(m_selected)));
        return;
    }
    const int page = linesInViewport();
    const int current = m_selected >= 0 ? m_selected : topLine();
    switch (event->key()) {
    case Qt::Key_Up:
        setSelectedLine(std::max(0, current - 1));
        return;
    case Qt::Key_Down:
        setSelectedLine(std::min(lineCount() - 1, current + 1));
        return;
    case Qt::Key_PageUp:
        setSelectedLine(std::max(0, current - page));
        return;
    case Qt::Key_PageDown:
        setSelectedLine(std::min(lineCount() - 1, current + page));
        return;
    case Qt::Key_Home:
        setSelectedLine(lineCount() > 0 ? 0 : -1);
        return;
    case Qt::Key_End:
        setSelectedLine(lineCount() - 1);
        return;
    default:
        QAbstractScrollArea::keyPressEvent(event);
    }
}

void LogPane::scrollContentsBy(int, int) {
    viewport()->update();
}

} // namespace tw::ui
