#include "crashreporting/analytics/MSHAnalyticsMetadata.h"

#include "crashreporting/capture/MSHHost.h"
#include "crashreporting/common/MSHApplicationInfo.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>
#include <QStringList>
#include <QThread>

std::optional<QString> MSHAnalyticsMetadata::betaTesterToken(const QString &betaToken)
{
    const QStringList parts = betaToken.split(QLatin1Char(':'));
    if (parts.size() == 2 && parts.first() == QLatin1String("2"))
        return parts.at(1);
    return std::nullopt;
}

QByteArray MSHAnalyticsMetadata::metadataJSONData(uint64_t timestamp,
                                                  const MSHAnalyticsIdentity &identity)
{
    QJsonObject object;
    const auto putString = [&object](const char *key, const QString &value) {
        if (!value.isNull())
            object.insert(QLatin1String(key), value);
    };
    object.insert(QStringLiteral("generator"), QStringLiteral("Mishap Mac SDK/3.0.10"));
    object.insert(QStringLiteral("links_ad_support"), false);
    object.insert(QStringLiteral("advertising_tracking_enabled"), false);
    putString("api_key", identity.APIKey);
    putString("session_id", identity.sessionIdentifier);
    object.insert(QStringLiteral("started_at"), qint64(timestamp / 1000));
    putString("install_id", identity.installIdentifier);
    if (const auto token = betaTesterToken(identity.betaToken))
        object.insert(QStringLiteral("beta_tester_token"), *token);
    const QString model = MSHHostGetModel();
    putString("model", model);
    putString("machine", model);
    putString("locale", QLocale().name());
    putString("os_build", MSHHostGetOSBuildVersion());
    const MSHOSVersion version = MSHHostGetOSVersion();
    object.insert(
        QStringLiteral("os_version"),
        QStringLiteral("%1.%2.%3").arg(version.major).arg(version.minor).arg(version.patch));
    object.insert(QStringLiteral("platform"), QStringLiteral("linux"));
    object.insert(QStringLiteral("platform_code"), 0);
    object.insert(QStringLiteral("cores"), QThread::idealThreadCount());
    object.insert(QStringLiteral("jailbroken"), false);
    putString("bundle_id",
              MSHApplicationInfo::bundleIdentifier().replace(QLatin1Char('/'), QLatin1Char('_')));
    putString("bundle_version", MSHApplicationInfo::buildVersion());
    putString("bundle_short_version", MSHApplicationInfo::displayVersion());
    putString("instance_id", identity.instanceIdentifier);
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}
