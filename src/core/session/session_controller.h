#pragma once

#include "core/session/protocol_traits.h"
#include "core/state/app_runtime.h"
#include "core/state/app_state.h"
#include "core/tls/certificate_trust.h"
#include "core/ui_port.h"

#include <QByteArray>
#include <QString>

#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace tw {

namespace ftp {
class RemoteSession;
struct SessionOptions;
struct ListingLimits;
} // namespace ftp
class Messages;

// The FTP connection of the program and the flows bound to it: Connect, Re-Connect,
// Disconnect, the remote listing worker and folder navigation, and the remote file calls the
// shared dialogs use. Everything that waits for the network (connecting, changing folder,
// listing) runs on the worker thread with `busy` set; Stop (abortEngine) ends it. Connect and
// Re-Connect run in two steps: the worker connects, the UI thread then takes the session over
// (title, log, local pane), and the worker enters the start folder and lists it.
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

    // The certificates the user trusts; unset, the controller keeps its own in memory. The
    // object must outlive the controller.
    void setCertificateTrust(CertificateTrust* trust) { m_trust = trust ? trust : &m_ownTrust; }

    // The SSH client files of SFTP connections: known_hosts checked and added to, and the
    // OpenSSH client configuration read (empty, the default: the user's ~/.ssh files).
    void setSshFiles(std::string knownHostsFile, std::string configFile) {
        m_knownHostsFile = std::move(knownHostsFile);
        m_sshConfigFile = std::move(configFile);
    }

    // Where a connect's password comes from, called on the connect worker: the account's
    // password known in this run, else its kept one, else asked (core/secrets). Nothing: the
    // user cancelled, and the connect ends. Unset, the account's Password is used.
    using PasswordSource = std::function<std::optional<QString>(const AccountRecord&)>;
    void setPasswordSource(PasswordSource source) { m_passwordSource = std::move(source); }
    // Where SSH key passphrases are kept between runs: `stored` is tried before the question,
    // which then offers to `keep` the answer. Both are called on connecting threads.
    struct PassphraseStore {
        std::function<std::optional<QString>(const QString& keyFile)> stored;
        std::function<void(const QString& keyFile, const QString& passphrase)> keep;
    };
    void setPassphraseStore(PassphraseStore store) { m_passphraseStore = std::move(store); }

    // Engine timeout for every single wait, in milliseconds (default 30 s).
    void setTimeoutMs(int ms) { m_timeoutMs = ms; }
    // Whether transfers move data with splice / sendfile (on) or read / write (off) both ways;
    // unset, the engine's defaults (sendfile for uploads, read / write for downloads).
    void setZeroCopy(bool on) { m_zeroCopy = on; }
    // The engine's bounds on one listing (default: the engine's own).
    void setListingLimits(const ftp::ListingLimits& limits);

    // Start the connect flow; true when it has started (the worker then connects).
    bool Connect();
    bool Reconnect();
    // Connects to a site outside the account table (the quick connect bar): the record is the
    // session's account (start folders, masks, Re-Connect) until Connect chooses a stored one;
    // the table is left as it is. False while connected or busy.
    bool QuickConnect(AccountRecord account);
    // The account of the session: the quick connect record, else the table's current account.
    const AccountRecord* sessionAccount() const { return currentAccount(); }
    // The quick connect record while it is the session's account.
    const std::optional<AccountRecord>& quickAccount() const { return m_quickAccount; }
    // False only when the user declined the confirmation (asked when `confirm` and the
    // Confirm option are set).
    bool Disconnect(bool confirm);
    // Empties a pane's rows and sets its label to the empty "Local: " / "Remote: " text.
    void ClearPaneList(PaneSide side);
    // The remote pane's label until a listing writes one: "Remote: not connected".
    void showNotConnected();

    // Starts the remote listing worker; false (and busy cleared) when it cannot start.
    bool StartRemoteListing();
    // Double-click on a remote row: a folder row (the parent row included) is entered; a link
    // is tried as a folder (CWD decides; a link to a file is reported with the server's reply
    // and leaves the pane as it is). Nothing happens while not connected or busy.
    bool EnterRemoteFolder(int row);
    // The remote path box's Enter: CWD to the typed folder (absolute, or relative to the
    // current one) and list it on the worker. A folder the server refuses is reported with its
    // reply and the pane keeps its folder; a folder with a control character is refused before
    // anything is sent. False when nothing was started.
    bool EnterRemotePath(const QString& typed);
    // Marks the session lost when the engine has lost its connection (UI thread): the log
    // says so and points to Re-Connect, the title and the commands follow. True when lost.
    bool CheckSessionAlive();
    // The same from the worker, at the end of its work: the mark is handed to the UI thread.
    void noteSessionState();

    // Remote calls on the current session (UI thread, not busy). Paths are byte strings joined
    // by the caller, so names the server sent that are not UTF-8 reach it unchanged.
    CallResult createDirectory(const QByteArray& path);
    CallResult removeDirectory(const QByteArray& path);
    CallResult deleteFile(const QByteArray& path);
    CallResult renameFile(const QByteArray& from, const QByteArray& to);
    // Whether renaming `row` of `pane` to `newName` (full path `target`) would replace another
    // entry: one the listing shows (ignoring case only where the server does), or one the
    // server reports to exist.
    bool remoteNameTaken(const PaneState& pane, const FileEntry& row, const QString& newName,
                         const QByteArray& target);
    // The server's current directory as it sent it.
    QByteArray remotePathBytes() const;
    // The full remote path of a row: the pane path and the row's name (its bytes when the name
    // is not UTF-8) joined with "/".
    QByteArray rowPath(int row) const;
    // A row's name as the server knows it: its own bytes when the name is not UTF-8.
    static QByteArray RemoteNameBytes(const FileEntry& row);
    // A remote folder and a name joined with one "/" (the root ends with one already).
    static QByteArray JoinPath(const QByteArray& folder, const QByteArray& name);

    // Runs a remote flow on the worker (busy set, the Stop flag cleared first); when `body`
    // returns true the remote folder is listed again before the worker ends. False when the
    // session is busy, lost or gone.
    bool RunRemoteFlow(std::function<bool()> body);
    // Set by Stop while a flow runs.
    const std::atomic<bool>& stopFlag() const { return m_stopRequested; }

    // Runs `body` on the worker thread. `busy` is set first; false when a worker runs already,
    // or (with the errno in `error` and busy cleared) when the thread cannot be created.
    bool startWorker(std::function<void()> body, int* error = nullptr);
    // The engine session of the connection, or null when there is none. Only the worker (or
    // the UI thread while no worker runs) calls it; abortEngine() may be called from any thread.
    ftp::RemoteSession* engine() { return m_session.get(); }
    // The options the current connection was made with, the certificate or host key the user
    // accepted among the trusted ones and the key's passphrase (asked once, kept in memory for
    // this connection), so that more connections to the server (the transfer queue's) log in
    // the same way and ask nothing again. Without `notice`. Empty before the first connect.
    ftp::SessionOptions connectionOptions() const;
    // Cancels the engine call in progress (the Stop command), a connect included.
    void abortEngine();

    // Stops a running worker (the engine call in progress is cancelled) and waits for it; a
    // flow it interrupts ends there (busy is cleared).
    void stopWorker();
    // Waits for the running worker to end by itself.
    void waitForWorker();

    // The address of the current account: IP when UseIP is set, else URL.
    static QString ServerAddress(const AccountRecord& account);

    // The port a connection uses: the account's; for an empty (0) one 22 for SFTP, 990 with
    // implicit TLS, else 21.
    static int EffectivePort(const AccountRecord& account);
    // How the rows of the remote pane were listed (UI thread; set with each listing handed
    // over): times to the second (MLSD, SFTP) rather than as LIST shows them, and names that
    // ignore case (a Windows server).
    struct ListingKind {
        bool exactTimes = true;
        bool namesIgnoreCase = false;
    };
    ListingKind listingKind() const { return m_listingKind; }
    // What the session's protocol changes in the flows (FTP before any connect).
    const ProtocolTraits& traits() const;
    // The window title while connected to `site`: it says when the connection is encrypted.
    QString connectedTitle(const QString& site) const;

private:
    struct ListingJob {
        QByteArray pattern;
        QString patternText;
    };
    enum class ListingOutcome { Listed, Failed, Stopped };

    bool startConnect(bool reconnect);
    void connectWorker(AccountRecord account, QString server, bool reconnect, int generation,
                       std::optional<std::string> remembered);
    void finishConnect(QString server, bool reconnect, int generation);
    void connectFailed(bool reconnect);
    // Starts a flow's worker (the stop request cleared, busy set, the commands updated); a
    // thread that cannot be made is reported.
    bool startFlow(std::function<void()> body);
    // A new worker thread for `body`; 0, or the errno when none can be made.
    int spawnWorker(std::function<void()> body);
    // The next step of a flow on a worker, busy still set (inline when already on one).
    void continueOnWorker(std::function<void()> body);
    void navigateWorker(QByteArray path, bool keepPaneOnFailure);
    // Hands rows to the UI thread as the remote pane's listing (sorted first) with `label`,
    // with the rows held back as hidden, in one step.
    void handOverRows(std::vector<FileEntry> rows, QString label,
                      std::vector<FileEntry> hidden = {});
    static std::vector<FileEntry> ParentRowOnly();
    // The remote pane without a current listing (UI thread): no rows, the label `labelId`
    // formatted with the remote path.
    void clearRemoteListing(int labelId);
    void finishWorker();
    // What a connect accepts besides the system's checks and known_hosts.
    struct Trusted {
        std::vector<std::string> certificates;
        std::vector<std::string> hostKeys;
        bool rememberHostKeys = false;
    };
    // The passphrase of the connection's key: asked on the first use, then given to every
    // connection made with the session's options; forgotten on Disconnect.
    struct PassphraseMemory {
        std::mutex askMutex; // held by the one asking
        std::mutex mutex;    // guards the fields below
        std::optional<std::string> value;
        std::string keyFile;
        bool rejected = false;   // the server's key check found it wrong: ask again
        bool storeTried = false; // the kept passphrase was tried for this connection
        bool fromStore = false;  // the value is the kept one
        int asked = 0;
    };
    bool openSession(const AccountRecord& account, const QString& server, const Trusted& trusted);
    // Connects, asking the user about a certificate the checks refused or a host key that
    // known_hosts does not hold, and connecting again with it when the user trusts it; a
    // wrong passphrase is asked again.
    bool connectTrusting(const AccountRecord& account, const QString& server,
                         const std::optional<std::string>& remembered);
    bool readCurrentDirectory();
    void reportEngineError(int apiNameId, bool playAlert, QString* out = nullptr);
    CallResult call(const std::function<bool(ftp::RemoteSession&)>& fn);
    ListingJob listingJob() const;
    ListingOutcome listRemote(const ListingJob& job);
    void markSessionLost();
    const AccountRecord* currentAccount() const;

    AppState& m_state;
    AppRuntime& m_runtime;
    const Messages& m_messages;
    UiPort& m_port;
    Hooks m_hooks;
    int m_timeoutMs = 30000;
    std::optional<bool> m_zeroCopy;
    std::unique_ptr<ftp::ListingLimits> m_listingLimits;
    CertificateTrust m_ownTrust;
    CertificateTrust* m_trust = &m_ownTrust;
    std::optional<AccountRecord> m_quickAccount;
    // The connection taken over is encrypted (set on the UI thread by the connect's second step).
    bool m_encrypted = false;
    ftp::Protocol m_protocol = ftp::Protocol::Ftp; // of the connection taken over
    std::string m_knownHostsFile;
    std::string m_sshConfigFile;
    PasswordSource m_passwordSource;
    PassphraseStore m_passphraseStore;
    std::shared_ptr<PassphraseMemory> m_passphrase = std::make_shared<PassphraseMemory>();
    // Host keys the user trusted once, per "host:port", for the running program.
    std::map<QString, std::set<std::string>> m_hostKeysOnce;
    mutable std::mutex m_hostKeysMutex;

    std::unique_ptr<ftp::RemoteSession> m_session;
    std::unique_ptr<ftp::SessionOptions> m_connectedOptions; // of the last connect that worked
    mutable std::mutex m_optionsMutex;
    // Set by Stop; a flow checks it where the engine cannot see the request (before it
    // connects, between the two steps of a connect).
    std::atomic<bool> m_stopRequested{false};
    // Bumped when a flow is ended from outside (Disconnect, shutdown): a connect's second
    // step, already queued, then does nothing.
    std::atomic<int> m_generation{0};
    QByteArray m_remotePathRaw; // the server's current directory as it sent it
    ListingKind m_listingKind;  // of the rows handed over last
    std::thread m_worker;
    std::mutex m_workerMutex;
    // The rows a listing replaced: freed by the next worker rather than on the UI thread,
    // where releasing 100 000 rows would stall the window.
    std::vector<FileEntry> m_retiredRows;
    std::mutex m_retiredMutex;
};

} // namespace tw
