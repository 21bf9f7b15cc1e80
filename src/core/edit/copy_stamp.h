#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>

namespace tw {

// What is known of an edited copy on the local disk: its identity on the file system (a save
// that renames a new file over it changes the inode), size, modification time and the SHA-256
// of its content.
struct CopyStamp {
    bool exists = false;
    std::uint64_t inode = 0;
    std::int64_t size = 0;
    std::int64_t modifiedNs = 0; // nanoseconds since 1970
    QByteArray sha256;           // empty when the file could not be read

    // The same file as far as its metadata tells (the content is not compared).
    bool sameMetadata(const CopyStamp& other) const {
        return exists == other.exists && inode == other.inode && size == other.size &&
               modifiedNs == other.modifiedNs;
    }
};

// Reads the stamp of `path` (the file system's bytes). The content is hashed again only when
// the metadata differ from `previous`; otherwise its hash is taken over.
CopyStamp ReadCopyStamp(const QByteArray& path, const CopyStamp& previous = {});

// The SHA-256 of a file's content; empty when it cannot be read.
QByteArray FileSha256(const QByteArray& path);

} // namespace tw
