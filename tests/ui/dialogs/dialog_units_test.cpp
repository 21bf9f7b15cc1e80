#include "ui/dialogs/dialog_units.h"

#include "widget_test_support.h"

#include <QFontMetrics>

#include <gtest/gtest.h>

namespace {

using tw::ui::DialogUnits;

class DialogUnitsTest : public ::testing::Test {
protected:
    void SetUp() override { tw::test::widgetApp(); }
};

TEST_F(DialogUnitsTest, ScaleRoundsHalfAwayFromZero) {
    // 4 units of a 6-pixel character are 6 pixels; 1 unit is 1.5 -> 2; -1 unit is -2.
    EXPECT_EQ(DialogUnits::scale(4, 6, 4), 6);
    EXPECT_EQ(DialogUnits::scale(1, 6, 4), 2);
    EXPECT_EQ(DialogUnits::scale(-1, 6, 4), -2);
    EXPECT_EQ(DialogUnits::scale(0, 13, 8), 0);
    // 100 vertical units of a 13-pixel line: 162.5 -> 163.
    EXPECT_EQ(DialogUnits::scale(100, 13, 8), 163);
}

TEST_F(DialogUnitsTest, BaseUnitsComeFromTheFont) {
    const DialogUnits du;
    const QFontMetrics metrics(du.font());
    EXPECT_EQ(du.baseY(), metrics.height());
    // The average over the alphabet lies between the narrowest and widest letter.
    EXPECT_GE(du.baseX(), metrics.horizontalAdvance(QLatin1Char('i')));
    EXPECT_LE(du.baseX(), metrics.horizontalAdvance(QLatin1Char('W')));
    EXPECT_EQ(du.font().pointSize(), 8);
    EXPECT_EQ(DialogUnits::dialogFont().family(), QStringLiteral("MS Sans Serif"));
}

TEST_F(DialogUnitsTest, RectangleConvertsEachCoordinate) {
    const DialogUnits du;
    const QRect r = du.rect(37, 8, 185, 64);
    EXPECT_EQ(r.x(), DialogUnits::scale(37, du.baseX(), 4));
    EXPECT_EQ(r.y(), DialogUnits::scale(8, du.baseY(), 8));
    EXPECT_EQ(r.width(), DialogUnits::scale(185, du.baseX(), 4));
    EXPECT_EQ(r.height(), DialogUnits::scale(64, du.baseY(), 8));
    // Eight vertical units are one line of text; four horizontal units one average character.
    EXPECT_EQ(du.y(8), du.baseY());
    EXPECT_EQ(du.x(4), du.baseX());
}

TEST_F(DialogUnitsTest, LargerFontGivesLargerDialogs) {
    QFont big = DialogUnits::dialogFont();
    big.setPointSize(16);
    const DialogUnits small;
    const DialogUnits large(big);
    EXPECT_GT(large.baseX(), small.baseX());
    EXPECT_GT(large.baseY(), small.baseY());
    EXPECT_GT(large.size(230, 100).width(), small.size(230, 100).width());
}

} // namespace
