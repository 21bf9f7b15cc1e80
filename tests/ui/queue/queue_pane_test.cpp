#include "ui/shell/shell_fixture.h"

#include "core/queue/queue_rows.h"
#include "core/settings/settings_store.h"
#include "ui/command_actions.h"
#include "ui/main_window_layout.h"
#include "ui/queue/queue_model.h"
#include "ui/queue/queue_pane.h"

#include <QAbstractItemModelTester>
#include <QAccessible>
#include <QAction>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMenu>

namespace tw::test {
namespace {

using queue::Direction;
using queue::ItemState;
using queue::TransferItem;
using Ids = std::vector<std::int64_t>;

TransferItem Item(std::int64_t id, Direction direction, ItemState state, std::string local,
                  std::string remote, std::uint64_t size, std::uint64_t transferred = 0,
                  std::string error = {}) {
    TransferItem item;
    item.id = id;
    item.direction = direction;
    item.state = state;
    item.localPath = std::move(local);
    item.remotePath = std::move(remote);
    item.size = size;
    item.transferred = transferred;
    item.error = std::move(error);
    return item;
}

// A row in every state, one with path bytes that are not UTF-8, one with a line break.
std::vector<TransferItem> EveryState() {
    using D = Direction;
    using S = ItemState;
    TransferItem running =
        Item(2, D::Download, S::Running, "/home/u/b.iso", "/pub/b.iso", 1000, 400);
    running.bytesPerSecond = 2048;
    return {
        Item(1, D::Download, S::Queued, "/home/u/a.txt", "/pub/a.txt", 1000),
        running,
        Item(3, D::Upload, S::Done, "/home/u/c.txt", "/up/c.txt", 10, 10),
        Item(4, D::Upload, S::Failed, "/home/u/d.txt", "/up/d.txt", 500, 5,
             "550 Permission denied"),
        Item(5, D::Download, S::Stopped, "/home/u/e.bin", "/pub/e.bin", 800, 200),
        Item(6, D::Download, S::Skipped, "/home/u/f.txt", "/pub/f.txt", 3, 0,
             "the destination is newer"),
        Item(7, D::Download, S::Queued, "/home/u/caf\xe9.txt", "/pub/caf\xe9\nx.txt", 0),
    };
}

class QueuePaneTest : public ShellFixture {};

// The rows with their texts and accessible names; the context menu and the keys ask for the
// commands on the selected rows; the model stays consistent through every kind of change.
TEST_F(QueuePaneTest, RowsShowTheirTextsAndCommandsCarryTheSelectedIds) {
    ui::MainWindow* w = start();
    ui::QueuePane* pane = w->queuePane();
    ASSERT_NE(pane, nullptr);
    EXPECT_TRUE(pane->isVisible());
    QAbstractItemModelTester tester(pane->model(),
                                    QAbstractItemModelTester::FailureReportingMode::Fatal);
    QueueRows& rows = *w->queueRows();
    rows.insert(0, EveryState());

    QStringList headers;
    for (int c = 0; c < pane->model()->columnCount(); ++c)
        headers << pane->model()->headerData(c, Qt::Horizontal).toString();
    EXPECT_EQ(headers, (QStringList{u"Direction"_qs, u"Local File"_qs, u"Remote File"_qs,
                                    u"Size"_qs, u"Progress"_qs, u"Speed"_qs, u"State"_qs}));
    struct Shown {
        const char* cells[7];
        const char* name;
    };
    const Shown shown[] = {
        {{"Download", "/home/u/a.txt", "/pub/a.txt", "1000", "0 %", "", "Queued"},
         "Download /pub/a.txt to /home/u/a.txt, 0 %, Queued"},
        {{"Download", "/home/u/b.iso", "/pub/b.iso", "1000", "40 %", "2.0 KB/s", "Running"},
         "Download /pub/b.iso to /home/u/b.iso, 40 %, Running"},
        {{"Upload", "/home/u/c.txt", "/up/c.txt", "10", "100 %", "", "Done"},
         "Upload /home/u/c.txt to /up/c.txt, 100 %, Done"},
        {{"Upload", "/home/u/d.txt", "/up/d.txt", "500", "1 %", "",
          "Failed: 550 Permission denied"},
         "Upload /home/u/d.txt to /up/d.txt, 1 %, Failed: 550 Permission denied"},
        {{"Download", "/home/u/e.bin", "/pub/e.bin", "800", "25 %", "", "Stopped"},
         "Download /pub/e.bin to /home/u/e.bin, 25 %, Stopped"},
        {{"Download", "/home/u/f.txt", "/pub/f.txt", "3", "0 %", "",
          "Skipped: the destination is newer"},
         "Download /pub/f.txt to /home/u/f.txt, 0 %, Skipped: the destination is newer"},
        {{"Download", "/home/u/caf\xef\xbf\xbd.txt", "/pub/caf\xef\xbf\xbd\xe2\x86\xb5x.txt", "",
          "0 %", "", "Queued"},
         "Download /pub/caf\xef\xbf\xbd\xe2\x86\xb5x.txt to /home/u/caf\xef\xbf\xbd.txt, 0 %, "
         "Queued"},
    };
    spin(50); // the view lays out its new rows
    QAccessibleInterface* table = QAccessible::queryAccessibleInterface(pane);
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(table->text(QAccessible::Name), u"Transfer Queue"_qs);
    ASSERT_NE(table->tableInterface(), nullptr);
    ASSERT_EQ(pane->model()->rowCount(), int(std::size(shown)));
    for (int r = 0; r < int(std::size(shown)); ++r) {
        SCOPED_TRACE(r);
        for (int c = 0; c < 7; ++c) {
            const QModelIndex index = pane->model()->index(r, c);
            EXPECT_EQ(index.data().toString(), QString::fromUtf8(shown[r].cells[c])) << c;
            QAccessibleInterface* cell = table->tableInterface()->cellAt(r, c);
            ASSERT_NE(cell, nullptr);
            // The first cell reads the whole row, the others what they show.
            EXPECT_EQ(cell->text(QAccessible::Name),
                      c == 0 ? QString::fromUtf8(shown[r].name) : index.data().toString())
                << c;
        }
    }
    // The direction shows an arrow; a path shown otherwise than it is has it as its tooltip.
    EXPECT_FALSE(pane->model()->index(0, 0).data(Qt::DecorationRole).value<QIcon>().isNull());
    EXPECT_EQ(pane->model()->index(6, 2).data(Qt::ToolTipRole).toString(),
              QString::fromUtf8("/pub/caf\xef\xbf\xbd\nx.txt"));
    EXPECT_FALSE(pane->model()->index(0, 2).data(Qt::ToolTipRole).isValid());

    std::vector<std::pair<QueueCommand, Ids>> asked;
    QObject::connect(
        pane, &ui::QueuePane::commandRequested,
        [&](QueueCommand command, const Ids& ids) { asked.emplace_back(command, ids); });
    const auto select = [&](std::initializer_list<int> selected) {
        pane->selectionModel()->clearSelection();
        for (const int r : selected)
            pane->selectionModel()->select(pane->model()->index(r, 0),
                                           QItemSelectionModel::Select | QItemSelectionModel::Rows);
    };

    // The context menu: items by their texts, enabled for what the selection offers.
    select({4, 1});
    QMenu* menu = pane->contextMenu();
    QStringList items;
    for (QAction* a : menu->actions())
        if (!a->isSeparator())
            items << a->text() + (a->isEnabled() ? u""_qs : u" (off)"_qs);
    EXPECT_EQ(items, (QStringList{u"&Stop"_qs, u"Start &Again"_qs, u"&Retry Failed (off)"_qs,
                                  u"Re&move\tDel"_qs, u"&Clear Finished"_qs,
                                  u"Move &Up\tCtrl+Up"_qs, u"Move &Down\tCtrl+Down"_qs}));
    pane->commandAction(QueueCommand::Stop)->trigger();
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0], std::make_pair(QueueCommand::Stop, Ids{2, 5}));

    // Keys while the pane has the focus: Delete removes (the local pane's Delete does not take
    // it), Ctrl+Up / Ctrl+Down move.
    pane->setFocus();
    const auto press = [&](int key, Qt::KeyboardModifiers mods) {
        QKeyEvent override(QEvent::ShortcutOverride, key, mods);
        QCoreApplication::sendEvent(pane, &override);
        EXPECT_TRUE(override.isAccepted());
        QKeyEvent down(QEvent::KeyPress, key, mods);
        QCoreApplication::sendEvent(pane, &down);
    };
    select({3});
    const TransferItem fourth = rows.at(3);
    press(Qt::Key_Up, Qt::ControlModifier);
    press(Qt::Key_Down, Qt::ControlModifier);
    press(Qt::Key_Delete, Qt::NoModifier);
    ASSERT_EQ(asked.size(), 4u);
    EXPECT_EQ(asked[1], std::make_pair(QueueCommand::MoveUp, Ids{4}));
    EXPECT_EQ(asked[2], std::make_pair(QueueCommand::MoveDown, Ids{4}));
    EXPECT_EQ(asked[3], std::make_pair(QueueCommand::Remove, Ids{4}));
    EXPECT_EQ(rows.indexOf(4), -1) << "the window removed the row";
    rows.insert(3, {fourth});
    // The top row cannot move up: nothing is asked.
    select({0});
    press(Qt::Key_Up, Qt::ControlModifier);
    EXPECT_EQ(asked.size(), 4u);

    // Carried out on the rows (as the queue's controller does), a move keeps the moved rows
    // selected; removals, progress and a reset keep the model consistent.
    select({3, 4});
    rows.moveUp(pane->selectedIds());
    EXPECT_EQ(pane->selectedIds(), (Ids{4, 5}));
    EXPECT_EQ(rows.indexOf(4), 2);
    TransferItem progress = rows.at(rows.indexOf(2));
    progress.transferred = 900;
    rows.update({progress});
    EXPECT_EQ(pane->model()->index(rows.indexOf(2), 4).data().toString(), u"90 %"_qs);
    rows.removeFinished();
    EXPECT_EQ(pane->model()->rowCount(), 4); // done, failed and skipped are gone
    rows.clear();
    EXPECT_EQ(pane->model()->rowCount(), 0);
}

// View > Transfer Queue hides and shows the pane; the lists take its place; the choice is kept
// in the settings and restored at the next start.
TEST_F(QueuePaneTest, TheViewCommandTogglesThePaneAndIsRemembered) {
    ui::MainWindow* w = start();
    QAction* action = w->commandActions()->mainAction(CommandId::ViewQueue);
    ASSERT_NE(action, nullptr);
    EXPECT_EQ(action->text(), u"Transfer &Queue"_qs);
    EXPECT_TRUE(action->isCheckable());
    EXPECT_TRUE(action->isChecked());
    ui::QueuePane* pane = w->queuePane();
    ASSERT_TRUE(pane->isVisible());
    // Under the lists, above the log pane, across the window.
    EXPECT_EQ(w->localList()->geometry().bottom() + 2, pane->y());
    EXPECT_EQ(pane->geometry().bottom() + 2, w->logPane()->y());
    EXPECT_EQ(pane->width(), w->logPane()->width());
    EXPECT_GE(pane->height(), 60);
    const int listHeight = w->localList()->height();

    w->ShowMenuHelp({toInt(CommandId::ViewQueue), false, false});
    EXPECT_EQ(w->statusText(), u"Show or hide the transfer queue"_qs);

    w->dispatcher().dispatch(CommandId::ViewQueue);
    EXPECT_FALSE(pane->isVisible());
    EXPECT_FALSE(action->isChecked());
    EXPECT_EQ(w->localList()->geometry().bottom() + 2, w->logPane()->y());
    EXPECT_GT(w->localList()->height(), listHeight);

    w = restart();
    EXPECT_EQ(store().ReadSettingNumber(u"Options"_qs, u"Transfer Queue"_qs, 1), 0u);
    EXPECT_FALSE(w->queuePane()->isVisible());
    EXPECT_FALSE(w->commandActions()->mainAction(CommandId::ViewQueue)->isChecked());

    w->dispatcher().dispatch(CommandId::ViewQueue);
    EXPECT_TRUE(w->queuePane()->isVisible());
    EXPECT_EQ(w->localList()->height(), listHeight);
    w = restart();
    EXPECT_TRUE(w->queuePane()->isVisible());
}

// The layout with the queue at several sizes and bars: lists, queue and log never overlap,
// each one pixel apart, and the queue takes two fifths of the lists' height.
TEST(QueueLayout, TheQueueSitsBetweenTheListsAndTheLog) {
    for (const QSize size : {QSize(620, 397), QSize(800, 600), QSize(1921, 1057)}) {
        for (const bool bars : {true, false}) {
            SCOPED_TRACE(size.width() * 10 + bars);
            ui::MainWindowLayoutInput in;
            in.clientWidth = size.width();
            in.clientHeight = size.height();
            in.toolbarVisible = in.statusVisible = in.toolbarOption = bars;
            in.toolbarHeight = 29;
            in.statusHeight = 22;
            const ui::MainWindowLayout without = ui::LayoutMainWindow(in);
            in.queueVisible = true;
            const ui::MainWindowLayout with = ui::LayoutMainWindow(in);
            EXPECT_TRUE(without.queuePane.isEmpty());
            EXPECT_EQ(with.localList.bottom() + 2, with.queuePane.top());
            EXPECT_EQ(with.remoteList.bottom() + 2, with.queuePane.top());
            EXPECT_EQ(with.queuePane.bottom() + 2, with.logPane.top());
            EXPECT_EQ(with.queuePane.left(), 1);
            EXPECT_EQ(with.queuePane.width(), size.width() - 2);
            EXPECT_EQ(with.queuePane.height(), std::max(60, without.localList.height() * 2 / 5));
            EXPECT_EQ(with.localList.top(), without.localList.top());
            EXPECT_EQ(with.logPane, without.logPane);
            EXPECT_GT(with.localList.height(), 100);
        }
    }
}

} // namespace
} // namespace tw::test
