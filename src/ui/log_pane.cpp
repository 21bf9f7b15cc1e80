#include "ui/log_pane.h"

#include "ui/log_line_model.h"

#include <QScrollBar>

#include <algorithm>

namespace tw::ui {

LogPane::LogPane(QWidget* parent) : QListView(parent), m_model(new LogLineModel(this)) {
    setModel(m_model);
    setUniformItemSizes(true);
    setLayoutMode(QListView::SinglePass);
    setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    // A list box with a vertical scroll bar that is always there and no horizontal one: long
    // lines are cut at the right edge.
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setTextElideMode(Qt::ElideNone);
    setWordWrap(false);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setFrameShape(QFrame::StyledPanel);
    setFrameShadow(QFrame::Sunken);
}

LogPane::~LogPane() = default;

QString LogPane::displayText(const QString& line) {
    QString shown;
    shown.reserve(line.size());
    bool inBreak = false;
    for (const QChar c : line) {
        if (c == QLatin1Char('\r') || c == QLatin1Char('\n')) {
            if (!inBreak)
                shown += QLatin1Char(' ');
            inBreak = true;
        } else {
            shown += c;
            inBreak = false;
        }
    }
    return shown;
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
    m_model->append(lines);
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const int n = count++;
        top = nextTopLine(top, visible, n, count);
    }
    if (top != topLine())
        setTopLine(top);
}

void LogPane::clear() {
    m_pendingTop.reset();
    m_model->clear();
}

int LogPane::lineCount() const {
    return m_model->rowCount();
}

QString LogPane::line(int index) const {
    if (index < 0 || index >= lineCount())
        return {};
    return m_model->line(index);
}

int LogPane::topLine() const {
    if (m_pendingTop)
        return *m_pendingTop;
    return verticalScrollBar()->value();
}

void LogPane::setTopLine(int index) {
    const int maxTop = std::max(0, lineCount() - std::max(visibleLines(), 1));
    const int top = std::clamp(index, 0, maxTop);
    // The scroll range follows new rows only once they are laid out: until then the wanted top
    // line is kept and applied by updateGeometries().
    if (top > verticalScrollBar()->maximum()) {
        m_pendingTop = top;
        scheduleDelayedItemsLayout();
        return;
    }
    m_pendingTop.reset();
    verticalScrollBar()->setValue(top);
}

int LogPane::lineHeight() const {
    int height = lineCount() > 0 ? sizeHintForRow(0) : 0;
    if (height <= 0)
        height = fontMetrics().height();
    return std::max(1, height);
}

int LogPane::visibleLines() const {
    return height() / lineHeight();
}

void LogPane::updateGeometries() {
    QListView::updateGeometries();
    if (m_pendingTop) {
        const int top = *m_pendingTop;
        m_pendingTop.reset();
        verticalScrollBar()->setValue(top);
    }
}

} // namespace tw::ui
