#pragma once

#include "core/commands/command_id.h"
#include "core/panes/pane_state.h"
#include "core/state/app_state.h"

#include <map>
#include <optional>

namespace tw {

struct AppRuntime;

// Everything the enabling rule reads, taken afresh each time it runs.
struct CommandInputs {
    bool connected = false;       // C
    bool busy = false;            // B: a worker thread runs
    bool transfers = false;       // the transfer queue runs
    bool sessionLost = false;     // the connection is gone; Re-Connect can restore it
    int localSelected = 0;        // L: selected rows in the local file list
    int remoteSelected = 0;       // R: selected rows in the remote file list
    bool helpPresent = false;     // H: the help document exists
    bool comparing = false;       // the panes show Compare Folders' marks
    bool onlyDifferences = false; // ... and only the rows that differ
    Options options;              // reads ToolBar, Status, TransferQueue, TopMost
    SortKey localSort = SortKey::Name;
    SortKey remoteSort = SortKey::Name;

    // The inputs of the running program: flags, options, sort keys and the help path; the
    // two selection counts come from the views.
    static CommandInputs From(const AppState& state, const AppRuntime& runtime,
                              const AppGlobals& globals, int localSelected, int remoteSelected);
};

struct CommandState {
    bool enabled = false;
    bool checked = false;
    bool operator==(const CommandState&) const = default;
};

// Where a command is shown. The toolbar shows the Main state of the commands that have a
// button; a disabled button is shown greyed.
enum class CommandSurface { Main, LocalContext, RemoteContext };

// The enabled / checked state of every command on each surface.
class CommandStates {
public:
    // The state of `id` on `surface`; nullopt when the command is not on that surface.
    std::optional<CommandState> find(CommandSurface surface, CommandId id) const;
    // The state on the main menu and toolbar (a command not there reads as disabled).
    CommandState main(CommandId id) const { return get(CommandSurface::Main, id); }
    CommandState localContext(CommandId id) const { return get(CommandSurface::LocalContext, id); }
    CommandState remoteContext(CommandId id) const {
        return get(CommandSurface::RemoteContext, id);
    }
    CommandState get(CommandSurface surface, CommandId id) const {
        return find(surface, id).value_or(CommandState{});
    }
    // Every command of a surface with its state, by id.
    const std::map<CommandId, CommandState>& surface(CommandSurface surface) const;

    void set(CommandSurface surface, CommandId id, CommandState state);

private:
    std::map<CommandId, CommandState> m_main;
    std::map<CommandId, CommandState> m_local;
    std::map<CommandId, CommandState> m_remote;
};

// The enabling rule: a pure function of its inputs. The UI applies the result to the main menu,
// the toolbar and both context menus (on menu opening, after every command, after a selection
// change, when a worker starts and when it ends).
CommandStates UpdateCommandState(const CommandInputs& in);

// The status texts of a refused command: why the rule keeps it disabled.
inline constexpr int kRefusedBusy = 4700;      // "Not available while the connection is busy"
inline constexpr int kRefusedConnected = 4701; // "Not available while connected"
inline constexpr int kRefusedOffline = 4702;   // "Not available without a connection"
inline constexpr int kRefusedSelection = 4703; // "Not available for the selected rows"
inline constexpr int kRefusedIdle = 4704;      // "Not available: nothing is running"
inline constexpr int kRefusedOther = 4705;     // "Not available now"

// Why the enabling rule refuses `id` on the main menu and toolbar under `in`: the text id of
// the reason, or nullopt when the command is enabled there (or is not there at all). Context
// menus never enable more than the main menu, so the same answer serves them.
std::optional<int> RefusalTextId(const CommandInputs& in, CommandId id);

} // namespace tw
