#pragma once

#include "core/state/app_state.h"

#include <QByteArray>
#include <QString>

#include <optional>

namespace tw {

class Messages;

// The three places the program can put a desktop entry that starts it.
enum class ShortcutPlace : int {
    StartMenu = 0, // the user's applications menu: $XDG_DATA_HOME/applications/Quellwork
    Desktop,       // the XDG desktop folder (XDG_DESKTOP_DIR of user-dirs.dirs)
    Startup        // the XDG autostart folder: $XDG_CONFIG_HOME/autostart
};
inline constexpr int kShortcutPlaceCount = 3;

// What the entries start and show.
struct ShortcutTarget {
    QString programPath; // the program's full path
    QString
        iconPath; // the icon file the entries name; empty: the installed icon, by the desktop id
};

// The folder of a place, read from the environment each time (XDG_DATA_HOME, XDG_CONFIG_HOME,
// HOME and the user-dirs.dirs file). nullopt when the place has no folder: no home, or no
// desktop folder configured or present. A desktop "folder" that exists as a file is returned,
// so that creating an entry in it fails with the system's error.
std::optional<QString> GetShellFolder(ShortcutPlace place);

// The entry's file in `folder`: "<folder>/Tarnwick 2000.desktop".
QString ShortcutFileName(const QString& folder);

// The text of the desktop entry: runs the program by its full path, named "Tarnwick 2000" with
// the description 1020, with the program's icon; it passes desktop-file-validate.
QByteArray DesktopEntryText(const ShortcutTarget& target);

// True when the place has a folder and the entry's file exists there.
bool ShortcutExists(ShortcutPlace place);

// Writes the entry (replacing a file of the same name) into the place's folder, creating the
// applications menu's "Quellwork" folder when missing. A place without a folder: false, and
// nothing is shown. A failure: the "Setup" box "\rFile '%s'\r\rMethod (%s) error
// detected\rCode %u" with the program's path, the failed step and the system's error code.
bool CreateShortcut(const Messages& messages, const ShortcutTarget& target, ShortcutPlace place);

// Deletes the place's entry. A place without a folder: false, silently. A failure: the "Setup"
// box "\rFile '%s'\r\rCould not be deleted (error:%u)" with the entry's path and the code.
// The applications menu's "Quellwork" folder is left in place.
bool DeleteShortcut(const Messages& messages, ShortcutPlace place);

// Creates the Start Menu, desktop and Startup entries whose create flags are set, then deletes
// those whose remove flags are set, then clears all six flags. A failure of one request does
// not stop the others.
void ApplySetupRequests(const Messages& messages, const ShortcutTarget& target,
                        SetupChoices& requests);

} // namespace tw
