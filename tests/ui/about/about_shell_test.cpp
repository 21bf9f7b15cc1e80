#include "../dialogs/widget_test_support.h"
#include "../shell/shell_fixture.h"

#include "ui/about/about_splash.h"
#include "ui/command_actions.h"

#include <QAction>
#include <QMenu>
#include <QTimer>

namespace tw::test {
namespace {

class AboutShellTest : public ShellFixture {
protected:
    void TearDown() override {
        ui::CloseAboutSplash();
        ShellFixture::TearDown();
    }
};

// The About command shows the splash; the options sheet, the accounts sheet in either role, a
// context menu and the shutdown each close it before they go on.
TEST_F(AboutShellTest, TheShellClosesTheSplashBeforeSheetsMenusAndShutdown) {
    ui::MainWindow* w = start();
    const auto about = [w] {
        w->commandActions()->mainAction(CommandId::About)->trigger();
        return ui::CurrentAboutSplash() != nullptr;
    };
    ASSERT_TRUE(about());
    EXPECT_EQ(w->statusText(), w->messages().LoadStringResource(999).value_or(QString()));

    struct Case {
        const char* name;
        CommandId command;
    };
    for (const Case& c :
         {Case{"options sheet", CommandId::Version}, Case{"connect sheet", CommandId::Connect},
          Case{"accounts sheet", CommandId::Accounts}}) {
        ASSERT_TRUE(about()) << c.name;
        bool splashWhileOpen = true;
        ModalWatcher watcher([&](QWidget* modal) {
            splashWhileOpen = ui::CurrentAboutSplash() != nullptr;
            static_cast<QDialog*>(modal)->reject();
        });
        w->commandActions()->mainAction(c.command)->trigger();
        EXPECT_TRUE(watcher.fired()) << c.name;
        EXPECT_FALSE(splashWhileOpen) << c.name;
    }

    ASSERT_TRUE(about());
    bool splashWhileMenu = true;
    QTimer::singleShot(50, w, [&] {
        splashWhileMenu = ui::CurrentAboutSplash() != nullptr;
        w->commandActions()->localContextMenu()->close();
    });
    w->ShowLocalContextMenu(w->mapToGlobal(QPoint(40, 40)));
    EXPECT_FALSE(splashWhileMenu);

    ASSERT_TRUE(about());
    EXPECT_TRUE(w->ShutdownMainWindow());
    EXPECT_EQ(ui::CurrentAboutSplash(), nullptr);
}

} // namespace
} // namespace tw::test
