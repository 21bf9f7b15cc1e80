#include "core/session/session_controller.h"

#include "core/panes/entry_format.h"
#include "core/panes/hidden_rows.h"
#include "core/panes/pane_sort.h"
#include "core/panes/path_history.h"
#include "core/text/messages.h"
#include "core/transfer/file_copy.h"
#include "ftp/ftp_error.h"
#include "ftp/ftp_session.h"
#include "sftp/session_factory.h"

#include <QDir>

#include <cerrno>
#include <unistd.h>

namespace tw {

namespace {

constexpr int kPathLimit = 255;

QString decode(const std::string& bytes) {
    return QString::fromUtf8(bytes.data(), qsizetype(bytes.size()));
}

QString decode(const QByteArray& bytes) {
    return QString::fromUtf8(bytes);
}

std::string_view view(const QByteArray& bytes) {
    return {bytes.constData(), std::size_t(bytes.size())};
}

constexpr int kNotConnectedLabelId = 4706;   // "Remote: not connected"
constexpr int kConnectionLostLabelId = 4707; // "Remote: %s (connection lost)"
constexpr int kLoginRefusedTextId = 4708;    // "\rLogin refused by %s\r\r%s"

constexpr int kHostKeyChangedCaptionId = 5504; // "Host Key Changed"
constexpr int kHostKeyChangedTextId = 5505;    // "WARNING: the host key of %s has changed. ..."
constexpr int kHostKeyOnceId = 5506;           // "Host key %s trusted until the program ends"
constexpr int kHostKeyAddedId = 5507;          // "Host key %s added to %s"
constexpr int kSshConnectionId = 5501;         // "Secure connection: SFTP over SSH"
constexpr int kNoPasswordGivenId = 5712;       // "Connect cancelled: no password was given."
// A passphrase is asked at most this many times in one connect.
constexpr int kPassphraseAttempts = 3;

bool IsLoginRefusal(int error) {
    return error == ftp::kErrIncorrectUserName || error == ftp::kErrIncorrectPassword ||
           error == ftp::kErrLoginFailure || error == ftp::kErrSshAuthRefused ||
           error == ftp::kErrSshAgent;
}

QString KnownHostsShown(const std::string& file) {
    return file.empty() ? QDir::homePath() + u"/.ssh/known_hosts"_qs : decode(file);
}

// The lines of a server's reply for a message box, or the error's own text without one.
QString ServerReplyText(const QString& reply, int error) {
    const QStringList lines = Messages::ServerReplyLines(reply);
    return lines.isEmpty() ? Messages::ErrorText(error) : lines.join(u'\r');
}

// Set on the worker thread, so a flow step that the port ran there at once goes on inline.
thread_local bool t_onWorker = false;

} // namespace

SessionController::SessionController(AppState& state, AppRuntime& runtime, const Messages& messages,
                                     UiPort& port, Hooks hooks)
    : m_state(state), m_runtime(runtime), m_messages(messages), m_port(port),
      m_hooks(std::move(hooks)) {}

SessionController::~SessionController() {
    stopWorker();
    if (m_session)
        m_session->close();
}

QString SessionController::ServerAddress(const AccountRecord& account) {
    return account.UseIP ? account.IP : account.URL;
}

const AccountRecord* SessionController::currentAccount() const {
    if (m_quickAccount)
        return &*m_quickAccount;
    const int index = m_state.CurrentAccount;
    if (index < 0 || index >= m_state.AccountCount())
        return nullptr;
    return &m_state.Accounts[std::size_t(index)];
}

void SessionController::reportEngineError(int apiNameId, bool playAlert, QString* out) {
    const int code = m_session ? m_session->lastError() : ftp::kErrIncorrectHandleState;
    const QString response = m_session ? decode(m_session->lastResponse()) : QString();
    m_messages.ReportApiError(apiNameId, code, playAlert, response, out);
}

void SessionController::setListingLimits(const ftp::ListingLimits& limits) {
    m_listingLimits = std::make_unique<ftp::ListingLimits>(limits);
}

int SessionController::EffectivePort(const AccountRecord& account) {
    const int port = static_cast<int>(account.RemotePort & 0xFFFF);
    return port != 0 ? port : DefaultPort(account.Protocol, account.Encryption);
}

const ProtocolTraits& SessionController::traits() const {
    return TraitsOf(m_protocol);
}

QString SessionController::connectedTitle(const QString& site) const {
    const ProtocolTraits& t = traits();
    return m_messages
        .FormatResource(m_encrypted ? t.secureTitleId : t.plainTitleId, {site}, kShortFormatLimit)
        .value_or(QString());
}

bool SessionController::openSession(const AccountRecord& account, const QString& server,
                                    const Trusted& trusted) {
    const ProtocolTraits& traits = TraitsOf(account.Protocol);
    ftp::SessionOptions options;
    options.protocol = account.Protocol;
    options.host = server.trimmed().toStdString();
    options.port = EffectivePort(account);
    options.tls = traits.encryptionChoice ? account.Encryption : ftp::TlsMode::Plain;
    options.trustedFingerprints = trusted.certificates;
    if (traits.keyLogin) {
        options.ssh.identityFile = account.KeyFile.toStdString();
        options.ssh.useAgent = account.UseAgent;
        options.ssh.knownHostsFile = m_knownHostsFile;
        options.ssh.configFile = m_sshConfigFile;
        options.ssh.trustedHostKeys = trusted.hostKeys;
        options.ssh.rememberTrustedHostKeys = trusted.rememberHostKeys;
        // Asked through the port from the calling thread (this worker, or a queue worker
        // later), once for all the connections made with these options.
        options.ssh.passphrase =
            [memory = m_passphrase, &port = m_port, host = server.trimmed(),
             store = m_passphraseStore](const std::string& keyFile) -> std::optional<std::string> {
            // One question at a time (two queue connections ask once); the value's own lock
            // is never held while the UI thread answers, so Disconnect cannot wait on it.
            const std::lock_guard asking(memory->askMutex);
            PassphraseRequest request;
            bool tryStore = false;
            {
                const std::lock_guard lock(memory->mutex);
                if (memory->value && !memory->rejected && memory->keyFile == keyFile)
                    return memory->value;
                request.again = memory->rejected;
                tryStore = !memory->storeTried && store.stored;
                memory->storeTried = true;
            }
            // The kept passphrase first, once (the store may ask for its master password).
            if (tryStore) {
                if (const std::optional<QString> kept = store.stored(decode(keyFile))) {
                    const std::lock_guard lock(memory->mutex);
                    memory->value = kept->toStdString();
                    memory->keyFile = keyFile;
                    memory->fromStore = true;
                    return memory->value;
                }
            }
            {
                const std::lock_guard lock(memory->mutex);
                ++memory->asked;
            }
            request.keyFile = decode(keyFile);
            request.host = host;
            request.offerSave = static_cast<bool>(store.keep);
            const std::optional<PassphraseAnswer> answer = port.askPassphrase(request);
            const std::lock_guard lock(memory->mutex);
            memory->rejected = false;
            if (!answer) {
                memory->value.reset();
                return std::nullopt;
            }
            memory->value = answer->passphrase.toStdString();
            memory->keyFile = keyFile;
            if (answer->save && store.keep)
                store.keep(request.keyFile, answer->passphrase);
            return memory->value;
        };
    }
    if (!account.Anonymous) {
        options.user = account.Login.toStdString();
        options.password = account.Password.toStdString();
    }
    options.passive = account.Passive;
    options.timeoutMs = m_timeoutMs;
    if (m_listingLimits)
        options.listingLimits = *m_listingLimits;
    if (m_zeroCopy)
        options.sendfileUploads = options.spliceDownloads = *m_zeroCopy;
    // The engine's notes (a passive / active fallback) go to the log as they happen.
    options.notice = [this](const std::string& note) {
        m_messages.LogMessage(4428, {decode(note)});
    };
    if (!m_session->connect(options))
        return false;
    options.notice = nullptr;
    // Written to known_hosts by this connect: the next ones find it there.
    options.ssh.rememberTrustedHostKeys = false;
    const std::lock_guard lock(m_optionsMutex);
    m_connectedOptions = std::make_unique<ftp::SessionOptions>(std::move(options));
    return true;
}

ftp::SessionOptions SessionController::connectionOptions() const {
    const std::lock_guard lock(m_optionsMutex);
    return m_connectedOptions ? *m_connectedOptions : ftp::SessionOptions{};
}

bool SessionController::connectTrusting(const AccountRecord& account, const QString& server,
                                        const std::optional<std::string>& remembered) {
    const QString host = server.trimmed();
    const int port = EffectivePort(account);
    const QString key = CertificateTrust::Key(host, port);
    Trusted trusted;
    trusted.certificates = m_trust->trustedOnce(host, port);
    if (remembered)
        trusted.certificates.push_back(*remembered);
    {
        const std::lock_guard lock(m_hostKeysMutex);
        const auto it = m_hostKeysOnce.find(key);
        if (it != m_hostKeysOnce.end())
            trusted.hostKeys.assign(it->second.begin(), it->second.end());
    }
    int passphraseTries = 0;
    bool connected = openSession(account, server, trusted);
    while (!connected && !m_stopRequested) {
        const int error = m_session->lastError();
        if (ftp::IsCertificateError(error) && m_session->rejectedCertificate()) {
            const ftp::CertificateInfo certificate = *m_session->rejectedCertificate();
            // A certificate refused although trusted: asking again would loop.
            if (std::find(trusted.certificates.begin(), trusted.certificates.end(),
                          certificate.sha256) != trusted.certificates.end())
                break;
            CertificateRequest request;
            request.certificate = certificate;
            request.host = host;
            request.port = port;
            request.changed = remembered.has_value();
            const CertificateAnswer answer = m_port.askCertificate(request);
            if (answer == CertificateAnswer::Cancel)
                break;
            if (answer == CertificateAnswer::TrustOnce) {
                m_trust->trustOnce(host, port, certificate.sha256);
            } else {
                // The settings belong to the UI thread.
                CertificateTrust* trust = m_trust;
                m_port.runOnUiThread([trust, host, port, fp = certificate.sha256] {
                    trust->remember(host, port, fp);
                });
            }
            trusted.certificates.push_back(certificate.sha256);
        } else if (error == ftp::kErrSshHostKeyUnknown && m_session->rejectedHostKey()) {
            const ftp::HostKeyInfo hostKey = *m_session->rejectedHostKey();
            if (std::find(trusted.hostKeys.begin(), trusted.hostKeys.end(), hostKey.fingerprint) !=
                trusted.hostKeys.end())
                break;
            const HostKeyAnswer answer = m_port.askHostKey(HostKeyRequest{hostKey});
            if (answer == HostKeyAnswer::Cancel)
                break;
            trusted.hostKeys.push_back(hostKey.fingerprint);
            trusted.rememberHostKeys = answer == HostKeyAnswer::TrustAlways;
            if (!m_stopRequested && openSession(account, server, trusted)) {
                if (trusted.rememberHostKeys) {
                    m_messages.LogMessage(
                        kHostKeyAddedId,
                        {decode(hostKey.fingerprint), KnownHostsShown(hostKey.knownHostsFile)});
                } else {
                    m_messages.LogMessage(kHostKeyOnceId, {decode(hostKey.fingerprint)});
                    const std::lock_guard lock(m_hostKeysMutex);
                    m_hostKeysOnce[key].insert(hostKey.fingerprint);
                }
                return true;
            }
            continue;
        } else if (error == ftp::kErrSshKeyPassphrase &&
                   passphraseTries + 1 < kPassphraseAttempts) {
            const std::lock_guard lock(m_passphrase->mutex);
            if ((m_passphrase->asked == 0 && !m_passphrase->fromStore) || !m_passphrase->value)
                break; // not a passphrase the user gave, nor a kept one
            m_passphrase->rejected = true;
            ++passphraseTries;
        } else {
            break;
        }
        connected = !m_stopRequested && openSession(account, server, trusted);
    }
    return connected;
}

bool SessionController::readCurrentDirectory() {
    const bool playAlert = m_state.options.AlertLevel != 0;
    std::string cwd;
    if (!m_session->getCurrentDirectory(cwd)) {
        reportEngineError(4508, playAlert);
        return false;
    }
    m_remotePathRaw = QByteArray(cwd.data(), qsizetype(cwd.size()));
    m_state.remote.path = decode(cwd).left(kPathLimit);
    m_messages.LogMessage(4407, {m_state.remote.path});
    return true;
}

bool SessionController::Connect() {
    if (m_runtime.busy)
        return false;
    m_runtime.connectMode = true;
    if (!m_hooks.showAccountsSheet || !m_hooks.showAccountsSheet()) {
        m_runtime.connectMode = false;
        return false;
    }
    m_quickAccount.reset(); // the account chosen in the sheet is the session's now
    if (!currentAccount()) {
        m_runtime.connectMode = false;
        return false;
    }
    return startConnect(false);
}

bool SessionController::QuickConnect(AccountRecord account) {
    if (m_runtime.busy || m_runtime.connected)
        return false;
    m_quickAccount = std::move(account);
    m_runtime.connectMode = true;
    return startConnect(false);
}

bool SessionController::Reconnect() {
    if (!currentAccount() || !m_runtime.connected || m_runtime.busy)
        return false;
    return startConnect(true);
}

// The first step of Connect and Re-Connect, on the UI thread: the worker does the rest, so
// the window stays responsive and Stop can end a connect that hangs.
bool SessionController::startConnect(bool reconnect) {
    const AccountRecord account = *currentAccount();
    const QString server = reconnect ? m_state.remote.site : ServerAddress(account);
    m_messages.ShowStatus(reconnect ? 4402 : 4400);
    m_messages.SetBusyCursor(true);
    m_messages.LogMessage(reconnect ? 4402 : 4400);
    if (!m_session || m_session->protocol() != account.Protocol)
        m_session = sftp::MakeSession(account.Protocol);
    if (!reconnect) // a new connection asks its key's passphrase again
        m_passphrase = std::make_shared<PassphraseMemory>();
    const int generation = m_generation;
    // Read here: the settings belong to the UI thread.
    std::optional<std::string> remembered =
        account.Encryption == ftp::TlsMode::Plain || !TraitsOf(account.Protocol).encryptionChoice
            ? std::nullopt
            : m_trust->remembered(server.trimmed(), EffectivePort(account));
    if (!startFlow([this, account, server, reconnect, generation, remembered] {
            connectWorker(account, server, reconnect, generation, remembered);
        })) {
        connectFailed(reconnect);
        return false;
    }
    return true;
}

void SessionController::connectWorker(AccountRecord account, QString server, bool reconnect,
                                      int generation, std::optional<std::string> remembered) {
    if (reconnect)
        m_session->close();
    bool noPassword = false;
    if (m_passwordSource && !account.Anonymous && !m_stopRequested) {
        if (std::optional<QString> password = m_passwordSource(account))
            account.Password = *password;
        else
            noPassword = true;
    }
    bool connected =
        !m_stopRequested && !noPassword && connectTrusting(account, server, remembered);
    if (m_stopRequested && connected) {
        m_session->close(false); // stopped just as the server let us in
        connected = false;
    }
    if (!connected) {
        std::optional<QString> refusedLogin;
        std::optional<ftp::HostKeyInfo> changedKey;
        if (m_stopRequested) {
            m_messages.LogMessage(4427);
        } else if (noPassword) {
            m_messages.LogMessage(kNoPasswordGivenId);
        } else {
            reportEngineError(4501, false);
            m_messages.PlayAlert(AlertKind::ConnectionFailure);
            const int error = m_session->lastError();
            if (IsLoginRefusal(error))
                refusedLogin = ServerReplyText(decode(m_session->lastResponse()), error);
            if (error == ftp::kErrSshHostKeyChanged)
                changedKey = m_session->rejectedHostKey();
        }
        m_port.runOnUiThread([this, reconnect, generation, server, refusedLogin, changedKey] {
            if (generation != m_generation)
                return; // stopped from outside: nothing is left to undo
            connectFailed(reconnect);
            finishWorker();
            // A refused login needs the user's attention: the server's own words in a box.
            if (refusedLogin)
                m_messages.ErrorBox(kLoginRefusedTextId, {server.trimmed(), *refusedLogin});
            // A changed host key is a warning, never a question: nothing here accepts it.
            if (changedKey) {
                const QString at =
                    changedKey->port == ftp::kSftpPort
                        ? decode(changedKey->host)
                        : decode(changedKey->host) + u':' + QString::number(changedKey->port);
                m_messages.SystemWarningBox(
                    kHostKeyChangedCaptionId, kHostKeyChangedTextId,
                    {at, decode(changedKey->knownFingerprint), decode(changedKey->type),
                     decode(changedKey->fingerprint), KnownHostsShown(changedKey->knownHostsFile)});
            }
        });
        return;
    }
    m_port.runOnUiThread(
        [this, server, reconnect, generation] { finishConnect(server, reconnect, generation); });
}

void SessionController::connectFailed(bool reconnect) {
    m_session.reset();
    m_remotePathRaw.clear();
    m_runtime.connectMode = false;
    m_messages.SetBusyCursor(false);
    if (reconnect || m_runtime.connected) {
        m_runtime.connected = false;
        m_encrypted = false;
        m_runtime.sessionLost = false;
        m_port.setWindowTitle(m_messages.LoadStringText(1000));
    }
    clearRemoteListing(kNotConnectedLabelId);
}

// The second step, on the UI thread: the session is the program's now.
void SessionController::finishConnect(QString server, bool reconnect, int generation) {
    AccountRecord* account = const_cast<AccountRecord*>(currentAccount());
    if (generation != m_generation)
        return; // the flow was ended meanwhile (Disconnect, shutdown)
    if (!m_session || !account) {
        connectFailed(reconnect);
        finishWorker();
        return;
    }
    if (m_stopRequested) {
        m_session->close(false);
        m_messages.LogMessage(4427);
        connectFailed(reconnect);
        finishWorker();
        return;
    }
    const int port = EffectivePort(*account);
    m_runtime.connected = true;
    m_runtime.sessionLost = false;
    if (!reconnect) {
        account->Visits += 1;
        m_state.remote.site = server.left(kPathLimit);
    }
    const ftp::TlsState tls = m_session->tlsState();
    m_protocol = m_session->protocol();
    m_encrypted = tls.encrypted();
    m_port.setWindowTitle(connectedTitle(m_state.remote.site));
    if (!reconnect)
        ClearPaneList(PaneSide::Remote);
    m_messages.LogMessage(reconnect ? 4403 : 4401, {m_state.remote.site, port});
    if (m_encrypted)
        m_messages.LogMessage(4429, {decode(tls.version), decode(tls.cipher)});
    if (traits().keyLogin)
        m_messages.LogMessage(kSshConnectionId);
    if (traits().passiveMode)
        m_messages.LogMessage(4417, {account->Passive ? u"On"_qs : u"Off"_qs});
    m_messages.PlayAlert(AlertKind::ConnectionSuccess);

    QByteArray startPath;
    if (reconnect) {
        startPath = m_remotePathRaw.isEmpty() ? m_state.remote.path.toUtf8() : m_remotePathRaw;
    } else {
        // Local pane from the account's start settings.
        const bool playAlert = m_state.options.AlertLevel != 0;
        PaneState& local = m_state.local;
        local.path = account->LocalPath;
        local.mask = account->LocalMask;
        local.exclude = account->LocalExclude;
        local.sortKey = static_cast<SortKey>(std::clamp(account->LocalSort, 0, 3));
        if (!local.path.isEmpty() && ::chdir(QFile::encodeName(local.path).constData()) != 0)
            m_messages.ReportApiError(4506, errno, playAlert);
        const QString cwd = QDir::currentPath();
        if (cwd.isEmpty())
            m_messages.ReportApiError(4505, errno, playAlert);
        else
            local.path = cwd;
        m_messages.LogMessage(4406, {local.path});
        ClearPaneList(PaneSide::Local);
        if (m_hooks.listLocalDirectory)
            m_hooks.listLocalDirectory();

        // Remote pane from the account's start settings.
        PaneState& remote = m_state.remote;
        remote.path = account->RemotePath;
        remote.mask = account->RemoteMask;
        remote.exclude = account->RemoteExclude;
        remote.sortKey = static_cast<SortKey>(std::clamp(account->RemoteSort, 0, 3));
        startPath = account->RemotePath.toUtf8();
    }
    m_port.updateCommandState();
    continueOnWorker([this, startPath] { navigateWorker(startPath, false); });
}

void SessionController::continueOnWorker(std::function<void()> body) {
    if (t_onWorker) {
        body();
        return;
    }
    if (const int error = spawnWorker(std::move(body))) {
        m_messages.ReportApiError(4504, error, m_state.options.AlertLevel != 0);
        finishWorker();
    }
}

void SessionController::finishWorker() {
    m_messages.SetBusyCursor(false);
    m_runtime.busy = false;
    m_port.updateCommandState();
}

// Changes to `path` (when given), reads where the server put us and lists it. With
// `keepPaneOnFailure` a refused change is reported and leaves the pane as it is (a link that
// turned out not to be a folder).
void SessionController::navigateWorker(QByteArray path, bool keepPaneOnFailure) {
    const bool playAlert = m_state.options.AlertLevel != 0;
    if (!path.isEmpty() && !m_session->setCurrentDirectory(view(path))) {
        reportEngineError(4507, playAlert);
        if (keepPaneOnFailure && m_session->isConnected() && !m_stopRequested) {
            finishWorker();
            return;
        }
    }
    if (m_session->isConnected() && !m_stopRequested)
        readCurrentDirectory();
    if (m_session->isConnected() && !m_stopRequested) {
        listRemote(listingJob());
    } else if (m_stopRequested) {
        // Where the server stands is not known now: the old rows are not shown as current.
        m_messages.LogMessage(4426);
        handOverRows(ParentRowOnly(),
                     m_messages.FormatResource(9004, {m_state.remote.path}, kShortFormatLimit)
                         .value_or(QString()));
    }
    noteSessionState();
    finishWorker();
}

void SessionController::noteSessionState() {
    if (m_session->isConnected())
        return;
    const int generation = m_generation;
    m_port.runOnUiThread([this, generation] {
        if (generation == m_generation && m_runtime.connected && !m_runtime.sessionLost)
            markSessionLost();
    });
}

bool SessionController::Disconnect(bool confirm) {
    if (!m_runtime.connected)
        return true;
    m_messages.ShowStatus(455);
    if (confirm && m_state.options.Confirm) {
        const AccountRecord* account = currentAccount();
        const QString name = account ? account->Name : QString();
        const QString address = account ? ServerAddress(*account) : m_state.remote.site;
        if (!m_messages.YesNoBox(true, 3400, 3401, {name, address}))
            return false;
    }
    stopWorker();
    m_messages.LogMessage(4404);
    bool clean = true;
    // A session the server has already ended closes without a word to it.
    if (m_session && m_session->isConnected() && !m_runtime.sessionLost && !m_session->close()) {
        reportEngineError(4502, false);
        m_messages.PlayAlert(AlertKind::ConnectionFailure);
        clean = false;
    }
    m_session.reset();
    m_remotePathRaw.clear();
    m_runtime.connected = false;
    m_encrypted = false;
    {
        // The passphrase lives only as long as the connection (the queue's copies of the
        // options share this memory).
        const std::lock_guard lock(m_passphrase->mutex);
        m_passphrase->value.reset();
    }
    m_runtime.sessionLost = false;
    m_runtime.connectMode = false;
    m_port.setWindowTitle(m_messages.LoadStringText(1000));
    clearRemoteListing(kNotConnectedLabelId);
    if (clean) {
        m_messages.LogMessage(4405);
        m_messages.PlayAlert(AlertKind::ConnectionSuccess);
    }
    m_port.updateCommandState();
    return true;
}

void SessionController::showNotConnected() {
    clearRemoteListing(kNotConnectedLabelId);
}

void SessionController::clearRemoteListing(int labelId) {
    PaneState& remote = m_state.remote;
    std::vector<FileEntry> rows;
    rows.swap(remote.entries);
    remote.heldHidden.clear();
    {
        // Released by the next worker, not here on the UI thread.
        std::lock_guard lock(m_retiredMutex);
        if (m_retiredRows.empty())
            m_retiredRows.swap(rows);
    }
    remote.hasListing = false;
    remote.label =
        m_messages.FormatResource(labelId, {remote.path}, kShortFormatLimit).value_or(QString());
    m_port.refreshPane(PaneSide::Remote);
}

void SessionController::ClearPaneList(PaneSide side) {
    PaneState& pane = side == PaneSide::Local ? m_state.local : m_state.remote;
    pane.entries.clear();
    pane.heldHidden.clear();
    pane.hasListing = false;
    pane.label =
        m_messages
            .FormatResource(side == PaneSide::Local ? 9002 : 9004, {QString()}, kShortFormatLimit)
            .value_or(QString());
    m_port.refreshPane(side);
}

bool SessionController::startWorker(std::function<void()> body, int* error) {
    if (m_runtime.busy.exchange(true))
        return false;
    if (const int failed = spawnWorker(std::move(body))) {
        if (error)
            *error = failed;
        m_runtime.busy = false;
        return false;
    }
    return true;
}

int SessionController::spawnWorker(std::function<void()> body) {
    std::lock_guard lock(m_workerMutex);
    if (m_worker.joinable())
        m_worker.join(); // the previous worker has finished (or handed over as its last act)
    try {
        m_worker = std::thread([body = std::move(body)] {
            t_onWorker = true;
            body();
        });
    } catch (const std::system_error& e) {
        return e.code().value();
    }
    m_runtime.workerThreadId = m_worker.get_id();
    return 0;
}

bool SessionController::startFlow(std::function<void()> body) {
    m_stopRequested = false;
    int error = 0;
    if (!startWorker(std::move(body), &error)) {
        if (error != 0)
            m_messages.ReportApiError(4504, error, m_state.options.AlertLevel != 0);
        return false;
    }
    m_port.updateCommandState();
    return true;
}

void SessionController::abortEngine() {
    m_stopRequested = true;
    if (m_session)
        m_session->abort();
}

bool SessionController::CheckSessionAlive() {
    if (!m_runtime.connected || m_runtime.sessionLost)
        return m_runtime.sessionLost;
    if (m_session && m_session->isConnected())
        return false;
    markSessionLost();
    return true;
}

void SessionController::markSessionLost() {
    m_runtime.sessionLost = true;
    m_messages.LogMessage(4425);
    m_port.setWindowTitle(m_messages.FormatResource(1003, {m_state.remote.site}, kShortFormatLimit)
                              .value_or(QString()));
    // Re-Connect returns to the folder: the label keeps it, the rows are no longer current.
    clearRemoteListing(kConnectionLostLabelId);
    m_port.updateCommandState();
}

SessionController::ListingJob SessionController::listingJob() const {
    const PaneState& remote = m_state.remote;
    const QString mask = remote.mask.isEmpty() ? u"*.*"_qs : remote.mask;
    const QByteArray path = m_remotePathRaw.isEmpty() ? remote.path.toUtf8() : m_remotePathRaw;
    const int joinId = path.endsWith('/') ? 3701 : 3704;
    ListingJob job;
    job.patternText =
        m_messages.FormatStringResource(joinId, {decode(path), mask}).value_or(QString());
    job.pattern = path + (joinId == 3704 ? "/" : "") + mask.toUtf8();
    return job;
}

bool SessionController::StartRemoteListing() {
    if (!m_session || m_runtime.busy)
        return false;
    if (CheckSessionAlive())
        return false;
    return startFlow([this, job = listingJob()] {
        m_messages.SetBusyCursor(true);
        listRemote(job);
        noteSessionState();
        finishWorker();
    });
}

bool SessionController::RunRemoteFlow(std::function<bool()> body) {
    if (!m_session || m_runtime.busy)
        return false;
    if (CheckSessionAlive())
        return false;
    return startFlow([this, body = std::move(body), job = listingJob()] {
        m_messages.SetBusyCursor(true);
        if (body() && m_session->isConnected() && !m_stopRequested)
            listRemote(job);
        noteSessionState();
        finishWorker();
    });
}

SessionController::ListingOutcome SessionController::listRemote(const ListingJob& job) {
    m_messages.SetBusyCursor(true);
    {
        std::vector<FileEntry> retired;
        {
            std::lock_guard lock(m_retiredMutex);
            retired.swap(m_retiredRows);
        }
    } // the previous listing's rows are released here, off the UI thread
    m_messages.LogMessage(traits().listLogId, {job.patternText});

    std::vector<FileEntry> rows = ParentRowOnly();

    const QString exclude = m_state.remote.exclude;
    ftp::DirEntry record;
    for (bool ok = m_session->findFirstFile(view(job.pattern), record); ok;
         ok = m_session->findNextFile(record)) {
        const bool isFolder = (record.attributes & ftp::kAttributeDirectory) != 0;
        if (record.name.empty() || (isFolder && record.name == ".") ||
            IsUploadTemporaryName(record.name)) // an upload not yet complete
            continue;
        const QString name = decode(record.name).left(kPathLimit);
        if (IsExcluded(exclude, name))
            continue;
        FileEntry row;
        row.findData.attributes = record.attributes;
        row.findData.creationTime = record.creationTime;
        row.findData.lastAccessTime = record.lastAccessTime;
        row.findData.lastWriteTime = record.lastWriteTime;
        row.findData.size = record.size;
        row.findData.rawName = record.name;
        row.name = name;
        row.isFolder = isFolder;
        row.isLink = record.type == ftp::EntryType::Link && !isFolder;
        row.mode = record.mode;
        row.owner = decode(record.owner).left(kPathLimit);
        row.group = decode(record.group).left(kPathLimit);
        row.rights = record.rights;
        CompleteEntry(row);
        row.isParent = false; // a ".." the server reports is an ordinary folder row
        ClassifyEntryIcon(row);
        rows.push_back(std::move(row));
    }
    const int searchError = m_session->lastError();
    // A listing past the engine's bounds keeps the rows read up to there, and says so.
    const bool tooLarge = searchError == ftp::kErrListingTooLarge;
    ListingOutcome outcome = ListingOutcome::Listed;
    if (searchError == ftp::kErrOperationCancelled)
        outcome = ListingOutcome::Stopped;
    else if (searchError != ftp::kErrNoMoreFiles && !tooLarge)
        outcome = ListingOutcome::Failed;
    if (outcome == ListingOutcome::Failed || tooLarge) // before findClose clears the reply
        reportEngineError(4526, m_state.options.AlertLevel != 0);
    m_session->findClose();
    if (outcome != ListingOutcome::Listed)
        rows.resize(1); // a failed listing never passes for a folder's contents: ".." only

    const int count = static_cast<int>(rows.size());
    std::vector<FileEntry> hidden;
    if (m_state.options.ShowHidden == 0)
        hidden = TakeHiddenRows(rows);
    handOverRows(std::move(rows),
                 m_messages.FormatResource(9004, {m_state.remote.path}, kShortFormatLimit)
                     .value_or(QString()),
                 std::move(hidden));
    if (outcome == ListingOutcome::Listed) {
        m_port.beep();
        m_messages.LogMessage(4409, {count, count == 1 ? QString() : u"s"_qs});
    } else if (outcome == ListingOutcome::Stopped) {
        m_messages.LogMessage(4426);
    }
    return outcome;
}

std::vector<FileEntry> SessionController::ParentRowOnly() {
    FileEntry parent;
    parent.name = u".."_qs;
    parent.isParent = true;
    parent.isFolder = true;
    parent.icon = 0;
    std::vector<FileEntry> rows;
    rows.push_back(std::move(parent));
    return rows;
}

void SessionController::handOverRows(std::vector<FileEntry> rows, QString label,
                                     std::vector<FileEntry> hidden) {
    // Sorted here so the UI thread only swaps the rows in.
    const SortKey key = m_state.remote.sortKey;
    const SortOptions options = SortOptions::From(m_state.options);
    SortEntries(rows, key, options);
    const auto headers = HeaderTexts(m_messages, m_state.ColumnLabels, key);
    // Read here, on the worker that owns the session: a listing may turn MLSD off.
    const ListingKind kind =
        m_session ? ListingKind{m_session->exactListings(), m_session->namesIgnoreCase()}
                  : ListingKind{};
    m_port.runOnUiThread([this, rows = std::move(rows), hidden = std::move(hidden), label, headers,
                          options, kind]() mutable {
        m_listingKind = kind;
        PaneState& remote = m_state.remote;
        remote.entries.swap(rows);
        remote.heldHidden.swap(hidden);
        {
            std::lock_guard lock(m_retiredMutex);
            m_retiredRows.swap(rows);
        }
        // Hidden files were switched on or off while the listing ran.
        ShowHiddenRows(remote, m_state.options.ShowHidden != 0, options);
        remote.hasListing = true;
        remote.label = label;
        remote.headers = headers;
        m_port.refreshPane(PaneSide::Remote);
    });
}

bool SessionController::EnterRemoteFolder(int row) {
    if (!m_runtime.connected || m_runtime.busy || !m_session || m_runtime.sessionLost)
        return false;
    if (row < 0 || row >= m_state.remote.count())
        return false;
    const FileEntry& entry = m_state.remote.entries[std::size_t(row)];
    if (!entry.isFolder && !entry.isLink)
        return false;
    return startFlow([this, path = rowPath(row), keepPane = entry.isLink] {
        m_messages.SetBusyCursor(true);
        navigateWorker(path, keepPane);
    });
}

bool SessionController::EnterRemotePath(const QString& typed) {
    if (!AcceptTypedFolder(m_messages, typed))
        return false;
    if (!m_runtime.connected || !m_session || m_runtime.sessionLost) {
        m_messages.ShowStatus(5401);
        m_messages.Beep();
        return false;
    }
    if (m_runtime.busy) {
        m_messages.Beep();
        return false;
    }
    return startFlow([this, path = typed.toUtf8()] {
        m_messages.SetBusyCursor(true);
        navigateWorker(path, true);
    });
}

QByteArray SessionController::rowPath(int row) const {
    const QByteArray path = remotePathBytes();
    if (row < 0 || row >= m_state.remote.count())
        return path;
    return JoinPath(path, RemoteNameBytes(m_state.remote.entries[std::size_t(row)]));
}

QByteArray SessionController::JoinPath(const QByteArray& folder, const QByteArray& name) {
    return folder.endsWith('/') ? folder + name : folder + '/' + name;
}

QByteArray SessionController::RemoteNameBytes(const FileEntry& row) {
    if (row.findData.rawName.empty())
        return row.name.toUtf8();
    return QByteArray(row.findData.rawName.data(), qsizetype(row.findData.rawName.size()));
}

SessionController::CallResult
SessionController::call(const std::function<bool(ftp::RemoteSession&)>& fn) {
    CallResult result;
    if (!m_session) {
        result.error = ftp::kErrIncorrectHandleState;
        return result;
    }
    result.ok = fn(*m_session);
    result.error = result.ok ? 0 : m_session->lastError();
    result.response = decode(m_session->lastResponse());
    if (!result.ok && !t_onWorker) // a worker's flow tells a lost session at its end
        CheckSessionAlive();
    return result;
}

SessionController::CallResult SessionController::createDirectory(const QByteArray& path) {
    return call([&](ftp::RemoteSession& s) { return s.createDirectory(view(path)); });
}

SessionController::CallResult SessionController::removeDirectory(const QByteArray& path) {
    return call([&](ftp::RemoteSession& s) { return s.removeDirectory(view(path)); });
}

SessionController::CallResult SessionController::deleteFile(const QByteArray& path) {
    return call([&](ftp::RemoteSession& s) { return s.deleteFile(view(path)); });
}

SessionController::CallResult SessionController::renameFile(const QByteArray& from,
                                                            const QByteArray& to) {
    return call([&](ftp::RemoteSession& s) { return s.renameFile(view(from), view(to)); });
}

bool SessionController::remoteNameTaken(const PaneState& pane, const FileEntry& row,
                                        const QString& newName, const QByteArray& target) {
    if (!m_session)
        return false;
    const bool ignoreCase = m_session->namesIgnoreCase();
    const Qt::CaseSensitivity cs = ignoreCase ? Qt::CaseInsensitive : Qt::CaseSensitive;
    if (newName.compare(row.name, cs) == 0)
        return false; // the row itself, perhaps with another case
    for (const FileEntry& entry : pane.entries)
        if (!entry.isParent && entry.name.compare(newName, cs) == 0)
            return true;
    return m_session->pathExists(view(target)).value_or(false);
}

QByteArray SessionController::remotePathBytes() const {
    return m_remotePathRaw.isEmpty() ? m_state.remote.path.toUtf8() : m_remotePathRaw;
}

void SessionController::stopWorker() {
    ++m_generation; // a step the worker has already handed to the UI thread does nothing
    std::lock_guard lock(m_workerMutex);
    if (m_worker.joinable()) {
        if (m_runtime.busy)
            abortEngine();
        m_worker.join();
    }
    if (m_runtime.busy.exchange(false)) {
        m_messages.SetBusyCursor(false);
        m_port.updateCommandState();
    }
}

void SessionController::waitForWorker() {
    std::lock_guard lock(m_workerMutex);
    if (m_worker.joinable())
        m_worker.join();
}

} // namespace tw
