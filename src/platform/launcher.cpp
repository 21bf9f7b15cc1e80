#include "platform/launcher.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTimer>

#include <array>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <memory>
#include <sys/wait.h>
#include <unistd.h>
#include <utility>

namespace tw::platform {

namespace {

// Writes `error` for the waiting parent; a failed write leaves it reading "started".
void ReportStartError(int fd, int error) {
    if (::write(fd, &error, sizeof error) < 0)
        return;
}

// Runs argv[0] with `argv` in a grandchild of its own session, its standard streams on
// /dev/null, so that it outlives this process and leaves no zombie. 0, or the errno of the
// failed start (reported by the grandchild through a close-on-exec pipe).
int SpawnDetached(const std::vector<QByteArray>& argv) {
    std::vector<char*> pointers;
    for (const QByteArray& arg : argv)
        pointers.push_back(const_cast<char*>(arg.constData()));
    pointers.push_back(nullptr);
    std::array<int, 2> report{};
    if (::pipe2(report.data(), O_CLOEXEC) != 0)
        return errno;
    const int devNull = ::open("/dev/null", O_RDWR | O_CLOEXEC);
    const pid_t child = ::fork();
    if (child < 0) {
        const int error = errno;
        ::close(report[0]);
        ::close(report[1]);
        if (devNull >= 0)
            ::close(devNull);
        return error;
    }
    if (child == 0) {
        // Only async-signal-safe calls from here on.
        ::setsid();
        const pid_t grandchild = ::fork();
        if (grandchild < 0)
            ReportStartError(report[1], errno);
        if (grandchild != 0)
            ::_exit(grandchild < 0 ? 1 : 0);
        if (devNull >= 0) {
            ::dup2(devNull, STDIN_FILENO);
            ::dup2(devNull, STDOUT_FILENO);
            ::dup2(devNull, STDERR_FILENO);
        }
        ::signal(SIGPIPE, SIG_DFL);
        ::execv(pointers[0], pointers.data());
        ReportStartError(report[1], errno);
        ::_exit(127);
    }
    ::close(report[1]);
    if (devNull >= 0)
        ::close(devNull);
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    // End of file without a number: the program runs.
    int error = 0;
    ssize_t got = 0;
    do {
        got = ::read(report[0], &error, sizeof error);
    } while (got < 0 && errno == EINTR);
    ::close(report[0]);
    return got == ssize_t(sizeof error) ? error : 0;
}

} // namespace

QString Launcher::ResolveProgram(const QString& program, int* error) {
    *error = 0;
    if (program.trimmed().isEmpty()) {
        *error = ENOENT;
        return {};
    }
    if (program.contains(u'/')) {
        const QFileInfo info(program);
        if (!info.exists()) {
            *error = ENOENT;
            return {};
        }
        if (info.isDir() || !info.isExecutable()) {
            *error = EACCES;
            return {};
        }
        return info.absoluteFilePath();
    }
    const QString found = QStandardPaths::findExecutable(program);
    if (found.isEmpty())
        *error = ENOENT;
    return found;
}

LaunchResult Launcher::StartDetached(const QString& program, const QStringList& arguments) {
    std::vector<QByteArray> bytes;
    bytes.reserve(std::size_t(arguments.size()));
    for (const QString& argument : arguments)
        bytes.push_back(QFile::encodeName(argument));
    return StartDetachedRaw(program, bytes);
}

LaunchResult Launcher::StartDetachedRaw(const QString& program,
                                        const std::vector<QByteArray>& arguments) {
    int error = 0;
    QString executable = ResolveProgram(program, &error);
    std::vector<QByteArray> argv;
    if (executable.isEmpty() && program.contains(u' ')) {
        QStringList words = QProcess::splitCommand(program);
        if (!words.isEmpty()) {
            int wordError = 0;
            executable = ResolveProgram(words.takeFirst(), &wordError);
            if (!executable.isEmpty()) {
                error = 0;
                for (const QString& word : words)
                    argv.push_back(QFile::encodeName(word));
            }
        }
    }
    if (executable.isEmpty())
        return {error ? error : ENOENT};
    argv.insert(argv.begin(), QFile::encodeName(executable));
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    return {SpawnDetached(argv)};
}

bool SystemLauncher::openUrl(const QString&) {
    return false;
}

LaunchResult SystemLauncher::startDetached(const QString& program, const QStringList& arguments) {
    return Launcher::StartDetached(program, arguments);
}

bool SystemLauncher::hasProgram(const QString& program) {
    int error = 0;
    return !Launcher::ResolveProgram(program, &error).isEmpty();
}

void SystemLauncher::run(const QString& program, const QStringList& arguments,
                         std::function<void(const RunResult&)> finished) {
    int error = 0;
    const QString executable = Launcher::ResolveProgram(program, &error);
    if (executable.isEmpty()) {
        // Reported from the event loop as well, so callers see one order of events.
        QTimer::singleShot(0, [finished = std::move(finished), error] { finished({error}); });
        return;
    }
    // The process object deletes itself when the program has ended; one that still runs when
    // the application goes is left to the desktop (its parent is the application).
    auto* process = new QProcess(QCoreApplication::instance());
    process->setProgram(executable);
    process->setArguments(arguments);
    process->setStandardInputFile(QProcess::nullDevice());
    process->setStandardOutputFile(QProcess::nullDevice());
    process->setStandardErrorFile(QProcess::nullDevice());
    auto report = std::make_shared<std::function<void(const RunResult&)>>(std::move(finished));
    QObject::connect(
        process, &QProcess::finished, process,
        [process, report](int exitCode, QProcess::ExitStatus status) {
            if (*report)
                std::exchange(*report, nullptr)({0, exitCode, status == QProcess::CrashExit});
            process->deleteLater();
        });
    QObject::connect(process, &QProcess::errorOccurred, process,
                     [process, report](QProcess::ProcessError failure) {
                         if (failure != QProcess::FailedToStart)
                             return;
                         if (*report)
                             std::exchange(*report, nullptr)({EACCES});
                         process->deleteLater();
                     });
    process->start();
}

} // namespace tw::platform
