#include "core/text/format.h"

#include <gtest/gtest.h>

using namespace tw;

TEST(FormatText, DirectivesBehaveAsInC) {
    EXPECT_EQ(FormatText(u"%05d: %s"_qs, {42, u"x"_qs}), u"00042: x"_qs);
    EXPECT_EQ(FormatText(u"%u"_qs, {-1}), u"4294967295"_qs);
    EXPECT_EQ(FormatText(u"%d"_qs, {4294967295u}), u"-1"_qs);
    EXPECT_EQ(FormatText(u"%I64u"_qs, {std::uint64_t(5'000'000'000)}), u"5000000000"_qs);
    EXPECT_EQ(FormatText(u"%lld"_qs, {std::int64_t(-5'000'000'000)}), u"-5000000000"_qs);
    EXPECT_EQ(FormatText(u"%02u-%s-%04u"_qs, {7, u"Dec"_qs, 2026}), u"07-Dec-2026"_qs);
    EXPECT_EQ(FormatText(u"%-4s|%4s|%.2s"_qs, {u"a"_qs, u"b"_qs, u"xyz"_qs}), u"a   |   b|xy"_qs);
    EXPECT_EQ(FormatText(u"%.2f %x %X %c %%"_qs, {3.14159, 255, 255, 'A'}), u"3.14 ff FF A %"_qs);
}

TEST(FormatText, PercentInArgumentIsNotFormattedAgain) {
    EXPECT_EQ(FormatText(u"File: %s (%d)"_qs, {u"100%d %s.txt"_qs, 3}), u"File: 100%d %s.txt (3)"_qs);
}

TEST(FormatText, MissingArgumentsAndBadDirectives) {
    EXPECT_EQ(FormatText(u"%s|%d"_qs, {}), u"|0"_qs);
    EXPECT_EQ(FormatText(u"50%"_qs, {}), u"50%"_qs);
    EXPECT_EQ(FormatText(u"%q"_qs, {1}), u"%q"_qs);
}

TEST(FormatText, CutAtLimitWithoutSplittingSurrogates) {
    const QString longText(2000, u'x');
    EXPECT_EQ(FormatText(u"%s"_qs, {longText}).size(), 1023);
    EXPECT_EQ(FormatText(u"%s"_qs, {longText}, 511).size(), 511);
    const QString emoji = QString(4, u'a') + QString::fromUtf8("\xF0\x9F\x98\x80");
    EXPECT_EQ(CutText(emoji, 5), u"aaaa"_qs);
    EXPECT_EQ(CutText(emoji, 6), emoji);
}

TEST(FormatText, TruncateAtLineBreak) {
    EXPECT_EQ(TruncateAtLineBreak(u"550 No such file\r\nsecond"_qs), u"550 No such file"_qs);
    EXPECT_EQ(TruncateAtLineBreak(u"one\ntwo"_qs), u"one"_qs);
    EXPECT_EQ(TruncateAtLineBreak(u"plain"_qs), u"plain"_qs);
}
