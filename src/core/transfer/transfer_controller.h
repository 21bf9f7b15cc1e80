#pragma once

#include "core/panes/pane_state.h"
#include "core/state/app_runtime.h"
#include "core/state/app_state.h"

#include <QByteArray>
#include <QString>

#include <optional>
#include <vector>

namespace tw {

namespace ftp {
class RemoteSession;
}
class Messages;
class QueueController;
class SessionController;
class TransferPort;

// The row of a destination listing that a file's destination name meets (the first match):
// `ignoreCase` compares the names without regard to case, else the name's bytes must equal
// the row's. Null when there is none.
const FileEntry* FindDestinationRow(const std::vector<FileEntry>& rows, const QString& name,
                                    const QByteArray& bytes, bool ignoreCase);

// The transfer commands: Transfer (Download) 562 and Transfer (Upload) 552 queue the selected
// rows of one pane for the current folder of the other: files, and folders (a remote link too)
// with everything in them. The questions of a batch are asked as its files are queued, in
// row order: the name prompt, then the newer-destination question (Cancel queues nothing
// more); Lowercase, the log lines, the transfer log and the sounds follow each file as it is
// copied on the queue's own connections (QueueController), so the browsing session stays free.
class TransferController {
public:
    TransferController(AppState& state, const AppGlobals& globals, AppRuntime& runtime,
                       const Messages& messages, TransferPort& port, SessionController& session,
                       QueueController& queue);
    TransferController(const TransferController&) = delete;
    TransferController& operator=(const TransferController&) = delete;

    // `selectedRows`: the source list's selected rows (indices into the pane's rows). False when
    // no batch can start (not connected, the session busy or lost).
    bool StartDownload(const std::vector<int>& selectedRows);
    bool StartUpload(const std::vector<int>& selectedRows);
    // A drop of rows onto the other pane: the selected rows queued for `folder` (the bytes of
    // a local folder for a download, of a remote one for an upload), with no name prompt so a
    // drop of many rows asks nothing per file; the newer-destination question only when
    // `folder` is the other pane's current folder, whose rows are known.
    bool QueueDownloadInto(const std::vector<int>& selectedRows, const QByteArray& folder);
    bool QueueUploadInto(const std::vector<int>& selectedRows, const QByteArray& folder);
    // Local files and folders from elsewhere (the desktop) queued for the remote `folder`, in
    // one batch. A path that cannot be read is logged and left out.
    bool QueueUploadPaths(const std::vector<QByteArray>& paths, const QByteArray& folder);
    // Stops every queued and running transfer (their partial data kept for a resume). False
    // when none runs.
    bool Stop();
    bool running() const;

private:
    struct Batch;

    bool start(bool upload, const std::vector<int>& selectedRows,
               const std::optional<QByteArray>& folder = std::nullopt);
    bool canStart() const;
    std::optional<QString> askDestinationName(const Batch& batch, const QString& offered);
    // What the newer-destination question decided for one file.
    enum class TimestampAnswer { NotAsked, Replace, Skip };
    // False when the batch is to stop (Cancel in the question).
    bool checkTimestamp(const Batch& batch, const FileEntry& source, const QString& destination,
                        const QByteArray& destinationBytes, bool& yesToAll,
                        TimestampAnswer& answer);

    AppState& m_state;
    const AppGlobals& m_globals;
    AppRuntime& m_runtime;
    const Messages& m_messages;
    TransferPort& m_port;
    SessionController& m_session;
    QueueController& m_queue;
};

} // namespace tw
