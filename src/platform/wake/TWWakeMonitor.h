#pragma once
// Tells when the computer woke from sleep. The system monitor listens to
// systemd-logind's PrepareForSleep(false) on the system bus; where there is
// no system bus it never fires. Tests install a monitor of their own and
// call `wake()`.

#include <QObject>

class TWWakeMonitor : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    // The monitor documents and the task timer listen to: one installed with
    // setShared, else the system monitor (made on first use).
    static TWWakeMonitor *shared();
    // nullptr goes back to the system monitor. The caller keeps ownership.
    static void setShared(TWWakeMonitor *monitor);

    // Whether wakes can be seen at all here.
    virtual bool isListening() const { return true; }

    // Reports a wake to every listener.
    void wake() { emit didWake(); }

signals:
    void didWake();
};

// The logind listener.
class TWLogindWakeMonitor final : public TWWakeMonitor
{
    Q_OBJECT
public:
    explicit TWLogindWakeMonitor(QObject *parent = nullptr);
    bool isListening() const override { return m_listening; }

private slots:
    void prepareForSleep(bool start);

private:
    bool m_listening = false;
};
