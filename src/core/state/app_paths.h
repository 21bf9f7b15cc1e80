#pragma once

#include "core/state/app_state.h"

#include <QString>

namespace tw {

// The name of the help document.
inline constexpr char16_t kHelpDocumentName[] = u"tarnwick2000.html";

// The help document: "help/tarnwick2000.html" beside the executable, in a "resources/help"
// folder of the build's source tree (searched up to four levels above the executable), or in
// the installed data folders ("tarnwick2000/help/"). Empty when none exists.
QString FindHelpDocument(const QString& executableDir);
// The same for the running program (empty without a QCoreApplication).
QString FindHelpDocument();

// Fills the program's own paths: the executable, the transfer log in the data folder
// (`dataFolder`, the program's XDG data folder when empty) named after the executable with
// ".log", the help document (empty when absent) and the desktop's data folder for the file-type
// registration.
void InitApplicationPaths(AppGlobals& globals, const QString& dataFolder = QString());

} // namespace tw
