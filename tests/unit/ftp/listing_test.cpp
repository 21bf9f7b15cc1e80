#include "ftp/civil_time.h"
#include "ftp/listing_parser.h"
#include "unit/ftp/listing_cases.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

using namespace tw::ftp;
using tw::ftp::test::kNow;
using tw::ftp::test::utc;

namespace {

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

// Dates, sizes and fields as servers other than GNU ls print them. The ambiguous cases:
//  - The size is the number right before the date, so a numeric owner or group ("1000") is
//    never taken for it, and owners or groups may be missing or hold spaces.
//  - A year followed by a clock and a name ("Mar 4 2021 05:06 x") takes the clock as the
//    time: a name "05:06 x" in a dated line reads as "x". The first date wins, so a name that
//    looks like a date ("Feb 2 2021 y") is kept whole.
//  - A line without a written date: "perm links owner group size epoch name" carries seconds
//    since 1970; with numeric owners and one number fewer ("1 1000 1000 1705321234 name") the
//    number is taken for the size, since the group is more often there than the date.
TEST(UnixListing, OtherDateOrdersSizesAndFields) {
    expectAll(
        {
            {"-rw-r--r--   1 user  group   1234 15. Jan 12:34 Datei.txt", "Datei.txt",
             EntryType::File, 1234, utc(2024, 1, 15, 12, 34)},
            {"-rw-r--r-- 1 user group 2048 2021/03/04 05:06 slashed", "slashed", EntryType::File,
             2048, utc(2021, 3, 4, 5, 6)},
            {"-rw-r--r-- 1 user group 2048 04.03.2021 05:06 dotted", "dotted", EntryType::File,
             2048, utc(2021, 3, 4, 5, 6)},
            {"-rw-r--r-- 1 user group 2048 03/04/21 05:06 us", "us", EntryType::File, 2048,
             utc(2021, 3, 4, 5, 6)},
            {"-rw-r--r-- 1 user group 2048 Mar 4, 2021 05:06 comma", "comma", EntryType::File, 2048,
             utc(2021, 3, 4, 5, 6)},
            {"-rw-r--r-- 1 user group 2048 Mar 4 2021 05:06 yeartime", "yeartime", EntryType::File,
             2048, utc(2021, 3, 4, 5, 6)},
            {"-rw-r--r-- 1 user group 2048 Mar  4 05:06:07 2021 bsd", "bsd", EntryType::File, 2048,
             utc(2021, 3, 4, 5, 6, 7)},
            {"-rw-r--r-- 1 user group 2048 2021-03-04 05:06:07.123456789 +0100 full time",
             "full time", EntryType::File, 2048, utc(2021, 3, 4, 4, 6, 7)},
            {"-rw-r--r-- 1 user group 5 Jan 1 2020 Feb 2 2021 y", "Feb 2 2021 y", EntryType::File,
             5, utc(2020, 1, 1)},
            {"-rw-r--r-- 1 user group 1.5K Jan 1 2020 units", "units", EntryType::File, 1536,
             utc(2020, 1, 1)},
            {"drwxr-xr-x 2 user group 4.0K Jan 1 2020 udir", "udir", EntryType::Directory, 4096,
             utc(2020, 1, 1)},
            {"-rw-r--r-- 1 user group 20M Jan 1 2020 big", "big", EntryType::File, 20971520,
             utc(2020, 1, 1)},
            {"-rw-r--r-- 1 user group 1,234,567 Jan 1 2020 grouped", "grouped", EntryType::File,
             1234567, utc(2020, 1, 1)},
            {"-rw-r--r--   1 longowner longgroup123456789 Jan  1  2020 glued", "glued",
             EntryType::File, 123456789, utc(2020, 1, 1)},
            {"-rw-r--r-- 1234 Jan 1 2020 no owner", "no owner", EntryType::File, 1234,
             utc(2020, 1, 1)},
            {"-rw-r--r-- 1 1000 12 Jan 1 2020 numeric owner", "numeric owner", EntryType::File, 12,
             utc(2020, 1, 1)},
            {"-rw-r--r-- 1 DOMAIN\\user DOMAIN\\Domain Users 4321 Jan 1 2020 domain.txt",
             "domain.txt", EntryType::File, 4321, utc(2020, 1, 1)},
            {"-rw-r--r--@ 1 user staff 77 Jan 1 2020 mac", "mac", EntryType::File, 77,
             utc(2020, 1, 1)},
            {"-rw-r--r-- 1 user group 1234 1 15 12:34 numeric", "numeric", EntryType::File, 1234,
             utc(2024, 1, 15, 12, 34)},
            {"-rw-r--r-- 1 user group 1234 12 21 2009 oldnum", "oldnum", EntryType::File, 1234,
             utc(2009, 12, 21)},
            {"-rw-r--r-- 1 user group 1234 1705321234 epoch.txt", "epoch.txt", EntryType::File,
             1234, 1705321234},
            {"-rw-r--r-- 1 user 1234 1705321234 epoch2", "epoch2", EntryType::File, 1234,
             1705321234},
            {"-rw-r--r-- 1 1000 1000 1705321234 ambiguous", "ambiguous", EntryType::File,
             1705321234, 0},
            {"-rw-r--r-- 1 user group 1234 dateless.txt", "dateless.txt", EntryType::File, 1234, 0},
            {"lrwxrwxrwx 1 user group 11 2021-03-04 05:06 www -> public_html", "www",
             EntryType::Link, 11, utc(2021, 3, 4, 5, 6)},
            // NetPresenz (Mac): resource and data fork sizes, then the total; folders count
            // their items.
            {"-------r--         326  1391972  1392298 Nov 22  1995 MegaPhone.sit", "MegaPhone.sit",
             EntryType::File, 1392298, utc(1995, 11, 22)},
            {"drwxrwxr-x               folder        2 May 10  1996 network", "network",
             EntryType::Directory, 2, utc(1996, 5, 10)},
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

// Two-digit years: 70-99 are 1970-1999, 00-69 are 2000-2069 (as Windows reads them).
TEST(DosListing, OtherDatesSizesAndLinks) {
    expectAll(
        {
            {"2019-12-05  17:38             1,048,576 iso.bin", "iso.bin", EntryType::File, 1048576,
             utc(2019, 12, 5, 17, 38)},
            {"05.12.2019  17:38    <DIR>          europe", "europe", EntryType::Directory, 0,
             utc(2019, 12, 5, 17, 38)},
            {"12-05-2019  05:38:09 PM   100 secs.txt", "secs.txt", EntryType::File, 100,
             utc(2019, 12, 5, 17, 38, 9)},
            {"01-15-24  10:00  1.234.567 dots.txt", "dots.txt", EntryType::File, 1234567,
             utc(2024, 1, 15, 10, 0)},
            {"01-01-69  10:00  1 sixty-nine", "sixty-nine", EntryType::File, 1,
             utc(2069, 1, 1, 10, 0)},
            {"01-01-70  10:00  1 seventy", "seventy", EntryType::File, 1, utc(1970, 1, 1, 10, 0)},
            {"25-12-2020  10:00  1 day first", "day first", EntryType::File, 1,
             utc(2020, 12, 25, 10, 0)},
        },
        false);
    DirEntry e;
    ASSERT_TRUE(
        ParseListLine("01-15-24  10:00AM    <JUNCTION>     Docs [C:\\Users\\Docs]", kNow, e));
    EXPECT_EQ(e.type, EntryType::Link);
    EXPECT_EQ(e.name, "Docs");
    EXPECT_EQ(e.linkTarget, "C:\\Users\\Docs");
}

// EPLF, NetWare and MLSD-style facts sent in answer to LIST.
TEST(OtherListings, EplfNetWareAndFacts) {
    expectAll(
        {
            {"+i8388621.29609,m824255902,/,\tdev", "dev", EntryType::Directory, 0, 824255902},
            {"+i8388621.44468,m839956783,r,s10376,\tRFCEPLF", "RFCEPLF", EntryType::File, 10376,
             839956783},
            {"+m839956783,r,s0,up644,\tname with spaces", "name with spaces", EntryType::File, 0,
             839956783},
            {"d [R----F--] supervisor            512       Jan 16 18:53    login", "login",
             EntryType::Directory, 512, utc(2024, 1, 16, 18, 53)},
            {"- [RWCEAFMS] rhesus             214059       Oct 20  2001    cx.exe", "cx.exe",
             EntryType::File, 214059, utc(2001, 10, 20)},
            {"type=file;size=10;modify=20200101000000; facts.txt", "facts.txt", EntryType::File, 10,
             utc(2020, 1, 1)},
        },
        false);
}

// A whole listing: entries, lines that are none (totals, blanks, "." and "..") and lines no
// family reads, which are counted with the first of them kept for the message.
TEST(Listing, UnreadableLinesAreCountedNotHidden) {
    ListingParser parser(kNow);
    std::vector<std::string> names;
    for (const char* line :
         {"total 12\r", "", "   ", "drwxr-xr-x 2 u g 4096 Jan 1 2020 .",
          "-rw-r--r-- 1 u g 1 Jan 1 2020 ok", "garbage line\r\n",
          "drwxr-xr-x 2 u g 4096 Foo 12 10:00 badmonth", "-rw-r--r-- 1 u g 2 Jan 1 2020 also ok"}) {
        DirEntry e;
        if (parser.parseLine(line, e))
            names.push_back(e.name);
    }
    parser.finish();
    EXPECT_EQ(names, (std::vector<std::string>{".", "ok", "also ok"}));
    EXPECT_EQ(parser.unreadable(), 2u);
    EXPECT_EQ(parser.firstUnreadable(), "garbage line");
    EXPECT_EQ(parser.family(), ListingFamily::Unix);
    EXPECT_EQ(UnreadableEntriesText(2, "garbage line"),
              "2 entries of the listing could not be read; the first: garbage line");
    EXPECT_EQ(UnreadableEntriesText(1, "x"), "1 entry of the listing could not be read: x");
    // A hostile line can neither flood the log nor drive a terminal.
    EXPECT_EQ(UnreadableEntriesText(1, "a\x1b[2Jb\rc\x7f"),
              "1 entry of the listing could not be read: a\\x1b[2Jb\\x0dc\\x7f");
    const std::string cut = UnreadableEntriesText(1, std::string(159, 'x') + "\xc3\xa9" + "tail");
    EXPECT_EQ(cut, "1 entry of the listing could not be read: " + std::string(159, 'x') + "...");

    ListingParser mlsd = ListingParser::forMlsd(kNow);
    DirEntry e;
    EXPECT_FALSE(mlsd.parseLine("type=cdir;modify=20200101000000; /pub", e));
    EXPECT_TRUE(mlsd.parseLine(" no facts", e));
    EXPECT_FALSE(mlsd.parseLine("nospace", e));
    EXPECT_EQ(mlsd.unreadable(), 1u);
}

TEST(Listing, SystemRepliesNameTheirFamily) {
    EXPECT_EQ(SystemFamily("UNIX Type: L8"), ListingFamily::Unix);
    EXPECT_EQ(SystemFamily("Windows_NT"), ListingFamily::Dos);
    EXPECT_EQ(SystemFamily("VMS V7.3 is the operating system of this server."), ListingFamily::Vms);
    EXPECT_EQ(
        SystemFamily("MVS is the operating system of this server. FTP Server is running on z/OS."),
        ListingFamily::Mvs);
    EXPECT_EQ(SystemFamily("OS/400 is the remote operating system."), ListingFamily::As400);
    EXPECT_EQ(SystemFamily("NETWARE  Type: L8"), ListingFamily::NetWare);
    EXPECT_EQ(SystemFamily("OS-9 Version 3.2"), ListingFamily::Os9);
    EXPECT_EQ(SystemFamily("Something else"), ListingFamily::Unknown);
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

// The permission bits, owner and group of LIST's fields and of MLSD's and EPLF's facts; -1:
// the listing gives no mode.
TEST(Listing, ModesOwnersAndGroups) {
    struct Row {
        const char* line;
        bool mlsd;
        int mode;
        const char* owner;
        const char* group;
        const char* rights; // the perm fact's letters as kept
    };
    const Row rows[] = {
        {"-rw-r--r--   1 root     other        531 Jan 29 03:26 README", false, 0644, "root",
         "other", ""},
        {"drwxr-x--x   2 0        0            4096 Oct 21  2020 pub", false, 0751, "0", "0", ""},
        {"dr-xr-xr-x   2 root     512 Apr  8  1994 etc", false, 0555, "root", "", ""},
        {"-rwsr-sr-t   1 a b 1 Jan 1 2020 all-special", false, 07755, "a", "b", ""},
        {"-rwSr-Sr-T   1 a b 1 Jan 1 2020 special-without-x", false, 07644, "a", "b", ""},
        {"-rw-r-lr--   1 a b 1 Jan 1 2020 locking", false, 02644, "a", "b", ""},
        {"---------- 1 a b 1 Jan 1 2020 none", false, 0, "a", "b", ""},
        {"-rw-r--r-- 1 DOMAIN\\user DOMAIN\\Domain Users 4321 Jan 1 2020 domain.txt", false, 0644,
         "DOMAIN\\user", "DOMAIN\\Domain Users", ""},
        {"-rw-r--r--   1 longowner longgroup123456789 Jan  1  2020 glued", false, 0644, "longowner",
         "longgroup", ""},
        {"crw-r-----   1 root     kmem      0,  27 Jan 30 11:42 kmem", false, 0640, "root", "kmem",
         ""},
        {"-rw-r--r-- 1234 Jan 1 2020 no owner", false, 0644, "", "", ""},
        {"-r-xr--r-- 1 user group 1234 dateless.txt", false, 0544, "", "", ""},
        {"100755 1000 100 1234 1190000000 numeric", false, 0755, "1000", "100", ""},
        {"-C--E-----FTP B BCC3I1   7670  1294495 Jan 13 07:42 own-attributes", false, -1, "", "",
         ""},
        {"+m839956783,r,s0,up640,\tEPLF", false, 0640, "", "", ""},
        {"type=file;size=1;perm=adfrw;UNIX.mode=0640;UNIX.owner=ann;UNIX.group=staff; m", true,
         0640, "ann", "staff", "adfrw"},
        {"type=dir;perm=flcdmpe;unix.mode=2775;unix.uid=1000;unix.gid=100; d", true, 02775, "1000",
         "100", "cdeflmp"},
        {"type=file;UNIX.mode=bogus;UNIX.owner=ann; m", true, -1, "ann", "", ""},
        {"type=file;perm=r;unix.mode=0o600;unix.uid=0;unix.gid=0; python", true, 0600, "0", "0",
         "r"},
        {"type=file;UNIX.mode=0644;UNIX.owner=1000;UNIX.ownername=ann;UNIX.group=100;"
         "UNIX.groupname=users; proftpd",
         true, 0644, "ann", "users", ""},
        {"type=file;size=10;modify=20200101000000; facts.txt", false, -1, "", "", ""},
        {"12-31-19  11:59PM       <DIR>          dos", false, -1, "", "", ""},
    };
    for (const Row& r : rows) {
        DirEntry e;
        ASSERT_TRUE(r.mlsd ? ParseMlsdLine(r.line, e) : ParseListLine(r.line, kNow, e)) << r.line;
        EXPECT_EQ(e.mode ? int(*e.mode) : -1, r.mode) << r.line;
        EXPECT_EQ(e.owner, r.owner) << r.line;
        EXPECT_EQ(e.group, r.group) << r.line;
        std::string rights;
        for (const char c : kRightLetters)
            if (e.rights & RightBit(c))
                rights += c;
        EXPECT_EQ(rights, r.rights) << r.line;
    }
}

// Malformed lines of every family are no entries, and are counted (a total or blank is not).
TEST(Listing, LinesThatAreNotEntriesAreCounted) {
    DirEntry e;
    for (const char* line :
         {"total 12", "", "ls: cannot access 'x': No such file or directory", "550 No files found",
          "drwxr-xr-x 2 u g 4096 Foo 12 10:00 badmonth", "-rw-r--r-- 1 u g 12 Jan 32 10:00 badday",
          "-rw-r--r-- 1 u g 12 Jan 12 25:00 badtime", "-rw-r--r-- 1 u g 12 Jan 12 10:00",
          "-rw-r--r-- 1 u g 12x Jan 12 10:00 badsize",
          "13-45-00  09:09PM       <DIR>          badmonth", "04-27-00  13:09PM  1 badampm",
          "04-27-00  09:09PM       <DIR>", "-rw-r--r-- 1 u g 99999999999999999999999 Jan 1 2000 x",
          "Directory of C:\\"}) {
        ListingParser parser(kNow);
        EXPECT_FALSE(parser.parseLine(line, e)) << line;
        const bool counted = std::string_view(line) != "total 12" && *line != '\0';
        EXPECT_EQ(parser.unreadable(), counted ? 1u : 0u) << line;
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
