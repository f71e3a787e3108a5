// The kit host's start-up: once per process, the installation identifier kept across processes,
// the kit list and versions, and a broken configuration that starts nothing without throwing.

#include "CrashLaunchTestSupport.h"
#include "NetworkTestSupport.h"
#include "crashreporting/Kitbase.h"
#include "crashreporting/capture/KTBObfuscator.h"
#include "crashreporting/capture/MSHUserDefaults.h"
#include "crashreporting/common/MSHApplicationInfo.h"

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
        EXPECT_EQ(errors.readAll(), QByteArray());
    }
}

} // namespace
