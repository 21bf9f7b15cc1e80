#include "ftp/wildcard.h"

#include <cstddef>

namespace tw::ftp {

namespace {

char lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// Length of the UTF-8 sequence starting at s[i] (1 for invalid bytes).
std::size_t codePointLength(std::string_view s, std::size_t i) {
    const auto b = static_cast<unsigned char>(s[i]);
    std::size_t n = 1;
    if (b >= 0xF0 && b <= 0xF4)
        n = 4;
    else if (b >= 0xE0)
        n = 3;
    else if (b >= 0xC2 && b < 0xE0)
        n = 2;
    if (i + n > s.size())
        return 1;
    for (std::size_t k = 1; k < n; ++k)
        if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80)
            return 1;
    return n;
}

// Iterative glob with single-star backtracking: linear in practice, no recursion.
bool globMatch(std::string_view p, std::string_view n) {
    std::size_t pi = 0, ni = 0;
    std::size_t starP = std::string_view::npos, starN = 0;
    while (ni < n.size()) {
        if (pi < p.size() && p[pi] == '*') {
            starP = pi++;
            starN = ni;
        } else if (pi < p.size() && p[pi] == '?') {
            ++pi;
            ni += codePointLength(n, ni);
        } else if (pi < p.size() && lower(p[pi]) == lower(n[ni])) {
            ++pi;
            ++ni;
        } else if (starP != std::string_view::npos) {
            pi = starP + 1;
            starN += codePointLength(n, starN);
            ni = starN;
        } else {
            return false;
        }
    }
    while (pi < p.size() && p[pi] == '*')
        ++pi;
    return pi == p.size();
}

} // namespace

bool WildcardMatch(std::string_view pattern, std::string_view name) {
    if (pattern.empty() || pattern == "*" || pattern == "*.*")
        return true;
    if (globMatch(pattern, name))
        return true;
    // "name.*" also finds "name" (a name without an extension has an empty one).
    if (pattern.size() >= 2 && pattern.substr(pattern.size() - 2) == ".*" &&
        name.find('.') == std::string_view::npos)
        return globMatch(pattern.substr(0, pattern.size() - 2), name);
    return false;
}

SearchPattern SplitSearchPattern(std::string_view pattern) {
    SearchPattern out{{}, pattern};
    const auto slash = pattern.rfind('/');
    if (slash != std::string_view::npos) {
        out.directory = slash == 0 ? pattern.substr(0, 1) : pattern.substr(0, slash);
        out.mask = pattern.substr(slash + 1);
    }
    if (out.mask == "*" || out.mask == "*.*")
        out.mask = {};
    return out;
}

bool HasWildcards(std::string_view mask) {
    return mask.find_first_of("*?") != std::string_view::npos;
}

} // namespace tw::ftp
