#pragma once

#include "ftp/file_io.h"

#include <QString>

#include <cstdint>

namespace tw {

// What the system knows of a file type (an extension such as "txt" or ".txt").
struct FileTypeInfo {
    bool known = false;
    QString description;     // the MIME type's comment, or "Document"
    QString iconName;        // theme icon name of the MIME type (empty when unknown)
    QString genericIconName; // its generic theme icon name
};

// Looks a file type up in the MIME database. The text is used as it is when it begins with a
// period, else with a period put in front; an empty text therefore looks up "." (unknown).
FileTypeInfo LookupFileType(const QString& extension);
// The description part of LookupFileType ("Document" for unknown types).
QString FileTypeDescription(const QString& extension);

// "512", "2 K", "1.50 K", "3.25 M", "4.10 G": the size in the largest unit that keeps the
// number small, with a first ".00" cut out.
QString FormatShortSize(std::uint64_t size);
// FormatShortSize followed by the exact byte count: "1.50 K (1536 Bytes)".
QString FormatSizeWithBytes(std::uint64_t size);

// "Unknown" for 0; else the local date in the locale's long form, two blanks, and the
// time of day without seconds.
QString FormatFileTimeLong(std::int64_t utcSeconds);

// Copies a file before it is rewritten: to "<folder>/Backup of <name>" when `backupOfForm`,
// else to the path with its extension replaced by ".bak". An earlier copy is replaced. True
// when there is no such file or the copy was made; false for a read-only file (no copy made),
// a copy that failed, or a backup name equal to the file itself.
bool BackupFile(const QString& path, bool backupOfForm);
// The name BackupFile copies `path` to.
QString BackupFileName(const QString& path, bool backupOfForm);

// A file descriptor closed when it goes out of scope (-1: none).
using UniqueFd = ftp::UniqueFd;

} // namespace tw
