#pragma once

#include <QString>
#include <QStringList>

#include <functional>

namespace tw {

// What the transfer log viewer shows, every text ready to display.
struct LogViewerRequest {
    QString title;               // the window title ("Tarnwick 2000 - Program Message Log")
    QString pathLabel;           // control 100: the log path, as it is
    QStringList lines;           // the list rows, top row first
    std::function<void()> print; // the Print button: writes and opens the HTML page
    std::function<void()> help;  // the Help button
};

// How the viewer was left.
struct LogViewerResult {
    bool accepted = false;      // closed with OK (false: Cancel, Escape or the close box)
    bool deleteLogFile = false; // "Delete Log File" was ticked when it closed
};

// The modal log viewer. The main window implements it with the viewer dialog; tests answer
// from a script. Print and Help keep the viewer open.
class LogViewerPort {
public:
    virtual ~LogViewerPort() = default;
    virtual LogViewerResult showLogViewer(const LogViewerRequest& request) = 0;
};

} // namespace tw
