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
    static QDate today();

    // Replaces the source of "now"; an empty function restores the system clock.
    static void setNowProvider(std::function<QDateTime()> provider);
    // The source set now (empty: the system clock), to put back after a pin.
    static std::function<QDateTime()> nowProvider();
};
