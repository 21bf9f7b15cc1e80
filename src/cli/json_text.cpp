#include "cli/json_text.h"

#include "ftp/civil_time.h"
#include "ftp/display_text.h"

#include <cstdio>

namespace tw::cli {

namespace {

// Length of the valid UTF-8 sequence at s[i], or 0.
std::size_t validSequence(std::string_view s, std::size_t i) {
    const auto b = static_cast<unsigned char>(s[i]);
    std::size_t n = 0;
    unsigned min = 0;
    if (b < 0x80)
        return 1;
    if (b >= 0xC2 && b <= 0xDF) {
        n = 2;
        min = 0x80;
    } else if (b >= 0xE0 && b <= 0xEF) {
        n = 3;
        min = 0x800;
    } else if (b >= 0xF0 && b <= 0xF4) {
        n = 4;
        min = 0x10000;
    } else {
        return 0;
    }
    if (i + n > s.size())
        return 0;
    unsigned cp = b & (0x7F >> n);
    for (std::size_t k = 1; k < n; ++k) {
        const auto c = static_cast<unsigned char>(s[i + k]);
        if ((c & 0xC0) != 0x80)
            return 0;
        cp = (cp << 6) | (c & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        return 0;
    return n;
}

// The code point of a valid UTF-8 sequence of two to four bytes.
char32_t codePoint(std::string_view sequence) {
    char32_t cp = static_cast<unsigned char>(sequence[0]) & (0x7Fu >> sequence.size());
    for (std::size_t k = 1; k < sequence.size(); ++k)
        cp = (cp << 6) | (static_cast<unsigned char>(sequence[k]) & 0x3Fu);
    return cp;
}

} // namespace

std::string JsonString(std::string_view bytes) {
    std::string out = "\"";
    for (std::size_t i = 0; i < bytes.size();) {
        const char c = bytes[i];
        const std::size_t n = validSequence(bytes, i);
        if (n == 0) {
            out += "\\ufffd";
            ++i;
            continue;
        }
        if (n > 1) {
            // C1 and bidirectional controls as \u escapes: the same string to a JSON reader,
            // nothing a terminal obeys when the output is looked at.
            const char32_t code = codePoint(bytes.substr(i, n));
            if (tw::ftp::IsControlCodePoint(code)) {
                char buf[16];
                std::snprintf(buf, sizeof buf, "\\u%04x", static_cast<unsigned>(code));
                out += buf;
            } else {
                out.append(bytes.substr(i, n));
            }
            i += n;
            continue;
        }
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
                char buf[8];
                std::snprintf(buf, sizeof buf, "\\u%04x", static_cast<unsigned char>(c));
                out += buf;
            } else {
                out += c;
            }
        }
        ++i;
    }
    out += '"';
    return out;
}

std::string IsoTime(std::int64_t seconds) {
    const auto t = tw::ftp::FromUnixTime(seconds);
    char buf[32];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02dT%02d:%02d:%02dZ", t.year, t.month, t.day, t.hour,
                  t.minute, t.second);
    return buf;
}

} // namespace tw::cli
