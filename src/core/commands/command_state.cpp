#include "core/commands/command_state.h"

#include "core/state/app_runtime.h"

#include <initializer_list>

namespace tw {

CommandInputs CommandInputs::From(const AppState& state, const AppRuntime& runtime,
                                  const AppGlobals& globals, int localSelected,
                                  int remoteSelected) {
    CommandInputs in;
    in.connected = runtime.connected.load();
    in.busy = runtime.busy.load();
    in.transfers = runtime.transfersRunning.load();
    in.sessionLost = runtime.sessionLost.load();
    in.localSelected = localSelected;
    in.remoteSelected = remoteSelected;
    in.helpPresent = !globals.helpPath.isEmpty();
    in.comparing = runtime.comparing;
    in.onlyDifferences = runtime.onlyDifferences;
    in.options = state.options;
    in.localSort = state.local.sortKey;
    in.remoteSort = state.remote.sortKey;
    return in;
}

std::optional<CommandState> CommandStates::find(CommandSurface surface, CommandId id) const {
    const auto& states = this->surface(surface);
    const auto it = states.find(id);
    if (it == states.end())
        return std::nullopt;
    return it->second;
}

const std::map<CommandId, CommandState>& CommandStates::surface(CommandSurface surface) const {
    switch (surface) {
    case CommandSurface::LocalContext:
        return m_local;
    case CommandSurface::RemoteContext:
        return m_remote;
    case CommandSurface::Main:
        break;
    }
    return m_main;
}

void CommandStates::set(CommandSurface surface, CommandId id, CommandState state) {
    switch (surface) {
    case CommandSurface::LocalContext:
        m_local[id] = state;
        return;
    case CommandSurface::RemoteContext:
        m_remote[id] = state;
        return;
    case CommandSurface::Main:
        m_main[id] = state;
        return;
    }
}

CommandStates UpdateCommandState(const CommandInputs& in) {
    using C = CommandId;
    const bool connected = in.connected;
    const bool B = in.busy;
    const int L = in.localSelected;
    const int R = in.remoteSelected;
    const bool online = connected && !B && !in.sessionLost; // the connection is open and free

    CommandStates out;
    const auto main = [&out](std::initializer_list<CommandId> ids, bool enabled,
                             bool checked = false) {
        for (CommandId id : ids)
            out.set(CommandSurface::Main, id, {enabled, checked});
    };

    // A connect in progress runs with `busy` set before `connected`: the commands that would
    // change the account table or the current account wait for it.
    main({C::Connect, C::Accounts}, !connected && !B);
    main({C::ReConnect, C::Disconnect}, connected && !B);
    main({C::Options}, !B);
    main({C::StopTransfer}, B || in.transfers);
    main({C::Import, C::ImportFileZilla, C::ImportSshConfig, C::Export}, !connected && !B);
    main({C::Exit, C::Minimize, C::Font, C::ClearLog, C::TransferLog, C::LocalRefresh,
          C::LocalMakeDirectory, C::LocalChangeDirectory, C::SortSettings, C::HelpHowToUse,
          C::Setup, C::Version, C::WebSite, C::SendEmail, C::About},
         true);
    main({C::ViewToolbar}, true, in.options.ToolBar != 0);
    main({C::ViewStatus}, true, in.options.Status != 0);
    main({C::ViewQueue}, true, in.options.TransferQueue != 0);
    main({C::CustomizeToolbar}, in.options.ToolBar != 0);
    main({C::AlwaysOnTop}, true, in.options.TopMost != 0);
    main({C::ViewQuickConnect}, true, in.options.QuickConnectBar != 0);
    main({C::ViewHiddenFiles}, true, in.options.ShowHidden != 0);
    main({C::ViewReadableSizes}, true, in.options.ReadableSizes != 0);
    main({C::CompareFolders}, online || in.comparing, in.comparing);
    main({C::ShowOnlyDifferences}, in.comparing, in.onlyDifferences);
    main({C::Synchronise}, online);
    main({C::GoToFolder, C::FilterRows, C::LocalSelectAll, C::RemoteSelectAll, C::EditedFiles},
         true);
    main({C::LocalEdit, C::LocalProperties, C::LocalRename}, L == 1);
    main({C::LocalDelete, C::LocalMove}, L >= 1);
    main({C::Upload}, online && L >= 1);
    const C localSorts[] = {C::LocalSortName, C::LocalSortDate, C::LocalSortSize, C::LocalSortType};
    for (int key = 0; key < 4; ++key)
        main({localSorts[key]}, true, static_cast<int>(in.localSort) == key);
    main({C::RemoteRefresh, C::RemoteMakeDirectory}, online);
    // Properties of a remote row shows what the listing holds; it needs no open connection.
    main({C::RemoteProperties}, !B && R == 1);
    main({C::RemoteRename}, online && R == 1);
    main({C::RemoteDelete, C::Download}, online && R >= 1);
    main({C::RemoteEdit}, online && R == 1);
    main({C::RemotePermissions}, online && R >= 1);
    main({C::AddBookmark, C::Bookmarks}, online);
    const C remoteSorts[] = {C::RemoteSortName, C::RemoteSortDate, C::RemoteSortSize,
                             C::RemoteSortType};
    for (int key = 0; key < 4; ++key)
        main({remoteSorts[key]}, !B, static_cast<int>(in.remoteSort) == key);
    main({C::HelpContents, C::HelpSearch}, in.helpPresent);

    const auto local = [&out](std::initializer_list<CommandId> ids, bool enabled) {
        for (CommandId id : ids)
            out.set(CommandSurface::LocalContext, id, {enabled, false});
    };
    local({C::LocalEdit, C::LocalProperties, C::LocalRename}, L == 1);
    local({C::LocalDelete, C::LocalMove}, L >= 1);
    local({C::Upload}, online && L >= 1);
    local({C::CancelMenu, C::LocalSelectAll}, true);

    const auto remote = [&out](std::initializer_list<CommandId> ids, bool enabled) {
        for (CommandId id : ids)
            out.set(CommandSurface::RemoteContext, id, {enabled, false});
    };
    // In the context menu Properties also asks for the connection.
    remote({C::RemoteProperties, C::RemoteRename}, online && R == 1);
    remote({C::RemoteDelete, C::Download, C::RemotePermissions}, online && R >= 1);
    remote({C::RemoteEdit}, online && R == 1);
    remote({C::CancelMenu, C::RemoteSelectAll}, true);
    return out;
}

std::optional<int> RefusalTextId(const CommandInputs& in, CommandId id) {
    const auto enabledWith = [id](const CommandInputs& inputs) {
        const auto state = UpdateCommandState(inputs).find(CommandSurface::Main, id);
        return !state || state->enabled;
    };
    if (enabledWith(in))
        return std::nullopt;
    using Change = void (*)(CommandInputs&);
    const Change none = [](CommandInputs&) {};
    const Change busy = [](CommandInputs& c) { c.busy = !c.busy; };
    const Change found = [](CommandInputs& c) { c.sessionLost = false; };
    const Change connection = [](CommandInputs& c) {
        c.connected = !c.connected;
        c.sessionLost = false;
    };
    // The change of the inputs that would enable the command names the reason: one input
    // alone first, then the same with rows selected on both sides.
    const std::pair<Change, int> reasons[] = {
        {busy, in.busy ? kRefusedBusy : kRefusedIdle},
        {found, in.sessionLost ? kRefusedOffline : kRefusedOther},
        {connection, in.connected ? kRefusedConnected : kRefusedOffline},
    };
    const auto enabledAfter = [&](Change change, int rows) {
        CommandInputs changed = in;
        change(changed);
        if (rows > 0)
            changed.localSelected = changed.remoteSelected = rows;
        return enabledWith(changed);
    };
    for (const auto& [change, reason] : reasons)
        if (enabledAfter(change, 0))
            return reason;
    for (const int rows : {1, 2})
        if (enabledAfter(none, rows))
            return kRefusedSelection;
    for (const int rows : {1, 2})
        for (const auto& [change, reason] : reasons)
            if (enabledAfter(change, rows))
                return reason;
    return kRefusedOther;
}

} // namespace tw
