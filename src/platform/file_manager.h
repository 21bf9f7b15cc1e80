#pragma once

#include <QString>

namespace tw::platform {

// The desktop's file manager, reached over D-Bus (org.freedesktop.FileManager1).
class FileManager {
public:
    // Asks the file manager to show its properties window for a local file or folder.
    // False when no file manager answers within `timeoutMs` (no session bus, no service, an
    // error reply).
    static bool ShowItemProperties(const QString& path, int timeoutMs = 3000);
};

} // namespace tw::platform
