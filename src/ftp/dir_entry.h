#pragma once

#include <cstdint>
#include <string>

namespace tw::ftp {

// Attribute bits of a directory record (the values of the Windows file attributes).
inline constexpr std::uint32_t kAttributeReadOnly = 0x01;
inline constexpr std::uint32_t kAttributeHidden = 0x02;
inline constexpr std::uint32_t kAttributeDirectory = 0x10;
inline constexpr std::uint32_t kAttributeArchive = 0x20;

enum class EntryType { File, Directory, Link, Other };

// One entry of a server listing. Times are seconds since 1970-01-01 UTC, 0 when unknown.
struct DirEntry {
    std::string name; // the name's bytes as the server sent them (not necessarily UTF-8)
    EntryType type = EntryType::File;
    std::uint32_t attributes = 0;
    std::int64_t creationTime = 0;
    std::int64_t lastAccessTime = 0;
    std::int64_t lastWriteTime = 0;
    std::uint64_t size = 0;
    std::string linkTarget;  // for links, when the listing names the target
    bool unsafeName = false; // "." / "..", or holds '/', '\\', NUL or control characters
};

} // namespace tw::ftp
