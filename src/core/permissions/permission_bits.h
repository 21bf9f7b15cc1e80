#pragma once

#include "queue/chmod_tree.h"

#include <QString>

#include <cstdint>
#include <optional>
#include <vector>

namespace tw {

// The nine read / write / execute bits as the Permissions dialog edits them: a decided bit is
// set or clear, an undecided one (several rows that differ, a mode the listing did not give)
// keeps each entry's own.
using ModeChoice = queue::ModeChange;

// The state of one of the nine boxes.
enum class BitState { Clear, Set, Mixed };

// The bit of the box in row `who` (0 owner, 1 group, 2 others) and column `what` (0 read,
// 1 write, 2 execute): 0400 for the owner's read.
constexpr std::uint16_t PermissionBit(int who, int what) {
    return std::uint16_t(0400u >> (who * 3 + what));
}

BitState StateOf(const ModeChoice& choice, std::uint16_t bit);
ModeChoice WithBit(ModeChoice choice, std::uint16_t bit, BitState state);

// What the rows' modes have in common: a bit is decided where every row's mode gives it the
// same value. Rows whose mode is not known add nothing; none known: nothing is decided.
ModeChoice CommonChoice(const std::vector<std::optional<std::uint16_t>>& modes);

// "755"; a digit whose bits are not all decided is "x" ("7x5").
QString OctalText(const ModeChoice& choice);
// Three digits 0-7 or "x" (keep that digit's bits) as typed in the octal box; nothing for any
// other text.
std::optional<ModeChoice> ParseOctalText(const QString& text);

// "rwxr-xr-x" as "ls -l" writes it, the set-user, set-group and sticky bits as s / S and t / T.
QString ModeText(std::uint16_t mode);
// "rwxr-xr-x (755)", with four digits when a set-user, set-group or sticky bit is set.
QString ModeWithOctalText(std::uint16_t mode);
// MLSD's perm fact in words: "read, write, delete, rename, ...".
QString RightsText(std::uint16_t rights);

} // namespace tw
