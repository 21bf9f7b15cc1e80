#include "cli/json_text.h"

#include "ftp/civil_time.h"
#include "ftp/display_text.h"

#include <cstdio>

namespace tw::cli {

std::string JsonString(std::string_view bytes) {
    std::string out = "\"";
    for (std::size_t i = 0; i < bytes.size();) {
        const char c = bytes[i];
        const tw::ftp::Utf8Sequence sequence = tw::ftp::Utf8SequenceAt(bytes, i);
        const std::size_t n = sequence.length;
        if (n == 0) {
            out += "\\ufffd";
            ++i;
            continue;
        }
        if (n > 1) {
            // C1 and bidirectional controls as \u escapes: the same string to a JSON reader,
            // nothing a terminal obeys when the output is looked at.
            if (tw::ftp::IsControlCodePoint(sequence.code)) {
                char buf[16];
                std::snprintf(buf, sizeof buf, "\\u%04x", static_cast<unsigned>(sequence.code));
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
