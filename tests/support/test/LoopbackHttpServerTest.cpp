// The loopback server every network test relies on: canned replies, recording, delays and
// connections closed early, exercised through QNetworkAccessManager as the clients use it.

#include "TWLoopbackHttpServer.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>

#include <gtest/gtest.h>

namespace
{

struct Result {
    int status = 0;
    QNetworkReply::NetworkError error = QNetworkReply::NoError;
    QByteArray body;
    QByteArray contentType;
};

Result run(QNetworkAccessManager &manager, QNetworkReply *reply)
{
    QEventLoop loop;
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    QTimer::singleShot(5000, &loop, &QEventLoop::quit);
    loop.exec();
    Q_UNUSED(manager);
    Result result;
    EXPECT_TRUE(reply->isFinished());
    result.status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    result.error = reply->error();
    result.body = reply->readAll();
    result.contentType = reply->rawHeader("Content-Type");
    reply->deleteLater();
    return result;
}

} // namespace

TEST(LoopbackHttpServer, AnswersCannedRepliesAndRecordsRequestsWhole)
{
    TWLoopbackHttpServer server;
    ASSERT_TRUE(server.isListening());
    EXPECT_NE(server.port(), 0);
    EXPECT_EQ(server.baseUrl().host(), QStringLiteral("127.0.0.1"));

    TWLoopbackHttpServer::Reply canned = TWLoopbackHttpServer::Reply::ok("1.2.3\n");
    canned.addHeader("X-Extra", "yes");
    server.setReply("/update/file.txt", canned);

    QNetworkAccessManager manager;
    Result got = run(manager, manager.get(QNetworkRequest(server.url("/update/file.txt?x=1"))));
    EXPECT_EQ(got.status, 200);
    EXPECT_EQ(got.body, QByteArray("1.2.3\n"));
    EXPECT_EQ(got.contentType, QByteArray("text/plain"));

    QNetworkRequest post(server.url("/upload"));
    post.setHeader(QNetworkRequest::ContentTypeHeader, QByteArray("application/octet-stream"));
    post.setRawHeader("X-Token", "abc");
    const QByteArray payload(100000, 'p');
    got = run(manager, manager.post(post, payload));
    EXPECT_EQ(got.status, 404);

    ASSERT_EQ(server.requestCount(), 2);
    EXPECT_EQ(server.requestCount("/update/file.txt"), 1);
    const auto first = server.requests().at(0);
    EXPECT_EQ(first.method, QByteArray("GET"));
    EXPECT_EQ(first.target, QByteArray("/update/file.txt?x=1"));
    EXPECT_EQ(first.path, QByteArray("/update/file.txt"));
    const auto second = server.lastRequest();
    EXPECT_EQ(second.method, QByteArray("POST"));
    EXPECT_EQ(second.header("x-token"), QByteArray("abc"));
    EXPECT_EQ(second.body, payload);
}

TEST(LoopbackHttpServer, RepliesInTurnThenTheLastRepeats)
{
    TWLoopbackHttpServer server;
    server.setReplies("/r", {TWLoopbackHttpServer::Reply::withStatus(500),
                             TWLoopbackHttpServer::Reply::ok("fine")});
    QNetworkAccessManager manager;
    EXPECT_EQ(run(manager, manager.get(QNetworkRequest(server.url("/r")))).status, 500);
    EXPECT_EQ(run(manager, manager.get(QNetworkRequest(server.url("/r")))).body, "fine");
    EXPECT_EQ(run(manager, manager.get(QNetworkRequest(server.url("/r")))).body, "fine");

    server.setHandler([](const TWLoopbackHttpServer::Request &request) {
        return TWLoopbackHttpServer::Reply::ok("echo " + request.target);
    });
    EXPECT_EQ(run(manager, manager.get(QNetworkRequest(server.url("/any")))).body, "echo /any");
    EXPECT_EQ(server.requestCount("/r"), 3);
}

TEST(LoopbackHttpServer, DelaysAndClosesEarly)
{
    TWLoopbackHttpServer server;
    TWLoopbackHttpServer::Reply slow = TWLoopbackHttpServer::Reply::ok("late");
    slow.delayMs = 300;
    server.setReply("/slow", slow);
    TWLoopbackHttpServer::Reply cut = TWLoopbackHttpServer::Reply::ok(QByteArray(1000, 'x'));
    cut.closeAfterBytes = 80;
    server.setReply("/cut", cut);
    TWLoopbackHttpServer::Reply silent = TWLoopbackHttpServer::Reply::ok("never");
    silent.closeAfterBytes = 0;
    server.setReply("/silent", silent);

    QNetworkAccessManager manager;
    QElapsedTimer timer;
    timer.start();
    EXPECT_EQ(run(manager, manager.get(QNetworkRequest(server.url("/slow")))).body, "late");
    EXPECT_GE(timer.elapsed(), 250);

    EXPECT_NE(run(manager, manager.get(QNetworkRequest(server.url("/cut")))).error,
              QNetworkReply::NoError);
    EXPECT_NE(run(manager, manager.get(QNetworkRequest(server.url("/silent")))).error,
              QNetworkReply::NoError);
    EXPECT_GE(server.requestCount("/cut"), 1);
}

TEST(LoopbackHttpServer, WaitsForRequests)
{
    TWLoopbackHttpServer server;
    server.setReply("/ping", TWLoopbackHttpServer::Reply::ok("pong"));
    QNetworkAccessManager manager;
    QNetworkReply *reply = manager.get(QNetworkRequest(server.url("/ping")));
    EXPECT_TRUE(server.waitForRequests(1));
    EXPECT_FALSE(server.waitForRequests(2, 100));
    reply->abort();
    reply->deleteLater();
}
