// Exported as QIF or OFX and imported into a copy of the business, the books
// come back the same: the writers and the import agree on the store's sign
// convention and on calendar dates, in any time zone (the suite runs again
// under TZ=Asia/Tokyo and TZ=America/New_York).

#include "ImportProcessTestSupport.h"
#include "export/core/TWSerializerOFX.h"
#include "export/core/TWSerializerQIF.h"
#include "import/core/TWImportDuplicates.h"
#include "import/core/TWParserOFX.h"
#include "import/core/TWParserQIF.h"
#include "model/TWBusinessInfo.h"

namespace
{

constexpr qint32 kChecking = 101;
constexpr qint32 kSavings = 102;
constexpr qint32 kSales = 103;
constexpr qint32 kRent = 104;
constexpr qint32 kCard = 105;

std::unique_ptr<TWBusiness> makeBusiness()
{
    TWBusinessInfoPtr info = TWBusinessInfo::newBusinessInfo();
    info->setHomeCurrency(QStringLiteral("USD"));
    info->setCreateDefaultAccounts(false);
    TWErrorResult error;
    auto business = TWBusiness::businessWithBusinessInfo(info, &error);
    EXPECT_OK(error);
    if (!business)
        return business;
    const auto add = [&](qint32 identifier, const char *name, TWAccountType type) {
        auto account = TWAccount::accountWithIdentifier(
            identifier, QString::fromUtf8(name), 0, quint32(identifier), type, QString(), QImage(),
            business->unitWithCode(QStringLiteral("USD")), QString());
        EXPECT_OK(business->addAccount(account, false));
    };
    add(kChecking, "Checking", TWAccountTypeBank);
    add(kSavings, "Savings", TWAccountTypeBank);
    add(kSales, "Sales", TWAccountTypeIncome);
    add(kRent, "Rent", TWAccountTypeExpense);
    add(kCard, "Card", TWAccountTypeCreditCard);
    return business;
}

TWTransactionPtr transaction(TWBusiness &business, qint32 identifier, int day, qint32 account1,
                             qint32 account2, qint64 total, const char *payee,
                             const char *description)
{
    auto made = std::make_shared<TWTransaction>();
    made->setIdentifier(identifier);
    made->setDate(QDateTime(QDate(2024, 3, day), QTime(0, 0)));
    made->setAccount1Identifier(account1);
    made->setAccount2Identifier(account2);
    made->setUnit(business.unitWithCode(QStringLiteral("USD")));
    made->setTotal(total);
    made->setTotalAccount1(total);
    made->setTotalAccount2(total);
    made->setTotalBusiness(total);
    made->setPayee(QString::fromUtf8(payee));
    made->setDescription(QString::fromUtf8(description));
    return made;
}

// The bank's transactions: a cleared deposit, rent paid (the bank as account
// 2), a transfer, a split deposit and a payment in euros; and a card purchase
// that does not touch the bank.
struct Books {
    std::unique_ptr<TWBusiness> original = makeBusiness();
    std::unique_ptr<TWBusiness> copy = makeBusiness();
    TWTransactionList bankTransactions;

    // `ownLineDescribed`: whether the split's line in the bank has a
    // description of its own.
    explicit Books(bool ownLineDescribed = true)
    {
        TWBusiness &b = *original;
        auto deposit =
            transaction(b, 1, 5, kChecking, kSales, 150000, "Café O'Brien & Co", "Invoice 12");
        deposit->setCleared(true);
        auto rent = transaction(b, 2, 7, kRent, kChecking, 80000, "Landlord", "March rent");
        auto transfer = transaction(b, 3, 8, kSavings, kChecking, 1250, "Transfer", "");
        transfer->setCleared(true);
        auto split = transaction(b, 4, 10, 0, 0, 0, "Market", "Split sale");
        const TWUnitPtr usd = b.unitWithCode(QStringLiteral("USD"));
        split->setHasSplit(true);
        split->setSplits(
            {TWSplit::splitWithIdentifier(0, ownLineDescribed ? "Takings" : "", kChecking, 10000,
                                          10000, 10000, 0, 0, usd),
             TWSplit::splitWithIdentifier(0, "Goods", kSales, -7000, -7000, -7000, 0, 0, usd),
             TWSplit::splitWithIdentifier(0, "Refund", kRent, -3000, -3000, -3000, 0, 0, usd)});
        auto euros = transaction(b, 5, 12, kChecking, kSales, 10000, "Berlin GmbH", "Fee");
        euros->setUnit(b.unitWithCode(QStringLiteral("EUR")));
        euros->setTotalAccount1(13500);
        euros->setTotalAccount2(13500);
        euros->setTotalBusiness(13500);
        bankTransactions = {deposit, rent, transfer, split, euros};
        for (const TWTransactionPtr &t : bankTransactions)
            EXPECT_OK(b.addTransaction(t, false, false, false, false));
        // Not the bank's: in both businesses, left alone by the export.
        for (TWBusiness *business : {original.get(), copy.get()})
            EXPECT_OK(business->addTransaction(
                transaction(*business, 6, 14, kRent, kCard, 5000, "Hardware", "Tools"), false,
                false, false, false));
    }

    QByteArray exported(bool qif)
    {
        TWBusiness &b = *original;
        const TWAccountList accounts{b.accountWithIdentifier(kChecking)};
        const TWTransactionList selected =
            b.transactionsForAccounts(accounts, nullptr, 0, QDateTime(), QDateTime(), nullptr);
        EXPECT_EQ(selected.size(), 5);
        return qif ? TWSerializerQIF::serializerWithAccounts(accounts, selected, &b)->data()
                   : TWSerializerOFX::serializerWithAccounts(accounts, selected, &b)->data();
    }

    // Parses, maps by the guess with the bank as default account, processes
    // and adds everything in one write.
    TWTransactionList imported(TWParser &parser, const QByteArray &data)
    {
        parser.parse(data);
        EXPECT_TRUE(parser.columns());
        TWBusiness &c = *copy;
        auto settings = twImportSettings(c, parser.columns().value_or(QStringList()),
                                         c.accountWithIdentifier(kChecking), parser.dateFormats());
        auto importer =
            TWImportTransactions::importTransactionsWithRows(parser.rows(), settings, c);
        QString warnings;
        EXPECT_TRUE(importer->processTransactions(&warnings)) << warnings;
        const TWTransactionList made = importer->transactions();
        EXPECT_EQ(TWImportDuplicates::transactions(c, made), QList<bool>(made.size(), false));
        {
            TWBusiness::WriteScope scope(c);
            for (const TWTransactionPtr &t : made)
                EXPECT_OK(c.addTransaction(t, true, false, false, false));
            EXPECT_OK(scope.commit());
        }
        // Imported again, every row is a duplicate.
        EXPECT_EQ(TWImportDuplicates::transactions(c, made), QList<bool>(made.size(), true));
        return made;
    }

    qint64 balance(TWBusiness &business, qint32 account)
    {
        return business.transactionTotalWithAccount(*business.accountWithIdentifier(account));
    }
};

// What a transaction moves into the bank, as the bank's register shows it.
qint64 bankAmount(const TWTransaction &t)
{
    if (t.hasSplit()) {
        qint64 sum = 0;
        for (const TWSplitPtr &split : t.splits())
            sum += split->accountIdentifier() == kChecking ? split->totalAccount() : 0;
        return sum;
    }
    return t.account1Identifier() == kChecking ? t.totalAccount1() : -t.totalAccount2();
}

TWTransactionList byDate(TWTransactionList list)
{
    std::stable_sort(list.begin(), list.end(),
                     [](const auto &a, const auto &b) { return a->date() < b->date(); });
    return list;
}

// Our export writes month first; every day of the books is 12 or less, so
// no date decides: a user whose own dates are month first, or not written
// with "/", gets them back.
TEST(ImportRoundTripTest, QIFGivesTheSameBooks)
{
    TWFixedClock clock(2024, 4, 1, 12);
    for (const char *name : {"en_US", "de_DE"}) {
        SCOPED_TRACE(name);
        TWLocaleGuard locale(QString::fromLatin1(name));
        Books books;
        auto parser = TWParserQIF::parser();
        const TWTransactionList made = byDate(books.imported(*parser, books.exported(true)));
        ASSERT_EQ(made.size(), books.bankTransactions.size());
        EXPECT_EQ(books.balance(*books.copy, kChecking), 150000 - 80000 - 1250 + 10000 + 13500);
        for (qint32 account : {kChecking, kSavings, kSales, kRent, kCard})
            EXPECT_EQ(books.balance(*books.copy, account), books.balance(*books.original, account))
                << account;
        EXPECT_EQ(books.copy->transactions().size(), books.original->transactions().size());
        const TWTransactionList original = byDate(books.bankTransactions);
        for (qsizetype i = 0; i < made.size(); ++i) {
            EXPECT_EQ(made[i]->cleared(), original[i]->cleared()) << i;
            EXPECT_EQ(made[i]->date(), original[i]->date()) << i;
            EXPECT_EQ(bankAmount(*made[i]), bankAmount(*original[i])) << i;
        }
        // The split comes back as a split over the same accounts.
        ASSERT_TRUE(made[3]->hasSplit());
        EXPECT_EQ(made[3]->splits().size(), 3);
    }
}

// A split transaction comes back whole: its payee, its description (QIF has
// one memo per transaction: the bank line's own, else the transaction's) and
// every line's description.
TEST(ImportRoundTripTest, QIFSplitKeepsItsPayeeAndDescriptions)
{
    TWFixedClock clock(2024, 4, 1, 12);
    for (const bool described : {true, false}) {
        SCOPED_TRACE(described);
        Books books(described);
        auto parser = TWParserQIF::parser();
        const TWTransactionList made = byDate(books.imported(*parser, books.exported(true)));
        ASSERT_EQ(made.size(), books.bankTransactions.size());
        const TWTransaction &split = *made[3];
        ASSERT_TRUE(split.hasSplit());
        EXPECT_EQ(split.payee(), QStringLiteral("Market"));
        const QString memo = described ? QStringLiteral("Takings") : QStringLiteral("Split sale");
        EXPECT_EQ(split.description(), memo);
        QStringList descriptions;
        QList<qint32> accounts;
        for (const TWSplitPtr &line : split.splits()) {
            descriptions.append(line->description());
            accounts.append(line->accountIdentifier());
        }
        EXPECT_EQ(descriptions, (QStringList{memo, "Goods", "Refund"}));
        EXPECT_EQ(accounts, (QList<qint32>{kChecking, kSales, kRent}));
    }
}

TEST(ImportRoundTripTest, OFXGivesTheSameBankStatement)
{
    TWFixedClock clock(2024, 4, 1, 12);
    Books books;
    auto parser = TWParserOFX::parser();
    const TWTransactionList made = byDate(books.imported(*parser, books.exported(false)));
    ASSERT_EQ(made.size(), books.bankTransactions.size());
    EXPECT_EQ(books.balance(*books.copy, kChecking), books.balance(*books.original, kChecking));
    const TWTransactionList original = byDate(books.bankTransactions);
    for (qsizetype i = 0; i < made.size(); ++i) {
        EXPECT_EQ(made[i]->date(), original[i]->date()) << i;
        EXPECT_EQ(bankAmount(*made[i]), bankAmount(*original[i])) << i;
        EXPECT_EQ(made[i]->payee(), original[i]->payee()) << i;
        EXPECT_EQ(made[i]->description(), original[i]->description()) << i;
        EXPECT_EQ(made[i]->account1Identifier(), kChecking) << i;
    }
}

} // namespace

namespace
{

// Read back into the business that wrote it, as the sheet reads it.
QList<bool> readBackDuplicates(Books &books, bool qif)
{
    TWBusiness &b = *books.original;
    std::shared_ptr<TWParser> parser;
    if (qif)
        parser = TWParserQIF::parser();
    else
        parser = TWParserOFX::parser();
    parser->parse(books.exported(qif));
    auto settings = twImportSettings(b, parser->columns().value_or(QStringList()),
                                     b.accountWithIdentifier(kChecking), parser->dateFormats());
    auto importer = TWImportTransactions::importTransactionsWithParser(*parser, settings, b);
    QString warnings;
    EXPECT_TRUE(importer->processTransactions(&warnings)) << warnings;
    return TWImportDuplicates::transactions(
        b, importer->transactions(), importer->openCounterparts(), importer->unlistedSplits());
}

} // namespace

// The program's own export of the bank read back into the same books is all
// duplicates: the payment in euros too, which QIF writes as the dollars it
// moved (QIF has no units), and every bank line of the statement (OFX names
// no other account).
TEST(ImportRoundTripTest, TheOwnExportReadBackIntoTheSameBooksIsAllDuplicates)
{
    TWFixedClock clock(2024, 4, 1, 12);
    for (const bool qif : {true, false}) {
        SCOPED_TRACE(qif ? "QIF" : "OFX");
        Books books;
        EXPECT_EQ(readBackDuplicates(books, qif), QList<bool>(5, true));
    }
}
