// Preferences: defaults, storage, notifications, version check, temporary directory.

#include "TWTestSupport.h"
#include "foundation/TWNotificationCenter.h"
#include "model/TWPreferences.h"

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

TEST_F(PreferencesTest, NoServiceIsConfiguredAndTheWeeklyCheckStartsOff)
{
    TWPreferences p(file());
    // Nothing is asked of a host nobody configured.
    EXPECT_FALSE(p.checkForUpdate());
    EXPECT_TRUE(p.siteURL().isEmpty());
    EXPECT_TRUE(p.supportAddress().isEmpty());
    EXPECT_TRUE(p.contactAddress().isEmpty());
    // Addresses written outside the program count at once.
    write(QStringLiteral("siteURL"), QStringLiteral(" https://updates.example.org/ "));
    write(QStringLiteral("supportAddress"), QStringLiteral("help@example.org"));
    EXPECT_EQ(p.siteURL(), QStringLiteral("https://updates.example.org/"));
    EXPECT_EQ(p.supportAddress(), QStringLiteral("help@example.org"));
    p.setContactAddress(QStringLiteral("hi@example.org"));
    EXPECT_EQ(stored(QStringLiteral("contactAddress")).toString(),
              QStringLiteral("hi@example.org"));
}
