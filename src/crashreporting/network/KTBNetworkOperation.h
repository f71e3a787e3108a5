#pragma once
// Work that runs its main() on the global thread pool and ends only when it calls finish() (its
// network answer arrives later, on another thread); and the component's requests built with the
// headers every request to the service carries.

#include "crashreporting/network/MSHURLRequest.h"

#include <QMutex>
#include <QString>
#include <QWaitCondition>

#include <memory>

class KTBAsynchronousOperation : public std::enable_shared_from_this<KTBAsynchronousOperation>
{
public:
    virtual ~KTBAsynchronousOperation() = default;

    // Schedules main() on the global pool; the operation keeps itself alive until finish().
    void start();
    void finish();
    bool isExecuting() const;
    bool isFinished() const;
    bool isConcurrent() const { return true; }
    void cancel();
    bool isCancelled() const;
    // Waits until finish() (a negative timeout waits for ever); false on timeout.
    bool waitUntilFinished(int timeoutMilliseconds = -1);

protected:
    KTBAsynchronousOperation() = default;
    virtual void main() = 0;

private:
    mutable QMutex m_mutex;
    QWaitCondition m_finishedCondition;
    bool m_executing = false;
    bool m_finished = false;
    bool m_cancelled = false;
    std::shared_ptr<KTBAsynchronousOperation> m_keepAlive;
};

class KTBNetworkOperation : public KTBAsynchronousOperation
{
public:
    static const char *const clientIdentifier;
    static const char *const clientDisplayVersion;
    static const char *const clientBuildVersion;
    static const char *const developerToken;

    const QString &APIKey() const { return m_APIKey; }

    // A request reloading from the network with the common headers and a 10-second timeout.
    MSHURLRequest mutableRequestWithDefaultHTTPHeaderFieldsAndTimeoutForURL(const QUrl &url) const;
    MSHURLRequest mutableRequestWithDefaultHTTPHeadersForURL(const QUrl &url, double timeout) const;
    // "io.kitbase.sdk.mac/1.2.6 (18)".
    static QString userAgentString();
    static QString localeIdentifier();

protected:
    explicit KTBNetworkOperation(const QString &apiKey) : m_APIKey(apiKey) {}

private:
    QString m_APIKey;
};
