#include "ui/dialogs/dialog_placement.h"

#include "widget_test_support.h"

#include <QDialog>
#include <QGuiApplication>
#include <QLineEdit>
#include <QScreen>

#include <gtest/gtest.h>

namespace {

using tw::WindowPlacement;
using namespace tw::ui;

class DialogPlacementTest : public ::testing::Test {
protected:
    void SetUp() override { tw::test::widgetApp(); }
};

TEST_F(DialogPlacementTest, CenteredPositionUsesTheWholeMonitor) {
    EXPECT_EQ(CenteredPosition(QSize(200, 100), QRect(0, 0, 1000, 800)), QPoint(400, 350));
    EXPECT_EQ(CenteredPosition(QSize(200, 100), QRect(1920, -200, 1000, 800)), QPoint(2320, 150));
}

TEST_F(DialogPlacementTest, RememberedPositionKeepsSeventyPixelsInsideRightAndBottom) {
    const QRect screen(0, 0, 1024, 768);
    WindowPlacement p;
    p.Left = 300;
    p.Top = 200;
    EXPECT_EQ(ClampRememberedPosition(p, screen), QPoint(300, 200));
    p.Left = 5000;
    p.Top = 5000;
    EXPECT_EQ(ClampRememberedPosition(p, screen), QPoint(1024 - 70, 768 - 70));
    p.Left = 1024 - 70;
    p.Top = 768 - 71;
    EXPECT_EQ(ClampRememberedPosition(p, screen), QPoint(1024 - 70, 768 - 71));
    // Beyond the left or top edge (a monitor that is gone) the dialog comes back on screen.
    p.Left = -3000;
    p.Top = -40;
    EXPECT_EQ(ClampRememberedPosition(p, screen), QPoint(0, 0));
    // A virtual screen that starts left of the origin allows negative positions.
    EXPECT_EQ(ClampRememberedPosition(p, QRect(-1280, 0, 2304, 768)), QPoint(-1280, 0));
}

TEST_F(DialogPlacementTest, PlaceDialogCentresWhenPositionsAreNotSaved) {
    QDialog dialog;
    dialog.resize(200, 120);
    WindowPlacement remembered;
    remembered.Left = 10;
    remembered.Top = 20;
    PlaceDialog(&dialog, remembered, false);
    const QRect monitor = NearestScreen(dialog.frameGeometry())->geometry();
    EXPECT_EQ(dialog.frameGeometry().center().x(), monitor.center().x());
    EXPECT_LE(std::abs(dialog.frameGeometry().center().y() - monitor.center().y()), 1);
    EXPECT_EQ(dialog.size(), QSize(200, 120));

    PlaceDialog(&dialog, remembered, true, QRect(0, 0, 1024, 768));
    EXPECT_EQ(dialog.frameGeometry().topLeft(), QPoint(10, 20));
    EXPECT_EQ(dialog.size(), QSize(200, 120));
}

TEST_F(DialogPlacementTest, RememberTakesTheFrameAndKeepsShow) {
    QDialog dialog;
    dialog.resize(220, 130);
    dialog.move(40, 50);
    WindowPlacement p;
    p.Show = 3;
    RememberDialogPosition(&dialog, p);
    EXPECT_EQ(p.Left, dialog.frameGeometry().x());
    EXPECT_EQ(p.Top, dialog.frameGeometry().y());
    EXPECT_EQ(p.Width, dialog.frameGeometry().width());
    EXPECT_EQ(p.Height, dialog.frameGeometry().height());
    EXPECT_EQ(p.Show, 3);
    // Placing from what was remembered puts the dialog back where it was.
    QDialog again;
    again.resize(220, 130);
    PlaceDialog(&again, p, true, QRect(0, 0, 1024, 768));
    EXPECT_EQ(again.frameGeometry().topLeft(), dialog.frameGeometry().topLeft());
}

TEST_F(DialogPlacementTest, CenterWindowOnMonitorUsesTheOwnersMonitor) {
    const QRect monitor = QGuiApplication::primaryScreen()->geometry();
    QWidget owner;
    owner.setGeometry(monitor.x() + 10, monitor.y() + 10, 300, 200);
    owner.show();
    QDialog dialog(&owner);
    dialog.resize(100, 60);
    CenterWindowOnMonitor(&dialog);
    EXPECT_EQ(dialog.frameGeometry().topLeft(),
              CenteredPosition(dialog.frameGeometry().size(),
                               NearestScreen(owner.frameGeometry())->geometry()));
}

TEST_F(DialogPlacementTest, EditFieldsKeepTheirLimit) {
    QLineEdit edit;
    SetEditText(&edit, QStringLiteral("abcdefghij"), 6);
    EXPECT_EQ(edit.maxLength(), 5);
    EXPECT_EQ(edit.text(), QStringLiteral("abcde"));
    EXPECT_EQ(GetEditText(&edit, 6), QStringLiteral("abcde"));
    EXPECT_EQ(GetEditText(&edit, 3), QStringLiteral("ab"));
    // A character outside the basic plane is never cut in two.
    const QString clef = QString::fromUtf8("ab\xF0\x9D\x84\x9E");
    SetEditText(&edit, clef, 4);
    EXPECT_EQ(edit.text(), QStringLiteral("ab"));
    edit.setMaxLength(100);
    edit.setText(clef);
    EXPECT_EQ(GetEditText(&edit, 4), QStringLiteral("ab"));
    EXPECT_EQ(GetEditText(&edit, 5), clef);
}

TEST_F(DialogPlacementTest, SelectEditTextSelectsAllAndFocuses) {
    QDialog dialog;
    auto* other = new QLineEdit(&dialog);
    auto* edit = new QLineEdit(&dialog);
    dialog.show();
    other->setFocus();
    edit->setText(QStringLiteral("bad/name"));
    SelectEditText(edit);
    EXPECT_EQ(edit->selectedText(), QStringLiteral("bad/name"));
    EXPECT_EQ(dialog.focusWidget(), edit);

    SelectEditText(edit, QStringLiteral("replacement"));
    EXPECT_EQ(edit->text(), QStringLiteral("replacement"));
    EXPECT_EQ(edit->selectedText(), QStringLiteral("replacement"));
}

} // namespace
