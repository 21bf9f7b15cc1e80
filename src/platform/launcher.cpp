#include "platform/launcher.h"

#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

#include <cerrno>

namespace tw::platform {

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
    int error = 0;
    QString executable = ResolveProgram(program, &error);
    QStringList args = arguments;
    if (executable.isEmpty() && program.contains(u' ')) {
        QStringList words = QProcess::splitCommand(program);
        if (!words.isEmpty()) {
            int wordError = 0;
            executable = ResolveProgram(words.takeFirst(), &wordError);
            if (!executable.isEmpty()) {
                error = 0;
                args = words + arguments;
            }
        }
    }
    if (executable.isEmpty())
        return {error ? error : ENOENT};
    QProcess process;
    process.setProgram(executable);
    process.setArguments(args);
    process.setStandardInputFile(QProcess::nullDevice());
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    errno = 0;
    if (!process.startDetached())
        return {errno ? errno : ENOEXEC};
    return {};
}

} // namespace tw::platform
