#include "core/settings/settings.h"

#include "core/about/version_info.h"
#include "core/accounts/account_store.h"
#include "core/panes/path_history.h"
#include "core/settings/date_text.h"
#include "core/settings/default_programs.h"
#include "core/settings/export_file_class.h"
#include "core/settings/settings_store.h"
#include "core/text/format.h"
#include "core/text/messages.h"

#include <QDateTime>

#include <algorithm>

namespace tw {

namespace {

const QString kOptions = QStringLiteral("Options");
const QString kSort = QStringLiteral("Options\\Sort");
const QString kTransfer = QStringLiteral("Options\\Transfer");
const QString kSounds = QStringLiteral("Options\\Sounds");
const QString kPasswords = QStringLiteral("Options\\Passwords");
const QString kAssociations = QStringLiteral("Options\\Associations");
const QString kFont = QStringLiteral("Font\\Display");
const QString kLocalColumns = QStringLiteral("DeskTop\\Window\\Local Columns");
const QString kRemoteColumns = QStringLiteral("DeskTop\\Window\\Remote Columns");
const QString kLabels = QStringLiteral("DeskTop\\Window\\Labels");

constexpr std::uint32_t kDefaultBlockSize = 2;
constexpr std::uint32_t kMaxBlockSize = 5;
constexpr std::uint32_t kDefaultAlertLevel = 1;
constexpr std::uint32_t kMaxAlertLevel = 2;
constexpr std::uint32_t kMaxPasswordStore = 3;

// One stored option flag: key, value name, member, default.
struct OptionFlag {
    const QString* key;
    const char16_t* value;
    std::uint32_t Options::*field;
    std::uint32_t defaultValue;
};

// The option flags with their keys, value names and defaults, in the order they are read and
// written.
const OptionFlag kOptionFlags[] = {
    {&kOptions, u"ToolBar", &Options::ToolBar, 1},
    {&kOptions, u"Status", &Options::Status, 1},
    {&kOptions, u"Transfer Queue", &Options::TransferQueue, 1},
    {&kOptions, u"Quick Connect Bar", &Options::QuickConnectBar, 1},
    {&kOptions, u"Show Hidden Files", &Options::ShowHidden, 0},
    {&kOptions, u"Readable Sizes", &Options::ReadableSizes, 0},
    {&kOptions, u"Use Trash", &Options::UseTrash, 1},
    {&kOptions, u"Tips", &Options::Tips, 1},
    {&kOptions, u"FlatStyle", &Options::FlatStyle, 1},
    {&kOptions, u"TaskTray", &Options::TaskTray, 0},
    {&kOptions, u"TopMost", &Options::TopMost, 0},
    {&kOptions, u"Minimize", &Options::Minimize, 0},
    {&kOptions, u"Confirm", &Options::Confirm, 1},
    {&kOptions, u"Save Windows", &Options::SaveWindows, 1},
    {&kOptions, u"Sounds", &Options::Sounds, 1},
    {&kSort, u"Folders Last", &Options::FoldersLast, 0},
    {&kSort, u"Drives Last", &Options::DrivesLast, 0},
    {&kSort, u"Oldest First", &Options::OldestFirst, 0},
    {&kSort, u"Largest First", &Options::LargestFirst, 0},
    {&kSort, u"Frequency", &Options::Frequency, 0},
    {&kTransfer, u"Refresh", &Options::Refresh, 1},
    {&kTransfer, u"Timestamp", &Options::Timestamp, 1},
    {&kTransfer, u"Log Transfers", &Options::LogTransfers, 1},
    {&kTransfer, u"Progress", &Options::Progress, 1},
    {&kTransfer, u"Prompt", &Options::Prompt, 0},
    {&kTransfer, u"Lowercase", &Options::Lowercase, 0},
    {&kTransfer, u"Keep File Dates", &Options::KeepFileDates, 1},
    {&kTransfer, u"Accept Unconfirmed Encrypted Ends", &Options::AcceptUnconfirmedTlsEnd, 0},
};

QString str(const char16_t* s) {
    return QString::fromUtf16(s);
}

QString numbered(const char16_t* format, int n) {
    return FormatText(str(format), {n}, -1);
}

// Deletes the subkeys "<prefix>NNN" of `parent` whose number is above `count`.
void deleteRowsAbove(SettingsStore& store, const QString& parent, const QString& prefix,
                     int count) {
    for (const QString& sub : store.SubKeys(parent)) {
        if (!sub.startsWith(prefix))
            continue;
        bool ok = false;
        const qlonglong row = sub.mid(prefix.size()).toLongLong(&ok, 10);
        if (ok && row > count)
            store.DeleteSettingsKey(parent + u'\\' + sub);
    }
}

// The contact values of the program information (value name, text).
struct Contact {
    const char16_t* name;
    const char16_t* text;
};
const Contact kContacts[] = {
    {u"Author", u"Quellwork"},          {u"Company", u"Quellwork"},
    {u"Address", u"Not Published"},     {u"Post Office", u"Not Published"},
    {u"Telephone", u"Not Published"},   {u"WebSite", kWebSiteAddress},
    {u"EMail", u"support@example.org"}, {u"CompuServe", u"No Longer Available"},
    {u"AOL", u"No Longer Available"},
};

} // namespace

const std::array<QString, int(Placement::Count)> kPlacementKeys = {
    QStringLiteral("DeskTop\\Window"),      QStringLiteral("DeskTop\\Options"),
    QStringLiteral("DeskTop\\Accounts"),    QStringLiteral("DeskTop\\Make Directory"),
    QStringLiteral("DeskTop\\Rename File"), QStringLiteral("DeskTop\\Delete File"),
    QStringLiteral("DeskTop\\File Type"),   QStringLiteral("DeskTop\\File Name"),
    QStringLiteral("DeskTop\\Time Stamp"),
};

const std::array<QString, int(FrameworkPlacement::Count)> kFrameworkPlacementKeys = {
    QStringLiteral("DeskTop\\GetFile"), QStringLiteral("DeskTop\\PutFile"),
    QStringLiteral("DeskTop\\Setup"),   QStringLiteral("DeskTop\\Property"),
    QStringLiteral("DeskTop\\ViewLog"),
};

const std::array<QString, kAlertKindCount> kSoundEventNames = {
    QStringLiteral("Connection Success"), QStringLiteral("Connection Failure"),
    QStringLiteral("Transfer Success"),   QStringLiteral("Transfer Failure"),
    QStringLiteral("FTP Errors"),
};

WindowPlacement PullOntoScreen(WindowPlacement p, const QRect& screen) {
    if (screen.isEmpty())
        return p;
    // 64-bit sums: stored values are arbitrary 32-bit numbers.
    const qint64 top = screen.y();
    const qint64 bottom = qint64(screen.y()) + screen.height();
    const qint64 left = screen.x();
    const qint64 right = qint64(screen.x()) + screen.width();
    if (p.Top < top)
        p.Top = static_cast<std::int32_t>(top);
    else if (qint64(p.Top) + p.Height > bottom)
        p.Top = static_cast<std::int32_t>(bottom - p.Height);
    if (p.Left < left)
        p.Left = static_cast<std::int32_t>(left);
    else if (qint64(p.Left) + p.Width > right)
        p.Left = static_cast<std::int32_t>(right - p.Width);
    return p;
}

WindowPlacement LoadWindowPlacement(const SettingsStore& store, const QString& key,
                                    const QRect& screen) {
    auto read = [&](const char16_t* name, std::int32_t def) {
        return static_cast<std::int32_t>(
            store.ReadSettingNumber(key, str(name), static_cast<std::uint32_t>(def)));
    };
    WindowPlacement p;
    p.Top = read(u"Top", kDefaultPlacement.Top);
    p.Left = read(u"Left", kDefaultPlacement.Left);
    p.Width = read(u"Width", kDefaultPlacement.Width);
    p.Height = read(u"Height", kDefaultPlacement.Height);
    p.Show = read(u"Show", kDefaultPlacement.Show);
    return PullOntoScreen(p, screen);
}

void SaveWindowPlacement(SettingsStore& store, const QString& key, const WindowPlacement& p) {
    store.WriteSettingSigned(key, QStringLiteral("Top"), p.Top);
    store.WriteSettingSigned(key, QStringLiteral("Left"), p.Left);
    store.WriteSettingSigned(key, QStringLiteral("Width"), p.Width);
    store.WriteSettingSigned(key, QStringLiteral("Height"), p.Height);
    store.WriteSettingSigned(key, QStringLiteral("Show"), p.Show);
}

std::array<std::int32_t, 3> LoadColumnWidths(const SettingsStore& store, const QString& key) {
    std::array<std::int32_t, 3> widths{};
    for (int i = 0; i < 3; ++i)
        widths[std::size_t(i)] = static_cast<std::int32_t>(
            store.ReadSettingNumber(key, numbered(u"Column-%d", i + 1), kDefaultColumnWidth));
    return widths;
}

void SaveColumnWidths(SettingsStore& store, const QString& key,
                      const std::array<std::int32_t, 3>& widths) {
    for (int i = 0; i < 3; ++i)
        store.WriteSettingSigned(key, numbered(u"Column-%d", i + 1), widths[std::size_t(i)]);
}

std::array<QString, 3> LoadColumnLabels(const SettingsStore& store) {
    static const char16_t* const fallback[] = {u"File Name", u"Date", u"Size"};
    std::array<QString, 3> labels;
    for (int i = 0; i < 3; ++i) {
        QString label =
            store.ReadSettingString(kLabels, numbered(u"Label-%d", i + 1), QString(), kLabelLimit);
        labels[std::size_t(i)] = label.isEmpty() ? str(fallback[i]) : label;
    }
    return labels;
}

void SaveColumnLabels(SettingsStore& store, const std::array<QString, 3>& labels) {
    for (int i = 0; i < 3; ++i)
        store.WriteSettingString(kLabels, numbered(u"Label-%d", i + 1),
                                 CutText(labels[std::size_t(i)], kLabelLimit));
}

FontSetting LoadFontSetting(const SettingsStore& store) {
    auto number = [&](const char16_t* name, std::int32_t def) {
        return static_cast<std::int32_t>(
            store.ReadSettingNumber(kFont, str(name), static_cast<std::uint32_t>(def)));
    };
    auto byte = [&](const char16_t* name, std::uint8_t def) {
        return static_cast<std::uint8_t>(store.ReadSettingNumber(kFont, str(name), def) & 0xFF);
    };
    FontSetting f;
    f.FaceName = store.ReadSettingString(kFont, QStringLiteral("FaceName"),
                                         QStringLiteral("MS Sans Serif"), kFaceNameLimit);
    f.Height = number(u"Height", -10);
    f.Width = number(u"Width", 0);
    f.Escapement = number(u"Escapement", 0);
    f.Orientation = number(u"Orientation", 0);
    f.Weight = number(u"Weight", 400);
    f.Italic = byte(u"Italic", 0);
    f.Underline = byte(u"Underline", 0);
    f.StrikeOut = byte(u"StrikeOut", 0);
    f.CharSet = byte(u"CharSet", 0);
    f.OutPrecision = byte(u"OutPrecision", 1);
    f.ClipPrecision = byte(u"ClipPrecision", 2);
    f.Quality = byte(u"Quality", 1);
    f.PitchAndFamily = byte(u"PitchFamily", 34);
    f.Colour = store.ReadSettingNumber(kFont, QStringLiteral("Colour"), 0);
    return f;
}

void SaveFontSetting(SettingsStore& store, const FontSetting& f) {
    auto number = [&](const char16_t* name, std::int32_t v) {
        store.WriteSettingSigned(kFont, str(name), v);
    };
    store.WriteSettingString(kFont, QStringLiteral("FaceName"),
                             CutText(f.FaceName, kFaceNameLimit));
    number(u"Height", f.Height);
    number(u"Width", f.Width);
    number(u"Escapement", f.Escapement);
    number(u"Orientation", f.Orientation);
    number(u"Weight", f.Weight);
    number(u"Italic", f.Italic);
    number(u"Underline", f.Underline);
    number(u"StrikeOut", f.StrikeOut);
    number(u"CharSet", f.CharSet);
    number(u"OutPrecision", f.OutPrecision);
    number(u"ClipPrecision", f.ClipPrecision);
    number(u"Quality", f.Quality);
    number(u"PitchFamily", f.PitchAndFamily);
    store.WriteSettingNumber(kFont, QStringLiteral("Colour"), f.Colour);
}

void LoadSoundSettings(const SettingsStore& store, AppState& state) {
    // 0 Silent, 1 Simple Beeps, 2 Play Wave Files; anything else is the default.
    const std::uint32_t level =
        store.ReadSettingNumber(kSounds, QStringLiteral("Alert Level"), kDefaultAlertLevel);
    state.options.AlertLevel = level > kMaxAlertLevel ? kDefaultAlertLevel : level;
    for (int i = 0; i < kAlertKindCount; ++i) {
        const QString key = kSounds + u'\\' + kSoundEventNames[std::size_t(i)];
        SoundSetting& s = state.sounds[std::size_t(i)];
        s.Active = store.ReadSettingFlag(key, QStringLiteral("Active"), 1);
        s.WaveFile = store.ReadSettingString(key, QStringLiteral("Wave File"), QString(), 255);
    }
}

void SaveSoundSettings(SettingsStore& store, const AppState& state) {
    store.WriteSettingNumber(kSounds, QStringLiteral("Alert Level"), state.options.AlertLevel);
    for (int i = 0; i < kAlertKindCount; ++i) {
        const QString key = kSounds + u'\\' + kSoundEventNames[std::size_t(i)];
        const SoundSetting& s = state.sounds[std::size_t(i)];
        store.WriteSettingFlag(key, QStringLiteral("Active"), s.Active);
        store.WriteSettingString(key, QStringLiteral("Wave File"), CutText(s.WaveFile, 255));
    }
}

void SortFileTypes(std::vector<FileTypeAssociation>& rows) {
    std::stable_sort(rows.begin(), rows.end(),
                     [](const FileTypeAssociation& a, const FileTypeAssociation& b) {
                         return QString::compare(a.Ext, b.Ext, Qt::CaseInsensitive) < 0;
                     });
}

void LoadFileTypes(const SettingsStore& store, AppState& state) {
    const auto stored = static_cast<std::int32_t>(
        store.ReadSettingNumber(kAssociations, QStringLiteral("Count"), 0));
    const int count = std::clamp<std::int32_t>(stored, 0, kMaxFileTypes);
    state.DefaultEditor = store.ReadSettingString(kAssociations, QStringLiteral("Default Editor"),
                                                  DefaultOpenProgram(), kCmdLimit);
    state.FileTypes.clear();
    for (int row = 1; row <= count; ++row) {
        const QString key = kAssociations + numbered(u"\\File Type-%03d", row);
        // A count above the rows present (a file edited by hand) gives no empty rows.
        if (!store.SettingsKeyExists(key))
            continue;
        state.FileTypes.push_back(
            {store.ReadSettingString(key, QStringLiteral("Ext"), QString(), kExtLimit),
             store.ReadSettingString(key, QStringLiteral("Cmd"), QString(), kCmdLimit)});
    }
    SortFileTypes(state.FileTypes);
}

void SaveFileTypes(SettingsStore& store, const AppState& state) {
    std::vector<FileTypeAssociation> rows = state.FileTypes;
    if (rows.size() > std::size_t(kMaxFileTypes))
        rows.resize(std::size_t(kMaxFileTypes));
    const int count = static_cast<int>(rows.size());
    store.WriteSettingNumber(kAssociations, QStringLiteral("Count"),
                             static_cast<std::uint32_t>(count));
    store.WriteSettingString(kAssociations, QStringLiteral("Default Editor"),
                             CutText(state.DefaultEditor, kCmdLimit));
    SortFileTypes(rows);
    for (int row = 1; row <= count; ++row) {
        const QString key = kAssociations + numbered(u"\\File Type-%03d", row);
        const FileTypeAssociation& t = rows[std::size_t(row - 1)];
        store.WriteSettingString(key, QStringLiteral("Ext"), CutText(t.Ext, kExtLimit));
        store.WriteSettingString(key, QStringLiteral("Cmd"), CutText(t.Cmd, kCmdLimit));
    }
    deleteRowsAbove(store, kAssociations, QStringLiteral("File Type-"), count);
}

void RegisterProgram(SettingsStore& store, const AppGlobals& globals) {
    const QString title = globals.applicationName;
    const QString version = QString::fromUtf16(kRegisteredVersionText);
    store.WriteSettingString(
        QStringLiteral("Abstract"), QStringLiteral("Warning"),
        FormatText(QStringLiteral("These settings are used by %s %s. Do NOT modify these "
                                  "settings manually!"),
                   {title, version}, kFetchedTextLimit));
    const QString app = QStringLiteral("Application");
    // The first save's time is kept: the stored value wins over the new default.
    const QString firstInit =
        FormatText(QStringLiteral("%s -- %s"),
                   {FormatDateTimeText(QDateTime::currentDateTime()), version}, kFetchedTextLimit);
    store.WriteSettingString(
        app, QStringLiteral("Program Init"),
        store.ReadSettingString(app, QStringLiteral("Program Init"), firstInit, kFetchedTextLimit));
    store.WriteSettingString(app, QStringLiteral("Program"), title);
    store.WriteSettingString(app, QStringLiteral("Program GUID"),
                             globals.programGuid.isEmpty() ? QStringLiteral("{Undefined}")
                                                           : globals.programGuid);
    store.WriteSettingString(app, QStringLiteral("Version"), version);
    for (const Contact& c : kContacts)
        store.WriteSettingString(app, str(c.name), str(c.text));
}

bool LoadSettings(SettingsStore& store, AppState& state, AppGlobals& globals) {
    // 1. A store that exists but cannot be read is no first start: it is kept as it is.
    globals.FirstStart = !store.SettingsKeyExists(QString()) && !store.isUnreadable();

    // 2. Option words.
    for (const OptionFlag& f : kOptionFlags)
        state.options.*f.field = store.ReadSettingFlag(*f.key, str(f.value), f.defaultValue);
    // Compared unsigned: negative stored values are out of range too.
    const std::uint32_t block =
        store.ReadSettingNumber(kTransfer, QStringLiteral("Block Size"), kDefaultBlockSize);
    state.options.BlockSize = block > kMaxBlockSize ? kDefaultBlockSize : block;
    const std::uint32_t connections =
        store.ReadSettingNumber(kTransfer, QStringLiteral("Connections"), kDefaultConnections);
    state.options.Connections =
        connections < 1 || connections > kMaxConnections ? kDefaultConnections : connections;
    // A choice a newer program made reads as not chosen: asked again, never a weaker store.
    const std::uint32_t passwordStore =
        store.ReadSettingNumber(kPasswords, QStringLiteral("Store"), 0);
    state.options.PasswordStore = passwordStore <= kMaxPasswordStore ? passwordStore : 0;

    // 3.-6. Font, columns, placements, labels.
    globals.paneFont = LoadFontSetting(store);
    state.LocalColumnWidths = LoadColumnWidths(store, kLocalColumns);
    state.RemoteColumnWidths = LoadColumnWidths(store, kRemoteColumns);
    for (std::size_t i = 0; i < kPlacementKeys.size(); ++i)
        state.placements[i] = LoadWindowPlacement(store, kPlacementKeys[i], globals.virtualScreen);
    state.ColumnLabels = LoadColumnLabels(store);

    // 7.-9. Sounds, accounts, file types.
    LoadSoundSettings(store, state);
    LoadAccounts(store, state);
    LoadFileTypes(store, state);
    LoadFolderHistories(store, state);

    // 10. The framework's dialogs.
    for (std::size_t i = 0; i < kFrameworkPlacementKeys.size(); ++i)
        globals.frameworkPlacements[i] =
            LoadWindowPlacement(store, kFrameworkPlacementKeys[i], globals.virtualScreen);

    // 11. Options the framework reads itself.
    globals.soundsWithDialogs = state.options.Sounds != 0;
    globals.fixedPositionOff = state.options.SaveWindows == 0;
    globals.transferLogging = state.options.LogTransfers != 0;

    // 12.
    if (globals.FirstStart)
        ApplyFirstStartDefaults(store, state, globals);
    return true;
}

bool SaveSettings(SettingsStore& store, const AppState& state, const AppGlobals& globals,
                  const Messages* messages) {
    RegisterProgram(store, globals);
    RegisterExportFileClass(globals.desktopDataHome, QStringLiteral("twx"),
                            QStringLiteral("Tarnwick 2000 Account Export File"));

    for (const OptionFlag& f : kOptionFlags)
        store.WriteSettingFlag(*f.key, str(f.value), state.options.*f.field);
    store.WriteSettingNumber(kTransfer, QStringLiteral("Block Size"), state.options.BlockSize);
    store.WriteSettingNumber(kTransfer, QStringLiteral("Connections"), state.options.Connections);
    store.WriteSettingNumber(kPasswords, QStringLiteral("Store"), state.options.PasswordStore);

    SaveFontSetting(store, globals.paneFont);
    SaveColumnWidths(store, kLocalColumns, state.LocalColumnWidths);
    SaveColumnWidths(store, kRemoteColumns, state.RemoteColumnWidths);
    for (std::size_t i = 0; i < kPlacementKeys.size(); ++i)
        SaveWindowPlacement(store, kPlacementKeys[i], state.placements[i]);
    SaveColumnLabels(store, state.ColumnLabels);

    SaveSoundSettings(store, state);
    SaveAccounts(store, state);
    SaveFileTypes(store, state);
    SaveFolderHistories(store, state);

    for (std::size_t i = 0; i < kFrameworkPlacementKeys.size(); ++i)
        SaveWindowPlacement(store, kFrameworkPlacementKeys[i], globals.frameworkPlacements[i]);

    if (!store.Sync())
        return false;
    if (messages)
        messages->ShowStatus(60066);
    return true;
}

bool ApplyFirstStartDefaults(SettingsStore& store, AppState& state, AppGlobals& globals,
                             const Messages* messages) {
    state.LocalColumnWidths = {100, 125, 55};
    state.RemoteColumnWidths = {100, 125, 55};

    // Centred by thirds / halves on the screen; a screen smaller than the window gives 0
    // rather than a position far off screen.
    const QRect& screen = globals.virtualScreen;
    auto share = [](int extent, int size, int parts) {
        return extent > size ? (extent - size) / parts : 0;
    };
    WindowPlacement& main = state.placement(Placement::Main);
    main.Height = 200;
    main.Width = 350;
    WindowPlacement& options = state.placement(Placement::Options);
    if (!screen.isEmpty()) {
        main.Top = screen.y() + share(screen.height(), 200, 3);
        main.Left = screen.x() + share(screen.width(), 350, 3);
        options.Top = screen.y() + share(screen.height(), 375, 2);
        options.Left = screen.x() + share(screen.width(), 500, 2);
    }

    state.setup.CreateStartMenu = 1;
    state.setup.CreateDesktop = 1;

    state.Accounts = SampleAccounts();
    state.CurrentAccount = 0;

    const QString program = DefaultOpenProgram();
    state.FileTypes = DefaultFileTypes(program);
    SortFileTypes(state.FileTypes); // as the save stores them
    state.DefaultEditor = program;

    return SaveSettings(store, state, globals, messages);
}

} // namespace tw
