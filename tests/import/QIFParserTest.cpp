#include "ImportTestSupport.h"
#include "TWImportValues.h"
#include "TWLocalized.h"
#include "TWParserQIF.h"

#include <gtest/gtest.h>

namespace {

QList<QStringList> parseQIF(const QByteArray &data)
{
    auto parser = TWParserQIF::parser();
    parser->parse(data);
    EXPECT_EQ(parser->columns()->size(), 7);
    for (const QStringList &r : parser->rows())
        EXPECT_EQ(r.size(), 7) << r.join(QLatin1Char('|')).toStdString();
    return parser->rows();
}

TEST(QIFParserTest, TwoAccountFileFieldByField)
{
    auto parser = TWParserQIF::parser();
    parser->parse(twImportData("accounts.qif"));
    EXPECT_EQ(parser->columns(), QStringList({"Cleared", "Date", "Payee", "Memo", "Account 1",
                                              "Account 2", "Amount"}));
    const QList<QStringList> expected{
        // "CX" is cleared; the empty record after it does not end the section.
        row({"1", "3/14/19", "Grocer", "", "Checking", "Food", "-45.00"}),
        // "+5" and the apostrophe of a Quicken date.
        row({"1", "3/15/19", "Refund", "", "Checking", "", "5"}),
        // A transfer names the account without its brackets; no "C" is not cleared.
        row({"0", "3/16/19", "Transfer out", "", "Checking", "Savings", "-100.00"}),
        // A split: the head row, the bank side, then each category's own change.
        row({"0", "3/17/19", "Hardware store", "", "Split", "Split", ""}),
        row({"", "", "", "Weekend shopping", "Split - Checking", "Split - Checking", "-45.00"}),
        row({"", "", "", "", "Split - Food", "Split - Food", "30.00"}),
        row({"", "", "", "Bulbs", "Split - Household", "Split - Household", "15.00"}),
        // A credit-card section without an account record; the category
        // section between gives nothing; the last line has no line break.
        row({"0", "12/1/05", "Airline", "", "Credit Card", "Travel", "-1234.56"}),
        row({"0", "1/2/06", "Payment", "", "Credit Card", "Checking", "99.5"}),
    };
    EXPECT_EQ(parser->rows(), expected);
}

TEST(QIFParserTest, GermanLocaleWritesAmountsAndDatesItsWay)
{
    TWLocaleGuard locale(QStringLiteral("de_DE"));
    const QList<QStringList> rows = parseQIF(twImportData("accounts.qif"));
    ASSERT_EQ(rows.size(), 9);
    EXPECT_EQ(rows[0][1], QStringLiteral("14.03.19"));
    EXPECT_EQ(rows[0][6], QStringLiteral("-45,00"));
    EXPECT_EQ(rows[7][6], QStringLiteral("-1234,56"));
    EXPECT_EQ(rows[8][6], QStringLiteral("99,5"));
}

TEST(QIFParserTest, SplitAmountsBalance)
{
    // The bank side plus the categories' changes is zero, so the processor's
    // split transaction balances without a remainder line.
    const QList<QStringList> rows = parseQIF("!Type:Bank\nD1/5/20\nT-45.00\nLGroceries\n"
                                             "SFood\n$-30.00\nS[Savings]\nEMove\n$-15.00\n^\n");
    ASSERT_EQ(rows.size(), 4);
    EXPECT_EQ(rows[1][4], TWImportValues::splitPrefix() + TWLocalized("bank"));
    EXPECT_EQ(rows[1][6], QStringLiteral("-45.00"));
    EXPECT_EQ(rows[2][6], QStringLiteral("30.00"));
    EXPECT_EQ(rows[3][4], QStringLiteral("Split - Savings"));
    EXPECT_EQ(rows[3][6], QStringLiteral("15.00"));
}

TEST(QIFParserTest, AccountRecordsNameTheNextSectionOnly)
{
    const QList<QStringList> rows = parseQIF("!Account\nDHousehold cash\n^\n!Type:Cash\nT1\n^\n"
                                             "!Type:Bank\nT2\n^\n"
                                             "!Account\nTOth L\n^\n!type: oth l :x\nT3\n^\n");
    ASSERT_EQ(rows.size(), 3);
    EXPECT_EQ(rows[0][4], QStringLiteral("Household cash"));
    EXPECT_EQ(rows[1][4], TWLocalized("bank"));
    EXPECT_EQ(rows[2][4], TWLocalized("liability"));
}

TEST(QIFParserTest, RecordReading)
{
    // Two "S" lines make two splits; a lower-case "d" is its own code; a
    // one-character line is ignored; a later line replaces an earlier one; no
    // "T" leaves the amount empty.
    const QList<QStringList> rows =
        parseQIF("lines before a header are skipped\n!Type:Bank\nd1/1/20\nPFirst\nPSecond\nX\n"
                 "SA\nSB\n$1\n^\nD2/30/20\nPNo amount\n^\n");
    ASSERT_EQ(rows.size(), 5);
    EXPECT_EQ(rows[0][1], QString());
    EXPECT_EQ(rows[0][2], QStringLiteral("Second"));
    EXPECT_EQ(rows[2][4], QStringLiteral("Split - A"));
    EXPECT_EQ(rows[2][6], QString());
    EXPECT_EQ(rows[3][4], QStringLiteral("Split - B"));
    EXPECT_EQ(rows[3][6], QStringLiteral("-1"));
    // An impossible date goes on as written, as does an unreadable amount.
    EXPECT_EQ(rows[4], row({"0", "2/30/20", "No amount", "", "Bank", "", ""}));
    EXPECT_EQ(parseQIF("!Type:Bank\nTabc\n^")[0][6], QStringLiteral("abc"));
}

TEST(QIFParserTest, SectionsAndHeaders)
{
    EXPECT_TRUE(parseQIF("").isEmpty());
    EXPECT_TRUE(parseQIF("!Type:Cat\nNFood\n^\n!Type:Memorized\nT5\n^\n").isEmpty());
    // Trailing spaces of a header and a type do not skip the section.
    EXPECT_EQ(parseQIF("!Type:CCard  \r\nT5\r\n^\r\n").size(), 1);
    EXPECT_EQ(parseQIF("!TYPE:invst\nT5\n^\n")[0][4], TWLocalized("investment"));
    EXPECT_EQ(parseQIF("!Type:Oth A\nT5\n^\n")[0][4], TWLocalized("asset"));
    // A record that runs into the next header still gives its row.
    EXPECT_EQ(parseQIF("!Type:Bank\nT5\n!Type:Bank\nT6\n^\n").size(), 2);
    EXPECT_EQ(TWParserQIF::accountNameFromType(QStringLiteral("Port")), std::nullopt);
}

TEST(QIFParserTest, ReadingValues)
{
    EXPECT_EQ(TWParserQIF::dateString(QStringLiteral("12/31/1999")), QStringLiteral("12/31/99"));
    EXPECT_EQ(TWParserQIF::dateString(QStringLiteral(" 1-2-49 ")), QStringLiteral("1/2/49"));
    EXPECT_EQ(TWParserQIF::dateString(QStringLiteral("1.2.50")), QStringLiteral("1/2/50"));
    for (const char *unreadable : {"13/1/20", "1/2/2020/3", "Jan 2 2020", "1/2/202", "123/1/20", ""})
        EXPECT_EQ(TWParserQIF::dateString(QString::fromUtf8(unreadable)), QString::fromUtf8(unreadable));

    const QLocale us(QStringLiteral("en_US"));
    EXPECT_EQ(TWParserQIF::amountString(QStringLiteral("+5"), false, us), QStringLiteral("5"));
    EXPECT_EQ(TWParserQIF::amountString(QStringLiteral("+5"), true, us), QStringLiteral("-5"));
    EXPECT_EQ(TWParserQIF::amountString(QStringLiteral("-0.00"), false, us), QStringLiteral("0.00"));
    EXPECT_EQ(TWParserQIF::amountString(QStringLiteral("1,000,000.25"), true, us),
              QStringLiteral("-1000000.25"));

    for (const char *mark : {"X", "x", "*", "R", "c"})
        EXPECT_EQ(TWParserQIF::clearedString(QString::fromUtf8(mark)), QStringLiteral("1")) << mark;
    for (const char *mark : {"", "?", "no"})
        EXPECT_EQ(TWParserQIF::clearedString(QString::fromUtf8(mark)), QStringLiteral("0")) << mark;

    EXPECT_EQ(TWParserQIF::accountName(QStringLiteral("[Savings]/Class")), QStringLiteral("Savings"));
    EXPECT_EQ(TWParserQIF::accountName(QStringLiteral("Food:Dining")), QStringLiteral("Food:Dining"));
    EXPECT_EQ(TWParserQIF::accountName(QStringLiteral("[unclosed")), QStringLiteral("[unclosed"));
}

TEST(QIFParserTest, LabelsHaveTexts)
{
    for (const char *key : {"cleared", "date", "payee", "memo", "account1", "account2", "amount",
                            "split", "cash", "bank", "creditCard", "investment", "asset",
                            "liability", "name", "unit"})
        EXPECT_TRUE(TWHasLocalized(QString::fromUtf8(key))) << key;
}

} // namespace
