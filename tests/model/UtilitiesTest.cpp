#include "TWTestSupport.h"
#include "model/TWPreferences.h"
#include "model/TWUtilities.h"
#include "platform/TWIdleTime.h"

#include <QFileInfo>
#include <QImageReader>

#include <gtest/gtest.h>

#include <cstdlib>

namespace
{

class FakeIdleTime : public TWIdleTimeSource
{
public:
    explicit FakeIdleTime(double seconds) : m_seconds(seconds) {}
    double idleSeconds() override { return m_seconds; }

private:
    double m_seconds;
};

class UtilitiesTest : public ::testing::Test
{
protected:
    TWTestTempDir m_dir;
    TWPreferences m_preferences{m_dir.filePath(QStringLiteral("prefs.ini"))};
    TWUtilities m_utilities{m_preferences, std::make_unique<FakeIdleTime>(42.5)};
};

} // namespace

TEST_F(UtilitiesTest, WritesJPEGFilesAndThumbnails)
{
    QImage image(200, 100, QImage::Format_RGB32);
    image.fill(QColor(200, 30, 30));
    const QString path = m_utilities.writeJPEGImageFile(image);
    ASSERT_FALSE(path.isEmpty());
    QImageReader reader(path);
    EXPECT_EQ(reader.format(), QByteArray("jpeg"));
    const QImage back = reader.read();
    EXPECT_EQ(back.size(), QSize(200, 100));
    // Best quality keeps a flat colour nearly exact.
    EXPECT_LE(qAbs(QColor(back.pixel(100, 50)).red() - 200), 3);

    const QString thumbnail = m_utilities.thumbnailImageFile(image);
    ASSERT_FALSE(thumbnail.isEmpty());
    EXPECT_EQ(QImageReader(thumbnail).size(), QSize(50, 25));

    EXPECT_TRUE(m_utilities.writeJPEGImageFile(QImage()).isEmpty());
    EXPECT_FALSE(TWUtilities::writeJPEGImageFile(
        image, m_dir.filePath(QStringLiteral("no/such/dir/x.jpg"))));
    EXPECT_FALSE(
        TWUtilities::writeJPEGImageFile(image, QUrl(QStringLiteral("https://example.com/x.jpg"))));
}

// Named Date* so the suite also runs in the zone with daylight saving.
TEST(DateIntervalPresets, StartAndEndAroundMonthEndsAndLeapYears)
{
    using U = TWUtilities;
    {
        TWFixedClock clock(2024, 3, 31, 15, 30, 0);
        EXPECT_EQ(U::intervalFromDate(1, {}), twLocal(2024, 3, 31));
        EXPECT_EQ(U::intervalToDate(2, {}), twLocal(2024, 3, 30, 23, 59, 59));
        EXPECT_EQ(U::intervalFromDate(3, {}), twLocal(2024, 3, 24));
        EXPECT_EQ(U::intervalToDate(3, {}), twLocal(2024, 3, 31, 23, 59, 59));
        // 31 February 2024 carries to 2 March.
        EXPECT_EQ(U::intervalFromDate(4, {}), twLocal(2024, 3, 2));
        EXPECT_EQ(U::intervalFromDate(5, {}), twLocal(2023, 3, 31));
    }
    {
        TWFixedClock clock(2023, 3, 31, 0, 0, 0);
        EXPECT_EQ(U::intervalFromDate(4, {}), twLocal(2023, 3, 3));
    }
    {
        TWFixedClock clock(2024, 2, 29, 9, 0, 0);
        EXPECT_EQ(U::intervalFromDate(5, {}), twLocal(2023, 3, 1));
        EXPECT_EQ(U::intervalFromDate(4, {}), twLocal(2024, 1, 29));
    }
    {
        TWFixedClock clock(2024, 3, 1, 9, 0, 0);
        EXPECT_EQ(U::intervalFromDate(2, {}), twLocal(2024, 2, 29));
    }
    EXPECT_EQ(U::intervalFromDate(6, twLocal(2022, 5, 6, 13, 14, 15)), twLocal(2022, 5, 6));
    for (std::uint32_t none : {0u, 7u})
        EXPECT_FALSE(U::intervalToDate(none, twLocal(2022, 1, 1)).isValid()) << none;
    EXPECT_FALSE(U::intervalFromDate(6, QDateTime()).isValid());
}

TEST(Utilities, VersionComparison)
{
    using U = TWUtilities;
    EXPECT_EQ(U::compareVersionString(QStringLiteral("1.10"), QStringLiteral("1.2")), 1);
    EXPECT_EQ(U::compareVersionString(QStringLiteral("2"), QStringLiteral("2.0.0")), 0);
    EXPECT_EQ(U::compareVersionString(QStringLiteral("2.0"), QStringLiteral("2.0.1")), -1);
    EXPECT_EQ(U::compareVersionString(QStringLiteral("2.3\n"), QStringLiteral("2.3")), 0);
    EXPECT_EQ(U::compareVersionString(QStringLiteral("1.0b2"), QStringLiteral("1.0")), 0);
    EXPECT_EQ(U::compareVersionString(QString(), QStringLiteral("0")), 0);
    EXPECT_EQ(U::compareVersionString(QStringLiteral("99999999999999999999"),
                                      QStringLiteral("4294967295")),
              0);
}

TEST_F(UtilitiesTest, UpdateDecisionHonoursTheSkippedVersion)
{
    const QString app = QStringLiteral("2.1");
    EXPECT_TRUE(m_utilities.updateAvailable(QByteArray("2.1"), false, app).isEmpty());
    EXPECT_EQ(m_utilities.updateAvailable(QByteArray("2.2"), false, app), QStringLiteral("2.2"));
    EXPECT_TRUE(m_utilities.updateAvailable(QByteArray(), false, app).isEmpty());
    m_preferences.setCheckForUpdateSkipVersion(QStringLiteral("2.2"));
    EXPECT_TRUE(m_utilities.updateAvailable(QByteArray("2.2"), true, app).isEmpty());
    EXPECT_EQ(m_utilities.updateAvailable(QByteArray("2.2"), false, app), QStringLiteral("2.2"));
    EXPECT_EQ(m_utilities.updateAvailable(QByteArray("2.3"), true, app), QStringLiteral("2.3"));
    // The answer is taken as it came.
    EXPECT_EQ(m_utilities.updateAvailable(QByteArray("2.3\n"), true, app), QStringLiteral("2.3\n"));
}
