// The kit host's start-up: once per process, the installation identifier kept across processes,
// the kit list and versions, and a broken configuration that starts nothing without throwing.

#include "CrashLaunchTestSupport.h"
#include "KTBObfuscator.h"
#include "Kitbase.h"
#include "MSHApplicationInfo.h"
#include "MSHUserDefaults.h"
#include "NetworkTestSupport.h"

#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

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

TEST_F(KitStartup, WithTwiceStartsOnceAndReturnsTheSameInstance)
{
    TWApplicationIdentityGuard identity(
        infoWithKitbase(QVariantMap{{QStringLiteral("APIKey"), QStringLiteral("kit-key")}}));
    // The process's one start: the kit outlives the test (and its repetitions).
    static CountingKit kit(QStringLiteral("CountingKit"));
    Kitbase &first = Kitbase::with({&kit});
    Kitbase &second = Kitbase::with({&kit});
    EXPECT_EQ(&first, &second);
    EXPECT_EQ(&first, &Kitbase::sharedSDK());
    EXPECT_EQ(kit.starts, 1);
    EXPECT_EQ(first.kitForClass(QStringLiteral("CountingKit")), &kit);

    // The same rule holds for an instance of its own.
    auto store = defaults();
    Kitbase own(*store, settingsFolder());
    CountingKit other(QStringLiteral("CountingKit"));
    EXPECT_EQ(&own.startWithKits({&other}), &own.startWithKits({&other}));
    EXPECT_EQ(other.starts, 1);
}

TEST_F(KitStartup, TheFirstStartStoresAnInstallationIdentifierThatANewInstanceReadsAsNotFirst)
{
    TWApplicationIdentityGuard identity;
    QString stored;
    {
        auto store = defaults();
        Kitbase first(*store, settingsFolder());
        EXPECT_TRUE(first.isFirstInstall());
        stored = first.installID();
        EXPECT_TRUE(
            QRegularExpression(QStringLiteral("^[0-9A-F]{8}(-[0-9A-F]{4}){3}-[0-9A-F]{12}$"))
                .match(stored)
                .hasMatch())
            << qPrintable(stored);
        EXPECT_TRUE(QRegularExpression(QStringLiteral("^[0-9a-f]{32}$"))
                        .match(first.executionIdentifier())
                        .hasMatch());
    }
    // Written to disk at once: a new store over the same file is a later process.
    auto store = defaults();
    Kitbase next(*store, settingsFolder());
    EXPECT_FALSE(next.isFirstInstall());
    EXPECT_EQ(next.installID(), stored);
}

TEST_F(KitStartup, KitsGivenAsADictionaryAreLoggedAndTheStartGoesOn)
{
    TWApplicationIdentityGuard identity(infoWithKitbase(
        QVariantMap{{QStringLiteral("APIKey"), QStringLiteral("kit-key")},
                    {QStringLiteral("Kits"),
                     QVariantMap{{QStringLiteral("KitName"), QStringLiteral("CountingKit")}}}}));
    auto store = defaults();
    Kitbase kitbase(*store, settingsFolder());
    CountingKit kit(QStringLiteral("CountingKit"));
    kitbase.startWithKits({&kit});
    EXPECT_EQ(kit.starts, 1);
    EXPECT_FALSE(kitbase.configurationDictionaryForKit(kit).has_value());
}

TEST_F(KitStartup, AKitsEntryJoinsItsScrambledAndPlainInformation)
{
    const QByteArray scrambled = KTBObfuscator::obfuscatedDataFromDictionary(
        {{QStringLiteral("a"), 1}, {QStringLiteral("b"), 2}});
    TWApplicationIdentityGuard identity(infoWithKitbase(
        QVariantMap{{QStringLiteral("APIKey"), QStringLiteral("kit-key")},
                    {QStringLiteral("Kits"),
                     QVariantList{QVariantMap{
                         {QStringLiteral("KitName"), QStringLiteral("CountingKit")},
                         {QStringLiteral("ObfuscatedKitInfo"), scrambled},
                         {QStringLiteral("KitInfo"), QVariantMap{{QStringLiteral("b"), 3}}}}}}}));
    auto store = defaults();
    Kitbase kitbase(*store, settingsFolder());
    CountingKit kit(QStringLiteral("CountingKit"));
    CountingKit stranger(QStringLiteral("Stranger"));
    const std::optional<QVariantMap> config = kitbase.configurationDictionaryForKit(kit);
    ASSERT_TRUE(config.has_value());
    EXPECT_EQ(config->value(QStringLiteral("a")).toInt(), 1);
    EXPECT_EQ(config->value(QStringLiteral("b")).toInt(), 3);
    EXPECT_FALSE(kitbase.configurationDictionaryForKit(stranger).has_value());
}

TEST_F(KitStartup, AKitWithoutAVersionShowsQuestionMarks)
{
    TWApplicationIdentityGuard identity(
        infoWithKitbase(QVariantMap{{QStringLiteral("APIKey"), QStringLiteral("kit-key")}}));
    auto store = defaults();
    Kitbase kitbase(*store, settingsFolder());
    EXPECT_TRUE(kitbase.SDKKitVersions().isEmpty());
    CountingKit bare(QStringLiteral("BareKit"));
    CountingKit named(QStringLiteral("NamedKit"), QStringLiteral("com.example.named"),
                      QStringLiteral("2.0"));
    SilentKit silent;
    kitbase.startWithKits({&bare, &named, &silent});
    const QMap<QString, QString> expected = {
        {QStringLiteral("BareKit"), QStringLiteral("???")},
        {QStringLiteral("SilentKit"), QStringLiteral("???")},
        {QStringLiteral("com.example.named"), QStringLiteral("2.0")},
        {QStringLiteral("io.kitbase.sdk.mac"), QStringLiteral("1.2.6")}};
    EXPECT_EQ(kitbase.SDKKitVersions(), expected);
    EXPECT_EQ(kitbase.kitForClass(QStringLiteral("SilentKit")), &silent);
}

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

} // namespace
