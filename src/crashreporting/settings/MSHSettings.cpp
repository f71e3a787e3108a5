#include "crashreporting/settings/MSHSettings.h"

#include "crashreporting/common/MSHApplicationInfo.h"
#include "crashreporting/common/MSHLog.h"
#include "crashreporting/settings/KTBSettings.h"
#include "foundation/TWLocalized.h"

MSHSettings::MSHSettings(const QVariantMap &settingsDictionary) : m_settings(settingsDictionary)
{
}

QVariantMap MSHSettings::configuration()
{
    return MSHApplicationInfo::mishapDictionary();
}

QVariantMap MSHSettings::defaultConfiguration()
{
    // No service address is built in: a deployment configures them.
    return {
        {QStringLiteral("PackageReports"), true},
        {QStringLiteral("SubmitReports"), true},
        {QStringLiteral("UrgentReports"), true},
    };
}

QVariant MSHSettings::valueForConfigurationKey(const QString &key)
{
    const QByteArray variable = "Mishap" + key.toUtf8();
    if (qEnvironmentVariableIsSet(variable.constData())) {
        const QString value = qEnvironmentVariable(variable.constData());
        MSHLog("[Mishap:Crash]", QStringLiteral("override: '%1' => '%2'").arg(key, value));
        return value;
    }
    const QVariantMap local = configuration();
    if (local.contains(key))
        return local.value(key);
    return defaultConfiguration().value(key);
}

QString MSHSettings::reportsEndpoint()
{
    return valueForConfigurationKey(QStringLiteral("ReportsEndpoint")).toString();
}

QString MSHSettings::betaEndpoint()
{
    return valueForConfigurationKey(QStringLiteral("BetaEndpoint")).toString();
}

bool MSHSettings::shouldPackageReports()
{
    return KTBBoolValue(valueForConfigurationKey(QStringLiteral("PackageReports")), true);
}

bool MSHSettings::shouldSubmitReports()
{
    return KTBBoolValue(valueForConfigurationKey(QStringLiteral("SubmitReports")), true);
}

bool MSHSettings::canProcessUrgentReports()
{
    return KTBBoolValue(valueForConfigurationKey(QStringLiteral("UrgentReports")), true);
}

QVariant MSHSettings::value(const QString &section, const QString &key) const
{
    return KTBSettings::section(m_settings, section).value(key);
}

bool MSHSettings::boolValue(const QString &section, const QString &key, bool defaultValue) const
{
    const QVariant found = value(section, key);
    if (!found.isValid() || found.isNull())
        return defaultValue;
    return KTBBoolValue(found, defaultValue);
}

uint32_t MSHSettings::unsignedValue(const QString &section, const QString &key,
                                    uint32_t defaultValue) const
{
    const QVariant found = value(section, key);
    if (!found.isValid() || found.isNull())
        return defaultValue;
    bool ok = false;
    const double number = found.toDouble(&ok);
    if (!ok || number < 0)
        return 0;
    return number >= 4294967295.0 ? UINT32_MAX : uint32_t(number);
}

bool MSHSettings::crashReportingEnabled() const
{
    return boolValue(QStringLiteral("features"), QStringLiteral("collect_reports"), true);
}

bool MSHSettings::errorReportingEnabled() const
{
    return boolValue(QStringLiteral("features"), QStringLiteral("collect_logged_exceptions"), true);
}

bool MSHSettings::customExceptionsEnabled() const
{
    return errorReportingEnabled();
}

bool MSHSettings::userPromptEnabled() const
{
    return boolValue(QStringLiteral("features"), QStringLiteral("prompt_enabled"), false);
}

uint32_t MSHSettings::logBufferSize() const
{
    return unsignedValue(QStringLiteral("session"), QStringLiteral("log_buffer_size"), 65536);
}

uint32_t MSHSettings::errorLogBufferSize() const
{
    return logBufferSize();
}

uint32_t MSHSettings::maxCustomExceptions() const
{
    return unsignedValue(QStringLiteral("session"), QStringLiteral("max_custom_exception_events"),
                         16);
}

uint32_t MSHSettings::maxCustomKeys() const
{
    return unsignedValue(QStringLiteral("session"), QStringLiteral("max_custom_key_value_pairs"),
                         16);
}

double MSHSettings::betaSuspendDuration() const
{
    const QVariant found = value(QStringLiteral("beta"), QStringLiteral("update_suspend_duration"));
    bool ok = false;
    const double seconds = found.toDouble(&ok);
    return ok ? seconds : 3600.0;
}

QString MSHSettings::promptText(const QString &key, const char *localizationKey,
                                const QString &defaultText) const
{
    const QString localization = QString::fromLatin1(localizationKey);
    if (TWHasLocalized(localization))
        return TWLocalized(localization);
    const QVariant found = value(QStringLiteral("prompt"), key);
    if (found.typeId() == QMetaType::QString)
        return found.toString();
    return defaultText;
}

QString MSHSettings::interactivePromptTitle() const
{
    return promptText(QStringLiteral("title"), "MishapCrashSubmissionPromptTitle",
                      QStringLiteral("Send Crash Report?"));
}

QString MSHSettings::interactivePromptMessage() const
{
    return promptText(QStringLiteral("message"), "MishapCrashSubmissionPromptMessage",
                      QStringLiteral("Looks like we crashed! Please help us fix the problem by "
                                     "sending a crash report."));
}

QString MSHSettings::interactivePromptCancelTitle() const
{
    return promptText(QStringLiteral("cancel_button_title"), "MishapCrashSubmissionCancelTitle",
                      QStringLiteral("Don't Send"));
}

QString MSHSettings::interactivePromptSendTitle() const
{
    return promptText(QStringLiteral("send_button_title"), "MishapCrashSubmissionSendTitle",
                      QStringLiteral("Send"));
}

QString MSHSettings::interactivePromptAlwaysSendTitle() const
{
    return promptText(QStringLiteral("always_send_button_title"),
                      "MishapCrashSubmissionAlwaysSendTitle", QStringLiteral("Always Send"));
}
