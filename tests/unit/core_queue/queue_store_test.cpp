#include "queue_test_items.h"

#include "support/test_files.h"

#include <QFile>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <functional>
#include <limits>
#include <tuple>

namespace tw::test {
namespace {

using queue::Direction;
using queue::ItemKind;
using queue::ItemState;

auto fields(const QueueRecord& r) {
    const queue::TransferItem& i = r.item;
    return std::tie(i.id, i.group, i.direction, i.kind, i.localPath, i.remotePath, i.size,
                    i.transferred, i.bytesPerSecond, i.state, i.error, i.errorCode, i.retries,
                    i.sourceTime, i.sourceSize, i.partialPath, r.account.host, r.account.port,
                    r.account.user, r.account.protocol);
}

std::vector<std::int64_t> idsOf(const std::vector<QueueRecord>& rows) {
    std::vector<std::int64_t> ids;
    for (const QueueRecord& r : rows)
        ids.push_back(r.item.id);
    return ids;
}

class QueueStoreTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_dir.isValid()); }
    QString folder() const { return m_dir.filePath(QStringLiteral("data")); }
    QString file() const { return folder() + QStringLiteral("/queue.sqlite"); }

    // A kept queue of `count` numbered rows, closed again.
    void writeQueue(int count) {
        QueueStore store(folder());
        ASSERT_TRUE(store.open().persistent);
        QueueChanges changes;
        for (int id = 0; id < count; ++id)
            changes.upserts.push_back(NumberedRecord(id));
        ASSERT_TRUE(store.save(changes)) << store.lastError().toStdString();
    }

private:
    QTemporaryDir m_dir;
};

// Every field comes back as it was saved, in queue order: raw path bytes, sizes beyond 63
// bits, every direction, kind and state; a running row comes back stopped without a speed.
TEST_F(QueueStoreTest, RowsComeBackFieldByFieldInQueueOrder) {
    std::vector<QueueRecord> saved;
    for (int id = 1; id <= 12; ++id)
        saved.push_back(NumberedRecord(id));
    QueueRecord& extreme = saved[3];
    extreme.item.size = std::numeric_limits<std::uint64_t>::max();
    extreme.item.transferred = (std::uint64_t(1) << 63) + 5;
    extreme.item.sourceSize = std::uint64_t(1) << 63;
    extreme.item.sourceTime = -86400; // before 1970
    extreme.item.localPath = std::string("/tmp/\x01\x7f\xc3(\0nul", 12);
    extreme.item.remotePath.clear();
    extreme.item.error.clear();
    extreme.item.partialPath.clear();
    extreme.account = {QStringLiteral("ftp.例え.jp"), 65535, QString(), 255};
    QueueRecord& running = saved[5];
    running.item.state = ItemState::Running;
    running.item.bytesPerSecond = 123456789;

    {
        QueueStore store(folder());
        const QueueOpenOutcome outcome = store.open();
        EXPECT_EQ(outcome, (QueueOpenOutcome{true, QString(), QString()}));
        ASSERT_TRUE(store.save({saved, {}, std::nullopt})) << store.lastError().toStdString();
        // A later batch updates one row in place and appends another.
        QueueRecord changed = saved[0];
        changed.item.transferred = 99;
        changed.item.state = ItemState::Failed;
        saved[0] = changed;
        saved.push_back(NumberedRecord(40));
        ASSERT_TRUE(store.save({{changed, saved.back()}, {}, std::nullopt}));
    }
    running.item.state = ItemState::Stopped;
    running.item.bytesPerSecond = 0;

    QueueStore again(folder());
    ASSERT_TRUE(again.open().persistent);
    const std::vector<QueueRecord> loaded = again.load();
    ASSERT_EQ(loaded.size(), saved.size());
    for (std::size_t i = 0; i < saved.size(); ++i)
        EXPECT_TRUE(fields(loaded[i]) == fields(saved[i])) << "row " << i;
    // Loading stored the stop: the file holds no running row any more.
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("peek"));
    db.setDatabaseName(file());
    ASSERT_TRUE(db.open());
    {
        QSqlQuery q(db);
        ASSERT_TRUE(q.exec(QStringLiteral("SELECT count(*) FROM items WHERE state = 1")) &&
                    q.next());
        EXPECT_EQ(q.value(0).toInt(), 0);
        ASSERT_TRUE(q.exec(QStringLiteral("PRAGMA user_version")) && q.next());
        EXPECT_EQ(q.value(0).toInt(), QueueStore::kSchemaVersion);
        // Paths are kept as the bytes they are.
        ASSERT_TRUE(q.exec(QStringLiteral("SELECT typeof(local_path) FROM items LIMIT 1")) &&
                    q.next());
        EXPECT_EQ(q.value(0).toString(), QStringLiteral("blob"));
    }
    db.close();
    db = QSqlDatabase();
    QSqlDatabase::removeDatabase(QStringLiteral("peek"));
}

// Removals, a new order and clear are kept; a batch that fails is kept not at all.
TEST_F(QueueStoreTest, OrderRemovalsAndFailedBatches) {
    QueueStore store(folder());
    ASSERT_TRUE(store.open().persistent);
    QueueChanges first;
    for (int id = 1; id <= 6; ++id)
        first.upserts.push_back(NumberedRecord(id));
    ASSERT_TRUE(store.save(first));

    struct Case {
        const char* what;
        QueueChanges changes;
        bool saved;
        std::vector<std::int64_t> order;
    };
    QueueRecord renamed = NumberedRecord(3);
    renamed.item.remotePath = "/pub/renamed";
    Case cases[] = {
        {"remove two", {{}, {2, 5}, std::nullopt}, true, {1, 3, 4, 6}},
        {"reverse", {{}, {}, std::vector<std::int64_t>{6, 4, 3, 1}}, true, {6, 4, 3, 1}},
        {"an update keeps its place, a new row goes last",
         {{renamed, NumberedRecord(9)}, {}, std::nullopt},
         true,
         {6, 4, 3, 1, 9}},
        {"a new row placed by the order",
         {{NumberedRecord(7)}, {}, std::vector<std::int64_t>{7, 6, 4, 3, 1, 9}},
         true,
         {7, 6, 4, 3, 1, 9}},
        {"unknown removal is nothing", {{}, {1234}, std::nullopt}, true, {7, 6, 4, 3, 1, 9}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(store.save(c.changes), c.saved);
        EXPECT_EQ(idsOf(store.load()), c.order);
        QueueStore reopened(folder());
        ASSERT_TRUE(reopened.open().persistent);
        EXPECT_EQ(idsOf(reopened.load()), c.order);
    }
    EXPECT_EQ(store.load()[3].item.remotePath, "/pub/renamed");

    // A batch the database refuses halfway (a row of the batch breaks a column's rule) leaves
    // nothing of it behind.
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("t"));
        db.setDatabaseName(file());
        ASSERT_TRUE(db.open());
        QSqlQuery q(db);
        ASSERT_TRUE(q.exec(
            QStringLiteral("CREATE TRIGGER refuse BEFORE INSERT ON items WHEN NEW.id = 666 BEGIN "
                           "SELECT RAISE(ABORT, 'refused'); END")));
    }
    QSqlDatabase::removeDatabase(QStringLiteral("t"));
    EXPECT_FALSE(store.save({{NumberedRecord(20), NumberedRecord(666)}, {7}, std::nullopt}));
    EXPECT_TRUE(store.lastError().contains(QStringLiteral("refused")));
    EXPECT_EQ(idsOf(store.load()), (std::vector<std::int64_t>{7, 6, 4, 3, 1, 9}));

    EXPECT_TRUE(store.clear());
    QueueStore reopened(folder());
    ASSERT_TRUE(reopened.open().persistent);
    EXPECT_TRUE(reopened.load().empty());
}

// A writer killed while it writes batch after batch loses none that it reported committed,
// and leaves no half batch behind: killed at once after a report, and a few milliseconds
// later, so that the kill lands at other points of a batch.
TEST_F(QueueStoreTest, AKilledWriterLosesNoCommittedRow) {
    constexpr int kBatch = 50;
    constexpr int kReported = 20;
    for (const int delayMs : {0, 1, 2, 3, 5, 8}) {
        SCOPED_TRACE(delayMs);
        QTemporaryDir dir;
        const QString data = dir.filePath(QStringLiteral("data"));
        QProcess writer;
        writer.start(QStringLiteral(TW_QUEUE_WRITER), {data, QString::number(kBatch)});
        ASSERT_TRUE(writer.waitForStarted(10000));
        long long reported = -1;
        while (reported < kReported) {
            ASSERT_TRUE(writer.canReadLine() || writer.waitForReadyRead(20000))
                << writer.readAllStandardError().toStdString();
            while (writer.canReadLine())
                reported = writer.readLine().trimmed().toLongLong();
        }
        if (delayMs > 0)
            ::usleep(useconds_t(delayMs) * 1000);
        ::kill(pid_t(writer.processId()), SIGKILL);
        ASSERT_TRUE(writer.waitForFinished(10000));
        EXPECT_EQ(writer.exitStatus(), QProcess::CrashExit);
        while (writer.canReadLine()) // batches committed while the kill was on its way
            reported = writer.readLine().trimmed().toLongLong();

        QueueStore store(data);
        const QueueOpenOutcome outcome = store.open();
        EXPECT_TRUE(outcome.persistent);
        EXPECT_TRUE(outcome.message.isEmpty()) << outcome.message.toStdString();
        const std::vector<QueueRecord> rows = store.load();
        ASSERT_GE(rows.size(), std::size_t((reported + 1) * kBatch));
        EXPECT_EQ(rows.size() % kBatch, 0u) << "a batch was kept in part";
        for (std::size_t i = 0; i < rows.size(); ++i) {
            QueueRecord want = NumberedRecord(std::int64_t(i));
            if (i == 0) {
                EXPECT_GE(rows[0].item.transferred, std::uint64_t(reported));
                want.item.transferred = rows[0].item.transferred;
            }
            ASSERT_TRUE(fields(rows[i]) == fields(want)) << "row " << i;
        }
    }
}

// A file the program cannot use never stops it: the queue starts empty in memory and the
// outcome says why. A damaged file is kept under a new name and a fresh one takes its place;
// a file it may not write, or one of a newer program, stays untouched.
TEST_F(QueueStoreTest, DamagedReadOnlyAndNewerFilesGiveAnEmptyQueueAndAMessage) {
    enum class Kind { Damaged, Kept };
    struct Case {
        const char* what;
        std::function<void(const QString& file, const QString& folder)> spoil;
        Kind kind;
        const char* says;
    };
    const auto sql = [](const QString& path, const QString& statement) {
        {
            QSqlDatabase db =
                QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("spoil"));
            db.setDatabaseName(path);
            ASSERT_TRUE(db.open());
            QSqlQuery q(db);
            ASSERT_TRUE(q.exec(statement)) << statement.toStdString();
        }
        QSqlDatabase::removeDatabase(QStringLiteral("spoil"));
    };
    const Case cases[] = {
        {"not a database",
         [](const QString& f, const QString&) {
             WriteFile(f, QByteArray("queue of yesterday\n").repeated(400));
         },
         Kind::Damaged, "could not be read"},
        {"pages overwritten",
         [](const QString& f, const QString&) {
             QFile file(f);
             ASSERT_TRUE(file.open(QIODevice::ReadWrite));
             ASSERT_GT(file.size(), 40000);
             file.seek(8192);
             file.write(QByteArray(16384, '\x5a'));
         },
         Kind::Damaged, "could not be read"},
        {"another program's database",
         [sql](const QString& f, const QString&) {
             QFile::remove(f);
             sql(f, QStringLiteral("CREATE TABLE notes (text TEXT)"));
         },
         Kind::Damaged, "could not be read"},
        {"read-only file",
         [](const QString& f, const QString&) { ::chmod(QFile::encodeName(f).constData(), 0444); },
         Kind::Kept, "cannot be written"},
        {"read-only folder",
         [](const QString&, const QString& d) { ::chmod(QFile::encodeName(d).constData(), 0555); },
         Kind::Kept, "cannot be written"},
        {"newer program",
         [sql](const QString& f, const QString&) {
             sql(f, QStringLiteral("PRAGMA user_version = 7"));
         },
         Kind::Kept, "newer version"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        QTemporaryDir dir;
        const QString data = dir.filePath(QStringLiteral("data"));
        const QString path = data + QStringLiteral("/queue.sqlite");
        {
            QueueStore store(data);
            ASSERT_TRUE(store.open().persistent);
            QueueChanges changes;
            for (int id = 0; id < 300; ++id)
                changes.upserts.push_back(NumberedRecord(id));
            ASSERT_TRUE(store.save(changes));
        }
        c.spoil(path, data);
        const QByteArray before = ReadFile(path);

        QueueStore store(data);
        const QueueOpenOutcome outcome = store.open();
        EXPECT_TRUE(outcome.message.contains(QString::fromUtf8(c.says)))
            << outcome.message.toStdString();
        EXPECT_TRUE(outcome.message.contains(path)) << outcome.message.toStdString();
        EXPECT_TRUE(store.load().empty());
        // The program goes on: the queue takes rows all the same.
        ASSERT_TRUE(store.save({{NumberedRecord(1)}, {}, std::nullopt}));
        EXPECT_EQ(idsOf(store.load()), std::vector<std::int64_t>{1});

        if (c.kind == Kind::Damaged) {
            EXPECT_TRUE(outcome.persistent);
            ASSERT_FALSE(outcome.keptAs.isEmpty());
            EXPECT_TRUE(outcome.keptAs.startsWith(path + QStringLiteral(".corrupt-")));
            EXPECT_TRUE(outcome.message.contains(outcome.keptAs));
            EXPECT_EQ(ReadFile(outcome.keptAs), before);
            // The fresh file keeps what the program queues from now on.
            QueueStore later(data);
            EXPECT_EQ(later.open(), (QueueOpenOutcome{true, QString(), QString()}));
            EXPECT_EQ(idsOf(later.load()), std::vector<std::int64_t>{1});
        } else {
            EXPECT_FALSE(outcome.persistent);
            EXPECT_FALSE(store.isPersistent());
            EXPECT_TRUE(outcome.keptAs.isEmpty());
            EXPECT_EQ(ReadFile(path), before);
            EXPECT_EQ(QDir(data).entryList({QStringLiteral("*.corrupt-*")}, QDir::Files).size(), 0);
        }
        ::chmod(QFile::encodeName(data).constData(), 0755);
    }
}

} // namespace
} // namespace tw::test
