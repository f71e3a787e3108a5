// Seeded mutations of the data files through every parser: whatever a damaged
// or hostile file holds, a parse ends quickly, nothing crashes and the rows keep
// their shape. The seed is fixed, so a failure repeats; longer runs with the
// sanitizers are the libFuzzer targets (TW_FUZZ).

#include "ImportTestSupport.h"
#include "import/core/TWParserCSV.h"
#include "import/core/TWParserOFX.h"
#include "import/core/TWParserQIF.h"

#include <QElapsedTimer>

#include <gtest/gtest.h>

#include <functional>
#include <random>

namespace
{

constexpr int kRunsPerParser = 3000;
constexpr qint64 kSlowParseMilliseconds = 1000;

struct Format {
    const char *name;
    std::function<std::shared_ptr<TWParser>()> make;
    QList<QByteArray> seeds;
    QList<QByteArray> specials;
};

QList<QByteArray> dataFiles()
{
    return {twImportData("statement.csv"), twImportData("accounts.qif"),
            twImportData("statement-v1.ofx"), twImportData("statement-v2.ofx")};
}

Format csvFormat()
{
    return {"csv",
            [] { return TWParserCSV::parser(); },
            {twImportData("statement.csv")},
            {",", "\"", "\"\"", "\r", "\n", "\r\n", "\xC2\x85", "\xE2\x80\xA8", "\xEF\xBB\xBF",
             "\xFF\xFE", "\x80", "\xC3"}};
}

Format qifFormat()
{
    return {"qif",
            [] { return TWParserQIF::parser(); },
            {twImportData("accounts.qif")},
            {"!",
             "^",
             "\n",
             "\r",
             "!Type:Bank\n",
             "!Account\n",
             "!Type:CCard \n",
             "D",
             "T",
             "S",
             "$",
             "E",
             "L[",
             "]",
             "'",
             "+",
             "-",
             "/",
             "C*",
             "N",
             "^\n"}};
}

Format ofxFormat()
{
    return {"ofx",
            [] { return TWParserOFX::parser(); },
            {twImportData("statement-v1.ofx"), twImportData("statement-v2.ofx")},
            {"<",
             ">",
             "</",
             "&",
             "&amp;",
             "&#",
             "&#x",
             ";",
             "\r\n",
             "<STMTTRN>",
             "</STMTTRN>",
             "<TRNAMT>",
             "<CURRENCY>",
             "<ORIGCURRENCY>",
             "<CURRATE>",
             "<CURSYM>",
             "<NAME>",
             "</NAME>",
             "<![CDATA[",
             "]]>",
             "<!ENTITY a \"&a;\">",
             "<?xml",
             "OFXHEADER:100",
             "<OFX>",
             "<BANKMSGSRSV1>",
             "<STMTTRNRS>",
             "<STMTRS>",
             "<BANKTRANLIST>"}};
}

class Mutator
{
public:
    Mutator(std::uint32_t seed, QList<QByteArray> pool) : m_random(seed), m_pool(std::move(pool)) {}

    QByteArray mutate(QByteArray data, const QList<QByteArray> &specials)
    {
        const int steps = 1 + pick(4);
        for (int step = 0; step < steps; ++step) {
            const qsizetype at = data.isEmpty() ? 0 : pick(data.size() + 1);
            switch (pick(6)) {
            case 0: // flip bits
                for (int i = 0, n = 1 + pick(8); i < n && !data.isEmpty(); ++i)
                    data[pick(data.size())] ^= char(1 << pick(8));
                break;
            case 1: { // insert random bytes
                QByteArray bytes;
                for (int i = 0, n = 1 + pick(16); i < n; ++i)
                    bytes.append(char(pick(256)));
                data.insert(at, bytes);
                break;
            }
            case 2: // cut a piece, or the rest
                data.remove(at, pick(2) ? pick(64) : data.size());
                break;
            case 3: { // splice in a piece of another file
                const QByteArray &other = m_pool[pick(m_pool.size())];
                const qsizetype from = pick(other.size());
                data.insert(at, other.mid(from, 1 + pick(256)));
                break;
            }
            case 4: { // a run of the format's special characters
                QByteArray run;
                for (int i = 0, n = 1 + pick(pick(2) ? 8 : 300); i < n; ++i)
                    run.append(specials[pick(specials.size())]);
                data.insert(at, run);
                break;
            }
            default: // repeat a piece of the data itself
                data.insert(at, data.mid(pick(data.size() + 1), 1 + pick(512)));
                break;
            }
        }
        return data.left(512 * 1024);
    }

private:
    int pick(qsizetype bound)
    {
        return bound <= 0 ? 0
                          : int(std::uniform_int_distribution<qsizetype>(0, bound - 1)(m_random));
    }

    std::mt19937 m_random;
    QList<QByteArray> m_pool;
};

// Shape checks that hold for every input.
void checkShape(const Format &format, const TWParser &parser, const QByteArray &input)
{
    const std::string name = format.name;
    if (name == "csv") {
        if (!parser.columns()) {
            EXPECT_TRUE(parser.rows().isEmpty());
        }
        return;
    }
    ASSERT_TRUE(parser.columns().has_value()) << name;
    for (const QStringList &row : parser.rows()) {
        if (name == "qif")
            ASSERT_EQ(row.size(), 7) << input.toBase64().toStdString();
        else
            ASSERT_TRUE(row.size() >= 5 && row.size() <= parser.columns()->size())
                << input.toBase64().toStdString();
    }
}

class ImportFuzzTest : public ::testing::TestWithParam<int>
{
};

TEST_P(ImportFuzzTest, MutatedFilesParseQuicklyAndKeepTheirShape)
{
    const Format format = GetParam() == 0   ? csvFormat()
                          : GetParam() == 1 ? qifFormat()
                                            : ofxFormat();
    Mutator mutator(20261207u + std::uint32_t(GetParam()), dataFiles());
    qint64 slowest = 0;
    qsizetype rows = 0;
    for (int run = 0; run < kRunsPerParser; ++run) {
        const QByteArray input =
            mutator.mutate(format.seeds[run % format.seeds.size()], format.specials);
        QElapsedTimer timer;
        timer.start();
        auto parser = format.make();
        parser->parse(input);
        const qint64 elapsed = timer.elapsed();
        slowest = std::max(slowest, elapsed);
        ASSERT_LT(elapsed, kSlowParseMilliseconds) << input.toBase64().toStdString();
        rows += parser->rows().size();
        checkShape(format, *parser, input);
        if (HasFatalFailure())
            return;
    }
    // Mutations that keep most of a file must still give rows now and then.
    EXPECT_GT(rows, 0);
    RecordProperty("slowestParseMs", int(slowest));
}

INSTANTIATE_TEST_SUITE_P(Parsers, ImportFuzzTest, ::testing::Values(0, 1, 2),
                         [](const ::testing::TestParamInfo<int> &info) {
                             return std::string(info.param == 0   ? "CSV"
                                                : info.param == 1 ? "QIF"
                                                                  : "OFX");
                         });

// Long runs of one special character are where a reader that rescans its input
// turns quadratic.
TEST_F(ImportFuzzTest, LongRunsOfSpecialCharactersStayFast)
{
    for (const Format &format : {csvFormat(), qifFormat(), ofxFormat()}) {
        for (const QByteArray &special : format.specials) {
            const QByteArray input =
                format.seeds.first().left(200) + special.repeated(200000 / special.size());
            QElapsedTimer timer;
            timer.start();
            auto parser = format.make();
            parser->parse(input);
            EXPECT_LT(timer.elapsed(), 2000) << format.name << " " << special.toStdString();
            checkShape(format, *parser, input);
        }
    }
}

} // namespace
