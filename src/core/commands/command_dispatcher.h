#pragma once

#include "core/commands/command_id.h"

#include <functional>
#include <map>

namespace tw {

class Messages;

// The one dispatcher every menu item, toolbar button, accelerator and context-menu item reaches.
// Subsystems register a handler per command; dispatch() shows the command's help string in the
// status bar, runs the handler, adds "Ready ..." after Connect and Re-Connect, and always ends
// by recomputing the command states through the UI port - also for an id without handler, which
// otherwise changes nothing. Runs on the user-interface thread only.
class CommandDispatcher {
public:
    using Handler = std::function<void()>;

    explicit CommandDispatcher(const Messages& messages);

    // Registers (or replaces) the handler of `id`; an empty handler removes it.
    void registerHandler(CommandId id, Handler handler);
    bool hasHandler(int id) const;
    bool hasHandler(CommandId id) const { return hasHandler(toInt(id)); }

    // Carries out command `id`. Returns true when a handler ran; false for an id without one
    // (the caller may pass it on as unhandled).
    bool dispatch(int id);
    bool dispatch(CommandId id) { return dispatch(toInt(id)); }

private:
    const Messages& m_messages;
    std::map<int, Handler> m_handlers;
};

} // namespace tw
