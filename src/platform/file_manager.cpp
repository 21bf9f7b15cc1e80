#include "platform/file_manager.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QFile>
#include <QStringList>

namespace tw::platform {

QString FileManager::ItemUrl(const QByteArray& path) {
    return QStringLiteral("file://") + QString::fromLatin1(path.toPercentEncoding("/"));
}

bool FileManager::ShowItemProperties(const QString& path, int timeoutMs) {
    return ShowItemProperties(QFile::encodeName(path), timeoutMs);
}

bool FileManager::ShowItemProperties(const QByteArray& path, int timeoutMs) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return false;
    const QString service = QStringLiteral("org.freedesktop.FileManager1");
    QDBusConnectionInterface* daemon = bus.interface();
    if (!daemon)
        return false;
    // A file manager that is not running may still be started by the bus.
    if (!daemon->isServiceRegistered(service).value() &&
        !daemon->activatableServiceNames().value().contains(service))
        return false;
    QDBusMessage call =
        QDBusMessage::createMethodCall(service, QStringLiteral("/org/freedesktop/FileManager1"),
                                       service, QStringLiteral("ShowItemProperties"));
    call << QStringList{ItemUrl(path)} << QString();
    const QDBusMessage reply = bus.call(call, QDBus::Block, timeoutMs);
    return reply.type() == QDBusMessage::ReplyMessage;
}

} // namespace tw::platform
