#pragma once
// The application's identity as the whole component reads it. There are no store receipts and
// no application extensions here; the installation source is 3 for builds a deployment marks as
// signed for distribution, else 1.

#include <QString>

bool MSHApplicationHasAppStoreReceipt();
QString MSHApplicationGetBundleIdentifier();
QString MSHApplicationGetBuildVersion();
QString MSHApplicationGetDisplayVersion();
QString MSHApplicationGetName();
int MSHApplicationInstallationSource();
bool MSHApplicationSignedForDistribution();
bool MSHApplicationIsExtension();
bool KTBShouldCollectDeviceIdentifiers();
