#pragma once

#include "core/state/app_state.h"
#include "core/text/format.h"
#include "core/ui_port.h"

#include <QString>
#include <QStringList>

#include <atomic>
#include <optional>

namespace tw {

// The message helpers every flow uses: texts by id, the log pane, the status line, error
// reports, message boxes, warning sounds and the two waiting cursors. All output goes through
// the UI port; the helpers may be called from worker threads.
class Messages {
public:
    Messages(UiPort& port, const AppState& state, const AppGlobals& globals);

    UiPort& port() const { return m_port; }

    // The text of `id` (at most 255 characters). A missing id shows the fatal
    // "Cannot load string resource" box and gives nullopt.
    std::optional<QString> LoadStringResource(int id) const;
    // The same, empty when the id does not load.
    QString LoadStringText(int id) const { return LoadStringResource(id).value_or(QString()); }
    // `id` formatted with `args`, at most 511 characters; nullopt when the id does not load.
    std::optional<QString> FormatStringResource(int id, FmtArgs args = {}) const;
    // `id` formatted with a custom limit (window and control texts use 255).
    std::optional<QString> FormatResource(int id, FmtArgs args, int limit) const;

    // Appends `id` formatted (1023) to the log pane. False when the id does not load.
    bool LogMessage(int id, FmtArgs args = {}) const;
    // Appends `text` unformatted.
    void LogText(const QString& text) const;
    // Shows `id` formatted (1023) in the status bar; false when nothing was shown.
    bool ShowStatus(int id, FmtArgs args = {}) const;

    // Reports a failed call: "Error: <api> (<code>) <text>", for 12003 also the server's last
    // response (first line), for the other FTP errors each line of the reply the call kept
    // (a refused login, a 421), the FTP Errors alert when `playAlert`, and "<text> <response>"
    // into `out`. A code of 0 means the calling thread's errno. Returns the code.
    int ReportApiError(int apiNameId, int code, bool playAlert,
                       const QString& lastResponse = QString(), QString* out = nullptr) const;

    // The error text of a code: the FTP error texts for 12001-12174 (empty when the table has
    // none), else the operating system's text.
    static QString ErrorText(int code);
    // The operating system's message for an errno value (at most 255 characters).
    static QString SystemErrorText(int code);
    // The non-empty lines of a server's reply, at most the first eight of them.
    static QStringList ServerReplyLines(const QString& response);

    void ErrorBox(int textId, FmtArgs args = {}) const;
    void InfoBox(int captionId, int textId, FmtArgs args = {}) const;
    bool YesNoBox(bool defaultYes, int captionId, int textId, FmtArgs args = {}) const;
    void SystemErrorBox(int textId, FmtArgs args = {}) const;
    void FatalErrorBox(const QString& format, FmtArgs args = {}) const;
    void SystemWarningBox(int captionId, int textId, FmtArgs args = {}) const;
    void SystemInfoBox(const QString& caption, const QString& format, FmtArgs args = {}) const;
    bool SystemYesNoBox(bool defaultYes, const QString& caption, const QString& format,
                        FmtArgs args = {}) const;

    // Plays the warning sound of `kind` by the AlertLevel option.
    void PlayAlert(AlertKind kind) const;
    void PlayAlert(int kind) const;
    void Beep() const;

    // Switch the hourglass / the arrow-and-hourglass cursor; true when the state changed.
    bool SetWaitCursor(bool on) const;
    bool SetBusyCursor(bool on) const;

private:
    bool box(BoxKind kind, const QString& caption, const QString& text, bool defaultYes,
             int beeps) const;

    UiPort& m_port;
    const AppState& m_state;
    const AppGlobals& m_globals;
    mutable std::atomic<bool> m_waitCursor{false};
    mutable std::atomic<bool> m_busyCursor{false};
};

// The hourglass cursor for the lifetime of the guard.
class ScopedWaitCursor {
public:
    explicit ScopedWaitCursor(const Messages& messages) : m_messages(messages) {
        m_messages.SetWaitCursor(true);
    }
    ~ScopedWaitCursor() { m_messages.SetWaitCursor(false); }
    ScopedWaitCursor(const ScopedWaitCursor&) = delete;
    ScopedWaitCursor& operator=(const ScopedWaitCursor&) = delete;

private:
    const Messages& m_messages;
};

// "Error" boxes show the failing call on a line of its own: the first "): " becomes ")\r\r".
QString SplitCallPrefix(const QString& text);

} // namespace tw
