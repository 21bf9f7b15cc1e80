#include "shell_fixture.h"

#include "../dialogs/widget_test_support.h"

#include "core/commands/toolbar_layout.h"
#include "core/settings/settings_store.h"
#include "ui/client_area.h"
#include "ui/command_actions.h"
#include "ui/main_toolbar.h"
#include "ui/options/flags_page.h"
#include "ui/options/options_sheet_dialog.h"
#include "ui/panes/pane_view.h"
#include "ui/tray_icon.h"

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QStatusBar>

namespace tw::test {
namespace {

using ui::MainWindow;

QAction* mainAction(MainWindow* w, CommandId id) {
    return w->commandActions()->mainAction(id);
}

QStringList menuTitles(MainWindow* w) {
    QStringList titles;
    for (QAction* a : w->menuBar()->actions())
        titles << a->text();
    return titles;
}

class MainWindowTest : public ShellFixture {};

TEST_F(MainWindowTest, FirstStartBuildsTheWholeWindow) {
    MainWindow* w = start();
    ASSERT_NE(w, nullptr);
    EXPECT_TRUE(session().globals().FirstStart);
    EXPECT_EQ(session().setupSheetRequests(), 1);

    EXPECT_EQ(w->objectName(), QStringLiteral("TarnwickAppClass"));
    EXPECT_EQ(w->windowTitle(), QStringLiteral("Tarnwick 2000"));
    EXPECT_TRUE(w->isVisible());
    EXPECT_GE(w->width(), 620);
    EXPECT_GE(w->height(), 420);
    EXPECT_EQ(w->minimumSize(), QSize(620, 420));

    EXPECT_EQ(menuTitles(w), (QStringList{QStringLiteral("&FTP"), QStringLiteral("&View"),
                                          QStringLiteral("&Local"), QStringLiteral("&Remote"),
                                          QStringLiteral("&Help")}));
    for (const char* name : {"9001", "9002", "9003", "9004", "9005", "1002", "1003"}) {
        QWidget* child = w->findChild<QWidget*>(QString::fromLatin1(name));
        ASSERT_NE(child, nullptr) << name;
        EXPECT_TRUE(child->isVisible()) << name;
        EXPECT_GT(child->height(), 0) << name;
    }

    // The 34 slots of the built-in arrangement, each button with its picture and text.
    EXPECT_EQ(w->toolbar()->arrangement(), StandardToolbarArrangement());
    int buttons = 0;
    for (QAction* a : w->toolbar()->actions()) {
        if (a->isSeparator())
            continue;
        ++buttons;
        EXPECT_FALSE(a->icon().isNull()) << a->data().toInt();
        EXPECT_FALSE(a->toolTip().isEmpty()) << a->data().toInt();
    }
    EXPECT_EQ(buttons, 22);
    EXPECT_EQ(w->toolbar()->actions().size(), 34);

    EXPECT_EQ(w->localLabel()->text(), QStringLiteral("Local: ") + folder());
    EXPECT_EQ(w->remoteLabel()->text(), QStringLiteral("Remote: not connected"));
    EXPECT_EQ(w->statusText(), QStringLiteral("Ready ..."));

    // Both lists show the column labels, the remote one before any listing.
    const auto* remoteView = qobject_cast<const ui::PaneView*>(w->remoteList());
    ASSERT_NE(remoteView, nullptr);
    EXPECT_EQ(remoteView->model()->headerData(0, Qt::Horizontal).toString(),
              QStringLiteral("File Name"));
    EXPECT_EQ(remoteView->model()->headerData(2, Qt::Horizontal).toString(),
              QStringLiteral("Size"));

    // The date column shows a whole date text in the desktop's font.
    const int dateWidth =
        w->localList()->fontMetrics().horizontalAdvance(QStringLiteral("08-Dec-2026 - 23:15:56"));
    const auto* pane = qobject_cast<const ui::PaneView*>(w->localList());
    ASSERT_NE(pane, nullptr);
    EXPECT_GE(pane->columnWidth(1), dateWidth + 12);
    EXPECT_GE(session().state().RemoteColumnWidths[1], dateWidth + 12);

    // The built-in arrangement is stored as "Standard" at every creation.
    EXPECT_TRUE(store().ValueExists(QStringLiteral("DeskTop\\Window\\ToolBar"),
                                    QStringLiteral("Standard")));
}

TEST_F(MainWindowTest, SetupOnTheCommandLineAsksForTheSheetOnce) {
    start();
    restart(); // the settings exist now: no first start
    EXPECT_FALSE(session().globals().FirstStart);
    EXPECT_EQ(session().setupSheetRequests(), 0);

    session().finish(0);
    ui::ShellSession again(store(), folder());
    // The sheet opens before the main window, with the two creations proposed.
    SetupChoices proposed;
    bool windowExisted = true;
    again.setSetupSheetRunner([&](OptionsSheet& sheet) {
        proposed = sheet.state().setup;
        windowExisted = again.mainWindow() != nullptr;
        return false;
    });
    again.start({QStringLiteral("-SETUP")}, folder());
    EXPECT_EQ(again.setupSheetRequests(), 1);
    EXPECT_FALSE(windowExisted);
    EXPECT_EQ(proposed.CreateStartMenu, 1u);
    EXPECT_EQ(proposed.CreateDesktop, 1u);
    EXPECT_EQ(proposed.CreateStartup, 0u);
    // Cancelled: the requests do not outlive the sheet.
    EXPECT_EQ(again.state().setup, SetupChoices{});
    again.finish(0);
}

TEST_F(MainWindowTest, CommandStatesReachMenusToolbarAndContextMenus) {
    MainWindow* w = start();
    EXPECT_TRUE(mainAction(w, CommandId::Connect)->isEnabled());
    EXPECT_FALSE(mainAction(w, CommandId::Disconnect)->isEnabled());
    EXPECT_FALSE(mainAction(w, CommandId::Download)->isEnabled());
    EXPECT_TRUE(mainAction(w, CommandId::ViewToolbar)->isChecked());
    EXPECT_TRUE(mainAction(w, CommandId::LocalSortName)->isChecked());
    // Remote Properties follows only B and R on the main menu, the connection too in the
    // context menu.
    w->runtime().connected = true;
    w->UpdateCommandState();
    EXPECT_TRUE(mainAction(w, CommandId::Disconnect)->isEnabled());
    EXPECT_FALSE(mainAction(w, CommandId::Connect)->isEnabled());
    EXPECT_TRUE(w->commandActions()
                    ->contextAction(MenuKind::RemoteContext, CommandId::CancelMenu)
                    ->isEnabled());
    w->runtime().busy = true;
    w->UpdateCommandState();
    EXPECT_FALSE(mainAction(w, CommandId::Disconnect)->isEnabled());
    EXPECT_FALSE(mainAction(w, CommandId::Options)->isEnabled());
    EXPECT_TRUE(mainAction(w, CommandId::LocalRefresh)->isEnabled());
    w->runtime().busy = false;
    w->runtime().connected = false;
}

TEST_F(MainWindowTest, ToolbarAndStatusBarCommandsMoveTheChildren) {
    MainWindow* w = start();
    const int labelTop = w->localLabel()->y();
    const int toolbarHeight = w->toolbar()->height();
    const int logBottom = w->logPane()->geometry().bottom();

    w->dispatcher().dispatch(CommandId::ViewToolbar);
    EXPECT_EQ(w->state().options.ToolBar, 0u);
    EXPECT_FALSE(w->toolbar()->isVisible());
    EXPECT_EQ(w->localLabel()->y(), labelTop - toolbarHeight);
    EXPECT_FALSE(mainAction(w, CommandId::CustomizeToolbar)->isEnabled());
    EXPECT_FALSE(mainAction(w, CommandId::ViewToolbar)->isChecked());
    // With the option off the etched line runs under the menu bar.
    EXPECT_TRUE(w->clientArea()->separator().visible);
    EXPECT_EQ(w->clientArea()->separator().y, 0);

    w->dispatcher().dispatch(CommandId::ViewStatus);
    EXPECT_FALSE(w->statusLine()->isVisible());
    EXPECT_EQ(w->logPane()->geometry().bottom(), w->clientArea()->height() - 1);
    EXPECT_GT(w->logPane()->geometry().bottom(), logBottom);
    EXPECT_FALSE(w->showStatus(QStringLiteral("nobody sees this")));

    w->dispatcher().dispatch(CommandId::ViewToolbar);
    w->dispatcher().dispatch(CommandId::ViewStatus);
    EXPECT_EQ(w->localLabel()->y(), labelTop);
    EXPECT_TRUE(w->showStatus(QStringLiteral("seen")));
    EXPECT_EQ(w->statusText(), QStringLiteral("seen"));
}

TEST_F(MainWindowTest, MinimumSizeKeepsEveryChildVisible) {
    MainWindow* w = start();
    w->resize(100, 100); // refused below the minimum
    EXPECT_EQ(w->size(), QSize(620, 420));
    const std::initializer_list<QWidget*> children = {
        w->toolbar(),    w->localLabel(), w->localList(), w->remoteLabel(),
        w->remoteList(), w->logPane(),    w->statusLine()};
    for (QWidget* child : children) {
        EXPECT_GT(child->height(), 0) << child->objectName().toStdString();
        EXPECT_GE(child->y(), 0);
        EXPECT_LE(child->geometry().bottom(), w->clientArea()->height() - 1);
    }
    EXPECT_LT(w->localList()->geometry().bottom(), w->logPane()->y());
}

TEST_F(MainWindowTest, MenuHelpFollowsTheHighlightedItem) {
    MainWindow* w = start();
    w->ShowMenuHelp({toInt(CommandId::Connect), false, false});
    EXPECT_EQ(w->statusText(), QStringLiteral("Connect to a Remote site"));
    w->ShowMenuHelp({0, true, false}); // a pop-up title leaves the text
    EXPECT_EQ(w->statusText(), QStringLiteral("Connect to a Remote site"));
    w->ShowMenuHelp({0, false, false}); // the menu closes
    EXPECT_EQ(w->statusText(), QStringLiteral("Ready ..."));

    w->dispatcher().dispatch(CommandId::ViewStatus);
    const QString before = w->statusText();
    w->ShowMenuHelp({toInt(CommandId::Exit), false, false});
    EXPECT_EQ(w->statusText(), before);
}

// The mouse over a context-menu item shows its help as over a main-menu item; closing the
// menu brings "Ready ..." back.
TEST_F(MainWindowTest, ContextMenuItemsShowTheirHelp) {
    MainWindow* w = start();
    const struct {
        QMenu* menu;
        MenuKind kind;
        CommandId id;
    } cases[] = {
        {w->commandActions()->localContextMenu(), MenuKind::LocalContext,
         CommandId::LocalProperties},
        {w->commandActions()->remoteContextMenu(), MenuKind::RemoteContext,
         CommandId::RemoteRename},
        {w->commandActions()->remoteContextMenu(), MenuKind::RemoteContext, CommandId::Download}};
    // A row selected in each pane, the remote one as if connected: the items are enabled.
    FileEntry remote;
    remote.name = QStringLiteral("remote.txt");
    w->state().remote.entries = {remote};
    w->refreshPane(PaneSide::Remote);
    w->runtime().connected = true;
    static_cast<ui::PaneView*>(w->localList())->selectRow(0);
    static_cast<ui::PaneView*>(w->remoteList())->selectRow(0);
    for (const auto& c : cases) {
        w->UpdateCommandState();
        c.menu->popup(w->mapToGlobal(QPoint(40, 40)));
        QAction* action = w->commandActions()->contextAction(c.kind, c.id);
        ASSERT_NE(action, nullptr);
        const QPointF at = c.menu->actionGeometry(action).center();
        QMouseEvent move(QEvent::MouseMove, at, c.menu->mapToGlobal(at), Qt::NoButton, Qt::NoButton,
                         Qt::NoModifier);
        QCoreApplication::sendEvent(c.menu, &move);
        EXPECT_EQ(w->statusText(),
                  w->messages().LoadStringResource(toInt(c.id)).value_or(QString()))
            << toInt(c.id);
        c.menu->close();
        EXPECT_EQ(w->statusText(), QStringLiteral("Ready ..."));
    }
    w->runtime().connected = false;
}

TEST_F(MainWindowTest, TooltipsFollowTheTipsOption) {
    MainWindow* w = start();
    QAction* connect = mainAction(w, CommandId::Connect);
    EXPECT_EQ(w->toolbar()->tipText(connect), QStringLiteral("Connect"));
    w->toolbar()->setTipsEnabled(false);
    EXPECT_TRUE(w->toolbar()->tipText(connect).isEmpty());

    w->state().options.Tips = 0;
    MainWindow* again = restart();
    EXPECT_TRUE(again->toolbar()->tipText(mainAction(again, CommandId::Connect)).isEmpty());
}

// The four commands open the options sheet on their pages; OK puts a changed option into
// effect at once.
TEST_F(MainWindowTest, OptionsCommandsOpenTheSheetOnTheirPages) {
    MainWindow* w = start();
    const std::pair<CommandId, OptionsPage> cases[] = {
        {CommandId::SortSettings, OptionsPage::Sorting},
        {CommandId::Setup, OptionsPage::Setup},
        {CommandId::Version, OptionsPage::Version},
        {CommandId::Options, OptionsPage::General}};
    for (const auto& [id, page] : cases) {
        int shown = -1;
        const bool ok = id == CommandId::Options;
        ModalWatcher watcher([&, ok = ok](QWidget* modal) {
            auto* sheet = qobject_cast<ui::OptionsSheetDialog*>(modal);
            ASSERT_NE(sheet, nullptr);
            shown = sheet->tabs()->currentIndex();
            if (!ok) {
                sheet->reject();
                return;
            }
            static_cast<ui::FlagsPage*>(sheet->page(OptionsPage::General))
                ->check(150)
                ->setChecked(false);
            sheet->tryAccept();
        });
        mainAction(w, id)->trigger();
        EXPECT_TRUE(watcher.fired()) << int(id);
        EXPECT_EQ(shown, int(page)) << int(id);
    }
    EXPECT_EQ(w->state().options.Tips, 0u);
    EXPECT_TRUE(w->toolbar()->tipText(mainAction(w, CommandId::Connect)).isEmpty());
}

TEST_F(MainWindowTest, CustomArrangementIsRestoredAndResetBringsTheStandardBack) {
    MainWindow* w = start();
    const std::vector<int> custom = {toInt(CommandId::Download), 0, toInt(CommandId::Connect)};
    w->toolbar()->setArrangement(*ToolbarFromArrangement(custom));
    w->SaveToolbarLayout(true);

    MainWindow* again = restart();
    EXPECT_EQ(again->toolbar()->arrangement(), custom);

    again->RestoreToolbarLayout(false); // Reset
    EXPECT_EQ(again->toolbar()->arrangement(), StandardToolbarArrangement());
}

TEST_F(MainWindowTest, DamagedCustomArrangementKeepsTheBuiltInOne) {
    store().WriteSettingString(QStringLiteral("DeskTop\\Window\\ToolBar"), QStringLiteral("Custom"),
                               QStringLiteral("454,454,garbage"));
    MainWindow* w = start();
    EXPECT_EQ(w->toolbar()->arrangement(), StandardToolbarArrangement());
}

TEST_F(MainWindowTest, ChosenFontReachesPanesLabelsAndLogAndIsSaved) {
    MainWindow* w = start();
    QFont chosen(QStringLiteral("DejaVu Serif"));
    chosen.setPixelSize(17);
    bool asked = false;
    w->setFontChooser([&](const QFont&, const QColor&) {
        asked = true;
        return std::make_optional(std::make_pair(chosen, QColor(0x10, 0x20, 0x30)));
    });
    w->dispatcher().dispatch(CommandId::Font);
    ASSERT_TRUE(asked);
    const std::initializer_list<QWidget*> children = {w->localList(), w->remoteList(), w->logPane(),
                                                      w->localLabel(), w->remoteLabel()};
    for (QWidget* child : children) {
        EXPECT_EQ(child->font().family(), QStringLiteral("DejaVu Serif"));
        EXPECT_EQ(child->font().pixelSize(), 17);
        EXPECT_EQ(child->palette().color(QPalette::Text), QColor(0x10, 0x20, 0x30));
    }
    // Saved at once, not only at exit.
    SettingsStore reread(settingsFile());
    EXPECT_EQ(reread.ReadSettingString(QStringLiteral("Font\\Display"), QStringLiteral("FaceName"),
                                       QString()),
              QStringLiteral("DejaVu Serif"));
    EXPECT_EQ(
        reread.ReadSettingNumber(QStringLiteral("Font\\Display"), QStringLiteral("Colour"), 0),
        0x302010u);

    // Cancel changes nothing.
    const FontSetting before = w->globals().paneFont;
    w->setFontChooser(
        [](const QFont&, const QColor&) { return std::optional<std::pair<QFont, QColor>>(); });
    w->dispatcher().dispatch(CommandId::Font);
    EXPECT_EQ(w->globals().paneFont, before);
}

TEST_F(MainWindowTest, TitleShowsTheSiteWhileConnected) {
    MainWindow* w = start();
    w->state().remote.site = QStringLiteral("ftp.example.org");
    w->runtime().connected = true;
    w->UpdateMainWindowTitle();
    EXPECT_EQ(w->windowTitle(), QStringLiteral("Tarnwick 2000 - ftp.example.org"));
    w->runtime().connected = false;
    w->UpdateMainWindowTitle();
    EXPECT_EQ(w->windowTitle(), QStringLiteral("Tarnwick 2000"));
}

TEST_F(MainWindowTest, ClearLogAndAlwaysOnTop) {
    MainWindow* w = start();
    w->appendLog(QStringLiteral("one"));
    w->appendLog(QStringLiteral("two"));
    EXPECT_EQ(w->logLines().size(), 2);
    w->dispatcher().dispatch(CommandId::ClearLog);
    EXPECT_TRUE(w->logLines().isEmpty());

    w->dispatcher().dispatch(CommandId::AlwaysOnTop);
    EXPECT_EQ(w->state().options.TopMost, 1u);
    EXPECT_TRUE(w->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_TRUE(mainAction(w, CommandId::AlwaysOnTop)->isChecked());
    EXPECT_TRUE(w->isVisible());
    w->dispatcher().dispatch(CommandId::AlwaysOnTop);
    EXPECT_FALSE(w->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
}

// Without a tray on the desktop TaskTray must never hide the window for good.
TEST_F(MainWindowTest, TaskTrayWithoutATrayNeverHidesTheWindow) {
    if (ui::TrayIcon::trayAvailable())
        GTEST_SKIP() << "this desktop has a tray";
    store().WriteSettingFlag(QStringLiteral("Options"), QStringLiteral("TaskTray"), 1);
    store().WriteSettingFlag(QStringLiteral("Options"), QStringLiteral("Confirm"), 0);
    MainWindow* w = start();
    ASSERT_EQ(w->state().options.TaskTray, 1u);
    w->showMinimized();
    spin(100);
    EXPECT_TRUE(w->isVisible());
    w->showNormal();
    w->close(); // the close box: no tray to live on, so the program ends normally
    EXPECT_TRUE(w->isShutDown());
}

} // namespace
} // namespace tw::test
