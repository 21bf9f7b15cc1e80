#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>
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

// How a program run to its end finished: `error` is the errno of a failed start (nothing ran),
// else `exitCode` is its exit status and `crashed` tells that a signal ended it.
struct RunResult {
    int error = 0;
    int exitCode = 0;
    bool crashed = false;
};

// The outside programs the program's flows hand work to (the browser, the mail program),
// behind one interface so that the flows run with a recording fake in tests.
class ProgramLauncher {
public:
    virtual ~ProgramLauncher() = default;

    // Hands `url` to the desktop's handler for its scheme; false when none took it.
    virtual bool openUrl(const QString& url) = 0;
    // Launcher::StartDetached.
    virtual LaunchResult startDetached(const QString& program, const QStringList& arguments) = 0;
    // Whether `program` names an executable (a path, or a name found in PATH).
    virtual bool hasProgram(const QString& program) = 0;
    // Starts `program` and returns at once; `finished` is called from the event loop when it
    // has ended or could not be started. Called on the main thread.
    virtual void run(const QString& program, const QStringList& arguments,
                     std::function<void(const RunResult&)> finished) = 0;
};

// The launcher of the running program. QtCore knows no desktop services: openUrl() is false
// here, and the widgets layer overrides it with the desktop's URL handler.
class SystemLauncher : public ProgramLauncher {
public:
    bool openUrl(const QString& url) override;
    LaunchResult startDetached(const QString& program, const QStringList& arguments) override;
    bool hasProgram(const QString& program) override;
    void run(const QString& program, const QStringList& arguments,
             std::function<void(const RunResult&)> finished) override;
};

} // namespace tw::platform
