#include "ImportProcessTestSupport.h"
#include "foundation/TWClock.h"
#include "foundation/TWLocalized.h"
#include "import/core/TWImportDuplicates.h"
#include "import/core/TWImportValues.h"
#include "import/core/TWParserCSV.h"
#include "import/core/TWParserQIF.h"
#include "model/TWUnitConversion.h"

#include <QDir>
#include <QFile>

#include <random>

namespace
{

class ImportTransactionsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        business = twImportBusiness();
        ASSERT_TRUE(business);
        checking = twImportAccount(*business, QStringLiteral("Checking"), TWAccountTypeBank);
        delivery =
            twImportAccount(*business, QStringLiteral("Food Delivery"), TWAccountTypeExpense);
        food = twImportAccount(*business, QStringLiteral("Food"), TWAccountTypeExpense);
        salary = twImportAccount(*business, QStringLiteral("Salary"), TWAccountTypeIncome);
        london = twImportAccount(*business, QStringLiteral("London"), TWAccountTypeBank,
                                 QStringLiteral("GBP"));
    }

    // Processes rows under the guessed mapping of `columns` (adjusted by `map`).
    TWTransactionList process(const QStringList &columns, const QList<QStringList> &rows,
                              bool *result = nullptr, QString *warnings = nullptr,
                              const std::function<void(TWImportTransactionsSettings &)> &map = {})
    {
        settings = twImportSettings(*business, columns, checking);
        if (map)
            map(*settings);
        importer = TWImportTransactions::importTransactionsWithRows(rows, settings, *business);
        QString text;
        const bool ok = importer->processTransactions(&text);
        if (result)
            *result = ok;
        if (warnings)
            *warnings = text;
        return importer->transactions();
    }

    TWFixedClock clock{2024, 6, 15, 12};
    std::unique_ptr<TWBusiness> business;
    TWAccountPtr checking, delivery, food, salary, london;
    TWImportTransactionsSettingsPtr settings;
    std::shared_ptr<TWImportTransactions> importer;
};

TEST_F(ImportTransactionsTest, MissingAccountsAndTheWarningsText)
{
    const TWFieldPtr labels = twImportField(*business, QStringLiteral("Labels"), TWFieldTypeTags);
    const QStringList columns{"Payee", "Account 2", "Labels"};
    const QList<QStringList> rows =
        twRows({{"", "Travel", ""}, {"", "Travel", ""}, {"Shop", "Food", "red"}, {"", "Rent", ""}});
    bool ok = true;
    QString warnings;
    const TWTransactionList made = process(columns, rows, &ok, &warnings);
    // A row whose only value is an unknown account yields nothing.
    ASSERT_EQ(made.size(), 1);
    EXPECT_FALSE(ok);
    EXPECT_EQ(warnings, TWLocalized("accountsNotFound") + QStringLiteral("\r\tTravel, Rent\r") +
                            TWLocalized("tagsNotFound") + QStringLiteral("\r\tLabels\r"));
    EXPECT_EQ(importer->missingAccounts(), QStringList({"Travel", "Rent"}));
}

TEST_F(ImportTransactionsTest, QIFSplitRowsEndAtTheNextMainRow)
{
    auto parser = TWParserQIF::parser();
    parser->parse(
        "!Type:Bank\nD3/14/24\nPCorner shop\nT-45.00\nLFood\nSFood\n$-30.00\n"
        "SFood Delivery\nEDinner\n$-15.00\n^\nD3/15/24\nPEmployer\nT100.00\nLSalary\nCX\n^\n");
    QString warnings;
    const TWTransactionList made = process(*parser->columns(), parser->rows(), nullptr, &warnings);
    // No account has the section's name: reported, the rows still made.
    EXPECT_EQ(warnings,
              TWLocalized("accountsNotFound") + QStringLiteral("\r\tSplit - Bank, Bank\r"));
    ASSERT_EQ(made.size(), 2);

    const TWTransactionPtr split = made[0];
    EXPECT_TRUE(split->hasSplit());
    EXPECT_EQ(split->payee(), QStringLiteral("Corner shop"));
    EXPECT_FALSE(split->cleared());
    ASSERT_EQ(split->splits().size(), 3);
    // The bank side falls to the default account.
    EXPECT_EQ(split->splits()[0]->accountIdentifier(), checking->identifier());
    EXPECT_EQ(split->splits()[0]->total(), -4500);
    EXPECT_EQ(split->splits()[1]->accountIdentifier(), food->identifier());
    EXPECT_EQ(split->splits()[1]->total(), 3000);
    EXPECT_EQ(split->splits()[2]->accountIdentifier(), delivery->identifier());
    EXPECT_EQ(split->splits()[2]->total(), 1500);
    EXPECT_EQ(split->splits()[2]->description(), QStringLiteral("Dinner"));
    qint64 sum = 0;
    for (const TWSplitPtr &line : split->splits())
        sum += line->totalBusiness();
    EXPECT_EQ(sum, 0);
    EXPECT_EQ(split->activeAccountIdentifier(), checking->identifier());

    EXPECT_FALSE(made[1]->hasSplit());
    EXPECT_TRUE(made[1]->cleared());
    EXPECT_EQ(made[1]->total(), 10000);
    EXPECT_EQ(made[1]->account2Identifier(), salary->identifier());
}

TEST_F(ImportTransactionsTest, AmountTakesItsOwnUnitNotAccountOnes)
{
    // Account 1 in pounds is named before a dollar amount column: the
    // transaction is in dollars, for the amount given, not 0.
    const TWTransactionList made =
        process({"Account 1", "Account 2", "Amount"}, twRows({{"London", "Food", "20.00"}}));
    ASSERT_EQ(made.size(), 1);
    EXPECT_EQ(made[0]->unit()->code(), QStringLiteral("USD"));
    EXPECT_EQ(made[0]->total(), 2000);
    EXPECT_EQ(made[0]->totalBusiness(), 2000);
    EXPECT_NE(made[0]->totalAccount1(), 0);
    EXPECT_NE(made[0]->totalAccount1(), 2000); // converted into pounds

    // A unit column says what the row's amount is written in.
    const TWTransactionList euros = process(
        {"Account 2", "Amount", "Unit"}, twRows({{"Food", "26.33", "EUR"}, {"Food", "1", "JPY"}}));
    ASSERT_EQ(euros.size(), 2);
    EXPECT_EQ(euros[0]->unit()->code(), QStringLiteral("EUR"));
    EXPECT_EQ(euros[0]->total(), 2633);
    EXPECT_NE(euros[0]->totalAccount1(), 2633); // converted into the bank's dollars
    EXPECT_NE(euros[0]->totalAccount1(), 0);
    EXPECT_EQ(euros[1]->total(), 1);

    // Amount columns in two units give each account its own amount.
    const TWTransactionList both =
        process({"Account 1", "Account 2", "Amount (GBP)", "Amount (USD)"},
                twRows({{"London", "Food", "10.00", "13.00"}}));
    ASSERT_EQ(both.size(), 1);
    EXPECT_EQ(both[0]->unit()->code(), QStringLiteral("GBP"));
    EXPECT_EQ(both[0]->total(), 1000);
    EXPECT_EQ(both[0]->totalAccount1(), 1000);
    EXPECT_EQ(both[0]->totalAccount2(), 1300);
    EXPECT_EQ(both[0]->totalBusiness(), 1300);
}

// Digits past a unit's places are never rounded away: such an amount is
// refused, and the warning names its row; trailing zeros are no such digits.
TEST_F(ImportTransactionsTest, AmountsBeyondTheUnitsPlacesAreRefusedByRow)
{
    bool ok = true;
    QString warnings;
    const TWTransactionList made = process({"Account 2", "Amount", "Unit"},
                                           twRows({{"Food", "2.5", "JPY"},
                                                   {"Food", "-2.5", "JPY"},
                                                   {"Food", "0.125", "EUR"},
                                                   {"Food", "-0.120", "EUR"},
                                                   {"Food", "3.0", "JPY"}}),
                                           &ok, &warnings);
    ASSERT_EQ(made.size(), 5);
    EXPECT_EQ(made[0]->total(), 0);
    EXPECT_EQ(made[1]->total(), 0);
    EXPECT_EQ(made[2]->total(), 0);
    EXPECT_EQ(made[3]->total(), -12);
    EXPECT_EQ(made[4]->total(), 3);
    EXPECT_FALSE(ok);
    EXPECT_TRUE(warnings.startsWith(TWLocalized("amountsTooPrecise"))) << warnings.toStdString();
    for (const char *value : {"2.5", "-2.5", "0.125"})
        EXPECT_TRUE(warnings.contains(QString::fromLatin1(value))) << value;
    EXPECT_FALSE(warnings.contains(QStringLiteral("-0.120")));
}

TEST_F(ImportTransactionsTest, AccountColumnsMakeSplitsBalancedInEachAccountsUnit)
{
    const TWAccountPtr fees =
        twImportAccount(*business, QStringLiteral("Fees"), TWAccountTypeExpense);
    const TWAccountPtr gone =
        twImportAccount(*business, QStringLiteral("Gone"), TWAccountTypeExpense);
    bool ok = true;
    QString warnings;
    const TWTransactionList made = process(
        {"Account 1", "Account 2", "Amount", "Fee", "Old", "Nil"},
        twRows({{"Checking", "London", "100.00", "2.00", "", "0"},
                {"Checking", "Food", "5.00", "", "1.00", ""}}),
        &ok, &warnings, [&](TWImportTransactionsSettings &s) {
            s.updateField(*s.importFields()[3], TWImportFieldTypeAccount, nullptr, fees, *business);
            s.updateField(*s.importFields()[4], TWImportFieldTypeAccount, nullptr, gone, *business);
            s.importFields()[4]->setAccount(nullptr); // its account has been deleted
            s.updateField(*s.importFields()[5], TWImportFieldTypeAccount, nullptr, fees, *business);
        });
    ASSERT_EQ(made.size(), 2);
    const TWTransactionPtr t = made[0];
    ASSERT_TRUE(t->hasSplit());
    // The remainder for account 1, account 2's side, then the column's line;
    // an amount of 0 adds no line.
    ASSERT_EQ(t->splits().size(), 3);
    const TWSplitPtr first = t->splits()[0];
    const TWSplitPtr second = t->splits()[1];
    const TWSplitPtr fee = t->splits()[2];
    EXPECT_EQ(first->accountIdentifier(), checking->identifier());
    EXPECT_EQ(first->totalBusiness(), 10200);
    EXPECT_EQ(second->accountIdentifier(), london->identifier());
    EXPECT_EQ(second->total(), -10000);
    // Account 2's line in account 2's unit (pounds), not account 1's dollars.
    EXPECT_EQ(second->totalAccount(), -t->totalAccount2());
    EXPECT_NE(second->totalAccount(), -t->totalAccount1());
    EXPECT_EQ(fee->accountIdentifier(), fees->identifier());
    EXPECT_EQ(fee->total(), -200);
    EXPECT_EQ(first->totalBusiness() + second->totalBusiness() + fee->totalBusiness(), 0);
    // A column whose account is gone is left out and named.
    EXPECT_FALSE(made[1]->hasSplit());
    EXPECT_FALSE(ok);
    EXPECT_EQ(warnings, TWLocalized("accountsNotFound") + QStringLiteral("\r\tOld\r"));
}

TEST_F(ImportTransactionsTest, AttachmentsOnlyFromInsideTheChosenFolder)
{
    TWTestTempDir root;
    QDir(root.path()).mkdir(QStringLiteral("files"));
    const QString folder = root.filePath(QStringLiteral("files"));
    const auto write = [](const QString &path) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("data");
    };
    write(folder + QStringLiteral("/receipt one.txt"));
    write(root.filePath(QStringLiteral("secret.key")));
    ASSERT_TRUE(QFile::link(root.filePath(QStringLiteral("secret.key")),
                            folder + QStringLiteral("/link.key")));

    const auto run = [&](const QString &value, const QUrl &folderURL, QString *warnings) {
        return process(
            {"Payee", "Attachments"}, {{QStringLiteral("p"), value}}, nullptr, warnings,
            [&](TWImportTransactionsSettings &s) { s.importFields()[1]->setFolderURL(folderURL); });
    };
    QString warnings;
    TWTransactionList made =
        run(QStringLiteral("receipt one.txt"), QUrl::fromLocalFile(folder), &warnings);
    ASSERT_EQ(made.size(), 1);
    EXPECT_TRUE(warnings.isNull());
    ASSERT_TRUE(made[0]->attachments());
    ASSERT_EQ(made[0]->attachments()->size(), 1);
    const TWAttachmentPtr attachment = made[0]->attachments()->first();
    EXPECT_EQ(attachment->fileName(), QStringLiteral("receipt one.txt"));
    EXPECT_NE(attachment->filePath(), folder + QStringLiteral("/receipt one.txt")); // a copy
    EXPECT_TRUE(QFile::exists(attachment->filePath()));

    // Absolute paths, "..", links out of the folder, URLs: none is attached.
    for (const QString &value :
         {root.filePath(QStringLiteral("secret.key")), QStringLiteral("../secret.key"),
          QStringLiteral("link.key"),
          QUrl::fromLocalFile(root.filePath(QStringLiteral("secret.key"))).toString()}) {
        made = run(value, QUrl::fromLocalFile(folder), &warnings);
        ASSERT_EQ(made.size(), 1) << value;
        EXPECT_FALSE(made[0]->attachments() && !made[0]->attachments()->isEmpty()) << value;
        EXPECT_EQ(warnings,
                  TWLocalized("attachmentsNotFound") + QStringLiteral("\r\tAttachments\r"));
    }
    // Without a folder nothing is.
    made = run(QStringLiteral("receipt one.txt"), QUrl(), &warnings);
    EXPECT_FALSE(made[0]->attachments() && !made[0]->attachments()->isEmpty());
    EXPECT_FALSE(warnings.isNull());
}

TEST_F(ImportTransactionsTest, NeedsTwoAccounts)
{
    auto lonely = twImportBusiness();
    twImportAccount(*lonely, QStringLiteral("Only"), TWAccountTypeBank);
    auto lines = twImportSettings(*lonely, {"Payee", "Amount"}, nullptr);
    auto importer =
        TWImportTransactions::importTransactionsWithRows(twRows({{"a", "1"}}), lines, *lonely);
    QString warnings;
    EXPECT_FALSE(importer->processTransactions(&warnings));
    EXPECT_TRUE(importer->transactions().isEmpty());
    EXPECT_FALSE(warnings.isEmpty());
}

TEST_F(ImportTransactionsTest, DuplicatesOfStoredTransactions)
{
    const QStringList columns{"Date", "Payee", "Account 2", "Amount"};
    const QList<QStringList> rows =
        twRows({{"3/1/24", "a", "Food", "-5.00"}, {"3/2/24", "b", "Food", "-6.00"}});
    TWTransactionList made = process(columns, rows);
    ASSERT_EQ(made.size(), 2);
    ASSERT_OK(business->addTransaction(made[0], true, false, false, false));
    // The one stored answers for the first like row only: the third is new.
    made = process(columns, rows + twRows({{"3/1/24", "c", "Food", "-5.00"}}));
    EXPECT_EQ(TWImportDuplicates::transactions(*business, made), (QList<bool>{true, false, false}));
}

} // namespace

TEST_F(ImportTransactionsTest, ExactNameWinsOverAnEarlierPartialOne)
{
    // "Food Delivery" comes first in the store, yet "Food" is an account's
    // whole name; "deliv" still finds "Food Delivery" by words.
    const TWTransactionList made = process(
        {"Account 2", "Amount"}, twRows({{"food", "1"}, {"Deliv", "2"}, {"FOOD DELIVERY", "3"}}));
    ASSERT_EQ(made.size(), 3);
    EXPECT_EQ(made[0]->account2Identifier(), food->identifier());
    EXPECT_EQ(made[1]->account2Identifier(), delivery->identifier());
    EXPECT_EQ(made[2]->account2Identifier(), delivery->identifier());
}

TEST_F(ImportTransactionsTest, BalancedEuroSplitsTakeNoLineForTheRoundingResidue)
{
    std::mt19937_64 random(9111);
    const auto uniform = [&random](qint64 low, qint64 high) {
        return std::uniform_int_distribution<qint64>(low, high)(random);
    };
    const QString prefix = TWImportValues::splitPrefix();
    QList<QStringList> rows;
    for (int round = 0; round < 500; ++round) {
        rows.append({QStringLiteral("Shop %1").arg(round), TWImportValues::splitWord(), QString(),
                     QString()});
        qint64 sum = 0;
        const QString names[] = {QStringLiteral("Checking"), QStringLiteral("Food"),
                                 QStringLiteral("Food Delivery"), QStringLiteral("Salary")};
        for (int i = 0; i < 4; ++i) {
            const qint64 cents = i < 3 ? uniform(-500000, 500000) : -sum;
            sum += cents;
            rows.append({QString(), prefix + names[i],
                         QString::number(double(cents) / 100.0, 'f', 2), QStringLiteral("EUR")});
        }
    }
    const TWTransactionList made = process({"Payee", "Account 1", "Amount", "Unit"}, rows);
    ASSERT_EQ(made.size(), 500);
    int residues = 0;
    for (const TWTransactionPtr &t : made) {
        ASSERT_TRUE(t->hasSplit());
        EXPECT_EQ(t->splits().size(), 4) << t->payee();
        qint64 home = 0;
        qint64 alone = 0;
        for (const TWSplitPtr &line : t->splits()) {
            home += line->totalBusiness();
            alone +=
                TWUnitConversion::convertTotal(line->total(), *line->unit(), *business->homeUnit());
        }
        EXPECT_EQ(home, 0) << t->payee();
        residues += alone != 0;
    }
    EXPECT_GT(residues, 100);
}

TEST_F(ImportTransactionsTest, AUkBankFileReadsTheSameInEveryUsersLocale)
{
    // A UK bank's download into a pounds account: day-first dates, pounds
    // grouped with commas, money out and in in columns of their own. What the
    // user's own locale writes must not change how the file is read.
    const QStringList columns{"Date", "Description", "Debit", "Credit"};
    const QList<QStringList> rows = twRows({{"03/11/2026", "TESCO STORES 2041", "", "£1,234.56"},
                                            {"15/11/2026", "CLIENT LTD INV 44", "£850.00", ""},
                                            {"28/11/2026", "BT GROUP PLC", "", "45.99"}});
    for (const char *name : {"en_GB", "en_US", "de_DE", "fr_FR", "ar_EG"}) {
        SCOPED_TRACE(name);
        const TWLocaleGuard locale{QString::fromLatin1(name)};
        bool ok = false;
        QString warnings;
        const TWTransactionList made = process(columns, rows, &ok, &warnings, [this](auto &s) {
            s.setDefaultAccount(london);
            for (const auto &line : s.importFields())
                line->setUnit(london->unit());
            s.importFields().first()->setFormat(QStringLiteral("dd/MM/yyyy"));
        });
        ASSERT_TRUE(ok) << warnings.toStdString();
        ASSERT_EQ(made.size(), 3);
        const qint64 expected[] = {-123456, 85000, -4599};
        const int days[] = {3, 15, 28};
        for (int i = 0; i < 3; ++i) {
            EXPECT_EQ(made[i]->total(), expected[i]) << i;
            EXPECT_EQ(made[i]->date().date(), QDate(2026, 11, days[i])) << i;
        }
    }
}
