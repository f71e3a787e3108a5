#include "crashreporting/network/KTBNetworkResponseHandler.h"

#include "crashreporting/common/MSHLog.h"
#include "foundation/TWClock.h"

#include <QDateTime>
#include <QLocale>
#include <QTimeZone>

#include <cmath>

const QString KTBNetworkResponseHandler::errorDomain = QStringLiteral("KTBNetworkError");

namespace
{

// The three forms of RFC 9110: IMF-fixdate, the obsolete RFC 850 form and asctime().
std::optional<QDateTime> parseHTTPDate(const QString &text)
{
    // The day name is left out: Qt would check it against the date, and the two-digit years of
    // the obsolete form are read as 19xx first.
    QString simplified = text.simplified();
    const qsizetype firstBlank = simplified.indexOf(QLatin1Char(' '));
    if (firstBlank <= 0)
        return std::nullopt;
    simplified = simplified.mid(firstBlank + 1);
    const QLocale c = QLocale::c();
    static const char *const formats[] = {
        "dd MMM yyyy HH:mm:ss 'GMT'",
        "dd-MMM-yy HH:mm:ss 'GMT'",
        "MMM d HH:mm:ss yyyy",
    };
    for (const char *format : formats) {
        QDateTime moment = c.toDateTime(simplified, QLatin1String(format));
        if (!moment.isValid())
            continue;
        moment = QDateTime(moment.date(), moment.time(), QTimeZone::utc());
        if (moment.date().year() < 1970)
            moment = moment.addYears(100);
        return moment;
    }
    return std::nullopt;
}

QString trimmedUnquoted(QStringView value)
{
    value = value.trimmed();
    if (value.size() >= 2 && value.front() == QLatin1Char('"') &&
        value.back() == QLatin1Char('"')) {
        QString text;
        for (qsizetype i = 1; i + 1 < value.size(); ++i) {
            if (value[i] == QLatin1Char('\\') && i + 2 < value.size())
                ++i;
            text += value[i];
        }
        return text;
    }
    return value.toString();
}

// Media type (lower case) and the value of its "charset" parameter (empty when none).
std::pair<QString, QString> parseContentType(const QString &header)
{
    QString mediaType;
    QString charset;
    qsizetype start = 0;
    bool first = true;
    bool inQuotes = false;
    for (qsizetype i = 0; i <= header.size(); ++i) {
        const bool end = i == header.size();
        if (!end && header[i] == QLatin1Char('"') && (i == 0 || header[i - 1] != QLatin1Char('\\')))
            inQuotes = !inQuotes;
        if (!end && (inQuotes || header[i] != QLatin1Char(';')))
            continue;
        const QStringView piece = QStringView(header).mid(start, i - start).trimmed();
        start = i + 1;
        if (first) {
            mediaType = piece.toString().toLower();
            first = false;
            continue;
        }
        const qsizetype equals = piece.indexOf(QLatin1Char('='));
        if (equals <= 0)
            continue;
        if (piece.left(equals).trimmed().compare(QLatin1String("charset"), Qt::CaseInsensitive) ==
            0)
            charset = trimmedUnquoted(piece.mid(equals + 1));
    }
    return {mediaType, charset};
}

} // namespace

QByteArray KTBNetworkResponseHandler::headerForResponse(const MSHHTTPURLResponse &response,
                                                        const QByteArray &key)
{
    return response.valueForHTTPHeaderField(key);
}

double KTBNetworkResponseHandler::retryValueForResponse(const MSHHTTPURLResponse &response)
{
    if (!response.hasHTTPHeaderField("Retry-After"))
        return defaultRetryValue;
    const QString value = QString::fromLatin1(headerForResponse(response, "Retry-After")).trimmed();
    bool ok = false;
    double seconds = value.toDouble(&ok);
    if (!ok) {
        const std::optional<QDateTime> date = parseHTTPDate(value);
        if (!date)
            return defaultRetryValue;
        seconds = double(TWClock::now().msecsTo(*date)) / 1000.0;
        // A date already past asks for no wait at all.
        seconds = std::max(seconds, 0.0);
    }
    if (!std::isfinite(seconds) || seconds < 0)
        return defaultRetryValue;
    return std::min(seconds, maximumRetryValue);
}

QByteArray KTBNetworkResponseHandler::requestIdForResponse(const MSHHTTPURLResponse &response)
{
    return headerForResponse(response, "X-Request-Id");
}

KTBNetworkResponseHandler::ResponseType KTBNetworkResponseHandler::responseTypeForStatus(int status)
{
    // Only a 2xx confirms that the service took the request. No request is conditional, so a
    // 304 is no answer either: like every other 3xx (redirects are never followed) it fails.
    switch (status) {
    case 200:
    case 201:
    case 202:
    case 204:
        return Success;
    case 400:
    case 401:
    case 403:
    case 404:
    case 406:
    case 410:
    case 411:
    case 413:
    case 419:
    case 422:
    case 431:
        return ClientFailure;
    case 420:
    case 429:
        return Throttled;
    case 408:
        return ServerFailure;
    default:
        break;
    }
    if (status >= 500 && status <= 599)
        return ServerFailure;
    return PermanentFailure;
}

void KTBNetworkResponseHandler::clientResponseType(
    const MSHHTTPURLResponse *response, const std::function<void(ResponseType, int)> &handler)
{
    const int status = response ? response->statusCode() : 0;
    if (status == 0) {
        handler(PermanentFailure, 0);
        return;
    }
    handler(responseTypeForStatus(status), status);
}

MSHErrorResult KTBNetworkResponseHandler::errorForResponse(const MSHHTTPURLResponse &response,
                                                           ResponseType type, int status)
{
    int code = 0;
    switch (type) {
    case Success:
        return std::nullopt;
    case PermanentFailure:
        code = KTBNetworkErrorCode::PermanentFailure;
        break;
    case ClientFailure:
        code = KTBNetworkErrorCode::ClientFailure;
        break;
    case ServerFailure:
    case Throttled:
        code = KTBNetworkErrorCode::Retryable;
        break;
    }
    MSHError error;
    error.domain = errorDomain;
    error.code = code;
    error.userInfo = {
        {QStringLiteral("type"), int(type)},
        {QStringLiteral("status_code"), status},
        {QStringLiteral("request_id"), QString::fromLatin1(requestIdForResponse(response))},
        {QStringLiteral("content_type"),
         QString::fromLatin1(headerForResponse(response, "Content-Type"))},
    };
    error.description = QStringLiteral("HTTP status %1").arg(status);
    return error;
}

bool KTBNetworkResponseHandler::contentTypeForResponse(const MSHHTTPURLResponse &response,
                                                       const MSHURLRequest &request)
{
    if (!request.hasHTTPHeaderField("Accept"))
        return true;
    if (!response.hasHTTPHeaderField("Content-Type"))
        return false;
    const auto [mediaType, charset] =
        parseContentType(QString::fromLatin1(headerForResponse(response, "Content-Type")));
    const QString accept = QString::fromLatin1(request.valueForHTTPHeaderField("Accept")).trimmed();
    if (mediaType.compare(accept, Qt::CaseInsensitive) != 0)
        return false;
    if (request.hasHTTPHeaderField("Accept-Charset") && !charset.isEmpty()) {
        const QString wanted =
            QString::fromLatin1(request.valueForHTTPHeaderField("Accept-Charset")).trimmed();
        return charset.compare(wanted, Qt::CaseInsensitive) == 0;
    }
    return true;
}

void KTBNetworkResponseHandler::handleCompletedResponse(
    const MSHHTTPURLResponse *response, const MSHURLRequest &originalRequest,
    const MSHErrorResult &error, const std::function<void(bool, const MSHErrorResult &)> &block)
{
    if (error) {
        block(false, error);
        return;
    }
    const MSHHTTPURLResponse empty;
    const MSHHTTPURLResponse &answer = response ? *response : empty;
    clientResponseType(response, [&](ResponseType type, int status) {
        switch (type) {
        case Success:
            if (contentTypeForResponse(answer, originalRequest))
                block(false, std::nullopt);
            else
                block(false, errorForResponse(answer, PermanentFailure, status));
            return;
        case PermanentFailure:
        case ClientFailure:
            block(false, errorForResponse(answer, type, status));
            return;
        case ServerFailure:
        case Throttled:
            block(true, errorForResponse(answer, type, status));
            return;
        }
    });
}

bool KTBNetworkResponseHandler::isServiceURL(const QUrl &url)
{
    if (!url.isValid() || url.isRelative() || url.host().isEmpty())
        return false;
    const QString scheme = url.scheme().toLower();
    return scheme == QLatin1String("http") || scheme == QLatin1String("https");
}

MSHError KTBNetworkResponseHandler::noServiceURLError(const QUrl &url, const char *logPrefix)
{
    MSHError error;
    error.domain = errorDomain;
    error.code = KTBNetworkErrorCode::NoServiceURL;
    error.description =
        url.isEmpty() ? QStringLiteral("No service address is configured")
                      : QStringLiteral("Not an absolute http or https address: ") + url.toString();
    MSHLog(logPrefix, QStringLiteral("Request not sent: %1").arg(error.toString()));
    return error;
}
