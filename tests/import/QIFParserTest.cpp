#include "ImportTestSupport.h"
#include "foundation/TWLocalized.h"
#include "import/core/TWImportValues.h"
#include "import/core/TWParserQIF.h"

#include <QHash>
#include <QLocale>

#include <gtest/gtest.h>

namespace
{

QList<QStringList> parseQIF(const QByteArray &data)
{
    auto parser = TWParserQIF::parser();
    parser->parse(data);
    EXPECT_EQ(parser->columns()->size(), 7);
    for (const QStringList &r : parser->rows())
        EXPECT_EQ(r.size(), 7) << r.join(QLatin1Char('|'));
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
        // "+5"; dates as written, the apostrophe of a Quicken date too.
        row({"1", "3/15'19", "Refund", "", "Checking", "", "5"}),
        // A transfer names the account without its brackets; no "C" is not cleared.
        row({"0", "3/16/2019", "Transfer out", "", "Checking", "Savings", "-100.00"}),
        // A split: the head row, the bank side, then each category's own change.
        // The memo belongs to the whole transaction as well as its bank line.
        row({"0", "03/17/19", "Hardware store", "Weekend shopping", "Split", "Split", ""}),
        row({"", "", "", "Weekend shopping", "Split - Checking", "Split - Checking", "-45.00"}),
        row({"", "", "", "", "Split - Food", "Split - Food", "30.00"}),
        row({"", "", "", "Bulbs", "Split - Household", "Split - Household", "15.00"}),
        // A credit-card section without an account record; the category
        // section between gives nothing; the last line has no line break.
        row({"0", "12/ 1'05", "Airline", "", "Credit Card", "Travel", "-1234.56"}),
        row({"0", "1/2/06", "Payment", "", "Credit Card", "Checking", "99.5"}),
    };
    EXPECT_EQ(parser->rows(), expected);
    EXPECT_EQ(parser->dateFormats(), (QHash<qsizetype, QString>{{1, "MM/dd/yy"}}));
}

TEST(QIFParserTest, GermanLocaleWritesAmountsItsWay)
{
    TWLocaleGuard locale(QStringLiteral("de_DE"));
    const QList<QStringList> rows = parseQIF(twImportData("accounts.qif"));
    ASSERT_EQ(rows.size(), 9);
    EXPECT_EQ(rows[0][1], QStringLiteral("3/14/19"));
    EXPECT_EQ(rows[0][6], QStringLiteral("-45,00"));
    EXPECT_EQ(rows[7][6], QStringLiteral("-1234,56"));
    EXPECT_EQ(rows[8][6], QStringLiteral("99,5"));
}

// Amounts are read by the way they are written: a comma followed by one or
// two digits at the end is the decimal mark, in any locale.
TEST(QIFParserTest, AmountsTakeEitherDecimalMark)
{
    const QByteArray file = "!Type:Bank\nD1/5/20\nT-45,90\n^\nD1/5/20\nT1.234,5\n^\n"
                            "D1/5/20\nT1,500.00\n^\nD1/5/20\nT1,500\n^\nD1/5/20\nT12,34,5\n^\n";
    for (const char *name : {"en_US", "de_DE"}) {
        TWLocaleGuard locale(QString::fromLatin1(name));
        const QList<QStringList> rows = parseQIF(file);
        ASSERT_EQ(rows.size(), 5);
        QStringList amounts;
        for (const QStringList &r : rows)
            amounts.append(r[6]);
        const QString point = QLocale().decimalPoint();
        EXPECT_EQ(amounts, (QStringList{"-45" + point + "90", "1234" + point + "5",
                                        "1500" + point + "00", "1500", "12,34,5"}))
            << name;
    }
}

// One file writes all its dates in one order: 03.04 is the 3rd of April in a
// file that also holds 14.04, whatever the locale; a file whose dates all
// read either way is month first when written with "/", day first otherwise.
// The dates themselves are handed on as written.
TEST(QIFParserTest, TheDateFormatIsTheOrderOfTheWholeFile)
{
    const QList<std::pair<QByteArray, const char *>> files{
        {"!Type:Bank\nD03.04.2024\nT1\n^\nD14.04.2024\nT2\n^\n", "dd.MM.yyyy"},
        {"!Type:Bank\nD03/04/2024\nT1\n^\nD03/14/2024\nT2\n^\n", "MM/dd/yyyy"},
        {"!Type:Bank\nD13/04/2024\nT1\n^\nD03/04/2024\nT2\n^\n", "dd/MM/yyyy"},
        {"!Type:Bank\nD03/04/24\nT1\n^\nD05/06/2024\nT2\n^\n", "MM/dd/yy"},
        {"!Type:Bank\nD03.04.24\nT1\n^\nD05.06.24\nT2\n^\n", "dd.MM.yy"},
        {"!Type:Bank\nD 3-4-2024\nT1\n^\n", "dd-MM-yyyy"},
        {"!Type:Bank\nD1/ 2'25\nT1\n^\n", "MM/dd/yy"},
        {"!Type:Bank\nDyesterday\nT1\n^\n", nullptr},
    };
    for (const char *name : {"en_US", "de_DE"}) {
        TWLocaleGuard locale(QString::fromLatin1(name));
        for (const auto &[file, format] : files) {
            auto parser = TWParserQIF::parser();
            parser->parse(file);
            EXPECT_EQ(parser->dateFormats().value(1),
                      format ? QString::fromLatin1(format) : QString())
                << name << " " << file.constData();
            EXPECT_EQ(parser->rows().at(0).at(1),
                      QString::fromLatin1(file).section(QLatin1Char('\n'), 1, 1).mid(1));
        }
    }
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

} // namespace
