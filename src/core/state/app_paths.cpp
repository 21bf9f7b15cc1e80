#include "core/state/app_paths.h"

#include "core/help/help_collection.h"
#include "platform/xdg_paths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace tw {

namespace {

const QString kHelpFolder = QStringLiteral("tarnwick2000/help/");

QString collectionName() {
    return QString::fromUtf16(kHelpCollectionName);
}

} // namespace

QStringList HelpCollectionCandidates(const QString& executableDir) {
    QStringList paths;
    const auto add = [&paths](const QString& path) {
        const QString clean = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
        if (!paths.contains(clean))
            paths << clean;
    };
    if (!executableDir.isEmpty()) {
        const QDir dir(executableDir);
        add(dir.filePath(QStringLiteral("../../share/") + kHelpFolder + collectionName()));
        add(dir.filePath(QStringLiteral("../share/") + kHelpFolder + collectionName()));
    }
    for (const QString& data :
         QStandardPaths::standardLocations(QStandardPaths::GenericDataLocation))
        add(QDir(data).filePath(kHelpFolder + collectionName()));
    return paths;
}

QString FindHelpCollection(const QString& executableDir, const HelpCollectionCheck& accepts) {
    if (!accepts)
        return {};
    for (const QString& path : HelpCollectionCandidates(executableDir)) {
        if (HelpCollectionPresent(path) && accepts(path))
            return path;
    }
    return {};
}

QString ExpectedHelpCollectionPath(const QString& executableDir) {
    if (executableDir.isEmpty())
        return collectionName();
    return QDir::cleanPath(
        QDir(executableDir).filePath(QStringLiteral("../share/") + kHelpFolder + collectionName()));
}

void InitApplicationPaths(AppGlobals& globals, const QString& dataFolder,
                          const HelpCollectionCheck& acceptsHelp) {
    const bool haveApp = QCoreApplication::instance() != nullptr;
    globals.modulePath = haveApp ? QCoreApplication::applicationFilePath() : QString();
    QString base = QFileInfo(globals.modulePath).completeBaseName().toLower();
    if (base.isEmpty())
        base = QStringLiteral("tarnwick2000");
    const QString folder = dataFolder.isEmpty() ? platform::XdgPaths::dataFolder() : dataFolder;
    globals.logPath = QDir(folder).filePath(base + QStringLiteral(".log"));
    globals.helpPath = haveApp
                           ? FindHelpCollection(QCoreApplication::applicationDirPath(), acceptsHelp)
                           : QString();
    globals.desktopDataHome = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
}

} // namespace tw
