#include "../shell/shell_fixture.h"

#include "integration/ftp/ftp_test_servers.h"
#include "support/connect_sheet.h"
#include "support/qt_printers.h"
#include "ui/bookmarks/bookmarks_dialog.h"
#include "ui/panes/pane_tools.h"
#include "ui/panes/pane_view.h"

#include "core/settings/settings.h"
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QStatusBar>
#include <QTest>
#include <QTimer>

#include <filesystem>
#include <fstream>

namespace tw::test {
namespace {

namespace fs = std::filesystem;

// The path and filter row of each pane in the running window, driven with the keyboard.
class PaneToolsTest : public ShellFixture {
protected:
    QComboBox* pathBox(ui::MainWindow* w, PaneSide side) const {
        return w->findChild<QComboBox*>(side == PaneSide::Local ? u"localFolderBox"_qs
                                                                : u"remoteFolderBox"_qs);
    }
    QLineEdit* filterBox(ui::MainWindow* w, PaneSide side) const {
        return w->findChild<QLineEdit*>(side == PaneSide::Local ? u"localFilter"_qs
                                                                : u"remoteFilter"_qs);
    }
    // Types `text` into the path box and presses Enter.
    static void enterFolder(QComboBox* box, const QString& text) {
        box->lineEdit()->selectAll();
        QTest::keyClicks(box->lineEdit(), text);
        QTest::keyClick(box->lineEdit(), Qt::Key_Return);
    }
    static QStringList items(QComboBox* box) {
        QStringList out;
        for (int i = 0; i < box->count(); ++i)
            out << box->itemText(i);
        return out;
    }
    static QStringList shownNames(ui::PaneView* view, const PaneState& pane) {
        QStringList names;
        for (int row = 0; row < pane.count(); ++row)
            if (!view->isRowHidden(row, QModelIndex()))
                names << pane.entries[std::size_t(row)].name;
        return names;
    }
    void shoot(QWidget* widget, const char* name) const {
        const QString shots = qEnvironmentVariable("TW_SCREENSHOT_DIR");
        if (!shots.isEmpty())
            widget->grab().save(shots + u'/' + QString::fromLatin1(name));
    }
};

TEST_F(PaneToolsTest, LocalPathBoxGoesToTypedFoldersAndKeepsItsHistory) {
    const fs::path root = folder().toStdString();
    fs::create_directories(root / "alpha" / "beta");
    ui::MainWindow* w = start();
    ASSERT_NE(w, nullptr);
    const PaneState& local = w->state().local;
    QComboBox* box = pathBox(w, PaneSide::Local);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->accessibleName(), u"Local folder"_qs);
    EXPECT_EQ(filterBox(w, PaneSide::Local)->accessibleName(), u"Filter local files"_qs);
    const QString start = local.path;
    EXPECT_EQ(box->currentText(), start);

    // Relative to the pane's folder; the label keeps its own text.
    enterFolder(box, u"alpha/beta"_qs);
    const QString beta = QDir(start).filePath(u"alpha/beta"_qs);
    EXPECT_EQ(local.path, beta);
    EXPECT_EQ(w->localLabel()->text(), u"Local: "_qs + beta);
    EXPECT_EQ(box->currentText(), beta);

    // A folder that does not exist: the system's error in the log, the pane stays.
    const int rows = local.count();
    enterFolder(box, u"nowhere"_qs);
    EXPECT_EQ(local.path, beta);
    EXPECT_EQ(local.count(), rows);
    EXPECT_EQ(w->logLines().filter(u"Error: SetCurrentDirectory"_qs).size(), 1)
        << ::testing::PrintToString(w->logLines());

    // A control character is refused with a message before anything changes.
    ui::MessageBoxTestHook::pushAnswers({true});
    box->setEditText(start + u"\n.."_qs);
    QTest::keyClick(box->lineEdit(), Qt::Key_Return);
    const auto boxes = ui::MessageBoxTestHook::takeAnsweredRequests();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_TRUE(boxes[0].text.contains(u"control character"_qs)) << boxes[0].text.toStdString();
    EXPECT_EQ(local.path, beta);

    // Enter on an absolute path; the history lists the newest first and is kept in the settings
    // file.
    enterFolder(box, start);
    EXPECT_EQ(local.path, start);
    EXPECT_EQ(items(box).mid(0, 2), (QStringList{start, beta}));
    ASSERT_TRUE(SaveSettings(store(), w->state(), w->globals(), nullptr));
    SettingsStore saved(settingsFile());
    AppState state;
    AppGlobals globals;
    LoadSettings(saved, state, globals);
    EXPECT_EQ(state.LocalFolderHistory.front(), start);
    EXPECT_EQ(state.LocalFolderHistory.at(1), beta);
}

TEST_F(PaneToolsTest, FilterHidesRowsAndTheirSelectionUntilCleared) {
    for (const char* name : {"one.txt", "two.log", "Three.TXT", "four.md"})
        std::ofstream(fs::path(folder().toStdString()) / name) << "x";
    ui::MainWindow* w = start();
    ASSERT_NE(w, nullptr);
    w->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(w));
    const PaneState& local = w->state().local;
    auto* view = qobject_cast<ui::PaneView*>(w->localList());
    QLineEdit* filter = filterBox(w, PaneSide::Local);
    ASSERT_NE(filter, nullptr);
    const auto rowOf = [&](const QString& name) {
        for (int i = 0; i < local.count(); ++i)
            if (local.entries[std::size_t(i)].name == name)
                return i;
        return -1;
    };
    view->selectRow(rowOf(u"two.log"_qs));
    view->selectRow(rowOf(u"one.txt"_qs));
    ASSERT_EQ(view->selectedCount(), 2);

    // Ctrl+F from the list: the local filter box; typing narrows as it goes.
    view->setFocus();
    QTest::keyClick(view, Qt::Key_F, Qt::ControlModifier);
    ASSERT_EQ(QApplication::focusWidget(), filter);
    QTest::keyClicks(filter, u"txt"_qs);
    EXPECT_EQ(shownNames(view, local), (QStringList{u".."_qs, u"one.txt"_qs, u"Three.TXT"_qs}))
        << ::testing::PrintToString(shownNames(view, local));
    // two.log went at "tx", and with it its selection.
    EXPECT_EQ(view->selectedRows(), std::vector<int>{rowOf(u"one.txt"_qs)});
    filter->setText(u"*.TXT"_qs);
    EXPECT_EQ(shownNames(view, local), (QStringList{u".."_qs, u"one.txt"_qs, u"Three.TXT"_qs}));
    view->selectAll();
    EXPECT_EQ(view->selectedCount(), 3); // "..", one.txt, Three.TXT: never a hidden row
    shoot(w, "pane_tools_filtered.png");

    // A reload of the same folder keeps the filter.
    w->dispatcher().dispatch(int(CommandId::LocalRefresh));
    EXPECT_EQ(filter->text(), u"*.TXT"_qs);
    EXPECT_EQ(shownNames(view, local).size(), 3);

    // No name matches: an empty list and the note.
    filter->setText(u"zebra"_qs);
    EXPECT_EQ(shownNames(view, local), QStringList{u".."_qs});
    EXPECT_EQ(filter->toolTip(), u"No names match"_qs);
    shoot(w->findChild<QWidget*>(u"localTools"_qs), "pane_tools_no_match.png");

    // Esc clears it; the window's Stop does not take the key.
    QTest::keyClick(filter, Qt::Key_Escape);
    EXPECT_TRUE(filter->text().isEmpty());
    EXPECT_TRUE(filter->toolTip().isEmpty());
    EXPECT_EQ(shownNames(view, local).size(), local.count());

    // Tab: the local row, the local list, then the remote row.
    filter->setFocus();
    QTest::keyClick(filter, Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), view);
    QTest::keyClick(view, Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), pathBox(w, PaneSide::Remote));

    // Ctrl+L after the remote list had the focus: the remote path box.
    w->remoteList()->setFocus();
    QTest::keyClick(w->remoteList(), Qt::Key_L, Qt::ControlModifier);
    EXPECT_EQ(QApplication::focusWidget(), pathBox(w, PaneSide::Remote))
        << QApplication::focusWidget()->objectName().toStdString() << " "
        << QApplication::focusWidget()->metaObject()->className();
}

class RemotePathBoxTest : public PaneToolsTest {
protected:
    void SetUp() override {
        PaneToolsTest::SetUp();
        // The server inherits the working folder, which an earlier test may have removed.
        ASSERT_TRUE(QDir::setCurrent(folder()));
        std::string why;
        m_server = FtpTestServer::start(FtpTestServer::Kind::Pyftpdlib, "127.0.0.1", why);
        if (!m_server)
            GTEST_SKIP() << why;
        fs::create_directories(m_server->root() / "pub" / "docs");
        std::ofstream(m_server->root() / "pub" / "notes.txt") << "notes";
        std::ofstream(m_server->root() / "readme.txt") << "hello";
        qputenv("TARNWICK2000_DEMO_SERVER",
                QByteArray("127.0.0.1:") + QByteArray::number(m_server->port()));
    }
    void TearDown() override {
        qunsetenv("TARNWICK2000_DEMO_SERVER");
        PaneToolsTest::TearDown();
    }
    static bool listed(ui::MainWindow* w, const QString& name) {
        if (w->runtime().busy)
            return false;
        for (const FileEntry& e : w->state().remote.entries)
            if (e.name == name)
                return true;
        return false;
    }
    std::unique_ptr<FtpTestServer> m_server;
};

TEST_F(RemotePathBoxTest, EntersTypedFoldersOnTheSessionAndKeepsBookmarks) {
    ui::MainWindow* w = start();
    ASSERT_NE(w, nullptr);
    const PaneState& remote = w->state().remote;
    QComboBox* box = pathBox(w, PaneSide::Remote);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->accessibleName(), u"Remote folder"_qs);
    PressConnectWhenAsked();
    w->dispatcher().dispatch(int(CommandId::Connect));
    ASSERT_TRUE(waitFor([&] { return listed(w, u"pub"_qs); }))
        << ::testing::PrintToString(w->logLines());
    EXPECT_EQ(box->currentText(), u"/"_qs);

    enterFolder(box, u"/pub"_qs);
    ASSERT_TRUE(waitFor([&] { return listed(w, u"notes.txt"_qs); }))
        << ::testing::PrintToString(w->logLines());
    EXPECT_EQ(remote.path, u"/pub"_qs);
    EXPECT_EQ(w->remoteLabel()->text(), u"Remote: /pub"_qs);
    EXPECT_EQ(box->currentText(), u"/pub"_qs);

    // Refused by the server: its reply is reported, the pane keeps its folder and rows.
    const int rows = remote.count();
    enterFolder(box, u"/nowhere"_qs);
    ASSERT_TRUE(waitFor([&] {
        return !w->runtime().busy &&
               !w->logLines().filter(u"Error: FtpSetCurrentDirectory"_qs).isEmpty();
    })) << ::testing::PrintToString(w->logLines());
    EXPECT_EQ(remote.path, u"/pub"_qs);
    EXPECT_EQ(remote.count(), rows);

    // CR and LF never reach the server: the folder is refused before anything is sent.
    ui::MessageBoxTestHook::pushAnswers({true});
    box->setEditText(u"/pub\r\nDELE /readme.txt"_qs);
    QTest::keyClick(box->lineEdit(), Qt::Key_Return);
    EXPECT_EQ(ui::MessageBoxTestHook::takeAnsweredRequests().size(), 1u);
    EXPECT_FALSE(w->runtime().busy);
    spin(50);
    EXPECT_TRUE(fs::exists(m_server->root() / "readme.txt"));

    // A bookmark of /pub shows after the history, marked, and takes the pane there.
    w->dispatcher().dispatch(int(CommandId::AddBookmark));
    EXPECT_EQ(w->statusLine()->currentMessage(), u"Bookmark added: /pub"_qs);
    enterFolder(box, u"/pub/docs"_qs);
    ASSERT_TRUE(
        waitFor([&] { return !w->runtime().busy && items(box).value(0) == u"/pub/docs"_qs; }));
    const QStringList choices = items(box);
    EXPECT_EQ(choices.mid(0, 3), (QStringList{u"/pub/docs"_qs, u"/pub"_qs, u"/"_qs}));
    EXPECT_EQ(choices.last(), u"\u2605 /pub"_qs);
    shoot(w, "pane_tools_remote.png");
    emit box->activated(box->count() - 1);
    ASSERT_TRUE(waitFor([&] { return listed(w, u"notes.txt"_qs); }));
    EXPECT_EQ(remote.path, u"/pub"_qs);

    w->dispatcher().dispatch(int(CommandId::Disconnect));
    EXPECT_TRUE(box->currentText().isEmpty());
}

TEST_F(PaneToolsTest, BookmarksDialogRemovesAndGoesTo) {
    EnsureQtApplication();
    std::vector<QString> rows{u"/pub"_qs, u"/pub/docs"_qs, u"/home/site/www"_qs};
    ui::BookmarksDialog dialog(u"Local Demo Server"_qs, rows, [&rows](int row) {
        rows.erase(rows.begin() + row);
        return rows;
    });
    dialog.show();
    shoot(&dialog, "bookmarks_dialog.png");
    dialog.list()->setCurrentRow(0);
    QPushButton* remove = nullptr;
    QPushButton* goTo = nullptr;
    for (QPushButton* b : dialog.findChildren<QPushButton*>()) {
        if (b->accessibleName() == u"Remove"_qs)
            remove = b;
        if (b->accessibleName() == u"Go To"_qs)
            goTo = b;
    }
    ASSERT_TRUE(remove && goTo);
    remove->click();
    EXPECT_EQ(dialog.list()->count(), 2);
    EXPECT_EQ(dialog.list()->item(0)->text(), u"/pub/docs"_qs);
    dialog.list()->setCurrentRow(1);
    goTo->click();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.chosenRow(), 1);
}

} // namespace
} // namespace tw::test
