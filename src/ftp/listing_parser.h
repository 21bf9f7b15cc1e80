#pragma once

#include "ftp/dir_entry.h"

#include <cstdint>
#include <string_view>

namespace tw::ftp {

// Parsers for one line of a directory listing. Each returns false for a line that is not an
// entry (a "total 12" line, an error text, a malformed line), which the caller drops.

// One MLSD line: "fact=value;fact=value; name". Facts are case-insensitive; the current and
// parent directory entries (type=cdir / type=pdir) are not entries and give false.
bool ParseMlsdLine(std::string_view line, DirEntry& out);

// One LIST line in Unix "ls -l" form or DOS/IIS form. A Unix date without a year is placed in
// the most recent year in which it is not in the future relative to `now` (seconds since 1970,
// UTC), which also places 29 February in a leap year.
bool ParseListLine(std::string_view line, std::int64_t now, DirEntry& out);

bool ParseUnixListLine(std::string_view line, std::int64_t now, DirEntry& out);
bool ParseDosListLine(std::string_view line, DirEntry& out);

} // namespace tw::ftp
