// Usage-analytics maintenance: pruning, packaging with the gzip compressor, upload to a loopback
// server and the maintenance timer.

#include "AnalyticsTestSupport.h"
#include "NetworkTestSupport.h"

#include "crashreporting/common/MSHDispatchQueue.h"

#include <QDir>
#include <QFileInfo>

namespace
{

using AnalyticsMaintenance = TWAnalyticsFixture;

const QByteArray uploadPath = "/sdk-api/v1/analytics";

QStringList filesUnder(const QString &path)
{
    QStringList files;
    QDir directory(path);
    for (const QFileInfo &info :
         directory.entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot, QDir::Name)) {
        if (info.isDir())
            files += filesUnder(info.filePath());
        else
            files.append(info.filePath());
    }
    return files;
}

TEST_F(AnalyticsMaintenance, FailedUploadKeepsTheFragmentForTheNextPass)
{
    auto server = twNetworkTestServer(false);
    server->setReplies(uploadPath, {TWLoopbackHttpServer::Reply::withStatus(400),
                                    TWLoopbackHttpServer::Reply::ok("{}", "application/json")});
    auto controller = makeController();
    ASSERT_TRUE(controller);
    controller->setSettings(
        settingsWithAnalytics({{"url", server->url(QString::fromLatin1(uploadPath)).toString()},
                               {"max_pending_send_file_count", 10}}));
    controller->logAppLaunched();

    EXPECT_FALSE(runStep([&](auto done) { controller->maintainSessionFragments(done); }));
    EXPECT_EQ(server->requestCount(uploadPath), 1);
    const QStringList waiting = filesUnder(packagedPath());
    ASSERT_EQ(waiting.size(), 1);
    EXPECT_TRUE(waiting[0].endsWith("/1.log.zip"));

    EXPECT_FALSE(runStep([&](auto done) { controller->transmitPackagedSessionFragments(done); }));
    EXPECT_EQ(server->requestCount(uploadPath), 2);
    EXPECT_FALSE(QFileInfo::exists(packagedPath()));
    EXPECT_TRUE(server->lastRequest().body.contains("filename=\"1.log.zip\""));
}

} // namespace
