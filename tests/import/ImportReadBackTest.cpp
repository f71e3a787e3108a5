// Files read back as the import sheet reads them: the program's own exports of
// several accounts are all duplicates of what the business holds, and
// amounts come in by the file's own rules, in the unit's places, whatever
// the window's locale.

#include "ImportProcessTestSupport.h"
#include "TWBenchSample.h"

#include "export/core/TWExportWriter.h"
#include "foundation/TWLocalized.h"
#include "import/core/TWImportDuplicates.h"
#include "import/ui/TWImportTransactionsController.h"
#include "model/TWExportSettings.h"
#include "model/TWFormatter.h"
#include "store/TWExportSettingsRecords.h"

#include <QFile>
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

} // namespace

// Every account exported at once lists a transfer or a purchase under each of
// its accounts; read back, none of it is new. A bank statement (OFX) of each
// account too. In units of 0 and 3 places as in dollars, and in locales that
// write a decimal comma.
TEST(ImportReadBackTest, TheSamplesExportOfEveryAccountIsAllDuplicates)
{
    TWFixedClock clock(2024, 6, 15, 12);
    QTemporaryDir dir;
    for (const auto &[name, code] : {std::pair{"en_US", "USD"}, std::pair{"en_US", "JPY"},
                                     std::pair{"de_DE", "KWD"}, std::pair{"fr_FR", "USD"}}) {
        SCOPED_TRACE(std::string(name) + " " + code);
        TWLocaleGuard locale(QString::fromLatin1(name));
        std::unique_ptr<TWBusiness> business =
            twBenchMakeSampleBusiness(400, QString::fromLatin1(code));
        ASSERT_TRUE(business);
        const TWAccountList accounts = business->sortedAccounts();
        for (const auto &[type, name] : {std::pair{TWExportFileTypeCSV, "all.csv"},
                                         std::pair{TWExportFileTypeQIF, "all.qif"}}) {
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

// A typed amount takes "$" in every dollar unit, also one that is not the
// locale's; a sign that names another unit is refused.
TEST(ImportReadBackTest, ATypedDollarSignIsEveryDollarUnitsSign)
{
    const struct {
        const char *locale;
        const char *unit;
        const char *typed;
        std::optional<qint64> value;
    } cases[] = {
        {"en_US", "AUD", "$12.50", 1250},           {"en_US", "CAD", "$12.50", 1250},
        {"en_AU", "AUD", "$12.50", 1250},           {"de_DE", "NZD", "12,50 $", 1250},
        {"en_US", "AUD", "A$12.50", 1250},          {"en_US", "CAD", "€12.50", std::nullopt},
        {"en_US", "CAD", "US$12.50", std::nullopt}, {"en_US", "JPY", "$12", std::nullopt},
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
