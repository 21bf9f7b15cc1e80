#include "core/state/app_state.h"
#include "core/text/messages.h"
#include "core/transfer/transfer_log.h"
#include "support/recording_port.h"
#include "support/test_files.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdint>

using namespace tw;

namespace {

struct TransferLogTest : ::testing::Test {
    test::RecordingPort port;
    AppState state;
    AppGlobals globals;
    Messages messages{port, state, globals};
    QTemporaryDir dir;
    // The log's folder does not exist yet, as on a first run.
    QString logPath = dir.filePath(u"data/tarnwick2000.log"_qs);
    QString backupPath = dir.filePath(u"data/Backup of tarnwick2000.log"_qs);
    QDateTime first{QDate(2026, 12, 7), QTime(23, 15, 56)};
    QDateTime second{QDate(2027, 1, 2), QTime(3, 4, 5)};
    TransferLogTest() { globals.logPath = logPath; }
};

} // namespace

TEST(FormatTransferSpeed, PicksTheFormByDurationWithPluralsAndTrueSixtyFourBitFigures) {
    test::RecordingPort port;
    AppState state;
    AppGlobals globals;
    const Messages messages(port, state, globals);
    constexpr std::uint64_t kGiB = std::uint64_t(1) << 30;
    struct Case {
        std::uint64_t elapsedMs;
        std::uint64_t bytes;
        const char16_t* expected;
    };
    const Case cases[] = {
        // Under a second: 0 seconds (plural) and no rate.
        {999, 5000, u"Speed: 0 seconds (0 bytes/second)"},
        {1000, 1, u"Speed: 1 second (1 bytes/second)"},
        {61000, 122000, u"Speed: 1 minute, 1 second (2000 bytes/second)"},
        {3725000, 7450000, u"Speed: 1 hour, 2 minutes, 5 seconds (2000 bytes/second)"},
        // 5 GiB in 10 s: both the size and the rate are beyond 32 bits' reach as a product.
        {10000, 5 * kGiB, u"Speed: 10 seconds (536870912 bytes/second)"},
        {10000, 50 * kGiB, u"Speed: 10 seconds (5368709120 bytes/second)"},
        // 50 days: the elapsed milliseconds themselves exceed 32 bits.
        {4320000000ULL, 8640000000ULL,
         u"Speed: 1200 hours, 0 minutes, 0 seconds (2000 "
         u"bytes/second)"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FormatTransferSpeed(messages, c.elapsedMs, c.bytes),
                  QString::fromUtf16(c.expected))
            << c.elapsedMs << " ms, " << c.bytes << " bytes";
    EXPECT_TRUE(port.boxes().empty());
}

TEST_F(TransferLogTest, AppendsOneLineEachWithSlashJoinsAndBacksUpTheLogFirst) {
    // A percent sign and a printf directive in a name are written as they are; the time stamp
    // has two-digit fields and an English month; a folder ending in '/' (the root) gets no
    // second one.
    const TransferLogEntry upload{u"/home/ann/docs"_qs, u"100% done %s.txt"_qs, u"/pub/incoming"_qs,
                                  u"100% done %s.txt"_qs};
    const TransferLogEntry download{u"/"_qs, u"README"_qs, u"/home/ann/"_qs, u"readme"_qs};
    const QByteArray line1 =
        "07-Dec-2026 - 23:15:56 - /home/ann/docs/100% done %s.txt => /pub/incoming/100% done "
        "%s.txt\n";
    const QByteArray line2 = "02-Jan-2027 - 03:04:05 - /README => /home/ann/readme\n";

    EXPECT_TRUE(WriteTransferLogEntry(messages, globals, upload, first));
    EXPECT_EQ(test::ReadFile(logPath), line1);
    EXPECT_FALSE(QFile::exists(backupPath)); // nothing to back up before the first line

    EXPECT_TRUE(WriteTransferLogEntry(messages, globals, download, second));
    EXPECT_EQ(test::ReadFile(logPath), line1 + line2);
    // The copy is taken before the line is added.
    EXPECT_EQ(test::ReadFile(backupPath), line1);
    EXPECT_TRUE(port.boxes().empty());
}

TEST_F(TransferLogTest, LoggingOffWritesNothingAndCopiesNothing) {
    const TransferLogEntry entry{u"/a"_qs, u"b"_qs, u"/c"_qs, u"d"_qs};
    globals.transferLogging = false;
    EXPECT_TRUE(WriteTransferLogEntry(messages, globals, entry, first));
    EXPECT_FALSE(QFile::exists(logPath));
    EXPECT_FALSE(QDir(dir.filePath(u"data"_qs)).exists());

    // An existing log stays as it is, without a backup copy.
    globals.transferLogging = true;
    ASSERT_TRUE(WriteTransferLogEntry(messages, globals, entry, first));
    const QByteArray before = test::ReadFile(logPath);
    globals.transferLogging = false;
    EXPECT_TRUE(WriteTransferLogEntry(messages, globals, entry, second));
    EXPECT_EQ(test::ReadFile(logPath), before);
    EXPECT_FALSE(QFile::exists(backupPath));
}

TEST_F(TransferLogTest, ALogThatCannotBeOpenedDropsTheLineButTheTransferCounts) {
    ASSERT_TRUE(QDir().mkpath(logPath)); // a folder where the log should be
    const TransferLogEntry entry{u"/a"_qs, u"b"_qs, u"/c"_qs, u"d"_qs};
    EXPECT_TRUE(WriteTransferLogEntry(messages, globals, entry, first));
    EXPECT_TRUE(QFileInfo(logPath).isDir());
    EXPECT_TRUE(port.boxes().empty());
}
