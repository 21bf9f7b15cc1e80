#include "single_instance.h"

#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>

#include <unistd.h>

namespace tw {

namespace {

const QByteArray kRaiseRequest = QByteArrayLiteral("raise\n");
constexpr int kConnectTimeoutMs = 1000;

} // namespace

SingleInstance::SingleInstance(QObject* parent) : QObject(parent) {}

SingleInstance::~SingleInstance() = default;

QString SingleInstance::serverName() {
    QString folder = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (folder.isEmpty() || !QDir(folder).exists())
        folder = QDir::tempPath();
    return QDir(folder).filePath(QStringLiteral("TarnwickAppClass-%1").arg(getuid()));
}

bool SingleInstance::askRunningToRaise() {
    QLocalSocket socket;
    socket.connectToServer(serverName());
    if (!socket.waitForConnected(kConnectTimeoutMs))
        return false;
    socket.write(kRaiseRequest);
    socket.waitForBytesWritten(kConnectTimeoutMs);
    socket.disconnectFromServer();
    if (socket.state() != QLocalSocket::UnconnectedState)
        socket.waitForDisconnected(kConnectTimeoutMs);
    return true;
}

bool SingleInstance::listen() {
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!m_server->listen(serverName()))
        return false;
    connect(m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* client = m_server->nextPendingConnection()) {
            connect(client, &QLocalSocket::disconnected, client, &QObject::deleteLater);
            connect(client, &QLocalSocket::readyRead, this, [this, client] {
                if (client->readAll().contains(kRaiseRequest.trimmed()))
                    emit raiseRequested();
            });
        }
    });
    return true;
}

bool SingleInstance::becomePrimary() {
    if (askRunningToRaise())
        return false;
    if (listen())
        return true;
    // The socket is left over from a start that ended without cleaning up, or another start
    // took it a moment ago: ask once more, otherwise take the name over.
    if (askRunningToRaise())
        return false;
    QLocalServer::removeServer(serverName());
    delete m_server;
    m_server = nullptr;
    listen(); // without the socket the program still runs, on its own
    return true;
}

} // namespace tw
