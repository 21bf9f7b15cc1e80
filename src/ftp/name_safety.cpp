#include "ftp/name_safety.h"

namespace tw::ftp {

bool IsSafeLocalName(std::string_view name) {
    if (name.empty() || name.size() > 255 || name == "." || name == "..")
        return false;
    for (const char c : name) {
        const auto b = static_cast<unsigned char>(c);
        if (b < 0x20 || b == 0x7F || c == '/' || c == '\\')
            return false;
    }
    return true;
}

bool IsSendableArgument(std::string_view text) {
    return text.find_first_of(std::string_view("\r\n\0", 3)) == std::string_view::npos;
}

} // namespace tw::ftp
