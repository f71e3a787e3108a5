#pragma once
// Runs the code of a scope in another time zone: a day must be the same day,
// and recorded time the same length, wherever the business is opened.

#include <QByteArray>
#include <QtGlobal>

#include <ctime>

class TWZoneGuard
{
public:
    explicit TWZoneGuard(const char *zone)
        : m_old(qgetenv("TZ")), m_hadOld(qEnvironmentVariableIsSet("TZ"))
    {
        set(zone);
    }
    ~TWZoneGuard()
    {
        if (m_hadOld)
            set(m_old.constData());
        else {
            qunsetenv("TZ");
            tzset();
        }
    }
    TWZoneGuard(const TWZoneGuard &) = delete;
    TWZoneGuard &operator=(const TWZoneGuard &) = delete;

private:
    static void set(const char *zone)
    {
        qputenv("TZ", zone);
        tzset();
    }

    QByteArray m_old;
    bool m_hadOld;
};
