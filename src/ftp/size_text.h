#pragma once

#include <cstdint>
#include <string>

namespace tw::ftp {

// How a byte count is written for people.
enum class SizeUnits {
    // Powers of 1000, as the desktop's file managers show sizes: "512 bytes", "1.4 MB".
    Decimal,
    // Powers of 1024 with binary prefixes, as the command line reports: "512 B", "1.5 KiB",
    // "4.10 GiB".
    Binary,
};

// A byte count in the largest unit it reaches, one decimal (two from giga on in Binary); a
// value that rounds up to the next unit is written in that unit ("1.0 MB", never "1000.0 KB").
std::string ReadableSize(std::uint64_t bytes, SizeUnits units);

} // namespace tw::ftp
