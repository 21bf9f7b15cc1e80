#pragma once

#include "core/commands/command_state.h"
#include "core/commands/menu_help.h"
#include "core/commands/menu_model.h"

#include <QObject>

#include <map>

class QAction;
class QMenu;
class QMenuBar;

namespace tw::ui {

// The QActions of every command: one per command for the main menu and the toolbar (they share
// their state), and separate ones for each context menu, whose enabling rule differs. Every
// action carries its command id as data and reports it through `commandTriggered`.
class CommandActions : public QObject {
    Q_OBJECT
public:
    explicit CommandActions(QObject* parent = nullptr);

    // Fills `bar` with the main menu and makes the two context menus. The accelerators become
    // shortcuts of the main-menu actions, active anywhere in `shortcutWindow`'s window.
    void build(QMenuBar* bar);
    QMenu* localContextMenu() const { return m_localMenu; }
    QMenu* remoteContextMenu() const { return m_remoteMenu; }

    // The main-menu / toolbar action of `id` (nullptr when the command has none).
    QAction* mainAction(CommandId id) const;
    QAction* contextAction(MenuKind kind, CommandId id) const;
    // Every pop-up of the main menu, by title without '&' ("FTP", "View", ... "Sort").
    QList<QMenu*> mainMenus() const { return m_mainMenus; }

    // Applies the enabling rule's result to all three surfaces.
    void apply(const CommandStates& states);

signals:
    void commandTriggered(int id);
    // A menu item was highlighted, or the menu closed (item id 0).
    void menuSelected(tw::MenuSelection selection);

private:
    QAction* makeAction(const MenuItem& item, QObject* owner, bool withPicture);
    void fill(QMenu* menu, const std::vector<MenuItem>& items, MenuKind kind);
    void watch(QMenu* menu);

    std::map<CommandId, QAction*> m_main;
    std::map<CommandId, QAction*> m_local;
    std::map<CommandId, QAction*> m_remote;
    QMenu* m_localMenu = nullptr;
    QMenu* m_remoteMenu = nullptr;
    QList<QMenu*> m_mainMenus;
};

// The picture of a command (toolbar button and menu item), with the checked picture of
// Always on Top. Null when the command has none.
QIcon CommandIcon(CommandId id);

} // namespace tw::ui
