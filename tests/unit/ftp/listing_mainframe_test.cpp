// Listing lines of OpenVMS, MVS and AS/400, read whole listings at a time (headers, totals
// and two-line entries included) through the public ListingParser.
#include "ftp/listing_parser.h"
#include "unit/ftp/listing_cases.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace tw::ftp;
using tw::ftp::test::kNow;
using tw::ftp::test::utc;

namespace {

struct Row {
    const char* name;
    EntryType type;
    std::uint64_t size;
    std::int64_t modified;
    bool readOnly = false;
    std::int64_t created = 0;
};

struct Listing {
    const char* what;
    ListingFamily system;
    std::vector<const char*> lines;
    std::vector<Row> entries;
    std::size_t unreadable;
    const char* firstUnreadable; // "" when none
};

void expectListings(const std::vector<Listing>& listings, ListingFamily family) {
    for (const Listing& l : listings) {
        SCOPED_TRACE(l.what);
        ListingParser parser(kNow, l.system);
        std::vector<DirEntry> got;
        for (const char* line : l.lines) {
            DirEntry e;
            if (parser.parseLine(line, e))
                got.push_back(e);
        }
        parser.finish();
        EXPECT_EQ(parser.unreadable(), l.unreadable);
        EXPECT_EQ(parser.firstUnreadable(), l.firstUnreadable);
        if (!l.entries.empty()) {
            EXPECT_EQ(parser.family(), family);
        }
        ASSERT_EQ(got.size(), l.entries.size());
        for (std::size_t i = 0; i < got.size(); ++i) {
            const Row& r = l.entries[i];
            SCOPED_TRACE(r.name);
            EXPECT_EQ(got[i].name, r.name);
            EXPECT_EQ(got[i].type, r.type);
            EXPECT_EQ(got[i].size, r.size);
            EXPECT_EQ(got[i].lastWriteTime, r.modified);
            EXPECT_EQ(got[i].creationTime, r.created);
            EXPECT_EQ((got[i].attributes & kAttributeReadOnly) != 0, r.readOnly);
            EXPECT_EQ((got[i].attributes & kAttributeDirectory) != 0,
                      r.type == EntryType::Directory);
        }
    }
}

constexpr auto kFile = EntryType::File;
constexpr auto kDir = EntryType::Directory;

} // namespace

// Sizes in 512-byte blocks (the used count of "used/allocated"), or in bytes when written with
// a unit. Files keep their ";version" (each version is a file of its own); folders lose
// ".DIR;n". A name whose details the server could not read (its message instead) is still an
// entry, of unknown size and date: the file is there. A held name that no details follow is
// unreadable, whether another entry or the end of the listing comes next.
TEST(VmsListing, WholeListings) {
    const char* broken = "BROKEN.TXT;1   12  31-FEB-2020 10:00  [STAFF,MARTA]";
    expectListings(
        {
            {"MultiNet and UCX forms",
             ListingFamily::Unknown,
             {
                 "Directory USERS$DISK:[MARTA]",
                 "",
                 "00INDEX.TXT;3        4/6     12-MAR-2019 08:15:02.31  [STAFF,MARTA]  "
                 "(RWED,RWED,RE,)",
                 "00INDEX.TXT;2        3/6     11-MAR-2019 17:40:00.00  [STAFF,MARTA]  "
                 "(RWED,RWED,RE,)",
                 "ARCHIVE.DIR;1        1/3      2-NOV-2020 13:55  [MARTA]  (RWE,RWE,RE,E)",
                 "NOTES.TXT;12         9  24-DEC-1999 23:59:59  [STAFF,MARTA]",
                 "PLAN.DAT;1    7   1-JAN-2001 00:00  (RWED,RE,RE,)",
                 "REPORT.LIS;4  5-MAY-2015 10:20  17/18  [STAFF,MARTA]  (RWED,RWED,,)",
                 "SCAN.IMG;1        2.50KB  30-JUN-2022 06:00  [MARTA]  (RWED,RWED,R,R)",
                 "HUGE.ISO;1   ******   6-MAY-2008 09:29 [STAFF,MARTA] (RE,RWED,RE,RE)",
                 "A_NAME_SO_LONG_THAT_THE_SERVER_PUT_ITS_DETAILS_ON_THE_NEXT_LINE.TXT;1",
                 "                    2/4   14-JAN-2009 11:03:56  [STAFF,MARTA]  (RWED,RWED,RE,)",
                 "SECRET.KEY;1",
                 "%RMS-E-PRV, insufficient privilege or file protection violation",
                 "PAYROLL.DAT;2       %RMS-E-PRV, insufficient privilege or file protection "
                 "violation",
                 broken,
                 "ORPHAN_LONG_NAME.TXT;1",
                 "ZZZ.TXT;1   1  1-JAN-2021 00:00",
                 "",
                 "Total of 14 files, 60/80 blocks.",
                 "Grand total of 1 directory, 14 files, 60/80 blocks.",
                 "DANGLING_NAME.TXT;1",
             },
             {
                 {"00INDEX.TXT;3", kFile, 4 * 512, utc(2019, 3, 12, 8, 15, 2)},
                 {"00INDEX.TXT;2", kFile, 3 * 512, utc(2019, 3, 11, 17, 40, 0)},
                 {"ARCHIVE", kDir, 512, utc(2020, 11, 2, 13, 55)},
                 {"NOTES.TXT;12", kFile, 9 * 512, utc(1999, 12, 24, 23, 59, 59)},
                 // The owner (second group) may not write: read-only.
                 {"PLAN.DAT;1", kFile, 7 * 512, utc(2001, 1, 1), true},
                 {"REPORT.LIS;4", kFile, 17 * 512, utc(2015, 5, 5, 10, 20)},
                 {"SCAN.IMG;1", kFile, 2560, utc(2022, 6, 30, 6, 0)},
                 // Asterisks: too large for the column, size unknown.
                 {"HUGE.ISO;1", kFile, 0, utc(2008, 5, 6, 9, 29)},
                 {"A_NAME_SO_LONG_THAT_THE_SERVER_PUT_ITS_DETAILS_ON_THE_NEXT_LINE.TXT;1", kFile,
                  2 * 512, utc(2009, 1, 14, 11, 3, 56)},
                 {"SECRET.KEY;1", kFile, 0, 0},
                 {"PAYROLL.DAT;2", kFile, 0, 0},
                 {"ZZZ.TXT;1", kFile, 512, utc(2021, 1, 1)},
             },
             3,
             broken},
            {"a message with nothing held is no entry",
             ListingFamily::Vms,
             {"%DIRECT-W-NOFILES, no files found"},
             {},
             0,
             ""},
        },
        ListingFamily::Vms);
}

// The header names the layout; names only are members where it (or SYST) says this is MVS,
// and unreadable anywhere else. Dataset names are kept as listed: relative to the working
// prefix, or quoted when fully qualified, as RETR takes them. Sizes of datasets and source
// members (tracks, records) are no bytes and stay 0; load modules give bytes in hexadecimal.
TEST(MvsListing, WholeListings) {
    const char* badDate = "WORK01 3390   2021/13/01  1    3  FB      80 27920  PO  BAD.DATE";
    expectListings(
        {
            {"datasets",
             ListingFamily::Unknown,
             {
                 "Volume Unit    Referred Ext Used Recfm Lrecl BlkSz Dsorg Dsname",
                 "WORK01 3390   2021/07/14  1    3  FB      80 27920  PO  SOURCE.COBOL",
                 "WORK02 3390   2022/01/05  2   45  VB     255 27998  PS  REPORTS.MONTHLY",
                 "WORK01 3390   **NONE**    1    1  U       0  6144  PO-E  LOADLIB",
                 "TAPE07 3480   2003/03/11  1    1  FB      80  3120  PS  BACKUP.WEEKLY",
                 "WORK01 3390   2020/12/19  1   30  FB      80 23440  PO  'SYS1.PARMLIB'",
                 "WORK03 3390                                        VSAM CUSTOMER.KSDS",
                 "Migrated                                                OLD.LISTINGS",
                 "ARCIVE Not Direct Access Device                         ARCHIVE.Y1999",
                 "Pseudo Directory                                        PROJECTS",
                 badDate,
             },
             {
                 {"SOURCE.COBOL", kDir, 0, utc(2021, 7, 14)},
                 {"REPORTS.MONTHLY", kFile, 0, utc(2022, 1, 5)},
                 {"LOADLIB", kDir, 0, 0},
                 {"BACKUP.WEEKLY", kFile, 0, utc(2003, 3, 11)},
                 {"'SYS1.PARMLIB'", kDir, 0, utc(2020, 12, 19)},
                 {"CUSTOMER.KSDS", kFile, 0, 0},
                 {"OLD.LISTINGS", kFile, 0, 0},
                 {"ARCHIVE.Y1999", kFile, 0, 0},
                 {"PROJECTS", kDir, 0, 0},
             },
             1,
             badDate},
            {"members",
             ListingFamily::Unknown,
             {
                 " Name     VV.MM   Created       Changed      Size  Init   Mod   Id",
                 "PAYCALC   01.03 2019/05/02 2021/11/30 16:45    17    12     5 DEVUSER",
                 "PAYCALC2  01.00 2020/02/29 2020/02/29 09:00   120   120     0",
                 "README",
                 "$TEMP#1",
                 "lowercase",
             },
             {
                 {"PAYCALC", kFile, 0, utc(2021, 11, 30, 16, 45), false, utc(2019, 5, 2)},
                 {"PAYCALC2", kFile, 0, utc(2020, 2, 29, 9, 0), false, utc(2020, 2, 29)},
                 {"README", kFile, 0, 0},
                 {"$TEMP#1", kFile, 0, 0},
             },
             1,
             "lowercase"},
            {"load modules",
             ListingFamily::Mvs,
             {
                 " Name      Size     TTR   Alias-of AC --------- Attributes --------- Amode "
                 "Rmode",
                 "PAYMAIN   01A2F0   00001C          01 FO             RN RU            31    ANY",
                 "PAYALT    000400   000021 PAYMAIN  01 FO                              24    24",
                 "ZAPPED    XYZ      000021          01",
             },
             {
                 {"PAYMAIN", kFile, 0x01A2F0, 0},
                 {"PAYALT", kFile, 0x400, 0},
             },
             1,
             "ZAPPED    XYZ      000021          01"},
            {"a lone name without a header", ListingFamily::Unknown, {"LONELY"}, {}, 1, "LONELY"},
            {"a lone name from an MVS server",
             ListingFamily::Mvs,
             {"LONELY"},
             {{"LONELY", kFile, 0, 0}},
             0,
             ""},
        },
        ListingFamily::Mvs);
}

// Dates in the job's format: two-digit slashed dates month first unless impossible (then day
// first, then year first: "98/11/28"), dotted dates day first, four-digit years as written.
// "04/03/18" is thus 3 April 2018, though a year-first job meant 18 March 2004: one line
// cannot tell. Names ending in "/" are folders; other names are kept as listed, paths too.
TEST(As400Listing, WholeListing) {
    const char* badDate = "MARTA             512 13/13/13 12:00:00 *STMF      bad-date.txt";
    expectListings(
        {
            {"IFS and library objects",
             ListingFamily::Unknown,
             {
                 "QSYS            77824 02/23/00 15:09:55 *DIR       QOPENSYS/",
                 "QPGMR           36864 11/28/00 15:15:07 *STMF      README.TXT",
                 "QSYS            12288 31.01.24 07:30:00 *LIB       WORKLIB.LIB",
                 "QSECOFR          8192 98/11/28 10.25.23 *FILE      SAVES.FILE",
                 "RTCOMM                                  *MEM       QGPL/SRC.FILE/HELLO.MBR",
                 "                 4019 04/03/18 18:58:16 *STMF      invoice 2018.pdf",
                 "MARTA            2048 2024-01-31 12:00:05 *STMF     notes.txt",
                 "QDOC                                    *FLR       QDOC/",
                 badDate,
                 "MARTA USR        512 01/01/01 12:00:00 *STMF      two-owners",
             },
             {
                 {"QOPENSYS", kDir, 77824, utc(2000, 2, 23, 15, 9, 55)},
                 {"README.TXT", kFile, 36864, utc(2000, 11, 28, 15, 15, 7)},
                 {"WORKLIB.LIB", kDir, 12288, utc(2024, 1, 31, 7, 30)},
                 {"SAVES.FILE", kFile, 8192, utc(1998, 11, 28, 10, 25, 23)},
                 {"QGPL/SRC.FILE/HELLO.MBR", kFile, 0, 0},
                 {"invoice 2018.pdf", kFile, 4019, utc(2018, 4, 3, 18, 58, 16)},
                 {"notes.txt", kFile, 2048, utc(2024, 1, 31, 12, 0, 5)},
                 {"QDOC", kDir, 0, 0},
             },
             2,
             badDate},
        },
        ListingFamily::As400);
}

// A server's system names a family, but its Unix and DOS lines are still theirs.
TEST(MainframeListing, UnixAndDosLinesStayUnixAndDos) {
    struct Case {
        const char* line;
        ListingFamily family;
        const char* name;
        std::uint64_t size;
    };
    for (const ListingFamily system :
         {ListingFamily::Vms, ListingFamily::Mvs, ListingFamily::As400})
        for (const Case& c : {
                 Case{"-rw-r--r--   1 ftp ftp 531 Jan 29 03:26 README", ListingFamily::Unix,
                      "README", 531},
                 Case{"drwxr-xr-x   2 QSYS 0 8192 Mar 24 14:06 PROJECTS.DIR;1", ListingFamily::Unix,
                      "PROJECTS.DIR;1", 8192},
                 Case{"04-27-00  09:09PM       <DIR>          licensed", ListingFamily::Dos,
                      "licensed", 0},
                 Case{"2019-12-05  17:38             1,048,576 NAME.TXT;1", ListingFamily::Dos,
                      "NAME.TXT;1", 1048576},
             }) {
            ListingParser parser(kNow, system);
            DirEntry e;
            ASSERT_TRUE(parser.parseLine(c.line, e)) << c.line;
            EXPECT_EQ(parser.family(), c.family) << c.line;
            EXPECT_EQ(e.name, c.name);
            EXPECT_EQ(e.size, c.size);
        }
}
