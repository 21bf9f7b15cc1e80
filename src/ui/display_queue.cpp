#include "ui/display_queue.h"

#include <utility>

namespace tw::ui {

bool DisplayQueue::Batch::empty() const {
    return logLines.isEmpty() && !clearLogFirst && !status && !title && !refreshLocal &&
           !refreshRemote && !updateCommands && !beep && cursors.empty();
}

bool DisplayQueue::touch() {
    const bool wasEmpty = !m_pending;
    m_pending = true;
    return wasEmpty;
}

bool DisplayQueue::appendLog(const QString& line) {
    std::lock_guard lock(m_mutex);
    m_batch.logLines << line;
    return touch();
}

bool DisplayQueue::clearLog() {
    std::lock_guard lock(m_mutex);
    // Lines queued before the clear would be removed by it at once: drop them.
    m_batch.logLines.clear();
    m_batch.clearLogFirst = true;
    return touch();
}

bool DisplayQueue::setStatus(const QString& text) {
    std::lock_guard lock(m_mutex);
    m_batch.status = text;
    return touch();
}

bool DisplayQueue::setTitle(const QString& title) {
    std::lock_guard lock(m_mutex);
    m_batch.title = title;
    return touch();
}

bool DisplayQueue::refreshPane(PaneSide side) {
    std::lock_guard lock(m_mutex);
    (side == PaneSide::Local ? m_batch.refreshLocal : m_batch.refreshRemote) = true;
    return touch();
}

bool DisplayQueue::updateCommandState() {
    std::lock_guard lock(m_mutex);
    m_batch.updateCommands = true;
    return touch();
}

bool DisplayQueue::beep() {
    std::lock_guard lock(m_mutex);
    m_batch.beep = true;
    return touch();
}

bool DisplayQueue::setCursor(CursorKind kind, bool on) {
    std::lock_guard lock(m_mutex);
    m_batch.cursors.emplace_back(kind, on);
    return touch();
}

DisplayQueue::Batch DisplayQueue::take() {
    std::lock_guard lock(m_mutex);
    Batch out = std::exchange(m_batch, Batch{});
    m_pending = false;
    return out;
}

} // namespace tw::ui
