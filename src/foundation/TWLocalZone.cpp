#include "foundation/TWLocalZone.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QPointer>

#include <sys/stat.h>

#include <ctime>

namespace
{

// What tells one state of the zone file from another: a zone change replaces the file (or
// the link's target), or rewrites it in place.
struct Identity {
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    timespec modified{};
    timespec changed{};
    bool exists = false;

    bool operator==(const Identity &other) const
    {
        return device == other.device && inode == other.inode && size == other.size &&
               exists == other.exists && modified.tv_sec == other.modified.tv_sec &&
               modified.tv_nsec == other.modified.tv_nsec &&
               changed.tv_sec == other.changed.tv_sec && changed.tv_nsec == other.changed.tv_nsec;
    }
};

Identity identify(const QByteArray &file)
{
    Identity identity;
    struct stat status;
    if (::stat(file.constData(), &status) == 0) {
        identity.exists = true;
        identity.device = status.st_dev;
        identity.inode = status.st_ino;
        identity.size = status.st_size;
        identity.modified = status.st_mtim;
        identity.changed = status.st_ctim;
    }
    return identity;
}

struct State {
    QByteArray zone;      // TZ as install set it: ":" and the file
    QByteArray otherZone; // the same file spelled another way
    QByteArray file;
    Identity read;
    bool stale = true; // the event loop slept since the last look
};

State &state()
{
    static State s;
    return s;
}

// Refreshes at the first event after the event loop slept (every event until the loop's
// dispatcher is known).
class WakeWatcher final : public QObject
{
public:
    using QObject::QObject;

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        State &s = state();
        if (s.stale) {
            s.stale = !m_connected;
            TWLocalZone::refresh();
        }
        return QObject::eventFilter(watched, event);
    }

    void connectDispatcher()
    {
        if (m_connected)
            return;
        if (QAbstractEventDispatcher *dispatcher = QAbstractEventDispatcher::instance()) {
            connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, this,
                    [] { state().stale = true; });
            m_connected = true;
        }
    }

private:
    bool m_connected = false;
};

void watchEventLoop()
{
    // One watcher for each application made (a test may make another).
    static QPointer<WakeWatcher> watcher;
    QCoreApplication *application = QCoreApplication::instance();
    if (watcher || !application)
        return;
    watcher = new WakeWatcher(application);
    application->installEventFilter(watcher);
    watcher->connectDispatcher();
    // The dispatcher of a GUI application may come after its constructor's start routines.
    if (!QAbstractEventDispatcher::instance())
        QMetaObject::invokeMethod(
            watcher.data(), [] { watcher->connectDispatcher(); }, Qt::QueuedConnection);
}

} // namespace

namespace TWLocalZone
{

void install(const QByteArray &zoneFile)
{
    if (qEnvironmentVariableIsSet("TZ") || zoneFile.isEmpty())
        return;
    State &s = state();
    s.file = zoneFile;
    s.zone = ':' + zoneFile;
    // "/etc/localtime" read as "/etc/./localtime": the same file under a name the C library
    // has not read yet, which makes it look at the file again.
    const qsizetype slash = zoneFile.lastIndexOf('/');
    s.otherZone =
        ':' + (slash < 0 ? "./" + zoneFile : zoneFile.left(slash) + "/." + zoneFile.mid(slash));
    s.read = identify(s.file);
    qputenv("TZ", s.zone);
    tzset();
    if (QCoreApplication::instance())
        watchEventLoop();
    else
        qAddPreRoutine(watchEventLoop);
}

void refresh()
{
    State &s = state();
    if (s.zone.isEmpty() || qgetenv("TZ") != s.zone)
        return;
    const Identity now = identify(s.file);
    if (now == s.read)
        return;
    s.read = now;
    qputenv("TZ", s.otherZone);
    tzset();
    qputenv("TZ", s.zone);
    tzset();
}

} // namespace TWLocalZone
