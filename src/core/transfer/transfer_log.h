#pragma once

#include <QDateTime>
#include <QString>

#include <cstdint>

namespace tw {

class Messages;
struct AppGlobals;

// The speed line written to the message log pane after each copied file (texts 4419-4421):
// whole seconds, minutes and hours of `elapsedMs` and the mean rate in bytes per second, all
// in unsigned 64-bit arithmetic so large files and long transfers give true figures.
QString FormatTransferSpeed(const Messages& messages, std::uint64_t elapsedMs, std::uint64_t bytes);

// "07-Dec-2026 - 23:15:56": the local time of `when` with an English three-letter month.
QString FormatLogTimeStamp(const QDateTime& when);

// One transferred file. For an upload the source folder is the local pane's path and the
// destination folder the remote pane's; for a download the other way round. The destination
// name differs from the source name when the file was renamed on the way.
struct TransferLogEntry {
    QString sourceFolder;
    QString sourceName;
    QString destinationFolder;
    QString destinationName;
};

// The transfer log line of `entry` written at `when` (text 4414, no line end): each folder
// and its name joined with one '/'.
QString FormatTransferLogLine(const Messages& messages, const TransferLogEntry& entry,
                              const QDateTime& when);

// Appends the line of `entry` to the transfer log (globals.logPath) while transfer logging is
// on; before that, an existing log is copied to its "Backup of" file. The log is opened for
// this one line only. A log that cannot be written drops the line: the transfer still counts,
// so the result is always true. Called from the transfer worker, the log's only writer.
bool WriteTransferLogEntry(const Messages& messages, const AppGlobals& globals,
                           const TransferLogEntry& entry,
                           const QDateTime& when = QDateTime::currentDateTime());

} // namespace tw
