#pragma once

#include "queue/transfer_item.h"

#include <QString>

#include <cstdint>
#include <optional>
#include <vector>

namespace tw {

// The server a queued row belongs to, so that a restart can connect to it again. Never the
// password: that stays in the account (or is asked for again).
struct QueueAccount {
    QString host;
    std::uint32_t port = 21;
    QString user;
    // The account's TLS mode as stored (ftp::TlsMode's number), plus 16 for SFTP.
    int protocol = 0;
    bool operator==(const QueueAccount&) const = default;
};

// One row of the kept queue.
struct QueueRecord {
    queue::TransferItem item;
    QueueAccount account;
};

// One batch of changes, written in one transaction: the rows to insert or to replace (by id),
// the ids to remove and, when the order changed, every row's id in queue order. A new row goes
// to the end of the queue unless `order` places it.
struct QueueChanges {
    std::vector<QueueRecord> upserts;
    std::vector<std::int64_t> removals;
    std::optional<std::vector<std::int64_t>> order;
};

// How open() went. `persistent` false: the file could not be used; the store then works on an
// empty queue in memory, which lasts until the program ends, and `message` says why.
struct QueueOpenOutcome {
    bool persistent = false;
    QString message; // empty when the file opened as it should
    QString keptAs;  // where a damaged file was moved; empty otherwise
    bool operator==(const QueueOpenOutcome&) const = default;
};

// The transfer queue kept across restarts: `queue.sqlite` in the program's data folder, one
// SQLite table of rows through QtSql. The database runs in write-ahead-log mode with
// synchronous=FULL: a committed batch is in the log file on disk before save() returns, so a
// killed program (or a power loss) loses no committed row, and a commit costs one fsync of the
// log. Where the file system cannot keep a write-ahead log, the rollback journal with
// synchronous=FULL serves instead.
//
// A QtSql connection belongs to the thread that made it: use a store from the thread that
// constructed it (the user-interface thread) only.
class QueueStore {
public:
    // The folder the file lives in (created on open when missing).
    explicit QueueStore(QString folder);
    ~QueueStore();
    QueueStore(const QueueStore&) = delete;
    QueueStore& operator=(const QueueStore&) = delete;

    static constexpr int kSchemaVersion = 1;
    // The file's name in its folder.
    static QString FileName();
    // The data folder of the transfer log (the folder of `logPath`), where the file belongs.
    static QString FolderOf(const QString& logPath);

    // Opens (or creates) the file. A damaged file is moved aside to
    // "queue.sqlite.corrupt-<yyyyMMdd-hhmmss>" and a fresh one is made in its place; a file
    // the program may not write, or one of a newer program, is left as it is. Whenever the file
    // cannot be used the queue lives in memory, empty; the program goes on either way.
    QueueOpenOutcome open();
    bool isOpen() const { return !m_connection.isEmpty(); }
    bool isPersistent() const { return m_persistent; }
    QString path() const;

    // Every row in queue order. A row that was running when the program ended comes back
    // stopped, without a speed (and is stored so).
    std::vector<QueueRecord> load();
    // Writes one batch in one transaction: all of it or, on a failure, none of it.
    bool save(const QueueChanges& changes);
    // Removes every row.
    bool clear();
    // The database's last error text; empty after a success.
    QString lastError() const { return m_lastError; }

private:
    enum class Check { Usable, Damaged, Newer };
    bool connect(const QString& databaseName);
    void disconnect();
    Check checkFile();
    bool createSchema();
    bool setJournal();
    QString moveAside(const QString& stamp);
    bool exec(const QString& statement);
    bool fail(const QString& error);

    QString m_folder;
    QString m_connection; // the QtSql connection's name; empty while closed
    bool m_persistent = false;
    std::int64_t m_nextPosition = 0;
    QString m_lastError;
};

} // namespace tw
