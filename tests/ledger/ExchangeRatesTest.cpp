// Downloading exchange rates: the request, what of the answer is kept, what a
// failure leaves alone, and when the automatic check asks at all. Every
// request goes to a loopback server of the test.

#include "ledger/TWExchangeRates.h"

#include "TWAppTestSupport.h"
#include "TWLoopbackHttpServer.h"
#include "TWStoreTestSupport.h"

#include "foundation/TWClock.h"

#include <QSignalSpy>
#include <QUrlQuery>

namespace
{

const QByteArray kQuotesPath = "/d/quotes.csv";

class ExchangeRatesTest : public TWAppTest
{
protected:
    void SetUp() override
    {
        TWAppTest::SetUp();
        document = newDocument();
        business = document->business();
        document->updateChangeCount(2);
        eur = business->unitWithCode(QStringLiteral("EUR"));
        gbp = business->unitWithCode(QStringLiteral("GBP"));
        ASSERT_TRUE(eur && gbp);
        eurRate = eur->rate();
        gbpRate = gbp->rate();
        service = std::make_unique<TWSettingGuard>(QStringLiteral("exchangeRateServiceURL"),
                                                   server.baseUrl().toString());
    }
    void TearDown() override
    {
        service.reset();
        document.reset();
        TWExchangeRates::setTransferTimeout(0);
        TWAppTest::TearDown();
    }

    // Runs a manual update to its end; the error it answered.
    TWErrorResult update()
    {
        bool done = false;
        TWErrorResult result;
        TWExchangeRates::forDocument(document.get())
            ->updateCurrencyExchangeRates([&](const TWErrorResult &error) {
                result = error;
                done = true;
            });
        EXPECT_TRUE(QTest::qWaitFor([&] { return done; }, 10000));
        return result;
    }

    void expectRatesUntouched()
    {
        EXPECT_EQ(eur->rate(), eurRate);
        EXPECT_EQ(gbp->rate(), gbpRate);
        EXPECT_FALSE(document->isDocumentEdited());
    }

    TWLoopbackHttpServer server;
    std::unique_ptr<TWSettingGuard> service;
    std::unique_ptr<TWBusinessController> document;
    TWBusiness *business = nullptr;
    TWUnitPtr eur, gbp;
    double eurRate = 0, gbpRate = 0;
};

TWUnitPtr currency(const char *code)
{
    return TWUnit::unitWithName(QString::fromLatin1(code), QString(), QString::fromLatin1(code),
                                QString(), 1.0, 2, QDateTime(), false, TWUnitTypeCurrency);
}

} // namespace

TEST(ExchangeRatesParse, KeepsTwoFieldLinesWithThreeLetterCodesAndUsableRates)
{
    const QByteArray body = "\"EUR\",0.9\r\n"
                            "\"GBP\",0.8\n"
                            "\"JPY\",150,extra\n" // three fields
                            "\"EURO\",1.1\n"      // four letters
                            "\"CHF\",0\n"         // zero
                            "\"CAD\",nan\n"       // not a number
                            "\"AUD\",inf\n"
                            "\"NZD\",-2\n" // negative
                            "\"SEK\",N/A\n"
                            "\"XXX\",3.5\n"   // not asked for
                            "\"EUR\",0.91\n"; // the last line of a code wins
    const QSet<QString> wanted{"EUR", "GBP", "JPY", "CHF", "CAD", "AUD", "NZD", "SEK"};
    const QHash<QString, double> quotes = twParseExchangeQuotes(body, wanted);
    EXPECT_EQ(quotes.size(), 2);
    EXPECT_DOUBLE_EQ(quotes.value("EUR"), 0.91);
    EXPECT_DOUBLE_EQ(quotes.value("GBP"), 0.8);
    EXPECT_TRUE(twParseExchangeQuotes("<html>Not found</html>").isEmpty());
}

TEST(ExchangeRatesParse, RequestNamesEveryCurrencyInOrderEscaped)
{
    const QUrl url = twExchangeRatesURL(QUrl("http://127.0.0.1:8080/base/"),
                                        {currency("USD"), currency("EUR"), currency("GBP")});
    EXPECT_EQ(url.path(), "/base/d/quotes.csv");
    const QUrlQuery query(url);
    EXPECT_EQ(query.queryItemValue("f"), "c4l1");
    EXPECT_EQ(query.queryItemValue("s", QUrl::FullyDecoded), "USDUSD=X,USDEUR=X,USDGBP=X");
    // A custom code cannot smuggle in a parameter of its own.
    const QUrl odd = twExchangeRatesURL(QUrl("http://127.0.0.1:8080"), {currency("A&B")});
    EXPECT_EQ(QUrlQuery(odd).queryItemValue("s", QUrl::FullyDecoded), "USDA&B=X");
    EXPECT_FALSE(QUrlQuery(odd).hasQueryItem("B=X"));
    EXPECT_TRUE(twExchangeRatesURL(QUrl("http://127.0.0.1"), {}).isEmpty());
}

TEST_F(ExchangeRatesTest, QuotedLinesSetTheRatesAndMarkTheDocumentOnce)
{
    TWFixedClock clock(2026, 3, 14, 9, 30);
    server.setReply(kQuotesPath, TWLoopbackHttpServer::Reply::ok("\"EUR\",0.9\n\"GBP\",0.8\n"));
    QSignalSpy edits(document.get(), &TWBusinessController::changeCountChanged);
    TWNotificationRecorder notes(business);

    EXPECT_OK(update());

    ASSERT_EQ(server.requestCount(), 1);
    const QUrlQuery query(QUrl(QString::fromLatin1(server.lastRequest().target)));
    const QStringList symbols = query.queryItemValue("s", QUrl::FullyDecoded).split(',');
    EXPECT_TRUE(symbols.contains("USDUSD=X"));
    EXPECT_TRUE(symbols.contains("USDEUR=X"));
    EXPECT_TRUE(symbols.contains("USDGBP=X"));
    EXPECT_EQ(symbols.size(), business->unitsOfType(TWUnitTypeCurrency).size());

    EXPECT_DOUBLE_EQ(eur->rate(), 0.9);
    EXPECT_DOUBLE_EQ(gbp->rate(), 0.8);
    EXPECT_EQ(eur->lastUpdatedDate(), clock.now());
    EXPECT_EQ(gbp->lastUpdatedDate(), clock.now());
    EXPECT_EQ(edits.count(), 1);
    EXPECT_TRUE(document->isDocumentEdited());
    EXPECT_EQ(notes.names(), QStringList({"unitUpdate", "unitUpdate"}));
    // Written to the store, not only to the listed units.
    EXPECT_EQ(twQueryText(*business, "SELECT rate FROM units WHERE code = 'EUR'").value_or(""),
              "0.9");
    // A manual refresh leaves the automatic check's date alone.
    EXPECT_FALSE(business->lastCurrencyUpdateDate().isValid());

    // The same rates again change nothing, so the document stays as saved.
    document->updateChangeCount(2);
    EXPECT_OK(update());
    EXPECT_FALSE(document->isDocumentEdited());
}

TEST_F(ExchangeRatesTest, FailedAnswersWriteNothing)
{
    // A status other than success, even with quote lines in its body.
    server.setReply(kQuotesPath, TWLoopbackHttpServer::Reply::withStatus(404, "\"EUR\",0.9\n"));
    TWErrorResult error = update();
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code(), 404);
    expectRatesUntouched();

    // The automatic check stamps nothing after a refused answer.
    business->businessInfo()->setCurrencyUpdateInterval(TWCurrencyUpdateDaily);
    TWExchangeRates *rates = TWExchangeRates::forDocument(document.get());
    rates->checkCurrencyExchangeRates();
    ASSERT_TRUE(rates->isRunning());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !rates->isRunning(); }, 10000));
    EXPECT_FALSE(business->lastCurrencyUpdateDate().isValid());

    // Success without a single usable quote.
    server.setReply(kQuotesPath, TWLoopbackHttpServer::Reply::ok(""));
    EXPECT_TRUE(update());
    server.setReply(kQuotesPath,
                    TWLoopbackHttpServer::Reply::ok("\"EUR\",0\n\"GBP\",nan\n\"JPY\",-2\n"));
    EXPECT_TRUE(update());
    expectRatesUntouched();

    // An answer past the size cap.
    server.setReply(kQuotesPath, TWLoopbackHttpServer::Reply::ok(
                                     QByteArray(TWExchangeRates::kMaximumSize + 10, 'x')));
    EXPECT_TRUE(update());
    expectRatesUntouched();

    // A service that never answers in time.
    TWExchangeRates::setTransferTimeout(200);
    TWLoopbackHttpServer::Reply slow = TWLoopbackHttpServer::Reply::ok("\"EUR\",0.5\n");
    slow.delayMs = 3000;
    server.setReply(kQuotesPath, slow);
    EXPECT_TRUE(update());
    expectRatesUntouched();
}

TEST_F(ExchangeRatesTest, RatesTheStoreRefusesAreAFailureAndStampNothing)
{
    TWFixedClock clock(2026, 3, 14, 12);
    business->businessInfo()->setCurrencyUpdateInterval(TWCurrencyUpdateDaily);
    server.setReply(kQuotesPath, TWLoopbackHttpServer::Reply::ok("\"EUR\",0.9\n\"GBP\",0.8\n"));
    twExec(*business, QStringLiteral("CREATE TEMP TRIGGER refuse BEFORE UPDATE ON units "
                                     "BEGIN SELECT RAISE(ABORT, 'refused'); END"));

    EXPECT_TRUE(update());
    expectRatesUntouched();

    // The automatic check must try again at the next opening.
    TWExchangeRates *rates = TWExchangeRates::forDocument(document.get());
    rates->checkCurrencyExchangeRates();
    ASSERT_TRUE(rates->isRunning());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !rates->isRunning(); }, 10000));
    EXPECT_FALSE(business->lastCurrencyUpdateDate().isValid());

    twExec(*business, QStringLiteral("DROP TRIGGER refuse"));
    rates->checkCurrencyExchangeRates();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !rates->isRunning(); }, 10000));
    EXPECT_DOUBLE_EQ(eur->rate(), 0.9);
    EXPECT_EQ(business->lastCurrencyUpdateDate(), clock.now());
}

TEST_F(ExchangeRatesTest, ClosedPortKeepsTheRatesAndTheNextOpeningTriesAgain)
{
    TWFixedClock clock(2026, 3, 14);
    business->businessInfo()->setCurrencyUpdateInterval(TWCurrencyUpdateWeekly);
    const quint16 port = server.port();
    server.close();
    service.reset();
    service = std::make_unique<TWSettingGuard>(QStringLiteral("exchangeRateServiceURL"),
                                               QStringLiteral("http://127.0.0.1:%1").arg(port));
    EXPECT_TRUE(update());
    expectRatesUntouched();

    // The automatic check does not stamp the date after a failure.
    TWExchangeRates::forDocument(document.get())->checkCurrencyExchangeRates();
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return !TWExchangeRates::forDocument(document.get())->isRunning(); }));
    EXPECT_FALSE(business->lastCurrencyUpdateDate().isValid());
}

TEST_F(ExchangeRatesTest, ClosingTheDocumentAbortsTheRequestAndItsHandler)
{
    TWLoopbackHttpServer::Reply slow = TWLoopbackHttpServer::Reply::ok("\"EUR\",0.5\n");
    slow.delayMs = 300;
    server.setReply(kQuotesPath, slow);
    bool called = false;
    TWExchangeRates::forDocument(document.get())
        ->updateCurrencyExchangeRates([&](const TWErrorResult &) { called = true; });
    ASSERT_TRUE(server.waitForRequests(1));
    document.reset();
    QTest::qWait(600);
    EXPECT_FALSE(called);
}
