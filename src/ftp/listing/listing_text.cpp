#include "ftp/listing/listing_text.h"

#include "ftp/name_safety.h"

namespace tw::ftp::listing {

bool EqualsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (Lower(a[i]) != Lower(b[i]))
            return false;
    return true;
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && EqualsNoCase(text.substr(0, prefix.size()), prefix);
}

bool ParseUnsigned(std::string_view s, std::uint64_t& value) {
    if (s.empty() || s.size() > 20)
        return false;
    std::uint64_t v = 0;
    for (const char c : s) {
        if (!IsDigit(c))
            return false;
        const auto d = static_cast<std::uint64_t>(c - '0');
        if (v > (UINT64_MAX - d) / 10)
            return false;
        v = v * 10 + d;
    }
    value = v;
    return true;
}

bool IsNumber(std::string_view s) {
    std::uint64_t v = 0;
    return ParseUnsigned(s, v);
}

std::string_view TrimBlanks(std::string_view s) {
    while (!s.empty() && IsBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

bool ParseInt(std::string_view s, int& value) {
    std::uint64_t v = 0;
    if (s.size() > 9 || !ParseUnsigned(s, v))
        return false;
    value = static_cast<int>(v);
    return true;
}

namespace {

// "1,234,567" or "1.234.567": groups of three after the first, one separator throughout.
bool parseGrouped(std::string_view s, std::uint64_t& value) {
    const auto sep = s.find_first_of(",.");
    if (sep == std::string_view::npos || sep == 0 || sep > 3)
        return false;
    const char mark = s[sep];
    std::string_view rest = s;
    std::uint64_t v = 0;
    bool first = true;
    while (!rest.empty()) {
        const auto next = rest.find(mark);
        const std::string_view group = rest.substr(0, next);
        if ((!first && group.size() != 3) || group.empty())
            return false;
        std::uint64_t g = 0;
        if (!ParseUnsigned(group, g) || v > (UINT64_MAX - g) / 1000)
            return false;
        v = v * 1000 + g;
        first = false;
        if (next == std::string_view::npos)
            break;
        rest.remove_prefix(next + 1);
        if (rest.empty())
            return false;
    }
    value = v;
    return true;
}

int unitPower(char c) {
    switch (Lower(c)) {
    case 'b':
        return 0;
    case 'k':
        return 1;
    case 'm':
        return 2;
    case 'g':
        return 3;
    case 't':
        return 4;
    case 'p':
        return 5;
    case 'e':
        return 6;
    default:
        return -1;
    }
}

} // namespace

bool ParseSize(std::string_view s, std::uint64_t& value) {
    if (s.empty() || !IsDigit(s[0]))
        return false;
    if (ParseUnsigned(s, value))
        return true;
    // A unit: "K", "KB", "KiB" (and "B" alone) after the number.
    std::size_t digitsEnd = 0;
    while (digitsEnd < s.size() &&
           (IsDigit(s[digitsEnd]) || s[digitsEnd] == '.' || s[digitsEnd] == ','))
        ++digitsEnd;
    const std::string_view number = s.substr(0, digitsEnd);
    std::string_view unit = s.substr(digitsEnd);
    if (unit.empty())
        return parseGrouped(number, value);
    int power = unitPower(unit[0]);
    if (power < 0)
        return false;
    if (unit.size() == 3 && power > 0 && Lower(unit[1]) == 'i' && Lower(unit[2]) == 'b')
        unit = unit.substr(0, 1);
    else if (unit.size() == 2 && power > 0 && Lower(unit[1]) == 'b')
        unit = unit.substr(0, 1);
    if (unit.size() != 1)
        return false;
    // Whole part, and at most three decimals (either separator: "1.5K", "1,5K").
    const auto point = number.find_first_of(".,");
    std::uint64_t whole = 0;
    std::uint64_t fraction = 0;
    std::uint64_t scale = 1;
    if (!ParseUnsigned(number.substr(0, point), whole))
        return false;
    if (point != std::string_view::npos) {
        const std::string_view decimals = number.substr(point + 1);
        if (decimals.empty() || decimals.size() > 3 || !ParseUnsigned(decimals, fraction))
            return false;
        for (std::size_t i = 0; i < decimals.size(); ++i)
            scale *= 10;
    }
    std::uint64_t multiplier = 1;
    for (int i = 0; i < power; ++i)
        multiplier *= 1024;
    if (whole > UINT64_MAX / multiplier / 2)
        return false;
    value = whole * multiplier + fraction * multiplier / scale;
    return true;
}

bool ParseClock(std::string_view s, int& hour, int& minute, int& second) {
    const auto colon = s.find(':');
    if (colon == std::string_view::npos || colon == 0 || colon > 2 || s.size() < colon + 3)
        return false;
    second = 0;
    if (!ParseInt(s.substr(0, colon), hour) || !ParseInt(s.substr(colon + 1, 2), minute) ||
        hour > 23 || minute > 59)
        return false;
    std::string_view rest = s.substr(colon + 3);
    if (rest.empty())
        return true;
    if (rest.size() < 3 || rest[0] != ':' || !ParseInt(rest.substr(1, 2), second) || second > 60)
        return false;
    rest.remove_prefix(3);
    if (rest.empty())
        return true;
    if (rest[0] != '.' && rest[0] != ',')
        return false;
    for (const char c : rest.substr(1))
        if (!IsDigit(c))
            return false;
    return rest.size() > 1;
}

int FullYear(int year, std::size_t digits) {
    if (digits <= 2)
        return year < 70 ? 2000 + year : 1900 + year;
    if (digits == 3)
        return 1900 + year;
    return year;
}

std::int64_t TimeOf(const CivilTime& t) {
    return IsValid(t) && t.year >= 1970 ? ToUnixTime(t) : 0;
}

std::int64_t ResolveYearless(int month, int day, int hour, int minute, std::int64_t now) {
    const int thisYear = FromUnixTime(now).year;
    for (int year = thisYear + 1; year >= thisYear - 8; --year) {
        const CivilTime t{year, month, day, hour, minute, 0};
        if (!IsValid(t))
            continue;
        const std::int64_t when = ToUnixTime(t);
        if (when <= now + 86400)
            return when;
    }
    return 0;
}

std::string_view StripLineEnd(std::string_view line) {
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n'))
        line.remove_suffix(1);
    return line;
}

std::string_view RestAfter(std::string_view line, std::size_t end) {
    return end + 1 < line.size() ? line.substr(end + 1) : std::string_view{};
}

void FinishEntry(DirEntry& e) {
    e.unsafeName = !IsSafeLocalName(e.name);
    if (e.type == EntryType::Directory)
        e.attributes |= kAttributeDirectory;
    else
        e.attributes |= kAttributeArchive;
    if (e.name.size() > 1 && e.name[0] == '.' && e.name != "..")
        e.attributes |= kAttributeHidden;
}

} // namespace tw::ftp::listing

namespace tw::ftp::listing {

namespace {

// Splits "a?b?c" on one separator character into three parts; false when the word has any
// other shape.
bool splitThree(std::string_view s, char& sep, std::string_view& a, std::string_view& b,
                std::string_view& c) {
    const auto first = s.find_first_of("-/.");
    if (first == std::string_view::npos || first == 0)
        return false;
    sep = s[first];
    const auto second = s.find(sep, first + 1);
    if (second == std::string_view::npos || second == first + 1 || second + 1 >= s.size())
        return false;
    a = s.substr(0, first);
    b = s.substr(first + 1, second - first - 1);
    c = s.substr(second + 1);
    return c.find(sep) == std::string_view::npos;
}

bool yearOf(std::string_view s, int& year) {
    if (s.empty() || s.size() > 4 || !ParseInt(s, year))
        return false;
    year = FullYear(year, s.size());
    return true;
}

} // namespace

bool ParseDate(std::string_view s, CivilTime& t) {
    char sep = 0;
    std::string_view a, b, c;
    if (s.size() < 6 || s.size() > 11 || !splitThree(s, sep, a, b, c))
        return false;
    t = CivilTime{};
    int first = 0, second = 0;
    if (!IsDigit(a[0]) || !IsDigit(b[0])) {
        // A month name first or second: "15-JAN-2024", "JAN-15-2024".
        if (sep != '-')
            return false;
        const bool nameFirst = !IsDigit(a[0]);
        t.month = MonthFromName(nameFirst ? a : b);
        if (!t.month || !ParseInt(nameFirst ? b : a, t.day) || !yearOf(c, t.year))
            return false;
        return IsValid(t);
    }
    if (!ParseInt(a, first) || !ParseInt(b, second) || b.size() > 2)
        return false;
    if (a.size() == 4) {
        t.year = first;
        t.month = second;
        if (!ParseInt(c, t.day) || c.size() > 2)
            return false;
    } else {
        if (a.size() > 2 || !yearOf(c, t.year))
            return false;
        const bool dayFirst = sep == '.' || first > 12;
        t.day = dayFirst ? first : second;
        t.month = dayFirst ? second : first;
    }
    return IsValid(t);
}

} // namespace tw::ftp::listing
