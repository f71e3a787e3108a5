// The settings document as the kits read it, and the crash kit's local configuration.

#include "KTBSettings.h"
#include "MSHSettings.h"
#include "NetworkTestSupport.h"
#include "TWTestSupport.h"

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

MSHSettings settingsFrom(const QString &path)
{
    KTBSettings settings(path);
    return MSHSettings(settings.settingsDictionary().value_or(QVariantMap()));
}

} // namespace

TEST(SDKSettings, WithoutAFileEveryKeyTakesItsDefault)
{
    TWTestTempDir folder;
    KTBSettings document(folder.filePath(QStringLiteral("settings.json")));
    EXPECT_FALSE(document.settingsDictionary());
    EXPECT_FALSE(document.appNeedsOnboarding());
    EXPECT_FALSE(document.appUpdateRequired());

    const MSHSettings settings({});
    EXPECT_TRUE(settings.crashReportingEnabled());
    EXPECT_TRUE(settings.errorReportingEnabled());
    EXPECT_TRUE(settings.customExceptionsEnabled());
    EXPECT_FALSE(settings.userPromptEnabled());
    EXPECT_EQ(settings.logBufferSize(), 65536u);
    EXPECT_EQ(settings.errorLogBufferSize(), 65536u);
    EXPECT_EQ(settings.maxCustomExceptions(), 16u);
    EXPECT_EQ(settings.maxCustomKeys(), 16u);
    EXPECT_EQ(settings.betaSuspendDuration(), 3600.0);
    EXPECT_EQ(settings.interactivePromptTitle(), QStringLiteral("Send Crash Report?"));
    EXPECT_EQ(settings.interactivePromptCancelTitle(), QStringLiteral("Don't Send"));
    EXPECT_EQ(settings.interactivePromptAlwaysSendTitle(), QStringLiteral("Always Send"));
    // No service address is built in.
    TWApplicationIdentityGuard identity;
    EXPECT_TRUE(MSHSettings::reportsEndpoint().isEmpty());
    EXPECT_TRUE(MSHSettings::betaEndpoint().isEmpty());
    EXPECT_TRUE(MSHSettings::shouldSubmitReports());
}

TEST(SDKSettings, CollectReportsFalseTurnsOnlyCrashCollectionOff)
{
    TWTestTempDir folder;
    const QString path = folder.filePath(QStringLiteral("settings.json"));
    writeFile(path, R"({"features":{"collect_reports":false,"prompt_enabled":true},
                        "session":{"log_buffer_size":1024,"max_custom_key_value_pairs":64},
                        "prompt":{"title":"Oops?"}})");
    const MSHSettings settings = settingsFrom(path);
    EXPECT_FALSE(settings.crashReportingEnabled());
    EXPECT_TRUE(settings.errorReportingEnabled());
    EXPECT_TRUE(settings.userPromptEnabled());
    EXPECT_EQ(settings.logBufferSize(), 1024u);
    EXPECT_EQ(settings.maxCustomKeys(), 64u);
    EXPECT_EQ(settings.maxCustomExceptions(), 16u);
    EXPECT_EQ(settings.interactivePromptTitle(), QStringLiteral("Oops?"));
}

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

TEST(SDKSettings, ANullAppSectionMeansNeitherCreateNorUpdate)
{
    TWTestTempDir folder;
    const QString path = folder.filePath(QStringLiteral("settings.json"));
    for (const QByteArray &body : {QByteArray(R"({"app":null})"),
                                   QByteArray(R"({"app":{"status":null,"update_required":null}})"),
                                   QByteArray(R"({"app":"new"})")}) {
        writeFile(path, body);
        KTBSettings document(path);
        EXPECT_TRUE(document.settingsDictionary()) << body.constData();
        EXPECT_FALSE(document.appNeedsOnboarding()) << body.constData();
        EXPECT_FALSE(document.appUpdateRequired()) << body.constData();
    }
}

TEST(SDKSettings, EnvironmentOverridesAreUsedAndLogged)
{
    TWApplicationIdentityGuard identity(
        {{QStringLiteral("Mishap"),
          QVariantMap{{QStringLiteral("ReportsEndpoint"), QStringLiteral("https://plist.invalid")},
                      {QStringLiteral("SubmitReports"), true}}}});
    EXPECT_EQ(MSHSettings::reportsEndpoint(), QStringLiteral("https://plist.invalid"));

    qputenv("MishapReportsEndpoint", "https://127.0.0.1:9/reports");
    qputenv("MishapSubmitReports", "NO");
    testing::internal::CaptureStderr();
    const QString endpoint = MSHSettings::reportsEndpoint();
    const bool submit = MSHSettings::shouldSubmitReports();
    const std::string log = testing::internal::GetCapturedStderr();
    qunsetenv("MishapReportsEndpoint");
    qunsetenv("MishapSubmitReports");

    EXPECT_EQ(endpoint, QStringLiteral("https://127.0.0.1:9/reports"));
    EXPECT_FALSE(submit);
    EXPECT_NE(log.find("[Mishap:Crash] override: 'ReportsEndpoint' => 'https://127.0.0.1:9/reports'"),
              std::string::npos)
        << log;
    EXPECT_NE(log.find("[Mishap:Crash] override: 'SubmitReports' => 'NO'"), std::string::npos);
}

TEST(SDKSettings, BooleanReadingOfTexts)
{
    for (const char *yes : {"YES", "yes", "true", "1", "  +0012", "Tuesday"})
        EXPECT_TRUE(KTBBoolValue(QString::fromLatin1(yes), false)) << yes;
    for (const char *no : {"NO", "0", "", "false", "-0", "maybe"})
        EXPECT_FALSE(KTBBoolValue(QString::fromLatin1(no), true)) << no;
    EXPECT_TRUE(KTBBoolValue(QVariant(2.5), false));
    EXPECT_FALSE(KTBBoolValue(QVariant(0), true));
    EXPECT_TRUE(KTBBoolValue(QVariant(), true));
}

TEST(SDKSettings, NoServiceHostIsWrittenInTheSource)
{
    QDirIterator files(QStringLiteral(TW_SOURCE_DIR "/src/crashreporting"), QDir::Files,
                       QDirIterator::Subdirectories);
    int checked = 0;
    while (files.hasNext()) {
        QFile file(files.next());
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QByteArray text = file.readAll();
        EXPECT_FALSE(text.contains("http://") || text.contains("https://"))
            << file.fileName().toStdString();
        ++checked;
    }
    EXPECT_GT(checked, 20);
}
