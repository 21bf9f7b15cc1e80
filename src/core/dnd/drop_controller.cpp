#include "core/dnd/drop_controller.h"

#include "core/dnd/uri_list.h"
#include "core/panes/local_paths.h"
#include "core/session/session_controller.h"
#include "core/text/messages.h"
#include "core/transfer/transfer_controller.h"
#include "ftp/name_safety.h"

#include <QDir>
#include <QFile>

namespace tw {

namespace {

QByteArray joinRemote(const QByteArray& folder, const QByteArray& name) {
    return folder.endsWith('/') ? folder + name : folder + '/' + name;
}

QString shown(const QByteArray& path) {
    return QString::fromUtf8(path);
}

} // namespace

DropController::DropController(AppState& state, AppRuntime& runtime, const Messages& messages,
                               SessionController& session, TransferController& transfers,
                               Hooks hooks)
    : m_state(state), m_runtime(runtime), m_messages(messages), m_session(session),
      m_transfers(transfers), m_hooks(std::move(hooks)) {}

const FileEntry* DropController::rowOf(PaneSide side, int row) const {
    const PaneState& pane = side == PaneSide::Local ? m_state.local : m_state.remote;
    return row >= 0 && row < pane.count() ? &pane.entries[std::size_t(row)] : nullptr;
}

QByteArray DropController::targetFolder(PaneSide target, DropFolder folder, int targetRow) const {
    const bool local = target == PaneSide::Local;
    const QByteArray current = local ? LocalPathBytes(m_state.local) : m_session.remotePathBytes();
    switch (folder) {
    case DropFolder::Current:
        break;
    case DropFolder::Parent:
        return local ? LocalParentFolder(current) : RemoteParentFolder(current);
    case DropFolder::Row: {
        const FileEntry& row = *rowOf(target, targetRow);
        return local ? LocalEntryBytes(m_state.local, row)
                     : joinRemote(current, SessionController::RemoteNameBytes(row));
    }
    }
    return current;
}

bool DropController::DropRows(PaneSide from, const std::vector<int>& rows, PaneSide target,
                              int targetRow) {
    const DragSource source =
        from == PaneSide::Local ? DragSource::LocalPane : DragSource::RemotePane;
    const DropPlan plan = PlanDrop(source, target, rowOf(target, targetRow), m_runtime.connected);
    bool started = false;
    switch (plan.action) {
    case DropAction::Download:
        started = m_transfers.QueueDownloadInto(rows, targetFolder(target, plan.folder, targetRow));
        break;
    case DropAction::Upload:
        started = m_transfers.QueueUploadInto(rows, targetFolder(target, plan.folder, targetRow));
        break;
    case DropAction::NotConnected:
        m_messages.ErrorBox(5200);
        return false;
    default:
        return false;
    }
    if (!started) // the session is busy (a listing, a connect) or lost
        m_messages.Beep();
    return started;
}

bool DropController::DropUriList(const QByteArray& uriList, PaneSide target, int targetRow) {
    UriList list = ParseUriList(uriList);
    const DropPlan plan =
        PlanDrop(DragSource::Desktop, target, rowOf(target, targetRow), m_runtime.connected);
    if (plan.action == DropAction::NotConnected) {
        m_messages.ErrorBox(5200);
        return false;
    }
    if (!list.refused.isEmpty())
        m_messages.ErrorBox(5201, {CutText(list.refused.front(), 255)});
    if (list.paths.empty())
        return false;
    const QByteArray folder = targetFolder(target, plan.folder, targetRow);
    if (plan.action == DropAction::UploadFiles) {
        const bool started = m_transfers.QueueUploadPaths(list.paths, folder);
        if (!started)
            m_messages.Beep();
        return started;
    }
    if (plan.action == DropAction::CopyFiles)
        return copyFiles(std::move(list.paths), folder);
    return false;
}

bool DropController::copyFiles(std::vector<QByteArray> paths, const QByteArray& folder) {
    if (m_copy.running()) {
        m_messages.ErrorBox(5207);
        return false;
    }
    if (const std::optional<QByteArray> itself = FolderIntoItself(paths, folder)) {
        m_messages.ErrorBox(5202, {CutText(shown(*itself), 255)});
        return false;
    }
    m_messages.ShowStatus(
        5203, {qint64(paths.size()), paths.size() == 1 ? "" : "s", CutText(shown(folder), 255)});
    UiPort& port = m_messages.port();
    return m_copy.start(std::move(paths), folder, [this, &port, folder](LocalCopyOutcome out) {
        port.runOnUiThread([this, out = std::move(out), folder] { copyEnded(out, folder); });
    });
}

void DropController::copyEnded(const LocalCopyOutcome& outcome, const QByteArray& folder) {
    const QString reason = m_messages.LoadStringText(5205);
    for (const QByteArray& name : outcome.existing)
        m_messages.LogMessage(4921, {shown(name), reason});
    for (const LocalCopyOutcome::Failure& failure : outcome.failed)
        m_messages.LogMessage(4922,
                              {shown(failure.path), Messages::SystemErrorText(failure.error)});
    m_messages.LogMessage(5204, {qint64(outcome.copied), outcome.copied == 1 ? "" : "s",
                                 CutText(shown(folder), 255)});
    m_messages.ShowStatus(5204, {qint64(outcome.copied), outcome.copied == 1 ? "" : "s",
                                 CutText(shown(folder), 255)});
    if (m_hooks.relistLocal)
        m_hooks.relistLocal();
    if (!outcome.existing.empty() || !outcome.failed.empty())
        m_messages.InfoBox(5208, 5209,
                           {qint64(outcome.copied), qint64(outcome.existing.size()),
                            qint64(outcome.failed.size())});
}

std::vector<QByteArray> DropController::LocalRowPaths(const std::vector<int>& rows) const {
    std::vector<QByteArray> paths;
    for (const int index : rows)
        if (const FileEntry* row = rowOf(PaneSide::Local, index); row && !row->isParent)
            paths.push_back(LocalEntryBytes(m_state.local, *row));
    return paths;
}

std::vector<QByteArray> DropController::DownloadForDrag(const std::vector<int>& rows) {
    std::vector<QByteArray> paths;
    if (!m_runtime.connected) {
        m_messages.ErrorBox(5200);
        return paths;
    }
    // Each drag gets a folder of its own, so a name downloaded before is never offered again.
    // They stay until the program ends: the other program copies from them after the drop.
    auto dragFolder = std::make_unique<QTemporaryDir>(QDir::tempPath() +
                                                      QStringLiteral("/tarnwick2000-drag-XXXXXX"));
    if (!dragFolder->isValid())
        return paths;
    const QByteArray folder = QFile::encodeName(dragFolder->path());
    m_dragFolders.push_back(std::move(dragFolder));
    std::vector<int> queued;
    for (const int index : rows) {
        const FileEntry* row = rowOf(PaneSide::Remote, index);
        if (!row || row->isParent)
            continue;
        const QByteArray name = SessionController::RemoteNameBytes(*row);
        if (!ftp::IsSafeLocalName({name.constData(), std::size_t(name.size())}))
            continue; // the queue reports it
        queued.push_back(index);
        paths.push_back(JoinLocalPath(folder, name));
    }
    if (paths.empty() || !m_transfers.QueueDownloadInto(queued, folder))
        paths.clear();
    return paths;
}

} // namespace tw
