#include "core/transfer/transfer_controller.h"

#include "core/panes/entry_format.h"
#include "core/panes/local_paths.h"
#include "core/panes/pane_operations.h"
#include "core/queue/queue_controller.h"
#include "core/session/session_controller.h"
#include "core/text/messages.h"
#include "core/transfer/file_copy.h"
#include "core/transfer/transfer_port.h"
#include "ftp/ftp_session.h"
#include "ftp/name_safety.h"

#include <algorithm>
#include <cerrno>
#include <memory>

#include <sys/stat.h>

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

// Everything a batch reads, copied when it starts.
struct TransferController::Batch {
    bool upload = false;
    Options options;
    bool multiple = false;
    std::vector<FileEntry> destinationRows;
    bool remoteIgnoresCase = false; // the server compares names without regard to case
    QString localPath;
    QByteArray localBytes;
    QString remotePath;
    QByteArray remoteBytes;

    const QString& sourcePath() const { return upload ? localPath : remotePath; }
    const QString& destinationPath() const { return upload ? remotePath : localPath; }
};

TransferController::TransferController(AppState& state, const AppGlobals& globals,
                                       AppRuntime& runtime, const Messages& messages,
                                       TransferPort& port, SessionController& session,
                                       QueueController& queue)
    : m_state(state), m_globals(globals), m_runtime(runtime), m_messages(messages), m_port(port),
      m_session(session), m_queue(queue) {}

bool TransferController::StartDownload(const std::vector<int>& selectedRows) {
    return start(false, selectedRows);
}

bool TransferController::StartUpload(const std::vector<int>& selectedRows) {
    return start(true, selectedRows);
}

bool TransferController::Stop() {
    return m_queue.stopAll();
}

bool TransferController::running() const {
    return m_queue.running();
}

namespace {

std::string bytes(const QByteArray& b) {
    return {b.constData(), std::size_t(b.size())};
}

} // namespace

bool TransferController::QueueDownloadInto(const std::vector<int>& selectedRows,
                                           const QByteArray& folder) {
    return start(false, selectedRows, folder);
}

bool TransferController::QueueUploadInto(const std::vector<int>& selectedRows,
                                         const QByteArray& folder) {
    return start(true, selectedRows, folder);
}

bool TransferController::canStart() const {
    return m_runtime.connected && m_session.engine() && !m_runtime.busy && !m_runtime.sessionLost;
}

bool TransferController::QueueUploadPaths(const std::vector<QByteArray>& paths,
                                          const QByteArray& folder) {
    m_messages.ShowStatus(552);
    if (!canStart())
        return false;
    std::vector<queue::TransferItem> items;
    items.reserve(paths.size());
    for (const QByteArray& path : paths) {
        QByteArray name = path.mid(path.lastIndexOf('/') + 1);
        struct stat info {};
        if (name.isEmpty() || ::stat(path.constData(), &info) != 0) {
            m_messages.ReportApiError(4515, name.isEmpty() ? EINVAL : errno,
                                      m_state.options.AlertLevel != 0);
            continue;
        }
        if (m_state.options.Lowercase)
            name = name.toLower(); // ASCII only
        queue::TransferItem item;
        item.direction = queue::Direction::Upload;
        item.kind = S_ISDIR(info.st_mode) ? queue::ItemKind::Tree : queue::ItemKind::File;
        item.size = item.kind == queue::ItemKind::File ? std::uint64_t(info.st_size) : 0;
        item.listedTime = info.st_mtime;
        item.localPath = bytes(path);
        item.remotePath = bytes(joinRemote(folder, name));
        items.push_back(std::move(item));
    }
    if (!items.empty())
        m_queue.enqueue(std::move(items));
    m_messages.port().updateCommandState();
    return true;
}

bool TransferController::start(bool upload, const std::vector<int>& selectedRows,
                               const std::optional<QByteArray>& folder) {
    m_messages.ShowStatus(upload ? 552 : 562);
    if (!canStart())
        return false;
    const PaneState& source = upload ? m_state.local : m_state.remote;
    const PaneState& destination = upload ? m_state.remote : m_state.local;
    Batch batch;
    batch.upload = upload;
    batch.options = m_state.options;
    std::vector<int> rows = selectedRows;
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    std::erase_if(rows, [&](int row) { return row < 0 || row >= source.count(); });
    batch.multiple = rows.size() > 1;
    batch.localPath = m_state.local.path;
    batch.localBytes = LocalPathBytes(m_state.local);
    batch.remotePath = m_state.remote.path;
    batch.remoteBytes = m_session.remotePathBytes();
    bool destinationListed = true;
    if (folder) {
        // A drop names its folder; the name prompt is not asked for each of its files.
        batch.options.Prompt = false;
        QByteArray& into = upload ? batch.remoteBytes : batch.localBytes;
        destinationListed = *folder == into;
        into = *folder;
        (upload ? batch.remotePath : batch.localPath) = QString::fromUtf8(*folder);
    }
    // Only the timestamp check reads the destination's rows, known for the pane's own folder.
    if (batch.options.Timestamp && destinationListed)
        batch.destinationRows = destination.entries;
    batch.remoteIgnoresCase = m_session.engine()->namesIgnoreCase();

    std::vector<queue::TransferItem> items;
    bool yesToAll = false;
    for (const int index : rows) {
        const FileEntry& row = source.entries[std::size_t(index)];
        if (row.isParent || row.isDrive)
            continue;
        const QByteArray sourceBytes =
            upload ? EntryNameBytes(row) : SessionController::RemoteNameBytes(row);
        queue::TransferItem item;
        item.direction = upload ? queue::Direction::Upload : queue::Direction::Download;
        item.size = row.isFolder ? 0 : row.findData.size;
        item.listedTime = row.findData.lastWriteTime;
        // A folder, or a remote link that may lead to one, goes with everything in it; the
        // walk on a queue connection tells a link to a file from one to a folder.
        const bool tree = row.isFolder || (!upload && row.isLink);
        if (tree) {
            if (!upload &&
                !ftp::IsSafeLocalName({sourceBytes.constData(), std::size_t(sourceBytes.size())})) {
                m_messages.LogMessage(4423, {row.name});
                m_messages.PlayAlert(AlertKind::TransferFailure);
                continue;
            }
            item.kind = queue::ItemKind::Tree;
            item.link = row.isLink;
            item.localPath = bytes(JoinLocalPath(batch.localBytes, sourceBytes));
            item.remotePath = bytes(joinRemote(batch.remoteBytes, sourceBytes));
            items.push_back(std::move(item));
            continue;
        }
        QString name = row.name;
        QByteArray destinationBytes = sourceBytes;
        if (upload && batch.options.Lowercase) {
            name = asciiLower(name);
            destinationBytes = destinationBytes.toLower(); // ASCII only
        }
        if (batch.options.Prompt) {
            const std::optional<QString> typed = askDestinationName(batch, name);
            if (!typed)
                continue;
            if (*typed != name) // a name the user typed is theirs, in UTF-8
                destinationBytes = typed->toUtf8();
            name = *typed;
        }
        TimestampAnswer answer = TimestampAnswer::NotAsked;
        if (!checkTimestamp(batch, row, name, destinationBytes, yesToAll, answer))
            break;
        if (answer == TimestampAnswer::Skip)
            continue;
        if (upload) {
            item.localPath = bytes(JoinLocalPath(batch.localBytes, sourceBytes));
            item.remotePath = bytes(joinRemote(batch.remoteBytes, destinationBytes));
        } else {
            // A name the server chose is never used locally when it could leave the folder or
            // name something else ("..", "a/b", control characters).
            if (!ftp::IsSafeLocalName(
                    {destinationBytes.constData(), std::size_t(destinationBytes.size())})) {
                m_messages.LogMessage(4423, {name});
                m_messages.PlayAlert(AlertKind::TransferFailure);
                continue;
            }
            const QByteArray localPath = JoinLocalPath(batch.localBytes, destinationBytes);
            // A read-only file is replaced only after the user said Yes to replacing it.
            if (answer != TimestampAnswer::Replace)
                if (const int err = ReadOnlyDestination(localPath); err != 0) {
                    m_messages.ReportApiError(4515, err, batch.options.AlertLevel != 0);
                    m_messages.PlayAlert(AlertKind::TransferFailure);
                    continue;
                }
            item.localPath = bytes(localPath);
            item.remotePath = bytes(joinRemote(batch.remoteBytes, sourceBytes));
        }
        items.push_back(std::move(item));
    }
    if (!items.empty())
        m_queue.enqueue(std::move(items));
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

} // namespace tw
