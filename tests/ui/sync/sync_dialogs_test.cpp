#include "ui/dialogs/control_names.h"
#include "ui/sync/sync_dialogs.h"
#include "ui/sync/sync_options_dialog.h"
#include "ui/sync/sync_preview_dialog.h"

#include "support/screenshot.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTreeWidget>

#include <gtest/gtest.h>

using namespace tw;
namespace qs = tw::queue::sync;

namespace {

QPalette DarkPalette() {
    QPalette dark;
    dark.setColor(QPalette::Window, QColor(0x30, 0x30, 0x30));
    dark.setColor(QPalette::WindowText, QColor(0xee, 0xee, 0xee));
    dark.setColor(QPalette::Base, QColor(0x1e, 0x1e, 0x1e));
    dark.setColor(QPalette::AlternateBase, QColor(0x28, 0x28, 0x28));
    dark.setColor(QPalette::Text, QColor(0xdd, 0xdd, 0xdd));
    dark.setColor(QPalette::Button, QColor(0x30, 0x30, 0x30));
    dark.setColor(QPalette::ButtonText, QColor(0xee, 0xee, 0xee));
    dark.setColor(QPalette::Highlight, QColor(0x2a, 0x5d, 0x9f));
    dark.setColor(QPalette::HighlightedText, Qt::white);
    return dark;
}

struct Row {
    const char* action;
    const char* name;
    const char* where;
    const char* size;
    const char* why;
    bool tickable;
};

const Row kRows[] = {
    {"Copy", "docs/new.txt", "Server", "1.2 kB", "missing on the destination", true},
    {"Replace", "index.html", "Server", "4.2 MB", "the source is newer", true},
    {"Delete", "old/stale.bin", "Server", "10 bytes", "not on the source", true},
    {"Make Folder", "empty", "Server", "", "missing on the destination", true},
    {"Skip", "notes.txt", "Server", "5 bytes", "the destination is newer", false},
    {"Conflict", "both.txt", "Server", "7 bytes",
     "both sides changed since the last "
     "synchronisation",
     false},
};

SyncPreviewRequest previewRequest() {
    SyncPreviewRequest request;
    request.localFolder = u"/home/me/site"_qs;
    request.remoteFolder = u"/www"_qs;
    for (const Row& r : kRows)
        request.rows.push_back({QString::fromUtf8(r.action), QString::fromUtf8(r.name),
                                QString::fromUtf8(r.where), QString::fromUtf8(r.size),
                                QString::fromUtf8(r.why), r.tickable, r.tickable});
    // What the core's summary reads: the ticks it is given.
    request.summary = [](const std::vector<bool>& ticked) {
        return QStringLiteral("%1 ticked").arg(std::count(ticked.begin(), ticked.end(), true));
    };
    return request;
}

std::vector<bool> tickableRows() {
    std::vector<bool> out;
    for (const Row& r : kRows)
        out.push_back(r.tickable);
    return out;
}

// Every button, box and label below `root` reads as it shows.
void expectNamesAreVisibleTexts(QWidget* root) {
    for (auto* button : root->findChildren<QAbstractButton*>()) {
        if (!button->text().isEmpty()) {
            EXPECT_EQ(button->accessibleName(), ui::VisibleText(button->text()))
                << button->objectName().toStdString();
        }
    }
    for (auto* label : root->findChildren<QLabel*>()) {
        if (!label->text().isEmpty()) {
            EXPECT_EQ(label->accessibleName(), ui::VisibleText(label->text()));
        }
    }
}

class SyncPreview : public testing::TestWithParam<bool> {
protected:
    void SetUp() override {
        m_saved = QApplication::palette();
        if (GetParam())
            QApplication::setPalette(DarkPalette());
    }
    void TearDown() override { QApplication::setPalette(m_saved); }

private:
    QPalette m_saved;
};

TEST_P(SyncPreview, RowsTickOnlyWhereTheyCanRunAndReadAsTheyShow) {
    ui::SyncPreviewDialog dialog(previewRequest(), nullptr);
    dialog.show();
    QTreeWidget* actions = dialog.actions();
    ASSERT_EQ(actions->topLevelItemCount(), int(std::size(kRows)));
    EXPECT_EQ(dialog.ticked(), tickableRows());
    EXPECT_EQ(dialog.summary()->text(), u"4 ticked"_qs);

    QAccessibleInterface* table = QAccessible::queryAccessibleInterface(actions);
    ASSERT_NE(table, nullptr);
    ASSERT_NE(table->tableInterface(), nullptr);
    EXPECT_EQ(table->text(QAccessible::Name), u"Actions"_qs);
    for (int r = 0; r < int(std::size(kRows)); ++r) {
        SCOPED_TRACE(r);
        const Row& row = kRows[r];
        const char* cells[] = {row.action, row.name, row.where, row.size, row.why};
        for (int c = 0; c < 5; ++c) {
            EXPECT_EQ(actions->topLevelItem(r)->text(c), QString::fromUtf8(cells[c]));
            QAccessibleInterface* cell = table->tableInterface()->cellAt(r, c);
            ASSERT_NE(cell, nullptr);
            EXPECT_EQ(cell->text(QAccessible::Name), QString::fromUtf8(cells[c])) << c;
        }
        EXPECT_EQ(table->tableInterface()->cellAt(r, 0)->state().checkable, row.tickable);
    }
    expectNamesAreVisibleTexts(&dialog);
    test::SaveScreenshot(dialog,
                         GetParam() ? u"sync_preview_dark.png"_qs : u"sync_preview_light.png"_qs);

    // Space on each row, as the keyboard ticks: the Skip and Conflict rows stay unticked.
    actions->setFocus();
    std::vector<bool> expected = tickableRows();
    for (int r = 0; r < int(std::size(kRows)); ++r) {
        actions->setCurrentItem(actions->topLevelItem(r));
        QTest::keyClick(actions->viewport(), Qt::Key_Space);
        expected[std::size_t(r)] = false;
        EXPECT_EQ(dialog.ticked(), expected) << r;
    }
    EXPECT_EQ(dialog.summary()->text(), u"0 ticked"_qs);
    actions->setCurrentItem(actions->topLevelItem(1));
    QTest::keyClick(actions->viewport(), Qt::Key_Space);
    EXPECT_EQ(dialog.ticked(), (std::vector<bool>{false, true, false, false, false, false}));
    EXPECT_EQ(dialog.summary()->text(), u"1 ticked"_qs);

    dialog.findChild<QPushButton*>(u"selectAll"_qs)->click();
    EXPECT_EQ(dialog.ticked(), tickableRows());
    EXPECT_EQ(dialog.summary()->text(), u"4 ticked"_qs);
    dialog.findChild<QPushButton*>(u"selectNone"_qs)->click();
    EXPECT_EQ(dialog.ticked(), std::vector<bool>(std::size(kRows), false));
    auto* run = dialog.findChild<QPushButton*>(u"synchronise"_qs);
    EXPECT_TRUE(run->isDefault());
    EXPECT_FALSE(run->isEnabled()); // nothing left to run
    actions->setCurrentItem(actions->topLevelItem(1));
    QTest::keyClick(actions->viewport(), Qt::Key_Space);
    EXPECT_TRUE(run->isEnabled());
}

INSTANTIATE_TEST_SUITE_P(Palettes, SyncPreview, testing::Bool(),
                         [](const testing::TestParamInfo<bool>& info) {
                             return info.param ? "dark" : "light";
                         });

TEST(SyncOptions, TheDialogStartsFromTheLastChoicesAndReturnsWhatIsSet) {
    struct Case {
        SyncChoices start;
        const char* direction; // the radio button then pressed
        const char* rule;
        qs::SyncDirection direction2;
        qs::CompareRule rule2;
    };
    SyncChoices both;
    both.direction = qs::SyncDirection::Both;
    both.rule = qs::CompareRule::TimeOnly;
    both.onlyNewer = true;
    both.deleteExtra = true;
    both.checksum = true;
    both.excludes = u"*.log;cache/*"_qs;
    const Case cases[] = {
        {SyncChoices{}, "download", "sizeOnly", qs::SyncDirection::Download,
         qs::CompareRule::SizeOnly},
        {both, "upload", "sizeAndTime", qs::SyncDirection::Upload, qs::CompareRule::SizeAndTime},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.direction);
        SyncOptionsRequest request;
        request.localFolder = u"/home/me/site"_qs;
        request.remoteFolder = u"/www"_qs;
        request.start = c.start;
        ui::SyncOptionsDialog dialog(request, nullptr);
        dialog.show();
        EXPECT_EQ(dialog.choices(), c.start);
        EXPECT_EQ(dialog.findChild<QLineEdit*>(u"localFolder"_qs)->text(), request.localFolder);
        EXPECT_EQ(dialog.findChild<QLineEdit*>(u"remoteFolder"_qs)->accessibleName(),
                  u"Remote folder:"_qs);
        expectNamesAreVisibleTexts(&dialog);
        if (c.start == both)
            test::SaveScreenshot(dialog, u"sync_options.png"_qs);

        dialog.findChild<QRadioButton*>(QLatin1StringView(c.direction))->click();
        dialog.findChild<QRadioButton*>(QLatin1StringView(c.rule))->click();
        dialog.findChild<QCheckBox*>(u"onlyMissing"_qs)->click();
        QLineEdit* excludes = dialog.findChild<QLineEdit*>(u"excludes"_qs);
        excludes->setText(u"  *.tmp  "_qs);
        SyncChoices expected = c.start;
        expected.direction = c.direction2;
        expected.rule = c.rule2;
        expected.onlyMissing = !c.start.onlyMissing;
        expected.excludes = u"*.tmp"_qs;
        EXPECT_EQ(dialog.choices(), expected);
    }
}

TEST(SyncProgress, StopAndTheCloseBoxStopTheListing) {
    QWidget owner;
    ui::SyncDialogs dialogs(&owner);
    int stops = 0;
    dialogs.openSyncProgress(u"Listing... 0 folders"_qs, [&stops] { ++stops; });
    ASSERT_NE(dialogs.progressWindow(), nullptr);
    dialogs.updateSyncProgress(u"Listing... 12 folders"_qs);
    auto* text = dialogs.progressWindow()->findChild<QLabel*>(u"progressText"_qs);
    EXPECT_EQ(text->text(), u"Listing... 12 folders"_qs);
    EXPECT_EQ(text->accessibleName(), u"Listing... 12 folders"_qs);
    auto* stop = dialogs.progressWindow()->findChild<QPushButton*>(u"stopButton"_qs);
    EXPECT_EQ(stop->accessibleName(), u"Stop"_qs);
    stop->click();
    EXPECT_EQ(stops, 1);
    dialogs.closeSyncProgress();
    EXPECT_EQ(dialogs.progressWindow(), nullptr);
    stop = nullptr;
    dialogs.openSyncProgress(u"Deleting..."_qs, [&stops] { ++stops; });
    dialogs.progressWindow()->close();
    EXPECT_EQ(stops, 2);
}

} // namespace
