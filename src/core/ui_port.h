#pragma once

#include "ftp/remote_session.h"
#include "ftp/tls_types.h"

#include <QString>

#include <cstdint>
#include <functional>
#include <optional>

namespace tw {

// The kinds of message box the program shows. The first three are the program's own boxes
// (icon 5500 error, 5300 information, 5400 question); the others are the plainer system boxes.
enum class BoxKind {
    Error,
    Info,
    YesNo,
    SystemError,
    Fatal,
    SystemWarning,
    SystemInfo,
    SystemYesNo
};

struct BoxRequest {
    BoxKind kind = BoxKind::Info;
    QString caption;
    QString text; // already formatted; '\r' is a line break
    bool defaultYes = false;
};

// A server certificate the checks did not accept, put to the user.
struct CertificateRequest {
    ftp::CertificateInfo certificate;
    QString host;
    int port = 0;
    // A certificate was remembered for this server and this one differs from it.
    bool changed = false;
};

enum class CertificateAnswer { TrustOnce, TrustAlways, Cancel };

// An SSH host key that known_hosts does not hold, put to the user.
struct HostKeyRequest {
    ftp::HostKeyInfo key;
};

enum class HostKeyAnswer { TrustOnce, TrustAlways, Cancel };

// The passphrase of an encrypted private key, asked for one connection.
struct PassphraseRequest {
    QString keyFile;
    QString host;
    // The passphrase given before was wrong.
    bool again = false;
    // The dialog offers to keep the passphrase with the saved passwords.
    bool offerSave = false;
};

struct PassphraseAnswer {
    QString passphrase;
    bool save = false;
};

enum class PaneSide { Local, Remote };
enum class CursorKind { Wait, Busy };

// Everything the core does to the screen goes through this port. The main window implements
// it; tests implement it with a recorder that answers questions from a script.
//
// Thread rules: any method may be called from a worker thread. Display calls (log, status,
// panes, command state, cursor, sound) are queued to the UI thread and may be coalesced;
// questions (showBox and the asking calls of the subsystem ports) block the caller until the
// UI thread has answered.
class UiPort {
public:
    virtual ~UiPort() = default;

    // The message log pane: appends one line (scrolling rule of the pane applies).
    virtual void appendLog(const QString& line) = 0;
    // Empties the message log pane.
    virtual void clearLog() = 0;
    // Sets the status-bar text. Returns false when no status bar is visible (nothing shown).
    virtual bool showStatus(const QString& text) = 0;
    // Shows a message box and returns true for OK / Yes.
    virtual bool showBox(const BoxRequest& request) = 0;
    // The system beep.
    virtual void beep() = 0;
    // Plays a WAV file asynchronously; false when it cannot be played.
    virtual bool playWave(const QString& path) = 0;
    // Switches the wait (hourglass) or busy (arrow and hourglass) cursor.
    virtual void setCursor(CursorKind kind, bool on) = 0;
    // Recomputes and applies the enabled / checked state of every command.
    virtual void updateCommandState() = 0;
    // The pane's rows, path label or sort marks changed: the view shows them again.
    virtual void refreshPane(PaneSide side) = 0;
    // The main window's title.
    virtual void setWindowTitle(const QString& title) = 0;
    // Asks whether to trust a server certificate (a question: blocks until answered). A port
    // that cannot ask refuses it.
    virtual CertificateAnswer askCertificate(const CertificateRequest&) {
        return CertificateAnswer::Cancel;
    }
    // Asks whether to trust an SSH host key that known_hosts does not hold (a question). A port
    // that cannot ask refuses it.
    virtual HostKeyAnswer askHostKey(const HostKeyRequest&) { return HostKeyAnswer::Cancel; }
    // Asks the passphrase of a private key (a question, a password-style input); nullopt when
    // cancelled or when the port cannot ask.
    virtual std::optional<PassphraseAnswer> askPassphrase(const PassphraseRequest&) {
        return std::nullopt;
    }
    // Runs `task` on the UI thread, after the display calls queued before it. Workers hand
    // finished results (a listing's rows) to the state this way. The default runs it at once,
    // which is right for ports that live on one thread.
    virtual void runOnUiThread(std::function<void()> task) { task(); }
};

} // namespace tw
