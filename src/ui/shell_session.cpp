#include "ui/shell_session.h"

#include "core/session/demo_account.h"
#include "core/settings/settings.h"
#include "core/settings/settings_store.h"
#include "core/state/app_paths.h"
#include "core/text/messages.h"
#include "ui/dialogs/standalone_port.h"
#include "ui/help/f1_help.h"
#include "ui/help/help_collection_check.h"
#include "ui/help/help_viewer.h"
#include "ui/main_window.h"
#include "ui/options/run_options_sheet.h"

#include <QApplication>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QScreen>

#include <utility>

namespace tw::ui {

bool IsSetupCommandLine(const QStringList& arguments) {
    const QString line = arguments.join(QLatin1Char(' ')).trimmed();
    return line.compare(QStringLiteral("/setup"), Qt::CaseInsensitive) == 0 ||
           line.compare(QStringLiteral("-setup"), Qt::CaseInsensitive) == 0;
}

ShellSession::ShellSession(SettingsStore& store, QString dataFolder)
    : m_store(store), m_dataFolder(std::move(dataFolder)) {}

ShellSession::~ShellSession() = default;

bool ShellSession::start(const QStringList& arguments, const QString& startFolder) {
    InitApplicationPaths(m_globals, m_dataFolder, IsCurrentHelpCollection);
    // F1 in any dialog with a Help button, from the setup sheet on.
    m_f1Help = std::make_unique<F1HelpFilter>();
    qApp->installEventFilter(m_f1Help.get());
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        m_globals.virtualScreen = screen->virtualGeometry();

    LoadSettings(m_store, m_state, m_globals);
    ApplyDemoProfile();
    ProcessCommandLine(arguments);
    if (m_globals.FirstStart)
        OpenSetupSheet();

    m_window = std::make_unique<MainWindow>(m_state, m_globals, m_runtime, m_store);
    m_window->showAtStart();
    m_window->setLocalStartFolder(startFolder);
    m_window->UpdateCommandState();
    return true;
}

void ShellSession::ProcessCommandLine(const QStringList& arguments) {
    if (!IsSetupCommandLine(arguments))
        return;
    m_state.setup.CreateStartMenu = 1;
    m_state.setup.CreateDesktop = 1;
    if (!m_globals.FirstStart)
        OpenSetupSheet();
}

// ./run.sh names its local demo server in TARNWICK2000_DEMO_SERVER ("host:port"): the demo
// profile then has an account for it, ready in the Connect dialog.
void ShellSession::ApplyDemoProfile() {
    const QString server = qEnvironmentVariable("TARNWICK2000_DEMO_SERVER");
    QString host;
    int port = 0;
    if (!server.isEmpty() && ParseDemoServer(server, host, port))
        ApplyDemoServer(m_state, host, port);
}

// The options sheet on its Setup page, before any window exists: no owner, and boxes, sounds
// and cursors through a port of their own.
void ShellSession::OpenSetupSheet() {
    ++m_setupSheetRequests;
    StandalonePort port;
    const Messages messages(port, m_state, m_globals);
    const OptionsEffects effects = SharedOptionsEffects(m_store, m_globals, messages);
    if (m_setupSheetRunner) {
        ShowOptionsSheet(m_state, m_globals, messages, m_setupSheetRunner, effects);
        return;
    }
    HelpViewer help(m_globals, &m_store);
    RunOptionsSheet(nullptr, m_state, m_globals, messages, int(OptionsPage::Setup), effects,
                    help.topicOpener(messages));
}

int ShellSession::finish(int exitCode) {
    if (m_window && !m_window->isShutDown())
        m_window->ShutdownMainWindow();
    SaveSettings(m_store, m_state, m_globals, m_window ? &m_window->messages() : nullptr);
    return exitCode;
}

} // namespace tw::ui
