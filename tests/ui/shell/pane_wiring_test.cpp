#include "shell_fixture.h"

#include "ui/command_actions.h"
#include "ui/panes/pane_view.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QLabel>

namespace tw::test {
namespace {

using ui::MainWindow;
using ui::PaneView;

class PaneWiringTest : public ShellFixture {
protected:
    void SetUp() override {
        ShellFixture::SetUp();
        QDir(folder()).mkdir(QStringLiteral("sub"));
        writeFile(QStringLiteral("big.bin"), 5000);
        writeFile(QStringLiteral("small.txt"), 10);
    }
    void writeFile(const QString& name, int size) {
        QFile f(QDir(folder()).filePath(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(size, 'x'));
    }
    static int rowOf(const PaneState& pane, const QString& name) {
        for (std::size_t i = 0; i < pane.entries.size(); ++i)
            if (pane.entries[i].name == name)
                return int(i);
        return -1;
    }
};

TEST_F(PaneWiringTest, StartFolderIsListedAndRefreshSeesNewFiles) {
    MainWindow* w = start();
    EXPECT_GE(rowOf(w->state().local, QStringLiteral("small.txt")), 0);
    EXPECT_EQ(rowOf(w->state().local, QStringLiteral("later.txt")), -1);
    writeFile(QStringLiteral("later.txt"), 1);
    w->dispatcher().dispatch(CommandId::LocalRefresh);
    EXPECT_GE(rowOf(w->state().local, QStringLiteral("later.txt")), 0);
    auto* view = qobject_cast<PaneView*>(w->localList());
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(view->model()->rowCount(), int(w->state().local.entries.size()));
}

TEST_F(PaneWiringTest, HeaderClickAndSortCommandSetTheKeyAndTheCheckMark) {
    MainWindow* w = start();
    auto* view = qobject_cast<PaneView*>(w->localList());
    emit view->headerClicked(2);
    EXPECT_EQ(w->state().local.sortKey, SortKey::Size);
    EXPECT_TRUE(w->commandActions()->mainAction(CommandId::LocalSortSize)->isChecked());
    EXPECT_FALSE(w->commandActions()->mainAction(CommandId::LocalSortName)->isChecked());

    w->dispatcher().dispatch(CommandId::LocalSortName);
    EXPECT_EQ(w->state().local.sortKey, SortKey::Name);

    // The remote list ignores header clicks while a worker runs.
    w->runtime().busy = true;
    emit qobject_cast<PaneView*>(w->remoteList())->headerClicked(1);
    EXPECT_EQ(w->state().remote.sortKey, SortKey::Name);
    w->runtime().busy = false;
}

TEST_F(PaneWiringTest, DoubleClickOnAFolderRowOpensIt) {
    MainWindow* w = start();
    const int row = rowOf(w->state().local, QStringLiteral("sub"));
    ASSERT_GE(row, 0);
    emit qobject_cast<PaneView*>(w->localList())->rowDoubleClicked(row);
    EXPECT_EQ(w->state().local.path, QDir(folder()).filePath(QStringLiteral("sub")));
    EXPECT_EQ(w->localLabel()->text(), QStringLiteral("Local: ") + w->state().local.path);

    // Double-clicking below the rows does nothing.
    const QString before = w->state().local.path;
    emit qobject_cast<PaneView*>(w->localList())->rowDoubleClicked(-1);
    EXPECT_EQ(w->state().local.path, before);
}

// The window hands every double-clicked remote row to the session, which decides what a
// folder, a link and a file row do (tests/integration/session).
TEST_F(PaneWiringTest, RemoteDoubleClickHandsTheRowToTheSession) {
    MainWindow* w = start();
    std::vector<int> entered;
    w->setRemoteFolderHandler([&](int row) { entered.push_back(row); });
    FileEntry folderRow;
    folderRow.name = QStringLiteral("pub");
    folderRow.isFolder = true;
    FileEntry linkRow;
    linkRow.name = QStringLiteral("www");
    linkRow.isLink = true;
    FileEntry fileRow;
    fileRow.name = QStringLiteral("readme");
    w->state().remote.entries = {folderRow, linkRow, fileRow};
    w->refreshPane(PaneSide::Remote);
    auto* remote = qobject_cast<PaneView*>(w->remoteList());
    ASSERT_EQ(remote->model()->rowCount(), 3);

    for (int row = 0; row < 3; ++row)
        doubleClickRow(remote, row);
    EXPECT_EQ(entered, (std::vector<int>{0, 1, 2}));
    emit remote->rowDoubleClicked(-1); // below the rows
    EXPECT_EQ(entered.size(), 3u);
}

} // namespace
} // namespace tw::test
