#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace tw {

// The desktop services the local pane uses: mounted volumes, starting programs and the file
// manager's properties window. Tests replace it with a fake.
class LocalSystem {
public:
    virtual ~LocalSystem() = default;
    // Mount points of the other volumes, shown as drive rows at "/".
    virtual QStringList mountPoints() = 0;
    // Starts `program` detached with the local path `path` as its one argument; 0 or the
    // errno value. Paths are the file system's bytes: a name need not be UTF-8.
    virtual int startProgram(const QString& program, const QByteArray& path) = 0;
    // Asks the file manager to show its properties window; false when none answers.
    virtual bool showItemProperties(const QByteArray& path) = 0;
};

// The real services of the platform layer.
class DesktopLocalSystem : public LocalSystem {
public:
    QStringList mountPoints() override;
    int startProgram(const QString& program, const QByteArray& path) override;
    bool showItemProperties(const QByteArray& path) override;
};

} // namespace tw
