#pragma once

#include "platform/launcher.h"

#include <QString>
#include <QStringList>

namespace tw {

class Messages;

// The browsers tried, in order, after the desktop's own handler refused an address.
inline const QStringList kBrowserPrograms = {
    QStringLiteral("xdg-open"), QStringLiteral("x-www-browser"), QStringLiteral("firefox")};

// `address` as a browser opens it: unchanged when it names a scheme ("https://...",
// "mailto:..."), else a host and path that gets "https://" in front.
QString WebUrl(const QString& address);

// Hands `url` to the desktop's handler, else to each of kBrowserPrograms as its argument; the
// error of the last program tried when none took it.
platform::LaunchResult LaunchBrowser(platform::ProgramLauncher& launcher, const QString& url);

// Opens `address` in a browser: the desktop's handler, else each of kBrowserPrograms with the
// address as its argument. When all of them fail, the fatal "Cannot launch" box names the
// address and the last program's error code. True when one of them took it.
bool OpenUrl(const Messages& messages, platform::ProgramLauncher& launcher, const QString& address);

// Command 997 and the Version page's button: the status text, then the maker's web site.
bool OpenWebSite(const Messages& messages, platform::ProgramLauncher& launcher);

} // namespace tw
