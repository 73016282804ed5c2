#include "desktop/instance_channel.h"

#include <QLocalServer>
#include <QLocalSocket>

#include "files/native_names.h"
#include "runtime/app.h"

namespace instance {

void listen(std::function<void(const QString&)> handler)
{
    static QLocalServer* server = nullptr;
    if (server)
        return;
    server = new QLocalServer;
    server->setSocketOptions(QLocalServer::UserAccessOption);
    // Only the lock holder gets here, so a socket file left by a crash is stale.
    QLocalServer::removeServer(App::instanceSocket());
    if (!server->listen(App::instanceSocket()))
        return;
    QObject::connect(server, &QLocalServer::newConnection, [handler] {
        while (QLocalSocket* socket = server->nextPendingConnection()) {
            auto received = std::make_shared<QByteArray>();
            QObject::connect(socket, &QLocalSocket::readyRead, socket, [socket, received] { *received += socket->readAll(); });
            QObject::connect(socket, &QLocalSocket::disconnected, socket, [socket, received, handler] {
                *received += socket->readAll();
                socket->deleteLater();
                if (received->endsWith('\n'))
                    handler(native_names::decode(received->chopped(1)));
            });
        }
    });
}

bool handOver(const QString& path)
{
    QLocalSocket socket;
    socket.connectToServer(App::instanceSocket());
    if (!socket.waitForConnected(3000))
        return false;
    socket.write(native_names::encode(path) + '\n');
    if (!socket.waitForBytesWritten(3000))
        return false;
    socket.disconnectFromServer();
    if (socket.state() != QLocalSocket::UnconnectedState)
        socket.waitForDisconnected(3000);
    return true;
}

} // namespace instance
