#pragma once

namespace tw {

// Every command of the main window under its numeric id. Menu items, toolbar buttons,
// accelerators and context-menu items all carry these ids to the one dispatcher.
enum class CommandId : int {
    None = 0, // toolbar separator slot; never dispatched

    // FTP menu
    Connect = 454,
    ReConnect = 457,
    Disconnect = 455,
    // Stops the transfer (or listing) in progress: the menu command and Escape while busy.
    StopTransfer = 570,
    Accounts = 130,
    Import = 140,
    Export = 141,
    ImportFileZilla = 142, // FileZilla's Site Manager sites as accounts
    ImportSshConfig = 143, // ~/.ssh/config hosts as SFTP accounts
    Options = 133,
    Exit = 199,

    // View menu
    ViewToolbar = 302,
    ViewStatus = 301,
    ViewQueue = 392,
    CustomizeToolbar = 303,
    Minimize = 398,
    AlwaysOnTop = 399,
    Font = 430,
    ClearLog = 213,
    TransferLog = 391,
    ViewQuickConnect = 393,    // the quick connect bar above the panes
    ViewHiddenFiles = 394,     // names starting with a period, in both panes
    ViewReadableSizes = 395,   // sizes as "1.4 MB" instead of bytes
    GoToFolder = 396,          // focuses the path box of the active pane
    FilterRows = 397,          // focuses the filter box of the active pane
    CompareFolders = 385,      // marks the rows that differ between the two panes' folders
    ShowOnlyDifferences = 386, // while comparing, hides the rows that are in step
    Synchronise = 387,         // the Synchronise dialog: plan, preview and run a sync

    // Local menu
    LocalRefresh = 551,
    LocalMakeDirectory = 556,
    LocalChangeDirectory = 369,
    LocalEdit = 222,
    LocalProperties = 555,
    LocalRename = 554,
    LocalMove = 557,
    LocalDelete = 553,
    Upload = 552,
    LocalSelectAll = 558,
    LocalSortName = 530,
    LocalSortDate = 531,
    LocalSortSize = 532,
    LocalSortType = 533,
    SortSettings = 440, // in both Sort sub-menus

    // Remote menu
    RemoteRefresh = 561,
    RemoteMakeDirectory = 566,
    RemoteProperties = 565,
    RemoteRename = 564,
    RemoteDelete = 563,
    Download = 562,
    RemoteEdit = 567,        // edit a remote file in place: download, watch, upload on save
    EditedFiles = 568,       // the remote files open for editing
    RemotePermissions = 569, // SITE CHMOD on the selected rows
    AddBookmark = 571,       // the current remote folder, kept for the account
    Bookmarks = 572,         // the account's bookmarked folders
    RemoteSelectAll = 573,
    RemoteSortName = 534,
    RemoteSortDate = 535,
    RemoteSortSize = 536,
    RemoteSortType = 537,

    // Help menu
    HelpContents = 901,
    HelpSearch = 902,
    HelpHowToUse = 903,
    Setup = 134,
    Version = 995,
    WebSite = 997,
    SendEmail = 996,
    About = 999,

    // Both context menus only: closes the menu, has no handler.
    CancelMenu = 421,
};

constexpr int toInt(CommandId id) {
    return static_cast<int>(id);
}

} // namespace tw
