// Usage-analytics events: the record line, the lifecycle and custom events, the metadata and
// the event file that appends them.

#include "AnalyticsTestSupport.h"

#include "crashreporting/analytics/MSHAnalyticsMetadata.h"
#include "crashreporting/analytics/MSHEventLogEvent.h"
#include "crashreporting/analytics/MSHEventLogEventFile.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

namespace
{

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
