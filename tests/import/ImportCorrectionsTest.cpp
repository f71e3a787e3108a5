// Files of the kind banks and spreadsheets write, each aimed at one way an
// import went wrong: European amounts, values that cannot be read, QIF files
// without an account block or with several accounts.

#include "ImportProcessTestSupport.h"
#include "TWClock.h"
#include "TWImportValues.h"
#include "TWLocalized.h"
#include "TWParserCSV.h"
#include "TWParserQIF.h"

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

    // Parses `file` with the parser and processes every row under the guessed mapping.
    template <typename Parser>
    TWTransactionList import(const QByteArray &file, bool *ok, QString *warnings,
                             const TWAccountPtr &defaultAccount = nullptr)
    {
        auto parser = Parser::parser();
        parser->parse(file);
        settings = twImportSettings(*business, parser->columns().value_or(QStringList()),
                                    defaultAccount ? defaultAccount : checking);
        importer =
            TWImportTransactions::importTransactionsWithRows(parser->rows(), settings, *business);
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
    const TWTransactionList made = import<TWParserCSV>(
        "Date,Payee,Amount,Account 2\n"
        "6/1/24,Rent,\"-850,00\",Food\n"
        "6/2/24,Client,\"2.500,00\",Food\n"
        "6/3/24,Client,\"1,500.00\",Food\n",
        &ok, &warnings);
    EXPECT_TRUE(ok) << warnings.toStdString();
    EXPECT_EQ(totals(made), (QList<qint64>{-85000, 250000, 150000}));
}

TEST_F(ImportCorrectionsTest, ValuesThatCannotBeReadAreNamedInTheWarnings)
{
    bool ok = true;
    QString warnings;
    const TWTransactionList made = import<TWParserCSV>("Date,Payee,Amount,Account 2\n"
                                                       "2/31/24,Shop,12.00,Food\n"
                                                       "6/2/24,Shop,abc,Food\n"
                                                       ",Shop,1.2.3,Food\n",
                                                       &ok, &warnings);
    // The rows are still made as before (today, 0.00) but the user is asked.
    ASSERT_EQ(made.size(), 3);
    EXPECT_FALSE(ok);
    EXPECT_EQ(made.at(0)->date().date(), QDate(2024, 6, 15));
    EXPECT_EQ(totals(made), (QList<qint64>{1200, 0, 0}));
    EXPECT_TRUE(warnings.startsWith(TWLocalized("valuesNotRead"))) << warnings.toStdString();
    for (const char *expected : {"row 1, Date: 2/31/24", "row 2, Amount: abc", "row 3, Date: ",
                                 "row 3, Amount: 1.2.3"})
        EXPECT_TRUE(warnings.contains(QString::fromUtf8(expected))) << expected;
}
