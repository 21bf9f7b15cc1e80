#include "core/state/app_state.h"
#include "core/text/messages.h"
#include "support/recording_port.h"
#include "ui/dialogs/control_names.h"
#include "ui/dialogs/widget_test_support.h"
#include "ui/edit/edit_dialogs.h"
#include "ui/edit/edit_question_dialog.h"
#include "ui/edit/edited_files_dialog.h"

#include <QDir>
#include <QListWidget>
#include <QPushButton>
#include <QTreeWidget>

#include <gtest/gtest.h>

using namespace tw;
using namespace tw::ui;

namespace {

// With TW_SCREENSHOT_DIR set, the dialog's picture is saved there to be looked at.
void screenshot(QWidget& widget, const char* name) {
    widget.show();
    const QPixmap picture = widget.grab();
    EXPECT_FALSE(picture.isNull()) << name;
    if (const QByteArray dir = qgetenv("TW_SCREENSHOT_DIR"); !dir.isEmpty()) {
        const QString path =
            QDir(QString::fromLocal8Bit(dir)).filePath(QString::fromLatin1(name) + u".png"_qs);
        EXPECT_TRUE(picture.save(path)) << name;
    }
}

struct Fixture {
    test::RecordingPort port;
    AppState state;
    AppGlobals globals;
    Messages messages{port, state, globals};
};

// Presses the button with this visible text on the next modal dialog, after a screenshot.
test::ModalWatcher press(const QString& text, const char* picture = nullptr) {
    return test::ModalWatcher([text, picture](QWidget* dialog) {
        if (picture)
            screenshot(*dialog, picture);
        for (auto* button : dialog->findChildren<QPushButton*>())
            if (VisibleText(button->text()) == text)
                button->click();
    });
}

} // namespace

TEST(EditedFilesDialog, ShowsEachEditAndRunsTheSelectedOnesCommands) {
    test::widgetApp();
    Fixture f;
    std::vector<EditedFile> files = {
        {1, u"notes.txt"_qs, u"/pub/notes.txt"_qs, u"ftp.example.org"_qs, EditState::Changed, true},
        {2, u"index.html"_qs, u"/www/index.html"_qs, u"ftp.example.org"_qs, EditState::Uploaded,
         false},
        {3, u"big.log"_qs, u"/var/big.log"_qs, u"ftp.example.org"_qs, EditState::Downloading,
         false}};
    QStringList calls;
    EditedFilesDialog dialog({[&] { return files; },
                              [&](int id) { calls << u"upload %1"_qs.arg(id); },
                              [&](int id) { calls << u"open %1"_qs.arg(id); },
                              [&](int id) { calls << u"end %1"_qs.arg(id); }},
                             f.messages);
    QTreeWidget* list = dialog.list();
    ASSERT_EQ(list->topLevelItemCount(), 3);
    const QStringList shown = {list->topLevelItem(0)->text(0), list->topLevelItem(0)->text(1),
                               list->topLevelItem(0)->text(2), list->topLevelItem(1)->text(2),
                               list->topLevelItem(2)->text(2)};
    EXPECT_EQ(shown, (QStringList{u"notes.txt"_qs, u"/pub/notes.txt"_qs, u"Changed"_qs,
                                  u"Uploaded"_qs, u"Downloading"_qs}));
    for (QPushButton* button :
         {dialog.uploadButton(), dialog.openButton(), dialog.endButton(), dialog.closeButton()})
        EXPECT_EQ(button->accessibleName(), VisibleText(button->text()));

    // The first edit is selected at first; the buttons work on the selected one.
    EXPECT_EQ(list->currentItem(), list->topLevelItem(0));
    dialog.uploadButton()->click();
    dialog.openButton()->click();
    dialog.endButton()->click();
    EXPECT_EQ(calls, (QStringList{u"upload 1"_qs, u"open 1"_qs, u"end 1"_qs}));

    // A refresh keeps the selection; a file still downloading can only be ended.
    files[0].state = EditState::Uploading;
    dialog.refresh();
    EXPECT_EQ(list->currentItem()->text(2), u"Uploading"_qs);
    EXPECT_FALSE(dialog.uploadButton()->isEnabled());
    EXPECT_TRUE(dialog.openButton()->isEnabled());
    list->setCurrentItem(list->topLevelItem(2));
    EXPECT_FALSE(dialog.openButton()->isEnabled());
    EXPECT_TRUE(dialog.endButton()->isEnabled());
    dialog.resize(dialog.sizeHint());
    screenshot(dialog, "edited_files");
}

TEST(EditDialogs, AskUploadAndExitWithTheirButtons) {
    test::widgetApp();
    Fixture f;
    QWidget owner;
    EditDialogs dialogs(&owner, f.messages);
    const std::pair<QString, UploadAnswer> uploads[] = {
        {u"Yes"_qs, UploadAnswer::Yes},
        {u"No"_qs, UploadAnswer::No},
        {u"Always for this file"_qs, UploadAnswer::Always}};
    for (const auto& [button, answer] : uploads) {
        const auto watcher =
            press(button, answer == UploadAnswer::Yes ? "upload_question" : nullptr);
        EXPECT_EQ(dialogs.askUpload(u"notes.txt"_qs, u"/pub/notes.txt"_qs), answer)
            << button.toStdString();
    }
    const std::pair<QString, EditExitAnswer> exits[] = {{u"Upload"_qs, EditExitAnswer::Upload},
                                                        {u"Discard"_qs, EditExitAnswer::Discard},
                                                        {u"Cancel"_qs, EditExitAnswer::Cancel}};
    for (const auto& [button, answer] : exits) {
        const auto watcher =
            press(button, answer == EditExitAnswer::Upload ? "exit_question" : nullptr);
        EXPECT_EQ(dialogs.askExit({u"/pub/notes.txt"_qs, u"/www/index.html"_qs}), answer)
            << button.toStdString();
    }
    // Escape is No and Cancel.
    const auto no =
        test::ModalWatcher([](QWidget* dialog) { static_cast<QDialog*>(dialog)->reject(); });
    EXPECT_EQ(dialogs.askUpload(u"notes.txt"_qs, u"/pub/notes.txt"_qs), UploadAnswer::No);
}
