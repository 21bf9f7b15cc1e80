#include "core/panes/local_operations.h"

#include "core/panes/local_file_ops.h"
#include "core/panes/local_listing.h"
#include "core/panes/local_paths.h"
#include "core/panes/local_system.h"
#include "core/panes/pane_sort.h"
#include "core/state/app_state.h"
#include "core/text/messages.h"

#include <QFile>

#include <algorithm>

namespace tw {

namespace {

bool AlertFlag(const PaneContext& context) {
    return context.state.options.AlertLevel != 0;
}

// The first selected row, or nullptr after the beep when nothing is selected.
const FileEntry* FirstSelected(const PaneContext& context, const std::vector<int>& selection) {
    const int first = GetFirstSelectedRow(selection);
    if (first < 0 || first >= context.state.local.count()) {
        context.messages.Beep();
        return nullptr;
    }
    return &context.state.local.entries[std::size_t(first)];
}

} // namespace

bool ChangeLocalDirectory(const PaneContext& context, LocalSystem& system) {
    context.messages.ShowStatus(369);
    FolderRequest request;
    request.title = context.messages.LoadStringText(3600);
    request.startPath = context.state.local.path;
    const std::optional<QString> chosen = context.port.askFolder(request);
    if (!chosen)
        return false;
    ChangeLocalFolder(context.state, context.messages, QFile::encodeName(*chosen));
    ListLocalDirectory(context.state, context.messages, system);
    return true;
}

QString ProgramForType(const std::vector<FileTypeAssociation>& table, const QString& defaultEditor,
                       const QString& type) {
    if (!type.isEmpty()) {
        for (const FileTypeAssociation& association : table)
            if (association.Ext.compare(type, Qt::CaseInsensitive) == 0)
                return association.Cmd;
    }
    return defaultEditor;
}

bool EditLocalFile(const PaneContext& context, LocalSystem& system,
                   const std::vector<int>& selection) {
    context.messages.ShowStatus(222);
    const FileEntry* row = FirstSelected(context, selection);
    if (!row)
        return false;
    const QString program =
        ProgramForType(context.state.FileTypes, context.state.DefaultEditor, row->type);
    // The file system's bytes, so that a name that is not UTF-8 still reaches the file.
    const int error = system.startProgram(program, LocalEntryBytes(context.state.local, *row));
    if (error != 0) {
        context.messages.ReportApiError(4520, error, false);
        return false;
    }
    return true;
}

bool ShowLocalProperties(const PaneContext& context, LocalSystem& system,
                         const std::vector<int>& selection) {
    context.messages.ShowStatus(555);
    const FileEntry* row = FirstSelected(context, selection);
    if (!row)
        return false;
    const FileEntry entry = *row;
    context.messages.ShowStatus(103);
    if (system.showItemProperties(LocalEntryBytes(context.state.local, entry)))
        return true;
    // No file manager answered: our own dialog, with the row's place on the local disks.
    const QString location = entry.isDrive ? entry.name : context.state.local.path;
    context.port.showProperties(MakePropertiesData(entry, QString(), location));
    return true;
}

int MoveLocalFiles(const PaneContext& context, LocalSystem& system,
                   const std::vector<int>& selection) {
    context.messages.ShowStatus(557);
    const PaneState& pane = context.state.local;
    if (pane.count() == 0) {
        context.messages.Beep();
        return 0;
    }
    const QString sourceFolder = pane.path;
    const QByteArray sourceBytes = LocalPathBytes(pane);
    FolderRequest request;
    request.title = context.messages.LoadStringText(4101);
    request.startPath = sourceFolder;
    const std::optional<QString> chosen = context.port.askFolder(request);
    if (!chosen)
        return 0;
    const QByteArray destination = QFile::encodeName(*chosen);
    std::vector<int> rows = selection;
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    // The rows are copied first: nothing here re-lists, but the loop must not depend on it.
    std::vector<FileEntry> moving;
    for (const int r : rows)
        if (r >= 0 && r < pane.count())
            moving.push_back(pane.entries[std::size_t(r)]);
    int moved = 0;
    for (const FileEntry& row : moving) {
        const QByteArray name = EntryNameBytes(row);
        const int error = row.isDrive ? ENOENT
                                      : MoveLocalPath(JoinLocalPath(sourceBytes, name),
                                                      JoinLocalPath(destination, name));
        if (error == 0) {
            ++moved;
            continue;
        }
        QString text;
        context.messages.ReportApiError(4517, error, AlertFlag(context), QString(), &text);
        context.messages.InfoBox(4100, 4102, {row.name, text});
    }
    if (moved > 0)
        ListLocalDirectory(context.state, context.messages, system);
    return moved;
}

int DeleteLocalFiles(const PaneContext& context, LocalSystem& system,
                     const std::vector<int>& selection) {
    LocalFileOps ops(context.state, context.messages, system);
    return DeleteEntries(context, ops, selection);
}

bool MakeLocalDirectory(const PaneContext& context, LocalSystem& system) {
    LocalFileOps ops(context.state, context.messages, system);
    return MakeDirectory(context, ops);
}

bool RenameLocalEntry(const PaneContext& context, LocalSystem& system,
                      const std::vector<int>& selection) {
    LocalFileOps ops(context.state, context.messages, system);
    return RenameEntry(context, ops, selection);
}

void ActivateLocalRow(const PaneContext& context, LocalSystem& system, int row) {
    const PaneState& pane = context.state.local;
    if (row < 0 || row >= pane.count())
        return;
    const FileEntry& entry = pane.entries[std::size_t(row)];
    if (entry.isFolder || entry.isDrive)
        NavigateLocal(context.state, context.messages, system, row);
    else
        EditLocalFile(context, system, {row});
}

} // namespace tw
