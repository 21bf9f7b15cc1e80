#pragma once

#include "platform/launcher.h"

#include <QString>
#include <QStringList>

#include <chrono>
#include <functional>
#include <memory>

namespace tw {

class Messages;

// The desktop's handler: run to its end, since only its exit status tells whether a program
// took the address (it exits 3 when the desktop has none).
inline const QString kDesktopOpener = QStringLiteral("xdg-open");
// The browsers started, in order, when the desktop's handler did not open the address.
inline const QStringList kBrowserPrograms = {QStringLiteral("x-www-browser"),
                                             QStringLiteral("firefox")};
// How long the handler may run before it counts as having opened the address: on some
// desktops it runs the browser in the foreground and ends only when the browser does.
inline constexpr std::chrono::milliseconds kOpenerGrace{5000};

// `address` as a browser opens it: unchanged when it names a scheme ("https://...",
// "mailto:..."), else a host and path that gets "https://" in front.
QString WebUrl(const QString& address);

// Opens `address` in a browser: kDesktopOpener, waited for until it exits or kOpenerGrace
// passes, then each of kBrowserPrograms started with the address as its argument. When all of
// them fail, the fatal "Cannot launch" box names the address and the last error code (the
// handler's exit status, or the errno of a browser that could not be started). `done` is
// told once, from the event loop, whether one of them took it.
void OpenUrl(const Messages& messages, std::shared_ptr<platform::ProgramLauncher> launcher,
             const QString& address, std::function<void(bool)> done = {},
             std::chrono::milliseconds grace = kOpenerGrace);

// Command 997 and the Version page's button: the status text, then the maker's web site.
void OpenWebSite(const Messages& messages, std::shared_ptr<platform::ProgramLauncher> launcher,
                 std::function<void(bool)> done = {});

} // namespace tw
