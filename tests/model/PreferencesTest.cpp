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
#include <unistd.h>

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
    // The value as the file on disk holds it. A QSettings on the same path would share this
    // process's unwritten changes, so a copy of the file is read instead.
    QVariant onDisk(const QString &key)
    {
        const QString copy = m_dir.filePath(QStringLiteral("disk%1.ini").arg(++m_copies));
        if (!QFile::copy(file(), copy))
            return {};
        return QSettings(copy, QSettings::IniFormat).value(key);
    }

    TWTestTempDir m_dir;
    int m_copies = 0;
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

TEST_F(PreferencesTest, SettersThatPostNothingStillWriteTheFileAtOnce)
{
    TWPreferences p(file());
    PostCounter posts(&p);
    p.setLastAccountType(4);
    EXPECT_EQ(onDisk(QStringLiteral("lastAccountType")).toUInt(), 4u);
    p.setLastReportType(7);
    EXPECT_EQ(onDisk(QStringLiteral("lastReportType")).toUInt(), 7u);
    p.setOpenLastBusiness(false);
    EXPECT_EQ(onDisk(QStringLiteral("openLastBusiness")).toString(), QStringLiteral("false"));
    p.setLastOpenBusinessURL(QStringLiteral("/home/me/Books.tallyworth"));
    EXPECT_EQ(onDisk(QStringLiteral("lastOpenBusinessURL")).toString(),
              QStringLiteral("/home/me/Books.tallyworth"));
    p.setCheckForUpdateSkipVersion(QStringLiteral("2.2"));
    EXPECT_EQ(onDisk(QStringLiteral("checkForUpdateSkipVersion")).toString(),
              QStringLiteral("2.2"));
    p.setCheckForUpdateNextDate(twLocal(2024, 5, 6, 7, 8, 9));
    EXPECT_EQ(onDisk(QStringLiteral("checkForUpdateNextDate")).toDateTime(),
              twLocal(2024, 5, 6, 7, 8, 9));
    p.setLastOpenBusinessURL(QString());
    EXPECT_FALSE(onDisk(QStringLiteral("lastOpenBusinessURL")).isValid());
    EXPECT_EQ(posts.count, 0);
    // A setting that changes what is drawn writes and posts.
    p.setIdleTimeout(3);
    EXPECT_EQ(onDisk(QStringLiteral("idleTimeout")).toLongLong(), 3);
    EXPECT_EQ(posts.count, 1);
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

TEST_F(PreferencesTest, TheWeeklyCheckStartsOnAndNoServiceIsConfigured)
{
    TWPreferences p(file());
    // On, though nothing is asked of a host nobody configured.
    EXPECT_TRUE(p.checkForUpdate());
    EXPECT_FALSE(storedKeys().contains(QStringLiteral("checkForUpdate")));
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

namespace
{

// A directory as a run of the program makes it: in the temporary location,
// named after the program, mode 0700, with a file in it.
QString leftBehindDirectory()
{
    QByteArray path = QFile::encodeName(QDir::tempPath() + QStringLiteral("/Tallyworth-XXXXXX"));
    if (!::mkdtemp(path.data()))
        return {};
    const QString directory = QFile::decodeName(path);
    QFile file(directory + QStringLiteral("/TWTempFileabc123"));
    if (file.open(QIODevice::WriteOnly))
        file.write("kept");
    return directory;
}

} // namespace

TEST_F(PreferencesTest, ADirectoryLeftByARunThatDidNotQuitIsUsedAgainAndRemovedAtQuit)
{
    const QString left = leftBehindDirectory();
    ASSERT_FALSE(left.isEmpty());
    write(QStringLiteral("temporaryDirectoryURL"), left);
    {
        TWPreferences p(file());
        EXPECT_EQ(p.temporaryDirectoryURL(), left);
        EXPECT_TRUE(QFile::exists(left + QStringLiteral("/TWTempFileabc123")));
        p.deleteTempFiles();
        EXPECT_FALSE(QFileInfo::exists(left));
        EXPECT_FALSE(storedKeys().contains(QStringLiteral("temporaryDirectoryURL")));
    }

    // A run that never needs a temporary file still removes it when it quits.
    const QString unused = leftBehindDirectory();
    write(QStringLiteral("temporaryDirectoryURL"), unused);
    {
        TWPreferences p(file());
        p.deleteTempFiles();
    }
    EXPECT_FALSE(QFileInfo::exists(unused));
    EXPECT_FALSE(storedKeys().contains(QStringLiteral("temporaryDirectoryURL")));
}

TEST_F(PreferencesTest, OnlyASafeDirectoryOfOursIsUsedAgain)
{
    const QString target = leftBehindDirectory();
    const QString link = QDir::tempPath() + QStringLiteral("/Tallyworth-link%1").arg(::getpid());
    ASSERT_TRUE(QFile::link(target, link));
    const QString open = leftBehindDirectory();
    ASSERT_EQ(::chmod(QFile::encodeName(open).constData(), 0755), 0);
    const QString outside = m_dir.filePath(QStringLiteral("Tallyworth-outside"));
    ASSERT_TRUE(QDir().mkpath(outside));
    ::chmod(QFile::encodeName(outside).constData(), 0700);
    QByteArray other = QFile::encodeName(QDir::tempPath() + QStringLiteral("/other-XXXXXX"));
    ASSERT_TRUE(::mkdtemp(other.data()));
    QStringList refused{link,
                        open,
                        outside,
                        QFile::decodeName(other),
                        QDir::tempPath() + QStringLiteral("/Tallyworth-missing"),
                        QStringLiteral("Tallyworth-relative"),
                        QDir::tempPath() + QStringLiteral("/x/../Tallyworth-dots")};
    // Root can give a directory away and see that another user's is refused.
    const QString foreign = leftBehindDirectory();
    if (::geteuid() == 0 && ::chown(QFile::encodeName(foreign).constData(), 65534, 65534) == 0)
        refused.append(foreign);

    for (const QString &candidate : refused) {
        write(QStringLiteral("temporaryDirectoryURL"), candidate);
        TWPreferences p(file());
        const QString made = p.temporaryDirectoryURL();
        EXPECT_FALSE(made.isEmpty()) << qPrintable(candidate);
        EXPECT_NE(made, candidate);
        EXPECT_NE(QFileInfo(made).canonicalFilePath(), QFileInfo(candidate).canonicalFilePath());
        p.deleteTempFiles();
        EXPECT_FALSE(QFileInfo::exists(made));
    }
    // Nothing refused was touched, nor what the link points at.
    EXPECT_TRUE(QFile::exists(target + QStringLiteral("/TWTempFileabc123")));
    EXPECT_TRUE(QFileInfo(link).isSymLink());
    EXPECT_TRUE(QFile::exists(open + QStringLiteral("/TWTempFileabc123")));
    EXPECT_TRUE(QFileInfo::exists(outside));
    EXPECT_TRUE(QFileInfo::exists(foreign));

    QFile::remove(link);
    for (const QString &directory : {target, open, QFile::decodeName(other), foreign})
        QDir(directory).removeRecursively();
}

TEST_F(PreferencesTest, TwoRunningInstancesNeverShareADirectory)
{
    TWPreferences first(file());
    const QString firstDirectory = first.temporaryDirectoryURL();
    ASSERT_FALSE(firstDirectory.isEmpty());
    EXPECT_EQ(stored(QStringLiteral("temporaryDirectoryURL")).toString(), firstDirectory);
    {
        // The record names a directory a running instance holds: not taken,
        // and not removed when this one quits.
        TWPreferences second(file());
        second.deleteTempFiles();
        EXPECT_TRUE(QFileInfo::exists(firstDirectory));
        EXPECT_EQ(stored(QStringLiteral("temporaryDirectoryURL")).toString(), firstDirectory);

        TWPreferences third(file());
        const QString thirdDirectory = third.temporaryDirectoryURL();
        EXPECT_FALSE(thirdDirectory.isEmpty());
        EXPECT_NE(thirdDirectory, firstDirectory);
        third.deleteTempFiles();
        EXPECT_FALSE(QFileInfo::exists(thirdDirectory));
        EXPECT_TRUE(QFileInfo::exists(firstDirectory));
    }
    first.deleteTempFiles();
    EXPECT_FALSE(QFileInfo::exists(firstDirectory));
}
