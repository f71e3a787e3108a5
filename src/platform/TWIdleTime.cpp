#include "platform/TWIdleTime.h"

#include <cstdlib>

// Xlib defines macros (Bool, Status, None ...) that clash with other headers,
// so it is included last and only here.
#include <X11/Xlib.h>
#include <X11/extensions/scrnsaver.h>

struct TWSystemIdleTime::Connection {
    Display *display = nullptr;
    XScreenSaverInfo *info = nullptr;

    ~Connection()
    {
        if (info)
            XFree(info);
        if (display)
            XCloseDisplay(display);
    }
};

TWSystemIdleTime::TWSystemIdleTime() = default;
TWSystemIdleTime::~TWSystemIdleTime() = default;

double TWSystemIdleTime::idleSeconds()
{
    // The display is opened once, on first use; a failure is not retried.
    if (!m_tried) {
        m_tried = true;
        const char *name = std::getenv("DISPLAY");
        if (!name || !*name)
            return 0;
        auto connection = std::make_unique<Connection>();
        connection->display = XOpenDisplay(nullptr);
        int eventBase = 0;
        int errorBase = 0;
        if (!connection->display ||
            !XScreenSaverQueryExtension(connection->display, &eventBase, &errorBase))
            return 0;
        connection->info = XScreenSaverAllocInfo();
        if (!connection->info)
            return 0;
        m_connection = std::move(connection);
    }
    if (!m_connection)
        return 0;
    Display *display = m_connection->display;
    if (!XScreenSaverQueryInfo(display, DefaultRootWindow(display), m_connection->info))
        return 0;
    // Milliseconds since the last input.
    return double(m_connection->info->idle) / 1000.0;
}
