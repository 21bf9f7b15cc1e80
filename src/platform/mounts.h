#pragma once

#include <QString>
#include <QStringList>

namespace tw::platform {

// The mounted volumes of the machine.
class Mounts {
public:
    // The mount points of the real, ready volumes other than "/", each a folder, sorted and
    // without repeats (bind mounts of single files and pseudo file systems are left out).
    static QStringList OtherMountPoints();
};

} // namespace tw::platform
