#include "shell_fixture.h"

#include "core/dnd/uri_list.h"
#include "ui/dialogs/message_box_dialog.h"
#include "ui/panes/pane_view.h"

#include <QDir>
#include <QDropEvent>
#include <QFile>
#include <QMimeData>
#include <QTemporaryDir>

namespace tw::test {
namespace {

using ui::PaneView;

class PaneDropTest : public ShellFixture {
protected:
    // Drops `paths` as another program's text/uri-list on `view` at the row `row` (-1: the
    // view's top-left corner, above no row when the pane is empty).
    static void dropFiles(PaneView* view, const std::vector<QByteArray>& paths, int row) {
        QMimeData mime;
        mime.setData(QStringLiteral("text/uri-list"), BuildUriList(paths));
        QPoint at(2, 2);
        if (row >= 0) {
            const QModelIndex index = view->model()->index(row, 0);
            view->scrollTo(index);
            at = view->visualRect(index).center();
        }
        QDragEnterEvent enter(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(view->viewport(), &enter);
        EXPECT_TRUE(enter.isAccepted());
        QDropEvent drop(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(view->viewport(), &drop);
        EXPECT_TRUE(drop.isAccepted());
    }
    static int rowOf(const PaneState& pane, const QString& name) {
        for (std::size_t i = 0; i < pane.entries.size(); ++i)
            if (pane.entries[i].name == name)
                return int(i);
        return -1;
    }
};

TEST_F(PaneDropTest, DesktopFilesDroppedOnAFolderRowAreCopiedThereAndTheRemotePaneSaysWhy) {
    QDir(folder()).mkdir(QStringLiteral("sub"));
    const QTemporaryDir desktop;
    QFile file(QDir(desktop.path()).filePath(QStringLiteral("note.txt")));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("note");
    file.close();
    ui::MainWindow* w = start();
    auto* local = qobject_cast<PaneView*>(w->localList());
    const int sub = rowOf(w->state().local, QStringLiteral("sub"));
    ASSERT_GE(sub, 0);
    dropFiles(local, {QFile::encodeName(file.fileName())}, sub);
    const QString copied = QDir(folder()).filePath(QStringLiteral("sub/note.txt"));
    EXPECT_TRUE(waitFor([&] { return QFile::exists(copied); }));
    EXPECT_TRUE(waitFor([&] { return w->statusText().contains(QStringLiteral("1 file copied")); }));

    // Not connected: the remote pane takes the drop only to say so.
    ui::MessageBoxTestHook::pushAnswers({true});
    dropFiles(qobject_cast<PaneView*>(w->remoteList()), {QFile::encodeName(file.fileName())}, -1);
    EXPECT_TRUE(waitFor([] { return ui::MessageBoxTestHook::pendingAnswers() == 0; }));
    const std::vector<BoxRequest> boxes = ui::MessageBoxTestHook::takeAnsweredRequests();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_TRUE(boxes[0].text.startsWith(QStringLiteral("Not connected.")));
}

} // namespace
} // namespace tw::test
