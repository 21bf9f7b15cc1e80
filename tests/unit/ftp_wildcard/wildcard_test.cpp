#include "ftp/wildcard.h"

#include <gtest/gtest.h>

using tw::ftp::HasWildcards;
using tw::ftp::SplitSearchPattern;
using tw::ftp::WildcardMatch;

TEST(Wildcard, EverythingPatterns) {
    for (const char* name : {"a", "a.txt", ".hidden", "no_ext", "x.y.z", ""}) {
        EXPECT_TRUE(WildcardMatch("*.*", name)) << name;
        EXPECT_TRUE(WildcardMatch("*", name)) << name;
        EXPECT_TRUE(WildcardMatch("", name)) << name;
    }
}

TEST(Wildcard, CaseInsensitiveStarAndQuestion) {
    EXPECT_TRUE(WildcardMatch("*.TXT", "readme.txt"));
    EXPECT_TRUE(WildcardMatch("read?e.*", "README.md"));
    EXPECT_FALSE(WildcardMatch("*.txt", "readme.txt.bak"));
    EXPECT_TRUE(WildcardMatch("*.txt*", "readme.txt.bak"));
    EXPECT_FALSE(WildcardMatch("?", "ab"));
    EXPECT_TRUE(WildcardMatch("a*b*c", "aXXbYYbZc"));
    EXPECT_FALSE(WildcardMatch("a*b*c", "aXXbYYbZ"));
}

TEST(Wildcard, ExtensionStarMatchesNameWithoutPeriod) {
    EXPECT_TRUE(WildcardMatch("readme.*", "readme"));
    EXPECT_TRUE(WildcardMatch("readme.*", "readme.md"));
    EXPECT_FALSE(WildcardMatch("readme.*", "readme2"));
}

TEST(Wildcard, QuestionTakesOneCodePoint) {
    EXPECT_TRUE(WildcardMatch("?.txt", "\xC3\xA9.txt")); // é
    EXPECT_FALSE(WildcardMatch("??.txt", "\xC3\xA9.txt"));
    EXPECT_TRUE(WildcardMatch("?", "\xFF")); // an invalid byte counts as one
}

TEST(Wildcard, ManyStarsStayFast) {
    const std::string name(5000, 'a');
    EXPECT_FALSE(WildcardMatch("*a*a*a*a*a*a*a*a*b", name));
}

TEST(Wildcard, SearchPatternsSplitAtTheLastSlash) {
    struct Case {
        const char* pattern;
        const char* directory;
        const char* mask;
    };
    for (const Case& c :
         {Case{"/*.txt", "/", "*.txt"}, Case{"/pub/*.txt", "/pub", "*.txt"},
          Case{"/pub/*.*", "/pub", ""}, Case{"/pub/", "/pub", ""}, Case{"*.*", "", ""},
          Case{"*", "", ""}, Case{"a.txt", "", "a.txt"}, Case{"//pub/x?", "//pub", "x?"},
          Case{"dir with space/f*", "dir with space", "f*"}, Case{"", "", ""}}) {
        const auto split = SplitSearchPattern(c.pattern);
        EXPECT_EQ(split.directory, c.directory) << c.pattern;
        EXPECT_EQ(split.mask, c.mask) << c.pattern;
    }
    EXPECT_TRUE(HasWildcards("*.txt"));
    EXPECT_TRUE(HasWildcards("a?c"));
    EXPECT_FALSE(HasWildcards("plain.txt"));
}
