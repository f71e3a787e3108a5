#include "crashreporting/MSHApplicationIdentity.h"

#include "crashreporting/common/MSHApplicationInfo.h"
#include "crashreporting/settings/KTBSettings.h"

bool MSHApplicationHasAppStoreReceipt()
{
    return false;
}

QString MSHApplicationGetBundleIdentifier()
{
    return MSHApplicationInfo::bundleIdentifier().replace(QLatin1Char('/'), QLatin1Char('_'));
}

QString MSHApplicationGetBuildVersion()
{
    return MSHApplicationInfo::buildVersion();
}

QString MSHApplicationGetDisplayVersion()
{
    return MSHApplicationInfo::displayVersion();
}

QString MSHApplicationGetName()
{
    const QVariantMap info = MSHApplicationInfo::infoDictionary();
    for (const char *key : {"CFBundleDisplayName", "CFBundleName"}) {
        const QString name = info.value(QLatin1String(key)).toString();
        if (!name.isEmpty())
            return name;
    }
    return MSHApplicationGetBuildVersion();
}

int MSHApplicationInstallationSource()
{
    if (MSHApplicationHasAppStoreReceipt())
        return 4;
    return MSHApplicationSignedForDistribution() ? 3 : 1;
}

bool MSHApplicationSignedForDistribution()
{
    return KTBBoolValue(
        MSHApplicationInfo::infoDictionary().value(QStringLiteral("MishapSignedForDistribution")),
        false);
}

bool MSHApplicationIsExtension()
{
    return false;
}

bool KTBShouldCollectDeviceIdentifiers()
{
    const QVariantMap info = MSHApplicationInfo::infoDictionary();
    const QVariant reportIdentifiers =
        MSHApplicationInfo::kitbaseDictionary().value(QStringLiteral("ReportIdentifiers"));
    if (reportIdentifiers.isValid())
        return KTBBoolValue(reportIdentifiers, true);
    return KTBBoolValue(info.value(QStringLiteral("MishapCollectDeviceIdentifiers")), true);
}
