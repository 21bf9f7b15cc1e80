#include "ui/log_pane.h"

#include "widget_test_support.h"

#include <QAccessible>
#include <QClipboard>
#include <QGuiApplication>
#include <QScrollBar>
#include <QTest>

#include <gtest/gtest.h>

namespace {

using tw::ui::LogPane;

TEST(LogPaneRule, NewLineInsideTheViewKeepsTheView) {
    // 5 visible lines, lines 0..2 present, line 3 arrives: it is visible.
    EXPECT_EQ(LogPane::nextTopLine(0, 5, 3, 4), 0);
    // The last visible slot (top + visible - 1) still counts as visible.
    EXPECT_EQ(LogPane::nextTopLine(0, 5, 4, 5), 0);
}

TEST(LogPaneRule, NewLineOutsideTheViewBecomesTopOrAsFarAsTheListAllows) {
    // A full pane at its end: the new line lies just below, the pane moves by one line.
    EXPECT_EQ(LogPane::nextTopLine(5, 5, 10, 11), 6);
    // Scrolled back to the start of 100 lines: the pane jumps to the end.
    EXPECT_EQ(LogPane::nextTopLine(0, 5, 100, 101), 96);
    // A line above the top line is made the top line.
    EXPECT_EQ(LogPane::nextTopLine(50, 5, 10, 101), 10);
    // A pane too small to show one line still scrolls to the new line.
    EXPECT_EQ(LogPane::nextTopLine(0, 0, 3, 4), 3);
}

class LogPaneTest : public ::testing::Test {
protected:
    void SetUp() override {
        tw::test::widgetApp();
        pane = std::make_unique<LogPane>();
        pane->resize(300, 100);
        pane->show();
        // Exactly five lines fit.
        pane->appendLine(QStringLiteral("probe"));
        const int line = pane->lineHeight();
        pane->clear();
        pane->setFixedHeight(5 * line + line / 2);
        settle();
        ASSERT_EQ(pane->visibleLines(), 5);
    }
    void settle() { QCoreApplication::processEvents(); }
    void append(int count) {
        for (int i = 0; i < count; ++i)
            pane->appendLine(QStringLiteral("line %1").arg(pane->lineCount()));
    }
    int shownTop() const { return pane->verticalScrollBar()->value(); }

    std::unique_ptr<LogPane> pane;
};

TEST_F(LogPaneTest, FollowsNewLinesWhileAtTheEnd) {
    append(3);
    settle();
    EXPECT_EQ(shownTop(), 0);
    append(20); // one at a time, without layout in between
    settle();
    EXPECT_EQ(pane->lineCount(), 23);
    EXPECT_EQ(pane->topLine(), 23 - 5);
    EXPECT_EQ(shownTop(), 23 - 5);
}

TEST_F(LogPaneTest, ScrolledBackViewStaysWhileTheNewLineIsVisible) {
    // Not yet full: the user scrolls (nothing to scroll), new lines stay in view.
    append(2);
    settle();
    pane->verticalScrollBar()->setValue(0);
    append(1);
    settle();
    EXPECT_EQ(shownTop(), 0);
}

TEST_F(LogPaneTest, ScrolledBackViewMovesWhenTheNewLineFallsOutside) {
    append(40);
    settle();
    pane->verticalScrollBar()->setValue(10); // the user scrolls back
    settle();
    ASSERT_EQ(pane->topLine(), 10);
    append(1);
    settle();
    EXPECT_EQ(shownTop(), 41 - 5);
}

TEST_F(LogPaneTest, BatchAppendEqualsOneByOne) {
    append(7);
    settle();
    pane->appendLines({QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")});
    settle();
    EXPECT_EQ(pane->lineCount(), 10);
    EXPECT_EQ(shownTop(), 5);
    EXPECT_EQ(pane->line(9), QStringLiteral("c"));
}

TEST_F(LogPaneTest, LineBreaksShowAsOneSpaceAndTextIsKept) {
    const QString text = QStringLiteral("Error: 100% done\r\rCode %d\r\n<b>x</b>\r");
    pane->appendLine(text);
    EXPECT_EQ(pane->line(0), text);
    EXPECT_EQ(LogPane::displayText(pane->line(0)),
              QStringLiteral("Error: 100% done Code %d <b>x</b> "));
    EXPECT_EQ(LogPane::displayText(QString()), QString());
}

// Lines that quote a server: what is painted, copied and read out holds no control character.
TEST_F(LogPaneTest, ControlCharactersShowAsEscapes) {
    const struct {
        QString line;
        QString shown;
    } cases[] = {
        {QString::fromUtf8("t\x1b]0;owned\x07 x"), QStringLiteral("t\\x1b]0;owned\\x07 x")},
        {QString::fromUtf8("550 \x1b[2J\x1b[H\r\nLogin OK\b"),
         QStringLiteral("550 \\x1b[2J\\x1b[H Login OK\\x08")},
        {QString::fromUtf8("u\xc2\x9b"
                           "31m"),
         QStringLiteral("u\\u009b31m")},
        {QString::fromLatin1("r\x9b"
                             "1m"),
         QStringLiteral("r\\u009b1m")}, // a Latin-1 reading
        {QString::fromUtf8("bill\xe2\x80\xae"
                           "fdp.exe \xe2\x81\xa6x\xe2\x81\xa9"),
         QStringLiteral("bill\\u202efdp.exe \\u2066x\\u2069")},
        {QString::fromUtf8("caf\xc3\xa9 \xd7\xa9\xd7\x9c\xd7\x95\xd7\x9d \xf0\x9f\x93\x81"),
         QString::fromUtf8("caf\xc3\xa9 \xd7\xa9\xd7\x9c\xd7\x95\xd7\x9d \xf0\x9f\x93\x81")},
    };
    for (const auto& c : cases)
        pane->appendLine(c.line);
    settle();
    QAccessibleInterface* list = QAccessible::queryAccessibleInterface(pane.get());
    ASSERT_NE(list, nullptr);
    for (int i = 0; i < int(std::size(cases)); ++i) {
        EXPECT_EQ(pane->line(i), cases[i].line);
        EXPECT_EQ(LogPane::displayText(pane->line(i)), cases[i].shown) << i;
        EXPECT_EQ(list->child(i)->text(QAccessible::Name), cases[i].shown) << i;
        pane->setSelectedLine(i);
        QTest::keyClick(pane.get(), Qt::Key_C, Qt::ControlModifier);
        EXPECT_EQ(QGuiApplication::clipboard()->text(), cases[i].shown) << i;
    }
    const QString shots = qEnvironmentVariable("TW_SCREENSHOT_DIR");
    if (!shots.isEmpty()) {
        pane->setFixedSize(520, 6 * pane->lineHeight() + 8);
        pane->setTopLine(0);
        settle();
        pane->grab().save(shots + u"/log_pane_hostile.png"_qs);
    }
}

TEST_F(LogPaneTest, ClearEmptiesAndStartsAtTheTop) {
    append(30);
    settle();
    pane->clear();
    settle();
    EXPECT_EQ(pane->lineCount(), 0);
    EXPECT_EQ(pane->topLine(), 0);
    append(2);
    settle();
    EXPECT_EQ(shownTop(), 0);
    EXPECT_EQ(pane->line(1), QStringLiteral("line 1"));
    EXPECT_EQ(pane->line(2), QString());
}

TEST_F(LogPaneTest, HoldsManyLinesWithoutLimit) {
    QStringList batch;
    for (int i = 0; i < 1000; ++i)
        batch << QStringLiteral("transfer line %1").arg(i);
    for (int i = 0; i < 100; ++i)
        pane->appendLines(batch);
    settle();
    EXPECT_EQ(pane->lineCount(), 100000);
    EXPECT_EQ(shownTop(), 100000 - 5);
    EXPECT_EQ(pane->line(99999), QStringLiteral("transfer line 999"));
}

TEST_F(LogPaneTest, ClickSelectsALineAndCopyTakesItsText) {
    append(12);
    settle();
    const int top = pane->topLine();
    const int y = 2 * pane->lineHeight() + pane->lineHeight() / 2;
    QTest::mouseClick(pane->viewport(), Qt::LeftButton, {}, QPoint(10, y));
    EXPECT_EQ(pane->selectedLine(), top + 2);
    QTest::keyClick(pane.get(), Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), pane->line(top + 2));
    // Home selects the first line and scrolls it into view; new lines then follow the rule.
    QTest::keyClick(pane.get(), Qt::Key_Home);
    EXPECT_EQ(pane->selectedLine(), 0);
    EXPECT_EQ(pane->topLine(), 0);
    append(1);
    EXPECT_EQ(pane->topLine(), 13 - 5);
    // A click below the last line selects nothing.
    pane->clear();
    append(1);
    QTest::mouseClick(pane->viewport(), Qt::LeftButton, {}, QPoint(10, y));
    EXPECT_EQ(pane->selectedLine(), -1);
}

TEST_F(LogPaneTest, LargerFontShowsFewerLines) {
    append(40);
    const int before = pane->lineHeight();
    QFont big = pane->font();
    big.setPointSize(big.pointSize() * 2);
    pane->setFont(big);
    settle();
    EXPECT_GT(pane->lineHeight(), before);
    EXPECT_LT(pane->visibleLines(), 5);
    // The next line arrives below the view: the pane moves so that it is fully in view.
    append(1);
    const int fullyShown = pane->viewport()->height() / pane->lineHeight();
    EXPECT_LE(pane->topLine(), 40);
    EXPECT_LT(40, pane->topLine() + fullyShown);
}

TEST(LogPaneHidden, LinesLoggedBeforeTheFirstShowFollowTheRule) {
    tw::test::widgetApp();
    LogPane pane;
    pane.resize(400, 74);
    for (int i = 0; i < 30; ++i)
        pane.appendLine(QStringLiteral("early %1").arg(i));
    pane.show();
    QCoreApplication::processEvents();
    const int fullyShown = pane.viewport()->height() / pane.lineHeight();
    EXPECT_GT(pane.topLine(), 0);
    EXPECT_LT(29, pane.topLine() + fullyShown);
}

} // namespace
