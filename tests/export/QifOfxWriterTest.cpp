// QIF and OFX: golden files from the seeded ledger (the same under another
// zone and a decimal-comma locale), the store's sign convention from each
// account's side, and the texts that must not break a record.

#include "TWExportTestSupport.h"
#include "export/core/TWSerializerOFX.h"
#include "export/core/TWSerializerQIF.h"
#include "foundation/TWClock.h"
#include "model/TWAccountNumbers.h"

#include <QRegularExpression>
#include <QTimeZone>

#include <gtest/gtest.h>

namespace
{

struct Seeded {
    std::unique_ptr<TWBusiness> business;
    TWAccountList accounts;
    TWTransactionList transactions;
};

// Checking, savings and card exported, with what the export query finds.
Seeded seeded()
{
    Seeded s;
    s.business = twSeededBusiness();
    TWBusiness &b = *s.business;
    s.accounts = {b.accountWithIdentifier(kChecking), b.accountWithIdentifier(kSavings),
                  b.accountWithIdentifier(kCard)};
    s.transactions =
        b.transactionsForAccounts(s.accounts, nullptr, 0, QDateTime(), QDateTime(), nullptr);
    return s;
}

QDateTime writingMoment()
{
    return QDateTime(QDate(2024, 3, 20), QTime(9, 30), QTimeZone::utc());
}

// The lines of an account's own section (after the account list and the
// categories): from its record to the next section.
QStringList qifSection(const QString &text, const QString &name)
{
    const QStringList lines = text.split(QLatin1Char('\n'));
    QList<qsizetype> starts;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (lines.at(i) == QLatin1String("!Account"))
            starts.append(i);
    }
    starts.append(lines.size());
    for (qsizetype k = 1; k + 1 < starts.size(); ++k) {
        if (lines.value(starts.at(k) + 1) == QLatin1Char('N') + name)
            return lines.mid(starts.at(k) + 1, starts.at(k + 1) - starts.at(k) - 1);
    }
    return {};
}

qint64 cents(const QString &amount)
{
    return qint64(std::llround(amount.toDouble() * 100));
}

QStringList values(const QStringList &lines, QChar code)
{
    QStringList found;
    for (const QString &line : lines) {
        if (line.startsWith(code))
            found.append(line.mid(1));
    }
    return found;
}

// The writer's output is its golden file, and a German locale changes none of it.
// An OFX statement's identifier names the business that wrote it (a
// name-based UUID of its identity, which a business made here draws at
// random): where it is the writing business's, the golden file has a fixed one.
template <typename Writer> void expectGoldenInAnyLocale(const QString &golden)
{
    TWFixedClock clock(writingMoment());
    Seeded s = seeded();
    const QByteArray english =
        Writer::serializerWithAccounts(s.accounts, s.transactions, s.business.get())->data();
    const QByteArray writer = TWAccountNumbers::writerIdentifier(
                                  s.business->businessIdentity(),
                                  TWClock::now().toUTC().toString(QStringLiteral("yyyyMMddHHmmss")))
                                  .toLatin1();
    twExpectGolden(golden, writer.isEmpty() ? english
                                            : QByteArray(english).replace(
                                                  writer, "00000000-0000-5000-8000-000000000000"));
    TWLocaleGuard german(QStringLiteral("de_DE"));
    EXPECT_EQ(Writer::serializerWithAccounts(s.accounts, s.transactions, s.business.get())->data(),
              english);
}

} // namespace

TEST(QifWriterTest, GoldenFileIsTheSameInAnyZoneAndLocale)
{
    expectGoldenInAnyLocale<TWSerializerQIF>(QStringLiteral("seeded.qif"));
}

TEST(QifWriterTest, AmountsAreEachAccountsBalanceChange)
{
    Seeded s = seeded();
    TWBusiness &b = *s.business;
    const QString text =
        TWSerializerQIF::serializerWithAccounts(s.accounts, s.transactions, &b)->text();
    // Every exported account's "T" lines add up to its raw store balance
    // (all of its transactions are exported): an import gives the same
    // balances back.
    for (const qint32 identifier : {kChecking, kSavings, kCard}) {
        const TWAccountPtr account = b.accountWithIdentifier(identifier);
        qint64 sum = 0;
        for (const QString &amount : values(qifSection(text, account->name()), QLatin1Char('T')))
            sum += cents(amount);
        qint64 raw = b.accountBalance(*account, QDateTime());
        if (!TWBusiness::isAccountDebitPositive(*account))
            raw = -raw;
        EXPECT_EQ(sum, raw) << account->name();
    }
    // The transfer: out of checking (account 2), into savings (account 1).
    const QStringList checking = qifSection(text, QStringLiteral("Checking"));
    const QStringList savings = qifSection(text, QStringLiteral("Savings"));
    EXPECT_TRUE(checking.join(QLatin1Char('\n'))
                    .contains(QLatin1String("LSavings\nPTransfer\nM\nT-12.50")));
    EXPECT_TRUE(
        savings.join(QLatin1Char('\n')).contains(QLatin1String("LChecking\nPTransfer\nM\nT12.50")));
    // The euro deposit in the account's dollars.
    EXPECT_TRUE(checking.contains(QStringLiteral("T135.00")));
    // The split: "$" lines add up to "T".
    const qsizetype own = checking.indexOf(QStringLiteral("LChecking"));
    ASSERT_GE(own, 0);
    EXPECT_EQ(checking.mid(own, 3), QStringList({"LChecking", "MTakings", "T100.00"}));
    EXPECT_EQ(checking.mid(own + 3, 6),
              QStringList({"SSales", "EGoods", "$70.00", "SRent", "ERefund", "$30.00"}));
    // The card owes 50.00.
    EXPECT_TRUE(qifSection(text, QStringLiteral("Card")).contains(QStringLiteral("T-50.00")));
}

TEST(QifWriterTest, LineBreaksInTextsStayInsideTheirLine)
{
    Seeded s = seeded();
    const QString text =
        TWSerializerQIF::serializerWithAccounts(s.accounts, s.transactions, s.business.get())
            ->text();
    EXPECT_TRUE(text.contains(QLatin1String("\nMInvoice 12 second line\n")));
    EXPECT_TRUE(text.contains(QStringLiteral("\nPCafé O'Brien & Co\n")));
    EXPECT_FALSE(text.contains(QLatin1String("\nsecond line")));
    // Every record line starts with a known code.
    for (const QString &line : text.split(QLatin1Char('\n'), Qt::SkipEmptyParts))
        EXPECT_TRUE(QStringLiteral("!NTDCLPMSE$^").contains(line.at(0))) << line;
}

TEST(QifWriterTest, SplitInAForeignUnitIsConvertedThroughTheHomeAmounts)
{
    Seeded s = seeded();
    TWBusiness &b = *s.business;
    // 50.00 euros (67.50 dollars) out of the euro account, paid for by
    // checking: the dollar line's "T" and the euro line's "$" agree.
    TWTransactionPtr split = twTransaction(b, 7, QDate(2024, 3, 16), 0, 0, 0);
    split->setHasSplit(true);
    split->setSplits({TWSplit::splitWithIdentifier(71, QString(), kChecking, 6751, 6751, 6751, 0, 0,
                                                   b.unitWithCode(QStringLiteral("USD"))),
                      TWSplit::splitWithIdentifier(72, QString(), kEuro, -5000, -5000, -6751, 0, 0,
                                                   b.unitWithCode(QStringLiteral("EUR")))});
    const QString text =
        TWSerializerQIF::serializerWithAccounts({b.accountWithIdentifier(kChecking)}, {split}, &b)
            ->text();
    EXPECT_TRUE(text.contains(QLatin1String("T67.51\nSEuro Bank\nE\n$67.51\n"))) << text;
}

TEST(OfxWriterTest, GoldenFileIsTheSameInAnyZoneAndLocale)
{
    expectGoldenInAnyLocale<TWSerializerOFX>(QStringLiteral("seeded.ofx"));
}

TEST(OfxWriterTest, SignedAmountsMoveWithTheBalance)
{
    TWFixedClock clock(writingMoment());
    Seeded s = seeded();
    const QString text =
        TWSerializerOFX::serializerWithAccounts(s.accounts, s.transactions, s.business.get())
            ->text();
    const QStringList statements = text.split(QStringLiteral("<STMTTRNRS>\n")).mid(1);
    ASSERT_EQ(statements.size(), 3);
    for (const QString &statement : statements) {
        // Each TRNAMT in the account's unit (through CURRATE where another
        // unit is named) adds up to BALAMT: the balance before was 0.
        qint64 sum = 0;
        for (const QString &entry : statement.split(QStringLiteral("<STMTTRN>\n")).mid(1)) {
            const QRegularExpressionMatch amount =
                QRegularExpression(QStringLiteral("<TRNAMT>(\\S+)")).match(entry);
            const QRegularExpressionMatch rate =
                QRegularExpression(QStringLiteral("<CURRATE>(\\S+)</CURRATE>")).match(entry);
            const QRegularExpressionMatch type =
                QRegularExpression(QStringLiteral("<TRNTYPE>(\\S+)")).match(entry);
            ASSERT_TRUE(amount.hasMatch());
            const double value = amount.captured(1).toDouble();
            EXPECT_EQ(type.captured(1),
                      value < 0 ? QStringLiteral("DEBIT") : QStringLiteral("CREDIT"));
            sum += qint64(
                std::llround(value * (rate.hasMatch() ? rate.captured(1).toDouble() : 1.0) * 100));
        }
        const QRegularExpressionMatch balance =
            QRegularExpression(QStringLiteral("<BALAMT>(\\S+)")).match(statement);
        EXPECT_EQ(sum, cents(balance.captured(1))) << statement;
    }
    // The transfer: a DEBIT out of checking and a CREDIT into savings, one FITID.
    EXPECT_TRUE(statements.at(0).contains(
        QLatin1String("<TRNTYPE>DEBIT\n<DTPOSTED>20240308\n<TRNAMT>-12.50\n<FITID>3\n")));
    EXPECT_TRUE(statements.at(1).contains(
        QLatin1String("<TRNTYPE>CREDIT\n<DTPOSTED>20240308\n<TRNAMT>12.50\n<FITID>3\n")));
    // The euro deposit keeps its unit, with the rate to dollars.
    EXPECT_TRUE(statements.at(0).contains(
        QLatin1String("<TRNAMT>100.00\n<FITID>5\n<NAME>Berlin GmbH\n<MEMO>Fee\n<CURRENCY>\n"
                      "<CURRATE>1.350000</CURRATE>\n<CURSYM>EUR</CURSYM>\n</CURRENCY>\n")));
    // The card owes: a negative balance keeps its sign.
    EXPECT_TRUE(statements.at(2).contains(QLatin1String("<BALAMT>-50.00\n<DTASOF>20240314\n")));
}

TEST(OfxWriterTest, TextsAreEscapedTheOfxWayAndTheHeaderNamesTheirEncoding)
{
    TWFixedClock clock(writingMoment());
    Seeded s = seeded();
    const QString text =
        TWSerializerOFX::serializerWithAccounts(s.accounts, s.transactions, s.business.get())
            ->text();
    EXPECT_TRUE(text.contains(QStringLiteral("<NAME>Café O'Brien &amp; Co\n")));
    EXPECT_TRUE(text.contains(QLatin1String("<MEMO>Invoice 12 second line\n")));
    EXPECT_FALSE(text.contains(QLatin1String("&apos;")));
    EXPECT_TRUE(text.startsWith(QLatin1String(
        "OFXHEADER:100\nDATA:OFXSGML\nVERSION:102\nSECURITY:NONE\nENCODING:UTF-8\n")));

    // Plain ASCII texts keep the ASCII header.
    TWBusiness &b = *s.business;
    const QString ascii = TWSerializerOFX::serializerWithAccounts(
                              {b.accountWithIdentifier(kSavings)}, s.transactions, &b)
                              ->text();
    EXPECT_TRUE(ascii.contains(QLatin1String("\nENCODING:USASCII\nCHARSET:NONE\n")));
    EXPECT_EQ(ascii.count(QStringLiteral("<TRNUID>")), 1);
}
