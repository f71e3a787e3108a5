// The update check from the preferences window: what it reports, its error alert and cancel.

#include "TWUpdateTestSupport.h"

#include "app/TWPreferencesController.h"

#include "foundation/TWLocalized.h"
#include "model/TWLayoutManager.h"

namespace
{

class ManualUpdateCheckTest : public TWUpdateTest
{
protected:
    void SetUp() override
    {
        TWUpdateTest::SetUp();
        controller = std::make_unique<TWPreferencesController>(&layouts);
    }
    void TearDown() override
    {
        controller.reset();
        TWUpdateTest::TearDown();
    }

    void checkByHand()
    {
        controller->doCheckForUpdate();
        ASSERT_TRUE(twWaitUntil([this] { return !controller->isCheckingForUpdate(); }));
    }
    void reply(const QByteArray &body)
    {
        server.setReply("/update/tallyworth/1.txt", TWLoopbackHttpServer::Reply::ok(body));
    }

    TWLayoutManager layouts;
    std::unique_ptr<TWPreferencesController> controller;
};

TEST_F(ManualUpdateCheckTest, ASkippedNewerVersionIsStillReported)
{
    TWPreferences::preferences().setCheckForUpdateSkipVersion(QStringLiteral("3.0"));
    reply("3.0\n");
    checkByHand();
    ASSERT_EQ(alerts.size(), 1);
    const TWAlert &alert = alerts.last().alert;
    EXPECT_EQ(alert.message, TWLocalized("updateAvailable") + QStringLiteral(" (3.0)."));
    EXPECT_EQ(alert.buttons, QStringList({TWLocalized("learnMore"), TWLocalized("skipVersion")}));
    EXPECT_EQ(alert.window, controller->window());
    EXPECT_FALSE(controller->updateProgressWindow()->isVisible());

    TWPreferences::preferences().setCheckForUpdateSkipVersion(QString());
    answer(1001);
    EXPECT_EQ(TWPreferences::preferences().checkForUpdateSkipVersion(), QStringLiteral("3.0"));
    checkByHand();
    answer(1000);
    ASSERT_EQ(opened.size(), 1);
    EXPECT_EQ(opened.first(), server.url("/tallyworth/"));
}

TEST_F(ManualUpdateCheckTest, AFailureShowsTheErrorWithItsCode)
{
    checkByHand(); // nothing set up: 404
    ASSERT_EQ(alerts.size(), 1);
    const QString message = alerts.last().alert.message;
    EXPECT_TRUE(message.startsWith(TWLocalized("updateError") + QStringLiteral(" (")));
    EXPECT_TRUE(message.endsWith(QStringLiteral(", 404)."))) << message;
    EXPECT_EQ(alerts.last().alert.buttons, QStringList({TWLocalized("ok")}));

    // A reply over its cap is a failure too, not a version.
    reply(QByteArray("9.0\n") + QByteArray(4096, 'x'));
    checkByHand();
    ASSERT_EQ(alerts.size(), 2);
    EXPECT_TRUE(alerts.last().alert.message.startsWith(TWLocalized("updateError")));
}

} // namespace
