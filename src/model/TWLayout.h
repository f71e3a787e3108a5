#pragma once
// One invoice layout package: its path, display name and kind, and while
// loaded the layout settings read from its "layout.xml" (page defaults, page
// number, header, footer, images, overlays and the six components). Packages
// come from outside: loading reads them within fixed caps, turns every fault
// into an error record and never writes anything to disk.

#include "foundation/TWError.h"

#include <QByteArray>
#include <QColor>
#include <QHash>
#include <QList>
#include <QString>
#include <QVariantMap>

#include <cstdint>
#include <memory>

class TWXMLElement;
class TWLayout;
using TWLayoutPtr = std::shared_ptr<TWLayout>;
using TWLayoutList = QList<TWLayoutPtr>;

// The domain of every error a layout makes itself.
inline const QString TWLayoutErrorDomain = QStringLiteral("XML Parse Error");

// Layout kinds.
enum TWLayoutKind : std::uint32_t {
    TWLayoutKindBuiltIn = 0,
    TWLayoutKindUser = 1,
};

// A package's members by their names as stored.
using TWLayoutFileData = QHash<QString, QByteArray>;

class TWLayout
{
public:
    // What a package may hold before loading refuses it.
    static constexpr qint64 kMaximumPackageSize = 64LL * 1024 * 1024;
    static constexpr qint64 kMaximumEntryCount = 256;
    static constexpr qint64 kMaximumEntrySize = 16LL * 1024 * 1024;
    static constexpr qint64 kMaximumTotalSize = 64LL * 1024 * 1024;
    // Megabytes one decoded image may take.
    static constexpr int kImageAllocationLimit = 64;
    // Pixels an image may have on each side, and in all.
    static constexpr int kMaximumImageSide = 10000;
    static constexpr qint64 kMaximumImagePixels = 40'000'000;

    TWLayout() = default;
    TWLayout(QString path, std::uint32_t type, std::uint32_t kind);

    // A layout named after the file (less its extension); nothing is read.
    static TWLayoutPtr layoutWithPath(const QString &path, std::uint32_t type, std::uint32_t kind);

    // Every field; the settings are shared, not duplicated (they never change).
    TWLayoutPtr copy() const;

    // Reads and checks the package; on success `settings` holds the layout
    // settings and `loaded` is true. A failed load leaves both as they were.
    TWErrorResult load();
    void unload();
    // The result of loading, leaving the layout unloaded whatever it was.
    TWErrorResult validate();

    // The placement rules: the page number against header and footer, and at
    // most one component per row and column.
    static TWErrorResult validateSettings(const QVariantMap &settings);
    // The layout settings from the document's root element and the package's
    // members; `settings` is set only on success.
    static TWErrorResult parseXML(const TWXMLElement &root, const TWLayoutFileData &fileData,
                                  QVariantMap *settings);
    // "#RRGGBB" or "#AARRGGBB"; `colour` may be null.
    static TWErrorResult parseXMLColour(const QString &text, QColor *colour);

    // By name, case-sensitive: <0, 0 or >0.
    int compare(const TWLayout &other) const;

    // The error records, for the parser and the tests.
    static TWError error(const char *key);
    static TWError error(const char *key, const QString &value);
    static TWError missingAttributeError(const QString &element, const QString &attribute);

    const QString &path() const { return m_path; }
    void setPath(const QString &v) { m_path = v; }
    const QString &name() const { return m_name; }
    void setName(const QString &v) { m_name = v; }
    bool loaded() const { return m_loaded; }
    void setLoaded(bool v) { m_loaded = v; }
    std::uint32_t version() const { return m_version; }
    void setVersion(std::uint32_t v) { m_version = v; }
    std::uint32_t type() const { return m_type; }
    void setType(std::uint32_t v) { m_type = v; }
    std::uint32_t kind() const { return m_kind; }
    void setKind(std::uint32_t v) { m_kind = v; }
    // Element settings by key ("page", "header", "componentClient", ...);
    // empty when not loaded.
    const QVariantMap &settings() const { return m_settings; }
    void setSettings(const QVariantMap &v) { m_settings = v; }

    // Opens `path` for reading only when it is a regular file (checked on
    // the descriptor, opened without waiting on a pipe); -1 and the reason
    // otherwise. The caller closes the descriptor.
    static int openRegularFile(const QString &path, TWErrorResult *failure);
    // A package file's bytes, at most kMaximumPackageSize of them.
    static TWErrorResult readLayoutFile(const QString &path, QByteArray *bytes);

private:
    // The package's members, or the error that refused it.
    TWErrorResult readPackage(TWLayoutFileData *fileData) const;

    QString m_path;
    QString m_name;
    bool m_loaded = false;
    std::uint32_t m_version = 0;
    std::uint32_t m_type = 0;
    std::uint32_t m_kind = 0;
    QVariantMap m_settings;
};
