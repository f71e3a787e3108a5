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
