#include "settings_fixture.h"

#include "core/about/version_info.h"
#include "core/accounts/account_store.h"
#include "core/settings/default_programs.h"
#include "core/text/messages.h"
#include "support/recording_port.h"

#include <QSet>

using namespace tw;
using tw::test::SettingsFixture;

namespace {

const QRect kScreen(0, 0, 1920, 1080);

// Every value a save writes, as raw INI key paths.
QSet<QString> expectedKeys(int accounts, int fileTypes) {
    QSet<QString> keys;
    auto add = [&](const QString& group, std::initializer_list<const char*> names) {
        for (const char* n : names)
            keys.insert(group + u'/' + QString::fromUtf8(n));
    };
    add(u"Options"_qs, {"ToolBar", "Status", "Transfer Queue", "Quick Connect Bar",
                        "Show Hidden Files", "Readable Sizes", "Use Trash", "Tips", "FlatStyle",
                        "TaskTray", "TopMost", "Minimize", "Confirm", "Save Windows", "Sounds"});
    add(u"Options/Sort"_qs,
        {"Folders Last", "Drives Last", "Oldest First", "Largest First", "Frequency"});
    add(u"Options/Transfer"_qs,
        {"Refresh", "Timestamp", "Log Transfers", "Progress", "Prompt", "Lowercase",
         "Keep File Dates", "Block Size", "Connections", "Accept Unconfirmed Encrypted Ends"});
    add(u"Options/Passwords"_qs, {"Store"});
    add(u"Options/Sounds"_qs, {"Alert Level"});
    for (const QString& event : kSoundEventNames)
        add(u"Options/Sounds/"_qs + event, {"Active", "Wave File"});
    add(u"Options/Associations"_qs, {"Count", "Default Editor"});
    for (int i = 1; i <= fileTypes; ++i)
        add(u"Options/Associations/File Type-%1"_qs.arg(i, 3, 10, QChar(u'0')), {"Ext", "Cmd"});
    add(u"Font/Display"_qs, {"FaceName", "Height", "Width", "Escapement", "Orientation", "Weight",
                             "Italic", "Underline", "StrikeOut", "CharSet", "OutPrecision",
                             "ClipPrecision", "Quality", "PitchFamily", "Colour"});
    for (const QString& k : kPlacementKeys)
        add(QString(k).replace(u'\\', u'/'), {"Top", "Left", "Width", "Height", "Show"});
    for (const QString& k : kFrameworkPlacementKeys)
        add(QString(k).replace(u'\\', u'/'), {"Top", "Left", "Width", "Height", "Show"});
    add(u"DeskTop/Window/Local Columns"_qs, {"Column-1", "Column-2", "Column-3"});
    add(u"DeskTop/Window/Remote Columns"_qs, {"Column-1", "Column-2", "Column-3"});
    add(u"DeskTop/Window/Labels"_qs, {"Label-1", "Label-2", "Label-3"});
    add(u"Accounts"_qs, {"Count", "Current", "Export"});
    for (int i = 1; i <= accounts; ++i)
        add(u"Accounts/Account-%1"_qs.arg(i, 3, 10, QChar(u'0')),
            {"Anonymous",   "Use IP",         "Save Password",  "Passive",      "Remote Port",
             "Remote Sort", "Local Sort",     "Visits",         "Name",         "URL",
             "IP",          "Login",          "Local Path",     "Local Mask",   "Local Exclude",
             "Remote Path", "Remote Mask",    "Remote Exclude", "Comments",     "Password",
             "Encryption",  "Connections",    "Protocol",       "Key File",     "Use Agent",
             "Secret Id",   "Password Store", "Time Offset",    "Sync Excludes"});
    add(u"Abstract"_qs, {"Warning"});
    add(u"Application"_qs,
        {"Program Init", "Program", "Program GUID", "Version", "Author", "Company", "Address",
         "Post Office", "Telephone", "WebSite", "EMail", "CompuServe", "AOL"});
    return keys;
}

// A state in which every saved value differs from its default.
AppState unusualState() {
    AppState s;
    Options& o = s.options;
    o.ToolBar = 0, o.Status = 0, o.Tips = 0, o.SaveWindows = 0, o.TopMost = 1, o.Sounds = 0;
    o.AlertLevel = 2, o.TaskTray = 1, o.Minimize = 1, o.Confirm = 0, o.FlatStyle = 0;
    o.LogTransfers = 0, o.Refresh = 0, o.Timestamp = 0, o.Progress = 0, o.Prompt = 1;
    o.Lowercase = 1, o.BlockSize = 5, o.OldestFirst = 1, o.LargestFirst = 1, o.FoldersLast = 1;
    o.DrivesLast = 1, o.Frequency = 1, o.KeepFileDates = 0, o.TransferQueue = 0;
    o.PasswordStore = 2;
    for (int i = 0; i < int(Placement::Count); ++i)
        s.placements[std::size_t(i)] = {10 + i, 20 + i, 300 + i, 400 + i, 3};
    s.LocalColumnWidths = {11, 22, 33};
    s.RemoteColumnWidths = {44, 55, 66};
    s.ColumnLabels = {u"Name"_qs, u"Geändert"_qs, u"Größe, in Bytes"_qs};
    s.sounds[0] = {0, u"/usr/share/sounds/a.wav"_qs};
    s.sounds[4] = {1, u"/tmp/ftp errors; \"quoted\".wav"_qs};
    s.DefaultEditor = u"/usr/bin/mousepad"_qs;
    s.FileTypes = {{u".c"_qs, u"geany"_qs}, {u".PNG"_qs, u"ristretto"_qs}};
    s.ExportPath = u"/home/u/Documents/Tarnwick 2000 Accounts.twx"_qs;
    AccountRecord a;
    a.Name = u"Alpha"_qs;
    a.URL = u"ftp.example.org"_qs;
    a.Login = u"me"_qs;
    a.SavePassword = true; // its password in the keyring: only the marker is stored
    a.Kept = PasswordPlace::Keyring;
    a.SecretId = u"6f1c2a4e-0d7b-4c55-9a8e-3b2f1d0c9e7a"_qs;
    a.Visits = 7;
    a.Comments = u"line one\r\nline two"_qs;
    s.Accounts = {a};
    s.CurrentAccount = 0;
    return s;
}

AppGlobals unusualGlobals() {
    AppGlobals g;
    g.virtualScreen = kScreen;
    g.paneFont = {-13,       2, 900, 900, 700, 1, 1, 1, 204, 3, 4, 5, 49, u"DejaVu Sans Mono"_qs,
                  0x00336699};
    for (int i = 0; i < int(FrameworkPlacement::Count); ++i)
        g.frameworkPlacements[std::size_t(i)] = {100 + i, 200 + i, 250, 450, 0};
    return g;
}

} // namespace

TEST_F(SettingsFixture, FirstStartAppliesDefaultsAndWritesEveryValue) {
    AppGlobals globals;
    globals.virtualScreen = kScreen;
    const AppState state = load(globals);

    EXPECT_TRUE(globals.FirstStart);
    const QStringList written = rawKeys();
    EXPECT_EQ(QSet<QString>(written.begin(), written.end()), expectedKeys(4, 10));

    // Stored defaults and the first-start values over them.
    EXPECT_EQ(state.options, Options{});
    EXPECT_EQ(raw("Options/Transfer/Block Size").toInt(), 2);
    EXPECT_EQ(raw("Font/Display/FaceName").toString(), u"MS Sans Serif"_qs);
    EXPECT_EQ(globals.paneFont.Height, -10);
    EXPECT_EQ(globals.paneFont.PitchAndFamily, 34);
    EXPECT_EQ(state.LocalColumnWidths, (std::array<std::int32_t, 3>{100, 125, 55}));
    EXPECT_EQ(state.RemoteColumnWidths, (std::array<std::int32_t, 3>{100, 125, 55}));
    EXPECT_EQ(state.placement(Placement::Main), (WindowPlacement{293, 523, 200, 350, 1}));
    EXPECT_EQ(state.placement(Placement::Options), (WindowPlacement{352, 710, 200, 350, 1}));
    EXPECT_EQ(state.placement(Placement::TimeStamp), kDefaultPlacement);
    EXPECT_EQ(state.ColumnLabels,
              (std::array<QString, 3>{u"File Name"_qs, u"Date"_qs, u"Size"_qs}));
    EXPECT_EQ(state.setup.CreateStartMenu, 1u);
    EXPECT_EQ(state.setup.CreateDesktop, 1u);
    EXPECT_EQ(state.setup.CreateStartup, 0u);

    ASSERT_EQ(state.AccountCount(), 4);
    EXPECT_EQ(state.Accounts[0].Name, u"Lucas Arts"_qs);
    EXPECT_EQ(state.Accounts[3].Name, u"Wiley & Sons Publishing"_qs);
    EXPECT_EQ(state.CurrentAccount, 0);

    ASSERT_EQ(state.FileTypes.size(), 10u);
    EXPECT_EQ(raw("Options/Associations/File Type-001/Ext").toString(), u".doc"_qs);
    EXPECT_EQ(raw("Options/Associations/File Type-008/Ext").toString(), u".reg"_qs);
    EXPECT_EQ(raw("Options/Associations/File Type-009/Ext").toString(), u".twx"_qs);
    EXPECT_EQ(raw("Options/Associations/Default Editor").toString(), DefaultOpenProgram());
    EXPECT_EQ(raw("Options/Associations/File Type-010/Cmd").toString(), DefaultOpenProgram());

    // The next start finds the branch and reads the same table back.
    AppGlobals again;
    again.virtualScreen = kScreen;
    const AppState reloaded = load(again);
    EXPECT_FALSE(again.FirstStart);
    EXPECT_EQ(reloaded.Accounts, state.Accounts);
    EXPECT_EQ(reloaded.FileTypes, state.FileTypes);
    EXPECT_EQ(reloaded.placements, state.placements);
    EXPECT_EQ(reloaded.setup, SetupChoices{}); // the setup requests are not stored
}

TEST_F(SettingsFixture, FirstStartOnAScreenSmallerThanTheWindowStaysOnIt) {
    AppGlobals globals;
    globals.virtualScreen = QRect(0, 0, 320, 150);
    const AppState state = load(globals);
    EXPECT_EQ(state.placement(Placement::Main).Top, 0);
    EXPECT_EQ(state.placement(Placement::Main).Left, 0);
    EXPECT_EQ(state.placement(Placement::Options).Left, 0);
}

TEST_F(SettingsFixture, EveryValueSurvivesSaveAndLoad) {
    const AppState saved = unusualState();
    const AppGlobals savedGlobals = unusualGlobals();
    {
        auto store = openStore();
        ASSERT_TRUE(SaveSettings(*store, saved, savedGlobals));
    }
    AppGlobals globals;
    globals.virtualScreen = kScreen;
    const AppState loaded = load(globals);

    EXPECT_FALSE(globals.FirstStart);
    EXPECT_EQ(loaded.options, saved.options);
    EXPECT_EQ(loaded.placements, saved.placements);
    EXPECT_EQ(loaded.LocalColumnWidths, saved.LocalColumnWidths);
    EXPECT_EQ(loaded.RemoteColumnWidths, saved.RemoteColumnWidths);
    EXPECT_EQ(loaded.ColumnLabels, saved.ColumnLabels);
    EXPECT_EQ(loaded.sounds, saved.sounds);
    EXPECT_EQ(loaded.DefaultEditor, saved.DefaultEditor);
    EXPECT_EQ(loaded.FileTypes, saved.FileTypes);
    EXPECT_EQ(loaded.ExportPath, saved.ExportPath);
    EXPECT_EQ(loaded.Accounts, saved.Accounts);
    EXPECT_EQ(loaded.CurrentAccount, saved.CurrentAccount);
    EXPECT_EQ(globals.paneFont, savedGlobals.paneFont);
    EXPECT_EQ(globals.frameworkPlacements, savedGlobals.frameworkPlacements);
    // Published to the framework.
    EXPECT_FALSE(globals.soundsWithDialogs);
    EXPECT_TRUE(globals.fixedPositionOff);
    EXPECT_FALSE(globals.transferLogging);
}

TEST_F(SettingsFixture, BlockSizeOutOfRangeReadsAsTwo) {
    const std::pair<QVariant, std::uint32_t> cases[] = {
        {6, 2u},
        {5, 5u},
        {0, 0u},
        {-1, 2u},
        {u"4294967295"_qs, 2u},
        {u"-2147483648"_qs, 2u},
        {u"nonsense"_qs, 2u},
        {u""_qs, 2u},
    };
    for (const auto& [stored, expected] : cases) {
        plant({{"Options/Transfer/Block Size", stored}});
        AppGlobals globals;
        EXPECT_EQ(load(globals).options.BlockSize, expected) << stored.toString().toStdString();
    }
}

TEST_F(SettingsFixture, AnyNonzeroFlagReadsAndIsWrittenBackAsOne) {
    plant({{"Options/TopMost", 7}, {"Options/Sort/Frequency", -3}, {"Options/ToolBar", 0}});
    AppGlobals globals;
    const AppState state = load(globals);
    EXPECT_EQ(state.options.TopMost, 1u);
    EXPECT_EQ(state.options.Frequency, 1u);
    EXPECT_EQ(state.options.ToolBar, 0u);
    auto store = openStore();
    ASSERT_TRUE(SaveSettings(*store, state, globals));
    store.reset();
    EXPECT_EQ(raw("Options/TopMost").toInt(), 1);
    EXPECT_EQ(raw("Options/Sort/Frequency").toInt(), 1);
}

TEST_F(SettingsFixture, WindowsOffTheScreenArePulledBackOntoIt) {
    plant({{"DeskTop/Window/Top", -500},
           {"DeskTop/Window/Left", 5000},
           {"DeskTop/Window/Width", 700},
           {"DeskTop/Options/Top", 900},
           {"DeskTop/Options/Height", 200},
           {"DeskTop/Accounts/Left", -40},
           {"DeskTop/ViewLog/Top", 4000}});
    AppGlobals globals;
    globals.virtualScreen = QRect(0, 0, 1024, 768);
    const AppState state = load(globals);
    EXPECT_EQ(state.placement(Placement::Main).Top, 0);
    EXPECT_EQ(state.placement(Placement::Main).Left, 324);
    EXPECT_EQ(state.placement(Placement::Options).Top, 568);
    EXPECT_EQ(state.placement(Placement::Accounts).Left, 0);
    EXPECT_EQ(globals.frameworkPlacements[int(FrameworkPlacement::LogViewer)].Top, 568);
    // Saving writes what is in memory, unclamped.
    EXPECT_EQ(raw("DeskTop/Window/Left").toInt(), 5000);
}

TEST_F(SettingsFixture, PullOntoScreenKeepsScreensLeftOfAndAboveTheOrigin) {
    const QRect screen(-1280, -200, 2560, 1224); // a second monitor left of and above the first
    EXPECT_EQ(PullOntoScreen({-150, -1000, 200, 350, 1}, screen),
              (WindowPlacement{-150, -1000, 200, 350, 1}));
    EXPECT_EQ(PullOntoScreen({-900, -2000, 200, 350, 1}, screen),
              (WindowPlacement{-200, -1280, 200, 350, 1}));
    EXPECT_EQ(PullOntoScreen({1000, 1200, 200, 350, 1}, screen),
              (WindowPlacement{824, 930, 200, 350, 1}));
    // Extreme stored values do not overflow.
    const WindowPlacement far = PullOntoScreen({INT32_MAX, INT32_MAX, INT32_MAX, 10, 1}, screen);
    EXPECT_LE(far.Left + 10, 1280);
    // Without a known screen nothing moves.
    EXPECT_EQ(PullOntoScreen({-500, 9000, 1, 1, 0}, QRect()),
              (WindowPlacement{-500, 9000, 1, 1, 0}));
}

TEST_F(SettingsFixture, EmptyLabelsFallBackAndStoredLabelsAreKept) {
    plant({{"DeskTop/Window/Labels/Label-1", u"  Name "_qs},
           {"DeskTop/Window/Labels/Label-2", u""_qs}});
    AppGlobals globals;
    const AppState state = load(globals);
    EXPECT_EQ(state.ColumnLabels[0], u"  Name "_qs);
    EXPECT_EQ(state.ColumnLabels[1], u"Date"_qs);
    EXPECT_EQ(state.ColumnLabels[2], u"Size"_qs);
}

TEST_F(SettingsFixture, WaveFileOfAnInactiveSoundIsKept) {
    plant({{"Options/Sounds/FTP Errors/Active", 0},
           {"Options/Sounds/FTP Errors/Wave File", u"/home/u/error.wav"_qs}});
    AppGlobals globals;
    const AppState state = load(globals);
    const SoundSetting& ftp = state.sounds[int(AlertKind::FtpErrors)];
    EXPECT_EQ(ftp.Active, 0u);
    EXPECT_EQ(ftp.WaveFile, u"/home/u/error.wav"_qs);
    EXPECT_EQ(state.sounds[0].Active, 1u); // the others keep their default
    {
        auto store = openStore();
        ASSERT_TRUE(SaveSettings(*store, state, globals));
    }
    EXPECT_EQ(raw("Options/Sounds/FTP Errors/Wave File").toString(), u"/home/u/error.wav"_qs);
    EXPECT_EQ(raw("Options/Sounds/FTP Errors/Active").toInt(), 0);
}

TEST_F(SettingsFixture, FileTypesAreSortedWithoutCaseAndRemovedRowsLeaveNoKeys) {
    AppGlobals globals;
    AppState state = load(globals); // first start: ten rows
    state.FileTypes = {{u".txt"_qs, u"a"_qs}, {u".DOC"_qs, u"b"_qs}, {u".bmp"_qs, u"c"_qs}};
    for (int i = 0; i < 9; ++i)
        state.FileTypes.push_back({u".x%1"_qs.arg(i), u"p"_qs});
    {
        auto store = openStore();
        ASSERT_TRUE(SaveSettings(*store, state, globals));
    }
    EXPECT_EQ(rawGroups("Options/Associations").size(), 12);
    EXPECT_EQ(raw("Options/Associations/File Type-001/Ext").toString(), u".bmp"_qs);
    EXPECT_EQ(raw("Options/Associations/File Type-002/Ext").toString(), u".DOC"_qs);
    EXPECT_EQ(raw("Options/Associations/File Type-003/Ext").toString(), u".txt"_qs);

    state.FileTypes.resize(9); // three deleted in the options sheet
    {
        auto store = openStore();
        ASSERT_TRUE(SaveSettings(*store, state, globals));
    }
    QStringList rows = rawGroups("Options/Associations");
    rows.sort();
    QStringList expected;
    for (int i = 1; i <= 9; ++i)
        expected << u"File Type-%1"_qs.arg(i, 3, 10, QChar(u'0'));
    EXPECT_EQ(rows, expected);
    EXPECT_FALSE(raw("Options/Associations/File Type-010/Ext").isValid());
    EXPECT_EQ(raw("Options/Associations/Count").toInt(), 9);

    AppGlobals again;
    const AppState reloaded = load(again);
    ASSERT_EQ(reloaded.FileTypes.size(), 9u);
    EXPECT_EQ(reloaded.FileTypes[0].Ext, u".bmp"_qs);
}

TEST_F(SettingsFixture, FileTypeCountBeyondTheTableAndOverlongTextsAreCut) {
    plant({{"Options/Associations/Count", 5000},
           {"Options/Associations/File Type-001/Ext", u".abcdefghijklmnopqrstuvwxyz"_qs},
           {"Options/Associations/File Type-001/Cmd", QString(300, u'x')}});
    AppGlobals globals;
    const AppState state = load(globals);
    // Only the row present is loaded; rows counted but missing are no empty rows.
    ASSERT_EQ(state.FileTypes.size(), 1u);
    EXPECT_EQ(state.FileTypes[0].Ext.size(), kExtLimit);
    EXPECT_EQ(state.FileTypes[0].Cmd.size(), kCmdLimit);
}

TEST_F(SettingsFixture, SaveShowsOptionsSavedAndKeepsTheFirstInitTime) {
    test::RecordingPort port;
    AppState state;
    AppGlobals globals;
    const Messages messages(port, state, globals);
    plant({{"Application/Program Init", u"Monday, 1 March 1999  10:00 -- v2.6"_qs}});
    auto store = openStore();
    ASSERT_TRUE(SaveSettings(*store, state, globals, &messages));
    EXPECT_EQ(port.status(), u"Options saved"_qs);
    store.reset();
    EXPECT_EQ(raw("Application/Program Init").toString(),
              u"Monday, 1 March 1999  10:00 -- v2.6"_qs);
    EXPECT_EQ(raw("Abstract/Warning").toString(),
              u"These settings are used by Tarnwick 2000 v2.6. Do NOT modify these settings "
              u"manually!"_qs);
    EXPECT_EQ(raw("Application/Program GUID").toString(), globals.programGuid);
    EXPECT_EQ(raw("Application/AOL").toString(), u"No Longer Available"_qs);
    // The registered version is the short one even where the Version page's table (linked in
    // here) carries the build's full version.
    EXPECT_EQ(raw("Application/Version").toString(), u"v2.6"_qs);
    EXPECT_TRUE(ProgramVersionTable().at(u"FileVersion"_qs).startsWith(u"Version 2.6"_qs));
}

TEST_F(SettingsFixture, FirstSaveStampsProgramInitWithTheVersion) {
    AppGlobals globals;
    load(globals);
    const QString init = raw("Application/Program Init").toString();
    EXPECT_TRUE(init.endsWith(u" -- v2.6"_qs)) << init.toStdString();
    EXPECT_GT(init.size(), 10);
}
