#pragma once

#include "core/panes/file_entry.h"

#include <QString>

#include <cstdint>

namespace tw {

// A byte count as the desktop's file managers write it, in powers of 1000: "512 bytes",
// "1.4 MB".
QString ReadableSizeText(std::uint64_t bytes);
// The exact count with the locale's digit grouping: "1,457,664 bytes".
QString ExactSizeText(std::uint64_t bytes);

// The size column of a row: the byte count as it is, or with `readable` the ReadableSizeText
// of a file and nothing for a folder (whose count is no size). Drives show nothing either way.
QString PaneSizeText(const FileEntry& row, bool readable);
// What the row's tooltip and accessible text add while sizes are readable: the exact bytes of a
// file; empty for folders and drives.
QString PaneExactSizeText(const FileEntry& row);

} // namespace tw
