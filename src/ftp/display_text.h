#pragma once

#include <string>
#include <string_view>

namespace tw::ftp {

// How DisplayText shows the line breaks (CR, LF) of a text.
enum class LineBreaks {
    Escape, // as "\x0d" and "\x0a": a name stays one line
    Space,  // a run of CR and LF as one space: a message stays one line
    Keep,   // "\r\n", "\r" and "\n" as one '\n' each: the lines of a server reply
};

// The code point of the valid UTF-8 sequence at s[i] and its length; length 0 when the byte
// there starts no valid sequence (overlong forms, surrogates and values past U+10FFFF are
// invalid too).
struct Utf8Sequence {
    char32_t code = 0;
    std::size_t length = 0;
};
Utf8Sequence Utf8SequenceAt(std::string_view s, std::size_t i);

// What a terminal or a window would obey instead of showing: the C0 controls (ESC, CR, BS,
// ...), DEL, the C1 controls U+0080-U+009F, the bidirectional embeddings, overrides and
// isolates U+202A-U+202E and U+2066-U+2069 (a name could reorder what follows it), and the
// line and paragraph separators U+2028 and U+2029.
bool IsControlCodePoint(char32_t c);

// Text a server (or anyone else) chose, made safe to show on a terminal or in a window: every
// control code point above is shown as an escape ("\x1b" for a C0 control or DEL, "\u009b" for
// a C1 control written in UTF-8, "\u202e" for a bidirectional control), line breaks as
// `breaks` says, and bytes that are no part of valid UTF-8 as "\xff". With `keepInvalidBytes`
// (output that goes to a file or a pipe, where the bytes are data) the invalid bytes
// 0xA0-0xFF pass unchanged; the raw bytes 0x80-0x9F are escaped always, since a terminal
// reading 8-bit controls obeys them. Valid UTF-8 other than those controls, and the backslash,
// pass unchanged.
std::string DisplayText(std::string_view bytes, LineBreaks breaks = LineBreaks::Escape,
                        bool keepInvalidBytes = false);

} // namespace tw::ftp
