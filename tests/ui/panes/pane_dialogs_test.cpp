#include "core/panes/pane_operations.h"
#include "core/state/app_state.h"
#include "core/text/messages.h"
#include "support/recording_port.h"
#include "ui/dialogs/message_box_dialog.h"
#include "ui/panes/delete_confirm_dialog.h"
#include "ui/panes/file_dialogs.h"
#include "ui/panes/name_dialog.h"
#include "ui/panes/pane_dialogs.h"
#include "ui/panes/properties_dialog.h"

#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>

using namespace tw;
using namespace tw::ui;

namespace {

QApplication& App() {
    return *qobject_cast<QApplication*>(QCoreApplication::instance());
}

// Runs `act` on the next modal dialog once it is shown.
void OnNextModal(std::function<void(QWidget*)> act) {
    QTimer::singleShot(0, [act] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal) {
            OnNextModal(act);
            return;
        }
        act(modal);
    });
}

void Click(QWidget* dialog, const char* name) {
    auto* button = dialog->findChild<QPushButton*>(QString::fromLatin1(name));
    ASSERT_NE(button, nullptr) << name;
    button->click();
}

template <typename T>
QString TextOf(QWidget* dialog, const char* name) {
    auto* w = dialog->findChild<T*>(QString::fromLatin1(name));
    return w ? w->text() : QStringLiteral("<missing>");
}

void Shot(QWidget* w, const char* file) {
    w->adjustSize();
    w->grab().save(QString::fromLatin1(file));
}

// Runs `act` once `ready` holds, checked from whichever event loop runs meanwhile.
void When(std::function<bool()> ready, std::function<void()> act) {
    auto* timer = new QTimer;
    timer->setInterval(5);
    QObject::connect(timer, &QTimer::timeout, [timer, ready, act] {
        if (!ready())
            return;
        timer->stop();
        timer->deleteLater();
        act();
    });
    timer->start();
}

// Message boxes shown as the program shows them.
struct BoxPort : test::RecordingPort {
    bool showBox(const BoxRequest& request) override {
        RecordingPort::showBox(request);
        return ShowMessageBox(nullptr, request) != 0;
    }
};

// A pane whose calls are never reached by a name that is refused before them.
struct UnusedOps : PaneFileOps {
    PaneSide side() const override { return PaneSide::Local; }
    QString joinPath(const PaneState&, const QString& name) const override { return name; }
    OpResult makeDirectory(const PaneState&, const QString&) override { return {1, {}}; }
    OpResult rename(const PaneState&, const FileEntry&, const QString&) override { return {}; }
    OpResult removeFile(const PaneState&, const FileEntry&) override { return {}; }
    OpResult removeFolder(const PaneState&, const FileEntry&) override { return {}; }
    TreeCount countFolder(const PaneState&, const FileEntry&) override { return {}; }
    TreeRemoval removeTree(const PaneState&, const FileEntry&) override { return {}; }
    void relist() override {}
};

struct DialogTest : ::testing::Test {
    AppState state;
    AppGlobals globals;
    DialogTest() {
        App();
        state.options.SaveWindows = 1;
    }
};

} // namespace

TEST_F(DialogTest, MakeDirectoryDialogShowsFolderAndSelectsTextOnRetry) {
    NameDialog dialog;
    NameRequest request;
    request.caption = u" Make Local Directory"_qs;
    request.folder = u"/home/user/projects"_qs;
    dialog.setRequest(request);
    dialog.show();
    EXPECT_EQ(dialog.windowTitle(), u" Make Local Directory"_qs);
    EXPECT_EQ(TextOf<QLabel>(&dialog, "101"), u"/home/user/projects"_qs);
    EXPECT_TRUE(dialog.edit()->text().isEmpty());
    Shot(&dialog, "/tmp/panes_make_directory.png");

    request.text = u"bad/name"_qs;
    request.retry = true;
    dialog.setRequest(request);
    EXPECT_EQ(dialog.edit()->selectedText(), u"bad/name"_qs);
    EXPECT_EQ(dialog.text(), u"bad/name"_qs);
    // The field holds at most 256 characters.
    dialog.edit()->setText(QString(300, u'x'));
    EXPECT_EQ(dialog.text().size(), 256);
}

TEST_F(DialogTest, RenameDialogShowsCurrentNameAndItsHelpTopic) {
    int topic = 0;
    NameDialog dialog(nullptr, [&](int t) { topic = t; });
    NameRequest request;
    request.kind = NameDialogKind::Rename;
    request.caption = u" Rename Local File"_qs;
    request.currentName = u"report 2026.txt"_qs;
    request.type = u".txt"_qs;
    dialog.setRequest(request);
    dialog.show();
    EXPECT_EQ(TextOf<QLabel>(&dialog, "101"), u"report 2026.txt"_qs);
    EXPECT_FALSE(dialog.findChild<QLabel*>(u"100"_qs)->pixmap().isNull());
    Shot(&dialog, "/tmp/panes_rename.png");
    Click(&dialog, "helpButton");
    EXPECT_EQ(topic, 542);
    EXPECT_TRUE(dialog.isVisible()); // Help keeps the dialog open
}

TEST_F(DialogTest, DeleteDialogOffersYesToAllOnlyForSeveralRows) {
    DeleteRequest request;
    request.caption = u" Delete Local Folder"_qs;
    request.question = u"Are you sure you want to delete this folder?"_qs;
    request.kindLabel = u"Folder"_qs;
    request.name = u"old stuff"_qs;
    request.isFolder = true;
    {
        DeleteConfirmDialog single(request);
        EXPECT_FALSE(single.findChild<QPushButton*>(u"yesToAllButton"_qs)->isEnabled());
        EXPECT_TRUE(single.findChild<QPushButton*>(u"yesButton"_qs)->isDefault());
        EXPECT_EQ(TextOf<QLabel>(&single, "103"), u"old stuff"_qs);
        EXPECT_EQ(TextOf<QLabel>(&single, "102"), u"Folder"_qs);
    }
    request.multiple = true;
    DeleteConfirmDialog several(request);
    several.show();
    EXPECT_TRUE(several.findChild<QPushButton*>(u"yesToAllButton"_qs)->isEnabled());
    Shot(&several, "/tmp/panes_delete.png");
    Click(&several, "yesToAllButton");
    EXPECT_EQ(several.answer(), DeleteAnswer::YesToAll);
}

TEST_F(DialogTest, PropertiesDialogShowsTheRowReadOnly) {
    PropertiesData data;
    data.name = u"archive.tar.gz"_qs;
    data.site = u"ftp.example.org"_qs;
    data.location = u"/pub/releases"_qs;
    data.type = u".gz"_qs;
    data.typeText = u"Gzip archive"_qs;
    data.sizeText = u"4.10 G (4402341478 Bytes)"_qs;
    data.created = u"Unknown"_qs;
    data.modified = u"Monday, 7 December 2026  23:15"_qs;
    data.accessed = u"Tuesday, 8 December 2026  09:02"_qs;
    data.attributes = kAttrReadOnly | kAttrArchive;
    PropertiesDialog dialog(data);
    dialog.show();
    EXPECT_EQ(dialog.windowTitle(), u" Properties"_qs);
    EXPECT_EQ(TextOf<QLineEdit>(&dialog, "102"), u"ftp.example.org"_qs);
    EXPECT_EQ(TextOf<QLineEdit>(&dialog, "105"), u"4.10 G (4402341478 Bytes)"_qs);
    EXPECT_EQ(TextOf<QLineEdit>(&dialog, "106"), u"Unknown"_qs);
    auto* readOnly = dialog.findChild<QCheckBox*>(u"109"_qs);
    auto* hidden = dialog.findChild<QCheckBox*>(u"110"_qs);
    auto* archive = dialog.findChild<QCheckBox*>(u"111"_qs);
    ASSERT_TRUE(readOnly && hidden && archive);
    EXPECT_TRUE(readOnly->isChecked());
    EXPECT_FALSE(hidden->isChecked());
    EXPECT_TRUE(archive->isChecked());
    EXPECT_FALSE(readOnly->isEnabled());
    EXPECT_TRUE(dialog.findChild<QLineEdit*>(u"101"_qs)->isReadOnly());
    EXPECT_EQ(dialog.findChild<QLineEdit*>(u"112"_qs), nullptr); // a local row: no Unix fields
    Shot(&dialog, "/tmp/panes_properties.png");

    // A remote row: the listing's permissions, owner and group; the rights only where listed.
    data.showAccess = true;
    data.permissions = u"rwxr-x--- (750)"_qs;
    data.owner = u"ann"_qs;
    data.group = u"Unknown"_qs;
    PropertiesDialog remote(data);
    remote.show();
    EXPECT_EQ(TextOf<QLineEdit>(&remote, "112"), u"rwxr-x--- (750)"_qs);
    EXPECT_EQ(TextOf<QLineEdit>(&remote, "113"), u"ann"_qs);
    EXPECT_EQ(TextOf<QLineEdit>(&remote, "114"), u"Unknown"_qs);
    EXPECT_EQ(remote.findChild<QLineEdit*>(u"115"_qs), nullptr);
    QAccessibleInterface* owner =
        QAccessible::queryAccessibleInterface(remote.findChild<QLineEdit*>(u"113"_qs));
    ASSERT_NE(owner, nullptr);
    EXPECT_EQ(owner->text(QAccessible::Name), u"Owner:"_qs);
    Shot(&remote, "/tmp/panes_properties_remote.png");
}

TEST_F(DialogTest, DeleteQuestionRemembersPositionOnlyForAnAnswer) {
    PaneDialogs dialogs(nullptr, state, globals);
    DeleteRequest request;
    request.caption = u" Delete Local File"_qs;
    request.name = u"a.txt"_qs;
    OnNextModal([](QWidget* d) { Click(d, "cancelButton"); });
    EXPECT_EQ(dialogs.askDelete(request), DeleteAnswer::Cancel);
    EXPECT_EQ(state.placement(Placement::DeleteFile), WindowPlacement{});
    OnNextModal([](QWidget* d) { Click(d, "noButton"); });
    EXPECT_EQ(dialogs.askDelete(request), DeleteAnswer::No);
    EXPECT_GT(state.placement(Placement::DeleteFile).Width, 0);
}

TEST_F(DialogTest, NameLoopReusesTheDialogAndRemembersOnSuccess) {
    PaneDialogs dialogs(nullptr, state, globals);
    NameRequest request;
    request.caption = u" Make Local Directory"_qs;
    OnNextModal([](QWidget* d) {
        d->findChild<QLineEdit*>(u"102"_qs)->setText(u"a|b"_qs);
        Click(d, "okButton");
    });
    EXPECT_EQ(dialogs.askName(request), std::optional<QString>(u"a|b"_qs));
    NameDialog* first = dialogs.nameDialog();
    ASSERT_NE(first, nullptr);
    request.text = u"a|b"_qs;
    request.retry = true;
    OnNextModal([](QWidget* d) {
        EXPECT_EQ(d->findChild<QLineEdit*>(u"102"_qs)->selectedText(), u"a|b"_qs);
        Click(d, "cancelButton");
    });
    EXPECT_EQ(dialogs.askName(request), std::nullopt);
    EXPECT_EQ(dialogs.nameDialog(), first);
    dialogs.endNameDialog(NameDialogKind::MakeDirectory, false);
    EXPECT_EQ(dialogs.nameDialog(), nullptr);
    EXPECT_EQ(state.placement(Placement::MakeDirectory), WindowPlacement{});

    request.retry = false;
    OnNextModal([](QWidget* d) {
        d->findChild<QLineEdit*>(u"102"_qs)->setText(u"fine"_qs);
        Click(d, "okButton");
    });
    EXPECT_EQ(dialogs.askName(request), std::optional<QString>(u"fine"_qs));
    dialogs.endNameDialog(NameDialogKind::MakeDirectory, true);
    EXPECT_GT(state.placement(Placement::MakeDirectory).Width, 0);
}

TEST_F(DialogTest, TheNameDialogStaysShownBehindItsMessage) {
    BoxPort port;
    globals.soundsWithDialogs = false;
    Messages messages(port, state, globals);
    PaneDialogs dialogs(nullptr, state, globals);
    UnusedOps ops;
    const PaneContext context{state, messages, dialogs};
    const auto asking = [&] { return dialogs.nameDialog() && dialogs.nameDialog()->isAsking(); };
    bool shownBehindBox = false;
    QStringList accessibleNames;
    When(asking, [&] {
        NameDialog* dialog = dialogs.nameDialog();
        for (const char* name : {"101", "102", "okButton", "cancelButton", "helpButton"})
            accessibleNames
                << dialog->findChild<QWidget*>(QString::fromLatin1(name))->accessibleName();
        dialog->edit()->setText(u"a|b"_qs);
        Click(dialog, "okButton");
        When([] { return qobject_cast<MessageBoxDialog*>(QApplication::activeModalWidget()); },
             [&] {
                 shownBehindBox = dialogs.nameDialog() && dialogs.nameDialog()->isVisible();
                 Shot(QApplication::activeModalWidget(), "/tmp/panes_name_error.png");
                 qobject_cast<MessageBoxDialog*>(QApplication::activeModalWidget())
                     ->firstButton()
                     ->click();
                 When(asking, [&] { Click(dialogs.nameDialog(), "cancelButton"); });
             });
    });
    state.local.path = u"/srv/data"_qs;
    EXPECT_FALSE(MakeDirectory(context, ops));
    EXPECT_TRUE(shownBehindBox);
    EXPECT_EQ(dialogs.nameDialog(), nullptr); // closed when the loop ended
    ASSERT_EQ(port.boxes().size(), 1u);
    EXPECT_EQ(accessibleNames, (QStringList{u"/srv/data"_qs, u"New Directory"_qs, u"OK"_qs,
                                            u"Cancel"_qs, u"Help"_qs}));
}

TEST(FileDialogs, FilterTextBecomesNameFilters) {
    EXPECT_EQ(NameFiltersFromText(
                  u"Application Files|*.exe;*.com;*.bat;*.lnk|Text Files|*.txt|All Files|*.*|"_qs),
              (QStringList{u"Application Files (*.exe *.com *.bat *.lnk)"_qs,
                           u"Text Files (*.txt)"_qs, u"All Files (*.*)"_qs}));
    // Any last character is the separator.
    EXPECT_EQ(NameFiltersFromText(u"Exports#*.twx#"_qs), QStringList{u"Exports (*.twx)"_qs});
    EXPECT_TRUE(NameFiltersFromText(QString()).isEmpty());
}

TEST(FileDialogs, OpenInTheFolderOfThePath) {
    EXPECT_EQ(DialogFolderOf(u"/home/u/file.twx"_qs), u"/home/u"_qs);
    EXPECT_EQ(DialogFolderOf(u"/file.twx"_qs), u"/"_qs);
    EXPECT_EQ(DialogFolderOf(u"file.twx"_qs), QString());
}

TEST(FileDialogs, UnknownFilterIdGivesNoDialog) {
    App();
    QString path = u"/tmp/x"_qs;
    EXPECT_FALSE(OpenFileDialog(nullptr, path, 59998, 0));
    EXPECT_FALSE(SaveFileDialog(nullptr, path, 59998, 0, 0));
    EXPECT_EQ(path, u"/tmp/x"_qs);
}
