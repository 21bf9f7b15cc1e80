#include "core/commands/command_dispatcher.h"

#include "core/text/messages.h"

namespace tw {

namespace {

constexpr int kReady = 60000;

// Recomputes the command states when the dispatch ends, however the handler left.
class UpdateOnExit {
public:
    explicit UpdateOnExit(UiPort& port) : m_port(port) {}
    ~UpdateOnExit() { m_port.updateCommandState(); }
    UpdateOnExit(const UpdateOnExit&) = delete;
    UpdateOnExit& operator=(const UpdateOnExit&) = delete;

private:
    UiPort& m_port;
};

} // namespace

CommandDispatcher::CommandDispatcher(const Messages& messages) : m_messages(messages) {}

void CommandDispatcher::registerHandler(CommandId id, Handler handler) {
    if (handler)
        m_handlers[toInt(id)] = std::move(handler);
    else
        m_handlers.erase(toInt(id));
}

bool CommandDispatcher::hasHandler(int id) const {
    return m_handlers.find(id) != m_handlers.end();
}

bool CommandDispatcher::dispatch(int id) {
    UpdateOnExit update(m_messages.port());
    const auto it = m_handlers.find(id);
    if (it == m_handlers.end())
        return false;
    if (const std::optional<int> refusal = m_gate ? m_gate(CommandId(id)) : std::nullopt) {
        m_messages.Beep();
        m_messages.ShowStatus(*refusal);
        return false;
    }
    // A copy, so that a handler may replace its own registration while it runs.
    const Handler handler = it->second;
    m_messages.ShowStatus(id);
    handler();
    if (id == toInt(CommandId::Connect) || id == toInt(CommandId::ReConnect))
        m_messages.ShowStatus(kReady);
    return true;
}

} // namespace tw
