#include "core/settings/export_file_class.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSaveFile>
#include <QStandardPaths>

namespace tw {

QByteArray ExportFileClassPackage(const QString& extension, const QString& description) {
    QString text;
    text += QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                           "<mime-info xmlns=\"http://www.freedesktop.org/standards/"
                           "shared-mime-info\">\n");
    text += QStringLiteral("  <mime-type type=\"%1\">\n").arg(QString::fromUtf16(kExportMimeType));
    text += QStringLiteral("    <comment>%1</comment>\n").arg(description.toHtmlEscaped());
    text += QStringLiteral("    <sub-class-of type=\"text/plain\"/>\n");
    text += QStringLiteral("    <glob pattern=\"*.%1\"/>\n").arg(extension.toHtmlEscaped());
    text += QStringLiteral("  </mime-type>\n</mime-info>\n");
    return text.toUtf8();
}

bool RegisterExportFileClass(const QString& dataHome, const QString& extension,
                             const QString& description) {
    if (dataHome.isEmpty() || extension.isEmpty())
        return false;
    const QString mimeFolder = QDir(dataHome).filePath(QStringLiteral("mime"));
    const QString packages = QDir(mimeFolder).filePath(QStringLiteral("packages"));
    const QString path =
        QDir(packages).filePath(QStringLiteral("tarnwick2000-%1.xml").arg(extension.toLower()));
    const QByteArray package = ExportFileClassPackage(extension, description);

    QFile current(path);
    if (current.open(QIODevice::ReadOnly) && current.readAll() == package)
        return true;
    current.close();

    if (!QDir().mkpath(packages))
        return false;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(package) != package.size() || !file.commit())
        return false;

    const QString updater = QStandardPaths::findExecutable(QStringLiteral("update-mime-database"));
    if (!updater.isEmpty()) {
        // Waited for (briefly): this happens once, and nothing is left running behind.
        QProcess rebuild;
        rebuild.start(updater, {mimeFolder});
        if (!rebuild.waitForFinished(3000))
            rebuild.kill();
        rebuild.waitForFinished(1000);
    }
    return true;
}

} // namespace tw
