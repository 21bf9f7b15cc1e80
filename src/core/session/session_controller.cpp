#include "core/session/session_controller.h"

#include "core/panes/entry_format.h"
#include "core/panes/pane_sort.h"
#include "core/text/messages.h"
#include "ftp/ftp_error.h"
#include "ftp/ftp_session.h"

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

bool SessionController::openSession(const AccountRecord& account, const QString& server) {
    ftp::SessionOptions options;
    options.host = server.trimmed().toStdString();
    options.port = static_cast<int>(account.RemotePort & 0xFFFF);
    if (!account.Anonymous) {
        options.user = account.Login.toStdString();
        options.password = account.Password.toStdString();
    }
    options.passive = account.Passive;
    options.timeoutMs = m_timeoutMs;
    if (m_zeroCopy)
        options.sendfileUploads = options.spliceDownloads = *m_zeroCopy;
    if (!m_session)
        m_session = std::make_unique<ftp::FtpSession>();
    return m_session->connect(options);
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

void SessionController::enterStartDirectory(const QByteArray& path) {
    const bool playAlert = m_state.options.AlertLevel != 0;
    if (!path.isEmpty() && !m_session->setCurrentDirectory(view(path)))
        reportEngineError(4507, playAlert);
    readCurrentDirectory();
}

bool SessionController::Connect() {
    m_runtime.connectMode = true;
    if (!m_hooks.showAccountsSheet || !m_hooks.showAccountsSheet()) {
        m_runtime.connectMode = false;
        return false;
    }
    AccountRecord* account = const_cast<AccountRecord*>(currentAccount());
    if (!account) {
        m_runtime.connectMode = false;
        return false;
    }
    m_messages.ShowStatus(4400);
    m_messages.SetWaitCursor(true);
    m_messages.LogMessage(4400);

    // The engine's session object stands for both handles; creating it cannot fail.
    const QString server = ServerAddress(*account);
    if (!openSession(*account, server)) {
        reportEngineError(4501, false);
        m_messages.PlayAlert(AlertKind::ConnectionFailure);
        m_session.reset();
        m_messages.SetWaitCursor(false);
        m_runtime.connectMode = false;
        return false;
    }

    m_runtime.connected = true;
    account->Visits += 1;
    m_state.remote.site = server.left(kPathLimit);
    m_port.setWindowTitle(m_messages.FormatResource(1001, {m_state.remote.site}, kShortFormatLimit)
                              .value_or(QString()));
    ClearPaneList(PaneSide::Remote);
    m_messages.LogMessage(4401, {m_state.remote.site, int(account->RemotePort & 0xFFFF)});
    m_messages.LogMessage(4417, {account->Passive ? u"On"_qs : u"Off"_qs});
    m_messages.PlayAlert(AlertKind::ConnectionSuccess);

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
    enterStartDirectory(account->RemotePath.toUtf8());

    m_messages.SetWaitCursor(false);
    StartRemoteListing();
    return true;
}

bool SessionController::Reconnect() {
    const AccountRecord* account = currentAccount();
    if (!account || !m_runtime.connected || m_runtime.busy)
        return false;
    m_messages.ShowStatus(4402);
    m_messages.SetWaitCursor(true);
    m_messages.LogMessage(4402);
    if (m_session)
        m_session->close();

    if (!openSession(*account, m_state.remote.site)) {
        reportEngineError(4501, false);
        m_messages.PlayAlert(AlertKind::ConnectionFailure);
        m_session.reset();
        m_messages.SetWaitCursor(false);
        m_runtime.connected = false;
        m_runtime.connectMode = false;
        m_port.setWindowTitle(m_messages.LoadStringResource(1000).value_or(QString()));
        return false;
    }
    m_messages.LogMessage(4403, {m_state.remote.site, int(account->RemotePort & 0xFFFF)});
    m_messages.LogMessage(4417, {account->Passive ? u"On"_qs : u"Off"_qs});
    m_messages.PlayAlert(AlertKind::ConnectionSuccess);
    const QByteArray path =
        m_remotePathRaw.isEmpty() ? m_state.remote.path.toUtf8() : m_remotePathRaw;
    enterStartDirectory(path);
    m_messages.SetWaitCursor(false);
    StartRemoteListing();
    return true;
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
    if (m_session && !m_session->close()) {
        reportEngineError(4502, false);
        m_messages.PlayAlert(AlertKind::ConnectionFailure);
        clean = false;
    }
    m_session.reset();
    m_remotePathRaw.clear();
    m_runtime.connected = false;
    m_runtime.connectMode = false;
    m_port.setWindowTitle(m_messages.LoadStringResource(1000).value_or(QString()));
    if (clean) {
        m_messages.LogMessage(4405);
        m_messages.PlayAlert(AlertKind::ConnectionSuccess);
    }
    return true;
}

void SessionController::ClearPaneList(PaneSide side) {
    PaneState& pane = side == PaneSide::Local ? m_state.local : m_state.remote;
    pane.entries.clear();
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
    std::lock_guard lock(m_workerMutex);
    if (m_worker.joinable())
        m_worker.join(); // the previous worker has finished: it cleared busy
    try {
        m_worker = std::thread(std::move(body));
    } catch (const std::system_error& e) {
        if (error)
            *error = e.code().value();
        m_runtime.busy = false;
        return false;
    }
    m_runtime.workerThreadId = m_worker.get_id();
    return true;
}

void SessionController::abortEngine() {
    if (m_session)
        m_session->abort();
}

bool SessionController::StartRemoteListing() {
    if (!m_session || m_runtime.busy)
        return false;
    const PaneState& remote = m_state.remote;
    const QString mask = remote.mask.isEmpty() ? u"*.*"_qs : remote.mask;
    const QByteArray path = m_remotePathRaw.isEmpty() ? remote.path.toUtf8() : m_remotePathRaw;
    const int joinId = path.endsWith('/') ? 3701 : 3704;
    const QString patternText =
        m_messages.FormatStringResource(joinId, {decode(path), mask}).value_or(QString());
    const QByteArray pattern = path + (joinId == 3704 ? "/" : "") + mask.toUtf8();
    int error = 0;
    if (!startWorker([this, pattern, patternText] { listingWorker(pattern, patternText); },
                     &error)) {
        if (error != 0)
            m_messages.ReportApiError(4504, error, m_state.options.AlertLevel != 0);
        return false;
    }
    m_port.updateCommandState();
    return true;
}

void SessionController::listingWorker(QByteArray pattern, QString patternText) {
    m_messages.SetBusyCursor(true);
    {
        std::vector<FileEntry> retired;
        {
            std::lock_guard lock(m_retiredMutex);
            retired.swap(m_retiredRows);
        }
    } // the previous listing's rows are released here, off the UI thread
    m_messages.LogMessage(4408, {patternText});

    std::vector<FileEntry> rows;
    FileEntry parent;
    parent.name = u".."_qs;
    parent.isParent = true;
    parent.isFolder = true;
    parent.icon = 0;
    rows.push_back(std::move(parent));

    const QString exclude = m_state.remote.exclude;
    ftp::DirEntry record;
    for (bool ok = m_session->findFirstFile(view(pattern), record); ok;
         ok = m_session->findNextFile(record)) {
        const bool isFolder = (record.attributes & ftp::kAttributeDirectory) != 0;
        if (record.name.empty() || (isFolder && record.name == "."))
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
        CompleteEntry(row);
        row.isParent = false; // a ".." the server reports is an ordinary folder row
        ClassifyEntryIcon(row);
        rows.push_back(std::move(row));
    }
    m_session->findClose();

    // Sorted here so the UI thread only swaps the rows in.
    const SortKey key = m_state.remote.sortKey;
    SortEntries(rows, key, SortOptions::From(m_state.options));
    const int count = static_cast<int>(rows.size());
    const QString label = m_messages.FormatResource(9004, {m_state.remote.path}, kShortFormatLimit)
                              .value_or(QString());
    const auto headers = HeaderTexts(m_messages, m_state.ColumnLabels, key);
    m_port.runOnUiThread([this, rows = std::move(rows), label, headers]() mutable {
        PaneState& remote = m_state.remote;
        remote.entries.swap(rows);
        {
            std::lock_guard lock(m_retiredMutex);
            m_retiredRows.swap(rows);
        }
        remote.hasListing = true;
        remote.label = label;
        remote.headers = headers;
        m_port.refreshPane(PaneSide::Remote);
    });
    m_port.beep();
    m_messages.LogMessage(4409, {count, count == 1 ? QString() : u"s"_qs});
    m_runtime.busy = false;
    m_messages.SetBusyCursor(false);
    m_port.updateCommandState();
}

bool SessionController::EnterRemoteFolder(int row) {
    if (!m_runtime.connected || m_runtime.busy || !m_session)
        return false;
    if (row < 0 || row >= m_state.remote.count() ||
        !m_state.remote.entries[std::size_t(row)].isFolder)
        return false;
    const bool playAlert = m_state.options.AlertLevel != 0;
    if (!m_session->setCurrentDirectory(view(rowPath(row))))
        reportEngineError(4507, playAlert);
    readCurrentDirectory();
    StartRemoteListing();
    return true;
}

QByteArray SessionController::rowPath(int row) const {
    const QByteArray path = remotePathBytes();
    if (row < 0 || row >= m_state.remote.count())
        return path;
    return path + '/' + RemoteNameBytes(m_state.remote.entries[std::size_t(row)]);
}

QByteArray SessionController::RemoteNameBytes(const FileEntry& row) {
    if (row.findData.rawName.empty())
        return row.name.toUtf8();
    return QByteArray(row.findData.rawName.data(), qsizetype(row.findData.rawName.size()));
}

SessionController::CallResult
SessionController::call(const std::function<bool(ftp::FtpSession&)>& fn) {
    CallResult result;
    if (!m_session) {
        result.error = ftp::kErrIncorrectHandleState;
        return result;
    }
    result.ok = fn(*m_session);
    result.error = result.ok ? 0 : m_session->lastError();
    result.response = decode(m_session->lastResponse());
    return result;
}

SessionController::CallResult SessionController::createDirectory(const QByteArray& path) {
    return call([&](ftp::FtpSession& s) { return s.createDirectory(view(path)); });
}

SessionController::CallResult SessionController::removeDirectory(const QByteArray& path) {
    return call([&](ftp::FtpSession& s) { return s.removeDirectory(view(path)); });
}

SessionController::CallResult SessionController::deleteFile(const QByteArray& path) {
    return call([&](ftp::FtpSession& s) { return s.deleteFile(view(path)); });
}

SessionController::CallResult SessionController::renameFile(const QByteArray& from,
                                                            const QByteArray& to) {
    return call([&](ftp::FtpSession& s) { return s.renameFile(view(from), view(to)); });
}

QByteArray SessionController::remotePathBytes() const {
    return m_remotePathRaw.isEmpty() ? m_state.remote.path.toUtf8() : m_remotePathRaw;
}

void SessionController::stopWorker() {
    std::lock_guard lock(m_workerMutex);
    if (!m_worker.joinable())
        return;
    if (m_runtime.busy && m_session)
        m_session->abort();
    m_worker.join();
}

void SessionController::waitForWorker() {
    std::lock_guard lock(m_workerMutex);
    if (m_worker.joinable())
        m_worker.join();
}

} // namespace tw
