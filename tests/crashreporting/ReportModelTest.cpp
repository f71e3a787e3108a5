// A report folder read back: identifier, metadata facts, whether it is worth sending.

#include "CrashTestSupport.h"

#include "crashreporting/reports/MSHInternalReport.h"
#include "crashreporting/reports/MSHReport.h"
#include "crashreporting/reports/MSHStackFrame.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace
{

class ReportModel : public ::testing::Test
{
protected:
    QTemporaryDir temporary;
    QString folder = temporary.path();

    void write(const QString &name, const QByteArray &contents)
    {
        twCrashTestWriteFile(folder + QLatin1Char('/') + name, contents);
    }
};

TEST_F(ReportModel, TheRunningProcessMetadataAndUserIdentityOfAReport)
{
    const QString directory = twCrashTestReportDirectory();
    MSHInternalReport own(directory);
    EXPECT_EQ(own.identifier(), QStringLiteral("test-session"));
    EXPECT_EQ(own.APIKey(), QStringLiteral("test-api-key"));

    MSHReport report(std::make_shared<MSHInternalReport>(folder, QStringLiteral("run")));
    report.setUserName(QStringLiteral("Ann \"A\" Lee"));
    report.setObjectValue(1, QStringLiteral("ignored"));
    const auto lines =
        twCrashTestSections(folder + QStringLiteral("/internal_incremental_kv.mshrecord"));
    ASSERT_EQ(lines.size(), 1);
    const QJsonObject kv = lines[0].second.toObject();
    EXPECT_EQ(QByteArray::fromHex(kv.value("key").toString().toLatin1()),
              QByteArray("com.mishap.user-name"));
    EXPECT_EQ(QByteArray::fromHex(kv.value("value").toString().toLatin1()),
              QByteArray("Ann \"A\" Lee"));
    EXPECT_EQ(report.identifier(), QStringLiteral("run"));
}

} // namespace
