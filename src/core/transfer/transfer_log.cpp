#include "core/transfer/transfer_log.h"

#include "core/panes/entry_format.h"
#include "core/panes/file_helpers.h"
#include "core/state/app_state.h"
#include "core/text/messages.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace tw {

namespace {

const QString kPlural = QStringLiteral("s");

QString PluralSuffix(std::uint64_t count) {
    return count == 1 ? QString() : kPlural;
}

} // namespace

QString FormatTransferSpeed(const Messages& messages, std::uint64_t elapsedMs,
                            std::uint64_t bytes) {
    const std::uint64_t seconds = elapsedMs / 1000;
    const std::uint64_t rate = seconds > 0 ? bytes / seconds : 0;
    const std::uint64_t hours = elapsedMs / 3600000;
    const std::uint64_t minutes = seconds % 3600 / 60;
    const std::uint64_t rest = seconds % 3600 % 60;
    std::optional<QString> text;
    if (hours > 0)
        text = messages.FormatStringResource(4421, {hours, PluralSuffix(hours), minutes,
                                                    PluralSuffix(minutes), rest, PluralSuffix(rest),
                                                    rate});
    else if (minutes > 0)
        text = messages.FormatStringResource(
            4420, {minutes, PluralSuffix(minutes), rest, PluralSuffix(rest), rate});
    else
        text = messages.FormatStringResource(4419, {rest, PluralSuffix(rest), rate});
    return text.value_or(QString());
}

QString FormatLogTimeStamp(const QDateTime& when) {
    const QDateTime local = when.toLocalTime();
    const QDate d = local.date();
    const QTime t = local.time();
    const std::int64_t key = std::int64_t(d.year()) * 10000000000LL +
                             std::int64_t(d.month()) * 100000000LL + d.day() * 1000000LL +
                             t.hour() * 10000LL + t.minute() * 100LL + t.second();
    return DateTextFromKey(key);
}

QString FormatTransferLogLine(const Messages& messages, const TransferLogEntry& entry,
                              const QDateTime& when) {
    // The format puts the '/' between folder and name, so a folder ending in one (the root)
    // gives it up.
    const auto folder = [](const QString& path) {
        return path.endsWith(u'/') ? path.chopped(1) : path;
    };
    // Not cut to a message length: the line records whole paths.
    return messages
        .FormatResource(4414,
                        {FormatLogTimeStamp(when), folder(entry.sourceFolder), entry.sourceName,
                         folder(entry.destinationFolder), entry.destinationName},
                        -1)
        .value_or(QString());
}

bool WriteTransferLogEntry(const Messages& messages, const AppGlobals& globals,
                           const TransferLogEntry& entry, const QDateTime& when) {
    if (!globals.transferLogging || globals.logPath.isEmpty())
        return true;
    // A failed copy never stops the line from being written.
    BackupFile(globals.logPath, true);
    const QString line = FormatTransferLogLine(messages, entry, when);
    // The log lives in the user's data folder, which a first run may not have yet.
    QDir().mkpath(QFileInfo(globals.logPath).absolutePath());
    QFile log(globals.logPath);
    if (!log.open(QIODevice::WriteOnly | QIODevice::Append))
        return true;
    log.write((line + u'\n').toUtf8());
    log.close();
    return true;
}

} // namespace tw
