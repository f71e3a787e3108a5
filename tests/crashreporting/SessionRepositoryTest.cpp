// The usage-analytics folder tree: names, removal of emptied folders, prep folders, clean-up.

#include "AnalyticsTestSupport.h"

#include "MSHEventLogSessionRepository.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace
{

class SessionRepository : public ::testing::Test
{
protected:
    QTemporaryDir temporary;
    QString root = temporary.filePath("analytics");
    MSHEventLogSessionRepository repository{root};
    const QString active = MSHEventLogSessionRepository::activeStateName;
    const QString packaged = MSHEventLogSessionRepository::packagedStateName;

    QString fragment(const QString &state, uint64_t session, uint64_t fragmentTimestamp)
    {
        return *repository.sessionFragmentDirectory(state, "S", session, "F", fragmentTimestamp);
    }
};

TEST_F(SessionRepository, RemovingTheLastFileRemovesEmptiedFolders)
{
    const auto file = repository.eventLogFile(active, "S", 10, "F", 20, 1);
    ASSERT_TRUE(file);
    EXPECT_EQ(*file, root + "/v1/ACTIVE/10_S/20_F/1.log");
    twWriteFile(*file, "x\n");
    const QString other = fragment(packaged, 11, 21) + "/0.log.zip";
    twWriteFile(other, "z");

    ASSERT_TRUE(repository.removeLogFile(*file));
    EXPECT_FALSE(QFileInfo::exists(root + "/v1/ACTIVE/10_S/20_F"));
    EXPECT_FALSE(QFileInfo::exists(root + "/v1/ACTIVE/10_S"));
    EXPECT_FALSE(QFileInfo::exists(root + "/v1/ACTIVE"));
    EXPECT_TRUE(QFileInfo::exists(other));

    // A fragment that still holds a file stays.
    const QString kept = fragment(active, 12, 22);
    twWriteFile(kept + "/0.log", "a");
    twWriteFile(kept + "/2.log", "b");
    ASSERT_TRUE(repository.removeLogFile(kept + "/2.log"));
    EXPECT_TRUE(QFileInfo::exists(kept + "/0.log"));
}

TEST_F(SessionRepository, NamesAndPriorities)
{
    EXPECT_EQ(MSHEventLogSessionRepository::priorityForEventLogFileWithName("1.log.zip"), 1);
    EXPECT_EQ(MSHEventLogSessionRepository::priorityForEventLogFileWithName("0.log"), 0);
    EXPECT_EQ(MSHEventLogSessionRepository::priorityForEventLogFileWithName("2.log"), 2);
    EXPECT_EQ(MSHEventLogSessionRepository::priorityForEventLogFileWithName("3.log"), -1);
    EXPECT_EQ(MSHEventLogSessionRepository::priorityForEventLogFileWithName("3.log.zip"), -1);
    EXPECT_EQ(MSHEventLogSessionRepository::priorityForEventLogFileWithName("1.log.zip.zip"), -1);
    EXPECT_EQ(MSHEventLogSessionRepository::priorityForEventLogFileWithName("x1.log"), -1);
    EXPECT_FALSE(MSHEventLogSessionRepository::activeEventLogFileNameForPriority(3));
    EXPECT_EQ(MSHEventLogSessionRepository::sessionDirectoryName("ABC", 1773480413589),
              "1773480413589_ABC");
}

TEST_F(SessionRepository, CleanUpKeepsOnlyWhatTheTreeAllows)
{
    const QString open = fragment(active, 10, 20);
    twWriteFile(open + "/notes.txt", "kept: the open fragment is never touched");
    const QString closed = fragment(active, 10, 30);
    twWriteFile(closed + "/0.log", "a");
    twWriteFile(closed + "/stray.txt", "b");
    QDir().mkpath(closed + "/sub");
    const QString onlyStrays = fragment(packaged, 11, 40);
    twWriteFile(onlyStrays + "/junk.bin", "c");
    twWriteFile(fragment(packaged, 11, 41) + "/1.log.zip", "d");
    twWriteFile(root + "/v1/README", "e");
    QDir().mkpath(root + "/v1/OTHER/x");
    twWriteFile(root + "/v1/ACTIVE/loose.log", "f");
    twWriteFile(root + "/v1/ACTIVE/10_S/loose.log", "g");

    ASSERT_TRUE(repository.cleanUpEventLogRepositoryIgnoringSessionFragmentDirectory(open));
    EXPECT_TRUE(QFileInfo::exists(open + "/notes.txt"));
    EXPECT_TRUE(QFileInfo::exists(closed + "/0.log"));
    EXPECT_FALSE(QFileInfo::exists(closed + "/stray.txt"));
    EXPECT_FALSE(QFileInfo::exists(closed + "/sub"));
    EXPECT_FALSE(QFileInfo::exists(onlyStrays));
    EXPECT_TRUE(QFileInfo::exists(fragment(packaged, 11, 41) + "/1.log.zip"));
    EXPECT_FALSE(QFileInfo::exists(root + "/v1/README"));
    EXPECT_FALSE(QFileInfo::exists(root + "/v1/OTHER"));
    EXPECT_FALSE(QFileInfo::exists(root + "/v1/ACTIVE/loose.log"));
    EXPECT_FALSE(QFileInfo::exists(root + "/v1/ACTIVE/10_S/loose.log"));
    EXPECT_TRUE(QFileInfo(root + "/v1").isDir());
}

TEST_F(SessionRepository, PrepFoldersReplaceTheirPlainSibling)
{
    const QString closed = fragment(active, 10, 30);
    const auto prep = repository.prepSessionFragmentDirectory(packaged, closed);
    ASSERT_TRUE(prep);
    EXPECT_EQ(*prep, root + "/v1/PACKAGED/10_S/30_F.prep");
    twWriteFile(*prep + "/0.log.zip", "new");
    const QString plain = root + "/v1/PACKAGED/10_S/30_F";
    twWriteFile(plain + "/old.log.zip", "old");

    const auto renamed = repository.removePrepStatus(*prep);
    ASSERT_TRUE(renamed);
    EXPECT_EQ(*renamed, plain);
    EXPECT_TRUE(QFileInfo::exists(plain + "/0.log.zip"));
    EXPECT_FALSE(QFileInfo::exists(plain + "/old.log.zip"));
    EXPECT_FALSE(QFileInfo::exists(*prep));
    EXPECT_FALSE(repository.removePrepStatus(plain));

    // An unfinished copy is purged; finished fragments stay.
    const auto unfinished =
        repository.prepSessionFragmentDirectory(packaged, fragment(active, 10, 31));
    ASSERT_TRUE(unfinished);
    ASSERT_TRUE(repository.purgePrepSessionFragmentDirectories(packaged));
    EXPECT_FALSE(QFileInfo::exists(*unfinished));
    EXPECT_TRUE(QFileInfo::exists(plain));
}

TEST_F(SessionRepository, ItemsOfTheOtherKindAreReplacedAndListingsSkipHiddenNames)
{
    const QString path = temporary.filePath("item");
    ASSERT_TRUE(QDir().mkpath(path + "/inner"));
    ASSERT_TRUE(repository.createFile(path));
    EXPECT_TRUE(QFileInfo(path).isFile());
    ASSERT_TRUE(repository.createDirectory(path));
    EXPECT_TRUE(QFileInfo(path).isDir());

    const QString session = *repository.sessionDirectory(active, "S", 1);
    EXPECT_TRUE(QFileInfo(session).permission(QFileDevice::ExeOther));
    QDir().mkpath(session + "/.hidden");
    QDir().mkpath(session + "/5_F");
    const auto fragments = repository.sessionFragmentDirectoriesForSessionDirectory(session);
    ASSERT_TRUE(fragments);
    EXPECT_EQ(*fragments, QStringList{session + "/5_F"});
    twWriteFile(session + "/5_F/0.log", "a");
    twWriteFile(session + "/5_F/.1.log", "b");
    twWriteFile(session + "/5_F/notes.txt", "c");
    EXPECT_EQ(repository.logFilesForSessionFragmentDirectory(session + "/5_F"),
              QStringList{session + "/5_F/0.log"});
    EXPECT_EQ(repository.logFilesForAllStates(), QStringList{session + "/5_F/0.log"});
}

} // namespace
