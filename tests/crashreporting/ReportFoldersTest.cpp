// The folder tree of reports: layout, listings that skip hidden entries, removal and moves.

#include "CrashTestSupport.h"

#include "MSHApplicationInfo.h"
#include "MSHFileManager.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>

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
