// Real-shaped businesses, made by the store's own operations, put through
// what users do to them (with the calls the windows make), and checked after
// each operation against the rules every business keeps. One test per
// operation; it runs on every business and names the operation, the business
// and the first record that breaks a rule. The suite runs again in zones east
// and west of Greenwich and in one whose clock skips midnight.

#include "InvariantChecks.h"
#include "TWBenchSample.h"
#include "TWStoreTestSupport.h"
#include "TWTestSupport.h"

#include "app/TWAlert.h"
#include "app/TWControls.h"
#include "export/core/TWExportWriter.h"
#include "foundation/TWClock.h"
#include "foundation/TWLocalized.h"
#include "import/ui/TWImportTransactionsController.h"
#include "import/ui/TWImportTransactionsSelectController.h"
#include "ledger/TWEditTransactionsController.h"
#include "ledger/TWTransactionsController.h"
#include "model/TWAccountingPeriod.h"
#include "model/TWBusinessInfo.h"
#include "model/TWExportSettings.h"
#include "model/TWRelationship.h"
#include "model/TWRepeat.h"
#include "store/TWTransactionEditing.h"
#include "store/TWWorkTotals.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QDateEdit>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>

#include <functional>

namespace
{

constexpr qint32 kBank = 100;
constexpr qint32 kReceivable = 105;

// The businesses: the sample with all a business gathers in three home units
// of 2, 0 and 3 places, and the sample's own shape at its README size.
struct Variant {
    const char *name;
    const char *home;
    int transactions;
    bool extras;
};
const Variant kVariants[] = {
    {"sample in dollars", "USD", 400, true},
    {"sample in yen", "JPY", 250, true},
    {"sample in dinars", "KWD", 250, true},
    {"sample of 2,000", "USD", 2000, false},
};

// One business put through one operation.
struct BusinessRun {
    TWTestTempDir dir;
    QString package;
    std::unique_ptr<TWBusiness> business;
    TWOperationOutcome outcome;
    bool applies = true; // the business holds what the operation works on

    TWBusiness &b() { return *business; }

    std::unique_ptr<TWBusiness> open(const QString &path)
    {
        TWErrorResult error;
        auto opened = TWBusiness::businessWithURL(QUrl::fromLocalFile(path), false, &error);
        if (error)
            outcome.faults.append(
                QStringLiteral("opening failed: %1").arg(error->localizedDescription()));
        return opened;
    }
    void fail(const QString &fault) { outcome.faults.append(fault); }
    void result(TWErrorResult error)
    {
        if (error && !outcome.result)
            outcome.result = error;
    }
    // Every transaction linked to the records of `type` with `child`.
    void touchLinked(std::uint32_t type, qint32 child)
    {
        for (const TWRelationshipPtr &link : b().relationshipsWithChildIdentifier(child, type))
            outcome.touched.insert(link->transactionIdentifier());
    }
    void touchInvoice(const TWInvoicePtr &invoice)
    {
        touchLinked(TWRelationshipTypeInvoicePayment, invoice->identifier());
    }
    void touchBill(const TWBillPtr &bill)
    {
        touchLinked(TWRelationshipTypeBillPayment, bill->identifier());
    }
};

// A purchase paid from the bank today, as the editor makes it.
TWTransactionPtr newPurchase(TWBusiness &b)
{
    TWTransactionPtr t = std::make_shared<TWTransaction>();
    t->setIdentifier(b.nextTransactionIdentifier());
    t->setDate(QDateTime(TWClock::today(), QTime(0, 0)));
    t->setPayee(QStringLiteral("Stationer"));
    t->setUnit(b.homeUnit());
    t->setTotal(1999);
    t->setAccount1Identifier(b.accountsOfType(TWAccountTypeExpense).first()->identifier());
    t->setAccount2Identifier(kBank);
    twUpdateTotals(*t, TWTotalTypeTotal, TWTotalTypeAll, b);
    return t;
}

// ---- Finding the records an operation works on ----

template <typename List, typename Test> auto firstOf(const List &list, Test test)
{
    for (const auto &item : list)
        if (test(item))
            return item;
    return typename List::value_type();
}

TWInvoicePtr invoiceNamed(TWBusiness &b, const QString &name)
{
    return firstOf(b.invoices(), [&](const TWInvoicePtr &i) { return i->name() == name; });
}
TWBillPtr billNamed(TWBusiness &b, const QString &name)
{
    return firstOf(b.bills(), [&](const TWBillPtr &i) { return i->name() == name; });
}
TWClientPtr clientNamed(TWBusiness &b, const QString &company)
{
    return firstOf(b.clients(), [&](const TWClientPtr &c) { return c->company() == company; });
}
TWMerchantPtr merchantNamed(TWBusiness &b, const QString &name)
{
    return firstOf(b.merchants(), [&](const TWMerchantPtr &m) { return m->name() == name; });
}

bool closedDay(TWBusiness &b, const QDateTime &day)
{
    const TWAccountingPeriodPtr period = b.accountingPeriodForDate(day);
    return period && period->closed();
}

// Purchases paid from the bank, linked to nothing, in an open (or closed) year.
TWTransactionList bankPurchases(TWBusiness &b, bool split, int count)
{
    TWTransactionList found;
    for (const TWTransactionPtr &t : b.transactions()) {
        if (t->type() != TWTransactionTypeNormal || t->state() != TWTransactionStateNormal ||
            t->repeatIdentifier() != 0 || closedDay(b, t->date()) || t->hasSplit() != split ||
            !b.relationshipsWithTransaction(*t).isEmpty())
            continue;
        const bool fromBank =
            split ? std::any_of(t->splits().cbegin(), t->splits().cend(),
                                [](const TWSplitPtr &s) { return s->accountIdentifier() == kBank; })
                  : t->account2Identifier() == kBank;
        if (fromBank)
            found.append(t);
        if (found.size() == count)
            break;
    }
    return found;
}

TWTaskList invoiceTasks(TWBusiness &b, const TWInvoicePtr &invoice)
{
    TWTaskList tasks;
    if (invoice)
        for (const TWRelationshipPtr &link : b.relationshipsWithParentIdentifier(
                 invoice->identifier(), TWRelationshipTypeInvoiceTask))
            if (const TWTaskPtr task = b.taskWithIdentifier(link->childIdentifier()))
                tasks.append(task);
    return tasks;
}

// The invoice's entry: the first transaction linked to it.
TWTransactionPtr invoiceEntry(TWBusiness &b, const TWInvoicePtr &invoice)
{
    qint32 first = 0;
    for (const TWRelationshipPtr &link : b.relationshipsWithChildIdentifier(
             invoice->identifier(), TWRelationshipTypeInvoicePayment))
        if (first == 0 || link->transactionIdentifier() < first)
            first = link->transactionIdentifier();
    return b.transactionWithIdentifier(first);
}

// The invoice editor's Save of an existing invoice: the row, its lines, its entry.
TWErrorResult saveInvoice(TWBusiness &b, const TWInvoicePtr &stored)
{
    const TWInvoicePtr edit = stored->copy();
    TWBusiness::WriteScope scope(b);
    if (TWErrorResult error = b.updateInvoice(edit, true))
        return scope.finish(error);
    if (TWErrorResult error = b.updateInvoiceItems(edit, twInvoiceTaskCopies(*edit, b),
                                                   twInvoiceExpenseCopies(*edit, b)))
        return scope.finish(error);
    return scope.finish(b.updateInvoiceTransaction(
        edit, b.lastInvoiceAccountIdentifier(*edit, TWAccountTypeAccountsReceivable),
        b.lastInvoiceAccountIdentifier(*edit, TWAccountTypeIncome), nullptr));
}

// The business information sheet's save of changed periods.
TWErrorResult storePeriods(TWBusiness &b, const std::function<void(TWAccountingPeriodList &)> &edit)
{
    TWBusinessInfoPtr info = b.businessInfo()->copy();
    TWAccountingPeriodList periods = TWAccountingPeriod::copyPeriods(info->accountingPeriods());
    edit(periods);
    info->setAccountingPeriods(periods);
    TWBusiness::WriteScope scope(b);
    if (TWErrorResult error = b.updateBusinessInfo(info))
        return scope.finish(error);
    if (TWErrorResult error = b.deleteAccountingPeriods(true))
        return scope.finish(error);
    for (const TWAccountingPeriodPtr &period : periods)
        if (TWErrorResult error = b.addAccountingPeriod(period, true))
            return scope.finish(error);
    if (TWErrorResult error = b.updateAccountingPeriods(true))
        return scope.finish(error);
    return scope.finish(b.updateTransactionStates());
}

// A list's Delete: records holding closed transactions are refused before the
// store is asked, as the window does.
void windowDelete(BusinessRun &run, bool holdsClosed, const std::function<TWErrorResult()> &remove)
{
    if (holdsClosed)
        run.result(TWError(QStringLiteral("TWWindow"), -1, TWLocalized("deleteClosedTransaction")));
    else
        run.result(remove());
}

// New transactions the operation made, by identifier.
void touchNew(BusinessRun &run, const QSet<qint32> &before)
{
    for (const TWTransactionPtr &t : run.b().transactions())
        if (!before.contains(t->identifier()))
            run.outcome.touched.insert(t->identifier());
}

QSet<qint32> identifiers(TWBusiness &b)
{
    QSet<qint32> set;
    for (const TWTransactionPtr &t : b.transactions())
        set.insert(t->identifier());
    return set;
}

// ---- Operations ----

void saveAndCompare(BusinessRun &run, TWSaveOperation operation)
{
    TWBusiness &b = run.b();
    const QString tables = twTableDump(b);
    const QString path = operation == TWSaveOperationSave
                             ? run.package
                             : run.dir.filePath(QStringLiteral("Copy.tallyworth"));
    run.result(b.writeToURL(QUrl::fromLocalFile(path), operation));
    const TWInvariantSnapshot before = twInvariantSnapshot(b);
    std::unique_ptr<TWBusiness> reopened = run.open(path);
    if (!reopened)
        return;
    const QString after = twTableDump(*reopened);
    if (after != tables)
        run.fail(QStringLiteral("saved and opened again, the tables differ: %1")
                     .arg(twDumpDifference(tables, after)));
    // Every day reads back as the same day, every time item lasts as long.
    const TWInvariantSnapshot again = twInvariantSnapshot(*reopened);
    for (auto it = before.transactions.cbegin(); it != before.transactions.cend(); ++it)
        if (again.transactions.value(it.key()) != it.value()) {
            run.fail(QStringLiteral("transaction %1 was %2, reads back as %3")
                         .arg(it.key())
                         .arg(it.value(), again.transactions.value(it.key())));
            break;
        }
    for (const TWTaskItemPtr &item : b.taskItems()) {
        const TWTaskItemPtr read = reopened->taskItemWithIdentifier(item->identifier());
        if (!read || read->startDateTime().secsTo(read->endDateTime()) !=
                         item->startDateTime().secsTo(item->endDateTime())) {
            run.fail(QStringLiteral("time item %1 of %2 no longer lasts as long")
                         .arg(item->identifier())
                         .arg(item->startDateTime().toString(Qt::ISODate)));
            break;
        }
    }
    run.business = std::move(reopened);
}

// Edit Several on one field of some purchases, a split one among them.
void editSeveral(BusinessRun &run, qint32 field)
{
    TWBusiness &b = run.b();
    TWTransactionList selected = bankPurchases(b, false, 2) + bankPurchases(b, true, 1);
    if (selected.size() < 3) {
        run.applies = false;
        return;
    }
    TWTransactionList rows;
    for (const TWTransactionPtr &t : selected) {
        run.outcome.touched.insert(t->identifier());
        rows.append(t->transactionForActiveAccount(kBank, 0));
    }
    twSetAlertPresenter([](const TWAlert &, TWAlertCompletion completion) {
        if (completion)
            completion(1000);
    });
    TWEditTransactionsController sheet;
    QList<TWError> errors;
    QObject::connect(&sheet, &TWEditTransactionsController::errorPresented,
                     [&errors](const TWError &error) { errors.append(error); });
    sheet.setBusiness(&b);
    sheet.setTransactions(rows);
    sheet.view();
    sheet.reset();
    if (!sheet.selectField(field)) {
        run.fail(QStringLiteral("Edit Several offers no field %1").arg(field));
        return;
    }
    QWidget *value = sheet.valueView();
    if (auto *box = qobject_cast<QCheckBox *>(value))
        box->setChecked(!box->isChecked());
    else if (auto *date = qobject_cast<QDateEdit *>(value))
        date->setDate(TWClock::today().addDays(-3));
    else if (auto *accounts = qobject_cast<TWPopUpButton *>(value))
        accounts->setCurrentIndex(accounts->findText(TWLocalized("officeSupplies")));
    else if (auto *text = qobject_cast<QLineEdit *>(value))
        text->setText(field == -12 ? QStringLiteral("42") : QStringLiteral("Edited together"));
    sheet.saveButton()->click();
    // The question before a write that leaves some alone: go on.
    if (QMessageBox *box = sheet.view()->findChild<QMessageBox *>())
        if (QAbstractButton *yes = box->defaultButton())
            yes->click();
    QCoreApplication::sendPostedEvents();
    twSetAlertPresenter({});
    if (!errors.isEmpty())
        run.result(errors.first());
}

// Exported as the export sheet writes it, read back by the import sheet:
// every row is a duplicate (none ticked), then Import adds the ticked ones.
void readBack(BusinessRun &run, std::uint32_t fileType, const TWAccountList &accounts);

// An OFX file's statements name no account of the business the import could
// book them to: each account is read back from a statement of its own, as a
// bank gives them.
void exportAndImport(BusinessRun &run, std::uint32_t fileType, bool everyAccount)
{
    TWBusiness &b = run.b();
    TWAccountList accounts;
    if (everyAccount)
        accounts = b.accounts();
    else
        accounts = {b.accountWithIdentifier(kBank), b.accountWithIdentifier(kReceivable)};
    if (fileType != TWExportFileTypeOFX) {
        readBack(run, fileType, accounts);
        return;
    }
    for (const TWAccountPtr &account : std::as_const(accounts))
        readBack(run, fileType, {account});
}

void readBack(BusinessRun &run, std::uint32_t fileType, const TWAccountList &accounts)
{
    TWBusiness &b = run.b();
    const TWTransactionList listed =
        b.transactionsForAccounts(accounts, nullptr, 0, QDateTime(), QDateTime(), nullptr);
    const auto settings = TWExportTransactionsSettings::exportTransactionsSettingsWithFileType(
        fileType, nullptr, 0, QDateTime(), QDateTime(), accounts, b.defaultExportFields(), false);
    const QString path = run.dir.filePath(TWExportWriter::fileName(fileType));
    run.result(TWExportWriter::writeTransactions(b, settings, listed, path, false));
    QStringList alerts;
    twSetAlertPresenter([&alerts](const TWAlert &alert, TWAlertCompletion completion) {
        alerts.append(alert.message);
        if (completion)
            completion(1000);
    });
    const QSet<qint32> before = identifiers(b);
    {
        TWImportTransactionsController sheet;
        sheet.setBusiness(&b);
        sheet.setDefaultAccount(accounts.first());
        sheet.reset();
        sheet.importURL(QUrl::fromLocalFile(path));
        sheet.doParse(1);
        TWImportTransactionsSelectController *selection = sheet.selectController();
        if (!selection) {
            run.fail(QStringLiteral("the file was not read back: %1").arg(alerts.join(u' ')));
        } else {
            const TWTransactionList read = selection->transactions();
            const TWTransactionList ticked =
                selection->importTransactionsController()->importSelectedTransactions();
            if (!ticked.isEmpty()) {
                const TWTransactionPtr &first = ticked.first();
                run.fail(QStringLiteral("%1 of %2 rows read back are offered as new, the first "
                                        "%3 %4 %5 \"%6\" accounts %7 and %8")
                             .arg(ticked.size())
                             .arg(read.size())
                             .arg(first->date().date().toString(Qt::ISODate))
                             .arg(first->total())
                             .arg(first->unit() ? first->unit()->code() : QString(), first->payee())
                             .arg(first->account1Identifier())
                             .arg(first->account2Identifier()));
            }
            selection->doImport(1);
        }
    }
    twSetAlertPresenter({});
    touchNew(run, before);
}

struct Operation {
    const char *name;
    std::function<void(BusinessRun &)> apply;
    // Whether it writes to the books when allowed: one that then changes
    // nothing has missed what it meant to work on.
    bool writes = true;
};

QString proofs(int n)
{
    return QStringLiteral("Catalogue proofs %1").arg(n);
}

const QList<Operation> &operations()
{
    static const QList<Operation> list = {
        // Opening brings the repeats up to date; the other operations start
        // from the opened business.
        {"Open", [](BusinessRun &run) { run.business = run.open(run.package); }, false},
        {"SaveAndReopen", [](BusinessRun &run) { saveAndCompare(run, TWSaveOperationSave); },
         false},
        {"SaveAs", [](BusinessRun &run) { saveAndCompare(run, TWSaveOperationSaveAs); }, false},
        {"AddTransaction",
         [](BusinessRun &run) {
             const TWTransactionPtr t = newPurchase(run.b());
             run.outcome.touched.insert(t->identifier());
             run.result(run.b().addTransaction(t, true, true, true, true));
         }},
        {"EditTransaction",
         [](BusinessRun &run) {
             const TWTransactionList found = bankPurchases(run.b(), false, 1);
             if ((run.applies = !found.isEmpty())) {
                 const TWTransactionPtr edit = found.first()->copy();
                 edit->setTotal(edit->total() + 101);
                 twUpdateTotals(*edit, TWTotalTypeTotal, TWTotalTypeAll, run.b());
                 run.outcome.touched.insert(edit->identifier());
                 run.result(run.b().updateTransaction(edit, true, true, true, true));
             }
         }},
        {"EditSeveralCleared", [](BusinessRun &run) { editSeveral(run, -2); }},
        {"EditSeveralDate", [](BusinessRun &run) { editSeveral(run, -3); }},
        {"EditSeveralPayee", [](BusinessRun &run) { editSeveral(run, -5); }},
        {"EditSeveralDescription", [](BusinessRun &run) { editSeveral(run, -6); }},
        {"EditSeveralTotal", [](BusinessRun &run) { editSeveral(run, -12); }},
        {"EditSeveralAccount", [](BusinessRun &run) { editSeveral(run, -7); }},
        {"DeleteTransaction",
         [](BusinessRun &run) {
             const TWTransactionList found = bankPurchases(run.b(), true, 1);
             if ((run.applies = !found.isEmpty())) {
                 run.outcome.touched.insert(found.first()->identifier());
                 run.result(run.b().deleteTransaction(found.first(), true, true, true));
             }
         }},
        {"DeleteTaskOfAnEstimateInAClosedYear",
         [](BusinessRun &run) {
             const TWTaskList tasks =
                 invoiceTasks(run.b(), invoiceNamed(run.b(), QStringLiteral("Signage estimate")));
             if ((run.applies = !tasks.isEmpty()))
                 run.result(run.b().deleteTask(tasks.first(), true));
         }},
        {"DeleteBilledTask",
         [](BusinessRun &run) {
             const TWInvoicePtr invoice = invoiceNamed(run.b(), proofs(1));
             const TWTaskList tasks = invoiceTasks(run.b(), invoice);
             if ((run.applies = !tasks.isEmpty())) {
                 run.touchInvoice(invoice);
                 run.result(run.b().deleteTask(tasks.first(), true));
             }
         }},
        {"DeleteTaskBilledInAClosedYear",
         [](BusinessRun &run) {
             TWBusiness &b = run.b();
             const TWInvoicePtr invoice = firstOf(b.invoices(), [&b](const TWInvoicePtr &i) {
                 return closedDay(b, i->date()) && !invoiceTasks(b, i).isEmpty() &&
                        b.projectWithIdentifier(i->projectIdentifier())->type() ==
                            TWProjectTypeProject;
             });
             if ((run.applies = bool(invoice))) {
                 run.outcome.targetsClosed = true;
                 run.result(b.deleteTask(invoiceTasks(b, invoice).first(), true));
             }
         }},
        {"DeleteBilledExpense",
         [](BusinessRun &run) {
             TWBusiness &b = run.b();
             const TWInvoicePtr invoice = invoiceNamed(b, QStringLiteral("Framed prints"));
             if (!(run.applies = bool(invoice)))
                 return;
             const TWRelationshipList lines = b.relationshipsWithParentIdentifier(
                 invoice->identifier(), TWRelationshipTypeInvoiceExpense);
             const TWExpensePtr expense =
                 lines.isEmpty() ? nullptr
                                 : b.expenseWithIdentifier(lines.first()->childIdentifier());
             if (!(run.applies = bool(expense)))
                 return;
             run.touchInvoice(invoice);
             run.result(b.deleteExpense(expense, true));
         }},
        {"DeleteInvoice",
         [](BusinessRun &run) {
             const TWInvoicePtr invoice = invoiceNamed(run.b(), proofs(2));
             if ((run.applies = bool(invoice))) {
                 run.touchInvoice(invoice);
                 windowDelete(run, run.b().invoiceContainsClosedTransactions(*invoice),
                              [&] { return run.b().deleteInvoice(invoice, true); });
             }
         }},
        {"DeleteBill",
         [](BusinessRun &run) {
             const TWBillPtr bill = billNamed(run.b(), QStringLiteral("Print run 2"));
             if ((run.applies = bool(bill))) {
                 run.touchBill(bill);
                 windowDelete(run, run.b().billContainsClosedTransactions(*bill),
                              [&] { return run.b().deleteBill(bill, true); });
             }
         }},
        {"DeleteProject",
         [](BusinessRun &run) {
             TWBusiness &b = run.b();
             const TWInvoicePtr invoice = invoiceNamed(b, proofs(1));
             if ((run.applies = bool(invoice))) {
                 const TWProjectPtr project = b.projectWithIdentifier(invoice->projectIdentifier());
                 for (const TWInvoicePtr &each : b.invoicesWithProject(*project))
                     run.touchInvoice(each);
                 windowDelete(run, b.projectContainsClosedTransactions(*project),
                              [&] { return b.deleteProject(project, true); });
             }
         }},
        {"DeleteClient",
         [](BusinessRun &run) {
             TWBusiness &b = run.b();
             const TWClientPtr client = clientNamed(b, QStringLiteral("Alvarez Galleries"));
             if ((run.applies = bool(client))) {
                 for (const TWProjectPtr &project : b.projectsWithClient(*client))
                     for (const TWInvoicePtr &each : b.invoicesWithProject(*project))
                         run.touchInvoice(each);
                 windowDelete(run, b.clientContainsClosedTransactions(*client),
                              [&] { return b.deleteClient(client, true); });
             }
         }},
        {"DeleteClientOfAClosedYear",
         [](BusinessRun &run) {
             TWBusiness &b = run.b();
             const TWClientPtr client = clientNamed(b, QStringLiteral("Northwind Bakery"));
             run.outcome.targetsClosed = true;
             run.applies = false;
             for (const TWProjectPtr &project : b.projectsWithClient(*client))
                 for (const TWInvoicePtr &each : b.invoicesWithProject(*project)) {
                     run.touchInvoice(each);
                     run.applies = run.applies || closedDay(b, each->date());
                 }
             if (run.applies)
                 windowDelete(run, b.clientContainsClosedTransactions(*client),
                              [&] { return b.deleteClient(client, true); });
         }},
        {"DeleteMerchant",
         [](BusinessRun &run) {
             TWBusiness &b = run.b();
             const TWMerchantPtr merchant = merchantNamed(b, QStringLiteral("Print Works"));
             if ((run.applies = bool(merchant))) {
                 for (const TWBillPtr &bill : b.billsWithMerchant(*merchant))
                     run.touchBill(bill);
                 windowDelete(run, b.merchantContainsClosedTransactions(*merchant),
                              [&] { return b.deleteMerchant(merchant, true); });
             }
         }},
        {"DeleteMerchantOfAClosedYear",
         [](BusinessRun &run) {
             const TWMerchantPtr merchant =
                 merchantNamed(run.b(), QStringLiteral("Harbor Properties"));
             run.applies = closedDay(run.b(), run.b().billsWithMerchant(*merchant).first()->date());
             run.outcome.targetsClosed = true;
             for (const TWBillPtr &bill : run.b().billsWithMerchant(*merchant))
                 run.touchBill(bill);
             if (run.applies)
                 windowDelete(run, run.b().merchantContainsClosedTransactions(*merchant),
                              [&] { return run.b().deleteMerchant(merchant, true); });
         }},
        {"SaveInvoiceAfterItsEntryWasDeleted",
         [](BusinessRun &run) {
             TWBusiness &b = run.b();
             const TWInvoicePtr invoice = invoiceNamed(b, proofs(3));
             if (!(run.applies = bool(invoice)))
                 return;
             const TWTransactionPtr entry = invoiceEntry(b, invoice);
             run.outcome.touched.insert(entry->identifier());
             const QSet<qint32> before = identifiers(b);
             run.result(b.deleteTransaction(entry, true, true, true));
             run.result(saveInvoice(b, invoice));
             touchNew(run, before);
         }},
        {"SaveBillAfterItsChargeWasDeleted",
         [](BusinessRun &run) {
             TWBusiness &b = run.b();
             const TWBillPtr bill = billNamed(b, QStringLiteral("Print run 3"));
             if (!(run.applies = bool(bill)))
                 return;
             const TWTransactionPtr charge = b.billCharge(*bill);
             run.outcome.touched.insert(charge->identifier());
             const QSet<qint32> before = identifiers(b);
             run.result(b.deleteTransaction(charge, true, true, true));
             // The bill sheet's save: the row, and a charge when it has none.
             const TWAccountPtr payable = b.lastBillAccount(*bill, TWAccountTypeAccountsPayable);
             TWBusiness::WriteScope scope(b);
             TWErrorResult error = b.updateBill(bill->copy(), true);
             if (!error && !b.billCharge(*bill))
                 error = b.createBillTransaction({bill}, payable, nullptr, nullptr, true);
             run.result(scope.finish(error));
             touchNew(run, before);
         }},
        {"EditBilledWork",
         [](BusinessRun &run) {
             TWBusiness &b = run.b();
             const TWInvoicePtr invoice = invoiceNamed(b, proofs(4));
             const TWTaskList tasks = invoiceTasks(b, invoice);
             if (!(run.applies = !tasks.isEmpty()))
                 return;
             const TWTaskPtr task = tasks.first()->copy();
             task->setRate(task->rate() + 1250);
             run.touchInvoice(invoice);
             run.result(b.updateTask(task, true));
             run.result(saveInvoice(b, invoice));
         }},
        {"ExportTwoAccountsAsCSVAndImport",
         [](BusinessRun &run) { exportAndImport(run, TWExportFileTypeCSV, false); }, false},
        {"ExportTwoAccountsAsQIFAndImport",
         [](BusinessRun &run) { exportAndImport(run, TWExportFileTypeQIF, false); }, false},
        {"ExportTwoAccountsAsOFXAndImport",
         [](BusinessRun &run) { exportAndImport(run, TWExportFileTypeOFX, false); }, false},
        {"ExportEveryAccountAsCSVAndImport",
         [](BusinessRun &run) { exportAndImport(run, TWExportFileTypeCSV, true); }, false},
        {"ExportEveryAccountAsQIFAndImport",
         [](BusinessRun &run) { exportAndImport(run, TWExportFileTypeQIF, true); }, false},
        {"ExportEveryAccountAsOFXAndImport",
         [](BusinessRun &run) { exportAndImport(run, TWExportFileTypeOFX, true); }, false},
        {"CloseAYear",
         [](BusinessRun &run) {
             run.outcome.periods = true;
             run.result(storePeriods(run.b(), [](TWAccountingPeriodList &periods) {
                 for (const TWAccountingPeriodPtr &period : periods)
                     if (!period->closed()) {
                         period->setClosed(true);
                         break;
                     }
             }));
         }},
        {"ShortenTheClosedYear",
         [](BusinessRun &run) {
             run.outcome.periods = true;
             run.applies = run.b().businessInfo()->accountingPeriods().first()->closed();
             if (run.applies)
                 run.result(storePeriods(run.b(), [](TWAccountingPeriodList &periods) {
                     const TWAccountingPeriodPtr &first = periods.first();
                     first->setEndDate(first->endDate().addMonths(-2));
                 }));
         }},
        {"ReopenTheClosedYear",
         [](BusinessRun &run) {
             run.outcome.periods = true;
             run.applies = run.b().businessInfo()->accountingPeriods().first()->closed();
             if (run.applies)
                 run.result(storePeriods(run.b(), [](TWAccountingPeriodList &periods) {
                     periods.first()->setClosed(false);
                 }));
         }},
        {"DeleteOnlyThisOccurrenceOfARepeatedPurchase",
         [](BusinessRun &run) {
             TWBusiness &b = run.b();
             const TWRepeatPtr repeat = firstOf(b.repeats(), [](const TWRepeatPtr &r) {
                 return r->type() == TWRepeatTypeTransaction;
             });
             if (!(run.applies = bool(repeat)))
                 return;
             const TWTransactionPtr latest =
                 b.latestItemWithRepeatIdentifier(repeat->identifier()).record<TWTransaction>();
             const TWTransactionPtr t =
                 latest ? b.transactionWithIdentifier(latest->identifier()) : nullptr;
             if (!(run.applies = bool(t)))
                 return;
             run.outcome.touched.insert(t->identifier());
             run.result(b.moveRepeatPastItem(repeat->identifier(), t->date()));
             run.result(b.deleteTransaction(t, true, true, true));
         }},
        {"EditAllRelatedOfARepeatedPurchase",
         [](BusinessRun &run) {
             TWBusiness &b = run.b();
             const TWRepeatPtr repeat = firstOf(b.repeats(), [](const TWRepeatPtr &r) {
                 return r->type() == TWRepeatTypeTransaction;
             });
             if (!(run.applies = bool(repeat)))
                 return;
             for (const TWTransactionPtr &t : b.transactions())
                 if (t->repeatIdentifier() == repeat->identifier()) {
                     const TWTransactionPtr edit = t->copy();
                     edit->setPayee(QStringLiteral("Fontstand GmbH"));
                     run.outcome.touched.insert(edit->identifier());
                     run.result(b.updateTransaction(edit, false, true, true, true));
                 }
         }},
        {"DeleteAllRelatedOfARepeatedBill",
         [](BusinessRun &run) {
             TWBusiness &b = run.b();
             const TWRepeatPtr repeat = firstOf(
                 b.repeats(), [](const TWRepeatPtr &r) { return r->type() == TWRepeatTypeBill; });
             if (!(run.applies = bool(repeat)))
                 return;
             for (const TWBillPtr &bill : b.bills())
                 if (bill->repeatIdentifier() == repeat->identifier())
                     run.touchBill(bill);
             run.result(b.deleteRepeatBills(repeat, true));
         }},
        {"DeleteAllRelatedOfARepeatedPurchase",
         [](BusinessRun &run) {
             TWBusiness &b = run.b();
             const TWRepeatPtr repeat = firstOf(b.repeats(), [](const TWRepeatPtr &r) {
                 return r->type() == TWRepeatTypeTransaction;
             });
             if (!(run.applies = bool(repeat)))
                 return;
             for (const TWTransactionPtr &t : b.transactions())
                 if (t->repeatIdentifier() == repeat->identifier())
                     run.outcome.touched.insert(t->identifier());
             run.result(b.deleteRepeatTransactions(repeat, true));
         }},
        {"DeleteAllRelatedOfARepeatedInvoice",
         [](BusinessRun &run) {
             TWBusiness &b = run.b();
             const TWRepeatPtr repeat = firstOf(b.repeats(), [](const TWRepeatPtr &r) {
                 return r->type() == TWRepeatTypeInvoice;
             });
             if (!(run.applies = bool(repeat)))
                 return;
             for (const TWInvoicePtr &invoice : b.invoices())
                 if (invoice->repeatIdentifier() == repeat->identifier())
                     run.touchInvoice(invoice);
             run.result(b.deleteRepeatInvoices(repeat, true));
         }},
        {"DeleteOnlyThisOccurrenceOfARepeatedInvoice",
         [](BusinessRun &run) {
             TWBusiness &b = run.b();
             const TWRepeatPtr repeat = firstOf(b.repeats(), [](const TWRepeatPtr &r) {
                 return r->type() == TWRepeatTypeInvoice;
             });
             if (!(run.applies = bool(repeat)))
                 return;
             const TWInvoicePtr latest =
                 b.latestItemWithRepeatIdentifier(repeat->identifier()).record<TWInvoice>();
             const TWInvoicePtr invoice =
                 latest ? b.invoiceWithIdentifier(latest->identifier()) : nullptr;
             if (!(run.applies = bool(invoice)))
                 return;
             run.touchInvoice(invoice);
             run.result(b.moveRepeatPastItem(repeat->identifier(), invoice->date()));
             windowDelete(run, b.invoiceContainsClosedTransactions(*invoice),
                          [&] { return b.deleteInvoice(invoice, true); });
         }},
    };
    return list;
}

// The day the businesses are made and worked on: a day of the year's middle
// when no clock changes.
constexpr int kYear = 2026, kMonth = 6, kDay = 15;

class Invariants : public ::testing::TestWithParam<int>
{
};

TEST_P(Invariants, HoldAfterTheOperation)
{
    const Operation &operation = operations()[GetParam()];
    const bool opening = QLatin1String(operation.name) == QLatin1String("Open");
    int applied = 0;
    for (const Variant &variant : kVariants) {
        TWFixedClock clock(kYear, kMonth, kDay);
        BusinessRun run;
        TWBenchSampleOptions options;
        options.transactions = variant.transactions;
        options.homeCurrency = QString::fromLatin1(variant.home);
        options.extras = variant.extras;
        run.business = twBenchMakeSampleBusiness(options);
        ASSERT_TRUE(run.business) << variant.name;
        run.package = run.dir.filePath(QStringLiteral("Business.tallyworth"));
        ASSERT_OK(run.b().writeToURL(QUrl::fromLocalFile(run.package), TWSaveOperationSaveAs));
        if (!opening) {
            run.business = run.open(run.package);
            ASSERT_TRUE(run.business)
                << variant.name << run.outcome.faults.join(u'\n').toStdString();
        }
        const TWInvariantSnapshot before = twInvariantSnapshot(run.b());
        operation.apply(run);
        if (!run.applies || !run.business)
            continue;
        const TWInvariantSnapshot after = twInvariantSnapshot(run.b());
        ++applied;
        SCOPED_TRACE(testing::Message() << operation.name << " on the " << variant.name);
        EXPECT_TRUE(!operation.writes || run.outcome.result || before.tables != after.tables)
            << "it changed nothing";
        for (const TWInvariant &invariant : twInvariants()) {
            const QString broken = invariant.check(run.b(), before, after, run.outcome);
            EXPECT_TRUE(broken.isEmpty())
                << operation.name << " on the " << variant.name << " breaks " << invariant.name
                << ": " << broken.toStdString();
        }
    }
    EXPECT_GT(applied, 0) << "no business holds what it works on";
}

INSTANTIATE_TEST_SUITE_P(Operations, Invariants, ::testing::Range(0, int(operations().size())),
                         [](const ::testing::TestParamInfo<int> &info) {
                             return std::string(operations()[info.param].name);
                         });

} // namespace

namespace
{

void copyFolder(const QString &from, const QString &to)
{
    QDir().mkpath(to);
    for (const QFileInfo &entry :
         QDir(from).entryInfoList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot)) {
        const QString target = QDir(to).filePath(entry.fileName());
        if (entry.isDir())
            copyFolder(entry.filePath(), target);
        else
            QFile::copy(entry.filePath(), target);
    }
}

} // namespace

// A business the previous build's generator saved opens, takes a new
// transaction, saves and opens again with every other row as it was.
TEST(PreviousBuildInvariants, ABusinessItSavedOpensChangesAndSavesWithNothingElseChanged)
{
    // The day it was made.
    TWFixedClock clock(2026, 12, 8);
    TWTestTempDir dir;
    const QString package = dir.filePath(QStringLiteral("Previous.tallyworth"));
    copyFolder(QStringLiteral(TW_TEST_DATA_DIR "/Previous.tallyworth"), package);
    TWErrorResult error;
    auto business = TWBusiness::businessWithURL(QUrl::fromLocalFile(package), true, &error);
    ASSERT_OK(error);
    ASSERT_TRUE(business);
    TWBusiness &b = *business;
    ASSERT_GT(b.transactions().size(), 100);
    const QString before = twTableDump(b);
    const TWTransactionPtr t = newPurchase(b);
    ASSERT_OK(b.addTransaction(t, true, true, true, true));
    ASSERT_OK(b.writeToURL(QUrl::fromLocalFile(package), TWSaveOperationSave));
    business.reset();
    auto reopened = TWBusiness::businessWithURL(QUrl::fromLocalFile(package), false, &error);
    ASSERT_OK(error);
    ASSERT_TRUE(reopened);
    const QStringList was = before.split(u'\n');
    const QStringList is = twTableDump(*reopened).split(u'\n');
    const QSet<QString> wasSet(was.cbegin(), was.cend());
    const QSet<QString> isSet(is.cbegin(), is.cend());
    for (const QString &line : was)
        EXPECT_TRUE(isSet.contains(line)) << "gone: " << line.toStdString();
    // The new transaction's row and its built-in values (its payee), nothing else.
    QStringList added;
    for (const QString &line : is)
        if (!wasSet.contains(line))
            added.append(line);
    const QString row = QStringLiteral("transactions|%1|").arg(t->identifier());
    EXPECT_EQ(std::count_if(added.cbegin(), added.cend(),
                            [&row](const QString &line) { return line.startsWith(row); }),
              1)
        << added.join(u'\n').toStdString();
    for (const QString &line : added)
        EXPECT_TRUE(line.startsWith(row) || line.startsWith(QStringLiteral("transactionValues|")))
            << "added: " << line.toStdString();
    EXPECT_TRUE(reopened->transactionWithIdentifier(t->identifier()));
}
