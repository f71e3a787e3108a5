// The transaction import sheets driven through their widgets on a real
// business: a bank file read by its extension, its mapping, missing accounts,
// the warnings question, and the selection that adds every ticked row in one
// write or none.

#include "ImportProcessTestSupport.h"

#include "export/core/TWExportWriter.h"
#include "import/core/TWParserOFX.h"
#include "import/core/TWParserQIF.h"
#include "import/ui/TWImportMappingModel.h"
#include "import/ui/TWImportTransactionsController.h"
#include "import/ui/TWImportTransactionsSelectController.h"

#include "ledger/TWMissingAccountsController.h"
#include "ledger/TWRegisterColumns.h"
#include "ledger/TWTransactionsController.h"
#include "ledger/TWTransactionsModel.h"

#include "app/TWAlert.h"
#include "app/TWControls.h"
#include "foundation/TWClock.h"
#include "foundation/TWLocalized.h"
#include "model/TWAccountingPeriod.h"
#include "model/TWBuiltInFields.h"
#include "model/TWFormatter.h"
#include "store/TWNotifications.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollBar>
#include <QTemporaryDir>

#include <sys/stat.h>

namespace
{

class ImportSheetFixture : public ::testing::Test
{
protected:
    void SetUp() override
    {
        business = twImportBusiness();
        ASSERT_TRUE(business);
        checking = twImportAccount(*business, QStringLiteral("Checking"), TWAccountTypeBank);
        food = twImportAccount(*business, QStringLiteral("Food"), TWAccountTypeExpense);
        ASSERT_TRUE(dir.isValid());
        twSetAlertPresenter([this](const TWAlert &alert, TWAlertCompletion completion) {
            alerts.append(alert.message);
            informative.append(alert.informativeText);
            if (completion)
                completion(alertAnswer);
        });
        sheet.setBusiness(business.get());
        sheet.setDefaultAccount(checking);
        QObject::connect(&sheet, &TWImportTransactionsController::errorPresented,
                         [this](const TWError &error) { errors.append(error); });
        sheet.reset();
    }
    void TearDown() override { twSetAlertPresenter({}); }

    QString write(const QString &name, const QByteArray &bytes)
    {
        const QString path = dir.filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return path;
    }
    void importFile(const QString &name, const QByteArray &bytes)
    {
        sheet.importURL(QUrl::fromLocalFile(write(name, bytes)));
    }
    TWImportTransactionsSelectController *selection() { return sheet.selectController(); }
    // A stored dollar transaction of June 2024 (in another business when given).
    void store(int day, const TWAccountPtr &account1, const TWAccountPtr &account2, qint64 total,
               TWBusiness *in = nullptr)
    {
        TWBusiness *business = in ? in : this->business.get();
        auto stored = std::make_shared<TWTransaction>();
        stored->setIdentifier(business->nextTransactionIdentifier());
        stored->setDate(twLocal(2024, 6, day));
        stored->setAccount1Identifier(account1->identifier());
        stored->setAccount2Identifier(account2->identifier());
        stored->setUnit(business->unitWithCode(QStringLiteral("USD")));
        for (const auto set : {&TWTransaction::setTotal, &TWTransaction::setTotalAccount1,
                               &TWTransaction::setTotalAccount2, &TWTransaction::setTotalBusiness})
            ((*stored).*set)(total);
        ASSERT_OK(business->addTransaction(stored, false, false, false, false));
    }

    TWFixedClock clock{2024, 6, 15, 12};
    QTemporaryDir dir;
    std::unique_ptr<TWBusiness> business;
    TWAccountPtr checking, food;
    TWImportTransactionsController sheet;
    QStringList alerts, informative;
    int alertAnswer = 1000;
    QList<TWError> errors;
};

using ImportSheetTest = ImportSheetFixture;
using ImportSelectionTest = ImportSheetFixture;

const QByteArray kBankCsv = "Date,Description,Amount,Category\n"
                            "6/1/24,Grocer,-45.50,Food\n"
                            "6/2/24,Salary,2000.00,Income\n"
                            "6/3/24,Cafe,-4.20,Food\n";

} // namespace

TEST_F(ImportSheetTest, ABankFileIsMappedByItsColumnNamesAndTheButtonFollowsTheMapping)
{
    importFile(QStringLiteral("statement.csv"), kBankCsv);
    TWImportMappingModel *model = sheet.model();
    ASSERT_EQ(model->rowCount(), 4);
    EXPECT_EQ(model->data(model->index(0, 1), Qt::DisplayRole).toString(), TWLocalized("date"));
    EXPECT_EQ(sheet.numberTransactionsLabel()->text(),
              QStringLiteral("3 ") + TWLocalized("transactionsLower"));
    EXPECT_TRUE(sheet.parseButton()->isEnabled());
    // Every column set to "do not import" through the target pop-up: nothing to parse.
    for (int row = 0; row < model->rowCount(); ++row)
        ASSERT_TRUE(model->setData(model->index(row, 1), 0, Qt::EditRole));
    EXPECT_FALSE(sheet.parseButton()->isEnabled());
    // Retargeted to the amount, the button comes back.
    int total = -1;
    for (int i = 0; i < model->targets().size(); ++i) {
        const auto &target = model->targets().at(i);
        if (target.field && target.field->identifier() == -12)
            total = i;
    }
    ASSERT_GE(total, 0);
    ASSERT_TRUE(model->setData(model->index(2, 1), total, Qt::EditRole));
    EXPECT_TRUE(sheet.parseButton()->isEnabled());
    EXPECT_EQ(TWImportMappingModel::settingOf(*model->line(2)),
              TWImportMappingModel::Setting::Unit);
}

TEST_F(ImportSheetTest, TheExtensionChoosesTheParserInAnyCase)
{
    EXPECT_TRUE(std::dynamic_pointer_cast<TWParserQIF>(
        TWImportTransactionsController::parserForPath(QStringLiteral("/x/STATEMENT.QIF"))));
    EXPECT_TRUE(std::dynamic_pointer_cast<TWParserOFX>(
        TWImportTransactionsController::parserForPath(QStringLiteral("a.Qfx"))));
    importFile(QStringLiteral("BANK.QIF"), "!Type:Bank\nD6/1/24\nT-3.00\nPFee\nLFood\n^\n");
    EXPECT_TRUE(std::dynamic_pointer_cast<TWParserQIF>(sheet.parser()));
    EXPECT_EQ(sheet.numberTransactionsLabel()->text(),
              QStringLiteral("1 ") + TWLocalized("transactionLower"));
}

TEST_F(ImportSheetTest, AFileThatCannotBeReadLeavesNothingToParse)
{
    importFile(QStringLiteral("statement.csv"), kBankCsv);
    ASSERT_TRUE(sheet.parseButton()->isEnabled());
    // A pipe is never read (it would block for ever).
    const QString fifo = dir.filePath(QStringLiteral("pipe.csv"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    sheet.importURL(QUrl::fromLocalFile(fifo));
    ASSERT_EQ(errors.size(), 1);
    EXPECT_EQ(sheet.model()->rowCount(), 0);
    EXPECT_FALSE(sheet.parseButton()->isEnabled());
}

// A file without rows opens the mapping like any other; going on says why the
// file gave nothing and leads to an empty selection with nothing to import.
TEST_F(ImportSheetTest, AFileWithoutRowsOpensTheSheetAndTheReasonComesWithTheWarnings)
{
    importFile(QStringLiteral("card.ofx"),
               "OFXHEADER:100\nDATA:OFXSGML\nVERSION:102\n\n<OFX><CREDITCARDMSGSRSV1>"
               "</CREDITCARDMSGSRSV1></OFX>");
    EXPECT_TRUE(alerts.isEmpty());
    EXPECT_EQ(sheet.numberTransactionsLabel()->text(),
              QStringLiteral("0 ") + TWLocalized("transactionsLower"));
    ASSERT_TRUE(sheet.parseButton()->isEnabled());
    sheet.parseButton()->click();
    EXPECT_EQ(alerts, QStringList{TWLocalized("parseWarnings")});
    EXPECT_TRUE(informative.constLast().contains(TWLocalized("importNoteCreditCard")))
        << informative.constLast().toStdString();
    ASSERT_TRUE(selection());
    EXPECT_TRUE(selection()->transactions().isEmpty());
    // Every one of no rows is ticked: the box is on, and there is nothing to import.
    EXPECT_EQ(selection()->importAllCheckbox()->checkState(), Qt::Checked);
    EXPECT_FALSE(selection()->importButton()->isEnabled());
}

TEST_F(ImportSheetTest, MissingAccountsAreProposedAndDecliningCreatesNothing)
{
    importFile(QStringLiteral("statement.csv"),
               "Date,Amount,Account 2\n6/1/24,-1.00,Travel\n6/2/24,-2.00,Rent\n"
               "6/3/24,-3.00,Phone\n");
    // The category column makes accounts it does not find.
    TWImportMappingModel *model = sheet.model();
    ASSERT_EQ(model->line(2)->builtInIdentifier(), -8);
    ASSERT_TRUE(model->setData(model->index(2, 2), Qt::Checked, Qt::CheckStateRole));
    const qint32 next = business->nextAccountIdentifier();
    const qsizetype accounts = business->accounts().size();
    sheet.doParse(1);
    TWMissingAccountsController *missing = sheet.missingAccountsController();
    ASSERT_TRUE(missing);
    ASSERT_EQ(missing->accounts().size(), 3);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(missing->accounts().at(i)->identifier(), next + i);
        EXPECT_EQ(missing->accounts().at(i)->accountType(), TWAccountTypeExpense);
    }
    missing->doCreate(0);
    EXPECT_EQ(business->accounts().size(), accounts);
    EXPECT_FALSE(sheet.selectController());
    // Accepted, the accounts are made and the rows go on to the selection.
    sheet.doParse(1);
    sheet.missingAccountsController()->doCreate(1);
    EXPECT_EQ(business->accounts().size(), accounts + 3);
    ASSERT_TRUE(selection());
    EXPECT_EQ(selection()->transactions().size(), 3);
}

TEST_F(ImportSheetTest, WarningsAskFirstAndCancelKeepsTheMapping)
{
    importFile(QStringLiteral("statement.csv"), "Date,Amount,Category\n2/31/24,-1.00,Food\n");
    alertAnswer = 1001;
    sheet.doParse(1);
    EXPECT_EQ(alerts, QStringList{TWLocalized("parseWarnings")});
    EXPECT_TRUE(informative.constFirst().contains(QStringLiteral("2/31/24")));
    EXPECT_FALSE(sheet.selectController());
    EXPECT_EQ(sheet.model()->rowCount(), 3);
    alertAnswer = 1000;
    sheet.doParse(1);
    ASSERT_TRUE(selection());
    EXPECT_EQ(selection()->transactions().size(), 1);
}

TEST_F(ImportSelectionTest, DuplicatesStartUntickedAndTheCheckboxFollowsTheTicks)
{
    store(1, checking, food, -4550);
    importFile(QStringLiteral("statement.csv"), "Date,Amount,Category\n6/1/24,-45.50,Food\n"
                                                "6/2/24,-45.50,Food\n6/3/24,-4.20,Food\n");
    sheet.doParse(1);
    ASSERT_TRUE(selection());
    TWTransactionsController *list = selection()->importTransactionsController();
    EXPECT_EQ(list->importSelectedTransactions().size(), 2);
    EXPECT_EQ(selection()->importAllCheckbox()->checkState(), Qt::PartiallyChecked);
    // A click on the mixed state ticks everything; another none.
    selection()->importAllCheckbox()->click();
    EXPECT_EQ(list->importSelectedTransactions().size(), 3);
    EXPECT_EQ(selection()->importAllCheckbox()->checkState(), Qt::Checked);
    selection()->importAllCheckbox()->click();
    EXPECT_TRUE(list->importSelectedTransactions().isEmpty());
    EXPECT_FALSE(selection()->importButton()->isEnabled());
}

// The same entry written the other way round (the accounts exchanged and the
// total negated) is a duplicate too: a register exported from one account and
// read back lists the other account first.
TEST_F(ImportSelectionTest, AnEntryWrittenTheOtherWayRoundStartsUnticked)
{
    store(1, food, checking, 4550); // the file's first row, the other way round
    store(3, food, checking, -420); // accounts exchanged but the same sign: another entry
    store(4, checking, food, 420);  // the same accounts with the other sign: another entry
    importFile(QStringLiteral("statement.csv"), "Date,Amount,Category\n6/1/24,-45.50,Food\n"
                                                "6/2/24,-45.50,Food\n6/3/24,-4.20,Food\n"
                                                "6/4/24,-4.20,Food\n");
    sheet.doParse(1);
    ASSERT_TRUE(selection());
    QStringList ticked;
    for (const TWTransactionPtr &transaction :
         selection()->importTransactionsController()->importSelectedTransactions())
        ticked.append(TWFormatter::formatter().shortDateString(transaction->date()));
    EXPECT_EQ(ticked, (QStringList{"6/2/24", "6/3/24", "6/4/24"}));
}

// Each stored transaction stands for one row of the file: of two like
// purchases on a day where one is stored, the second is offered; two stored
// stand for two rows, also when one is written the other way round; a third
// like row is new. The same in every locale the sheet may run in.
TEST_F(ImportSelectionTest, EachStoredTransactionAnswersForOneRowOfTheFile)
{
    store(1, checking, food, -450);
    store(2, checking, food, -450);
    store(2, food, checking, 450);
    const QByteArray file = "Date,Amount,Category\n6/1/24,-4.50,Food\n6/1/24,-4.50,Food\n"
                            "6/2/24,-4.50,Food\n6/2/24,-4.50,Food\n6/2/24,-4.50,Food\n";
    for (const char *name : {"en_US", "de_DE", "fr_FR", "fa_IR"}) {
        SCOPED_TRACE(name);
        TWLocaleGuard locale(QString::fromLatin1(name));
        importFile(QStringLiteral("statement.csv"), file);
        sheet.doParse(1);
        ASSERT_TRUE(selection());
        ASSERT_EQ(selection()->transactions().size(), 5);
        QList<int> ticked;
        const TWTransactionList chosen =
            selection()->importTransactionsController()->importSelectedTransactions();
        for (qsizetype row = 0; row < selection()->transactions().size(); ++row)
            if (chosen.contains(selection()->transactions().at(row)))
                ticked.append(int(row));
        EXPECT_EQ(ticked, (QList<int>{1, 4}));
        selection()->doImport(0);
    }
}

// The program's own export of an account read back: every entry is in the
// business already, a split one too, whatever total and accounts it carries
// and whichever of its lines comes first. A split is read as the entry it is.
TEST_F(ImportSelectionTest, TheProgramsOwnExportReadBackIsAllDuplicates)
{
    const TWAccountPtr supplies =
        twImportAccount(*business, QStringLiteral("Supplies"), TWAccountTypeExpense);
    const TWUnitPtr usd = business->unitWithCode(QStringLiteral("USD"));
    const auto storeSplit = [&](int day, qint64 total, qint32 account1, qint32 account2,
                                QList<std::pair<TWAccountPtr, qint64>> lines) {
        auto stored = std::make_shared<TWTransaction>();
        stored->setIdentifier(business->nextTransactionIdentifier());
        stored->setDate(twLocal(2024, 6, day));
        stored->setPayee(QStringLiteral("Costco"));
        stored->setUnit(usd);
        stored->setTotal(total);
        stored->setAccount1Identifier(account1);
        stored->setAccount2Identifier(account2);
        TWSplitList splits;
        for (const auto &[account, amount] : lines)
            splits.append(TWSplit::splitWithIdentifier(0, QString(), account->identifier(), amount,
                                                       amount, amount, 0, 0, usd));
        stored->setSplits(splits);
        stored->setHasSplit(true);
        ASSERT_OK(business->addTransaction(stored, false, false, false, false));
    };
    store(1, food, checking, -4550);
    // Made whole at once: its total the entry's, no accounts of its own.
    storeSplit(3, 4850, 0, 0, {{supplies, 2850}, {food, 2000}, {checking, -4850}});
    // Split in the editor: the first two lines' accounts, the first line's total.
    storeSplit(4, -6000, checking->identifier(), supplies->identifier(),
               {{checking, -6000}, {supplies, 1000}, {food, 5000}});
    const TWAccountList accounts{checking};
    const TWTransactionList listed =
        business->transactionsForAccounts(accounts, nullptr, 0, QDateTime(), QDateTime(), nullptr);
    for (const std::uint32_t fileType : {TWExportFileTypeCSV, TWExportFileTypeQIF}) {
        SCOPED_TRACE(fileType);
        const auto settings = TWExportTransactionsSettings::exportTransactionsSettingsWithFileType(
            fileType, nullptr, 0, QDateTime(), QDateTime(), accounts,
            business->defaultExportFields(), false);
        const QString path = dir.filePath(TWExportWriter::fileName(fileType));
        ASSERT_OK(TWExportWriter::writeTransactions(*business, settings, listed, path, false));
        sheet.importURL(QUrl::fromLocalFile(path));
        sheet.doParse(1);
        ASSERT_TRUE(selection());
        ASSERT_EQ(selection()->transactions().size(), 3);
        EXPECT_TRUE(
            selection()->importTransactionsController()->importSelectedTransactions().isEmpty());
        QList<qint64> totals;
        for (const TWTransactionPtr &read : selection()->transactions())
            if (read->hasSplit()) {
                totals.append(read->total());
                EXPECT_EQ(read->activeAccountIdentifier(), checking->identifier());
            }
        EXPECT_EQ(totals, (QList<qint64>{4850, 6000}));
        EXPECT_FALSE(selection()->importButton()->isEnabled());
        selection()->doImport(0);
    }
}

// A stored entry answers for one row of each account's file, split or not:
// of like purchases of a day in one account's file (a spreadsheet or a QIF of
// the account) where one is stored, the others are offered, however many
// accounts a split one's lines touch. A file of every account lists a split
// entry under each of its accounts: each of those rows is the stored one.
TEST_F(ImportSelectionTest, AStoredEntryAnswersForOneRowOfEachAccountsFile)
{
    const TWAccountPtr supplies =
        twImportAccount(*business, QStringLiteral("Supplies"), TWAccountTypeExpense);
    const TWUnitPtr usd = business->unitWithCode(QStringLiteral("USD"));
    const auto storeEntry = [&](bool split) {
        auto stored = std::make_shared<TWTransaction>();
        stored->setIdentifier(business->nextTransactionIdentifier());
        stored->setDate(twLocal(2024, 6, 3));
        stored->setPayee(QStringLiteral("Costco"));
        stored->setUnit(usd);
        stored->setAccount1Identifier(checking->identifier());
        stored->setAccount2Identifier(food->identifier());
        for (const auto set : {&TWTransaction::setTotal, &TWTransaction::setTotalAccount1,
                               &TWTransaction::setTotalAccount2, &TWTransaction::setTotalBusiness})
            ((*stored).*set)(-4850);
        if (split) {
            TWSplitList splits;
            for (const auto &[account, amount] :
                 {std::pair{checking, qint64(-4850)}, {supplies, qint64(2850)}, {food, 2000}})
                splits.append(TWSplit::splitWithIdentifier(0, QString(), account->identifier(),
                                                           amount, amount, amount, 0, 0, usd));
            stored->setSplits(splits);
            stored->setHasSplit(true);
        }
        EXPECT_OK(business->addTransaction(stored, false, false, false, false));
    };
    struct Case {
        std::uint32_t fileType;
        bool split;
        int inFile;        // like entries the file lists under Checking
        bool everyAccount; // the file lists every account's register
        int offered;
    };
    const Case cases[] = {
        {TWExportFileTypeCSV, true, 2, false, 1},
        {TWExportFileTypeCSV, true, 3, false, 2},
        {TWExportFileTypeQIF, true, 2, false, 1},
        {TWExportFileTypeQIF, true, 3, false, 2},
        {TWExportFileTypeCSV, false, 2, false, 1},
        {TWExportFileTypeQIF, false, 2, false, 1},
        // Controls: the file of every account, and one entry in one file.
        {TWExportFileTypeCSV, true, 1, true, 0},
        {TWExportFileTypeQIF, true, 1, true, 0},
        {TWExportFileTypeCSV, true, 1, false, 0},
        {TWExportFileTypeQIF, true, 1, false, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.fileType << (c.split ? " split " : " plain ")
                                        << c.inFile << (c.everyAccount ? " every account" : ""));
        for (int i = 0; i < c.inFile; ++i)
            storeEntry(c.split);
        const TWAccountList accounts =
            c.everyAccount ? TWAccountList{checking, food, supplies} : TWAccountList{checking};
        const auto settings = TWExportTransactionsSettings::exportTransactionsSettingsWithFileType(
            c.fileType, nullptr, 0, QDateTime(), QDateTime(), accounts,
            business->defaultExportFields(), false);
        const QString path = dir.filePath(TWExportWriter::fileName(c.fileType));
        ASSERT_OK(TWExportWriter::writeTransactions(*business, settings, business->transactions(),
                                                    path, false));
        // One of the like entries stays stored.
        ASSERT_OK(
            business->deleteTransactions(business->transactions().mid(1), false, false, false));
        sheet.setDefaultAccount(c.everyAccount ? nullptr : checking);
        sheet.importURL(QUrl::fromLocalFile(path));
        sheet.doParse(1);
        ASSERT_TRUE(selection());
        EXPECT_EQ(selection()->importTransactionsController()->importSelectedTransactions().size(),
                  c.offered);
        selection()->doImport(0);
        ASSERT_OK(business->deleteTransactions(business->transactions(), false, false, false));
    }
}

// The program's own OFX of every account names each statement's account:
// read back, each statement's lines are its own account's, and all of them
// are in the business already. A bank's file of two statements goes into
// the accounts whose numbers it names; a statement of no account the
// business knows goes into the chosen account only when the user chooses it,
// and is otherwise left out and named, never booked into the chosen account.
TEST_F(ImportSelectionTest, EachStatementOfAFileGoesToItsOwnAccountOrTheUserChoosesIt)
{
    const TWAccountPtr savings =
        twImportAccount(*business, QStringLiteral("Savings"), TWAccountTypeBank);
    store(1, checking, food, -4550);
    store(2, savings, checking, 10000);
    store(3, savings, food, -1250);
    const auto settings = TWExportTransactionsSettings::exportTransactionsSettingsWithFileType(
        TWExportFileTypeOFX, nullptr, 0, QDateTime(), QDateTime(), TWAccountList{checking, savings},
        business->defaultExportFields(), false);
    const QString own = dir.filePath(QStringLiteral("own.ofx"));
    ASSERT_OK(TWExportWriter::writeTransactions(*business, settings, business->transactions(), own,
                                                false));
    const auto statement = [](const char *number, const char *lines) {
        return QByteArray(
                   "<STMTTRNRS>\n<STMTRS>\n<CURDEF>USD\n<BANKACCTFROM>\n<BANKID>9\n<ACCTID>") +
               number + "\n<ACCTTYPE>CHECKING\n</BANKACCTFROM>\n<BANKTRANLIST>\n" + lines +
               "</BANKTRANLIST>\n</STMTRS>\n</STMTTRNRS>\n";
    };
    const QByteArray line =
        "<STMTTRN>\n<TRNTYPE>DEBIT\n<DTPOSTED>20240605\n<TRNAMT>-7.00\n<NAME>Cafe\n</STMTTRN>\n";
    const QString bank = write(
        QStringLiteral("bank.ofx"),
        "OFXHEADER:100\nDATA:OFXSGML\nVERSION:102\n\n<OFX>\n<BANKMSGSRSV1>\n" +
            statement("111", line) + statement("222", line + line) + "</BANKMSGSRSV1>\n</OFX>\n");
    struct Case {
        const char *name;
        QString path;
        const char *savingsNumber; // the number the business keeps for Savings
        const char *chosen; // the statement chosen as Checking's; nullptr: as the sheet has it
        int checkingRows, savingsRows, offered;
    };
    const Case cases[] = {
        {"own file", own, "", nullptr, 2, 2, 0},
        {"bank file, no number known", bank, "", nullptr, 0, 0, 0},
        {"bank file, 111 chosen", bank, "", "111", 1, 0, 1},
        {"bank file, 222 is Savings'", bank, "222", nullptr, 1, 2, 3},
        {"bank file, 222 is Savings', none chosen", bank, "222", "", 0, 2, 2},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        savings->setNumber(QString::fromLatin1(c.savingsNumber));
        alerts.clear();
        informative.clear();
        sheet.importURL(QUrl::fromLocalFile(c.path));
        TWPopUpButton *statements = sheet.statementPopUpButton();
        if (c.chosen) {
            const int index = std::max(0, statements->findText(QString::fromLatin1(c.chosen)));
            statements->setCurrentIndex(index);
            emit statements->activated(index);
        }
        ASSERT_TRUE(sheet.parseButton()->isEnabled());
        sheet.doParse(1);
        ASSERT_TRUE(selection());
        int inChecking = 0, inSavings = 0;
        for (const TWTransactionPtr &read : selection()->transactions()) {
            inChecking += read->account1Identifier() == checking->identifier() ? 1 : 0;
            inSavings += read->account1Identifier() == savings->identifier() ? 1 : 0;
        }
        EXPECT_EQ(inChecking, c.checkingRows);
        EXPECT_EQ(inSavings, c.savingsRows);
        EXPECT_EQ(selection()->transactions().size(), inChecking + inSavings);
        EXPECT_EQ(selection()->importTransactionsController()->importSelectedTransactions().size(),
                  c.offered);
        // What is left out is named.
        EXPECT_EQ(informative.join(QString()).contains(TWLocalized("statementsLeftOut")),
                  c.path == bank && inChecking + inSavings < 3)
            << informative.join(QString()).toStdString();
        selection()->doImport(0);
    }
}

// A statement's number names an account only where it is that account's: a
// number one account of the balance sheet holds (a bank, a card, a loan, a
// credit line, a payment service, an investment), or the label the program
// writes in this business's own files. Another business's own file (its
// Savings, "TW101", is this one's Food), a bank's number that an income,
// expense or equity account happens to hold, and one that two accounts hold
// are asked for, never booked there; blocks of one number go together only
// where bank and account type agree too; the business's own file of every
// account goes back whole, with no question, each statement into the
// account it was written from. The sheet's note says where each goes.
TEST_F(ImportSelectionTest, AStatementsNumberNamesOnlyTheAccountWhoseItIs)
{
    const TWAccountPtr savings =
        twImportAccount(*business, QStringLiteral("Savings"), TWAccountTypeBank);
    store(1, checking, food, -4550);
    store(2, savings, checking, 10000);
    // Another business whose accounts take this one's identifiers: its
    // Savings is this one's Food.
    auto other = twImportBusiness();
    ASSERT_TRUE(other);
    const TWAccountPtr otherChecking =
        twImportAccount(*other, QStringLiteral("Checking"), TWAccountTypeBank);
    const TWAccountPtr otherSavings =
        twImportAccount(*other, QStringLiteral("Savings"), TWAccountTypeBank);
    ASSERT_EQ(otherSavings->identifier(), food->identifier());
    store(5, otherSavings, otherChecking, -2500, other.get());
    const auto exported = [this](TWBusiness &from, const TWAccountList &accounts,
                                 const QString &name) {
        const auto settings = TWExportTransactionsSettings::exportTransactionsSettingsWithFileType(
            TWExportFileTypeOFX, nullptr, 0, QDateTime(), QDateTime(), accounts,
            from.defaultExportFields(), false);
        const QString path = dir.filePath(name);
        EXPECT_OK(
            TWExportWriter::writeTransactions(from, settings, from.transactions(), path, false));
        return path;
    };
    const QString theirs =
        exported(*other, TWAccountList{otherChecking, otherSavings}, QStringLiteral("theirs.ofx"));
    const QString ours = exported(*business, business->accounts(), QStringLiteral("ours.ofx"));
    // Two accounts that hold one number, in the own file and as the build
    // before wrote it (no word of the account each statement is from).
    savings->setNumber(QStringLiteral("555"));
    food->setNumber(QStringLiteral("555"));
    const QString oursShared =
        exported(*business, business->accounts(), QStringLiteral("ours-shared.ofx"));
    savings->setNumber(QString());
    food->setNumber(QString());
    QFile sharedFile(oursShared);
    ASSERT_TRUE(sharedFile.open(QIODevice::ReadOnly));
    const QString oursSharedBefore =
        write(QStringLiteral("ours-before.ofx"),
              QString::fromUtf8(sharedFile.readAll())
                  .remove(QRegularExpression(QStringLiteral("<CLTCOOKIE>[^\\n]*\\n")))
                  .toUtf8());
    const TWAccountPtr third =
        twImportAccount(*business, QStringLiteral("Other"), TWAccountTypeLoan);
    const auto statement = [](const char *number, const char *lines) {
        return QByteArray(
                   "<STMTTRNRS>\n<STMTRS>\n<CURDEF>USD\n<BANKACCTFROM>\n<BANKID>9\n<ACCTID>") +
               number + "\n<ACCTTYPE>CHECKING\n</BANKACCTFROM>\n<BANKTRANLIST>\n" + lines +
               "</BANKTRANLIST>\n</STMTRS>\n</STMTTRNRS>\n";
    };
    const QByteArray line =
        "<STMTTRN>\n<TRNTYPE>DEBIT\n<DTPOSTED>20240605\n<TRNAMT>-7.00\n<NAME>Cafe\n</STMTTRN>\n";
    const auto bankFile = [&](const QString &name, const QByteArray &statements) {
        return write(name, "OFXHEADER:100\nDATA:OFXSGML\nVERSION:102\n\n<OFX>\n<BANKMSGSRSV1>\n" +
                               statements + "</BANKMSGSRSV1>\n</OFX>\n");
    };
    const QString twoBlocks = bankFile(QStringLiteral("blocks.ofx"),
                                       statement("555", line) + statement("555", line + line));
    const QString expenseNumber =
        bankFile(QStringLiteral("expense.ofx"), statement("777", line) + statement("888", line));
    // A checking and a savings account under one member number; one number
    // at two banks.
    const QString twoTypes =
        bankFile(QStringLiteral("types.ofx"),
                 statement("555", line) +
                     QByteArray(statement("555", line + line)).replace("CHECKING", "SAVINGS"));
    const QString twoBanks =
        bankFile(QStringLiteral("banks.ofx"),
                 statement("555", line) +
                     QByteArray(statement("555", line + line)).replace("<BANKID>9", "<BANKID>10"));
    // As the previous build wrote the program's own file of two accounts:
    // "0" for an account kept at no institution, the moment as TRNUID.
    const QString previous =
        bankFile(QStringLiteral("previous.ofx"),
                 QByteArray(statement("0", line) + statement("0", line + line))
                     .replace("<STMTTRNRS>\n", "<STMTTRNRS>\n<TRNUID>739267200.000000\n"));
    struct Case {
        const char *name;
        QString path;
        const char *savingsNumber, *foodNumber; // what the business holds
        int chosen;                    // the pop-up's entry chosen; -1: as the sheet has it
        QStringList offeredStatements; // the pop-up's entries after "none"; empty: hidden
        int checkingRows, savingsRows, foodRows;
        bool asked;   // a question after Continue
        QString note; // part of the sheet's note
        // A third account: its type, the number it holds, the rows it gets.
        TWAccountType otherType = TWAccountTypeLoan;
        const char *otherNumber = "";
        int otherRows = 0;
        int ticked = -1; // -1: none of the own file's, every row of any other
    };
    // The program's own labels: its accounts' identifiers, alike in both.
    const QString tw1 = QStringLiteral("TW%1").arg(checking->identifier());
    const QString tw2 = QStringLiteral("TW%1").arg(food->identifier());
    const QString tw3 = QStringLiteral("TW%1").arg(savings->identifier());
    const QString into = QStringLiteral("Into the chosen account, Checking: %1.");
    // clang-format off
    const Case cases[] = {
        {"their own file, nothing chosen", theirs, "", "", -1, {tw1, tw2}, 0, 0, 0, true,
         QStringLiteral("Left out: %1, %2.").arg(tw1, tw2)},
        {"their own file, their Savings chosen", theirs, "", "", 2, {tw1, tw2}, 1, 0, 0, true,
         into.arg(tw2)},
        {"our own file of every account", ours, "", "", -1, {}, 2, 1, 1, false,
         QStringLiteral("Into the accounts their numbers name: %1 (Checking), %2 (Food), %3 "
                        "(Savings).").arg(tw1, tw2, tw3)},
        {"two blocks of one number no account holds", twoBlocks, "", "", -1, {"555"}, 3, 0, 0,
         false, into.arg(QStringLiteral("555"))},
        {"two blocks of one number Savings holds", twoBlocks, "555", "", -1, {}, 0, 3, 0, false,
         QStringLiteral("555 (Savings)")},
        {"a number an expense account holds", expenseNumber, "888", "777", 1, {"777"}, 1, 1, 0,
         false, into.arg(QStringLiteral("777"))},
        {"the previous build's own file of two accounts", previous, "", "", 2,
         {"statement 1", "statement 2"}, 2, 0, 0, true,
         into.arg(QStringLiteral("statement 2")) + QStringLiteral(" Left out: statement 1.")},
        {"a number a loan holds", expenseNumber, "888", "", -1, {}, 0, 1, 0, false,
         QStringLiteral("777 (Other)"), TWAccountTypeLoan, "777", 1},
        {"a number a credit line holds", expenseNumber, "888", "", -1, {}, 0, 1, 0, false,
         QStringLiteral("777 (Other)"), TWAccountTypeCurrentLiability, "777", 1},
        {"a number a long-term liability holds", expenseNumber, "888", "", -1, {}, 0, 1, 0, false,
         QStringLiteral("777 (Other)"), TWAccountTypeLongTermLiability, "777", 1},
        {"a number a payment service holds", expenseNumber, "888", "", -1, {}, 0, 1, 0, false,
         QStringLiteral("777 (Other)"), TWAccountTypeCurrentAsset, "777", 1},
        {"a number an investment account holds", expenseNumber, "888", "", -1, {}, 0, 1, 0, false,
         QStringLiteral("777 (Other)"), TWAccountTypeInvestment, "777", 1},
        {"a number an income account holds", expenseNumber, "888", "", -1, {"777"}, 1, 1, 0,
         false, into.arg(QStringLiteral("777")), TWAccountTypeIncome, "777", 0},
        {"a number an equity account holds", expenseNumber, "888", "", -1, {"777"}, 1, 1, 0,
         false, into.arg(QStringLiteral("777")), TWAccountTypeEquity, "777", 0},
        {"a number a bank and a loan both hold", expenseNumber, "777", "", -1, {"777", "888"}, 0,
         0, 0, true, QStringLiteral("Left out: 777, 888."), TWAccountTypeLoan, "777", 0},
        {"one number, two account types, none holds it", twoTypes, "", "", -1,
         {"555 (CHECKING)", "555 (SAVINGS)"}, 0, 0, 0, true,
         QStringLiteral("Left out: 555 (CHECKING), 555 (SAVINGS).")},
        {"one number, two account types, Savings holds it", twoTypes, "555", "", -1,
         {"555 (CHECKING)", "555 (SAVINGS)"}, 0, 0, 0, true,
         QStringLiteral("Left out: 555 (CHECKING), 555 (SAVINGS).")},
        {"one number, two account types, the savings one chosen", twoTypes, "", "", 2,
         {"555 (CHECKING)", "555 (SAVINGS)"}, 2, 0, 0, true,
         into.arg(QStringLiteral("555 (SAVINGS)"))},
        {"one number at two banks", twoBanks, "", "", -1, {"555 (9)", "555 (10)"}, 0, 0, 0, true,
         QStringLiteral("Left out: 555 (9), 555 (10).")},
        {"our own file of two accounts of one number", oursShared, "555", "555", -1, {}, 2, 1, 1,
         false, QStringLiteral("555 (Food), 555' (Savings)")},
        {"the same as the build before wrote it", oursSharedBefore, "555", "555", -1, {"555"}, 4,
         0, 0, false, into.arg(QStringLiteral("555")), TWAccountTypeLoan, "", 0, 2},
    };
    // clang-format on
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        savings->setNumber(QString::fromLatin1(c.savingsNumber));
        food->setNumber(QString::fromLatin1(c.foodNumber));
        third->setAccountType(c.otherType);
        third->setNumber(QString::fromLatin1(c.otherNumber));
        alerts.clear();
        informative.clear();
        sheet.importURL(QUrl::fromLocalFile(c.path));
        TWPopUpButton *statements = sheet.statementPopUpButton();
        QStringList offered;
        for (int i = 1; i < statements->count(); ++i)
            offered.append(statements->itemText(i));
        EXPECT_EQ(statements->isHidden() ? QStringList() : offered, c.offeredStatements);
        if (c.chosen >= 0) {
            statements->setCurrentIndex(c.chosen);
            emit statements->activated(c.chosen);
        }
        EXPECT_FALSE(sheet.statementNote()->isHidden());
        EXPECT_TRUE(sheet.statementNote()->text().contains(c.note))
            << sheet.statementNote()->text().toStdString();
        ASSERT_TRUE(sheet.parseButton()->isEnabled());
        sheet.doParse(1);
        EXPECT_EQ(!alerts.isEmpty(), c.asked) << informative.join(u' ').toStdString();
        ASSERT_TRUE(selection());
        int inChecking = 0, inSavings = 0, inFood = 0, inOther = 0;
        for (const TWTransactionPtr &read : selection()->transactions()) {
            inChecking += read->account1Identifier() == checking->identifier() ? 1 : 0;
            inSavings += read->account1Identifier() == savings->identifier() ? 1 : 0;
            inFood += read->account1Identifier() == food->identifier() ? 1 : 0;
            inOther += read->account1Identifier() == third->identifier() ? 1 : 0;
        }
        EXPECT_EQ(inChecking, c.checkingRows);
        EXPECT_EQ(inSavings, c.savingsRows);
        EXPECT_EQ(inFood, c.foodRows);
        EXPECT_EQ(inOther, c.otherRows);
        EXPECT_EQ(selection()->transactions().size(), inChecking + inSavings + inFood + inOther);
        // The own file is in the business already; none of the rest is.
        const qsizetype ticked = c.ticked >= 0 ? c.ticked
                                 : c.path == ours || c.path == oursShared
                                     ? 0
                                     : selection()->transactions().size();
        EXPECT_EQ(selection()->importTransactionsController()->importSelectedTransactions().size(),
                  ticked);
        selection()->doImport(0);
    }
}

// An amount column whose name ends in "(start)" or "(end)" is an odometer
// reading only in a mileage log: a file that also holds the amount in a
// mileage unit, or one read into an account kept in one. In any other file it
// is the amount, and a reading set aside is not remembered for the next file.
TEST_F(ImportSheetTest, StartAndEndColumnsAreSetAsideOnlyInAMileageLog)
{
    const TWUnitPtr km = business->unitWithCode(QStringLiteral("KM"));
    ASSERT_TRUE(km);
    const TWAccountPtr log =
        twImportAccount(*business, QStringLiteral("Car log"), TWAccountTypeExpense, km->code());
    struct Case {
        const char *name;
        const char *file;
        TWAccountPtr into;
        QList<bool> mapped;                // of each column
        std::optional<qint64> amount;      // of the one row, in the account's unit
        const char *storedAside = nullptr; // a column an earlier build stored as set aside
    };
    // clang-format off
    const Case cases[] = {
        {"the mileage amount beside its readings",
         "Date,Payee,Debit (KM),Debit (start),Debit (end)\n6/4/24,Site,42.0,12040.0,12082.0\n",
         checking, {true, true, true, false, false}, std::nullopt},
        {"a reading into a mileage account", "Date,Payee,Amount (start)\n6/4/24,Site,12040.0\n",
         log, {true, true, false}, std::nullopt},
        {"a bank's end amount", "Date,Payee,Amount (end)\n6/4/24,Grocer,-12.50\n", checking,
         {true, true, true}, -1250},
        {"a bank's start total", "Date,Payee,Total (Start)\n6/4/24,Grocer,-12.50\n", checking,
         {true, true, true}, -1250},
        {"the columns the log set aside, in a bank's file",
         "Date,Payee,Debit (end)\n6/4/24,Grocer,-12.50\n", checking, {true, true, true}, -1250},
        {"a bank's start amount", "Date,Payee,Amount (start)\n6/4/24,Grocer,-12.50\n", checking,
         {true, true, true}, -1250},
        // What the bank's files taught is never a log's mapping.
        {"the log after the bank's files of its columns",
         "Date,Payee,Debit (KM),Debit (start),Debit (end)\n6/4/24,Site,42.0,12040.0,12082.0\n",
         checking, {true, true, true, false, false}, std::nullopt},
        {"a reading into a mileage account after the bank's file",
         "Date,Payee,Amount (start)\n6/4/24,Site,12040.0\n", log, {true, true, false},
         std::nullopt},
        {"the bank's file after the logs", "Date,Payee,Debit (end)\n6/4/24,Grocer,-12.50\n",
         checking, {true, true, true}, -1250},
        {"an end amount an earlier build stored as set aside",
         "Date,Payee,Amount (end)\n6/4/24,Grocer,-12.50\n", checking, {true, true, true}, -1250,
         "Amount (end)"},
    };
    // clang-format on
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        if (c.storedAside) {
            QVariantMap stored = business->importTransactionsSettings();
            stored.insert(QString::fromUtf8(c.storedAside),
                          QVariantMap{{TWImportKeyType, QVariant::fromValue(0u)}});
            business->setImportTransactionsSettings(stored);
        }
        sheet.setDefaultAccount(c.into);
        importFile(QStringLiteral("log.csv"), c.file);
        TWImportMappingModel *model = sheet.model();
        ASSERT_EQ(model->rowCount(), c.mapped.size());
        for (int row = 0; row < model->rowCount(); ++row)
            EXPECT_EQ(model->line(row)->type() != TWImportFieldTypeNone, c.mapped.at(row)) << row;
        ASSERT_TRUE(sheet.parseButton()->isEnabled());
        sheet.doParse(1);
        ASSERT_TRUE(selection());
        ASSERT_EQ(selection()->transactions().size(), 1);
        const TWTransactionPtr &read = selection()->transactions().first();
        if (c.amount) {
            EXPECT_EQ(read->account1Identifier() == c.into->identifier() ? read->totalAccount1()
                                                                         : -read->totalAccount2(),
                      *c.amount);
        }
        selection()->doImport(0);
    }
}

// A Mileage account's own spreadsheet and QIF read back are all in the
// business: its entries are the dollars the file gives, not 0 miles.
TEST_F(ImportSelectionTest, AMileageAccountsOwnFilesReadBackAsDuplicates)
{
    const TWAccountPtr mileage =
        twImportAccount(*business, QStringLiteral("Mileage"), TWAccountTypeExpense);
    business->setLastMileageUnit(business->unitWithCode(QStringLiteral("MIL")));
    store(1, checking, mileage, -4550);
    store(2, mileage, checking, 1250);
    store(3, checking, food, -700); // control: no Mileage account
    // A log kept in the mileage unit itself: its trips are kilometres, with
    // the odometer's readings beside them in the file.
    const TWUnitPtr km = business->unitWithCode(QStringLiteral("KM"));
    const TWAccountPtr log =
        twImportAccount(*business, QStringLiteral("Car log"), TWAccountTypeExpense, km->code());
    const TWAccountPtr odometer = twImportAccount(*business, QStringLiteral("Odometer"),
                                                  TWAccountTypeCurrentAsset, km->code());
    {
        auto trip = std::make_shared<TWTransaction>();
        trip->setIdentifier(business->nextTransactionIdentifier());
        trip->setDate(twLocal(2024, 6, 4));
        trip->setPayee(QStringLiteral("Site visit"));
        trip->setUnit(km);
        trip->setTotalStart(1204000);
        trip->setTotalEnd(1208200);
        trip->setAccount1Identifier(log->identifier());
        trip->setAccount2Identifier(odometer->identifier());
        for (const auto set : {&TWTransaction::setTotal, &TWTransaction::setTotalAccount1,
                               &TWTransaction::setTotalAccount2})
            ((*trip).*set)(4200);
        ASSERT_OK(business->addTransaction(trip, false, false, false, false));
    }
    for (const auto &[accounts, fileType] :
         {std::pair{TWAccountList{mileage}, TWExportFileTypeCSV},
          std::pair{TWAccountList{mileage}, TWExportFileTypeQIF},
          std::pair{TWAccountList{log}, TWExportFileTypeCSV},
          std::pair{TWAccountList{log}, TWExportFileTypeQIF},
          std::pair{TWAccountList{checking}, TWExportFileTypeCSV},
          std::pair{TWAccountList{checking}, TWExportFileTypeQIF}}) {
        SCOPED_TRACE(testing::Message()
                     << accounts.first()->name().toStdString() << " " << fileType);
        const auto settings = TWExportTransactionsSettings::exportTransactionsSettingsWithFileType(
            fileType, nullptr, 0, QDateTime(), QDateTime(), accounts,
            business->defaultExportFields(), false);
        const QString path = dir.filePath(TWExportWriter::fileName(fileType));
        ASSERT_OK(TWExportWriter::writeTransactions(*business, settings, business->transactions(),
                                                    path, false));
        sheet.setDefaultAccount(accounts.first());
        sheet.importURL(QUrl::fromLocalFile(path));
        sheet.doParse(1);
        ASSERT_TRUE(selection());
        ASSERT_FALSE(selection()->transactions().isEmpty());
        for (const TWTransactionPtr &read : selection()->transactions()) {
            EXPECT_EQ(read->unit()->code(),
                      accounts.first() == log ? QStringLiteral("KM") : QStringLiteral("USD"));
            if (accounts.first() == log) {
                EXPECT_EQ(read->total(), 4200);
            }
        }
        EXPECT_TRUE(
            selection()->importTransactionsController()->importSelectedTransactions().isEmpty());
        selection()->doImport(0);
    }
}

TEST_F(ImportSelectionTest, ImportAddsTheTickedRowsShownInOneWriteWithOneNotificationEach)
{
    importFile(QStringLiteral("statement.csv"), kBankCsv);
    sheet.doParse(1);
    ASSERT_TRUE(selection());
    TWTransactionsController *list = selection()->importTransactionsController();
    ASSERT_EQ(list->importSelectedTransactions().size(), 3);
    // A search hides two ticked rows: only the row the list shows is added.
    list->filterAndSort(QStringLiteral("Grocer"));
    ASSERT_EQ(list->sortedTransactions().size(), 1);
    const qint32 first = business->nextTransactionIdentifier();
    const qsizetype before = business->transactions().size();
    TWNotificationRecorder recorder(business.get());
    selection()->importButton()->click();
    ASSERT_EQ(business->transactions().size(), before + 1);
    EXPECT_EQ(business->transactions().constLast()->identifier(), first);
    EXPECT_EQ(business->transactions().constLast()->description(), QStringLiteral("Grocer"));
    EXPECT_EQ(recorder.names().count(TWTransactionNewNotification), 1);
    EXPECT_EQ(recorder.names().count(QStringLiteral("valueNew")), 1);
}

TEST_F(ImportSelectionTest, ARefusedRowLeavesTheBusinessAsItWasAndTheSheetOpen)
{
    importFile(QStringLiteral("statement.csv"), kBankCsv);
    sheet.doParse(1);
    ASSERT_TRUE(selection());
    twExec(*business, QStringLiteral("CREATE TEMP TRIGGER refuse BEFORE INSERT ON transactions "
                                     "WHEN NEW.payee = 'Cafe' OR NEW.description = 'Cafe' "
                                     "BEGIN SELECT RAISE(ABORT, 'refused'); END;"));
    const qsizetype before = business->transactions().size();
    const qint32 next = business->nextTransactionIdentifier();
    TWNotificationRecorder recorder(business.get());
    QList<int> codes;
    QObject::connect(selection(), &TWEditorController::endRequested,
                     [&codes](int code) { codes.append(code); });
    QList<TWError> shown;
    QObject::connect(selection(), &TWImportTransactionsSelectController::errorPresented,
                     [&shown](const TWError &error) { shown.append(error); });
    selection()->importButton()->click();
    EXPECT_EQ(shown.size(), 1);
    EXPECT_EQ(business->transactions().size(), before);
    EXPECT_EQ(business->nextTransactionIdentifier(), next);
    EXPECT_TRUE(recorder.names().isEmpty());
    EXPECT_TRUE(codes.isEmpty());
    EXPECT_EQ(selection()->importTransactionsController()->importSelectedTransactions().size(), 3);
}

// Rows whose amounts fit but would take an account's balance past what 64
// bits hold are refused together: nothing is added.
TEST_F(ImportSelectionTest, ABalanceTheRowsWouldTakePastTheRangeRefusesTheWholeImport)
{
    store(1, checking, food, 5000000000000000000);
    importFile(QStringLiteral("large.csv"), "Date,Description,Amount,Category\n"
                                            "6/2/24,Cafe,-4.20,Food\n"
                                            "6/3/24,Large,50000000000000000.00,Food\n");
    sheet.doParse(1);
    ASSERT_TRUE(selection());
    const qsizetype before = business->transactions().size();
    QList<TWError> shown;
    QObject::connect(selection(), &TWImportTransactionsSelectController::errorPresented,
                     [&shown](const TWError &error) { shown.append(error); });
    selection()->importButton()->click();
    ASSERT_EQ(shown.size(), 1);
    const QString said = shown[0].localizedDescription();
    EXPECT_TRUE(said == TWLocalized("balanceNotHeldMessage").arg(checking->name()) ||
                said == TWLocalized("balanceNotHeldMessage").arg(food->name()))
        << said.toStdString();
    EXPECT_EQ(business->transactions().size(), before);
}

TEST_F(ImportSelectionTest, AClosedPeriodRefusesTheWholeImportBeforeAnyIdentifierIsTaken)
{
    TWBusinessInfoPtr info = business->businessInfo()->copy();
    info->setAccountingPeriods(
        {TWAccountingPeriod::accountingPeriodWithName(QStringLiteral("2023"), twLocal(2023, 1, 1),
                                                      twLocal(2023, 12, 31), true, 0),
         TWAccountingPeriod::accountingPeriodWithName(QStringLiteral("2024"), twLocal(2024, 1, 1),
                                                      twLocal(2024, 12, 31), false, 0)});
    info->setCreateNewAccountingPeriods(false);
    ASSERT_OK(business->updateBusinessInfo(info));
    ASSERT_OK(business->populateAccountingPeriods());
    importFile(QStringLiteral("statement.csv"), kBankCsv + "12/20/23,Old,-1.00,Food\n");
    sheet.doParse(1);
    ASSERT_TRUE(selection());
    ASSERT_EQ(selection()->importTransactionsController()->importSelectedTransactions().size(), 4);
    const qsizetype before = business->transactions().size();
    const qint32 next = business->nextTransactionIdentifier();
    selection()->importButton()->click();
    EXPECT_EQ(alerts.constLast(), TWLocalized("containsClosedTransactions"));
    EXPECT_EQ(business->transactions().size(), before);
    EXPECT_EQ(business->nextTransactionIdentifier(), next);
}

TEST_F(ImportSelectionTest, EachChooseSheetOpensAtItsLeftEdge)
{
    // The first choice narrow and scrolled to its lists' ends, the next one
    // at their start.
    for (const bool first : {true, false}) {
        importFile(QStringLiteral("statement.csv"), kBankCsv);
        sheet.doParse(1);
        ASSERT_TRUE(selection());
        selection()->view()->resize(420, 500);
        selection()->view()->show();
        QCoreApplication::processEvents();
        for (TWTransactionsController *list : {selection()->importTransactionsController(),
                                               selection()->allTransactionsController()}) {
            QScrollBar *bar = list->tableView()->horizontalScrollBar();
            EXPECT_EQ(bar->value(), bar->minimum());
            ASSERT_GT(bar->maximum(), bar->minimum());
            bar->setValue(bar->maximum());
        }
        if (first)
            selection()->doImport(0);
    }
}

TEST_F(ImportSelectionTest, BothListsShowTheirAmountsAtTheSheetsDefaultSize)
{
    store(1, checking, food, -57607370);
    // Widths dragged in a register are where the lists start, never kept.
    QVariantMap settings = *business->columnSettings(0);
    for (const qint32 field : {-5, -6, -7})
        ASSERT_TRUE(TWRegisterColumns::setWidth(settings, field, 260));
    business->updateColumnSettings(0, settings);
    importFile(QStringLiteral("statement.csv"), kBankCsv);
    sheet.doParse(1);
    ASSERT_TRUE(selection());
    selection()->view()->show();
    QCoreApplication::processEvents();
    for (TWTransactionsController *list :
         {selection()->importTransactionsController(), selection()->allTransactionsController()}) {
        const QHeaderView *header = list->tableView()->horizontalHeader();
        int amounts = 0;
        for (int column = 0; column < header->count(); ++column) {
            const qint32 field = list->model()->columns().at(column)->identifier();
            if (field != TWFieldIdentifierDebit && field != TWFieldIdentifierCredit &&
                field != TWFieldIdentifierBalance)
                continue;
            SCOPED_TRACE(testing::Message() << int(list->mode()) << " " << field);
            ++amounts;
            EXPECT_GE(header->sectionSize(column), list->minimumWidth(column));
            EXPECT_LE(header->sectionViewportPosition(column) + header->sectionSize(column),
                      list->tableView()->viewport()->width());
        }
        EXPECT_EQ(amounts, list == selection()->importTransactionsController() ? 2 : 3);
    }
}

// A bank statement opened while no register is chosen (a report is shown)
// names no account of its own: Continue waits until the user chooses one,
// and its lines are then that account's, never the last-used accounts'.
TEST_F(ImportSheetTest, AStatementWaitsForItsAccountToBeChosen)
{
    sheet.setDefaultAccount(nullptr);
    sheet.reset();
    importFile(QStringLiteral("statement.ofx"),
               "OFXHEADER:100\nDATA:OFXSGML\nVERSION:102\n\n<OFX>\n<BANKMSGSRSV1>\n<STMTTRNRS>\n"
               "<STMTRS>\n<CURDEF>USD\n<BANKTRANLIST>\n<STMTTRN>\n<TRNTYPE>DEBIT\n"
               "<DTPOSTED>20240601\n<TRNAMT>-12.50\n<NAME>Grocer\n</STMTTRN>\n</BANKTRANLIST>\n"
               "</STMTRS>\n</STMTTRNRS>\n</BANKMSGSRSV1>\n</OFX>\n");
    EXPECT_FALSE(sheet.parseButton()->isEnabled());
    EXPECT_FALSE(sheet.accountHint()->isHidden());
    sheet.doParse(1);
    EXPECT_FALSE(selection() && !selection()->transactions().isEmpty());
    const int index = sheet.accountPopUpButton()->findText(QStringLiteral("Checking"));
    ASSERT_GE(index, 2);
    sheet.accountPopUpButton()->setCurrentIndex(index);
    emit sheet.accountPopUpButton()->activated(index);
    EXPECT_TRUE(sheet.accountHint()->isHidden());
    ASSERT_TRUE(sheet.parseButton()->isEnabled());
    sheet.doParse(1);
    ASSERT_TRUE(selection());
    ASSERT_EQ(selection()->transactions().size(), 1);
    EXPECT_EQ(selection()->transactions().first()->account1Identifier(), checking->identifier());
}
