#pragma once

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
    // Starts `program` detached with `argument` as its one argument; 0 or the errno value.
    virtual int startProgram(const QString& program, const QString& argument) = 0;
    // Asks the file manager to show its properties window; false when none answers.
    virtual bool showItemProperties(const QString& path) = 0;
};

// The real services of the platform layer.
class DesktopLocalSystem : public LocalSystem {
public:
    QStringList mountPoints() override;
    int startProgram(const QString& program, const QString& argument) override;
    bool showItemProperties(const QString& path) override;
};

} // namespace tw
