#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tw::cli {

// A JSON string literal for bytes that should be UTF-8: invalid sequences become U+FFFD,
// control characters (C0, DEL, C1, bidirectional controls) are escaped as \uXXXX.
std::string JsonString(std::string_view bytes);

// "2024-06-15T12:00:00Z" for seconds since 1970 (UTC).
std::string IsoTime(std::int64_t seconds);

} // namespace tw::cli
