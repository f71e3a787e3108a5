#include "crashreporting/common/MSHApplicationInfo.h"

#include "foundation/TWPropertyList.h"

#include <QCoreApplication>
#include <QFile>
#include <QMutex>

#include <optional>

namespace
{

struct Overrides {
    QMutex mutex;
    std::optional<QString> bundleIdentifier;
    std::optional<QString> displayVersion;
    std::optional<QString> buildVersion;
    std::optional<QVariantMap> info;
};

Overrides &overrides()
{
    static Overrides o;
    return o;
}

QVariantMap compiledInInfo()
{
    if (!QFile::exists(QStringLiteral(":/Info.plist")))
        return {};
    const TWResult<QVariant> read = TWPropertyList::readFile(QStringLiteral(":/Info.plist"));
    if (!read.ok())
        return {};
    return read.value.toMap();
}

} // namespace

QString MSHApplicationInfo::bundleIdentifier()
{
    Overrides &o = overrides();
    QMutexLocker lock(&o.mutex);
    if (o.bundleIdentifier)
        return *o.bundleIdentifier;
    const QString domain = QCoreApplication::organizationDomain();
    const QString name = QCoreApplication::applicationName();
    if (domain.isEmpty())
        return name;
    if (name.isEmpty())
        return domain;
    return domain + QLatin1Char('.') + name;
}

QString MSHApplicationInfo::displayVersion()
{
    Overrides &o = overrides();
    QMutexLocker lock(&o.mutex);
    if (o.displayVersion)
        return *o.displayVersion;
    return QCoreApplication::applicationVersion();
}

QString MSHApplicationInfo::buildVersion()
{
    {
        Overrides &o = overrides();
        QMutexLocker lock(&o.mutex);
        if (o.buildVersion)
            return *o.buildVersion;
    }
    const QString build = infoDictionary().value(QStringLiteral("CFBundleVersion")).toString();
    return build.isEmpty() ? displayVersion() : build;
}

QVariantMap MSHApplicationInfo::infoDictionary()
{
    Overrides &o = overrides();
    QMutexLocker lock(&o.mutex);
    if (!o.info)
        o.info = compiledInInfo();
    return *o.info;
}

QVariantMap MSHApplicationInfo::kitbaseDictionary()
{
    return infoDictionary().value(QStringLiteral("Kitbase")).toMap();
}

QVariantMap MSHApplicationInfo::mishapDictionary()
{
    return infoDictionary().value(QStringLiteral("Mishap")).toMap();
}

void MSHApplicationInfo::setBundleIdentifier(const QString &identifier)
{
    QMutexLocker lock(&overrides().mutex);
    overrides().bundleIdentifier = identifier;
}

void MSHApplicationInfo::setDisplayVersion(const QString &version)
{
    QMutexLocker lock(&overrides().mutex);
    overrides().displayVersion = version;
}

void MSHApplicationInfo::setBuildVersion(const QString &version)
{
    QMutexLocker lock(&overrides().mutex);
    overrides().buildVersion = version;
}

void MSHApplicationInfo::setInfoDictionary(const QVariantMap &dictionary)
{
    QMutexLocker lock(&overrides().mutex);
    overrides().info = dictionary;
}

void MSHApplicationInfo::reset()
{
    Overrides &o = overrides();
    QMutexLocker lock(&o.mutex);
    o.bundleIdentifier.reset();
    o.displayVersion.reset();
    o.buildVersion.reset();
    o.info.reset();
}
