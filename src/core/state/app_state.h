#pragma once

#include "core/accounts/account_record.h"
#include "core/panes/pane_state.h"

#include <QRect>
#include <QString>

#include <array>
#include <cstdint>
#include <vector>

namespace tw {

// The saved position of one window.
struct WindowPlacement {
    std::int32_t Top = 0;
    std::int32_t Left = 0;
    std::int32_t Height = 0;
    std::int32_t Width = 0;
    std::int32_t Show = 0;
    // False until a window was closed and left its place here: no size, or still the default
    // every placement starts from (its corner is no place the user chose).
    bool remembered() const;
    bool operator==(const WindowPlacement&) const = default;
};

// Default placement of every window: Top, Left, Height, Width, Show.
inline constexpr WindowPlacement kDefaultPlacement{35, 35, 200, 350, 1};

inline bool WindowPlacement::remembered() const {
    return Width > 0 && Height > 0 &&
           (Top != kDefaultPlacement.Top || Left != kDefaultPlacement.Left ||
            Height != kDefaultPlacement.Height || Width != kDefaultPlacement.Width);
}

// Index of each placement in AppState::placements.
enum class Placement : int {
    Main = 0,
    Options,
    Accounts,
    MakeDirectory,
    RenameFile,
    DeleteFile,
    FileType,
    FileName,
    TimeStamp,
    Count
};

// The framework's own dialogs, whose placements live outside AppState.
enum class FrameworkPlacement : int { OpenFile = 0, SaveFile, Setup, Properties, LogViewer, Count };

// One warning sound, per AlertKind.
struct SoundSetting {
    std::uint32_t Active = 1;
    QString WaveFile; // at most 255 characters
    bool operator==(const SoundSetting&) const = default;
};

enum class AlertKind : int {
    ConnectionSuccess = 0,
    ConnectionFailure,
    TransferSuccess,
    TransferFailure,
    FtpErrors
};
inline constexpr int kAlertKindCount = 5;

// The display font of the panes as stored (the members of a LOGFONT plus a colour).
struct FontSetting {
    std::int32_t Height = 0;
    std::int32_t Width = 0;
    std::int32_t Escapement = 0;
    std::int32_t Orientation = 0;
    std::int32_t Weight = 0;
    std::uint8_t Italic = 0;
    std::uint8_t Underline = 0;
    std::uint8_t StrikeOut = 0;
    std::uint8_t CharSet = 0;
    std::uint8_t OutPrecision = 0;
    std::uint8_t ClipPrecision = 0;
    std::uint8_t Quality = 0;
    std::uint8_t PitchAndFamily = 0;
    QString FaceName;         // at most 31 characters
    std::uint32_t Colour = 0; // 0x00BBGGRR
    bool operator==(const FontSetting&) const = default;
};

// One row of the file-type table.
struct FileTypeAssociation {
    QString Ext; // with its leading period, at most 15 characters
    QString Cmd; // program, at most 255 characters
    bool operator==(const FileTypeAssociation&) const = default;
};
inline constexpr int kMaxFileTypes = 256;

// The option words, in their stored order, with their first-start defaults.
// The transfer queue's parallel connections: the default and the most a server is asked for.
inline constexpr std::uint32_t kDefaultConnections = 2;
inline constexpr std::uint32_t kMaxConnections = 10;

struct Options {
    std::uint32_t ToolBar = 1;
    std::uint32_t Status = 1;
    std::uint32_t Tips = 1;
    std::uint32_t SaveWindows = 1;
    std::uint32_t TopMost = 0;
    std::uint32_t Sounds = 1;
    std::uint32_t AlertLevel = 1;
    std::uint32_t TaskTray = 0;
    std::uint32_t Minimize = 0;
    std::uint32_t Confirm = 1;
    std::uint32_t FlatStyle = 1;
    std::uint32_t LogTransfers = 1;
    std::uint32_t Refresh = 1;
    std::uint32_t Timestamp = 1;
    std::uint32_t Progress = 1;
    std::uint32_t Prompt = 0;
    std::uint32_t Lowercase = 0;
    std::uint32_t BlockSize = 2;
    std::uint32_t OldestFirst = 0;
    std::uint32_t LargestFirst = 0;
    std::uint32_t FoldersLast = 0;
    std::uint32_t DrivesLast = 0;
    std::uint32_t Frequency = 0;
    std::uint32_t KeepFileDates = 1; // a copied file keeps its source's modification time
    // Connections the transfer queue opens to a server beside the browsing session.
    std::uint32_t Connections = kDefaultConnections;
    std::uint32_t TransferQueue = 1; // the transfer queue pane is shown
    // A protected download of unknown size whose end the server did not confirm counts as done.
    std::uint32_t AcceptUnconfirmedTlsEnd = 0;
    std::uint32_t QuickConnectBar = 1; // the quick connect bar above the panes is shown
    std::uint32_t ShowHidden = 0;      // names starting with a period are listed
    std::uint32_t ReadableSizes = 0;   // sizes read "1.4 MB"; the exact bytes in the tooltip
    std::uint32_t UseTrash = 1;        // a local delete moves the rows to the desktop's Trash
    // Where saved passwords are kept: a PasswordStoreChoice (core/secrets/password_port.h).
    std::uint32_t PasswordStore = 0;
    bool operator==(const Options&) const = default;
};

// The Setup page's requests (create / remove shortcuts).
struct SetupChoices {
    std::uint32_t CreateStartMenu = 0;
    std::uint32_t RemoveStartMenu = 0;
    std::uint32_t CreateDesktop = 0;
    std::uint32_t RemoveDesktop = 0;
    std::uint32_t CreateStartup = 0;
    std::uint32_t RemoveStartup = 0;
    bool operator==(const SetupChoices&) const = default;
};

// The application record: everything that is loaded at start, edited, and saved at exit.
// A plain value: the property sheets work on a copy and assign it back on OK. The connection,
// the worker thread and the busy flag live in AppRuntime, outside the copyable part.
struct AppState {
    SetupChoices setup;
    QString ExportPath;
    std::array<WindowPlacement, int(Placement::Count)> placements{};
    Options options;
    PaneState local;
    PaneState remote;
    std::array<std::int32_t, 3> LocalColumnWidths{};
    std::array<std::int32_t, 3> RemoteColumnWidths{};
    std::array<QString, 3> ColumnLabels;
    int CurrentAccount = -1;
    std::vector<AccountRecord> Accounts; // at most kMaxAccounts; AccountCount = size()
    std::array<SoundSetting, kAlertKindCount> sounds{};
    QString DefaultEditor;
    std::vector<FileTypeAssociation> FileTypes; // at most kMaxFileTypes; FileTypeCount = size()
    // The folders each pane listed last, newest first (core/panes/path_history.h).
    std::vector<QString> LocalFolderHistory;
    std::vector<QString> RemoteFolderHistory;

    int AccountCount() const { return static_cast<int>(Accounts.size()); }
    WindowPlacement& placement(Placement p) { return placements[std::size_t(p)]; }
    const WindowPlacement& placement(Placement p) const { return placements[std::size_t(p)]; }
};

// Process-wide values beside AppState.
struct AppGlobals {
    FontSetting paneFont;
    bool soundsWithDialogs = true; // copy of Options::Sounds
    bool fixedPositionOff = false; // SaveWindows off: the main window opens at the default place
    bool transferLogging = true;   // copy of Options::LogTransfers
    bool FirstStart = false;       // the settings branch did not exist at start
    QString SettingsBaseKey = QStringLiteral("Software\\Quellwork\\Tarnwick 2000");
    QString programGuid = QStringLiteral("{5C1E3B7A-9D24-4F6E-8A13-2B7C6D0E4F91}");
    QString applicationName = QStringLiteral("Tarnwick 2000");
    QString modulePath; // the executable
    QString helpPath;   // the help collection (.qhc); empty when there is none
    QString logPath;    // the transfer log
    // The user's XDG data folder, where every settings save registers the account export file
    // type with the desktop; empty (tests): nothing is registered outside the settings.
    QString desktopDataHome;
    QRect virtualScreen; // bounds of all screens, to keep saved windows on screen
    std::array<WindowPlacement, int(FrameworkPlacement::Count)> frameworkPlacements{};
};

} // namespace tw
