#include "ui/permissions/permissions_dialog.h"
#include "ui/permissions/permissions_dialogs.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include <gtest/gtest.h>

using namespace tw;
using namespace tw::ui;

namespace {

QCheckBox* Box(QWidget* dialog, int who, int what) {
    return dialog->findChild<QCheckBox*>(QStringLiteral("bit%1%2").arg(who).arg(what));
}

// The nine boxes as "rwx" letters, "." partly checked, "-" empty.
QString Boxes(QWidget* dialog) {
    QString out;
    for (int who = 0; who < 3; ++who)
        for (int what = 0; what < 3; ++what)
            switch (Box(dialog, who, what)->checkState()) {
            case Qt::Checked:
                out += QStringLiteral("rwx")[what];
                break;
            case Qt::Unchecked:
                out += u'-';
                break;
            case Qt::PartiallyChecked:
                out += u'.';
                break;
            }
    return out;
}

} // namespace

// The octal box and the nine boxes follow each other; bits the rows differ on start partly
// checked and stay so until changed.
TEST(PermissionsDialog, OctalAndBoxesFollowEachOther) {
    PermissionsRequest request;
    request.name = u"2 items"_qs;
    request.start = {0604, 0707}; // the group's bits differ
    PermissionsDialog dialog(request);
    dialog.show();
    auto* octal = dialog.findChild<QLineEdit*>(u"octal"_qs);
    ASSERT_NE(octal, nullptr);
    EXPECT_EQ(octal->text(), u"6x4"_qs);
    EXPECT_EQ(Boxes(&dialog), u"rw-...r--"_qs);
    EXPECT_EQ(dialog.findChild<QCheckBox*>(u"recursive"_qs), nullptr); // no folder
    dialog.grab().save(u"/tmp/permissions_dialog_mixed.png"_qs);

    Box(&dialog, 1, 0)->click(); // partly checked -> checked
    EXPECT_EQ(Boxes(&dialog), u"rw-r..r--"_qs);
    EXPECT_EQ(octal->text(), u"6x4"_qs);

    octal->selectAll();
    QTest::keyClicks(octal, u"751"_qs);
    EXPECT_EQ(Boxes(&dialog), u"rwxr-x--x"_qs);
    EXPECT_EQ(dialog.answer().choice, (queue::ModeChange{0751, 0777}));
    Box(&dialog, 2, 2)->click();
    EXPECT_EQ(octal->text(), u"750"_qs);
    EXPECT_FALSE(dialog.answer().recursive);
    EXPECT_EQ(Box(&dialog, 0, 0)->accessibleName(), u"Read"_qs);
    EXPECT_EQ(octal->accessibleName(), u"Octal:"_qs);
}

// For folders: "Apply to everything inside" and its scope, which waits for the box.
TEST(PermissionsDialog, FoldersOfferEverythingInside) {
    PermissionsRequest request;
    request.name = u"site"_qs;
    request.start = {0755, 0777};
    request.folders = true;
    PermissionsDialog dialog(request);
    dialog.show();
    auto* recursive = dialog.findChild<QCheckBox*>(u"recursive"_qs);
    auto* filesOnly = dialog.findChild<QRadioButton*>(u"filesOnly"_qs);
    ASSERT_TRUE(recursive && filesOnly);
    EXPECT_EQ(recursive->text().remove(u'&'), u"Apply to everything inside"_qs);
    EXPECT_FALSE(filesOnly->isEnabled());
    recursive->click();
    filesOnly->click();
    const PermissionsAnswer answer = dialog.answer();
    EXPECT_TRUE(answer.recursive);
    EXPECT_EQ(answer.scope, queue::ChmodScope::FilesOnly);
    dialog.grab().save(u"/tmp/permissions_dialog_folder.png"_qs);
}

// The run's window: Stop asks the run to end; the window goes when the run has ended.
TEST(PermissionsDialogs, TheRunWindowStops) {
    PermissionsDialogs dialogs(nullptr);
    int stops = 0;
    dialogs.openRunProgress(u"Reading site ..."_qs, [&] { ++stops; });
    ASSERT_NE(dialogs.progressWindow(), nullptr);
    dialogs.updateRunProgress(u"3 of 10: /site/a.txt"_qs);
    dialogs.progressWindow()->grab().save(u"/tmp/permissions_progress.png"_qs);
    dialogs.progressWindow()->findChild<QPushButton*>(u"stopButton"_qs)->click();
    EXPECT_EQ(stops, 1);
    dialogs.closeRunProgress();
    EXPECT_EQ(dialogs.progressWindow(), nullptr);
}
