#pragma once
// An error as the component's network and settings code hands it on: domain, code, the user-info
// map its callers read (status code, request id, path, ...) and a description for the log.

#include "foundation/TWError.h"

#include <QString>
#include <QVariantMap>

#include <optional>

struct MSHError {
    QString domain;
    qint64 code = 0;
    QVariantMap userInfo;
    QString description;

    TWError toTWError() const { return TWError(domain, code, description); }
    // "domain code (description)" for log lines.
    QString toString() const;
};

// Empty on success.
using MSHErrorResult = std::optional<MSHError>;
