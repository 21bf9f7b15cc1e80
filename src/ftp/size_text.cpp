#include "ftp/size_text.h"

#include <array>
#include <cmath>
#include <cstdio>

namespace tw::ftp {

namespace {

struct UnitTable {
    double base;
    const char* one;  // a single byte
    const char* many; // bytes below the first unit
    std::array<const char*, 6> names;
    std::array<int, 6> decimals;
};

constexpr UnitTable kDecimal{
    1000.0, "byte", "bytes", {"KB", "MB", "GB", "TB", "PB", "EB"}, {1, 1, 1, 1, 1, 1}};
constexpr UnitTable kBinary{
    1024.0, "B", "B", {"KiB", "MiB", "GiB", "TiB", "PiB", "EiB"}, {1, 1, 2, 2, 2, 2}};

} // namespace

std::string ReadableSize(std::uint64_t bytes, SizeUnits units) {
    const UnitTable& table = units == SizeUnits::Decimal ? kDecimal : kBinary;
    char buf[40];
    if (double(bytes) < table.base) {
        std::snprintf(buf, sizeof buf, "%llu %s", static_cast<unsigned long long>(bytes),
                      bytes == 1 ? table.one : table.many);
        return buf;
    }
    double value = double(bytes) / table.base;
    std::size_t unit = 0;
    for (;;) {
        const double scale = std::pow(10.0, table.decimals[unit]);
        const double shown = std::round(value * scale) / scale;
        if (shown < table.base || unit + 1 == table.names.size())
            break;
        value /= table.base;
        ++unit;
    }
    std::snprintf(buf, sizeof buf, "%.*f %s", table.decimals[unit], value, table.names[unit]);
    return buf;
}

} // namespace tw::ftp
