#pragma once
// Operations several parts need that belong to no entity: unique temporary
// files, JPEG writing and thumbnails, the dates of the interval presets used by
// exports and lists, unique file names, version comparison and the update
// decision, the user's idle time and the tinted folder image of group rows.

#include "model/TWUnit.h"

#include <QByteArray>
#include <QColor>
#include <QDateTime>
#include <QImage>
#include <QSet>
#include <QSizeF>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <cstdint>
#include <memory>

class TWIdleTimeSource;
class TWPreferences;

// The interval presets shared by exports, lists and the formatter.
enum TWIntervalPreset : std::uint32_t {
    TWIntervalAllDates = 0,
    TWIntervalToday = 1,
    TWIntervalYesterday = 2,
    TWIntervalLastSevenDays = 3,
    TWIntervalLastMonth = 4,
    TWIntervalLastYear = 5,
    TWIntervalCustom = 6,
};

// One entry of a unit pop-up menu: a separator, or a unit with its title. The
// user interface turns the list into its menu.
struct TWUnitMenuItem {
    bool separator = false;
    QString title;
    TWUnitPtr unit;
};
using TWUnitMenuItems = QList<TWUnitMenuItem>;

class TWUtilities
{
public:
    // The shared instance over the shared preferences and the system's idle
    // time (made on first use on the main thread, never released).
    static TWUtilities &utilities();

    // Temporary files go into `preferences`' temporary directory; the idle time
    // comes from `idleTime` (the system's when none is given).
    explicit TWUtilities(TWPreferences &preferences,
                         std::unique_ptr<TWIdleTimeSource> idleTime = nullptr);
    ~TWUtilities();
    TWUtilities(const TWUtilities &) = delete;
    TWUtilities &operator=(const TWUtilities &) = delete;

    // The image formats QImage reads, less PDF.
    static QStringList imageFileTypes();

    // A new path inside the temporary directory, with ".extension" when one is
    // given (an extension holding "/" is refused); empty on failure. No file
    // exists at the returned path; each call returns a different one.
    QString temporaryFilePath(const QString &extension = QString()) const;
    QUrl temporaryFileURL(const QString &extension = QString()) const;
    // A new folder (mode 0700) for a file handed to another program, a mail
    // program that may read it long after: it stays when this run ends,
    // unlike the temporary directory, and goes when the next run first
    // hands a file on. Each call makes a different one; empty on failure.
    static QString handOffFolder();

    // The size scaled down to fit the container, keeping its proportions
    // (sides rounded down); a size that fits is returned unchanged.
    static QSizeF scaleSize(const QSizeF &size, const QSizeF &containerSize);

    // Writes the image as JPEG at best quality to a new temporary ".jpg" path
    // and returns it; empty when writing failed.
    QString writeJPEGImageFile(const QImage &image) const;
    // Writes atomically to the given place; false on failure.
    static bool writeJPEGImageFile(const QImage &image, const QString &filePath);
    static bool writeJPEGImageFile(const QImage &image, const QUrl &url);
    // A JPEG thumbnail fitted into 50 x 50 in a temporary file; empty on failure.
    QString thumbnailImageFile(const QImage &image) const;

    // The start (00:00:00) and end (23:59:59) of an interval preset, relative
    // to now; preset 6 takes the custom dates. Invalid for preset 0, for presets
    // above 6 and for a missing custom date.
    static QDateTime intervalFromDate(std::uint32_t preset, const QDateTime &customFromDate);
    static QDateTime intervalToDate(std::uint32_t preset, const QDateTime &customToDate);

    // -1 when `version` is older than `other`, 0 when equal, 1 when newer,
    // comparing dot-separated numbers (1.2 < 1.10; 2 == 2.0.0).
    static int compareVersionString(const QString &version, const QString &other);

    // The version named by the downloaded update text when it is newer than
    // the running application's (QCoreApplication::applicationVersion()) and,
    // with `skipVersion`, newer than the version the user chose to skip;
    // otherwise empty. Null data gives empty.
    QString updateAvailable(const QByteArray &data, bool skipVersion) const;
    QString updateAvailable(const QByteArray &data, bool skipVersion,
                            const QString &applicationVersion) const;

    // Seconds since the user's last input; 0 when unknown.
    double idleTime() const;
    void setIdleTimeSource(std::unique_ptr<TWIdleTimeSource> source);

    // The folder image of group rows, its opaque pixels tinted with the colour
    // (untinted for an invalid colour).
    static QImage folderImageWithTintColour(const QColor &colour);

private:
    TWPreferences &m_preferences;
    std::unique_ptr<TWIdleTimeSource> m_idleTime;
};
