#include "ui/command_actions.h"

#include "core/commands/command_table.h"
#include "core/text/string_table.h"

#include <QAction>
#include <QEvent>
#include <QFile>
#include <QIcon>
#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QShortcut>

// The pictures are compiled into this static library; make them known before first use.
static void initToolbarResources() {
    Q_INIT_RESOURCE(toolbar);
}

namespace tw::ui {

namespace {

QString iconPath(int pictureId) {
    return QStringLiteral(":/toolbar/%1.svg").arg(pictureId);
}

bool isCheckable(CommandId id) {
    const CommandInfo* info = FindCommand(id);
    return info && info->checkable;
}

} // namespace

QIcon CommandIcon(CommandId id) {
    static const bool loaded = [] {
        initToolbarResources();
        return true;
    }();
    Q_UNUSED(loaded);
    const CommandInfo* info = FindCommand(id);
    if (!info || info->pictureId == 0 || !QFile::exists(iconPath(info->pictureId)))
        return QIcon();
    QIcon icon;
    icon.addFile(iconPath(info->pictureId), QSize(16, 16), QIcon::Normal, QIcon::Off);
    const int checked = info->checkedPictureId ? info->checkedPictureId : info->pictureId;
    if (QFile::exists(iconPath(checked)))
        icon.addFile(iconPath(checked), QSize(16, 16), QIcon::Normal, QIcon::On);
    return icon;
}

CommandActions::CommandActions(QObject* parent) : QObject(parent) {
    static const bool loaded = [] {
        initToolbarResources();
        return true;
    }();
    Q_UNUSED(loaded);
}

QAction* CommandActions::makeAction(const MenuItem& item, QObject* owner, bool withPicture) {
    auto* action = new QAction(item.text, owner);
    const int id = toInt(item.id);
    action->setData(id);
    action->setObjectName(QStringLiteral("command-%1").arg(id));
    action->setCheckable(isCheckable(item.id));
    action->setEnabled(false); // every item starts greyed until the rule runs
    action->setMenuRole(QAction::NoRole);
    if (const CommandInfo* info = FindCommand(item.id)) {
        if (withPicture)
            action->setIcon(CommandIcon(item.id));
        if (const auto text = LookupString(info->buttonTextId()); text && info->hasButton()) {
            action->setIconText(*text);
            action->setToolTip(*text);
        }
    }
    connect(action, &QAction::triggered, this, [this, id] { emit commandTriggered(id); });
    return action;
}

void CommandActions::watch(QMenu* menu) {
    connect(menu, &QMenu::hovered, this, [this](QAction* action) {
        MenuSelection selection;
        selection.popup = action->menu() != nullptr;
        selection.itemId = selection.popup ? 0 : action->data().toInt();
        if (!action->isSeparator())
            emit menuSelected(selection);
    });
    connect(menu, &QMenu::aboutToHide, this, [this] {
        m_greyedUnderPointer = nullptr;
        emit menuSelected(MenuSelection{});
    });
    // A greyed item is never "hovered": the pointer over it shows its help all the same.
    menu->installEventFilter(this);
}

bool CommandActions::eventFilter(QObject* watched, QEvent* event) {
    auto* menu = qobject_cast<QMenu*>(watched);
    if (menu && event->type() == QEvent::MouseMove) {
        const auto* move = static_cast<QMouseEvent*>(event);
        const QAction* action = menu->actionAt(move->position().toPoint());
        const bool greyed =
            action && !action->isEnabled() && !action->isSeparator() && !action->menu();
        if (greyed && action != m_greyedUnderPointer)
            emit menuSelected(MenuSelection{action->data().toInt(), false, false});
        m_greyedUnderPointer = greyed ? action : nullptr;
    }
    return QObject::eventFilter(watched, event);
}

void CommandActions::fill(QMenu* menu, const std::vector<MenuItem>& items, MenuKind kind) {
    auto& actions = kind == MenuKind::Main           ? m_main
                    : kind == MenuKind::LocalContext ? m_local
                                                     : m_remote;
    for (const MenuItem& item : items) {
        if (item.separator) {
            menu->addSeparator();
        } else if (item.isPopup()) {
            QMenu* sub = menu->addMenu(item.text);
            sub->setObjectName(QString(item.text).remove(QLatin1Char('&')));
            watch(sub);
            if (kind == MenuKind::Main)
                m_mainMenus << sub;
            fill(sub, item.children, kind);
        } else {
            // The same command may sit in two places (Sort Settings): one action serves both.
            QAction* action = nullptr;
            if (auto found = actions.find(item.id); found != actions.end()) {
                action = found->second;
            } else {
                const auto pictures = MenuPictures(kind);
                const bool picture =
                    std::find(pictures.begin(), pictures.end(), item.id) != pictures.end();
                action = makeAction(item, this, picture);
                actions[item.id] = action;
            }
            menu->addAction(action);
        }
    }
}

void CommandActions::build(QMenuBar* bar) {
    for (const MenuItem& top : MainMenu()) {
        QMenu* menu = bar->addMenu(top.text);
        menu->setObjectName(QString(top.text).remove(QLatin1Char('&')));
        watch(menu);
        m_mainMenus << menu;
        fill(menu, top.children, MenuKind::Main);
    }

    m_localMenu = new QMenu(bar);
    m_localMenu->setObjectName(QStringLiteral("menu-1001"));
    fill(m_localMenu, LocalContextMenu(), MenuKind::LocalContext);
    m_remoteMenu = new QMenu(bar);
    m_remoteMenu->setObjectName(QStringLiteral("menu-1002"));
    fill(m_remoteMenu, RemoteContextMenu(), MenuKind::RemoteContext);
    // The context menus' items show their help in the status bar as the main menu's do.
    watch(m_localMenu);
    watch(m_remoteMenu);

    // Accelerators: window-wide shortcuts of the main-menu actions. A greyed action takes no
    // key; a shortcut of its own, enabled only meanwhile, reports the command instead.
    for (const AcceleratorEntry& entry : AcceleratorTable()) {
        QAction* action = mainAction(entry.command);
        if (!action)
            continue;
        QList<QKeySequence> keys = action->shortcuts();
        for (const QString& key : entry.qtKeys) {
            const QKeySequence sequence = QKeySequence::fromString(key, QKeySequence::PortableText);
            keys << sequence;
            auto* refused =
                new QShortcut(sequence, bar->parentWidget(), nullptr, nullptr, Qt::WindowShortcut);
            refused->setEnabled(false);
            const int id = toInt(entry.command);
            connect(refused, &QShortcut::activated, this,
                    [this, id] { emit commandTriggered(id); });
            m_refusedKeys.emplace(entry.command, refused);
        }
        action->setShortcuts(keys);
        action->setShortcutContext(Qt::WindowShortcut);
    }
}

QAction* CommandActions::mainAction(CommandId id) const {
    const auto found = m_main.find(id);
    return found == m_main.end() ? nullptr : found->second;
}

QAction* CommandActions::contextAction(MenuKind kind, CommandId id) const {
    const auto& actions = kind == MenuKind::LocalContext    ? m_local
                          : kind == MenuKind::RemoteContext ? m_remote
                                                            : m_main;
    const auto found = actions.find(id);
    return found == actions.end() ? nullptr : found->second;
}

void CommandActions::apply(const CommandStates& states) {
    const auto applyTo = [&](std::map<CommandId, QAction*>& actions, CommandSurface surface) {
        for (auto& [id, action] : actions) {
            const CommandState state = states.get(surface, id);
            action->setEnabled(state.enabled);
            if (action->isCheckable())
                action->setChecked(state.checked);
        }
    };
    applyTo(m_main, CommandSurface::Main);
    applyTo(m_local, CommandSurface::LocalContext);
    applyTo(m_remote, CommandSurface::RemoteContext);
    for (auto& [id, shortcut] : m_refusedKeys)
        shortcut->setEnabled(!states.main(id).enabled);
}

} // namespace tw::ui
