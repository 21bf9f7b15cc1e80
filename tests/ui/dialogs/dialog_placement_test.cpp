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

// Centred without SaveWindows and while nothing was remembered (no size, or still the default
// every placement starts from); at the remembered corner otherwise.
TEST_F(DialogPlacementTest, PlaceDialogCentresUnlessAPlaceWasRemembered) {
    const WindowPlacement closed{20, 10, 130, 210, 1};
    WindowPlacement cornerOnly;
    cornerOnly.Left = 10;
    cornerOnly.Top = 20;
    const struct {
        WindowPlacement placement;
        bool saveWindows;
        bool centred;
    } cases[] = {
        {closed, false, true},
        {cornerOnly, true, true},
        {tw::kDefaultPlacement, true, true},
        {closed, true, false},
    };
    for (const auto& c : cases) {
        QDialog dialog;
        dialog.resize(200, 120);
        PlaceDialog(&dialog, c.placement, c.saveWindows, QRect(0, 0, 1024, 768));
        const QRect monitor = NearestScreen(dialog.frameGeometry())->geometry();
        if (c.centred) {
            EXPECT_EQ(dialog.frameGeometry().center().x(), monitor.center().x());
            EXPECT_LE(std::abs(dialog.frameGeometry().center().y() - monitor.center().y()), 1);
        } else {
            EXPECT_EQ(dialog.frameGeometry().topLeft(), QPoint(10, 20));
        }
        EXPECT_EQ(dialog.size(), QSize(200, 120));
    }
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

// A dialog opens over the middle of its shown owner, pulled inside the owner's monitor; with
// its owner hidden it is centred on the monitor.
TEST_F(DialogPlacementTest, CenterWindowOnMonitorOpensOverTheOwner) {
    const QRect monitor = QGuiApplication::primaryScreen()->availableGeometry();
    QWidget owner;
    QDialog dialog(&owner);
    dialog.resize(100, 60);
    for (const QPoint ownerAt : {monitor.topLeft() + QPoint(300, 200), monitor.topLeft()}) {
        owner.setGeometry(QRect(ownerAt, QSize(300, 200)));
        owner.show();
        CenterWindowOnMonitor(&dialog);
        EXPECT_EQ(dialog.frameGeometry().center(), owner.frameGeometry().center());
    }
    EXPECT_EQ(CenteredOverOwner(QSize(100, 60), QRect(-200, -100, 300, 200), monitor),
              monitor.topLeft()); // an owner half off screen: the dialog stays on it
    owner.hide();
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
