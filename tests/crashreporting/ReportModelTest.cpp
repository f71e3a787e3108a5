// A report folder read back: identifier, metadata facts, whether it is worth sending.

#include "CrashTestSupport.h"

#include "MSHInternalReport.h"
#include "MSHReport.h"
#include "MSHStackFrame.h"

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

TEST_F(ReportModel, OnlyTheSecondErrorFileIsWorthSending)
{
    MSHInternalReport report(folder);
    write(QStringLiteral("metadata.mshrecord"), "{}\n");
    write(QStringLiteral("log_a.mshrecord"), "");
    EXPECT_FALSE(report.needsToBeSubmitted());
    write(QStringLiteral("errors_b.mshrecord"), "");
    EXPECT_TRUE(report.needsToBeSubmitted());
}

TEST_F(ReportModel, MissingMetadataGivesNoIdentifierKeyOrDate)
{
    write(QStringLiteral("signal.mshrecord"), "{\"signal\":{}}\n");
    MSHInternalReport report(folder);
    EXPECT_TRUE(report.identifier().isNull());
    EXPECT_TRUE(report.APIKey().isNull());
    EXPECT_FALSE(report.dateCreated().has_value());
    EXPECT_TRUE(report.OSVersion().isNull());
    EXPECT_TRUE(report.needsToBeSubmitted());
    QStringList files;
    report.enumerateSymbolicatableFilesInContent(
        [&](const QString &path) { files.append(QFileInfo(path).fileName()); });
    EXPECT_EQ(files,
              (QStringList{"exception.mshrecord", "mach_exception.mshrecord", "signal.mshrecord"}));
}

TEST_F(ReportModel, FewerThanThreeMetadataLinesGiveNoVersions)
{
    write(QStringLiteral("metadata.mshrecord"),
          "{\"identity\":{\"api_key\":\"key\",\"started_at\":1796600000,\"session_id\":\"S1\"}}\n"
          "{\"host\":{\"os_build_version\":\"#1 SMP\",\"os_display_version\":\"6.1\"}}\n");
    MSHInternalReport report(folder);
    EXPECT_EQ(report.identifier(), QStringLiteral("S1"));
    EXPECT_EQ(report.APIKey(), QStringLiteral("key"));
    EXPECT_EQ(report.dateCreated(), QDateTime::fromSecsSinceEpoch(1796600000, Qt::UTC));
    EXPECT_EQ(report.OSVersion(), QStringLiteral("6.1"));
    EXPECT_EQ(report.OSBuildVersion(), QStringLiteral("#1 SMP"));
    EXPECT_TRUE(report.bundleVersion().isNull());
    EXPECT_TRUE(report.bundleShortVersionString().isNull());

    // Read once: a later change of the file is not seen.
    write(QStringLiteral("metadata.mshrecord"), "{\"identity\":{\"api_key\":\"other\"}}\n");
    EXPECT_EQ(report.APIKey(), QStringLiteral("key"));
}

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

TEST_F(ReportModel, StackFrameDescriptions)
{
    MSHStackFrame frame = MSHStackFrame::stackFrameWithAddress(0x1f);
    frame.symbol = QStringLiteral("main");
    frame.lineNumber = 3;
    EXPECT_EQ(frame.description(), QStringLiteral("{[0x1f + 3] main}"));
    frame.fileName = QStringLiteral("a.cpp");
    EXPECT_EQ(frame.description(), QStringLiteral("{[0x1f] a.cpp - main:3}"));
}

} // namespace
