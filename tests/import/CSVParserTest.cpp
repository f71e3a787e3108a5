#include "ImportTestSupport.h"
#include "import/core/TWImportText.h"
#include "import/core/TWParserCSV.h"

#include <gtest/gtest.h>

namespace
{

struct CSVCase {
    const char *name;
    QByteArray data;
    std::optional<QStringList> columns;
    QList<QStringList> rows;
};

void PrintTo(const CSVCase &c, std::ostream *os)
{
    *os << c.name;
}

class CSVParserTest : public ::testing::TestWithParam<CSVCase>
{
};

TEST_P(CSVParserTest, ReadsColumnsAndRows)
{
    const CSVCase &c = GetParam();
    auto parser = TWParserCSV::parser();
    parser->parse(c.data);
    EXPECT_EQ(parser->columns(), c.columns);
    EXPECT_EQ(parser->rows(), c.rows);
    for (const QStringList &r : parser->rows()) {
        for (const QString &field : r)
            EXPECT_FALSE(field.isNull()) << "fields are never missing entries";
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CSVParserTest,
    ::testing::Values(CSVCase{"empty", "", std::nullopt, {}},
                      CSVCase{"only line breaks", "\r\n\n\r\n", std::nullopt, {}},
                      CSVCase{"header only", "a,b\r\n", row({"a", "b"}), {}},
                      CSVCase{
                          "no final line break", "a,b\nc,d", row({"a", "b"}), {row({"c", "d"})}},
                      CSVCase{"blank lines between rows",
                              "h\n\n\r\nx\r\n\r\ny\n",
                              row({"h"}),
                              {row({"x"}), row({"y"})}},
                      CSVCase{"trailing comma and a lone comma",
                              "h\nx,\n,\n",
                              row({"h"}),
                              {row({"x", ""}), row({"", ""})}},
                      CSVCase{"quotes inside fields",
                              "h\nab\"c,d\"e,\"\",\"say \"\"hi\"\"\"\n",
                              row({"h"}),
                              {row({"abc,de", "", "say \"hi\""})}},
                      CSVCase{"line break in quotes",
                              "h\n\"one\r\ntwo\",x\ny\n",
                              row({"h"}),
                              {row({"one\r\ntwo", "x"}), row({"y"})}},
                      CSVCase{"spaces stay, only commas separate",
                              "h\n a , b \n1;2;3\t4\n",
                              row({"h"}),
                              {row({" a ", " b "}), row({"1;2;3\t4"})}},
                      CSVCase{"unclosed quote runs to the end",
                              "h\nx,\"open, and\nmore",
                              row({"h"}),
                              {row({"x", "open, and\nmore"})}},
                      CSVCase{"rows are not padded",
                              "a,b,c\n1\n1,2,3,4\n",
                              row({"a", "b", "c"}),
                              {row({"1"}), row({"1", "2", "3", "4"})}},
                      CSVCase{"unicode line separators",
                              "h\xE2\x80\xA8x\xC2\x85y",
                              row({"h"}),
                              {row({"x"}), row({"y"})}}),
    [](const ::testing::TestParamInfo<CSVCase> &info) {
        std::string name;
        for (const char *c = info.param.name; *c; ++c)
            name += std::isalnum(static_cast<unsigned char>(*c)) ? *c : '_';
        return name;
    });

TEST_F(CSVParserTest, ByteOrderMarksAndWindows1252)
{
    auto parse = [](const QByteArray &data) {
        auto parser = TWParserCSV::parser();
        parser->parse(data);
        return parser;
    };
    // The UTF-8 mark does not become part of the first column name.
    auto utf8 = parse("\xEF\xBB\xBFName,Caf\xC3\xA9\nx,y\n");
    EXPECT_EQ(utf8->columns(), QStringList({"Name", QString::fromUtf8("Café")}));

    const QString text = QString::fromUtf8("Name,Betrag\nMüller,€5\n");
    QByteArray le("\xFF\xFE", 2);
    QByteArray be("\xFE\xFF", 2);
    for (QChar c : text) {
        le.append(char(c.unicode() & 0xFF)).append(char(c.unicode() >> 8));
        be.append(char(c.unicode() >> 8)).append(char(c.unicode() & 0xFF));
    }
    for (const QByteArray &data : {le, be}) {
        auto parser = parse(data);
        EXPECT_EQ(parser->columns(), QStringList({"Name", "Betrag"}));
        EXPECT_EQ(parser->rows(), QList<QStringList>{row({"Müller", "€5"})});
    }

    // Not UTF-8: read as Windows-1252, including its 0x80-0x9F characters.
    auto legacy = parse("Name,Amount\nM\xFCller \x93quoted\x94,\x80 5\x85\n");
    EXPECT_EQ(legacy->rows(), QList<QStringList>{row({"Müller “quoted”", "€ 5…"})});
}

TEST_F(CSVParserTest, StatementWithQuotedFields)
{
    auto parser = TWParserCSV::parser();
    parser->parse(twImportData("statement.csv"));
    EXPECT_EQ(parser->columns(), QStringList({"Date", "Description", "Amount"}));
    const QList<QStringList> expected{row({"3/14/19", "Grocer, Main St", "-45.00"}),
                                      row({"3/15/19", "He said \"hi\"", "5"}),
                                      row({"3/16/19", "Two\r\nlines", "12"})};
    EXPECT_EQ(parser->rows(), expected);
}

} // namespace

TEST_F(CSVParserTest, AQuoteNeverClosedIsNamedWithItsLine)
{
    auto parser = TWParserCSV::parser();
    parser->parse("Date,Payee\r\n6/1/24,Shop\r\n6/2/24,\"Cafe\r\n6/3/24,Bar\r\n");
    ASSERT_EQ(parser->notes().size(), 1);
    EXPECT_TRUE(parser->notes().constFirst().contains(QStringLiteral("line 3")))
        << parser->notes().constFirst();
    auto clean = TWParserCSV::parser();
    clean->parse("Date,Payee\r\n6/1/24,\"Shop, Inc\"\r\n");
    EXPECT_TRUE(clean->notes().isEmpty());
}
