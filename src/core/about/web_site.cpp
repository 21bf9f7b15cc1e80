#include "core/about/web_site.h"

#include "core/about/version_info.h"
#include "core/text/messages.h"
#include "platform/launcher.h"

#include <QRegularExpression>

#include <cerrno>

namespace tw {

namespace {

constexpr int kWebSiteCommand = 997;

// The browser-launch failure, naming the desktop's browser where the original named the
// browsers of its platform.
const QString kCannotLaunch =
    QStringLiteral("URL: %s\r\rCannot launch the desktop's web browser or\rthe Firefox web "
                   "browser application.\r\rError Code: %u");

} // namespace

QString WebUrl(const QString& address) {
    // A scheme is letters, digits, '+', '-' and '.' before a colon that is not followed by a
    // port number ("localhost:8080/x" is a host).
    static const QRegularExpression scheme(QStringLiteral("^[A-Za-z][A-Za-z0-9+.-]*:(?![0-9])"));
    const QString trimmed = address.trimmed();
    if (trimmed.isEmpty() || scheme.match(trimmed).hasMatch())
        return trimmed;
    return QStringLiteral("https://") + trimmed;
}

platform::LaunchResult LaunchBrowser(platform::ProgramLauncher& launcher, const QString& url) {
    if (launcher.openUrl(url))
        return {};
    platform::LaunchResult started{ENOENT};
    for (const QString& browser : kBrowserPrograms) {
        started = launcher.startDetached(browser, {url});
        if (started.ok())
            break;
    }
    return started;
}

bool OpenUrl(const Messages& messages, platform::ProgramLauncher& launcher,
             const QString& address) {
    const QString url = WebUrl(address);
    const platform::LaunchResult launched = LaunchBrowser(launcher, url);
    if (!launched.ok())
        messages.FatalErrorBox(kCannotLaunch, {url, static_cast<unsigned>(launched.error)});
    return launched.ok();
}

bool OpenWebSite(const Messages& messages, platform::ProgramLauncher& launcher) {
    messages.ShowStatus(kWebSiteCommand);
    return OpenUrl(messages, launcher, QString::fromUtf16(kWebSiteAddress));
}

} // namespace tw
