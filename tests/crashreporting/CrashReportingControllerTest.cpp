// The launch flow of the crash reporting controller against a loopback reports service: what
// happens to the folders of earlier processes, the user's permission, and retries of failed
// uploads. The crash context is never installed into the test process.

#include "CrashLaunchTestSupport.h"
#include "CrashTestSupport.h"
#include "NetworkTestSupport.h"
#include "crashreporting/common/MSHApplicationInfo.h"
#include "crashreporting/common/MSHDispatchQueue.h"
#include "crashreporting/common/MSHFileManager.h"
#include "crashreporting/reports/MSHCrashReportingController.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <cstdio>

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
    // The next process starts once this one has finished with its uploads: a package the service
    // has answered for is deleted a moment after the answer, and one still there would be sent
    // again.
    ASSERT_TRUE(twWaitUntil([&] { return files->preparedPathContents().isEmpty(); }, 10000));
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

TEST_F(CrashReportingController, APromptTheApplicationNeverRegisteredSendsNothing)
{
    owner->settingsDictionary = {
        {QStringLiteral("features"), QVariantMap{{QStringLiteral("prompt_enabled"), true}}}};
    MSHSetPermissionPrompt(nullptr);
    twMakeEarlierReport(files->activePath(), QStringLiteral("UNASKED"));
    auto controller = makeController();
    ASSERT_TRUE(controller->startWithProfilingMark(0, QString()));
    QElapsedTimer waited;
    waited.start();
    while (waited.elapsed() < 1500) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        drain(controller);
    }
    EXPECT_EQ(server->requestCount(), 0);
}

TEST_F(CrashReportingController, UrgentReportsHoldTheStartAFewSecondsAtMost)
{
    // Uploads wait for their answer; the service answers late.
    owner->backgroundSessions = false;
    TWLoopbackHttpServer::Reply late = TWLoopbackHttpServer::Reply::ok("{}", "application/json");
    late.delayMs = 2500;
    server->setReply(reportsPath, late);
    for (int i = 0; i < 8; ++i)
        twMakeEarlierReport(files->activePath(), QStringLiteral("URGENT%1").arg(i));
    twCrashTestWriteFile(files->structurePath() + QStringLiteral("/launchmarker"), "");

    auto controller = makeController();
    QElapsedTimer started;
    started.start();
    ASSERT_TRUE(controller->startWithProfilingMark(0, QString()));
    EXPECT_LT(started.elapsed(), 4000);
    // The first went out at once; the rest were left to the work queue, not dropped.
    EXPECT_GE(server->requestCount(), 1);
    EXPECT_TRUE(twWaitUntil([&] { return server->requestCount() >= 8; }, 20000));
    drain(controller);
}

TEST_F(CrashReportingController, ReportsBeyondTheKeptNumberAreRemovedUnsent)
{
    for (int i = 0; i < MSHFileManager::reportsKept + 5; ++i)
        twMakeEarlierReport(files->activePath(), QStringLiteral("KEPT%1").arg(i));
    auto controller = makeController();
    ASSERT_TRUE(controller->startWithProfilingMark(0, QString()));
    ASSERT_TRUE(
        twWaitUntil([&] { return server->requestCount() >= MSHFileManager::reportsKept; }, 20000));
    drain(controller);
    QThread::msleep(300);
    EXPECT_EQ(server->requestCount(), MSHFileManager::reportsKept);
    // Only this launch's own folder is left.
    EXPECT_TRUE(twWaitUntil([&] { return names(files->activePath()).size() == 1; }));
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

TEST_F(CrashReportingController, UrgentReportsToATricklingServiceHoldTheStartOneDeadlineAtMost)
{
    // The service keeps every exchange moving, a byte at a time: only the clock ends them.
    TWTricklingServer trickling;
    environment.set("MishapReportsEndpoint", trickling.baseUrl().toUtf8());
    owner->backgroundSessions = false;
    for (int i = 0; i < 4; ++i)
        twMakeEarlierReport(files->activePath(), QStringLiteral("TRICKLE%1").arg(i));
    twCrashTestWriteFile(files->structurePath() + QStringLiteral("/launchmarker"), "");

    auto controller = makeController();
    QElapsedTimer started;
    started.start();
    ASSERT_TRUE(controller->startWithProfilingMark(0, QString()));
    const qint64 elapsed = started.elapsed();
    std::printf("urgent phase against a trickling service: %.2f s\n", double(elapsed) / 1000.0);
    EXPECT_LT(elapsed, 3600);
    EXPECT_GE(trickling.connections(), 1);
    // The reports left to the work queue are not lost; this test does not wait for them.
    controller->operationQueue()->sync([] {});
}

TEST_F(CrashReportingController, LargeUrgentReportsAreCutAtTheDeadlineNotAfterTheirProcessing)
{
    // Two reports whose processing alone takes about as long as the start may wait, or longer:
    // many recorded frames, each looked up among many recorded images, none of which is here.
    environment.set("MishapReportsEndpoint", "http://127.0.0.1:1");
    owner->backgroundSessions = false;
    QByteArray images;
    for (int i = 0; i < 3000; ++i)
        images +=
            "{\"load\":{\"path\":\"/nonexistent/lib" + QByteArray::number(i) +
            ".so\",\"uuid\":\"00\",\"base\":" + QByteArray::number(0x100000000ll + i * 0x10000ll) +
            ",\"size\":4096}}\n";
    QByteArray threads = "{\"threads\":[";
    for (int thread = 0; thread < 45; ++thread) {
        threads += thread ? ",{\"stacktrace\":[" : "{\"stacktrace\":[";
        for (int frame = 0; frame < 1000; ++frame)
            threads += (frame ? "," : "") + QByteArray::number(0x10 + frame);
        threads += "]}";
    }
    threads += "]}\n";
    for (int i = 0; i < 2; ++i) {
        const QString folder =
            twMakeEarlierReport(files->activePath(), QStringLiteral("LARGE%1").arg(i));
        twCrashTestWriteFile(folder + QStringLiteral("/binary_images.mshrecord"), images);
        twCrashTestWriteFile(folder + QStringLiteral("/signal.mshrecord"),
                             "{\"signal\":{\"number\":11}}\n" + threads);
    }
    twCrashTestWriteFile(files->structurePath() + QStringLiteral("/launchmarker"), "");

    auto controller = makeController();
    QElapsedTimer started;
    started.start();
    ASSERT_TRUE(controller->startWithProfilingMark(0, QString()));
    const qint64 elapsed = started.elapsed();
    std::printf("urgent phase with large reports: %.2f s\n", double(elapsed) / 1000.0);
    // The deadline is 3 s; a little more for the start-up thread to wake on a busy machine.
    EXPECT_LT(elapsed, 3400);
    // What the start did not wait for is finished in the background, and nothing is lost.
    EXPECT_TRUE(twWaitUntil(
        [&] {
            controller->operationQueue()->sync([] {});
            return names(files->preparedPath()).size() == 2;
        },
        60000))
        << names(files->preparedPath()).join(QLatin1Char(' ')).toStdString();
}

} // namespace
