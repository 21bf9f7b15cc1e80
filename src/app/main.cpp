#include "single_instance.h"
#include "startup_probe.h"

#include "core/about/program_version.h"
#include "core/settings/settings_store.h"
#include "platform/start_folder.h"
#include "platform/xdg_paths.h"
#include "ui/dialogs/program_icons.h"
#include "ui/main_window.h"
#include "ui/shell_session.h"

#include <QApplication>
#include <QDir>

int main(int argc, char* argv[]) {
    tw::StartupProbe probe;
    probe.startClock();

    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Quellwork"));
    QApplication::setApplicationName(QStringLiteral("Tarnwick 2000"));
    QApplication::setDesktopFileName(QString::fromUtf16(tw::kDesktopId));
    QApplication::setWindowIcon(tw::ui::ProgramIcon(1000));
    // Ended by the Exit path (or the tray); a hidden window must not end the program.
    QApplication::setQuitOnLastWindowClosed(false);

    // A second start brings the first forward and ends without loading any settings.
    tw::SingleInstance instance;
    if (!instance.becomePrimary())
        return 0;

    tw::SettingsStore store;
    tw::ui::ShellSession session(store);
    const QString startFolder =
        tw::platform::LocalStartFolder(QDir::currentPath(), tw::platform::XdgPaths::homeFolder(),
                                       tw::platform::LaunchedFromDesktop());
    if (!session.start(QApplication::arguments().mid(1), startFolder))
        return 0;

    tw::ui::MainWindow* window = session.mainWindow();
    QObject::connect(&instance, &tw::SingleInstance::raiseRequested, window, [&probe, window] {
        probe.raiseRequested();
        window->raiseFromSecondStart();
    });
    probe.windowShown(window);

    const int code = QApplication::exec();
    return session.finish(code);
}
