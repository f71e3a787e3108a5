// Usage-analytics maintenance: pruning, packaging with the gzip compressor, upload to a loopback
// server and the maintenance timer.

#include "AnalyticsTestSupport.h"
#include "NetworkTestSupport.h"

#include "KTBNetworkOperation.h"
#include "MSHDispatchQueue.h"

#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>

#include <zlib.h>

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

QByteArray gunzip(const QByteArray &compressed)
{
    z_stream stream{};
    if (inflateInit2(&stream, 31) != Z_OK)
        return {};
    stream.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(compressed.data()));
    stream.avail_in = uInt(compressed.size());
    QByteArray output;
    char buffer[4096];
    int status = Z_OK;
    while (status == Z_OK) {
        stream.next_out = reinterpret_cast<Bytef *>(buffer);
        stream.avail_out = sizeof(buffer);
        status = inflate(&stream, Z_NO_FLUSH);
        output.append(buffer, qsizetype(sizeof(buffer) - stream.avail_out));
    }
    inflateEnd(&stream);
    return status == Z_STREAM_END ? output : QByteArray();
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

TEST_F(AnalyticsMaintenance, IncompressibleFilePackagesAndUploadsWithTheHeaders)
{
    auto server = twNetworkTestServer(false);
    server->setReply(uploadPath, TWLoopbackHttpServer::Reply::ok("{}"));
    auto controller = makeController();
    ASSERT_TRUE(controller);
    // Random bytes do not compress: one deflate call cannot take a whole chunk of them.
    QByteArray random(20 * 1024, Qt::Uninitialized);
    QRandomGenerator generator(42);
    for (char &byte : random)
        byte = char(generator.bounded(256));
    const QString closed = activePath() + "/50_EARLIER/60_FRAGMENT";
    twWriteFile(closed + "/2.log", random);
    // A second closed fragment after it is packaged in the same cycle.
    twWriteFile(activePath() + "/70_LATER/80_FRAGMENT/1.log", "1\tapp_launched\n");

    controller->setSettings(
        settingsWithAnalytics({{"url", server->url(QString::fromLatin1(uploadPath)).toString()},
                               {"max_pending_send_file_count", 10}}));
    EXPECT_FALSE(runStep([&](auto done) { controller->maintainSessionFragments(done); }));

    EXPECT_FALSE(QFileInfo::exists(closed));
    EXPECT_FALSE(QFileInfo::exists(packagedPath()));
    const QList<TWLoopbackHttpServer::Request> requests = server->requests();
    // Both written fragments and the controller's own first fragment (closed by the cycle).
    ASSERT_EQ(requests.size(), 3);
    const auto upload = std::find_if(requests.cbegin(), requests.cend(), [](const auto &request) {
        return request.body.contains("filename=\"2.log.zip\"");
    });
    ASSERT_NE(upload, requests.cend());
    EXPECT_EQ(upload->method, "POST");
    EXPECT_EQ(upload->header("User-Agent"), "Mishap Mac SDK/3.0.10");
    EXPECT_EQ(upload->header("X-MISHAP-DEVELOPER-TOKEN"), KTBNetworkOperation::developerToken);
    EXPECT_EQ(upload->header("X-MISHAP-API-CLIENT-TYPE"), "Mishap Mac SDK");
    EXPECT_EQ(upload->header("X-MISHAP-API-CLIENT-VERSION"), "56");
    EXPECT_EQ(upload->header("X-MISHAP-API-CLIENT-DISPLAY-VERSION"), "3.0.10");
    EXPECT_EQ(upload->header("X-MISHAP-API-CLIENT-BUILD-VERSION"), "56");
    EXPECT_EQ(upload->header("X-MISHAP-API-KEY"), "analytics-api-key");
    const QByteArray contentType = upload->header("Content-Type");
    ASSERT_TRUE(contentType.startsWith("multipart/form-data; boundary="));
    const QByteArray boundary = contentType.mid(contentType.indexOf('=') + 1);
    EXPECT_TRUE(upload->body.contains("Content-Type: application/vnd.mishap.ios.events"));
    EXPECT_TRUE(upload->body.contains("name=\"2.log.zip\""));

    // The part holds a whole gzip stream of the original bytes.
    const qsizetype start = upload->body.indexOf("\r\n\r\n", upload->body.indexOf("2.log.zip")) + 4;
    const qsizetype end = upload->body.indexOf("\r\n--" + boundary, start);
    ASSERT_GT(end, start);
    EXPECT_EQ(gunzip(upload->body.mid(start, end - start)), random);
}

} // namespace
