#include "ledger/TWExchangeRates.h"

#include "app/TWBusinessController.h"
#include "app/TWDetailInterfaces.h"
#include "ledger/TWUnitsController.h"

#include "foundation/TWClock.h"
#include "foundation/TWLocalized.h"
#include "model/TWPreferences.h"
#include "store/TWBusiness.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QRegularExpression>

#include <cmath>

namespace
{

int g_transferTimeout = TWExchangeRates::kDefaultTransferTimeout;

// The leading number of the text, as the service writes it ("0.9", "1.2e-3");
// 0 when the text does not start with one.
double leadingNumber(const QString &text)
{
    static const QRegularExpression number(
        QStringLiteral("^\\s*[-+]?(\\d+\\.?\\d*|\\.\\d+)([eE][-+]?\\d+)?"));
    const QRegularExpressionMatch match = number.match(text);
    if (!match.hasMatch())
        return 0;
    bool ok = false;
    const double value = match.captured(0).trimmed().toDouble(&ok);
    return ok ? value : 0;
}

QString stripQuotes(QString text)
{
    while (text.startsWith(QLatin1Char('"')))
        text.remove(0, 1);
    while (text.endsWith(QLatin1Char('"')))
        text.chop(1);
    return text;
}

} // namespace

QHash<QString, double> twParseExchangeQuotes(const QByteArray &body, const QSet<QString> &wanted)
{
    QHash<QString, double> quotes;
    static const QRegularExpression newline(
        QStringLiteral("[\\r\\n\\x{2028}\\x{2029}\\x0b\\x0c\\x85]"));
    const QStringList lines = QString::fromUtf8(body).split(newline, Qt::SkipEmptyParts);
    for (const QString &line : lines) {
        const QStringList fields = line.split(QLatin1Char(','));
        if (fields.size() != 2)
            continue;
        const QString code = stripQuotes(fields.at(0).trimmed());
        if (code.size() != 3)
            continue;
        if (!wanted.isEmpty() && !wanted.contains(code))
            continue;
        const double rate = leadingNumber(fields.at(1));
        // Conversions divide by rates: only a finite rate above 0 may reach them.
        if (!std::isfinite(rate) || rate <= 0)
            continue;
        quotes.insert(code, rate);
    }
    return quotes;
}

QUrl twExchangeRatesURL(const QUrl &base, const TWUnitList &currencies)
{
    if (currencies.isEmpty() || !base.isValid() || base.host().isEmpty())
        return {};
    QString symbols;
    for (const TWUnitPtr &unit : currencies) {
        if (!symbols.isEmpty())
            symbols += QLatin1Char(',');
        symbols += QStringLiteral("USD%1=X").arg(unit->code());
    }
    QUrl url = base;
    QString path = base.path();
    while (path.endsWith(QLatin1Char('/')))
        path.chop(1);
    url.setPath(path + QStringLiteral("/d/quotes.csv"));
    // Codes are user text (custom currencies): every byte outside the
    // unreserved set is escaped, so a code can never add a parameter.
    const QByteArray query = "e=.csv&f=c4l1&s=" + QUrl::toPercentEncoding(symbols);
    url.setQuery(QString::fromLatin1(query), QUrl::StrictMode);
    return url;
}

TWExchangeRates *TWExchangeRates::forDocument(TWBusinessController *document)
{
    if (!document)
        return nullptr;
    if (auto *existing =
            document->findChild<TWExchangeRates *>(QString(), Qt::FindDirectChildrenOnly))
        return existing;
    return new TWExchangeRates(document);
}

TWExchangeRates::TWExchangeRates(TWBusinessController *document)
    : QObject(document), m_document(document)
{
}

TWExchangeRates::~TWExchangeRates()
{
    // The document is going: its store may already be gone, so the request
    // is dropped without its handler.
    m_completions.clear();
    if (QNetworkReply *reply = m_reply) {
        reply->disconnect(this);
        reply->abort();
    }
}

QUrl TWExchangeRates::serviceURL()
{
    const QUrl url(TWPreferences::preferences().exchangeRateServiceURL(), QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || url.host().isEmpty() ||
        (scheme != QLatin1String("http") && scheme != QLatin1String("https")))
        return {};
    return url;
}

int TWExchangeRates::transferTimeout()
{
    return g_transferTimeout;
}

void TWExchangeRates::setTransferTimeout(int milliseconds)
{
    g_transferTimeout = milliseconds > 0 ? milliseconds : kDefaultTransferTimeout;
}

bool TWExchangeRates::isDue(const TWBusiness &business)
{
    const TWBusinessInfoPtr &info = business.businessInfo();
    return info && info->currencyUpdateDue(business.lastCurrencyUpdateDate(), TWClock::now());
}

void TWExchangeRates::checkCurrencyExchangeRates()
{
    TWBusiness *business = m_document->business();
    // Without a configured service nothing is sent, and nothing is said: the
    // automatic check runs at every opening.
    if (!business || !isDue(*business) || serviceURL().isEmpty())
        return;
    QPointer<TWBusinessController> document = m_document;
    updateCurrencyExchangeRates([document](const TWErrorResult &error) {
        if (error || !document || !document->business())
            return;
        document->business()->setLastCurrencyUpdateDate(TWClock::now());
        if (auto *units =
                qobject_cast<TWUnitsController *>(document->detailController(TWDetailUnits)))
            units->unitsUpdated();
    });
}

TWError TWExchangeRates::error(const QString &key, qint64 code, const QString &detail) const
{
    QString text = TWLocalized(key);
    if (!detail.isEmpty())
        text += QLatin1Char(' ') + detail;
    return TWError(QLatin1String(kErrorDomain), code, text);
}

void TWExchangeRates::updateCurrencyExchangeRates(Completion completion)
{
    if (completion)
        m_completions.append(std::move(completion));
    if (m_reply)
        return; // the running download answers every caller
    TWBusiness *business = m_document->business();
    if (!business) {
        complete(error(QStringLiteral("exchangeRateNoQuotes"), -1));
        return;
    }
    const QUrl base = serviceURL();
    if (base.isEmpty()) {
        complete(error(QStringLiteral("exchangeRateServiceMissing"), -1));
        return;
    }
    const TWUnitList currencies = business->unitsOfType(TWUnitTypeCurrency);
    if (currencies.isEmpty()) {
        complete(std::nullopt);
        return;
    }
    m_wanted.clear();
    for (const TWUnitPtr &unit : currencies)
        m_wanted.insert(unit->code());
    const QUrl url = twExchangeRatesURL(base, currencies);
    if (!m_network)
        m_network = new QNetworkAccessManager(this);
    QNetworkRequest request(url);
    request.setTransferTimeout(g_transferTimeout);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::NoLessSafeRedirectPolicy);
    m_data.clear();
    m_tooLarge = false;
    QNetworkReply *reply = m_network->get(request);
    m_reply = reply;
    connect(reply, &QNetworkReply::readyRead, this, [this, reply] {
        if (m_tooLarge)
            return;
        if (m_data.size() + reply->bytesAvailable() > kMaximumSize) {
            m_tooLarge = true;
            reply->abort();
            return;
        }
        m_data += reply->readAll();
    });
    connect(reply, &QNetworkReply::finished, this, &TWExchangeRates::finished);
}

void TWExchangeRates::finished()
{
    QNetworkReply *reply = m_reply;
    m_reply = nullptr;
    if (!reply)
        return;
    reply->deleteLater();
    if (m_tooLarge) {
        complete(error(QStringLiteral("exchangeRateAnswerTooLarge"), -1));
        return;
    }
    if (reply->error() != QNetworkReply::NoError &&
        reply->error() < QNetworkReply::ContentAccessDenied) {
        // Transport failures (refused, unresolved, timed out) have their own texts.
        complete(TWError(QLatin1String(kErrorDomain), reply->error(), reply->errorString()));
        return;
    }
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (status < 200 || status > 299) {
        complete(
            error(QStringLiteral("exchangeRateServiceStatus"), status, QString::number(status)));
        return;
    }
    if (m_data.size() + reply->bytesAvailable() > kMaximumSize) {
        complete(error(QStringLiteral("exchangeRateAnswerTooLarge"), -1));
        return;
    }
    m_data += reply->readAll();
    const QHash<QString, double> quotes = twParseExchangeQuotes(m_data, m_wanted);
    m_data.clear();
    if (quotes.isEmpty()) {
        complete(error(QStringLiteral("exchangeRateNoQuotes"), -1));
        return;
    }
    complete(apply(quotes));
}

TWErrorResult TWExchangeRates::apply(const QHash<QString, double> &quotes)
{
    TWBusiness *business = m_document->business();
    if (!business)
        return error(QStringLiteral("exchangeRateNoQuotes"), -1);
    const QDateTime now = TWClock::now();
    bool changed = false;
    bool written = false;
    TWErrorResult refused;
    // In the business's order, so the notifications come in a steady order.
    for (const TWUnitPtr &unit : business->unitsOfType(TWUnitTypeCurrency)) {
        const auto quote = quotes.constFind(unit->code());
        if (quote == quotes.constEnd())
            continue;
        const double previousRate = unit->rate();
        const QDateTime previousDate = unit->lastUpdatedDate();
        unit->setRate(*quote);
        unit->setLastUpdatedDate(now);
        if (TWErrorResult failed = business->updateUnitRate(unit, true)) {
            // The listed unit keeps what the store still holds.
            unit->setRate(previousRate);
            unit->setLastUpdatedDate(previousDate);
            if (!refused)
                refused = failed;
            continue;
        }
        written = true;
        if (previousRate != *quote)
            changed = true;
    }
    if (changed)
        m_document->updateChangeCount(0);
    // Not one rate reached the store: a success here would stamp the
    // automatic check's date and hold off the next try.
    if (!written && refused)
        return refused;
    return std::nullopt;
}

void TWExchangeRates::complete(const TWErrorResult &result)
{
    const QList<Completion> completions = std::move(m_completions);
    m_completions.clear();
    for (const Completion &completion : completions)
        completion(result);
}
