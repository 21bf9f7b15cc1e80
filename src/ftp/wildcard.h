#pragma once

#include <string_view>

namespace tw::ftp {

// Matches a name against a DOS-style pattern the way Windows directory searches do:
// case-insensitive (ASCII letters), '*' any run of characters, '?' exactly one character,
// "*.*" and "*" every name, an empty pattern every name. A pattern ending in ".*" also
// matches names without a period ("abc" matches "abc.*"). Names are UTF-8; '?' takes one
// code point.
bool WildcardMatch(std::string_view pattern, std::string_view name);

// A directory search pattern split at its last '/': the directory to list ("" for the current
// one, "/" for the root) and the mask for the names in it ("" when every name matches,
// including "*" and "*.*").
struct SearchPattern {
    std::string_view directory;
    std::string_view mask;
};
SearchPattern SplitSearchPattern(std::string_view pattern);

// Whether a mask holds wildcard characters ('*' or '?').
bool HasWildcards(std::string_view mask);

} // namespace tw::ftp
