#include "core/commands/menu_model.h"

#include "core/commands/command_table.h"

namespace tw {

namespace {

using C = CommandId;

MenuItem item(CommandId id) {
    const CommandInfo* info = FindCommand(id);
    return MenuItem{id, info ? info->menuText : QString(), false, {}};
}

MenuItem contextItem(CommandId id) {
    const CommandInfo* info = FindCommand(id);
    return MenuItem{id, info ? info->contextMenuText : QString(), false, {}};
}

MenuItem separator() {
    return MenuItem{C::None, QString(), true, {}};
}

MenuItem popup(const char16_t* text, std::vector<MenuItem> children) {
    return MenuItem{C::None, QString::fromUtf16(text), false, std::move(children)};
}

std::vector<MenuItem> buildMain() {
    const MenuItem sep = separator();
    return {
        popup(u"&FTP", {item(C::Connect), item(C::ReConnect), sep, item(C::Disconnect),
                        item(C::StopTransfer), sep, item(C::Accounts), sep, item(C::Import),
                        item(C::ImportFileZilla), item(C::ImportSshConfig), item(C::Export), sep,
                        item(C::Options), sep, item(C::Exit)}),
        popup(u"&View", {item(C::ViewToolbar),
                         item(C::ViewStatus),
                         item(C::ViewQueue),
                         item(C::ViewQuickConnect),
                         item(C::CustomizeToolbar),
                         sep,
                         item(C::ViewHiddenFiles),
                         item(C::ViewReadableSizes),
                         sep,
                         item(C::GoToFolder),
                         item(C::FilterRows),
                         sep,
                         item(C::CompareFolders),
                         item(C::ShowOnlyDifferences),
                         item(C::Synchronise),
                         sep,
                         item(C::Minimize),
                         item(C::AlwaysOnTop),
                         sep,
                         item(C::Font),
                         sep,
                         item(C::ClearLog),
                         sep,
                         item(C::TransferLog)}),
        popup(u"&Local",
              {item(C::LocalRefresh), item(C::LocalMakeDirectory), item(C::LocalChangeDirectory),
               sep, item(C::LocalEdit), sep, item(C::LocalProperties), item(C::LocalRename),
               item(C::LocalMove), item(C::LocalDelete), sep, item(C::LocalSelectAll), sep,
               item(C::Upload), sep,
               popup(u"&Sort", {item(C::LocalSortName), item(C::LocalSortDate),
                                item(C::LocalSortSize), item(C::LocalSortType)}),
               sep, item(C::SortSettings)}),
        popup(u"&Remote", {item(C::RemoteRefresh),
                           item(C::RemoteMakeDirectory),
                           sep,
                           item(C::RemoteEdit),
                           item(C::EditedFiles),
                           sep,
                           item(C::RemoteProperties),
                           item(C::RemoteRename),
                           item(C::RemoteDelete),
                           item(C::RemotePermissions),
                           sep,
                           item(C::RemoteSelectAll),
                           sep,
                           item(C::AddBookmark),
                           item(C::Bookmarks),
                           sep,
                           item(C::Download),
                           sep,
                           popup(u"&Sort", {item(C::RemoteSortName), item(C::RemoteSortDate),
                                            item(C::RemoteSortSize), item(C::RemoteSortType)}),
                           sep,
                           item(C::SortSettings)}),
        popup(u"&Help", {item(C::HelpContents), item(C::HelpSearch), item(C::HelpHowToUse), sep,
                         item(C::Setup), item(C::Version), sep, item(C::WebSite),
                         item(C::SendEmail), sep, item(C::About)}),
    };
}

std::vector<MenuItem> buildLocalContext() {
    return {contextItem(C::LocalEdit),
            separator(),
            contextItem(C::LocalProperties),
            contextItem(C::LocalRename),
            contextItem(C::LocalMove),
            contextItem(C::LocalDelete),
            separator(),
            contextItem(C::Upload),
            separator(),
            contextItem(C::LocalSelectAll),
            separator(),
            contextItem(C::CancelMenu)};
}

std::vector<MenuItem> buildRemoteContext() {
    return {contextItem(C::RemoteEdit),
            separator(),
            contextItem(C::RemoteProperties),
            contextItem(C::RemoteRename),
            contextItem(C::RemoteDelete),
            contextItem(C::RemotePermissions),
            separator(),
            contextItem(C::Download),
            separator(),
            contextItem(C::RemoteSelectAll),
            separator(),
            contextItem(C::CancelMenu)};
}

void collect(const std::vector<MenuItem>& menu, std::vector<CommandId>& out) {
    for (const MenuItem& entry : menu) {
        if (entry.separator)
            continue;
        if (entry.isPopup())
            collect(entry.children, out);
        else
            out.push_back(entry.id);
    }
}

} // namespace

const std::vector<MenuItem>& MainMenu() {
    static const std::vector<MenuItem> menu = buildMain();
    return menu;
}

const std::vector<MenuItem>& LocalContextMenu() {
    static const std::vector<MenuItem> menu = buildLocalContext();
    return menu;
}

const std::vector<MenuItem>& RemoteContextMenu() {
    static const std::vector<MenuItem> menu = buildRemoteContext();
    return menu;
}

const std::vector<MenuItem>& Menu(MenuKind kind) {
    switch (kind) {
    case MenuKind::LocalContext:
        return LocalContextMenu();
    case MenuKind::RemoteContext:
        return RemoteContextMenu();
    case MenuKind::Main:
        break;
    }
    return MainMenu();
}

std::vector<CommandId> MenuPictures(MenuKind kind) {
    switch (kind) {
    case MenuKind::LocalContext:
        return {C::LocalEdit, C::LocalRename, C::LocalProperties, C::LocalDelete, C::Upload};
    case MenuKind::RemoteContext:
        return {C::RemoteRename, C::RemoteProperties, C::RemoteDelete, C::Download};
    case MenuKind::Main:
        break;
    }
    return {C::Connect,
            C::ReConnect,
            C::Disconnect,
            C::Accounts,
            C::Options,
            C::Exit,
            C::Minimize,
            C::AlwaysOnTop,
            C::Font,
            C::LocalRefresh,
            C::LocalMakeDirectory,
            C::LocalEdit,
            C::LocalRename,
            C::LocalProperties,
            C::LocalDelete,
            C::Upload,
            C::RemoteRefresh,
            C::RemoteMakeDirectory,
            C::RemoteRename,
            C::RemoteProperties,
            C::RemoteDelete,
            C::Download,
            C::HelpContents,
            C::About};
}

std::vector<CommandId> MenuCommands(const std::vector<MenuItem>& menu) {
    std::vector<CommandId> out;
    collect(menu, out);
    return out;
}

} // namespace tw
