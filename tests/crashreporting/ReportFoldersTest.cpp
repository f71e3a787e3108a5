// The folder tree of reports: layout, listings that skip hidden entries, removal and moves.

#include "CrashTestSupport.h"

#include "crashreporting/common/MSHApplicationInfo.h"
#include "crashreporting/common/MSHFileManager.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>
#include <sys/stat.h>
#include <utime.h>

namespace
{

class ReportFolders : public ::testing::Test
{
protected:
    QTemporaryDir temporary;
    MSHFileManager files{temporary.filePath(QStringLiteral("root"))};

    void TearDown() override { MSHApplicationInfo::reset(); }

    QString make(const QString &folder, const QStringList &names)
    {
        const QString path = temporary.filePath(folder);
        EXPECT_TRUE(QDir().mkpath(path));
        for (const QString &name : names)
            twCrashTestWriteFile(path + QLatin1Char('/') + name, name.toUtf8());
        return path;
    }

    static QStringList names(const QString &folder)
    {
        return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot,
                                      QDir::Name);
    }
};

TEST_F(ReportFolders, AnUndeletableEntryLeavesTheOthersRemovedAndAnswersFalse)
{
    twCrashTestChmod(temporary.path(), 0755);
    const QString folder = make(QStringLiteral("reports"), {"a", "c"});
    const QString locked = make(QStringLiteral("reports/b"), {"inside"});
    twCrashTestChmod(folder, 0777);
    twCrashTestChmod(locked, 0555);
    bool removed = true;
    {
        TWCrashTestUnprivileged unprivileged;
        removed = files.removeContentsOfDirectoryAtPath(folder);
    }
    twCrashTestChmod(locked, 0755);
    EXPECT_FALSE(removed);
    EXPECT_EQ(names(folder), QStringList{"b"});
    EXPECT_FALSE(files.removeItemAtPath(temporary.filePath(QStringLiteral("missing"))));
    EXPECT_FALSE(files.removeItemAtPath(QString()));
}

TEST_F(ReportFolders, MovingStopsAtTheFirstFailure)
{
    const QString source = make(QStringLiteral("source"), {"a", "b", "c"});
    const QString target = make(QStringLiteral("target"), {});
    ASSERT_TRUE(QDir().mkpath(target + QStringLiteral("/b")));
    EXPECT_FALSE(files.moveItemsFromDirectory(source, target));
    EXPECT_EQ(names(source), (QStringList{"b", "c"}));
    EXPECT_EQ(names(target), (QStringList{"a", "b"}));
    EXPECT_TRUE(QFileInfo(target + QStringLiteral("/b")).isDir());
    EXPECT_FALSE(files.moveItemAtPath(QString(), target));
    EXPECT_TRUE(files.moveItemsFromDirectory(temporary.filePath(QStringLiteral("none")), target));
}

} // namespace

TEST_F(ReportFolders, ReportsThatCannotBeSentAreKeptOnlyWithinBounds)
{
    const QString folder = temporary.filePath(QStringLiteral("prepared"));
    ASSERT_TRUE(QDir().mkpath(folder));
    const QDateTime now = QDateTime::currentDateTimeUtc();
    // Forty packages an hour apart (P00 the newest), one report folder of two months ago.
    for (int i = 0; i < 40; ++i) {
        const QString path =
            folder + QStringLiteral("/P%1.multipartmime").arg(i, 2, 10, QChar('0'));
        twCrashTestWriteFile(path, "package");
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadWrite));
        ASSERT_TRUE(
            file.setFileTime(now.addSecs(-3600 * (i + 1)), QFileDevice::FileModificationTime));
    }
    const QString old = folder + QStringLiteral("/OLD");
    ASSERT_TRUE(QDir().mkpath(old));
    twCrashTestWriteFile(old + QStringLiteral("/signal.mshrecord"), "{}\n");
    ::utimbuf times{now.addDays(-60).toSecsSinceEpoch(), now.addDays(-60).toSecsSinceEpoch()};
    ASSERT_EQ(::utime(QFile::encodeName(old).constData(), &times), 0);

    EXPECT_EQ(files.pruneDirectory(folder, 30, 30LL * 24 * 3600), 11);
    const QStringList left = names(folder);
    ASSERT_EQ(left.size(), 30);
    EXPECT_EQ(left.first(), QStringLiteral("P00.multipartmime"));
    EXPECT_EQ(left.last(), QStringLiteral("P29.multipartmime"));

    // Nothing young is removed while within the count.
    EXPECT_EQ(files.pruneDirectory(folder, 30, 30LL * 24 * 3600), 0);
}

TEST_F(ReportFolders, TheRunningProcesssFolderIsLockedAndLeftAloneUntilItsOwnerGoes)
{
    auto owner = std::make_unique<MSHFileManager>(temporary.filePath(QStringLiteral("shared")));
    ASSERT_TRUE(owner->prepareForNewLaunch());
    const QString running = owner->setupNewPathForExecutionIdentifier(QStringLiteral("RUNNING"));
    ASSERT_FALSE(running.isEmpty());
    MSHFileManager other(temporary.filePath(QStringLiteral("shared")));
    const QString ended = other.activePath() + QStringLiteral("/ENDED");
    ASSERT_TRUE(QDir().mkpath(ended));
    // No hidden folder is left from the set-up.
    EXPECT_EQ(names(other.activePath()), (QStringList{"ENDED", "RUNNING"}));
    EXPECT_TRUE(MSHFileManager::isReportFolderInUse(running));
    EXPECT_FALSE(MSHFileManager::isReportFolderInUse(ended));

    other.removeContentsOfAllPaths();
    EXPECT_EQ(names(other.activePath()), QStringList{"RUNNING"});

    owner.reset();
    EXPECT_FALSE(MSHFileManager::isReportFolderInUse(running));
}
