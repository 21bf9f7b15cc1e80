#include "ftp/display_text.h"

#include <cstdint>

namespace tw::ftp {

namespace {

constexpr char kHex[] = "0123456789abcdef";

void appendByteEscape(std::string& out, unsigned char b) {
    out += "\\x";
    out += kHex[b >> 4];
    out += kHex[b & 0xF];
}

void appendCodeEscape(std::string& out, char32_t c) {
    out += "\\u";
    for (int shift = 12; shift >= 0; shift -= 4)
        out += kHex[(c >> shift) & 0xF];
}

} // namespace

Utf8Sequence Utf8SequenceAt(std::string_view s, std::size_t i) {
    const auto b = static_cast<unsigned char>(s[i]);
    if (b < 0x80)
        return {b, 1};
    std::size_t n = 0;
    char32_t min = 0;
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
        return {};
    }
    if (s.size() - i < n)
        return {};
    char32_t cp = b & (0x7Fu >> n);
    for (std::size_t k = 1; k < n; ++k) {
        const auto c = static_cast<unsigned char>(s[i + k]);
        if ((c & 0xC0) != 0x80)
            return {};
        cp = (cp << 6) | (c & 0x3Fu);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        return {};
    return {cp, n};
}

bool IsControlCodePoint(char32_t c) {
    return c < 0x20 || (c >= 0x7F && c <= 0x9F) || (c >= 0x202A && c <= 0x202E) ||
           (c >= 0x2066 && c <= 0x2069) || c == 0x2028 || c == 0x2029;
}

std::string DisplayText(std::string_view bytes, LineBreaks breaks, bool keepInvalidBytes) {
    std::string out;
    out.reserve(bytes.size());
    bool inBreak = false; // the last thing written was the space of a run of breaks
    for (std::size_t i = 0; i < bytes.size();) {
        const char c = bytes[i];
        if ((c == '\r' || c == '\n') && breaks != LineBreaks::Escape) {
            if (breaks == LineBreaks::Space) {
                if (!inBreak)
                    out += ' ';
                inBreak = true;
            } else {
                out += '\n';
                if (c == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n')
                    ++i;
            }
            ++i;
            continue;
        }
        inBreak = false;
        const Utf8Sequence seq = Utf8SequenceAt(bytes, i);
        if (seq.length == 0) {
            const auto b = static_cast<unsigned char>(c);
            if (keepInvalidBytes && b >= 0xA0)
                out += c;
            else
                appendByteEscape(out, b);
            ++i;
            continue;
        }
        if (!IsControlCodePoint(seq.code))
            out.append(bytes.substr(i, seq.length));
        else if (seq.length == 1)
            appendByteEscape(out, static_cast<unsigned char>(c));
        else
            appendCodeEscape(out, seq.code);
        i += seq.length;
    }
    return out;
}

} // namespace tw::ftp
