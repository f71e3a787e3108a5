#pragma once
// The service's settings document ("settings.json", downloaded at every start) as the onboarding
// reads it: the "app" section (status, update required) and the application facts that go into
// the settings URL. The file is read on first use and kept until cleared; a file that is not a
// JSON object is deleted and counts as absent.

#include <QMutex>
#include <QString>
#include <QUrl>
#include <QVariantMap>

#include <optional>

class KTBSettings
{
public:
    explicit KTBSettings(const QString &settingsPath);

    const QString &settingsPath() const { return m_settingsPath; }
    // None when there is no (readable) file.
    std::optional<QVariantMap> settingsDictionary();
    void clearSettingsDictionary();

    // Empty when missing or not an object (a JSON null included).
    QVariantMap appSettings();
    QString appStatus();
    bool appNeedsOnboarding();
    bool appUpdateRequired();

    static QString appPlatform();
    // The bundle identifier with every "/" replaced by "_".
    static QString appBundleIdentifier();
    static QString appBuildVersion();
    static QString appDisplayVersion();
    // Where the application came from: 1 here (no store receipt, no distribution signing).
    static int appSource();

    // base + "/spi/v2/platforms/linux/apps/<bundle identifier>/settings" with build_version,
    // display_version, instance, icon_hash (when there is an icon) and source.
    static QUrl settingsURLForEndpoint(const QString &endpoint, const QString &instanceIdentifier,
                                       const QString &iconHash);

    // A section of the document: the value when it is an object, else empty.
    static QVariantMap section(const QVariantMap &document, const QString &name);

private:
    QString m_settingsPath;
    QMutex m_mutex;
    std::optional<QVariantMap> m_dictionary;
};

// The boolean reading of a settings or configuration value: booleans as they are, numbers not 0,
// strings true when they start (after blanks and zeros) with "Y", "y", "T", "t" or a digit 1-9.
bool KTBBoolValue(const QVariant &value, bool defaultValue);
