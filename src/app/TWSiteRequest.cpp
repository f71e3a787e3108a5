#include "app/TWSiteRequest.h"

#include "app/TWAppLinks.h"

#include "foundation/TWLocalized.h"
#include "model/TWPreferences.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QRegularExpression>

namespace
{

QUrl &configuredBase()
{
    static QUrl base;
    return base;
}

int g_transferTimeout = TWSite::kDefaultTransferTimeout;

constexpr qsizetype kMaximumVersionLength = 32;

} // namespace

QUrl TWSite::baseURL()
{
    if (!configuredBase().isEmpty())
        return configuredBase();
    const QUrl url(TWPreferences::preferences().siteURL(), QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || url.host().isEmpty() ||
        (scheme != QLatin1String("http") && scheme != QLatin1String("https")))
        return {};
    return url;
}

void TWSite::setBaseURL(const QUrl &url)
{
    configuredBase() = url;
}

QUrl TWSite::url(const QString &path)
{
    const QUrl base = baseURL();
    return base.isEmpty() ? QUrl() : base.resolved(QUrl(path));
}

QString TWAppLinks::supportAddress()
{
    return TWPreferences::preferences().supportAddress();
}

QString TWAppLinks::contactAddress()
{
    return TWPreferences::preferences().contactAddress();
}

QUrl TWAppLinks::website()
{
    return TWSite::baseURL();
}

int TWSite::transferTimeout()
{
    return g_transferTimeout;
}

void TWSite::setTransferTimeout(int milliseconds)
{
    g_transferTimeout = milliseconds > 0 ? milliseconds : kDefaultTransferTimeout;
}

QNetworkAccessManager &TWSite::network()
{
    static QNetworkAccessManager *shared = new QNetworkAccessManager();
    return *shared;
}

QString twUpdateVersion(const QByteArray &body)
{
    static const QRegularExpression version(QStringLiteral("^[0-9]+(\\.[0-9]+)*$"));
    const qsizetype end = body.indexOf('\n');
    const QString line = QString::fromUtf8(end < 0 ? body : body.left(end)).trimmed();
    if (line.size() > kMaximumVersionLength || !version.match(line).hasMatch())
        return QString();
    return line;
}

TWSiteRequest *TWSiteRequest::get(const QUrl &url, qint64 maximumSize, Completion completion)
{
    QNetworkRequest request(url);
    request.setTransferTimeout(TWSite::transferTimeout());
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute,
                         QNetworkRequest::AlwaysNetwork);
    return new TWSiteRequest(TWSite::network().get(request), maximumSize, std::move(completion));
}

TWSiteRequest::TWSiteRequest(QNetworkReply *reply, qint64 maximumSize, Completion completion)
    : m_reply(reply), m_maximumSize(maximumSize), m_completion(std::move(completion))
{
    reply->setParent(this);
    connect(reply, &QNetworkReply::metaDataChanged, this, [this] {
        bool known = false;
        const qint64 length =
            m_reply->header(QNetworkRequest::ContentLengthHeader).toLongLong(&known);
        if (known && length > m_maximumSize)
            fail(TWError(kErrorDomain, QNetworkReply::UnknownContentError,
                         TWLocalized("replyTooLarge")));
    });
    connect(reply, &QNetworkReply::readyRead, this, [this] { readAvailable(); });
    connect(reply, &QNetworkReply::finished, this, [this] { finish(); });
}

void TWSiteRequest::cancel()
{
    if (m_done)
        return;
    m_done = true;
    m_completion = {};
    if (m_reply)
        m_reply->abort();
    deleteLater();
}

void TWSiteRequest::readAvailable()
{
    if (m_done || !m_reply)
        return;
    const qint64 room = m_maximumSize - m_data.size();
    if (m_reply->bytesAvailable() > room) {
        fail(TWError(kErrorDomain, QNetworkReply::UnknownContentError,
                     TWLocalized("replyTooLarge")));
        return;
    }
    m_data += m_reply->readAll();
}

void TWSiteRequest::finish()
{
    if (m_done || !m_reply)
        return;
    readAvailable();
    if (m_done)
        return;
    const int status = m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (status >= 400) {
        QString reason = m_reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toString();
        if (reason.isEmpty())
            reason = m_reply->errorString();
        fail(TWError(kErrorDomain, status, reason));
        return;
    }
    if (m_reply->error() != QNetworkReply::NoError) {
        const bool stalled = m_reply->error() == QNetworkReply::OperationCanceledError;
        fail(TWError(kErrorDomain, m_reply->error(),
                     stalled ? TWLocalized("requestTimedOut") : m_reply->errorString()));
        return;
    }
    m_done = true;
    const Completion completion = std::move(m_completion);
    deleteLater();
    if (completion)
        completion(m_data, std::nullopt);
}

void TWSiteRequest::fail(const TWError &error)
{
    if (m_done)
        return;
    m_done = true;
    const Completion completion = std::move(m_completion);
    if (m_reply) {
        m_reply->disconnect(this);
        m_reply->abort();
    }
    deleteLater();
    if (completion)
        completion(QByteArray(), error);
}
