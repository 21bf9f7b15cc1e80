#include "core/commands/commands.h"
#include "core/state/app_runtime.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <set>

using namespace tw;
using C = CommandId;

namespace {

CommandInputs inputs(bool connected, bool busy, int local, int remote, bool help = true) {
    CommandInputs in;
    in.connected = connected;
    in.busy = busy;
    in.localSelected = local;
    in.remoteSelected = remote;
    in.helpPresent = help;
    return in;
}

bool enabled(const CommandStates& s, CommandId id) {
    return s.main(id).enabled;
}

// Commands that use the FTP connection (or would start a worker on it).
const std::vector<CommandId> kConnectionBound = {
    C::ReConnect,           C::Disconnect,        C::Upload,       C::RemoteRefresh,
    C::RemoteMakeDirectory, C::RemoteRename,      C::RemoteDelete, C::Download,
    C::RemoteEdit,          C::RemotePermissions, C::AddBookmark,  C::Bookmarks};

// Commands of the local pane: never affected by the connection or a running worker.
const std::vector<CommandId> kLocalPane = {
    C::LocalRefresh,  C::LocalMakeDirectory, C::LocalChangeDirectory,
    C::LocalEdit,     C::LocalProperties,    C::LocalRename,
    C::LocalMove,     C::LocalDelete,        C::LocalSortName,
    C::LocalSortDate, C::LocalSortSize,      C::LocalSortType};

const std::vector<CommandId> kAlwaysEnabled = {C::Exit,
                                               C::Minimize,
                                               C::Font,
                                               C::ClearLog,
                                               C::TransferLog,
                                               C::LocalRefresh,
                                               C::LocalMakeDirectory,
                                               C::LocalChangeDirectory,
                                               C::SortSettings,
                                               C::HelpHowToUse,
                                               C::Setup,
                                               C::Version,
                                               C::WebSite,
                                               C::SendEmail,
                                               C::About,
                                               C::ViewToolbar,
                                               C::ViewStatus,
                                               C::ViewQueue,
                                               C::AlwaysOnTop,
                                               C::LocalSortName,
                                               C::LocalSortDate,
                                               C::LocalSortSize,
                                               C::LocalSortType};

std::set<CommandId> keys(const std::map<CommandId, CommandState>& states) {
    std::set<CommandId> out;
    for (const auto& [id, state] : states)
        out.insert(id);
    return out;
}

std::set<CommandId> asSet(const std::vector<CommandId>& ids) {
    return {ids.begin(), ids.end()};
}

} // namespace

// --- The cases worth a look one by one ---

TEST(CommandState, WithoutHelpFileContentsAndSearchAreGreyed) {
    const auto s = UpdateCommandState(inputs(false, false, 0, 0, false));
    EXPECT_FALSE(enabled(s, C::HelpContents)); // also the Help button
    EXPECT_FALSE(enabled(s, C::HelpSearch));
    EXPECT_TRUE(enabled(s, C::HelpHowToUse));
    const auto withHelp = UpdateCommandState(inputs(false, false, 0, 0, true));
    EXPECT_TRUE(enabled(withHelp, C::HelpContents));
    EXPECT_TRUE(enabled(withHelp, C::HelpSearch));
}

TEST(CommandState, OfflineRemoteButtonsGreyExceptPropertiesOfTheMainMenu) {
    const auto s = UpdateCommandState(inputs(false, false, 0, 1));
    for (CommandId id : {C::RemoteRefresh, C::RemoteMakeDirectory, C::RemoteProperties,
                         C::RemoteRename, C::RemoteDelete, C::Download}) {
        ASSERT_TRUE(FindCommand(id)->hasButton());
        EXPECT_EQ(s.main(id).enabled, id == C::RemoteProperties) << toInt(id);
    }
    // The main menu's remote Properties follows only busy and the selection ...
    EXPECT_TRUE(enabled(s, C::RemoteProperties));
    EXPECT_FALSE(UpdateCommandState(inputs(false, true, 0, 1)).main(C::RemoteProperties).enabled);
    EXPECT_FALSE(UpdateCommandState(inputs(false, false, 0, 2)).main(C::RemoteProperties).enabled);
    // ... while the context menu's needs the connection too.
    EXPECT_FALSE(s.remoteContext(C::RemoteProperties).enabled);
    EXPECT_TRUE(
        UpdateCommandState(inputs(true, false, 0, 1)).remoteContext(C::RemoteProperties).enabled);
}

TEST(CommandState, TwoLocalRowsAllowOnlyMultiRowCommands) {
    for (bool connected : {false, true}) {
        const auto s = UpdateCommandState(inputs(connected, false, 2, 0));
        for (CommandSurface surface : {CommandSurface::Main, CommandSurface::LocalContext}) {
            EXPECT_TRUE(s.get(surface, C::LocalDelete).enabled);
            EXPECT_TRUE(s.get(surface, C::LocalMove).enabled);
            EXPECT_EQ(s.get(surface, C::Upload).enabled, connected);
            EXPECT_FALSE(s.get(surface, C::LocalEdit).enabled);
            EXPECT_FALSE(s.get(surface, C::LocalProperties).enabled);
            EXPECT_FALSE(s.get(surface, C::LocalRename).enabled);
        }
    }
}

TEST(CommandState, NoSelectionGreysEverySelectionCommand) {
    const auto s = UpdateCommandState(inputs(true, false, 0, 0));
    for (CommandId id :
         {C::LocalEdit, C::LocalProperties, C::LocalRename, C::LocalMove, C::LocalDelete, C::Upload,
          C::RemoteProperties, C::RemoteRename, C::RemoteDelete, C::Download})
        EXPECT_FALSE(enabled(s, id)) << toInt(id);
    // Negative counts (a view that reports an error) count as no selection.
    const auto odd = UpdateCommandState(inputs(true, false, -1, -1));
    EXPECT_FALSE(enabled(odd, C::LocalDelete));
    EXPECT_FALSE(enabled(odd, C::Download));
}

TEST(CommandState, ToolbarOptionDrivesCheckAndCustomize) {
    auto in = inputs(false, false, 0, 0);
    in.options.ToolBar = 0;
    auto s = UpdateCommandState(in);
    EXPECT_FALSE(enabled(s, C::CustomizeToolbar));
    EXPECT_FALSE(s.main(C::ViewToolbar).checked);
    EXPECT_TRUE(enabled(s, C::ViewToolbar));
    in.options.ToolBar = 1;
    s = UpdateCommandState(in);
    EXPECT_TRUE(enabled(s, C::CustomizeToolbar));
    EXPECT_TRUE(s.main(C::ViewToolbar).checked);
}

TEST(CommandState, CheckMarksFollowOptionsAndSortKeys) {
    auto in = inputs(true, true, 0, 0);
    in.options.Status = 0;
    in.options.TopMost = 1;
    in.localSort = SortKey::Size;
    in.remoteSort = SortKey::Date;
    const auto s = UpdateCommandState(in);
    EXPECT_FALSE(s.main(C::ViewStatus).checked);
    EXPECT_TRUE(s.main(C::AlwaysOnTop).checked);
    EXPECT_TRUE(s.main(C::AlwaysOnTop).enabled);
    EXPECT_TRUE(s.main(C::LocalSortSize).checked);
    EXPECT_TRUE(s.main(C::LocalSortSize).enabled);
    // While busy the remote sort items are greyed but keep their mark.
    EXPECT_TRUE(s.main(C::RemoteSortDate).checked);
    EXPECT_FALSE(s.main(C::RemoteSortDate).enabled);
    EXPECT_FALSE(s.main(C::RemoteSortName).checked);
}

TEST(CommandState, ConnectedStateSwapsConnectionCommands) {
    const auto offline = UpdateCommandState(inputs(false, false, 0, 0));
    const auto online = UpdateCommandState(inputs(true, false, 0, 0));
    for (CommandId id :
         {C::Connect, C::Accounts, C::Import, C::ImportFileZilla, C::ImportSshConfig, C::Export}) {
        EXPECT_TRUE(enabled(offline, id)) << toInt(id);
        EXPECT_FALSE(enabled(online, id)) << toInt(id);
    }
    for (CommandId id : {C::ReConnect, C::Disconnect, C::RemoteRefresh, C::RemoteMakeDirectory}) {
        EXPECT_FALSE(enabled(offline, id)) << toInt(id);
        EXPECT_TRUE(enabled(online, id)) << toInt(id);
    }
    // Options is refused only while a worker runs.
    EXPECT_TRUE(enabled(online, C::Options));
    EXPECT_FALSE(UpdateCommandState(inputs(true, true, 0, 0)).main(C::Options).enabled);
    // Stop Transfer is there only while a worker runs.
    EXPECT_FALSE(enabled(online, C::StopTransfer));
    EXPECT_TRUE(UpdateCommandState(inputs(true, true, 0, 0)).main(C::StopTransfer).enabled);
}

TEST(CommandState, InputsAreTakenFromTheRunningProgram) {
    AppState state;
    AppRuntime runtime;
    AppGlobals globals;
    state.options.TopMost = 1;
    state.local.sortKey = SortKey::Type;
    state.remote.sortKey = SortKey::Size;
    runtime.connected = true;
    runtime.busy = true;
    globals.helpPath.clear();
    auto in = CommandInputs::From(state, runtime, globals, 3, 1);
    EXPECT_TRUE(in.connected);
    EXPECT_TRUE(in.busy);
    EXPECT_EQ(in.localSelected, 3);
    EXPECT_EQ(in.remoteSelected, 1);
    EXPECT_FALSE(in.helpPresent);
    EXPECT_EQ(in.options, state.options);
    EXPECT_EQ(in.localSort, SortKey::Type);
    EXPECT_EQ(in.remoteSort, SortKey::Size);
    globals.helpPath = u"/usr/share/doc/tarnwick2000/help.html"_qs;
    runtime.busy = false;
    in = CommandInputs::From(state, runtime, globals, 0, 0);
    EXPECT_TRUE(in.helpPresent);
    EXPECT_FALSE(in.busy);
}

// --- Every combination of the inputs against the rules that always hold ---

class CommandStateSweep : public ::testing::Test {
protected:
    template <typename Check>
    void forAll(Check check) {
        for (int bits = 0; bits < (1 << 8); ++bits)
            for (int l = 0; l <= 2; ++l)
                for (int r = 0; r <= 2; ++r)
                    for (int sorts = 0; sorts < 16; ++sorts) {
                        CommandInputs in = inputs(bits & 1, bits & 2, l, r, bits & 4);
                        in.options.ToolBar = (bits >> 3) & 1;
                        in.options.Status = (bits >> 4) & 1;
                        in.options.TopMost = (bits >> 5) & 1;
                        in.options.TransferQueue = (bits >> 6) & 1;
                        // The view flags of the panes move together: they only set check marks.
                        in.options.QuickConnectBar = in.options.ShowHidden =
                            in.options.ReadableSizes = (bits >> 7) & 1;
                        in.comparing = in.onlyDifferences = (bits >> 7) & 1;
                        in.localSort = static_cast<SortKey>(sorts & 3);
                        in.remoteSort = static_cast<SortKey>(sorts >> 2);
                        check(in, UpdateCommandState(in));
                    }
    }
};

TEST_F(CommandStateSweep, EachSurfaceHoldsExactlyItsMenuItems) {
    forAll([](const CommandInputs&, const CommandStates& s) {
        EXPECT_EQ(keys(s.surface(CommandSurface::Main)), asSet(MenuCommands(MainMenu())));
        EXPECT_EQ(keys(s.surface(CommandSurface::LocalContext)),
                  asSet(MenuCommands(LocalContextMenu())));
        EXPECT_EQ(keys(s.surface(CommandSurface::RemoteContext)),
                  asSet(MenuCommands(RemoteContextMenu())));
        for (const ToolbarSlot& button : ToolbarButtons())
            EXPECT_TRUE(s.find(CommandSurface::Main, button.id)) << toInt(button.id);
    });
}

TEST_F(CommandStateSweep, BusyGreysEveryConnectionCommandAndSparesTheLocalPane) {
    forAll([](const CommandInputs& in, const CommandStates& s) {
        if (in.busy) {
            for (CommandId id : kConnectionBound) {
                EXPECT_FALSE(s.main(id).enabled) << toInt(id);
                for (CommandSurface ctx :
                     {CommandSurface::LocalContext, CommandSurface::RemoteContext})
                    if (auto c = s.find(ctx, id)) {
                        EXPECT_FALSE(c->enabled) << toInt(id);
                    }
            }
            // Also the commands that change the accounts or start a connection: a connect in
            // progress is busy before it is connected.
            for (CommandId id :
                 {C::Options, C::RemoteProperties, C::RemoteSortName, C::RemoteSortDate,
                  C::RemoteSortSize, C::RemoteSortType, C::Connect, C::Accounts, C::Import,
                  C::ImportFileZilla, C::ImportSshConfig, C::Export})
                EXPECT_FALSE(s.main(id).enabled) << toInt(id);
        }
        if (!in.connected) {
            for (CommandId id : kConnectionBound)
                EXPECT_FALSE(s.main(id).enabled) << toInt(id);
        }
        // The local pane does not care about the connection or a running worker.
        CommandInputs idle = in;
        idle.busy = false;
        idle.connected = false;
        const CommandStates reference = UpdateCommandState(idle);
        for (CommandId id : kLocalPane)
            EXPECT_EQ(s.main(id), reference.main(id)) << toInt(id);
        for (CommandId id :
             {C::LocalEdit, C::LocalProperties, C::LocalRename, C::LocalMove, C::LocalDelete})
            EXPECT_EQ(s.localContext(id), reference.localContext(id)) << toInt(id);
    });
}

TEST_F(CommandStateSweep, AlwaysEnabledCommandsAndCancel) {
    forAll([](const CommandInputs&, const CommandStates& s) {
        for (CommandId id : kAlwaysEnabled)
            EXPECT_TRUE(s.main(id).enabled) << toInt(id);
        EXPECT_TRUE(s.localContext(C::CancelMenu).enabled);
        EXPECT_TRUE(s.remoteContext(C::CancelMenu).enabled);
    });
}

TEST_F(CommandStateSweep, SelectionCountsGateTheRowCommands) {
    forAll([](const CommandInputs& in, const CommandStates& s) {
        const bool free = in.connected && !in.busy;
        for (CommandId id : {C::LocalEdit, C::LocalProperties, C::LocalRename})
            EXPECT_EQ(s.main(id).enabled, in.localSelected == 1) << toInt(id);
        for (CommandId id : {C::LocalDelete, C::LocalMove})
            EXPECT_EQ(s.main(id).enabled, in.localSelected >= 1) << toInt(id);
        EXPECT_EQ(s.main(C::Upload).enabled, free && in.localSelected >= 1);
        EXPECT_EQ(s.main(C::RemoteRename).enabled, free && in.remoteSelected == 1);
        EXPECT_EQ(s.main(C::RemoteProperties).enabled, !in.busy && in.remoteSelected == 1);
        for (CommandId id : {C::RemoteDelete, C::Download})
            EXPECT_EQ(s.main(id).enabled, free && in.remoteSelected >= 1) << toInt(id);
    });
}

TEST_F(CommandStateSweep, ContextMenusDifferFromTheMainMenuOnlyInRemoteProperties) {
    forAll([](const CommandInputs& in, const CommandStates& s) {
        for (CommandSurface ctx : {CommandSurface::LocalContext, CommandSurface::RemoteContext}) {
            for (const auto& [id, state] : s.surface(ctx)) {
                EXPECT_FALSE(state.checked) << toInt(id);
                if (id == C::CancelMenu)
                    continue;
                const bool differs = id == C::RemoteProperties && !in.connected && !in.busy &&
                                     in.remoteSelected == 1;
                EXPECT_EQ(state.enabled != s.main(id).enabled, differs) << toInt(id);
                // A context menu never offers what the main menu greys.
                if (state.enabled) {
                    EXPECT_TRUE(s.main(id).enabled) << toInt(id);
                }
            }
        }
    });
}

TEST_F(CommandStateSweep, CheckMarksOnlyWhereTheRuleSetsThem) {
    forAll([](const CommandInputs& in, const CommandStates& s) {
        int localChecked = 0;
        int remoteChecked = 0;
        for (const auto& [id, state] : s.surface(CommandSurface::Main)) {
            const int v = toInt(id);
            if (v >= 530 && v <= 533) {
                localChecked += state.checked;
                EXPECT_EQ(state.checked, v - 530 == static_cast<int>(in.localSort));
            } else if (v >= 534 && v <= 537) {
                remoteChecked += state.checked;
                EXPECT_EQ(state.checked, v - 534 == static_cast<int>(in.remoteSort));
            } else if (id == C::ViewToolbar) {
                EXPECT_EQ(state.checked, in.options.ToolBar != 0);
            } else if (id == C::ViewStatus) {
                EXPECT_EQ(state.checked, in.options.Status != 0);
            } else if (id == C::ViewQueue) {
                EXPECT_EQ(state.checked, in.options.TransferQueue != 0);
            } else if (id == C::AlwaysOnTop) {
                EXPECT_EQ(state.checked, in.options.TopMost != 0);
            } else if (id == C::ViewQuickConnect || id == C::ViewHiddenFiles ||
                       id == C::ViewReadableSizes) {
                EXPECT_EQ(state.checked, in.options.ShowHidden != 0);
            } else if (id == C::CompareFolders) {
                EXPECT_EQ(state.checked, in.comparing);
            } else if (id == C::ShowOnlyDifferences) {
                EXPECT_EQ(state.checked, in.onlyDifferences);
            } else {
                EXPECT_FALSE(state.checked) << v;
            }
        }
        EXPECT_EQ(localChecked, 1);
        EXPECT_EQ(remoteChecked, 1);
        EXPECT_EQ(s.main(C::CustomizeToolbar).enabled, in.options.ToolBar != 0);
        EXPECT_EQ(s.main(C::HelpContents).enabled, in.helpPresent);
    });
}

TEST_F(CommandStateSweep, CheckableCommandsAreExactlyThoseEverChecked) {
    std::set<CommandId> everChecked;
    forAll([&everChecked](const CommandInputs&, const CommandStates& s) {
        for (const auto& [id, state] : s.surface(CommandSurface::Main))
            if (state.checked)
                everChecked.insert(id);
    });
    std::set<CommandId> checkable;
    for (const CommandInfo& info : CommandTable())
        if (info.checkable)
            checkable.insert(info.id);
    EXPECT_EQ(everChecked, checkable);
}

TEST(CommandState, ALostSessionLeavesOnlyReConnectAndDisconnect) {
    CommandInputs in = inputs(true, false, 1, 1);
    in.sessionLost = true;
    const CommandStates s = UpdateCommandState(in);
    for (CommandId id : kConnectionBound) {
        const bool expected = id == C::ReConnect || id == C::Disconnect;
        EXPECT_EQ(enabled(s, id), expected) << int(id);
    }
    EXPECT_FALSE(s.find(CommandSurface::RemoteContext, C::Download)->enabled);
    EXPECT_FALSE(s.find(CommandSurface::LocalContext, C::Upload)->enabled);
    EXPECT_FALSE(enabled(s, C::Connect)); // still connected: Re-Connect is the way back
}

// --- Why a disabled command is refused ---

TEST(CommandRefusal, EachDisabledCommandNamesTheInputThatGreysIt) {
    const auto lost = [] {
        CommandInputs in = inputs(true, false, 1, 1);
        in.sessionLost = true;
        return in;
    };
    const auto noToolbar = [] {
        CommandInputs in = inputs(false, false, 0, 0);
        in.options.ToolBar = 0;
        return in;
    };
    struct Case {
        const char* what;
        CommandInputs in;
        CommandId id;
        std::optional<int> reason;
    };
    const Case cases[] = {
        {"connecting: Accounts", inputs(false, true, 0, 0), C::Accounts, kRefusedBusy},
        {"connecting: Connect", inputs(false, true, 0, 0), C::Connect, kRefusedBusy},
        {"connecting: Import", inputs(false, true, 0, 0), C::Import, kRefusedBusy},
        {"connecting: Export", inputs(false, true, 0, 0), C::Export, kRefusedBusy},
        {"listing: Download", inputs(true, true, 0, 1), C::Download, kRefusedBusy},
        {"listing: Disconnect", inputs(true, true, 0, 0), C::Disconnect, kRefusedBusy},
        {"connected: Accounts", inputs(true, false, 0, 0), C::Accounts, kRefusedConnected},
        {"connected: Export", inputs(true, false, 0, 0), C::Export, kRefusedConnected},
        {"offline: Download", inputs(false, false, 0, 1), C::Download, kRefusedOffline},
        {"offline, no rows: Download", inputs(false, false, 0, 0), C::Download, kRefusedOffline},
        {"offline: Refresh", inputs(false, false, 0, 0), C::RemoteRefresh, kRefusedOffline},
        {"lost: Refresh", lost(), C::RemoteRefresh, kRefusedOffline},
        {"lost: Connect", lost(), C::Connect, kRefusedConnected},
        {"connected, no rows: Download", inputs(true, false, 0, 0), C::Download, kRefusedSelection},
        {"two rows: Edit", inputs(false, false, 2, 0), C::LocalEdit, kRefusedSelection},
        {"idle: Stop Transfer", inputs(true, false, 0, 0), C::StopTransfer, kRefusedIdle},
        {"no help: Contents", inputs(false, false, 0, 0, false), C::HelpContents, kRefusedOther},
        {"toolbar off: Customize", noToolbar(), C::CustomizeToolbar, kRefusedOther},
        {"offline: Connect", inputs(false, false, 0, 0), C::Connect, std::nullopt},
        {"one row: Edit", inputs(false, false, 1, 0), C::LocalEdit, std::nullopt},
        {"listing: Stop Transfer", inputs(true, true, 0, 0), C::StopTransfer, std::nullopt},
        {"context menu only: Cancel", inputs(false, true, 0, 0), C::CancelMenu, std::nullopt},
    };
    for (const Case& c : cases)
        EXPECT_EQ(RefusalTextId(c.in, c.id), c.reason) << c.what;
}

TEST(CommandRefusal, RefusedExactlyWhenTheMainMenuGreysTheCommand) {
    for (int bits = 0; bits < 16; ++bits)
        for (int rows = 0; rows <= 4; ++rows) {
            CommandInputs in = inputs(bits & 1, bits & 2, rows % 3, rows / 2, bits & 4);
            in.sessionLost = (bits & 8) && in.connected;
            const CommandStates s = UpdateCommandState(in);
            for (const auto& [id, state] : s.surface(CommandSurface::Main)) {
                const std::optional<int> reason = RefusalTextId(in, id);
                EXPECT_EQ(reason.has_value(), !state.enabled) << toInt(id) << " bits " << bits;
                if (reason) {
                    EXPECT_GE(*reason, kRefusedBusy);
                    EXPECT_LE(*reason, kRefusedOther);
                }
            }
        }
}
