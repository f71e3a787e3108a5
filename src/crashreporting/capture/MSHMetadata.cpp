#include "crashreporting/capture/MSHMetadata.h"

#include "crashreporting/capture/MSHBinaryImage.h"
#include "crashreporting/capture/MSHFile.h"
#include "crashreporting/capture/MSHHost.h"
#include "crashreporting/common/MSHApplicationInfo.h"

#include <ctime>

bool MSHMetadataWrite(const char *path, const MSHMetadataIdentity &identity)
{
    MSHFile file;
    if (!MSHFileInitWithPathMode(&file, path, false, false))
        return false;

    MSHFileWriteSectionStart(&file, "identity");
    MSHFileWriteHashStart(&file);
    MSHFileWriteHashEntryString(&file, "generator", "Mishap Mac SDK/3.0.10");
    MSHFileWriteHashEntryString(&file, "build_version", "56");
    MSHFileWriteHashEntryString(&file, "display_version", "3.0.10");
    MSHFileWriteHashEntryString(&file, "api_key", identity.apiKey.constData());
    MSHFileWriteHashEntryUint64(&file, "started_at", uint64_t(std::time(nullptr)));
    MSHFileWriteHashEntryString(&file, "session_id", identity.sessionID.constData());
    MSHFileWriteHashEntryString(&file, "install_id", identity.installID.constData());
    MSHFileWriteHashEntryString(&file, "beta_token",
                                identity.hasBetaToken ? identity.betaToken.constData() : nullptr);
    MSHFileWriteHashEnd(&file);
    MSHFileWriteSectionEnd(&file);

    MSHHostRecordHostInfo(&file);

    const QString bundleID =
        MSHApplicationInfo::bundleIdentifier().replace(QLatin1Char('/'), QLatin1Char('_'));
    const QString build = MSHApplicationInfo::buildVersion();
    const QString display = MSHApplicationInfo::displayVersion();
    const QString custom = QString::fromUtf8(identity.customBundleID);
    MSHFileWriteSectionStart(&file, "application");
    MSHFileWriteHashStart(&file);
    MSHFileWriteHashEntryNSString(&file, "bundle_id", &bundleID);
    MSHFileWriteHashEntryNSString(&file, "custom_bundle_id",
                                  identity.hasCustomBundleID ? &custom : nullptr);
    MSHFileWriteHashEntryNSString(&file, "build_version", &build);
    MSHFileWriteHashEntryNSString(&file, "display_version", &display);
    MSHFileWriteHashEntryString(&file, "extension_id", nullptr);
    MSHFileWriteHashEnd(&file);
    MSHFileWriteSectionEnd(&file);

    MSHBinaryImageRecordMainExecutable(&file);
    return MSHFileClose(&file);
}
