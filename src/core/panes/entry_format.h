#pragma once

#include "core/panes/file_entry.h"

#include <QString>
#include <QStringView>

#include <cstdint>

namespace tw {

// The panes' image-list indexes (icons 3000-3010).
enum class PaneIcon : int {
    Parent = 0,
    Drive,
    Folder,
    Text,
    Program,
    Archive,
    Image,
    Web,
    Data,
    Media,
    Other
};
inline constexpr int kPaneIconCount = 11;

// Longest `type` text, in characters.
inline constexpr int kTypeLimit = 23;

// The packed local-time key (YYYYMMDDhhmmss) of a time in seconds since 1970 UTC; 0 for 0.
std::int64_t LocalDateKey(std::int64_t utcSeconds);
// "07-Dec-2026 - 23:15:56" from a packed key; empty for 0.
QString DateTextFromKey(std::int64_t key);

// The date text of a search record's last-write time, in local time; empty when it is zero.
QString FormatFileTime(const FindData& data);
// The size text of a search record: its full 64-bit size in decimal.
QString FormatSizeText(const FindData& data);

// The name's extension from its last period, period included; empty when there is none.
QString GetExtension(QStringView name);

// The row type of a name: its extension, lower-case, at most kTypeLimit characters.
QString LowerExtension(QStringView name);

// True when the name's extension equals, ignoring case, one of the tokens of `exclude`
// (separated by ';', ',' or ' '). Names without a period are never excluded.
bool IsExcluded(QStringView exclude, QStringView name);

// Sets the row's icon from isParent, isFolder, isDrive and type.
void ClassifyEntryIcon(FileEntry& entry);

// Fills the derived fields of a row whose name, isFolder/isDrive flags and findData are set:
// type (lower-case extension; empty for drives), isParent, dateKey, size and icon.
void CompleteEntry(FileEntry& entry);

// Orders two date texts chronologically by their fields (year, month, day, then hour, minute,
// second when `a` has the full 22 characters). Negative, zero or positive.
int CompareDateText(QStringView a, QStringView b);

} // namespace tw
