#pragma once
// The one HTTP server of every network test: it listens on 127.0.0.1 at a port the system
// picks, answers each path with a canned reply (status, headers, body, a delay, a connection
// closed early) and records every request whole, so that no test reaches the internet.
// It can run on a thread of its own (so that a test thread blocked in a synchronous request is
// still answered) and speak HTTPS with a certificate the test hands in.

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QPair>
#include <QPointer>
#include <QRecursiveMutex>
#include <QSslConfiguration>
#include <QUrl>

#include <functional>

class QTcpServer;
class QTcpSocket;
class QThread;

class TWLoopbackHttpServer : public QObject
{
    Q_OBJECT

public:
    using Header = QPair<QByteArray, QByteArray>;

    // What the server answers. Content-Length is added unless the headers name one.
    struct Reply {
        int status = 200;
        QList<Header> headers;
        QByteArray body;
        // Milliseconds between the end of the request and the first byte of the answer.
        int delayMs = 0;
        // Below zero the whole answer is sent; otherwise the connection is closed after this
        // many bytes of it (0: closed without a byte).
        qsizetype closeAfterBytes = -1;

        void addHeader(const QByteArray &name, const QByteArray &value)
        {
            headers.append(Header(name, value));
        }

        static Reply ok(const QByteArray &body, const QByteArray &contentType = "text/plain");
        static Reply withStatus(int code, const QByteArray &body = {});
    };

    // One request as it arrived. `target` is the request line's target (path and query);
    // `path` is the target without its query.
    struct Request {
        QByteArray method;
        QByteArray target;
        QByteArray path;
        QList<Header> headers;
        QByteArray body;

        // The first value of a header, its name compared without case; empty when absent.
        QByteArray header(const QByteArray &name) const;
    };

    // Decides the answer to a request itself; used instead of the canned replies when set.
    using Handler = std::function<Reply(const Request &)>;

    explicit TWLoopbackHttpServer(QObject *parent = nullptr);
    ~TWLoopbackHttpServer() override;

    // Starts listening on 127.0.0.1 at a free port. The constructor already does; this is
    // for a server that was stopped. Returns whether it listens.
    bool listen();
    void close();
    bool isListening() const;
    quint16 port() const;
    // Moves the server onto a thread of its own and listens again there (at a new port).
    // Everything else stays callable from the test's thread.
    bool runOnOwnThread();
    // Speaks HTTPS from now on with the configuration's certificate chain and key, and listens
    // again (at a new port); baseUrl() then starts with "https".
    bool useTls(const QSslConfiguration &configuration);
    bool isTls() const { return m_tls; }

    // "http://127.0.0.1:<port>"; `url("/a/b?c=d")` adds a path and query.
    QUrl baseUrl() const;
    QUrl url(const QString &path) const;

    // The reply for a path (the target without its query). Paths without a reply get 404.
    void setReply(const QByteArray &path, const Reply &reply);
    // Replies given in turn to successive requests for the path; the last one repeats.
    void setReplies(const QByteArray &path, const QList<Reply> &replies);
    void setHandler(Handler handler);
    void clearReplies();

    QList<Request> requests() const;
    Request lastRequest() const;
    int requestCount() const;
    int requestCount(const QByteArray &path) const;
    void clearRequests();

    // Runs the event loop until at least `count` requests have arrived in total, or the
    // time is up. Returns whether they arrived.
    bool waitForRequests(int count, int timeoutMs = 5000);

signals:
    void requestReceived(const TWLoopbackHttpServer::Request &request);

protected:
    // The listening server; a subclass may return one of its own (for example one that
    // speaks TLS). Called by listen().
    virtual QTcpServer *createServer();
    // Takes over one accepted connection; a subclass with a server of its own may call it.
    void serveConnection(QTcpSocket *socket);

private:
    struct Connection;
    // Runs the block on the server's thread and waits for it.
    void onServerThread(const std::function<void()> &block);
    void replaceServer();
    void readFrom(Connection *connection);
    bool parseRequest(Connection *connection, Request &request);
    Reply replyFor(const Request &request);
    void send(QTcpSocket *socket, const Reply &reply);

    QPointer<QTcpServer> m_server;
    QHash<QByteArray, QList<Reply>> m_replies;
    QHash<QByteArray, int> m_served;
    Handler m_handler;
    QList<Request> m_requests;
    // Guards the replies and the recorded requests; recursive because a handler may ask the
    // server about earlier requests.
    mutable QRecursiveMutex m_mutex;
    QThread *m_thread = nullptr;
    bool m_tls = false;
    QSslConfiguration m_sslConfiguration;
};
