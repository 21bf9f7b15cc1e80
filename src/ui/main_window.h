#pragma once

#include "core/commands/command_dispatcher.h"
#include "core/commands/command_state.h"
#include "core/commands/menu_help.h"
#include "core/options/options_sheet.h"
#include "core/panes/local_system.h"
#include "core/panes/pane_port.h"
#include "core/state/app_runtime.h"
#include "core/state/app_state.h"
#include "core/text/messages.h"
#include "core/ui_port.h"
#include "ui/display_queue.h"
#include "ui/main_window_layout.h"
#include "ui/panes/pane_keys.h"

#include <QColor>
#include <QFont>
#include <QMainWindow>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

class QLabel;
class QMenu;
class QStatusBar;
class QTimer;

namespace tw {
class SessionController;
class SettingsStore;
class CertificateTrust;
class QueueRows;
class QueueController;
class RemoteEditController;
class TransferController;
class PermissionsController;
class DropController;
} // namespace tw
namespace tw::platform {
class SoundPlayer;
}

namespace tw::ui {

class ClientArea;
class CompareBinding;
class HelpViewer;
class PaneDialogs;
class PaneToolsBinding;
class PasswordBinding;
class PermissionsDialogs;
class QueuePane;
class QuickConnectBar;
class CommandActions;
class EditDialogs;
class MainToolbar;
class TrayIcon;
class TransferDialogs;

// The program's single main window ("TarnwickAppClass"): menus, toolbar (1002), the local and
// remote panes (path labels 9002 / 9004 above the lists 9001 / 9003), the transfer queue pane
// ("queue", shown by View > Transfer Queue), the message log pane (9005) and the status bar
// (1003), laid out by LayoutMainWindow. It is the UI port through
// which the core shows and asks: any port method may be called from a worker thread; display
// calls are queued to the user-interface thread and coalesced, questions block the caller
// until they are answered.
class MainWindow : public QMainWindow, public UiPort, public PanePort {
    Q_OBJECT
public:
    // Builds every child (the work of window creation); the window is not shown yet.
    MainWindow(AppState& state, AppGlobals& globals, AppRuntime& runtime, SettingsStore& store,
               QWidget* parent = nullptr);
    ~MainWindow() override;

    // UiPort
    void appendLog(const QString& line) override;
    void clearLog() override;
    bool showStatus(const QString& text) override;
    bool showBox(const BoxRequest& request) override;
    void beep() override;
    bool playWave(const QString& path) override;
    void setCursor(CursorKind kind, bool on) override;
    void updateCommandState() override;
    void refreshPane(PaneSide side) override;
    void setWindowTitle(const QString& title) override;
    void runOnUiThread(std::function<void()> task) override;
    CertificateAnswer askCertificate(const CertificateRequest& request) override;
    HostKeyAnswer askHostKey(const HostKeyRequest& request) override;
    std::optional<PassphraseAnswer> askPassphrase(const PassphraseRequest& request) override;

    // PanePort: the pane questions, answered with the pane dialogs over this window.
    std::optional<QString> askName(const NameRequest& request) override;
    void endNameDialog(NameDialogKind kind, bool succeeded) override;
    DeleteAnswer askDelete(const DeleteRequest& request) override;
    std::optional<QString> askFolder(const FolderRequest& request) override;
    bool showProperties(const PropertiesData& data) override;

    const Messages& messages() const { return m_messages; }
    SessionController& session() { return *m_session; }
    TransferController& transfers() { return *m_transfers; }
    QueueController& transferQueue() { return *m_transferQueue; }
    TransferDialogs& transferDialogs() { return *m_transferDialogs; }
    RemoteEditController& remoteEdits() { return *m_edits; }
    EditDialogs& editDialogs() { return *m_editDialogs; }
    CommandDispatcher& dispatcher() { return m_dispatcher; }
    AppState& state() { return m_state; }
    AppGlobals& globals() { return m_globals; }
    AppRuntime& runtime() { return m_runtime; }

    // Shows the window as start-up does: at the saved place and size (the system's place when
    // SaveWindows is off), minimised when the Minimize option is set.
    void showAtStart();
    // Takes the local start folder into the local pane (the folder the program was started
    // in, the home folder for a desktop launch) and makes it the current folder.
    void setLocalStartFolder(const QString& folder);

    // The enabling rule applied now to menus, toolbar and context menus.
    void UpdateCommandState();
    CommandStates currentCommandStates() const;
    CommandInputs currentCommandInputs() const;
    // "Tarnwick 2000", or "Tarnwick 2000 - <site>" while connected; also the tray tip.
    void UpdateMainWindowTitle();
    void RestoreMainWindow();
    // The options changed TaskTray: the tray icon is removed, and added again when it is on.
    void TaskTrayOptionChanged();
    // The options sheet on `page`; OK applies and saves the options.
    void OpenOptionsSheet(OptionsPage page);
    void SetTopmost(bool on);
    bool ShowToolbar(bool show);
    bool ShowStatusBar(bool show);
    bool ShowTransferQueue(bool show);
    void LayoutMainWindow();
    MainWindowLayoutInput layoutInput() const;
    // Toolbar arrangement as "Standard" (built-in) or "Custom" (the user's).
    void SaveToolbarLayout(bool custom);
    void RestoreToolbarLayout(bool custom);
    void CustomizeToolbar();
    void ChooseDisplayFont();
    void applyDisplayFont();
    void ShowLocalContextMenu(const QPoint& globalPos);
    void ShowRemoteContextMenu(const QPoint& globalPos);
    void ShowMenuHelp(const MenuSelection& selection);
    // The Exit command: closes through the exit confirmation.
    void requestExit();
    // Saves placement, column widths and toolbar, removes the tray icon and ends the event
    // loop. False when the user refused to disconnect.
    bool ShutdownMainWindow();
    bool isShutDown() const { return m_shutDown; }

    // Connected later by the session: disconnect after asking (when connected and Confirm is
    // set). Returns false when the user refused. Without it nothing is connected.
    void setDisconnectHandler(std::function<bool()> handler) { m_disconnect = std::move(handler); }
    // The pane views refresh their rows; until then the path labels are refreshed.
    // Connected by the session: a double-click on a remote folder row (connected, not busy).
    void setRemoteFolderHandler(std::function<void(int row)> handler) {
        m_enterRemoteFolder = std::move(handler);
    }
    void setPaneRefreshHandler(std::function<void(PaneSide)> handler) {
        m_paneRefresh = std::move(handler);
    }
    // Replaces the font dialog (tests): returns the chosen font and colour, or nothing.
    using FontChooser =
        std::function<std::optional<std::pair<QFont, QColor>>(const QFont&, const QColor&)>;
    void setFontChooser(FontChooser chooser) { m_fontChooser = std::move(chooser); }

    // Children, for the subsystems that fill them and for tests.
    MainToolbar* toolbar() const { return m_toolbar; }
    QStatusBar* statusLine() const { return m_statusBar; }
    QWidget* localList() const { return m_localList; }
    QWidget* remoteList() const { return m_remoteList; }
    QLabel* localLabel() const { return m_localLabel; }
    QLabel* remoteLabel() const { return m_remoteLabel; }
    QWidget* logPane() const { return m_logPane; }
    // The transfer queue pane and the rows it shows (the queue's controller feeds them).
    QueuePane* queuePane() const { return m_queuePane; }
    QueueRows* queueRows() const { return m_queueRows; }
    ClientArea* clientArea() const { return m_client; }
    CommandActions* commandActions() const { return m_actions; }
    TrayIcon* trayIcon() const { return m_tray; }
    QString statusText() const;
    // Lines of the log pane, oldest first.
    QStringList logLines() const;

signals:
    // A second start of the program asked this one to come forward.
    void raised();

public slots:
    // Brings the window forward and beeps (a second start asked for it).
    void raiseFromSecondStart();

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    // Saves after an accounts edit; the passwords typed into the table go to their store.
    bool saveAccounts(const AppState& state);
    bool confirmExit();
    void buildChildren();
    void registerShellCommands();
    void registerPaneCommands();
    void registerSessionCommands();
    void registerTransferCommands();
    void registerHelpCommands();
    void registerAboutCommands();
    // View > Compare Folders and Show Only Differences.
    void registerCompareCommands();
    // The quick connect bar and View > Quick Connect Bar.
    void buildQuickConnectBar();
    // Opens a help topic (the Help buttons of the dialogs).
    std::function<void(int)> helpOpener();
    std::vector<int> selection(PaneSide side) const;
    int bookmarkAccount() const;
    void onRowDoubleClicked(PaneSide side, int row);
    void onHeaderClicked(PaneSide side, int column);
    // Enter, Backspace and F2 in a list.
    void onPaneKey(PaneSide side, PaneKeyCommand command, int row);
    // View > Readable Sizes as the option stands, in both panes and the queue.
    void applyReadableSizes();
    template <typename Result, typename Call>
    Result onUiThreadBlocking(Call call);
    void flushDisplay();
    void scheduleFlush();
    bool onUiThread() const;
    void applyBatch(DisplayQueue::Batch batch);
    void showStatusNow(const QString& text);
    void setCursorNow(CursorKind kind, bool on);
    void refreshPaneNow(PaneSide side);
    void setTitleNow(const QString& title);
    int selectedRows(QWidget* view) const;
    void connectPaneView(QWidget* view, PaneSide side);
    void updateTray();

    AppState& m_state;
    AppGlobals& m_globals;
    AppRuntime& m_runtime;
    SettingsStore& m_store;
    Messages m_messages;
    CommandDispatcher m_dispatcher;
    std::unique_ptr<platform::SoundPlayer> m_sound;

    ClientArea* m_client = nullptr;
    CommandActions* m_actions = nullptr;
    MainToolbar* m_toolbar = nullptr;
    QStatusBar* m_statusBar = nullptr;
    QWidget* m_localList = nullptr;
    QWidget* m_remoteList = nullptr;
    QLabel* m_localLabel = nullptr;
    QLabel* m_remoteLabel = nullptr;
    QWidget* m_logPane = nullptr;
    QueueRows* m_queueRows = nullptr;
    QueuePane* m_queuePane = nullptr;
    QuickConnectBar* m_quickConnectBar = nullptr; // shown by View > Quick Connect Bar
    QWidget* m_localTools = nullptr;              // path box and filter of each pane
    QWidget* m_remoteTools = nullptr;
    PaneToolsBinding* m_paneTools = nullptr;
    CompareBinding* m_compare = nullptr;
    TrayIcon* m_tray = nullptr;
    QTimer* m_flushTimer = nullptr;

    DisplayQueue m_queue;
    std::atomic<bool> m_statusVisible{true};
    std::function<bool()> m_disconnect;
    std::function<void(PaneSide)> m_paneRefresh;
    std::function<void(int)> m_enterRemoteFolder;
    std::unique_ptr<HelpViewer> m_help;
    std::unique_ptr<PaneDialogs> m_paneDialogs;
    std::unique_ptr<CertificateTrust> m_certificates;
    // Before the session and the queue, whose workers ask it for passwords.
    std::unique_ptr<PasswordBinding> m_passwords;
    DesktopLocalSystem m_localSystem;
    FontChooser m_fontChooser;
    bool m_exitRequested = false;
    bool m_shutDown = false;
    // Last members: destroyed first, so a running worker is stopped and joined while everything
    // it reports to still exists (the transfers before the session whose thread they use).
    std::unique_ptr<SessionController> m_session;
    std::unique_ptr<TransferDialogs> m_transferDialogs;
    std::unique_ptr<QueueController> m_transferQueue;
    std::unique_ptr<TransferController> m_transfers;
    std::unique_ptr<PermissionsDialogs> m_permissionDialogs;
    std::unique_ptr<PermissionsController> m_permissions;
    std::unique_ptr<EditDialogs> m_editDialogs;
    std::unique_ptr<RemoteEditController> m_edits; // before the queue it uploads through
    std::unique_ptr<DropController> m_drops;
};

} // namespace tw::ui
