#pragma once

#include <QString>
#include <QStringList>

class QWidget;

namespace tw::ui {

// The system's open-file and save-file dialogs with the program's filter texts. A filter text
// is "description|patterns|description|patterns|..." (the last character is the separator;
// patterns are separated by ';').

// The filter text as file-dialog name filters ("Text Files (*.txt)").
QStringList NameFiltersFromText(const QString& filterText);
// The folder the dialogs open in: the folder part of `path` (a root keeps its separator).
QString DialogFolderOf(const QString& path);

// Save: opens in the folder of `path` proposing `path`; asks before replacing a file; refuses
// missing folders. Title string `titleId` (0: "Save File"), filter string `filterId` (0: the
// default filter), default extension string `defaultExtensionId` (0: none). On OK `path`
// becomes the chosen file and the result is true. A filter id whose text does not load gives
// false without a dialog. The chosen filter is remembered for the next save dialog of the run.
bool SaveFileDialog(QWidget* owner, QString& path, int filterId, int titleId,
                    int defaultExtensionId);

// Open: the file and its folder must exist; opens in the folder of `path`. With `readOnly`
// a "Read only" box is shown, checked as given, and its final state returned. The filter is
// remembered separately from the save dialog's.
bool OpenFileDialog(QWidget* owner, QString& path, int filterId, int titleId,
                    bool* readOnly = nullptr);

} // namespace tw::ui
