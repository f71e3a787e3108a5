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

TEST_F(ReportFolders, ASlashInTheBundleIdentifierGivesOneFolderLevel)
{
    MSHApplicationInfo::setBundleIdentifier(QStringLiteral("com.example/books"));
    EXPECT_EQ(MSHFileManager::pathNamespace(), QStringLiteral("com.example_books"));
    EXPECT_TRUE(MSHFileManager::defaultRootPath().endsWith(
        QStringLiteral("/com.mishap.data/com.example_books")));

    const mode_t previous = ::umask(077);
    const bool prepared = files.prepareForNewLaunch();
    const QString run = files.setupNewPathForExecutionIdentifier(QStringLiteral("run-1"));
    ::umask(previous);
    ASSERT_TRUE(prepared);
    EXPECT_EQ(run, files.activePath() + QStringLiteral("/run-1"));
    for (const QString &folder : {files.activePath(), files.processingPath(), files.preparedPath(),
                                  run, files.rootPath()}) {
        struct stat status {
        };
        ASSERT_EQ(::stat(QFile::encodeName(folder).constData(), &status), 0);
        EXPECT_EQ(status.st_mode & 0777, 0755u) << qPrintable(folder);
    }
    EXPECT_FALSE(QFileInfo::exists(files.pendingPath()));
}

TEST_F(ReportFolders, HiddenEntriesAreNeverListedMovedOrRemoved)
{
    const QString source = make(QStringLiteral("source"), {".partial", "a.mshrecord", "b"});
    const QString target = make(QStringLiteral("target"), {});
    QStringList listed;
    files.enumerateFilesInDirectory(source, [&](const QString &path, const QString &extension) {
        listed.append(QFileInfo(path).fileName() + QLatin1Char('|') + extension);
    });
    EXPECT_EQ(listed, (QStringList{"a.mshrecord|mshrecord", "b|"}));

    EXPECT_TRUE(files.moveItemsFromDirectory(source, target));
    EXPECT_EQ(names(source), QStringList{".partial"});
    EXPECT_EQ(names(target), (QStringList{"a.mshrecord", "b"}));
    twCrashTestWriteFile(target + QStringLiteral("/.kept"), "x");
    EXPECT_TRUE(files.removeContentsOfDirectoryAtPath(target));
    EXPECT_EQ(names(target), QStringList{".kept"});

    // A package left half-written under a hidden name is cleared at the next launch.
    ASSERT_TRUE(files.prepareForNewLaunch());
    twCrashTestWriteFile(files.preparedPath() + QStringLiteral("/.B0.multipartmime"), "cut");
    twCrashTestWriteFile(files.preparedPath() + QStringLiteral("/A1.multipartmime"), "whole");
    ASSERT_TRUE(files.prepareForNewLaunch());
    EXPECT_EQ(names(files.preparedPath()), QStringList{"A1.multipartmime"});
}

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
