#pragma once
// "metadata.mshrecord": who wrote the run's records (identity), on what machine (host), for
// which application and executable. Written once at start, at ordinary time.

#include <QByteArray>

struct MSHMetadataIdentity {
    QByteArray apiKey;
    QByteArray sessionID;
    QByteArray installID;
    bool hasBetaToken = false;
    QByteArray betaToken;
    bool hasCustomBundleID = false;
    QByteArray customBundleID;
};

bool MSHMetadataWrite(const char *path, const MSHMetadataIdentity &identity);
