#pragma once

#include <QString>

#include <cstdint>
#include <optional>
#include <string>

namespace tw {

// Attribute bits of a directory record.
inline constexpr std::uint32_t kAttrReadOnly = 0x01;
inline constexpr std::uint32_t kAttrHidden = 0x02;
inline constexpr std::uint32_t kAttrDirectory = 0x10;
inline constexpr std::uint32_t kAttrArchive = 0x20;

// The directory-search record of one entry as a listing delivered it. The remote listing fills
// it for every server entry, the local listing from the file system; synthetic rows (parent of
// a remote folder, drives) leave it zero.
struct FindData {
    std::uint32_t attributes = 0;
    std::int64_t creationTime = 0;   // seconds since 1970-01-01 UTC, 0 = unknown
    std::int64_t lastAccessTime = 0; // as above
    std::int64_t lastWriteTime = 0;  // as above
    std::uint64_t size = 0;
    // The name's bytes as the server or the file system holds them. Local rows keep them only
    // when the name does not survive decoding (not UTF-8), so that operations reach the file.
    std::string rawName;
};

// What Compare Folders found for a row against the other pane's folder. Kept in the row, so it
// follows the row through sorting; a new listing starts without marks.
enum class CompareMark : std::uint8_t {
    None,        // in step with the other side, or not compared
    OnlyHere,    // the other folder has no such name
    NewerHere,   // a file on both sides, this one newer
    OlderHere,   // a file on both sides, this one older
    SizeDiffers, // same time, another size
    KindDiffers, // a file on one side, a folder (or a link) on the other
};

// One row of a pane. The date and size columns are made from `dateKey` and `size` when shown,
// so a row of a large listing stays small; CompleteEntry() fills the derived fields.
struct FileEntry {
    FindData findData;
    QString name; // at most 255 characters; ".." for the parent row; mount path for a drive
    QString type; // extension from the last period, lower-case, at most 23 characters
    bool isParent = false;
    bool isDrive = false;
    bool isFolder = false;
    bool isLink = false; // a symbolic link the listing reported (the target may be a folder)
    CompareMark compare = CompareMark::None;
    int icon = 0; // 0-10, index into the panes' icon list
    // Last-write time in local time packed as YYYYMMDDhhmmss; 0 when unknown. Orders exactly
    // as CompareDateText orders the date texts.
    std::int64_t dateKey = 0;
    std::uint64_t size = 0; // the size the size text shows (sorting uses it)
    // What a server's listing told of the entry's Unix permissions: the mode bits (07777),
    // owner and group; unset or empty where it told nothing, and on local rows.
    std::optional<std::uint16_t> mode;
    QString owner;
    QString group;
    std::uint16_t rights = 0; // MLSD's perm fact (ftp::RightBit of each letter)

    // "07-Dec-2026 - 23:15:56", or empty when the time is unknown or the row is a drive.
    QString dateText() const;
    // Decimal size (64-bit); "0" for folders; empty for drive rows.
    QString sizeText() const;
};

} // namespace tw
