// The usage-analytics folder tree: names, removal of emptied folders, prep folders, clean-up.

#include "AnalyticsTestSupport.h"

#include "crashreporting/analytics/MSHEventLogSessionRepository.h"

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

} // namespace
