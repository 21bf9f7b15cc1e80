// libFuzzer target: the sizes of SIZE (213) and 150 "(n bytes)" replies. Lines split at LF;
// the first two bytes choose the reply code. A size read back must print as the digits read.
#include "ftp/reply_numbers.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1)
        return 0;
    tw::ftp::FtpReply reply;
    reply.code = data[0] & 1 ? 213 : 150;
    const std::string_view input(reinterpret_cast<const char*>(data + 1), size - 1);
    std::size_t start = 0;
    while (start <= input.size() && reply.lines.size() < 64) {
        auto nl = input.find('\n', start);
        if (nl == std::string_view::npos)
            nl = input.size();
        reply.lines.emplace_back(input.substr(start, nl - start));
        start = nl + 1;
    }
    if (const auto n = tw::ftp::SizeOfSizeReply(reply)) {
        const std::string digits = reply.lines.front().substr(4);
        if (std::to_string(*n) != digits.substr(digits.find_first_not_of('0') == std::string::npos
                                                    ? digits.size() - 1
                                                    : digits.find_first_not_of('0')))
            std::abort();
    }
    (void)tw::ftp::AnnouncedSize(reply);
    return 0;
}
