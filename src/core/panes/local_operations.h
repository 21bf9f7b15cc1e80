#pragma once

#include "core/panes/pane_operations.h"

#include <QString>

#include <vector>

namespace tw {

class LocalSystem;
struct FileTypeAssociation;

// The local pane's commands. `selection` holds the selected row indexes of the local list.

// 369: the folder browser, then the chosen folder becomes the current folder and is listed.
bool ChangeLocalDirectory(const PaneContext& context, LocalSystem& system);

// The program that opens a type: the first file-type entry whose extension equals the type
// ignoring case, else the default editor.
QString ProgramForType(const std::vector<FileTypeAssociation>& table, const QString& defaultEditor,
                       const QString& type);

// 222 (and a double-click on a file row): starts the type's program on the first selected
// row; a failure is reported as "ShellExecute" with the system's text.
bool EditLocalFile(const PaneContext& context, LocalSystem& system,
                   const std::vector<int>& selection);

// 555: the file manager's properties window for the first selected row; when none answers,
// the program's own Properties dialog with the row's data.
bool ShowLocalProperties(const PaneContext& context, LocalSystem& system,
                         const std::vector<int>& selection);

// 557: asks for a destination folder and moves the selected rows there, one by one, never
// replacing an existing entry. Returns the number moved.
int MoveLocalFiles(const PaneContext& context, LocalSystem& system,
                   const std::vector<int>& selection);

// 553, 556, 554: the shared Delete, Make Directory and Rename flows on the local disks.
int DeleteLocalFiles(const PaneContext& context, LocalSystem& system,
                     const std::vector<int>& selection);
bool MakeLocalDirectory(const PaneContext& context, LocalSystem& system);
bool RenameLocalEntry(const PaneContext& context, LocalSystem& system,
                      const std::vector<int>& selection);

// A double-click on a local row: folders and drives are opened, files edited. No row (-1):
// nothing happens.
void ActivateLocalRow(const PaneContext& context, LocalSystem& system, int row);

} // namespace tw
