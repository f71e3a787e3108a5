#include "TWLoopbackHttpServer.h"

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QHostAddress>
#include <QSslServer>
#include <QSslSocket>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <QTimer>

// The state of one accepted connection: bytes not yet parsed, and whether an answer is
// still pending (the next request on the connection waits for it).
struct TWLoopbackHttpServer::Connection : QObject {
    QTcpSocket *socket = nullptr;
    QByteArray buffer;
    bool answering = false;
};

namespace
{

QByteArray reasonPhrase(int status)
{
    switch (status) {
    case 200:
        return "OK";
    case 201:
        return "Created";
    case 204:
        return "No Content";
    case 301:
        return "Moved Permanently";
    case 302:
        return "Found";
    case 304:
        return "Not Modified";
    case 400:
        return "Bad Request";
    case 401:
        return "Unauthorized";
    case 403:
        return "Forbidden";
    case 404:
        return "Not Found";
    case 413:
        return "Payload Too Large";
    case 429:
        return "Too Many Requests";
    case 500:
        return "Internal Server Error";
    case 502:
        return "Bad Gateway";
    case 503:
        return "Service Unavailable";
    default:
        return "Status";
    }
}

bool hasHeader(const QList<TWLoopbackHttpServer::Header> &headers, const QByteArray &name)
{
    for (const auto &header : headers) {
        if (header.first.compare(name, Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

// Decodes a chunked body that starts at `from`; returns the index just past it, or -1
// while it is incomplete.
qsizetype decodeChunked(const QByteArray &data, qsizetype from, QByteArray &body)
{
    qsizetype position = from;
    for (;;) {
        const qsizetype lineEnd = data.indexOf("\r\n", position);
        if (lineEnd < 0)
            return -1;
        QByteArray sizeText = data.mid(position, lineEnd - position);
        const qsizetype extension = sizeText.indexOf(';');
        if (extension >= 0)
            sizeText.truncate(extension);
        bool ok = false;
        const qsizetype size = sizeText.trimmed().toLongLong(&ok, 16);
        if (!ok || size < 0)
            return -1;
        position = lineEnd + 2;
        if (size == 0) {
            // Trailers end with an empty line.
            const qsizetype end = data.indexOf("\r\n\r\n", position - 2);
            return end < 0 ? -1 : end + 4;
        }
        if (data.size() < position + size + 2)
            return -1;
        body += data.mid(position, size);
        position += size + 2;
    }
}

} // namespace

TWLoopbackHttpServer::Reply TWLoopbackHttpServer::Reply::ok(const QByteArray &body,
                                                            const QByteArray &contentType)
{
    Reply reply;
    reply.body = body;
    reply.addHeader("Content-Type", contentType);
    return reply;
}

TWLoopbackHttpServer::Reply TWLoopbackHttpServer::Reply::withStatus(int code,
                                                                    const QByteArray &body)
{
    Reply reply;
    reply.status = code;
    reply.body = body;
    return reply;
}

QByteArray TWLoopbackHttpServer::Request::header(const QByteArray &name) const
{
    for (const auto &entry : headers) {
        if (entry.first.compare(name, Qt::CaseInsensitive) == 0)
            return entry.second;
    }
    return {};
}

TWLoopbackHttpServer::TWLoopbackHttpServer(QObject *parent) : QObject(parent)
{
    qRegisterMetaType<TWLoopbackHttpServer::Request>();
    listen();
}

TWLoopbackHttpServer::~TWLoopbackHttpServer()
{
    if (m_thread) {
        // The sockets die on their own thread; the object then comes home to be destroyed.
        QThread *home = QThread::currentThread();
        QMetaObject::invokeMethod(
            this,
            [this, home] {
                delete m_server;
                moveToThread(home);
            },
            Qt::BlockingQueuedConnection);
        m_thread->quit();
        m_thread->wait();
        delete m_thread;
        m_thread = nullptr;
    }
    close();
}

QTcpServer *TWLoopbackHttpServer::createServer()
{
    if (!m_tls)
        return new QTcpServer(this);
    auto *server = new QSslServer(this);
    server->setSslConfiguration(m_sslConfiguration);
    return server;
}

void TWLoopbackHttpServer::onServerThread(const std::function<void()> &block)
{
    if (thread() == QThread::currentThread())
        block();
    else
        QMetaObject::invokeMethod(this, block, Qt::BlockingQueuedConnection);
}

void TWLoopbackHttpServer::replaceServer()
{
    if (m_server) {
        m_server->close();
        delete m_server;
    }
}

bool TWLoopbackHttpServer::runOnOwnThread()
{
    if (m_thread)
        return isListening();
    // The listening socket is made again on the new thread, where its notifier must live.
    replaceServer();
    m_thread = new QThread;
    m_thread->setObjectName(QStringLiteral("TWLoopbackHttpServer"));
    m_thread->start();
    moveToThread(m_thread);
    bool listening = false;
    onServerThread([this, &listening] { listening = listen(); });
    return listening;
}

bool TWLoopbackHttpServer::useTls(const QSslConfiguration &configuration)
{
    bool listening = false;
    onServerThread([this, &configuration, &listening] {
        replaceServer();
        m_tls = true;
        m_sslConfiguration = configuration;
        listening = listen();
    });
    return listening;
}

bool TWLoopbackHttpServer::listen()
{
    if (isListening())
        return true;
    if (!m_server) {
        m_server = createServer();
        // A TLS connection is handed over once its handshake is done.
        connect(m_server, &QTcpServer::pendingConnectionAvailable, this, [this] {
            while (m_server && m_server->hasPendingConnections())
                serveConnection(m_server->nextPendingConnection());
        });
    }
    return m_server->listen(QHostAddress::LocalHost, 0);
}

void TWLoopbackHttpServer::close()
{
    if (m_server)
        m_server->close();
}

bool TWLoopbackHttpServer::isListening() const
{
    return m_server && m_server->isListening();
}

quint16 TWLoopbackHttpServer::port() const
{
    return m_server ? m_server->serverPort() : 0;
}

QUrl TWLoopbackHttpServer::baseUrl() const
{
    return QUrl(QStringLiteral("%1://127.0.0.1:%2")
                    .arg(m_tls ? QStringLiteral("https") : QStringLiteral("http"))
                    .arg(port()));
}

QUrl TWLoopbackHttpServer::url(const QString &path) const
{
    return baseUrl().resolved(QUrl(path.startsWith(u'/') ? path : u'/' + path));
}

void TWLoopbackHttpServer::setReply(const QByteArray &path, const Reply &reply)
{
    setReplies(path, {reply});
}

void TWLoopbackHttpServer::setReplies(const QByteArray &path, const QList<Reply> &replies)
{
    QMutexLocker lock(&m_mutex);
    m_replies.insert(path, replies);
    m_served.remove(path);
}

void TWLoopbackHttpServer::setHandler(Handler handler)
{
    QMutexLocker lock(&m_mutex);
    m_handler = std::move(handler);
}

void TWLoopbackHttpServer::clearReplies()
{
    QMutexLocker lock(&m_mutex);
    m_replies.clear();
    m_served.clear();
    m_handler = {};
}

QList<TWLoopbackHttpServer::Request> TWLoopbackHttpServer::requests() const
{
    QMutexLocker lock(&m_mutex);
    return m_requests;
}

TWLoopbackHttpServer::Request TWLoopbackHttpServer::lastRequest() const
{
    QMutexLocker lock(&m_mutex);
    return m_requests.isEmpty() ? Request() : m_requests.last();
}

int TWLoopbackHttpServer::requestCount() const
{
    QMutexLocker lock(&m_mutex);
    return int(m_requests.size());
}

void TWLoopbackHttpServer::clearRequests()
{
    QMutexLocker lock(&m_mutex);
    m_requests.clear();
}

int TWLoopbackHttpServer::requestCount(const QByteArray &path) const
{
    QMutexLocker lock(&m_mutex);
    return int(std::count_if(m_requests.cbegin(), m_requests.cend(),
                             [&](const Request &request) { return request.path == path; }));
}

bool TWLoopbackHttpServer::waitForRequests(int count, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (requestCount() < count && !deadline.hasExpired()) {
        if (m_thread) {
            QThread::msleep(5);
            continue;
        }
        QEventLoop loop;
        QTimer::singleShot(10, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return requestCount() >= count;
}

void TWLoopbackHttpServer::serveConnection(QTcpSocket *socket)
{
    if (!socket)
        return;
    auto *connection = new Connection;
    connection->setParent(socket);
    connection->socket = socket;
    connect(socket, &QTcpSocket::readyRead, connection,
            [this, connection] { readFrom(connection); });
    connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    readFrom(connection);
}

void TWLoopbackHttpServer::readFrom(Connection *connection)
{
    connection->buffer += connection->socket->readAll();
    while (!connection->answering) {
        Request request;
        if (!parseRequest(connection, request))
            return;
        Reply reply;
        {
            QMutexLocker lock(&m_mutex);
            m_requests.append(request);
            reply = replyFor(request);
        }
        emit requestReceived(request);

        QPointer<QTcpSocket> socket = connection->socket;
        if (reply.delayMs <= 0) {
            send(socket, reply);
            continue;
        }
        connection->answering = true;
        QTimer::singleShot(reply.delayMs, connection, [this, connection, socket, reply] {
            if (!socket)
                return;
            connection->answering = false;
            send(socket, reply);
            if (socket && socket->state() == QAbstractSocket::ConnectedState)
                readFrom(connection);
        });
    }
}

bool TWLoopbackHttpServer::parseRequest(Connection *connection, Request &request)
{
    const QByteArray &data = connection->buffer;
    const qsizetype headEnd = data.indexOf("\r\n\r\n");
    if (headEnd < 0)
        return false;
    const QList<QByteArray> lines = data.left(headEnd).split('\n');
    const QList<QByteArray> requestLine = lines.value(0).trimmed().split(' ');
    request.method = requestLine.value(0);
    request.target = requestLine.value(1);
    const qsizetype query = request.target.indexOf('?');
    request.path = query < 0 ? request.target : request.target.left(query);
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QByteArray line = lines.at(i).trimmed();
        const qsizetype colon = line.indexOf(':');
        if (colon > 0)
            request.headers.append({line.left(colon).trimmed(), line.mid(colon + 1).trimmed()});
    }

    const qsizetype bodyStart = headEnd + 4;
    qsizetype end = bodyStart;
    if (request.header("Transfer-Encoding").toLower().contains("chunked")) {
        end = decodeChunked(data, bodyStart, request.body);
        if (end < 0)
            return false;
    } else {
        const qsizetype length = request.header("Content-Length").toLongLong();
        if (data.size() < bodyStart + length)
            return false;
        request.body = data.mid(bodyStart, length);
        end = bodyStart + length;
    }
    connection->buffer.remove(0, end);
    return true;
}

TWLoopbackHttpServer::Reply TWLoopbackHttpServer::replyFor(const Request &request)
{
    if (m_handler)
        return m_handler(request);
    const auto found = m_replies.constFind(request.path);
    if (found == m_replies.cend() || found->isEmpty())
        return Reply::withStatus(404, "Not Found");
    int &served = m_served[request.path];
    const Reply reply = found->at(std::min<qsizetype>(served, found->size() - 1));
    ++served;
    return reply;
}

void TWLoopbackHttpServer::send(QTcpSocket *socket, const Reply &reply)
{
    if (!socket)
        return;
    QByteArray answer =
        "HTTP/1.1 " + QByteArray::number(reply.status) + ' ' + reasonPhrase(reply.status) + "\r\n";
    for (const auto &header : reply.headers)
        answer += header.first + ": " + header.second + "\r\n";
    if (!hasHeader(reply.headers, "Content-Length"))
        answer += "Content-Length: " + QByteArray::number(reply.body.size()) + "\r\n";
    answer += "\r\n" + reply.body;

    if (reply.closeAfterBytes >= 0) {
        socket->write(answer.left(reply.closeAfterBytes));
        socket->flush();
        socket->disconnectFromHost();
        return;
    }
    socket->write(answer);
}
