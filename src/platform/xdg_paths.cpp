#include "platform/xdg_paths.h"

#include <QDir>
#include <QStandardPaths>

namespace tw::platform {

QString XdgPaths::dataFolder() {
    QString base = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (base.isEmpty())
        base = QDir::homePath() + QStringLiteral("/.local/share");
    const QString folder = base + QStringLiteral("/Quellwork/Tarnwick 2000");
    QDir().mkpath(folder);
    return folder;
}

QString XdgPaths::documentsFolder() {
    const QString docs = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return docs.isEmpty() ? QDir::homePath() : docs;
}

QString XdgPaths::homeFolder() {
    return QDir::homePath();
}

} // namespace tw::platform
