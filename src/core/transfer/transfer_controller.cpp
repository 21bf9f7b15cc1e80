#include "core/transfer/transfer_controller.h"

#include "core/panes/entry_format.h"
#include "core/panes/local_listing.h"
#include "core/panes/local_paths.h"
#include "core/panes/local_system.h"
#include "core/panes/pane_operations.h"
#include "core/panes/pane_sort.h"
#include "core/session/session_controller.h"
#include "core/text/messages.h"
#include "core/transfer/file_copy.h"
#include "core/transfer/transfer_log.h"
#include "core/transfer/transfer_port.h"
#include "ftp/ftp_session.h"
#include "ftp/name_safety.h"

#include <algorithm>
#include <memory>

namespace tw {

namespace {

constexpr int kNameLimit = 256;

QByteArray joinRemote(const QByteArray& folder, const QByteArray& name) {
    return folder.endsWith('/') ? folder + name : folder + '/' + name;
}

// Lowercase turns the ASCII capitals of a name, and nothing else, into small letters, as
// QByteArray::toLower() does with the name's bytes: a name that is not UTF-8 keeps every
// other byte.
QString asciiLower(QString text) {
    for (QChar& c : text)
        if (c >= u'A' && c <= u'Z')
            c = QChar(c.unicode() - u'A' + u'a');
    return text;
}

} // namespace

const FileEntry* FindDestinationRow(const std::vector<FileEntry>& rows, const QString& name,
                                    const QByteArray& bytes, bool ignoreCase) {
    const auto found = std::find_if(rows.begin(), rows.end(), [&](const FileEntry& row) {
        return ignoreCase ? row.name.compare(name, Qt::CaseInsensitive) == 0
                          : EntryNameBytes(row) == bytes;
    });
    return found == rows.end() ? nullptr : &*found;
}

// Everything a batch reads, copied on the UI thread when it starts.
struct TransferController::Batch {
    bool upload = false;
    Options options;
    std::vector<FileEntry> rows; // the selected rows of the source list, in list order
    bool multiple = false;
    std::vector<FileEntry> destinationRows;
    bool remoteIgnoresCase = false; // the server compares names without regard to case
    QString localPath;
    QByteArray localBytes;
    QString remotePath;
    QByteArray remoteBytes;
    QString localMask;
    QString localExclude;
    SortKey localSort = SortKey::Name;
    std::array<QString, 3> columnLabels;

    const QString& sourcePath() const { return upload ? localPath : remotePath; }
    const QString& destinationPath() const { return upload ? remotePath : localPath; }
};

TransferController::TransferController(AppState& state, const AppGlobals& globals,
                                       AppRuntime& runtime, const Messages& messages,
                                       TransferPort& port, SessionController& session,
                                       LocalSystem& system)
    : m_state(state), m_globals(globals), m_runtime(runtime), m_messages(messages), m_port(port),
      m_session(session), m_system(system) {}

TransferController::~TransferController() {
    Stop();
    m_session.waitForWorker();
}

bool TransferController::StartDownload(const std::vector<int>& selectedRows) {
    return start(false, selectedRows);
}

bool TransferController::StartUpload(const std::vector<int>& selectedRows) {
    return start(true, selectedRows);
}

bool TransferController::Stop() {
    if (!m_running)
        return false;
    if (!m_stopRequested.exchange(true))
        m_session.abortEngine();
    return true;
}

bool TransferController::start(bool upload, const std::vector<int>& selectedRows) {
    m_messages.ShowStatus(upload ? 552 : 562);
    if (!m_runtime.connected || !m_session.engine() || m_runtime.busy)
        return false;
    const PaneState& source = upload ? m_state.local : m_state.remote;
    const PaneState& destination = upload ? m_state.remote : m_state.local;
    auto batch = std::make_shared<Batch>();
    batch->upload = upload;
    batch->options = m_state.options;
    std::vector<int> rows = selectedRows;
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    for (int row : rows)
        if (row >= 0 && row < source.count())
            batch->rows.push_back(source.entries[std::size_t(row)]);
    batch->multiple = rows.size() > 1;
    if (batch->options.Timestamp) // only the timestamp check reads the destination's rows
        batch->destinationRows = destination.entries;
    batch->localPath = m_state.local.path;
    batch->localBytes = LocalPathBytes(m_state.local);
    batch->remotePath = m_state.remote.path;
    batch->remoteBytes = m_session.remotePathBytes();
    batch->remoteIgnoresCase = m_session.engine()->namesIgnoreCase();
    batch->localMask = m_state.local.mask;
    batch->localExclude = m_state.local.exclude;
    batch->localSort = m_state.local.sortKey;
    batch->columnLabels = m_state.ColumnLabels;

    m_stopRequested = false;
    m_running = true;
    int error = 0;
    if (!m_session.startWorker([this, batch] { runBatch(*batch); }, &error)) {
        m_running = false;
        if (error != 0) {
            m_messages.ReportApiError(4504, error, false);
            m_messages.PlayAlert(AlertKind::TransferFailure);
        }
        m_messages.port().updateCommandState();
        return false;
    }
    m_messages.port().updateCommandState();
    return true;
}

std::optional<QString> TransferController::askDestinationName(const Batch& batch,
                                                              const QString& offered) {
    DestinationNameRequest request;
    request.sourceFolder = CutText(batch.sourcePath(), 255);
    request.destinationFolder = CutText(batch.destinationPath(), 255);
    request.fileName = CutText(offered, 255);
    request.lowercase = batch.upload && batch.options.Lowercase;
    for (;;) {
        const std::optional<QString> typed = m_port.askDestinationName(request);
        if (!typed) {
            m_port.endDestinationName(false);
            return std::nullopt;
        }
        const QString name = CutText(*typed, kNameLimit);
        request.fileName = name;
        request.retry = true;
        if (name.isEmpty()) {
            m_messages.InfoBox(3800, 3801);
            continue;
        }
        if (HasForbiddenCharacter(name)) {
            m_messages.InfoBox(3800, 3802, {ForbiddenNameCharacters()});
            continue;
        }
        m_port.endDestinationName(true);
        return name;
    }
}

bool TransferController::checkTimestamp(const Batch& batch, const FileEntry& source,
                                        const QString& destination,
                                        const QByteArray& destinationBytes, bool& yesToAll,
                                        TimestampAnswer& answer) {
    answer = TimestampAnswer::NotAsked;
    if (yesToAll || !batch.options.Timestamp)
        return true;
    // The local file system tells names apart by case; a server only where it says so, and
    // Lowercase compares exactly.
    const bool ignoreCase = batch.upload && batch.remoteIgnoresCase && !batch.options.Lowercase;
    const FileEntry* found =
        FindDestinationRow(batch.destinationRows, destination, destinationBytes, ignoreCase);
    if (!found || CompareDateText(source.dateText(), found->dateText()) >= 0)
        return true;
    NewerDestinationRequest request;
    request.upload = batch.upload;
    request.source = source;
    request.destination = *found;
    request.multiple = batch.multiple;
    switch (m_port.askNewerDestination(request)) {
    case NewerAnswer::Yes:
        answer = TimestampAnswer::Replace;
        return true;
    case NewerAnswer::No:
        answer = TimestampAnswer::Skip;
        return true;
    case NewerAnswer::YesToAll:
        yesToAll = true;
        answer = TimestampAnswer::Replace;
        return true;
    case NewerAnswer::Cancel:
        break;
    }
    return false;
}

void TransferController::writeLogEntry(const Batch& batch, const FileEntry& source,
                                       const QString& destination) {
    TransferLogEntry entry;
    entry.sourceFolder = batch.sourcePath();
    entry.sourceName = source.name;
    entry.destinationFolder = batch.destinationPath();
    entry.destinationName = destination;
    WriteTransferLogEntry(m_messages, m_globals, entry);
}

// Whether a remote link leads to a folder: the server's CWD decides, and the batch's folder
// is entered again afterwards.
bool TransferController::isFolderLink(ftp::FtpSession& session, const Batch& batch,
                                      const FileEntry& row) {
    const QByteArray path = joinRemote(batch.remoteBytes, SessionController::RemoteNameBytes(row));
    if (!session.setCurrentDirectory({path.constData(), std::size_t(path.size())}))
        return false;
    session.setCurrentDirectory(
        {batch.remoteBytes.constData(), std::size_t(batch.remoteBytes.size())});
    return true;
}

void TransferController::runBatch(const Batch& batch) {
    m_messages.SetBusyCursor(true);
    ftp::FtpSession& session = *m_session.engine();
    const CopyEnvironment env{m_messages, m_port, session, batch.options, m_stopRequested};
    bool yesToAll = false;
    int transferred = 0;
    for (const FileEntry& row : batch.rows) {
        if (m_stopRequested)
            break;
        if (row.icon <= 2)
            continue; // the parent row, drives and folders are never transferred
        if (!batch.upload && row.isLink && isFolderLink(session, batch, row))
            continue; // a link to a folder is skipped as folders are
        const QByteArray sourceBytes =
            batch.upload ? EntryNameBytes(row) : SessionController::RemoteNameBytes(row);
        QString destination = row.name;
        QByteArray destinationBytes = sourceBytes;
        if (batch.upload && batch.options.Lowercase) {
            destination = asciiLower(destination);
            destinationBytes = destinationBytes.toLower(); // ASCII only
        }
        if (batch.options.Prompt) {
            const std::optional<QString> typed = askDestinationName(batch, destination);
            if (!typed)
                continue;
            if (*typed != destination) // a name the user typed is theirs, in UTF-8
                destinationBytes = typed->toUtf8();
            destination = *typed;
        }
        const bool renamed = destination.compare(row.name, Qt::CaseInsensitive) != 0;
        TimestampAnswer answer = TimestampAnswer::NotAsked;
        if (!checkTimestamp(batch, row, destination, destinationBytes, yesToAll, answer))
            break;
        if (answer == TimestampAnswer::Skip)
            continue;

        CopyRequest request;
        request.localFolder = batch.localBytes;
        request.expectedSize = row.findData.size;
        request.replaceReadOnly = answer == TimestampAnswer::Replace;
        request.listedTime = row.findData.lastWriteTime;
        if (batch.upload) {
            request.localName = sourceBytes;
            request.remotePath = joinRemote(batch.remoteBytes, destinationBytes);
            request.label = row.name;
        } else {
            // A name the server chose is never used locally when it could leave the folder or
            // name something else ("..", "a/b", control characters).
            if (!ftp::IsSafeLocalName(
                    {destinationBytes.constData(), std::size_t(destinationBytes.size())})) {
                m_messages.LogMessage(4423, {destination});
                m_messages.PlayAlert(AlertKind::TransferFailure);
                continue;
            }
            request.localName = destinationBytes;
            request.remotePath = joinRemote(batch.remoteBytes, sourceBytes);
            request.label = destination;
        }

        m_messages.LogMessage(batch.upload ? 4410 : 4411, {row.name});
        if (renamed)
            m_messages.LogMessage(4418, {destination});
        const CopyOutcome result =
            batch.upload ? UploadFile(env, request) : DownloadFile(env, request);
        if (result.copied) {
            m_messages.LogMessage(4412,
                                  {row.name, row.sizeText(), renamed ? destination : QString()});
            ++transferred;
            writeLogEntry(batch, row, destination);
        } else {
            if (!result.stopped) // a Stop is told once, at the end of the batch
                m_messages.PlayAlert(AlertKind::TransferFailure);
            if (result.endsBatch)
                break;
        }
    }
    finishBatch(batch, transferred, m_stopRequested);
}

void TransferController::relistLocal(const Batch& batch) {
    const QStringList drives = batch.localBytes == "/" ? m_system.mountPoints() : QStringList();
    LocalFolderRead read =
        ReadLocalFolder(batch.localBytes, batch.localMask, batch.localExclude, drives);
    if (read.error != 0)
        m_messages.ReportApiError(4523, read.error, false);
    SortEntries(read.rows, batch.localSort, SortOptions::From(batch.options));
    const QString label =
        m_messages.FormatResource(9002, {batch.localPath}, kShortFormatLimit).value_or(QString());
    const auto headers = HeaderTexts(m_messages, batch.columnLabels, batch.localSort);
    UiPort& port = m_messages.port();
    port.runOnUiThread([this, &port, rows = std::move(read.rows), label, headers,
                        path = batch.localPath]() mutable {
        PaneState& local = m_state.local;
        if (local.path != path)
            return; // the user has gone to another folder meanwhile
        local.entries.swap(rows);
        local.hasListing = !local.entries.empty();
        local.label = label;
        local.headers = headers;
        port.refreshPane(PaneSide::Local);
    });
}

void TransferController::finishBatch(const Batch& batch, int transferred, bool stopped) {
    // After a Stop the destination is listed again whatever was copied, so the pane never
    // shows a file that is gone or a state that changed.
    const bool refresh = (transferred > 0 && batch.options.Refresh) || stopped;
    if (refresh && !batch.upload)
        relistLocal(batch); // read here, handed to the UI thread in one step
    m_messages.SetBusyCursor(false);
    if (stopped)
        m_messages.LogMessage(4422);
    m_session.noteSessionState(); // a session the server ended meanwhile is shown as lost
    m_running = false;
    m_runtime.busy = false;
    if (transferred > 0) {
        m_messages.LogMessage(4413, {transferred, transferred == 1 ? QString() : u"s"_qs});
        m_messages.PlayAlert(AlertKind::TransferSuccess);
    }
    if (refresh && batch.upload)
        m_messages.port().runOnUiThread([this] { m_session.StartRemoteListing(); });
    m_messages.port().updateCommandState();
}

} // namespace tw
