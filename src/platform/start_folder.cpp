#include "platform/start_folder.h"

#include <QDir>
#include <QFileInfo>

namespace tw::platform {

QString LocalStartFolder(const QString& currentFolder, const QString& homeFolder,
                         bool desktopLaunch) {
    const QFileInfo current(currentFolder);
    const bool usable = !currentFolder.isEmpty() && current.isDir() && current.isReadable();
    if (desktopLaunch || !usable || QDir::cleanPath(currentFolder) == QDir::rootPath())
        return homeFolder.isEmpty() ? QDir::rootPath() : homeFolder;
    return QDir::cleanPath(currentFolder);
}

bool LaunchedFromDesktop() {
    // GLib-based launchers name the desktop file they started.
    return qEnvironmentVariableIsSet("GIO_LAUNCHED_DESKTOP_FILE");
}

} // namespace tw::platform
