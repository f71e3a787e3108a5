#include "TWInstanceServer.h"

#include <QDataStream>
#include <QLocalServer>
#include <QLocalSocket>

#include <unistd.h>

namespace
{

// A hand-off carries at most this many bytes; more is not a list of paths.
constexpr qint64 kMaximumMessage = 1 << 20;
const QByteArray kAcknowledge = QByteArrayLiteral("ok\n");

} // namespace

TWInstanceServer::TWInstanceServer(QObject *parent) : QObject(parent) {}

TWInstanceServer::~TWInstanceServer() = default;

QString TWInstanceServer::defaultName()
{
    QString user = qEnvironmentVariable("USER");
    if (user.isEmpty())
        user = QString::number(qulonglong(getuid()));
    return QStringLiteral("tallyworth-%1").arg(user);
}

bool TWInstanceServer::sendPaths(const QString &name, const QStringList &paths, int timeoutMs)
{
    QLocalSocket socket;
    socket.connectToServer(name);
    if (!socket.waitForConnected(timeoutMs))
        return false;
    QByteArray message;
    QDataStream stream(&message, QIODevice::WriteOnly);
    stream << paths;
    QByteArray framed;
    QDataStream frame(&framed, QIODevice::WriteOnly);
    frame << quint32(message.size());
    framed.append(message);
    socket.write(framed);
    if (!socket.waitForBytesWritten(timeoutMs))
        return false;
    // The instance confirms once it has the paths.
    while (socket.bytesAvailable() < kAcknowledge.size())
        if (!socket.waitForReadyRead(timeoutMs))
            return false;
    return socket.read(kAcknowledge.size()) == kAcknowledge;
}

bool TWInstanceServer::listen(const QString &name)
{
    // An instance that answers there keeps the name; a socket file nobody
    // answers on was left by one that ended.
    {
        QLocalSocket probe;
        probe.connectToServer(name);
        if (probe.waitForConnected(500))
            return false;
    }
    delete m_server;
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!m_server->listen(name)) {
        QLocalServer::removeServer(name);
        if (!m_server->listen(name))
            return false;
    }
    connect(m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket *socket = m_server->nextPendingConnection()) {
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            connect(socket, &QLocalSocket::readyRead, socket, [this, socket] {
                if (socket->bytesAvailable() < qint64(sizeof(quint32)))
                    return;
                QDataStream header(socket->peek(sizeof(quint32)));
                quint32 size = 0;
                header >> size;
                if (size > kMaximumMessage) {
                    socket->abort();
                    return;
                }
                if (socket->bytesAvailable() < qint64(sizeof(quint32) + size))
                    return;
                socket->read(sizeof(quint32));
                QDataStream stream(socket->read(size));
                QStringList paths;
                stream >> paths;
                if (stream.status() != QDataStream::Ok)
                    return socket->abort();
                socket->write(kAcknowledge);
                socket->flush();
                emit pathsReceived(paths);
            });
        }
    });
    return true;
}
