#include "platform/mounts.h"

#include <QFileInfo>
#include <QStorageInfo>

namespace tw::platform {

QStringList Mounts::OtherMountPoints() {
    QStringList out;
    const QList<QStorageInfo> volumes = QStorageInfo::mountedVolumes();
    for (const QStorageInfo& volume : volumes) {
        if (!volume.isValid() || !volume.isReady())
            continue;
        const QString root = volume.rootPath();
        if (root.isEmpty() || root == u"/")
            continue;
        if (!QFileInfo(root).isDir())
            continue;
        out << root;
    }
    out.sort();
    out.removeDuplicates();
    return out;
}

} // namespace tw::platform
