#include "app/TWInstanceServer.h"

#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace
{

// A hand-off carries at most this many bytes; more is not a list of paths.
constexpr qint64 kMaximumMessage = 1 << 20;
const QByteArray kAcknowledge = QByteArrayLiteral("ok\n");

} // namespace

TWInstanceServer::TWInstanceServer(QObject *parent) : QObject(parent)
{
}

TWInstanceServer::~TWInstanceServer() = default;

QString TWInstanceServer::privateFolder(const QString &path)
{
    if (path.isEmpty())
        return {};
    const QByteArray native = QFile::encodeName(path);
    if (::mkdir(native.constData(), 0700) != 0 && errno != EEXIST)
        return {};
    // Checked on the opened folder, never through a link someone else placed.
    const int descriptor = ::open(native.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW);
    if (descriptor < 0)
        return {};
    struct stat status = {};
    bool ours =
        ::fstat(descriptor, &status) == 0 && S_ISDIR(status.st_mode) && status.st_uid == ::getuid();
    if (ours && (status.st_mode & 077) != 0)
        ours = ::fchmod(descriptor, 0700) == 0;
    ::close(descriptor);
    return ours ? path : QString();
}

QString TWInstanceServer::defaultName(const QProcessEnvironment &environment)
{
    // The display (or, without one, the session) is part of the name, so a
    // start on another display or in another session gets its own instance.
    QString place = environment.value(QStringLiteral("WAYLAND_DISPLAY"));
    if (place.isEmpty())
        place = environment.value(QStringLiteral("DISPLAY"));
    if (place.isEmpty())
        place = environment.value(QStringLiteral("XDG_SESSION_ID"));
    if (place.isEmpty())
        place = QStringLiteral("console");
    QString safe;
    for (const QChar character : place)
        safe.append(character.isLetterOrNumber() || character == u'-' ? character : u'_');
    const QString fileName = QStringLiteral("tallyworth-%1").arg(safe);

    QString folder = privateFolder(environment.value(QStringLiteral("XDG_RUNTIME_DIR")));
    if (folder.isEmpty()) {
        QString temporary = environment.value(QStringLiteral("TMPDIR"));
        if (temporary.isEmpty())
            temporary = QStringLiteral("/tmp");
        folder = privateFolder(
            QDir(temporary).filePath(QStringLiteral("tallyworth-%1").arg(qulonglong(::getuid()))));
    }
    if (folder.isEmpty())
        return {};
    return QDir(folder).filePath(fileName);
}

bool TWInstanceServer::sendPaths(const QString &name, const QStringList &paths, int timeoutMs)
{
    if (name.isEmpty())
        return false;
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
    if (name.isEmpty())
        return false;
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
