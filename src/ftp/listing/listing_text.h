#pragma once

// Lexing helpers shared by the listing parsers of every server family. Internal to the engine.

#include "ftp/civil_time.h"
#include "ftp/dir_entry.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace tw::ftp::listing {

inline char Lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

inline bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

inline bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

inline bool IsLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// Text without the blanks at its start and end.
std::string_view TrimBlanks(std::string_view s);

bool EqualsNoCase(std::string_view a, std::string_view b);
bool StartsWithNoCase(std::string_view text, std::string_view prefix);

// All-digit text as a number; false on overflow, on an empty text or any other character.
bool ParseUnsigned(std::string_view s, std::uint64_t& value);
// Whether the text is all digits and fits 64 bits.
bool IsNumber(std::string_view s);
// The same for small numbers (at most 9 digits).
bool ParseInt(std::string_view s, int& value);
// A size as servers write it: "1234", "1,234,567" / "1.234.567" (thousands separators), or
// with a unit, "1.5K", "20M", "3,2G", "12KB", "4 MiB" excluded (one token only). Units are
// powers of 1024, as "ls -h" prints them.
bool ParseSize(std::string_view s, std::uint64_t& value);

// "HH:MM" or "HH:MM:SS", optionally with a fraction after the seconds (".123").
bool ParseClock(std::string_view s, int& hour, int& minute, int& second);

// A two-digit year in full: 70-99 are 1970-1999, 00-69 are 2000-2069. Three-digit years
// (OS/2 writes 2003 as "103") count from 1900. Four digits are kept.
int FullYear(int year, std::size_t digits);

// Seconds since 1970 of a calendar time, or 0 when it is invalid or before 1970.
std::int64_t TimeOf(const CivilTime& t);

// A date written as one word, its time left at midnight: "2024-01-15", "2024/01/15",
// "2024.01.15" (year first); "01-15-2024", "01/15/24" (month first, as in the US, unless the
// first number cannot be a month); "15.01.2024", "15.01.24" (day first, as in Europe);
// "15-JAN-2024", "15-Jan-24", "JAN-15-2024" (a month name). Two- and three-digit years as
// FullYear reads them.
bool ParseDate(std::string_view s, CivilTime& t);

// A month, day and time without a year placed in the latest year in which it is not in the
// future relative to `now`, with one day of grace for servers in time zones ahead of ours.
std::int64_t ResolveYearless(int month, int day, int hour, int minute, std::int64_t now);

// The month (1-12) a month name stands for: English, German, French, Spanish, Italian,
// Dutch, Swedish and Russian, abbreviated or in full, with or without a trailing "." or ",",
// in UTF-8 or the legacy encoding of that language. 0 for any other text.
int MonthFromName(std::string_view s);

// A date with Chinese, Japanese or Korean year / month / day markers ("1月", "2024年1月15日",
// "12월", "4月 18日 2003年", in UTF-8, Shift_JIS, EUC-JP, GBK, Big5 or EUC-KR), written over
// `count` tokens
// starting at `tokens[0]`. Sets `used` to the number of tokens the date takes (time or year
// token included) and `when` to its time, placing a date without a year as ResolveYearless
// does. False when the tokens are no such date.
bool ParseAsianDate(const std::string_view* tokens, std::size_t count, std::int64_t now,
                    std::size_t& used, std::int64_t& when);

// A line without its line end (CR and LF removed from the end).
std::string_view StripLineEnd(std::string_view line);

// The words of a line split on spaces and tabs, with where each ends, for taking a name (which
// may hold spaces) from the raw line after the last field.
template <std::size_t N>
struct Words {
    std::array<std::string_view, N> text{};
    std::array<std::size_t, N> end{}; // offset just after each word
    std::size_t count = 0;
    bool more = false; // the line has words beyond N

    explicit Words(std::string_view line) {
        std::size_t pos = 0;
        while (pos < line.size()) {
            while (pos < line.size() && IsBlank(line[pos]))
                ++pos;
            if (pos >= line.size())
                break;
            if (count == N) {
                more = true;
                break;
            }
            const std::size_t start = pos;
            while (pos < line.size() && !IsBlank(line[pos]))
                ++pos;
            text[count] = line.substr(start, pos - start);
            end[count] = pos;
            ++count;
        }
    }
};

// The rest of `line` after the word ending at `end`, skipping the one separator after it (a
// name's own leading spaces are kept); empty when nothing follows.
std::string_view RestAfter(std::string_view line, std::size_t end);

// Sets the attributes every entry gets from its type and name (folder, archive, hidden for
// dot names) and marks names unsafe as local names.
void FinishEntry(DirEntry& e);

} // namespace tw::ftp::listing
