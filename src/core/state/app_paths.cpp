#include "core/state/app_paths.h"

#include "platform/xdg_paths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace tw {

namespace {

bool isFile(const QString& path) {
    const QFileInfo info(path);
    return info.isFile() && info.isReadable();
}

} // namespace

QString FindHelpDocument(const QString& executableDir) {
    const QString name = QString::fromUtf16(kHelpDocumentName);
    if (!executableDir.isEmpty()) {
        QDir dir(executableDir);
        const QString beside = dir.filePath(QStringLiteral("help/") + name);
        if (isFile(beside))
            return QFileInfo(beside).absoluteFilePath();
        for (int level = 0; level <= 4; ++level) {
            const QString inSource = dir.filePath(QStringLiteral("resources/help/") + name);
            if (isFile(inSource))
                return QFileInfo(inSource).absoluteFilePath();
            if (!dir.cdUp())
                break;
        }
        const QString installed =
            QDir(executableDir).filePath(QStringLiteral("../share/tarnwick2000/help/") + name);
        if (isFile(installed))
            return QFileInfo(installed).absoluteFilePath();
    }
    return QStandardPaths::locate(QStandardPaths::GenericDataLocation,
                                  QStringLiteral("tarnwick2000/help/") + name);
}

QString FindHelpDocument() {
    if (!QCoreApplication::instance())
        return {};
    return FindHelpDocument(QCoreApplication::applicationDirPath());
}

void InitApplicationPaths(AppGlobals& globals, const QString& dataFolder) {
    globals.modulePath =
        QCoreApplication::instance() ? QCoreApplication::applicationFilePath() : QString();
    QString base = QFileInfo(globals.modulePath).completeBaseName().toLower();
    if (base.isEmpty())
        base = QStringLiteral("tarnwick2000");
    const QString folder = dataFolder.isEmpty() ? platform::XdgPaths::dataFolder() : dataFolder;
    globals.logPath = QDir(folder).filePath(base + QStringLiteral(".log"));
    globals.helpPath = FindHelpDocument();
    globals.desktopDataHome = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
}

} // namespace tw
