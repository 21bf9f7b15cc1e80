#pragma once

#include "core/commands/command_state.h"
#include "core/commands/menu_help.h"
#include "core/commands/menu_model.h"

#include <QObject>

#include <map>

class QAction;
class QMenu;
class QMenuBar;
class QShortcut;

namespace tw::ui {

// The QActions of every command: one per command for the main menu and the toolbar (they share
// their state), and separate ones for each context menu, whose enabling rule differs. Every
// action carries its command id as data and reports it through `commandTriggered`.
class CommandActions : public QObject {
    Q_OBJECT
public:
    explicit CommandActions(QObject* parent = nullptr);

    // Fills `bar` with the main menu and makes the two context menus. The accelerators become
    // shortcuts of the main-menu actions, active anywhere in the bar's window. The key of a
    // greyed command is not lost: it still reports the command, so that the dispatcher can
    // say why it is refused.
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
    // A command was chosen: a menu item, a toolbar button or an accelerator (also one of a
    // greyed command).
    void commandTriggered(int id);
    // A menu item was highlighted, or the menu closed (item id 0).
    void menuSelected(tw::MenuSelection selection);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QAction* makeAction(const MenuItem& item, QObject* owner, bool withPicture);
    void fill(QMenu* menu, const std::vector<MenuItem>& items, MenuKind kind);
    void watch(QMenu* menu);

    std::map<CommandId, QAction*> m_main;
    std::map<CommandId, QAction*> m_local;
    std::map<CommandId, QAction*> m_remote;
    // The keys of each main-menu command, active only while the command is greyed.
    std::multimap<CommandId, QShortcut*> m_refusedKeys;
    // The greyed item the pointer is over, whose help the status bar shows.
    const QAction* m_greyedUnderPointer = nullptr;
    QMenu* m_localMenu = nullptr;
    QMenu* m_remoteMenu = nullptr;
    QList<QMenu*> m_mainMenus;
};

// The picture of a command (toolbar button and menu item), with the checked picture of
// Always on Top. Null when the command has none.
QIcon CommandIcon(CommandId id);

} // namespace tw::ui
