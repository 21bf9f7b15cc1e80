// "ls -l" listings in their many forms, and NetWare's, which share their dates:
//   "-rw-r--r--   1 owner    group        531 Jan 29 03:26 README"
//   "drwxr-xr-x   2 owner    group       4096 2021-03-04 05:06 folder"
//   "-rw-r--r--   1 owner    group       1234 15. Jan 12:34 Datei"
//   "lrwxrwxrwx   1 owner    group          7 Jan 25  2020 bin -> usr/bin"
//   "-rw-r--r--   1 owner    group       1234 09-26 13:45 month and day as numbers"
//   "100644 1000 1000 1234 1190000000 mode, uid, gid, size and time as numbers"
//   "-C--E-----FTP B BCC3I1   7670  1294495 Jan 13 07:42 a server's own attributes"
//   "d [R----F--] supervisor            512       Jan 16 18:53    login"
#include "ftp/listing/families.h"
#include "ftp/listing/listing_text.h"

#include <optional>
#include <string>

namespace tw::ftp::listing {

namespace {

constexpr std::size_t kMaxWords = 16;
using LineWords = Words<kMaxWords>;

bool isPermissionField(std::string_view s) {
    if (s.size() < 10)
        return false;
    switch (s[0]) {
    case '-':
    case 'd':
    case 'l':
    case 'c':
    case 'b':
    case 'p':
    case 's':
    case 'D':
        break;
    default:
        return false;
    }
    for (std::size_t i = 1; i < 10; ++i) {
        switch (s[i]) {
        case 'r':
        case 'w':
        case 'x':
        case 's':
        case 'S':
        case 't':
        case 'T':
        case 'l':
        case 'L':
        case '-':
            break;
        default:
            return false;
        }
    }
    // ACL and extended-attribute marks ("+", "@", ".") may follow; nothing else.
    return s.size() == 10 || (s.size() == 11 && (s[10] == '+' || s[10] == '@' || s[10] == '.'));
}

// The size in the word before a date: a number, a number with a unit, or (when a long owner
// or group name filled its column) a name with the size glued to its end, as "staff1234".
bool sizeBefore(std::string_view word, std::uint64_t& size) {
    if (ParseSize(word, size))
        return true;
    std::size_t digits = word.size();
    while (digits > 0 && IsDigit(word[digits - 1]))
        --digits;
    if (digits == 0 || digits == word.size())
        return false;
    const char glue = word[digits - 1];
    const bool nameChar = (glue >= 'a' && glue <= 'z') || (glue >= 'A' && glue <= 'Z') ||
                          glue == '_' || glue == '-' || static_cast<unsigned char>(glue) >= 0x80;
    return nameChar && ParseUnsigned(word.substr(digits), size);
}

// A day of the month, with the "." German writes after it or a "," after it.
bool parseDay(std::string_view s, int& day) {
    if (!s.empty() && (s.back() == '.' || s.back() == ','))
        s.remove_suffix(1);
    return s.size() <= 2 && ParseInt(s, day) && day >= 1 && day <= 31;
}

bool parseYear(std::string_view s, int& year) {
    if (!s.empty() && s.back() == ',')
        s.remove_suffix(1);
    return s.size() == 4 && ParseInt(s, year) && year >= 1900;
}

// "+0100" / "-0530": the offset of a local time from UTC, in seconds.
bool parseZone(std::string_view s, std::int64_t& offset) {
    int hhmm = 0;
    if (s.size() != 5 || (s[0] != '+' && s[0] != '-') || !ParseInt(s.substr(1), hhmm) ||
        hhmm % 100 > 59)
        return false;
    offset = (hhmm / 100 * 3600 + hhmm % 100 * 60) * (s[0] == '-' ? -1 : 1);
    return true;
}

bool hasHighByte(std::string_view s) {
    for (const char c : s)
        if (static_cast<unsigned char>(c) >= 0x80)
            return true;
    return false;
}

struct DateMatch {
    std::int64_t when = 0;
    std::size_t used = 0; // words the date takes
};

// The time of a month and day that take the words from `first` to before `rest`, with the
// "HH:MM" or year in word `rest`.
bool monthDayRest(const LineWords& w, std::size_t first, std::size_t rest, int month, int day,
                  std::int64_t now, DateMatch& d) {
    if (rest >= w.count)
        return false;
    const std::string_view third = w.text[rest];
    const std::size_t used = rest - first + 1;
    int hour = 0, minute = 0, second = 0, year = 0;
    if (ParseClock(third, hour, minute, second)) {
        // "Jan 15 12:34:56 2024" (BSD's ls -T) carries its year after the time.
        if (rest + 1 < w.count && third.size() > 5 && parseYear(w.text[rest + 1], year)) {
            const CivilTime t{year, month, day, hour, minute, second};
            d.when = TimeOf(t);
            d.used = used + 1;
            return IsValid(t);
        }
        d.when = ResolveYearless(month, day, hour, minute, now);
        d.used = used;
        return d.when != 0;
    }
    if (!parseYear(third, year))
        return false;
    d.used = used;
    // "Jan 15, 2024 12:34" and "Jan 15 2024 12:34": a time after the year.
    if (rest + 1 < w.count && (third.back() == ',' || rest + 2 < w.count) &&
        ParseClock(w.text[rest + 1], hour, minute, second))
        d.used = used + 1;
    else
        hour = minute = second = 0;
    const CivilTime t{year, month, day, hour, minute, second};
    if (!IsValid(t))
        return false;
    d.when = TimeOf(t);
    return true;
}

// "09-26" / "9/26": a month and a day in one word, the month first.
bool parseMonthDayWord(std::string_view s, int& month, int& day) {
    const auto sep = s.find_first_of("-/");
    if (sep == std::string_view::npos || sep == 0 || sep > 2 || s.size() - sep - 1 < 1 ||
        s.size() - sep - 1 > 2)
        return false;
    return ParseInt(s.substr(0, sep), month) && month >= 1 && month <= 12 &&
           ParseInt(s.substr(sep + 1), day) && day >= 1 && day <= 31;
}

// A date starting at word `m` in any of the written forms (the numeric "1 15 12:34" is tried
// separately, after these, since it is the easiest to mistake).
bool matchDate(const LineWords& w, std::size_t m, std::int64_t now, DateMatch& d) {
    const std::string_view word = w.text[m];
    int day = 0;
    if (!IsDigit(word[0])) {
        // "Jan 15 ...", "janv. 15 ...", "Mär 15 ..."
        const int month = MonthFromName(word);
        return month && m + 1 < w.count && parseDay(w.text[m + 1], day) &&
               monthDayRest(w, m, m + 2, month, day, now, d);
    }
    // "15. Jan 12:34", "15 janv. 2020"
    if (m + 1 < w.count && parseDay(word, day)) {
        const int month = MonthFromName(w.text[m + 1]);
        if (month)
            return monthDayRest(w, m, m + 2, month, day, now, d);
    }
    // "2024-01-15 12:34[:56[.123456789]] [+0100]", "15.01.2024 12:34", "2024-01-15"
    CivilTime t;
    if (ParseDate(word, t)) {
        d.used = 1;
        if (m + 1 < w.count && ParseClock(w.text[m + 1], t.hour, t.minute, t.second)) {
            d.used = 2;
            d.when = TimeOf(t);
            std::int64_t offset = 0;
            if (m + 2 < w.count && parseZone(w.text[m + 2], offset)) {
                d.used = 3;
                d.when = d.when ? d.when - offset : 0;
            }
        } else {
            d.when = TimeOf(t);
        }
        return true;
    }
    if (hasHighByte(word))
        return ParseAsianDate(&w.text[m], w.count - m, now, d.used, d.when);
    // "09-26 2000", "09-26 13:45": only with the year or time after it, which a name rarely
    // holds.
    int month = 0;
    return parseMonthDayWord(word, month, day) && monthDayRest(w, m, m + 1, month, day, now, d);
}

// "1 15 12:34" / "12 21 2009": a month and a day as plain numbers.
bool matchNumericDate(const LineWords& w, std::size_t m, std::int64_t now, DateMatch& d) {
    int month = 0, day = 0;
    return ParseInt(w.text[m], month) && w.text[m].size() <= 2 && month >= 1 && month <= 12 &&
           m + 1 < w.count && w.text[m + 1].size() <= 2 && parseDay(w.text[m + 1], day) &&
           monthDayRest(w, m, m + 2, month, day, now, d);
}

// Seconds since 1970 written as a number of 9 or 10 digits, not after tomorrow.
bool matchEpoch(std::string_view s, std::int64_t now, std::int64_t& when) {
    std::uint64_t v = 0;
    if (s.size() < 9 || s.size() > 10 || !ParseUnsigned(s, v) ||
        v > static_cast<std::uint64_t>(now) + 86400)
        return false;
    when = static_cast<std::int64_t>(v);
    return true;
}

// A word that may belong to a date, so that a line whose date could not be read is not taken
// for one without a date.
bool looksLikeDatePart(std::string_view s) {
    if (MonthFromName(s) || s.find(':') != std::string_view::npos || hasHighByte(s))
        return true;
    CivilTime t;
    int year = 0;
    return ParseDate(s, t) || parseYear(s, year);
}

// The mode bits of a permission field ("drwxr-sr-t"): "s" / "S" in an execute place are the
// set-user or set-group bit with or without execute, "l" / "L" for the group the set-group bit
// of mandatory locking, "t" / "T" for the others the sticky bit. Nothing for a letter out of
// its place.
std::optional<std::uint16_t> modeOf(std::string_view permissions) {
    if (permissions.size() < 10)
        return std::nullopt;
    std::uint16_t mode = 0;
    for (std::size_t i = 0; i < 9; ++i) {
        const char c = permissions[i + 1];
        const std::uint16_t bit = std::uint16_t(0400u >> i);
        const std::size_t place = i % 3; // read, write, execute
        const std::size_t who = i / 3;   // owner, group, others
        if (c == '-')
            continue;
        if ((place == 0 && c == 'r') || (place == 1 && c == 'w') || (place == 2 && c == 'x')) {
            mode |= bit;
            continue;
        }
        if (place != 2)
            return std::nullopt;
        const bool execute = c == 's' || c == 't';
        if (who < 2 && (c == 's' || c == 'S'))
            mode |= who == 0 ? 04000 : 02000;
        else if (who == 1 && (c == 'l' || c == 'L'))
            mode |= 02000;
        else if (who == 2 && (c == 't' || c == 'T'))
            mode |= 01000;
        else
            return std::nullopt;
        if (execute)
            mode |= bit;
    }
    return mode;
}

// Owner and group from the words between the permission field and the size (word `size`): a
// link count first when it is a number, then the owner and the group (a group may hold
// spaces, "Domain Users"); a group glued to the size ("staff1234") is cut off it.
void ownerAndGroup(std::string_view line, const LineWords& w, std::size_t size, DirEntry& e) {
    std::size_t first = IsNumber(w.text[1]) ? 2 : 1;
    std::size_t last = size; // one past the last word of owner and group
    // Device files: "major, minor" in the place of the size.
    if (last > first && w.text[last - 1].back() == ',')
        --last;
    std::string_view glued;
    std::uint64_t number = 0;
    if (!ParseSize(w.text[size], number)) {
        std::string_view word = w.text[size];
        while (!word.empty() && IsDigit(word.back()))
            word.remove_suffix(1);
        glued = word;
    }
    if (first >= last) {
        e.group = std::string(glued);
        return;
    }
    e.owner = std::string(w.text[first]);
    if (!glued.empty()) {
        e.group = std::string(glued);
    } else if (first + 1 < last) {
        const std::size_t start = w.end[first + 1] - w.text[first + 1].size();
        e.group = std::string(line.substr(start, w.end[last - 1] - start));
    }
}

// Type, name (and link target) and attributes of an entry from its permission field and the
// text after its date. `modes` tells whether the field holds the owner's rights at all.
LineKind finishUnixEntry(std::string_view name, std::string_view permissions, DirEntry& e,
                         bool modes = true) {
    switch (permissions[0]) {
    case 'd':
        e.type = EntryType::Directory;
        break;
    case 'l':
        e.type = EntryType::Link;
        if (const auto arrow = name.find(" -> "); arrow != std::string_view::npos) {
            e.linkTarget = std::string(name.substr(arrow + 4));
            name = name.substr(0, arrow);
        }
        break;
    case '-':
        e.type = EntryType::File;
        break;
    default:
        e.type = EntryType::Other;
        break;
    }
    if (name.empty())
        return LineKind::Unreadable;
    e.name = std::string(name);
    if (modes && permissions[2] != 'w')
        e.attributes |= kAttributeReadOnly;
    if (modes)
        e.mode = modeOf(permissions);
    FinishEntry(e);
    return LineKind::Entry;
}

// Lines without a written date, read only when no written date was found. Each reading is
// decided by the position of the numbers among the fields, since nothing else tells:
//  - "perm links owner group size epoch name" and "perm links owner size epoch name" (an owner
//    that is no number) carry seconds since 1970 after the size;
//  - "perm links 1000 1000 1705321234 name" could be owner 1000 and a time, or owner and
//    group 1000 and that size; with numeric owners the line is taken as having no date, as
//    "perm links owner group size name" and "perm links owner size name" are read.
//  - a line with a date that could not be read (a month name, a clock, a year after the size)
//    stays unreadable rather than being taken for a name.
LineKind parseWithoutDate(std::string_view line, const LineWords& w, std::int64_t now,
                          DirEntry& e) {
    const std::string_view perm = w.text[0];
    const bool devices = perm[0] == 'c' || perm[0] == 'b';
    for (std::size_t m = 2; m + 1 < w.count && !devices; ++m) {
        DateMatch d;
        std::uint64_t size = 0;
        if (sizeBefore(w.text[m - 1], size) && matchNumericDate(w, m, now, d)) {
            e.size = size;
            e.lastWriteTime = d.when;
            return finishUnixEntry(RestAfter(line, w.end[m + d.used - 1]), perm, e);
        }
    }
    for (const std::size_t m : {std::size_t{5}, std::size_t{4}}) {
        std::int64_t when = 0;
        if (m + 1 < w.count && IsNumber(w.text[m - 1]) && matchEpoch(w.text[m], now, when) &&
            (m == 5 || !IsNumber(w.text[2]))) {
            ParseUnsigned(w.text[m - 1], e.size);
            e.lastWriteTime = when;
            return finishUnixEntry(RestAfter(line, w.end[m]), perm, e);
        }
    }
    for (const std::size_t s : {std::size_t{4}, std::size_t{3}}) {
        if (s + 1 >= w.count || !IsNumber(w.text[s]) || devices)
            continue;
        for (std::size_t k = s + 1; k < w.count && k <= s + 3; ++k)
            if (looksLikeDatePart(w.text[k]))
                return LineKind::Unreadable;
        ParseUnsigned(w.text[s], e.size);
        return finishUnixEntry(RestAfter(line, w.end[s]), perm, e);
    }
    return LineKind::Unreadable;
}

// An attribute field of a server of its own in the place of the permissions, as Sterling
// Connect:Enterprise writes "-C--E-----FTP": the type first, then capitals and dashes only.
// Read only with a written date after a size, which leaves no doubt where the name starts.
bool isOtherAttributeField(std::string_view s) {
    if (s.size() < 10 || s.size() > 16 || (s[0] != '-' && s[0] != 'd'))
        return false;
    std::size_t dashes = 0, capitals = 0;
    for (const char c : s.substr(1)) {
        if (c == '-')
            ++dashes;
        else if (c >= 'A' && c <= 'Z')
            ++capitals;
        else
            return false;
    }
    return dashes >= 2 && capitals >= 1;
}

// The entry of a line whose date is the first one written after a size; `dated` tells whether
// such a date was found (an entry or not).
LineKind parseDated(std::string_view line, const LineWords& w, std::int64_t now, bool modes,
                    DirEntry& out, bool& dated) {
    dated = true;
    const std::string_view perm = w.text[0];
    const bool devices = perm[0] == 'c' || perm[0] == 'b';
    // The date is the first one after a size; owners, groups and link counts vary, may be
    // missing or hold spaces ("DOMAIN\Domain Users").
    for (std::size_t m = 2; m < w.count; ++m) {
        std::uint64_t size = 0;
        if (!sizeBefore(w.text[m - 1], size))
            continue;
        DateMatch d;
        if (!matchDate(w, m, now, d))
            continue;
        const std::size_t last = m + d.used - 1;
        if (last + 1 >= w.count && !w.more)
            return LineKind::Unreadable; // a date, but no name after it
        DirEntry e;
        // Device files show "major, minor" where the size would be.
        e.size = devices ? 0 : size;
        e.lastWriteTime = d.when;
        if (modes)
            ownerAndGroup(line, w, m - 1, e);
        const LineKind kind = finishUnixEntry(RestAfter(line, w.end[last]), perm, e, modes);
        if (kind == LineKind::Entry)
            out = std::move(e);
        return kind;
    }
    dated = false;
    return LineKind::Unreadable;
}

// "100644 1000 1000 1234 1190000000 name": the mode in octal (its file type bits included),
// the owner's and group's numbers, the size and the time in seconds since 1970. The columns
// are padded, so the blanks before the name are no part of it.
LineKind parseNumericLine(std::string_view line, const LineWords& w, DirEntry& out) {
    const std::string_view modeWord = w.text[0];
    if (w.count < 6 || modeWord.size() < 5 || modeWord.size() > 7)
        return LineKind::Unreadable;
    unsigned mode = 0;
    for (const char c : modeWord) {
        if (c < '0' || c > '7')
            return LineKind::Unreadable;
        mode = mode * 8 + static_cast<unsigned>(c - '0');
    }
    char type = 0;
    switch (mode >> 12) {
    case 010:
        type = '-';
        break;
    case 004:
        type = 'd';
        break;
    case 012:
        type = 'l';
        break;
    case 001:
        type = 'p';
        break;
    case 002:
        type = 'c';
        break;
    case 006:
        type = 'b';
        break;
    case 014:
        type = 's';
        break;
    default:
        return LineKind::Unreadable;
    }
    std::uint64_t when = 0;
    DirEntry e;
    if (!IsNumber(w.text[1]) || !IsNumber(w.text[2]) || !ParseUnsigned(w.text[3], e.size) ||
        w.text[4].size() > 10 || !ParseUnsigned(w.text[4], when))
        return LineKind::Unreadable;
    e.lastWriteTime = static_cast<std::int64_t>(when);
    if (type == 'c' || type == 'b')
        e.size = 0;
    // The permission field "ls" would print for the mode: its type and the owner's write bit
    // are what the entry takes from it.
    const std::string permissions{type, 'r', (mode & 0200) ? 'w' : '-'};
    std::string_view name = RestAfter(line, w.end[4]);
    while (!name.empty() && IsBlank(name.front()))
        name.remove_prefix(1);
    const LineKind kind = finishUnixEntry(name, permissions, e);
    if (kind != LineKind::Entry)
        return kind;
    e.mode = std::uint16_t(mode & 07777);
    e.owner = std::string(w.text[1]);
    e.group = std::string(w.text[2]);
    out = std::move(e);
    return kind;
}

} // namespace

LineKind ParseUnixLine(std::string_view line, ListingState& state, DirEntry& out) {
    if (line.size() < 12)
        return LineKind::Unreadable;
    const LineWords w(line);
    if (w.count < 3)
        return LineKind::Unreadable;
    bool dated = false;
    if (!isPermissionField(w.text[0])) {
        if (isOtherAttributeField(w.text[0]))
            return parseDated(line, w, state.now, false, out, dated);
        return parseNumericLine(line, w, out);
    }
    const LineKind kind = parseDated(line, w, state.now, true, out, dated);
    if (dated)
        return kind;
    DirEntry e;
    if (parseWithoutDate(line, w, state.now, e) != LineKind::Entry)
        return LineKind::Unreadable;
    out = std::move(e);
    return LineKind::Entry;
}

LineKind ParseNetWareLine(std::string_view line, ListingState& state, DirEntry& out) {
    if (line.size() < 15 || (line[0] != 'd' && line[0] != '-') || line[1] != ' ')
        return LineKind::Unreadable;
    const LineWords w(line);
    const std::string_view rights = w.text[1];
    if (w.count < 7 || rights.size() < 3 || rights.front() != '[' || rights.back() != ']')
        return LineKind::Unreadable;
    for (std::size_t m = 3; m < w.count; ++m) {
        std::uint64_t size = 0;
        DateMatch d;
        if (!ParseSize(w.text[m - 1], size) || !matchDate(w, m, state.now, d))
            continue;
        const std::string_view name = [&] {
            std::string_view rest = RestAfter(line, w.end[m + d.used - 1]);
            while (!rest.empty() && IsBlank(rest.front()))
                rest.remove_prefix(1);
            return rest;
        }();
        if (name.empty())
            return LineKind::Unreadable;
        DirEntry e;
        e.type = line[0] == 'd' ? EntryType::Directory : EntryType::File;
        e.size = size;
        e.lastWriteTime = d.when;
        e.name = std::string(name);
        if (rights.find('W') == std::string_view::npos && e.type == EntryType::File)
            e.attributes |= kAttributeReadOnly;
        FinishEntry(e);
        out = std::move(e);
        return LineKind::Entry;
    }
    return LineKind::Unreadable;
}

} // namespace tw::ftp::listing
