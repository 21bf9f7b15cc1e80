#include "core/dnd/drop_plan.h"

namespace tw {

namespace {

DropAction actionFor(DragSource source, PaneSide target, bool connected) {
    if (target == PaneSide::Local) {
        switch (source) {
        case DragSource::RemotePane:
            return connected ? DropAction::Download : DropAction::NotConnected;
        case DragSource::Desktop:
            return DropAction::CopyFiles;
        case DragSource::LocalPane:
            return DropAction::None;
        }
        return DropAction::None;
    }
    if (source == DragSource::RemotePane)
        return DropAction::None;
    if (!connected)
        return DropAction::NotConnected;
    return source == DragSource::LocalPane ? DropAction::Upload : DropAction::UploadFiles;
}

QByteArray parentOf(QByteArray folder) {
    while (folder.size() > 1 && folder.endsWith('/'))
        folder.chop(1);
    const qsizetype slash = folder.lastIndexOf('/');
    if (slash <= 0)
        return slash == 0 ? QByteArray("/") : folder;
    return folder.left(slash);
}

} // namespace

DropPlan PlanDrop(DragSource source, PaneSide target, const FileEntry* row, bool connected) {
    DropPlan plan;
    plan.action = actionFor(source, target, connected);
    if (plan.action == DropAction::None || plan.action == DropAction::NotConnected || !row)
        return plan;
    if (row->isParent)
        plan.folder = DropFolder::Parent;
    else if (row->isFolder || row->isDrive)
        plan.folder = DropFolder::Row;
    return plan;
}

QByteArray RemoteParentFolder(const QByteArray& folder) {
    return parentOf(folder);
}

QByteArray LocalParentFolder(const QByteArray& folder) {
    return parentOf(folder);
}

} // namespace tw
