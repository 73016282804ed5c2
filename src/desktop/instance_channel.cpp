#include "desktop/instance_channel.h"

#include <sys/socket.h>
#include <unistd.h>

#include <QLocalServer>
#include <QLocalSocket>
#include <QDeadlineTimer>
#include <QPointer>
#include <QThread>
#include <QTimer>

#include "files/native_names.h"
#include "runtime/app.h"
#include "runtime/private_folder.h"

namespace instance {
namespace {

// The user the process at the other end of a connected socket runs as.
bool peerIsThisUser(const QLocalSocket& socket)
{
    struct ucred peer {};
    socklen_t size = sizeof peer;
    const int fd = static_cast<int>(socket.socketDescriptor());
    return fd >= 0 && ::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &size) == 0 && size == sizeof peer
           && peer.uid == ::geteuid();
}

void close(QLocalSocket* socket)
{
    socket->abort();
    socket->deleteLater();
}

// One connection: its line is read in bounded pieces; a line too long, a
// connection kept idle, or one that ends without a full line delivers nothing.
void take(QLocalSocket* socket, const Handler& handler, int idleMilliseconds)
{
    socket->setReadBufferSize(longestLine);
    auto* idle = new QTimer(socket);
    idle->setSingleShot(true);
    QObject::connect(idle, &QTimer::timeout, socket, [socket] { close(socket); });
    idle->start(idleMilliseconds);
    auto received = std::make_shared<QByteArray>();
    QObject::connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    QObject::connect(socket, &QLocalSocket::readyRead, socket, [socket, received, handler] {
        *received += socket->read(longestLine - received->size());
        const qsizetype end = received->indexOf('\n');
        if (end < 0 && received->size() < longestLine)
            return;
        if (end < 0) {
            close(socket);
            return;
        }
        // The answer tells the sender its path arrived; it closes once written.
        socket->write("ok\n");
        socket->disconnectFromServer();
        handler(native_names::decode(QByteArray::fromPercentEncoding(received->left(end))));
    });
}

} // namespace

std::unique_ptr<QLocalServer> serve(const QString& socketName, Handler handler, int idleMilliseconds)
{
    auto server = std::make_unique<QLocalServer>();
    server->setSocketOptions(QLocalServer::UserAccessOption);
    // Only the lock holder gets here, in a folder of its user's alone, so a socket file left there is stale.
    QLocalServer::removeServer(socketName);
    if (!server->listen(socketName)) {
        qWarning("kiriview: no instance door: %s", qPrintable(server->errorString()));
        return nullptr;
    }
    auto open = std::make_shared<int>(0);
    QLocalServer* raw = server.get();
    QObject::connect(raw, &QLocalServer::newConnection, raw, [raw, open, handler, idleMilliseconds] {
        while (QLocalSocket* socket = raw->nextPendingConnection()) {
            if (*open >= mostConnections || !peerIsThisUser(*socket)) {
                close(socket);
                continue;
            }
            ++*open;
            // Counted until closed, not until deleted: a handler showing a box defers the deletion.
            QObject::connect(socket, &QLocalSocket::disconnected, [open] { --*open; });
            take(socket, handler, idleMilliseconds);
        }
    });
    return server;
}

namespace {

Delivery sendOnce(const QString& socketName, const QByteArray& line)
{
    QLocalSocket socket;
    socket.connectToServer(socketName);
    if (!socket.waitForConnected(3000))
        return Delivery::NoListener;
    // Checked once connected, so what was checked is what is connected.
    const QString why = private_folder::problem(socketName, private_folder::Kind::Socket);
    if (!why.isEmpty() || !peerIsThisUser(socket)) {
        qWarning("kiriview: %s is not this user's instance: %s", qPrintable(socketName),
                 qPrintable(why.isEmpty() ? QStringLiteral("another user listens on it") : why));
        socket.abort();
        return Delivery::NoListener;
    }
    socket.write(line);
    if (!socket.waitForBytesWritten(3000))
        return Delivery::Refused;
    // A busy instance closes without a word; a written line alone proves nothing.
    QByteArray answer;
    while (answer.size() < 3 && socket.waitForReadyRead(3000))
        answer += socket.read(3 - answer.size());
    socket.abort();
    return answer == "ok\n" ? Delivery::Taken : Delivery::Refused;
}

} // namespace

Delivery send(const QString& socketName, const QString& path, int patienceMilliseconds)
{
    const QByteArray line = native_names::encode(path).toPercentEncoding("/") + '\n';
    const QDeadlineTimer patience(patienceMilliseconds);
    for (;;) {
        const Delivery delivery = sendOnce(socketName, line);
        if (delivery != Delivery::Refused || patience.hasExpired())
            return delivery;
        QThread::msleep(200);
    }
}

void listen(Handler handler)
{
    // Lives as long as the process, like the lock beside it.
    static QLocalServer* server = nullptr;
    const QString name = App::instanceSocket();
    if (!server && !name.isEmpty())
        server = serve(name, std::move(handler)).release();
}

Delivery handOver(const QString& path)
{
    const QString name = App::instanceSocket();
    return name.isEmpty() ? Delivery::NoListener : send(name, path);
}

} // namespace instance
