#include "ui/main_window.h"

#include "core/about/support_mail.h"
#include "core/about/web_site.h"
#include "core/accounts/account_file_commands.h"
#include "core/accounts/bookmarks.h"
#include "core/commands/command_table.h"
#include "core/commands/toolbar_layout.h"
#include "core/dnd/drop_controller.h"
#include "core/edit/remote_edit_controller.h"
#include "core/help/show_help.h"
#include "core/panes/hidden_rows.h"
#include "core/panes/local_listing.h"
#include "core/panes/local_operations.h"
#include "core/panes/local_system.h"
#include "core/panes/pane_keys.h"
#include "core/panes/pane_operations.h"
#include "core/panes/pane_sort.h"
#include "core/panes/path_history.h"
#include "core/permissions/permissions_controller.h"
#include "core/queue/queue_controller.h"
#include "core/queue/queue_rows.h"
#include "core/secrets/secret_export.h"
#include "core/session/remote_file_ops.h"
#include "core/session/session_controller.h"
#include "core/settings/settings.h"
#include "core/settings/settings_store.h"
#include "core/text/shown_text.h"
#include "core/transfer/transfer_controller.h"
#include "platform/sound.h"
#include "ui/about/about_splash.h"
#include "ui/about/desktop_launcher.h"
#include "ui/accounts/account_file_dialogs.h"
#include "ui/accounts/run_accounts_sheet.h"
#include "ui/bookmarks/bookmarks_dialog.h"
#include "ui/client_area.h"
#include "ui/command_actions.h"
#include "ui/dialogs/customize_toolbar_dialog.h"
#include "ui/dialogs/dialog_placement.h"
#include "ui/dialogs/exit_confirm_dialog.h"
#include "ui/dialogs/message_box_dialog.h"
#include "ui/dialogs/standalone_port.h"
#include "ui/display_font.h"
#include "ui/display_font_dialog.h"
#include "ui/dnd/pane_drag.h"
#include "ui/edit/edit_dialogs.h"
#include "ui/help/help_viewer.h"
#include "ui/log_pane.h"
#include "ui/main_toolbar.h"
#include "ui/options/run_options_sheet.h"
#include "ui/panes/pane_dialogs.h"
#include "ui/panes/pane_model.h"
#include "ui/panes/pane_tools.h"
#include "ui/panes/pane_view.h"
#include "ui/permissions/permissions_dialogs.h"
#include "ui/queue/queue_model.h"
#include "ui/queue/queue_pane.h"
#include "ui/quickconnect/quick_connect_bar.h"
#include "ui/secrets/password_binding.h"
#include "ui/site_import/site_import_dialogs.h"
#include "ui/ssh/host_key_dialog.h"
#include "ui/sync/compare_binding.h"
#include "ui/tls/certificate_dialog.h"
#include "ui/transfer/log_viewer_dialog.h"
#include "ui/transfer/transfer_dialogs.h"
#include "ui/tray_icon.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFile>
#include <QFontMetrics>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QSessionManager>
#include <QStatusBar>
#include <QThread>
#include <QTimer>

#include <cerrno>

namespace tw::ui {

namespace {

const QString kToolbarKey = QStringLiteral("DeskTop\\Window\\ToolBar");
constexpr int kFlushIntervalMs = 15;
// The show command a placement keeps: shown normally or maximised.
constexpr std::int32_t kShowNormal = 1;
constexpr std::int32_t kShowMaximized = 3;

QString arrangementText(const std::vector<int>& ids) {
    QStringList parts;
    for (int id : ids)
        parts << QString::number(id);
    return parts.join(QLatin1Char(','));
}

std::optional<std::vector<int>> parseArrangement(const QString& text) {
    std::vector<int> ids;
    if (text.trimmed().isEmpty())
        return ids;
    for (const QString& part : text.split(QLatin1Char(','))) {
        bool ok = false;
        const int id = part.trimmed().toInt(&ok);
        if (!ok)
            return std::nullopt;
        ids.push_back(id);
    }
    return ids;
}

} // namespace

MainWindow::MainWindow(AppState& state, AppGlobals& globals, AppRuntime& runtime,
                       SettingsStore& store, QWidget* parent)
    : QMainWindow(parent), m_state(state), m_globals(globals), m_runtime(runtime), m_store(store),
      m_messages(*this, state, globals), m_dispatcher(m_messages),
      m_sound(platform::CreateSoundPlayer()) {
    setObjectName(QStringLiteral("TarnwickAppClass"));
    setMinimumSize(620, 420);

    m_flushTimer = new QTimer(this);
    m_flushTimer->setSingleShot(true);
    m_flushTimer->setInterval(kFlushIntervalMs);
    connect(m_flushTimer, &QTimer::timeout, this, &MainWindow::flushDisplay);

    m_help = std::make_unique<HelpViewer>(m_globals, &m_store);
    m_paneDialogs = std::make_unique<PaneDialogs>(this, m_state, m_globals, helpOpener());
    buildChildren();
    // A command the rule greys (reached by its key, say) is refused with the reason.
    m_dispatcher.setGate(
        [this](CommandId id) { return RefusalTextId(currentCommandInputs(), id); });
    registerShellCommands();
    registerHelpCommands();
    registerPaneCommands();
    registerSessionCommands();
    registerTransferCommands();
    registerAboutCommands();
    registerCompareCommands();
    buildQuickConnectBar();

    // The desktop session ends: shut down as on exit; a refused disconnect keeps it going.
    connect(qApp, &QGuiApplication::commitDataRequest, this, [this](QSessionManager& manager) {
        if (!ShutdownMainWindow())
            manager.cancel();
    });
}

MainWindow::~MainWindow() = default;

std::function<void(int)> MainWindow::helpOpener() {
    return m_help->topicOpener(m_messages);
}

// Help menu: Contents, Search (the keyword index) and How to Use Help, in the help window.
void MainWindow::registerHelpCommands() {
    for (const CommandId id :
         {CommandId::HelpContents, CommandId::HelpSearch, CommandId::HelpHowToUse})
        m_dispatcher.registerHandler(
            id, [this, id] { ShowHelp(m_state, m_globals, m_messages, *m_help, toInt(id)); });
}

// The children in creation order: title, toolbar (with its saved arrangement), display font,
// tray icon, status bar, the two panes, the transfer queue pane and the log pane.
void MainWindow::buildChildren() {
    QMainWindow::setWindowTitle(m_messages.LoadStringText(1000));

    m_actions = new CommandActions(this);
    m_actions->build(menuBar());
    connect(m_actions, &CommandActions::commandTriggered, this,
            [this](int id) { m_dispatcher.dispatch(id); });
    connect(m_actions, &CommandActions::menuSelected, this, &MainWindow::ShowMenuHelp);
    for (QMenu* menu : m_actions->mainMenus())
        connect(menu, &QMenu::aboutToShow, this, &MainWindow::UpdateCommandState);

    m_client = new ClientArea(this);
    setCentralWidget(m_client);

    m_toolbar =
        new MainToolbar([this](CommandId id) { return m_actions->mainAction(id); }, m_client);
    m_toolbar->setTipsEnabled(m_state.options.Tips != 0);
    // Compact buttons, so that the whole built-in arrangement fits the narrowest window.
    m_toolbar->setStyleSheet(QStringLiteral("QToolBar { spacing: 0px; padding: 1px; }"));
    m_toolbar->setFlat(m_state.options.FlatStyle != 0);
    m_toolbar->setArrangement(ToolbarSlots());
    SaveToolbarLayout(false);
    RestoreToolbarLayout(true);
    m_toolbar->setVisible(m_state.options.ToolBar != 0);

    m_tray = new TrayIcon(this);
    connect(m_tray, &TrayIcon::leftClicked, this, [this] {
        if (isVisible() && !isMinimized())
            hide();
        else
            RestoreMainWindow();
    });
    connect(m_tray, &TrayIcon::rightClicked, this, [this] {
        RestoreMainWindow();
        requestExit();
    });
    if (m_state.options.TaskTray)
        m_tray->add(windowTitle());

    m_statusBar = new QStatusBar(m_client);
    m_statusBar->setObjectName(QStringLiteral("1003"));
    m_statusBar->setSizeGripEnabled(true);
    m_statusVisible = m_state.options.Status != 0;
    m_statusBar->setVisible(m_statusVisible);
    // Screen readers read the status line by its name: the text it shows.
    connect(m_statusBar, &QStatusBar::messageChanged, m_statusBar,
            [bar = m_statusBar](const QString& text) {
                bar->setAccessibleName(text.isEmpty() ? QStringLiteral("Status") : text);
            });
    m_statusBar->showMessage(m_messages.LoadStringText(60000));

    // Both lists start with the plain column labels; a listing adds its sort mark.
    for (PaneState* pane : {&m_state.local, &m_state.remote})
        if (pane->headers[0].isEmpty())
            pane->headers = m_state.ColumnLabels;
    auto* local = new PaneView(&m_state.local, m_client);
    local->setObjectName(QStringLiteral("9001"));
    local->setColumnWidths(m_state.LocalColumnWidths);
    m_localList = local;
    m_localLabel = new QLabel(m_client);
    m_localLabel->setObjectName(QStringLiteral("9002"));
    m_localLabel->setTextFormat(Qt::PlainText);
    auto* remote = new PaneView(&m_state.remote, m_client);
    remote->setObjectName(QStringLiteral("9003"));
    remote->setColumnWidths(m_state.RemoteColumnWidths);
    m_remoteList = remote;
    m_remoteLabel = new QLabel(m_client);
    m_remoteLabel->setObjectName(QStringLiteral("9004"));
    m_remoteLabel->setTextFormat(Qt::PlainText);
    m_localLabel->setText(m_messages.FormatResource(9002, {QString()}, 255).value_or(QString()));
    m_remoteLabel->setText(m_messages.FormatResource(9004, {QString()}, 255).value_or(QString()));
    local->setNameLabel(m_localLabel);
    remote->setNameLabel(m_remoteLabel);
    connectPaneView(m_localList, PaneSide::Local);
    connectPaneView(m_remoteList, PaneSide::Remote);
    m_paneTools = new PaneToolsBinding(
        m_state, local, remote, m_client,
        [this](const QString& folder) {
            GoToLocalFolder(m_state, m_messages, m_localSystem, folder, QDir::homePath());
            UpdateCommandState();
        },
        [this](const QString& folder) { m_session->EnterRemotePath(folder); },
        [this] { return m_messages.LoadStringText(5402); }, [this] { return bookmarkAccount(); });
    m_localTools = m_paneTools->tools(PaneSide::Local);
    m_remoteTools = m_paneTools->tools(PaneSide::Remote);

    m_queueRows = new QueueRows(this);
    m_queuePane = new QueuePane(m_queueRows, m_client);
    m_queuePane->setObjectName(QStringLiteral("queue"));
    m_queuePane->setVisible(m_state.options.TransferQueue != 0);

    auto* log = new LogPane(m_client);
    log->setObjectName(QStringLiteral("9005"));
    m_logPane = log;
    applyReadableSizes();

    applyDisplayFont();
    OnThemePaletteChange(this, [this] { applyDisplayFont(); });
    if (m_globals.FirstStart) {
        // The first-start widths suit a narrower font than the desktop's: widen the date
        // columns so that a whole date text fits in the panes' font.
        const int date =
            m_localList->fontMetrics().horizontalAdvance(QStringLiteral("00-Mmm-0000 - 00:00:00")) +
            16;
        for (auto* widths : {&m_state.LocalColumnWidths, &m_state.RemoteColumnWidths})
            (*widths)[1] = std::max((*widths)[1], date);
        local->setColumnWidths(m_state.LocalColumnWidths);
        remote->setColumnWidths(m_state.RemoteColumnWidths);
    }
    m_client->setResizeHandler([this] { LayoutMainWindow(); });
    m_localList->setFocus();
}

void MainWindow::connectPaneView(QWidget* view, PaneSide side) {
    auto* pane = qobject_cast<PaneView*>(view);
    if (!pane)
        return;
    connect(pane, &PaneView::contextMenuWanted, this, [this, pane, side](QPoint global) {
        // Only a click on a row opens the menu; empty space below the rows does not.
        if (pane->rowAt(pane->viewport()->mapFromGlobal(global)) < 0)
            return;
        if (side == PaneSide::Local)
            ShowLocalContextMenu(global);
        else
            ShowRemoteContextMenu(global);
    });
    connect(pane, &PaneView::selectionCountChanged, this, &MainWindow::UpdateCommandState);
    connect(pane, &PaneView::rowDoubleClicked, this,
            [this, side](int row) { onRowDoubleClicked(side, row); });
    connect(pane, &PaneView::headerClicked, this,
            [this, side](int column) { onHeaderClicked(side, column); });
    connect(pane, &PaneView::keyCommand, this,
            [this, side](PaneKeyCommand command, int row) { onPaneKey(side, command, row); });
}

void MainWindow::onPaneKey(PaneSide side, PaneKeyCommand command, int row) {
    const PaneState& pane = side == PaneSide::Local ? m_state.local : m_state.remote;
    const bool local = side == PaneSide::Local;
    switch (command) {
    case PaneKeyCommand::Open:
        if (EnterActionFor(pane, side, row) == EnterAction::OpenRow)
            onRowDoubleClicked(side, row);
        else if (local)
            m_dispatcher.dispatch(toInt(CommandId::LocalEdit));
        break;
    case PaneKeyCommand::Up:
        if (const int parent = ParentRowOf(pane); parent >= 0)
            onRowDoubleClicked(side, parent);
        break;
    case PaneKeyCommand::Rename:
        if (CanRenameRow(pane, row))
            m_dispatcher.dispatch(toInt(local ? CommandId::LocalRename : CommandId::RemoteRename));
        else
            beep();
        break;
    }
}

void MainWindow::applyReadableSizes() {
    const bool readable = m_state.options.ReadableSizes != 0;
    for (QWidget* view : {m_localList, m_remoteList})
        if (auto* pane = qobject_cast<PaneView*>(view))
            pane->paneModel()->setReadableSizes(readable);
    m_queuePane->queueModel()->setReadableSizes(readable);
}

// Every notification of a list ends with the command states recomputed.
void MainWindow::onRowDoubleClicked(PaneSide side, int row) {
    if (side == PaneSide::Local) {
        ActivateLocalRow(PaneContext{m_state, m_messages, *this}, m_localSystem, row);
    } else if (row >= 0 && m_enterRemoteFolder) {
        // The session decides: a folder or a link is entered while connected and not busy.
        m_enterRemoteFolder(row);
    }
    UpdateCommandState();
}

void MainWindow::onHeaderClicked(PaneSide side, int column) {
    if (side == PaneSide::Local)
        SetPaneSortKey(m_messages, m_state, m_state.local, PaneSide::Local, column);
    else if (!m_runtime.busy)
        SetPaneSortKey(m_messages, m_state, m_state.remote, PaneSide::Remote, column);
    UpdateCommandState();
}

std::vector<int> MainWindow::selection(PaneSide side) const {
    const auto* pane =
        qobject_cast<const PaneView*>(side == PaneSide::Local ? m_localList : m_remoteList);
    return pane ? pane->selectedRows() : std::vector<int>{};
}

// Bookmarks belong to the table's account of the session; a quick connection has none.
int MainWindow::bookmarkAccount() const {
    return m_session && m_session->quickAccount() ? -1 : m_state.CurrentAccount;
}

void MainWindow::registerPaneCommands() {
    auto& d = m_dispatcher;
    const auto context = [this] { return PaneContext{m_state, m_messages, *this}; };
    d.registerHandler(CommandId::LocalRefresh,
                      [this] { ListLocalDirectory(m_state, m_messages, m_localSystem); });
    d.registerHandler(CommandId::LocalMakeDirectory,
                      [this, context] { MakeLocalDirectory(context(), m_localSystem); });
    d.registerHandler(CommandId::LocalChangeDirectory,
                      [this, context] { ChangeLocalDirectory(context(), m_localSystem); });
    d.registerHandler(CommandId::LocalEdit, [this, context] {
        EditLocalFile(context(), m_localSystem, selection(PaneSide::Local));
    });
    d.registerHandler(CommandId::LocalProperties, [this, context] {
        ShowLocalProperties(context(), m_localSystem, selection(PaneSide::Local));
    });
    d.registerHandler(CommandId::LocalRename, [this, context] {
        RenameLocalEntry(context(), m_localSystem, selection(PaneSide::Local));
    });
    d.registerHandler(CommandId::LocalMove, [this, context] {
        MoveLocalFiles(context(), m_localSystem, selection(PaneSide::Local));
    });
    d.registerHandler(CommandId::LocalDelete, [this, context] {
        DeleteLocalFiles(context(), m_localSystem, selection(PaneSide::Local));
    });
    const std::pair<CommandId, PaneSide> selectAll[] = {
        {CommandId::LocalSelectAll, PaneSide::Local},
        {CommandId::RemoteSelectAll, PaneSide::Remote}};
    for (const auto& [id, side] : selectAll)
        d.registerHandler(id, [this, side = side] {
            auto* view =
                qobject_cast<PaneView*>(side == PaneSide::Local ? m_localList : m_remoteList);
            view->selectRows(SelectAllRows(PaneOf(m_state, side),
                                           [view](int row) { return view->isRowShown(row); }));
        });
    d.registerHandler(CommandId::ViewHiddenFiles,
                      [this] { ToggleHiddenFiles(m_state, m_messages, m_localSystem); });
    d.registerHandler(CommandId::ViewReadableSizes, [this] {
        m_state.options.ReadableSizes = m_state.options.ReadableSizes ? 0 : 1;
        applyReadableSizes();
    });
    d.registerHandler(CommandId::GoToFolder, [this] { m_paneTools->focusPathBox(); });
    d.registerHandler(CommandId::FilterRows, [this] { m_paneTools->focusFilterBox(); });
    for (int key = 0; key < 4; ++key) {
        d.registerHandler(CommandId(toInt(CommandId::LocalSortName) + key), [this, key] {
            SetPaneSortKey(m_messages, m_state, m_state.local, PaneSide::Local, key);
        });
        d.registerHandler(CommandId(toInt(CommandId::RemoteSortName) + key), [this, key] {
            SetPaneSortKey(m_messages, m_state, m_state.remote, PaneSide::Remote, key);
        });
    }
}

// Connection, remote listing and remote file commands, and the account file commands.
void MainWindow::registerSessionCommands() {
    m_passwords =
        std::make_unique<PasswordBinding>(this, m_state, m_messages, m_store.fileName(), [this] {
            SaveSettings(m_store, m_state, m_globals, &m_messages);
        });
    const auto save = [this](const AppState& state) { return saveAccounts(state); };
    const auto help = helpOpener();
    SessionController::Hooks hooks;
    hooks.showAccountsSheet = [this, save, help] {
        CloseAboutSplash();
        return RunAccountsSheet(this, m_state, m_messages, true, save, help).has_value();
    };
    hooks.listLocalDirectory = [this] { ListLocalDirectory(m_state, m_messages, m_localSystem); };
    m_session = std::make_unique<SessionController>(m_state, m_runtime, m_messages, *this, hooks);
    PasswordKeeper* keeper = &m_passwords->keeper();
    m_session->setPasswordSource(
        [keeper](const AccountRecord& account) { return keeper->passwordFor(account); });
    m_session->setPassphraseStore(
        {[keeper](const QString& keyFile) { return keeper->storedPassphrase(keyFile); },
         [keeper](const QString& keyFile, const QString& passphrase) {
             keeper->keepPassphrase(keyFile, passphrase);
         }});
    // An older version's scrambled passwords move to their store once the window is up.
    keeper->keepPendingSoon();
    m_certificates = std::make_unique<CertificateTrust>(&m_store);
    m_session->setCertificateTrust(m_certificates.get());
    setDisconnectHandler([this] { return m_session->Disconnect(true); });
    setRemoteFolderHandler([this](int row) { m_session->EnterRemoteFolder(row); });
    m_session->showNotConnected();

    auto& d = m_dispatcher;
    d.registerHandler(CommandId::Connect, [this] {
        update();
        m_session->Connect();
    });
    d.registerHandler(CommandId::ReConnect, [this] { m_session->Reconnect(); });
    d.registerHandler(CommandId::Disconnect, [this] {
        if (m_session->Disconnect(false)) {
            m_transferQueue->disconnected();
            m_permissions->stop();
        }
    });
    d.registerHandler(CommandId::RemoteRefresh, [this] { m_session->StartRemoteListing(); });
    const auto context = [this] { return PaneContext{m_state, m_messages, *this}; };
    d.registerHandler(CommandId::RemoteMakeDirectory, [this, context] {
        RemoteFileOps ops(*m_session);
        MakeDirectory(context(), ops);
    });
    d.registerHandler(CommandId::RemoteRename, [this, context] {
        RemoteFileOps ops(*m_session);
        RenameEntry(context(), ops, selection(PaneSide::Remote));
    });
    d.registerHandler(CommandId::RemoteDelete, [this, context] {
        RemoteDelete(context(), *m_session, selection(PaneSide::Remote));
    });
    d.registerHandler(CommandId::RemoteProperties, [this, context] {
        ShowRemoteProperties(context(), selection(PaneSide::Remote));
    });
    m_permissionDialogs = std::make_unique<PermissionsDialogs>(this);
    m_permissions = std::make_unique<PermissionsController>(m_state, m_runtime, m_messages,
                                                            *m_session, *m_permissionDialogs);
    d.registerHandler(CommandId::RemotePermissions,
                      [this] { m_permissions->ChangePermissions(selection(PaneSide::Remote)); });
    d.registerHandler(CommandId::AddBookmark, [this, save] {
        if (AddCurrentBookmark(m_state, bookmarkAccount(), m_messages, save))
            m_paneTools->refreshChoices();
    });
    d.registerHandler(CommandId::Bookmarks, [this, save] {
        BookmarksDialogPort port(this);
        const std::optional<QString> folder =
            ShowBookmarks(m_state, bookmarkAccount(), m_messages, port, save);
        m_paneTools->refreshChoices();
        if (folder)
            m_session->EnterRemotePath(*folder);
    });
    d.registerHandler(CommandId::Import, [this, save] {
        AccountFileDialogs dialogs(this);
        RunImport(m_state, m_messages, dialogs, save);
    });
    d.registerHandler(CommandId::Export, [this] {
        StartExport(m_state, m_messages, *m_passwords, m_passwords->keeper(),
                    [this](const ExportPasswords& passwords) {
                        AccountFileDialogs dialogs(this);
                        RunExport(m_state, m_messages, dialogs, QDateTime(), passwords);
                    });
    });
    // Other clients' sites; the passwords read with them go to their store.
    for (const auto& [id, kind] :
         {std::pair{CommandId::ImportFileZilla, SiteImportKind::FileZilla},
          std::pair{CommandId::ImportSshConfig, SiteImportKind::SshConfig}})
        d.registerHandler(id, [this, save, kind = kind] {
            RunSiteImportCommand(
                this, kind, m_state, m_messages, save,
                [this](const std::vector<int>&) { m_passwords->keeper().keepPendingSoon(); });
        });
}

// Transfer (Download) and (Upload), and Stop: the progress window's Cancel, the Stop Transfer
// command and Escape stop a transfer; while a listing runs, Stop cancels the listing.
void MainWindow::registerTransferCommands() {
    m_transferDialogs = std::make_unique<TransferDialogs>(
        this, m_state, m_globals, helpOpener(), [this] { beep(); },
        [this] { m_transfers->Stop(); });
    QueueController::Hooks queueHooks;
    queueHooks.relist = [this](PaneSide side) {
        if (side == PaneSide::Remote)
            m_session->StartRemoteListing(); // skipped while the user's own listing runs
        else
            ListLocalDirectory(m_state, m_messages, m_localSystem);
    };
    queueHooks.runningChanged = [this](bool running) {
        m_runtime.transfersRunning = running;
        updateCommandState();
    };
    m_transferQueue = std::make_unique<QueueController>(
        m_state, m_globals, m_messages, *m_transferDialogs, *m_session, *m_queueRows, queueHooks);
    connect(m_queuePane, &QueuePane::commandRequested, this,
            [this](QueueCommand command, const std::vector<std::int64_t>& ids) {
                switch (command) {
                case QueueCommand::Stop:
                    m_transferQueue->stop(ids);
                    break;
                case QueueCommand::StartAgain:
                    m_transferQueue->startAgain(ids);
                    break;
                case QueueCommand::RetryFailed:
                    m_transferQueue->retryFailed();
                    break;
                case QueueCommand::Remove:
                    m_transferQueue->remove(ids);
                    break;
                case QueueCommand::ClearFinished:
                    m_transferQueue->clearFinished();
                    break;
                case QueueCommand::MoveUp:
                    m_transferQueue->moveUp(ids);
                    break;
                case QueueCommand::MoveDown:
                    m_transferQueue->moveDown(ids);
                    break;
                }
            });
    if (!m_globals.logPath.isEmpty())
        m_transferQueue->openStore(QueueStore::FolderOf(m_globals.logPath));
    m_transfers =
        std::make_unique<TransferController>(m_state, m_globals, m_runtime, m_messages,
                                             *m_transferDialogs, *m_session, *m_transferQueue);
    m_drops = std::make_unique<DropController>(
        m_state, m_runtime, m_messages, *m_session, *m_transfers,
        DropController::Hooks{[this] { ListLocalDirectory(m_state, m_messages, m_localSystem); }});
    new PaneDrag(qobject_cast<PaneView*>(m_localList), PaneSide::Local, *m_drops, *m_transfers);
    new PaneDrag(qobject_cast<PaneView*>(m_remoteList), PaneSide::Remote, *m_drops, *m_transfers);
    auto& d = m_dispatcher;
    d.registerHandler(CommandId::Download,
                      [this] { m_transfers->StartDownload(selection(PaneSide::Remote)); });
    d.registerHandler(CommandId::Upload,
                      [this] { m_transfers->StartUpload(selection(PaneSide::Local)); });
    d.registerHandler(CommandId::StopTransfer, [this] {
        if (!m_transfers->Stop())
            m_session->abortEngine();
    });
    m_editDialogs = std::make_unique<EditDialogs>(this, m_messages);
    m_edits = std::make_unique<RemoteEditController>(
        m_state, m_messages, *m_editDialogs, *m_transferQueue, *m_session, m_localSystem,
        RemoteEditController::Hooks{
            [this] { QTimer::singleShot(0, this, [this] { requestExit(); }); }});
    m_editDialogs->setController(m_edits.get());
    d.registerHandler(CommandId::RemoteEdit,
                      [this] { m_edits->editSelected(selection(PaneSide::Remote)); });
    d.registerHandler(CommandId::EditedFiles, [this] { m_editDialogs->showEditedFiles(); });
}

void MainWindow::buildQuickConnectBar() {
    QuickConnectBar::Hooks hooks;
    hooks.disconnect = [this] {
        if (!m_session->Disconnect(true))
            return false;
        m_transferQueue->disconnected();
        return true;
    };
    hooks.runAccountsSheet = [this, help = helpOpener()](AppState& draft) {
        return RunAccountsSheet(this, draft, m_messages, false, {}, help).has_value();
    };
    hooks.saveSettings = [this](const AppState& state) { return saveAccounts(state); };
    m_quickConnectBar = new QuickConnectBar(m_state, m_runtime, m_messages, *m_session, m_store,
                                            std::move(hooks), m_client);
    m_quickConnectBar->setVisible(m_state.options.QuickConnectBar != 0);
    // Tab runs from the bar to the panes, as they stand on screen.
    m_paneTools->orderTabsAfter(m_quickConnectBar->lastInTabOrder());
    m_dispatcher.registerHandler(CommandId::ViewQuickConnect, [this] {
        m_state.options.QuickConnectBar = m_state.options.QuickConnectBar ? 0 : 1;
        m_quickConnectBar->setVisible(m_state.options.QuickConnectBar != 0);
        LayoutMainWindow();
    });
}

void MainWindow::registerShellCommands() {
    auto& d = m_dispatcher;
    d.registerHandler(CommandId::Exit, [this] { requestExit(); });
    d.registerHandler(CommandId::ViewToolbar, [this] {
        m_state.options.ToolBar = m_state.options.ToolBar ? 0 : 1;
        ShowToolbar(m_state.options.ToolBar != 0);
    });
    d.registerHandler(CommandId::ViewStatus, [this] {
        m_state.options.Status = m_state.options.Status ? 0 : 1;
        ShowStatusBar(m_state.options.Status != 0);
    });
    d.registerHandler(CommandId::ViewQueue, [this] {
        m_state.options.TransferQueue = m_state.options.TransferQueue ? 0 : 1;
        ShowTransferQueue(m_state.options.TransferQueue != 0);
    });
    d.registerHandler(CommandId::CustomizeToolbar, [this] { CustomizeToolbar(); });
    d.registerHandler(CommandId::Minimize, [this] { showMinimized(); });
    d.registerHandler(CommandId::AlwaysOnTop, [this] {
        m_state.options.TopMost = m_state.options.TopMost ? 0 : 1;
        SetTopmost(m_state.options.TopMost != 0);
    });
    d.registerHandler(CommandId::Font, [this] { ChooseDisplayFont(); });
    d.registerHandler(CommandId::ClearLog, [this] { clearLog(); });
    d.registerHandler(CommandId::TransferLog, [this] {
        RunTransferLogViewer(this, m_state, m_globals, m_messages, helpOpener());
    });
    d.registerHandler(CommandId::Accounts, [this] {
        RunAccountsSheet(
            this, m_state, m_messages, false,
            [this](const AppState& state) { return saveAccounts(state); }, helpOpener());
    });
    const std::pair<CommandId, OptionsPage> sheetCommands[] = {
        {CommandId::Options, OptionsPage::General},
        {CommandId::SortSettings, OptionsPage::Sorting},
        {CommandId::Setup, OptionsPage::Setup},
        {CommandId::Version, OptionsPage::Version}};
    for (const auto& [id, page] : sheetCommands)
        d.registerHandler(id, [this, page = page] { OpenOptionsSheet(page); });
}

// About (999), the web site (997) and the support mail (996).
void MainWindow::registerAboutCommands() {
    auto launcher = std::make_shared<DesktopLauncher>();
    auto& d = m_dispatcher;
    d.registerHandler(CommandId::About, [this] { ShowAboutSplash(m_messages); });
    d.registerHandler(CommandId::WebSite, [this, launcher] { OpenWebSite(m_messages, launcher); });
    d.registerHandler(CommandId::SendEmail, [this, launcher] {
        SendSupportMail(m_messages, *launcher, [this] { showMinimized(); });
    });
}

void MainWindow::registerCompareCommands() {
    PaneCompare::Hooks hooks;
    hooks.session = [this] {
        PaneCompare::Session session;
        const SessionController::ListingKind kind = m_session->listingKind();
        session.exactRemoteTimes = kind.exactTimes;
        session.remoteIgnoresCase = kind.namesIgnoreCase;
        if (const auto& quick = m_session->quickAccount()) {
            session.quickOffset = quick->TimeOffset;
            session.quickKey = SessionController::ServerAddress(*quick) + u':' +
                               QString::number(SessionController::EffectivePort(*quick)) + u' ' +
                               quick->Login;
        } else {
            session.tableRow = m_state.CurrentAccount;
        }
        return session;
    };
    hooks.saveAccounts = [this](const AppState& state) { return saveAccounts(state); };
    m_compare = new CompareBinding(m_state, m_runtime, m_messages, std::move(hooks),
                                   qobject_cast<PaneView*>(m_localList),
                                   qobject_cast<PaneView*>(m_remoteList), this);
    m_dispatcher.registerHandler(CommandId::CompareFolders, [this] {
        m_compare->toggleCompare();
        UpdateCommandState();
    });
    m_dispatcher.registerHandler(CommandId::ShowOnlyDifferences, [this] {
        m_compare->toggleOnlyDifferences();
        UpdateCommandState();
    });
}

// After a sheet, an import or a quick connect's "Save as account": the settings, and the
// passwords typed into the table go to their store (once the sheet's copy is the state again).
bool MainWindow::saveAccounts(const AppState& state) {
    m_passwords->keeper().keepPendingSoon();
    return SaveSettings(m_store, state, m_globals, &m_messages);
}

void MainWindow::OpenOptionsSheet(OptionsPage page) {
    CloseAboutSplash();
    OptionsEffects effects = SharedOptionsEffects(m_store, m_globals, m_messages);
    effects.setTrayIcon = [this](bool) { TaskTrayOptionChanged(); };
    effects.repaint = [this] {
        m_toolbar->setTipsEnabled(m_state.options.Tips != 0);
        update();
    };
    effects.changeMasterPassword = [this] { m_passwords->keeper().changeMasterPassword(); };
    const std::uint32_t store = m_state.options.PasswordStore;
    RunOptionsSheet(this, m_state, m_globals, m_messages, int(page), effects, helpOpener());
    // Another store chosen: the kept passwords move to it.
    if (m_state.options.PasswordStore != store)
        m_passwords->keeper().keepPending(true);
}

// ---- UI port --------------------------------------------------------------------------------

bool MainWindow::onUiThread() const {
    return QThread::currentThread() == thread();
}

void MainWindow::scheduleFlush() {
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (!m_flushTimer->isActive())
                m_flushTimer->start();
        },
        Qt::QueuedConnection);
}

void MainWindow::flushDisplay() {
    DisplayQueue::Batch batch = m_queue.take();
    if (!batch.empty())
        applyBatch(std::move(batch));
}

void MainWindow::applyBatch(DisplayQueue::Batch batch) {
    auto* log = static_cast<LogPane*>(m_logPane);
    if (batch.clearLogFirst)
        log->clear();
    if (!batch.logLines.isEmpty()) {
        log->appendLines(batch.logLines);
        log->repaint();
    }
    if (batch.status)
        showStatusNow(*batch.status);
    if (batch.title)
        setTitleNow(*batch.title);
    for (const auto& [kind, on] : batch.cursors)
        setCursorNow(kind, on);
    if (batch.refreshLocal)
        refreshPaneNow(PaneSide::Local);
    if (batch.refreshRemote)
        refreshPaneNow(PaneSide::Remote);
    if (batch.updateCommands)
        UpdateCommandState();
    if (batch.beep)
        QApplication::beep();
}

void MainWindow::appendLog(const QString& line) {
    if (m_queue.appendLog(line) || onUiThread()) {
        if (onUiThread())
            flushDisplay();
        else
            scheduleFlush();
    }
}

void MainWindow::clearLog() {
    if (m_queue.clearLog() || onUiThread()) {
        if (onUiThread())
            flushDisplay();
        else
            scheduleFlush();
    }
}

bool MainWindow::showStatus(const QString& text) {
    if (!m_statusVisible)
        return false;
    if (onUiThread()) {
        flushDisplay();
        showStatusNow(text);
    } else if (m_queue.setStatus(text)) {
        scheduleFlush();
    }
    return true;
}

void MainWindow::showStatusNow(const QString& text) {
    if (!m_statusBar->isVisibleTo(this))
        return;
    // File names in the text are a server's: no override may reorder the line.
    m_statusBar->showMessage(ShownText(text, ftp::LineBreaks::Space));
    m_statusBar->repaint();
}

bool MainWindow::showBox(const BoxRequest& request) {
    if (!onUiThread()) {
        bool answer = false;
        QMetaObject::invokeMethod(
            this, [this, &request] { return showBox(request); }, Qt::BlockingQueuedConnection,
            &answer);
        return answer;
    }
    // Lines logged before the question are on screen when it is asked.
    flushDisplay();
    return ShowMessageBox(this, request) != 0;
}

template <typename Result, typename Call>
Result MainWindow::onUiThreadBlocking(Call call) {
    if (onUiThread()) {
        flushDisplay();
        return call();
    }
    Result result{};
    QMetaObject::invokeMethod(this, call, Qt::BlockingQueuedConnection, &result);
    return result;
}

CertificateAnswer MainWindow::askCertificate(const CertificateRequest& request) {
    return onUiThreadBlocking<CertificateAnswer>(
        [this, &request] { return AskCertificate(this, request); });
}

HostKeyAnswer MainWindow::askHostKey(const HostKeyRequest& request) {
    return onUiThreadBlocking<HostKeyAnswer>(
        [this, &request] { return AskHostKey(this, request); });
}

std::optional<PassphraseAnswer> MainWindow::askPassphrase(const PassphraseRequest& request) {
    return onUiThreadBlocking<std::optional<PassphraseAnswer>>(
        [this, &request] { return AskPassphrase(this, request); });
}

std::optional<QString> MainWindow::askName(const NameRequest& request) {
    return onUiThreadBlocking<std::optional<QString>>(
        [this, &request] { return m_paneDialogs->askName(request); });
}

void MainWindow::endNameDialog(NameDialogKind kind, bool succeeded) {
    onUiThreadBlocking<bool>([this, kind, succeeded] {
        m_paneDialogs->endNameDialog(kind, succeeded);
        return true;
    });
}

DeleteAnswer MainWindow::askDelete(const DeleteRequest& request) {
    return onUiThreadBlocking<DeleteAnswer>(
        [this, &request] { return m_paneDialogs->askDelete(request); });
}

std::optional<QString> MainWindow::askFolder(const FolderRequest& request) {
    return onUiThreadBlocking<std::optional<QString>>(
        [this, &request] { return m_paneDialogs->askFolder(request); });
}

bool MainWindow::showProperties(const PropertiesData& data) {
    return onUiThreadBlocking<bool>([this, &data] { return m_paneDialogs->showProperties(data); });
}

void MainWindow::beep() {
    if (m_sound->playEvent(QString::fromLatin1(platform::kInformationEvent)))
        return;
    if (onUiThread())
        QApplication::beep();
    else if (m_queue.beep())
        scheduleFlush();
}

bool MainWindow::playWave(const QString& path) {
    return m_sound->playWave(path);
}

void MainWindow::setCursor(CursorKind kind, bool on) {
    if (onUiThread()) {
        flushDisplay();
        setCursorNow(kind, on);
    } else if (m_queue.setCursor(kind, on)) {
        scheduleFlush();
    }
}

void MainWindow::setCursorNow(CursorKind kind, bool on) {
    ApplyOverrideCursor(kind, on);
}

void MainWindow::updateCommandState() {
    if (onUiThread()) {
        flushDisplay();
        UpdateCommandState();
    } else if (m_queue.updateCommandState()) {
        scheduleFlush();
    }
}

void MainWindow::refreshPane(PaneSide side) {
    if (onUiThread()) {
        flushDisplay();
        refreshPaneNow(side);
    } else if (m_queue.refreshPane(side)) {
        scheduleFlush();
    }
}

void MainWindow::refreshPaneNow(PaneSide side) {
    if (side == PaneSide::Local)
        m_localLabel->setText(
            m_messages.FormatResource(9002, {m_state.local.path}, 255).value_or(QString()));
    else // the session writes the remote label: the listing's folder, or why there is none
        m_remoteLabel->setText(
            !m_state.remote.label.isEmpty()
                ? m_state.remote.label
                : m_messages.FormatResource(9004, {m_state.remote.path}, 255).value_or(QString()));
    if (auto* pane = qobject_cast<PaneView*>(side == PaneSide::Local ? m_localList : m_remoteList))
        pane->reload();
    if (m_compare) // both folders compared again, or the compare ended with the connection
        m_compare->paneReloaded();
    if (m_paneRefresh)
        m_paneRefresh(side);
}

void MainWindow::runOnUiThread(std::function<void()> task) {
    if (onUiThread()) {
        task();
        return;
    }
    QMetaObject::invokeMethod(this, std::move(task), Qt::QueuedConnection);
}

void MainWindow::setWindowTitle(const QString& title) {
    if (onUiThread()) {
        flushDisplay();
        setTitleNow(title);
    } else if (m_queue.setTitle(title)) {
        scheduleFlush();
    }
}

void MainWindow::setTitleNow(const QString& title) {
    QMainWindow::setWindowTitle(CutText(title, 255));
    updateTray();
}

QString MainWindow::statusText() const {
    return m_statusBar->currentMessage();
}

QStringList MainWindow::logLines() const {
    QStringList lines;
    const auto* log = static_cast<const LogPane*>(m_logPane);
    for (int i = 0; i < log->lineCount(); ++i)
        lines << log->line(i);
    return lines;
}

// ---- Window ---------------------------------------------------------------------------------

void MainWindow::showAtStart() {
    // The placement is the client rectangle, as ShutdownMainWindow takes it.
    const WindowPlacement& p = m_state.placement(Placement::Main);
    const QSize size(std::max(p.Width, minimumWidth()), std::max(p.Height, minimumHeight()));
    if (m_globals.fixedPositionOff)
        resize(size);
    else
        setGeometry(QRect(QPoint(p.Left, p.Top), size));
    if (m_state.options.TopMost)
        setWindowFlag(Qt::WindowStaysOnTopHint, true);
    // Maximised as it was left; the rectangle above stays the one un-maximising returns to.
    if (!m_globals.fixedPositionOff && p.Show == kShowMaximized)
        setWindowState(windowState() | Qt::WindowMaximized);
    if (m_state.options.Minimize) {
        showMinimized();
    } else {
        show();
    }
    LayoutMainWindow();
}

void MainWindow::setLocalStartFolder(const QString& folder) {
    ChangeLocalFolder(m_state, m_messages, QFile::encodeName(folder));
    ListLocalDirectory(m_state, m_messages, m_localSystem);
    refreshPaneNow(PaneSide::Local);
}

int MainWindow::selectedRows(QWidget* view) const {
    const auto* pane = qobject_cast<const PaneView*>(view);
    return pane ? pane->selectedCount() : 0;
}

CommandInputs MainWindow::currentCommandInputs() const {
    return CommandInputs::From(m_state, m_runtime, m_globals, selectedRows(m_localList),
                               selectedRows(m_remoteList));
}

CommandStates MainWindow::currentCommandStates() const {
    return tw::UpdateCommandState(currentCommandInputs());
}

void MainWindow::UpdateCommandState() {
    m_actions->apply(currentCommandStates());
    if (m_quickConnectBar)
        m_quickConnectBar->updateState();
}

void MainWindow::UpdateMainWindowTitle() {
    // Connected means there is a session controller.
    const QString title = m_runtime.connected && m_session
                              ? m_session->connectedTitle(m_state.remote.site)
                              : m_messages.LoadStringText(1000);
    setWindowTitle(title);
}

void MainWindow::TaskTrayOptionChanged() {
    m_tray->remove();
    if (m_state.options.TaskTray)
        m_tray->add(windowTitle());
}

void MainWindow::updateTray() {
    m_tray->update(m_state.options.TaskTray != 0, windowTitle());
}

void MainWindow::RestoreMainWindow() {
    BringToFront(this);
    SetTopmost(m_state.options.TopMost != 0);
    update();
}

void MainWindow::raiseFromSecondStart() {
    RestoreMainWindow();
    QApplication::beep();
    emit raised();
}

void MainWindow::SetTopmost(bool on) {
    if (windowFlags().testFlag(Qt::WindowStaysOnTopHint) == on)
        return;
    const bool visible = isVisible();
    setWindowFlag(Qt::WindowStaysOnTopHint, on);
    if (visible)
        show(); // changing the flags hides the window
}

bool MainWindow::ShowToolbar(bool show) {
    if (!m_toolbar)
        return false;
    m_toolbar->setVisible(show);
    LayoutMainWindow();
    return true;
}

bool MainWindow::ShowStatusBar(bool show) {
    if (!m_statusBar)
        return false;
    m_statusBar->setVisible(show);
    m_statusVisible = show;
    LayoutMainWindow();
    return true;
}

bool MainWindow::ShowTransferQueue(bool show) {
    if (!m_queuePane)
        return false;
    m_queuePane->setVisible(show);
    LayoutMainWindow();
    return true;
}

MainWindowLayoutInput MainWindow::layoutInput() const {
    MainWindowLayoutInput in;
    in.clientWidth = m_client->width();
    in.clientHeight = m_client->height();
    in.toolbarVisible = m_toolbar->isVisibleTo(this);
    in.toolbarHeight = m_toolbar->sizeHint().height();
    in.statusVisible = m_statusBar->isVisibleTo(this);
    in.statusHeight = m_statusBar->sizeHint().height();
    in.hasMenu = menuBar() != nullptr;
    in.toolbarOption = m_state.options.ToolBar != 0;
    in.queueVisible = m_queuePane->isVisibleTo(this);
    if (m_quickConnectBar && m_quickConnectBar->isVisibleTo(this))
        in.quickConnectHeight = m_quickConnectBar->sizeHint().height();
    if (m_localTools)
        in.paneToolsHeight = m_localTools->sizeHint().height();
    return in;
}

void MainWindow::LayoutMainWindow() {
    if (!m_logPane)
        return; // still being created
    const MainWindowLayout layout = tw::ui::LayoutMainWindow(layoutInput());
    if (m_toolbar->isVisibleTo(this))
        m_toolbar->setGeometry(layout.toolbar);
    if (m_statusBar->isVisibleTo(this)) {
        m_statusBar->setGeometry(layout.statusBar);
        showStatus(m_messages.LoadStringText(60000));
    }
    m_localLabel->setGeometry(layout.localLabel);
    m_localList->setGeometry(layout.localList);
    m_remoteLabel->setGeometry(layout.remoteLabel);
    m_remoteList->setGeometry(layout.remoteList);
    if (m_queuePane->isVisibleTo(this))
        m_queuePane->setGeometry(layout.queuePane);
    if (m_quickConnectBar && m_quickConnectBar->isVisibleTo(this))
        m_quickConnectBar->setGeometry(layout.quickConnect);
    if (m_localTools && m_remoteTools) {
        m_localTools->setGeometry(layout.localTools);
        m_remoteTools->setGeometry(layout.remoteTools);
    }
    m_logPane->setGeometry(layout.logPane);
    m_client->setSeparator(layout.separator);
}

void MainWindow::SaveToolbarLayout(bool custom) {
    if (!m_toolbar)
        return;
    m_store.WriteSettingString(kToolbarKey,
                               custom ? QStringLiteral("Custom") : QStringLiteral("Standard"),
                               arrangementText(m_toolbar->arrangement()));
}

void MainWindow::RestoreToolbarLayout(bool custom) {
    const QString value = custom ? QStringLiteral("Custom") : QStringLiteral("Standard");
    if (!m_toolbar || !m_store.ValueExists(kToolbarKey, value))
        return;
    const auto ids =
        parseArrangement(m_store.ReadSettingString(kToolbarKey, value, QString(), 1023));
    if (!ids)
        return;
    if (const auto layout = ToolbarFromArrangement(*ids))
        m_toolbar->setArrangement(*layout);
    LayoutMainWindow();
}

void MainWindow::CustomizeToolbar() {
    std::vector<ToolbarButtonInfo> buttons;
    for (const ToolbarSlot& slot : ToolbarButtons()) {
        QAction* action = m_actions->mainAction(slot.id);
        buttons.push_back({toInt(slot.id), action ? action->iconText() : QString(),
                           action ? action->icon() : QIcon()});
    }
    std::vector<int> standard = StandardToolbarArrangement();
    if (m_store.ValueExists(kToolbarKey, QStringLiteral("Standard"))) {
        const auto stored = parseArrangement(
            m_store.ReadSettingString(kToolbarKey, QStringLiteral("Standard"), QString(), 1023));
        if (stored && ToolbarFromArrangement(*stored))
            standard = *stored;
    }
    const auto apply = [this](const std::vector<int>& ids) {
        if (const auto layout = ToolbarFromArrangement(ids)) {
            m_toolbar->setArrangement(*layout);
            LayoutMainWindow();
        }
    };
    m_messages.ShowStatus(303);
    const std::vector<int> result = tw::ui::CustomizeToolbar(
        this, buttons, m_toolbar->arrangement(), standard, apply, [this] { helpOpener()(550); });
    apply(result);
    SaveToolbarLayout(true);
    SaveSettings(m_store, m_state, m_globals, &m_messages);
    update();
}

void MainWindow::applyDisplayFont() {
    const QFont font = FontFromSetting(m_globals.paneFont);
    const QColor colour = ColourFromSetting(m_globals.paneFont);
    const std::initializer_list<QWidget*> targets = {m_localList,  m_localLabel, m_remoteLabel,
                                                     m_remoteList, m_queuePane,  m_logPane};
    for (QWidget* w : targets)
        ApplyDisplayFont(w, font, colour);
    m_client->update();
}

void MainWindow::ChooseDisplayFont() {
    m_messages.ShowStatus(430);
    const QFont current = FontFromSetting(m_globals.paneFont);
    const QColor colour = ColourFromSetting(m_globals.paneFont);
    std::optional<std::pair<QFont, QColor>> chosen;
    if (m_fontChooser) {
        chosen = m_fontChooser(current, colour);
    } else {
        DisplayFontDialog dialog(current, colour, this);
        if (dialog.exec() == QDialog::Accepted)
            chosen = std::make_pair(dialog.selectedFont(), dialog.selectedColour());
    }
    if (!chosen)
        return;
    m_globals.paneFont = SettingFromFont(chosen->first, chosen->second, m_globals.paneFont);
    applyDisplayFont();
    SaveSettings(m_store, m_state, m_globals, &m_messages);
}

void MainWindow::ShowLocalContextMenu(const QPoint& globalPos) {
    CloseAboutSplash();
    UpdateCommandState();
    m_actions->localContextMenu()->exec(globalPos);
}

void MainWindow::ShowRemoteContextMenu(const QPoint& globalPos) {
    CloseAboutSplash();
    UpdateCommandState();
    m_actions->remoteContextMenu()->exec(globalPos);
}

void MainWindow::ShowMenuHelp(const MenuSelection& selection) {
    tw::ShowMenuHelp(m_messages, selection, m_statusBar->isVisibleTo(this));
}

void MainWindow::requestExit() {
    m_exitRequested = true;
    close();
}

void MainWindow::closeEvent(QCloseEvent* event) {
    const bool fromCommand = std::exchange(m_exitRequested, false);
    if (m_shutDown) {
        event->accept();
        return;
    }
    // The close box with TaskTray only hides the window, as long as the tray can bring it back.
    if (!fromCommand && m_state.options.TaskTray && m_tray->isShown()) {
        event->ignore();
        hide();
        return;
    }
    // Edits with changes not uploaded first: uploading them ends the program when they are done.
    if ((m_edits && !m_edits->confirmExit()) || !confirmExit() ||
        (m_disconnect && !m_disconnect()) || !ShutdownMainWindow()) {
        event->ignore();
        return;
    }
    event->accept();
}

void MainWindow::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow() &&
        !QApplication::activeModalWidget()) {
        // Coming forward: Always on Top again, the focus to the local file list.
        SetTopmost(m_state.options.TopMost != 0);
        m_localList->setFocus(Qt::ActiveWindowFocusReason);
    }
    if (event->type() == QEvent::WindowStateChange && isMinimized() && m_state.options.TaskTray &&
        m_tray->isShown()) {
        // Lives on in the tray; hidden once the state change has been handled.
        QTimer::singleShot(0, this, [this] {
            if (isMinimized() && m_tray->isShown())
                hide();
        });
    }
}

bool MainWindow::confirmExit() {
    return ConfirmExit(this, &m_state.options.Confirm);
}

bool MainWindow::ShutdownMainWindow() {
    if (m_shutDown)
        return true;
    if (m_runtime.connected && m_disconnect && !m_disconnect())
        return false;
    // A worker still running is stopped and joined before the window goes.
    if (m_transferQueue)
        m_transferQueue
            ->disconnected(); // the queue's rows stop, kept to be started again next time
    if (m_permissions)
        m_permissions->stop();
    if (m_session)
        m_session->stopWorker();
    CloseAboutSplash();

    WindowPlacement& p = m_state.placement(Placement::Main);
    // The normal client rectangle, also while maximised: restored by showAtStart unchanged.
    const QRect normal = normalGeometry();
    p.Left = normal.x();
    p.Top = normal.y();
    p.Width = normal.width();
    p.Height = normal.height();
    p.Show = isMaximized() ? kShowMaximized : kShowNormal;

    const auto columns = [](QWidget* view, std::array<std::int32_t, 3>& widths) {
        if (const auto* pane = qobject_cast<const PaneView*>(view)) {
            const std::array<int, 3> shown = pane->columnWidths();
            std::copy(shown.begin(), shown.end(), widths.begin());
        }
    };
    columns(m_localList, m_state.LocalColumnWidths);
    columns(m_remoteList, m_state.RemoteColumnWidths);

    SaveToolbarLayout(true);
    if (m_state.options.TaskTray)
        m_tray->remove();
    m_shutDown = true;
    QCoreApplication::exit(0);
    return true;
}

} // namespace tw::ui
