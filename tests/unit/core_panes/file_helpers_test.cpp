#include "core/panes/file_helpers.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "support/test_files.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace tw;

TEST(FormatShortSize, PicksTheUnitAndCutsTheFirstZeroDecimals) {
    EXPECT_EQ(FormatShortSize(0), u"0"_qs);
    EXPECT_EQ(FormatShortSize(1023), u"1023"_qs);
    EXPECT_EQ(FormatShortSize(1024), u"1 K"_qs);
    EXPECT_EQ(FormatShortSize(1536), u"1.50 K"_qs);
    EXPECT_EQ(FormatShortSize(2048), u"2 K"_qs);
    EXPECT_EQ(FormatShortSize(0xFFFFF), u"1024 K"_qs); // 1023.999 rounds up, still K
    EXPECT_EQ(FormatShortSize(0x100000), u"1 M"_qs);
    EXPECT_EQ(FormatShortSize(0x40000000), u"1 G"_qs);
    // Sizes beyond 32 bits keep their magnitude.
    EXPECT_EQ(FormatShortSize(std::uint64_t(5) << 30), u"5 G"_qs);
    EXPECT_EQ(FormatShortSize((std::uint64_t(5) << 30) + (std::uint64_t(1) << 29)), u"5.50 G"_qs);
}

TEST(FormatSizeWithBytes, ShowsTheExactSixtyFourBitCount) {
    EXPECT_EQ(FormatSizeWithBytes(1536), u"1.50 K (1536 Bytes)"_qs);
    EXPECT_EQ(FormatSizeWithBytes((std::uint64_t(1) << 32) + 1), u"4 G (4294967297 Bytes)"_qs);
}

TEST(FormatFileTimeLong, UnknownForZeroElseDateTwoBlanksAndTime) {
    EXPECT_EQ(FormatFileTimeLong(0), u"Unknown"_qs);
    const QString text = FormatFileTimeLong(1796685356);
    EXPECT_TRUE(text.contains(u"  "_qs));
    EXPECT_TRUE(text.contains(u"2026"_qs));
    // No seconds: the instant's seconds (56) do not appear after the blanks.
    EXPECT_FALSE(text.section(u"  "_qs, 1).contains(u":56"_qs)) << text.toStdString();
}

TEST(LookupFileType, SameAnswerWithOrWithoutThePeriod) {
    const FileTypeInfo a = LookupFileType(u"txt"_qs);
    const FileTypeInfo b = LookupFileType(u".txt"_qs);
    EXPECT_EQ(a.description, b.description);
    EXPECT_TRUE(a.known);
    EXPECT_NE(a.description, u"Document"_qs);
    EXPECT_FALSE(a.iconName.isEmpty());
}

TEST(LookupFileType, UnknownTypesAreDocuments) {
    EXPECT_EQ(LookupFileType(QString()).description, u"Document"_qs);
    EXPECT_FALSE(LookupFileType(QString()).known);
    EXPECT_EQ(LookupFileType(u".zqxjwv"_qs).description, u"Document"_qs);
}

TEST(BackupFile, BothNameForms) {
    EXPECT_EQ(BackupFileName(u"/logs/app.log"_qs, true), u"/logs/Backup of app.log"_qs);
    EXPECT_EQ(BackupFileName(u"/logs/app.log"_qs, false), u"/logs/app.bak"_qs);
    EXPECT_EQ(BackupFileName(u"/logs/noext"_qs, false), u"/logs/noext.bak"_qs);
    EXPECT_EQ(BackupFileName(u"/a.b/file"_qs, false), u"/a.b/file.bak"_qs);
}

TEST(BackupFile, CopiesAndReplacesAnEarlierCopy) {
    QTemporaryDir dir;
    const QString path = dir.path() + u"/app.log"_qs;
    test::WriteFile(path, "one");
    ASSERT_TRUE(BackupFile(path, true));
    EXPECT_EQ(test::ReadFile(dir.path() + u"/Backup of app.log"_qs), "one");
    test::WriteFile(path, "two");
    ASSERT_TRUE(BackupFile(path, true));
    ASSERT_TRUE(BackupFile(path, false));
    EXPECT_EQ(test::ReadFile(dir.path() + u"/Backup of app.log"_qs), "two");
    EXPECT_EQ(test::ReadFile(dir.path() + u"/app.bak"_qs), "two");
    EXPECT_EQ(test::ReadFile(path), "two");
    // No stray staging files are left behind.
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 3);
}

TEST(BackupFile, MissingFileIsFineReadOnlyFileIsNot) {
    QTemporaryDir dir;
    EXPECT_TRUE(BackupFile(dir.path() + u"/none.log"_qs, false));
    EXPECT_FALSE(QFile::exists(dir.path() + u"/none.bak"_qs));
    const QString path = dir.path() + u"/ro.log"_qs;
    test::WriteFile(path, "x");
    ::chmod(QFile::encodeName(path).constData(), 0444);
    EXPECT_FALSE(BackupFile(path, false));
    EXPECT_FALSE(QFile::exists(dir.path() + u"/ro.bak"_qs));
}

TEST(BackupFile, ABakFileIsNotCopiedOntoItself) {
    QTemporaryDir dir;
    const QString path = dir.path() + u"/data.bak"_qs;
    test::WriteFile(path, "precious");
    EXPECT_FALSE(BackupFile(path, false));
    EXPECT_EQ(test::ReadFile(path), "precious");
}
