#include "core/panes/entry_format.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <random>

using namespace tw;

namespace {

// Runs the tests of this file in a fixed time zone so that local times are known.
struct UtcZone : ::testing::Test {
    QByteArray saved = qgetenv("TZ");
    void SetUp() override {
        qputenv("TZ", "UTC");
        tzset();
    }
    void TearDown() override {
        if (saved.isNull())
            qunsetenv("TZ");
        else
            qputenv("TZ", saved);
        tzset();
    }
};

FileEntry File(const QString& name, bool folder = false) {
    FileEntry e;
    e.name = name;
    e.isFolder = folder;
    CompleteEntry(e);
    return e;
}

int Sign(int v) {
    return v < 0 ? -1 : (v > 0 ? 1 : 0);
}

} // namespace

TEST(GetExtension, TakesTheTextFromTheLastPeriod) {
    EXPECT_EQ(GetExtension(u"archive.tar.GZ"), u".GZ"_qs);
    EXPECT_EQ(GetExtension(u"README"), QString());
    EXPECT_EQ(GetExtension(u".."), u"."_qs);
    EXPECT_EQ(GetExtension(u".bashrc"), u".bashrc"_qs);
    EXPECT_EQ(GetExtension(u"trailing."), u"."_qs);
}

TEST(CompleteEntry, DerivesTypeParentAndSizes) {
    FileEntry e = File(u"Page.HTM"_qs);
    EXPECT_EQ(e.type, u".htm"_qs);
    EXPECT_FALSE(e.isParent);
    EXPECT_TRUE(File(u".."_qs, true).isParent);
    EXPECT_EQ(File(u".."_qs, true).type, u"."_qs);

    FileEntry folder;
    folder.name = u"dir"_qs;
    folder.isFolder = true;
    folder.findData.size = 4096;
    CompleteEntry(folder);
    EXPECT_EQ(folder.sizeText(), u"0"_qs);

    FileEntry drive;
    drive.name = u"/mnt/usb.stick"_qs;
    drive.isDrive = true;
    drive.findData.lastWriteTime = 1000000;
    CompleteEntry(drive);
    EXPECT_TRUE(drive.type.isEmpty());
    EXPECT_TRUE(drive.sizeText().isEmpty());
    EXPECT_TRUE(drive.dateText().isEmpty());
    EXPECT_EQ(drive.icon, int(PaneIcon::Drive));

    // An overlong extension is kept within the field's limit.
    EXPECT_EQ(File(u"x."_qs + QString(40, u'a')).type.size(), kTypeLimit);
}

TEST(SizeText, KeepsAllSixtyFourBits) {
    FindData fd;
    fd.size = (std::uint64_t(1) << 32) + 7; // a 4 GiB file whose low word is 7
    EXPECT_EQ(FormatSizeText(fd), u"4294967303"_qs);
    FileEntry e;
    e.name = u"big.iso"_qs;
    e.findData = fd;
    CompleteEntry(e);
    EXPECT_EQ(e.size, fd.size);
    EXPECT_EQ(e.sizeText(), u"4294967303"_qs);
}

TEST(IsExcluded, MatchesWholeExtensionsIgnoringCase) {
    const QString list = u".bak, .TMP;.log"_qs;
    EXPECT_TRUE(IsExcluded(list, u"a.BAK"));
    EXPECT_TRUE(IsExcluded(list, u"b.tmp"));
    EXPECT_TRUE(IsExcluded(list, u"c.log"));
    EXPECT_TRUE(IsExcluded(list, u"old.bak")); // folders are names like any other
    EXPECT_FALSE(IsExcluded(list, u"bak"));
    EXPECT_FALSE(IsExcluded(list, u"x.bak.txt"));
    EXPECT_FALSE(IsExcluded(list, u"x.ba"));
    EXPECT_FALSE(IsExcluded(QString(), u"a.bak"));
    EXPECT_FALSE(IsExcluded(u" ;, "_qs, u"a.bak")); // only separators: nothing excluded
}

TEST(ClassifyEntryIcon, FollowsFlagsThenTheExtensionLists) {
    EXPECT_EQ(File(u".."_qs, true).icon, int(PaneIcon::Parent));
    EXPECT_EQ(File(u"src"_qs, true).icon, int(PaneIcon::Folder));
    EXPECT_EQ(File(u"main.c"_qs).icon, 3);
    EXPECT_EQ(File(u"x.gz"_qs).icon, 5);
    EXPECT_EQ(File(u"README"_qs).icon, 10);
    EXPECT_EQ(File(u"setup.EXE"_qs).icon, 4);
    EXPECT_EQ(File(u"a.png"_qs).icon, 6);
    EXPECT_EQ(File(u"x.dat"_qs).icon, 8);
    EXPECT_EQ(File(u"song.mp3"_qs).icon, 9);
    EXPECT_EQ(File(u"x.unknownext"_qs).icon, 10);
    // Substring search: ".h" is found in the text list before the web list is tried, and a
    // short prefix of a listed extension matches too.
    EXPECT_EQ(File(u"x.h"_qs).icon, 3);
    EXPECT_EQ(File(u"x.ht"_qs).icon, 7);
    // A folder with an extension is still a folder.
    EXPECT_EQ(File(u"photos.png"_qs, true).icon, int(PaneIcon::Folder));
}

TEST_F(UtcZone, FormatFileTimeWritesTheFixedPattern) {
    FindData fd;
    fd.lastWriteTime = 1796685356; // 2026-12-07 23:15:56 UTC
    EXPECT_EQ(FormatFileTime(fd), u"07-Dec-2026 - 23:15:56"_qs);
    fd.lastWriteTime = 0;
    EXPECT_TRUE(FormatFileTime(fd).isEmpty());
    fd.lastWriteTime = -86400; // before 1970 is still a time
    EXPECT_EQ(FormatFileTime(fd), u"31-Dec-1969 - 00:00:00"_qs);
}

TEST(LocalDateKey, MatchesTheCLibraryAcrossDaylightSavingChanges) {
    const QByteArray saved = qgetenv("TZ");
    for (const char* zone : {"Europe/Berlin", "Australia/Lord_Howe", "America/St_Johns"}) {
        qputenv("TZ", zone);
        tzset();
        std::mt19937_64 random(3);
        // Whole years around the changes, in steps that hit every hour of the changing days.
        for (std::int64_t t = 1711846800 - 86400 * 400; t < 1711846800 + 86400 * 400;
             t += 1799 + std::int64_t(random() % 3)) {
            const std::time_t tt = static_cast<std::time_t>(t);
            std::tm tm{};
            ASSERT_NE(localtime_r(&tt, &tm), nullptr);
            const std::int64_t expected =
                ((((std::int64_t(tm.tm_year) + 1900) * 100 + tm.tm_mon + 1) * 100 + tm.tm_mday) *
                     100 +
                 tm.tm_hour) *
                    10000 +
                tm.tm_min * 100 + tm.tm_sec;
            ASSERT_EQ(LocalDateKey(t), expected) << zone << " " << t;
        }
    }
    if (saved.isNull())
        qunsetenv("TZ");
    else
        qputenv("TZ", saved);
    tzset();
}

TEST(CompareDateText, ComparesFieldByField) {
    const QString a = u"07-Dec-2026 - 23:15:56"_qs;
    EXPECT_EQ(CompareDateText(a, a), 0);
    EXPECT_LT(CompareDateText(u"31-Dec-2025 - 23:59:59", a), 0);
    EXPECT_GT(CompareDateText(u"01-Jan-2027 - 00:00:00", a), 0);
    EXPECT_LT(CompareDateText(u"07-Dec-2026 - 23:15:55", a), 0);
    EXPECT_LT(CompareDateText(u"07-Nov-2026 - 23:15:56", a), 0); // month by table, not by text
    EXPECT_EQ(CompareDateText(u"07-DEC-2026 - 23:15:56", a), 0); // letters ignore case
}

TEST(CompareDateText, ShortAndOddTextsFollowTheReadingRules) {
    // Unknown month letters count as January.
    EXPECT_EQ(CompareDateText(u"05-Xyz-2020 - 10:00:00", u"05-Jan-2020 - 10:00:00"), 0);
    // Only the first text's length decides whether times are read.
    EXPECT_EQ(CompareDateText(u"05-Mar-2020", u"05-Mar-2020 - 10:00:00"), 0);
    EXPECT_LT(CompareDateText(u"05-Mar-2020 - 09:00:00", u"05-Mar-2020 - 10:00:00"), 0);
    // An empty text has all fields zero: before every real date.
    EXPECT_LT(CompareDateText(u"", u"01-Jan-1980 - 00:00:00"), 0);
    EXPECT_GT(CompareDateText(u"01-Jan-1980 - 00:00:00", u""), 0);
    EXPECT_EQ(CompareDateText(u"", u""), 0);
}

TEST_F(UtcZone, DateKeysOrderExactlyAsTheirTexts) {
    std::mt19937_64 random(42);
    std::uniform_int_distribution<std::int64_t> when(-400000000, 4000000000);
    for (int i = 0; i < 2000; ++i) {
        FindData a, b;
        a.lastWriteTime = when(random);
        // Close pairs too, so that equal dates and single-second differences are covered.
        b.lastWriteTime = i % 3 == 0 ? a.lastWriteTime + (i % 7) - 3 : when(random);
        if (i % 50 == 0)
            a.lastWriteTime = 0;
        const std::int64_t ka = LocalDateKey(a.lastWriteTime);
        const std::int64_t kb = LocalDateKey(b.lastWriteTime);
        const int byKey = ka < kb ? -1 : (ka > kb ? 1 : 0);
        ASSERT_EQ(byKey, Sign(CompareDateText(FormatFileTime(a), FormatFileTime(b))))
            << a.lastWriteTime << " " << b.lastWriteTime;
        ASSERT_EQ(DateTextFromKey(ka), FormatFileTime(a));
    }
}
