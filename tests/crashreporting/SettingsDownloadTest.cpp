// The start-up's settings download and onboarding against a loopback HTTPS server that only the
// pinned test CA lets through.

#include "NetworkTestSupport.h"
#include "TWTestSupport.h"
#include "crashreporting/common/KTBDebug.h"
#include "crashreporting/network/KTBMultipartMimeStreamEncoder.h"
#include "crashreporting/settings/KTBApplicationIdentiferModel.h"
#include "crashreporting/settings/KTBSettings.h"
#include "crashreporting/settings/KTBSettingsOnboardingManager.h"
#include "foundation/TWPropertyList.h"

#include <QBuffer>
#include <QFile>
#include <QJsonDocument>
#include <QSslConfiguration>

#include <gtest/gtest.h>

#include <atomic>

namespace
{

const QByteArray settingsPath = "/spi/v2/platforms/linux/apps/com.example.tallyworth/settings";
const QByteArray createPath = "/spi/v1/platforms/linux/apps";

TWLoopbackHttpServer::Reply json(const QByteArray &body)
{
    return TWLoopbackHttpServer::Reply::ok(body, "application/json; charset=utf-8");
}

std::shared_ptr<KTBApplicationIdentiferModel> testModel(std::shared_ptr<KTBIcon> icon = nullptr)
{
    return std::make_shared<KTBApplicationIdentiferModel>(
        QMap<QString, QString>{
            {QStringLiteral("x86_64"), QStringLiteral("0123456789abcdef0123456789abcdef01234567")}},
        QStringLiteral("INSTALL-0001"), std::move(icon), KTBVersion{3, 2, 0}, KTBVersion{});
}

QVariantMap infoFor(const QString &base, const QVariantMap &kitbase = {})
{
    QVariantMap info;
    info.insert(QStringLiteral("Mishap"), QVariantMap{{QStringLiteral("SettingsEndpoint"), base},
                                                      {QStringLiteral("ConfigureEndpoint"), base}});
    info.insert(QStringLiteral("Kitbase"), kitbase);
    return info;
}

// A manager over a temporary settings folder, counting its notices.
struct ManagerFixture {
    TWTestTempDir folder;
    std::shared_ptr<KTBSettingsOnboardingManager> manager;
    std::atomic<int> notices{0};

    explicit ManagerFixture(const QString &token = QString())
    {
        manager = KTBSettingsOnboardingManager::initWithApplicationIdentifierModel(
            testModel(), token, folder.filePath(QStringLiteral("settings")));
        manager->setPinnedCertificates(twTestCA());
        QObject::connect(
            manager.get(), &KTBSettingsOnboardingManager::settingsAvailable, manager.get(),
            [this] { ++notices; }, Qt::DirectConnection);
    }
    void start()
    {
        manager->beginSettingsAndOnboardingOperationsWithAPIKey(
            QStringLiteral("test-api-key"),
            {{QStringLiteral("io.kitbase.sdk.mac"), QStringLiteral("1.2.6")}});
    }
    QByteArray storedSettings() const
    {
        QFile file(manager->settingsPath());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    void storeSettings(const QByteArray &body)
    {
        QDir().mkpath(folder.filePath(QStringLiteral("settings")));
        QFile file(manager->settingsPath());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(body);
    }
};

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeAll(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(file.write(bytes), bytes.size());
}

// Settles: gives stray requests and notices time to show.
void settle()
{
    twWaitUntil([] { return false; }, 300);
}

} // namespace

TEST(SettingsDownload, ANewApplicationIsCreatedThenItsSettingsDownloadedAgain)
{
    auto server = twNetworkTestServer(true);
    server->setReplies(settingsPath, {json(R"({"app":{"status":"new"}})"),
                                      json(R"({"app":{"status":"activated"},"features":{}})")});
    server->setReply(createPath, TWLoopbackHttpServer::Reply::withStatus(201));
    TWApplicationIdentityGuard identity(infoFor(server->baseUrl().toString()));
    ManagerFixture fixture;
    fixture.start();

    ASSERT_TRUE(twWaitUntil([&] { return fixture.notices == 1; }, 10000));
    settle();
    EXPECT_EQ(fixture.notices, 1);
    const QList<TWLoopbackHttpServer::Request> requests = server->requests();
    ASSERT_EQ(requests.size(), 3);
    EXPECT_EQ(requests[0].method, QByteArray("GET"));
    EXPECT_EQ(requests[1].method, QByteArray("POST"));
    EXPECT_EQ(requests[1].path, createPath);
    EXPECT_EQ(requests[2].method, QByteArray("GET"));
    EXPECT_TRUE(fixture.manager->hasAttemptedAppConfigure());

    const TWLoopbackHttpServer::Request &get = requests[0];
    EXPECT_EQ(get.target, settingsPath + "?build_version=345&display_version=2.1&instance=" +
                              testModel()->instanceIdentifier().toLatin1() + "&source=1");
    EXPECT_EQ(get.header("Accept"), QByteArray("application/json"));
    EXPECT_EQ(get.header("X-Mishap-API-Key"), QByteArray("test-api-key"));
    EXPECT_EQ(get.header("X-Mishap-Installation-ID"), QByteArray("INSTALL-0001"));
    EXPECT_EQ(get.header("User-Agent"), QByteArray("io.kitbase.sdk.mac/1.2.6 (18)"));
    EXPECT_EQ(get.header("X-Mishap-Developer-Token"),
              QByteArray("3e9a1c7b5d2f80e4a6c1b9d3f7e2a05c8b4d6e1f"));
    EXPECT_FALSE(get.header("X-Mishap-OS-Display-Version").isEmpty());
    EXPECT_TRUE(get.header("X-Mishap-Advertising-Token").isEmpty());
    const TWLoopbackHttpServer::Request &post = requests[1];
    EXPECT_TRUE(post.header("Content-Type").startsWith("multipart/form-data; boundary="));
    EXPECT_EQ(post.header("Content-Length").toLongLong(), post.body.size());
    EXPECT_TRUE(post.body.contains("name=\"app[identifier]\"\r\nContent-Type: text/plain\r\n\r\n"
                                   "com.example.tallyworth\r\n"));
    // The second download replaced the stored document.
    EXPECT_TRUE(fixture.storedSettings().contains("activated"));
}

TEST(SettingsDownload, AFailedDownloadKeepsTheStoredSettingsAndPostsNothing)
{
    auto server = twNetworkTestServer(true);
    server->setReplies(settingsPath, {TWLoopbackHttpServer::Reply::withStatus(404),
                                      json("<html>not settings</html>"), json("[1, 2]")});
    TWApplicationIdentityGuard identity(infoFor(server->baseUrl().toString()));
    ManagerFixture fixture;
    fixture.storeSettings(R"({"features":{"collect_reports":false}})");

    for (int attempt = 1; attempt <= 3; ++attempt) {
        fixture.start();
        ASSERT_TRUE(server->waitForRequests(attempt, 5000));
        settle();
        EXPECT_EQ(fixture.notices, 0) << attempt;
        EXPECT_EQ(fixture.storedSettings(), QByteArray(R"({"features":{"collect_reports":false}})"))
            << attempt;
    }
}

TEST(SettingsDownload, DebugModeStillRefusesAServiceWithoutAPinnedCertificate)
{
    // The process itself trusts the server; only the pinned set (another CA) says no.
    const QSslConfiguration saved = QSslConfiguration::defaultConfiguration();
    QSslConfiguration trusting = saved;
    trusting.addCaCertificates(twTestCA());
    QSslConfiguration::setDefaultConfiguration(trusting);
    KTBSetDebugEnabled(true);
    struct Restore {
        QSslConfiguration configuration;
        ~Restore()
        {
            KTBSetDebugEnabled(false);
            QSslConfiguration::setDefaultConfiguration(configuration);
        }
    } restore{saved};

    auto server = twNetworkTestServer(true);
    server->setReply(settingsPath, json(R"({"features":{"collect_reports":true}})"));
    TWApplicationIdentityGuard identity(infoFor(server->baseUrl().toString()));
    ManagerFixture fixture;
    fixture.manager->setPinnedCertificates(twUnrelatedCA());
    fixture.storeSettings(R"({"features":{"collect_reports":false}})");
    fixture.start();
    // Time enough for the request to arrive if the pinned set were bypassed.
    twWaitUntil([&] { return server->requestCount() > 0 || fixture.notices > 0; }, 2000);
    settle();
    EXPECT_EQ(server->requestCount(), 0);
    EXPECT_EQ(fixture.notices, 0);
    EXPECT_EQ(fixture.storedSettings(), QByteArray(R"({"features":{"collect_reports":false}})"));
}

TEST(SettingsDownload, AFullDiskKeepsTheStoredSettingsAndTheDefaultsFile)
{
    TWTestTempDir folder;
    const QString directory = folder.filePath(QStringLiteral("settings"));
    ASSERT_TRUE(QDir().mkpath(directory));
    const QString stored = directory + QStringLiteral("/settings.json");
    const QByteArray old = R"({"features":{"collect_reports":false}})";
    writeAll(stored, old);
    const QString downloaded = folder.filePath(QStringLiteral("downloaded.json"));
    const QByteArray fresh = R"({"features":{"collect_reports":true,"prompt_enabled":true}})";
    writeAll(downloaded, fresh);
    auto operation = KTBDownloadAndSaveSettingsOperation::create(
        QStringLiteral("key"), {}, QUrl(QStringLiteral("https://127.0.0.1/settings")), directory,
        stored, QStringLiteral("INSTALL-0001"), QString(), {});
    ASSERT_TRUE(operation);

    // The failure is reported, and the stored copy is neither emptied nor joined by a leftover.
    EXPECT_TRUE(
        twInChildWithFullDisk([&] { return operation->saveSettings(downloaded).has_value(); }));
    EXPECT_EQ(readAll(stored), old);
    EXPECT_EQ(QDir(directory).entryList(QDir::Files | QDir::Hidden).size(), 1);
    // With room on the disk the same download replaces it.
    EXPECT_FALSE(operation->saveSettings(downloaded).has_value());
    EXPECT_EQ(readAll(stored), fresh);

    // The component's defaults file is written the same way.
    const QString defaults = folder.filePath(QStringLiteral("defaults.plist"));
    ASSERT_FALSE(TWPropertyList::writeFile(QVariantMap{{"com.mishap.iuuid", "FIRST"}}, defaults));
    const QByteArray before = readAll(defaults);
    ASSERT_FALSE(before.isEmpty());
    EXPECT_TRUE(twInChildWithFullDisk([&] {
        return TWPropertyList::writeFile(QVariantMap{{"com.mishap.iuuid", "SECOND"}}, defaults)
            .has_value();
    }));
    EXPECT_EQ(readAll(defaults), before);
}
