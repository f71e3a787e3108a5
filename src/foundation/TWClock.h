#pragma once
// The source of "now" and "today". Code never asks the system clock directly, so
// tests can pin the moment.

#include <QDate>
#include <QDateTime>

#include <functional>

class TWClock
{
public:
    static QDateTime now();
    // The same moment as milliseconds since 1970 (UTC); without a pinned
    // moment the time zone is not consulted.
    static qint64 nowMSecsSinceEpoch();
    static QDate today();

    // Replaces the source of "now"; an empty function restores the system clock.
    static void setNowProvider(std::function<QDateTime()> provider);
    // The source set now (empty: the system clock), to put back after a pin.
    static std::function<QDateTime()> nowProvider();
};
