#pragma once
// What the component knows of the application it runs in: its identity (from the Qt application
// object) and the "Kitbase" and "Mishap" dictionaries of the property list a deployment compiles
// in as ":/Info.plist". Without that file there is no API key and the component stays off.
// Tests set every value themselves.

#include <QString>
#include <QVariantMap>

class MSHApplicationInfo
{
public:
    // Organization domain and application name joined with a dot (either alone when the other
    // is empty).
    static QString bundleIdentifier();
    static QString displayVersion();
    static QString buildVersion();
    static QVariantMap kitbaseDictionary();
    static QVariantMap mishapDictionary();
    // The whole compiled-in property list (empty when there is none or it does not parse).
    static QVariantMap infoDictionary();

    static void setBundleIdentifier(const QString &identifier);
    static void setDisplayVersion(const QString &version);
    static void setBuildVersion(const QString &version);
    static void setInfoDictionary(const QVariantMap &dictionary);
    // Back to what the application and ":/Info.plist" say.
    static void reset();
};
