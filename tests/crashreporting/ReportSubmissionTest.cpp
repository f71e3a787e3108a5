// Sending one packaged report: the request as the service expects it, and what becomes of the
// package after success and failure.

#include "CrashLaunchTestSupport.h"
#include "CrashTestSupport.h"
#include "NetworkTestSupport.h"
#include "crashreporting/common/MSHApplicationInfo.h"
#include "crashreporting/common/MSHFileManager.h"
#include "crashreporting/common/MSHStepObserver.h"
#include "crashreporting/network/MSHNetworkClient.h"
#include "crashreporting/network/MSHSharedQueue.h"
#include "crashreporting/reports/MSHInternalReport.h"
#include "crashreporting/reports/MSHReportsController.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QSemaphore>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <utility>

namespace
{

const QByteArray reportsPath = "/sdk-api/v1/platforms/linux/apps/tw.submit_test/reports";

// Owner of the reports controller and of the network client, as the crash reporting controller
// is: it hands the client's word to the reports controller and records what it was told.
class Owner final : public MSHReportsControllerDelegate, public MSHNetworkClientDelegate
{
public:
    std::shared_ptr<MSHReportsController> controller;
    QSemaphore told;
    QString path;
    MSHErrorResult error;
    bool packageExistedWhenTold = true;

    bool networkClientCanUseBackgroundSessions(MSHNetworkClient &) override { return true; }
    void networkClient(MSHNetworkClient &, const QString &file,
                       const MSHErrorResult &result) override
    {
        controller->reportUploadAtPath(file, result);
    }
    void reportsController(MSHReportsController &, const QString &file,
                           const MSHErrorResult &result) override
    {
        path = file;
        error = result;
        packageExistedWhenTold = QFileInfo::exists(file);
        told.release();
    }
    void reportsControllerDidCompleteAllSubmissions(MSHReportsController &) override {}
    MSHSettings settingsForReportsController(MSHReportsController &) override
    {
        return MSHSettings(QVariantMap());
    }
    QString APIKeyForReportsController(MSHReportsController &) override
    {
        return QStringLiteral("submit-key");
    }
    QString bundleIdentifierForReportsController(MSHReportsController &) override
    {
        return QStringLiteral("tw.submit/test");
    }
};

class ReportSubmission : public ::testing::Test
{
protected:
    QTemporaryDir temporary;
    TWApplicationIdentityGuard identity;
    TWEnvironmentGuard environment;
    std::unique_ptr<TWLoopbackHttpServer> server = twNetworkTestServer(false);
    std::shared_ptr<MSHFileManager> files;
    std::shared_ptr<Owner> owner = std::make_shared<Owner>();

    void SetUp() override
    {
        environment.set("MishapReportsEndpoint", server->baseUrl().toString().toUtf8());
        files = std::make_shared<MSHFileManager>(temporary.filePath(QStringLiteral("root")));
        ASSERT_TRUE(files->prepareForNewLaunch());
        const auto queue = MSHMakeSharedQueue("com.mishap.mac.work-queue");
        const auto client = MSHNetworkClient::create(queue, files, owner);
        owner->controller = std::make_shared<MSHReportsController>(queue, owner, client, files);
    }

    QString package(const QByteArray &contents)
    {
        const QString path = files->preparedPath() +
                             QStringLiteral("/1F2E3D4C-0000-4000-8000-ABCDEF012345.multipartmime");
        twCrashTestWriteFile(path, contents);
        return path;
    }
};

TEST_F(ReportSubmission, SuccessRemovesThePackageBeforeTheOwnerHears)
{
    server->setReply(reportsPath, TWLoopbackHttpServer::Reply::ok("{}", "application/json"));
    const QByteArray body = "MIME-Version: 1.0\r\n--x\r\n\r\n--x--\r\n";
    const QString path = package(body);
    ASSERT_TRUE(owner->controller->uploadPackagedReportAtPath(path, false));
    ASSERT_TRUE(owner->told.tryAcquire(1, 10000));
    EXPECT_FALSE(owner->error.has_value());
    EXPECT_EQ(owner->path, path);
    EXPECT_FALSE(owner->packageExistedWhenTold);
    EXPECT_FALSE(QFileInfo::exists(path));

    ASSERT_EQ(server->requestCount(), 1);
    const TWLoopbackHttpServer::Request request = server->lastRequest();
    EXPECT_EQ(request.method, QByteArray("POST"));
    // "/" in the bundle identifier becomes "_".
    EXPECT_EQ(request.path, reportsPath);
    EXPECT_EQ(request.body, body);
    EXPECT_EQ(request.header("Content-Type"),
              QByteArray("multipart/form-data; boundary=1F2E3D4C-0000-4000-8000-ABCDEF012345"));
    EXPECT_EQ(request.header("Content-Length"), QByteArray::number(body.size()));
    EXPECT_EQ(request.header("X-Mishap-API-Key"), QByteArray("submit-key"));
    EXPECT_EQ(request.header("User-Agent"), QByteArray("Mishap Mac SDK/3.0.10"));
    EXPECT_EQ(request.header("Accept"), QByteArray("application/json"));
    EXPECT_EQ(request.header("X-Mishap-Developer-Token"),
              QByteArray("3e9a1c7b5d2f80e4a6c1b9d3f7e2a05c8b4d6e1f"));
}

TEST_F(ReportSubmission, AFailedUrgentUploadKeepsThePackageAndUsesTheShortTimeout)
{
    TWLoopbackHttpServer::Reply slow = TWLoopbackHttpServer::Reply::ok("{}", "application/json");
    slow.delayMs = 4000;
    server->setReply(reportsPath, slow);
    const QString path = package("MIME-Version: 1.0\r\n");
    QElapsedTimer clock;
    clock.start();
    ASSERT_TRUE(owner->controller->uploadPackagedReportAtPath(path, true));
    EXPECT_LT(clock.elapsed(), 3500);
    EXPECT_TRUE(QFileInfo::exists(path));
}

TEST_F(ReportSubmission, AnUrgentUploadAnsweredByAPageOrNothingKeepsThePackage)
{
    // What a captive portal or a proxy answers: a success that is not the service's.
    TWLoopbackHttpServer::Reply empty = TWLoopbackHttpServer::Reply::withStatus(200);
    for (const TWLoopbackHttpServer::Reply &reply :
         {TWLoopbackHttpServer::Reply::ok("<html>Sign in</html>", "text/html"), empty}) {
        server->setReply(reportsPath, reply);
        server->clearRequests();
        const QString path = package("MIME-Version: 1.0\r\n--x--\r\n");
        ASSERT_TRUE(owner->controller->uploadPackagedReportAtPath(path, true));
        EXPECT_EQ(server->requestCount(reportsPath), 1);
        EXPECT_TRUE(QFileInfo::exists(path));
    }
}

TEST_F(ReportSubmission, ARedirectIsAFailureThatKeepsThePackageAndGoesNowhere)
{
    // The named host would answer "success"; the report must never reach it, nor become an
    // empty request whose success deletes the package.
    server->setReply("/elsewhere", TWLoopbackHttpServer::Reply::ok("{}", "application/json"));
    const QByteArray target = server->url(QStringLiteral("/elsewhere")).toEncoded();
    TWLoopbackHttpServer::Reply notModified = TWLoopbackHttpServer::Reply::withStatus(304);
    notModified.addHeader("Content-Type", "application/json");
    for (const int status : {301, 302, 307, 308, 304}) {
        for (const bool urgent : {false, true}) {
            SCOPED_TRACE(testing::Message() << status << (urgent ? " urgent" : " queued"));
            TWLoopbackHttpServer::Reply moved =
                status == 304 ? notModified : TWLoopbackHttpServer::Reply::withStatus(status);
            moved.addHeader("Location", target);
            server->setReply(reportsPath, moved);
            server->clearRequests();
            const QString path = package("MIME-Version: 1.0\r\n--x--\r\n");
            ASSERT_TRUE(owner->controller->uploadPackagedReportAtPath(path, urgent));
            if (!urgent) {
                ASSERT_TRUE(owner->told.tryAcquire(1, 10000));
                EXPECT_TRUE(owner->error.has_value());
            }
            EXPECT_TRUE(QFileInfo::exists(path));
            EXPECT_EQ(server->requestCount(reportsPath), 1);
            EXPECT_EQ(server->requestCount("/elsewhere"), 0);
        }
    }
}

TEST_F(ReportSubmission, AnUrgentUploadEndsAtItsTimeoutOnTheClockHoweverTheServiceTrickles)
{
    // The answer comes one byte at a time: it never stalls for the 2-second timeout, and the
    // upload must end within it all the same.
    TWTricklingServer trickling;
    environment.set("MishapReportsEndpoint", trickling.baseUrl().toUtf8());
    const QString path = package("MIME-Version: 1.0\r\n--x--\r\n");
    QElapsedTimer clock;
    clock.start();
    ASSERT_TRUE(owner->controller->uploadPackagedReportAtPath(path, true));
    const qint64 elapsed = clock.elapsed();
    std::printf("urgent upload to a trickling service: %.2f s\n", double(elapsed) / 1000.0);
    EXPECT_GE(elapsed, 1900);
    EXPECT_LT(elapsed, 2600);
    EXPECT_TRUE(QFileInfo::exists(path));
    EXPECT_EQ(trickling.connections(), 1);
}

TEST_F(ReportSubmission, AReportFolderThatCannotMoveIsSentFromWhereItLies)
{
    server->setReply(reportsPath, TWLoopbackHttpServer::Reply::ok("{}", "application/json"));
    twCrashTestChmod(temporary.path(), 0755);
    for (const QString &folder :
         {files->activePath(), files->processingPath(), files->preparedPath()})
        twCrashTestChmod(folder, 0777);
    const QString folder = twMakeEarlierReport(files->activePath(), QStringLiteral("R-1"));
    // Read-only: it cannot move into processing, and takes no new file.
    twCrashTestChmod(folder, 0555);
    {
        TWCrashTestUnprivileged unprivileged;
        EXPECT_TRUE(owner->controller->prepareAndSubmitReport(
            MSHInternalReport::reportWithPath(folder), false, true));
    }
    ASSERT_TRUE(owner->told.tryAcquire(1, 10000));
    EXPECT_FALSE(owner->error.has_value());
    ASSERT_EQ(server->requestCount(), 1);
    EXPECT_TRUE(server->lastRequest().body.contains("signal.mshrecord.gz"));
    EXPECT_EQ(files->activePathContents(), QStringList());
    EXPECT_EQ(files->processingPathContents(), QStringList());
}

// What the step observer renames over the package once its upload is requested.
QString impostorPath;
QString packagePath;

void renameImpostorOverPackage(const char *step)
{
    if (std::strcmp(step, "upload-requested") == 0 && !impostorPath.isEmpty())
        std::rename(QFile::encodeName(std::exchange(impostorPath, QString())).constData(),
                    QFile::encodeName(packagePath).constData());
}

TEST_F(ReportSubmission, AFileRenamedOverThePackageBeforeItsUploadIsNeverSent)
{
    server->setReply(reportsPath, TWLoopbackHttpServer::Reply::ok("{}", "application/json"));
    packagePath = package("MIME-Version: 1.0\r\n--x\r\n\r\n--x--\r\n");
    impostorPath = temporary.filePath(QStringLiteral("impostor"));
    twCrashTestWriteFile(impostorPath, QByteArray("private words ").repeated(4096));
    MSHSetStepObserver(renameImpostorOverPackage);
    owner->controller->uploadPackagedReportAtPath(packagePath, false);
    const bool told = owner->told.tryAcquire(1, 10000);
    MSHSetStepObserver(nullptr);
    ASSERT_TRUE(told);
    EXPECT_TRUE(owner->error.has_value());
    for (const TWLoopbackHttpServer::Request &request : server->requests())
        EXPECT_FALSE(request.body.contains("private words"));
}

} // namespace
