#include "model/TWPreferences.h"

#include "foundation/TWNotificationCenter.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QRegularExpression>
#include <QSettings>

#include <cmath>
#include <cstdlib>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace
{

const char *const kColourKeys[] = {
    "transactionColour", "estimateColour", "projectColour", "taskColour",   "taskItemColour",
    "expenseColour",     "invoiceColour",  "billColour",    "closedColour", "lockedColour",
    "completedColour",   "paidColour",     "overdueColour", "oweColour",    "clearedColour"};

const char kTemporaryDirectoryKey[] = "temporaryDirectoryURL";
const char kVersionKey[] = "version";
const char kTemporaryDirectoryPrefix[] = "Tallyworth-";
const char kTemporaryDirectoryLockName[] = ".lock";

// The settings file is the user's to edit, so every value is checked and a
// value of the wrong kind reads as the default.
class Reader
{
public:
    explicit Reader(const QSettings &settings) : m_settings(settings) {}

    qint64 integer(const char *key, qint64 fallback) const
    {
        const QVariant v = m_settings.value(QLatin1String(key));
        bool ok = false;
        const qint64 value = v.toLongLong(&ok);
        return v.isValid() && ok ? value : fallback;
    }
    std::uint32_t unsignedInteger(const char *key, std::uint32_t fallback) const
    {
        const qint64 value = integer(key, -1);
        return value >= 0 && value <= qint64(UINT32_MAX) ? std::uint32_t(value) : fallback;
    }
    bool flag(const char *key, bool fallback) const
    {
        const QVariant v = m_settings.value(QLatin1String(key));
        if (v.typeId() == QMetaType::Bool)
            return v.toBool();
        const QString text = v.toString().trimmed().toLower();
        if (text == QLatin1String("true") || text == QLatin1String("1"))
            return true;
        if (text == QLatin1String("false") || text == QLatin1String("0"))
            return false;
        return fallback;
    }
    QString text(const char *key, const QString &fallback) const
    {
        const QVariant v = m_settings.value(QLatin1String(key));
        return v.isValid() ? v.toString() : fallback;
    }
    double singlePrecision(const char *key, double fallback) const
    {
        const QVariant v = m_settings.value(QLatin1String(key));
        bool ok = false;
        const float value = v.toFloat(&ok);
        return v.isValid() && ok && std::isfinite(value) ? double(value) : fallback;
    }
    QDateTime date(const char *key) const
    {
        const QDateTime value = m_settings.value(QLatin1String(key)).toDateTime();
        return value.isValid() ? value : QDateTime();
    }
    QColor colour(const char *key, const QColor &fallback) const
    {
        const QVariant v = m_settings.value(QLatin1String(key));
        if (!v.isValid())
            return fallback;
        const QString text = v.toString().trimmed();
        if (text.isEmpty())
            return QColor();
        static const QRegularExpression argb(QStringLiteral("^#[0-9A-Fa-f]{8}$"));
        return argb.match(text).hasMatch() ? QColor::fromString(text) : fallback;
    }

private:
    const QSettings &m_settings;
};

} // namespace

QColor TWPreferences::defaultColour(Colour which)
{
    const QColor gray = QColor::fromRgbF(0.5f, 0.5f, 0.5f);
    switch (which) {
    case EstimateColour:
        return QColor::fromRgbF(0.1f, 0.5f, 0.1f, 1.0f);
    case ClosedColour:
    case LockedColour:
    case CompletedColour:
    case PaidColour:
        return gray;
    case OverdueColour:
        return QColor::fromRgbF(1.0f, 0.0f, 0.0f);
    case ClearedColour:
        return QColor::fromRgbF(1.0f / 3.0f, 1.0f / 3.0f, 1.0f / 3.0f);
    default:
        // Invalid: the control text colour, resolved by the user interface.
        return QColor();
    }
}

TWPreferences &TWPreferences::preferences()
{
    static TWPreferences *shared = new TWPreferences();
    return *shared;
}

TWPreferences::TWPreferences(const QString &settingsFile)
    : m_settings(settingsFile.isEmpty()
                     ? std::make_unique<QSettings>()
                     : std::make_unique<QSettings>(settingsFile, QSettings::IniFormat))
{
    load();
}

TWPreferences::~TWPreferences()
{
    if (!m_temporaryDirectory.isEmpty())
        deleteTempFiles();
}

void TWPreferences::load()
{
    const bool hadTemporaryDirectory = m_settings->contains(QLatin1String(kTemporaryDirectoryKey));

    const QLocale locale;
    m_localeCountryCode = QLocale::territoryToCode(locale.territory());
    if (m_localeCountryCode.isEmpty() || locale.territory() == QLocale::AnyTerritory)
        m_localeCountryCode = QStringLiteral("US");
    m_localeCurrencyCode = locale.currencySymbol(QLocale::CurrencyIsoCode);
    if (m_localeCurrencyCode.isEmpty())
        m_localeCurrencyCode = QStringLiteral("USD");

    const Reader r(*m_settings);
    m_lastAccountType = r.unsignedInteger("lastAccountType", 16);
    m_lastReportType = r.unsignedInteger("lastReportType", 0);
    m_openLastBusiness = r.flag("openLastBusiness", true);
    m_lastOpenBusinessURL = r.text("lastOpenBusinessURL", QString());
    m_autoCompleteTextFields = r.flag("autoCompleteTextFields", true);
    m_autoSave = r.integer("autoSave", 5);
    m_timeFormat = r.unsignedInteger("timeFormat", 0);
    m_startingIdentifier = r.unsignedInteger("startingIdentifier", 1);
    m_defaultLastDateUnit = r.integer("defaultLastDateUnit", 1) != 0;
    m_idleTimeout = r.integer("idleTimeout", 10);
    m_showTaskTimerInMenuBar = r.flag("showTaskTimerInMenuBar", true);
    m_minimumTaskTime = r.integer("minimumTaskTime", 0);
    m_roundInvoiceTaskTime = r.integer("roundInvoiceTaskTime", 1);
    m_sortReportsAccounts = r.unsignedInteger("sortReportsAccounts", 0);
    m_sortReportsClients = r.unsignedInteger("sortReportsClients", 0);
    m_sortReportsMerchants = r.unsignedInteger("sortReportsMerchants", 0);
    m_checkForUpdate = r.flag("checkForUpdate", true);
    m_checkForUpdateSkipVersion = r.text("checkForUpdateSkipVersion", QString());
    m_checkForUpdateNextDate = r.date("checkForUpdateNextDate");
    m_normalExportFontName = r.text("normalExportFontName", QStringLiteral("Times Roman"));
    m_boldExportFontName = r.text("boldExportFontName", QStringLiteral("Times Bold"));
    m_italicExportFontName = r.text("italicExportFontName", QStringLiteral("Times Italic"));
    m_smallExportFontSize = r.singlePrecision("smallExportFontSize", 12.0);
    m_normalExportFontSize = r.singlePrecision("normalExportFontSize", 14.0);
    m_largeExportFontSize = r.singlePrecision("largeExportFontSize", 16.0);
    for (int i = 0; i < ColourCount; ++i)
        m_colours[i] = r.colour(kColourKeys[i], defaultColour(Colour(i)));

    // Preferences left by a run of another format version (recognised by the
    // temporary directory that run recorded) make the launch show its notice.
    const qint64 version = hadTemporaryDirectory ? r.integer(kVersionKey, 0) : kVersion;
    if (version != kVersion) {
        m_upgraded = true;
        m_settings->setValue(QLatin1String(kVersionKey), kVersion);
        m_settings->sync();
    }
}

void TWPreferences::syncSettings(bool post)
{
    m_settings->sync();
    if (post)
        TWNotificationCenter::defaultCenter().postNotification(QStringLiteral("preferences"), this);
}

void TWPreferences::store(const char *key, const QVariant &value, bool post)
{
    if (value.isValid())
        m_settings->setValue(QLatin1String(key), value);
    else
        m_settings->remove(QLatin1String(key));
    // Every value reaches the file at once, also those that post nothing: a
    // second instance reads them at its start, and a crash before QSettings'
    // own deferred write would otherwise lose them.
    syncSettings(post);
}

void TWPreferences::setLastAccountType(std::uint32_t v)
{
    m_lastAccountType = v;
    store("lastAccountType", qulonglong(v), false);
}

void TWPreferences::setLastReportType(std::uint32_t v)
{
    m_lastReportType = v;
    store("lastReportType", qulonglong(v), false);
}

void TWPreferences::setOpenLastBusiness(bool v)
{
    m_openLastBusiness = v;
    store("openLastBusiness", v, false);
}

void TWPreferences::setLastOpenBusinessURL(const QString &path)
{
    m_lastOpenBusinessURL = path;
    store("lastOpenBusinessURL", path.isEmpty() ? QVariant() : QVariant(path), false);
}

void TWPreferences::setAutoCompleteTextFields(bool v)
{
    m_autoCompleteTextFields = v;
    store("autoCompleteTextFields", v, true);
}

void TWPreferences::setAutoSave(qint64 v)
{
    m_autoSave = v;
    store("autoSave", v, true);
}

void TWPreferences::setTimeFormat(std::uint32_t v)
{
    m_timeFormat = v;
    store("timeFormat", qulonglong(v), true);
}

void TWPreferences::setStartingIdentifier(std::uint32_t v)
{
    m_startingIdentifier = v;
    store("startingIdentifier", qulonglong(v), true);
}

void TWPreferences::setDefaultLastDateUnit(bool v)
{
    m_defaultLastDateUnit = v;
    store("defaultLastDateUnit", v ? 1 : 0, true);
}

void TWPreferences::setIdleTimeout(qint64 v)
{
    m_idleTimeout = v;
    store("idleTimeout", v, true);
}

void TWPreferences::setShowTaskTimerInMenuBar(bool v)
{
    m_showTaskTimerInMenuBar = v;
    store("showTaskTimerInMenuBar", v, true);
}

void TWPreferences::setMinimumTaskTime(qint64 v)
{
    m_minimumTaskTime = v;
    store("minimumTaskTime", v, true);
}

void TWPreferences::setRoundInvoiceTaskTime(qint64 v)
{
    m_roundInvoiceTaskTime = v;
    store("roundInvoiceTaskTime", v, true);
}

void TWPreferences::setSortReportsAccounts(std::uint32_t v)
{
    m_sortReportsAccounts = v;
    store("sortReportsAccounts", qulonglong(v), true);
}

void TWPreferences::setSortReportsClients(std::uint32_t v)
{
    m_sortReportsClients = v;
    store("sortReportsClients", qulonglong(v), true);
}

void TWPreferences::setSortReportsMerchants(std::uint32_t v)
{
    m_sortReportsMerchants = v;
    store("sortReportsMerchants", qulonglong(v), true);
}

void TWPreferences::setCheckForUpdate(bool v)
{
    m_checkForUpdate = v;
    store("checkForUpdate", v, true);
}

QString TWPreferences::exchangeRateServiceURL() const
{
    return m_settings->value(QStringLiteral("exchangeRateServiceURL")).toString().trimmed();
}

void TWPreferences::setExchangeRateServiceURL(const QString &v)
{
    store("exchangeRateServiceURL", v.isEmpty() ? QVariant() : QVariant(v), false);
}

QString TWPreferences::siteURL() const
{
    return m_settings->value(QStringLiteral("siteURL")).toString().trimmed();
}

void TWPreferences::setSiteURL(const QString &v)
{
    store("siteURL", v.isEmpty() ? QVariant() : QVariant(v), false);
}

QString TWPreferences::supportAddress() const
{
    return m_settings->value(QStringLiteral("supportAddress")).toString().trimmed();
}

void TWPreferences::setSupportAddress(const QString &v)
{
    store("supportAddress", v.isEmpty() ? QVariant() : QVariant(v), false);
}

QString TWPreferences::contactAddress() const
{
    return m_settings->value(QStringLiteral("contactAddress")).toString().trimmed();
}

void TWPreferences::setContactAddress(const QString &v)
{
    store("contactAddress", v.isEmpty() ? QVariant() : QVariant(v), false);
}

void TWPreferences::setCheckForUpdateSkipVersion(const QString &v)
{
    m_checkForUpdateSkipVersion = v;
    store("checkForUpdateSkipVersion", v.isNull() ? QVariant() : QVariant(v), false);
}

void TWPreferences::setCheckForUpdateNextDate(const QDateTime &v)
{
    m_checkForUpdateNextDate = v;
    store("checkForUpdateNextDate", v.isValid() ? QVariant(v) : QVariant(), false);
}

void TWPreferences::setNormalExportFontName(const QString &v)
{
    m_normalExportFontName = v;
    store("normalExportFontName", v, true);
}

void TWPreferences::setBoldExportFontName(const QString &v)
{
    m_boldExportFontName = v;
    store("boldExportFontName", v, true);
}

void TWPreferences::setItalicExportFontName(const QString &v)
{
    m_italicExportFontName = v;
    store("italicExportFontName", v, true);
}

void TWPreferences::setSmallExportFontSize(double v)
{
    m_smallExportFontSize = v;
    store("smallExportFontSize", float(v), true);
}

void TWPreferences::setNormalExportFontSize(double v)
{
    m_normalExportFontSize = v;
    store("normalExportFontSize", float(v), true);
}

void TWPreferences::setLargeExportFontSize(double v)
{
    m_largeExportFontSize = v;
    store("largeExportFontSize", float(v), true);
}

void TWPreferences::setColour(Colour which, const QColor &colour)
{
    m_colours[which] = colour.isValid() ? colour : QColor();
    // "#AARRGGBB"; the empty text keeps "the control text colour".
    store(kColourKeys[which], colour.isValid() ? colour.name(QColor::HexArgb) : QStringLiteral(""),
          true);
}

TWPreferences::TemporaryDirectoryClaim TWPreferences::claimTemporaryDirectory(const QString &path)
{
    if (path.isEmpty() || !QDir::isAbsolutePath(path))
        return TemporaryDirectoryClaim::Unusable;
    const QFileInfo info(path);
    if (!info.fileName().startsWith(QLatin1String(kTemporaryDirectoryPrefix)) ||
        QDir::cleanPath(info.absolutePath()) != QDir::cleanPath(QDir::tempPath()))
        return TemporaryDirectoryClaim::Unusable;
    const QByteArray encoded = QFile::encodeName(QDir::cleanPath(path));
    // lstat, so a link (even to a directory of ours) is never followed.
    struct stat status {
    };
    if (::lstat(encoded.constData(), &status) != 0 || !S_ISDIR(status.st_mode) ||
        status.st_uid != ::geteuid() || (status.st_mode & 077) != 0)
        return TemporaryDirectoryClaim::Unusable;
    const int directory =
        ::open(encoded.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (directory < 0)
        return TemporaryDirectoryClaim::Unusable;
    // The same directory as the one checked (not swapped in between).
    struct stat opened {
    };
    const bool same = ::fstat(directory, &opened) == 0 && opened.st_dev == status.st_dev &&
                      opened.st_ino == status.st_ino;
    const int lock = same ? ::openat(directory, kTemporaryDirectoryLockName,
                                     O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600)
                          : -1;
    ::close(directory);
    if (lock < 0)
        return TemporaryDirectoryClaim::Unusable;
    // The kernel drops the lock when its holder ends, however it ends.
    if (::flock(lock, LOCK_EX | LOCK_NB) != 0) {
        ::close(lock);
        return TemporaryDirectoryClaim::InUse;
    }
    m_temporaryDirectory = QFile::decodeName(encoded);
    m_temporaryDirectoryLock = lock;
    return TemporaryDirectoryClaim::Claimed;
}

void TWPreferences::releaseTemporaryDirectory()
{
    if (m_temporaryDirectoryLock >= 0)
        ::close(m_temporaryDirectoryLock);
    m_temporaryDirectoryLock = -1;
    m_temporaryDirectory.clear();
}

QString TWPreferences::temporaryDirectoryURL()
{
    if (!m_temporaryDirectory.isEmpty())
        return m_temporaryDirectory;
    // A directory left behind by a run that did not quit normally first.
    const QString stored = m_settings->value(QLatin1String(kTemporaryDirectoryKey)).toString();
    if (claimTemporaryDirectory(stored) != TemporaryDirectoryClaim::Claimed) {
        // Otherwise a new one (mkdtemp: unique name, mode 0700).
        QByteArray path =
            QFile::encodeName(QDir::tempPath() + QLatin1Char('/') +
                              QLatin1String(kTemporaryDirectoryPrefix) + QStringLiteral("XXXXXX"));
        if (!::mkdtemp(path.data()))
            return {};
        if (claimTemporaryDirectory(QFile::decodeName(path)) != TemporaryDirectoryClaim::Claimed) {
            ::rmdir(path.constData());
            return {};
        }
    }
    if (!m_settings->contains(QLatin1String(kVersionKey)))
        m_settings->setValue(QLatin1String(kVersionKey), kVersion);
    m_settings->setValue(QLatin1String(kTemporaryDirectoryKey), m_temporaryDirectory);
    syncSettings(false);
    if (QCoreApplication *app = QCoreApplication::instance()) {
        m_quitConnection = QObject::connect(app, &QCoreApplication::aboutToQuit, app, [this] {
            m_settings->sync();
            deleteTempFiles();
        });
    }
    return m_temporaryDirectory;
}

void TWPreferences::deleteTempFiles()
{
    if (m_quitConnection)
        QObject::disconnect(m_quitConnection);
    const QString stored = m_settings->value(QLatin1String(kTemporaryDirectoryKey)).toString();
    bool storedInUse = false;
    // A left-behind directory this run never needed goes now as well; one a
    // running instance holds stays, and so does its record.
    if (m_temporaryDirectory.isEmpty() &&
        m_settings->contains(QLatin1String(kTemporaryDirectoryKey)))
        storedInUse = claimTemporaryDirectory(stored) == TemporaryDirectoryClaim::InUse;
    if (!m_temporaryDirectory.isEmpty())
        QDir(m_temporaryDirectory).removeRecursively();
    // Another instance may have recorded its own directory since; leave that.
    if (m_settings->contains(QLatin1String(kTemporaryDirectoryKey)) && !storedInUse &&
        (m_temporaryDirectory.isEmpty() || stored == m_temporaryDirectory)) {
        m_settings->remove(QLatin1String(kTemporaryDirectoryKey));
        m_settings->sync();
    }
    releaseTemporaryDirectory();
}
