#include "ftp/ftp_reply.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <string_view>

using namespace tw::ftp;

namespace {

// Feeds lines until the reader is no longer waiting for more.
FtpReplyReader::Status feed(FtpReplyReader& reader, std::initializer_list<const char*> lines) {
    auto status = FtpReplyReader::Status::NeedMore;
    for (const char* line : lines) {
        status = reader.addLine(line);
        if (status != FtpReplyReader::Status::NeedMore)
            break;
    }
    return status;
}

} // namespace

TEST(FtpReply, SingleLineAndBareCode) {
    FtpReplyReader r;
    ASSERT_EQ(feed(r, {"230 Login successful."}), FtpReplyReader::Status::Done);
    auto reply = r.take();
    EXPECT_EQ(reply.code, 230);
    EXPECT_TRUE(reply.isSuccess());
    EXPECT_EQ(reply.text(), "230 Login successful.");
    ASSERT_EQ(feed(r, {"200"}), FtpReplyReader::Status::Done);
    EXPECT_EQ(r.take().code, 200);
}

TEST(FtpReply, MultiLineKeepsEveryLineAndIgnoresInnerCodes) {
    FtpReplyReader r;
    EXPECT_EQ(feed(r, {"211-Features:", " MDTM", "211-not the end", "200 other code", " UTF8",
                       "211 End"}),
              FtpReplyReader::Status::Done);
    const auto reply = r.take();
    EXPECT_EQ(reply.code, 211);
    ASSERT_EQ(reply.lines.size(), 6u);
    EXPECT_EQ(reply.text(),
              "211-Features:\r\n MDTM\r\n211-not the end\r\n200 other code\r\n UTF8\r\n211 End");
    // The next reply starts fresh.
    EXPECT_EQ(feed(r, {"550 No such file."}), FtpReplyReader::Status::Done);
    EXPECT_EQ(r.take().lines.size(), 1u);
}

TEST(FtpReply, MalformedFirstLines) {
    for (const char* bad :
         {"", "hello", "23 short", "2301 no separator", "abc def", "700 x", "099 x"}) {
        FtpReplyReader r;
        EXPECT_EQ(r.addLine(bad), FtpReplyReader::Status::Malformed) << bad;
    }
}

TEST(FtpReply, EndlessReplyIsBounded) {
    FtpReplyReader r;
    ASSERT_EQ(r.addLine("220-welcome"), FtpReplyReader::Status::NeedMore);
    auto status = FtpReplyReader::Status::NeedMore;
    std::size_t lines = 0;
    while (status == FtpReplyReader::Status::NeedMore && lines < 1000000) {
        status = r.addLine("220-more text that never ends");
        ++lines;
    }
    EXPECT_EQ(status, FtpReplyReader::Status::TooLong);
    EXPECT_LE(lines, FtpReplyReader::kMaxLines);
}

TEST(FtpReply, PwdPaths) {
    std::string path;
    EXPECT_TRUE(ParsePwdReply("257 \"/pub\" is the current directory", path));
    EXPECT_EQ(path, "/pub");
    EXPECT_TRUE(ParsePwdReply("257 \"/a \"\"quoted\"\" dir\" ok", path));
    EXPECT_EQ(path, "/a \"quoted\" dir");
    EXPECT_TRUE(ParsePwdReply("257 \"/with space/\xC3\xA9\"", path));
    EXPECT_EQ(path, "/with space/\xC3\xA9");
    EXPECT_TRUE(ParsePwdReply("257 \"/ends with quote\"\"\"", path));
    EXPECT_EQ(path, "/ends with quote\"");
}

TEST(FtpReply, PwdRejectsBrokenReplies) {
    std::string path = "unchanged";
    EXPECT_FALSE(ParsePwdReply("257 /pub without quotes", path));
    EXPECT_TRUE(path.empty());
    EXPECT_FALSE(ParsePwdReply("257 \"/never closed", path));
    EXPECT_FALSE(ParsePwdReply("257 \"/tab\there\"", path));
    EXPECT_FALSE(ParsePwdReply("257 \"\"", path));
    EXPECT_FALSE(ParsePwdReply(std::string_view("257 \"/nul\0x\"", 12), path));
}

TEST(FtpReply, PassiveReplies) {
    EXPECT_EQ(ParseEpsvReply("229 Entering Extended Passive Mode (|||6446|)"), 6446);
    EXPECT_EQ(ParseEpsvReply("229 Entering Extended Passive Mode (!!!65535!)"), 65535);
    EXPECT_EQ(ParseEpsvReply("229 Entering Extended Passive Mode (|||65536|)"), -1);
    EXPECT_EQ(ParseEpsvReply("229 Entering Extended Passive Mode (|||6446)"), -1);
    EXPECT_EQ(ParseEpsvReply("229 no parenthesis"), -1);
    EXPECT_EQ(ParseEpsvReply("229 (|||0|)"), -1);

    EXPECT_EQ(ParsePasvReply("227 Entering Passive Mode (127,0,0,1,195,80)."), 195 * 256 + 80);
    EXPECT_EQ(ParsePasvReply("227 Entering Passive Mode 10,1,2,3,4,5"), 4 * 256 + 5);
    EXPECT_EQ(ParsePasvReply("227 =192,168,0,1,0,21"), 21);
    EXPECT_EQ(ParsePasvReply("227 Entering Passive Mode (127,0,0,1,300,1)"), -1);
    EXPECT_EQ(ParsePasvReply("227 Entering Passive Mode (127,0,0,1)"), -1);
    EXPECT_EQ(ParsePasvReply("227 Entering Passive Mode (1,2,3,4,0,0)"), -1);
}

// MDTM answers are RFC 3659 time-vals in UTC: 14 digits and an optional fraction, nothing else.
TEST(FtpReply, ModificationTimes) {
    struct Row {
        const char* line;
        std::optional<std::int64_t> seconds;
    };
    const Row rows[] = {
        {"213 19980615100045", 897904845},
        {"213 19980615100045.014", 897904845},
        {"213 19700101000000", 0},
        {"213 20000229123000", 951827400},
        {"213 20240229235960", 1709251200}, // a leap second is the next minute's first
        {"213 10000101000000", -30610224000},
        {"213 99991231235959", 253402300799},
        {"213 1998061510004", std::nullopt},   // 13 digits
        {"213 199806151000450", std::nullopt}, // 15 digits
        {"213 191000615100045", std::nullopt}, // the year 19100 of a broken server
        {"213 09990101000000", std::nullopt},  // before the year 1000
        {"213 19981315100045", std::nullopt},  // month 13
        {"213 19980015100045", std::nullopt},  // month 0
        {"213 19980600100045", std::nullopt},  // day 0
        {"213 19980230100045", std::nullopt},  // 30 February
        {"213 20230229000000", std::nullopt},  // 29 February of a common year
        {"213 19980615240000", std::nullopt},  // hour 24
        {"213 19980615106000", std::nullopt},  // minute 60
        {"213 19980615100061", std::nullopt},  // second 61
        {"213 19980615100045.", std::nullopt}, // a point without a fraction
        {"213 19980615100045.0a", std::nullopt},
        {"213 19980615100045 ", std::nullopt},
        {"213  19980615100045", std::nullopt},
        {"213 +1998061510004", std::nullopt},
        {"213-19980615100045", std::nullopt},
        {"250 19980615100045", std::nullopt},
        {"550 No such file.", std::nullopt},
        {"", std::nullopt},
    };
    for (const Row& row : rows)
        EXPECT_EQ(ParseMdtmReply(row.line), row.seconds) << row.line;

    for (const Row& row : rows) {
        if (!row.seconds || std::string_view(row.line).find('.') != std::string_view::npos ||
            std::string_view(row.line).substr(16, 2) == "60")
            continue;
        EXPECT_EQ(FormatTimeVal(*row.seconds), std::string(row.line + 4)) << row.line;
    }
    for (const std::int64_t outside :
         {std::int64_t{-30610224001}, std::int64_t{253402300800},
          std::numeric_limits<std::int64_t>::min(), std::numeric_limits<std::int64_t>::max()})
        EXPECT_EQ(FormatTimeVal(outside), std::nullopt) << outside;
}
