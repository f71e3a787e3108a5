#include "platform/wake/TWWakeMonitor.h"

#include <QDBusConnection>
#include <QPointer>

namespace
{

QPointer<TWWakeMonitor> &installed()
{
    static QPointer<TWWakeMonitor> monitor;
    return monitor;
}

} // namespace

TWWakeMonitor *TWWakeMonitor::shared()
{
    if (installed())
        return installed();
    // Made once and kept for the program's life.
    static TWWakeMonitor *system = new TWLogindWakeMonitor();
    return system;
}

void TWWakeMonitor::setShared(TWWakeMonitor *monitor)
{
    installed() = monitor;
}

TWLogindWakeMonitor::TWLogindWakeMonitor(QObject *parent) : TWWakeMonitor(parent)
{
    QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected())
        return;
    m_listening = bus.connect(QStringLiteral("org.freedesktop.login1"),
                              QStringLiteral("/org/freedesktop/login1"),
                              QStringLiteral("org.freedesktop.login1.Manager"),
                              QStringLiteral("PrepareForSleep"), this, SLOT(prepareForSleep(bool)));
}

void TWLogindWakeMonitor::prepareForSleep(bool start)
{
    // Sent with true before sleeping and with false once running again.
    if (!start)
        wake();
}
