#pragma once

#include "core/state/app_state.h"
#include "core/transfer/log_viewer_port.h"

#include <QDialog>
#include <QPoint>
#include <QRect>

#include <functional>

class QCheckBox;
class QTreeView;

namespace tw {
class Messages;
}

namespace tw::ui {

// The transfer log viewer: the log's lines newest first in a one-column list, with "Delete Log
// File", OK, Print and Help. Print and Help run the request's callbacks and keep the viewer
// open; Escape and the close box are Cancel.
class LogViewerDialog : public QDialog {
public:
    explicit LogViewerDialog(const LogViewerRequest& request, QWidget* parent = nullptr);

    bool deleteLogFile() const;
    QTreeView* list() const { return m_list; }

private:
    QTreeView* m_list = nullptr;
    QCheckBox* m_delete = nullptr;
};

// Where the viewer opens when positions are saved: the remembered top-left corner, pulled
// left and up so that the whole remembered width and height fit inside `virtualScreen`, and
// never left of or above it.
QPoint LogViewerPosition(const WindowPlacement& placement, const QRect& virtualScreen);

// Opens a file with the desktop's default program for it, as the browser launch does (the
// desktop's handler, then the browsers); the launch-failure box when none took it.
void OpenWithDesktop(const Messages& messages, const QString& path);

// LogViewerPort with the viewer dialog, modal over `owner`; its position is kept in the
// LogViewer placement and remembered whichever way it closes.
class TransferLogViewer : public LogViewerPort {
public:
    TransferLogViewer(QWidget* owner, const AppState& state, AppGlobals& globals);
    LogViewerResult showLogViewer(const LogViewerRequest& request) override;

private:
    QWidget* m_owner;
    const AppState& m_state;
    AppGlobals& m_globals;
};

// The View menu's Transfer Log command: the viewer over `owner`, Print pages opened with the
// desktop's default program, Help through `help`. True when the viewer was closed with OK.
bool RunTransferLogViewer(QWidget* owner, AppState& state, AppGlobals& globals,
                          const Messages& messages, std::function<void(int)> help);

} // namespace tw::ui
