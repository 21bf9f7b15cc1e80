#pragma once

#include "core/state/app_runtime.h"
#include "core/state/app_state.h"
#include "core/ui_port.h"

#include <QByteArray>
#include <QString>

#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

namespace tw {

namespace ftp {
class FtpSession;
}
class Messages;

// The FTP connection of the program and the flows bound to it: Connect, Re-Connect,
// Disconnect, the remote listing worker and folder navigation, and the remote file calls the
// shared dialogs use. Connect, Re-Connect and Disconnect run on the UI thread and block it
// while the engine connects (every wait has a timeout); the listing runs on a worker thread.
class SessionController {
public:
    // What the controller needs from other subsystems.
    struct Hooks {
        // The accounts sheet in its Connect form: true when the user chose Connect (the chosen
        // account is then at AppState::CurrentAccount and the settings are saved).
        std::function<bool()> showAccountsSheet;
        // Lists the local pane's folder (the local pane is already set up).
        std::function<void()> listLocalDirectory;
    };

    // The result of one remote call, for the dialogs that report it.
    struct CallResult {
        bool ok = false;
        int error = 0;
        QString response; // the server's last reply
    };

    SessionController(AppState& state, AppRuntime& runtime, const Messages& messages, UiPort& port,
                      Hooks hooks);
    ~SessionController();
    SessionController(const SessionController&) = delete;
    SessionController& operator=(const SessionController&) = delete;

    // Engine timeout for every single wait, in milliseconds (default 30 s).
    void setTimeoutMs(int ms) { m_timeoutMs = ms; }
    // Whether transfers move data with splice / sendfile (on) or read / write (off) both ways;
    // unset, the engine's defaults (sendfile for uploads, read / write for downloads).
    void setZeroCopy(bool on) { m_zeroCopy = on; }

    bool Connect();
    bool Reconnect();
    // False only when the user declined the confirmation (asked when `confirm` and the
    // Confirm option are set).
    bool Disconnect(bool confirm);
    // Empties a pane's rows and sets its label to the empty "Local: " / "Remote: " text.
    void ClearPaneList(PaneSide side);

    // Starts the remote listing worker; false (and busy cleared) when it cannot start.
    bool StartRemoteListing();
    // Double-click on a remote row: a folder row (the parent row included) is entered.
    bool EnterRemoteFolder(int row);

    // Remote calls on the current session (UI thread, not busy). Paths are byte strings joined
    // by the caller, so names the server sent that are not UTF-8 reach it unchanged.
    CallResult createDirectory(const QByteArray& path);
    CallResult removeDirectory(const QByteArray& path);
    CallResult deleteFile(const QByteArray& path);
    CallResult renameFile(const QByteArray& from, const QByteArray& to);
    // The server's current directory as it sent it.
    QByteArray remotePathBytes() const;
    // The full remote path of a row: the pane path and the row's name (its bytes when the name
    // is not UTF-8) joined with "/".
    QByteArray rowPath(int row) const;
    // A row's name as the server knows it: its own bytes when the name is not UTF-8.
    static QByteArray RemoteNameBytes(const FileEntry& row);

    // Runs `body` on the worker thread. `busy` is set first; false when a worker runs already,
    // or (with the errno in `error` and busy cleared) when the thread cannot be created.
    bool startWorker(std::function<void()> body, int* error = nullptr);
    // The engine session of the connection, or null when there is none. Only the worker (or
    // the UI thread while no worker runs) calls it; abortEngine() may be called from any thread.
    ftp::FtpSession* engine() { return m_session.get(); }
    // Cancels the engine call in progress (the Stop command).
    void abortEngine();

    // Stops a running worker (the engine call in progress is cancelled) and waits for it.
    void stopWorker();
    // Waits for the running worker to end by itself.
    void waitForWorker();

    // The address of the current account: IP when UseIP is set, else URL.
    static QString ServerAddress(const AccountRecord& account);

private:
    bool openSession(const AccountRecord& account, const QString& server);
    void enterStartDirectory(const QByteArray& path);
    bool readCurrentDirectory();
    void reportEngineError(int apiNameId, bool playAlert, QString* out = nullptr);
    CallResult call(const std::function<bool(ftp::FtpSession&)>& fn);
    void listingWorker(QByteArray pattern, QString patternText);
    const AccountRecord* currentAccount() const;

    AppState& m_state;
    AppRuntime& m_runtime;
    const Messages& m_messages;
    UiPort& m_port;
    Hooks m_hooks;
    int m_timeoutMs = 30000;
    std::optional<bool> m_zeroCopy;

    std::unique_ptr<ftp::FtpSession> m_session;
    QByteArray m_remotePathRaw; // the server's current directory as it sent it
    std::thread m_worker;
    std::mutex m_workerMutex;
    // The rows a listing replaced: freed by the next worker rather than on the UI thread,
    // where releasing 100 000 rows would stall the window.
    std::vector<FileEntry> m_retiredRows;
    std::mutex m_retiredMutex;
};

} // namespace tw
