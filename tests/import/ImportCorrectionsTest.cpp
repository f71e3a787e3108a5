// Files of the kind banks and spreadsheets write, each aimed at one way an
// import went wrong: European amounts, values that cannot be read, QIF files
// without an account block or with several accounts.

#include "ImportProcessTestSupport.h"
#include "ImportTestSupport.h"
#include "foundation/TWClock.h"
#include "foundation/TWLocalized.h"
#include "import/core/TWImportValues.h"
#include "import/core/TWParserCSV.h"
#include "import/core/TWParserOFX.h"
#include "import/core/TWParserQIF.h"
#include "model/TWBuiltInFields.h"
#include "model/TWFormatter.h"

#include <functional>

namespace
{

class ImportCorrectionsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        business = twImportBusiness();
        ASSERT_TRUE(business);
        checking = twImportAccount(*business, QStringLiteral("Checking"), TWAccountTypeBank);
        charges = twImportAccount(*business, QStringLiteral("Bank Charges"), TWAccountTypeExpense);
        food = twImportAccount(*business, QStringLiteral("Food"), TWAccountTypeExpense);
    }

    // Parses `file` with the parser and processes every row under the guessed
    // mapping; `adjust` may change the mapping first, as the user would.
    template <typename Parser>
    TWTransactionList import(const QByteArray &file, bool *ok, QString *warnings,
                             const TWAccountPtr &defaultAccount = nullptr,
                             const std::function<void(TWImportTransactionsSettings &)> &adjust = {})
    {
        auto parser = Parser::parser();
        parser->parse(file);
        settings =
            twImportSettings(*business, parser->columns().value_or(QStringList()),
                             defaultAccount ? defaultAccount : checking, parser->dateFormats());
        if (adjust)
            adjust(*settings);
        importer =
            TWImportTransactions::importTransactionsWithRows(parser->rows(), settings, *business);
        importer->setPlaceholderAccountNames(parser->placeholderAccountNames());
        *ok = importer->processTransactions(warnings);
        return importer->transactions();
    }

    TWFixedClock clock{2024, 6, 15, 12};
    std::unique_ptr<TWBusiness> business;
    TWAccountPtr checking, charges, food;
    TWImportTransactionsSettingsPtr settings;
    std::shared_ptr<TWImportTransactions> importer;
};

QList<qint64> totals(const TWTransactionList &transactions)
{
    QList<qint64> result;
    for (const TWTransactionPtr &transaction : transactions)
        result.append(transaction->total());
    return result;
}

} // namespace

TEST(ImportAmountText, EitherDecimalMarkIsReadWhateverTheLocale)
{
    const QLocale english(QLocale::English, QLocale::UnitedStates);
    const QLocale german(QLocale::German, QLocale::Germany);
    const auto read = [](const char *text, const QLocale &locale) {
        return TWImportValues::localAmountText(QString::fromUtf8(text), locale);
    };
    EXPECT_EQ(read("-850,00", english), QStringLiteral("-850.00"));
    EXPECT_EQ(read("2.500,00", english), QStringLiteral("2500.00"));
    EXPECT_EQ(read("-1,500.00", german), QStringLiteral("-1500,00"));
    EXPECT_EQ(read("3,250.00", german), QStringLiteral("3250,00"));
    EXPECT_EQ(read("1,500", english), QStringLiteral("1500"));
    EXPECT_EQ(read("1.234.567,8", english), QStringLiteral("1234567.8"));
    EXPECT_EQ(read("0,125", english), QStringLiteral("0.125"));
    EXPECT_EQ(read("$12", english), QStringLiteral("$12"));
    EXPECT_EQ(read("1.2.3", english), std::nullopt);
    EXPECT_EQ(read("1,23,45", english), std::nullopt);
}

TEST_F(ImportCorrectionsTest, EuropeanAmountsAreReadWithTheirDecimalComma)
{
    bool ok = false;
    QString warnings;
    const TWTransactionList made = import <TWParserCSV>("Date,Payee,Amount,Account 2\n"
                                                        "6/1/24,Rent,\"-850,00\",Food\n"
                                                        "6/2/24,Client,\"2.500,00\",Food\n"
                                                        "6/3/24,Client,\"1,500.00\",Food\n",
                                                        &ok, &warnings);
    EXPECT_TRUE(ok) << warnings;
    EXPECT_EQ(totals(made), (QList<qint64>{-85000, 250000, 150000}));
}

TEST_F(ImportCorrectionsTest, ValuesThatCannotBeReadAreNamedInTheWarnings)
{
    bool ok = true;
    QString warnings;
    const TWTransactionList made = import <TWParserCSV>("Date,Payee,Amount,Account 2\n"
                                                        "2/31/24,Shop,12.00,Food\n"
                                                        "6/2/24,Shop,abc,Food\n"
                                                        ",Shop,1.2.3,Food\n",
                                                        &ok, &warnings);
    // The rows are still made as before (today, 0.00) but the user is asked.
    ASSERT_EQ(made.size(), 3);
    EXPECT_FALSE(ok);
    EXPECT_EQ(made.at(0)->date().date(), QDate(2024, 6, 15));
    EXPECT_EQ(totals(made), (QList<qint64>{1200, 0, 0}));
    EXPECT_TRUE(warnings.startsWith(TWLocalized("valuesNotRead"))) << warnings;
    for (const char *expected :
         {"row 1, Date: 2/31/24", "row 2, Amount: abc", "row 3, Date: ", "row 3, Amount: 1.2.3"})
        EXPECT_TRUE(warnings.contains(QString::fromUtf8(expected))) << expected;
}

// Most banks' QIF downloads have no account block: the section's account is
// the one the user picks, never an account that happens to hold the word.
TEST_F(ImportCorrectionsTest, AQifWithoutAnAccountBlockBooksIntoTheChosenAccount)
{
    const QByteArray file = "!Type:Bank\n"
                            "D6/01/24\nT-12.00\nPMonthly fee\nLBank Charges\n^\n"
                            "D6/02/24\nT-30.00\nPGrocer\nLFood\n^\n";
    bool ok = false;
    QString warnings;
    const TWTransactionList made = import <TWParserQIF>(file, &ok, &warnings);
    EXPECT_TRUE(ok) << warnings;
    EXPECT_TRUE(importer->missingAccounts().isEmpty());
    ASSERT_EQ(made.size(), 2);
    for (const TWTransactionPtr &transaction : made)
        EXPECT_EQ(transaction->account1Identifier(), checking->identifier());
    EXPECT_EQ(made.at(0)->account2Identifier(), charges->identifier());
    EXPECT_EQ(made.at(1)->account2Identifier(), food->identifier());

    // An account named exactly after the type is the user's own.
    const TWAccountPtr bank = twImportAccount(*business, TWLocalized("bank"), TWAccountTypeBank);
    const TWTransactionList again = import <TWParserQIF>(file, &ok, &warnings);
    ASSERT_EQ(again.size(), 2);
    EXPECT_EQ(again.at(0)->account1Identifier(), bank->identifier());
}

// Two accounts in one file: each opening balance comes from the owner's
// equity, and a transfer written in both sections is one transaction.
TEST_F(ImportCorrectionsTest, AQifOfTwoAccountsGivesTheBalancesABookkeeperExpects)
{
    const TWAccountPtr savings =
        twImportAccount(*business, QStringLiteral("Savings"), TWAccountTypeBank);
    const TWAccountPtr equity =
        twImportAccount(*business, QStringLiteral("Owner's Equity"), TWAccountTypeEquity);
    const QByteArray file = "!Account\nNChecking\nTBank\n^\n!Type:Bank\n"
                            "D1/1/24\nT1,000.00\nPOpening Balance\nL[Checking]\n^\n"
                            "D1/5/24\nT-200.00\nPTransfer\nL[Savings]\n^\n"
                            "D1/6/24\nT-45.50\nPGrocer\nLFood\n^\n"
                            "!Account\nNSavings\nTBank\n^\n!Type:Bank\n"
                            "D1/1/24\nT500.00\nPOpening Balance\nL[Savings]\n^\n"
                            "D1/5/24\nT200.00\nPTransfer\nL[Checking]\n^\n";
    bool ok = false;
    QString warnings;
    const TWTransactionList made = import <TWParserQIF>(file, &ok, &warnings);
    EXPECT_TRUE(ok) << warnings;
    ASSERT_EQ(made.size(), 4);
    QHash<qint32, qint64> balances;
    for (const TWTransactionPtr &transaction : made) {
        EXPECT_NE(transaction->account1Identifier(), transaction->account2Identifier());
        balances[transaction->account1Identifier()] += transaction->totalBusiness();
        balances[transaction->account2Identifier()] -= transaction->totalBusiness();
    }
    EXPECT_EQ(balances.value(checking->identifier()), 100000 - 20000 - 4550);
    EXPECT_EQ(balances.value(savings->identifier()), 50000 + 20000);
    EXPECT_EQ(balances.value(equity->identifier()), -150000);
    EXPECT_EQ(balances.value(food->identifier()), 4550);
}

// A day-first country's QIF: "-45,90" is 45.90 and every date is read day
// first, in either locale; an amount that is no number is named.
TEST_F(ImportCorrectionsTest, AQifWithDecimalCommasAndDayFirstDates)
{
    const QByteArray file = "!Type:Bank\n"
                            "D03.04.2024\nT-45,90\nPBakery\nLFood\n^\n"
                            "D14.04.2024\nT1.234,56\nPRefund\nLFood\n^\n"
                            "D05.04.2024\nT12,34,5\nPShop\nLFood\n^\n";
    for (const char *name : {"en_US", "de_DE"}) {
        SCOPED_TRACE(name);
        TWLocaleGuard locale(QString::fromLatin1(name));
        bool ok = true;
        QString warnings;
        const TWTransactionList made = import <TWParserQIF>(file, &ok, &warnings);
        ASSERT_EQ(made.size(), 3);
        EXPECT_EQ(totals(made), (QList<qint64>{-4590, 123456, 0}));
        EXPECT_EQ(made[0]->date().date(), QDate(2024, 4, 3));
        EXPECT_EQ(made[1]->date().date(), QDate(2024, 4, 14));
        EXPECT_EQ(made[2]->date().date(), QDate(2024, 4, 5));
        EXPECT_FALSE(ok);
        EXPECT_TRUE(warnings.contains(QStringLiteral("row 3, Amount: 12,34,5"))) << warnings;
    }
}

// A QIF file hands its dates on as written: the date column's format starts
// as the order the whole file fits, and a format the user sets is the one
// used. Two-digit and apostrophe years ("1/ 2'25") read as before.
TEST_F(ImportCorrectionsTest, QifDatesReadByTheFilesOrderOrTheUsersFormat)
{
    const QByteArray european = "!Type:Bank\n"
                                "D02.01.2025\nT-10,00\nPBakery\nLFood\n^\n"
                                "D15.01.2025\nT-20,00\nPBakery\nLFood\n^\n"
                                "D03.02.2025\nT-30,00\nPBakery\nLFood\n^\n";
    const auto dates = [](const TWTransactionList &made) {
        QList<QDate> result;
        for (const TWTransactionPtr &transaction : made)
            result.append(transaction->date().date());
        return result;
    };
    const QList<QDate> written{{2025, 1, 2}, {2025, 1, 15}, {2025, 2, 3}};
    const auto setFormat = [](const char *pattern) {
        return [pattern](TWImportTransactionsSettings &s) {
            s.importFields().at(1)->setFormat(QString::fromLatin1(pattern));
        };
    };
    TWLocaleGuard locale(QStringLiteral("en_US"));
    bool ok = false;
    QString warnings;
    // Pre-filled with the file's order.
    EXPECT_EQ(dates(import <TWParserQIF>(european, &ok, &warnings)), written);
    EXPECT_EQ(settings->importFields().at(1)->format(), QStringLiteral("dd.MM.yyyy"));
    EXPECT_TRUE(ok) << warnings;
    // The user's own format, the same order or another.
    EXPECT_EQ(
        dates(import <TWParserQIF>(european, &ok, &warnings, nullptr, setFormat("dd.MM.yyyy"))),
        written);
    EXPECT_EQ(
        dates(import <TWParserQIF>(european, &ok, &warnings, nullptr, setFormat("MM/dd/yyyy"))),
        (QList<QDate>{{2025, 2, 1}, QDate(2024, 6, 15), {2025, 3, 2}}));
    EXPECT_TRUE(warnings.contains(QStringLiteral("row 2, Date: 15.01.2025"))) << warnings;
    // Quicken's own forms; the format of a file is not kept for the next one.
    EXPECT_EQ(dates(import <TWParserQIF>("!Type:Bank\nD1/ 2'25\nT1\n^\nD12/31/99\nT2\n^\n", &ok,
                                         &warnings)),
              (QList<QDate>{{2025, 1, 2}, {1999, 12, 31}}));
    EXPECT_EQ(settings->importFields().at(1)->format(), QStringLiteral("MM/dd/yy"));
    const TWImportTransactionFieldPtr date = settings->importFields().at(1);
    EXPECT_EQ(date->settings().value(TWImportKeyFormat).toString(),
              TWFormatter::formatter().shortDateFormat());
    // Chosen again as the target, the column keeps the file's order.
    settings->updateField(*date, TWImportFieldTypeField, date->field(), nullptr, *business);
    EXPECT_EQ(date->format(), QStringLiteral("MM/dd/yy"));
}

// A UK bank's weekly download: every day is 12 or less, so no date says
// which number is the month. The file is read in the user's own order where
// the user's dates also use "/", month first otherwise, and the date column's
// format shows the order taken.
TEST_F(ImportCorrectionsTest, QifDatesNoDateDecidesFollowTheUsersOrder)
{
    const QList<QDate> dayFirst{
        {2024, 1, 5}, {2024, 1, 7}, {2024, 1, 8}, {2024, 1, 9}, {2024, 1, 12}};
    const QList<QDate> monthFirst{
        {2024, 5, 1}, {2024, 7, 1}, {2024, 8, 1}, {2024, 9, 1}, {2024, 12, 1}};
    const struct {
        const char *locale;
        const char *format;
        const QList<QDate> &dates;
    } cases[] = {{"en_GB", "dd/MM/yyyy", dayFirst},
                 {"fr_FR", "dd/MM/yyyy", dayFirst},
                 {"en_US", "MM/dd/yyyy", monthFirst},
                 // The user's own dates say nothing of a "/" file's order.
                 {"de_DE", "MM/dd/yyyy", monthFirst}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.locale);
        TWLocaleGuard locale(QString::fromLatin1(c.locale));
        bool ok = false;
        QString warnings;
        const TWTransactionList made =
            import <TWParserQIF>(twImportData(QStringLiteral("uk-bank-week.qif")), &ok, &warnings);
        EXPECT_TRUE(ok) << warnings;
        QList<QDate> dates;
        for (const TWTransactionPtr &transaction : made)
            dates.append(transaction->date().date());
        EXPECT_EQ(dates, c.dates);
        EXPECT_EQ(settings->importFields().at(1)->format(), QString::fromLatin1(c.format));
        EXPECT_EQ(totals(made), (QList<qint64>{-435, -6218, 125000, -3500, -85000}));
    }
}

// An OFX file writes its dates in one form of its own: a date format the
// user stored for another file's "Date" column never reads them.
TEST_F(ImportCorrectionsTest, OfxDatesAreReadWhateverFormatAnotherFileLeft)
{
    TWLocaleGuard locale(QStringLiteral("en_US"));
    QVariantMap date;
    date.insert(TWImportKeyType, QVariant::fromValue<quint32>(TWImportFieldTypeField));
    date.insert(TWImportKeyField, QVariant::fromValue<qint32>(TWFieldIdentifierDate));
    date.insert(TWImportKeyFormat, QStringLiteral("dd.MM.yyyy"));
    business->setImportTransactionsSettings({{TWLocalized("date"), date}});
    const QByteArray ofx =
        "OFXHEADER:100\r\nDATA:OFXSGML\r\nVERSION:102\r\n\r\n<OFX>\r\n<BANKMSGSRSV1>\r\n"
        "<STMTTRNRS>\r\n<STMTRS>\r\n<CURDEF>USD\r\n<BANKTRANLIST>\r\n"
        "<STMTTRN>\r\n<TRNTYPE>DEBIT\r\n<DTPOSTED>20250102\r\n<TRNAMT>-10.00\r\n"
        "<NAME>Bakery\r\n</STMTTRN>\r\n"
        "<STMTTRN>\r\n<TRNTYPE>DEBIT\r\n<DTPOSTED>20250115\r\n<TRNAMT>-20.00\r\n"
        "<NAME>Bakery\r\n</STMTTRN>\r\n"
        "</BANKTRANLIST>\r\n</STMTRS>\r\n</STMTTRNRS>\r\n</BANKMSGSRSV1>\r\n</OFX>\r\n";
    bool ok = false;
    QString warnings;
    const TWTransactionList made = import <TWParserOFX>(ofx, &ok, &warnings);
    EXPECT_TRUE(ok) << warnings.toStdString();
    ASSERT_EQ(made.size(), 2);
    EXPECT_EQ(made.at(0)->date().date(), QDate(2025, 1, 2));
    EXPECT_EQ(made.at(1)->date().date(), QDate(2025, 1, 15));
    // The user's own format stays stored for the next file.
    EXPECT_EQ(settings->importFields().at(0)->settings().value(TWImportKeyFormat).toString(),
              QStringLiteral("dd.MM.yyyy"));
}

// Two split transactions of a day are duplicates only when their lines are
// the same (in any order): their own totals and accounts are all 0.
TEST_F(ImportCorrectionsTest, SplitTransactionsMatchByTheirLines)
{
    const auto split = [this](qint32 identifier, const QList<std::pair<qint32, qint64>> &lines) {
        auto transaction = std::make_shared<TWTransaction>();
        transaction->setIdentifier(identifier);
        transaction->setDate(twLocal(2024, 6, 1));
        transaction->setUnit(business->unitWithCode(QStringLiteral("USD")));
        TWSplitList splits;
        qint32 line = identifier * 10;
        for (const auto &[account, total] : lines)
            splits.append(TWSplit::splitWithIdentifier(line++, QString(), account, total, total,
                                                       total, 0, 0, transaction->unit()));
        transaction->setHasSplit(true);
        transaction->setSplits(splits);
        return transaction;
    };
    const qint32 c = checking->identifier(), f = food->identifier(), b = charges->identifier();
    ASSERT_OK(business->addTransaction(split(1, {{c, -3000}, {f, 2000}, {b, 1000}}), false, false,
                                       false, false));
    const QList<bool> matches = business->matchTransactions(
        {split(90, {{f, 2000}, {b, 1000}, {c, -3000}}), split(91, {{c, -5000}, {f, 5000}}),
         split(92, {{c, -3000}, {f, 1000}, {b, 2000}})});
    EXPECT_EQ(matches, (QList<bool>{true, false, false}));
}
