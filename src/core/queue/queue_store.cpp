#include "core/queue/queue_store.h"

#include "core/text/format.h"
#include "core/text/string_table.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>

namespace tw {

namespace {

using queue::Direction;
using queue::ItemKind;
using queue::ItemState;

constexpr int kDamagedText = 4800;  // the file was damaged and kept aside
constexpr int kReadOnlyText = 4801; // the file may not be written
constexpr int kNewerText = 4802;    // a newer program's file
constexpr int kFailedText = 4803;   // the file or its folder could not be opened at all

const QString kMemory = QStringLiteral(":memory:");

// Every column of the table in the order the statements bind and read them.
const QString kColumns = QStringLiteral(
    "id, position, group_id, direction, kind, local_path, remote_path, size, transferred, "
    "bytes_per_second, state, error, error_code, retries, source_time, source_size, "
    "partial_path, host, port, login, protocol");

const QString kCreateTable = QStringLiteral(
    "CREATE TABLE IF NOT EXISTS items ("
    "id INTEGER PRIMARY KEY, position INTEGER NOT NULL, group_id INTEGER NOT NULL, "
    "direction INTEGER NOT NULL, kind INTEGER NOT NULL, local_path BLOB, remote_path BLOB, "
    "size INTEGER NOT NULL, transferred INTEGER NOT NULL, bytes_per_second INTEGER NOT NULL, "
    "state INTEGER NOT NULL, error BLOB, error_code INTEGER NOT NULL, retries INTEGER NOT NULL, "
    "source_time INTEGER NOT NULL, source_size INTEGER NOT NULL, partial_path BLOB, host TEXT, "
    "port INTEGER NOT NULL, login TEXT, protocol INTEGER NOT NULL)");

QString text(int id, FmtArgs args) {
    return FormatText(LookupString(id).value_or(QString()), args);
}

// The columns an upsert replaces: all but the id and the place in the queue, which `order`
// changes.
constexpr char kUpdates[] =
    "group_id = excluded.group_id, direction = excluded.direction, kind = excluded.kind, "
    "local_path = excluded.local_path, remote_path = excluded.remote_path, "
    "size = excluded.size, transferred = excluded.transferred, "
    "bytes_per_second = excluded.bytes_per_second, state = excluded.state, "
    "error = excluded.error, error_code = excluded.error_code, retries = excluded.retries, "
    "source_time = excluded.source_time, source_size = excluded.source_size, "
    "partial_path = excluded.partial_path, host = excluded.host, port = excluded.port, "
    "login = excluded.login, protocol = excluded.protocol";

// The SQLite connection under a QtSql one. Batches and loads run on it directly: QtSql's
// binding and reading of values costs several times what SQLite's own work on a row does.
// Transactions and everything else go through QtSql on the same connection.
sqlite3* sqliteOf(const QString& connection) {
    const QSqlDatabase db = QSqlDatabase::database(connection, false);
    const QVariant handle = db.isOpen() ? db.driver()->handle() : QVariant();
    if (!handle.isValid() || qstrcmp(handle.typeName(), "sqlite3*") != 0)
        return nullptr;
    return *static_cast<sqlite3* const*>(handle.constData());
}

// One prepared statement, reset after every run.
class Statement {
public:
    Statement(sqlite3* db, const QByteArray& sql) : m_db(db) {
        if (db && sqlite3_prepare_v2(db, sql.constData(), int(sql.size()), &m_stmt, nullptr) !=
                      SQLITE_OK) {
            sqlite3_finalize(m_stmt);
            m_stmt = nullptr;
        }
    }
    ~Statement() { sqlite3_finalize(m_stmt); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    bool valid() const { return m_stmt != nullptr; }
    void bind(int column, std::int64_t value) { sqlite3_bind_int64(m_stmt, column, value); }
    // The bytes as a blob (an empty one for an empty string, never NULL).
    void bindBytes(int column, const std::string& value) {
        sqlite3_bind_blob64(m_stmt, column, value.data(), value.size(), SQLITE_STATIC);
    }
    void bindText(int column, const QString& value) {
        const QByteArray utf8 = value.toUtf8();
        sqlite3_bind_text64(m_stmt, column, utf8.constData(), std::uint64_t(utf8.size()),
                            SQLITE_TRANSIENT, SQLITE_UTF8);
    }
    // Runs a statement without rows.
    bool run() {
        const int rc = sqlite3_step(m_stmt);
        sqlite3_reset(m_stmt);
        sqlite3_clear_bindings(m_stmt);
        return rc == SQLITE_DONE;
    }
    // The next row of a query; false at the end or on an error.
    bool next() { return sqlite3_step(m_stmt) == SQLITE_ROW; }
    std::int64_t integer(int column) const { return sqlite3_column_int64(m_stmt, column); }
    std::string bytes(int column) const {
        const void* data = sqlite3_column_blob(m_stmt, column);
        const int size = sqlite3_column_bytes(m_stmt, column);
        return data ? std::string(static_cast<const char*>(data), std::size_t(size))
                    : std::string();
    }
    QString text(int column) const {
        const auto* data = sqlite3_column_text(m_stmt, column);
        const int size = sqlite3_column_bytes(m_stmt, column);
        return QString::fromUtf8(reinterpret_cast<const char*>(data), size);
    }
    QString error() const { return QString::fromUtf8(m_db ? sqlite3_errmsg(m_db) : "no database"); }

private:
    sqlite3* m_db = nullptr;
    sqlite3_stmt* m_stmt = nullptr;
};

// SQLite keeps signed 64-bit integers: an unsigned size is stored as its bit pattern.
std::int64_t stored(std::uint64_t value) {
    return static_cast<std::int64_t>(value);
}

std::uint64_t unsignedOf(std::int64_t value) {
    return static_cast<std::uint64_t>(value);
}

// The file may be written by this user: the system allows it and, even for root, the owner's
// write bit is set (a file its owner made read-only is left alone).
bool mayWrite(const QString& path, bool folder) {
    const QByteArray name = QFile::encodeName(path);
    struct stat st {};
    if (::stat(name.constData(), &st) != 0)
        return false;
    const int wanted = folder ? (W_OK | X_OK) : W_OK;
    return ::access(name.constData(), wanted) == 0 && (st.st_mode & S_IWUSR) != 0;
}

template <typename Enum>
std::optional<Enum> enumOf(std::int64_t n, Enum last) {
    if (n < 0 || n > static_cast<std::int64_t>(last))
        return std::nullopt;
    return static_cast<Enum>(n);
}

std::atomic<int> g_connections{0};

} // namespace

QueueStore::QueueStore(QString folder) : m_folder(std::move(folder)) {}

QueueStore::~QueueStore() {
    disconnect();
}

QString QueueStore::FileName() {
    return QStringLiteral("queue.sqlite");
}

QString QueueStore::FolderOf(const QString& logPath) {
    return QFileInfo(logPath).absolutePath();
}

QString QueueStore::path() const {
    return QDir(m_folder).filePath(FileName());
}

bool QueueStore::fail(const QString& error) {
    m_lastError = error;
    return false;
}

bool QueueStore::connect(const QString& databaseName) {
    disconnect();
    m_connection = QStringLiteral("tw-queue-%1").arg(++g_connections);
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connection);
    db.setDatabaseName(databaseName);
    db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=2000"));
    if (!db.open()) {
        const QString error = db.lastError().text();
        db = QSqlDatabase();
        disconnect();
        return fail(error);
    }
    return true;
}

void QueueStore::disconnect() {
    if (m_connection.isEmpty())
        return;
    {
        QSqlDatabase db = QSqlDatabase::database(m_connection, false);
        db.close();
    }
    QSqlDatabase::removeDatabase(m_connection);
    m_connection.clear();
}

bool QueueStore::exec(const QString& statement) {
    QSqlQuery query(QSqlDatabase::database(m_connection, false));
    if (!query.exec(statement))
        return fail(query.lastError().text());
    return true;
}

// Whether the open file is a queue this program can use. A file that is no database, fails
// SQLite's check, holds other tables or lacks a column of ours is damaged.
QueueStore::Check QueueStore::checkFile() {
    QSqlQuery query(QSqlDatabase::database(m_connection, false));
    query.setForwardOnly(true);
    if (!query.exec(QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'table'"))) {
        fail(query.lastError().text());
        return Check::Damaged;
    }
    bool hasTables = false;
    bool hasItems = false;
    while (query.next()) {
        hasTables = true;
        hasItems = hasItems || query.value(0).toString() == QStringLiteral("items");
    }
    if (!query.exec(QStringLiteral("PRAGMA user_version")) || !query.next()) {
        fail(query.lastError().text());
        return Check::Damaged;
    }
    const int version = query.value(0).toInt();
    if (version > kSchemaVersion)
        return Check::Newer;
    if (!hasTables)
        return Check::Usable; // new or empty: the schema is made next
    if (version != kSchemaVersion || !hasItems) {
        fail(QStringLiteral("not a transfer queue"));
        return Check::Damaged;
    }
    if (!query.exec(QStringLiteral("PRAGMA quick_check")) || !query.next()) {
        fail(query.lastError().text());
        return Check::Damaged;
    }
    if (const QString verdict = query.value(0).toString(); verdict != QStringLiteral("ok")) {
        fail(verdict);
        return Check::Damaged;
    }
    if (!query.exec(QStringLiteral("PRAGMA table_info(items)"))) {
        fail(query.lastError().text());
        return Check::Damaged;
    }
    QStringList present;
    while (query.next())
        present << query.value(1).toString();
    for (const QString& column : kColumns.split(QStringLiteral(", ")))
        if (!present.contains(column)) {
            fail(QStringLiteral("no column ") + column);
            return Check::Damaged;
        }
    return Check::Usable;
}

bool QueueStore::setJournal() {
    QSqlQuery query(QSqlDatabase::database(m_connection, false));
    if (query.exec(QStringLiteral("PRAGMA journal_mode=WAL")) && query.next() &&
        query.value(0).toString().compare(QStringLiteral("wal"), Qt::CaseInsensitive) == 0)
        return exec(QStringLiteral("PRAGMA synchronous=FULL"));
    return exec(QStringLiteral("PRAGMA journal_mode=DELETE")) &&
           exec(QStringLiteral("PRAGMA synchronous=FULL"));
}

bool QueueStore::createSchema() {
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    if (!db.transaction())
        return fail(db.lastError().text());
    const bool made =
        exec(kCreateTable) &&
        exec(QStringLiteral(
            "CREATE INDEX IF NOT EXISTS items_by_position ON items (position, id)")) &&
        exec(QStringLiteral("PRAGMA user_version = %1").arg(kSchemaVersion));
    if (!made || !db.commit()) {
        const QString error = made ? db.lastError().text() : m_lastError;
        db.rollback();
        return fail(error);
    }
    QSqlQuery query(db);
    m_nextPosition =
        query.exec(QStringLiteral("SELECT coalesce(max(position) + 1, 0) FROM items")) &&
                query.next()
            ? query.value(0).toLongLong()
            : 0;
    return true;
}

// Moves the damaged file (and its write-ahead log) to "<file>.corrupt-<stamp>", never over an
// older one. The connection is closed. Returns the new name, or empty when it cannot move.
QString QueueStore::moveAside(const QString& stamp) {
    disconnect();
    const QString file = path();
    QString target = file + QStringLiteral(".corrupt-") + stamp;
    for (int n = 2; QFileInfo::exists(target); ++n)
        target = file + QStringLiteral(".corrupt-") + stamp + u'-' + QString::number(n);
    if (!QFile::rename(file, target))
        return {};
    const QString wal = file + QStringLiteral("-wal");
    if (QFileInfo::exists(wal))
        QFile::rename(wal, target + QStringLiteral("-wal"));
    QFile::remove(file + QStringLiteral("-shm")); // an index SQLite rebuilds from the log
    return target;
}

QueueOpenOutcome QueueStore::open() {
    disconnect();
    m_persistent = false;
    m_lastError.clear();
    QueueOpenOutcome outcome;
    const QString file = path();
    const QString shown = QDir::toNativeSeparators(file);

    // From here on the queue lives in memory: empty, and gone when the program ends.
    const auto inMemory = [&](QString message) {
        outcome.persistent = false;
        outcome.message = std::move(message);
        if (connect(kMemory))
            createSchema();
        return outcome;
    };

    if (!QDir().mkpath(m_folder) || !mayWrite(m_folder, true))
        return inMemory(text(kReadOnlyText, {shown}));
    if (QFileInfo::exists(file) && !mayWrite(file, false))
        return inMemory(text(kReadOnlyText, {shown}));
    if (!connect(file))
        return inMemory(text(kFailedText, {shown, m_lastError}));

    switch (checkFile()) {
    case Check::Newer:
        disconnect();
        return inMemory(text(kNewerText, {shown}));
    case Check::Damaged: {
        const QString reason = m_lastError;
        const QString stamp =
            QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-hhmmss"));
        outcome.keptAs = moveAside(stamp);
        if (outcome.keptAs.isEmpty())
            return inMemory(text(kFailedText, {shown, reason}));
        outcome.message =
            text(kDamagedText, {shown, reason, QDir::toNativeSeparators(outcome.keptAs)});
        if (!connect(file))
            return inMemory(outcome.message);
        break;
    }
    case Check::Usable:
        break;
    }
    if (!setJournal() || !createSchema()) {
        const QString reason = m_lastError;
        disconnect();
        return inMemory(text(kFailedText, {shown, reason}));
    }
    m_lastError.clear();
    m_persistent = true;
    outcome.persistent = true;
    return outcome;
}

std::vector<QueueRecord> QueueStore::load() {
    std::vector<QueueRecord> rows;
    if (!isOpen())
        return rows;
    m_lastError.clear();
    // Nothing runs before the queue is started again.
    exec(QStringLiteral("UPDATE items SET state = %1, bytes_per_second = 0 WHERE state = %2")
             .arg(int(ItemState::Stopped))
             .arg(int(ItemState::Running)));
    Statement query(sqliteOf(m_connection),
                    "SELECT " + kColumns.toLatin1() + " FROM items ORDER BY position, id");
    if (!query.valid()) {
        fail(query.error());
        return rows;
    }
    while (query.next()) {
        const auto direction = enumOf(query.integer(3), Direction::Upload);
        const auto kind = enumOf(query.integer(4), ItemKind::Tree);
        const auto state = enumOf(query.integer(10), ItemState::Skipped);
        if (!direction || !kind || !state)
            continue; // a row this program cannot have written; the others still load
        QueueRecord& row = rows.emplace_back();
        queue::TransferItem& item = row.item;
        item.id = query.integer(0);
        item.group = query.integer(2);
        item.direction = *direction;
        item.kind = *kind;
        item.localPath = query.bytes(5);
        item.remotePath = query.bytes(6);
        item.size = unsignedOf(query.integer(7));
        item.transferred = unsignedOf(query.integer(8));
        item.bytesPerSecond = unsignedOf(query.integer(9));
        item.state = *state;
        item.error = query.bytes(11);
        item.errorCode = int(query.integer(12));
        item.retries = int(query.integer(13));
        item.sourceTime = query.integer(14);
        item.sourceSize = unsignedOf(query.integer(15));
        item.partialPath = query.bytes(16);
        row.account.host = query.text(17);
        row.account.port = std::uint32_t(query.integer(18));
        row.account.user = query.text(19);
        row.account.protocol = int(query.integer(20));
    }
    return rows;
}

bool QueueStore::save(const QueueChanges& changes) {
    if (!isOpen())
        return fail(QStringLiteral("not open"));
    m_lastError.clear();
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    sqlite3* sqlite = sqliteOf(m_connection);
    const std::int64_t nextPosition = m_nextPosition;
    if (!sqlite || !db.transaction())
        return fail(sqlite ? db.lastError().text() : QStringLiteral("no SQLite connection"));
    const auto abandon = [&](const Statement& statement) {
        const QString error = statement.error();
        db.rollback();
        m_nextPosition = nextPosition;
        return fail(error);
    };

    if (!changes.upserts.empty()) {
        QByteArray sql = "INSERT INTO items (" + kColumns.toLatin1() + ") VALUES (?1";
        for (int i = 2; i <= 21; ++i)
            sql += ", ?" + QByteArray::number(i);
        Statement upsert(sqlite, sql + ") ON CONFLICT (id) DO UPDATE SET " + kUpdates);
        if (!upsert.valid())
            return abandon(upsert);
        for (const QueueRecord& row : changes.upserts) {
            const queue::TransferItem& item = row.item;
            upsert.bind(1, item.id);
            upsert.bind(2, m_nextPosition++);
            upsert.bind(3, item.group);
            upsert.bind(4, int(item.direction));
            upsert.bind(5, int(item.kind));
            upsert.bindBytes(6, item.localPath);
            upsert.bindBytes(7, item.remotePath);
            upsert.bind(8, stored(item.size));
            upsert.bind(9, stored(item.transferred));
            upsert.bind(10, stored(item.bytesPerSecond));
            upsert.bind(11, int(item.state));
            upsert.bindBytes(12, item.error);
            upsert.bind(13, item.errorCode);
            upsert.bind(14, item.retries);
            upsert.bind(15, item.sourceTime);
            upsert.bind(16, stored(item.sourceSize));
            upsert.bindBytes(17, item.partialPath);
            upsert.bindText(18, row.account.host);
            upsert.bind(19, row.account.port);
            upsert.bindText(20, row.account.user);
            upsert.bind(21, row.account.protocol);
            if (!upsert.run())
                return abandon(upsert);
        }
    }
    if (!changes.removals.empty()) {
        Statement remove(sqlite, "DELETE FROM items WHERE id = ?1");
        if (!remove.valid())
            return abandon(remove);
        for (const std::int64_t id : changes.removals) {
            remove.bind(1, id);
            if (!remove.run())
                return abandon(remove);
        }
    }
    if (changes.order) {
        Statement place(sqlite, "UPDATE items SET position = ?1 WHERE id = ?2");
        if (!place.valid())
            return abandon(place);
        std::int64_t position = 0;
        for (const std::int64_t id : *changes.order) {
            place.bind(1, position++);
            place.bind(2, id);
            if (!place.run())
                return abandon(place);
        }
        m_nextPosition = std::max(m_nextPosition, position);
    }
    if (!db.commit()) {
        const QString error = db.lastError().text();
        db.rollback();
        m_nextPosition = nextPosition;
        return fail(error);
    }
    return true;
}

bool QueueStore::clear() {
    if (!isOpen())
        return fail(QStringLiteral("not open"));
    m_lastError.clear();
    if (!exec(QStringLiteral("DELETE FROM items")))
        return false;
    m_nextPosition = 0;
    return true;
}

} // namespace tw
