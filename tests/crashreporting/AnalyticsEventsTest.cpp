// Usage-analytics events: the record line, the lifecycle and custom events, the metadata and
// the event file that appends them.

#include "AnalyticsTestSupport.h"

#include "MSHAnalyticsMetadata.h"
#include "MSHEventLogEvent.h"
#include "MSHEventLogEventFile.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

namespace
{

TEST(AnalyticsEvents, RecordLinesAreWrittenByteForByte)
{
    const auto launched = MSHEventLogEvent::applicationLaunchedEvent(1773480413589, "ID-1");
    ASSERT_TRUE(launched);
    EXPECT_EQ(launched->priority(), 1u);
    EXPECT_EQ(launched->eventData(),
              QByteArray("1773480413589\tapp_launched\t18\t{\"eventId\":\"ID-1\"}\n"));

    EXPECT_EQ(MSHEventLogEvent(2, 42, QStringLiteral("ping")).eventData(),
              QByteArray("42\tping\n"));

    // The key is UTF-8 and the length counts payload bytes, not characters.
    const MSHEventLogEvent accented(0, 7, QString::fromUtf8("caf\xc3\xa9"),
                                    QByteArray("\xc3\xa9\xe2\x82\xac"));
    EXPECT_EQ(accented.eventData(), QByteArray("7\tcaf\xc3\xa9\t5\t\xc3\xa9\xe2\x82\xac\n"));
}

TEST(AnalyticsEvents, LifecycleAndCustomEventsCarryTheirKeysAndPriorities)
{
    using Lifecycle = MSHEventLogEvent::Lifecycle;
    EXPECT_EQ(MSHEventLogEvent::applicationInstalledEvent(1, "a")->priority(), 0u);
    EXPECT_EQ(MSHEventLogEvent::applicationCrashedEvent(1, "a")->key(), "app_crashed");
    EXPECT_EQ(
        MSHEventLogEvent::applicationLifecycleEvent(Lifecycle::WillTerminate, 1, "a", true)->key(),
        "app_terminated");
    EXPECT_EQ(MSHEventLogEvent::applicationLifecycleEvent(Lifecycle::DidBecomeActive, 1, "a", false)
                  ->priority(),
              0u);

    const auto custom =
        MSHEventLogEvent::customEvent("export", QVariantMap{{"kind", "csv"}}, 5, "E-1");
    ASSERT_TRUE(custom);
    EXPECT_EQ(custom->key(), "custom");
    EXPECT_EQ(custom->priority(), 2u);
    const QJsonObject payload = QJsonDocument::fromJson(*custom->payload()).object();
    EXPECT_EQ(payload.value("custom_type").toString(), "export");
    EXPECT_EQ(payload.value("custom_attributes").toObject().value("kind").toString(), "csv");
    EXPECT_EQ(payload.value("eventId").toString(), "E-1");
    EXPECT_FALSE(custom->payload()->contains('\n'));
    EXPECT_FALSE(MSHEventLogEvent::customEvent(QString(), {}, 5, "E-2"));

    const QString identifier = MSHAnalyticsGenerateIdentifier();
    EXPECT_TRUE(QRegularExpression("^[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}$")
                    .match(identifier)
                    .hasMatch())
        << identifier.toStdString();
}

TEST(AnalyticsEvents, BetaTokenAndMetadata)
{
    EXPECT_EQ(MSHAnalyticsMetadata::betaTesterToken("2:abc"), QString("abc"));
    EXPECT_FALSE(MSHAnalyticsMetadata::betaTesterToken("3:abc"));
    EXPECT_FALSE(MSHAnalyticsMetadata::betaTesterToken("2"));
    EXPECT_FALSE(MSHAnalyticsMetadata::betaTesterToken("2:a:b"));

    MSHAnalyticsIdentity identity;
    identity.APIKey = "key";
    identity.sessionIdentifier = "session";
    identity.installIdentifier = "install";
    identity.betaToken = "2:abc";
    const QJsonObject metadata =
        QJsonDocument::fromJson(MSHAnalyticsMetadata::metadataJSONData(1773480413589, identity))
            .object();
    EXPECT_EQ(metadata.value("platform").toString(), "linux");
    EXPECT_EQ(metadata.value("platform_code").toInt(-1), 0);
    EXPECT_EQ(metadata.value("started_at").toInteger(), 1773480413);
    EXPECT_EQ(metadata.value("beta_tester_token").toString(), "abc");
    EXPECT_EQ(metadata.value("session_id").toString(), "session");
    EXPECT_GE(metadata.value("cores").toInt(), 1);
    EXPECT_FALSE(metadata.contains("advertising_id"));
    EXPECT_FALSE(metadata.contains("vendor_id"));
    identity.betaToken = "3:abc";
    EXPECT_FALSE(QJsonDocument::fromJson(MSHAnalyticsMetadata::metadataJSONData(0, identity))
                     .object()
                     .contains("beta_tester_token"));
}

TEST(AnalyticsEvents, Equality)
{
    const MSHEventLogEvent plain(1, 2, "k");
    EXPECT_EQ(plain, MSHEventLogEvent(1, 2, "k"));
    EXPECT_EQ(plain.hash(), MSHEventLogEvent(1, 2, "k").hash());
    EXPECT_NE(plain, MSHEventLogEvent(1, 2, "k", QByteArray("x")));
    EXPECT_EQ(MSHEventLogEvent(1, 2, "k", QByteArray("x")),
              MSHEventLogEvent(1, 2, "k", QByteArray("x")));
    EXPECT_NE(MSHEventLogEvent(1, 2, "k", QByteArray("x")),
              MSHEventLogEvent(1, 2, "k", QByteArray("y")));
    EXPECT_NE(plain, MSHEventLogEvent(0, 2, "k"));
}

TEST(AnalyticsEvents, EventFileAppendsAndCountsItsSize)
{
    QTemporaryDir temporary;
    const QString path = temporary.filePath("1.log");
    // A folder standing where the file belongs is removed first.
    ASSERT_TRUE(QDir().mkpath(path + "/inner"));
    auto file = MSHEventLogEventFile::create(path);
    ASSERT_TRUE(file);
    EXPECT_TRUE(QFileInfo(path).isFile());
    EXPECT_EQ(file->fileSize(), 0u);
    ASSERT_TRUE(file->appendEvent(MSHEventLogEvent(1, 42, "ping")));
    ASSERT_TRUE(file->appendData("more\n"));
    EXPECT_EQ(file->fileSize(), uint64_t(QFileInfo(path).size()));
    EXPECT_EQ(file->readFromFile(), QByteArray("42\tping\nmore\n"));
    // Still open for appending after the read.
    ASSERT_TRUE(file->appendData("x"));
    ASSERT_TRUE(file->resetFile());
    EXPECT_EQ(QFileInfo(path).size(), 0);
    file.reset();

    // Reopened, it continues at the end.
    twWriteFile(path, "abc");
    auto again = MSHEventLogEventFile::create(path);
    ASSERT_TRUE(again);
    EXPECT_EQ(again->fileSize(), 3u);
}

} // namespace
