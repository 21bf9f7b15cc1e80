#include "core/about/web_site.h"

#include "core/about/version_info.h"
#include "core/text/messages.h"
#include "platform/launcher.h"

#include <QCoreApplication>
#include <QRegularExpression>
#include <QTimer>

#include <utility>

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

void OpenUrl(const Messages& messages, std::shared_ptr<platform::ProgramLauncher> launcher,
             const QString& address, std::function<void(bool)> done,
             std::chrono::milliseconds grace) {
    const QString url = WebUrl(address);
    // Settled once: by the handler's end, or by the grace period while it still runs.
    struct Attempt {
        bool settled = false;
        std::function<void(bool)> done;
    };
    const auto attempt = std::make_shared<Attempt>();
    attempt->done = std::move(done);
    const auto finish = [attempt](bool opened) {
        if (attempt->done)
            std::exchange(attempt->done, nullptr)(opened);
    };
    const auto handlerEnded = [&messages, launcher, url, attempt,
                               finish](const platform::RunResult& run) {
        if (std::exchange(attempt->settled, true))
            return;
        if (run.error == 0 && run.exitCode == 0 && !run.crashed) {
            finish(true);
            return;
        }
        unsigned code = run.error != 0 ? unsigned(run.error) : unsigned(run.exitCode);
        for (const QString& browser : kBrowserPrograms) {
            const platform::LaunchResult started = launcher->startDetached(browser, {url});
            if (started.ok()) {
                finish(true);
                return;
            }
            code = unsigned(started.error);
        }
        messages.FatalErrorBox(kCannotLaunch, {url, code});
        finish(false);
    };
    if (auto* app = QCoreApplication::instance())
        QTimer::singleShot(grace, app, [attempt, finish] {
            if (!std::exchange(attempt->settled, true))
                finish(true);
        });
    launcher->run(kDesktopOpener, {url}, handlerEnded);
}

void OpenWebSite(const Messages& messages, std::shared_ptr<platform::ProgramLauncher> launcher,
                 std::function<void(bool)> done) {
    messages.ShowStatus(kWebSiteCommand);
    OpenUrl(messages, std::move(launcher), QString::fromUtf16(kWebSiteAddress), std::move(done));
}

} // namespace tw
