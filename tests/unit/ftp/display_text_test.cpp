// Text a server chose, as a terminal or a window shows it.
#include "ftp/display_text.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using tw::ftp::DisplayText;
using tw::ftp::LineBreaks;

struct Case {
    const char* what;
    std::string in;
    std::string out;  // breaks escaped, invalid bytes escaped
    std::string kept; // invalid bytes 0xA0-0xFF kept (output to a pipe)
    LineBreaks breaks = LineBreaks::Escape;
};

TEST(DisplayText, ControlsBecomeEscapesAndTextStays) {
    const Case cases[] = {
        {"plain ASCII", "Login OK.txt", "Login OK.txt", "Login OK.txt"},
        {"backslash and percent", "C:\\dir %s", "C:\\dir %s", "C:\\dir %s"},
        {"ESC: title, clear screen", "a\x1b]0;owned\x07\x1b[2Jb", "a\\x1b]0;owned\\x07\\x1b[2Jb",
         "a\\x1b]0;owned\\x07\\x1b[2Jb"},
        {"CR, BS, TAB, NUL", std::string("x\ry\bz\t\0w", 8), "x\\x0dy\\x08z\\x09\\x00w",
         "x\\x0dy\\x08z\\x09\\x00w"},
        {"LF", "one\ntwo", "one\\x0atwo", "one\\x0atwo"},
        {"DEL", "a\x7f", "a\\x7f", "a\\x7f"},
        {"C1 CSI as UTF-8",
         "a\xc2\x9b"
         "2Jb",
         "a\\u009b2Jb", "a\\u009b2Jb"},
        {"C1 NEL and APC as UTF-8", "\xc2\x85\xc2\x9f", "\\u0085\\u009f", "\\u0085\\u009f"},
        {"C1 CSI as a raw byte",
         "a\x9b"
         "2J",
         "a\\x9b2J", "a\\x9b2J"},
        {"raw 0x80", "\x80", "\\x80", "\\x80"},
        {"Latin-1 e acute (not UTF-8)", "caf\xe9", "caf\\xe9", "caf\xe9"},
        {"0xFF and 0xC0", "\xff\xc0", "\\xff\\xc0", "\xff\xc0"},
        {"overlong ESC", "\xc0\x9b", "\\xc0\\x9b", "\xc0\\x9b"},
        {"cut sequence", "ab\xe2\x82", "ab\\xe2\\x82", "ab\xe2\\x82"},
        {"surrogate in UTF-8", "\xed\xa0\x80", "\\xed\\xa0\\x80", "\xed\xa0\\x80"},
        {"valid multi-byte kept", "caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x93\x81 \xd7\xa9\xd7\x9c",
         "caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x93\x81 \xd7\xa9\xd7\x9c",
         "caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x93\x81 \xd7\xa9\xd7\x9c"},
        {"U+00A0 and U+00FF kept", "\xc2\xa0\xc3\xbf", "\xc2\xa0\xc3\xbf", "\xc2\xa0\xc3\xbf"},
        {"bidi override RLO",
         "invoice\xe2\x80\xae"
         "fdp.exe",
         "invoice\\u202efdp.exe", "invoice\\u202efdp.exe"},
        {"bidi embeddings and isolates", "\xe2\x80\xaa\xe2\x80\xac\xe2\x81\xa6\xe2\x81\xa9",
         "\\u202a\\u202c\\u2066\\u2069", "\\u202a\\u202c\\u2066\\u2069"},
        {"line separator",
         "a\xe2\x80\xa8"
         "b",
         "a\\u2028b", "a\\u2028b"},
        {"marks stay", "\xe2\x80\x8e\xe2\x80\x8f", "\xe2\x80\x8e\xe2\x80\x8f",
         "\xe2\x80\x8e\xe2\x80\x8f"},
        {"breaks as one space", "550 No.\r\n\r\nSee\rhere\x1b", "550 No. See here\\x1b",
         "550 No. See here\\x1b", LineBreaks::Space},
        {"breaks kept as lines", "550-No.\r\n550 \x1b[1A\rOK\n", "550-No.\n550 \\x1b[1A\nOK\n",
         "550-No.\n550 \\x1b[1A\nOK\n", LineBreaks::Keep},
        {"empty", "", "", ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(DisplayText(c.in, c.breaks), c.out) << c.what;
        EXPECT_EQ(DisplayText(c.in, c.breaks, true), c.kept) << c.what;
        // Shown once is shown for good: a second pass changes nothing.
        EXPECT_EQ(DisplayText(c.out, c.breaks), c.out) << c.what;
    }
}

TEST(DisplayText, NoByteATerminalObeysSurvives) {
    // Every single byte and every two-byte sequence: what comes out holds no C0 control, no
    // DEL and no raw 0x80-0x9F byte outside a valid sequence, and only printable characters.
    for (int a = 0; a < 256; ++a) {
        for (int b = 0; b < 256; b += (a < 0xC2 || a > 0xDF) ? 255 : 1) {
            const std::string in{char(a), char(b)};
            const std::string out = DisplayText(in);
            for (std::size_t i = 0; i < out.size(); ++i) {
                const auto c = static_cast<unsigned char>(out[i]);
                ASSERT_FALSE(c < 0x20 || c == 0x7F) << a << " " << b;
                if (c == 0xC2 && i + 1 < out.size()) {
                    ASSERT_GT(static_cast<unsigned char>(out[i + 1]), 0x9F) << a << " " << b;
                }
            }
        }
    }
}

} // namespace
