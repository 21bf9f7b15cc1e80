#pragma once

#include <QString>

namespace tw::platform {

// The folder the local pane starts in: the folder the program was started in, or the home
// folder when it was launched from the desktop (a launcher starts programs in "/" or marks the
// launch in the environment) or the start folder is gone.
QString LocalStartFolder(const QString& currentFolder, const QString& homeFolder,
                         bool desktopLaunch);

// True when the environment says a desktop launcher started the program.
bool LaunchedFromDesktop();

} // namespace tw::platform
