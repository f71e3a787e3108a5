// The usage-analytics controller: events per session fragment, settings, custom attributes and
// the previous run's crash.

#include "AnalyticsTestSupport.h"

#include "MSHDispatchQueue.h"
#include "TWClock.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>

namespace
{

using AnalyticsController = TWAnalyticsFixture;
using Lifecycle = MSHEventLogEvent::Lifecycle;

QStringList fragmentsUnder(const QString &state)
{
    QStringList fragments;
    for (const QString &session : QDir(state).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        for (const QString &fragment :
             QDir(state + "/" + session).entryList(QDir::Dirs | QDir::NoDotAndDotDot))
            fragments.append(state + "/" + session + "/" + fragment);
    }
    return fragments;
}

TEST_F(AnalyticsController, BeforeSettingsEventsAreWrittenAndActiveOnlyMarksMaintenance)
{
    auto controller = makeController();
    ASSERT_TRUE(controller);
    const QString open = controller->currentSessionFragmentDirectory();
    EXPECT_TRUE(open.startsWith(activePath() + "/" +
                                QString::number(pinnedNow.toMSecsSinceEpoch()) + "_SESSION-1/"));

    controller->logAppLaunched();
    controller->applicationLifecycleEvent(Lifecycle::DidBecomeActive);
    controller->logCustomEventWithName("opened", {{"kind", "ledger"}});
    drain(*controller);

    const auto high = twReadEventRecords(open + "/0.log");
    ASSERT_EQ(high.size(), 2);
    EXPECT_EQ(high[0].key, "metadata");
    EXPECT_EQ(high[0].payload, controller->metadataJSONData());
    EXPECT_EQ(high[1].key, "app_became_active");
    EXPECT_EQ(high[1].timestamp, QByteArray::number(pinnedNow.toMSecsSinceEpoch()));
    EXPECT_EQ(twReadEventRecords(open + "/1.log").value(1).key, "app_launched");
    EXPECT_EQ(twReadEventRecords(open + "/2.log").value(1).key, "custom");

    // No maintenance ran: the same fragment is open, nothing was packaged.
    EXPECT_TRUE(controller->performSessionMaintenanceAfterSettingsArrive());
    EXPECT_EQ(controller->currentSessionFragmentDirectory(), open);
    EXPECT_EQ(fragmentsUnder(activePath()), QStringList{open});
    EXPECT_FALSE(defaults->objectForKey(MSHAnalyticsController::lastMaintenanceDateKey).isValid());

    // The settings bring the marked maintenance: the fragment is closed and packaged.
    controller->setSettings(settingsWithAnalytics({{"max_pending_send_file_count", 10}}));
    drain(*controller);
    EXPECT_NE(controller->currentSessionFragmentDirectory(), open);
    EXPECT_EQ(fragmentsUnder(packagedPath()).size(), 1);
    EXPECT_TRUE(QFileInfo::exists(fragmentsUnder(packagedPath()).value(0) + "/0.log.zip"));
}

TEST_F(AnalyticsController, CollectAnalyticsOffRemovesTheFolderAndIgnoresEvents)
{
    auto controller = makeController();
    ASSERT_TRUE(controller);
    controller->logAppLaunched();
    ASSERT_TRUE(QFileInfo::exists(root));
    controller->setSettings(settingsWithAnalytics({}, false));
    EXPECT_FALSE(QFileInfo::exists(root));
    controller->logAppLaunched();
    controller->applicationLifecycleEvent(Lifecycle::DidBecomeActive);
    controller->logCustomEventWithName("ignored", {});
    drain(*controller);
    EXPECT_FALSE(QFileInfo::exists(root));
    EXPECT_FALSE(controller->performSessionMaintenanceAfterSettingsArrive());
    EXPECT_FALSE(controller->hasMaintenanceTimer());
}

TEST_F(AnalyticsController, CustomAttributesAreLimited)
{
    QVariantMap twenty;
    QVariantMap twentyFive;
    for (int i = 0; i < 25; ++i) {
        const QString key = QStringLiteral("k%1").arg(i, 2, 10, QLatin1Char('0'));
        if (i < 20)
            twenty.insert(key, i);
        twentyFive.insert(key, i);
    }
    EXPECT_EQ(MSHAnalyticsController::filterCustomAttributes(twenty), twenty);
    const QVariantMap kept = MSHAnalyticsController::filterCustomAttributes(twentyFive);
    EXPECT_EQ(kept, twenty);

    const QString longText(150, QLatin1Char('x'));
    // An emoji whose two halves straddle the 100th unit goes whole.
    const QString emoji =
        QString(99, QLatin1Char('a')) + QString::fromUtf8("\xf0\x9f\x98\x80") + "b";
    const QVariantMap filtered = MSHAnalyticsController::filterCustomAttributes(
        {{"long", longText}, {"number", 12.5}, {"emoji", emoji}, {"list", QStringList{"x"}}});
    EXPECT_EQ(filtered.value("long").toString(), QString(100, QLatin1Char('x')));
    EXPECT_EQ(filtered.value("number"), QVariant(12.5));
    EXPECT_EQ(filtered.value("emoji").toString(), QString(99, QLatin1Char('a')));
    EXPECT_FALSE(filtered.contains("list"));

    // Through the controller the event is written, not dropped.
    auto controller = makeController();
    ASSERT_TRUE(controller);
    controller->logCustomEventWithName("emoji", {{"value", emoji}});
    drain(*controller);
    const auto records =
        twReadEventRecords(controller->currentSessionFragmentDirectory() + "/2.log");
    ASSERT_EQ(records.size(), 2);
    const QJsonObject payload = QJsonDocument::fromJson(records[1].payload).object();
    EXPECT_EQ(payload.value("custom_attributes").toObject().value("value").toString(),
              QString(99, QLatin1Char('a')));
}

TEST_F(AnalyticsController, BecomingInactiveFollowsFlushOnBackground)
{
    for (const bool flush : {true, false}) {
        SCOPED_TRACE(flush);
        QDir(root).removeRecursively();
        defaults->removeAllObjects();
        auto controller = makeController();
        ASSERT_TRUE(controller);
        controller->setSettings(settingsWithAnalytics(
            {{"flush_on_background", flush}, {"max_pending_send_file_count", 10}}));
        const QString open = controller->currentSessionFragmentDirectory();
        controller->applicationLifecycleEvent(Lifecycle::WillResignActive);
        drain(*controller);
        const QString written = open + (flush ? "/0.log" : "/1.log");
        const auto records = twReadEventRecords(written);
        if (flush) {
            // Priority 0 ran maintenance: the fragment was closed and packaged.
            EXPECT_NE(controller->currentSessionFragmentDirectory(), open);
            EXPECT_TRUE(
                defaults->objectForKey(MSHAnalyticsController::lastMaintenanceDateKey).isValid());
            ASSERT_EQ(fragmentsUnder(packagedPath()).size(), 1);
            EXPECT_TRUE(QFileInfo::exists(fragmentsUnder(packagedPath())[0] + "/0.log.zip"));
        } else {
            ASSERT_EQ(records.size(), 2);
            EXPECT_EQ(records[1].key, "app_became_inactive");
            EXPECT_EQ(controller->currentSessionFragmentDirectory(), open);
            EXPECT_FALSE(
                defaults->objectForKey(MSHAnalyticsController::lastMaintenanceDateKey).isValid());
        }
    }
}

TEST_F(AnalyticsController, PreviousRunsCrashLandsInAClosedFragmentOfThatSession)
{
    QByteArray previousMetadata;
    uint64_t previousTimestamp = 0;
    {
        auto previous = makeController("PREVIOUS");
        ASSERT_TRUE(previous);
        previousMetadata = previous->metadataJSONData();
        previousTimestamp = previous->sessionTimestamp();
        // Without earlier session information nothing is logged.
        previous->logPreviousSessionCrashedOnDate(pinnedNow);
        drain(*previous);
        EXPECT_EQ(fragmentsUnder(activePath()).size(), 1);
    }
    QDir(root).removeRecursively();

    const QDateTime later = pinnedNow.addSecs(60);
    TWClock::setNowProvider([later] { return later; });
    auto controller = makeController("CURRENT");
    ASSERT_TRUE(controller);
    EXPECT_EQ(controller->lastSessionIdentifier(), QString("PREVIOUS"));
    const QDateTime crashed = pinnedNow.addMSecs(1500);
    controller->logPreviousSessionCrashedOnDate(crashed);
    drain(*controller);

    const QString session = activePath() + "/" + QString::number(previousTimestamp) + "_PREVIOUS";
    const QStringList fragments = QDir(session).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    ASSERT_EQ(fragments.size(), 1);
    const QString crashTimestamp = QString::number(crashed.toSecsSinceEpoch() * 1000);
    EXPECT_TRUE(fragments[0].startsWith(crashTimestamp + "_"));
    const auto records = twReadEventRecords(session + "/" + fragments[0] + "/1.log");
    ASSERT_EQ(records.size(), 2);
    EXPECT_EQ(records[0].key, "metadata");
    EXPECT_EQ(records[0].payload, previousMetadata);
    EXPECT_EQ(records[1].key, "app_crashed");
    EXPECT_EQ(records[1].timestamp, crashTimestamp.toUtf8());

    // Closed from the start: the next packaging takes it.
    EXPECT_FALSE(runStep([&](auto done) { controller->packageClosedSessionFragments(done); }));
    EXPECT_FALSE(QFileInfo::exists(session));
    EXPECT_TRUE(QFileInfo::exists(packagedPath() + "/" + QString::number(previousTimestamp) +
                                  "_PREVIOUS/" + fragments[0] + "/1.log.zip"));
}

} // namespace
