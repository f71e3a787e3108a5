#include "TWTestSupport.h"

#include "foundation/TWClock.h"
#include "foundation/TWSQLitePageCache.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QStandardPaths>

#include <csignal>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

void PrintTo(const QString &string, std::ostream *os)
{
    // Letters of any script as they are; what would not show (line ends, tabs, other control
    // characters) and the quote marks escaped, as GoogleTest prints a std::string.
    static const char hex[] = "0123456789ABCDEF";
    *os << '"';
    for (const char c : string.toStdString()) {
        const auto byte = static_cast<unsigned char>(c);
        switch (c) {
        case '\n':
            *os << "\\n";
            break;
        case '\r':
            *os << "\\r";
            break;
        case '\t':
            *os << "\\t";
            break;
        case '"':
        case '\\':
            *os << '\\' << c;
            break;
        default:
            if (byte < 0x20 || byte == 0x7F)
                *os << "\\x" << hex[byte >> 4] << hex[byte & 0xF];
            else
                *os << c;
        }
    }
    *os << '"';
}

std::ostream &operator<<(std::ostream &os, const QString &string)
{
    return os << string.toStdString();
}

::testing::AssertionResult twIsOk(const char *expression, const TWErrorResult &result)
{
    if (!result)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << expression << " failed: " << result->domain() << " " << result->code() << ": "
           << result->localizedDescription();
}

TWTestTempDir::TWTestTempDir() : m_dir(QDir::tempPath() + QStringLiteral("/tw-test-XXXXXX"))
{
}

TWFixedClock::TWFixedClock(const QDateTime &now)
{
    set(now);
}

TWFixedClock::TWFixedClock(int year, int month, int day, int hour, int minute, int second)
{
    set(twLocal(year, month, day, hour, minute, second));
}

TWFixedClock::~TWFixedClock()
{
    TWClock::setNowProvider({});
}

void TWFixedClock::set(const QDateTime &now)
{
    m_now = now;
    TWClock::setNowProvider([now] { return now; });
}

TWLocaleGuard::TWLocaleGuard(const QLocale &locale) : m_previous(QLocale())
{
    QLocale::setDefault(locale);
}

TWLocaleGuard::~TWLocaleGuard()
{
    QLocale::setDefault(m_previous);
}

QDateTime twLocal(int year, int month, int day, int hour, int minute, int second)
{
    return QDateTime(QDate(year, month, day), QTime(hour, minute, second), Qt::LocalTime);
}

void twPrepareTestProcess(const QTemporaryDir &home)
{
    // As the application does, before anything starts SQLite.
    TWSQLitePageCache::install();
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // Qt's test mode keeps settings under $HOME/.qttest, which would carry a
    // failed run's preferences into the next one; home is ours for the run.
    qputenv("HOME", home.path().toUtf8());
    qputenv("XDG_CONFIG_HOME", (home.path() + QStringLiteral("/config")).toUtf8());
    qputenv("XDG_DATA_HOME", (home.path() + QStringLiteral("/data")).toUtf8());
    qputenv("XDG_CACHE_HOME", (home.path() + QStringLiteral("/cache")).toUtf8());
    qputenv("XDG_RUNTIME_DIR", (home.path() + QStringLiteral("/runtime")).toUtf8());
    // Temporary files too: a test process never quits through the event loop, so the
    // application's own clean-up at quit does not run; removing home removes them.
    // Suites that drop privileges still reach their own folders below it.
    QDir(home.path()).mkpath(QStringLiteral("tmp"));
    QFile::setPermissions(home.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                           QFileDevice::ExeOwner | QFileDevice::ExeGroup |
                                           QFileDevice::ExeOther);
    QFile::setPermissions(home.path() + QStringLiteral("/tmp"),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner |
                              QFileDevice::ExeGroup | QFileDevice::ExeOther);
    qputenv("TMPDIR", (home.path() + QStringLiteral("/tmp")).toUtf8());
    QStandardPaths::setTestModeEnabled(true);
}

void twPinTestApplication()
{
    QCoreApplication::setOrganizationName(QStringLiteral("TallyworthTests"));
    QCoreApplication::setApplicationName(QStringLiteral("TallyworthTests"));
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
}

bool twInChildWithFullDisk(const std::function<bool()> &block, quint64 room)
{
    const pid_t child = ::fork();
    if (child == 0) {
        ::alarm(20);
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{rlim_t(room), rlim_t(room)};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        ::_exit(block() ? 0 : 1);
    }
    int status = 0;
    if (child < 0 || ::waitpid(child, &status, 0) != child)
        return false;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}
