#include "crashreporting/network/KTBNetworkOperation.h"

#include <QDeadlineTimer>
#include <QLocale>
#include <QThreadPool>

const char *const KTBNetworkOperation::clientIdentifier = "io.kitbase.sdk.mac";
const char *const KTBNetworkOperation::clientDisplayVersion = "1.2.6";
const char *const KTBNetworkOperation::clientBuildVersion = "18";
const char *const KTBNetworkOperation::developerToken = "3e9a1c7b5d2f80e4a6c1b9d3f7e2a05c8b4d6e1f";

void KTBAsynchronousOperation::start()
{
    {
        QMutexLocker lock(&m_mutex);
        if (m_executing || m_finished)
            return;
        m_executing = true;
        m_keepAlive = shared_from_this();
    }
    std::shared_ptr<KTBAsynchronousOperation> self = shared_from_this();
    QThreadPool::globalInstance()->start([self] { self->main(); });
}

void KTBAsynchronousOperation::finish()
{
    std::shared_ptr<KTBAsynchronousOperation> keepAlive;
    {
        QMutexLocker lock(&m_mutex);
        m_executing = false;
        m_finished = true;
        keepAlive = std::move(m_keepAlive);
        m_finishedCondition.wakeAll();
    }
}

bool KTBAsynchronousOperation::isExecuting() const
{
    QMutexLocker lock(&m_mutex);
    return m_executing;
}

bool KTBAsynchronousOperation::isFinished() const
{
    QMutexLocker lock(&m_mutex);
    return m_finished;
}

void KTBAsynchronousOperation::cancel()
{
    QMutexLocker lock(&m_mutex);
    m_cancelled = true;
}

bool KTBAsynchronousOperation::isCancelled() const
{
    QMutexLocker lock(&m_mutex);
    return m_cancelled;
}

bool KTBAsynchronousOperation::waitUntilFinished(int timeoutMilliseconds)
{
    QMutexLocker lock(&m_mutex);
    QDeadlineTimer deadline(timeoutMilliseconds < 0 ? QDeadlineTimer(QDeadlineTimer::Forever)
                                                    : QDeadlineTimer(timeoutMilliseconds));
    while (!m_finished) {
        if (!m_finishedCondition.wait(&m_mutex, deadline))
            return m_finished;
    }
    return true;
}

MSHURLRequest KTBNetworkOperation::mutableRequestWithDefaultHTTPHeaderFieldsAndTimeoutForURL(
    const QUrl &url) const
{
    return mutableRequestWithDefaultHTTPHeadersForURL(url, 10.0);
}

MSHURLRequest KTBNetworkOperation::mutableRequestWithDefaultHTTPHeadersForURL(const QUrl &url,
                                                                              double timeout) const
{
    MSHURLRequest request(url, timeout);
    const QByteArray locale = localeIdentifier().toUtf8();
    request.setValue(userAgentString().toUtf8(), "User-Agent");
    request.setValue("utf-8", "Accept-Charset");
    request.setValue(locale, "Accept-Language");
    request.setValue(locale, "Content-Language");
    request.setValue(developerToken, "X-Mishap-Developer-Token");
    request.setValue(clientIdentifier, "X-Mishap-API-Client-Id");
    request.setValue(clientDisplayVersion, "X-Mishap-API-Client-Display-Version");
    request.setValue(clientBuildVersion, "X-Mishap-API-Client-Build-Version");
    request.setValue(m_APIKey.toUtf8(), "X-Mishap-API-Key");
    return request;
}

QString KTBNetworkOperation::userAgentString()
{
    return QStringLiteral("%1/%2 (%3)")
        .arg(QLatin1String(clientIdentifier), QLatin1String(clientDisplayVersion),
             QLatin1String(clientBuildVersion));
}

QString KTBNetworkOperation::localeIdentifier()
{
    return QLocale().name();
}
