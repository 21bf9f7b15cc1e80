#pragma once

#include "core/ui_port.h"

#include <QString>

#include <vector>

namespace tw {

class LocalSystem;
class Messages;
class SettingsStore;
struct AppState;

// The path box of each pane: the folders it listed last and the typed folder it goes to.

inline constexpr int kPathHistoryLimit = 20;

// Puts `folder` first in `history`, dropping an earlier copy and anything past the newest 20.
// Empty folders and folders with control characters are not kept.
void RememberFolder(std::vector<QString>& history, const QString& folder);

// The histories stored under "Folder History" ("Local" and "Remote" below it); an empty one
// leaves no key.
void LoadFolderHistories(const SettingsStore& store, AppState& state);
void SaveFolderHistories(SettingsStore& store, const AppState& state);

// True when `text` holds a character a terminal or a server would obey rather than keep:
// C0 controls (CR and LF among them), DEL, C1 controls, bidirectional controls.
bool ContainsControlCharacter(const QString& text);

// A typed local folder made a path: a leading "~" or "~/" is the home folder `home`.
QString ExpandHomeFolder(const QString& typed, const QString& home);

// Checks a typed folder before anything is sent or changed: a folder with a control character
// is refused with a message box. True when it may be entered. An empty text is ignored (false).
bool AcceptTypedFolder(const Messages& messages, const QString& typed);

// The local path box's Enter: the typed folder ("~" is `home`; relative to the pane's folder)
// becomes the local folder and is listed, as a folder row's double-click does. A folder that
// cannot be entered is reported as that flow reports it, and the pane keeps its folder. False
// when the text was refused or empty.
bool GoToLocalFolder(AppState& state, const Messages& messages, LocalSystem& system,
                     const QString& typed, const QString& home);

} // namespace tw
