#pragma once
// Runs the code of a scope in another time zone: a day must be the same day,
// and recorded time the same length, wherever the business is opened.

#include <QByteArray>
#include <QtGlobal>

#include <ctime>

class TWZoneGuard
{
public:
    explicit TWZoneGuard(const char *zone) : m_old(qgetenv("TZ")) { set(zone); }
    ~TWZoneGuard() { set(m_old.isNull() ? nullptr : m_old.constData()); }
    TWZoneGuard(const TWZoneGuard &) = delete;
    TWZoneGuard &operator=(const TWZoneGuard &) = delete;

private:
    static void set(const char *zone)
    {
        if (zone)
            qputenv("TZ", zone);
        else
            qunsetenv("TZ");
        tzset();
    }

    QByteArray m_old;
};
