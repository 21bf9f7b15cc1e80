#include "core/panes/entry_format.h"
#include "ui/panes/pane_icons.h"
#include "ui/panes/pane_model.h"
#include "ui/panes/pane_view.h"

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QHeaderView>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

using namespace tw;
using namespace tw::ui;

namespace {

QApplication& App() {
    return *qobject_cast<QApplication*>(QCoreApplication::instance());
}

FileEntry Row(const QString& name, bool folder = false, std::uint64_t size = 0) {
    FileEntry e;
    e.name = name;
    e.isFolder = folder;
    e.findData.size = size;
    e.findData.lastWriteTime = folder ? 0 : 1796685356;
    CompleteEntry(e);
    return e;
}

struct ModelTest : ::testing::Test {
    PaneState pane;
    ModelTest() {
        App();
        pane.headers = {u"File Name *"_qs, u"Date"_qs, u"Size"_qs};
        pane.entries = {Row(u".."_qs, true), Row(u"sub"_qs, true),
                        Row(u"big.iso"_qs, false, std::uint64_t(5) << 30), Row(u"two\nlines"_qs)};
        // One row of each remaining icon class, after the four rows the cases use.
        for (const char* name : {"notes.txt", "run.exe", "x.tar.gz", "photo.png", "index.html",
                                 "data.dat", "song.mp3"})
            pane.entries.push_back(Row(QString::fromLatin1(name), false, 1536));
        FileEntry drive;
        drive.name = u"/mnt/usb"_qs;
        drive.isDrive = true;
        CompleteEntry(drive);
        pane.entries.push_back(drive);
    }
};

} // namespace

TEST_F(ModelTest, ShowsTheRowsColumnsAndHeaders) {
    PaneModel model(&pane);
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    ASSERT_EQ(model.rowCount(), 12);
    ASSERT_EQ(model.columnCount(), 3);
    EXPECT_EQ(model.data(model.index(2, 0)).toString(), u"big.iso"_qs);
    EXPECT_EQ(model.data(model.index(2, 2)).toString(), u"5368709120"_qs);
    EXPECT_EQ(model.data(model.index(2, 1)).toString().size(), 22);
    EXPECT_EQ(model.data(model.index(1, 2)).toString(), u"0"_qs);
    EXPECT_TRUE(model.data(model.index(1, 1)).toString().isEmpty());
    EXPECT_EQ(model.headerData(0, Qt::Horizontal).toString(), u"File Name *"_qs);
    EXPECT_FALSE(model.data(model.index(0, 0), Qt::DecorationRole).value<QIcon>().isNull());
    // A line break in a name is shown as a symbol; the tooltip keeps the real name.
    EXPECT_FALSE(model.data(model.index(3, 0)).toString().contains(u'\n'));
    EXPECT_EQ(model.data(model.index(3, 0), Qt::ToolTipRole).toString(), u"two\nlines"_qs);
}

// A server's name cannot draw itself as another: controls, C1 and bidirectional overrides are
// marks in the row (a right-to-left override would show "bidi\u202etxt.exe" as "bidiexe.txt"),
// and the tooltip spells them out.
TEST(PaneModelNames, HostileNamesAreShownAsMarks) {
    App();
    PaneState hostile;
    hostile.headers = {u"File Name *"_qs, u"Date"_qs, u"Size"_qs};
    struct Case {
        QString name;
        QString shown;
        QString tip; // empty: no tooltip
    };
    const Case cases[] = {
        {u"bidi\u202etxt.exe"_qs, u"bidi\ufffdtxt.exe"_qs, u"bidi\\u202etxt.exe"_qs},
        {u"iso\u2067late"_qs, u"iso\ufffdlate"_qs, u"iso\\u2067late"_qs},
        {u"esc\x1b]0;title\x07"_qs, u"esc\ufffd]0;title\ufffd"_qs, u"esc\\x1b]0;title\\x07"_qs},
        {u"csi\u009b2J"_qs, u"csi\ufffd2J"_qs, u"csi\\u009b2J"_qs},
        {u"\u05e9\u05dc\u05d5\u05dd.txt"_qs, u"\u05e9\u05dc\u05d5\u05dd.txt"_qs, QString()},
    };
    for (const Case& c : cases)
        hostile.entries.push_back(Row(c.name));
    PaneModel model(&hostile);
    for (int i = 0; i < int(std::size(cases)); ++i) {
        SCOPED_TRACE(cases[i].shown.toStdString());
        EXPECT_EQ(model.data(model.index(i, 0)).toString(), cases[i].shown);
        EXPECT_EQ(model.data(model.index(i, 0), Qt::ToolTipRole).toString(), cases[i].tip);
    }
}

TEST_F(ModelTest, RefillIsOneResetAndNeverReadsReleasedRows) {
    PaneModel model(&pane);
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    QSignalSpy resets(&model, &QAbstractItemModel::modelReset);
    QSignalSpy inserts(&model, &QAbstractItemModel::rowsInserted);
    // The rows go away before the view is told: the model must not read past the end.
    pane.entries.clear();
    EXPECT_FALSE(model.data(model.index(3, 0)).isValid());
    for (int i = 0; i < 1000; ++i)
        pane.entries.push_back(Row(QString::number(i)));
    model.reload();
    EXPECT_EQ(resets.count(), 1);
    EXPECT_EQ(inserts.count(), 0);
    EXPECT_EQ(model.rowCount(), 1000);
}

TEST_F(ModelTest, ViewReportsSelectionAsAscendingRows) {
    PaneView view(&pane);
    view.resize(400, 300);
    view.show();
    EXPECT_EQ(view.selectRow(3), 3);
    EXPECT_EQ(view.selectRow(1), 1);
    view.grab().save(u"/tmp/panes_list.png"_qs);
    EXPECT_EQ(view.selectRow(99), -1);
    EXPECT_EQ(view.selectedRows(), (std::vector<int>{1, 3}));
    EXPECT_EQ(view.selectedCount(), 2);
    view.reload();
    EXPECT_TRUE(view.selectedRows().empty());
}

TEST_F(ModelTest, ViewSignalsDoubleClicksAndHeaderClicks) {
    PaneView view(&pane);
    view.resize(400, 300);
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    QSignalSpy doubles(&view, &PaneView::rowDoubleClicked);
    QSignalSpy headers(&view, &PaneView::headerClicked);
    const QRect second = view.visualRect(view.paneModel()->index(1, 0));
    QTest::mouseDClick(view.viewport(), Qt::LeftButton, {}, second.center());
    QTest::mouseDClick(view.viewport(), Qt::LeftButton, {}, QPoint(10, 290));
    ASSERT_EQ(doubles.count(), 2);
    EXPECT_EQ(doubles[0][0].toInt(), 1);
    EXPECT_EQ(doubles[1][0].toInt(), -1);
    const int x = view.header()->sectionViewportPosition(2) + 5;
    QTest::mouseClick(view.header()->viewport(), Qt::LeftButton, {}, QPoint(x, 5));
    ASSERT_EQ(headers.count(), 1);
    EXPECT_EQ(headers[0][0].toInt(), 2);
}

TEST_F(ModelTest, ColumnWidthsRoundTrip) {
    PaneView view(&pane);
    view.setColumnWidths({120, 0, 60});
    const auto widths = view.columnWidths();
    EXPECT_EQ(widths[0], 120);
    EXPECT_GT(widths[1], 0);
    EXPECT_EQ(widths[2], 60);
}

TEST(PaneIcons, ElevenDistinctSharpIcons) {
    App();
    QList<QImage> images;
    for (int i = 0; i < 11; ++i) {
        const QIcon icon = PaneRowIcon(i);
        ASSERT_FALSE(icon.isNull()) << i;
        const QPixmap p2 = icon.pixmap(kPaneIconSize, 2.0);
        EXPECT_EQ(p2.devicePixelRatio(), 2.0);
        EXPECT_EQ(p2.size(), kPaneIconSize * 2);
        images << icon.pixmap(kPaneIconSize, 1.0).toImage();
    }
    for (int i = 0; i < 11; ++i)
        for (int j = i + 1; j < 11; ++j)
            EXPECT_NE(images[i], images[j]) << i << " " << j;
}

TEST(GetFileTypeIcon, DescriptionAndFallback) {
    App();
    QString text;
    EXPECT_FALSE(GetFileTypeIcon(u"txt"_qs, &text).isNull());
    EXPECT_NE(text, u"Document"_qs);
    EXPECT_FALSE(GetFileTypeIcon(u".zqxjwv"_qs, &text).isNull());
    EXPECT_EQ(text, u"Document"_qs);
}
