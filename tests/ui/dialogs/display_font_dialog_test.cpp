#include "ui/display_font_dialog.h"

#include "widget_test_support.h"

#include <QFontDialog>
#include <QListView>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

namespace {

using tw::ui::DisplayFontDialog;

// Escape and Enter where the keyboard usually is, in the font chooser's lists, end the whole
// dialog: Escape cancels it, Enter accepts it.
TEST(DisplayFontDialog, EscapeCancelsAndEnterAcceptsTheWholeDialog) {
    tw::test::widgetApp();
    const QFont font(QStringLiteral("Sans Serif"), 11);
    const QColor colour(Qt::darkBlue);
    for (const auto& [key, expected] : {std::pair{Qt::Key_Escape, int(QDialog::Rejected)},
                                        std::pair{Qt::Key_Return, int(QDialog::Accepted)}}) {
        DisplayFontDialog dialog(font, colour);
        dialog.open();
        auto* chooser = dialog.findChild<QFontDialog*>(QStringLiteral("fonts"));
        ASSERT_NE(chooser, nullptr);
        auto* families = chooser->findChild<QListView*>();
        ASSERT_NE(families, nullptr);
        const QFont before = dialog.selectedFont();
        QSignalSpy finished(&dialog, &QDialog::finished);
        QTest::keyClick(families, key);
        ASSERT_EQ(finished.count(), 1) << key;
        EXPECT_EQ(finished.at(0).at(0).toInt(), expected) << key;
        EXPECT_FALSE(dialog.isVisible());
        EXPECT_TRUE(chooser->isVisibleTo(&dialog)); // never an empty dialog
        EXPECT_EQ(dialog.selectedFont(), before);
        EXPECT_EQ(dialog.selectedColour(), colour);
        EXPECT_EQ(dialog.findChild<QPushButton*>(QStringLiteral("cancelButton"))->accessibleName(),
                  QStringLiteral("Cancel"));
    }
}

} // namespace
