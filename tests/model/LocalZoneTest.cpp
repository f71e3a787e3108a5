// The zone file the program names for the C library: conversions read it as a set TZ does,
// a replaced file is read again at the next look (or the first event after the event loop
// slept), and a zone the user set is left alone.

#include "foundation/TWLocalZone.h"

#include <QDateTime>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include <cstdio>
#include <ctime>

namespace
{

// The local offset in the middle of January, as the C library converts it.
int januaryOffset()
{
    return QDateTime(QDate(2024, 1, 15), QTime(12, 0), Qt::UTC).toLocalTime().offsetFromUtc();
}

class LocalZoneTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_hadZone = qEnvironmentVariableIsSet("TZ");
        m_zone = qgetenv("TZ");
        qunsetenv("TZ");
        tzset();
        ASSERT_TRUE(m_folder.isValid());
        m_file = m_folder.filePath(QStringLiteral("localtime"));
    }
    void TearDown() override
    {
        if (m_hadZone)
            qputenv("TZ", m_zone);
        else
            qunsetenv("TZ");
        tzset();
    }

    // Puts the system's zone in place of the file by a rename, as a change of zone replaces
    // /etc/localtime.
    bool place(const char *zone) const
    {
        const QString staged = m_file + QStringLiteral(".new");
        QFile::remove(staged);
        return QFile::copy(QStringLiteral("/usr/share/zoneinfo/") + QLatin1String(zone), staged) &&
               std::rename(QFile::encodeName(staged).constData(),
                           QFile::encodeName(m_file).constData()) == 0;
    }
    QByteArray file() const { return QFile::encodeName(m_file); }

    QTemporaryDir m_folder;
    QString m_file;
    bool m_hadZone = false;
    QByteArray m_zone;
};

} // namespace

TEST_F(LocalZoneTest, ReadsTheNamedFileAndReadsItAgainWhenReplaced)
{
    ASSERT_TRUE(place("Europe/Berlin"));
    TWLocalZone::install(file());
    EXPECT_EQ(qgetenv("TZ"), ':' + file());
    EXPECT_EQ(januaryOffset(), 3600);
    TWLocalZone::refresh();
    EXPECT_EQ(januaryOffset(), 3600);

    ASSERT_TRUE(place("America/New_York"));
    TWLocalZone::refresh();
    EXPECT_EQ(januaryOffset(), -5 * 3600);
    // Named as before, so the conversions that follow stay as cheap.
    EXPECT_EQ(qgetenv("TZ"), ':' + file());
    EXPECT_EQ(QDateTime(QDate(2024, 7, 15), QTime(12, 0), Qt::UTC).toLocalTime().offsetFromUtc(),
              -4 * 3600);
}

TEST_F(LocalZoneTest, AnEventAfterTheLoopSleptSeesTheNewZone)
{
    ASSERT_TRUE(place("Europe/Berlin"));
    TWLocalZone::install(file());
    ASSERT_EQ(januaryOffset(), 3600);
    ASSERT_TRUE(place("Asia/Tokyo"));
    int seen = 0;
    QEventLoop loop;
    QTimer::singleShot(20, &loop, [&] {
        seen = januaryOffset();
        loop.quit();
    });
    loop.exec();
    EXPECT_EQ(seen, 9 * 3600);
}

TEST_F(LocalZoneTest, AZoneTheUserSetIsLeftAlone)
{
    ASSERT_TRUE(place("Europe/Berlin"));
    qputenv("TZ", "Asia/Tokyo");
    tzset();
    TWLocalZone::install(file());
    EXPECT_EQ(qgetenv("TZ"), QByteArray("Asia/Tokyo"));
    TWLocalZone::refresh();
    EXPECT_EQ(januaryOffset(), 9 * 3600);
}
