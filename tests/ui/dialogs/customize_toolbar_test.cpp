#include "ui/dialogs/customize_toolbar_dialog.h"

#include "widget_test_support.h"

#include <QListWidget>
#include <QPushButton>
#include <QSignalSpy>

#include <gtest/gtest.h>

namespace {

using tw::ui::CustomizeToolbarDialog;
using tw::ui::ToolbarButtonInfo;
using Ids = std::vector<int>;

std::vector<ToolbarButtonInfo> table() {
    std::vector<ToolbarButtonInfo> buttons;
    for (const int id : {101, 102, 103, 104, 105})
        buttons.push_back({id, QStringLiteral("Command %1").arg(id), QIcon()});
    return buttons;
}

class CustomizeToolbarTest : public ::testing::Test {
protected:
    void SetUp() override { tw::test::widgetApp(); }

    static Ids listed(const QListWidget* list) {
        Ids ids;
        for (int i = 0; i < list->count(); ++i)
            ids.push_back(list->item(i)->data(Qt::UserRole).toInt());
        return ids;
    }
    static QPushButton* button(const QDialog& d, const char* name) {
        return d.findChild<QPushButton*>(QString::fromLatin1(name));
    }
    static void chooseAvailable(CustomizeToolbarDialog& d, int id) {
        const Ids ids = d.available();
        const auto it = std::find(ids.begin(), ids.end(), id);
        ASSERT_NE(it, ids.end());
        d.availableList()->setCurrentRow(int(it - ids.begin()));
    }
};

TEST_F(CustomizeToolbarTest, ListsShowCurrentAndTheRestWithSeparatorFirst) {
    CustomizeToolbarDialog d(nullptr, table(), {101, 0, 103}, {101, 102});
    EXPECT_EQ(d.arrangement(), (Ids{101, 0, 103}));
    EXPECT_EQ(d.available(), (Ids{0, 102, 104, 105}));
    EXPECT_EQ(listed(d.currentList()), d.arrangement());
    EXPECT_EQ(listed(d.availableList()), d.available());
    EXPECT_EQ(d.currentList()->item(1)->text(), QStringLiteral("Separator"));
    EXPECT_EQ(d.availableList()->item(1)->text(), QStringLiteral("Command 102"));
    EXPECT_EQ(d.windowTitle(), QStringLiteral("Customize Toolbar"));
    // Without a help callback there is no Help button.
    d.show();
    EXPECT_FALSE(button(d, "helpButton")->isVisible());
}

TEST_F(CustomizeToolbarTest, UnknownAndRepeatedIdsAreDropped) {
    CustomizeToolbarDialog d(nullptr, table(), {101, 999, 101, 0, 0, 102}, {777, 103});
    EXPECT_EQ(d.arrangement(), (Ids{101, 0, 0, 102}));
    d.reset();
    EXPECT_EQ(d.arrangement(), (Ids{103}));
}

TEST_F(CustomizeToolbarTest, AddPutsTheButtonAfterTheChosenOneOrAtTheEnd) {
    CustomizeToolbarDialog d(nullptr, table(), {101, 103}, {});
    QSignalSpy changed(&d, &CustomizeToolbarDialog::arrangementChanged);
    d.currentList()->setCurrentRow(0);
    chooseAvailable(d, 104);
    button(d, "addButton")->click();
    EXPECT_EQ(d.arrangement(), (Ids{101, 104, 103}));
    EXPECT_EQ(d.currentList()->currentRow(), 1); // the added button is chosen
    EXPECT_EQ(d.available(), (Ids{0, 102, 105}));
    ASSERT_EQ(changed.count(), 1);
    EXPECT_EQ(changed.at(0).at(0).value<Ids>(), d.arrangement());

    d.currentList()->setCurrentRow(-1);
    chooseAvailable(d, 102);
    d.addSelected();
    EXPECT_EQ(d.arrangement(), (Ids{101, 104, 103, 102}));
}

TEST_F(CustomizeToolbarTest, SeparatorStaysAvailableAndCanBeAddedTwice) {
    CustomizeToolbarDialog d(nullptr, table(), {101}, {});
    d.currentList()->setCurrentRow(0);
    chooseAvailable(d, 0);
    d.addSelected();
    chooseAvailable(d, 0);
    d.addSelected();
    EXPECT_EQ(d.arrangement(), (Ids{101, 0, 0}));
    EXPECT_EQ(d.available().front(), 0);
}

TEST_F(CustomizeToolbarTest, RemoveGivesTheButtonBackInTableOrder) {
    CustomizeToolbarDialog d(nullptr, table(), {104, 0, 102}, {});
    d.currentList()->setCurrentRow(0);
    button(d, "removeButton")->click();
    EXPECT_EQ(d.arrangement(), (Ids{0, 102}));
    EXPECT_EQ(d.available(), (Ids{0, 101, 103, 104, 105}));
    // A removed separator is simply gone.
    d.currentList()->setCurrentRow(0);
    d.removeSelected();
    EXPECT_EQ(d.arrangement(), (Ids{102}));
    EXPECT_EQ(d.available(), (Ids{0, 101, 103, 104, 105}));
    // Removing the last button leaves an empty toolbar, and nothing more to remove.
    d.currentList()->setCurrentRow(0);
    d.removeSelected();
    EXPECT_TRUE(d.arrangement().empty());
    EXPECT_FALSE(button(d, "removeButton")->isEnabled());
    d.removeSelected();
    EXPECT_TRUE(d.arrangement().empty());
}

TEST_F(CustomizeToolbarTest, MoveUpAndDownStopAtTheEnds) {
    CustomizeToolbarDialog d(nullptr, table(), {101, 102, 103}, {});
    d.currentList()->setCurrentRow(0);
    EXPECT_FALSE(button(d, "moveUpButton")->isEnabled());
    EXPECT_TRUE(button(d, "moveDownButton")->isEnabled());
    d.moveSelected(-1);
    EXPECT_EQ(d.arrangement(), (Ids{101, 102, 103}));
    button(d, "moveDownButton")->click();
    EXPECT_EQ(d.arrangement(), (Ids{102, 101, 103}));
    EXPECT_EQ(d.currentList()->currentRow(), 1);
    button(d, "moveDownButton")->click();
    EXPECT_EQ(d.arrangement(), (Ids{102, 103, 101}));
    EXPECT_FALSE(button(d, "moveDownButton")->isEnabled());
    d.moveSelected(1);
    EXPECT_EQ(d.arrangement(), (Ids{102, 103, 101}));
    button(d, "moveUpButton")->click();
    EXPECT_EQ(d.arrangement(), (Ids{102, 101, 103}));
}

TEST_F(CustomizeToolbarTest, ResetBringsBackTheStandardArrangement) {
    CustomizeToolbarDialog d(nullptr, table(), {105}, {101, 0, 102, 103});
    button(d, "resetButton")->click();
    EXPECT_EQ(d.arrangement(), (Ids{101, 0, 102, 103}));
    EXPECT_EQ(d.available(), (Ids{0, 104, 105}));
    EXPECT_EQ(listed(d.currentList()), d.arrangement());
}

TEST_F(CustomizeToolbarTest, RunReturnsTheFinalArrangementAndReportsEachChange) {
    std::vector<Ids> applied;
    int helpCalls = 0;
    const tw::test::ModalWatcher watcher([](QWidget* modal) {
        auto* d = qobject_cast<CustomizeToolbarDialog*>(modal);
        ASSERT_NE(d, nullptr);
        d->findChild<QPushButton*>(QStringLiteral("helpButton"))->click();
        d->currentList()->setCurrentRow(0);
        d->removeSelected();
        d->findChild<QPushButton*>(QStringLiteral("closeButton"))->click();
    });
    const Ids result = tw::ui::CustomizeToolbar(
        nullptr, table(), {101, 102}, {101},
        [&](const Ids& arrangement) { applied.push_back(arrangement); }, [&] { ++helpCalls; });
    EXPECT_EQ(result, (Ids{102}));
    ASSERT_EQ(applied.size(), 1u);
    EXPECT_EQ(applied[0], (Ids{102}));
    EXPECT_EQ(helpCalls, 1);
}

} // namespace
