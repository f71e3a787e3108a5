// The beta update check with a token the test gives (the program has none): declining without a
// token, reading the service's answer, and no further check in a process whose request failed.

#include "CrashLaunchTestSupport.h"
#include "NetworkTestSupport.h"
#include "crashreporting/MSHBetaController.h"
#include "crashreporting/common/MSHApplicationInfo.h"
#include "crashreporting/settings/KTBSettingsOnboardingManager.h"

#include <QTemporaryDir>
#include <QUrlQuery>

#include <gtest/gtest.h>

namespace
{

class BetaOwner final : public MSHBetaControllerDelegate
{
public:
    QVariantMap settings;
    MSHSettings settingsForBetaController(MSHBetaController &) override
    {
        return MSHSettings(settings);
    }
    QString APIKeyForBetaController(MSHBetaController &) override
    {
        return QStringLiteral("beta-key");
    }
    QString instanceIdentifierForBetaController(MSHBetaController &) override
    {
        return QStringLiteral("instance-1");
    }
};

TEST(BetaUpdate, AFailedRequestEndsTheChecksOfTheProcessAndTheNextOneChecksAfresh)
{
    QTemporaryDir temporary;
    TWApplicationIdentityGuard identity({{QStringLiteral("MishapSignedForDistribution"), true}});
    ASSERT_TRUE(MSHBetaController::isBetaSupported());
    auto server = twNetworkTestServer(false);
    TWEnvironmentGuard environment;
    environment.set("MishapBetaEndpoint", server->baseUrl().toString().toUtf8());
    const QByteArray path = "/spi/v2/platforms/linux/apps/com.example.tallyworth/beta_update_check";
    server->setReplies(
        path, {TWLoopbackHttpServer::Reply::withStatus(404),
               TWLoopbackHttpServer::Reply::ok(
                   "{\"url\":\"https://beta.example/build.tar\",\"version_string\":\"2.0\"}",
                   "application/json")});

    auto owner = std::make_shared<BetaOwner>();
    owner->settings = {
        {QStringLiteral("beta"), QVariantMap{{QStringLiteral("update_suspend_duration"), 0.3}}}};
    auto notices = KTBSettingsOnboardingManager::initWithApplicationIdentifierModel(
        nullptr, QString(), temporary.path());
    auto controller =
        MSHBetaController::initWithDelegate(owner, QStringLiteral("tester-token"), notices);
    ASSERT_TRUE(controller->start());

    notices->postSettingsDownloadCompletedNotification();
    ASSERT_TRUE(server->waitForRequests(1, 10000));
    twWaitUntil([] { return false; }, 700);
    notices->postSettingsDownloadCompletedNotification();
    EXPECT_FALSE(server->waitForRequests(2, 700));
    EXPECT_TRUE(controller->requestInFlight());
    EXPECT_FALSE(controller->activeUpdate().has_value());

    controller =
        MSHBetaController::initWithDelegate(owner, QStringLiteral("tester-token"), notices);
    ASSERT_TRUE(controller->start());
    notices->postSettingsDownloadCompletedNotification();
    ASSERT_TRUE(server->waitForRequests(2, 10000));
    ASSERT_TRUE(twWaitUntil([&] { return controller->activeUpdate().has_value(); }));
    EXPECT_EQ(controller->activeUpdate()->version(), QStringLiteral("2.0"));

    const TWLoopbackHttpServer::Request request = server->lastRequest();
    EXPECT_EQ(request.path, path);
    const QUrlQuery query(QUrl(QString::fromUtf8(request.target)));
    EXPECT_EQ(query.queryItemValue(QStringLiteral("source")), QStringLiteral("3"));
    EXPECT_EQ(query.queryItemValue(QStringLiteral("instance")), QStringLiteral("instance-1"));
    EXPECT_EQ(query.queryItemValue(QStringLiteral("build_version")), QStringLiteral("345"));
    EXPECT_EQ(request.header("X-Mishap-Beta-Token"), QByteArray("tester-token"));
    EXPECT_EQ(request.header("X-Mishap-API-Key"), QByteArray("beta-key"));

    // The answer pauses the checks for the settings' time, then they resume.
    EXPECT_TRUE(controller->checksSuspended());
    EXPECT_TRUE(twWaitUntil([&] { return !controller->checksSuspended(); }));
}

} // namespace
