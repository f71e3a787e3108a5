#include "model/TWUtilities.h"

#include "foundation/TWClock.h"
#include "foundation/TWDateAdditions.h"
#include "foundation/TWSaveFile.h"
#include "model/TWPreferences.h"
#include "platform/TWIdleTime.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QPainter>
#include <QPainterPath>
#include <QSaveFile>
#include <QStandardPaths>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace
{

// The moment whose calendar day a preset starts or ends on; invalid when the
// preset has none.
QDateTime referenceMoment(std::uint32_t preset, const QDateTime &custom)
{
    switch (preset) {
    case TWIntervalToday:
    case TWIntervalLastMonth:
    case TWIntervalLastYear:
        return TWClock::now();
    case TWIntervalYesterday:
        return TWClock::now().addSecs(-86400);
    case TWIntervalCustom:
        return custom;
    default:
        return {};
    }
}

// The leading number of a version part, saturated at the 32-bit maximum.
std::uint32_t versionNumber(const QString &part)
{
    QStringView s = QStringView(part).trimmed();
    if (s.startsWith(QLatin1Char('+')))
        s = s.mid(1);
    std::uint64_t value = 0;
    for (QChar c : s) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            break;
        value = std::min<std::uint64_t>(value * 10 + std::uint64_t(c.unicode() - '0'), UINT32_MAX);
    }
    return std::uint32_t(value);
}

bool anyNonZero(const QStringList &parts, qsizetype from)
{
    for (qsizetype i = from; i < parts.size(); ++i) {
        if (versionNumber(parts.at(i)) != 0)
            return true;
    }
    return false;
}

// The folder drawn for group rows: a tab and a body in a neutral grey, on
// transparency so a tint colours the folder only.
QImage drawGroupImage()
{
    QImage image(32, 32, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath tab;
    tab.addRoundedRect(QRectF(3, 6, 12, 6), 1.5, 1.5);
    QPainterPath body;
    body.addRoundedRect(QRectF(3, 9, 26, 18), 2, 2);
    painter.fillPath(tab.united(body), QColor(0x8a, 0x93, 0x9c));
    painter.fillPath(body.translated(0, 2).intersected(body), QColor(0xa7, 0xb0, 0xb9));
    painter.end();
    return image;
}

} // namespace

TWUtilities &TWUtilities::utilities()
{
    static TWUtilities *shared = new TWUtilities(TWPreferences::preferences());
    return *shared;
}

TWUtilities::TWUtilities(TWPreferences &preferences, std::unique_ptr<TWIdleTimeSource> idleTime)
    : m_preferences(preferences),
      m_idleTime(idleTime ? std::move(idleTime) : std::make_unique<TWSystemIdleTime>())
{
}

TWUtilities::~TWUtilities() = default;

QStringList TWUtilities::imageFileTypes()
{
    static const QStringList types = [] {
        QStringList list;
        for (const QByteArray &format : QImageReader::supportedImageFormats()) {
            const QString name = QString::fromLatin1(format);
            if (!name.contains(QLatin1String("pdf"), Qt::CaseInsensitive))
                list.append(name);
        }
        return list;
    }();
    return types;
}

QString TWUtilities::temporaryFilePath(const QString &extension) const
{
    if (extension.contains(QLatin1Char('/')) || extension.contains(QChar(0)))
        return {};
    const QString directory = m_preferences.temporaryDirectoryURL();
    if (directory.isEmpty())
        return {};
    QByteArray name = QFile::encodeName(directory + QStringLiteral("/TWTempFileXXXXXX"));
    const int fd = ::mkstemp(name.data());
    if (fd < 0)
        return {};
    const QString created = QFile::decodeName(name);
    QString result = created;
    if (!extension.isEmpty()) {
        // The created file stays behind, so its stem is not handed out again.
        result = created + QLatin1Char('.') + extension;
        for (unsigned n = 2; QFileInfo(result).exists() || QFileInfo(result).isSymLink(); ++n)
            result = QStringLiteral("%1-%2.%3").arg(created).arg(n).arg(extension);
    }
    ::close(fd);
    QFile::remove(result);
    return result;
}

namespace
{

// This run's folder of handed-on files, made on first use, with a lock held
// for the life of the process. The folders of earlier runs, whose locks no
// running copy holds, are removed then: their programs have had a run's
// time to read them.
QString runHandOffFolder()
{
    static QString folder;
    if (!folder.isEmpty())
        return folder;
    const QString root = QStandardPaths::writableLocation(QStandardPaths::CacheLocation) +
                         QStringLiteral("/Handed on");
    if (!QDir().mkpath(root) ||
        !QFile::setPermissions(root, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner))
        return {};
    const QFileInfoList entries = QDir(root).entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot |
                                                           QDir::Hidden | QDir::System);
    for (const QFileInfo &entry : entries) {
        // Anything but a folder of ours goes, a link as a link.
        if (entry.isSymLink() || !entry.isDir()) {
            QFile::remove(entry.filePath());
            continue;
        }
        const QByteArray lockPath = QFile::encodeName(entry.filePath() + QStringLiteral("/.lock"));
        const int lock = ::open(lockPath.constData(), O_RDWR | O_NOFOLLOW | O_CLOEXEC);
        const bool held = lock >= 0 && ::flock(lock, LOCK_EX | LOCK_NB) != 0;
        if (lock >= 0)
            ::close(lock);
        if (!held)
            QDir(entry.filePath()).removeRecursively();
    }
    QByteArray path = QFile::encodeName(root + QStringLiteral("/RunXXXXXX"));
    if (!::mkdtemp(path.data()))
        return {};
    const QByteArray lockPath = path + "/.lock";
    const int lock = ::open(lockPath.constData(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (lock < 0 || ::flock(lock, LOCK_EX | LOCK_NB) != 0) {
        if (lock >= 0)
            ::close(lock);
        return {};
    }
    // Kept open: the kernel drops the lock when this process ends.
    folder = QFile::decodeName(path);
    return folder;
}

} // namespace

QString TWUtilities::handOffFolder()
{
    const QString run = runHandOffFolder();
    if (run.isEmpty())
        return {};
    QByteArray path = QFile::encodeName(run + QStringLiteral("/XXXXXX"));
    if (!::mkdtemp(path.data()))
        return {};
    return QFile::decodeName(path);
}

QUrl TWUtilities::temporaryFileURL(const QString &extension) const
{
    const QString path = temporaryFilePath(extension);
    return path.isEmpty() ? QUrl() : QUrl::fromLocalFile(path);
}

QSizeF TWUtilities::scaleSize(const QSizeF &size, const QSizeF &containerSize)
{
    const double width = size.width();
    const double height = size.height();
    if (!(width > containerSize.width() || height > containerSize.height()))
        return size;
    const double rw = width / containerSize.width();
    const double rh = height / containerSize.height();
    const double scale = rw > rh ? containerSize.width() / width : containerSize.height() / height;
    return QSizeF(std::floor(float(width * scale)), std::floor(float(height * scale)));
}

bool TWUtilities::writeJPEGImageFile(const QImage &image, const QString &filePath)
{
    if (image.isNull() || filePath.isEmpty())
        return false;
    QSaveFile file(filePath);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    const bool written = image.save(&file, "JPEG", 100);
    return !twCommitSaveFile(file, written);
}

bool TWUtilities::writeJPEGImageFile(const QImage &image, const QUrl &url)
{
    return url.isLocalFile() && writeJPEGImageFile(image, url.toLocalFile());
}

QString TWUtilities::writeJPEGImageFile(const QImage &image) const
{
    const QString path = temporaryFilePath(QStringLiteral("jpg"));
    if (path.isEmpty() || !writeJPEGImageFile(image, path))
        return {};
    return path;
}

QString TWUtilities::thumbnailImageFile(const QImage &image) const
{
    if (image.isNull())
        return {};
    const QSize size = scaleSize(image.size(), QSizeF(50, 50)).toSize();
    if (size.isEmpty())
        return {};
    QImage thumbnail(size, QImage::Format_ARGB32_Premultiplied);
    thumbnail.fill(Qt::transparent);
    QPainter painter(&thumbnail);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(QRectF(QPointF(0, 0), QSizeF(size)), image);
    painter.end();
    return writeJPEGImageFile(thumbnail);
}

QDateTime TWUtilities::intervalFromDate(std::uint32_t preset, const QDateTime &customFromDate)
{
    QDateTime reference;
    if (preset == TWIntervalLastSevenDays)
        reference = TWClock::now().addSecs(-604800);
    else
        reference = referenceMoment(preset, customFromDate);
    if (!reference.isValid())
        return {};
    const QDate day = reference.toLocalTime().date();
    qint64 year = day.year();
    qint64 month = day.month();
    if (preset == TWIntervalLastMonth)
        --month; // month 0 carries into December of the year before
    else if (preset == TWIntervalLastYear)
        --year;
    // A day the month lacks carries into the next month (31 March a month
    // back is 3 March).
    return TWDateAdditions::dateFromFields(year, month, day.day());
}

QDateTime TWUtilities::intervalToDate(std::uint32_t preset, const QDateTime &customToDate)
{
    const QDateTime reference =
        preset == TWIntervalLastSevenDays ? TWClock::now() : referenceMoment(preset, customToDate);
    if (!reference.isValid())
        return {};
    const QDate day = reference.toLocalTime().date();
    return TWDateAdditions::dateFromFields(day.year(), day.month(), day.day(), 23, 59, 59);
}

int TWUtilities::compareVersionString(const QString &version, const QString &other)
{
    const QStringList a = version.split(QLatin1Char('.'));
    const QStringList b = other.split(QLatin1Char('.'));
    const qsizetype shared = std::min(a.size(), b.size());
    for (qsizetype i = 0; i < shared; ++i) {
        const std::uint32_t x = versionNumber(a.at(i));
        const std::uint32_t y = versionNumber(b.at(i));
        if (y > x)
            return -1;
        if (y < x)
            return 1;
    }
    if (a.size() > b.size())
        return anyNonZero(a, shared) ? 1 : 0;
    if (b.size() > a.size())
        return anyNonZero(b, shared) ? -1 : 0;
    return 0;
}

QString TWUtilities::updateAvailable(const QByteArray &data, bool skipVersion) const
{
    return updateAvailable(data, skipVersion, QCoreApplication::applicationVersion());
}

QString TWUtilities::updateAvailable(const QByteArray &data, bool skipVersion,
                                     const QString &applicationVersion) const
{
    if (data.isNull())
        return {};
    const QString latest = QString::fromUtf8(data);
    const QString skipped = m_preferences.checkForUpdateSkipVersion();
    if (skipVersion && !skipped.isEmpty() && compareVersionString(latest, skipped) != 1)
        return {};
    return compareVersionString(applicationVersion, latest) == -1 ? latest : QString();
}

double TWUtilities::idleTime() const
{
    return m_idleTime ? m_idleTime->idleSeconds() : 0;
}

void TWUtilities::setIdleTimeSource(std::unique_ptr<TWIdleTimeSource> source)
{
    m_idleTime = std::move(source);
}

QImage TWUtilities::folderImageWithTintColour(const QColor &colour)
{
    static const QImage group = drawGroupImage();
    QImage image = group.copy();
    if (colour.isValid()) {
        QPainter painter(&image);
        painter.setCompositionMode(QPainter::CompositionMode_SourceAtop);
        painter.fillRect(image.rect(), colour);
    }
    return image;
}
