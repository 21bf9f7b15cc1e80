#include "ui/main_toolbar.h"

#include <QEvent>
#include <QHelpEvent>
#include <QToolButton>
#include <QToolTip>

namespace tw::ui {

MainToolbar::MainToolbar(ActionLookup lookup, QWidget* parent)
    : QToolBar(parent), m_lookup(std::move(lookup)) {
    setObjectName(QStringLiteral("1002"));
    setMovable(false);
    setFloatable(false);
    setIconSize(QSize(16, 16));
    setToolButtonStyle(Qt::ToolButtonIconOnly);
    setContextMenuPolicy(Qt::PreventContextMenu);
    setAccessibleName(QStringLiteral("Toolbar"));
}

void MainToolbar::setArrangement(const std::vector<ToolbarSlot>& layout) {
    clear();
    m_slots.clear();
    for (const ToolbarSlot& slot : layout) {
        if (slot.isSeparator()) {
            if (QWidget* separator = widgetForAction(addSeparator()))
                separator->setAccessibleName(QStringLiteral("Separator"));
            m_slots.push_back(slot);
            continue;
        }
        QAction* action = m_lookup ? m_lookup(slot.id) : nullptr;
        if (!action)
            continue;
        addAction(action);
        m_slots.push_back(slot);
        if (QWidget* button = widgetForAction(action)) {
            button->installEventFilter(this);
            if (auto* tool = qobject_cast<QToolButton*>(button))
                tool->setAutoRaise(m_flat);
        }
    }
}

std::vector<int> MainToolbar::arrangement() const {
    std::vector<int> ids;
    ids.reserve(m_slots.size());
    for (const ToolbarSlot& slot : m_slots)
        ids.push_back(toInt(slot.id));
    return ids;
}

QString MainToolbar::tipText(const QAction* action) const {
    if (!m_tips || !action)
        return QString();
    return action->toolTip();
}

bool MainToolbar::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::ToolTip) {
        if (auto* button = qobject_cast<QToolButton*>(watched)) {
            const QString text = tipText(button->defaultAction());
            auto* help = static_cast<QHelpEvent*>(event);
            if (text.isEmpty())
                QToolTip::hideText();
            else
                QToolTip::showText(help->globalPos(), text, button);
            return true;
        }
    }
    return QToolBar::eventFilter(watched, event);
}

} // namespace tw::ui
