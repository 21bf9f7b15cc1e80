#include "ui/log_pane_accessible.h"

#include "ui/log_pane.h"

#include <QWidget>

namespace tw::ui {

namespace {

QAccessibleInterface* LogPaneFactory(const QString& className, QObject* object) {
    if (className == QLatin1String(LogPane::staticMetaObject.className()) && object &&
        object->isWidgetType())
        return new LogPaneAccessible(static_cast<LogPane*>(object));
    return nullptr;
}

} // namespace

void LogPaneAccessible::Install() {
    static const bool installed = [] {
        QAccessible::installFactory(LogPaneFactory);
        return true;
    }();
    Q_UNUSED(installed);
}

LogPaneAccessible::LogPaneAccessible(LogPane* pane) : QAccessibleWidget(pane, QAccessible::List) {}

LogPaneAccessible::~LogPaneAccessible() {
    for (const auto& [index, id] : m_lines)
        QAccessible::deleteAccessibleInterface(id);
}

LogPane* LogPaneAccessible::pane() const {
    return static_cast<LogPane*>(widget());
}

int LogPaneAccessible::childCount() const {
    return pane()->lineCount();
}

QAccessibleInterface* LogPaneAccessible::child(int index) const {
    if (index < 0 || index >= childCount())
        return nullptr;
    if (const auto found = m_lines.find(index); found != m_lines.end())
        return QAccessible::accessibleInterface(found->second);
    auto* line = new LogLineAccessible(pane(), index);
    m_lines.emplace(index, QAccessible::registerAccessibleInterface(line));
    return line;
}

int LogPaneAccessible::indexOfChild(const QAccessibleInterface* child) const {
    const auto* line = dynamic_cast<const LogLineAccessible*>(child);
    return line && line->lineIndex() < childCount() ? line->lineIndex() : -1;
}

QAccessibleInterface* LogPaneAccessible::childAt(int x, int y) const {
    const QPoint local = pane()->viewport()->mapFromGlobal(QPoint(x, y));
    if (!pane()->viewport()->rect().contains(local))
        return nullptr;
    return child(pane()->topLine() + local.y() / pane()->lineHeight());
}

QAccessibleInterface* LogPaneAccessible::focusChild() const {
    return pane()->hasFocus() ? child(pane()->selectedLine()) : nullptr;
}

bool LogLineAccessible::isValid() const {
    return m_pane && m_index < m_pane->lineCount();
}

QWindow* LogLineAccessible::window() const {
    return m_pane ? m_pane->window()->windowHandle() : nullptr;
}

QAccessibleInterface* LogLineAccessible::parent() const {
    return m_pane ? QAccessible::queryAccessibleInterface(m_pane.data()) : nullptr;
}

QString LogLineAccessible::text(QAccessible::Text t) const {
    if (t != QAccessible::Name || !isValid())
        return {};
    return LogPane::displayText(m_pane->line(m_index));
}

QRect LogLineAccessible::rect() const {
    if (!isValid())
        return {};
    QWidget* viewport = m_pane->viewport();
    const int height = m_pane->lineHeight();
    const QRect line(0, (m_index - m_pane->topLine()) * height, viewport->width(), height);
    return QRect(viewport->mapToGlobal(line.topLeft()), line.size());
}

QAccessible::State LogLineAccessible::state() const {
    QAccessible::State state;
    state.selectable = true;
    if (!isValid())
        return state;
    state.selected = m_pane->selectedLine() == m_index;
    state.focused = state.selected && m_pane->hasFocus();
    const int top = m_pane->topLine();
    state.offscreen = m_index < top || m_index >= top + m_pane->visibleLines();
    return state;
}

} // namespace tw::ui
