#include "ftp/reply_numbers.h"

#include <string_view>

namespace tw::ftp {

namespace {

// Decimal digits only, at least one, within 64 bits.
std::optional<std::uint64_t> decimal(std::string_view digits) {
    if (digits.empty())
        return std::nullopt;
    std::uint64_t value = 0;
    for (const char c : digits) {
        if (c < '0' || c > '9')
            return std::nullopt;
        const auto digit = static_cast<std::uint64_t>(c - '0');
        if (value > (UINT64_MAX - digit) / 10)
            return std::nullopt;
        value = value * 10 + digit;
    }
    return value;
}

} // namespace

std::optional<std::uint64_t> SizeOfSizeReply(const FtpReply& reply) {
    if (reply.code != 213 || reply.lines.size() != 1)
        return std::nullopt;
    const std::string_view line = reply.lines.front();
    if (line.size() <= 4 || line[3] != ' ')
        return std::nullopt;
    return decimal(line.substr(4));
}

std::optional<std::uint64_t> AnnouncedSize(const FtpReply& reply) {
    if (reply.lines.empty())
        return std::nullopt;
    const std::string_view line = reply.lines.back();
    const auto end = line.rfind(" bytes)");
    if (end == std::string_view::npos)
        return std::nullopt;
    const auto open = line.rfind('(', end);
    if (open == std::string_view::npos)
        return std::nullopt;
    return decimal(line.substr(open + 1, end - open - 1));
}

} // namespace tw::ftp
