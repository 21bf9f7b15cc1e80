#pragma once

#include "core/panes/pane_state.h"
#include "core/state/app_runtime.h"
#include "core/state/app_state.h"

#include <QByteArray>
#include <QString>

#include <atomic>
#include <optional>
#include <vector>

namespace tw {

namespace ftp {
class FtpSession;
}
class LocalSystem;
class Messages;
class SessionController;
class TransferPort;

// The row of a destination listing that a file's destination name meets (the first match):
// `ignoreCase` compares the names without regard to case, else the name's bytes must equal
// the row's. Null when there is none.
const FileEntry* FindDestinationRow(const std::vector<FileEntry>& rows, const QString& name,
                                    const QByteArray& bytes, bool ignoreCase);

// The transfer commands: Transfer (Download) 562 and Transfer (Upload) 552 copy the selected
// files of one pane to the current folder of the other on the worker thread, one after another,
// with the name prompt, the newer-destination question, the progress window, the log lines,
// the transfer log and the refresh of the destination pane at the end; Stop ends a batch.
//
// The selected rows, both folders and the destination listing are copied when a batch starts,
// so the panes may be relisted while it runs.
class TransferController {
public:
    TransferController(AppState& state, const AppGlobals& globals, AppRuntime& runtime,
                       const Messages& messages, TransferPort& port, SessionController& session,
                       LocalSystem& system);
    ~TransferController();
    TransferController(const TransferController&) = delete;
    TransferController& operator=(const TransferController&) = delete;

    // `selectedRows`: the source list's selected rows (indices into the pane's rows).
    bool StartDownload(const std::vector<int>& selectedRows);
    bool StartUpload(const std::vector<int>& selectedRows);
    // Stops the running batch: the file in progress is aborted (and counts as failed), no
    // further file is started, and the end-of-batch steps run for the files copied so far.
    // False when no batch runs.
    bool Stop();
    bool running() const { return m_running; }

private:
    struct Batch;
    struct Row;

    bool start(bool upload, const std::vector<int>& selectedRows);
    static bool isFolderLink(ftp::FtpSession& session, const Batch& batch, const FileEntry& row);
    void runBatch(const Batch& batch);
    std::optional<QString> askDestinationName(const Batch& batch, const QString& offered);
    // What the newer-destination question decided for one file.
    enum class TimestampAnswer { NotAsked, Replace, Skip };
    // False when the batch is to stop (Cancel in the question).
    bool checkTimestamp(const Batch& batch, const FileEntry& source, const QString& destination,
                        const QByteArray& destinationBytes, bool& yesToAll,
                        TimestampAnswer& answer);
    void writeLogEntry(const Batch& batch, const FileEntry& source, const QString& destination);
    void finishBatch(const Batch& batch, int transferred, bool stopped);
    void relistLocal(const Batch& batch);

    AppState& m_state;
    const AppGlobals& m_globals;
    AppRuntime& m_runtime;
    const Messages& m_messages;
    TransferPort& m_port;
    SessionController& m_session;
    LocalSystem& m_system;
    std::atomic<bool> m_running{false};
    std::atomic<bool> m_stopRequested{false};
};

} // namespace tw
