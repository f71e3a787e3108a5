#include "foundation/TWNotificationCenter.h"

#include <algorithm>

TWNotificationCenter &TWNotificationCenter::defaultCenter()
{
    static TWNotificationCenter center;
    return center;
}

TWNotificationCenter::Token TWNotificationCenter::addObserver(const QString &name,
                                                              const void *sender, Handler handler)
{
    const Token token = m_nextToken++;
    m_observers.push_back({token, name, sender, std::move(handler)});
    return token;
}

void TWNotificationCenter::removeObserver(Token token)
{
    std::erase_if(m_observers, [token](const Observer &o) { return o.token == token; });
}

void TWNotificationCenter::postNotification(const QString &name, const void *sender,
                                            const QVariantMap &userInfo)
{
    const TWNotification notification{name, sender, userInfo};
    // Observers may add or remove observers while being called: walk a snapshot
    // of the tokens and look each one up again before calling it.
    std::vector<Token> tokens;
    tokens.reserve(m_observers.size());
    for (const Observer &o : m_observers) {
        if ((o.name.isEmpty() || o.name == name) && (!o.sender || o.sender == sender))
            tokens.push_back(o.token);
    }
    for (Token token : tokens) {
        auto it = std::find_if(m_observers.begin(), m_observers.end(),
                               [token](const Observer &o) { return o.token == token; });
        if (it == m_observers.end())
            continue;
        Handler handler = it->handler; // the observer may remove itself
        handler(notification);
    }
}
