#include "qt_app.h"
#include "ui/display_font.h"

#include <QFontInfo>

#include <gtest/gtest.h>

namespace tw::ui {
namespace {

FontSetting stored() {
    FontSetting s;
    s.FaceName = QStringLiteral("DejaVu Sans");
    s.Height = -13;
    s.Weight = 700;
    s.Italic = 1;
    s.CharSet = 0;
    s.OutPrecision = 1;
    s.ClipPrecision = 2;
    s.Quality = 1;
    s.PitchAndFamily = 34; // swiss, variable pitch
    s.Colour = 0x00336699; // blue 0x33, green 0x66, red 0x99
    return s;
}

TEST(DisplayFont, StoredMembersBecomeTheQtFont) {
    test::EnsureQtApplication();
    const QFont f = FontFromSetting(stored());
    EXPECT_EQ(f.family(), QStringLiteral("DejaVu Sans"));
    EXPECT_EQ(f.pixelSize(), 13);
    EXPECT_EQ(f.weight(), QFont::Bold);
    EXPECT_TRUE(f.italic());
    EXPECT_FALSE(f.underline());
    EXPECT_EQ(f.styleHint(), QFont::SansSerif);

    const QColor c = ColourFromSetting(stored());
    EXPECT_EQ(c.red(), 0x99);
    EXPECT_EQ(c.green(), 0x66);
    EXPECT_EQ(c.blue(), 0x33);
}

TEST(DisplayFont, ChosenFontRoundTripsAndKeepsWhatTheDialogDoesNotChoose) {
    test::EnsureQtApplication();
    const FontSetting before = stored();
    QFont chosen = FontFromSetting(before);
    chosen.setUnderline(true);
    chosen.setWeight(QFont::Normal);
    const FontSetting after = SettingFromFont(chosen, QColor(0x12, 0x34, 0x56), before);

    EXPECT_EQ(after.FaceName, before.FaceName);
    EXPECT_EQ(after.Height, -13);
    EXPECT_EQ(after.Weight, 400);
    EXPECT_EQ(after.Underline, 1);
    EXPECT_EQ(after.Italic, 1);
    EXPECT_EQ(after.Colour, 0x00563412u);
    EXPECT_EQ(after.OutPrecision, before.OutPrecision);
    EXPECT_EQ(after.ClipPrecision, before.ClipPrecision);
    EXPECT_EQ(after.Quality, before.Quality);
    EXPECT_EQ(after.PitchAndFamily & 0xF0, 0x20);
    EXPECT_EQ(FontFromSetting(after), chosen);
}

TEST(DisplayFont, PointSizedFontIsStoredInPixels) {
    test::EnsureQtApplication();
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setPointSize(12);
    const FontSetting s = SettingFromFont(f, Qt::black, FontSetting{});
    EXPECT_EQ(s.Height, -QFontInfo(f).pixelSize());
    EXPECT_LT(s.Height, 0);
}

TEST(DisplayFont, PositiveHeightIsACellHeight) {
    test::EnsureQtApplication();
    FontSetting s = stored();
    s.Height = 20;
    EXPECT_EQ(FontFromSetting(s).pixelSize(), 16);
    s.Height = 0; // the default size
    EXPECT_EQ(FontFromSetting(s).pixelSize(), QFont().pixelSize());
}

} // namespace
} // namespace tw::ui
