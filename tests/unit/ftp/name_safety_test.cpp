#include "ftp/name_safety.h"

#include <gtest/gtest.h>

#include <string>

using namespace tw::ftp;

TEST(NameSafety, OrdinaryNamesAreSafe) {
    for (const char* name : {"readme.txt", " leading", "trailing ", "in ner", ".hidden",
                             "\xC3\xA9t\xC3\xA9", "\xFF\xFE not utf-8", "..."}) {
        EXPECT_TRUE(IsSafeLocalName(name)) << name;
    }
    EXPECT_TRUE(IsSafeLocalName(std::string(255, 'a')));
}

TEST(NameSafety, NamesThatCouldEscapeOrBreakAreUnsafe) {
    for (const char* name : {"", ".", "..", "a/b", "../etc/passwd", "/abs", "a\\b", "..\\x",
                             "cr\rname", "lf\nname", "tab\tname", "del\x7f"}) {
        EXPECT_FALSE(IsSafeLocalName(name)) << name;
    }
    EXPECT_FALSE(IsSafeLocalName(std::string_view("nul\0name", 8)));
    EXPECT_FALSE(IsSafeLocalName(std::string(256, 'a')));
}

TEST(NameSafety, SendableArguments) {
    EXPECT_TRUE(IsSendableArgument("/pub/dir with space/\xFF"));
    EXPECT_TRUE(IsSendableArgument(""));
    EXPECT_FALSE(IsSendableArgument("file\r\nDELE other"));
    EXPECT_FALSE(IsSendableArgument("file\n"));
    EXPECT_FALSE(IsSendableArgument("file\r"));
    EXPECT_FALSE(IsSendableArgument(std::string_view("a\0b", 3)));
}
