#include "ftp/tls_types.h"

#include <cctype>
#include <vector>

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

std::string FingerprintText(const unsigned char* bytes, std::size_t size) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(size * 3);
    for (std::size_t i = 0; i < size; ++i) {
        if (i > 0)
            out += ':';
        out += kHex[bytes[i] >> 4];
        out += kHex[bytes[i] & 15];
    }
    return out;
}

std::optional<std::string> NormalizeFingerprint(std::string_view text) {
    std::vector<unsigned char> bytes;
    int high = -1; // the first digit of a byte, while its second is awaited
    for (const char c : text) {
        if (c == ':' || c == ' ')
            continue;
        if (!std::isxdigit(static_cast<unsigned char>(c)))
            return std::nullopt;
        const int digit = std::isdigit(static_cast<unsigned char>(c))
                              ? c - '0'
                              : std::toupper(static_cast<unsigned char>(c)) - 'A' + 10;
        if (high < 0) {
            high = digit;
        } else {
            bytes.push_back(static_cast<unsigned char>(high * 16 + digit));
            high = -1;
        }
    }
    if (high >= 0 || bytes.size() != 32)
        return std::nullopt;
    return FingerprintText(bytes.data(), bytes.size());
}

} // namespace tw::ftp
