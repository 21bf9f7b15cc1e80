#include "ftp/tls_types.h"

#include <cctype>

namespace tw::ftp {

std::optional<TlsMode> TlsModeFromNumber(int number) {
    switch (number) {
    case int(TlsMode::Plain):
    case int(TlsMode::ExplicitIfAvailable):
    case int(TlsMode::ExplicitRequired):
    case int(TlsMode::Implicit):
        return TlsMode(number);
    default:
        return std::nullopt;
    }
}

std::optional<std::string> NormalizeFingerprint(std::string_view text) {
    std::string digits;
    for (const char c : text) {
        if (c == ':' || c == ' ')
            continue;
        if (!std::isxdigit(static_cast<unsigned char>(c)))
            return std::nullopt;
        digits += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    if (digits.size() != 64)
        return std::nullopt;
    std::string out;
    out.reserve(95);
    for (std::size_t i = 0; i < digits.size(); i += 2) {
        if (i)
            out += ':';
        out += digits[i];
        out += digits[i + 1];
    }
    return out;
}

} // namespace tw::ftp
