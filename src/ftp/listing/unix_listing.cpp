// "ls -l" listings in their many forms, and NetWare's, which share their dates:
//   "-rw-r--r--   1 owner    group        531 Jan 29 03:26 README"
//   "drwxr-xr-x   2 owner    group       4096 2021-03-04 05:06 folder"
//   "-rw-r--r--   1 owner    group       1234 15. Jan 12:34 Datei"
//   "lrwxrwxrwx   1 owner    group          7 Jan 25  2020 bin -> usr/bin"
//   "d [R----F--] supervisor            512       Jan 16 18:53    login"
#include "ftp/listing/families.h"
#include "ftp/listing/listing_text.h"

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

// The time of a month name (or number), day and "HH:MM" / year starting at word `m`.
bool monthDayRest(const LineWords& w, std::size_t m, int month, int day, std::int64_t now,
                  DateMatch& d) {
    if (m + 2 >= w.count)
        return false;
    const std::string_view third = w.text[m + 2];
    int hour = 0, minute = 0, second = 0, year = 0;
    if (ParseClock(third, hour, minute, second)) {
        // "Jan 15 12:34:56 2024" (BSD's ls -T) carries its year after the time.
        if (m + 3 < w.count && third.size() > 5 && parseYear(w.text[m + 3], year)) {
            const CivilTime t{year, month, day, hour, minute, second};
            d.when = TimeOf(t);
            d.used = 4;
            return IsValid(t);
        }
        d.when = ResolveYearless(month, day, hour, minute, now);
        d.used = 3;
        return d.when != 0;
    }
    if (!parseYear(third, year))
        return false;
    d.used = 3;
    // "Jan 15, 2024 12:34" and "Jan 15 2024 12:34": a time after the year.
    if (m + 3 < w.count && (third.back() == ',' || m + 4 < w.count) &&
        ParseClock(w.text[m + 3], hour, minute, second))
        d.used = 4;
    else
        hour = minute = second = 0;
    const CivilTime t{year, month, day, hour, minute, second};
    if (!IsValid(t))
        return false;
    d.when = TimeOf(t);
    return true;
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
               monthDayRest(w, m, month, day, now, d);
    }
    // "15. Jan 12:34", "15 janv. 2020"
    if (m + 1 < w.count && parseDay(word, day)) {
        const int month = MonthFromName(w.text[m + 1]);
        if (month)
            return monthDayRest(w, m, month, day, now, d);
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
    return false;
}

// "1 15 12:34" / "12 21 2009": a month and a day as plain numbers.
bool matchNumericDate(const LineWords& w, std::size_t m, std::int64_t now, DateMatch& d) {
    int month = 0, day = 0;
    return ParseInt(w.text[m], month) && w.text[m].size() <= 2 && month >= 1 && month <= 12 &&
           m + 1 < w.count && w.text[m + 1].size() <= 2 && parseDay(w.text[m + 1], day) &&
           monthDayRest(w, m, month, day, now, d);
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

// Type, name (and link target) and attributes of an entry from its permission field and the
// text after its date.
LineKind finishUnixEntry(std::string_view name, std::string_view permissions, DirEntry& e) {
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
    if (permissions[2] != 'w')
        e.attributes |= kAttributeReadOnly;
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

} // namespace

LineKind ParseUnixLine(std::string_view line, ListingState& state, DirEntry& out) {
    if (line.size() < 12)
        return LineKind::Unreadable;
    const LineWords w(line);
    if (w.count < 3 || !isPermissionField(w.text[0]))
        return LineKind::Unreadable;
    const std::string_view perm = w.text[0];
    const bool devices = perm[0] == 'c' || perm[0] == 'b';
    // The date is the first one after a size; owners, groups and link counts vary, may be
    // missing or hold spaces ("DOMAIN\Domain Users").
    for (std::size_t m = 2; m < w.count; ++m) {
        std::uint64_t size = 0;
        if (!sizeBefore(w.text[m - 1], size))
            continue;
        DateMatch d;
        if (!matchDate(w, m, state.now, d))
            continue;
        const std::size_t last = m + d.used - 1;
        if (last + 1 >= w.count && !w.more)
            return LineKind::Unreadable; // a date, but no name after it
        DirEntry e;
        // Device files show "major, minor" where the size would be.
        e.size = devices ? 0 : size;
        e.lastWriteTime = d.when;
        const LineKind kind = finishUnixEntry(RestAfter(line, w.end[last]), perm, e);
        if (kind == LineKind::Entry)
            out = std::move(e);
        return kind;
    }
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
