// The component's HTTP session: what reaches the wire, who hears about a task, and what a
// download leaves behind.

#include "MSHURLSession.h"
#include "NetworkTestSupport.h"

#include <QFileInfo>

#include <gtest/gtest.h>

#include <atomic>

namespace
{

class CountingDelegate : public MSHURLSessionDelegate
{
public:
    std::atomic<int> responses{0};
    std::atomic<int> chunks{0};
    std::atomic<int> downloads{0};
    std::atomic<int> completions{0};

    void URLSessionDataTaskDidReceiveResponse(MSHURLSession &, const MSHURLSessionTaskPtr &,
                                              const MSHHTTPURLResponse &) override
    {
        ++responses;
    }
    void URLSessionDataTaskDidReceiveData(MSHURLSession &, const MSHURLSessionTaskPtr &,
                                          const QByteArray &) override
    {
        ++chunks;
    }
    void URLSessionDownloadTaskDidFinishDownloadingToURL(MSHURLSession &,
                                                         const MSHURLSessionTaskPtr &,
                                                         const QString &) override
    {
        ++downloads;
    }
    void URLSessionTaskDidCompleteWithError(MSHURLSession &, const MSHURLSessionTaskPtr &,
                                            const MSHErrorResult &) override
    {
        ++completions;
    }
};

} // namespace

TEST(URLSession, ConfigurationHeadersJoinTheRequestsOwn)
{
    auto server = twNetworkTestServer(false);
    server->setReply("/echo", TWLoopbackHttpServer::Reply::ok("fine"));
    auto configuration = MSHURLSessionConfiguration::defaultSessionConfiguration();
    configuration->setHTTPAdditionalHeaders({{"X-Tally", "session"}, {"X-Only-Session", "yes"}});
    auto session = MSHURLSession::sessionWithConfiguration(configuration);
    ASSERT_TRUE(session);

    MSHURLRequest request(server->url(QStringLiteral("/echo")));
    request.setValue("request", "X-Tally");
    TWNetworkOutcome outcome;
    session->dataTaskWithRequest(request, outcome.dataHandler())->resume();
    ASSERT_TRUE(outcome.wait());

    EXPECT_FALSE(outcome.error);
    EXPECT_EQ(outcome.response.statusCode(), 200);
    EXPECT_EQ(outcome.data, QByteArray("fine"));
    const TWLoopbackHttpServer::Request seen = server->lastRequest();
    EXPECT_EQ(seen.header("X-Tally"), QByteArray("request,session"));
    EXPECT_EQ(seen.header("X-Only-Session"), QByteArray("yes"));
    // A copy carries the headers only.
    EXPECT_EQ(configuration->copy()->HTTPAdditionalHeaders(), configuration->HTTPAdditionalHeaders());
    EXPECT_FALSE(MSHURLSessionConfiguration::backgroundSessionConfigurationWithIdentifier(
        QStringLiteral("com.mishap.mac.crash.background-session")));
}

TEST(URLSession, ATaskWithACompletionBlockNeverReachesTheDelegate)
{
    auto server = twNetworkTestServer(false);
    server->setReply("/data", TWLoopbackHttpServer::Reply::ok("payload"));
    auto delegate = std::make_shared<CountingDelegate>();
    auto session = MSHURLSession::sessionWithConfiguration(
        MSHURLSessionConfiguration::defaultSessionConfiguration(), delegate);

    TWNetworkOutcome withBlock;
    session->dataTaskWithRequest(MSHURLRequest(server->url(QStringLiteral("/data"))),
                                 withBlock.dataHandler())
        ->resume();
    TWNetworkOutcome downloadWithBlock;
    session->downloadTaskWithRequest(MSHURLRequest(server->url(QStringLiteral("/data"))),
                                     downloadWithBlock.downloadHandler())
        ->resume();
    ASSERT_TRUE(withBlock.wait());
    ASSERT_TRUE(downloadWithBlock.wait());
    EXPECT_EQ(withBlock.data, QByteArray("payload"));
    EXPECT_EQ(downloadWithBlock.data, QByteArray("payload"));

    // The same requests without blocks are the delegate's.
    session->dataTaskWithRequest(MSHURLRequest(server->url(QStringLiteral("/data"))))->resume();
    session->downloadTaskWithURL(server->url(QStringLiteral("/data")))->resume();
    ASSERT_TRUE(twWaitUntil([&] { return delegate->completions == 2; }));
    EXPECT_EQ(delegate->responses, 2);
    EXPECT_GE(delegate->chunks, 1);
    EXPECT_EQ(delegate->downloads, 1);
    EXPECT_EQ(server->requestCount(), 4);
}

TEST(URLSession, ADownloadLeavesNoTemporaryFileWhateverItsOutcome)
{
    auto server = twNetworkTestServer(false);
    TWLoopbackHttpServer::Reply cut = TWLoopbackHttpServer::Reply::ok(QByteArray(4096, 'x'));
    cut.closeAfterBytes = 60;
    server->setReply("/cut", cut);
    server->setReply("/whole", TWLoopbackHttpServer::Reply::ok("all of it"));
    auto session = MSHURLSession::sessionWithConfiguration(
        MSHURLSessionConfiguration::defaultSessionConfiguration());

    TWNetworkOutcome failed;
    auto task = session->downloadTaskWithRequest(MSHURLRequest(server->url(QStringLiteral("/cut"))),
                                                 failed.downloadHandler());
    task->resume();
    ASSERT_TRUE(failed.wait());
    ASSERT_TRUE(failed.error);
    EXPECT_EQ(failed.error->domain, QStringLiteral("QNetworkReply"));
    EXPECT_TRUE(twWaitUntil([&] { return !QFileInfo::exists(task->targetPath()); }));

    TWNetworkOutcome whole;
    auto good = session->downloadTaskWithRequest(
        MSHURLRequest(server->url(QStringLiteral("/whole"))), whole.downloadHandler());
    good->resume();
    ASSERT_TRUE(whole.wait());
    EXPECT_FALSE(whole.error);
    EXPECT_TRUE(whole.fileExisted);
    EXPECT_EQ(whole.data, QByteArray("all of it"));
    EXPECT_TRUE(twWaitUntil([&] { return !QFileInfo::exists(good->targetPath()); }));
}

TEST(URLSession, RunningTasksAreReportedUntilTheyEnd)
{
    auto server = twNetworkTestServer(false);
    TWLoopbackHttpServer::Reply slow = TWLoopbackHttpServer::Reply::ok("late");
    slow.delayMs = 400;
    server->setReply("/slow", slow);
    auto session = MSHURLSession::sessionWithConfiguration(
        MSHURLSessionConfiguration::defaultSessionConfiguration());
    TWNetworkOutcome outcome;
    auto task = session->dataTaskWithRequest(MSHURLRequest(server->url(QStringLiteral("/slow"))),
                                             outcome.dataHandler());
    task->setTaskDescription(QStringLiteral("prepared/report.multipartmime"));
    task->resume();

    QSemaphore listed;
    QStringList descriptions;
    session->getTasksWithCompletionHandler(
        [&](const QList<MSHURLSessionTaskPtr> &data, const QList<MSHURLSessionTaskPtr> &upload,
            const QList<MSHURLSessionTaskPtr> &download) {
            for (const auto &running : data + upload + download)
                descriptions << running->taskDescription();
            listed.release();
        });
    ASSERT_TRUE(listed.tryAcquire(1, 5000));
    EXPECT_EQ(descriptions, QStringList{QStringLiteral("prepared/report.multipartmime")});

    ASSERT_TRUE(outcome.wait());
    int after = -1;
    session->getTasksWithCompletionHandler(
        [&](const QList<MSHURLSessionTaskPtr> &data, const QList<MSHURLSessionTaskPtr> &upload,
            const QList<MSHURLSessionTaskPtr> &download) {
            after = int(data.size() + upload.size() + download.size());
            listed.release();
        });
    ASSERT_TRUE(listed.tryAcquire(1, 5000));
    EXPECT_EQ(after, 0);
}
