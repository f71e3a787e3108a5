// The settings document as the kits read it, and the crash kit's local configuration.

#include "NetworkTestSupport.h"
#include "TWTestSupport.h"
#include "crashreporting/network/MSHURLSession.h"
#include "crashreporting/settings/KTBSettings.h"
#include "crashreporting/settings/MSHSettings.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>

#include <gtest/gtest.h>

namespace
{

void writeFile(const QString &path, const QByteArray &contents)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(contents);
}

} // namespace

TEST(SDKSettings, InvalidJSONIsRemovedOnTheFirstRead)
{
    TWTestTempDir folder;
    const QString path = folder.filePath(QStringLiteral("settings.json"));
    for (const QByteArray &damaged : {QByteArray("{\"features\": "), QByteArray("[true]")}) {
        writeFile(path, damaged);
        KTBSettings document(path);
        EXPECT_FALSE(document.settingsDictionary());
        EXPECT_FALSE(QFile::exists(path));
    }
    // A good file is read once and kept until cleared.
    writeFile(path, R"({"app":{"status":"new"}})");
    KTBSettings document(path);
    EXPECT_TRUE(document.appNeedsOnboarding());
    writeFile(path, R"({"app":{"update_required":true}})");
    EXPECT_TRUE(document.appNeedsOnboarding());
    document.clearSettingsDictionary();
    EXPECT_FALSE(document.appNeedsOnboarding());
    EXPECT_TRUE(document.appUpdateRequired());
}

TEST(SDKSettings, AStoredFileLargerThanAnyDownloadIsNotReadAndRemoved)
{
    TWTestTempDir folder;
    const QString path = folder.filePath(QStringLiteral("settings.json"));
    // Valid JSON, padded past the cap with spaces.
    QByteArray padded = "{\"app\":{\"status\":\"new\"}}";
    padded.append(QByteArray(int(MSHURLSessionMaximumResponseSize), ' '));
    writeFile(path, padded);
    KTBSettings document(path);
    EXPECT_FALSE(document.settingsDictionary());
    EXPECT_FALSE(QFile::exists(path));
}
