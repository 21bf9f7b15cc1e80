// libFuzzer target: a whole listing through ListingParser (with the system named by the first
// byte), each line through the MLSD parser, and the wildcard matcher on what they return.
#include "ftp/listing_parser.h"
#include "ftp/name_safety.h"
#include "ftp/wildcard.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace {

void check(const tw::ftp::DirEntry& entry, std::string_view line) {
    if (entry.name.empty())
        __builtin_trap(); // parsers never return an entry without a name
    if (entry.unsafeName == tw::ftp::IsSafeLocalName(entry.name))
        __builtin_trap();
    tw::ftp::WildcardMatch(line.substr(0, line.size() / 3), entry.name);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1)
        return 0;
    // The first byte picks the clock the year-less dates are placed against and the system.
    const std::int64_t now = 946684800 + static_cast<std::int64_t>(data[0]) * 86400 * 30;
    const auto system = static_cast<tw::ftp::ListingFamily>(data[0] % 13);
    const std::string_view input(reinterpret_cast<const char*>(data + 1), size - 1);
    tw::ftp::ListingParser parser(now, system);
    std::size_t lines = 0;
    std::size_t start = 0;
    while (start <= input.size()) {
        auto nl = input.find('\n', start);
        if (nl == std::string_view::npos)
            nl = input.size();
        const std::string_view line = input.substr(start, nl - start);
        ++lines;
        tw::ftp::DirEntry entry;
        if (parser.parseLine(line, entry))
            check(entry, line);
        if (tw::ftp::ParseMlsdLine(line, entry))
            check(entry, line);
        start = nl + 1;
    }
    parser.finish();
    if (parser.unreadable() > lines ||
        (parser.unreadable() > 0) == parser.firstUnreadable().empty())
        __builtin_trap(); // every unreadable line is one of the input's, the first one kept
    return 0;
}
