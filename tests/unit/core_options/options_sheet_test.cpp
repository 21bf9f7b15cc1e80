#include "core/options/options_sheet.h"
#include "core/settings/settings.h"
#include "core/settings/settings_store.h"
#include "core/text/messages.h"
#include "core/text/string_table.h"
#include "support/recording_port.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace tw;
using tw::test::RecordingPort;

namespace {

QString text(int id, FmtArgs args = {}) {
    return FormatText(LookupString(id).value_or(QString()), args, kMessageLimit);
}

std::vector<FileTypeAssociation> rows(int n) {
    std::vector<FileTypeAssociation> r;
    for (int i = 0; i < n; ++i)
        r.push_back({u".e%1"_qs.arg(i), u"prog%1"_qs.arg(i)});
    return r;
}

class SheetFlow : public ::testing::Test {
protected:
    void SetUp() override {
        state.FileTypes = {{u".txt"_qs, u"mousepad"_qs}, {u".png"_qs, u"ristretto"_qs}};
        state.DefaultEditor = u"xdg-open"_qs;
    }

    AppState state;
    AppGlobals globals;
    RecordingPort port;
    Messages messages{port, state, globals};
};

} // namespace

TEST_F(SheetFlow, EachFlagPageStoresOneBoxIntoItsOwnOptionOnlyAndReadsItBack) {
    struct Expected {
        OptionsPage page;
        std::vector<std::pair<int, std::uint32_t tw::Options::*>> boxes;
    };
    using O = tw::Options;
    const Expected pages[] = {
        {OptionsPage::General,
         {{110, &O::TaskTray},
          {120, &O::Minimize},
          {130, &O::Confirm},
          {140, &O::Frequency},
          {150, &O::Tips},
          {160, &O::FlatStyle},
          {170, &O::SaveWindows},
          {200, &O::Sounds},
          {210, &O::UseTrash}}},
        {OptionsPage::Transfer,
         {{101, &O::Refresh},
          {104, &O::Progress},
          {102, &O::Timestamp},
          {105, &O::Prompt},
          {106, &O::Lowercase},
          {103, &O::LogTransfers},
          {108, &O::KeepFileDates},
          {110, &O::AcceptUnconfirmedTlsEnd}}},
        {OptionsPage::Sorting,
         {{104, &O::DrivesLast},
          {103, &O::FoldersLast},
          {101, &O::OldestFirst},
          {102, &O::LargestFirst}}},
    };
    // Every option the three pages edit starts off, in the live state as in the copy.
    for (const Expected& p : pages)
        for (const auto& [id, field] : p.boxes)
            state.options.*field = 0;
    const tw::Options live = state.options;

    for (const Expected& p : pages) {
        const std::span<const OptionCheck> checks = OptionChecks(p.page);
        ASSERT_EQ(checks.size(), p.boxes.size());
        for (std::size_t i = 0; i < checks.size(); ++i) {
            SCOPED_TRACE(checks[i].controlId);
            EXPECT_EQ(checks[i].controlId, p.boxes[i].first);
            EXPECT_EQ(checks[i].field, p.boxes[i].second);
            EXPECT_EQ(QString::fromUtf16(checks[i].text).count(u'&'), 1);

            OptionsSheet sheet(state, messages);
            std::vector<bool> checked(checks.size(), false);
            checked[i] = true;
            sheet.storeFlags(p.page, checked);
            EXPECT_EQ(sheet.flags(p.page), checked);
            // Exactly this one option changed, on the copy only.
            tw::Options expected = live;
            expected.*p.boxes[i].second = 1;
            EXPECT_EQ(sheet.state().options, expected);
            EXPECT_EQ(state.options, live);
        }
    }
    EXPECT_EQ(QString::fromUtf16(OptionChecks(OptionsPage::General)[5].text),
              u"&Use Flat Toolbar Style"_qs);
    for (OptionsPage other : {OptionsPage::FileTypes, OptionsPage::Sounds, OptionsPage::Passwords,
                              OptionsPage::Setup, OptionsPage::Version})
        EXPECT_TRUE(OptionChecks(other).empty());

    // The block size: a stored index out of range shows 512; an index out of range is ignored.
    state.options.BlockSize = 9;
    OptionsSheet sheet(state, messages);
    EXPECT_EQ(sheet.blockSizeIndex(), 2);
    sheet.storeBlockSizeIndex(6);
    sheet.storeBlockSizeIndex(-1);
    EXPECT_EQ(sheet.state().options.BlockSize, 9u);
    sheet.storeBlockSizeIndex(5);
    EXPECT_EQ(sheet.blockSizeIndex(), 5);
    EXPECT_EQ(kBlockSizes[std::size_t(sheet.blockSizeIndex())], 4096);
}

TEST_F(SheetFlow, PagesHaveTheirStartHelpStatusCaptionAndPosition) {
    struct Case {
        int index;
        OptionsPage page;
        int help;
        int status;
    };
    const Case cases[] = {
        {0, OptionsPage::General, 100, 133},   {1, OptionsPage::Transfer, 102, 452},
        {2, OptionsPage::FileTypes, 104, 487}, {3, OptionsPage::Sorting, 106, 440},
        {4, OptionsPage::Sounds, 108, 476},    {5, OptionsPage::Passwords, 110, 478},
        {6, OptionsPage::Setup, 200, 134},     {7, OptionsPage::Version, 800, 999},
    };
    OptionsSheet sheet(state, messages);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.index);
        EXPECT_EQ(OptionsSheet::startPage(c.index), c.page);
        EXPECT_EQ(OptionsSheet::helpTopic(c.page), c.help);
        sheet.showPageStatus(c.page);
        EXPECT_EQ(port.status(), text(c.status));
    }
    for (int index : {kOptionsPageCount, 9, -1})
        EXPECT_EQ(OptionsSheet::startPage(index), OptionsPage::General);
    EXPECT_EQ(sheet.caption(), u"Tarnwick 2000 Properties"_qs);

    // Centred without SaveWindows; else the remembered corner, kept 70 pixels inside.
    const QRect screen(0, 0, 1024, 768);
    state.options.SaveWindows = 0;
    EXPECT_EQ(OptionsSheet(state, messages).position(screen), std::nullopt);
    state.options.SaveWindows = 1;
    state.placement(Placement::Options) = {900, 2000, 375, 500, 1};
    state.placement(Placement::Accounts) = {5, 5, 5, 5, 1};
    OptionsSheet placed(state, messages);
    EXPECT_EQ(placed.position(screen), QPoint(954, 698));
    placed.rememberPosition(QRect(40, 30, 520, 390));
    EXPECT_EQ(placed.position(screen), QPoint(40, 30));
    EXPECT_EQ(placed.state().placement(Placement::Options), (WindowPlacement{30, 40, 390, 520, 1}));
    EXPECT_EQ(state.placement(Placement::Options).Left, 2000);
}

TEST(OptionsSounds, EnablingFollowsTheLevelAndEachKindsBox) {
    const std::array<bool, kAlertKindCount> active{true, false, true, true, false};
    struct Case {
        int level;
        bool checks;
        std::array<bool, kAlertKindCount> wave;
    };
    const Case cases[] = {
        {0, false, {false, false, false, false, false}},
        {1, true, {false, false, false, false, false}},
        {2, true, {true, false, true, true, false}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.level);
        const SoundsEnabling e = ComputeSoundsEnabling(c.level, active);
        EXPECT_EQ(e.check, (std::array<bool, kAlertKindCount>{c.checks, c.checks, c.checks,
                                                              c.checks, c.checks}));
        EXPECT_EQ(e.wave, c.wave);
    }
    EXPECT_EQ(AlertKindName(int(AlertKind::ConnectionSuccess)), u"Connection Success"_qs);
    EXPECT_EQ(AlertKindName(int(AlertKind::FtpErrors)), u"FTP Errors"_qs);
}

TEST_F(SheetFlow, MissingWaveFileStopsAtTheFirstActiveKindAndLaterKindsKeepTheirValues) {
    state.options.AlertLevel = 7; // out of range in the state: shown as Simple Beeps
    for (std::size_t k = 0; k < std::size_t(kAlertKindCount); ++k)
        state.sounds[k] = {1, u"/old/%1.wav"_qs.arg(k)};
    OptionsSheet sheet(state, messages);
    SoundsFields shown = sheet.soundsFields();
    EXPECT_EQ(shown.level, 1);

    // Simple Beeps: empty files are no fault.
    shown.waveFiles = {};
    EXPECT_EQ(sheet.storeSounds(shown), std::nullopt);
    EXPECT_TRUE(port.boxes().empty());

    // Play Wave Files: Connection Failure is off, so Transfer Failure is the first to fail.
    shown.level = 2;
    shown.active = {true, false, true, true, true};
    shown.waveFiles = {u"/a.wav"_qs, QString(), QString(300, u'w'), QString(), u"/new.wav"_qs};
    state.sounds[4] = {0, u"/old/4.wav"_qs}; // the live state is not what the copy keeps
    EXPECT_EQ(sheet.storeSounds(shown), int(AlertKind::TransferFailure));
    ASSERT_EQ(port.boxes().size(), 1u);
    EXPECT_EQ(port.boxes()[0].caption, text(3500));
    EXPECT_EQ(port.boxes()[0].text, text(3501, {u"Transfer Failure"_qs}));
    EXPECT_TRUE(port.boxes()[0].text.contains(u"Transfer Failure Status Alerts"_qs));

    const AppState& copy = sheet.state();
    EXPECT_EQ(copy.options.AlertLevel, 2u);
    EXPECT_EQ(copy.sounds[0], (SoundSetting{1, u"/a.wav"_qs}));
    EXPECT_EQ(copy.sounds[1], (SoundSetting{0, QString()}));
    EXPECT_EQ(copy.sounds[2].WaveFile, QString(255, u'w'));
    EXPECT_EQ(copy.sounds[3], (SoundSetting{1, QString()}));
    // Not stored: it keeps what the copy had (the Simple Beeps store above emptied it).
    EXPECT_EQ(copy.sounds[4], (SoundSetting{1, QString()}));
    EXPECT_EQ(sheet.soundsFields().level, 2);

    // The page's own controls: level and box at once, the file before browsing.
    sheet.storeAlertLevel(3);
    EXPECT_EQ(sheet.state().options.AlertLevel, 2u);
    sheet.storeAlertLevel(0);
    EXPECT_EQ(sheet.state().options.AlertLevel, 0u);
    EXPECT_FALSE(sheet.toggleSoundActive(0));
    EXPECT_TRUE(sheet.toggleSoundActive(0));
    EXPECT_FALSE(sheet.toggleSoundActive(kAlertKindCount));
    sheet.storeWaveFile(3, u"/typed.wav"_qs);
    EXPECT_EQ(sheet.soundsFields().waveFiles[3], u"/typed.wav"_qs);
    EXPECT_EQ(state.sounds[3].WaveFile, u"/old/3.wav"_qs);
}

TEST_F(SheetFlow, FileTypeButtonsAddAndRemoveFollowTheTableAndTheSelection) {
    OptionsSheet sheet(state, messages);
    EXPECT_EQ(sheet.cloneOf(1), (FileTypeAssociation{u"."_qs, u"ristretto"_qs}));
    EXPECT_EQ(sheet.cloneOf(2), std::nullopt);
    EXPECT_EQ(OptionsSheet::newFileType(), (FileTypeAssociation{u"."_qs, QString()}));

    FileTypeButtons b = sheet.fileTypeButtons(-1);
    EXPECT_TRUE(b.add && b.sort);
    EXPECT_FALSE(b.modify || b.remove || b.clone);
    b = sheet.fileTypeButtons(1);
    EXPECT_TRUE(b.add && b.modify && b.remove && b.clone && b.sort);

    // Up to 256 rows: Add and Clone go off; overlong texts are cut.
    EXPECT_EQ(sheet.appendFileType({u".abcdefghijklmnopq"_qs, QString(300, u'p')}), 2);
    EXPECT_EQ(sheet.fileTypes()[2].Ext, u".abcdefghijklmn"_qs);
    EXPECT_EQ(sheet.fileTypes()[2].Cmd.size(), kCmdLimit);
    while (sheet.fileTypes().size() < std::size_t(kMaxFileTypes))
        ASSERT_TRUE(sheet.appendFileType({u".x"_qs, u"x"_qs}));
    EXPECT_EQ(sheet.appendFileType({u".y"_qs, u"y"_qs}), std::nullopt);
    b = sheet.fileTypeButtons(0);
    EXPECT_FALSE(b.add || b.clone);
    EXPECT_TRUE(b.modify && b.remove && b.sort);

    // Remove asks with Yes as default, naming the row; No changes nothing.
    port.answerBoxes({false});
    EXPECT_EQ(sheet.removeFileType(0), std::nullopt);
    ASSERT_EQ(port.boxes().size(), 1u);
    EXPECT_EQ(port.boxes()[0].caption, text(3203));
    EXPECT_EQ(port.boxes()[0].text, text(3204, {u".txt"_qs, u"mousepad"_qs}));
    EXPECT_TRUE(port.boxes()[0].defaultYes);
    EXPECT_EQ(sheet.fileTypes().size(), std::size_t(kMaxFileTypes));

    // Yes on the first row keeps the selection there and makes room again.
    EXPECT_EQ(sheet.removeFileType(0), 0);
    EXPECT_EQ(sheet.fileTypes()[0].Ext, u".png"_qs);
    b = sheet.fileTypeButtons(0);
    EXPECT_TRUE(b.add && b.clone);

    // The last row: the one before it is selected; the only row: none.
    const int last = int(sheet.fileTypes().size()) - 1;
    EXPECT_EQ(sheet.removeFileType(last), last - 1);
    EXPECT_EQ(sheet.removeFileType(int(sheet.fileTypes().size())), std::nullopt);
    sheet.replaceFileType(0, {u".c"_qs, u"geany"_qs});
    EXPECT_EQ(sheet.fileTypes()[0], (FileTypeAssociation{u".c"_qs, u"geany"_qs}));
    EXPECT_EQ(state.FileTypes.size(), 2u); // all of it on the copy

    state.FileTypes = {{u".c"_qs, u"geany"_qs}};
    OptionsSheet single(state, messages);
    EXPECT_FALSE(single.fileTypeButtons(0).sort);
    EXPECT_EQ(single.removeFileType(0), -1);
    EXPECT_TRUE(single.fileTypes().empty());
    b = single.fileTypeButtons(0);
    EXPECT_FALSE(b.modify || b.remove || b.clone || b.sort);
}

TEST_F(SheetFlow, SortIgnoresCaseKeepsEqualRowsInOrderUnderTheHourglass) {
    state.FileTypes = {{u".txt"_qs, u"1"_qs},
                       {u".HTM"_qs, u"2"_qs},
                       {u".Bmp"_qs, u"3"_qs},
                       {u".htm"_qs, u"4"_qs},
                       {u".c"_qs, u"5"_qs}};
    OptionsSheet sheet(state, messages);
    sheet.sortFileTypes();
    QStringList order;
    for (const FileTypeAssociation& t : sheet.fileTypes())
        order << t.Ext + t.Cmd;
    EXPECT_EQ(order, (QStringList{u".Bmp3"_qs, u".c5"_qs, u".HTM2"_qs, u".htm4"_qs, u".txt1"_qs}));
    EXPECT_EQ(port.events(), (QStringList{u"cursor: wait on"_qs, u"cursor: wait off"_qs}));
}

TEST_F(SheetFlow, DefaultEditorIsRequired) {
    OptionsSheet sheet(state, messages);
    EXPECT_FALSE(sheet.storeFileTypes(QString()));
    ASSERT_EQ(port.boxes().size(), 1u);
    EXPECT_EQ(port.boxes()[0].caption, text(3201));
    EXPECT_EQ(port.boxes()[0].text, text(3207));
    EXPECT_TRUE(port.boxes()[0].text.contains(u"the file browser"_qs));
    EXPECT_TRUE(sheet.storeFileTypes(QString(300, u'e')));
    EXPECT_EQ(sheet.defaultEditor(), QString(255, u'e'));
    EXPECT_EQ(port.boxes().size(), 1u);
}

TEST_F(SheetFlow, EditFileTypeRefusesBadExtensionsThenAnEmptyProgram) {
    struct Case {
        QString ext;
        QString cmd;
        bool modify;
        std::optional<FileTypeField> field;
        int message;
    };
    const Case cases[] = {
        {u"txt"_qs, u"p"_qs, true, FileTypeField::Ext, 3205},
        {u"."_qs, u"p"_qs, false, FileTypeField::Ext, 3205},
        {QString(), QString(), true, FileTypeField::Ext, 3205},
        {u"t.xt"_qs, u"p"_qs, false, FileTypeField::Ext, 3205},
        {u".txt"_qs, QString(), false, FileTypeField::Cmd, 3206},
        {u".TXT"_qs, u"mousepad"_qs, true, std::nullopt, 0},
        {u".a"_qs, u"p"_qs, false, std::nullopt, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.ext.toStdString());
        port.clear();
        EXPECT_EQ(ValidateFileType(messages, c.modify, {c.ext, c.cmd}), c.field);
        if (!c.message) {
            EXPECT_TRUE(port.boxes().empty());
            continue;
        }
        ASSERT_EQ(port.boxes().size(), 1u);
        EXPECT_EQ(port.boxes()[0].caption, text(c.modify ? 3201 : 3202));
        EXPECT_EQ(port.boxes()[0].caption, EditFileTypeTitle(messages, c.modify));
        EXPECT_EQ(port.boxes()[0].text, text(c.message));
    }
}

TEST_F(SheetFlow, SetupBoxesFollowTheEntriesThatExistAndTheRequests) {
    state.setup = {1, 1, 1, 1, 0, 0};
    OptionsSheet sheet(state, messages);
    const auto desktopOnly = [](ShortcutPlace p) { return p == ShortcutPlace::Desktop; };
    // Start Menu missing: create offered (checked by its request), remove off. Desktop there:
    // create off, remove offered and checked by its request. Startup missing, not requested.
    const SetupBoxes expected{{{true, true},
                               {false, false},
                               {false, false},
                               {true, true},
                               {true, false},
                               {false, false}}};
    const SetupBoxes boxes = sheet.setupBoxes(desktopOnly);
    for (std::size_t i = 0; i < boxes.size(); ++i) {
        EXPECT_EQ(boxes[i].enabled, expected[i].enabled) << i;
        EXPECT_EQ(boxes[i].checked, expected[i].checked) << i;
    }
    sheet.storeSetup({false, false, false, true, true, false});
    EXPECT_EQ(sheet.state().setup, (SetupChoices{0, 0, 0, 1, 1, 0}));
    const SetupBoxes after = sheet.setupBoxes(desktopOnly);
    EXPECT_FALSE(after[0].checked);
    EXPECT_TRUE(after[3].checked);
    EXPECT_TRUE(after[4].enabled && after[4].checked);
    EXPECT_EQ(state.setup, (SetupChoices{1, 1, 1, 1, 0, 0}));
}

namespace {

// OK and Cancel of the whole sheet, with effects that record what they were given.
class OptionsOk : public SheetFlow {
protected:
    void SetUp() override {
        SheetFlow::SetUp();
        state.options.TaskTray = 0;
        state.options.FlatStyle = 1;
        state.options.Sounds = 1;
        state.options.SaveWindows = 1;
        state.options.LogTransfers = 1;
        state.setup = {1, 0, 1, 0, 0, 0};
        state.local.path = u"/home/u"_qs;
        effects.setTrayIcon = [this](bool on) { done << (on ? u"tray on"_qs : u"tray off"_qs); };
        effects.applySetup = [this](SetupChoices& requests) {
            applied = requests;
            done << u"setup"_qs;
        };
        effects.save = [this](const AppState& s) {
            saved = s;
            done << u"save"_qs;
            return true;
        };
        effects.repaint = [this] { done << u"repaint"_qs; };
    }

    bool show(const std::function<void(OptionsSheet&)>& edit, bool ok = true) {
        return ShowOptionsSheet(
            state, globals, messages,
            [&](OptionsSheet& sheet) {
                edit(sheet);
                return ok;
            },
            effects);
    }

    OptionsEffects effects;
    QStringList done;
    SetupChoices applied;
    std::optional<AppState> saved;
};

} // namespace

TEST_F(OptionsOk, StyleChangeOnlyShowsItsNoticeOnceAndRunsTheStepsInOrder) {
    ASSERT_TRUE(show([](OptionsSheet& sheet) {
        std::vector<bool> general = sheet.flags(OptionsPage::General);
        general[5] = false; // FlatStyle
        sheet.storeFlags(OptionsPage::General, general);
    }));
    ASSERT_EQ(port.boxes().size(), 1u);
    EXPECT_EQ(port.boxes()[0].caption, text(1000));
    EXPECT_EQ(port.boxes()[0].text, text(1037));
    EXPECT_EQ(state.options.FlatStyle, 0u);
    // No tray change; the first start's requests go to the desktop, then are gone.
    EXPECT_EQ(done, (QStringList{u"setup"_qs, u"save"_qs, u"repaint"_qs}));
    EXPECT_EQ(applied, (SetupChoices{1, 0, 1, 0, 0, 0}));
    ASSERT_TRUE(saved);
    EXPECT_EQ(saved->setup, SetupChoices{});
    EXPECT_EQ(saved->options.FlatStyle, 0u);
    EXPECT_EQ(state.setup, SetupChoices{});

    // A second OK with nothing changed shows nothing; neither does Cancel after a change.
    port.clear();
    ASSERT_TRUE(show([](OptionsSheet&) {}));
    EXPECT_TRUE(port.boxes().empty());
    ASSERT_FALSE(show(
        [](OptionsSheet& sheet) {
            sheet.storeFlags(OptionsPage::General, {false, false, false, false, false, true});
        },
        false));
    EXPECT_TRUE(port.boxes().empty());
    EXPECT_EQ(state.options.FlatStyle, 0u);
}

TEST_F(OptionsOk, TrayFollowsTaskTrayAndTheGlobalsTakeTheirOptions) {
    struct Case {
        std::vector<bool> general; // TaskTray ... Sounds
        std::vector<bool> transfer;
        QString tray;
        bool sounds, fixedOff, logging;
    };
    const Case cases[] = {
        {{true, false, true, false, true, true, false, false},
         {true, true, true, false, false, false},
         u"tray on"_qs,
         false,
         true,
         false},
        {{true, false, true, false, true, true, true, true},
         {true, true, true, false, false, true},
         QString(), // unchanged: no tray call
         true,
         false,
         true},
        {{false, false, true, false, true, true, true, true},
         {true, true, true, false, false, true},
         u"tray off"_qs,
         true,
         false,
         true},
    };
    for (const Case& c : cases) {
        done.clear();
        ASSERT_TRUE(show([&](OptionsSheet& sheet) {
            sheet.storeFlags(OptionsPage::General, c.general);
            sheet.storeFlags(OptionsPage::Transfer, c.transfer);
        }));
        EXPECT_EQ(done.filter(u"tray"_qs), c.tray.isEmpty() ? QStringList() : QStringList{c.tray});
        EXPECT_EQ(globals.soundsWithDialogs, c.sounds);
        EXPECT_EQ(globals.fixedPositionOff, c.fixedOff);
        EXPECT_EQ(globals.transferLogging, c.logging);
        EXPECT_EQ(state.options.TaskTray != 0, c.general[0]);
        EXPECT_EQ(done.back(), u"repaint"_qs);
    }
}

TEST_F(OptionsOk, CancelKeepsEverythingButTheSetupRequests) {
    state.sounds[2] = {1, u"/s.wav"_qs};
    const AppState before = state;
    const AppGlobals globalsBefore = globals;
    port.answerBoxes({true});
    ASSERT_FALSE(show(
        [&](OptionsSheet& sheet) {
            sheet.storeFlags(OptionsPage::General, std::vector<bool>(8, false));
            sheet.storeFlags(OptionsPage::Sorting, std::vector<bool>(4, true));
            sheet.storeBlockSizeIndex(5);
            ASSERT_TRUE(sheet.appendFileType({u".md"_qs, u"ghostwriter"_qs}));
            ASSERT_EQ(sheet.removeFileType(0), 0);
            sheet.storeFileTypes(u"vim"_qs);
            SoundsFields sounds = sheet.soundsFields();
            sounds.level = 0;
            sounds.waveFiles[2].clear();
            sheet.storeSounds(sounds);
            sheet.storeSetup({false, true, false, true, false, true});
            sheet.rememberPosition(QRect(1, 2, 3, 4));
        },
        false));
    EXPECT_TRUE(done.isEmpty());
    EXPECT_EQ(state.options, before.options);
    EXPECT_EQ(state.FileTypes, before.FileTypes);
    EXPECT_EQ(state.DefaultEditor, before.DefaultEditor);
    EXPECT_EQ(state.sounds, before.sounds);
    EXPECT_EQ(state.placements, before.placements);
    EXPECT_EQ(state.setup, SetupChoices{});
    EXPECT_EQ(globals.soundsWithDialogs, globalsBefore.soundsWithDialogs);
    EXPECT_EQ(globals.fixedPositionOff, globalsBefore.fixedPositionOff);
    EXPECT_EQ(port.boxes().size(), 1u); // only the Remove question
}

TEST_F(OptionsOk, OkTakesOverWhatThePagesEditAndNothingThatChangedMeanwhile) {
    AccountRecord site;
    site.Name = u"Alpha"_qs;
    state.Accounts = {site};
    state.CurrentAccount = 0;
    state.placement(Placement::FileType) = {1, 1, 1, 1, 1};
    state.placement(Placement::Options) = {2, 2, 2, 2, 1};

    ASSERT_TRUE(show([&](OptionsSheet& sheet) {
        sheet.storeFlags(OptionsPage::Sorting, {true, false, true, false});
        sheet.storeBlockSizeIndex(4);
        ASSERT_EQ(sheet.appendFileType({u".md"_qs, u"ghostwriter"_qs}), 2);
        sheet.sortFileTypes();
        ASSERT_TRUE(sheet.storeFileTypes(u"vim"_qs));
        SoundsFields sounds = sheet.soundsFields();
        sounds.level = 2;
        sounds.active = {false, false, true, false, false};
        sounds.waveFiles[2] = u"/done.wav"_qs;
        ASSERT_EQ(sheet.storeSounds(sounds), std::nullopt);
        sheet.rememberPosition(QRect(50, 60, 500, 375));

        // Meanwhile, on the live state: a listing ends, the accounts change, and the Edit
        // File Type dialog remembers where it was.
        state.local.path = u"/tmp"_qs;
        state.local.entries.resize(3);
        state.Accounts[0].Visits = 9;
        state.placement(Placement::FileType) = {70, 80, 90, 100, 1};
    }));

    EXPECT_EQ(state.local.path, u"/tmp"_qs);
    EXPECT_EQ(state.local.entries.size(), 3u);
    EXPECT_EQ(state.Accounts[0].Visits, 9u);
    EXPECT_EQ(state.placement(Placement::FileType), (WindowPlacement{70, 80, 90, 100, 1}));
    EXPECT_EQ(state.placement(Placement::Options), (WindowPlacement{60, 50, 375, 500, 1}));

    EXPECT_EQ(state.options.DrivesLast, 1u);
    EXPECT_EQ(state.options.OldestFirst, 1u);
    EXPECT_EQ(state.options.BlockSize, 4u);
    EXPECT_EQ(state.options.AlertLevel, 2u);
    EXPECT_EQ(state.sounds[2], (SoundSetting{1, u"/done.wav"_qs}));
    EXPECT_EQ(state.sounds[0].Active, 0u);
    EXPECT_EQ(state.DefaultEditor, u"vim"_qs);
    EXPECT_EQ(state.FileTypes, (std::vector<FileTypeAssociation>{{u".md"_qs, u"ghostwriter"_qs},
                                                                 {u".png"_qs, u"ristretto"_qs},
                                                                 {u".txt"_qs, u"mousepad"_qs}}));
    // What the save was handed is what is now in effect.
    ASSERT_TRUE(saved);
    EXPECT_EQ(saved->options, state.options);
    EXPECT_EQ(saved->FileTypes, state.FileTypes);
    EXPECT_EQ(saved->local.path, u"/tmp"_qs);
}

TEST_F(OptionsOk, OkSavesIntoARealSettingsFileAndRunsWithoutEffects) {
    QTemporaryDir dir;
    SettingsStore store(dir.filePath(u"Tarnwick 2000.conf"_qs));
    effects = {};
    effects.save = [&](const AppState& s) { return SaveSettings(store, s, globals); };
    state.FileTypes = rows(3);
    ASSERT_TRUE(show([](OptionsSheet& sheet) {
        ASSERT_EQ(sheet.removeFileType(1), 1);
        SoundsFields sounds = sheet.soundsFields();
        sounds.level = 0;
        sheet.storeSounds(sounds);
        sheet.storeFlags(OptionsPage::Transfer, {false, false, false, true, true, false});
    }));

    SettingsStore reread(store.fileName());
    AppState loaded;
    AppGlobals loadedGlobals;
    LoadSettings(reread, loaded, loadedGlobals);
    EXPECT_EQ(loaded.FileTypes, (std::vector<FileTypeAssociation>{rows(3)[0], rows(3)[2]}));
    EXPECT_EQ(loaded.options.AlertLevel, 0u);
    EXPECT_EQ(loaded.options.Prompt, 1u);
    EXPECT_EQ(loaded.options.LogTransfers, 0u);
    EXPECT_FALSE(loadedGlobals.transferLogging);
    EXPECT_FALSE(globals.transferLogging);

    // No effect set at all: OK still takes the copy over.
    effects = {};
    ASSERT_TRUE(show([](OptionsSheet& sheet) { sheet.storeBlockSizeIndex(0); }));
    EXPECT_EQ(state.options.BlockSize, 0u);
}

// The stored choice read back (an unknown value as NotChosen), the keyring shown while nothing
// was chosen, NotChosen kept until a choice is stored; OK takes the choice over and saves it,
// Cancel drops it; the master password can be changed only when the caller gave the way.
TEST_F(OptionsOk, PasswordStoreChoiceIsKeptUntilChosenAndTakenOverOnOkOnly) {
    using C = PasswordStoreChoice;
    const struct {
        std::uint32_t stored;
        C read;
        C shown;
    } values[] = {{0, C::NotChosen, C::Keyring},
                  {1, C::Keyring, C::Keyring},
                  {2, C::MasterPassword, C::MasterPassword},
                  {3, C::DoNotSave, C::DoNotSave},
                  {7, C::NotChosen, C::Keyring}};
    for (const auto& v : values) {
        state.options.PasswordStore = v.stored;
        const OptionsSheet sheet(state, messages);
        EXPECT_EQ(sheet.passwordStore(), v.read) << v.stored;
        EXPECT_EQ(sheet.shownPasswordStore(), v.shown) << v.stored;
    }
    for (const C c : {C::NotChosen, C::Keyring, C::DoNotSave})
        EXPECT_FALSE(OptionsSheet::changeMasterPasswordEnabled(c));
    EXPECT_TRUE(OptionsSheet::changeMasterPasswordEnabled(C::MasterPassword));

    // OK with the page only shown: nothing chosen yet, nothing stored.
    state.options.PasswordStore = 0;
    ASSERT_TRUE(show([](OptionsSheet& sheet) {
        EXPECT_FALSE(sheet.canChangeMasterPassword());
        sheet.storePasswordStore(C::NotChosen);
        sheet.storePasswordStore(static_cast<C>(9));
        EXPECT_EQ(sheet.passwordStore(), C::NotChosen);
        sheet.changeMasterPassword(); // no way given: nothing happens
    }));
    EXPECT_EQ(state.options.PasswordStore, 0u);

    int changes = 0;
    effects.changeMasterPassword = [&] { ++changes; };
    ASSERT_TRUE(show([](OptionsSheet& sheet) {
        EXPECT_TRUE(sheet.canChangeMasterPassword());
        sheet.storePasswordStore(C::Keyring);
        sheet.storePasswordStore(C::MasterPassword);
        sheet.changeMasterPassword();
    }));
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(state.options.PasswordStore, 2u);
    ASSERT_TRUE(saved);
    EXPECT_EQ(saved->options.PasswordStore, 2u);

    ASSERT_FALSE(show([](OptionsSheet& sheet) { sheet.storePasswordStore(C::DoNotSave); }, false));
    EXPECT_EQ(state.options.PasswordStore, 2u);
}
