#include "core/panes/pane_operations.h"

#include "core/panes/file_helpers.h"
#include "core/panes/pane_sort.h"
#include "core/state/app_state.h"
#include "core/text/messages.h"

#include <algorithm>

namespace tw {

namespace {

// The ids that differ between the two panes.
struct ModeIds {
    int makeStatus, makeCaption, makeApi;
    int renameStatus, renameCaption, renameApi;
    int deleteStatus, fileCaption, folderCaption, fileApi, folderApi;
};

// The texts of a delete to the Trash.
constexpr int kTrashFileCaption = 5300;
constexpr int kTrashFolderCaption = 5301;
constexpr int kTrashFileQuestion = 5302;
constexpr int kTrashFolderQuestion = 5303;
constexpr int kDeleteForGoodQuestion = 5304;
constexpr int kTrashedLogLine = 5305;
constexpr int kTrashFailedLogLine = 5306;
constexpr int kTrashNote = 5307;

const ModeIds& IdsFor(PaneSide side) {
    static const ModeIds local{556, 3100, 4513, 554, 3105, 4517, 553, 3110, 3111, 4518, 4514};
    static const ModeIds remote{566, 3101, 4509, 564, 3106, 4512, 563, 3112, 3113, 4511, 4510};
    return side == PaneSide::Local ? local : remote;
}

// The texts of one name loop.
struct NameLoopIds {
    int caption, missing, invalid, failed, api;
};

// Asks for names until `attempt` succeeds or the user cancels. `attempt` returns the call's
// outcome for a valid name.
template <typename Attempt>
bool NameLoop(const PaneContext& context, PaneFileOps& ops, NameRequest request,
              const NameLoopIds& ids, Attempt attempt) {
    const Messages& messages = context.messages;
    for (;;) {
        const std::optional<QString> typed = context.port.askName(request);
        if (!typed) {
            context.port.endNameDialog(request.kind, false);
            return false;
        }
        const QString name = CutText(*typed, 256);
        request.text = name;
        request.retry = true;
        if (name.isEmpty()) {
            messages.InfoBox(ids.caption, ids.missing);
            continue;
        }
        if (HasForbiddenCharacter(name)) {
            messages.InfoBox(ids.caption, ids.invalid, {ForbiddenNameCharacters()});
            continue;
        }
        const OpResult result = attempt(name);
        if (!result.ok()) {
            QString error;
            messages.ReportApiError(ids.api, result.code, context.state.options.AlertLevel != 0,
                                    result.response, &error);
            messages.InfoBox(ids.caption, ids.failed, {error});
            continue;
        }
        context.port.endNameDialog(request.kind, true);
        ops.relist();
        return true;
    }
}

} // namespace

const QString& ForbiddenNameCharacters() {
    static const QString set = QStringLiteral("\\/?*|<>:\"");
    return set;
}

bool HasForbiddenCharacter(const QString& name) {
    return std::any_of(name.begin(), name.end(),
                       [](QChar c) { return ForbiddenNameCharacters().contains(c); });
}

PaneState& PaneOf(AppState& state, PaneSide side) {
    return side == PaneSide::Local ? state.local : state.remote;
}

bool MakeDirectory(const PaneContext& context, PaneFileOps& ops) {
    const ModeIds& ids = IdsFor(ops.side());
    context.messages.ShowStatus(ids.makeStatus);
    PaneState& pane = PaneOf(context.state, ops.side());
    NameRequest request;
    request.kind = NameDialogKind::MakeDirectory;
    request.side = ops.side();
    request.caption = context.messages.LoadStringText(ids.makeCaption);
    request.folder = CutText(pane.path, 255);
    return NameLoop(context, ops, request, {ids.makeCaption, 3102, 3103, 3104, ids.makeApi},
                    [&](const QString& name) { return ops.makeDirectory(pane, name); });
}

bool RenameEntry(const PaneContext& context, PaneFileOps& ops, const std::vector<int>& selection) {
    const ModeIds& ids = IdsFor(ops.side());
    context.messages.ShowStatus(ids.renameStatus);
    PaneState& pane = PaneOf(context.state, ops.side());
    const int first = GetFirstSelectedRow(selection);
    if (first < 0 || first >= pane.count()) {
        context.messages.Beep();
        return false;
    }
    const FileEntry row = pane.entries[std::size_t(first)];
    NameRequest request;
    request.kind = NameDialogKind::Rename;
    request.side = ops.side();
    request.caption = context.messages.LoadStringText(ids.renameCaption);
    request.currentName = row.name;
    request.text = row.name; // the edit field starts from the current name
    request.isFolder = row.isFolder;
    request.type = row.type;
    return NameLoop(context, ops, request, {ids.renameCaption, 3107, 3108, 3109, ids.renameApi},
                    [&](const QString& name) { return ops.rename(pane, row, name); });
}

DeleteRequest MakeDeleteRequest(const Messages& messages, PaneSide side, const FileEntry& row,
                                bool multiple, bool toTrash) {
    const ModeIds& ids = IdsFor(side);
    DeleteRequest request;
    request.side = side;
    if (toTrash) {
        request.caption =
            messages.LoadStringText(row.isFolder ? kTrashFolderCaption : kTrashFileCaption);
        request.question =
            messages.LoadStringText(row.isFolder ? kTrashFolderQuestion : kTrashFileQuestion);
        request.note = messages.LoadStringText(kTrashNote);
    } else {
        request.caption =
            messages.LoadStringText(row.isFolder ? ids.folderCaption : ids.fileCaption);
        request.question = messages.LoadStringText(row.isFolder ? 3117 : 3116);
    }
    request.kindLabel = messages.LoadStringText(row.isFolder ? 3115 : 3114);
    request.name = row.name;
    request.isFolder = row.isFolder;
    request.type = row.type;
    request.multiple = multiple;
    return request;
}

namespace {

QString plural(std::uint64_t n) {
    return n == 1 ? QString() : QStringLiteral("s");
}

enum class TreeOutcome { Empty, Deleted, Declined, Failed, Stopped };

enum class TrashOutcome { Trashed, Kept, DeleteForGood };

// Moves a row to the Trash. When the Trash cannot take it, asks whether to delete it for good
// (No is the default); nothing is removed without that answer.
TrashOutcome trashEntry(const PaneContext& context, PaneFileOps& ops, const PaneState& pane,
                        const FileEntry& row) {
    const Messages& messages = context.messages;
    const QString path = ops.joinPath(pane, row.name);
    if (ops.moveToTrash(pane, row).ok()) {
        messages.LogMessage(kTrashedLogLine, {path});
        return TrashOutcome::Trashed;
    }
    messages.LogMessage(kTrashFailedLogLine, {path});
    const int caption = row.isFolder ? kTrashFolderCaption : kTrashFileCaption;
    return messages.YesNoBox(false, caption, kDeleteForGoodQuestion, {row.name})
               ? TrashOutcome::DeleteForGood
               : TrashOutcome::Kept;
}

// A folder that holds something: one question with its counts, then everything in it is
// removed, deepest first. Every entry that cannot be removed is logged and the rest goes on;
// the first failure is also shown. Empty: the caller removes the empty folder as before.
TreeOutcome deleteFolderTree(const PaneContext& context, PaneFileOps& ops, const PaneState& pane,
                             const FileEntry& row) {
    const ModeIds& ids = IdsFor(ops.side());
    const Messages& messages = context.messages;
    const bool alert = context.state.options.AlertLevel != 0;
    const TreeCount count = ops.countFolder(pane, row);
    if (ops.stopRequested()) {
        messages.LogMessage(4902);
        return TreeOutcome::Stopped;
    }
    if (!count.result.ok()) {
        QString error;
        messages.ReportApiError(ids.folderApi, count.result.code, alert, count.result.response,
                                &error);
        messages.InfoBox(ids.folderCaption, 3119, {row.name, error});
        return TreeOutcome::Failed;
    }
    if (count.files + count.folders == 0)
        return TreeOutcome::Empty;
    if (!messages.YesNoBox(
            false, ids.folderCaption, 4900,
            {row.name, count.files, plural(count.files), count.folders, plural(count.folders)}))
        return TreeOutcome::Declined;
    messages.LogMessage(4903, {ops.joinPath(pane, row.name)});
    const TreeRemoval removal = ops.removeTree(pane, row);
    const std::vector<TreeFailure>& failures = removal.failures;
    QString firstError;
    for (const TreeFailure& failure : failures) {
        const QStringList reply = Messages::ServerReplyLines(failure.result.response);
        QString error = Messages::ErrorText(failure.result.code);
        if (!reply.isEmpty())
            error += u' ' + reply.front();
        messages.LogMessage(4901, {failure.path, error});
        if (firstError.isEmpty())
            firstError = error;
    }
    if (ops.stopRequested()) {
        messages.LogMessage(4902);
        return TreeOutcome::Stopped;
    }
    if (!failures.empty()) {
        if (alert)
            messages.PlayAlert(AlertKind::FtpErrors);
        messages.InfoBox(ids.folderCaption, 3119, {failures.front().path, firstError});
        return TreeOutcome::Failed;
    }
    messages.LogMessage(
        4904, {removal.files, plural(removal.files), removal.folders, plural(removal.folders)});
    return TreeOutcome::Deleted;
}

} // namespace

int DeleteEntries(const PaneContext& context, PaneFileOps& ops, const std::vector<int>& selection) {
    const ModeIds& ids = IdsFor(ops.side());
    const Messages& messages = context.messages;
    messages.ShowStatus(ids.deleteStatus);
    PaneState& pane = PaneOf(context.state, ops.side());
    std::vector<int> rows = selection;
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    std::erase_if(rows, [&](int r) { return r < 0 || r >= pane.count(); });
    if (rows.empty()) {
        messages.Beep();
        return 0;
    }
    const bool multiple = rows.size() > 1;
    const bool alert = context.state.options.AlertLevel != 0;
    bool yesToAll = false;
    int deleted = 0;
    for (const int index : rows) {
        const FileEntry row = pane.entries[std::size_t(index)];
        const bool toTrash = ops.usesTrash() && !row.isParent && !row.isDrive;
        if (!yesToAll) {
            const DeleteAnswer answer = context.port.askDelete(
                MakeDeleteRequest(messages, ops.side(), row, multiple, toTrash));
            if (answer == DeleteAnswer::Cancel)
                break;
            if (answer == DeleteAnswer::No)
                continue;
            yesToAll = answer == DeleteAnswer::YesToAll;
        }
        if (toTrash) {
            const TrashOutcome trash = trashEntry(context, ops, pane, row);
            if (trash == TrashOutcome::Trashed)
                ++deleted;
            if (trash != TrashOutcome::DeleteForGood)
                continue;
        }
        if (row.isFolder) {
            const TreeOutcome tree = deleteFolderTree(context, ops, pane, row);
            if (tree == TreeOutcome::Deleted)
                ++deleted;
            if (tree == TreeOutcome::Stopped)
                break;
            if (tree != TreeOutcome::Empty)
                continue;
        }
        const OpResult result =
            row.isFolder ? ops.removeFolder(pane, row) : ops.removeFile(pane, row);
        if (result.ok()) {
            ++deleted;
            continue;
        }
        QString error;
        messages.ReportApiError(row.isFolder ? ids.folderApi : ids.fileApi, result.code, alert,
                                result.response, &error);
        if (row.isFolder)
            messages.InfoBox(ids.folderCaption, 3119, {row.name, error});
        else
            messages.InfoBox(ids.fileCaption, 3118, {row.name, error});
    }
    if (deleted > 0)
        ops.relist();
    return deleted;
}

PropertiesData MakePropertiesData(const FileEntry& row, const QString& site,
                                  const QString& location) {
    PropertiesData data;
    data.name = CutText(row.name, 255);
    data.site = CutText(site, 255);
    data.location = CutText(location, 255);
    data.isFolder = row.isFolder;
    data.type = row.type;
    data.typeText = row.isFolder ? QStringLiteral("Folder") : FileTypeDescription(row.type);
    data.sizeText = FormatSizeWithBytes(row.findData.size);
    data.created = FormatFileTimeLong(row.findData.creationTime);
    data.modified = FormatFileTimeLong(row.findData.lastWriteTime);
    data.accessed = FormatFileTimeLong(row.findData.lastAccessTime);
    data.attributes = row.findData.attributes;
    return data;
}

} // namespace tw
