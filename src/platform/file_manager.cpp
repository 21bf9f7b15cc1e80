#include "platform/file_manager.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QStringList>
#include <QUrl>

namespace tw::platform {

bool FileManager::ShowItemProperties(const QString& path, int timeoutMs) {
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
    call << QStringList{QUrl::fromLocalFile(path).toString(QUrl::FullyEncoded)} << QString();
    const QDBusMessage reply = bus.call(call, QDBus::Block, timeoutMs);
    return reply.type() == QDBusMessage::ReplyMessage;
}

} // namespace tw::platform
