#pragma once
// Keeps a document's currency rates current: decides when a download is due,
// asks the quote service configured in the preferences for the rate of every
// currency unit against the US dollar, and writes the good quotes through the
// store. Window-free; one per document, released (and its request aborted)
// with the document.

#include "foundation/TWError.h"
#include "model/TWUnit.h"

#include <QByteArray>
#include <QHash>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QUrl>

#include <functional>

class QNetworkAccessManager;
class QNetworkReply;
class TWBusiness;
class TWBusinessController;

// Code -> rate from the service's answer: one "code,rate" line each, the code
// possibly in double quotes. Only three-letter codes of `wanted` (all codes
// when `wanted` is empty) with a finite rate above 0 are kept; the last line
// of a code wins.
QHash<QString, double> twParseExchangeQuotes(const QByteArray &body,
                                             const QSet<QString> &wanted = {});

// The quote request for the currencies, in their order, against `base`; an
// empty URL without currencies or without a usable base.
QUrl twExchangeRatesURL(const QUrl &base, const TWUnitList &currencies);

class TWExchangeRates final : public QObject
{
    Q_OBJECT
public:
    using Completion = std::function<void(const TWErrorResult &error)>;

    static constexpr const char *kErrorDomain = "Tallyworth Exchange Rate Error";
    // Answers beyond this size are refused.
    static constexpr qint64 kMaximumSize = 1024 * 1024;
    static constexpr int kDefaultTransferTimeout = 30000;

    // The document's instance, made on first use as its child.
    static TWExchangeRates *forDocument(TWBusinessController *document);

    // The service's base from the preference "exchangeRateServiceURL" when it
    // is an http or https address; empty otherwise.
    static QUrl serviceURL();

    // Milliseconds a transfer may take (tests shorten it).
    static int transferTimeout();
    static void setTransferTimeout(int milliseconds);

    ~TWExchangeRates() override;

    // Whether the business's rates are due for a download now (TWClock).
    static bool isDue(const TWBusiness &business);

    // Starts a download when one is due and a service is configured; a
    // successful one stamps the business's last update date and refreshes
    // the units view.
    void checkCurrencyExchangeRates();

    // Downloads and applies the rates; the completion runs once, on the main
    // thread, after every changed rate has been written (nothing when the
    // document closed first). An error leaves every unit as it was.
    void updateCurrencyExchangeRates(Completion completion);

    bool isRunning() const { return !m_reply.isNull(); }

private:
    explicit TWExchangeRates(TWBusinessController *document);
    void finished();
    void complete(const TWErrorResult &error);
    TWError error(const QString &key, qint64 code, const QString &detail = {}) const;
    TWErrorResult apply(const QHash<QString, double> &quotes);

    TWBusinessController *m_document;
    QNetworkAccessManager *m_network = nullptr;
    QPointer<QNetworkReply> m_reply;
    QByteArray m_data;
    bool m_tooLarge = false;
    QSet<QString> m_wanted;
    QList<Completion> m_completions;
};
