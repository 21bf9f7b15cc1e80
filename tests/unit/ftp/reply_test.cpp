#include "ftp/ftp_reply.h"

#include <gtest/gtest.h>

#include <string>

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
