#pragma once

#include "core/options/options_sheet.h"
#include "core/state/app_runtime.h"
#include "core/state/app_state.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

namespace tw {
class SettingsStore;
}

namespace tw::ui {

class F1HelpFilter;
class MainWindow;

// True when the whole command line (the arguments after the program name) is "/setup" or
// "-setup", in any case. Anything else, including extra words, is no setup request.
bool IsSetupCommandLine(const QStringList& arguments);

// The program from start to end, after the single-instance check: settings loaded, the
// setup sheet shown when asked for, the main window created and shown with its local start folder;
// after the event loop the settings are saved.
class ShellSession {
public:
    // `dataFolder` holds the transfer log (the program's XDG data folder when empty).
    explicit ShellSession(SettingsStore& store, QString dataFolder = QString());
    ~ShellSession();
    ShellSession(const ShellSession&) = delete;
    ShellSession& operator=(const ShellSession&) = delete;

    // Start-up up to the shown main window. `arguments` are the command-line arguments
    // after the program name; `startFolder` the local pane's first folder.
    bool start(const QStringList& arguments, const QString& startFolder);
    // After the event loop: saves every setting. Returns the loop's exit code unchanged.
    int finish(int exitCode);

    MainWindow* mainWindow() const { return m_window.get(); }
    AppState& state() { return m_state; }
    AppGlobals& globals() { return m_globals; }
    AppRuntime& runtime() { return m_runtime; }

    // How often the options sheet opened on its Setup page before the main window (by the
    // command line or a first start): at most once.
    int setupSheetRequests() const { return m_setupSheetRequests; }
    // Test hook, before start(): `run` answers the setup sheet instead of the dialog (true: OK).
    void setSetupSheetRunner(std::function<bool(OptionsSheet&)> run) {
        m_setupSheetRunner = std::move(run);
    }

private:
    void ProcessCommandLine(const QStringList& arguments);
    void ApplyDemoProfile();
    void OpenSetupSheet();

    SettingsStore& m_store;
    QString m_dataFolder;
    AppState m_state;
    AppGlobals m_globals;
    AppRuntime m_runtime;
    std::unique_ptr<F1HelpFilter> m_f1Help;
    std::unique_ptr<MainWindow> m_window;
    int m_setupSheetRequests = 0;
    std::function<bool(OptionsSheet&)> m_setupSheetRunner;
};

} // namespace tw::ui
