#pragma once

#include "core/commands/toolbar_layout.h"

#include <QToolBar>

#include <functional>
#include <vector>

namespace tw::ui {

// The toolbar (1002): plain 16 x 16 buttons in the order of an arrangement of command ids,
// 0 standing for a separator. Tooltips show the button text only while tips are on.
class MainToolbar : public QToolBar {
    Q_OBJECT
public:
    using ActionLookup = std::function<QAction*(CommandId)>;

    MainToolbar(ActionLookup lookup, QWidget* parent = nullptr);

    // Rebuilds the buttons from `layout`.
    void setArrangement(const std::vector<ToolbarSlot>& layout);
    // The current arrangement as saved: command ids in order, 0 for a separator.
    std::vector<int> arrangement() const;
    const std::vector<ToolbarSlot>& slotList() const { return m_slots; }

    // Flat buttons show their frame only under the mouse; read at creation.
    void setFlat(bool flat) { m_flat = flat; }
    bool isFlat() const { return m_flat; }

    void setTipsEnabled(bool on) { m_tips = on; }
    bool tipsEnabled() const { return m_tips; }
    // What the tooltip of `action`'s button shows: its button text with tips on, else nothing.
    QString tipText(const QAction* action) const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    ActionLookup m_lookup;
    std::vector<ToolbarSlot> m_slots;
    bool m_tips = true;
    bool m_flat = true;
};

} // namespace tw::ui
