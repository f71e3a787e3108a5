// Files read back as the import sheet reads them: the program's own exports of
// several accounts are all duplicates of what the business holds, and
// amounts come in by the file's own rules, in the unit's places, whatever
// the window's locale.

#include "ImportProcessTestSupport.h"
#include "TWBenchSample.h"

#include "app/TWAlert.h"
#include "export/core/TWExportWriter.h"
#include "foundation/TWLocalized.h"
#include "import/core/TWImportDuplicates.h"
#include "import/ui/TWImportTransactionsController.h"
#include "import/ui/TWImportTransactionsSelectController.h"
#include "ledger/TWTransactionsController.h"
#include "model/TWExportSettings.h"
#include "model/TWFormatter.h"
#include "store/TWExportSettingsRecords.h"

#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>

namespace
{

struct ReadBack {
    TWTransactionList transactions;
    QList<bool> duplicates;
    QString warnings;
};

// Parsed by the parser the file's extension asks for, mapped by the guess
// with `account` chosen, processed, and tested for duplicates: what the
// sheets do.
ReadBack readBack(TWBusiness &business, const QString &path, const QByteArray &data,
                  const TWAccountPtr &account)
{
    const std::shared_ptr<TWParser> parser = TWImportTransactionsController::parserForPath(path);
    parser->parse(data);
    auto settings = twImportSettings(business, parser->columns().value_or(QStringList()), account,
                                     parser->dateFormats());
    auto importer = TWImportTransactions::importTransactionsWithParser(*parser, settings, business);
    ReadBack result;
    importer->processTransactions(&result.warnings);
    result.transactions = importer->transactions();
    result.duplicates = TWImportDuplicates::transactions(
        business, result.transactions, importer->openCounterparts(), importer->unlistedSplits());
    return result;
}

QByteArray exported(TWBusiness &business, const TWAccountList &accounts, TWExportFileType type,
                    const QString &path)
{
    TWExportTransactionsSettingsPtr settings = twDefaultExportTransactionsSettings(business);
    settings->setFileType(type);
    settings->setAccounts(accounts);
    settings->setIncludeAttachments(false);
    const TWTransactionList selected = business.transactionsForAccounts(
        std::optional<TWAccountList>(accounts), nullptr, settings->interval(),
        settings->intervalFromDate(), settings->intervalToDate(), nullptr);
    EXPECT_OK(TWExportWriter::writeTransactions(business, settings, selected, path, false));
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly));
    return file.readAll();
}

qsizetype offered(const QList<bool> &duplicates)
{
    return std::count(duplicates.cbegin(), duplicates.cend(), false);
}

// A file taken through both sheets with `account` chosen, every question
// answered with Continue, and Import pressed when it is enabled: the warnings
// shown, each row's amount into `account` (its total as `account` sees it)
// and tick, and what the business then holds besides what it held.
struct Sheets {
    QString warnings;
    QList<qint64> amounts;
    QList<bool> ticked;
    QList<qint64> stored;
};

Sheets throughTheSheets(TWBusiness &business, const QString &path, const QByteArray &data,
                        const TWAccountPtr &account)
{
    Sheets result;
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(data);
    file.close();
    twSetAlertPresenter([&result](const TWAlert &alert, TWAlertCompletion completion) {
        result.warnings += alert.informativeText;
        if (completion)
            completion(1000);
    });
    const qsizetype before = business.transactions().size();
    TWImportTransactionsController sheet;
    sheet.setBusiness(&business);
    sheet.setDefaultAccount(account);
    sheet.reset();
    sheet.importURL(QUrl::fromLocalFile(path));
    sheet.doParse(1);
    TWImportTransactionsSelectController *selection = sheet.selectController();
    EXPECT_TRUE(selection);
    if (selection) {
        const TWTransactionList ticked =
            selection->importTransactionsController()->importSelectedTransactions();
        const qint32 own = account->identifier();
        const auto into = [own](const TWTransaction &t) {
            return t.account1Identifier() == own ? t.total() : -t.total();
        };
        for (const TWTransactionPtr &t : selection->transactions()) {
            result.amounts.append(into(*t));
            result.ticked.append(ticked.contains(t));
        }
        if (selection->importButton()->isEnabled())
            selection->importButton()->click();
        else
            selection->doImport(0);
        for (qsizetype i = before; i < business.transactions().size(); ++i)
            result.stored.append(into(*business.transactions().at(i)));
    }
    twSetAlertPresenter({});
    return result;
}

} // namespace

// Every account exported at once lists a transfer or a purchase under each of
// its accounts; read back, none of it is new. A bank statement (OFX) of each
// account too, alone or all in one file (each statement names its account). In units of 0 and 3
// places as in dollars, and in locales that write a decimal comma.
TEST(ImportReadBackTest, TheSamplesExportOfEveryAccountIsAllDuplicates)
{
    TWFixedClock clock(2024, 6, 15, 12);
    QTemporaryDir dir;
    for (const auto &[name, code] : {std::pair{"en_US", "USD"}, std::pair{"en_US", "JPY"},
                                     std::pair{"de_DE", "KWD"}, std::pair{"fr_FR", "USD"}}) {
        SCOPED_TRACE(std::string(name) + " " + code);
        TWLocaleGuard locale(QString::fromLatin1(name));
        // Without the year's taxed invoice and bill entries: stored split
        // with a total of 0, each is read back from this export with its
        // receivable (payable) line as the total and offered as new.
        TWBenchSampleOptions options;
        options.transactions = 400;
        options.homeCurrency = QString::fromLatin1(code);
        options.yearShapes = false;
        std::unique_ptr<TWBusiness> business = twBenchMakeSampleBusiness(options);
        ASSERT_TRUE(business);
        const TWAccountList accounts = business->sortedAccounts();
        for (const auto &[type, name] :
             {std::pair{TWExportFileTypeCSV, "all.csv"}, std::pair{TWExportFileTypeQIF, "all.qif"},
              std::pair{TWExportFileTypeOFX, "all.ofx"}}) {
            SCOPED_TRACE(name);
            const QString path = dir.filePath(QString::fromLatin1(name));
            const ReadBack read =
                readBack(*business, path, exported(*business, accounts, type, path), nullptr);
            EXPECT_GT(read.transactions.size(), 400);
            EXPECT_EQ(offered(read.duplicates), 0) << read.warnings;
        }
        for (const TWAccountPtr &account : accounts) {
            const QString path = dir.filePath(QStringLiteral("account.ofx"));
            const ReadBack read =
                readBack(*business, path, exported(*business, {account}, TWExportFileTypeOFX, path),
                         account);
            EXPECT_EQ(offered(read.duplicates), 0) << account->name().toStdString();
        }
    }
}

// Amounts by the file's rule and the unit's sign: QIF and OFX write "." as
// the decimal mark in every locale; a CSV's separators are read by their
// shape. "$" is every dollar unit's sign; a sign of another unit is refused;
// digits past the unit's places are refused with a warning naming the row.
TEST(ImportReadBackTest, AmountsAreReadByTheFilesRulesInTheUnitsPlaces)
{
    TWFixedClock clock(2024, 6, 15, 12);
    struct Case {
        const char *locale;
        const char *unit;
        const char *file;
        const char *written;
        qint64 amount; // into the bank; 0 with a warning when refused
        const char *warning;
    };
    const Case cases[] = {
        {"en_US", "JPY", "qif", "-1,234", -1234, nullptr},
        {"en_US", "JPY", "qif", "-1.234", 0, "amountsTooPrecise"},
        {"de_DE", "JPY", "qif", "-¥1,234", -1234, nullptr},
        {"de_DE", "USD", "qif", "-$1,234.56", -123456, nullptr},
        {"fr_FR", "USD", "qif", "1,234.56", 123456, nullptr},
        {"fr_FR", "KWD", "qif", "-1.234", -1234, nullptr},
        {"de_DE", "KWD", "qif", "-1.2345", 0, "amountsTooPrecise"},
        {"en_AU", "AUD", "qif", "-$1,234.56", -123456, nullptr},
        {"de_DE", "JPY", "ofx", "1.5", 0, "amountsTooPrecise"},
        {"de_DE", "USD", "ofx", "1234.56", 123456, nullptr},
        {"en_US", "AUD", "csv", "$1,234.56", 123456, nullptr},
        {"en_US", "NZD", "csv", "-$12.50", -1250, nullptr},
        {"en_AU", "AUD", "csv", "$1,234.56", 123456, nullptr},
        {"en_US", "CAD", "csv", "€12.50", 0, "valuesNotRead"},
        {"en_US", "CAD", "csv", "USD 12.50", 0, "valuesNotRead"},
        {"de_DE", "JPY", "csv", "1.234,5", 0, "amountsTooPrecise"},
        // A UK bank's file, a French one, and a QIF read under Arabic digits.
        {"en_GB", "GBP", "csv", "£1,234.56", 123456, nullptr},
        {"en_GB", "GBP", "csv", "-£12.50", -1250, nullptr},
        {"fr_FR", "EUR", "csv", "1 234,56 €", 123456, nullptr},
        {"ar_EG", "EGP", "qif", "-1,234.56", -123456, nullptr},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.locale) + " " + c.unit + " " + c.file + " " + c.written);
        TWLocaleGuard locale(QString::fromLatin1(c.locale));
        auto business = twImportBusiness(QString::fromLatin1(c.unit));
        ASSERT_TRUE(business);
        const QString code = QString::fromLatin1(c.unit);
        const TWAccountPtr bank =
            twImportAccount(*business, QStringLiteral("Bank"), TWAccountTypeBank, code);
        twImportAccount(*business, QStringLiteral("Food"), TWAccountTypeExpense, code);
        const QString written = QString::fromUtf8(c.written);
        QByteArray data;
        const QString file = QString::fromLatin1(c.file);
        if (file == QLatin1String("qif")) {
            data = ("!Account\nNBank\nTBank\n^\n!Type:Bank\nD06/01/2024\nT" + written +
                    "\nPGrocer\nLFood\n^\n")
                       .toUtf8();
        } else if (file == QLatin1String("ofx")) {
            data = ("OFXHEADER:100\nDATA:OFXSGML\nVERSION:102\n\n<OFX>\n<BANKMSGSRSV1>\n"
                    "<STMTTRNRS>\n<STMTRS>\n<CURDEF>" +
                    code +
                    "\n<BANKTRANLIST>\n<STMTTRN>\n<TRNTYPE>OTHER\n<DTPOSTED>20240601\n<TRNAMT>" +
                    written +
                    "\n<NAME>Grocer\n</STMTTRN>\n</BANKTRANLIST>\n</STMTRS>\n</STMTTRNRS>\n"
                    "</BANKMSGSRSV1>\n</OFX>\n")
                       .toUtf8();
        } else {
            data =
                ("Date,Payee,Amount,Category\n6/1/24,Grocer,\"" + written + "\",Food\n").toUtf8();
        }
        const ReadBack read = readBack(*business, QStringLiteral("statement.") + file, data, bank);
        ASSERT_EQ(read.transactions.size(), 1);
        const TWTransaction &t = *read.transactions.first();
        EXPECT_EQ(t.unit()->code(), code);
        EXPECT_EQ(t.account1Identifier() == bank->identifier() ? t.total() : -t.total(), c.amount);
        if (c.warning) {
            // Named by its row: "row 1, Amount: 1.234".
            const QString row =
                TWLocalized("importValueNotRead").section(QLatin1Char('%'), 0, 0) + "1,";
            EXPECT_TRUE(read.warnings.startsWith(TWLocalized(c.warning))) << read.warnings;
            EXPECT_TRUE(read.warnings.contains(row)) << read.warnings;
        } else {
            EXPECT_TRUE(read.warnings.isEmpty()) << read.warnings;
        }
    }
}

// A typed amount takes "$" in every dollar and peso unit, also one that is
// not the locale's; a sign that names another unit is refused, and so is a
// bare "$" in a unit whose own sign merely ends in one.
TEST(ImportReadBackTest, ATypedDollarSignIsEveryDollarUnitsSign)
{
    const struct {
        const char *locale;
        const char *unit;
        const char *typed;
        std::optional<qint64> value;
    } cases[] = {
        {"en_US", "AUD", "$12.50", 1250},
        {"en_US", "CAD", "$12.50", 1250},
        {"en_AU", "AUD", "$12.50", 1250},
        {"de_DE", "NZD", "12,50 $", 1250},
        {"en_US", "AUD", "A$12.50", 1250},
        {"en_US", "CAD", "€12.50", std::nullopt},
        {"en_US", "CAD", "US$12.50", std::nullopt},
        {"en_US", "JPY", "$12", std::nullopt},
        // The dollars' and pesos' sign only: a real, a córdoba, a pa'anga or a
        // pataca written "$" is another unit's amount.
        {"en_US", "BRL", "$12.50", std::nullopt},
        {"pt_BR", "BRL", "$12,50", std::nullopt},
        {"en_US", "NIO", "$12.50", std::nullopt},
        {"en_US", "TOP", "$12.50", std::nullopt},
        {"en_US", "MOP", "$12.50", std::nullopt},
        {"en_US", "BRL", "R$12.50", 1250},
        {"pt_BR", "BRL", "R$ 12,50", 1250},
        {"en_US", "MOP", "MOP$12.50", 1250},
        {"en_US", "USD", "$12.50", 1250},
        {"en_US", "HKD", "$12.50", 1250},
        {"en_US", "SGD", "$12.50", 1250},
        {"es_MX", "MXN", "$12.50", 1250},
        {"en_US", "MXN", "$12.50", 1250},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.locale) + " " + c.unit + " " + c.typed);
        TWLocaleGuard locale(QString::fromLatin1(c.locale));
        auto business = twImportBusiness(QStringLiteral("USD"));
        ASSERT_TRUE(business);
        const TWUnitPtr unit = business->unitWithCode(QString::fromLatin1(c.unit));
        ASSERT_TRUE(unit);
        EXPECT_EQ(TWFormatter::formatter().typedValue(QString::fromUtf8(c.typed), unit.get()),
                  c.value);
    }
}

// The amounts of a file through the sheets, as the column and the unit say:
// a spreadsheet's column settles its decimal mark from all its values, then
// by the locale's marks (a column neither settles is named); an amount with
// more places than its unit keeps, or written with another unit's sign, is
// named, starts unticked and is never stored (at 0 or otherwise), while the
// rows beside it are. nullopt: refused.
TEST(ImportReadBackTest, EveryAmountIsReadAsItsColumnShowsOrKeptOut)
{
    TWFixedClock clock(2024, 6, 15, 12);
    QTemporaryDir dir;
    struct Case {
        const char *locale;
        const char *unit;
        const char *file;
        std::vector<const char *> written;
        std::vector<std::optional<qint64>> amounts; // into the bank
        const char *warning;
        const char *says = nullptr; // what the warning says of the reading taken
    };
    const std::optional<qint64> refused;
    const Case cases[] = {
        // More places than the unit keeps: out, the row beside it in.
        {"en_US", "USD", "csv", {"0.125", "12.34"}, {refused, 1234}, "amountsTooPrecise"},
        {"en_US", "JPY", "qif", {"-1.234", "-12"}, {refused, -12}, "amountsTooPrecise"},
        {"en_US", "JPY", "ofx", {"1.5", "12"}, {refused, 12}, "amountsTooPrecise"},
        // The column decides which mark is the decimal one.
        {"en_US",
         "USD",
         "csv",
         {"12.345", "4.50", "1,234.56"},
         {refused, 450, 123456},
         "amountsTooPrecise"},
        {"en_US", "USD", "csv", {"12,345", "4.50"}, {1234500, 450}, nullptr},
        {"en_US", "KWD", "csv", {"12,000", "1,234.500"}, {12000000, 1234500}, nullptr},
        {"de_DE", "USD", "csv", {"12,345", "4,50"}, {refused, 450}, "amountsTooPrecise"},
        {"de_DE", "USD", "csv", {"12.345", "4,50"}, {1234500, 450}, nullptr},
        // Nothing in the column decides: the locale's marks do, as the
        // program writes its own files.
        {"en_US", "KWD", "csv", {"1.234", "-2.500"}, {1234, -2500}, nullptr},
        {"de_DE", "KWD", "csv", {"1,234"}, {1234}, nullptr},
        {"en_US", "USD", "csv", {"12.345"}, {refused}, "amountsTooPrecise"},
        {"en_GB", "GBP", "csv", {"£1,250", "-£12.50"}, {125000, -1250}, nullptr},
        // Nor the locale's: named, read by the locale.
        {"fr_FR", "EUR", "csv", {"12.345"}, {1234500}, "amountColumnsAmbiguous"},
        // Three places: the reading that fits them, named where the locale
        // reads otherwise, with the amount it became in the user's way.
        {"de_DE",
         "KWD",
         "csv",
         {"1.250", "2.500"},
         {1250, 2500},
         "amountColumnsAmbiguous",
         "Amount: “1.250” read as 1,250"},
        {"fr_FR", "KWD", "csv", {"-12.345"}, {-12345}, "amountColumnsAmbiguous", "read as -12,345"},
        {"de_DE", "USD", "csv", {"12.345"}, {1234500}, nullptr},
        {"fr_FR", "KWD", "csv", {"1,250"}, {1250}, nullptr},
        // The comma the locale groups with is grouping in every unit.
        {"en_US",
         "KWD",
         "csv",
         {"1,250", "10,000", "25,000"},
         {1250000, 10000000, 25000000},
         nullptr},
        {"en_GB", "BHD", "csv", {"1,250", "125"}, {1250000, 125000}, nullptr},
        {"en_GB", "USD", "csv", {"10,000"}, {1000000}, nullptr},
        {"en_US", "JPY", "csv", {"10,000"}, {10000}, nullptr},
        {"en_US",
         "KWD",
         "csv",
         {"1,234.567", "1.234,567", "1,250"},
         {1234567, 1234567, 1250000},
         "amountColumnsAmbiguous",
         "Amount: “1,250” read as 1,250.000"},
        // One mark grouping in some values beside the other as the decimal
        // mark in others is one reading, each value read one way (by the
        // locale, as nothing in the column tells): named, never refused.
        {"en_US",
         "KWD",
         "csv",
         {"1,250", "2.500", "7"},
         {1250000, 2500, 7000},
         "amountColumnsAmbiguous",
         "Amount: “1,250” read as 1,250.000"},
        {"en_US", "KWD", "csv", {"1,250", "-9.000"}, {1250000, -9000}, "amountColumnsAmbiguous"},
        {"en_GB", "KWD", "csv", {"1,250", "-9.000"}, {1250000, -9000}, "amountColumnsAmbiguous"},
        {"de_DE",
         "KWD",
         "csv",
         {"1.250", "1,250"},
         {1250000, 1250},
         "amountColumnsAmbiguous",
         "Amount: “1.250” read as 1.250,000"},
        {"en_US",
         "USD",
         "csv",
         {"1,250", "2.500"},
         {125000, 250},
         "amountColumnsAmbiguous",
         "Amount: “1,250” read as 1,250.00"},
        {"en_GB", "USD", "csv", {"1,250", "2.500"}, {125000, 250}, "amountColumnsAmbiguous"},
        {"en_GB", "JPY", "csv", {"10,000", "2.000"}, {10000, 2}, "amountColumnsAmbiguous"},
        {"ar_EG", "KWD", "csv", {"1,250"}, {1250}, "amountColumnsAmbiguous"},
        // A decimal reading with more places than the unit keeps is refused
        // by itself: the rest of the column is read.
        {"en_US", "USD", "csv", {"1,250", "2.345"}, {125000, refused}, "amountsTooPrecise"},
        // Values that tell both ways: each by its own shape, the open one
        // named with what it became, never as the region writes numbers.
        {"en_US",
         "USD",
         "csv",
         {"1,234.56", "1.234,56", "12.345"},
         {123456, 123456, 1234500},
         "amountColumnsAmbiguous",
         "Amount: “12.345” read as 12,345.00"},
        // "$" is the dollars' and pesos' sign, no other unit's.
        {"en_US", "MXN", "csv", {"$12.50"}, {1250}, nullptr},
        {"en_US", "HKD", "csv", {"-$12.50"}, {-1250}, nullptr},
        {"en_US", "BRL", "csv", {"$12.50", "R$4.00"}, {refused, 400}, "valuesNotRead"},
        {"en_US", "NIO", "csv", {"$12.50", "4.00"}, {refused, 400}, "valuesNotRead"},
    };
    for (const Case &c : cases) {
        const QString written = QStringList(c.written.begin(), c.written.end()).join(u' ');
        SCOPED_TRACE(std::string(c.locale) + " " + c.unit + " " + c.file + " " +
                     written.toStdString());
        TWLocaleGuard locale(QString::fromLatin1(c.locale));
        auto business = twImportBusiness(QString::fromLatin1(c.unit));
        ASSERT_TRUE(business);
        const QString code = QString::fromLatin1(c.unit);
        const TWAccountPtr bank =
            twImportAccount(*business, QStringLiteral("Bank"), TWAccountTypeBank, code);
        twImportAccount(*business, QStringLiteral("Food"), TWAccountTypeExpense, code);
        const QString file = QString::fromLatin1(c.file);
        QString text;
        int day = 1;
        for (const char *value : c.written) {
            const QString amount = QString::fromUtf8(value);
            if (file == QLatin1String("qif"))
                text +=
                    QStringLiteral("D06/%1/2024\nT%2\nPGrocer\nLFood\n^\n").arg(day).arg(amount);
            else if (file == QLatin1String("ofx"))
                text += QStringLiteral("<STMTTRN>\n<TRNTYPE>OTHER\n<DTPOSTED>202406%1\n<TRNAMT>%2\n"
                                       "<NAME>Grocer\n</STMTTRN>\n")
                            .arg(day, 2, 10, QLatin1Char('0'))
                            .arg(amount);
            else
                text += QStringLiteral("6/%1/24,Grocer,\"%2\",Food\n").arg(day).arg(amount);
            ++day;
        }
        if (file == QLatin1String("qif"))
            text = QStringLiteral("!Account\nNBank\nTBank\n^\n!Type:Bank\n") + text;
        else if (file == QLatin1String("ofx"))
            text = "OFXHEADER:100\nDATA:OFXSGML\nVERSION:102\n\n<OFX>\n<BANKMSGSRSV1>\n"
                   "<STMTTRNRS>\n<STMTRS>\n<CURDEF>" +
                   code + "\n<BANKTRANLIST>\n" + text +
                   "</BANKTRANLIST>\n</STMTRS>\n</STMTTRNRS>\n</BANKMSGSRSV1>\n</OFX>\n";
        else
            text = QStringLiteral("Date,Payee,Amount,Category\n") + text;
        const Sheets read =
            throughTheSheets(*business, dir.filePath("statement." + file), text.toUtf8(), bank);
        ASSERT_EQ(read.amounts.size(), qsizetype(c.amounts.size())) << read.warnings.toStdString();
        QList<qint64> stored;
        for (std::size_t i = 0; i < c.amounts.size(); ++i) {
            EXPECT_EQ(read.ticked.at(i), c.amounts[i].has_value()) << i;
            if (c.amounts[i]) {
                EXPECT_EQ(read.amounts.at(i), *c.amounts[i]) << i;
                stored.append(*c.amounts[i]);
            }
        }
        // Only the rows read are stored: none at 0.
        EXPECT_EQ(read.stored, stored);
        if (c.warning)
            EXPECT_TRUE(read.warnings.contains(TWLocalized(c.warning)))
                << read.warnings.toStdString();
        else
            EXPECT_TRUE(read.warnings.isEmpty()) << read.warnings.toStdString();
        if (c.says) {
            EXPECT_TRUE(read.warnings.contains(QString::fromUtf8(c.says)))
                << read.warnings.toStdString();
        }
    }
}
