#pragma once

#include <QString>

namespace tw {

// True when a file or folder exists at `path`.
bool FileExists(const QString& path);
// False when nothing exists at `path`; otherwise true, or, with `checkReadOnly`, true only when
// the user may write it.
bool FileIsWritable(const QString& path, bool checkReadOnly);
// The path up to and including its last '/' (empty when there is none).
QString GetDirectoryPart(const QString& path);
// The path without the extension of its last component (the whole path when that component has
// no period; a period in a folder name is not an extension).
QString StripExtension(const QString& path);

} // namespace tw
