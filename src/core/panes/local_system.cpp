#include "core/panes/local_system.h"

#include "platform/file_manager.h"
#include "platform/launcher.h"
#include "platform/mounts.h"

namespace tw {

QStringList DesktopLocalSystem::mountPoints() {
    return platform::Mounts::OtherMountPoints();
}

int DesktopLocalSystem::startProgram(const QString& program, const QByteArray& path) {
    return platform::Launcher::StartDetachedRaw(program, {path}).error;
}

bool DesktopLocalSystem::showItemProperties(const QByteArray& path) {
    return platform::FileManager::ShowItemProperties(path);
}

} // namespace tw
