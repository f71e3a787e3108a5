#pragma once
// One running instance per user and display: the first listens on a local
// socket in the user's own runtime folder; a later start on the same display
// hands its paths to it and ends.

#include <QObject>
#include <QProcessEnvironment>
#include <QStringList>

class QLocalServer;

class TWInstanceServer final : public QObject
{
    Q_OBJECT
public:
    explicit TWInstanceServer(QObject *parent = nullptr);
    ~TWInstanceServer() override;

    // The socket path of this user's instance on this display (or session):
    // in XDG_RUNTIME_DIR when it is the user's own, else in a folder of the
    // user's that only they can enter. Empty when no such folder can be had.
    static QString
    defaultName(const QProcessEnvironment &environment = QProcessEnvironment::systemEnvironment());

    // A folder owned by this user with mode 0700 (made or tightened if
    // needed); empty when `path` belongs to someone else or is not a folder.
    static QString privateFolder(const QString &path);

    // Hands `paths` to the instance listening on `name`; false when none
    // answers within `timeoutMs`.
    static bool sendPaths(const QString &name, const QStringList &paths, int timeoutMs = 2000);

    // Listens on `name` (taking over a name left behind by an instance that
    // is gone); false when it cannot.
    bool listen(const QString &name);

signals:
    void pathsReceived(const QStringList &paths);

private:
    QLocalServer *m_server = nullptr;
};
