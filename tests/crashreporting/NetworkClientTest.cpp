// The response rule and the clients' retries against the loopback server; the report upload
// client over real files.

#include "KTBNetworkClient.h"
#include "KTBNetworkResponseHandler.h"
#include "MSHDispatchQueue.h"
#include "MSHFileManager.h"
#include "MSHNetworkClient.h"
#include "MSHSharedQueue.h"
#include "NetworkTestSupport.h"
#include "TWTestSupport.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QNetworkReply>
#include <QTcpServer>
#include <QTimeZone>

#include <gtest/gtest.h>

#include <cmath>

namespace
{

MSHHTTPURLResponse responseWith(int status, const MSHHeaderList &headers = {})
{
    return MSHHTTPURLResponse(QUrl(QStringLiteral("http://127.0.0.1/")), status, headers);
}

TWLoopbackHttpServer::Reply reply(int status, const QList<TWLoopbackHttpServer::Header> &headers = {},
                                  const QByteArray &body = {})
{
    TWLoopbackHttpServer::Reply answer = TWLoopbackHttpServer::Reply::withStatus(status, body);
    answer.headers = headers;
    return answer;
}

// A port nothing listens on.
quint16 closedPort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    const quint16 port = probe.serverPort();
    probe.close();
    return port;
}

MSHErrorResult requestOnce(KTBNetworkClient &client, const MSHURLRequest &request)
{
    TWNetworkOutcome outcome;
    client.startDataTaskWithRequest(request, outcome.dataHandler());
    EXPECT_TRUE(outcome.wait(20000));
    EXPECT_EQ(outcome.calls, 1);
    return outcome.error;
}

} // namespace

TEST(NetworkClient, StatusTable)
{
    using H = KTBNetworkResponseHandler;
    const QList<std::pair<QList<int>, H::ResponseType>> table = {
        {{200, 201, 202, 204, 304}, H::Success},
        {{400, 401, 403, 404, 406, 410, 411, 413, 419, 422, 431}, H::ClientFailure},
        {{420, 429}, H::Throttled},
        {{408, 500, 503, 599}, H::ServerFailure},
        {{100, 199, 203, 205, 302, 303, 305, 399, 402, 409, 432, 499, 600, 999}, H::PermanentFailure},
    };
    for (const auto &[statuses, type] : table) {
        for (int status : statuses)
            EXPECT_EQ(H::responseTypeForStatus(status), type) << status;
    }
    H::clientResponseType(nullptr, [](H::ResponseType type, int status) {
        EXPECT_EQ(type, H::PermanentFailure);
        EXPECT_EQ(status, 0);
    });
    const MSHErrorResult error =
        H::errorForResponse(responseWith(503, {{"X-Request-Id", "req-7"}}), H::ServerFailure, 503);
    ASSERT_TRUE(error);
    EXPECT_EQ(error->domain, QStringLiteral("KTBNetworkError"));
    EXPECT_EQ(error->code, -1);
    EXPECT_EQ(error->userInfo.value(QStringLiteral("type")).toInt(), 3);
    EXPECT_EQ(error->userInfo.value(QStringLiteral("status_code")).toInt(), 503);
    EXPECT_EQ(error->userInfo.value(QStringLiteral("request_id")).toString(), QStringLiteral("req-7"));
    EXPECT_EQ(error->userInfo.value(QStringLiteral("content_type")).toString(), QString());
}

TEST(NetworkClient, ComputedDelaysHonourTheServerWithinBounds)
{
    TWFixedClock clock(QDateTime(QDate(2026, 3, 2), QTime(10, 0, 0), QTimeZone::utc()));
    const auto delayFor = [](const QByteArray &retryAfter, int count) {
        MSHHeaderList headers;
        if (!retryAfter.isNull())
            headers.append({"Retry-After", retryAfter});
        return KTBNetworkClient::computeDelayForResponse(responseWith(429, headers), count);
    };
    const auto within = [](double value, double nominal) {
        return value >= nominal * 0.89 && value <= nominal * 1.11;
    };
    EXPECT_TRUE(within(delayFor(QByteArray(), 1), 300)) << delayFor(QByteArray(), 1);
    EXPECT_TRUE(within(delayFor(QByteArray(), 0), 300));
    EXPECT_TRUE(within(delayFor("2", 3), 6));
    EXPECT_TRUE(within(delayFor("0.01", 10), 0.1));
    // The HTTP-date form is a moment, 90 seconds ahead of the pinned clock here.
    EXPECT_TRUE(within(delayFor("Mon, 02 Mar 2026 10:01:30 GMT", 1), 90))
        << delayFor("Mon, 02 Mar 2026 10:01:30 GMT", 1);
    EXPECT_EQ(KTBNetworkResponseHandler::retryValueForResponse(
                  responseWith(503, {{"Retry-After", "Sunday, 01-Mar-26 10:00:00 GMT"}})),
              0.0);
    // Unreadable or negative values count as absent; huge ones are capped at an hour.
    EXPECT_TRUE(within(delayFor("abc", 1), 300));
    EXPECT_TRUE(within(delayFor("nan", 1), 300));
    EXPECT_TRUE(within(delayFor("-5", 1), 300));
    EXPECT_TRUE(within(delayFor("1e30", 1), 3600) && delayFor("1e30", 1) <= 3600.0);
    EXPECT_TRUE(within(delayFor("inf", 1), 300));
    EXPECT_EQ(delayFor("3000", 10), 3600.0);
    for (int i = 0; i < 200; ++i) {
        const double jitter = KTBNetworkClient::generateRandomJitter();
        ASSERT_GE(jitter, double(0.9f));
        ASSERT_LT(jitter, double(1.1f));
    }
}

TEST(NetworkClient, ThrottledRequestsAreRetriedWithGrowingDelaysUntilTheyRunOut)
{
    auto server = twNetworkTestServer(false);
    QMutex mutex;
    QList<qint64> arrivals;
    QElapsedTimer clock;
    clock.start();
    server->setHandler([&](const TWLoopbackHttpServer::Request &) {
        QMutexLocker lock(&mutex);
        arrivals.append(clock.nsecsElapsed());
        return reply(429, {{"Retry-After", "0.01"}});
    });
    auto client = KTBNetworkClient::create();
    ASSERT_TRUE(client);
    const MSHErrorResult error =
        requestOnce(*client, MSHURLRequest(server->url(QStringLiteral("/busy"))));
    ASSERT_TRUE(error);
    EXPECT_EQ(error->domain, QStringLiteral("KTBNetworkError"));
    EXPECT_EQ(error->code, -6);
    EXPECT_TRUE(error->userInfo.isEmpty());
    EXPECT_EQ(server->requestCount(), 11);

    QMutexLocker lock(&mutex);
    ASSERT_EQ(arrivals.size(), 11);
    // Waits of about 10 ms × the attempt number: the tenth alone at least 0.9 × 100 ms, and all
    // of them together at least 0.9 × 550 ms (only lower bounds: a busy machine is slower).
    const double lastGap = double(arrivals[10] - arrivals[9]) / 1e9;
    EXPECT_GE(lastGap, 0.089);
    EXPECT_GE(double(arrivals[10] - arrivals[0]) / 1e9, 0.49);
}

TEST(NetworkClient, PermanentFailuresEndAtOnce)
{
    auto server = twNetworkTestServer(false);
    server->setReply("/missing", reply(404, {{"X-Request-Id", "abc-1"}, {"Content-Type", "text/plain"}}));
    server->setReply("/partial", reply(203));
    server->setReply("/html", reply(200, {{"Content-Type", "text/html"}}, "<html/>"));
    server->setReply("/json", reply(200, {{"Content-Type", "application/json;charset=utf-8"}}, "{}"));
    auto client = KTBNetworkClient::create();

    MSHErrorResult error = requestOnce(*client, MSHURLRequest(server->url(QStringLiteral("/missing"))));
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code, -5);
    EXPECT_EQ(error->userInfo.value(QStringLiteral("request_id")).toString(), QStringLiteral("abc-1"));
    EXPECT_EQ(error->userInfo.value(QStringLiteral("content_type")).toString(),
              QStringLiteral("text/plain"));

    error = requestOnce(*client, MSHURLRequest(server->url(QStringLiteral("/partial"))));
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code, -4);

    MSHURLRequest wantsJSON(server->url(QStringLiteral("/html")));
    wantsJSON.setValue("application/json", "Accept");
    wantsJSON.setValue("utf-8", "Accept-Charset");
    error = requestOnce(*client, wantsJSON);
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code, -4);

    wantsJSON.setURL(server->url(QStringLiteral("/json")));
    EXPECT_FALSE(requestOnce(*client, wantsJSON));
    // None of them was tried twice.
    EXPECT_EQ(server->requestCount(), 4);
}

TEST(NetworkClient, ContentTypesAreReadAsMediaTypeAndParameters)
{
    MSHURLRequest request(QUrl(QStringLiteral("http://127.0.0.1/")));
    const auto matches = [&](const QByteArray &contentType) {
        MSHHeaderList headers;
        if (!contentType.isNull())
            headers.append({"Content-Type", contentType});
        return KTBNetworkResponseHandler::contentTypeForResponse(responseWith(200, headers), request);
    };
    EXPECT_TRUE(matches(QByteArray()));
    EXPECT_TRUE(matches("text/html"));
    request.setValue("application/json", "Accept");
    request.setValue("utf-8", "Accept-Charset");
    EXPECT_TRUE(matches("application/json; charset=utf-8"));
    EXPECT_TRUE(matches("application/json;charset=utf-8"));
    EXPECT_TRUE(matches("Application/JSON ; Charset=\"UTF-8\""));
    EXPECT_TRUE(matches("application/json"));
    EXPECT_TRUE(matches("application/json; version=2"));
    EXPECT_FALSE(matches("text/html"));
    EXPECT_FALSE(matches("application/json; charset=iso-8859-1"));
    EXPECT_FALSE(matches("application/jsonx"));
    EXPECT_FALSE(matches(QByteArray()));
}

TEST(NetworkClient, TransportErrorsComeBackUnchangedAndAreNotRetried)
{
    auto client = KTBNetworkClient::create();
    QElapsedTimer timer;
    timer.start();
    const MSHErrorResult error = requestOnce(
        *client, MSHURLRequest(QUrl(QStringLiteral("http://127.0.0.1:%1/x").arg(closedPort()))));
    ASSERT_TRUE(error);
    EXPECT_EQ(error->domain, QStringLiteral("QNetworkReply"));
    EXPECT_EQ(error->code, QNetworkReply::ConnectionRefusedError);
    EXPECT_LT(timer.elapsed(), 5000);
}

TEST(NetworkClient, RequestsWithoutAServiceAddressAreNeverSent)
{
    auto client = KTBNetworkClient::create();
    for (const QString &address : {QString(), QStringLiteral("/spi/v2/platforms/linux/apps"),
                                   QStringLiteral("ftp://127.0.0.1/x"), QStringLiteral("file:///etc/passwd")}) {
        const MSHErrorResult error = requestOnce(*client, MSHURLRequest(QUrl(address)));
        ASSERT_TRUE(error) << address.toStdString();
        EXPECT_EQ(error->domain, QStringLiteral("KTBNetworkError"));
        EXPECT_EQ(error->code, -2);
    }
}

namespace
{

class UploadDelegate : public MSHNetworkClientDelegate
{
public:
    QMutex mutex;
    QSemaphore told;
    QStringList paths;
    QList<MSHErrorResult> errors;

    bool networkClientCanUseBackgroundSessions(MSHNetworkClient &) override { return true; }
    void networkClient(MSHNetworkClient &, const QString &path, const MSHErrorResult &error) override
    {
        {
            QMutexLocker lock(&mutex);
            paths << path;
            errors << error;
        }
        told.release();
    }
};

struct UploadFixture {
    TWTestTempDir folder;
    std::shared_ptr<MSHFileManager> files;
    std::shared_ptr<UploadDelegate> delegate = std::make_shared<UploadDelegate>();
    std::shared_ptr<MSHNetworkClient> client;
    QString package;

    UploadFixture()
    {
        files = std::make_shared<MSHFileManager>(folder.filePath(QStringLiteral("reports")));
        files->prepareForNewLaunch();
        package = QDir(files->preparedPath()).filePath(QStringLiteral("ABC.multipartmime"));
        QFile file(package);
        file.open(QIODevice::WriteOnly);
        file.write("--boundary\r\npackaged report\r\n--boundary--\r\n");
        file.close();
        client = MSHNetworkClient::create(
            MSHMakeSharedQueue("com.mishap.mac.work-queue"), files, delegate, {});
    }
};

} // namespace

TEST(NetworkClient, UrgentUploadsAreSentWhileTheCallerWaits)
{
    auto server = twNetworkTestServer(false);
    server->setReplies("/reports", {reply(500), reply(202)});
    UploadFixture fixture;
    EXPECT_FALSE(fixture.client->supportsBackgroundRequests());
    MSHURLRequest request(server->url(QStringLiteral("/reports")));
    request.setHTTPMethod("POST");

    // A 500 leaves the report for later and tells the delegate nothing.
    fixture.client->startUploadRequest(request, fixture.package, true);
    EXPECT_EQ(server->requestCount(), 1);
    EXPECT_FALSE(fixture.delegate->told.tryAcquire(1, 300));
    EXPECT_TRUE(QFile::exists(fixture.package));

    fixture.client->startUploadRequest(request, fixture.package, true);
    ASSERT_EQ(server->requestCount(), 2);
    EXPECT_EQ(server->lastRequest().method, QByteArray("POST"));
    EXPECT_EQ(server->lastRequest().body,
              QByteArray("--boundary\r\npackaged report\r\n--boundary--\r\n"));
    ASSERT_TRUE(fixture.delegate->told.tryAcquire(1, 5000));
    QMutexLocker lock(&fixture.delegate->mutex);
    EXPECT_EQ(fixture.delegate->paths, QStringList{fixture.package});
    EXPECT_FALSE(fixture.delegate->errors.first());
}

TEST(NetworkClient, AnUnreadableReportIsHandedBackWithItsPath)
{
    UploadFixture fixture;
    const QString missing =
        QDir(fixture.files->preparedPath()).filePath(QStringLiteral("gone.multipartmime"));
    fixture.client->startUploadRequest(MSHURLRequest(QUrl(QStringLiteral("http://127.0.0.1:1/r"))),
                                       missing, false);
    ASSERT_TRUE(fixture.delegate->told.tryAcquire(1, 5000));
    QMutexLocker lock(&fixture.delegate->mutex);
    EXPECT_EQ(fixture.delegate->paths, QStringList{missing});
    const MSHErrorResult error = fixture.delegate->errors.first();
    ASSERT_TRUE(error);
    EXPECT_EQ(error->domain, QStringLiteral("MSHNetworkError"));
    EXPECT_EQ(error->code, -2);
    EXPECT_EQ(error->userInfo.value(QStringLiteral("path")).toString(), missing);
}

TEST(NetworkClient, UploadTasksAreLabelledAndRestartedABoundedNumberOfTimes)
{
    auto server = twNetworkTestServer(false);
    server->setReply("/reports", reply(503, {{"Retry-After", "0.01"}}));
    UploadFixture fixture;
    EXPECT_EQ(fixture.client->relativeTaskPathForAbsolutePath(fixture.package),
              QStringLiteral("v3/prepared/ABC.multipartmime"));
    EXPECT_EQ(fixture.client->absolutePathForRelativeTaskPath(
                  QStringLiteral("v3/prepared/ABC.multipartmime")),
              fixture.package);
    EXPECT_EQ(fixture.client->relativeTaskPathForAbsolutePath(QStringLiteral("/elsewhere/x")),
              QString());

    MSHURLRequest request(server->url(QStringLiteral("/reports")));
    request.setHTTPMethod("POST");
    fixture.client->startUploadRequest(request, fixture.package, false);
    // A second start while the first runs is skipped.
    fixture.client->startUploadRequest(request, fixture.package, false);
    ASSERT_TRUE(fixture.delegate->told.tryAcquire(1, 15000));
    // The first attempt and ten restarts, then the owner's own retry takes over.
    EXPECT_EQ(server->requestCount(), 11);
    EXPECT_FALSE(fixture.delegate->told.tryAcquire(1, 300));
    EXPECT_EQ(server->requestCount(), 11);
    QMutexLocker lock(&fixture.delegate->mutex);
    EXPECT_EQ(fixture.delegate->paths, QStringList{fixture.package});
    const MSHErrorResult error = fixture.delegate->errors.first();
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code, -1);
    EXPECT_EQ(error->userInfo.value(QStringLiteral("status_code")).toInt(), 503);
}
