#include "ui/dialogs/program_icons.h"

#include "ui/dialogs/dialog_placement.h"
#include "widget_test_support.h"

#include <QDialog>
#include <QImage>

#include <gtest/gtest.h>

namespace {

using namespace tw::ui;

class ProgramIconsTest : public ::testing::Test {
protected:
    void SetUp() override { tw::test::widgetApp(); }
};

TEST_F(ProgramIconsTest, EveryIconIsCompiledInAndDrawsSomething) {
    for (const int id : {1000, 1001, 5300, 5400, 5500}) {
        const QPixmap pixmap = ProgramIconPixmap(id, QSize(32, 32));
        ASSERT_FALSE(pixmap.isNull()) << id;
        const QImage image = pixmap.toImage();
        // The centre of each picture is painted, the corner of the round ones is not.
        EXPECT_GT(qAlpha(image.pixel(16, 16)), 0) << id;
        EXPECT_FALSE(ProgramIcon(id).isNull()) << id;
    }
    EXPECT_EQ(qAlpha(ProgramIconPixmap(5500, QSize(32, 32)).toImage().pixel(0, 0)), 0);
}

TEST_F(ProgramIconsTest, PicturesDiffer) {
    const QImage error = ProgramIconPixmap(5500, QSize(32, 32)).toImage();
    const QImage info = ProgramIconPixmap(5300, QSize(32, 32)).toImage();
    const QImage question = ProgramIconPixmap(5400, QSize(32, 32)).toImage();
    EXPECT_NE(error, info);
    EXPECT_NE(info, question);
}

TEST_F(ProgramIconsTest, UnknownIdGivesNothing) {
    EXPECT_TRUE(ProgramIconPath(4242).isEmpty());
    EXPECT_TRUE(ProgramIcon(4242).isNull());
    EXPECT_TRUE(ProgramIconPixmap(4242, QSize(16, 16)).isNull());
    QDialog dialog;
    const QIcon before = dialog.windowIcon();
    SetDialogIcon(&dialog, 4242);
    EXPECT_EQ(dialog.windowIcon().cacheKey(), before.cacheKey());
    SetDialogIcon(&dialog, 1000);
    EXPECT_FALSE(dialog.windowIcon().isNull());
}

} // namespace
