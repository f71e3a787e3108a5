// Amounts of units without decimals (yen), with two (dollars) and with three
// (dinars) exported as CSV, QIF or OFX and read back through the import sheet
// come back as they were written, in every locale; an OFX entry kept in
// another unit than its bank's comes back with both amounts.

#include "ImportProcessTestSupport.h"

#include "app/TWAlert.h"
#include "export/core/TWExportWriter.h"
#include "import/ui/TWImportTransactionsController.h"
#include "import/ui/TWImportTransactionsSelectController.h"

#include <QTemporaryDir>

namespace
{

struct ReadBack {
    qint64 bank = 0;  // what the entry moves into the bank, in the bank's unit
    qint64 total = 0; // in the entry's own unit
    QString unit;
};

class UnitPlacesFixture
{
public:
    explicit UnitPlacesFixture(const QString &bankUnit)
    {
        business = twImportBusiness(bankUnit);
        bank = twImportAccount(*business, QStringLiteral("Checking"), TWAccountTypeBank, bankUnit);
        food = twImportAccount(*business, QStringLiteral("Food"), TWAccountTypeExpense, bankUnit);
        twSetAlertPresenter([this](const TWAlert &alert, TWAlertCompletion completion) {
            alerts.append(alert.message + alert.informativeText);
            if (completion)
                completion(1000);
        });
        sheet.setBusiness(business.get());
        sheet.setDefaultAccount(bank);
        sheet.reset();
    }
    ~UnitPlacesFixture() { twSetAlertPresenter({}); }

    // A bank payment of `total` in `unit`, `inBank` in the bank's unit.
    void store(qint64 total, const QString &unit, qint64 inBank)
    {
        auto stored = std::make_shared<TWTransaction>();
        stored->setIdentifier(business->nextTransactionIdentifier());
        stored->setDate(twLocal(2024, 6, 3));
        stored->setPayee(QStringLiteral("Payee %1").arg(stored->identifier()));
        stored->setAccount1Identifier(bank->identifier());
        stored->setAccount2Identifier(food->identifier());
        stored->setUnit(business->unitWithCode(unit));
        stored->setTotal(total);
        stored->setTotalAccount1(inBank);
        stored->setTotalAccount2(inBank);
        stored->setTotalBusiness(inBank);
        ASSERT_OK(business->addTransaction(stored, false, false, false, false));
    }

    // The bank's entries written by the export and read by the import sheet,
    // in the order written.
    QList<ReadBack> exportedAndReadBack(std::uint32_t fileType)
    {
        const TWAccountList accounts{bank};
        const TWTransactionList listed = business->transactionsForAccounts(
            accounts, nullptr, 0, QDateTime(), QDateTime(), nullptr);
        const auto settings = TWExportTransactionsSettings::exportTransactionsSettingsWithFileType(
            fileType, nullptr, 0, QDateTime(), QDateTime(), accounts,
            business->defaultExportFields(), false);
        const QString path = dir.filePath(TWExportWriter::fileName(fileType));
        EXPECT_OK(TWExportWriter::writeTransactions(*business, settings, listed, path, false));
        sheet.importURL(QUrl::fromLocalFile(path));
        sheet.doParse(1);
        QList<ReadBack> read;
        if (!sheet.selectController())
            return read;
        TWTransactionList made = sheet.selectController()->transactions();
        std::stable_sort(made.begin(), made.end(), [](const auto &a, const auto &b) {
            return a->payee().section(QLatin1Char(' '), 1).toInt() <
                   b->payee().section(QLatin1Char(' '), 1).toInt();
        });
        for (const TWTransactionPtr &t : made) {
            const bool first = t->account1Identifier() == bank->identifier();
            read.append({first ? t->totalAccount1() : -t->totalAccount2(),
                         first ? t->total() : -t->total(), t->unit() ? t->unit()->code() : ""});
        }
        sheet.selectController()->doImport(0);
        return read;
    }

    TWFixedClock clock{2024, 6, 15, 12};
    QTemporaryDir dir;
    std::unique_ptr<TWBusiness> business;
    TWAccountPtr bank, food;
    TWImportTransactionsController sheet;
    QStringList alerts;
};

const std::uint32_t kFileTypes[] = {TWExportFileTypeCSV, TWExportFileTypeQIF, TWExportFileTypeOFX};

} // namespace

// "1.234" is how the program writes a dinar and a quarter: neither the QIF
// and OFX readers nor a dinar column of a CSV take it for 1,234 dinars.
TEST(ImportUnitPlacesTest, TheProgramsOwnFilesComeBackAsWrittenInEveryUnitAndLocale)
{
    const QList<qint64> amounts{1234, 12345, 123456, 999999, -1234, 2500, 1234567, 5};
    for (const char *code : {"JPY", "USD", "KWD"}) {
        for (const char *name : {"C", "en_US", "de_DE", "ja_JP", "ar_KW", "fr_FR", "ar_EG"}) {
            TWLocaleGuard locale{QString::fromLatin1(name)};
            UnitPlacesFixture books(QString::fromLatin1(code));
            for (const qint64 amount : amounts)
                books.store(amount, QString::fromLatin1(code), amount);
            for (const std::uint32_t fileType : kFileTypes) {
                SCOPED_TRACE(testing::Message()
                             << code << " " << name << " file type " << fileType);
                const QList<ReadBack> read = books.exportedAndReadBack(fileType);
                ASSERT_EQ(read.size(), amounts.size()) << books.alerts.join(u'\n').toStdString();
                for (qsizetype i = 0; i < read.size(); ++i) {
                    EXPECT_EQ(read[i].bank, amounts[i]) << i;
                    EXPECT_EQ(read[i].total, amounts[i]) << i;
                }
            }
        }
    }
}

// Kept in another unit than the bank's, an entry's OFX rate turns its amount
// into the bank's to the last minor unit, between units of any places.
TEST(ImportUnitPlacesTest, AnOFXEntryInAnotherUnitComesBackWithBothAmounts)
{
    struct Case {
        const char *bank;
        const char *unit;
        qint64 total;
        qint64 inBank;
    };
    const Case cases[] = {
        {"KWD", "JPY", 1234, 2421},               // ¥1,234 is KWD 2.421
        {"JPY", "KWD", 1234, 629},                // KWD 1.234 is ¥629
        {"JPY", "USD", 1234, 1937},               // $12.34 is ¥1,937
        {"USD", "KWD", 7, 2},                     // KWD 0.007 is $0.02
        {"KWD", "USD", 1234567891, 3780123456},   // $12,345,678.91
        {"USD", "JPY", 987654321987, 6543210987}, // large yen, dollars to the cent
    };
    for (const char *name : {"en_US", "de_DE"}) {
        TWLocaleGuard locale{QString::fromLatin1(name)};
        for (const Case &c : cases) {
            SCOPED_TRACE(testing::Message() << name << " " << c.unit << " in " << c.bank);
            UnitPlacesFixture books(QString::fromLatin1(c.bank));
            books.store(c.total, QString::fromLatin1(c.unit), c.inBank);
            books.store(-c.total, QString::fromLatin1(c.unit), -c.inBank);
            const QList<ReadBack> read = books.exportedAndReadBack(TWExportFileTypeOFX);
            ASSERT_EQ(read.size(), 2) << books.alerts.join(u'\n').toStdString();
            for (int i = 0; i < 2; ++i) {
                const qint64 sign = i == 0 ? 1 : -1;
                EXPECT_EQ(read[i].bank, sign * c.inBank) << i;
                EXPECT_EQ(read[i].total, sign * c.total) << i;
                EXPECT_EQ(read[i].unit, QString::fromLatin1(c.unit)) << i;
            }
        }
    }
}
