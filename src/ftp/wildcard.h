#pragma once

#include <string_view>

namespace tw::ftp {

// Matches a name against a DOS-style pattern the way Windows directory searches do:
// case-insensitive (ASCII letters), '*' any run of characters, '?' exactly one character,
// "*.*" and "*" every name, an empty pattern every name. A pattern ending in ".*" also
// matches names without a period ("abc" matches "abc.*"). Names are UTF-8; '?' takes one
// code point.
bool WildcardMatch(std::string_view pattern, std::string_view name);

} // namespace tw::ftp
