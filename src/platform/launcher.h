#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <vector>

namespace tw::platform {

// The outcome of starting a program: 0 or the errno value of the failure.
struct LaunchResult {
    int error = 0;
    bool ok() const { return error == 0; }
};

// Starts programs detached from this process.
class Launcher {
public:
    // Starts `program` with `arguments` detached. `program` is an executable's path or a name
    // searched in PATH; when no such executable exists and the text holds blanks, it is read
    // as a command line whose first word is the program and whose other words come before
    // `arguments`. A program that cannot be found or started gives its errno.
    static LaunchResult StartDetached(const QString& program, const QStringList& arguments);
    // The same with `arguments` passed to the program byte for byte: a local path whose name
    // is not UTF-8 reaches the program unchanged.
    static LaunchResult StartDetachedRaw(const QString& program,
                                         const std::vector<QByteArray>& arguments);

    // The executable `program` names, or empty with `error` set (ENOENT, EACCES).
    static QString ResolveProgram(const QString& program, int* error);
};

} // namespace tw::platform
