#pragma once

#include "core/commands/command_id.h"

#include <functional>
#include <map>
#include <optional>

namespace tw {

class Messages;

// The one dispatcher every menu item, toolbar button, accelerator and context-menu item reaches.
// Subsystems register a handler per command; dispatch() shows the command's help string in the
// status bar, runs the handler, adds "Ready ..." after Connect and Re-Connect, and always ends
// by recomputing the command states through the UI port - also for an id without handler, which
// otherwise changes nothing. A command the gate refuses (a disabled command reached by its
// accelerator, or dispatched while its rule greys it) runs nothing: it beeps and the status
// bar says why. Runs on the user-interface thread only.
class CommandDispatcher {
public:
    using Handler = std::function<void()>;
    // The text id of the reason a command is refused now, or nullopt when it may run.
    using Gate = std::function<std::optional<int>(CommandId)>;

    explicit CommandDispatcher(const Messages& messages);

    // Registers (or replaces) the handler of `id`; an empty handler removes it.
    void registerHandler(CommandId id, Handler handler);
    bool hasHandler(int id) const;
    bool hasHandler(CommandId id) const { return hasHandler(toInt(id)); }
    // Without a gate every command with a handler runs.
    void setGate(Gate gate) { m_gate = std::move(gate); }

    // Carries out command `id`. Returns true when a handler ran; false for an id without one
    // (the caller may pass it on as unhandled) and for a refused one.
    bool dispatch(int id);
    bool dispatch(CommandId id) { return dispatch(toInt(id)); }

private:
    const Messages& m_messages;
    std::map<int, Handler> m_handlers;
    Gate m_gate;
};

} // namespace tw
