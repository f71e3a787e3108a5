#pragma once
// How the service recognises this build of the application: the executable's architecture and
// build-id (its UUID), an instance identifier derived from them, the minimum and built system
// versions, the bundle identifier, the installation identifier and the icon. Gathered once per
// process from the executable file on disk.

#include "crashreporting/settings/KTBIcon.h"

#include <QMap>
#include <QString>

#include <cstdint>
#include <memory>

struct KTBVersion {
    uint32_t major = 0;
    uint32_t minor = 0;
    uint32_t bugfix = 0;
};

class KTBApplicationIdentiferModel
{
public:
    // Null when the executable cannot be read. The icon comes from a new KTBAppIconUtility.
    static std::shared_ptr<KTBApplicationIdentiferModel>
    initWithInstallID(const QString &installID,
                      const QString &executablePath = QStringLiteral("/proc/self/exe"));
    // A model from known facts (the instance identifier is computed from the map).
    KTBApplicationIdentiferModel(const QMap<QString, QString> &architectureUUIDMap,
                                 const QString &installID, std::shared_ptr<KTBIcon> icon,
                                 KTBVersion minimumSDK, KTBVersion builtSDK);

    // Architecture name to the slice's UUID (the build-id, lower-case hex), in name order.
    const QMap<QString, QString> &architectureUUIDMap() const { return m_architectureUUIDMap; }
    const QString &installID() const { return m_installID; }
    const std::shared_ptr<KTBIcon> &icon() const { return m_icon; }
    const QString &bundleIdentifier() const { return m_bundleIdentifier; }
    // SHA-1 of the UUIDs joined in architecture-name order, 40 lower-case hex digits.
    const QString &instanceIdentifier() const { return m_instanceIdentifier; }
    KTBVersion builtSDK() const { return m_builtSDK; }
    KTBVersion minimumSDK() const { return m_minimumSDK; }
    QString builtSDKString() const;
    QString minimumSDKString() const;

    bool computeExecutableInfo(const QString &executablePath);
    bool computeInstanceIdentifier();
    static QString versionString(KTBVersion version);

private:
    KTBApplicationIdentiferModel() = default;

    QMap<QString, QString> m_architectureUUIDMap;
    QString m_installID;
    std::shared_ptr<KTBIcon> m_icon;
    QString m_bundleIdentifier;
    QString m_instanceIdentifier;
    KTBVersion m_builtSDK;
    KTBVersion m_minimumSDK;
};
