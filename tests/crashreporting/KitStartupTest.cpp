// The kit host's start-up: once per process, the installation identifier kept across processes,
// the kit list and versions, and a broken configuration that starts nothing without throwing.

#include "CrashLaunchTestSupport.h"
#include "NetworkTestSupport.h"
#include "crashreporting/Kitbase.h"
#include "crashreporting/capture/KTBObfuscator.h"
#include "crashreporting/capture/MSHUserDefaults.h"
#include "crashreporting/common/MSHApplicationInfo.h"
#include "crashreporting/network/KTBCertificatePinner.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdio>
#include <unistd.h>

namespace
{

class CountingKit final : public KTBKit
{
public:
    explicit CountingKit(QString name, std::optional<QString> bundle = std::nullopt,
                         std::optional<QString> kitVersion = std::nullopt)
        : m_name(std::move(name)), m_bundle(std::move(bundle)), m_version(std::move(kitVersion))
    {
    }
    int starts = 0;
    QString kitClassName() const override { return m_name; }
    void start() override { ++starts; }
    std::optional<QString> bundleIdentifier() const override { return m_bundle; }
    std::optional<QString> version() const override { return m_version; }

private:
    QString m_name;
    std::optional<QString> m_bundle;
    std::optional<QString> m_version;
};

class SilentKit final : public KTBKit
{
public:
    QString kitClassName() const override { return QStringLiteral("SilentKit"); }
    bool implementsStart() const override { return false; }
    void start() override { ADD_FAILURE() << "a kit without start was started"; }
};

QVariantMap infoWithKitbase(const QVariant &kitbase)
{
    return {{QStringLiteral("Kitbase"), kitbase}};
}

class KitStartup : public ::testing::Test
{
protected:
    QTemporaryDir temporary;

    std::unique_ptr<MSHUserDefaults> defaults()
    {
        return std::make_unique<MSHUserDefaults>(
            temporary.filePath(QStringLiteral("defaults/MSHUserDefaults.plist")));
    }
    QString settingsFolder() const { return temporary.filePath(QStringLiteral("settings")); }
};

TEST_F(KitStartup, ABrokenKitbaseEntryIsLoggedAndStartsNothing)
{
    const QList<QVariantMap> broken = {
        QVariantMap(),
        infoWithKitbase(QStringLiteral("not a dictionary")),
        infoWithKitbase(QVariantMap{{QStringLiteral("APIKey"), 42}}),
        infoWithKitbase(QVariantMap{{QStringLiteral("Kits"), QVariantList()}}),
    };
    for (const QVariantMap &info : broken) {
        TWApplicationIdentityGuard identity(info);
        auto store = defaults();
        Kitbase kitbase(*store, settingsFolder());
        CountingKit kit(QStringLiteral("CountingKit"));
        EXPECT_NO_THROW(kitbase.startWithKits({&kit}));
        EXPECT_EQ(kit.starts, 0);
        EXPECT_TRUE(kitbase.kitMap().isEmpty());
        EXPECT_FALSE(kitbase.SDKConfig().has_value());
    }
}

TEST_F(KitStartup, AStartWithoutAConfiguredServicePrintsNothing)
{
    for (const QVariantMap &info : {QVariantMap(), QVariantMap{{"CFBundleVersion", "1"}}}) {
        TWApplicationIdentityGuard identity(info);
        auto store = defaults();
        Kitbase kitbase(*store, settingsFolder());
        CountingKit kit(QStringLiteral("CountingKit"));
        std::fflush(stderr);
        const int saved = ::dup(2);
        QFile errors(temporary.filePath(QStringLiteral("stderr.txt")));
        ASSERT_TRUE(errors.open(QIODevice::ReadWrite | QIODevice::Truncate));
        ::dup2(errors.handle(), 2);
        kitbase.startWithKits({&kit});
        std::fflush(stderr);
        ::dup2(saved, 2);
        ::close(saved);
        EXPECT_EQ(kit.starts, 0);
        errors.seek(0);
        EXPECT_EQ(errors.readAll(), QByteArray());
    }
}

TEST_F(KitStartup, AnHTTPSServiceWithoutPinnedCertificatesIsNamedInTheLogAtStart)
{
    // Nothing listens at port 1: the start's own settings request fails at once.
    const QVariantMap kitbase{{QStringLiteral("APIKey"), QStringLiteral("start-key")}};
    const auto startLog = [&](const QString &scheme) {
        const QString address = scheme + QStringLiteral("://127.0.0.1:1");
        QVariantMap info = infoWithKitbase(kitbase);
        info.insert(QStringLiteral("Mishap"),
                    QVariantMap{{QStringLiteral("SettingsEndpoint"), address},
                                {QStringLiteral("ConfigureEndpoint"), address},
                                {QStringLiteral("ReportsEndpoint"), address}});
        TWApplicationIdentityGuard identity(info);
        auto store = defaults();
        Kitbase kitbase(*store, settingsFolder());
        CountingKit kit(QStringLiteral("CountingKit"));
        std::fflush(stderr);
        const int saved = ::dup(2);
        QFile errors(temporary.filePath(QStringLiteral("stderr-%1.txt").arg(scheme)));
        EXPECT_TRUE(errors.open(QIODevice::ReadWrite | QIODevice::Truncate));
        ::dup2(errors.handle(), 2);
        kitbase.startWithKits({&kit});
        // The start's settings request is refused at once; none may outlive the test.
        EXPECT_TRUE(twWaitUntil(
            [&] {
                std::fflush(stderr);
                QFile written(errors.fileName());
                return written.open(QIODevice::ReadOnly) &&
                       written.readAll().contains("failed to download settings");
            },
            10000));
        std::fflush(stderr);
        ::dup2(saved, 2);
        ::close(saved);
        EXPECT_EQ(kit.starts, 1);
        // The descriptor's offset is shared with standard error's: read from the start.
        errors.seek(0);
        return errors.readAll();
    };
    ASSERT_TRUE(KTBCertificatePinner::pinnedCertificates().isEmpty());
    const QByteArray https = startLog(QStringLiteral("https"));
    // One line for the address, however many services share it.
    EXPECT_EQ(https.count("[Kitbase] No certificate is pinned for the service at "
                          "https://127.0.0.1:1: every request to it will be refused"),
              1)
        << https.constData();
    EXPECT_FALSE(startLog(QStringLiteral("http")).contains("No certificate is pinned"));
}

} // namespace
