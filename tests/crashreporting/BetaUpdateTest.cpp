// The beta update check with a token the test gives (the program has none): declining without a
// token, reading the service's answer, and checking again after a failed request.

#include "CrashLaunchTestSupport.h"
#include "KTBSettingsOnboardingManager.h"
#include "MSHApplicationInfo.h"
#include "MSHBetaController.h"
#include "NetworkTestSupport.h"

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

TEST(BetaUpdate, WithoutATokenStartAnswersFalse)
{
    auto owner = std::make_shared<BetaOwner>();
    auto controller = MSHBetaController::initWithDelegate(owner);
    EXPECT_TRUE(controller->betaToken().isEmpty());
    EXPECT_FALSE(controller->start());
    // A plain build is not a tester's build either.
    TWApplicationIdentityGuard identity;
    EXPECT_FALSE(MSHBetaController::isBetaSupported());
}

TEST(BetaUpdate, AnAnswerWithoutUrlGivesTheMinus1017Error)
{
    MSHError error;
    EXPECT_FALSE(MSHBetaUpdate::betaUpdateWithDictionary(
                     {{QStringLiteral("version_string"), QStringLiteral("2.0")}}, &error)
                     .has_value());
    EXPECT_EQ(error.domain, QStringLiteral("NSURLErrorDomain"));
    EXPECT_EQ(error.code, -1017);

    MSHError fromData;
    EXPECT_FALSE(MSHBetaController::updateWithData("{\"url\":42}", &fromData).has_value());
    EXPECT_EQ(fromData.code, -1017);
    EXPECT_FALSE(MSHBetaController::updateWithData("not json", &fromData).has_value());

    const std::optional<MSHBetaUpdate> update = MSHBetaController::updateWithData(
        "{\"url\":\"https://beta.example/build.tar\",\"version_string\":\"2.0\"}", &fromData);
    ASSERT_TRUE(update.has_value());
    EXPECT_EQ(update->url(), QUrl(QStringLiteral("https://beta.example/build.tar")));
    EXPECT_EQ(update->version(), QStringLiteral("2.0"));
    EXPECT_EQ(update->installLabel(), QStringLiteral("Install"));
}

TEST(BetaUpdate, AfterAFailedRequestTheNextSettingsNoticeChecksAgain)
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
    ASSERT_TRUE(twWaitUntil([&] { return !controller->requestInFlight(); }));
    EXPECT_FALSE(controller->activeUpdate().has_value());

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
