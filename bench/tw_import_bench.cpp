// Times the import parsers on large files: "tw-import-bench parse" writes a
// 50,000-row CSV file and 20,000-transaction QIF and OFX (version 1) files to a
// temporary folder, reads them back and parses each, then does the same with a
// tenth of the rows to show that the time grows linearly. Best of three runs.
//
// "tw-import-bench run --transactions N" builds the store benchmark's business
// of N transactions and imports a 50,000-row CSV file into it, half of whose
// rows copy stored transactions: parsing, mapping and processing, and the
// duplicate test the selection sheet makes; then the same with 5,000 rows.

#include "TWBenchBusiness.h"
#include "import/core/TWImportDuplicates.h"
#include "import/core/TWImportTransactions.h"
#include "import/core/TWImportValues.h"
#include "import/core/TWParserCSV.h"
#include "import/core/TWParserOFX.h"
#include "import/core/TWParserQIF.h"
#include "model/TWFormatter.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace
{

QByteArray csvFile(int rows)
{
    QByteArray data = "Date,Payee,Memo,Amount,Account\r\n";
    for (int i = 0; i < rows; ++i) {
        data += QByteArray::number(1 + i % 12) + '/' + QByteArray::number(1 + i % 28) + "/2024,";
        data += i % 7 == 0 ? "\"Store, number " + QByteArray::number(i) + "\""
                           : "Payee " + QByteArray::number(i % 500);
        data += ",\"Memo with \"\"quotes\"\" " + QByteArray::number(i) + "\",";
        data += (i % 3 ? "-" : "") + QByteArray::number(i % 1000) + '.' +
                QByteArray::number(10 + i % 90);
        data += ",Checking\r\n";
    }
    return data;
}

QByteArray qifFile(int transactions)
{
    QByteArray data = "!Account\nNChecking\nTBank\n^\n!Type:Bank\n";
    for (int i = 0; i < transactions; ++i) {
        data +=
            'D' + QByteArray::number(1 + i % 12) + '/' + QByteArray::number(1 + i % 28) + "'24\n";
        data += "T-" + QByteArray::number(i % 1000) + ".25\nPPayee " + QByteArray::number(i % 500) +
                "\n";
        data += "MMemo " + QByteArray::number(i) + "\nCX\n";
        if (i % 10 == 0)
            data += "LGroceries\nSFood\n$-100.00\nSHousehold\nEBulbs\n$-" +
                    QByteArray::number(i % 1000) + ".25\n";
        else
            data += "LFood\n";
        data += "^\n";
    }
    return data;
}

// `perTransactionCurrency`: every transaction names a currency of its own (a
// file that would make every row as wide as all the currencies before it).
QByteArray ofxFile(int transactions, bool perTransactionCurrency = false)
{
    QByteArray data = "OFXHEADER:100\r\nDATA:OFXSGML\r\nVERSION:102\r\n\r\n<OFX>\r\n"
                      "<BANKMSGSRSV1>\r\n<STMTTRNRS>\r\n<TRNUID>1\r\n<STMTRS>\r\n<CURDEF>USD\r\n"
                      "<BANKTRANLIST>\r\n<DTSTART>20240101\r\n<DTEND>20241231\r\n";
    for (int i = 0; i < transactions; ++i) {
        data += "<STMTTRN>\r\n<TRNTYPE>" + QByteArray(i % 2 ? "DEBIT" : "CREDIT") +
                "\r\n<DTPOSTED>2024" + QByteArray::number(1 + i % 12).rightJustified(2, '0') +
                QByteArray::number(1 + i % 28).rightJustified(2, '0') + "120000[-5:EST]\r\n";
        data += "<TRNAMT>" + QByteArray::number(i % 1000) + ".50\r\n<FITID>" +
                QByteArray::number(i) + "\r\n<NAME>Payee " + QByteArray::number(i % 500) +
                " &amp; Co\r\n<MEMO>Memo " + QByteArray::number(i) + "\r\n";
        if (perTransactionCurrency) {
            const char code[4] = {char('A' + i % 26), char('A' + i / 26 % 26),
                                  char('A' + i / 676 % 26), 0};
            data += "<CURRENCY>\r\n<CURRATE>1.0825\r\n<CURSYM>" + QByteArray(code) +
                    "\r\n</CURRENCY>\r\n";
        } else if (i % 20 == 0) {
            data += "<CURRENCY>\r\n<CURRATE>1.0825\r\n<CURSYM>EUR\r\n</CURRENCY>\r\n";
        }
        data += "</STMTTRN>\r\n";
    }
    data += "</BANKTRANLIST>\r\n</STMTRS>\r\n</STMTTRNRS>\r\n</BANKMSGSRSV1>\r\n</OFX>\r\n";
    return data;
}

template <typename Parser> qint64 timeParse(const QString &path, qsizetype expectedRows)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray data = file.readAll();
    qint64 best = -1;
    for (int run = 0; run < 3; ++run) {
        QElapsedTimer timer;
        timer.start();
        auto parser = Parser::parser();
        parser->parse(data);
        const qint64 elapsed = timer.elapsed();
        if (parser->rows().size() != expectedRows) {
            std::fprintf(stderr, "%s: %lld rows, expected %lld\n", qPrintable(path),
                         static_cast<long long>(parser->rows().size()),
                         static_cast<long long>(expectedRows));
            return -1;
        }
        if (best < 0 || elapsed < best)
            best = elapsed;
    }
    return best;
}

bool writeFile(const QString &path, const QByteArray &data)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(data) == data.size();
}

bool runParse(const QTemporaryDir &dir, int divisor)
{
    const int csvRows = 50000 / divisor;
    const int transactions = 20000 / divisor;
    const QString csv = dir.filePath(QStringLiteral("bench.csv"));
    const QString qif = dir.filePath(QStringLiteral("bench.qif"));
    const QString ofx = dir.filePath(QStringLiteral("bench.ofx"));
    const QString currencies = dir.filePath(QStringLiteral("currencies.ofx"));
    if (!writeFile(csv, csvFile(csvRows)) || !writeFile(qif, qifFile(transactions)) ||
        !writeFile(ofx, ofxFile(transactions)) ||
        !writeFile(currencies, ofxFile(transactions, true)))
        return false;
    // A split record gives a head row, the bank side and two split rows.
    const qsizetype qifRows = transactions + (transactions + 9) / 10 * 3;
    const qint64 times[4] = {timeParse<TWParserCSV>(csv, csvRows),
                             timeParse<TWParserQIF>(qif, qifRows),
                             timeParse<TWParserOFX>(ofx, transactions),
                             timeParse<TWParserOFX>(currencies, transactions)};
    const char *names[4] = {"csv", "qif", "ofx", "ofx, a currency per transaction"};
    const int counts[4] = {csvRows, transactions, transactions, transactions};
    for (int i = 0; i < 4; ++i) {
        if (times[i] < 0)
            return false;
        if (divisor == 1)
            std::printf("parse %s: %lld ms\n", names[i], static_cast<long long>(times[i]));
        else
            std::printf("parse %s (%d %s): %lld ms\n", names[i], counts[i],
                        i == 0 ? "rows" : "transactions", static_cast<long long>(times[i]));
    }
    return true;
}

QByteArray csvField(const QString &text)
{
    QString quoted = text;
    quoted.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return '"' + quoted.toUtf8() + '"';
}

// `rows` rows: every second one a stored plain transaction written back (date,
// payee, accounts, amount in its unit), the others new ones between the same
// accounts a few days later.
QByteArray importFile(const TWBusiness &business, int rows)
{
    const TWFormatter &formatter = TWFormatter::formatter();
    const QLocale locale = formatter.locale();
    QByteArray data = "Date,Payee,Memo,Account 1,Account 2,Amount,Unit\r\n";
    int written = 0;
    // A small business gives fewer copies than rows: later passes add new rows only.
    for (int pass = 0; written < rows && pass < 100; ++pass) {
        for (const TWTransactionPtr &t : business.transactions()) {
            if (written >= rows)
                break;
            const TWAccountPtr account1 = business.accountWithIdentifier(t->account1Identifier());
            const TWAccountPtr account2 = business.accountWithIdentifier(t->account2Identifier());
            if (t->hasSplit() || !account1 || !account2 || !t->unit() || !t->date().isValid())
                continue;
            for (int copy = pass == 0 ? 0 : 1; copy < 2 && written < rows; ++copy, ++written) {
                const QDateTime date = copy == 0 ? t->date() : t->date().addDays(3 + pass);
                const qint64 total = copy == 0 ? t->total() : t->total() + 7;
                data += csvField(TWImportValues::dateText(date.date())) + ',' +
                        csvField(t->payee()) + ',' +
                        csvField(QStringLiteral("Row %1").arg(written)) + ',' +
                        csvField(account1->name()) + ',' + csvField(account2->name()) + ',' +
                        csvField(TWImportValues::amountText(
                            TWDecimal::fromMinorUnits(total, t->unit()->decimalPlaces()), locale)) +
                        ',' + t->unit()->code().toUtf8() + "\r\n";
            }
        }
    }
    return data;
}

bool runImport(TWBusiness &business, int rows)
{
    const QByteArray data = importFile(business, rows);
    QElapsedTimer timer;
    timer.start();
    auto parser = TWParserCSV::parser();
    parser->parse(data);
    const qint64 parseTime = timer.restart();
    if (parser->rows().size() != rows) {
        std::fprintf(stderr, "csv: %lld rows, expected %d\n",
                     static_cast<long long>(parser->rows().size()), rows);
        return false;
    }
    auto settings = TWImportTransactionsSettings::importTransactionsSettingsWithColumns(
        *parser->columns(), nullptr, business);
    auto importer =
        TWImportTransactions::importTransactionsWithRows(parser->rows(), settings, business);
    QString warnings;
    const bool complete = importer->processTransactions(&warnings);
    const qint64 processTime = timer.restart();
    const QList<bool> duplicates =
        TWImportDuplicates::transactions(business, importer->transactions());
    const qint64 duplicatesTime = timer.elapsed();
    const qsizetype found = std::count(duplicates.begin(), duplicates.end(), true);
    const char *suffix = rows == 50000 ? "" : " (5,000 rows)";
    std::printf("parse csv%s: %lld ms\n", suffix, static_cast<long long>(parseTime));
    std::printf("process%s: %lld ms\n", suffix, static_cast<long long>(processTime));
    std::printf("duplicates%s: %lld ms\n", suffix, static_cast<long long>(duplicatesTime));
    std::printf("  %lld transactions, %lld duplicates\n",
                static_cast<long long>(importer->transactions().size()),
                static_cast<long long>(found));
    if (!complete || importer->transactions().size() != rows) {
        std::fprintf(stderr, "%lld transactions, %lld duplicates of %d rows; %s\n",
                     static_cast<long long>(importer->transactions().size()),
                     static_cast<long long>(found), rows, qPrintable(warnings));
        return false;
    }
    return true;
}

int usage()
{
    std::fprintf(stderr, "usage: tw-import-bench parse | run [--transactions N]\n");
    return 2;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication application(argc, argv);
    if (argc >= 2 && std::strcmp(argv[1], "parse") == 0) {
        QTemporaryDir dir;
        if (!dir.isValid() || !runParse(dir, 1) || !runParse(dir, 10))
            return 1;
        return 0;
    }
    if (argc < 2 || std::strcmp(argv[1], "run") != 0)
        return usage();
    int transactions = 100000;
    for (int i = 2; i < argc; ++i) {
        if (std::strcmp(argv[i], "--transactions") == 0 && i + 1 < argc)
            transactions = std::atoi(argv[++i]);
        else
            return usage();
    }
    QTemporaryDir attachments;
    QElapsedTimer timer;
    timer.start();
    std::unique_ptr<TWBusiness> business = twBenchMakeBusiness({transactions, attachments.path()});
    if (!business)
        return 1;
    std::printf("business (%d transactions): %lld ms\n", transactions,
                static_cast<long long>(timer.elapsed()));
    return runImport(*business, 50000) && runImport(*business, 5000) ? 0 : 1;
}
