#include "../shell/shell_fixture.h"

#include "ui/command_actions.h"
#include "ui/edit/edit_dialogs.h"
#include "ui/edit/edited_files_dialog.h"

#include <QAction>
#include <QTreeWidget>

namespace tw::test {
namespace {

using EditWindow = ShellFixture;

TEST_F(EditWindow, EditWaitsForAConnectionAndEditedFilesOpensItsList) {
    ui::MainWindow* w = start();
    w->UpdateCommandState();
    QAction* edit = w->commandActions()->mainAction(CommandId::RemoteEdit);
    ASSERT_NE(edit, nullptr);
    EXPECT_FALSE(edit->isEnabled());
    EXPECT_EQ(edit->shortcut(), QKeySequence(Qt::Key_F4));
    w->dispatcher().dispatch(CommandId::EditedFiles);
    ui::EditedFilesDialog* dialog = w->editDialogs().editedFilesDialog();
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_EQ(dialog->windowTitle(), u"Edited Files"_qs);
    EXPECT_EQ(dialog->list()->topLevelItemCount(), 0);
    // Opened again, it is the same window brought forward.
    w->dispatcher().dispatch(CommandId::EditedFiles);
    EXPECT_EQ(w->editDialogs().editedFilesDialog(), dialog);
}

} // namespace
} // namespace tw::test
