#pragma once

#include "core/state/app_runtime.h"
#include "core/state/app_state.h"

#include <QString>
#include <QStringList>

#include <memory>

namespace tw {
class SettingsStore;
}

namespace tw::ui {

class MainWindow;

// True when the whole command line (the arguments after the program name) is "/setup" or
// "-setup", in any case. Anything else, including extra words, is no setup request.
bool IsSetupCommandLine(const QStringList& arguments);

// The program from start to end, after the single-instance check: settings loaded, the
// setup request noted, the main window created and shown with its local start folder; after
// the event loop the settings are saved.
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

    // The options sheet was asked to open on its Setup page before the main window (by the
    // command line or a first start). The sheet itself belongs to the options dialogs.
    bool setupSheetRequested() const { return m_setupSheetRequests > 0; }
    int setupSheetRequests() const { return m_setupSheetRequests; }

private:
    void ProcessCommandLine(const QStringList& arguments);
    void ApplyDemoProfile();
    void OpenSetupSheet();

    SettingsStore& m_store;
    QString m_dataFolder;
    AppState m_state;
    AppGlobals m_globals;
    AppRuntime m_runtime;
    std::unique_ptr<MainWindow> m_window;
    int m_setupSheetRequests = 0;
};

} // namespace tw::ui
