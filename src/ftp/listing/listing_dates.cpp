#include "ftp/listing/listing_text.h"

namespace tw::ftp::listing {

int MonthFromName(std::string_view s) {
    while (!s.empty() && (s.back() == '.' || s.back() == ','))
        s.remove_suffix(1);
    static constexpr std::array<std::string_view, 12> kMonths = {
        "jan", "feb", "mar", "apr", "may", "jun", "jul", "aug", "sep", "oct", "nov", "dec"};
    if (s.size() != 3)
        return 0;
    for (std::size_t i = 0; i < kMonths.size(); ++i)
        if (EqualsNoCase(s, kMonths[i]))
            return static_cast<int>(i) + 1;
    return 0;
}

bool ParseAsianDate(const std::string_view*, std::size_t, std::int64_t, std::size_t&,
                    std::int64_t&) {
    return false;
}

} // namespace tw::ftp::listing
