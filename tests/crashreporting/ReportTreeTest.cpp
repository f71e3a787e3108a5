// Where the report tree lies and what it reaches: a cache folder named in any bytes, folders
// swapped for links while a report is packaged, and file
// systems mounted inside the tree.

#include "CrashLaunchTestSupport.h"
#include "CrashTestSupport.h"

#include "crashreporting/common/MSHApplicationInfo.h"
#include "crashreporting/common/MSHFileManager.h"
#include "crashreporting/common/MSHStepObserver.h"
#include "crashreporting/reports/MSHInternalReport.h"
#include "crashreporting/reports/MSHPackageReportOperation.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QUuid>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <ftw.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

namespace
{

class ReportTree : public ::testing::Test
{
protected:
    QTemporaryDir temporary;
    TWEnvironmentGuard environment;

    void SetUp() override { MSHApplicationInfo::setBundleIdentifier(QStringLiteral("tw.tree")); }
    void TearDown() override { MSHApplicationInfo::reset(); }

    static QStringList names(const QString &folder)
    {
        return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot,
                                      QDir::Name);
    }
};

// However the cache folder or the root is written ("/" at its end, "//" or "/./" in it), a report
// folder or a package recorded as settled is known as settled again: the record and the question
// compare the same form of the path.
TEST_F(ReportTree, TheSettledRecordHoldsForEveryFormOfThePath)
{
    const QByteArray cache = QFile::encodeName(temporary.filePath(QStringLiteral("cache")));
    for (const QByteArray &written :
         {cache + '/', QFile::encodeName(temporary.path()) + "//cache//", cache + "/./"}) {
        environment.set("XDG_CACHE_HOME", written);
        MSHFileManager fromCache;
        MSHFileManager fromRoot(QFile::decodeName(written + "root/"));
        for (MSHFileManager *files : {&fromCache, &fromRoot}) {
            ASSERT_TRUE(files->prepareForNewLaunch()) << written.constData();
            const QString folder = files->activePath() + QStringLiteral("/EARLIER");
            ASSERT_TRUE(QDir().mkpath(folder));
            const QString boundary = QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
            EXPECT_TRUE(files->settleFolder(folder, boundary)) << written.constData();
            EXPECT_TRUE(files->isSettled(QDir::cleanPath(folder))) << written.constData();
            const QString package = files->preparedPath() + QLatin1Char('/') + boundary +
                                    QStringLiteral(".multipartmime");
            EXPECT_TRUE(files->settlePackage(package));
            EXPECT_TRUE(files->isSettled(package)) << written.constData();
        }
        ASSERT_TRUE(QDir(temporary.filePath(QStringLiteral("cache"))).removeRecursively());
    }
}

// A cache folder whose name is no UTF-8 holds the tree itself: no folder of another name is made
// beside it.
TEST_F(ReportTree, ACachePathThatIsNoUtf8StaysItsOwnBytes)
{
    const QByteArray cache = QFile::encodeName(temporary.path()) + "/caf\xe9";
    ASSERT_EQ(::mkdir(cache.constData(), 0700), 0);
    environment.set("XDG_CACHE_HOME", cache);
    MSHFileManager files;
    ASSERT_TRUE(files.prepareForNewLaunch());
    EXPECT_FALSE(files.setupNewPathForExecutionIdentifier(QStringLiteral("RUN")).isEmpty());
    struct stat status {
    };
    EXPECT_EQ(::lstat(cache + "/com.mishap.data/tw.tree/v3/active/RUN", &status), 0);
    // Every path the tree hands out names that folder.
    EXPECT_TRUE(QFileInfo(files.activePath() + QStringLiteral("/RUN")).isDir());
    // Listed as bytes (a QString would not tell the two names apart), then removed as bytes.
    QList<QByteArray> made;
    if (DIR *listing = ::opendir(QFile::encodeName(temporary.path()))) {
        while (const dirent *entry = ::readdir(listing)) {
            if (entry->d_name[0] != '.')
                made.append(entry->d_name);
        }
        ::closedir(listing);
    }
    EXPECT_EQ(made, QList<QByteArray>{"caf\xe9"});
    for (const QByteArray &name : made)
        ::nftw(
            QFile::encodeName(temporary.path()) + '/' + name,
            [](const char *path, const struct stat *, int, FTW *) { return ::remove(path); }, 16,
            FTW_DEPTH | FTW_PHYS);
}

// The prepared folder swapped for a link after the start looked at it: the package is written in
// a prepared folder of the component's own, never where the link leads.
TEST_F(ReportTree, APreparedFolderSwappedForALinkIsNeverWrittenThrough)
{
    static QString prepared;
    static QString elsewhere;
    MSHFileManager files(temporary.filePath(QStringLiteral("root")));
    ASSERT_TRUE(files.prepareForNewLaunch());
    prepared = files.preparedPath();
    elsewhere = temporary.filePath(QStringLiteral("elsewhere"));
    ASSERT_TRUE(QDir().mkpath(elsewhere));
    const QString report = files.processingPath() + QStringLiteral("/EARLIER");
    twMakeEarlierReport(files.processingPath(), QStringLiteral("EARLIER"));

    MSHSetStepObserver([](const char *step) {
        if (qstrcmp(step, "package-to-write") != 0)
            return;
        QDir().rename(prepared, prepared + QStringLiteral("-moved"));
        QFile::link(elsewhere, prepared);
    });
    MSHPackageReportOperation packaging(MSHInternalReport::reportWithPath(report), &files);
    packaging.start();
    MSHSetStepObserver(nullptr);

    EXPECT_EQ(names(elsewhere), QStringList());
    ASSERT_FALSE(packaging.finalPath().isEmpty());
    EXPECT_FALSE(QFileInfo(prepared).isSymLink());
    EXPECT_EQ(files.preparedPathContents(), QStringList{packaging.finalPath()});

    // So is the folder of the running launch, when active was swapped after the start's look.
    ASSERT_TRUE(QDir().rename(files.activePath(), files.activePath() + QStringLiteral("-moved")));
    ASSERT_TRUE(QFile::link(elsewhere, files.activePath()));
    EXPECT_FALSE(files.setupNewPathForExecutionIdentifier(QStringLiteral("RUN")).isEmpty());
    EXPECT_EQ(names(elsewhere), QStringList());
    EXPECT_EQ(files.activePathContents(), QStringList{files.activePath() + QStringLiteral("/RUN")});

    // And a moment's absence of the active folder never turns the launch's reporting off.
    ASSERT_TRUE(QDir().rename(files.activePath(), files.activePath() + QStringLiteral("-gone")));
    EXPECT_FALSE(files.setupNewPathForExecutionIdentifier(QStringLiteral("NEXT")).isEmpty());
    EXPECT_TRUE(files.activePathContents().contains(files.activePath() + QStringLiteral("/NEXT")));
}

// A file system mounted inside the tree (a bind mount in a report folder or a stage folder) is
// never emptied when what holds it is removed.
TEST_F(ReportTree, NothingOnAnotherDeviceIsRemoved)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "only root can make a bind mount";
    MSHFileManager files(temporary.filePath(QStringLiteral("root")));
    ASSERT_TRUE(files.prepareForNewLaunch());
    const QString outside = temporary.filePath(QStringLiteral("outside"));
    ASSERT_TRUE(QDir().mkpath(outside + QStringLiteral("/inner")));
    twCrashTestWriteFile(outside + QStringLiteral("/letter.txt"), "dear");
    twCrashTestWriteFile(outside + QStringLiteral("/inner/note.txt"), "note");
    const QStringList mounts = {files.processingPath() + QStringLiteral("/MOUNTED"),
                                files.preparedPath() + QStringLiteral("/held/MOUNTED")};
    for (const QString &point : mounts) {
        ASSERT_TRUE(QDir().mkpath(point));
        if (::mount(QFile::encodeName(outside), QFile::encodeName(point), nullptr, MS_BIND,
                    nullptr) != 0) {
            for (const QString &mounted : mounts)
                ::umount2(QFile::encodeName(mounted), MNT_DETACH);
            GTEST_SKIP() << "no bind mount here: " << std::strerror(errno);
        }
    }
    files.removeContentsOfAllPaths();
    for (const QString &point : mounts)
        EXPECT_EQ(::umount2(QFile::encodeName(point), MNT_DETACH), 0);
    EXPECT_EQ(names(outside), (QStringList{"inner", "letter.txt"}));
    EXPECT_EQ(names(outside + QStringLiteral("/inner")), QStringList{"note.txt"});
}

} // namespace
