#pragma once

#include <QByteArray>
#include <QString>

namespace tw::platform {

// The desktop's file manager, reached over D-Bus (org.freedesktop.FileManager1).
class FileManager {
public:
    // Asks the file manager to show its properties window for a local file or folder.
    // False when no file manager answers within `timeoutMs` (no session bus, no service, an
    // error reply).
    static bool ShowItemProperties(const QString& path, int timeoutMs = 3000);
    // The same for a path given as the file system's bytes (a name need not be UTF-8).
    static bool ShowItemProperties(const QByteArray& path, int timeoutMs = 3000);
    // The file URL of a local path: every byte outside the unreserved set percent-encoded.
    static QString ItemUrl(const QByteArray& path);
};

} // namespace tw::platform
