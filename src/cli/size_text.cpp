#include "cli/size_text.h"

#include <cstdio>

namespace tw::cli {

std::string HumanSize(std::uint64_t bytes) {
    char buf[32];
    if (bytes >= (1ULL << 30))
        std::snprintf(buf, sizeof buf, "%.2f GiB", static_cast<double>(bytes) / (1ULL << 30));
    else if (bytes >= (1ULL << 20))
        std::snprintf(buf, sizeof buf, "%.1f MiB", static_cast<double>(bytes) / (1ULL << 20));
    else if (bytes >= 1024)
        std::snprintf(buf, sizeof buf, "%.1f KiB", static_cast<double>(bytes) / 1024);
    else
        std::snprintf(buf, sizeof buf, "%llu B", static_cast<unsigned long long>(bytes));
    return buf;
}

} // namespace tw::cli
