// The bank files of the bank-files table, written as banks, spreadsheets and
// this program's builds write them, and each read through the import sheet.

#include "BankFileShapes.h"

#include "TWStoreTestSupport.h"
#include "TWTestSupport.h"

#include "app/TWAlert.h"
#include "app/TWControls.h"
#include "export/core/TWExportWriter.h"
#include "import/core/TWImportTransactionField.h"
#include "import/core/TWParserCSV.h"
#include "import/ui/TWImportMappingModel.h"
#include "import/ui/TWImportTransactionsController.h"
#include "import/ui/TWImportTransactionsSelectController.h"
#include "ledger/TWMissingAccountsController.h"
#include "ledger/TWTransactionsController.h"
#include "model/TWAccount.h"
#include "model/TWExportSettings.h"
#include "store/TWBusiness.h"

#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace
{

// The account holding the file's number, by what it is.
struct Holder {
    const char *name;
    const char *account; // none: no account holds the number
    TWAccountType type;
};
const Holder kHolders[] = {
    {"bank", "Savings", TWAccountTypeBank},
    {"card", "Card", TWAccountTypeCreditCard},
    {"loan", "Loan", TWAccountTypeLoan},
    {"credit line", "Credit line", TWAccountTypeLongTermLiability},
    {"current liability", "Overdraft", TWAccountTypeCurrentLiability},
    {"current asset", "PayPal", TWAccountTypeCurrentAsset},
    {"investment", "Brokerage", TWAccountTypeInvestment},
    {"expense", "Fees", TWAccountTypeExpense},
    {"none", nullptr, TWAccountTypeBank},
};

// How a bank of the locale writes the file's four rows: a purchase this
// business holds already (-9), a salary and a rent in whole units with the
// thousands grouped (1,250 and -10,000), and a coffee with cents (-45.50).
struct LocaleText {
    const char *name;
    const char *dates[4];
    const char *amounts[4];
    const char *debits[4];
    const char *credits[4];
    const char *qifAmounts[4];
    const char *trips[2][3]; // a mileage log's kilometres, start and end
    // The account's running balance before the first row and after each.
    const char *balances[5];
    // The four rows of a column whose every mark stands lone before three
    // digits: in dinars (the purchase written to its three places) and in
    // dollars (the coffee's 2.50 written to three).
    const char *dinars[4];
    const char *dollars[4];
};
const LocaleText kLocales[] = {
    {"en_US",
     {"06/01/2024", "06/02/2024", "06/03/2024", "06/04/2024"},
     {"-9.00", "1,250", "-10,000", "-45.50"},
     {"9.00", "", "10,000", "45.50"},
     {"", "1,250", "", ""},
     {"-9.00", "1,250.00", "-10,000.00", "-45.50"},
     {{"42.0", "12,040.0", "12,082.0"}, {"26.1", "12,082.0", "12,108.1"}},
     {"5,000.00", "4,991.00", "6,241.00", "-3,759.00", "-3,804.50"},
     {"-9.000", "1,250", "-10,000", "-45.500"},
     {"-9", "1,250", "-10,000", "2.500"}},
    {"en_GB",
     {"01/06/2024", "02/06/2024", "03/06/2024", "04/06/2024"},
     {"-9.00", "1,250", "-10,000", "-45.50"},
     {"9.00", "", "10,000", "45.50"},
     {"", "1,250", "", ""},
     {"-9.00", "1,250.00", "-10,000.00", "-45.50"},
     {{"42.0", "12,040.0", "12,082.0"}, {"26.1", "12,082.0", "12,108.1"}},
     {"5,000.00", "4,991.00", "6,241.00", "-3,759.00", "-3,804.50"},
     {"-9.000", "1,250", "-10,000", "-45.500"},
     {"-9", "1,250", "-10,000", "2.500"}},
    {"de_DE",
     {"01.06.2024", "02.06.2024", "03.06.2024", "04.06.2024"},
     {"-9,00", "1.250", "-10.000", "-45,50"},
     {"9,00", "", "10.000", "45,50"},
     {"", "1.250", "", ""},
     {"-9,00", "1.250,00", "-10.000,00", "-45,50"},
     {{"42,0", "12.040,0", "12.082,0"}, {"26,1", "12.082,0", "12.108,1"}},
     {"5.000,00", "4.991,00", "6.241,00", "-3.759,00", "-3.804,50"},
     {"-9,000", "1.250", "-10.000", "-45,500"},
     {"-9", "1.250", "-10.000", "2,500"}},
    {"fr_FR",
     {"01/06/2024", "02/06/2024", "03/06/2024", "04/06/2024"},
     {"-9,00", "1 250", "-10 000", "-45,50"},
     {"9,00", "", "10 000", "45,50"},
     {"", "1 250", "", ""},
     {"-9,00", "1 250,00", "-10 000,00", "-45,50"},
     {{"42,0", "12 040,0", "12 082,0"}, {"26,1", "12 082,0", "12 108,1"}},
     {"5 000,00", "4 991,00", "6 241,00", "-3 759,00", "-3 804,50"},
     {"-9,000", "1 250", "-10 000", "-45,500"},
     {"-9", "1 250", "-10 000", "2,500"}},
};

const char *const kPayees[4] = {"Grocer", "Salary", "Rent", "Cafe"};
const char *const kOFXAmounts[4] = {"-9.00", "1250.00", "-10000.00", "-45.50"};
// The units of 0, 2 and 3 places.
const char *const kUnits[3] = {"JPY", "USD", "KWD"};
const QString kNumber = QStringLiteral("12345");

QString quoted(const char *text)
{
    return QLatin1Char('"') + QString::fromUtf8(text) + QLatin1Char('"');
}

// An amount of minor units as the file's own text, whatever the locale.
QString minorText(qint64 value, int places)
{
    const bool negative = value < 0;
    const quint64 magnitude = negative ? quint64(0) - quint64(value) : quint64(value);
    quint64 scale = 1;
    for (int i = 0; i < places; ++i)
        scale *= 10;
    QString text = QString::number(magnitude / scale);
    if (places > 0)
        text += QLatin1Char('.') +
                QStringLiteral("%1").arg(magnitude % scale, places, 10, QLatin1Char('0'));
    return (negative ? QStringLiteral("-") : QString()) + text;
}

qint64 wholeUnits(qint64 units, int places)
{
    for (int i = 0; i < places; ++i)
        units *= 10;
    return units;
}

// A fresh business of one unit: Checking (the sheet's account for a bank's
// OFX), Food and Salary, and the account holding the file's number, with a
// purchase it holds already (the file's first row) and one of Checking's.
class Books
{
public:
    Books(const QString &unitCode, const Holder &holder, const char *payee = "Grocer",
          qint64 stored = -9)
        : kind(&holder)
    {
        business = twMakeBusinessWithUnits(unitCode);
        EXPECT_TRUE(business);
        EXPECT_OK(business->populateFields());
        EXPECT_OK(business->loadFields());
        unit = business->unitWithCode(unitCode);
        places = unit ? unit->decimalPlaces() : 2;
        checking = add(QStringLiteral("Checking"), TWAccountTypeBank);
        food = add(QStringLiteral("Food"), TWAccountTypeExpense);
        salary = add(QStringLiteral("Salary"), TWAccountTypeIncome);
        if (holder.account) {
            held = add(QString::fromLatin1(holder.account), holder.type);
            held->setNumber(kNumber);
        }
        store(1, held ? held : checking, food, wholeUnits(stored, places),
              QString::fromLatin1(payee));
        store(5, checking, food, wholeUnits(-30, places), QStringLiteral("Phone"));
    }

    TWAccountPtr add(const QString &name, TWAccountType type, const TWUnitPtr &in = nullptr)
    {
        auto account =
            TWAccount::accountWithIdentifier(business->nextAccountIdentifier(), name, 0, 0, type,
                                             QString(), QImage(), in ? in : unit, QString());
        EXPECT_OK(business->addAccount(account, false));
        return account;
    }

    void store(int day, const TWAccountPtr &account1, const TWAccountPtr &account2, qint64 total,
               const QString &payee)
    {
        auto stored = std::make_shared<TWTransaction>();
        stored->setIdentifier(business->nextTransactionIdentifier());
        stored->setDate(twLocal(2024, 6, day));
        stored->setPayee(payee);
        stored->setAccount1Identifier(account1->identifier());
        stored->setAccount2Identifier(account2->identifier());
        stored->setUnit(unit);
        for (const auto set : {&TWTransaction::setTotal, &TWTransaction::setTotalAccount1,
                               &TWTransaction::setTotalAccount2, &TWTransaction::setTotalBusiness})
            ((*stored).*set)(total);
        EXPECT_OK(business->addTransaction(stored, false, false, false, false));
    }

    // The business's own file of these accounts, as today's export writes it.
    QString exported(std::uint32_t fileType, const TWAccountList &accounts, const QString &path)
    {
        const TWTransactionList listed = business->transactionsForAccounts(
            accounts, nullptr, 0, QDateTime(), QDateTime(), nullptr);
        const auto settings = TWExportTransactionsSettings::exportTransactionsSettingsWithFileType(
            fileType, nullptr, 0, QDateTime(), QDateTime(), accounts,
            business->defaultExportFields(), false);
        EXPECT_OK(TWExportWriter::writeTransactions(*business, settings, listed, path, false));
        return path;
    }

    const Holder *kind;
    std::unique_ptr<TWBusiness> business;
    TWUnitPtr unit;
    int places = 2;
    TWAccountPtr checking, food, salary, held;
};

struct Reading {
    QString chosen, mapping, statements, note, warnings, rows;
};

QString amountIn(const TWBusiness &business, qint32 account, qint64 value)
{
    const TWAccountPtr found = business.accountWithIdentifier(account);
    const int places = found && found->unit() ? found->unit()->decimalPlaces() : 2;
    return minorText(value, places);
}

QString nameOf(const TWBusiness &business, qint32 account)
{
    const TWAccountPtr found = business.accountWithIdentifier(account);
    return found ? found->name() : QStringLiteral("(none)");
}

// What the user changes in the mapping before Continue.
using MappingChoice = std::function<void(TWImportMappingModel &)>;

// One file read through a new sheet as the user reads it: the sheet opens
// on `into`, the user makes `choice` in the mapping, Continue answers every
// question with its first button and any accounts it proposes are made; the
// ticked rows are added when `keep`.
Reading readFile(Books &books, const QString &path, const TWAccountPtr &into, bool keep,
                 const QString &folder, const MappingChoice &choice = {})
{
    Reading reading;
    TWBusiness &business = *books.business;
    QStringList alerts;
    twSetAlertPresenter([&alerts](const TWAlert &alert, TWAlertCompletion completion) {
        alerts.append(alert.message + QStringLiteral(": ") + alert.informativeText);
        if (completion)
            completion(1000);
    });
    TWImportTransactionsController sheet;
    QObject::connect(&sheet, &TWImportTransactionsController::errorPresented,
                     [&alerts](const TWError &error) {
                         alerts.append(QStringLiteral("error: ") + error.localizedDescription());
                     });
    sheet.setBusiness(&business);
    sheet.setDefaultAccount(into);
    sheet.reset();
    sheet.importURL(QUrl::fromLocalFile(path));
    reading.chosen = sheet.accountPopUpButton()->currentText();
    if (choice)
        choice(*sheet.model());

    // What each column of a spreadsheet becomes (the other files' columns
    // are the reader's own).
    if (std::dynamic_pointer_cast<TWParserCSV>(sheet.parser())) {
        TWImportMappingModel *model = sheet.model();
        QStringList mapping;
        for (int row = 0; row < model->rowCount(); ++row) {
            const TWImportTransactionFieldPtr line = model->line(row);
            const QString source =
                model->data(model->index(row, TWImportMappingModel::SourceColumn), Qt::DisplayRole)
                    .toString();
            const QString target =
                line && line->type() != TWImportFieldTypeNone
                    ? model
                          ->data(model->index(row, TWImportMappingModel::TargetColumn),
                                 Qt::DisplayRole)
                          .toString()
                    : QStringLiteral("(set aside)");
            mapping.append(source + QStringLiteral(" = ") + target);
        }
        reading.mapping = mapping.join(QStringLiteral("; "));
    }

    TWPopUpButton *statements = sheet.statementPopUpButton();
    QStringList statementCells;
    if (!statements->isHidden()) {
        QStringList offered;
        for (int i = 1; i < statements->count(); ++i)
            offered.append(statements->itemText(i));
        statementCells.append(QStringLiteral("offered: ") + offered.join(QStringLiteral(", ")) +
                              QStringLiteral(" (chosen: ") + statements->currentText() +
                              QLatin1Char(')'));
    }
    reading.statements = statementCells.join(QStringLiteral(" "));
    if (!sheet.statementNote()->isHidden())
        reading.note = sheet.statementNote()->text();

    if (!sheet.parseButton()->isEnabled()) {
        reading.rows = sheet.accountHint()->isHidden()
                           ? QStringLiteral("(Continue disabled)")
                           : QStringLiteral("(Continue waits for an account)");
    } else {
        sheet.doParse(1);
        if (sheet.missingAccountsController() && !sheet.selectController()) {
            QStringList names;
            for (const TWAccountPtr &account : sheet.missingAccountsController()->accounts())
                names.append(account->name());
            alerts.append(QStringLiteral("accounts made: ") + names.join(QStringLiteral(", ")));
            sheet.missingAccountsController()->doCreate(1);
        }
        TWImportTransactionsSelectController *selection = sheet.selectController();
        if (!selection) {
            reading.rows = QStringLiteral("(no selection)");
        } else {
            const TWTransactionList ticked =
                selection->importTransactionsController()->importSelectedTransactions();
            QStringList rows;
            for (const TWTransactionPtr &t : selection->transactions()) {
                QString row =
                    t->date().date().toString(QStringLiteral("MM-dd")) + QLatin1Char(' ') +
                    (t->payee().isEmpty() ? t->description() : t->payee()) + QStringLiteral(": ") +
                    nameOf(business, t->account1Identifier()) + QLatin1Char(' ') +
                    amountIn(business, t->account1Identifier(), t->totalAccount1()) +
                    QStringLiteral(" / ") + nameOf(business, t->account2Identifier()) +
                    QLatin1Char(' ') +
                    amountIn(business, t->account2Identifier(), t->totalAccount2());
                // The entry's own unit where it is not its first account's,
                // and a mileage log's readings.
                const TWAccountPtr first = business.accountWithIdentifier(t->account1Identifier());
                const bool otherUnit = t->unit() && (!first || !first->unit() ||
                                                     first->unit()->code() != t->unit()->code());
                if (otherUnit || t->totalStart() != 0 || t->totalEnd() != 0) {
                    const int places = t->unit() ? t->unit()->decimalPlaces() : 2;
                    row += QStringLiteral(" [") + minorText(t->total(), places) + QLatin1Char(' ') +
                           (t->unit() ? t->unit()->code() : QString());
                    if (t->totalStart() != 0 || t->totalEnd() != 0)
                        row += QStringLiteral(" from ") + minorText(t->totalStart(), places) +
                               QStringLiteral(" to ") + minorText(t->totalEnd(), places);
                    row += QLatin1Char(']');
                }
                row += ticked.contains(t) ? QStringLiteral(" ticked") : QStringLiteral(" unticked");
                rows.append(row);
            }
            reading.rows =
                rows.isEmpty() ? QStringLiteral("(none)") : rows.join(QStringLiteral("; "));
            selection->doImport(keep ? 1 : 0);
        }
    }
    twSetAlertPresenter({});
    // The temporary folder's name changes from run to run.
    reading.warnings = alerts.join(QStringLiteral(" // ")).replace(folder, QStringLiteral("<dir>"));
    return reading;
}

// A spreadsheet of the four rows with the given amount columns.
QByteArray csvFile(const LocaleText &locale, const QString &header,
                   const std::function<QString(int row)> &amounts)
{
    QString text = QStringLiteral("Date,Payee,") + header + QLatin1Char('\n');
    for (int row = 0; row < 4; ++row)
        text += QString::fromLatin1(locale.dates[row]) + QLatin1Char(',') +
                QString::fromLatin1(kPayees[row]) + QLatin1Char(',') + amounts(row) +
                QLatin1Char('\n');
    return text.toUtf8();
}

QByteArray debitCreditFile(const LocaleText &locale, const QString &debit, const QString &credit)
{
    return csvFile(locale, debit + QLatin1Char(',') + credit, [&locale](int row) {
        return quoted(locale.debits[row]) + QLatin1Char(',') + quoted(locale.credits[row]);
    });
}

QByteArray mileageLog(const LocaleText &locale)
{
    QString text = QStringLiteral("Date,Payee,Debit (KM),Debit (start),Debit (end)\n");
    const char *sites[2] = {"Site visit", "Client"};
    for (int trip = 0; trip < 2; ++trip)
        text += QString::fromLatin1(locale.dates[trip]) + QLatin1Char(',') +
                QString::fromLatin1(sites[trip]) + QLatin1Char(',') +
                quoted(locale.trips[trip][0]) + QLatin1Char(',') + quoted(locale.trips[trip][1]) +
                QLatin1Char(',') + quoted(locale.trips[trip][2]) + QLatin1Char('\n');
    return text.toUtf8();
}

QByteArray qifFile(const LocaleText &locale)
{
    QString text = QStringLiteral("!Type:Bank\n");
    for (int row = 0; row < 4; ++row)
        text += QStringLiteral("D") + QString::fromLatin1(locale.dates[row]) +
                QStringLiteral("\nT") + QString::fromUtf8(locale.qifAmounts[row]) +
                QStringLiteral("\nP") + QString::fromLatin1(kPayees[row]) + QStringLiteral("\n^\n");
    return text.toUtf8();
}

QByteArray ofxLines(int from, int to)
{
    QByteArray lines;
    for (int row = from; row < to; ++row)
        lines += QByteArray("<STMTTRN>\n<TRNTYPE>") + (row == 1 ? "CREDIT" : "DEBIT") +
                 "\n<DTPOSTED>2024060" + QByteArray::number(row + 1) + "\n<TRNAMT>" +
                 kOFXAmounts[row] + "\n<FITID>F" + QByteArray::number(row + 1) + "\n<NAME>" +
                 kPayees[row] + "\n</STMTTRN>\n";
    return lines;
}

QByteArray ofxStatement(const QByteArray &unit, const char *type, int from, int to,
                        const QByteArray &number = kNumber.toLatin1())
{
    return "<STMTTRNRS>\n<TRNUID>1\n<STMTRS>\n<CURDEF>" + unit +
           "\n<BANKACCTFROM>\n<BANKID>9\n<ACCTID>" + number + "\n<ACCTTYPE>" + type +
           "\n</BANKACCTFROM>\n<BANKTRANLIST>\n" + ofxLines(from, to) +
           "</BANKTRANLIST>\n</STMTRS>\n</STMTTRNRS>\n";
}

QByteArray ofxBankFile(const QByteArray &statements)
{
    return "OFXHEADER:100\nDATA:OFXSGML\nVERSION:102\n\n<OFX>\n<BANKMSGSRSV1>\n" + statements +
           "</BANKMSGSRSV1>\n</OFX>\n";
}

QByteArray ofxCardFile(const QByteArray &unit)
{
    return "OFXHEADER:100\nDATA:OFXSGML\nVERSION:102\n\n<OFX>\n<CREDITCARDMSGSRSV1>\n"
           "<CCSTMTTRNRS>\n<TRNUID>1\n<CCSTMTRS>\n<CURDEF>" +
           unit + "\n<CCACCTFROM>\n<ACCTID>" + kNumber.toLatin1() +
           "\n</CCACCTFROM>\n<BANKTRANLIST>\n" + ofxLines(0, 4) +
           "</BANKTRANLIST>\n</CCSTMTRS>\n</CCSTMTTRNRS>\n</CREDITCARDMSGSRSV1>\n</OFX>\n";
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeAll(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
    file.write(bytes);
}

// One shape: the file it writes and the readings of its import.
struct Shape {
    const char *name;
    std::function<Reading(Books &, const LocaleText &, const QDir &)> read;
    // The unit the file's amounts are in, where the shape is of one unit;
    // none: the places by turns.
    const char *unit = nullptr;
};

QString written(const QDir &dir, const QString &name, const QByteArray &bytes)
{
    const QString path = dir.filePath(name);
    writeAll(path, bytes);
    return path;
}

// The account a spreadsheet or a QIF is read into: the holder, else Checking.
TWAccountPtr intoOf(const Books &books)
{
    return books.held ? books.held : books.checking;
}

// The readings of two files read one after the other.
Reading joined(const Reading &before, Reading after)
{
    const QString then = QStringLiteral(" >> then: ");
    after.mapping = before.mapping + then + after.mapping;
    after.warnings = before.warnings + then + after.warnings;
    after.rows = before.rows + then + after.rows;
    return after;
}

// Two files read one after the other through the business's remembered
// mapping: the first one's rows added, the readings of both.
Reading oneAfterAnother(Books &books, const QString &first, const QString &second, const QDir &dir)
{
    const Reading before = readFile(books, first, intoOf(books), true, dir.path());
    return joined(before, readFile(books, second, intoOf(books), false, dir.path()));
}

// The user sets the column aside in the mapping.
MappingChoice settingAside(const QString &column)
{
    return [column](TWImportMappingModel &model) {
        for (int row = 0; row < model.rowCount(); ++row) {
            const TWImportTransactionFieldPtr line = model.line(row);
            if (line && line->sourceName() == column) {
                EXPECT_TRUE(model.chooseTarget(row, 0)); // "do not import"
            }
        }
    };
}

// A file read twice: the first time the user sets the column aside, and
// Continue stores that choice as this build stores it; the second time the
// stored mapping is restored. Neither time's rows are added.
Reading setAsideThenAgain(Books &books, const QString &path, const QString &column, const QDir &dir)
{
    const Reading before =
        readFile(books, path, intoOf(books), false, dir.path(), settingAside(column));
    return joined(before, readFile(books, path, intoOf(books), false, dir.path()));
}

// "Set aside" stored for the column as an earlier build stored it: the
// entry's type alone.
void storedAsideByAnEarlierBuild(Books &books, const QString &column)
{
    QVariantMap setAside;
    setAside.insert(TWImportKeyType, QVariant::fromValue<quint32>(TWImportFieldTypeNone));
    QVariantMap stored = books.business->importTransactionsSettings();
    stored.insert(column, setAside);
    books.business->setImportTransactionsSettings(stored);
}

// A bank's spreadsheet of the amount and, after it, the account's running
// balance after each row ("Amount (end)").
QByteArray endBalanceFile(const LocaleText &locale)
{
    const char *categories[4] = {"Groceries", "Income", "Housing", "Dining"};
    return csvFile(locale, QStringLiteral("Amount,Amount (end),Category"),
                   [&locale, &categories](int row) {
                       return quoted(locale.amounts[row]) + QLatin1Char(',') +
                              quoted(locale.balances[row + 1]) + QLatin1Char(',') +
                              QString::fromLatin1(categories[row]);
                   });
}

// A bank's spreadsheet of debits and credits and, after them, the running
// balance before each row ("Debit (start)").
QByteArray startBalanceFile(const LocaleText &locale)
{
    return csvFile(locale, QStringLiteral("Debit,Credit,Debit (start)"), [&locale](int row) {
        return quoted(locale.debits[row]) + QLatin1Char(',') + quoted(locale.credits[row]) +
               QLatin1Char(',') + quoted(locale.balances[row]);
    });
}

// The own OFX of the accounts holding the number and Checking, as today's
// export writes it, then changed as an earlier build wrote it.
QString ownOFX(Books &books, const QDir &dir, const QString &name)
{
    TWAccountList accounts;
    if (books.held)
        accounts.append(books.held);
    accounts.append(books.checking);
    return books.exported(TWExportFileTypeOFX, accounts, dir.filePath(name));
}

const std::vector<Shape> &shapes()
{
    static const std::vector<Shape> all = {
        {"csv, Amount",
         [](Books &books, const LocaleText &locale, const QDir &dir) {
             const QString path =
                 written(dir, QStringLiteral("amount.csv"),
                         csvFile(locale, QStringLiteral("Amount"),
                                 [&locale](int row) { return quoted(locale.amounts[row]); }));
             return readFile(books, path, intoOf(books), false, dir.path());
         }},
        {"csv, Debit and Credit",
         [](Books &books, const LocaleText &locale, const QDir &dir) {
             const QString path = written(
                 dir, QStringLiteral("debit-credit.csv"),
                 debitCreditFile(locale, QStringLiteral("Debit"), QStringLiteral("Credit")));
             return readFile(books, path, intoOf(books), false, dir.path());
         }},
        {"csv, Amount (end)",
         [](Books &books, const LocaleText &locale, const QDir &dir) {
             const QString path =
                 written(dir, QStringLiteral("end.csv"),
                         csvFile(locale, QStringLiteral("Amount (end)"),
                                 [&locale](int row) { return quoted(locale.amounts[row]); }));
             return readFile(books, path, intoOf(books), false, dir.path());
         }},
        // An earlier build set an "(end)" column aside in every file and
        // remembered that as the user's choice of the column.
        {"csv, Amount (end) with \"set aside\" stored for it",
         [](Books &books, const LocaleText &locale, const QDir &dir) {
             QVariantMap setAside;
             setAside.insert(TWImportKeyType, QVariant::fromValue<quint32>(TWImportFieldTypeNone));
             QVariantMap stored = books.business->importTransactionsSettings();
             stored.insert(QStringLiteral("Amount (end)"), setAside);
             books.business->setImportTransactionsSettings(stored);
             const QString path =
                 written(dir, QStringLiteral("end.csv"),
                         csvFile(locale, QStringLiteral("Amount (end)"),
                                 [&locale](int row) { return quoted(locale.amounts[row]); }));
             return readFile(books, path, intoOf(books), false, dir.path());
         }},
        {"csv, Debit (start) and Credit (start)",
         [](Books &books, const LocaleText &locale, const QDir &dir) {
             const QString path = written(dir, QStringLiteral("start.csv"),
                                          debitCreditFile(locale, QStringLiteral("Debit (start)"),
                                                          QStringLiteral("Credit (start)")));
             return readFile(books, path, intoOf(books), false, dir.path());
         }},
        {"csv, mileage log (KM)",
         [](Books &books, const LocaleText &locale, const QDir &dir) {
             const QString path = written(dir, QStringLiteral("log.csv"), mileageLog(locale));
             return readFile(books, path, intoOf(books), false, dir.path());
         }},
        {"csv, mileage log after a bank file of its column names",
         [](Books &books, const LocaleText &locale, const QDir &dir) {
             const QString bank = written(
                 dir, QStringLiteral("bank.csv"),
                 debitCreditFile(locale, QStringLiteral("Debit (end)"), QStringLiteral("Credit")));
             const QString log = written(dir, QStringLiteral("log.csv"), mileageLog(locale));
             return oneAfterAnother(books, bank, log, dir);
         }},
        {"csv, bank file after a mileage log of its column names",
         [](Books &books, const LocaleText &locale, const QDir &dir) {
             const QString log = written(dir, QStringLiteral("log.csv"), mileageLog(locale));
             const QString bank = written(
                 dir, QStringLiteral("bank.csv"),
                 debitCreditFile(locale, QStringLiteral("Debit (end)"), QStringLiteral("Credit")));
             return oneAfterAnother(books, log, bank, dir);
         }},
        {"qif",
         [](Books &books, const LocaleText &locale, const QDir &dir) {
             const QString path = written(dir, QStringLiteral("bank.qif"), qifFile(locale));
             return readFile(books, path, intoOf(books), false, dir.path());
         }},
        {"ofx, one block",
         [](Books &books, const LocaleText &, const QDir &dir) {
             const QByteArray unit = books.unit->code().toLatin1();
             const QString path = written(dir, QStringLiteral("one.ofx"),
                                          ofxBankFile(ofxStatement(unit, "CHECKING", 0, 4)));
             return readFile(books, path, books.checking, false, dir.path());
         }},
        {"ofx, two blocks of one number",
         [](Books &books, const LocaleText &, const QDir &dir) {
             const QByteArray unit = books.unit->code().toLatin1();
             const QString path = written(dir, QStringLiteral("blocks.ofx"),
                                          ofxBankFile(ofxStatement(unit, "CHECKING", 0, 2) +
                                                      ofxStatement(unit, "CHECKING", 2, 4)));
             return readFile(books, path, books.checking, false, dir.path());
         }},
        {"ofx, one number of two account types",
         [](Books &books, const LocaleText &, const QDir &dir) {
             const QByteArray unit = books.unit->code().toLatin1();
             const QString path = written(dir, QStringLiteral("types.ofx"),
                                          ofxBankFile(ofxStatement(unit, "CHECKING", 0, 2) +
                                                      ofxStatement(unit, "SAVINGS", 2, 4)));
             return readFile(books, path, books.checking, false, dir.path());
         }},
        // A bank's file of two accounts: the one holding the number and
        // Checking, whose own number is the other statement's.
        {"ofx, two numbers, the other Checking's",
         [](Books &books, const LocaleText &, const QDir &dir) {
             const QByteArray unit = books.unit->code().toLatin1();
             books.checking->setNumber(QStringLiteral("67890"));
             const QString path =
                 written(dir, QStringLiteral("two.ofx"),
                         ofxBankFile(ofxStatement(unit, "CHECKING", 0, 2) +
                                     ofxStatement(unit, "CHECKING", 2, 4, "67890")));
             return readFile(books, path, books.checking, false, dir.path());
         }},
        {"ofx, CREDITLINE",
         [](Books &books, const LocaleText &, const QDir &dir) {
             const QByteArray unit = books.unit->code().toLatin1();
             const QString path = written(dir, QStringLiteral("creditline.ofx"),
                                          ofxBankFile(ofxStatement(unit, "CREDITLINE", 0, 4)));
             return readFile(books, path, books.checking, false, dir.path());
         }},
        {"ofx, credit card",
         [](Books &books, const LocaleText &, const QDir &dir) {
             const QString path = written(dir, QStringLiteral("card.ofx"),
                                          ofxCardFile(books.unit->code().toLatin1()));
             return readFile(books, path, books.checking, false, dir.path());
         }},
        {"own csv",
         [](Books &books, const LocaleText &, const QDir &dir) {
             const QString path = books.exported(TWExportFileTypeCSV, {intoOf(books)},
                                                 dir.filePath(QStringLiteral("own.csv")));
             return readFile(books, path, intoOf(books), false, dir.path());
         }},
        {"own qif",
         [](Books &books, const LocaleText &, const QDir &dir) {
             const QString path = books.exported(TWExportFileTypeQIF, {intoOf(books)},
                                                 dir.filePath(QStringLiteral("own.qif")));
             return readFile(books, path, intoOf(books), false, dir.path());
         }},
        {"own ofx",
         [](Books &books, const LocaleText &, const QDir &dir) {
             const QString path = ownOFX(books, dir, QStringLiteral("own.ofx"));
             return readFile(books, path, books.checking, false, dir.path());
         }},
        {"own ofx, Checking holding the number too",
         [](Books &books, const LocaleText &, const QDir &dir) {
             books.checking->setNumber(kNumber);
             const QString path = ownOFX(books, dir, QStringLiteral("own.ofx"));
             return readFile(books, path, books.checking, false, dir.path());
         }},
        // 68749cb named every statement's account as today's export does,
        // but its statements' identifier was the moment of writing.
        {"own ofx as 68749cb wrote it",
         [](Books &books, const LocaleText &, const QDir &dir) {
             const QString path = ownOFX(books, dir, QStringLiteral("own.ofx"));
             QByteArray text = readAll(path);
             text = QString::fromUtf8(text)
                        .replace(QRegularExpression(QStringLiteral("<TRNUID>[^\\n<]*")),
                                 QStringLiteral("<TRNUID>739800000.000000"))
                        .toUtf8();
             writeAll(path, text);
             return readFile(books, path, books.checking, false, dir.path());
         }},
        // 7ece6cc wrote "0" for the number of an account kept at no
        // institution, and the moment as the identifier.
        {"own ofx as 7ece6cc wrote it",
         [](Books &books, const LocaleText &, const QDir &dir) {
             const QString path = ownOFX(books, dir, QStringLiteral("own.ofx"));
             QString text = QString::fromUtf8(readAll(path));
             text.replace(QRegularExpression(QStringLiteral("<TRNUID>[^\\n<]*")),
                          QStringLiteral("<TRNUID>739800000.000000"));
             text.replace(QRegularExpression(QStringLiteral("<ACCTID>[^\\n<]*")),
                          QStringLiteral("<ACCTID>0"));
             writeAll(path, text.toUtf8());
             return readFile(books, path, books.checking, false, dir.path());
         }},
        // Another business of the same accounts (and so the same labels of
        // its own), with purchases of its own.
        {"another business's own ofx",
         [](Books &books, const LocaleText &, const QDir &dir) {
             Books other(books.unit->code(), *books.kind, "Elsewhere", -77);
             const QString path = ownOFX(other, dir, QStringLiteral("theirs.ofx"));
             return readFile(books, path, books.checking, false, dir.path());
         }},
        // A running balance beside the amount, set aside by the user.
        {"csv, Amount and Amount (end), \"set aside\" stored by this build",
         [](Books &books, const LocaleText &locale, const QDir &dir) {
             const QString path =
                 written(dir, QStringLiteral("balance.csv"), endBalanceFile(locale));
             return setAsideThenAgain(books, path, QStringLiteral("Amount (end)"), dir);
         }},
        {"csv, Amount and Amount (end), \"set aside\" stored by an earlier build",
         [](Books &books, const LocaleText &locale, const QDir &dir) {
             storedAsideByAnEarlierBuild(books, QStringLiteral("Amount (end)"));
             const QString path =
                 written(dir, QStringLiteral("balance.csv"), endBalanceFile(locale));
             return readFile(books, path, intoOf(books), false, dir.path());
         }},
        {"csv, Debit, Credit and Debit (start), \"set aside\" stored by this build",
         [](Books &books, const LocaleText &locale, const QDir &dir) {
             const QString path =
                 written(dir, QStringLiteral("balance.csv"), startBalanceFile(locale));
             return setAsideThenAgain(books, path, QStringLiteral("Debit (start)"), dir);
         }},
        {"csv, Debit, Credit and Debit (start), \"set aside\" stored by an earlier build",
         [](Books &books, const LocaleText &locale, const QDir &dir) {
             storedAsideByAnEarlierBuild(books, QStringLiteral("Debit (start)"));
             const QString path =
                 written(dir, QStringLiteral("balance.csv"), startBalanceFile(locale));
             return readFile(books, path, intoOf(books), false, dir.path());
         }},
        // A column whose marks all stand lone before three digits, as the
        // locale's bank writes it: under en_US and en_GB the "," of "1,250"
        // beside the "." of "-9.000" (dinars) or "2.500" (dollars).
        {"csv, dinars: \"1,250\" beside \"-9.000\"",
         [](Books &books, const LocaleText &locale, const QDir &dir) {
             const QString path =
                 written(dir, QStringLiteral("dinars.csv"),
                         csvFile(locale, QStringLiteral("Amount"),
                                 [&locale](int row) { return quoted(locale.dinars[row]); }));
             return readFile(books, path, intoOf(books), false, dir.path());
         },
         "KWD"},
        {"csv, dollars: \"1,250\" beside \"2.500\"",
         [](Books &books, const LocaleText &locale, const QDir &dir) {
             const QString path =
                 written(dir, QStringLiteral("dollars.csv"),
                         csvFile(locale, QStringLiteral("Amount"),
                                 [&locale](int row) { return quoted(locale.dollars[row]); }));
             return readFile(books, path, intoOf(books), false, dir.path());
         },
         "USD"},
    };
    return all;
}

} // namespace

int twBankFileShapeCount()
{
    return int(shapes().size());
}

int twBankFileHolderCount()
{
    return int(std::size(kHolders));
}

int twBankFileLocaleCount()
{
    return int(std::size(kLocales));
}

QStringList twBankFileRow(int shape, int holder, int locale, int places)
{
    const Shape &s = shapes().at(std::size_t(shape));
    const LocaleText &text = kLocales[locale];
    TWLocaleGuard guard(QString::fromLatin1(text.name));
    TWFixedClock clock{2024, 6, 15, 12};
    QTemporaryDir dir;
    const QString unit = QString::fromLatin1(s.unit ? s.unit : kUnits[places]);
    Books books(unit, kHolders[holder]);
    Reading reading = s.read(books, text, QDir(dir.path()));
    // The warnings break their lines as the alert shows them ("\r"); the
    // table writes every break alike.
    reading.warnings.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return {QString::fromLatin1(s.name),
            QString::fromLatin1(kHolders[holder].name),
            QString::fromLatin1(text.name),
            QStringLiteral("%1 (%2)").arg(books.places).arg(unit),
            reading.chosen,
            reading.mapping,
            reading.statements,
            reading.note,
            reading.warnings,
            reading.rows};
}
