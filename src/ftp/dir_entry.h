#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tw::ftp {

// Attribute bits of a directory record (the values of the Windows file attributes).
inline constexpr std::uint32_t kAttributeReadOnly = 0x01;
inline constexpr std::uint32_t kAttributeHidden = 0x02;
inline constexpr std::uint32_t kAttributeDirectory = 0x10;
inline constexpr std::uint32_t kAttributeArchive = 0x20;

enum class EntryType { File, Directory, Link, Other };

// The letters of MLSD's "perm" fact (RFC 3659), one bit each in DirEntry::rights, in the
// order they are shown.
inline constexpr std::string_view kRightLetters = "acdeflmprw";
inline constexpr std::uint16_t RightBit(char letter) {
    const auto at = kRightLetters.find(letter);
    return at == std::string_view::npos ? 0 : std::uint16_t(1u << at);
}

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
    // Unix permission bits (07777) where the listing gives them: LIST's mode field, MLSD's
    // UNIX.mode, EPLF's "up".
    std::optional<std::uint16_t> mode;
    std::string owner;        // the owner's name (or number) as listed, empty when not given
    std::string group;        // the same for the group
    std::uint16_t rights = 0; // MLSD's perm fact, RightBit() of each letter; 0 when not given
};

} // namespace tw::ftp
