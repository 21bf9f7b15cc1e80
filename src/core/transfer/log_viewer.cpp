#include "core/transfer/log_viewer.h"

#include "core/panes/file_helpers.h"
#include "core/state/app_state.h"
#include "core/text/format.h"
#include "core/text/messages.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <memory>
#include <vector>

namespace tw {

namespace {

const QString kNotFoundCaption = QStringLiteral(" Log File Not Found");
const QString kNotFoundText = QStringLiteral(
    "\rLog File: %s\r\rDoes not exist.\r\rPlease turn program logging on to create a log file");
const QString kDeleteCaption = QStringLiteral("Delete Log File");
const QString kDeleteText =
    QStringLiteral("\rFile: %s\r\rAre you sure you want to remove this log file?");
constexpr int kProgramNameId = 1000;
constexpr int kFileOpenErrorId = 60027;
constexpr int kViewLogCommand = 391;
constexpr int kTitleLimit = 255;
constexpr int kPageWrittenId = 4442;

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

FilePtr OpenFile(const QString& path, const char* mode) {
    return FilePtr(std::fopen(QFile::encodeName(path).constData(), mode));
}

QString EscapeHtml(const QString& text) {
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        switch (c.unicode()) {
        case u'&':
            out += QStringLiteral("&amp;");
            break;
        case u'<':
            out += QStringLiteral("&lt;");
            break;
        case u'>':
            out += QStringLiteral("&gt;");
            break;
        case u'"':
            out += QStringLiteral("&quot;");
            break;
        default:
            out += c;
        }
    }
    return out;
}

QString Format(const char* format, FmtArgs args) {
    return FormatText(QString::fromLatin1(format), args, -1);
}

const char* const kTableLine =
    "<table border=\"%d\" cellpadding=\"%d\" cellspacing=\"%d\" width=\"%d\">\n";
const char* const kHeadingCell =
    "    <td width=\"%d\" valign=\"%s\" align=\"%s\" bgcolor=\"%s\"><font face=\"%s\" "
    "size=\"%d\" color=\"%s\"><strong>%s</strong></font></td>\n";
const char* const kLineCell = "    <td width=\"%d\" valign=\"%s\" align=\"%s\" bgcolor=\"%s\">"
                              "<font face=\"%s\" size=\"%d\" color=\"%s\">%s</font></td>\n";
const QString kNbsp = QStringLiteral("&nbsp;");
const QString kWhite = QStringLiteral("#FFFFFF");
const QString kGrey = QStringLiteral("#E0E0E0");
const QString kBlack = QStringLiteral("#000000");
const QString kFace = QStringLiteral("Trebuchet MS");
const QString kTop = QStringLiteral("Top");
const QString kLeft = QStringLiteral("Left");
constexpr int kPageWidth = 900;

} // namespace

QString LogViewerTitle(const Messages& messages) {
    const QString program = messages.LoadStringText(kProgramNameId);
    return FormatText(QStringLiteral("%s - Program Message Log"), {program}, kTitleLimit);
}

std::optional<QStringList> LoadLogLines(const Messages& messages, const QString& path,
                                        bool newestFirst) {
    const QFileInfo info(path);
    if (path.isEmpty() || (!info.exists() && !info.isSymLink())) {
        messages.SystemInfoBox(kNotFoundCaption, kNotFoundText, {path});
        return std::nullopt;
    }
    const FilePtr file = OpenFile(path, "r");
    if (!file) {
        const int error = errno;
        messages.SystemWarningBox(kProgramNameId, kFileOpenErrorId, {path, error});
        return std::nullopt;
    }
    const ScopedWaitCursor wait(messages);
    QByteArray data;
    std::vector<char> buffer(64 * 1024);
    for (;;) {
        const std::size_t n = std::fread(buffer.data(), 1, buffer.size(), file.get());
        data.append(buffer.data(), qsizetype(n));
        if (n < buffer.size())
            break;
    }
    if (std::ferror(file.get())) {
        const int error = errno;
        messages.SystemWarningBox(kProgramNameId, kFileOpenErrorId, {path, error});
        return std::nullopt;
    }
    QStringList lines;
    qsizetype start = 0;
    while (start < data.size()) {
        const qsizetype feed = data.indexOf('\n', start);
        qsizetype stop = feed < 0 ? data.size() : feed;
        const qsizetype next = feed < 0 ? data.size() : feed + 1;
        // Logs written on Windows end their lines with CR LF.
        if (stop > start && data.at(stop - 1) == '\r')
            --stop;
        lines.append(
            CutText(QString::fromUtf8(data.constData() + start, stop - start), kLogLineLimit));
        start = next;
    }
    if (newestFirst)
        std::reverse(lines.begin(), lines.end());
    return lines;
}

QByteArray BuildLogPage(const QString& title, const QStringList& rows) {
    const QString safeTitle = EscapeHtml(CutText(title, kTitleLimit));
    QString page;
    page += QStringLiteral("<html>\n\n");
    page += QStringLiteral("<head>\n");
    page += Format("<title>%s</title>\n", {safeTitle});
    page += QStringLiteral("</head>\n\n");
    page += Format("<body bgcolor=\"%s\" text=\"%s\">\n\n", {kWhite, kBlack});

    page += Format(kTableLine, {0, 2, 0, kPageWidth});
    for (const QString& heading : {safeTitle, kNbsp}) {
        page += QStringLiteral("  <tr>\n");
        page += Format(kHeadingCell, {kPageWidth, kTop, kLeft, kWhite, kFace, 5, kBlack, heading});
        page += QStringLiteral("  </tr>\n");
    }
    page += QStringLiteral("</table>\n\n");

    page += Format(kTableLine, {0, 2, 0, kPageWidth});
    for (qsizetype i = 0; i < rows.size(); ++i) {
        const QString text = CutText(rows.at(i), kLogLineLimit);
        page += QStringLiteral("  <tr>\n");
        page += Format(kLineCell, {kPageWidth, kTop, kLeft, i % 2 == 0 ? kGrey : kWhite, kFace, 1,
                                   kBlack, text.isEmpty() ? kNbsp : EscapeHtml(text)});
        page += QStringLiteral("  </tr>\n");
    }
    page += QStringLiteral("</table>\n\n");

    page += QStringLiteral("</body>\n");
    page += QStringLiteral("</html>\n");
    return page.toUtf8();
}

QString LogPagePath(const QString& logPath, const QString& title) {
    return QFileInfo(logPath).absolutePath() + u'/' + CutText(title, kTitleLimit) +
           QStringLiteral(".html");
}

bool ExportLogAsHtml(const Messages& messages, const QString& logPath, const QString& title,
                     const QStringList& rows, const PageOpener& open) {
    const QString page = LogPagePath(logPath, title);
    BackupFile(page, true);
    bool written = false;
    {
        const FilePtr file = OpenFile(page, "w");
        if (!file) {
            const int error = errno;
            messages.SystemWarningBox(kProgramNameId, kFileOpenErrorId, {page, error});
            return false;
        }
        const ScopedWaitCursor wait(messages);
        const QByteArray bytes = BuildLogPage(title, rows);
        written = std::fwrite(bytes.constData(), 1, std::size_t(bytes.size()), file.get()) ==
                  std::size_t(bytes.size());
    }
    if (!written)
        return false;
    messages.LogMessage(kPageWrittenId, {page});
    messages.ShowStatus(kPageWrittenId, {page});
    if (open)
        open(page);
    return true;
}

bool ViewTransferLog(const Messages& messages, const AppGlobals& globals, LogViewerPort& port,
                     const PageOpener& open, const std::function<void(int)>& help,
                     bool newestFirst) {
    messages.ShowStatus(kViewLogCommand);
    const QString logPath = globals.logPath;
    LogViewerRequest request;
    request.title = LogViewerTitle(messages);
    request.pathLabel = logPath; // case is part of a Linux name: shown as it is
    request.lines = LoadLogLines(messages, logPath, newestFirst).value_or(QStringList());
    request.print = [&messages, logPath, title = request.title, rows = request.lines, open] {
        ExportLogAsHtml(messages, logPath, title, rows, open);
    };
    request.help = [help] {
        if (help)
            help(kLogViewerHelpTopic);
    };
    const LogViewerResult result = port.showLogViewer(request);
    if (result.accepted && result.deleteLogFile &&
        messages.SystemYesNoBox(true, kDeleteCaption, kDeleteText, {logPath}))
        QFile::remove(logPath);
    return result.accepted;
}

} // namespace tw
