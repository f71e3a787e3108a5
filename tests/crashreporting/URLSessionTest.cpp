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
