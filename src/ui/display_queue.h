#pragma once

#include "core/ui_port.h"

#include <QString>
#include <QStringList>

#include <mutex>
#include <optional>

namespace tw::ui {

// Display work handed from worker threads to the user-interface thread. Log lines keep their
// order; the status text, the window title and the refresh requests keep only their latest
// value, so a fast worker costs one repaint per flush however many calls it makes.
class DisplayQueue {
public:
    struct Batch {
        QStringList logLines;
        bool clearLogFirst = false;
        std::optional<QString> status;
        std::optional<QString> title;
        bool refreshLocal = false;
        bool refreshRemote = false;
        bool updateCommands = false;
        bool beep = false;
        // Cursor switches in the order they were asked for: kind, on.
        std::vector<std::pair<CursorKind, bool>> cursors;

        bool empty() const;
    };

    // Each returns true when the queue was empty before, i.e. the caller must schedule a flush.
    bool appendLog(const QString& line);
    bool clearLog();
    bool setStatus(const QString& text);
    bool setTitle(const QString& title);
    bool refreshPane(PaneSide side);
    bool updateCommandState();
    bool beep();
    bool setCursor(CursorKind kind, bool on);

    // Everything queued so far; the queue is empty afterwards.
    Batch take();

private:
    bool touch(); // call with the lock held

    std::mutex m_mutex;
    Batch m_batch;
    bool m_pending = false;
};

} // namespace tw::ui
