// The launch flow of the crash reporting controller against a loopback reports service: what
// happens to the folders of earlier processes, the user's permission, and retries of failed
// uploads. The crash context is never installed into the test process.

#include "CrashLaunchTestSupport.h"
#include "CrashTestSupport.h"
#include "MSHApplicationInfo.h"
#include "MSHCrashReportingController.h"
#include "MSHDispatchQueue.h"
#include "MSHFileManager.h"
#include "NetworkTestSupport.h"

#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

namespace
{

const QByteArray reportsPath = "/sdk-api/v1/platforms/linux/apps/tw.launch-test/reports";

class CrashReportingController : public ::testing::Test
{
protected:
    QTemporaryDir temporary;
    TWApplicationIdentityGuard identity;
    TWEnvironmentGuard environment;
    std::unique_ptr<TWLoopbackHttpServer> server = twNetworkTestServer(false);
    std::shared_ptr<MSHFileManager> files;
    std::shared_ptr<TWFakeReportingOwner> owner = std::make_shared<TWFakeReportingOwner>();
    std::shared_ptr<TWRecordingInstaller> installer = std::make_shared<TWRecordingInstaller>();

    void SetUp() override
    {
        MSHApplicationInfo::setBundleIdentifier(QStringLiteral("tw.launch-test"));
        environment.set("MishapReportsEndpoint", server->baseUrl().toString().toUtf8());
        files = std::make_shared<MSHFileManager>(temporary.filePath(QStringLiteral("root")));
        ASSERT_TRUE(files->prepareForNewLaunch());
        server->setReply(reportsPath, TWLoopbackHttpServer::Reply::ok("{}", "application/json"));
    }

    void TearDown() override { MSHSetPermissionPrompt(nullptr); }

    std::shared_ptr<MSHCrashReportingController> makeController()
    {
        auto controller = MSHCrashReportingController::initWithFileManager(files, owner);
        controller->setContextInstaller(installer);
        return controller;
    }

    // Waits until everything queued on the work queue so far has run.
    static void drain(const std::shared_ptr<MSHCrashReportingController> &controller)
    {
        controller->operationQueue()->sync([] {});
    }

    static QStringList names(const QString &folder)
    {
        return QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot, QDir::Name);
    }
};

TEST_F(CrashReportingController, ReportingDisabledEmptiesTheFourFoldersAndInstallsNothing)
{
    owner->settingsDictionary = {
        {QStringLiteral("features"), QVariantMap{{QStringLiteral("collect_reports"), false}}}};
    ASSERT_TRUE(QDir().mkpath(files->pendingPath()));
    twMakeEarlierReport(files->activePath(), QStringLiteral("A"));
    twMakeEarlierReport(files->processingPath(), QStringLiteral("P"));
    twMakeEarlierReport(files->pendingPath(), QStringLiteral("N"));
    twCrashTestWriteFile(files->preparedPath() + QStringLiteral("/X.multipartmime"), "body");

    auto controller = makeController();
    EXPECT_FALSE(controller->startWithProfilingMark(0, QString()));
    drain(controller);

    EXPECT_EQ(installer->installs.load(), 0);
    for (const QString &folder : {files->activePath(), files->processingPath(),
                                  files->pendingPath(), files->preparedPath()})
        EXPECT_TRUE(names(folder).isEmpty()) << qPrintable(folder);
    EXPECT_FALSE(controller->launchFailureMarkerPresent());
    EXPECT_EQ(server->requestCount(), 0);
}

TEST_F(CrashReportingController, AnEarlierFolderWithOnlyMetadataAndLogsIsDeletedUnsent)
{
    const QString quiet = twMakeEarlierReport(files->activePath(), QStringLiteral("QUIET"), false);
    auto controller = makeController();
    controller->setExecutionIdentifier(QStringLiteral("current"));
    EXPECT_TRUE(controller->startWithProfilingMark(0, QString()));
    drain(controller);

    EXPECT_FALSE(QFileInfo::exists(quiet));
    EXPECT_EQ(names(files->activePath()), QStringList{QStringLiteral("current")});
    EXPECT_EQ(installer->installs.load(), 1);
    EXPECT_EQ(installer->reportPath, (files->activePath() + QStringLiteral("/current")).toUtf8());
    EXPECT_EQ(owner->reportsDetected.load(), 0);
    EXPECT_EQ(owner->decisionsAsked.load(), 0);
    QThread::msleep(200);
    EXPECT_EQ(server->requestCount(), 0);
}

TEST_F(CrashReportingController, AnEarlierCrashGoesThroughTheOwnersDecisionAndIsSent)
{
    twMakeEarlierReport(files->activePath(), QStringLiteral("CRASH"));
    owner->mustInform = true;
    auto controller = makeController();
    ASSERT_TRUE(controller->startWithProfilingMark(0, QString()));
    ASSERT_TRUE(server->waitForRequests(1, 10000));
    EXPECT_TRUE(twWaitUntil([&] { return names(files->preparedPath()).isEmpty(); }));
    EXPECT_EQ(owner->reportsDetected.load(), 1);
    EXPECT_EQ(owner->decisionsAsked.load(), 1);
    EXPECT_TRUE(names(files->processingPath()).isEmpty());
    // The start left a marker; the first main-loop turn takes it away.
    EXPECT_TRUE(twWaitUntil([&] { return !controller->launchFailureMarkerPresent(); }));
}

TEST_F(CrashReportingController, AnOwnerThatDeclinesHasTheReportDeleted)
{
    const QString report = twMakeEarlierReport(files->activePath(), QStringLiteral("NO"));
    owner->mustInform = true;
    owner->submit = false;
    auto controller = makeController();
    ASSERT_TRUE(controller->startWithProfilingMark(0, QString()));
    drain(controller);
    EXPECT_FALSE(QFileInfo::exists(report));
    EXPECT_EQ(server->requestCount(), 0);
}

TEST_F(CrashReportingController, AFolderLeftInProcessingIsPackagedWithoutSymbolication)
{
    twMakeEarlierReport(files->processingPath(), QStringLiteral("HALF"));
    auto controller = makeController();
    ASSERT_TRUE(controller->startWithProfilingMark(0, QString()));
    ASSERT_TRUE(server->waitForRequests(1, 10000));
    const TWLoopbackHttpServer::Request upload = server->lastRequest();
    const QList<TWUploadPart> parts =
        twUploadParts(upload.body, twUploadBoundary(upload.header("Content-Type")));
    QStringList fileNames;
    for (const TWUploadPart &part : parts) {
        if (!part.fileName.isEmpty())
            fileNames.append(part.fileName);
    }
    EXPECT_TRUE(fileNames.contains(QStringLiteral("signal.mshrecord.gz")));
    for (const QString &name : fileNames)
        EXPECT_FALSE(name.contains(QStringLiteral("symbolicated"))) << qPrintable(name);
    EXPECT_TRUE(twWaitUntil([&] {
        return names(files->processingPath()).isEmpty() && names(files->preparedPath()).isEmpty();
    }));
}

TEST_F(CrashReportingController, PromptCancelDeletesTheReportAndAlwaysSendHoldsForThisProcessOnly)
{
    owner->settingsDictionary = {
        {QStringLiteral("features"), QVariantMap{{QStringLiteral("prompt_enabled"), true}}}};
    std::atomic<int> asked{0};
    std::atomic<int> answer{int(MSHPromptAnswer::AlwaysSend)};
    MSHPermissionPromptTexts shown;
    MSHSetPermissionPrompt([&](const MSHPermissionPromptTexts &texts,
                               std::function<void(MSHPromptAnswer)> completion) {
        ++asked;
        shown = texts;
        completion(MSHPromptAnswer(answer.load()));
    });

    twMakeEarlierReport(files->activePath(), QStringLiteral("FIRST"));
    twMakeEarlierReport(files->activePath(), QStringLiteral("SECOND"));
    auto first = makeController();
    ASSERT_TRUE(first->startWithProfilingMark(0, QString()));
    // The prompt runs on this thread's event loop.
    ASSERT_TRUE(twWaitUntil([&] { return server->requestCount() >= 2; }, 10000));
    EXPECT_EQ(asked.load(), 1);
    EXPECT_EQ(first->promptChoice(), MSHCrashReportingController::AlwaysSend);
    EXPECT_EQ(shown.alwaysSendTitle, QStringLiteral("Always Send"));
    EXPECT_EQ(shown.sendTitle, QStringLiteral("Send"));

    // The next process asks again; this time the user cancels.
    answer = int(MSHPromptAnswer::Cancel);
    first->removeLaunchFailureMarker();
    const QString third = twMakeEarlierReport(files->activePath(), QStringLiteral("THIRD"));
    auto second = makeController();
    ASSERT_TRUE(second->startWithProfilingMark(0, QString()));
    EXPECT_TRUE(twWaitUntil([&] { return !QFileInfo::exists(third); }));
    EXPECT_EQ(asked.load(), 2);
    EXPECT_EQ(second->promptChoice(), MSHCrashReportingController::Declined);
    drain(second);
    EXPECT_EQ(server->requestCount(), 2);
}

TEST_F(CrashReportingController, AFailedUploadIsRetriedAfterTheInjectedInterval)
{
    // An answer of the wrong type fails the upload without the client's own retries.
    server->setReplies(reportsPath, {TWLoopbackHttpServer::Reply::ok("<html/>", "text/html"),
                                     TWLoopbackHttpServer::Reply::ok("{}", "application/json")});
    twMakeEarlierReport(files->activePath(), QStringLiteral("RETRY"));
    auto controller = makeController();
    controller->setRetryInterval(0.3);
    ASSERT_TRUE(controller->startWithProfilingMark(0, QString()));
    ASSERT_TRUE(server->waitForRequests(1, 10000));
    QElapsedTimer clock;
    clock.start();
    ASSERT_TRUE(server->waitForRequests(2, 10000));
    EXPECT_GE(clock.elapsed(), 200);
    EXPECT_TRUE(twWaitUntil([&] { return names(files->preparedPath()).isEmpty(); }));
}

TEST_F(CrashReportingController, ARefusedKeySchedulesNoRetryAndKeepsThePackage)
{
    server->setReply(reportsPath, TWLoopbackHttpServer::Reply::withStatus(403));
    twMakeEarlierReport(files->activePath(), QStringLiteral("REFUSED"));
    auto controller = makeController();
    controller->setRetryInterval(0.1);
    ASSERT_TRUE(controller->startWithProfilingMark(0, QString()));
    ASSERT_TRUE(server->waitForRequests(1, 10000));
    QThread::msleep(800);
    drain(controller);
    EXPECT_EQ(server->requestCount(), 1);
    EXPECT_EQ(names(files->preparedPath()).size(), 1);
}

} // namespace
