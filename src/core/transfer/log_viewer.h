#pragma once

#include "core/transfer/log_viewer_port.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

namespace tw {

class Messages;
struct AppGlobals;

// Hands a file to the desktop's default program for it; a failure to open it is the opener's
// to report (the browser-launch box).
using PageOpener = std::function<void(const QString& path)>;

inline constexpr int kLogViewerHelpTopic = 350;
// Longest log line kept, in characters.
inline constexpr int kLogLineLimit = 1023;

// The title of the viewer: "Tarnwick 2000 - Program Message Log".
QString LogViewerTitle(const Messages& messages);

// Reads the log's lines, newest (last written) first when `newestFirst`. Each line loses one
// trailing line feed and then one carriage return, and keeps at most kLogLineLimit
// characters. A missing log is told with an information box, one that cannot be read with
// the file-error warning; both give nullopt (the viewer then opens empty).
std::optional<QStringList> LoadLogLines(const Messages& messages, const QString& path,
                                        bool newestFirst);

// The HTML page of the viewer's rows (UTF-8). The rows and the title are HTML-escaped, so a
// file name chosen by a server cannot put markup into the page.
QByteArray BuildLogPage(const QString& title, const QStringList& rows);

// "<folder of the log>/<title>.html".
QString LogPagePath(const QString& logPath, const QString& title);

// Print: writes the page beside the log (an earlier page is kept as its "Backup of" copy) and
// hands it to `open`. A page that cannot be created is reported; a page that was written is
// named in the log and the status bar. True when the page was written.
bool ExportLogAsHtml(const Messages& messages, const QString& logPath, const QString& title,
                     const QStringList& rows, const PageOpener& open);

// The Transfer Log command: shows the log (globals.logPath) in the viewer, and after OK with
// "Delete Log File" ticked asks whether to remove the log. `help` opens a help topic. True when
// the viewer was closed with OK.
bool ViewTransferLog(const Messages& messages, const AppGlobals& globals, LogViewerPort& port,
                     const PageOpener& open, const std::function<void(int)>& help,
                     bool newestFirst = true);

} // namespace tw
