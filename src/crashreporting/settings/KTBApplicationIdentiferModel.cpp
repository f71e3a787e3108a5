#include "crashreporting/settings/KTBApplicationIdentiferModel.h"

#include "crashreporting/settings/KTBElfReader.h"
#include "crashreporting/settings/KTBSettings.h"

#include <QCryptographicHash>

#include <elf.h>

#include <cstring>

std::shared_ptr<KTBApplicationIdentiferModel>
KTBApplicationIdentiferModel::initWithInstallID(const QString &installID,
                                                const QString &executablePath)
{
    std::shared_ptr<KTBApplicationIdentiferModel> model(new KTBApplicationIdentiferModel);
    if (!model->computeExecutableInfo(executablePath) || !model->computeInstanceIdentifier())
        return nullptr;
    model->m_icon = KTBAppIconUtility().applicationIcon();
    model->m_installID = installID;
    model->m_bundleIdentifier = KTBSettings::appBundleIdentifier();
    return model;
}

KTBApplicationIdentiferModel::KTBApplicationIdentiferModel(
    const QMap<QString, QString> &architectureUUIDMap, const QString &installID,
    std::shared_ptr<KTBIcon> icon, KTBVersion minimumSDK, KTBVersion builtSDK)
    : m_architectureUUIDMap(architectureUUIDMap), m_installID(installID), m_icon(std::move(icon)),
      m_bundleIdentifier(KTBSettings::appBundleIdentifier()), m_builtSDK(builtSDK),
      m_minimumSDK(minimumSDK)
{
    computeInstanceIdentifier();
}

bool KTBApplicationIdentiferModel::computeExecutableInfo(const QString &executablePath)
{
    KTBMappedFile file;
    if (!KTBElfMapFile(executablePath.toLocal8Bit().constData(), &file))
        return false;
    uint16_t machine = 0;
    QString uuid;
    KTBVersion minimum;
    if (KTBElfMachine(file, &machine)) {
        KTBElfEnumerateNotes(file,
                             [&](QByteArrayView name, uint32_t type, QByteArrayView descriptor) {
                                 if (name != QByteArrayView("GNU"))
                                     return;
                                 if (type == NT_GNU_BUILD_ID && !descriptor.isEmpty()) {
                                     uuid = QString::fromLatin1(descriptor.toByteArray().toHex());
                                 } else if (type == NT_GNU_ABI_TAG && descriptor.size() >= 16) {
                                     // Words: operating system, then the earliest kernel version it
                                     // runs on.
                                     uint32_t words[4];
                                     std::memcpy(words, descriptor.data(), sizeof words);
                                     minimum = KTBVersion{words[1], words[2], words[3]};
                                 }
                             });
    }
    KTBElfUnmapFile(&file);
    m_architectureUUIDMap.clear();
    if (machine != 0)
        m_architectureUUIDMap.insert(KTBElfArchitectureName(machine), uuid);
    m_minimumSDK = minimum;
    m_builtSDK = KTBVersion{};
    return true;
}

bool KTBApplicationIdentiferModel::computeInstanceIdentifier()
{
    QString joined;
    for (auto it = m_architectureUUIDMap.cbegin(); it != m_architectureUUIDMap.cend(); ++it)
        joined += it.value();
    m_instanceIdentifier = QString::fromLatin1(
        QCryptographicHash::hash(joined.toUtf8(), QCryptographicHash::Sha1).toHex());
    return true;
}

QString KTBApplicationIdentiferModel::versionString(KTBVersion version)
{
    return QStringLiteral("%1.%2.%3").arg(version.major).arg(version.minor).arg(version.bugfix);
}

QString KTBApplicationIdentiferModel::builtSDKString() const
{
    return versionString(m_builtSDK);
}

QString KTBApplicationIdentiferModel::minimumSDKString() const
{
    return versionString(m_minimumSDK);
}
