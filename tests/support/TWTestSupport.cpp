#include "TWTestSupport.h"

#include "TWClock.h"

TWTestTempDir::TWTestTempDir() : m_dir(QDir::tempPath() + QStringLiteral("/tw-test-XXXXXX")) {}

TWFixedClock::TWFixedClock(const QDateTime &now) { set(now); }

TWFixedClock::TWFixedClock(int year, int month, int day, int hour, int minute, int second)
{
    set(twLocal(year, month, day, hour, minute, second));
}

TWFixedClock::~TWFixedClock() { TWClock::setNowProvider({}); }

void TWFixedClock::set(const QDateTime &now)
{
    m_now = now;
    TWClock::setNowProvider([now] { return now; });
}

TWLocaleGuard::TWLocaleGuard(const QLocale &locale) : m_previous(QLocale())
{
    QLocale::setDefault(locale);
}

TWLocaleGuard::~TWLocaleGuard() { QLocale::setDefault(m_previous); }

QDateTime twLocal(int year, int month, int day, int hour, int minute, int second)
{
    return QDateTime(QDate(year, month, day), QTime(hour, minute, second), Qt::LocalTime);
}
