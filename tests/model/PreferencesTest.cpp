// Preferences: defaults, storage, notifications, version check, temporary directory.

#include "TWNotificationCenter.h"
#include "TWPreferences.h"
#include "TWTestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace
{

class PreferencesTest : public ::testing::Test
{
protected:
    QString file() const { return m_dir.filePath(QStringLiteral("prefs.ini")); }
    QStringList storedKeys() const { return QSettings(file(), QSettings::IniFormat).allKeys(); }
    void write(const QString &key, const QVariant &value) const
    {
        QSettings settings(file(), QSettings::IniFormat);
        settings.setValue(key, value);
    }
    QVariant stored(const QString &key) const
    {
        return QSettings(file(), QSettings::IniFormat).value(key);
    }

    TWTestTempDir m_dir;
};

// Counts "preferences" notifications sent by one object.
class PostCounter
{
public:
    explicit PostCounter(const void *sender)
    {
        m_token = TWNotificationCenter::defaultCenter().addObserver(
            QStringLiteral("preferences"), sender, [this](const TWNotification &) { ++count; });
    }
    ~PostCounter() { TWNotificationCenter::defaultCenter().removeObserver(m_token); }
    int count = 0;

private:
    TWNotificationCenter::Token m_token;
};

} // namespace

TEST_F(PreferencesTest, EmptyStoreGivesEveryDefaultAndWritesNothing)
{
    TWPreferences p(file());
    EXPECT_EQ(p.lastAccountType(), 16u);
    EXPECT_EQ(p.autoSave(), 5);
    EXPECT_EQ(p.startingIdentifier(), 1u);
    EXPECT_EQ(p.idleTimeout(), 10);
    EXPECT_EQ(p.roundInvoiceTaskTime(), 1);
    EXPECT_EQ(p.normalExportFontSize(), 14.0);
    EXPECT_FALSE(p.transactionColour().isValid());
    EXPECT_EQ(p.estimateColour(), QColor::fromRgbF(0.1f, 0.5f, 0.1f));
    EXPECT_LT(p.clearedColour().lightness(), p.closedColour().lightness());
    EXPECT_EQ(p.localeCurrencyCode(), QStringLiteral("USD"));
    EXPECT_FALSE(p.upgraded());
    EXPECT_TRUE(storedKeys().isEmpty());
}

TEST_F(PreferencesTest, SettingsSurviveARestart)
{
    {
        TWPreferences p(file());
        p.setStartingIdentifier(500);
        p.setDefaultLastDateUnit(false);
        p.setAutoSave(0);
        p.setCheckForUpdateSkipVersion(QStringLiteral("2.2"));
        p.setCheckForUpdateNextDate(twLocal(2024, 5, 6, 7, 8, 9));
        p.setLastOpenBusinessURL(QStringLiteral("/home/me/Books.tallyworth"));
        p.setSmallExportFontSize(12.1);
        p.setOverdueColour(QColor(10, 20, 30, 40));
        p.setEstimateColour(QColor());
        EXPECT_EQ(p.smallExportFontSize(), 12.1);
    }
    EXPECT_EQ(stored(QStringLiteral("defaultLastDateUnit")).toInt(), 0);
    EXPECT_EQ(stored(QStringLiteral("overdueColour")).toString(), QStringLiteral("#280a141e"));
    TWPreferences p(file());
    EXPECT_EQ(p.startingIdentifier(), 500u);
    EXPECT_FALSE(p.defaultLastDateUnit());
    EXPECT_EQ(p.autoSave(), 0);
    EXPECT_EQ(p.checkForUpdateSkipVersion(), QStringLiteral("2.2"));
    EXPECT_EQ(p.checkForUpdateNextDate(), twLocal(2024, 5, 6, 7, 8, 9));
    EXPECT_EQ(p.lastOpenBusinessURL(), QStringLiteral("/home/me/Books.tallyworth"));
    EXPECT_EQ(p.smallExportFontSize(), double(12.1f));
    EXPECT_EQ(p.overdueColour(), QColor(10, 20, 30, 40));
    // Chosen "control text colour" stays chosen instead of returning to the default.
    EXPECT_FALSE(p.estimateColour().isValid());

    // Clearing optional values removes them.
    p.setCheckForUpdateSkipVersion(QString());
    p.setCheckForUpdateNextDate(QDateTime());
    p.setLastOpenBusinessURL(QString());
    EXPECT_FALSE(storedKeys().contains(QStringLiteral("checkForUpdateSkipVersion")));
    EXPECT_FALSE(storedKeys().contains(QStringLiteral("checkForUpdateNextDate")));
    EXPECT_FALSE(storedKeys().contains(QStringLiteral("lastOpenBusinessURL")));
}

TEST_F(PreferencesTest, DisplaySettingsPostAndBookkeepingOnesDoNot)
{
    TWPreferences p(file());
    PostCounter posts(&p);
    p.setIdleTimeout(3);
    EXPECT_EQ(posts.count, 1);
    p.setStartingIdentifier(7);
    p.setClearedColour(Qt::blue);
    EXPECT_EQ(posts.count, 3);
    p.setLastAccountType(3);
    p.setLastOpenBusinessURL(QStringLiteral("/x"));
    p.setLocaleCountryCode(QStringLiteral("DE"));
    EXPECT_EQ(posts.count, 3);
    // Written at once, not only when the object goes away.
    EXPECT_EQ(stored(QStringLiteral("idleTimeout")).toLongLong(), 3);
    EXPECT_FALSE(storedKeys().contains(QStringLiteral("localeCountryCode")));
}

TEST_F(PreferencesTest, DamagedValuesReadAsDefaults)
{
    write(QStringLiteral("lastAccountType"), QStringLiteral("abc"));
    write(QStringLiteral("startingIdentifier"), -5);
    write(QStringLiteral("normalExportFontSize"), QStringLiteral("nan"));
    write(QStringLiteral("overdueColour"), QStringLiteral("#12"));
    write(QStringLiteral("checkForUpdateNextDate"), QStringLiteral("soon"));
    TWPreferences p(file());
    EXPECT_EQ(p.lastAccountType(), 16u);
    EXPECT_EQ(p.startingIdentifier(), 1u);
    EXPECT_EQ(p.normalExportFontSize(), 14.0);
    EXPECT_EQ(p.overdueColour(), QColor(Qt::red));
    EXPECT_FALSE(p.checkForUpdateNextDate().isValid());
}

TEST_F(PreferencesTest, VersionCheckFlagsPreferencesOfAnotherVersionOnce)
{
    write(QStringLiteral("temporaryDirectoryURL"), QStringLiteral("/nonexistent/old"));
    {
        TWPreferences p(file());
        EXPECT_TRUE(p.upgraded());
    }
    EXPECT_EQ(stored(QStringLiteral("version")).toLongLong(), TWPreferences::kVersion);
    TWPreferences p(file());
    EXPECT_FALSE(p.upgraded());
}

TEST_F(PreferencesTest, EachInstanceHasItsOwnPrivateTemporaryDirectory)
{
    TWPreferences a(file());
    TWPreferences b(m_dir.filePath(QStringLiteral("other.ini")));
    const QString dirA = a.temporaryDirectoryURL();
    const QString dirB = b.temporaryDirectoryURL();
    ASSERT_FALSE(dirA.isEmpty());
    EXPECT_NE(dirA, dirB);
    EXPECT_EQ(a.temporaryDirectoryURL(), dirA);
    struct stat info {
    };
    ASSERT_EQ(::stat(QFile::encodeName(dirA).constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
    EXPECT_EQ(stored(QStringLiteral("temporaryDirectoryURL")).toString(), dirA);
    // A store that records a directory also records its version, so the next
    // start does not take it for an older one.
    EXPECT_EQ(stored(QStringLiteral("version")).toLongLong(), TWPreferences::kVersion);

    QFile inside(dirA + QStringLiteral("/file.txt"));
    ASSERT_TRUE(inside.open(QIODevice::WriteOnly));
    inside.close();
    a.deleteTempFiles();
    EXPECT_FALSE(QFileInfo::exists(dirA));
    EXPECT_TRUE(QFileInfo::exists(dirB));
    EXPECT_FALSE(storedKeys().contains(QStringLiteral("temporaryDirectoryURL")));
    // Asked again, a fresh directory.
    const QString again = a.temporaryDirectoryURL();
    EXPECT_TRUE(QFileInfo(again).isDir());
    EXPECT_NE(again, dirA);
}

TEST_F(PreferencesTest, DeleteWithoutDirectoryOnlyClearsTheKey)
{
    write(QStringLiteral("temporaryDirectoryURL"), m_dir.path());
    write(QStringLiteral("version"), TWPreferences::kVersion);
    TWPreferences p(file());
    p.deleteTempFiles();
    EXPECT_FALSE(storedKeys().contains(QStringLiteral("temporaryDirectoryURL")));
    // A directory recorded by another run is never taken over or removed.
    EXPECT_TRUE(QFileInfo(m_dir.path()).isDir());
}
