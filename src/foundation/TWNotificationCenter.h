#pragma once
// Synchronous change notifications on the main thread: a name, the object that
// sent it and a user-info map. Observers are removed through the token that
// adding them returned.

#include <QString>
#include <QVariantMap>

#include <cstdint>
#include <functional>
#include <vector>

struct TWNotification {
    QString name;
    const void *sender = nullptr;
    QVariantMap userInfo;
};

class TWNotificationCenter
{
public:
    using Token = std::uint64_t;
    using Handler = std::function<void(const TWNotification &)>;

    static TWNotificationCenter &defaultCenter();

    // `sender` nullptr observes the name from every sender; an empty name
    // observes every notification of the sender.
    Token addObserver(const QString &name, const void *sender, Handler handler);
    void removeObserver(Token token);

    void postNotification(const QString &name, const void *sender,
                          const QVariantMap &userInfo = {});

private:
    struct Observer {
        Token token;
        QString name;
        const void *sender;
        Handler handler;
    };
    std::vector<Observer> m_observers;
    Token m_nextToken = 1;
};
