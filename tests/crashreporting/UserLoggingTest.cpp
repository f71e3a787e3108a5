// Custom keys, logs and logged errors written to a run's record files.

#include "CrashTestSupport.h"

#include "crashreporting/capture/MSHUserLogging.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <thread>

namespace
{

class UserLogging : public ::testing::Test
{
protected:
    QTemporaryDir temporary;
    QByteArray incremental;
    QByteArray compacted;
    MSHKeyValueStorage storage;
    uint32_t counter = 0;
    QByteArray aPath;
    QByteArray bPath;
    MSHLogStorage logs;
    const char *current = nullptr;

    void SetUp() override
    {
        twCrashTestReportDirectory();
        ASSERT_TRUE(MSHContextIsInitialized());
        useFolder(temporary.path());
        aPath = temporary.filePath(QStringLiteral("log_a.mshrecord")).toUtf8();
        bPath = temporary.filePath(QStringLiteral("log_b.mshrecord")).toUtf8();
        logs.aPath = aPath.constData();
        logs.bPath = bPath.constData();
        logs.maxSize = 200;
        current = logs.aPath;
    }

    void log(const QString &message)
    {
        MSHUserLoggingRecordLogMessage(&logs, &current, message);
        MSHUserLoggingFlush();
    }

    void useFolder(const QString &folder)
    {
        incremental = (folder + QStringLiteral("/user_incremental_kv.mshrecord")).toUtf8();
        compacted = (folder + QStringLiteral("/user_compacted_kv.mshrecord")).toUtf8();
        storage.incrementalPath = incremental.constData();
        storage.compactedPath = compacted.constData();
        storage.maxIncrementalCount = 64;
        storage.maxEntries = 64;
    }

    void set(const QString &key, const QVariant &value)
    {
        MSHUserLoggingRecordKeyValue(key, value, &storage, &counter);
    }

    // Key -> value of a file's "kv" lines, in file order.
    static QList<QPair<QByteArray, QJsonValue>> entries(const QByteArray &path)
    {
        QList<QPair<QByteArray, QJsonValue>> list;
        for (const auto &section : twCrashTestSections(QString::fromUtf8(path))) {
            EXPECT_EQ(section.first, QStringLiteral("kv"));
            const QJsonObject kv = section.second.toObject();
            list.append(
                {QByteArray::fromHex(kv.value("key").toString().toLatin1()), kv.value("value")});
        }
        return list;
    }

    static QStringList keys(const QByteArray &path)
    {
        QStringList list;
        for (const auto &entry : entries(path))
            list.append(QString::fromUtf8(entry.first));
        return list;
    }
};

QString text(const QJsonValue &hex)
{
    return QString::fromUtf8(QByteArray::fromHex(hex.toString().toLatin1()));
}

TEST_F(UserLogging, UnwritableCompactedFileKeepsEveryEarlierKey)
{
    twCrashTestChmod(temporary.path(), 0755);
    const QString folder = temporary.filePath(QStringLiteral("kv"));
    ASSERT_TRUE(QDir().mkpath(folder));
    useFolder(folder);
    set(QStringLiteral("a"), 1);
    set(QStringLiteral("b"), 2);
    MSHUserLoggingFlush();
    MSHUserLoggingCompactKVEntries(&storage);
    set(QStringLiteral("a"), 3);
    set(QStringLiteral("c"), 4);
    MSHUserLoggingFlush();

    twCrashTestChmod(folder, 0555);
    {
        TWCrashTestUnprivileged unprivileged;
        MSHUserLoggingCompactKVEntries(&storage);
    }
    twCrashTestChmod(folder, 0755);
    EXPECT_EQ(keys(compacted), (QStringList{QStringLiteral("a"), QStringLiteral("b")}));
    EXPECT_EQ(keys(incremental), (QStringList{QStringLiteral("a"), QStringLiteral("c")}));
    EXPECT_EQ(QDir(folder).entryList(QDir::Files | QDir::Hidden).size(), 2);

    MSHUserLoggingCompactKVEntries(&storage);
    const auto folded = entries(compacted);
    ASSERT_EQ(folded.size(), 3);
    EXPECT_EQ(folded[0].first, QByteArray("b"));
    EXPECT_EQ(folded[1].first, QByteArray("a"));
    EXPECT_EQ(text(folded[1].second), QStringLiteral("3"));
}

TEST_F(UserLogging, TwoThreadsWritingInternalKeysLeaveWholeLines)
{
    const QString directory = twCrashTestReportDirectory();
    // Longer than the writer's buffer, so unserialised writes would interleave.
    const QString value(1500, QLatin1Char('v'));
    auto writer = [&value](const QString &prefix) {
        for (int i = 0; i < 100; ++i)
            MSHUserLoggingWriteInternalKeyValue(prefix + QString::number(i), value);
    };
    std::thread first(writer, QStringLiteral("first-"));
    std::thread second(writer, QStringLiteral("second-"));
    first.join();
    second.join();
    MSHUserLoggingFlush();
    for (const QString &name : {QStringLiteral("internal_incremental_kv.mshrecord"),
                                QStringLiteral("internal_compacted_kv.mshrecord")}) {
        for (const auto &section : twCrashTestSections(directory + QLatin1Char('/') + name)) {
            EXPECT_EQ(section.first, QStringLiteral("kv"));
            EXPECT_EQ(text(section.second.toObject().value("value")), value);
        }
    }
    EXPECT_LE(
        twCrashTestLines(directory + QStringLiteral("/internal_compacted_kv.mshrecord")).size(),
        32);
}

} // namespace
