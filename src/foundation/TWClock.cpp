#include "foundation/TWClock.h"

namespace
{
std::function<QDateTime()> &provider()
{
    static std::function<QDateTime()> p;
    return p;
}
} // namespace

QDateTime TWClock::now()
{
    if (provider())
        return provider()();
    return QDateTime::currentDateTime();
}

qint64 TWClock::nowMSecsSinceEpoch()
{
    if (provider())
        return provider()().toMSecsSinceEpoch();
    return QDateTime::currentMSecsSinceEpoch();
}

QDate TWClock::today()
{
    return now().date();
}

void TWClock::setNowProvider(std::function<QDateTime()> p)
{
    provider() = std::move(p);
}

std::function<QDateTime()> TWClock::nowProvider()
{
    return provider();
}
