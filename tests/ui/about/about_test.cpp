#include "../dialogs/widget_test_support.h"
#include "core/about/version_info.h"
#include "core/text/messages.h"
#include "core/text/string_table.h"
#include "support/recording_port.h"
#include "ui/about/about_splash.h"
#include "ui/options/version_page.h"

#include <QApplication>
#include <QDir>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>

#include <gtest/gtest.h>

using namespace tw;
using tw::test::RecordingPort;

namespace {

QString text(int id) {
    return LookupString(id).value_or(QString());
}

void saveScreenshot(QWidget* widget, const QString& name) {
    const QByteArray dir = qgetenv("TW_SCREENSHOT_DIR");
    if (!dir.isEmpty())
        widget->grab().save(QDir(QString::fromLocal8Bit(dir)).filePath(name));
}

class AboutUiTest : public ::testing::Test {
protected:
    void TearDown() override { ui::CloseAboutSplash(); }

    AppState state;
    AppGlobals globals;
    RecordingPort port;
    Messages messages{port, state, globals};
};

} // namespace

// Two Abouts show one splash; a click closes it, a key closes the next one, and the shell's
// CloseAboutSplash the one after.
TEST_F(AboutUiTest, OneSplashAtATimeClosedByAClickAKeyOrTheShell) {
    EXPECT_EQ(ui::CurrentAboutSplash(), nullptr);
    ui::ShowAboutSplash(messages);
    ui::AboutSplash* splash = ui::CurrentAboutSplash();
    ASSERT_NE(splash, nullptr);
    EXPECT_EQ(port.status(), text(999));
    EXPECT_TRUE(splash->isVisible());
    EXPECT_EQ(splash->size(), QSize(470, 180));
    EXPECT_EQ(splash->parentWidget(), nullptr);
    EXPECT_TRUE(splash->windowFlags() & Qt::FramelessWindowHint);
    EXPECT_TRUE(splash->windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_EQ(splash->windowTitle(), u"Splash"_qs);
    EXPECT_EQ(splash->accessibleName(),
              u"Tarnwick 2000 Version "_qs + ProgramVersionTable().at(u"ProductVersion"_qs));
    EXPECT_TRUE(splash->accessibleDescription().contains(u"Quellwork"_qs));
    const QRect monitor = QGuiApplication::primaryScreen()->geometry();
    EXPECT_EQ(splash->frameGeometry().center(), monitor.center());
    saveScreenshot(splash, u"about_splash.png"_qs);

    port.clear();
    ui::ShowAboutSplash(messages);
    EXPECT_EQ(ui::CurrentAboutSplash(), splash);
    EXPECT_EQ(port.status(), text(999));
    int splashes = 0;
    for (QWidget* window : QApplication::topLevelWidgets())
        splashes += qobject_cast<ui::AboutSplash*>(window) && window->isVisible();
    EXPECT_EQ(splashes, 1);

    QPointer<ui::AboutSplash> clicked = splash;
    const QPointF at(100, 100);
    QMouseEvent press(QEvent::MouseButtonPress, at, splash->mapToGlobal(at), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(splash, &press);
    EXPECT_EQ(ui::CurrentAboutSplash(), nullptr);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(clicked.isNull());

    ui::ShowAboutSplash(messages);
    QPointer<ui::AboutSplash> keyed = ui::CurrentAboutSplash();
    ASSERT_FALSE(keyed.isNull());
    EXPECT_NE(keyed.data(), clicked.data());
    QKeyEvent key(QEvent::KeyPress, Qt::Key_Space, Qt::NoModifier, u" "_qs);
    QCoreApplication::sendEvent(keyed.data(), &key);
    EXPECT_EQ(ui::CurrentAboutSplash(), nullptr);

    ui::ShowAboutSplash(messages);
    QPointer<ui::AboutSplash> closed = ui::CurrentAboutSplash();
    ASSERT_FALSE(closed.isNull());
    ui::CloseAboutSplash();
    EXPECT_TRUE(closed.isNull());
    EXPECT_EQ(ui::CurrentAboutSplash(), nullptr);
    ui::CloseAboutSplash(); // none: nothing happens
}

// The page shows the program's version values, its folder and the notice; the button opens
// the web site.
TEST_F(AboutUiTest, VersionPageShowsTheProgramsVersionValues) {
    ui::VersionPage page(messages);
    page.setProgramPath(u"/opt/quellwork/bin/tarnwick2000"_qs);
    int opened = 0;
    page.setWebSiteOpener([&] { ++opened; });
    page.resize(page.minimumSize());
    page.activate();
    for (const VersionItem& shown :
         VersionPageTexts(ProgramVersionTable(), u"/opt/quellwork/bin/tarnwick2000"_qs)) {
        QWidget* item = page.item(shown.id);
        ASSERT_NE(item, nullptr) << shown.id;
        const QString showing = qobject_cast<QLabel*>(item)
                                    ? qobject_cast<QLabel*>(item)->text()
                                    : qobject_cast<QPushButton*>(item)->text();
        EXPECT_EQ(showing, shown.text) << shown.id;
        EXPECT_FALSE(showing.isEmpty()) << shown.id;
        EXPECT_TRUE(page.rect().contains(item->geometry())) << shown.id;
    }
    EXPECT_EQ(qobject_cast<QLabel*>(page.item(109))->text(), u"/opt/quellwork/bin/"_qs);
    EXPECT_EQ(qobject_cast<QLabel*>(page.item(108))->text(), u"Folder:"_qs);
    auto* web = qobject_cast<QPushButton*>(page.item(107));
    ASSERT_NE(web, nullptr);
    EXPECT_EQ(web->text(), u"www.example.org/quellwork"_qs);
    web->click();
    EXPECT_EQ(opened, 1);
    page.show();
    QApplication::processEvents();
    saveScreenshot(&page, u"version_page.png"_qs);
}
