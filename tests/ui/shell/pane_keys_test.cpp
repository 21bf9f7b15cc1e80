#include "shell_fixture.h"

#include "ui/panes/pane_model.h"
#include "ui/panes/pane_view.h"

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QLineEdit>
#include <QTest>
#include <QTimer>

namespace tw::test {
namespace {

using ui::MainWindow;
using ui::PaneView;

// Acts on the next modal dialog once it is up.
void OnNextModal(std::function<void(QWidget*)> act) {
    QTimer::singleShot(10, [act] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal) {
            OnNextModal(act);
            return;
        }
        act(modal);
    });
}

class PaneKeysTest : public ShellFixture {
protected:
    void SetUp() override {
        ShellFixture::SetUp();
        QDir(folder()).mkdir(u"sub"_qs);
        for (const auto& [name, size] :
             {std::pair{u"big.bin"_qs, 5000}, {u"small.txt"_qs, 10}, {u".hidden"_qs, 1}}) {
            QFile f(QDir(folder()).filePath(name));
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            f.write(QByteArray(size, 'x'));
        }
    }
    static int rowOf(const PaneState& pane, const QString& name) {
        for (std::size_t i = 0; i < pane.entries.size(); ++i)
            if (pane.entries[i].name == name)
                return int(i);
        return -1;
    }
    static QString currentName(MainWindow* w, const PaneView* view) {
        const int row = view->currentIndex().row();
        return row >= 0 ? w->state().local.entries[std::size_t(row)].name : QString();
    }
};

TEST_F(PaneKeysTest, LocalListTypeAheadRenameEnterAndBackspace) {
    MainWindow* w = start();
    w->show();
    w->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(w));
    auto* view = qobject_cast<PaneView*>(w->localList());
    view->setFocus();
    EXPECT_EQ(rowOf(w->state().local, u".hidden"_qs), -1); // hidden names are off by default

    // Typed text finds a name even from the size column's cell. Each search starts afresh
    // (an empty search) rather than after the typing pause.
    const int interval = QApplication::keyboardInputInterval();
    QApplication::setKeyboardInputInterval(600000);
    const auto type = [view](const QString& text) {
        view->keyboardSearch(QString());
        QTest::keyClicks(view, text);
    };
    view->setCurrentIndex(view->model()->index(0, 2));
    type(u"sm"_qs);
    EXPECT_EQ(currentName(w, view), u"small.txt"_qs);
    EXPECT_EQ(view->selectedRows(), std::vector<int>{rowOf(w->state().local, u"small.txt"_qs)});

    // F2: the rename box starts with the current name, selected.
    QString edit, selected;
    OnNextModal([&](QWidget* dialog) {
        auto* field = dialog->findChild<QLineEdit*>(u"102"_qs);
        edit = field->text();
        selected = field->selectedText();
        qobject_cast<QDialog*>(dialog)->reject();
    });
    QTest::keyClick(view, Qt::Key_F2);
    EXPECT_EQ(edit, u"small.txt"_qs);
    EXPECT_EQ(selected, u"small.txt"_qs);

    // Enter opens a folder, Backspace goes back up.
    type(u"su"_qs);
    QApplication::setKeyboardInputInterval(interval);
    ASSERT_EQ(currentName(w, view), u"sub"_qs);
    QTest::keyClick(view, Qt::Key_Return);
    EXPECT_EQ(w->state().local.path, QDir(folder()).filePath(u"sub"_qs));
    QTest::keyClick(view, Qt::Key_Backspace);
    EXPECT_EQ(w->state().local.path, folder());

    // Ctrl+H shows the hidden name at once. (The offscreen platform gives the focus back to
    // no window after the dialog.)
    w->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(w));
    view->setFocus();
    QTest::keyClick(view, Qt::Key_H, Qt::ControlModifier);
    EXPECT_GE(rowOf(w->state().local, u".hidden"_qs), 0);
    EXPECT_EQ(w->state().options.ShowHidden, 1u);
}

TEST_F(PaneKeysTest, SelectAllSkipsHiddenRowsAndTheParentAndCtrlAStaysAccounts) {
    MainWindow* w = start();
    w->show();
    w->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(w));
    auto* view = qobject_cast<PaneView*>(w->localList());
    view->setFocus();
    const PaneState& pane = w->state().local;
    const int big = rowOf(pane, u"big.bin"_qs);
    view->setRowHidden(big, QModelIndex(), true); // as a filter hides a row

    QTest::keyClick(view, Qt::Key_A, Qt::ControlModifier | Qt::ShiftModifier);
    std::vector<int> expected;
    for (int row = 0; row < pane.count(); ++row)
        if (row != big && !pane.entries[std::size_t(row)].isParent)
            expected.push_back(row);
    EXPECT_EQ(view->selectedRows(), expected);

    view->clearSelection();
    QString opened;
    OnNextModal([&](QWidget* dialog) {
        opened = dialog->windowTitle();
        qobject_cast<QDialog*>(dialog)->reject();
    });
    QTest::keyClick(view, Qt::Key_A, Qt::ControlModifier);
    EXPECT_FALSE(opened.isEmpty()); // the accounts sheet came up
    EXPECT_TRUE(view->selectedRows().empty());
}

TEST_F(PaneKeysTest, RemoteEnterAndBackspaceGoToTheSession) {
    MainWindow* w = start();
    w->show();
    w->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(w));
    std::vector<int> entered;
    w->setRemoteFolderHandler([&](int row) { entered.push_back(row); });
    const auto makeRow = [](const QString& name, bool parent, bool folder) {
        FileEntry e;
        e.name = name;
        e.isParent = parent;
        e.isFolder = folder;
        return e;
    };
    w->state().remote.entries = {makeRow(u".."_qs, true, true), makeRow(u"pub"_qs, false, true),
                                 makeRow(u"readme"_qs, false, false)};
    w->refreshPane(PaneSide::Remote);
    auto* remote = qobject_cast<PaneView*>(w->remoteList());
    remote->setFocus();
    remote->setCurrentIndex(remote->model()->index(2, 0));
    QTest::keyClick(remote, Qt::Key_Enter, Qt::KeypadModifier); // a file: as its double-click
    remote->setCurrentIndex(remote->model()->index(1, 0));
    QTest::keyClick(remote, Qt::Key_Return);
    QTest::keyClick(remote, Qt::Key_Backspace);
    EXPECT_EQ(entered, (std::vector<int>{2, 1, 0}));
}

TEST_F(PaneKeysTest, ColumnsFillTheListAndAnEdgeDoubleClickFitsTheColumn) {
    MainWindow* w = start();
    w->show();
    auto* view = qobject_cast<PaneView*>(w->localList());
    QHeaderView* header = view->header();
    for (const int width : {420, 600}) {
        view->resize(width, 200);
        QCoreApplication::processEvents();
        EXPECT_EQ(header->sectionSize(0) + header->sectionSize(1) + header->sectionSize(2),
                  view->viewport()->width());
    }
    header->resizeSection(1, 20);
    emit header->sectionHandleDoubleClicked(1);
    EXPECT_EQ(header->sectionSize(1),
              std::max(static_cast<QAbstractItemView*>(view)->sizeHintForColumn(1),
                       header->sectionSizeHint(1)));
    EXPECT_GT(header->sectionSize(1), 20);

    // Readable sizes: "5.0 KB", the exact count in the tooltip.
    w->dispatcher().dispatch(CommandId::ViewReadableSizes);
    const QModelIndex size = view->model()->index(rowOf(w->state().local, u"big.bin"_qs), 2);
    EXPECT_EQ(size.data().toString(), u"5.0 KB"_qs);
    EXPECT_TRUE(size.data(Qt::ToolTipRole).toString().endsWith(u" bytes"_qs));
}

} // namespace
} // namespace tw::test
