#pragma once
// One running instance per user: the first listens on a local socket; a
// later start hands its paths to it and ends.

#include <QObject>
#include <QStringList>

class QLocalServer;

class TWInstanceServer final : public QObject
{
    Q_OBJECT
public:
    explicit TWInstanceServer(QObject *parent = nullptr);
    ~TWInstanceServer() override;

    // The socket name of this user's instance.
    static QString defaultName();

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
