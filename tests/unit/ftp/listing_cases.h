#pragma once

// What the listing tests share: UTC times and the fixed "now" that places dates without a year.
#include "ftp/civil_time.h"

#include <cstdint>

namespace tw::ftp::test {

inline std::int64_t utc(int y, int mo, int d, int h = 0, int mi = 0, int s = 0) {
    return ToUnixTime(CivilTime{y, mo, d, h, mi, s});
}

// 2024-06-15 12:00 UTC: dates without a year fall in the year before when they would be after
// it.
inline const std::int64_t kNow = utc(2024, 6, 15, 12, 0, 0);

} // namespace tw::ftp::test
