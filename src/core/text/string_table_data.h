#pragma once

#include <span>

namespace tw::strings {

struct StringEntry {
    int id;
    const char16_t* text;
};

// The tables behind LookupString, one file each. Ids are unique across all of them.
std::span<const StringEntry> ProgramStrings(); // the program's string table
std::span<const StringEntry> BuiltinStrings(); // 60000-60135
std::span<const StringEntry> FtpErrorStrings(); // 12001-12174

} // namespace tw::strings
