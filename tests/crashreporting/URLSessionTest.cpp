// The component's HTTP session: what reaches the wire, who hears about a task, and what a
// download leaves behind.

#include "NetworkTestSupport.h"
#include "crashreporting/network/MSHURLSession.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
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

TEST(URLSession, AnAnswerLargerThanTheCapIsStoppedAndLeavesNothing)
{
    auto server = twNetworkTestServer(false);
    server->setReply("/huge", TWLoopbackHttpServer::Reply::ok(
                                  QByteArray(int(MSHURLSessionMaximumResponseSize) + 65536, 'x')));
    auto session = MSHURLSession::sessionWithConfiguration(
        MSHURLSessionConfiguration::defaultSessionConfiguration());

    TWNetworkOutcome download;
    auto task = session->downloadTaskWithRequest(
        MSHURLRequest(server->url(QStringLiteral("/huge"))), download.downloadHandler());
    task->resume();
    ASSERT_TRUE(download.wait(20000));
    ASSERT_TRUE(download.error);
    EXPECT_EQ(download.error->domain, QStringLiteral("MSHURLSessionError"));
    EXPECT_EQ(download.error->code, 3);
    EXPECT_TRUE(twWaitUntil([&] { return !QFileInfo::exists(task->targetPath()); }));

    TWNetworkOutcome data;
    auto dataTask = session->dataTaskWithRequest(
        MSHURLRequest(server->url(QStringLiteral("/huge"))), data.dataHandler());
    dataTask->resume();
    ASSERT_TRUE(data.wait(20000));
    ASSERT_TRUE(data.error);
    EXPECT_EQ(data.error->code, 3);
    EXPECT_TRUE(data.data.isEmpty());
}

TEST(URLSession, DownloadsLeftByAnEarlierProcessAreRemoved)
{
    const QString old = QDir::temp().filePath(QStringLiteral("mshdownload-left-by-a-crash"));
    const QString fresh = QDir::temp().filePath(QStringLiteral("mshdownload-still-running"));
    for (const QString &path : {old, fresh}) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("partial");
    }
    {
        QFile file(old);
        ASSERT_TRUE(file.open(QIODevice::ReadWrite));
        ASSERT_TRUE(file.setFileTime(QDateTime::currentDateTimeUtc().addDays(-1),
                                     QFileDevice::FileModificationTime));
    }
    MSHURLSession::removeLeftoverDownloads(600);
    EXPECT_FALSE(QFileInfo::exists(old));
    EXPECT_TRUE(QFileInfo::exists(fresh));
    QFile::remove(fresh);
}
