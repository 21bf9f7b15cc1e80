#include "ftp/civil_time.h"
#include "ftp/listing_parser.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace tw::ftp;

namespace {

std::int64_t utc(int y, int mo, int d, int h = 0, int mi = 0, int s = 0) {
    return ToUnixTime(CivilTime{y, mo, d, h, mi, s});
}

// The fixed "now" of the year-less dates: 2024-06-15 12:00 UTC.
const std::int64_t kNow = utc(2024, 6, 15, 12, 0, 0);

struct Expected {
    const char* line;
    const char* name;
    EntryType type;
    std::uint64_t size;
    std::int64_t modified;
};

void expectAll(const std::vector<Expected>& cases, bool mlsd) {
    for (const auto& c : cases) {
        DirEntry e;
        const bool ok = mlsd ? ParseMlsdLine(c.line, e) : ParseListLine(c.line, kNow, e);
        ASSERT_TRUE(ok) << c.line;
        EXPECT_EQ(e.name, c.name) << c.line;
        EXPECT_EQ(e.type, c.type) << c.line;
        EXPECT_EQ(e.size, c.size) << c.line;
        EXPECT_EQ(e.lastWriteTime, c.modified) << c.line;
        EXPECT_EQ((e.attributes & kAttributeDirectory) != 0, c.type == EntryType::Directory)
            << c.line;
    }
}

} // namespace

TEST(CivilTime, RoundTripsAndLeapYears) {
    EXPECT_EQ(utc(1970, 1, 1), 0);
    EXPECT_EQ(utc(2000, 3, 1), 951868800);
    EXPECT_EQ(utc(2024, 2, 29, 23, 59, 59), 1709251199);
    const auto t = FromUnixTime(1709251199);
    EXPECT_EQ(t.year, 2024);
    EXPECT_EQ(t.month, 2);
    EXPECT_EQ(t.day, 29);
    EXPECT_EQ(t.second, 59);
    EXPECT_TRUE(IsLeapYear(2000));
    EXPECT_FALSE(IsLeapYear(1900));
    EXPECT_FALSE(IsValid(CivilTime{2023, 2, 29, 0, 0, 0}));
}

// Lines as real servers send them (wu-ftpd, vsftpd, ProFTPD, Solaris, BusyBox, NetWare-style
// numeric owners), gathered from the public test data of mature FTP client parsers.
TEST(UnixListing, RealWorldLines) {
    expectAll(
        {
            {"-rw-r--r--   1 root     other        531 Jan 29 03:26 README", "README",
             EntryType::File, 531, utc(2024, 1, 29, 3, 26)},
            {"dr-xr-xr-x   2 root     other        512 Apr  8  1994 etc", "etc",
             EntryType::Directory, 512, utc(1994, 4, 8)},
            {"dr-xr-xr-x   2 root     512 Apr  8  1994 etc", "etc", EntryType::Directory, 512,
             utc(1994, 4, 8)},
            {"lrwxrwxrwx   1 root     other          7 Jan 25 00:17 bin -> usr/bin", "bin",
             EntryType::Link, 7, utc(2024, 1, 25, 0, 17)},
            {"-rw-r--r--    1 3642     3643          106 Nov 15 22:20 index.html", "index.html",
             EntryType::File, 106, utc(2023, 11, 15, 22, 20)},
            {"-rw-r--r--   1 500      500            21 Aug  8 14:14 JB3-TES1.gz", "JB3-TES1.gz",
             EntryType::File, 21, utc(2023, 8, 8, 14, 14)},
            {"drwxr-xr-x   2 root     99           4096 Feb 23 13:01 zztpp", "zztpp",
             EntryType::Directory, 4096, utc(2024, 2, 23, 13, 1)},
            {"lrwxrwxrwx   1 500      500             2 Mar 10 13:13 zxbox -> zx", "zxbox",
             EntryType::Link, 2, utc(2024, 3, 10, 13, 13)},
            {"crw-r-----   1 root     kmem      0,  27 Jan 30 11:42 kmem", "kmem", EntryType::Other,
             0, utc(2024, 1, 30, 11, 42)},
            {"brw-rw----   1 root     disk      8,   0 Jun  1  2020 sda", "sda", EntryType::Other,
             0, utc(2020, 6, 1)},
            {"drwxr-xr-x    2 0        0            4096 Oct 21  2020 pub", "pub",
             EntryType::Directory, 4096, utc(2020, 10, 21)},
            {"-rw-r--r--   1 ftp      ftp     1382015 May 28  2010 file with spaces.txt",
             "file with spaces.txt", EntryType::File, 1382015, utc(2010, 5, 28)},
            {"-rw-r--r--   1 ftp      ftp           0 May 28 09:00  leading space",
             " leading space", EntryType::File, 0, utc(2024, 5, 28, 9, 0)},
            {"-rw-r--r--   1 ftp      ftp           3 May 28 09:00 trailing space ",
             "trailing space ", EntryType::File, 3, utc(2024, 5, 28, 9, 0)},
            {"-rw-r--r--   1 user     group 5368709120 Dec 31  2019 big.iso", "big.iso",
             EntryType::File, 5368709120ULL, utc(2019, 12, 31)},
            {"drwxr-xr-x+  3 user     staff        102 Mar  3 10:00 acl-dir", "acl-dir",
             EntryType::Directory, 102, utc(2024, 3, 3, 10, 0)},
            {"-rw-r--r--   1 owner    group        200 JAN  5 2021 UPPER", "UPPER", EntryType::File,
             200, utc(2021, 1, 5)},
            {"prw-r--r--   1 root     root           0 Jun 10 08:00 fifo", "fifo", EntryType::Other,
             0, utc(2024, 6, 10, 8, 0)},
            {"-rw-r--r--   1 1000     1000        1234 Jun 15 11:59 Jan 1 2020 tricky",
             "Jan 1 2020 tricky", EntryType::File, 1234, utc(2024, 6, 15, 11, 59)},
            {"-rw-r--r-- 1 user group 77 2021-03-04 05:06 long-iso name.txt", "long-iso name.txt",
             EntryType::File, 77, utc(2021, 3, 4, 5, 6)},
            {"drwxr-xr-x 2 user 4096 2019-12-31 23:59 iso-dir", "iso-dir", EntryType::Directory,
             4096, utc(2019, 12, 31, 23, 59)},
            {"-r--r--r--   1 ftp      ftp          42 Apr  1  2001 \xE9t\xE9.txt", "\xE9t\xE9.txt",
             EntryType::File, 42, utc(2001, 4, 1)},
        },
        false);
}

TEST(UnixListing, Attributes) {
    DirEntry e;
    ASSERT_TRUE(ParseListLine("-r--r--r--   1 ftp ftp 42 Apr  1  2001 ro.txt", kNow, e));
    EXPECT_EQ(e.attributes, kAttributeReadOnly | kAttributeArchive);
    ASSERT_TRUE(ParseListLine("drwxr-xr-x   1 ftp ftp 42 Apr  1  2001 .config", kNow, e));
    EXPECT_EQ(e.attributes, kAttributeDirectory | kAttributeHidden);
    ASSERT_TRUE(ParseListLine("drwxr-xr-x   1 ftp ftp 42 Apr  1  2001 ..", kNow, e));
    EXPECT_EQ(e.attributes, kAttributeDirectory);
    EXPECT_TRUE(e.unsafeName);
    ASSERT_TRUE(ParseListLine("lrwxrwxrwx   1 ftp ftp 9 Apr  1  2001 up -> ../etc", kNow, e));
    EXPECT_EQ(e.linkTarget, "../etc");
    EXPECT_FALSE(e.unsafeName);
}

// Links are links, whichever listing names them, and never carry the folder attribute.
TEST(Listing, LinksKeepTheirNameAndTarget) {
    struct Row {
        const char* line;
        bool mlsd;
        const char* name;
        const char* target;
    };
    for (const Row& r : {
             Row{"lrwxrwxrwx 1 u g 11 Jan 1 2020 www -> public_html", false, "www", "public_html"},
             Row{"lrwxrwxrwx 1 u g 11 Jan 1 2020 a b -> /x -> y", false, "a b", "/x -> y"},
             Row{"lrwxrwxrwx 1 u g 11 Jan 1 2020 bare", false, "bare", ""},
             Row{"type=OS.unix=slink:/srv/www;modify=20200101000000; www", true, "www", "/srv/www"},
             Row{"type=OS.unix=slink;modify=20200101000000; www", true, "www", ""},
             Row{"type=OS.unix=symlink;size=3; lnk", true, "lnk", ""},
         }) {
        DirEntry e;
        ASSERT_TRUE(r.mlsd ? ParseMlsdLine(r.line, e) : ParseListLine(r.line, kNow, e)) << r.line;
        EXPECT_EQ(e.type, EntryType::Link) << r.line;
        EXPECT_EQ(e.name, r.name);
        EXPECT_EQ(e.linkTarget, r.target);
        EXPECT_EQ(e.attributes & kAttributeDirectory, 0u) << r.line;
    }
}

TEST(UnixListing, SixMonthRuleAtFixedNow) {
    DirEntry e;
    // Later in the calendar than "now": last year's date.
    ASSERT_TRUE(ParseListLine("-rw-r--r-- 1 u g 1 Dec 24 18:00 xmas", kNow, e));
    EXPECT_EQ(e.lastWriteTime, utc(2023, 12, 24, 18, 0));
    // Tomorrow (a server in a time zone ahead of ours) stays in this year.
    ASSERT_TRUE(ParseListLine("-rw-r--r-- 1 u g 1 Jun 16 08:00 ahead", kNow, e));
    EXPECT_EQ(e.lastWriteTime, utc(2024, 6, 16, 8, 0));
    ASSERT_TRUE(ParseListLine("-rw-r--r-- 1 u g 1 Jun 17 08:00 future", kNow, e));
    EXPECT_EQ(e.lastWriteTime, utc(2023, 6, 17, 8, 0));
}

TEST(UnixListing, TwentyNinthOfFebruaryLandsInALeapYear) {
    DirEntry e;
    ASSERT_TRUE(ParseListLine("-rw-r--r-- 1 u g 1 Feb 29 10:00 leap", kNow, e));
    EXPECT_EQ(e.lastWriteTime, utc(2024, 2, 29, 10, 0));
    // In January 2025 the last 29 February was in 2024.
    ASSERT_TRUE(ParseListLine("-rw-r--r-- 1 u g 1 Feb 29 10:00 leap", utc(2025, 1, 10), e));
    EXPECT_EQ(e.lastWriteTime, utc(2024, 2, 29, 10, 0));
    // In February 2024 before the 29th, the previous one was in 2020.
    ASSERT_TRUE(ParseListLine("-rw-r--r-- 1 u g 1 Feb 29 10:00 leap", utc(2024, 2, 10), e));
    EXPECT_EQ(e.lastWriteTime, utc(2020, 2, 29, 10, 0));
}

TEST(DosListing, RealWorldLines) {
    expectAll(
        {
            {"04-27-00  09:09PM       <DIR>          licensed", "licensed", EntryType::Directory, 0,
             utc(2000, 4, 27, 21, 9)},
            {"07-18-00  10:16AM       <DIR>          pub", "pub", EntryType::Directory, 0,
             utc(2000, 7, 18, 10, 16)},
            {"04-14-00  03:47PM                  589 readme.htm", "readme.htm", EntryType::File,
             589, utc(2000, 4, 14, 15, 47)},
            {"01-29-97  11:32AM                 1024 old.txt", "old.txt", EntryType::File, 1024,
             utc(1997, 1, 29, 11, 32)},
            {"12-05-2019  12:00AM             1048576 midnight.bin", "midnight.bin",
             EntryType::File, 1048576, utc(2019, 12, 5, 0, 0)},
            {"12-05-2019  12:30PM             7 noon.txt", "noon.txt", EntryType::File, 7,
             utc(2019, 12, 5, 12, 30)},
            {"10-23-2009  17:38       <DIR>          24hour dir", "24hour dir",
             EntryType::Directory, 0, utc(2009, 10, 23, 17, 38)},
            {"02-29-2024  01:02 PM        6,442,450,944 big file.iso", "big file.iso",
             EntryType::File, 6442450944ULL, utc(2024, 2, 29, 13, 2)},
        },
        false);
}

TEST(MlsdListing, RealWorldLines) {
    expectAll(
        {
            {"Type=file;Size=25730;Modify=19940728095854;Perm=; capmux.tar.z", "capmux.tar.z",
             EntryType::File, 25730, utc(1994, 7, 28, 9, 58, 54)},
            {"type=file;size=156;perm=radfw;modify=20071029155301;unique=801cd2; music.mp3",
             "music.mp3", EntryType::File, 156, utc(2007, 10, 29, 15, 53, 1)},
            {"type=dir;sizd=4096;modify=20201231235959.123;UNIX.mode=0755; my dir", "my dir",
             EntryType::Directory, 4096, utc(2020, 12, 31, 23, 59, 59)},
            {"TYPE=DIR;MODIFY=20100101000000; Upper", "Upper", EntryType::Directory, 0,
             utc(2010, 1, 1)},
            {"type=OS.unix=slink:/usr/share;modify=20200101010101; share", "share", EntryType::Link,
             0, utc(2020, 1, 1, 1, 1, 1)},
            {"type=file;size=0;modify=bogus; no-time", "no-time", EntryType::File, 0, 0},
            {"type=file;size=12; two  spaces ", "two  spaces ", EntryType::File, 12, 0},
            {"modify=20240229120000;perm=r;size=9;type=file;UNIX.mode=0444; \xFF\xFE", "\xFF\xFE",
             EntryType::File, 9, utc(2024, 2, 29, 12, 0)},
        },
        true);
}

TEST(MlsdListing, CurrentAndParentAreNotEntries) {
    DirEntry e;
    EXPECT_FALSE(ParseMlsdLine("Type=cdir;Modify=19981107085215;Perm=el; /tmp", e));
    EXPECT_FALSE(ParseMlsdLine("type=PDIR;modify=19981107085215; ..", e));
    EXPECT_FALSE(ParseMlsdLine("no-space-so-no-name", e));
    EXPECT_FALSE(ParseMlsdLine("type=file; ", e));
}

TEST(MlsdListing, ReadOnlyAndCreationTimes) {
    DirEntry e;
    ASSERT_TRUE(ParseMlsdLine("type=file;perm=r;create=20000101000000; ro", e));
    EXPECT_TRUE(e.attributes & kAttributeReadOnly);
    EXPECT_EQ(e.creationTime, utc(2000, 1, 1));
    ASSERT_TRUE(ParseMlsdLine("type=file;perm=r;unix.mode=0644; rw-by-mode", e));
    EXPECT_FALSE(e.attributes & kAttributeReadOnly);
    ASSERT_TRUE(ParseMlsdLine("type=file;perm=adfrw; rw", e));
    EXPECT_FALSE(e.attributes & kAttributeReadOnly);
    ASSERT_TRUE(ParseMlsdLine("type=file; a/b", e));
    EXPECT_TRUE(e.unsafeName);
}

TEST(Listing, LinesThatAreNotEntriesAreDropped) {
    DirEntry e;
    for (const char* line :
         {"total 12", "", "ls: cannot access 'x': No such file or directory", "550 No files found",
          "drwxr-xr-x 2 u g 4096 Foo 12 10:00 badmonth", "-rw-r--r-- 1 u g 12 Jan 32 10:00 badday",
          "-rw-r--r-- 1 u g 12 Jan 12 25:00 badtime", "-rw-r--r-- 1 u g 12 Jan 12 10:00",
          "-rw-r--r-- 1 u g 12x Jan 12 10:00 badsize",
          "13-45-00  09:09PM       <DIR>          badmonth", "04-27-00  13:09PM  1 badampm",
          "04-27-00  09:09PM       <DIR>", "-rw-r--r-- 1 u g 99999999999999999999999 Jan 1 2000 x",
          "Directory of C:\\"}) {
        EXPECT_FALSE(ParseListLine(line, kNow, e)) << line;
    }
}

TEST(Listing, HostileNamesAreKeptButMarked) {
    DirEntry e;
    ASSERT_TRUE(ParseListLine("-rw-r--r-- 1 u g 1 Jan 1 2000 ../../etc/passwd", kNow, e));
    EXPECT_EQ(e.name, "../../etc/passwd");
    EXPECT_TRUE(e.unsafeName);
    ASSERT_TRUE(ParseListLine("-rw-r--r-- 1 u g 1 Jan 1 2000 a\\b", kNow, e));
    EXPECT_TRUE(e.unsafeName);
    ASSERT_TRUE(ParseListLine("-rw-r--r-- 1 u g 1 Jan 1 2000 cr\rinside", kNow, e));
    EXPECT_EQ(e.name, "cr\rinside");
    EXPECT_TRUE(e.unsafeName);
    ASSERT_TRUE(ParseListLine("-rw-r--r-- 1 u g 1 Jan 1 2000 fine", kNow, e));
    EXPECT_FALSE(e.unsafeName);
}
