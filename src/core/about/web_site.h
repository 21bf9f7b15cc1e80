#pragma once

#include <QString>
#include <QStringList>

namespace tw {

class Messages;
namespace platform {
class ProgramLauncher;
}

// The browsers tried, in order, after the desktop's own handler refused an address.
inline const QStringList kBrowserPrograms = {
    QStringLiteral("xdg-open"), QStringLiteral("x-www-browser"), QStringLiteral("firefox")};

// `address` as a browser opens it: unchanged when it names a scheme ("https://...",
// "mailto:..."), else a host and path that gets "https://" in front.
QString WebUrl(const QString& address);

// Opens `address` in a browser: the desktop's handler, else each of kBrowserPrograms with the
// address as its argument. When all of them fail, the fatal "Cannot launch" box names the
// address and the last program's error code. True when one of them took it.
bool OpenUrl(const Messages& messages, platform::ProgramLauncher& launcher, const QString& address);

// Command 997 and the Version page's button: the status text, then the maker's web site.
bool OpenWebSite(const Messages& messages, platform::ProgramLauncher& launcher);

} // namespace tw
