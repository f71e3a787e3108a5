// The usage-analytics controller: events per session fragment, settings, custom attributes and
// the previous run's crash.

#include "AnalyticsTestSupport.h"

#include "crashreporting/common/MSHDispatchQueue.h"
#include "foundation/TWClock.h"

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

TEST(AnalyticsAttributes, TwentyAcceptedAttributesAreKeptWhateverWasRefusedBefore)
{
    // Twenty-five attributes, the first ones of a type events do not take.
    for (const int refused : {0, 3, 5, 8}) {
        QVariantMap attributes;
        for (int i = 0; i < 25; ++i)
            attributes.insert(QStringLiteral("a%1").arg(i, 2, 10, QLatin1Char('0')),
                              i < refused ? QVariant(QVariantList{1}) : QVariant(i));
        const QVariantMap kept = MSHAnalyticsController::filterCustomAttributes(attributes);
        EXPECT_EQ(kept.size(), std::min(20, 25 - refused)) << refused << " refused";
        EXPECT_EQ(kept.value(kept.firstKey()), QVariant(refused));
    }
}

} // namespace
