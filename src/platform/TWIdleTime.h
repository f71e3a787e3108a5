#pragma once
// How long the user has left keyboard and mouse alone, for the task timer's
// idle detection. The system source asks the X11 screen-saver extension; tests
// put a fake in its place through the interface.

#include <memory>

class TWIdleTimeSource
{
public:
    virtual ~TWIdleTimeSource() = default;
    // Seconds since the last user input; 0 when unknown.
    virtual double idleSeconds() = 0;
};

// The X display's screen-saver extension. 0 where there is no X display or the
// extension is missing (a Wayland-only session, a headless run).
class TWSystemIdleTime final : public TWIdleTimeSource
{
public:
    TWSystemIdleTime();
    ~TWSystemIdleTime() override;
    TWSystemIdleTime(const TWSystemIdleTime &) = delete;
    TWSystemIdleTime &operator=(const TWSystemIdleTime &) = delete;

    double idleSeconds() override;

private:
    struct Connection;
    std::unique_ptr<Connection> m_connection;
    bool m_tried = false;
};
