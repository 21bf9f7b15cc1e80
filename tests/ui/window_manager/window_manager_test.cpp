// The main window and the dialogs under a real window manager, which puts frames around them:
// a dialog opens where it was closed, however often; a maximised main window comes back
// maximised, and un-maximised at the place it had before.
#include "real_desktop.h"

#include "../shell/shell_fixture.h"
#include "core/panes/pane_port.h"
#include "ui/command_actions.h"
#include "ui/options/edit_file_type_dialog.h"

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QMenu>
#include <QMouseEvent>
#include <QThread>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

namespace tw::test {
namespace {

std::string g_noDesktop; // why the tests cannot run here; empty when they can

// Runs the event loop until `done` holds or `ms` have passed.
bool waitUntil(const std::function<bool()>& done, int ms = 3000) {
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    return done();
}

// The window is shown in a frame of the window manager.
bool framed(const QWidget* window) {
    return window->isVisible() && RealDesktop::HasFrame(window->winId());
}

// The window is framed and has stopped moving.
bool waitSettled(const QWidget* window) {
    QRect last;
    int steady = 0;
    return waitUntil(
        [&] {
            const QRect now = window->geometry();
            steady = framed(window) && now == last ? steady + 1 : 0;
            last = now;
            QThread::msleep(10);
            return steady >= 5;
        },
        8000); // a loaded machine may take its time
}

// Runs `action` on the next modal dialog once the window manager has framed and placed it.
class OnFramedModal {
public:
    explicit OnFramedModal(std::function<void(QWidget*)> action) : m_action(std::move(action)) {
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            QWidget* modal = QApplication::activeModalWidget();
            if (!modal)
                return;
            m_timer.stop();
            m_settled = waitSettled(modal);
            m_action(modal);
        });
        m_timer.start(20);
    }
    bool settled() const { return m_settled; }

private:
    std::function<void(QWidget*)> m_action;
    QTimer m_timer;
    bool m_settled = false;
};

class WindowManagerTest : public ShellFixture {
protected:
    void SetUp() override {
        if (!g_noDesktop.empty())
            GTEST_SKIP() << g_noDesktop;
        ShellFixture::SetUp();
    }
};

QPoint corner(const WindowPlacement& p) {
    return {p.Left, p.Top};
}

// Each dialog that remembers its place, opened and closed with its remembering button a few
// times: from the second opening on it opens where it was closed, and the remembered place
// stays the same. (Saving the frame's corner and restoring the client's moved it up by the
// title bar's height at every use.)
TEST_F(WindowManagerTest, DialogsOpenWhereTheyWereClosed) {
    ui::MainWindow* w = start();
    ASSERT_NE(w, nullptr);
    ASSERT_TRUE(waitSettled(w));
    ASSERT_TRUE(w->state().options.SaveWindows);
    struct Dialog {
        const char* name;
        Placement placement;
        const char* button; // the one that remembers the place
        std::function<void()> open;
    };
    const std::vector<Dialog> dialogs = {
        {"Delete File", Placement::DeleteFile, "yesButton",
         [w] {
             DeleteRequest request;
             request.caption = u" Delete Local File"_qs;
             request.question = u"Are you sure you want to delete this file?"_qs;
             request.kindLabel = u"File"_qs;
             request.name = u"notes.txt"_qs;
             w->askDelete(request);
         }},
        {"Options", Placement::Options, "okButton",
         [w] { w->dispatcher().dispatch(CommandId::Options); }},
        {"Accounts", Placement::Accounts, "okButton",
         [w] { w->dispatcher().dispatch(CommandId::Accounts); }},
        {"Edit File Type", Placement::FileType, "okButton",
         [w] {
             FileTypeAssociation record{u".txt"_qs, u"xdg-open"_qs};
             ui::EditFileType(w, w->messages(), record, true,
                              w->state().placement(Placement::FileType), true, {});
         }},
    };
    for (const Dialog& d : dialogs) {
        SCOPED_TRACE(d.name);
        std::vector<QPoint> opened, remembered;
        for (int round = 0; round < 4; ++round) {
            bool pressed = false;
            OnFramedModal closer([&](QWidget* modal) {
                opened.push_back(modal->geometry().topLeft());
                if (auto* button = modal->findChild<QAbstractButton*>(QString::fromUtf8(d.button));
                    button && button->isEnabled()) {
                    button->click();
                    pressed = true;
                }
            });
            d.open();
            ASSERT_TRUE(pressed) << "round " << round;
            EXPECT_TRUE(closer.settled()) << "round " << round;
            remembered.push_back(corner(w->state().placement(d.placement)));
        }
        // It does not creep, and what was remembered is where it opens next.
        for (int round = 1; round < 4; ++round) {
            EXPECT_EQ(opened[std::size_t(round)], opened[1]) << "round " << round;
            EXPECT_EQ(remembered[std::size_t(round)], remembered[0]) << "round " << round;
            EXPECT_EQ(opened[std::size_t(round)], remembered[std::size_t(round - 1)])
                << "round " << round;
        }
    }
}

// Maximised at exit: maximised at the next start, and un-maximising returns to the rectangle
// the window had before; a normal window comes back at the same place.
TEST_F(WindowManagerTest, AMaximisedMainWindowComesBackMaximised) {
    ui::MainWindow* w = start();
    ASSERT_NE(w, nullptr);
    ASSERT_TRUE(waitSettled(w));
    ASSERT_FALSE(w->isMaximized());
    const QRect normal = w->geometry();

    w->showMaximized();
    ASSERT_TRUE(waitUntil([&] { return w->isMaximized() && w->width() > normal.width(); }));
    ASSERT_TRUE(waitSettled(w));

    w = restart();
    ASSERT_NE(w, nullptr);
    ASSERT_TRUE(waitSettled(w));
    EXPECT_TRUE(w->isMaximized());
    EXPECT_GT(w->width(), normal.width());
    EXPECT_EQ(w->normalGeometry(), normal);

    w->showNormal();
    ASSERT_TRUE(waitUntil([&] { return !w->isMaximized() && w->geometry() == normal; }))
        << "now at " << w->geometry().x() << "," << w->geometry().y() << " "
        << w->geometry().width() << "x" << w->geometry().height();

    w = restart();
    ASSERT_NE(w, nullptr);
    ASSERT_TRUE(waitSettled(w));
    EXPECT_FALSE(w->isMaximized());
    EXPECT_EQ(w->geometry(), normal);
}

// The status bar shows a greyed menu item's help as it does an enabled one's.
TEST_F(WindowManagerTest, GreyedMenuItemsShowTheirHelp) {
    ui::MainWindow* w = start();
    ASSERT_NE(w, nullptr);
    ASSERT_TRUE(waitSettled(w));
    QMenu* ftp = nullptr;
    for (QMenu* menu : w->commandActions()->mainMenus())
        if (menu->objectName() == u"FTP"_qs)
            ftp = menu;
    ASSERT_NE(ftp, nullptr);
    QAction* reconnect = w->commandActions()->mainAction(CommandId::ReConnect);
    QAction* connect = w->commandActions()->mainAction(CommandId::Connect);
    ftp->popup(w->mapToGlobal(QPoint(20, 20)));
    ASSERT_TRUE(waitUntil([&] { return ftp->isVisible(); }));
    ASSERT_FALSE(reconnect->isEnabled());
    const auto pointAt = [ftp](QAction* action) {
        const QPoint at = ftp->actionGeometry(action).center();
        QMouseEvent move(QEvent::MouseMove, at, ftp->mapToGlobal(at), Qt::NoButton, Qt::NoButton,
                         Qt::NoModifier);
        QCoreApplication::sendEvent(ftp, &move);
        QCoreApplication::processEvents();
    };
    pointAt(connect);
    EXPECT_EQ(w->statusText(), u"Connect to a Remote site"_qs);
    pointAt(reconnect);
    EXPECT_EQ(w->statusText(), u"Re-connect to the current FTP server"_qs);
    ftp->hide();
}

} // namespace
} // namespace tw::test

// The desktop is started before the one QApplication, which then connects to it.
int main(int argc, char* argv[]) {
    ::testing::InitGoogleTest(&argc, argv);
    std::unique_ptr<tw::test::RealDesktop> desktop;
    if (!GTEST_FLAG_GET(list_tests))
        desktop = tw::test::RealDesktop::start(tw::test::g_noDesktop);
    else
        tw::test::g_noDesktop = "listing only";
    qputenv("QT_QPA_PLATFORM", desktop ? "xcb" : "offscreen");
    QApplication app(argc, argv);
    if (desktop) {
        // The window manager is ready once it frames a window; a window mapped while it was
        // still starting may stay unmanaged, so the probe is shown afresh now and then.
        bool ready = false;
        for (int attempt = 0; attempt < 5 && !ready; ++attempt) {
            QWidget probe;
            probe.resize(200, 100);
            probe.show();
            ready = tw::test::waitUntil([&] { return tw::test::framed(&probe); }, 2000);
        }
        if (!ready)
            tw::test::g_noDesktop = "openbox did not frame a window on " + desktop->display();
    }
    return RUN_ALL_TESTS();
}
