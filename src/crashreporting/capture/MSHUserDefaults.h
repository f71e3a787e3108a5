#pragma once
// The component's own small key/value store, kept out of the application's settings: a map held
// in memory and saved on request as an XML property list ("com.mishap/MSHUserDefaults.plist" in
// the user's data folder). One shared instance; tests make their own over a file of their choice.
// It can move named keys once out of the application's settings (the store behind TWPreferences).

#include <QSettings>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantMap>

#include <functional>
#include <memory>
#include <optional>

class MSHDispatchQueue;

class MSHUserDefaults
{
public:
    static MSHUserDefaults &standardUserDefaults();
    // A store over the given file (its folder is created when saving).
    explicit MSHUserDefaults(const QString &filePath);
    ~MSHUserDefaults();
    MSHUserDefaults(const MSHUserDefaults &) = delete;
    MSHUserDefaults &operator=(const MSHUserDefaults &) = delete;

    // Failures are logged only while the kit's debug flag is set (it sets this).
    static void setDebugLogging(bool enabled);
    // The shared instance's file.
    static QString defaultFilePath();
    QString filePath() const { return m_filePath; }

    QVariant objectForKey(const QString &key) const;
    // The value when it is a string, else empty.
    std::optional<QString> stringForKey(const QString &key) const;
    // The value when it is a number (or a boolean), else false.
    bool boolForKey(const QString &key) const;

    // An invalid value removes the key.
    void setObject(const QVariant &object, const QString &key);
    void setString(const QString &string, const QString &key);
    void setBool(bool value, const QString &key);
    void removeObjectForKey(const QString &key);
    void removeAllObjects();
    QVariantMap dictionaryRepresentation() const;

    // Writes the map to the file (atomically); false when that failed.
    bool synchronize();
    // The file's map; none when there is no readable file (a folder in its place is removed).
    std::optional<QVariantMap> loadDictionaryFromDisk();

    // Copies each listed key that the application's settings hold into this store; when any was
    // copied, saves this store and then removes every listed key from those settings.
    void migrateFromNSUserDefaults(const QStringList &keys);
    void migrateFromNSUserDefaults(const QStringList &keys, QSettings &standard);

private:
    void sync(const std::function<void()> &block) const;

    QString m_filePath;
    QVariantMap m_dataDictionary;
    std::unique_ptr<MSHDispatchQueue> m_accessQueue;
    std::unique_ptr<MSHDispatchQueue> m_ioQueue;
};
