// Listings of OS/2, VanDyke VShell, VxWorks and other router firmwares, HP NonStop
// (Guardian) and Microware OS-9. Each parser refuses the lines of the others, of Unix and of DOS:
// the field that sets each form apart is checked before any other.
#include "ftp/listing/families.h"
#include "ftp/listing/listing_text.h"

namespace tw::ftp::listing {

namespace {

bool hasLetter(std::string_view s) {
    for (const char c : s)
        if (IsLetter(c))
            return true;
    return false;
}

LineKind finish(std::string_view name, EntryType type, std::uint64_t size, std::int64_t when,
                DirEntry& out) {
    if (name.empty())
        return LineKind::Unreadable;
    DirEntry e;
    e.name = std::string(name);
    e.type = type;
    e.size = size;
    e.lastWriteTime = when;
    FinishEntry(e);
    out = std::move(e);
    return LineKind::Entry;
}

// A date with its time, or false when either is no date or the time is invalid.
bool dateAndClock(std::string_view date, std::string_view clock, std::int64_t& when) {
    CivilTime t;
    if (!ParseDate(date, t) || !ParseClock(clock, t.hour, t.minute, t.second) || !IsValid(t))
        return false;
    when = TimeOf(t);
    return true;
}

// OS/2's file attributes: "DIR" or letters of A (archive), R (read-only), H (hidden), S (system).
bool isOs2Attribute(std::string_view s) {
    if (s == "DIR")
        return true;
    for (const char c : s)
        if (c != 'A' && c != 'R' && c != 'H' && c != 'S')
            return false;
    return !s.empty() && s.size() <= 4;
}

// "MM-DD-YY" with a two- or three-digit year counting from 1900 ("04-23-103" is 2003).
bool isOs2Date(std::string_view s) {
    return s.size() >= 8 && s.size() <= 9 && IsDigit(s[0]) && IsDigit(s[1]) && s[2] == '-' &&
           IsDigit(s[3]) && IsDigit(s[4]) && s[5] == '-' && IsNumber(s.substr(6));
}

// Nortel-style routers write the weekday between the date and the time.
bool isWeekday(std::string_view s) {
    if (!s.empty() && s.back() == '.')
        s.remove_suffix(1);
    for (const std::string_view day :
         {"Sun", "Mon", "Tue", "Tues", "Wed", "Thu", "Thur", "Thurs", "Fri", "Sat"})
        if (EqualsNoCase(s, day))
            return true;
    return false;
}

// A file name as NonStop servers list it: Guardian's own are a letter, then letters and digits,
// at most 8 of them, but gateways and OSS list longer names with '-', '_' and '.'. Any word
// with a letter and no quote is taken, since the fields after it leave no doubt.
bool isNonStopName(std::string_view s) {
    return !s.empty() && hasLetter(s) && s.find('"') == std::string_view::npos;
}

// Guardian's security string: four of the letters N, U, A, G, O, C and "-", quoted.
bool isGuardianSecurity(std::string_view s) {
    if (s.size() != 6 || s.front() != '"' || s.back() != '"')
        return false;
    for (const char c : s.substr(1, 4))
        if (c != '-' && !IsLetter(c))
            return false;
    return true;
}

} // namespace

//   "     0           DIR   05-12-97   16:44  PSFONTS"
//   " 36611      A          04-23-103  10:57  OS2 test1.file"
// The size, up to two attribute words, the month-first date and the time, then the name,
// which may hold spaces.
LineKind ParseOs2Line(std::string_view line, ListingState&, DirEntry& out) {
    const Words<6> w(line);
    if (w.count < 4 || !IsNumber(w.text[0]))
        return LineKind::Unreadable;
    std::size_t d = 1;
    bool folder = false, readOnly = false;
    while (d < w.count && d <= 2 && isOs2Attribute(w.text[d])) {
        folder = folder || w.text[d] == "DIR";
        readOnly =
            readOnly || (w.text[d] != "DIR" && w.text[d].find('R') != std::string_view::npos);
        ++d;
    }
    std::int64_t when = 0;
    if (d + 2 > w.count || !isOs2Date(w.text[d]) || w.text[d + 1].size() != 5 ||
        !dateAndClock(w.text[d], w.text[d + 1], when))
        return LineKind::Unreadable;
    std::uint64_t size = 0;
    ParseUnsigned(w.text[0], size);
    const LineKind kind =
        finish(TrimBlanks(RestAfter(line, w.end[d + 1])),
               folder ? EntryType::Directory : EntryType::File, folder ? 0 : size, when, out);
    if (kind == LineKind::Entry && readOnly)
        out.attributes |= kAttributeReadOnly;
    return kind;
}

// The older VShell listing, "size  Mon DD, YYYY HH:MM name", folders marked by a trailing "/":
//   "206876  Apr 04, 2000 21:06 notes.txt"
//   "     0  Dec 12, 2002 02:13 reports/"
// Current VShell servers list in the "ls -l" form, which the Unix parser reads (tested).
LineKind ParseVShellLine(std::string_view line, ListingState&, DirEntry& out) {
    const Words<6> w(line);
    if (w.count < 6 || !IsNumber(w.text[0]))
        return LineKind::Unreadable;
    const int month = MonthFromName(w.text[1]);
    const std::string_view dayWord = w.text[2];
    int day = 0, year = 0;
    CivilTime t;
    if (!month || dayWord.size() < 2 || dayWord.size() > 3 || dayWord.back() != ',' ||
        !ParseInt(dayWord.substr(0, dayWord.size() - 1), day) || w.text[3].size() != 4 ||
        !ParseInt(w.text[3], year) || !ParseClock(w.text[4], t.hour, t.minute, t.second))
        return LineKind::Unreadable;
    t.year = year;
    t.month = month;
    t.day = day;
    if (!IsValid(t))
        return LineKind::Unreadable;
    std::string_view name = TrimBlanks(RestAfter(line, w.end[4]));
    const bool folder = name.size() > 1 && name.back() == '/';
    if (folder)
        name.remove_suffix(1);
    std::uint64_t size = 0;
    ParseUnsigned(w.text[0], size);
    return finish(name, folder ? EntryType::Directory : EntryType::File, size, TimeOf(t), out);
}

// VxWorks and router firmwares:
//   "  size          date       time       name"              (header)
//   "--------       ------     ------    --------"
//   "   41472    JAN-22-2003  14:31:20   TEST.TXT"
//   "     512    FEB-26-2003  15:52:08   FOLDER        <DIR>"
// and Nortel's, the name first and the weekday before the time:
//   "nortel.wfFtp       1014196  06/03/04  Thur.   10:20:03"
LineKind ParseVxWorksLine(std::string_view line, ListingState&, DirEntry& out) {
    const Words<6> w(line);
    if (w.count == 4 && w.text[0] == "size" && w.text[1] == "date" && w.text[2] == "time" &&
        w.text[3] == "name")
        return LineKind::NotEntry;
    if (w.count == 4 && !w.more) {
        bool rule = true;
        for (std::size_t i = 0; i < w.count; ++i)
            rule = rule && w.text[i].size() >= 4 &&
                   w.text[i].find_first_not_of('-') == std::string_view::npos;
        if (rule)
            return LineKind::NotEntry;
    }
    std::int64_t when = 0;
    std::uint64_t size = 0;
    if (w.count >= 4 && IsNumber(w.text[0]) && hasLetter(w.text[1]) && w.text[2].size() == 8 &&
        dateAndClock(w.text[1], w.text[2], when)) {
        std::string_view name = TrimBlanks(RestAfter(line, w.end[2]));
        bool folder = false;
        if (name.size() > 5 && EqualsNoCase(name.substr(name.size() - 5), "<DIR>") &&
            IsBlank(name[name.size() - 6])) {
            folder = true;
            name = TrimBlanks(name.substr(0, name.size() - 5));
        }
        ParseUnsigned(w.text[0], size);
        return finish(name, folder ? EntryType::Directory : EntryType::File, folder ? 0 : size,
                      when, out);
    }
    if (w.count == 5 && !w.more && IsNumber(w.text[1]) && !hasLetter(w.text[2]) &&
        isWeekday(w.text[3]) && dateAndClock(w.text[2], w.text[4], when)) {
        ParseUnsigned(w.text[1], size);
        return finish(w.text[0], EntryType::File, size, when, out);
    }
    return LineKind::Unreadable;
}

// HP NonStop (Guardian): name, file code, EOF (the size), date and time, then the owner
// ("group,user", its user sometimes padded after the comma) and the quoted security string, in
// either order. Subvolumes hold no folders.
//   "File         Code             EOF  Last Modification    RWEP"   (header)
//   "ALTERN       101             2048  04-Jun-07 11:49:30 \"oooo\" 255,  0"
//   "ALV           101             2522 27-Aug-02 13:57:10 155,106 \"nnnn\""
// The Unix-like listings of NonStop's OSS file system are read by the Unix parser.
LineKind ParseNonStopLine(std::string_view line, ListingState&, DirEntry& out) {
    const Words<9> w(line);
    if (w.count >= 5 && w.text[0] == "File" && w.text[1] == "Code" && w.text[2] == "EOF" &&
        line.find("Last Modification") != std::string_view::npos &&
        line.find("RWEP") != std::string_view::npos)
        return LineKind::NotEntry;
    if (w.count < 7 || w.count > 8 || w.more || !isNonStopName(w.text[0]) || !IsNumber(w.text[1]) ||
        !IsNumber(w.text[2]))
        return LineKind::Unreadable;
    std::int64_t when = 0;
    if (!hasLetter(w.text[3]) || !dateAndClock(w.text[3], w.text[4], when))
        return LineKind::Unreadable;
    // The owner and the security string, in either order: "155,106" or "255," "0".
    std::size_t owner = 0, at = 0;
    bool security = false;
    for (std::size_t i = 5; i < w.count; ++i) {
        if (!security && isGuardianSecurity(w.text[i])) {
            security = true;
        } else if (owner++ == 0) {
            at = i;
        }
    }
    const std::string_view group = w.text[at];
    const auto comma = group.find(',');
    const std::string_view user = owner == 2 ? w.text[at + 1] : group.substr(comma + 1);
    if (!security || owner < 1 || owner > 2 || comma == std::string_view::npos ||
        !IsNumber(group.substr(0, comma)) || (owner == 2 && comma + 1 != group.size()) ||
        !IsNumber(user))
        return LineKind::Unreadable;
    std::uint64_t size = 0;
    ParseUnsigned(w.text[2], size);
    return finish(w.text[0], EntryType::File, size, when, out);
}

namespace {

// OS-9's attributes: d (folder), s (not shareable), then execute, write and read for the public
// and for the owner, each letter in its place or "-".
bool isOs9Attributes(std::string_view s) {
    constexpr std::string_view kLetters = "dsewrewr";
    if (s.size() != kLetters.size())
        return false;
    for (std::size_t i = 0; i < s.size(); ++i)
        if (s[i] != '-' && s[i] != kLetters[i])
            return false;
    return true;
}

// "07/03/29" and "1026": year, month, day and hours, minutes.
bool os9DateAndTime(std::string_view date, std::string_view clock, std::int64_t& when) {
    CivilTime t;
    int year = 0, hhmm = 0;
    if (date.size() != 8 || date[2] != '/' || date[5] != '/' || !IsNumber(date.substr(0, 2)) ||
        !ParseInt(date.substr(0, 2), year) || !IsNumber(date.substr(3, 2)) ||
        !ParseInt(date.substr(3, 2), t.month) || !IsNumber(date.substr(6, 2)) ||
        !ParseInt(date.substr(6, 2), t.day) || clock.size() != 4 || !ParseInt(clock, hhmm))
        return false;
    t.year = FullYear(year, 2);
    t.hour = hhmm / 100;
    t.minute = hhmm % 100;
    if (!IsValid(t) || t.hour > 23 || t.minute > 59)
        return false;
    when = TimeOf(t);
    return true;
}

bool isHex(std::string_view s) {
    for (const char c : s)
        if (!IsDigit(c) && !((c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f')))
            return false;
    return !s.empty() && s.size() <= 16;
}

} // namespace

// Microware OS-9: owner ("group.user"), date (yy/mm/dd), time (hhmm), attributes, the first
// sector in hexadecimal, the size in bytes and the name, which may hold spaces:
//   "20.20 07/03/29 1026 d-ewrewr 2650 85920 CMDS"
LineKind ParseOs9Line(std::string_view line, ListingState&, DirEntry& out) {
    const Words<6> w(line);
    if (w.count < 6 || !w.more)
        return LineKind::Unreadable;
    const std::string_view owner = w.text[0];
    const auto dot = owner.find('.');
    std::int64_t when = 0;
    std::uint64_t size = 0;
    if (dot == std::string_view::npos || !IsNumber(owner.substr(0, dot)) ||
        !IsNumber(owner.substr(dot + 1)) || !os9DateAndTime(w.text[1], w.text[2], when) ||
        !isOs9Attributes(w.text[3]) || !isHex(w.text[4]) || !ParseUnsigned(w.text[5], size))
        return LineKind::Unreadable;
    const bool folder = w.text[3][0] == 'd';
    const LineKind kind = finish(TrimBlanks(RestAfter(line, w.end[5])),
                                 folder ? EntryType::Directory : EntryType::File, size, when, out);
    // The owner's write right is the next to last letter.
    if (kind == LineKind::Entry && !folder && w.text[3][6] != 'w')
        out.attributes |= kAttributeReadOnly;
    return kind;
}

} // namespace tw::ftp::listing
