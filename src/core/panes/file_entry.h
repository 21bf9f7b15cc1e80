#pragma once

#include <QString>

#include <cstdint>
#include <string>

namespace tw {

// Attribute bits of a directory record.
inline constexpr std::uint32_t kAttrReadOnly = 0x01;
inline constexpr std::uint32_t kAttrHidden = 0x02;
inline constexpr std::uint32_t kAttrDirectory = 0x10;
inline constexpr std::uint32_t kAttrArchive = 0x20;

// The directory-search record of one entry as a listing delivered it. The remote listing fills
// it for every server entry; local and synthetic rows leave it zero.
struct FindData {
    std::uint32_t attributes = 0;
    std::int64_t creationTime = 0;   // seconds since 1970-01-01 UTC, 0 = unknown
    std::int64_t lastAccessTime = 0; // as above
    std::int64_t lastWriteTime = 0;  // as above
    std::uint64_t size = 0;
    std::string rawName; // the name's bytes as the server sent them (may not be UTF-8)
};

// One row of a pane.
struct FileEntry {
    FindData findData;
    QString name;     // at most 255 characters; ".." for the parent row; mount path for a drive
    QString type;     // extension from the last period, lower-case, at most 23 characters
    bool isParent = false;
    bool isDrive = false;
    bool isFolder = false;
    int icon = 0;     // 0-10, index into the panes' icon list
    QString dateText; // "07-Dec-2026 - 23:15:56" or empty
    QString sizeText; // decimal size (64-bit), "0" for folders, empty for drives
    std::uint64_t size = 0; // the size the size text shows (sorting uses it)
};

} // namespace tw
