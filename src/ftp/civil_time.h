#pragma once

#include <cstdint>

namespace tw::ftp {

// Calendar arithmetic in UTC, independent of the process's time zone.
struct CivilTime {
    int year = 1970;
    int month = 1; // 1-12
    int day = 1;   // 1-31
    int hour = 0;
    int minute = 0;
    int second = 0;
};

bool IsLeapYear(int year);
int DaysInMonth(int year, int month);
// Seconds since 1970 for a valid calendar time (the caller checks ranges with IsValid).
std::int64_t ToUnixTime(const CivilTime& t);
CivilTime FromUnixTime(std::int64_t seconds);
bool IsValid(const CivilTime& t);

} // namespace tw::ftp
