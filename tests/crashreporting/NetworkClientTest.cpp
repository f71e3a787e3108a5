// The response rule and the clients' retries against the loopback server; the report upload
// client over real files.

#include "NetworkTestSupport.h"
#include "TWTestSupport.h"
#include "crashreporting/analytics/MSHAnalyticsNetworkingClient.h"
#include "crashreporting/common/MSHDispatchQueue.h"
#include "crashreporting/common/MSHFileManager.h"
#include "crashreporting/network/KTBNetworkClient.h"
#include "crashreporting/network/KTBNetworkResponseHandler.h"
#include "crashreporting/network/KTBNetworkTaskUtility.h"
#include "crashreporting/network/MSHNetworkClient.h"
#include "crashreporting/network/MSHSharedQueue.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QNetworkReply>
#include <QTcpServer>
#include <QTimeZone>

#include <gtest/gtest.h>

#include <thread>

#include <cmath>

namespace
{

TWLoopbackHttpServer::Reply reply(int status,
                                  const QList<TWLoopbackHttpServer::Header> &headers = {},
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
    server->setReply("/missing",
                     reply(404, {{"X-Request-Id", "abc-1"}, {"Content-Type", "text/plain"}}));
    server->setReply("/partial", reply(203));
    server->setReply("/html", reply(200, {{"Content-Type", "text/html"}}, "<html/>"));
    server->setReply("/json",
                     reply(200, {{"Content-Type", "application/json;charset=utf-8"}}, "{}"));
    auto client = KTBNetworkClient::create();

    MSHErrorResult error =
        requestOnce(*client, MSHURLRequest(server->url(QStringLiteral("/missing"))));
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code, -5);
    EXPECT_EQ(error->userInfo.value(QStringLiteral("request_id")).toString(),
              QStringLiteral("abc-1"));
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

namespace
{

class UploadDelegate : public MSHNetworkClientDelegate
{
public:
    QMutex mutex;
    QSemaphore told;
    QStringList paths;
    QList<MSHErrorResult> errors;

    bool background = true;
    bool networkClientCanUseBackgroundSessions(MSHNetworkClient &) override { return background; }
    void networkClient(MSHNetworkClient &, const QString &path,
                       const MSHErrorResult &error) override
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

    explicit UploadFixture(bool background = true)
    {
        delegate->background = background;
        files = std::make_shared<MSHFileManager>(folder.filePath(QStringLiteral("reports")));
        files->prepareForNewLaunch();
        package = QDir(files->preparedPath()).filePath(QStringLiteral("ABC.multipartmime"));
        QFile file(package);
        file.open(QIODevice::WriteOnly);
        file.write("--boundary\r\npackaged report\r\n--boundary--\r\n");
        file.close();
        client = MSHNetworkClient::create(MSHMakeSharedQueue("com.mishap.mac.work-queue"), files,
                                          delegate, {});
    }
};

} // namespace

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

TEST(NetworkClient, AnUploadStillRunningIsNotStartedAgain)
{
    UploadFixture fixture(false);
    auto server = twNetworkTestServer(false);
    TWLoopbackHttpServer::Reply slow = TWLoopbackHttpServer::Reply::ok("{}", "application/json");
    slow.delayMs = 1000;
    server->setReply("/reports", slow);
    const MSHURLRequest request(server->url(QStringLiteral("/reports")));
    // An urgent upload waits for its answer on its own thread while the work queue's turn
    // comes for the same package.
    std::thread urgent([&] { fixture.client->startUploadRequest(request, fixture.package, true); });
    ASSERT_TRUE(twWaitUntil([&] { return server->requestCount() >= 1; }, 5000));
    fixture.client->startUploadRequest(request, fixture.package, false);
    urgent.join();
    ASSERT_TRUE(fixture.delegate->told.tryAcquire(1, 10000));
    EXPECT_FALSE(fixture.delegate->told.tryAcquire(1, 1500));
    EXPECT_EQ(server->requestCount(), 1);

    // Once it has ended, the same package may be sent again.
    fixture.client->startUploadRequest(request, fixture.package, false);
    ASSERT_TRUE(fixture.delegate->told.tryAcquire(1, 10000));
    EXPECT_EQ(server->requestCount(), 2);
}

TEST(NetworkClient, NoRequestFollowsARedirect)
{
    // The settings decide collection, the prompt and the analytics address: a redirect must not
    // let another host answer for the service, nor receive the analytics files and the key.
    auto server = twNetworkTestServer(false);
    server->setReply("/elsewhere", reply(200, {{"Content-Type", "application/json"}}, "{}"));
    const QByteArray target = server->url(QStringLiteral("/elsewhere")).toEncoded();
    auto utility = KTBNetworkTaskUtility::create();
    ASSERT_TRUE(utility);
    MSHAnalyticsNetworkingClient analytics;
    TWTestTempDir folder;
    const QString events = folder.filePath(QStringLiteral("events.log"));
    QFile file(events);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("{}\n");
    file.close();

    for (const int status : {301, 302, 307, 308}) {
        SCOPED_TRACE(status);
        server->setReply("/moved", reply(status, {{"Location", target}}));
        server->clearRequests();

        TWNetworkOutcome settings;
        utility->beginDownloadTaskWithRequest(MSHURLRequest(server->url(QStringLiteral("/moved"))),
                                              1, settings.downloadHandler());
        ASSERT_TRUE(settings.wait(20000));
        ASSERT_TRUE(settings.error);
        EXPECT_EQ(settings.error->code, KTBNetworkErrorCode::PermanentFailure);
        EXPECT_EQ(settings.response.statusCode(), status);

        QSemaphore sent;
        MSHErrorResult analyticsError;
        analytics.transmitLogFiles({events}, server->url(QStringLiteral("/moved")),
                                   QStringLiteral("key"), [&](const MSHErrorResult &error) {
                                       analyticsError = error;
                                       sent.release();
                                   });
        ASSERT_TRUE(sent.tryAcquire(1, 20000));
        ASSERT_TRUE(analyticsError);
        EXPECT_EQ(analyticsError->code, KTBNetworkErrorCode::PermanentFailure);

        EXPECT_EQ(server->requestCount("/moved"), 2);
        EXPECT_EQ(server->requestCount("/elsewhere"), 0);
    }
}
