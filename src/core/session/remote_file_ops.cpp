#include "core/session/remote_file_ops.h"

#include "core/panes/pane_sort.h"
#include "core/permissions/permission_bits.h"
#include "core/session/remote_tree.h"
#include "core/session/session_controller.h"
#include "core/state/app_state.h"
#include "core/text/messages.h"
#include "ftp/ftp_error.h"

#include <cerrno>

namespace tw {

namespace {

OpResult toOpResult(const SessionController::CallResult& r) {
    OpResult result;
    result.code = r.ok ? 0 : (r.error != 0 ? r.error : 12003);
    result.response = r.response;
    return result;
}

} // namespace

QString RemoteFileOps::joinPath(const PaneState& pane, const QString& name) const {
    return pane.path + u'/' + name;
}

OpResult RemoteFileOps::makeDirectory(const PaneState&, const QString& name) {
    return toOpResult(m_session.createDirectory(
        SessionController::JoinPath(m_session.remotePathBytes(), name.toUtf8())));
}

OpResult RemoteFileOps::rename(const PaneState& pane, const FileEntry& row,
                               const QString& newName) {
    const QByteArray folder = m_session.remotePathBytes();
    const QByteArray target = SessionController::JoinPath(folder, newName.toUtf8());
    // Most servers rename onto an existing file without a word: a taken name is refused as the
    // local side refuses it, and the file is kept.
    if (m_session.remoteNameTaken(pane, row, newName, target))
        return {EEXIST, {}};
    return toOpResult(m_session.renameFile(
        SessionController::JoinPath(folder, SessionController::RemoteNameBytes(row)), target));
}

OpResult RemoteFileOps::removeFile(const PaneState&, const FileEntry& row) {
    return toOpResult(m_session.deleteFile(SessionController::JoinPath(
        m_session.remotePathBytes(), SessionController::RemoteNameBytes(row))));
}

OpResult RemoteFileOps::removeFolder(const PaneState&, const FileEntry& row) {
    return toOpResult(m_session.removeDirectory(SessionController::JoinPath(
        m_session.remotePathBytes(), SessionController::RemoteNameBytes(row))));
}

TreeCount RemoteFileOps::countFolder(const PaneState&, const FileEntry& row) {
    ftp::RemoteSession* engine = m_session.engine();
    if (!engine)
        return {0, 0, {ftp::kErrIncorrectHandleState, {}}};
    return CountRemoteTree(*engine,
                           SessionController::JoinPath(m_session.remotePathBytes(),
                                                       SessionController::RemoteNameBytes(row)),
                           m_session.stopFlag());
}

TreeRemoval RemoteFileOps::removeTree(const PaneState&, const FileEntry& row) {
    ftp::RemoteSession* engine = m_session.engine();
    const QByteArray path = SessionController::JoinPath(m_session.remotePathBytes(),
                                                        SessionController::RemoteNameBytes(row));
    if (!engine)
        return {0, 0, {{QString::fromUtf8(path), {ftp::kErrIncorrectHandleState, {}}}}};
    return RemoveRemoteTree(*engine, path, m_session.stopFlag());
}

bool RemoteFileOps::stopRequested() const {
    return m_session.stopFlag().load();
}

void RemoteFileOps::relist() {
    m_session.StartRemoteListing();
}

namespace {

// The remote calls of a flow on the worker: the listing at its end is the flow's own.
class WorkerRemoteOps : public RemoteFileOps {
public:
    using RemoteFileOps::RemoteFileOps;
    void relist() override { changed = true; }
    bool changed = false;
};

} // namespace

bool RemoteDelete(const PaneContext& context, SessionController& session,
                  const std::vector<int>& selection) {
    return session.RunRemoteFlow([context, &session, selection] {
        WorkerRemoteOps ops(session);
        DeleteEntries(context, ops, selection);
        return ops.changed;
    });
}

bool ShowRemoteProperties(const PaneContext& context, const std::vector<int>& selection) {
    context.messages.ShowStatus(565);
    const PaneState& remote = context.state.remote;
    const int row = GetFirstSelectedRow(selection);
    if (row < 0 || row >= remote.count()) {
        context.messages.Beep();
        return false;
    }
    const FileEntry& entry = remote.entries[std::size_t(row)];
    PropertiesData data = MakePropertiesData(entry, remote.site, remote.path);
    const QString unknown = u"Unknown"_qs;
    data.showAccess = true;
    data.permissions = entry.mode ? ModeWithOctalText(*entry.mode) : unknown;
    data.owner = entry.owner.isEmpty() ? unknown : entry.owner;
    data.group = entry.group.isEmpty() ? unknown : entry.group;
    data.rights = RightsText(entry.rights);
    return context.port.showProperties(data);
}

} // namespace tw
