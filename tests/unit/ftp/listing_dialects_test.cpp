// Localized and Asian dates, OS/2, VShell, VxWorks and HP NonStop listings.
#include "ftp/listing_parser.h"
#include "unit/ftp/listing_cases.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

using namespace tw::ftp;
using tw::ftp::test::kNow;
using tw::ftp::test::utc;

namespace {

struct Case {
    std::string line;
    std::string name;     // empty: a header, neither an entry nor unreadable
    ListingFamily family; // the family that must read it
    EntryType type;
    std::uint64_t size;
    std::int64_t modified;
};

// Each line through a fresh parser that knows the server's system, as after SYST.
void expectLines(ListingFamily system, const std::vector<Case>& cases) {
    for (const Case& c : cases) {
        ListingParser parser(kNow, system);
        DirEntry e;
        const bool entry = parser.parseLine(c.line, e);
        EXPECT_EQ(parser.unreadable(), 0u) << c.line;
        if (c.name.empty()) {
            EXPECT_FALSE(entry) << c.line;
            continue;
        }
        ASSERT_TRUE(entry) << c.line;
        EXPECT_EQ(parser.family(), c.family) << c.line;
        // Nor does another family take the line when the system is not known.
        ListingParser unknown(kNow);
        DirEntry same;
        EXPECT_TRUE(unknown.parseLine(c.line, same)) << c.line;
        EXPECT_EQ(unknown.family(), c.family) << c.line;
        EXPECT_EQ(e.name, c.name) << c.line;
        EXPECT_EQ(e.type, c.type) << c.line;
        EXPECT_EQ(e.size, c.size) << c.line;
        EXPECT_EQ(e.lastWriteTime, c.modified) << c.line;
    }
}

// Lines no family may read: each is counted, none becomes an entry.
void expectUnreadable(ListingFamily system, const std::vector<std::string>& lines) {
    for (const std::string& line : lines) {
        ListingParser parser(kNow, system);
        DirEntry e;
        EXPECT_FALSE(parser.parseLine(line, e)) << line << " read as " << e.name;
        EXPECT_EQ(parser.unreadable(), 1u) << line;
    }
}

std::string unixLine(const std::string& date, const std::string& name) {
    return "-rw-r--r--   1 user     group        1234 " + date + " " + name;
}

constexpr auto U = ListingFamily::Unix;
constexpr auto F = EntryType::File;
constexpr auto D = EntryType::Directory;

} // namespace

// "ls -l" under each locale, month first and day first, in UTF-8 and in the legacy encodings.
TEST(LocalizedListing, MonthNamesOfEveryLanguageAndEncoding) {
    const struct {
        std::string date;
        std::int64_t modified;
    } dates[] = {
        {"15. M\xc3\xa4r 12:34", utc(2024, 3, 15, 12, 34)}, // de, UTF-8, day first
        {"M\xe4r 15  2020", utc(2020, 3, 15)},              // de, ISO-8859-1
        {"M\xc3\x84RZ 1  2021", utc(2021, 3, 1)},           // de, upper case, full
        {"3. Dez. 2019", utc(2019, 12, 3)},                 // de
        {"Okt 9 08:00", utc(2023, 10, 9, 8, 0)},            // de: October is after June
        {"15 janv. 2020", utc(2020, 1, 15)},                // fr, day first
        {"f\xc3\xa9vr. 3 10:00", utc(2024, 2, 3, 10, 0)},   // fr, UTF-8
        {"d\xe9"
         "c. 24  2019",
         utc(2019, 12, 24)},                             // fr, Windows-1252
        {"1 AO\xdbT 2018", utc(2018, 8, 1)},             // fr, Windows-1252 upper case
        {"1 ao\xc3\xbbt 12:00", utc(2023, 8, 1, 12, 0)}, // fr, UTF-8
        {"ene 5  2021", utc(2021, 1, 5)},                // es
        {"15 abr 09:00", utc(2024, 4, 15, 9, 0)},        // es
        {"septiembre 9  2019", utc(2019, 9, 9)},         // es, full
        {"gen 7  2020", utc(2020, 1, 7)},                // it
        {"giu 10 10:10", utc(2024, 6, 10, 10, 10)},      // it
        {"set 9  2019", utc(2019, 9, 9)},                // it
        {"mrt 3  2020", utc(2020, 3, 3)},                // nl
        {"mei 5  2021", utc(2021, 5, 5)},                // nl
        {"maj 5  2021", utc(2021, 5, 5)},                // sv
        {"mars 1  2020", utc(2020, 3, 1)},               // sv, fr
        {"juli 4  2018", utc(2018, 7, 4)},               // sv, de, nl
        {"\xd1\x8f\xd0\xbd\xd0\xb2 15 12:34", utc(2024, 1, 15, 12, 34)}, // ru янв, UTF-8
        {"\xd0\x94\xd0\x95\xd0\x9a 31  2019", utc(2019, 12, 31)},        // ru ДЕК, UTF-8
        {"15 \xd0\xbc\xd0\xb0\xd1\x8f 2020", utc(2020, 5, 15)},          // ru мая, day first
        {"\xdf\xcd\xc2 2  2022", utc(2022, 1, 2)},                       // ru ЯНВ, Windows-1251
        {"\xff\xed\xe2 3  2022", utc(2022, 1, 3)},                       // ru янв, Windows-1251
        {"\xc4\xc5\xcb 4  2022", utc(2022, 12, 4)},                      // ru дек, KOI8-R
        {"5 \xed\xc1\xd1 2022", utc(2022, 5, 5)},                        // ru Мая, KOI8-R
    };
    std::vector<Case> cases;
    for (const auto& d : dates)
        cases.push_back({unixLine(d.date, "report 1.txt"), "report 1.txt", U, F, 1234, d.modified});
    // An owner and a group named like months ("mai", "mars") are no date: what follows them is
    // no day with a time or year, and the date is the first one after the size.
    cases.push_back({"-rw-r--r--   1 mai      mars           12 Jan 15 12:34 x", "x", U, F, 12,
                     utc(2024, 1, 15, 12, 34)});
    expectLines(ListingFamily::Unknown, cases);
    // French "jui" could be June or July and is no month; a word that only starts like a
    // month is none either.
    expectUnreadable(ListingFamily::Unknown,
                     {unixLine("jui 15 12:34", "a"), unixLine("Janus 15 12:34", "a")});
}

// Japanese, Chinese and Korean "ls" dates, markers in UTF-8 and the legacy encodings.
TEST(LocalizedListing, AsianDatesInEveryEncoding) {
    const struct {
        std::string date;
        std::string name;
        std::int64_t modified;
    } dates[] = {
        {" 1月 15 12:34", "ファイル.txt", utc(2024, 1, 15, 12, 34)},
        {"12月 21  2009", "ファイル.txt", utc(2009, 12, 21)},
        {"1月15日 12:34", "文件", utc(2024, 1, 15, 12, 34)},
        {"2024年1月15日", "文件", utc(2024, 1, 15)},
        {"2024年 1月15日 12:34", "文件", utc(2024, 1, 15, 12, 34)},
        {"01月 15日 12:34", "ファイル.txt", utc(2024, 1, 15, 12, 34)}, // coreutils' ja
        {"2009年 12月 21日", "ファイル.txt", utc(2009, 12, 21)},
        {" 7월 15 12:34", "파일", utc(2023, 7, 15, 12, 34)},
        {"2009년 12월 21일", "파일", utc(2009, 12, 21)},
        {" 1\x8c\x8e 15 12:34",
         "\x83t\x83@\x83"
         "C\x83\x8b",
         utc(2024, 1, 15, 12, 34)}, // Shift_JIS
        {"2024\xc7\xaf"
         "1\xb7\xee"
         "15\xc6\xfc",
         "\xa5\xd5\xa5\xa1", utc(2024, 1, 15)},                         // EUC-JP
        {"12\xd4\xc2 21  2009", "\xce\xc4\xbc\xfe", utc(2009, 12, 21)}, // GBK
        {"1\xa4\xeb"
         "15\xa4\xe9 12:34",
         "\xc0\xc9\xae\xd7", utc(2024, 1, 15, 12, 34)},                                // Big5
        {"2009\xb3\xe2 12\xbf\xf9 21\xc0\xcf", "\xc6\xc4\xc0\xcf", utc(2009, 12, 21)}, // EUC-KR
    };
    std::vector<Case> cases;
    for (const auto& d : dates)
        cases.push_back({unixLine(d.date, d.name), d.name, U, F, 1234, d.modified});
    expectLines(ListingFamily::Unknown, cases);
    // No 13th month, no 32nd day, no day before its month, no year marker after the month.
    expectUnreadable(ListingFamily::Unknown,
                     {unixLine("13月 15 12:34", "a"), unixLine("1月32日 12:34", "a"),
                      unixLine("15日1月 12:34", "a"), unixLine("1月2024年 15日", "a")});
}

// Lines of Unix and DOS servers stay theirs when SYST names one of the families below.
TEST(OtherListings, UnixAndDosLinesStayTheirs) {
    for (const ListingFamily system : {ListingFamily::Os2, ListingFamily::VShell,
                                       ListingFamily::VxWorks, ListingFamily::NonStop})
        expectLines(system,
                    {
                        // The listing of current VShell servers.
                        {"-rwx------   1 user     group        9 Oct 28  2003 notes.txt",
                         "notes.txt", U, F, 9, utc(2003, 10, 28)},
                        {"drwxr-xr-x   2 user     group     4096 Jan  2 10:20 docs", "docs", U, D,
                         4096, utc(2024, 1, 2, 10, 20)},
                        {"04-27-00  09:09PM       <DIR>          licensed", "licensed",
                         ListingFamily::Dos, D, 0, utc(2000, 4, 27, 21, 9)},
                        {"2019-12-05  17:38             1,048,576 file name.bin", "file name.bin",
                         ListingFamily::Dos, F, 1048576, utc(2019, 12, 5, 17, 38)},
                    });
}

TEST(OtherListings, Os2) {
    constexpr auto O = ListingFamily::Os2;
    // Three-digit years count from 1900: "103" is 2003, "100" is 2000.
    expectLines(ListingFamily::Unknown,
                {
                    {"     0           DIR   05-12-97   16:44  PSFONTS", "PSFONTS", O, D, 0,
                     utc(1997, 5, 12, 16, 44)},
                    {" 36611      A          04-23-103  10:57  OS2 test1.file", "OS2 test1.file", O,
                     F, 36611, utc(2003, 4, 23, 10, 57)},
                    {" 1123 DIR  A    10-05-100   23:38  OS2 test2.dir", "OS2 test2.dir", O, D, 0,
                     utc(2000, 10, 5, 23, 38)},
                    {"  345      R     07-14-99   12:37  readme", "readme", O, F, 345,
                     utc(1999, 7, 14, 12, 37)},
                });
    // "R" marks a read-only file.
    for (const auto& [line, readOnly] :
         {std::pair{"  345      R     07-14-99   12:37  readme", true},
          std::pair{" 36611      A          04-23-103  10:57  OS2 test1.file", false}}) {
        DirEntry e;
        ASSERT_TRUE(ParseListLine(line, kNow, e));
        EXPECT_EQ((e.attributes & kAttributeReadOnly) != 0, readOnly) << line;
    }
    expectUnreadable(ListingFamily::Os2, {" 36611      A          13-45-103  10:57  bad date",
                                          " 36611      X          04-23-103  10:57  bad attribute",
                                          " 36611      A          04-23-103  10:57"});
}

TEST(OtherListings, VShell) {
    constexpr auto V = ListingFamily::VShell;
    expectLines(ListingFamily::Unknown, {
                                            {"206876  Apr 04, 2000 21:06 VShell (old)",
                                             "VShell (old)", V, F, 206876, utc(2000, 4, 4, 21, 6)},
                                            {"0  Dec 12, 2002 02:13 VShell (old) Dir/",
                                             "VShell (old) Dir", V, D, 0, utc(2002, 12, 12, 2, 13)},
                                        });
    expectUnreadable(ListingFamily::VShell, {"206876  Apr 31, 2000 21:06 no such day",
                                             "206876  Apr 04 2000 21:06 no comma"});
}

TEST(OtherListings, VxWorksAndRouters) {
    constexpr auto X = ListingFamily::VxWorks;
    expectLines(ListingFamily::Unknown,
                {
                    {"  size          date       time       name", "", X, F, 0, 0},
                    {"--------       ------     ------    --------", "", X, F, 0, 0},
                    {"   41472    JAN-22-2003  14:31:20   TEST.TXT", "TEST.TXT", X, F, 41472,
                     utc(2003, 1, 22, 14, 31, 20)},
                    {"     512    FEB-26-2003  15:52:08   FOLDER        <DIR>", "FOLDER", X, D, 0,
                     utc(2003, 2, 26, 15, 52, 8)},
                    {"nortel.wfFtp       1014196  06/03/04  Thur.   10:20:03", "nortel.wfFtp", X, F,
                     1014196, utc(2004, 6, 3, 10, 20, 3)},
                });
    expectUnreadable(ListingFamily::VxWorks,
                     {"   41472    JAN-32-2003  14:31:20   TEST.TXT",
                      "   41472    JAN-22-2003  25:31:20   TEST.TXT",
                      "nortel.wfFtp       1014196  06/03/04  Thor.   10:20:03"});
}

TEST(OtherListings, NonStopGuardian) {
    constexpr auto N = ListingFamily::NonStop;
    expectLines(
        ListingFamily::Unknown,
        {
            {"File         Code             EOF  Last Modification    RWEP", "", N, F, 0, 0},
            {"File         Code             EOF  Last Modification    Owner  RWEP", "", N, F, 0, 0},
            {"ALTERN       101             2048  04-Jun-07 11:49:30 \"oooo\" 255,  0", "ALTERN", N,
             F, 2048, utc(2007, 6, 4, 11, 49, 30)},
            {"ALV           101             2522 27-Aug-02 13:57:10 155,106 \"nnnn\"", "ALV", N, F,
             2522, utc(2002, 8, 27, 13, 57, 10)},
            {"ALVO         1000             2048 27-Aug-02 13:57:22 155,106 \"nunu\"", "ALVO", N, F,
             2048, utc(2002, 8, 27, 13, 57, 22)},
        });
    // The security string unquoted, the owner without its comma, a date without its month's
    // name.
    expectUnreadable(ListingFamily::NonStop,
                     {"ALTERN       101             2048  04-Jun-07 11:49:30 oooo 255,  0",
                      "ALTERN       101             2048  04-Jun-07 11:49:30 \"oooo\" 255",
                      "ALTERN       101             2048  04-06-07 11:49:30 \"oooo\" 255,0"});
}

// Forms of servers that write their own fields, each read from its line alone (no SYST, no
// header before it): the family, name, kind, size and time each must give.
TEST(OtherListings, ServersOwnFormsWithoutContext) {
    constexpr auto L = EntryType::Link;
    constexpr auto V = ListingFamily::Vms;
    constexpr auto M = ListingFamily::Mvs;
    constexpr auto N = ListingFamily::NonStop;
    constexpr auto O = ListingFamily::Os9;
    constexpr auto X = ListingFamily::Facts;
    expectLines(
        ListingFamily::Unknown,
        {
            // Month and day as numbers in one word, a year or a time after them.
            {unixLine("09-26 2000", "md year"), "md year", U, F, 1234, utc(2000, 9, 26)},
            {unixLine("09-26 13:45", "md time"), "md time", U, F, 1234, utc(2023, 9, 26, 13, 45)},
            {unixLine("1/5 08:00", "md slash"), "md slash", U, F, 1234, utc(2024, 1, 5, 8, 0)},
            // Mode in octal, uid, gid, size, seconds since 1970; the padding is no part of the
            // name.
            {"100644 1000 1000 1234 1190000000 numeric file", "numeric file", U, F, 1234,
             1190000000},
            {"40755 1000 1000 4096 1190000000 numeric dir", "numeric dir", U, D, 4096, 1190000000},
            {"120777 0 0 11 1190000000 lnk -> target", "lnk", U, L, 11, 1190000000},
            {"0100644   500  101   12345    123456789       padded", "padded", U, F, 12345,
             123456789},
            // Month, day and year with their markers, in UTF-8 and the legacy encodings; names
            // stay the server's bytes.
            {unixLine("4\xe6\x9c\x88 18\xe6\x97\xa5 2003\xe5\xb9\xb4", "\xe6\x96\x87"),
             "\xe6\x96\x87", U, F, 1234, utc(2003, 4, 18)},
            {unixLine("4\xec\x9b\x94 18\xec\x9d\xbc 2003\xeb\x85\x84", "k"), "k", U, F, 1234,
             utc(2003, 4, 18)},
            {unixLine("4\xec\x9b\x94 18\xec\x9d\xbc 13:45", "k"), "k", U, F, 1234,
             utc(2024, 4, 18, 13, 45)},
            {unixLine("4\x8c\x8e 18\x93\xfa 2003\x94\x4e", "\x83t"), "\x83t", U, F, 1234,
             utc(2003, 4, 18)}, // Shift_JIS
            {unixLine("4\xb7\xee 18\xc6\xfc 2003\xc7\xaf", "\xa5\xd5"), "\xa5\xd5", U, F, 1234,
             utc(2003, 4, 18)}, // EUC-JP
            {unixLine("4\xd4\xc2 18\xc8\xd5 2003\xc4\xea", "\xce\xc4"), "\xce\xc4", U, F, 1234,
             utc(2003, 4, 18)}, // GBK
            {unixLine("4\xa4\xeb 18\xa4\xe9 2003\xa6\x7e", "\xc0\xc9"), "\xc0\xc9", U, F, 1234,
             utc(2003, 4, 18)}, // Big5
            {unixLine("4\xbf\xf9 18\xc0\xcf 2003\xb3\xe2", "\xc6\xc4"), "\xc6\xc4", U, F, 1234,
             utc(2003, 4, 18)}, // EUC-KR
            {unixLine("4\xbf\xf9 18\xc0\xcf 13:45", "\xc6\xc4"), "\xc6\xc4", U, F, 1234,
             utc(2024, 4, 18, 13, 45)},
            // Sterling Connect:Enterprise's attribute field.
            {"-C--E-----FTP B BCC3I1       7670  1294495 Jan 13 07:42 conent file", "conent file",
             U, F, 1294495, utc(2024, 1, 13, 7, 42)},
            // VMS names without a '.', bare owners, French months ("JUI" is July: June is "JUN").
            {"README;1  155   2-JUL-2003 10:30:13.64", "README;1", V, F, 155 * 512,
             utc(2003, 7, 2, 10, 30, 13)},
            {"LOCALIZED;1    6/8    15-JUI-2002    PRONAS   (RWED,RWED,RE,)", "LOCALIZED;1", V, F,
             6 * 512, utc(2002, 7, 15)},
            {"F.TXT;1  4  12-FEV-2001 10:00 [STAFF,JEAN]", "F.TXT;1", V, F, 2048,
             utc(2001, 2, 12, 10, 0)},
            {"J.TXT;1  4  12-JUIL-2001 10:00 [STAFF,JEAN]", "J.TXT;1", V, F, 2048,
             utc(2001, 7, 12, 10, 0)},
            {"A.TXT;1  4  12-AOU-2001 10:00", "A.TXT;1", V, F, 2048, utc(2001, 8, 12, 10, 0)},
            {"ARCHIVE_2001.DIR;1  1  12-AVR-2001 10:00", "ARCHIVE_2001", V, D, 512,
             utc(2001, 4, 12, 10, 0)},
            // MVS placeholders in place of a dataset's attributes.
            {"Migrated                                          SOME.DATA.SET", "SOME.DATA.SET", M,
             F, 0, 0},
            {"Migrated\t\t\t\tSOME.FILE", "SOME.FILE", M, F, 0, 0},
            {"Pseudo Directory                                  PROJECTS", "PROJECTS", M, D, 0, 0},
            // NonStop names beyond Guardian's eight letters and digits.
            {"HP_NONSTOP 101 528 6-Apr-07 14:21:18 255, 0 \"oooo\"", "HP_NONSTOP", N, F, 528,
             utc(2007, 4, 6, 14, 21, 18)},
            {"name  101  1234 20-Sep-05 13:45:00 255,255 \"oooo\"", "name", N, F, 1234,
             utc(2005, 9, 20, 13, 45)},
            // OS-9: owner, yy/mm/dd, hhmm, attributes, sector (hex), size, name.
            {"20.20 07/03/29 1026 d-ewrewr 2650 85920 os9 dir", "os9 dir", O, D, 85920,
             utc(2007, 3, 29, 10, 26)},
            {"0.0 91/02/13 1416 ----r-wr 1A2 1200 startup", "startup", O, F, 1200,
             utc(1991, 2, 13, 14, 16)},
            // Facts without the ';' before the name, or with a tab before it.
            {"type=file no trailing semicolon", "no trailing semicolon", X, F, 0, 0},
            {"type=file;size=12;modify=20200101000000 three facts", "three facts", X, F, 12,
             utc(2020, 1, 1)},
            {"size=1365694195;type=file;modify=20090722092510;\tTV 2009-07-22 08-25-10.ts",
             "TV 2009-07-22 08-25-10.ts", X, F, 1365694195, utc(2009, 7, 22, 9, 25, 10)},
            {"type=dir;modify=20200101000000\ttab dir", "tab dir", X, D, 0, utc(2020, 1, 1)},
        });
    // Near misses: a month-day with no year or time after it is no date (and a thirteenth
    // month none at all); a mode without file type bits or a time of 11 digits; a year marker
    // on a three-digit year; an attribute field in lower case or without a date; a VMS name
    // with a '/' or no letter, a bare owner in lower case or without a size; an OS-9 month 13
    // or attribute out of place; an unknown fact or a doubled ';'; a placeholder that is none.
    expectUnreadable(ListingFamily::Unknown,
                     {
                         unixLine("13-26 2000", "a"),
                         "000644 1000 1000 1234 1190000000 a",
                         "100644 1000 1000 1234 11900000000 a",
                         "100644 1000 1000 1234 a",
                         unixLine("4\xe6\x9c\x88 18\xe6\x97\xa5 200\xe5\xb9\xb4", "a"),
                         "-c--e-----ftp B BCC3I1 7670 1294495 Jan 13 07:42 a",
                         "-C--E-----FTP B BCC3I1 7670 1294495 a",
                         "RE/ADME;1  155   2-JUL-2003 10:30:13.64",
                         "1234;1  155   2-JUL-2003 10:30:13.64",
                         "LOCALIZED;1    6/8    15-JUI-2002    pronas   (RWED,RWED,RE,)",
                         "LOCALIZED;1    15-JUI-2002    PRONAS   (RWED,RWED,RE,)",
                         "20.20 07/13/29 1026 d-ewrewr 2650 85920 a",
                         "20.20 07/03/29 1026 -dewrewr 2650 85920 a",
                         "type=file;bogus=1 a",
                         "type=file;;size=1 a",
                         "Migrating SOME.DATA.SET",
                     });
    // The rights the numeric mode and OS-9's attributes give.
    for (const auto& [line, readOnly] : {
             std::pair{"100444 0 0 1 1190000000 ro", true},
             std::pair{"100644 0 0 1 1190000000 rw", false},
             std::pair{"0.0 91/02/13 1416 ----r--r 1A2 1200 ro", true},
             std::pair{"0.0 91/02/13 1416 ----r-wr 1A2 1200 rw", false},
         }) {
        DirEntry e;
        ASSERT_TRUE(ParseListLine(line, kNow, e)) << line;
        EXPECT_EQ((e.attributes & kAttributeReadOnly) != 0, readOnly) << line;
    }
}
