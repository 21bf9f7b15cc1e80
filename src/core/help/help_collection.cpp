#include "core/help/help_collection.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>

#ifndef TW_HELP_NAMESPACE
#error "TW_HELP_NAMESPACE is set by cmake/TwHelp.cmake"
#endif

namespace tw {

namespace {

// The collection and every compressed help document in its folder.
QFileInfoList sourceFiles(const QFileInfo& collection) {
    QFileInfoList files{collection};
    const QDir dir = collection.absoluteDir();
    for (const QFileInfo& doc :
         dir.entryInfoList({QStringLiteral("*.qch")}, QDir::Files | QDir::Readable))
        files << doc;
    return files;
}

bool sameFile(const QFileInfo& source, const QFileInfo& copy) {
    return copy.isFile() && copy.size() == source.size() &&
           copy.lastModified() == source.lastModified();
}

bool copyFile(const QFileInfo& source, const QString& target) {
    if (!QFile::copy(source.absoluteFilePath(), target))
        return false;
    QFile copy(target);
    // Owner-writable whatever the installed file's mode; the time marks the source it came from.
    copy.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    return copy.open(QIODevice::ReadWrite) &&
           copy.setFileTime(source.lastModified(), QFileDevice::FileModificationTime);
}

} // namespace

QString HelpNamespace() {
    return QStringLiteral(TW_HELP_NAMESPACE);
}

QString HelpTopicIdentifier(int topic) {
    return QStringLiteral("topic-%1").arg(topic);
}

bool HelpCollectionPresent(const QString& path) {
    if (path.isEmpty())
        return false;
    const QFileInfo info(path);
    return info.isFile() && info.isReadable();
}

QString UserHelpCollection(const QString& source, const QString& cacheFolder) {
    const QFileInfo collection(source);
    if (!HelpCollectionPresent(source) || cacheFolder.isEmpty())
        return {};
    const QDir target(QDir(cacheFolder).filePath(QStringLiteral("help")));
    const QFileInfoList files = sourceFiles(collection);
    const bool current = std::all_of(files.begin(), files.end(), [&](const QFileInfo& file) {
        return sameFile(file, QFileInfo(target.filePath(file.fileName())));
    });
    const QString copy = target.filePath(collection.fileName());
    if (current)
        return copy;

    QDir(target).removeRecursively();
    if (!QDir().mkpath(target.path()))
        return {};
    for (const QFileInfo& file : files) {
        if (!copyFile(file, target.filePath(file.fileName()))) {
            QDir(target).removeRecursively();
            return {};
        }
    }
    return copy;
}

} // namespace tw
