#include "core/panes/local_system.h"

#include "platform/file_manager.h"
#include "platform/launcher.h"
#include "platform/mounts.h"

namespace tw {

QStringList DesktopLocalSystem::mountPoints() {
    return platform::Mounts::OtherMountPoints();
}

int DesktopLocalSystem::startProgram(const QString& program, const QString& argument) {
    return platform::Launcher::StartDetached(program, {argument}).error;
}

bool DesktopLocalSystem::showItemProperties(const QString& path) {
    return platform::FileManager::ShowItemProperties(path);
}

} // namespace tw
