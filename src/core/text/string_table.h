#pragma once

#include <QString>

#include <optional>
#include <vector>

namespace tw {

// Every user-visible text of the program under its numeric id: the program's string table
// (menus, command help = command id, button texts = command id + 1000, captions, messages),
// the built-in table 60000-60135, the API names 4500-4522 and the FTP error texts 12001-12174.
// Returns nullopt when the id has no entry. An entry may be empty or hold only blanks.
std::optional<QString> LookupString(int id);

// All ids that have an entry, ascending (for tests and tools).
std::vector<int> StringTableIds();

} // namespace tw
