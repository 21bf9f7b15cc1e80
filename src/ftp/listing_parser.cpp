#include "ftp/listing_parser.h"

#include "ftp/civil_time.h"
#include "ftp/name_safety.h"

#include <array>
#include <cstddef>

namespace tw::ftp {

namespace {

char lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool equalsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (lower(a[i]) != lower(b[i]))
            return false;
    return true;
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// Parses all-digit text into an unsigned number; false on overflow or any other character.
bool parseUnsigned(std::string_view s, std::uint64_t& value) {
    if (s.empty() || s.size() > 20)
        return false;
    std::uint64_t v = 0;
    for (const char c : s) {
        if (!isDigit(c))
            return false;
        const std::uint64_t d = static_cast<std::uint64_t>(c - '0');
        if (v > (UINT64_MAX - d) / 10)
            return false;
        v = v * 10 + d;
    }
    value = v;
    return true;
}

bool parseInt(std::string_view s, int& value) {
    std::uint64_t v = 0;
    if (s.size() > 9 || !parseUnsigned(s, v))
        return false;
    value = static_cast<int>(v);
    return true;
}

int monthFromName(std::string_view s) {
    static constexpr std::array<std::string_view, 12> kMonths = {
        "jan", "feb", "mar", "apr", "may", "jun", "jul", "aug", "sep", "oct", "nov", "dec"};
    if (s.size() != 3)
        return 0;
    for (std::size_t i = 0; i < kMonths.size(); ++i)
        if (equalsNoCase(s, kMonths[i]))
            return static_cast<int>(i) + 1;
    return 0;
}

void finishEntry(DirEntry& e) {
    e.unsafeName = !IsSafeLocalName(e.name);
    if (e.type == EntryType::Directory)
        e.attributes |= kAttributeDirectory;
    else
        e.attributes |= kAttributeArchive;
    if (e.name.size() > 1 && e.name[0] == '.' && e.name != "..")
        e.attributes |= kAttributeHidden;
}

std::string_view stripCr(std::string_view line) {
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n'))
        line.remove_suffix(1);
    return line;
}

// --- MLSD -------------------------------------------------------------------------------

// "YYYYMMDDHHMMSS[.sss]" in UTC.
std::int64_t parseMlsdTime(std::string_view s) {
    if (s.size() < 14)
        return 0;
    CivilTime t;
    if (!parseInt(s.substr(0, 4), t.year) || !parseInt(s.substr(4, 2), t.month) ||
        !parseInt(s.substr(6, 2), t.day) || !parseInt(s.substr(8, 2), t.hour) ||
        !parseInt(s.substr(10, 2), t.minute) || !parseInt(s.substr(12, 2), t.second))
        return 0;
    if (s.size() > 14 && s[14] != '.')
        return 0;
    if (!IsValid(t) || t.year < 1970)
        return 0;
    return ToUnixTime(t);
}

} // namespace

bool ParseMlsdLine(std::string_view line, DirEntry& out) {
    line = stripCr(line);
    const auto space = line.find(' ');
    if (space == std::string_view::npos || space + 1 >= line.size())
        return false;
    DirEntry e;
    e.name = std::string(line.substr(space + 1));
    std::string_view facts = line.substr(0, space);
    bool haveType = false;
    bool readOnlyByPerm = false;
    int unixMode = -1;
    while (!facts.empty()) {
        const auto semi = facts.find(';');
        const std::string_view fact = facts.substr(0, semi);
        facts = semi == std::string_view::npos ? std::string_view{} : facts.substr(semi + 1);
        const auto eq = fact.find('=');
        if (eq == std::string_view::npos)
            continue;
        const std::string_view key = fact.substr(0, eq);
        const std::string_view value = fact.substr(eq + 1);
        if (equalsNoCase(key, "type")) {
            haveType = true;
            if (equalsNoCase(value, "cdir") || equalsNoCase(value, "pdir"))
                return false;
            if (equalsNoCase(value, "dir"))
                e.type = EntryType::Directory;
            else if (equalsNoCase(value, "file"))
                e.type = EntryType::File;
            else if (value.size() >= 13 && equalsNoCase(value.substr(0, 13), "OS.unix=slink")) {
                e.type = EntryType::Link;
                if (value.size() > 14 && value[13] == ':')
                    e.linkTarget = std::string(value.substr(14));
            } else if (value.size() >= 15 && equalsNoCase(value.substr(0, 15), "OS.unix=symlink")) {
                e.type = EntryType::Link;
            } else if (value.size() >= 8 && equalsNoCase(value.substr(0, 8), "OS.unix=")) {
                e.type = EntryType::Other;
            } else {
                e.type = EntryType::File;
            }
        } else if (equalsNoCase(key, "size") || equalsNoCase(key, "sizd")) {
            std::uint64_t size = 0;
            if (parseUnsigned(value, size))
                e.size = size;
        } else if (equalsNoCase(key, "modify")) {
            e.lastWriteTime = parseMlsdTime(value);
        } else if (equalsNoCase(key, "create")) {
            e.creationTime = parseMlsdTime(value);
        } else if (equalsNoCase(key, "unix.mode")) {
            int mode = 0;
            bool ok = !value.empty() && value.size() <= 6;
            for (const char c : value) {
                if (c < '0' || c > '7') {
                    ok = false;
                    break;
                }
                mode = mode * 8 + (c - '0');
            }
            if (ok)
                unixMode = mode;
        } else if (equalsNoCase(key, "perm")) {
            bool writable = false;
            for (const char c : value) {
                const char l = lower(c);
                if (l == 'w' || l == 'a' || l == 'c' || l == 'm' || l == 'p' || l == 'd' ||
                    l == 'f')
                    writable = true;
            }
            readOnlyByPerm = !writable;
        }
    }
    if (!haveType && e.name.empty())
        return false;
    if (unixMode >= 0) {
        if ((unixMode & 0200) == 0)
            e.attributes |= kAttributeReadOnly;
    } else if (readOnlyByPerm && e.type != EntryType::Directory) {
        e.attributes |= kAttributeReadOnly;
    }
    finishEntry(e);
    out = std::move(e);
    return true;
}

namespace {

// --- Unix ls -l -------------------------------------------------------------------------

struct Token {
    std::string_view text;
    std::size_t end = 0; // offset just after the token
};

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
    return true;
}

bool parseClock(std::string_view s, int& hour, int& minute) {
    const auto colon = s.find(':');
    if (colon == std::string_view::npos || colon == 0 || colon > 2 || s.size() != colon + 3)
        return false;
    return parseInt(s.substr(0, colon), hour) && parseInt(s.substr(colon + 1), minute) &&
           hour < 24 && minute < 60;
}

// Places a month/day/time without a year in the latest year in which it is not in the future
// (one day of grace for servers in time zones ahead of ours).
std::int64_t resolveYearless(int month, int day, int hour, int minute, std::int64_t now) {
    const int thisYear = FromUnixTime(now).year;
    for (int year = thisYear + 1; year >= thisYear - 8; --year) {
        CivilTime t{year, month, day, hour, minute, 0};
        if (!IsValid(t))
            continue;
        const std::int64_t when = ToUnixTime(t);
        if (when <= now + 86400)
            return when;
    }
    return 0;
}

// Type, name (and link target) and attributes of a Unix entry from its permission field and the
// text after its date.
bool finishUnixEntry(std::string_view name, std::string_view permissions, DirEntry& e) {
    const char kind = permissions[0];
    if (kind == 'd') {
        e.type = EntryType::Directory;
    } else if (kind == 'l') {
        e.type = EntryType::Link;
        const auto arrow = name.find(" -> ");
        if (arrow != std::string_view::npos) {
            e.linkTarget = std::string(name.substr(arrow + 4));
            name = name.substr(0, arrow);
        }
    } else if (kind == '-') {
        e.type = EntryType::File;
    } else {
        e.type = EntryType::Other;
    }
    if (name.empty())
        return false;
    e.name = std::string(name);
    if (permissions[2] != 'w')
        e.attributes |= kAttributeReadOnly;
    finishEntry(e);
    return true;
}

} // namespace

bool ParseUnixListLine(std::string_view line, std::int64_t now, DirEntry& out) {
    line = stripCr(line);
    // Tokens with their end offsets; the name is taken from the raw line afterwards.
    std::array<Token, 12> tokens{};
    std::size_t count = 0;
    std::size_t pos = 0;
    while (count < tokens.size() && pos < line.size()) {
        while (pos < line.size() && line[pos] == ' ')
            ++pos;
        if (pos >= line.size())
            break;
        const std::size_t start = pos;
        while (pos < line.size() && line[pos] != ' ')
            ++pos;
        tokens[count++] = Token{line.substr(start, pos - start), pos};
    }
    if (count < 5 || !isPermissionField(tokens[0].text))
        return false;
    const char kind = tokens[0].text[0];
    // Find "Mon DD HH:MM|YYYY" (or "YYYY-MM-DD HH:MM") preceded by the size; owners, groups
    // and link counts vary.
    for (std::size_t m = 2; m + 1 < count; ++m) {
        int isoHour = 0, isoMinute = 0;
        CivilTime iso;
        const std::string_view dt = tokens[m].text;
        if (dt.size() == 10 && dt[4] == '-' && dt[7] == '-' &&
            parseInt(dt.substr(0, 4), iso.year) && parseInt(dt.substr(5, 2), iso.month) &&
            parseInt(dt.substr(8, 2), iso.day) &&
            parseClock(tokens[m + 1].text, isoHour, isoMinute) && IsValid(iso) &&
            tokens[m + 1].end + 1 <= line.size() && tokens[m + 1].end < line.size()) {
            DirEntry e;
            iso.hour = isoHour;
            iso.minute = isoMinute;
            e.lastWriteTime = iso.year >= 1970 ? ToUnixTime(iso) : 0;
            if (kind != 'c' && kind != 'b' && !parseUnsigned(tokens[m - 1].text, e.size))
                continue;
            if (finishUnixEntry(line.substr(tokens[m + 1].end + 1), tokens[0].text, e)) {
                out = std::move(e);
                return true;
            }
            return false;
        }
        if (m + 2 >= count)
            continue;
        const int month = monthFromName(tokens[m].text);
        if (!month)
            continue;
        int day = 0;
        if (!parseInt(tokens[m + 1].text, day) || day < 1 || day > 31)
            continue;
        const std::string_view yt = tokens[m + 2].text;
        const std::size_t nameStart = tokens[m + 2].end + 1;
        if (nameStart > line.size() || tokens[m + 2].end >= line.size())
            continue;
        DirEntry e;
        int hour = 0, minute = 0, year = 0;
        if (parseClock(yt, hour, minute)) {
            e.lastWriteTime = resolveYearless(month, day, hour, minute, now);
        } else if (yt.size() == 4 && parseInt(yt, year)) {
            CivilTime t{year, month, day, 0, 0, 0};
            if (IsValid(t) && year >= 1970)
                e.lastWriteTime = ToUnixTime(t);
        } else {
            continue;
        }
        std::uint64_t size = 0;
        if (kind == 'c' || kind == 'b') {
            // Device files show "major, minor" where the size would be.
            size = 0;
        } else if (!parseUnsigned(tokens[m - 1].text, size)) {
            continue;
        }
        e.size = size;
        if (!finishUnixEntry(line.substr(nameStart), tokens[0].text, e))
            return false;
        out = std::move(e);
        return true;
    }
    return false;
}

bool ParseDosListLine(std::string_view line, DirEntry& out) {
    line = stripCr(line);
    std::size_t pos = 0;
    auto next = [&](std::string_view& tok) {
        while (pos < line.size() && line[pos] == ' ')
            ++pos;
        const std::size_t start = pos;
        while (pos < line.size() && line[pos] != ' ')
            ++pos;
        tok = line.substr(start, pos - start);
        return !tok.empty();
    };
    std::string_view date, clock, sizeOrDir;
    if (!next(date) || !next(clock) || !next(sizeOrDir))
        return false;
    // Date: MM-DD-YY or MM-DD-YYYY (also with '/').
    if (date.size() != 8 && date.size() != 10)
        return false;
    if ((date[2] != '-' && date[2] != '/') || date[5] != date[2])
        return false;
    CivilTime t;
    if (!parseInt(date.substr(0, 2), t.month) || !parseInt(date.substr(3, 2), t.day) ||
        !parseInt(date.substr(6), t.year))
        return false;
    if (date.size() == 8)
        t.year += t.year < 70 ? 2000 : 1900;
    // Time: hh:mm with AM/PM attached or as its own token, or 24-hour.
    std::string_view suffix;
    if (clock.size() > 2 && (lower(clock.back()) == 'm')) {
        suffix = clock.substr(clock.size() - 2);
        clock.remove_suffix(2);
    } else if (equalsNoCase(sizeOrDir, "AM") || equalsNoCase(sizeOrDir, "PM")) {
        suffix = sizeOrDir;
        if (!next(sizeOrDir))
            return false;
    }
    if (!parseClock(clock, t.hour, t.minute))
        return false;
    if (!suffix.empty()) {
        const bool pm = equalsNoCase(suffix, "PM");
        if (!pm && !equalsNoCase(suffix, "AM"))
            return false;
        if (t.hour < 1 || t.hour > 12)
            return false;
        if (t.hour == 12)
            t.hour = 0;
        if (pm)
            t.hour += 12;
    }
    if (!IsValid(t))
        return false;
    DirEntry e;
    e.lastWriteTime = t.year >= 1970 ? ToUnixTime(t) : 0;
    if (equalsNoCase(sizeOrDir, "<DIR>")) {
        e.type = EntryType::Directory;
    } else {
        std::string digits;
        for (const char c : sizeOrDir)
            if (c != ',' && c != '.')
                digits += c;
        if (!parseUnsigned(digits, e.size))
            return false;
        e.type = EntryType::File;
    }
    while (pos < line.size() && line[pos] == ' ')
        ++pos;
    if (pos >= line.size())
        return false;
    e.name = std::string(line.substr(pos));
    finishEntry(e);
    out = std::move(e);
    return true;
}

bool ParseListLine(std::string_view line, std::int64_t now, DirEntry& out) {
    if (line.empty())
        return false;
    if (isDigit(line[0]))
        return ParseDosListLine(line, out);
    return ParseUnixListLine(line, now, out);
}

} // namespace tw::ftp
