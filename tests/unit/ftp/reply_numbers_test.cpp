// The numbers in SIZE and 150 replies.
#include "ftp/reply_numbers.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace {

using tw::ftp::FtpReply;

struct Case {
    int code;
    std::vector<std::string> lines;
    std::optional<std::uint64_t> size;
};

TEST(ReplyNumbers, SizeReply) {
    const Case cases[] = {
        {213, {"213 1234"}, 1234},
        {213, {"213 0"}, 0},
        {213, {"213 18446744073709551615"}, UINT64_MAX},
        {213, {"213 18446744073709551616"}, std::nullopt}, // one past 64 bits
        {213, {"213 99999999999999999999999"}, std::nullopt},
        {213, {"213 "}, std::nullopt},
        {213, {"213"}, std::nullopt},
        {213, {"213 12 bytes"}, std::nullopt},
        {213, {"213 -5"}, std::nullopt},
        {213, {"213 +5"}, std::nullopt},
        {213, {"213-1234", "213 End"}, std::nullopt},
        {550, {"550 1234"}, std::nullopt},
        {213, {}, std::nullopt},
    };
    for (const Case& c : cases) {
        const FtpReply reply{c.code, c.lines};
        EXPECT_EQ(tw::ftp::SizeOfSizeReply(reply), c.size)
            << (c.lines.empty() ? "" : c.lines.front());
    }
}

TEST(ReplyNumbers, AnnouncedSize) {
    const Case cases[] = {
        {150, {"150 Opening BINARY mode data connection for f (42 bytes)."}, 42},
        {150, {"150 Opening data connection for a (b) (7 bytes)"}, 7},
        {150, {"150-Hello", "150 Opening for x (9 bytes)."}, 9},
        {150, {"150 Here (18446744073709551615 bytes)."}, UINT64_MAX},
        {150, {"150 Here (18446744073709551616 bytes)."}, std::nullopt},
        {150, {"150 Here ( bytes)."}, std::nullopt},
        {150, {"150 Here (4 2 bytes)."}, std::nullopt},
        {150, {"150 Here (-1 bytes)."}, std::nullopt},
        {150, {"150 Here 42 bytes)."}, std::nullopt},
        {150, {"150 Opening BINARY mode data connection."}, std::nullopt},
        {150, {}, std::nullopt},
    };
    for (const Case& c : cases) {
        const FtpReply reply{c.code, c.lines};
        EXPECT_EQ(tw::ftp::AnnouncedSize(reply), c.size) << (c.lines.empty() ? "" : c.lines.back());
    }
}

} // namespace
