#pragma once

#include "core/state/app_state.h"

#include <QString>
#include <QStringList>

#include <functional>

namespace tw {

// The file name of the help collection.
inline constexpr char16_t kHelpCollectionName[] = u"tarnwick2000.qhc";

// Whether a collection file is one this program may show (its registered documentation is
// this version's).
using HelpCollectionCheck = std::function<bool(const QString& path)>;

// The places a help collection may be, in the order they are tried: beside the build tree
// ("share/tarnwick2000/help" two levels above the executable, which a build keeps in
// src/app), in the installed tree ("../share/tarnwick2000/help" from <prefix>/bin), then in
// each of the XDG data folders ("tarnwick2000/help").
QStringList HelpCollectionCandidates(const QString& executableDir);
// The first candidate that exists and that `accepts`; empty when there is none (or no check).
QString FindHelpCollection(const QString& executableDir, const HelpCollectionCheck& accepts);
// Where the installed collection belongs, for the message that it is missing.
QString ExpectedHelpCollectionPath(const QString& executableDir);

// Fills the program's own paths: the executable, the transfer log in the data folder
// (`dataFolder`, the program's XDG data folder when empty) named after the executable with
// ".log", the help collection that `acceptsHelp` takes (empty when absent or no check is
// given) and the desktop's data folder for the file-type registration.
void InitApplicationPaths(AppGlobals& globals, const QString& dataFolder = QString(),
                          const HelpCollectionCheck& acceptsHelp = {});

} // namespace tw
