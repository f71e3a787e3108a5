#pragma once
// The crash kit's view of the settings: a snapshot of the service's document (features, session
// limits, prompt texts, beta pause) and the kit's local configuration ("Mishap" dictionary of the
// application information, overridden by environment variables named "Mishap" + key). The
// reports and beta addresses have no built-in value: without configuration they stay empty and
// nothing is sent.

#include <QString>
#include <QVariant>
#include <QVariantMap>

#include <cstdint>

class MSHSettings
{
public:
    explicit MSHSettings(const QVariantMap &settingsDictionary);

    const QVariantMap &settingsDictionary() const { return m_settings; }

    static QVariantMap configuration();
    static QVariantMap defaultConfiguration();
    // The environment ("Mishap" + key, logged), else the configuration, else the default.
    static QVariant valueForConfigurationKey(const QString &key);

    static QString reportsEndpoint();
    static QString betaEndpoint();
    static bool shouldPackageReports();
    static bool shouldSubmitReports();
    static bool canProcessUrgentReports();

    bool crashReportingEnabled() const;
    bool errorReportingEnabled() const;
    bool customExceptionsEnabled() const;
    bool userPromptEnabled() const;
    uint32_t logBufferSize() const;
    uint32_t errorLogBufferSize() const;
    uint32_t maxCustomExceptions() const;
    uint32_t maxCustomKeys() const;
    // Seconds between beta update checks.
    double betaSuspendDuration() const;

    // The strings table wins when it has the text; else the service's text; else the default.
    QString interactivePromptTitle() const;
    QString interactivePromptMessage() const;
    QString interactivePromptCancelTitle() const;
    QString interactivePromptSendTitle() const;
    QString interactivePromptAlwaysSendTitle() const;

private:
    QVariant value(const QString &section, const QString &key) const;
    bool boolValue(const QString &section, const QString &key, bool defaultValue) const;
    uint32_t unsignedValue(const QString &section, const QString &key, uint32_t defaultValue) const;
    QString promptText(const QString &key, const char *localizationKey,
                       const QString &defaultText) const;

    QVariantMap m_settings;
};
