#pragma once
// The session metadata that opens every event file: who sends (API key, installation, instance,
// session), from which machine and build, encoded once as compact JSON per analytics controller.

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <optional>

struct MSHAnalyticsIdentity {
    QString APIKey;
    QString sessionIdentifier;
    QString installIdentifier;
    QString instanceIdentifier;
    QString betaToken;
};

namespace MSHAnalyticsMetadata
{
// "2:<rest>" gives the rest; any other form (another first part, no colon, two colons) none.
std::optional<QString> betaTesterToken(const QString &betaToken);
// The metadata object as compact JSON; started_at is the timestamp in whole seconds.
QByteArray metadataJSONData(uint64_t timestamp, const MSHAnalyticsIdentity &identity);
} // namespace MSHAnalyticsMetadata
