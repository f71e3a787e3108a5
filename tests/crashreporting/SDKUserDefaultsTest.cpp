// The component's own defaults file and the one-time move out of the application's settings.

#include "CrashTestSupport.h"

#include "crashreporting/capture/MSHUserDefaults.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace
{

class SDKUserDefaults : public ::testing::Test
{
protected:
    QTemporaryDir temporary;
    QString file = temporary.filePath(QStringLiteral("com.mishap/MSHUserDefaults.plist"));
};

TEST_F(SDKUserDefaults, ADirectoryInPlaceOfTheFileIsRemoved)
{
    ASSERT_TRUE(QDir().mkpath(file + QStringLiteral("/inside")));
    MSHUserDefaults defaults(file);
    EXPECT_TRUE(defaults.dictionaryRepresentation().isEmpty());
    EXPECT_FALSE(QFileInfo::exists(file));
    defaults.setString(QStringLiteral("x"), QStringLiteral("k"));
    EXPECT_TRUE(defaults.synchronize());
    EXPECT_TRUE(QFileInfo(file).isFile());
}

TEST_F(SDKUserDefaults, ValuesSurviveIntoANewInstance)
{
    {
        MSHUserDefaults defaults(file);
        defaults.setString(QStringLiteral("install"), QStringLiteral("id"));
        defaults.setBool(true, QStringLiteral("flag"));
        defaults.setObject(qint64(12), QStringLiteral("count"));
        defaults.setObject(QStringLiteral("gone"), QStringLiteral("removed"));
        defaults.setObject(QVariant(), QStringLiteral("removed"));
        ASSERT_TRUE(defaults.synchronize());
    }
    MSHUserDefaults again(file);
    EXPECT_EQ(again.stringForKey(QStringLiteral("id")), QStringLiteral("install"));
    EXPECT_TRUE(again.boolForKey(QStringLiteral("flag")));
    EXPECT_EQ(again.objectForKey(QStringLiteral("count")).toLongLong(), 12);
    EXPECT_FALSE(again.objectForKey(QStringLiteral("removed")).isValid());
    EXPECT_EQ(again.dictionaryRepresentation().size(), 3);
    EXPECT_FALSE(again.stringForKey(QStringLiteral("count")).has_value());
}

} // namespace
