#include "AnalyticsTestSupport.h"

#include "crashreporting/common/MSHDispatchQueue.h"
#include "foundation/TWClock.h"

#include <QDir>
#include <QFile>
#include <QSemaphore>

QList<TWEventRecord> twReadEventRecords(const QString &path)
{
    QFile file(path);
    QList<TWEventRecord> records;
    if (!file.open(QIODevice::ReadOnly))
        return records;
    const QByteArray bytes = file.readAll();
    for (const QByteArray &line : bytes.split('\n')) {
        if (line.isEmpty())
            continue;
        const QList<QByteArray> fields = line.split('\t');
        TWEventRecord record;
        record.timestamp = fields.value(0);
        record.key = fields.value(1);
        if (fields.size() >= 4) {
            record.payload = line.mid(fields[0].size() + fields[1].size() + fields[2].size() + 3);
            EXPECT_EQ(fields[2].toInt(), record.payload.size());
        }
        records.append(record);
    }
    return records;
}

void twWriteFile(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

void TWAnalyticsFixture::SetUp()
{
    ASSERT_TRUE(temporary.isValid());
    root = temporary.filePath(QStringLiteral("analytics"));
    defaults =
        std::make_unique<MSHUserDefaults>(temporary.filePath(QStringLiteral("defaults.plist")));
    savedClock = TWClock::nowProvider();
    const QDateTime now = pinnedNow;
    TWClock::setNowProvider([now] { return now; });
}

void TWAnalyticsFixture::TearDown()
{
    TWClock::setNowProvider(savedClock);
}

std::shared_ptr<MSHAnalyticsController> TWAnalyticsFixture::makeController(const QString &session)
{
    MSHAnalyticsIdentity identity;
    identity.APIKey = QStringLiteral("analytics-api-key");
    identity.sessionIdentifier = session;
    identity.installIdentifier = QStringLiteral("INSTALL-1");
    identity.instanceIdentifier = QStringLiteral("instance-1");
    return MSHAnalyticsController::create(root, identity, *defaults);
}

void TWAnalyticsFixture::drain(MSHAnalyticsController &controller)
{
    // Twice: work on one queue may hand more to another.
    for (int round = 0; round < 2; ++round) {
        for (uint64_t priority = 0; priority < 3; ++priority)
            controller.loggingQueue(priority)->sync([] {});
        controller.sessionMaintenanceQueue().sync([] {});
    }
}

MSHErrorResult
TWAnalyticsFixture::runStep(const std::function<void(MSHAnalyticsController::Completion)> &step)
{
    auto done = std::make_shared<QSemaphore>();
    auto result = std::make_shared<MSHErrorResult>();
    step([done, result](const MSHErrorResult &error) {
        *result = error;
        done->release();
    });
    EXPECT_TRUE(done->tryAcquire(1, 15000));
    return *result;
}

QVariantMap TWAnalyticsFixture::settingsWithAnalytics(const QVariantMap &analytics,
                                                      bool collect) const
{
    return QVariantMap{
        {QStringLiteral("features"), QVariantMap{{QStringLiteral("collect_analytics"), collect}}},
        {QStringLiteral("analytics"), analytics}};
}

QString TWAnalyticsFixture::activePath() const
{
    return root + QStringLiteral("/v1/ACTIVE");
}

QString TWAnalyticsFixture::packagedPath() const
{
    return root + QStringLiteral("/v1/PACKAGED");
}
