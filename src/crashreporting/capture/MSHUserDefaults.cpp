#include "crashreporting/capture/MSHUserDefaults.h"

#include "crashreporting/common/MSHDispatchQueue.h"
#include "crashreporting/common/MSHFileManager.h"
#include "crashreporting/common/MSHLog.h"
#include "foundation/TWPropertyList.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <atomic>

namespace
{

std::atomic<bool> debugLogging{false};

void debugLog(const QString &message)
{
    if (debugLogging.load())
        MSHLog("[Kitbase]", message);
}

} // namespace

void MSHUserDefaults::setDebugLogging(bool enabled)
{
    debugLogging.store(enabled);
}

MSHUserDefaults &MSHUserDefaults::standardUserDefaults()
{
    static MSHUserDefaults *shared = new MSHUserDefaults(defaultFilePath());
    return *shared;
}

QString MSHUserDefaults::defaultFilePath()
{
    // Made absolute once: a relative HOME names the same file whatever the working folder
    // becomes.
    return QDir::cleanPath(QDir::current().absoluteFilePath(
        QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
        QStringLiteral("/com.mishap/MSHUserDefaults.plist")));
}

MSHUserDefaults::MSHUserDefaults(const QString &filePath)
    : m_filePath(filePath),
      m_accessQueue(std::make_unique<MSHDispatchQueue>("com.mishap.MSHUserDefaults.access")),
      m_ioQueue(std::make_unique<MSHDispatchQueue>("com.mishap.MSHUserDefaults.io"))
{
    // Loading is queued first on the access queue, so every later request waits for it.
    m_accessQueue->async(
        [this] { m_dataDictionary = loadDictionaryFromDisk().value_or(QVariantMap()); });
}

MSHUserDefaults::~MSHUserDefaults()
{
    // Let the queued work end before the queues and the map go.
    sync([] {});
}

void MSHUserDefaults::sync(const std::function<void()> &block) const
{
    m_accessQueue->sync(block);
}

std::optional<QVariantMap> MSHUserDefaults::loadDictionaryFromDisk()
{
    std::optional<QVariantMap> result;
    m_ioQueue->sync([&] {
        const QFileInfo info(m_filePath);
        if (info.isDir() && !info.isSymLink()) {
            debugLog(QStringLiteral(
                "MSHUserDefaults: found directory where file expected. Removing conflicting "
                "directory"));
            if (!QDir(m_filePath).removeRecursively())
                debugLog(QStringLiteral(
                             "MSHUserDefaults: error removing conflicting directory: {error = %1}")
                             .arg(m_filePath));
            return;
        }
        if (!info.isFile())
            return;
        const TWResult<QVariant> read = TWPropertyList::readFile(m_filePath);
        if (!read.ok() || read.value.typeId() != QMetaType::QVariantMap) {
            debugLog(QStringLiteral("MSHUserDefaults: failed to read existing file"));
            return;
        }
        result = read.value.toMap();
    });
    return result;
}

QVariant MSHUserDefaults::objectForKey(const QString &key) const
{
    QVariant value;
    sync([&] { value = m_dataDictionary.value(key); });
    return value;
}

std::optional<QString> MSHUserDefaults::stringForKey(const QString &key) const
{
    const QVariant value = objectForKey(key);
    if (value.typeId() != QMetaType::QString)
        return std::nullopt;
    return value.toString();
}

bool MSHUserDefaults::boolForKey(const QString &key) const
{
    const QVariant value = objectForKey(key);
    switch (value.typeId()) {
    case QMetaType::Bool:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Double:
    case QMetaType::Float:
        return value.toDouble() != 0;
    default:
        return false;
    }
}

void MSHUserDefaults::setObject(const QVariant &object, const QString &key)
{
    sync([&] {
        if (!object.isValid() || object.isNull())
            m_dataDictionary.remove(key);
        else
            m_dataDictionary.insert(key, object);
    });
}

void MSHUserDefaults::setString(const QString &string, const QString &key)
{
    setObject(string.isNull() ? QVariant() : QVariant(string), key);
}

void MSHUserDefaults::setBool(bool value, const QString &key)
{
    setObject(QVariant(value), key);
}

void MSHUserDefaults::removeObjectForKey(const QString &key)
{
    sync([&] { m_dataDictionary.remove(key); });
}

void MSHUserDefaults::removeAllObjects()
{
    sync([&] { m_dataDictionary.clear(); });
}

QVariantMap MSHUserDefaults::dictionaryRepresentation() const
{
    QVariantMap copy;
    sync([&] { copy = m_dataDictionary; });
    return copy;
}

bool MSHUserDefaults::synchronize()
{
    const QVariantMap copy = dictionaryRepresentation();
    bool written = false;
    // The access queue is free again while the file is written.
    m_ioQueue->sync([&] {
        const QString directory = QFileInfo(m_filePath).absolutePath();
        // Nothing is made in a folder of another user's (a run with sudo keeping HOME would
        // leave the user's folders root's).
        if (!MSHFileManager::mayMakeInCacheFolder(QFile::encodeName(directory)) ||
            !QDir().mkpath(directory)) {
            debugLog(QStringLiteral("MSHUserDefaults: failed to create directory with error:%1")
                         .arg(directory));
            return;
        }
        if (const TWErrorResult error = TWPropertyList::writeFile(copy, m_filePath)) {
            debugLog(QStringLiteral("MSHUserDefaults: Unable to open MSHUserDefaults file for "
                                    "writing at path %1")
                         .arg(m_filePath));
            return;
        }
        written = true;
    });
    return written;
}

void MSHUserDefaults::migrateFromNSUserDefaults(const QStringList &keys)
{
    QSettings standard;
    migrateFromNSUserDefaults(keys, standard);
}

void MSHUserDefaults::migrateFromNSUserDefaults(const QStringList &keys, QSettings &standard)
{
    bool copied = false;
    for (const QString &key : keys) {
        const QVariant value = standard.value(key);
        if (!value.isValid())
            continue;
        setObject(value, key);
        copied = true;
    }
    if (!copied)
        return;
    synchronize();
    for (const QString &key : keys)
        standard.remove(key);
    standard.sync();
}
