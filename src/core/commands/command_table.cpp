#include "core/commands/command_table.h"

#include <algorithm>

namespace tw {

namespace {

using C = CommandId;

struct Row {
    CommandId id;
    const char16_t* menuText;
    const char16_t* contextText; // nullptr: not in a context menu
    int imageIndex;
    bool picture;
};

// Commands in menu order. The shown shortcut after '\t' is part of the text as the menu
// resource has it.
constexpr Row kRows[] = {
    {C::Connect, u"&Connect...\tCtrl+O", nullptr, 0, true},
    {C::ReConnect, u"&Re-Connect\tCtrl+R", nullptr, 1, true},
    {C::Disconnect, u"&Disconnect\tCtrl+W", nullptr, 2, true},
    {C::StopTransfer, u"S&top Transfer\tEsc", nullptr, -1, false},
    {C::Accounts, u"&Accounts...\tCtrl+A", nullptr, 3, true},
    {C::Import, u"&Import...", nullptr, -1, false},
    {C::ImportFileZilla, u"Import &FileZilla Sites...", nullptr, -1, false},
    {C::ImportSshConfig, u"Import SS&H Config Hosts...", nullptr, -1, false},
    {C::Export, u"&Export...\tCtlr+X", nullptr, -1, false},
    {C::Options, u"&Options...", nullptr, 17, true},
    {C::Exit, u"E&xit\tCtrl+Q", nullptr, -1, true},

    {C::ViewToolbar, u"&Toolbar", nullptr, -1, false},
    {C::ViewStatus, u"&Status", nullptr, -1, false},
    {C::ViewQueue, u"Transfer &Queue", nullptr, -1, false},
    {C::CustomizeToolbar, u"&Customize Toolbar...", nullptr, -1, false},
    {C::Minimize, u"&Minimize\tCtrl+Y", nullptr, -1, true},
    {C::AlwaysOnTop, u"&Always on Top\tCtrl+T", nullptr, 18, true},
    {C::Font, u"&Font...", nullptr, 19, true},
    {C::ClearLog, u"Clear Log &Window", nullptr, -1, false},
    {C::TransferLog, u"Transfer &Log...", nullptr, -1, false},
    {C::ViewQuickConnect, u"Quic&k Connect Bar", nullptr, -1, false},
    {C::ViewHiddenFiles, u"Show &Hidden Files\tCtrl+H", nullptr, -1, false},
    {C::ViewReadableSizes, u"&Readable Sizes", nullptr, -1, false},
    {C::GoToFolder, u"&Go to Folder\tCtrl+L", nullptr, -1, false},
    {C::FilterRows, u"F&ilter\tCtrl+F", nullptr, -1, false},
    {C::CompareFolders, u"Com&pare Folders", nullptr, -1, false},
    {C::ShowOnlyDifferences, u"Show Only &Differences", nullptr, -1, false},
    {C::Synchronise, u"S&ynchronise...", nullptr, -1, false},

    {C::LocalRefresh, u"Re&fresh\tF5", nullptr, 4, true},
    {C::LocalMakeDirectory, u"&Make Directory...", nullptr, 5, true},
    {C::LocalChangeDirectory, u"&Change Directory...", nullptr, -1, false},
    {C::LocalEdit, u"&Edit...\tCtrl+E", u"&Edit...", 6, true},
    {C::LocalProperties, u"&Properties...", u"&Properties", 7, true},
    {C::LocalRename, u"&Rename...", u"&Rename...", 8, true},
    {C::LocalMove, u"Mo&ve...", u"Mo&ve...", -1, false},
    {C::LocalDelete, u"&Delete...\tDel", u"&Delete...", 9, true},
    {C::Upload, u"&Transfer...\tCtrl+U", u"&Transfer...", 10, true},
    {C::LocalSelectAll, u"Select &All\tCtrl+Shift+A", u"Select &All", -1, false},
    {C::LocalSortName, u"by &Name...", nullptr, -1, false},
    {C::LocalSortDate, u"by &Date...", nullptr, -1, false},
    {C::LocalSortSize, u"by &Size...", nullptr, -1, false},
    {C::LocalSortType, u"by &Type...", nullptr, -1, false},
    {C::SortSettings, u"Settin&gs...", nullptr, -1, false},

    {C::RemoteRefresh, u"Re&fresh\tAlf+F5", nullptr, 11, true},
    {C::RemoteMakeDirectory, u"&Make Directory...", nullptr, 12, true},
    {C::RemoteProperties, u"&Properties...", u"&Properties", 13, true},
    {C::RemoteRename, u"&Rename...", u"&Rename...", 14, true},
    {C::RemoteDelete, u"&Delete...\tAlt+Del", u"&Delete...", 15, true},
    {C::Download, u"&Transfer...\tCtrl+D", u"&Transfer...", 16, true},
    {C::RemoteEdit, u"&Edit...\tF4", u"&Edit...", -1, false},
    {C::EditedFiles, u"Edited F&iles...", nullptr, -1, false},
    {C::RemotePermissions, u"Permissi&ons...", u"Permissi&ons...", -1, false},
    {C::AddBookmark, u"Add &Bookmark\tCtrl+B", nullptr, -1, false},
    {C::Bookmarks, u"Boo&kmarks...", nullptr, -1, false},
    {C::RemoteSelectAll, u"Select &All\tAlt+Shift+A", u"Select &All", -1, false},
    {C::RemoteSortName, u"by &Name...", nullptr, -1, false},
    {C::RemoteSortDate, u"by &Date...", nullptr, -1, false},
    {C::RemoteSortSize, u"by &Size...", nullptr, -1, false},
    {C::RemoteSortType, u"by &Type...", nullptr, -1, false},

    {C::HelpContents, u"&Contents\tF1", nullptr, 20, true},
    {C::HelpSearch, u"&Search...", nullptr, -1, false},
    {C::HelpHowToUse, u"&How to Use Help", nullptr, -1, false},
    {C::Setup, u"Set&up...", nullptr, -1, false},
    {C::Version, u"&Version...", nullptr, -1, false},
    {C::WebSite, u"&Web Site...", nullptr, -1, false},
    {C::SendEmail, u"Send &E-Mail to Author...", nullptr, -1, false},
    {C::About, u"&About Tarnwick 2000...", nullptr, 21, true},

    {C::CancelMenu, nullptr, u"&Cancel", -1, false},
};

QString text(const char16_t* s) {
    return s ? QString::fromUtf16(s) : QString();
}

std::vector<AcceleratorEntry> buildAccelerators() {
    const auto one = [](const char16_t* key, CommandId id) {
        return AcceleratorEntry{text(key), QStringList{text(key)}, id};
    };
    return {
        one(u"Ctrl+A", C::Accounts),
        one(u"Ctrl+D", C::Download),
        one(u"Ctrl+E", C::LocalEdit),
        one(u"Ctrl+O", C::Connect),
        one(u"Ctrl+Q", C::Exit),
        one(u"Ctrl+R", C::ReConnect),
        one(u"Ctrl+T", C::AlwaysOnTop),
        one(u"Ctrl+U", C::Upload),
        one(u"Del", C::LocalDelete),
        one(u"Alt+Del", C::RemoteDelete),
        one(u"F1", C::HelpContents),
        one(u"F5", C::LocalRefresh),
        one(u"Alt+F5", C::RemoteRefresh),
        one(u"F4", C::RemoteEdit),
        one(u"Ctrl+Shift+A", C::LocalSelectAll),
        one(u"Alt+Shift+A", C::RemoteSelectAll),
        one(u"Ctrl+B", C::AddBookmark),
        one(u"Ctrl+H", C::ViewHiddenFiles),
        one(u"Ctrl+L", C::GoToFolder),
        one(u"Ctrl+F", C::FilterRows),
        AcceleratorEntry{QStringLiteral("Enter"),
                         QStringList{QStringLiteral("Return"), QStringLiteral("Enter")},
                         C::LocalEdit},
        AcceleratorEntry{QStringLiteral("Alt+Enter"),
                         QStringList{QStringLiteral("Alt+Return"), QStringLiteral("Alt+Enter")},
                         C::LocalProperties},
        one(u"Ctrl+W", C::Disconnect),
        one(u"Ctrl+X", C::Export),
        one(u"Ctrl+Y", C::Minimize),
        one(u"Esc", C::StopTransfer),
    };
}

std::vector<CommandInfo> buildCommands() {
    std::vector<CommandInfo> commands;
    commands.reserve(std::size(kRows));
    for (const Row& row : kRows) {
        CommandInfo info;
        info.id = row.id;
        info.menuText = text(row.menuText);
        info.contextMenuText = text(row.contextText);
        info.imageIndex = row.imageIndex;
        info.pictureId = row.picture ? toInt(row.id) : 0;
        for (const AcceleratorEntry& accel : AcceleratorTable())
            if (accel.command == row.id)
                info.shortcuts += accel.qtKeys;
        commands.push_back(std::move(info));
    }
    for (CommandInfo& info : commands) {
        // Always on Top shows a picture of its own while checked.
        if (info.id == C::AlwaysOnTop)
            info.checkedPictureId = 1399;
        info.checkable = info.id == C::ViewToolbar || info.id == C::ViewStatus ||
                         info.id == C::ViewQueue || info.id == C::AlwaysOnTop ||
                         info.id == C::ViewQuickConnect || info.id == C::ViewHiddenFiles ||
                         info.id == C::ViewReadableSizes || info.id == C::CompareFolders ||
                         info.id == C::ShowOnlyDifferences || SortCommandOf(info.id).has_value();
    }
    return commands;
}

} // namespace

const std::vector<AcceleratorEntry>& AcceleratorTable() {
    static const std::vector<AcceleratorEntry> table = buildAccelerators();
    return table;
}

const std::vector<CommandInfo>& CommandTable() {
    static const std::vector<CommandInfo> table = buildCommands();
    return table;
}

const CommandInfo* FindCommand(int id) {
    if (id == 0)
        return nullptr;
    const auto& table = CommandTable();
    const auto it = std::find_if(table.begin(), table.end(),
                                 [id](const CommandInfo& info) { return info.value() == id; });
    return it == table.end() ? nullptr : &*it;
}

std::optional<SortCommand> SortCommandOf(CommandId id) {
    const int value = toInt(id);
    if (value >= toInt(C::LocalSortName) && value <= toInt(C::LocalSortType))
        return SortCommand{PaneSide::Local, static_cast<SortKey>(value - toInt(C::LocalSortName))};
    if (value >= toInt(C::RemoteSortName) && value <= toInt(C::RemoteSortType))
        return SortCommand{PaneSide::Remote,
                           static_cast<SortKey>(value - toInt(C::RemoteSortName))};
    return std::nullopt;
}

} // namespace tw
