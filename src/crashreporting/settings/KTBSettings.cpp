#include "crashreporting/settings/KTBSettings.h"

#include "crashreporting/capture/MSHFile.h"
#include "crashreporting/common/MSHApplicationInfo.h"
#include "crashreporting/common/MSHLog.h"
#include "crashreporting/network/MSHURLSession.h"
#include "crashreporting/settings/KTBURLBuilder.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>

KTBSettings::KTBSettings(const QString &settingsPath) : m_settingsPath(settingsPath)
{
}

std::optional<QVariantMap> KTBSettings::settingsDictionary()
{
    QMutexLocker lock(&m_mutex);
    if (m_dictionary)
        return m_dictionary;
    if (!QFileInfo::exists(m_settingsPath) && !QFileInfo(m_settingsPath).isSymLink())
        return std::nullopt;
    // Never more than a download may hold; a larger (or linked) file is not ours.
    const std::optional<QByteArray> bytes =
        MSHFileReadRegular(m_settingsPath, MSHURLSessionMaximumResponseSize);
    QJsonParseError parseError{};
    const QJsonDocument document =
        bytes ? QJsonDocument::fromJson(*bytes, &parseError) : QJsonDocument();
    if (!bytes || parseError.error != QJsonParseError::NoError || !document.isObject()) {
        const QString reason = !bytes ? QStringLiteral("the file is too large or not a file")
                               : parseError.error != QJsonParseError::NoError
                                   ? parseError.errorString()
                                   : QStringLiteral("the document is not a JSON object");
        MSHLog("[Kitbase]", QStringLiteral("Could not load settings with error: %1").arg(reason));
        QFile::remove(m_settingsPath);
        return std::nullopt;
    }
    m_dictionary = document.object().toVariantMap();
    return m_dictionary;
}

void KTBSettings::clearSettingsDictionary()
{
    QMutexLocker lock(&m_mutex);
    m_dictionary.reset();
}

QVariantMap KTBSettings::section(const QVariantMap &document, const QString &name)
{
    const QVariant value = document.value(name);
    if (value.typeId() != QMetaType::QVariantMap)
        return {};
    return value.toMap();
}

QVariantMap KTBSettings::appSettings()
{
    const std::optional<QVariantMap> document = settingsDictionary();
    return document ? section(*document, QStringLiteral("app")) : QVariantMap();
}

QString KTBSettings::appStatus()
{
    const QVariant status = appSettings().value(QStringLiteral("status"));
    return status.typeId() == QMetaType::QString ? status.toString() : QString();
}

bool KTBSettings::appNeedsOnboarding()
{
    return appStatus() == QLatin1String("new");
}

bool KTBSettings::appUpdateRequired()
{
    return KTBBoolValue(appSettings().value(QStringLiteral("update_required")), false);
}

QString KTBSettings::appPlatform()
{
    return QStringLiteral("linux");
}

QString KTBSettings::appBundleIdentifier()
{
    QString identifier = MSHApplicationInfo::bundleIdentifier();
    identifier.replace(QLatin1Char('/'), QLatin1Char('_'));
    return identifier;
}

QString KTBSettings::appBuildVersion()
{
    return MSHApplicationInfo::buildVersion();
}

QString KTBSettings::appDisplayVersion()
{
    return MSHApplicationInfo::displayVersion();
}

int KTBSettings::appSource()
{
    return 1;
}

QUrl KTBSettings::settingsURLForEndpoint(const QString &endpoint, const QString &instanceIdentifier,
                                         const QString &iconHash)
{
    KTBURLBuilder builder = KTBURLBuilder::URLWithBase(endpoint);
    builder.appendComponent(QStringLiteral("/spi/v2/platforms/"));
    builder.escapeAndAppendComponent(appPlatform());
    builder.appendComponent(QStringLiteral("/apps/"));
    builder.escapeAndAppendComponent(appBundleIdentifier());
    builder.appendComponent(QStringLiteral("/settings"));
    const auto optional = [](const QString &text) {
        return text.isNull() ? QVariant() : QVariant(text);
    };
    builder.appendValue(optional(appBuildVersion()), QStringLiteral("build_version"));
    builder.appendValue(optional(appDisplayVersion()), QStringLiteral("display_version"));
    builder.appendValue(optional(instanceIdentifier), QStringLiteral("instance"));
    builder.appendValue(iconHash.isEmpty() ? QVariant() : QVariant(iconHash),
                        QStringLiteral("icon_hash"));
    builder.appendValue(appSource(), QStringLiteral("source"));
    return builder.URL();
}

bool KTBBoolValue(const QVariant &value, bool defaultValue)
{
    switch (value.typeId()) {
    case QMetaType::Bool:
        return value.toBool();
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Double:
        return value.toDouble() != 0.0;
    case QMetaType::QString:
    case QMetaType::QByteArray: {
        const QString text = value.toString().trimmed();
        qsizetype i = 0;
        if (i < text.size() && (text[i] == QLatin1Char('+') || text[i] == QLatin1Char('-')))
            ++i;
        while (i < text.size() && text[i] == QLatin1Char('0'))
            ++i;
        if (i >= text.size())
            return false;
        const QChar c = text[i];
        return c == QLatin1Char('Y') || c == QLatin1Char('y') || c == QLatin1Char('T') ||
               c == QLatin1Char('t') || (c >= QLatin1Char('1') && c <= QLatin1Char('9'));
    }
    default:
        return defaultValue;
    }
}
