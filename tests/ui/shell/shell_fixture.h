#pragma once

#include "qt_app.h"

#include "core/settings/settings_store.h"
#include "ui/dialogs/message_box_dialog.h"
#include "ui/main_window.h"
#include "ui/panes/pane_view.h"
#include "ui/shell_session.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QMouseEvent>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace tw::test {

// A started program on a settings file of its own in a temporary folder, which is also the
// local start folder.
class ShellFixture : public ::testing::Test {
protected:
    void SetUp() override {
        EnsureQtApplication();
        ASSERT_TRUE(m_dir.isValid());
        ui::MessageBoxTestHook::clear();
        m_store = std::make_unique<SettingsStore>(settingsFile());
    }
    void TearDown() override {
        ui::MessageBoxTestHook::clear();
        m_session.reset();
        m_store.reset();
    }

    QString settingsFile() const { return m_dir.filePath(QStringLiteral("settings.ini")); }
    QString folder() const { return m_dir.path(); }

    ui::MainWindow* start(const QStringList& arguments = {}) {
        m_session = std::make_unique<ui::ShellSession>(*m_store, folder());
        // The setup sheet of a first start is cancelled unless a test answers it.
        m_session->setSetupSheetRunner(
            [this](OptionsSheet& sheet) { return m_setupAnswer ? m_setupAnswer(sheet) : false; });
        EXPECT_TRUE(m_session->start(arguments, folder()));
        return m_session->mainWindow();
    }
    // Ends the current run as the program does after its loop, and starts a fresh one on the
    // same settings file.
    ui::MainWindow* restart() {
        m_session->finish(0);
        m_session.reset();
        m_store = std::make_unique<SettingsStore>(settingsFile());
        return start();
    }
    ui::ShellSession& session() { return *m_session; }
    // Answers the setup sheet of the next start (true: OK).
    void answerSetupSheet(std::function<bool(OptionsSheet&)> answer) {
        m_setupAnswer = std::move(answer);
    }
    SettingsStore& store() { return *m_store; }

    // Runs the event loop until `done` holds or two seconds have passed.
    static bool waitFor(const std::function<bool()>& done) {
        QElapsedTimer clock;
        clock.start();
        while (!done() && clock.elapsed() < 2000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        return done();
    }

    // A left-button double-click on `row` of a pane, as the mouse makes it on the list.
    static void doubleClickRow(ui::PaneView* view, int row) {
        const QPoint at = view->visualRect(view->model()->index(row, 0)).center();
        QMouseEvent click(QEvent::MouseButtonDblClick, at, view->viewport()->mapToGlobal(at),
                          Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(view->viewport(), &click);
    }

    // Runs the event loop for `ms` milliseconds.
    static void spin(int ms) {
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < ms)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }

private:
    QTemporaryDir m_dir;
    std::unique_ptr<SettingsStore> m_store;
    std::unique_ptr<ui::ShellSession> m_session;
    std::function<bool(OptionsSheet&)> m_setupAnswer;
};

} // namespace tw::test
