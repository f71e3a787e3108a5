// The weekly update check of the application delegate against a loopback site: when it runs,
// what it offers, and that every failure frees the next check.

#include "TWUpdateTestSupport.h"

#include "app/TWApplicationDelegate.h"
#include "app/TWBusinessController.h"
#include "app/TWDocumentController.h"

#include "foundation/TWLocalized.h"

#include <QDialog>

namespace
{

constexpr qint64 kWeekMs = 604800LL * 1000;

class UpdateCheckTest : public TWUpdateTest
{
protected:
    void SetUp() override
    {
        TWUpdateTest::SetUp();
        documents = std::make_unique<TWDocumentController>();
        delegate = std::make_unique<TWApplicationDelegate>(documents.get());
    }
    void TearDown() override
    {
        delegate.reset();
        documents.reset();
        TWUpdateTest::TearDown();
    }

    // One check, waited for to its end.
    void check()
    {
        const int before = server.requestCount();
        delegate->checkForUpdate();
        ASSERT_TRUE(server.waitForRequests(before + 1));
        ASSERT_TRUE(twWaitUntil([this] { return !delegate->checkingForUpdate(); }));
    }

    void reply(const QByteArray &body)
    {
        server.setReply("/update/tallyworth/1.txt", TWLoopbackHttpServer::Reply::ok(body));
    }

    std::unique_ptr<TWDocumentController> documents;
    std::unique_ptr<TWApplicationDelegate> delegate;
};

TEST_F(UpdateCheckTest, AnUnsetOrDamagedNextDateWaitsAWeekAtMost)
{
    delegate->armUpdateCheck();
    EXPECT_EQ(TWPreferences::preferences().checkForUpdateNextDate(), clock.now().addDays(7));
    EXPECT_EQ(delegate->updateCheckInterval(), kWeekMs);

    // Far beyond what a timer holds: a week, not an overflow that fires at once.
    TWPreferences::preferences().setCheckForUpdateNextDate(clock.now().addYears(300));
    delegate->armUpdateCheck();
    EXPECT_EQ(delegate->updateCheckInterval(), kWeekMs);

    TWPreferences::preferences().setCheckForUpdateNextDate(clock.now().addDays(2));
    delegate->armUpdateCheck();
    EXPECT_EQ(delegate->updateCheckInterval(), 2 * 86400 * 1000);
    QTest::qWait(50);
    EXPECT_EQ(server.requestCount(), 0);
}

TEST_F(UpdateCheckTest, OffersOnlyANewerVersionThatWasNotSkipped)
{
    reply("2.1");
    check();
    EXPECT_TRUE(alerts.isEmpty());

    TWPreferences::preferences().setCheckForUpdateSkipVersion(QStringLiteral("3.0"));
    reply("3.0\r\n");
    check();
    EXPECT_TRUE(alerts.isEmpty());

    reply("3.1\n");
    check();
    ASSERT_EQ(alerts.size(), 1);
    const TWAlert &alert = alerts.last().alert;
    EXPECT_EQ(alert.message, TWLocalized("updateAvailable") + QStringLiteral(" (3.1)."));
    EXPECT_EQ(alert.buttons, QStringList({TWLocalized("learnMore"), TWLocalized("cancel"),
                                          TWLocalized("skipVersion")}));
    answer(1002);
    EXPECT_EQ(TWPreferences::preferences().checkForUpdateSkipVersion(), QStringLiteral("3.1"));
    EXPECT_TRUE(opened.isEmpty());

    reply("3.2");
    check();
    ASSERT_EQ(alerts.size(), 2);
    answer(1000);
    ASSERT_EQ(opened.size(), 1);
    EXPECT_EQ(opened.first(), server.url("/tallyworth/"));
    EXPECT_EQ(TWPreferences::preferences().checkForUpdateSkipVersion(), QStringLiteral("3.1"));

    reply("3.3");
    check();
    answer(1001);
    EXPECT_EQ(opened.size(), 1);
    EXPECT_EQ(TWPreferences::preferences().checkForUpdateSkipVersion(), QStringLiteral("3.1"));
}

TEST_F(UpdateCheckTest, AFailedCheckFreesTheNextOne)
{
    server.setReplies("/update/tallyworth/1.txt", {TWLoopbackHttpServer::Reply::withStatus(500),
                                                   TWLoopbackHttpServer::Reply::ok("4.0")});
    check();
    EXPECT_TRUE(alerts.isEmpty());
    check();
    EXPECT_EQ(server.requestCount(), 2);
    ASSERT_EQ(alerts.size(), 1);
    EXPECT_TRUE(alerts.last().alert.message.contains(QStringLiteral("(4.0).")));

    // A connection dropped before any answer, and one that stalls past its time-out.
    TWLoopbackHttpServer::Reply dropped = TWLoopbackHttpServer::Reply::ok("5.0");
    dropped.closeAfterBytes = 0;
    server.setReply("/update/tallyworth/1.txt", dropped);
    check();
    TWSite::setTransferTimeout(200);
    TWLoopbackHttpServer::Reply slow = TWLoopbackHttpServer::Reply::ok("5.0");
    slow.delayMs = 3000;
    server.setReply("/update/tallyworth/1.txt", slow);
    check();
    EXPECT_EQ(alerts.size(), 1);
    reply("5.0");
    check();
    EXPECT_EQ(alerts.size(), 2);
}

TEST_F(UpdateCheckTest, VersionLinesAreReadStrictly)
{
    EXPECT_EQ(twUpdateVersion("1.2.3"), QStringLiteral("1.2.3"));
    EXPECT_EQ(twUpdateVersion("1.2.3\r\n4.5"), QStringLiteral("1.2.3"));
    EXPECT_EQ(twUpdateVersion("10"), QStringLiteral("10"));
    EXPECT_TRUE(twUpdateVersion("1..2").isEmpty());
    EXPECT_TRUE(twUpdateVersion(".1").isEmpty());
    EXPECT_TRUE(twUpdateVersion("1.2-beta").isEmpty());
    EXPECT_TRUE(twUpdateVersion(QByteArray(33, '1')).isEmpty());
    EXPECT_EQ(twUpdateVersion(QByteArray(32, '1')), QString(32, u'1'));
}

} // namespace
