#include "core/text/messages.h"

#include "ftp/ftp_error.h"

#include "core/text/string_table.h"

#include <QRegularExpression>

#include <cerrno>
#include <cstring>

namespace tw {

namespace {
constexpr int kFirstFtpError = 12001;
constexpr int kLastFtpError = 12174;
// The engine's own numbers (FTP over TLS, a short download, bounds), beside the range above.
constexpr int kFirstEngineError = 12180;
constexpr int kLastEngineError = 12193;
// SSH and SFTP.
constexpr int kFirstSshError = 12200;
constexpr int kLastSshError = 12218;
const QString kErrorCaption = QStringLiteral("Error");
} // namespace

QString SplitCallPrefix(const QString& text) {
    QString t = text;
    const qsizetype at = t.indexOf(QStringLiteral("): "));
    if (at >= 0)
        t.replace(at, 3, QStringLiteral(")\r\r"));
    return t;
}

Messages::Messages(UiPort& port, const AppState& state, const AppGlobals& globals)
    : m_port(port), m_state(state), m_globals(globals) {}

std::optional<QString> Messages::LoadStringResource(int id) const {
    std::optional<QString> text = LookupString(id);
    if (!text) {
        FatalErrorBox(
            QStringLiteral("GetString(LoadString): Cannot load string resource (ID:%u)\r\rCode %d"),
            {static_cast<unsigned>(id), 1814 /* resource name not found */});
        return std::nullopt;
    }
    return CutText(*text, kFetchedTextLimit);
}

std::optional<QString> Messages::FormatResource(int id, FmtArgs args, int limit) const {
    const std::optional<QString> format = LoadStringResource(id);
    if (!format)
        return std::nullopt;
    return FormatText(*format, args, limit);
}

std::optional<QString> Messages::FormatStringResource(int id, FmtArgs args) const {
    return FormatResource(id, args, kResourceFormatLimit);
}

bool Messages::LogMessage(int id, FmtArgs args) const {
    const std::optional<QString> line = FormatResource(id, args, kMessageLimit);
    if (!line)
        return false;
    m_port.appendLog(*line);
    return true;
}

void Messages::LogText(const QString& text) const {
    m_port.appendLog(text);
}

bool Messages::ShowStatus(int id, FmtArgs args) const {
    const std::optional<QString> line = FormatResource(id, args, kMessageLimit);
    if (!line)
        return false;
    return m_port.showStatus(*line);
}

QString Messages::SystemErrorText(int code) {
    if (code == 0)
        return {};
    char buffer[256] = {};
    // GNU strerror_r returns the message (possibly not in buffer).
    const char* message = strerror_r(code, buffer, sizeof buffer);
    return CutText(QString::fromLocal8Bit(message ? message : buffer), kFetchedTextLimit);
}

QString Messages::ErrorText(int code) {
    if ((code >= kFirstFtpError && code <= kLastFtpError) ||
        (code >= kFirstEngineError && code <= kLastEngineError) ||
        (code >= kFirstSshError && code <= kLastSshError && LookupString(code)))
        return CutText(LookupString(code).value_or(QString()), kMessageLimit);
    return SystemErrorText(code);
}

int Messages::ReportApiError(int apiNameId, int code, bool playAlert, const QString& lastResponse,
                             QString* out) const {
    if (code == 0)
        code = errno;
    const QString errorText = TruncateAtLineBreak(ErrorText(code));
    const QString apiName = LoadStringText(apiNameId);
    LogMessage(4415, {apiName, code, errorText});
    QString response;
    if (code == 12003) {
        response = TruncateAtLineBreak(CutText(lastResponse, kMessageLimit));
        LogText(response);
    } else if (code >= 12000 && code <= ftp::kLastSshError && code != 12017) {
        // The server's own words explain a failed login or a dropped session best ("421 Too
        // many connections", "530 Must use encryption", an SFTP status message, the SSH
        // library's account of a refused login): each line of its reply is logged.
        const QStringList lines = ServerReplyLines(lastResponse);
        if (!lines.isEmpty())
            response = CutText(lines.front(), kMessageLimit);
        for (const QString& line : lines)
            LogText(CutText(line, kMessageLimit));
    }
    if (playAlert)
        PlayAlert(AlertKind::FtpErrors);
    if (out)
        *out = FormatStringResource(4416, {errorText, response}).value_or(QString());
    return code;
}

QStringList Messages::ServerReplyLines(const QString& response) {
    constexpr int kMaxReplyLines = 8;
    static const QRegularExpression lineBreaks(u"[\r\n]+"_qs);
    return response.split(lineBreaks, Qt::SkipEmptyParts).mid(0, kMaxReplyLines);
}

bool Messages::box(BoxKind kind, const QString& caption, const QString& text, bool defaultYes,
                   int beeps) const {
    if (m_globals.soundsWithDialogs)
        for (int i = 0; i < beeps; ++i)
            m_port.beep();
    return m_port.showBox(BoxRequest{kind, caption, text, defaultYes});
}

void Messages::ErrorBox(int textId, FmtArgs args) const {
    const auto text = FormatResource(textId, args, kMessageLimit);
    if (!text)
        return;
    box(BoxKind::Error, kErrorCaption, SplitCallPrefix(*text), false, 1);
}

void Messages::InfoBox(int captionId, int textId, FmtArgs args) const {
    const auto caption = LoadStringResource(captionId);
    if (!caption)
        return;
    const auto text = FormatResource(textId, args, kMessageLimit);
    if (!text)
        return;
    box(BoxKind::Info, *caption, *text, false, 1);
}

bool Messages::YesNoBox(bool defaultYes, int captionId, int textId, FmtArgs args) const {
    const auto caption = LoadStringResource(captionId);
    if (!caption)
        return false;
    const auto text = FormatResource(textId, args, kMessageLimit);
    if (!text)
        return false;
    return box(BoxKind::YesNo, *caption, *text, defaultYes, 1);
}

void Messages::SystemErrorBox(int textId, FmtArgs args) const {
    const auto text = FormatResource(textId, args, kMessageLimit);
    if (!text)
        return;
    box(BoxKind::SystemError, kErrorCaption, SplitCallPrefix(*text), false, 1);
}

void Messages::FatalErrorBox(const QString& format, FmtArgs args) const {
    box(BoxKind::Fatal, kErrorCaption, SplitCallPrefix(FormatText(format, args, kMessageLimit)),
        false, 2);
}

void Messages::SystemWarningBox(int captionId, int textId, FmtArgs args) const {
    const auto caption = LoadStringResource(captionId);
    if (!caption)
        return;
    const auto text = FormatResource(textId, args, kMessageLimit);
    if (!text)
        return;
    box(BoxKind::SystemWarning, *caption, *text, false, 1);
}

void Messages::SystemInfoBox(const QString& caption, const QString& format, FmtArgs args) const {
    box(BoxKind::SystemInfo, caption, FormatText(format, args, kMessageLimit), false, 1);
}

bool Messages::SystemYesNoBox(bool defaultYes, const QString& caption, const QString& format,
                              FmtArgs args) const {
    return box(BoxKind::SystemYesNo, caption, FormatText(format, args, kMessageLimit), defaultYes,
               1);
}

void Messages::PlayAlert(int kind) const {
    if (kind < 0 || kind >= kAlertKindCount)
        return;
    PlayAlert(static_cast<AlertKind>(kind));
}

void Messages::PlayAlert(AlertKind kind) const {
    const std::uint32_t level = m_state.options.AlertLevel;
    const auto index = static_cast<std::size_t>(kind);
    if (level == 0 || index >= m_state.sounds.size() || !m_state.sounds[index].Active)
        return;
    if (level == 1 || !m_port.playWave(m_state.sounds[index].WaveFile))
        m_port.beep();
}

void Messages::Beep() const {
    m_port.beep();
}

bool Messages::SetWaitCursor(bool on) const {
    if (m_waitCursor.exchange(on) == on)
        return false;
    m_port.setCursor(CursorKind::Wait, on);
    return true;
}

bool Messages::SetBusyCursor(bool on) const {
    if (m_busyCursor.exchange(on) == on)
        return false;
    m_port.setCursor(CursorKind::Busy, on);
    return true;
}

} // namespace tw
