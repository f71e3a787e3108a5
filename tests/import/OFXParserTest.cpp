#include "ImportTestSupport.h"
#include "TWParserOFX.h"

#include <QElapsedTimer>

#include <gtest/gtest.h>

namespace {

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
        row({"12/21/19", "Refund", "Returned éclair", "USD", "25.00", ""}),
    };
    EXPECT_EQ(v1->rows(), expected);
    EXPECT_EQ(v2->columns(), v1->columns());
    EXPECT_EQ(v2->rows(), v1->rows());
}

TEST(OFXParserTest, CurrencyAndOriginalCurrency)
{
    const QString earlier = transaction("OTHER", "-3.00");
    auto currency = parseOFX(v1File(statement(
        "USD", earlier + transaction("OTHER", "10.00",
                                     "<CURRENCY>\r\n<CURRATE>1.10\r\n<CURSYM>EUR\r\n</CURRENCY>\r\n"))));
    ASSERT_EQ(currency->rows().size(), 2);
    // Rows read before the second currency was met are shorter.
    EXPECT_EQ(currency->rows()[0], row({"1/2/20", "", "", "USD", "-3.00"}));
    EXPECT_EQ(currency->rows()[1], row({"1/2/20", "", "", "EUR", "11.00", "10.00"}));

    auto original = parseOFX(v1File(statement(
        "USD", transaction("OTHER", "10.00",
                           "<ORIGCURRENCY>\r\n<CURRATE>1.10\r\n<CURSYM>EUR\r\n</ORIGCURRENCY>\r\n"))));
    EXPECT_EQ(original->rows(), QList<QStringList>{row({"1/2/20", "", "", "EUR", "10.00", "9.09"})});

    // Halves round away from zero, exactly (no binary rate in between).
    auto half = parseOFX(v1File(statement(
        "USD", transaction("OTHER", "-0.01",
                           "<CURRENCY>\r\n<CURRATE>1.5\r\n<CURSYM>EUR\r\n</CURRENCY>\r\n"))));
    EXPECT_EQ(half->rows()[0][4], QStringLiteral("-0.02"));
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

TEST(OFXParserTest, EntitiesInVersionOneText)
{
    auto parser = parseOFX(v1File(statement(
        "USD", transaction("OTHER", "1", "<NAME>AT&amp;T\r\n<MEMO>Tom & Jerry&nbsp;x\r\n") +
                   transaction("OTHER", "2", "<NAME>Caf&#xE9; &#233; &lt;b&gt;\r\n<MEMO>&#0; a>b\r\n"))));
    ASSERT_EQ(parser->rows().size(), 2);
    EXPECT_EQ(parser->rows()[0][1], QStringLiteral("AT&T"));
    EXPECT_EQ(parser->rows()[0][2], QStringLiteral("Tom & Jerry&nbsp;x"));
    EXPECT_EQ(parser->rows()[1][1], QString::fromUtf8("Café é <b>"));
    EXPECT_EQ(parser->rows()[1][2], QStringLiteral("&#0; a>b"));
}

TEST(OFXParserTest, ElementsClosedInSomePlacesOnly)
{
    // One explicitly closed NAME does not make every other NAME an aggregate.
    auto parser = parseOFX(v1File(statement(
        "USD", transaction("CREDIT", "1", "<NAME>Closed</NAME>\r\n<MEMO>m\r\n") +
                   transaction("CREDIT", "2", "<NAME>Open\r\n<MEMO>n</MEMO>\r\n") +
                   // A leaf directly followed by the next tag is empty.
                   transaction("CREDIT", "3", "<NAME><MEMO>o\r\n"))));
    const QList<QStringList> expected{row({"1/2/20", "Closed", "m", "USD", "1"}),
                                      row({"1/2/20", "Open", "n", "USD", "2"}),
                                      row({"1/2/20", "", "o", "USD", "3"})};
    EXPECT_EQ(parser->rows(), expected);

    EXPECT_EQ(TWParserOFX::convertToXML(
                  QStringLiteral("HEADER:1\r\n<OFX>\r\n<TRNAMT>-12.50\r\n<NAME>x</NAME>\r\n</OFX>")),
              QStringLiteral("<OFX><TRNAMT>-12.50</TRNAMT><NAME>x</NAME></OFX>"));
}

TEST(OFXParserTest, StatementsCurrenciesAndOpenPoints)
{
    TWFixedClock clock(2021, 6, 15);
    auto parser = parseOFX(v1File(
        // No currency yet: the plain amount column and an empty unit; a
        // transaction without TRNAMT gives no row; a short date is today.
        statement(nullptr, transaction("OTHER", "1") +
                               QStringLiteral("<STMTTRN>\r\n<NAME>none\r\n</STMTTRN>\r\n") +
                               QStringLiteral("<STMTTRN>\r\n<DTPOSTED>2020\r\n<TRNAMT>4\r\n"
                                              "</STMTTRN>\r\n")) +
        statement("EUR", transaction("OTHER", "2,50")) +
        // Without CURDEF the previous statement's currency holds.
        statement(nullptr, transaction("OTHER", "3")) + statement("GBP", transaction("OTHER", "-4"))));
    EXPECT_EQ(parser->columns(),
              kFixedColumns + QStringList({"Amount", "Amount (EUR)", "Amount (GBP)"}));
    const QList<QStringList> expected{
        row({"1/2/20", "", "", "", "1"}), row({"6/15/21", "", "", "", "4"}),
        row({"1/2/20", "", "", "EUR", "", "2.50"}), row({"1/2/20", "", "", "EUR", "", "3"}),
        row({"1/2/20", "", "", "GBP", "", "", "-4"})};
    EXPECT_EQ(parser->rows(), expected);
}

TEST(OFXParserTest, AmountsInTheUsersLocale)
{
    TWLocaleGuard locale(QStringLiteral("de_DE"));
    auto parser = parseOFX(v1File(statement(
        "EUR", transaction("DEBIT", "1,234.5") + transaction("CREDIT", "-7,25") +
                   transaction("OTHER", "n/a"))));
    ASSERT_EQ(parser->rows().size(), 3);
    EXPECT_EQ(parser->rows()[0][0], QStringLiteral("02.01.20"));
    EXPECT_EQ(parser->rows()[0][4], QStringLiteral("-1234,5"));
    EXPECT_EQ(parser->rows()[1][4], QStringLiteral("7,25"));
    EXPECT_EQ(parser->rows()[2][4], QStringLiteral("n/a"));
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
        bomb += QByteArray("<!ENTITY ") + c + " \"" + QByteArray(10, '&').replace("&", QByteArray("&") + char(c - 1) + ";") + "\">\n";
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

TEST(OFXParserTest, VersionHeader)
{
    EXPECT_EQ(TWParserOFX::v1Version(QStringLiteral("OFXHEADER:100\r\nDATA:OFXSGML\r\n<OFX>")), 100);
    EXPECT_EQ(TWParserOFX::v1Version(QStringLiteral("OFXHEADER:  102<OFX>")), 102);
    EXPECT_EQ(TWParserOFX::v1Version(QStringLiteral("OFXHEADER:200\n<OFX>")), 200);
    EXPECT_EQ(TWParserOFX::v1Version(QStringLiteral("OFXHEADER:abc\n<OFX>")), 0);
    EXPECT_EQ(TWParserOFX::v1Version(QStringLiteral("OFXHEADER:100\n<ofx>")), 0);
    EXPECT_EQ(TWParserOFX::v1Version(QStringLiteral("<OFX>OFXHEADER:100")), 0);
    EXPECT_EQ(TWParserOFX::v1Version(QStringLiteral("OFXHEADER:99999999999999\n<OFX>")), 999999999);
    // A version 1 header with another number is read as XML, and fails.
    QByteArray v200 = twImportData("statement-v1.ofx");
    v200.replace("OFXHEADER:100", "OFXHEADER:200");
    EXPECT_TRUE(parseOFX(v200)->rows().isEmpty());
}

TEST(OFXParserTest, DeclaredEncodingDoesNotMisreadTheText)
{
    QByteArray latin1 = twImportData("statement-v2.ofx");
    latin1.replace("encoding=\"UTF-8\"", "encoding=\"ISO-8859-1\"");
    latin1.replace("<NAME>Bakery</NAME>", "<NAME>B\xE4" "ckerei</NAME>");
    auto parser = parseOFX(latin1);
    ASSERT_EQ(parser->rows().size(), 5);
    EXPECT_EQ(parser->rows()[2][1], QString::fromUtf8("Bäckerei"));
}

} // namespace
