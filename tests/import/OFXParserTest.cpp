#include "ImportTestSupport.h"
#include "import/core/TWImportValues.h"
#include "import/core/TWParserOFX.h"

#include <QElapsedTimer>

#include <gtest/gtest.h>

namespace
{

// A version 1 file around the given statements.
QByteArray v1File(const QString &statements)
{
    return (QStringLiteral("OFXHEADER:100\r\nDATA:OFXSGML\r\nVERSION:102\r\n\r\n<OFX>\r\n"
                           "<BANKMSGSRSV1>\r\n") +
            statements + QStringLiteral("</BANKMSGSRSV1>\r\n</OFX>\r\n"))
        .toUtf8();
}

QString statement(const char *currency, const QString &transactions)
{
    QString text = QStringLiteral("<STMTTRNRS>\r\n<STMTRS>\r\n");
    if (currency)
        text += QStringLiteral("<CURDEF>%1\r\n").arg(QString::fromUtf8(currency));
    return text + QStringLiteral("<BANKTRANLIST>\r\n") + transactions +
           QStringLiteral("</BANKTRANLIST>\r\n</STMTRS>\r\n</STMTTRNRS>\r\n");
}

QString transaction(const char *type, const char *amount, const QString &more = QString())
{
    return QStringLiteral("<STMTTRN>\r\n<TRNTYPE>%1\r\n<DTPOSTED>20200102\r\n<TRNAMT>%2\r\n")
               .arg(QString::fromUtf8(type), QString::fromUtf8(amount)) +
           more + QStringLiteral("</STMTTRN>\r\n");
}

std::shared_ptr<TWParserOFX> parseOFX(const QByteArray &data)
{
    auto parser = TWParserOFX::parser();
    parser->parse(data);
    return parser;
}

const QStringList kFixedColumns{"Date", "Name", "Memo", "Unit"};

TEST(OFXParserTest, VersionOneAndTwoOfOneStatementGiveTheSameRows)
{
    auto v1 = parseOFX(twImportData("statement-v1.ofx"));
    auto v2 = parseOFX(twImportData("statement-v2.ofx"));
    EXPECT_EQ(v1->columns(), kFixedColumns + QStringList({"Amount (USD)", "Amount (EUR)"}));
    const QList<QStringList> expected{
        // A credit is money in, whatever its sign; a debit money out.
        row({"12/31/19", "Salary", "December", "USD", "100.00"}),
        row({"12/15/19", "AT&T", "Phone & internet", "USD", "-50.00"}),
        row({"12/16/19", "Bakery", "", "USD", "-20.00"}),
        // Other types keep their sign; the statement column is converted.
        row({"12/20/19", "Cafe", "", "EUR", "-11.00", "-10.00"}),
        // Rows end at their last amount column.
        row({"12/21/19", "Refund", "Returned éclair", "USD", "25.00"}),
    };
    EXPECT_EQ(v1->rows(), expected);
    EXPECT_EQ(v2->columns(), v1->columns());
    EXPECT_EQ(v2->rows(), v1->rows());
}

TEST(OFXParserTest, MissingOrZeroRateLeavesTheConvertedCellEmpty)
{
    for (const char *rate : {"", "<CURRATE>0\r\n", "<CURRATE>0.000\r\n", "<CURRATE>abc\r\n"}) {
        auto parser = parseOFX(v1File(statement(
            "USD", transaction("OTHER", "10.00",
                               QStringLiteral("<CURRENCY>\r\n%1<CURSYM>EUR\r\n</CURRENCY>\r\n")
                                   .arg(QString::fromUtf8(rate))))));
        EXPECT_EQ(parser->rows(), QList<QStringList>{row({"1/2/20", "", "", "EUR", "", "10.00"})})
            << rate;
    }
    // A currency element without CURSYM counts as absent.
    auto noSymbol = parseOFX(v1File(statement(
        "USD", transaction("OTHER", "10.00", "<CURRENCY>\r\n<CURRATE>2\r\n</CURRENCY>\r\n"))));
    EXPECT_EQ(noSymbol->rows(), QList<QStringList>{row({"1/2/20", "", "", "USD", "10.00"})});
}

TEST(OFXParserTest, UnreadableFilesGiveNoRows)
{
    const QStringList empty = kFixedColumns + QStringList({"Amount"});
    const QByteArray whole = twImportData("statement-v1.ofx");
    const QByteArray v2 = twImportData("statement-v2.ofx");
    for (const QByteArray &data :
         {QByteArray(), QByteArray("Date,Amount\n1/1/20,5\n"), whole.left(whole.size() / 2),
          whole.left(whole.indexOf("</STMTTRN>") + 4), v2.left(v2.size() * 2 / 3),
          QByteArray("<?xml version=\"1.0\"?><NOTOFX><BANKMSGSRSV1/></NOTOFX>")}) {
        auto parser = parseOFX(data);
        EXPECT_EQ(parser->columns(), empty) << data.left(60).toStdString();
        EXPECT_TRUE(parser->rows().isEmpty()) << data.left(60).toStdString();
    }
    // Credit-card statements are another message set.
    QByteArray card = whole;
    card.replace("BANKMSGSRSV1", "CREDITCARDMSGSRSV1");
    EXPECT_TRUE(parseOFX(card)->rows().isEmpty());
}

TEST(OFXParserTest, EntityDeclarationsExpandNothing)
{
    QByteArray bomb = "<?xml version=\"1.0\"?>\n<!DOCTYPE OFX [\n<!ENTITY a \"aaaaaaaaaa\">\n";
    for (char c = 'b'; c <= 'k'; ++c)
        bomb += QByteArray("<!ENTITY ") + c + " \"" +
                QByteArray(10, '&').replace("&", QByteArray("&") + char(c - 1) + ";") + "\">\n";
    bomb += "]>\n<OFX><BANKMSGSRSV1><STMTTRNRS><STMTRS><CURDEF>USD</CURDEF><BANKTRANLIST>"
            "<STMTTRN><TRNTYPE>OTHER</TRNTYPE><TRNAMT>1</TRNAMT><NAME>&k;</NAME></STMTTRN>"
            "</BANKTRANLIST></STMTRS></STMTTRNRS></BANKMSGSRSV1></OFX>\n";
    const QByteArray external =
        "<?xml version=\"1.0\"?>\n<!DOCTYPE OFX [<!ENTITY x SYSTEM \"file:///etc/passwd\">]>\n"
        "<OFX><BANKMSGSRSV1><STMTTRNRS><STMTRS><CURDEF>USD</CURDEF><BANKTRANLIST>"
        "<STMTTRN><TRNTYPE>OTHER</TRNTYPE><TRNAMT>1</TRNAMT><NAME>&x;</NAME></STMTTRN>"
        "</BANKTRANLIST></STMTRS></STMTTRNRS></BANKMSGSRSV1></OFX>\n";
    for (const QByteArray &data : {bomb, external}) {
        QElapsedTimer timer;
        timer.start();
        auto parser = parseOFX(data);
        EXPECT_LT(timer.elapsed(), 2000);
        for (const QStringList &r : parser->rows()) {
            for (const QString &field : r)
                EXPECT_LT(field.size(), 100) << "an entity was expanded";
            EXPECT_FALSE(r.join(QString()).contains(QLatin1String("root:")));
        }
        EXPECT_TRUE(parser->rows().isEmpty());
    }
}

TEST(OFXParserTest, DeclaredEncodingDoesNotMisreadTheText)
{
    QByteArray latin1 = twImportData("statement-v2.ofx");
    latin1.replace("encoding=\"UTF-8\"", "encoding=\"ISO-8859-1\"");
    latin1.replace("<NAME>Bakery</NAME>", "<NAME>B\xE4"
                                          "ckerei</NAME>");
    auto parser = parseOFX(latin1);
    ASSERT_EQ(parser->rows().size(), 5);
    EXPECT_EQ(parser->rows()[2][1], QString::fromUtf8("Bäckerei"));
}

} // namespace

// An amount with an original currency but no rate stays the statement's
// amount in the statement's unit: nothing converts it again.
TEST(OFXParserTest, AnOriginalCurrencyWithoutARateKeepsTheStatementsAmountAndUnit)
{
    auto parser = parseOFX(v1File(statement(
        "EUR",
        transaction("DEBIT", "-25.40",
                    QStringLiteral("<ORIGCURRENCY>\r\n<CURSYM>USD\r\n</ORIGCURRENCY>\r\n")))));
    ASSERT_EQ(parser->rows().size(), 1);
    const QStringList &row = parser->rows().constFirst();
    EXPECT_EQ(row.at(3), QStringLiteral("EUR"));
    EXPECT_EQ(row.at(4), QStringLiteral("-25.40"));
    EXPECT_TRUE(row.size() < 6 || row.at(5).isEmpty());
}

// With a rate, an amount whose original currency is named is also known in
// that currency: the row is in that currency, the statement's amount beside it.
TEST(OFXParserTest, AnOriginalCurrencyWithARateIsTheRowsUnit)
{
    auto parser = parseOFX(v1File(statement(
        "USD", transaction("OTHER", "10.00",
                           QStringLiteral("<ORIGCURRENCY>\r\n<CURRATE>1.10\r\n<CURSYM>EUR\r\n"
                                          "</ORIGCURRENCY>\r\n")))));
    EXPECT_EQ(parser->rows(), QList<QStringList>{row({"1/2/20", "", "", "EUR", "10.00", "9.09"})});
}

// Two statements go into one account: the file says which they are, so that
// the user is asked first.
// Each statement's rows carry its label: the account number the file gives,
// shared by every block of that number, else "statement N" ("0" and no
// number name no account). Where they go is the sheet's to say, once: the
// parser's notes, asked about after Continue, say nothing of them.
TEST(OFXParserTest, StatementsAreLabelledByTheirNumberAndBlocksOfOneNumberShareIt)
{
    // "[bank/]number[ TYPE][#writer's label]"
    const auto withAccount = [](const char *id, const QString &rows) {
        QString text = statement("USD", rows);
        if (!id)
            return text;
        QString number = QString::fromUtf8(id), bank, type = QStringLiteral("CHECKING"), cookie;
        if (const qsizetype at = number.indexOf(u'#'); at >= 0) {
            cookie = number.mid(at + 1);
            number.truncate(at);
        }
        if (const qsizetype at = number.indexOf(u' '); at >= 0) {
            type = number.mid(at + 1);
            number.truncate(at);
        }
        if (const qsizetype at = number.indexOf(u'/'); at >= 0) {
            bank = QStringLiteral("<BANKID>%1\r\n").arg(number.left(at));
            number.remove(0, at + 1);
        }
        text.replace(QStringLiteral("<BANKTRANLIST>"),
                     QStringLiteral("<BANKACCTFROM>\r\n%1<ACCTID>%2\r\n<ACCTTYPE>%3\r\n"
                                    "</BANKACCTFROM>\r\n<BANKTRANLIST>")
                         .arg(bank, number, type));
        if (!cookie.isEmpty())
            text.replace(QStringLiteral("<STMTRS>"),
                         QStringLiteral("<CLTCOOKIE>%1\r\n<STMTRS>").arg(cookie));
        return text;
    };
    const QString one = transaction("DEBIT", "-1.00");
    struct Case {
        const char *name;
        std::vector<const char *> numbers; // nullptr: no BANKACCTFROM
        QStringList labels;
        QStringList rowLabels;
        QStringList numbered{}; // the labels given a number; absent: every numbered one
    };
    const Case cases[] = {
        {"two numbers", {"111", "222"}, {"111", "222"}, {"111", "222"}},
        {"two blocks of one number", {"111", "111"}, {"111"}, {"111", "111"}},
        {"blocks of one number around another",
         {"111", "222", "111"},
         {"111", "222"},
         {"111", "222", "111"}},
        {"no number, twice",
         {"0", nullptr},
         {"statement 1", "statement 2"},
         {"statement 1", "statement 2"}},
        // Blocks are one account's only where bank, number and type agree;
        // a number of two accounts names neither.
        {"one number, two account types",
         {"111", "111 SAVINGS", "111"},
         {"111 (CHECKING)", "111 (SAVINGS)"},
         {"111 (CHECKING)", "111 (SAVINGS)", "111 (CHECKING)"},
         {"-"}},
        {"one number at two banks",
         {"9/111", "10/111"},
         {"111 (9)", "111 (10)"},
         {"111 (9)", "111 (10)"},
         {"-"}},
        {"one number at two banks, another number beside",
         {"9/111 SAVINGS", "10/111", "9/222"},
         {"111 (9, SAVINGS)", "111 (10, CHECKING)", "222"},
         {"111 (9, SAVINGS)", "111 (10, CHECKING)", "222"},
         {"222"}},
        // The program's own label says which account a block was written
        // from; any other writer's note leaves blocks of one account together.
        {"the program's own blocks of two accounts of one number",
         {"111#TW3", "111#TW4", "111#TW3"},
         {"111", "111'"},
         {"111", "111'", "111"},
         {"-"}},
        {"a bank's own notes on blocks of one account",
         {"111#A1", "111#B2"},
         {"111"},
         {"111", "111"}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        QString statements;
        for (const char *number : c.numbers)
            statements += withAccount(number, one);
        auto parser = parseOFX(v1File(statements));
        EXPECT_EQ(parser->statements(), c.labels);
        QStringList numbered = parser->statementNumbers().keys();
        numbered.sort();
        QStringList expected = c.numbered;
        if (expected.isEmpty()) {
            for (const QString &label : c.labels)
                if (!label.startsWith(QLatin1String("statement ")))
                    expected.append(label);
        }
        expected.removeAll(QStringLiteral("-"));
        expected.sort();
        EXPECT_EQ(numbered, expected);
        QStringList rowLabels;
        for (const QStringList &row : parser->rows())
            rowLabels.append(row.value(4));
        EXPECT_EQ(rowLabels, c.rowLabels);
        EXPECT_TRUE(parser->notes().isEmpty()) << parser->notes().join(u'\n').toStdString();
    }
    // One statement: no labels.
    EXPECT_TRUE(parseOFX(v1File(withAccount("111", one)))->statements().isEmpty());
}

// A file that gives no rows says why.
TEST(OFXParserTest, AFileThatGivesNoRowsSaysWhy)
{
    const QByteArray whole = v1File(statement("USD", transaction("DEBIT", "-1.00")));
    const QByteArray card = QByteArray(whole).replace("BANKMSGSRSV1", "CREDITCARDMSGSRSV1");
    const QByteArray doctype =
        "<?xml version=\"1.0\"?><!DOCTYPE OFX [<!ENTITY a \"b\">]><OFX></OFX>";
    for (const QByteArray &file : {whole.left(whole.size() / 2), card, doctype}) {
        auto parser = parseOFX(file);
        EXPECT_TRUE(parser->rows().isEmpty());
        EXPECT_FALSE(parser->notes().isEmpty()) << file.left(60).constData();
    }
}

// A currency per transaction widens no row beyond its own amounts, and the
// number of currency columns is bounded: the parse stays linear.
TEST(OFXParserTest, ACurrencyPerTransactionKeepsRowsNarrow)
{
    QString rows;
    for (int i = 0; i < 3000; ++i) {
        const QString code = QStringLiteral("%1%2%3")
                                 .arg(QChar('A' + i % 26))
                                 .arg(QChar('A' + (i / 26) % 26))
                                 .arg(QChar('A' + i / 676));
        rows += transaction(
            "DEBIT", "-1.00",
            QStringLiteral("<CURRENCY>\r\n<CURRATE>2\r\n<CURSYM>%1\r\n</CURRENCY>\r\n").arg(code));
    }
    auto parser = parseOFX(v1File(statement("USD", rows)));
    ASSERT_EQ(parser->rows().size(), 3000);
    qsizetype widest = 0;
    for (const QStringList &row : parser->rows())
        widest = std::max(widest, row.size());
    EXPECT_LE(widest, 4 + 41);
    EXPECT_LE(parser->columns()->size(), 4 + 40);
    EXPECT_FALSE(parser->notes().isEmpty());
}

TEST(OFXParserTest, PayeesAndMemosAreTrimmedAndTheirLineBreaksFolded)
{
    auto parser = parseOFX(v1File(statement(
        "USD", transaction(
                   "DEBIT", "-1.00",
                   QStringLiteral("<NAME>ACME  STORE   \r\n<MEMO>Card 1234\n     Ref 99  \r\n")))));
    ASSERT_EQ(parser->rows().size(), 1);
    EXPECT_EQ(parser->rows().constFirst().at(1), QStringLiteral("ACME  STORE"));
    EXPECT_EQ(parser->rows().constFirst().at(2), QStringLiteral("Card 1234 Ref 99"));
}

// A transaction whose date is impossible, garbled or missing is dated today,
// and the notes name its row and what the file said.
TEST(OFXParserTest, TransactionsWithoutAReadableDateAreNamed)
{
    TWFixedClock clock(2024, 6, 15);
    const auto posted = [](const char *date) {
        QString text = QStringLiteral("<STMTTRN>\r\n<TRNTYPE>DEBIT\r\n");
        if (date)
            text += QStringLiteral("<DTPOSTED>%1\r\n").arg(QString::fromLatin1(date));
        return text + QStringLiteral("<TRNAMT>-1.00\r\n</STMTTRN>\r\n");
    };
    auto parser = parseOFX(v1File(statement("USD", posted("20240102") + posted("20240231") +
                                                       posted("2024AB01") + posted(nullptr))));
    ASSERT_EQ(parser->rows().size(), 4);
    const QString today = TWImportValues::dateText(QDate(2024, 6, 15));
    for (int i = 1; i < 4; ++i)
        EXPECT_EQ(parser->rows().at(i).at(0), today) << i;
    ASSERT_EQ(parser->notes().size(), 1);
    const QString &note = parser->notes().constFirst();
    for (const char *expected :
         {"row 2, Date: 20240231", "row 3, Date: 2024AB01", "row 4, Date: (empty)"})
        EXPECT_TRUE(note.contains(QString::fromLatin1(expected))) << note.toStdString();
    EXPECT_FALSE(note.contains(QStringLiteral("row 1"))) << note.toStdString();
}

// A file full of garbage dates still gives a note a person can read: each value shortened, and
// only the first rows named, then how many more there are.
TEST(OFXParserTest, ANoteOfManyLongDatesStaysShort)
{
    TWFixedClock clock(2024, 6, 15);
    const QString garbage(100000, QLatin1Char('x'));
    QString transactions;
    for (int i = 0; i < 30; ++i)
        transactions += QStringLiteral("<STMTTRN>\r\n<TRNTYPE>DEBIT\r\n<DTPOSTED>%1\r\n"
                                       "<TRNAMT>-1.00\r\n</STMTTRN>\r\n")
                            .arg(garbage);
    auto parser = parseOFX(v1File(statement("USD", transactions)));
    ASSERT_EQ(parser->rows().size(), 30);
    ASSERT_EQ(parser->notes().size(), 1);
    const QString &note = parser->notes().constFirst();
    EXPECT_LT(note.size(), 3000) << note.size();
    EXPECT_TRUE(note.contains(QString(60, QLatin1Char('x')) + QChar(0x2026)));
    EXPECT_TRUE(note.contains(QStringLiteral("row 20, Date:")));
    EXPECT_FALSE(note.contains(QStringLiteral("row 21, Date:")));
    EXPECT_TRUE(note.contains(QStringLiteral("and 10 more"))) << note.left(200).toStdString();
}
