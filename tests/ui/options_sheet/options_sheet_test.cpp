#include "../dialogs/widget_test_support.h"
#include "core/settings/settings.h"
#include "core/settings/settings_store.h"
#include "core/text/messages.h"
#include "core/text/string_table.h"
#include "support/recording_port.h"
#include "ui/dialogs/message_box_dialog.h"
#include "ui/options/edit_file_type_dialog.h"
#include "ui/options/flags_page.h"
#include "ui/options/options_sheet_dialog.h"
#include "ui/options/passwords_page.h"
#include "ui/options/run_options_sheet.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace tw;
using tw::test::RecordingPort;
using tw::ui::FlagsPage;
using tw::ui::OptionsSheetDialog;

namespace {

QString text(int id, FmtArgs args = {}) {
    return FormatText(LookupString(id).value_or(QString()), args, kMessageLimit);
}

QPushButton* button(QWidget* dialog, QDialogButtonBox::StandardButton which) {
    auto* box = dialog->findChild<QDialogButtonBox*>();
    return box ? box->button(which) : nullptr;
}

// The program's folders point into a temporary home, so no test touches the user's desktop.
class OptionsSheetTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(home.isValid());
        qputenv("HOME", QFile::encodeName(home.path()));
        qputenv("XDG_DATA_HOME", QFile::encodeName(home.filePath(u"data"_qs)));
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.filePath(u"config"_qs)));
        state.options.SaveWindows = 0;
        state.FileTypes = {{u".html"_qs, u"firefox"_qs}, {u".txt"_qs, u"xdg-open"_qs}};
        state.DefaultEditor = u"xdg-open"_qs;
    }
    void TearDown() override { ui::MessageBoxTestHook::clear(); }

    QTemporaryDir home;
    AppState state;
    AppGlobals globals;
    RecordingPort port;
    Messages messages{port, state, globals};
};

} // namespace

TEST_F(OptionsSheetTest, StartPagesStatusTextsAndHelpTopics) {
    struct Case {
        int start;
        int page;
        int status;
        int topic;
    };
    const Case cases[] = {{0, 0, 133, 100}, {3, 3, 440, 106}, {5, 5, 478, 110}, {6, 6, 134, 200},
                          {7, 7, 999, 800}, {9, 0, 133, 100}, {-1, 0, 133, 100}};
    const QStringList titles = {u"General"_qs, u"Transfer"_qs,  u"File Types"_qs, u"Sorting"_qs,
                                u"Sounds"_qs,  u"Passwords"_qs, u"Desktop"_qs,    u"Version"_qs};
    for (const Case& c : cases) {
        OptionsSheet sheet(state, messages);
        int topic = 0;
        OptionsSheetDialog dialog(sheet, messages, state, OptionsSheet::startPage(c.start),
                                  [&](int t) { topic = t; });
        EXPECT_EQ(dialog.windowTitle(), u"Tarnwick 2000 Properties"_qs);
        EXPECT_FALSE(dialog.windowIcon().isNull());
        ASSERT_EQ(dialog.tabs()->count(), kOptionsPageCount);
        for (int i = 0; i < kOptionsPageCount; ++i)
            EXPECT_EQ(dialog.tabs()->tabText(i), titles[i]);
        EXPECT_EQ(button(&dialog, QDialogButtonBox::Apply), nullptr);
        EXPECT_EQ(dialog.tabs()->currentIndex(), c.page) << c.start;
        EXPECT_EQ(port.status(), text(c.status)) << c.start;
        button(&dialog, QDialogButtonBox::Help)->click();
        EXPECT_EQ(topic, c.topic) << c.start;
    }
}

// Edits on three pages, OK: the options are in effect and in the settings file; then the same
// edits cancelled change nothing.
TEST_F(OptionsSheetTest, OkTakesOverAndSavesWhatThePagesEditCancelDropsIt) {
    SettingsStore store(home.filePath(u"settings.ini"_qs));
    state.options.Confirm = 1;
    state.options.Lowercase = 0;
    state.options.BlockSize = 2;
    state.options.FoldersLast = 0;
    const auto edit = [](QWidget* modal, bool ok) {
        auto* dialog = qobject_cast<OptionsSheetDialog*>(modal);
        ASSERT_NE(dialog, nullptr);
        auto* general = static_cast<FlagsPage*>(dialog->page(OptionsPage::General));
        general->check(130)->setChecked(false);
        ASSERT_TRUE(dialog->switchTo(OptionsPage::Transfer));
        auto* transfer = static_cast<FlagsPage*>(dialog->page(OptionsPage::Transfer));
        ASSERT_EQ(transfer->blockSizes()->count(), 6);
        EXPECT_EQ(transfer->blockSizes()->itemText(5), u"4096"_qs);
        EXPECT_EQ(transfer->blockSizes()->currentText(), u"512"_qs);
        transfer->blockSizes()->setCurrentIndex(4);
        transfer->check(106)->setChecked(true);
        ASSERT_TRUE(dialog->switchTo(OptionsPage::Sorting));
        static_cast<FlagsPage*>(dialog->page(OptionsPage::Sorting))->check(103)->setChecked(true);
        button(dialog, ok ? QDialogButtonBox::Ok : QDialogButtonBox::Cancel)->click();
    };
    const OptionsEffects effects = ui::SharedOptionsEffects(store, globals, messages);

    {
        tw::test::ModalWatcher watcher([&](QWidget* modal) { edit(modal, false); });
        EXPECT_FALSE(ui::RunOptionsSheet(nullptr, state, globals, messages, 0, effects, {}));
        EXPECT_TRUE(watcher.fired());
    }
    EXPECT_EQ(state.options.Confirm, 1u);
    EXPECT_EQ(state.options.BlockSize, 2u);
    EXPECT_FALSE(QFile::exists(store.fileName()));

    {
        tw::test::ModalWatcher watcher([&](QWidget* modal) { edit(modal, true); });
        EXPECT_TRUE(ui::RunOptionsSheet(nullptr, state, globals, messages, 0, effects, {}));
        EXPECT_TRUE(watcher.fired());
    }
    EXPECT_EQ(state.options.Confirm, 0u);
    EXPECT_EQ(state.options.BlockSize, 4u);
    EXPECT_EQ(state.options.Lowercase, 1u);
    EXPECT_EQ(state.options.FoldersLast, 1u);
    EXPECT_EQ(port.status(), text(60066)); // "Options saved"

    SettingsStore reread(home.filePath(u"settings.ini"_qs));
    AppState loaded;
    AppGlobals loadedGlobals;
    LoadSettings(reread, loaded, loadedGlobals);
    EXPECT_EQ(loaded.options, state.options);
    EXPECT_EQ(loaded.FileTypes, state.FileTypes);
}

// The Passwords page: nothing chosen shows the keyring and stays unchosen through OK; a choice
// survives OK into the settings file, Cancel drops it; Change Master Password is there only
// with a way to change it, enabled while the master password is the choice.
TEST_F(OptionsSheetTest, PasswordsPageChoiceSurvivesOkAndCancelDropsIt) {
    using ui::PasswordsPage;
    SettingsStore store(home.filePath(u"settings.ini"_qs));
    OptionsEffects effects = ui::SharedOptionsEffects(store, globals, messages);
    const auto run = [&](const std::function<void(OptionsSheetDialog&, PasswordsPage&)>& edit,
                         bool ok) {
        tw::test::ModalWatcher watcher([&](QWidget* modal) {
            auto* dialog = qobject_cast<OptionsSheetDialog*>(modal);
            ASSERT_NE(dialog, nullptr);
            EXPECT_EQ(dialog->tabs()->currentIndex(), int(OptionsPage::Passwords));
            auto* page = static_cast<PasswordsPage*>(dialog->page(OptionsPage::Passwords));
            edit(*dialog, *page);
            button(dialog, ok ? QDialogButtonBox::Ok : QDialogButtonBox::Cancel)->click();
        });
        const bool accepted = ui::RunOptionsSheet(nullptr, state, globals, messages,
                                                  int(OptionsPage::Passwords), effects, {});
        EXPECT_TRUE(watcher.fired());
        return accepted;
    };
    const auto choice = [](PasswordsPage& page, PasswordStoreChoice c) {
        return page.choiceButton(c);
    };

    state.options.PasswordStore = 0;
    EXPECT_TRUE(run(
        [&](OptionsSheetDialog&, PasswordsPage& page) {
            EXPECT_TRUE(choice(page, PasswordStoreChoice::Keyring)->isChecked());
            EXPECT_FALSE(page.changeMasterPasswordButton()->isVisibleTo(&page));
            const std::pair<PasswordStoreChoice, QString> names[] = {
                {PasswordStoreChoice::Keyring, u"Keep saved passwords in the desktop keyring"_qs},
                {PasswordStoreChoice::MasterPassword,
                 u"Keep saved passwords in a file protected by a master password"_qs},
                {PasswordStoreChoice::DoNotSave,
                 u"Do not save passwords (ask at each connect)"_qs}};
            for (const auto& [c, name] : names)
                EXPECT_EQ(choice(page, c)->accessibleName(), name);
        },
        true));
    EXPECT_EQ(state.options.PasswordStore, 0u);

    int changes = 0;
    effects.changeMasterPassword = [&] { ++changes; };
    EXPECT_TRUE(run(
        [&](OptionsSheetDialog& dialog, PasswordsPage& page) {
            QPushButton* change = page.changeMasterPasswordButton();
            EXPECT_TRUE(change->isVisibleTo(&page));
            EXPECT_EQ(change->accessibleName(), u"Change Master Password..."_qs);
            EXPECT_FALSE(change->isEnabled());
            choice(page, PasswordStoreChoice::MasterPassword)->click();
            EXPECT_TRUE(change->isEnabled());
            change->click();
            // Leaving the page and coming back shows the choice made.
            ASSERT_TRUE(dialog.switchTo(OptionsPage::General));
            ASSERT_TRUE(dialog.switchTo(OptionsPage::Passwords));
            EXPECT_TRUE(choice(page, PasswordStoreChoice::MasterPassword)->isChecked());
            EXPECT_TRUE(change->isEnabled());
        },
        true));
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(state.options.PasswordStore, 2u);

    EXPECT_FALSE(run(
        [&](OptionsSheetDialog&, PasswordsPage& page) {
            EXPECT_TRUE(choice(page, PasswordStoreChoice::MasterPassword)->isChecked());
            choice(page, PasswordStoreChoice::DoNotSave)->click();
            EXPECT_FALSE(page.changeMasterPasswordButton()->isEnabled());
        },
        false));
    EXPECT_EQ(state.options.PasswordStore, 2u);

    SettingsStore reread(store.fileName());
    AppState loaded;
    AppGlobals loadedGlobals;
    LoadSettings(reread, loaded, loadedGlobals);
    EXPECT_EQ(loaded.options.PasswordStore, 2u);
}

// A page that refuses keeps the sheet on it, on a change of page and on OK alike.
TEST_F(OptionsSheetTest, ARefusingPageKeepsTheSheetOnIt) {
    state.options.AlertLevel = 2;
    for (SoundSetting& s : state.sounds)
        s = {1, u"/usr/share/sounds/alsa/Front_Center.wav"_qs};
    state.sounds[3].WaveFile.clear(); // Transfer Failure
    OptionsSheet sheet(state, messages);
    OptionsSheetDialog dialog(sheet, messages, state, OptionsPage::Sounds, {});
    dialog.show();
    dialog.activateWindow();
    QApplication::processEvents();

    EXPECT_FALSE(dialog.switchTo(OptionsPage::General));
    EXPECT_EQ(dialog.tabs()->currentIndex(), int(OptionsPage::Sounds));
    ASSERT_EQ(port.boxes().size(), 1u);
    EXPECT_EQ(port.boxes()[0].caption, text(3500));
    EXPECT_EQ(port.boxes()[0].text, text(3501, {u"Transfer Failure"_qs}));
    // The missing file's edit has the focus, on the page still shown.
    auto* focused = qobject_cast<QLineEdit*>(QApplication::focusWidget());
    ASSERT_NE(focused, nullptr);
    EXPECT_TRUE(focused->text().isEmpty());
    EXPECT_TRUE(dialog.page(OptionsPage::Sounds)->isAncestorOf(focused));
    EXPECT_TRUE(focused->isVisible());

    EXPECT_FALSE(dialog.tryAccept());
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(port.boxes().size(), 2u);

    focused->setText(u"/tmp/fail.wav"_qs);
    EXPECT_TRUE(dialog.switchTo(OptionsPage::General));
    EXPECT_EQ(sheet.state().sounds[3].WaveFile, u"/tmp/fail.wav"_qs);
    EXPECT_TRUE(dialog.tryAccept());
}

// Every page rendered, for a person to look at (TW_SCREENSHOT_DIR).
TEST_F(OptionsSheetTest, EveryPageRenders) {
    state.options.PasswordStore = 2;
    OptionsSheet sheet(state, messages);
    sheet.setChangeMasterPassword([] {}); // the Passwords page with all its controls
    OptionsSheetDialog dialog(sheet, messages, state, OptionsPage::General, {});
    dialog.show();
    const QByteArray dir = qgetenv("TW_SCREENSHOT_DIR");
    for (int i = 0; i < kOptionsPageCount; ++i) {
        ASSERT_TRUE(dialog.switchTo(static_cast<OptionsPage>(i)));
        QApplication::processEvents();
        const QPixmap picture = dialog.grab();
        EXPECT_FALSE(picture.isNull());
        if (!dir.isEmpty())
            picture.save(QDir(QString::fromLocal8Bit(dir))
                             .filePath(QStringLiteral("options_sheet_%1.png").arg(i)));
    }
}

// The Edit File Type dialog keeps a refused record open with the field selected, then takes
// the corrected one; the extension is lower case as typed.
TEST_F(OptionsSheetTest, EditFileTypeRefusesUntilTheRecordIsValid) {
    ui::EditFileTypeDialog dialog(messages, {u"."_qs, QString()}, false, {});
    EXPECT_EQ(dialog.windowTitle(), text(3202));
    dialog.show();
    dialog.activateWindow();
    QApplication::processEvents();
    dialog.typeEdit()->setText(u"TXT"_qs);
    EXPECT_EQ(dialog.typeEdit()->text(), u"txt"_qs);
    dialog.accept();
    EXPECT_TRUE(dialog.isVisible());
    ASSERT_EQ(port.boxes().size(), 1u);
    EXPECT_EQ(port.boxes()[0].text, text(3205));
    EXPECT_EQ(QApplication::focusWidget(), dialog.typeEdit());
    dialog.typeEdit()->setText(u".txt"_qs);
    dialog.accept();
    ASSERT_EQ(port.boxes().size(), 2u);
    EXPECT_EQ(port.boxes()[1].text, text(3206));
    EXPECT_EQ(QApplication::focusWidget(), dialog.programEdit());
    dialog.programEdit()->setText(u"gedit"_qs);
    const QByteArray dir = qgetenv("TW_SCREENSHOT_DIR");
    if (!dir.isEmpty())
        dialog.grab().save(QDir(QString::fromLocal8Bit(dir)).filePath(u"edit_file_type.png"_qs));
    dialog.accept();
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.record(), (FileTypeAssociation{u".txt"_qs, u"gedit"_qs}));
}
