#include "core/settings/path_helpers.h"

#include <QFileInfo>

namespace tw {

bool FileExists(const QString& path) {
    return !path.isEmpty() && QFileInfo::exists(path);
}

bool FileIsWritable(const QString& path, bool checkReadOnly) {
    if (!FileExists(path))
        return false;
    return !checkReadOnly || QFileInfo(path).isWritable();
}

QString GetDirectoryPart(const QString& path) {
    const qsizetype slash = path.lastIndexOf(u'/');
    return slash < 0 ? QString() : path.left(slash + 1);
}

QString StripExtension(const QString& path) {
    const qsizetype dot = path.lastIndexOf(u'.');
    if (dot < 0 || dot < path.lastIndexOf(u'/'))
        return path;
    return path.left(dot);
}

} // namespace tw
