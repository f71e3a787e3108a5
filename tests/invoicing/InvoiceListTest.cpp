// The invoice list on a real document: its cells against hand-computed
// amounts, the sort orders as strict weak orderings, which commands it
// offers, and commands that stop at an invoice the store refuses.

#include "TWInvoiceSheetSupport.h"
#include "invoicing/ui/TWInvoicesColumns.h"
#include "invoicing/ui/TWInvoicesController.h"
#include "invoicing/ui/TWInvoicesModel.h"
#include "invoicing/ui/TWSendInvoiceController.h"

#include "app/TWRecordEditors.h"
#include "ledger/TWLedger.h"
#include "ledger/TWTransactionsController.h"

#include "TWListRowsSupport.h"
#include "TWStoreTestSupport.h"
#include "model/TWFormatter.h"
#include "model/TWRelationship.h"
#include "model/TWRepeat.h"
#include "store/TWOwing.h"

#include <QHeaderView>
#include <QLabel>
#include <QMap>
#include <QMenu>
#include <QToolButton>

namespace
{

class InvoiceListTest : public TWInvoiceSheetTest
{
protected:
    void SetUp() override
    {
        TWInvoiceSheetTest::SetUp();
        TWBusiness &b = book.b();
        bank = b.accounts().first();
        receivable = addAccount(QStringLiteral("Receivable"), TWAccountTypeAccountsReceivable);
        income = addAccount(QStringLiteral("Sales"), TWAccountTypeIncome);
    }
    void TearDown() override
    {
        list.reset();
        TWInvoiceSheetTest::TearDown();
    }

    TWAccountPtr addAccount(const QString &name, TWAccountType type)
    {
        TWBusiness &b = book.b();
        auto account =
            TWAccount::accountWithIdentifier(b.nextAccountIdentifier(), name, 0, 0, type, QString(),
                                             QImage(), b.homeUnit(), QString());
        EXPECT_OK(b.addAccount(account, false));
        return account;
    }
    // A transaction of `total` from account 1 to account 2, linked whole to the invoice.
    TWTransactionPtr link(const TWInvoicePtr &invoice, const TWAccountPtr &account1,
                          const TWAccountPtr &account2, qint64 total,
                          std::uint32_t state = TWTransactionStateNormal)
    {
        TWBusiness &b = book.b();
        auto t = std::make_shared<TWTransaction>();
        t->setIdentifier(b.nextTransactionIdentifier());
        t->setDate(twLocal(2024, 6, 10));
        t->setAccount1Identifier(account1->identifier());
        t->setAccount2Identifier(account2->identifier());
        t->setUnit(b.homeUnit());
        t->setTotal(total);
        t->setTotalAccount1(total);
        t->setTotalAccount2(total);
        t->setTotalBusiness(total);
        t->setState(state);
        EXPECT_OK(b.addTransaction(t, false, false, false, false));
        EXPECT_OK(b.addRelationship(TWRelationship::relationshipWithType(
                                        0, 0, invoice->projectIdentifier(), invoice->identifier(),
                                        t->identifier(), 0, b.nextRelationshipIdentifier()),
                                    false));
        return t;
    }
    TWTransactionPtr charge(const TWInvoicePtr &invoice, qint64 total)
    {
        return link(invoice, receivable, income, total);
    }
    TWTransactionPtr pay(const TWInvoicePtr &invoice, qint64 total,
                         std::uint32_t state = TWTransactionStateNormal)
    {
        return link(invoice, bank, receivable, total, state);
    }
    void open(const TWProjectList &projects)
    {
        list = std::make_unique<TWInvoicesController>();
        list->setBusinessController(book.document.get());
        list->setBusiness(&book.b());
        list->setMode(0);
        list->setProjects(projects);
        list->view()->resize(900, 600);
        list->update();
    }
    QString cell(int row, int tag, int role = Qt::DisplayRole)
    {
        const int column = list->fieldColumn(tag);
        EXPECT_GE(column, 0) << tag;
        return list->model()->data(list->model()->index(row, column), role).toString();
    }
    int rowOf(const QString &name)
    {
        for (int row = 0; row < list->invoices().size(); ++row)
            if (list->invoices().at(row)->name() == name)
                return row;
        return -1;
    }
    void showAllColumns()
    {
        for (int tag = 0; tag < TWInvoiceColumnCount; ++tag)
            if (list->fieldColumn(tag) < 0)
                list->toggleFieldVisible(tag);
    }
    static QString money(qint64 value, const TWBusiness &b)
    {
        return TWFormatter::formatter().valueString(value, b.homeUnit().get(), true, true, false,
                                                    true, true);
    }
    // A trigger that refuses `what` (UPDATE, DELETE, INSERT) of the invoice named `name`.
    void refuse(const char *what, const QString &name)
    {
        const QString row = QLatin1String(what) == QLatin1String("INSERT") ? QStringLiteral("NEW")
                                                                           : QStringLiteral("OLD");
        twExec(book.b(), QStringLiteral("CREATE TEMP TRIGGER refuse BEFORE %1 ON invoices WHEN "
                                        "%2.name = '%3' BEGIN SELECT RAISE(ABORT, 'refused'); END")
                             .arg(QLatin1String(what), row, name));
    }

    TWAccountPtr bank;
    TWAccountPtr receivable;
    TWAccountPtr income;
    std::unique_ptr<TWInvoicesController> list;
};

TWInvoiceRow row(const TWInvoicePtr &invoice)
{
    TWInvoiceRow values;
    values.invoice = invoice;
    return values;
}

TWInvoicePtr plain(qint32 identifier, const QString &name, const QDateTime &due = {})
{
    return TWInvoice::invoiceWithDate(twLocal(2024, 6, identifier % 28 + 1), name, name, false,
                                      false, due, 0, QString(), 1, identifier);
}

QList<qint32> identifiers(const TWInvoiceRowList &rows)
{
    QList<qint32> result;
    for (const TWInvoiceRow &values : rows)
        result.append(values.invoice->identifier());
    return result;
}

} // namespace

TEST_F(InvoiceListTest, CellsShowHandComputedAmountsPercentAndDaysOverdue)
{
    TWBusiness &b = book.b();
    // Two hours at 100.00 with 10% tax, and an expense of 25.00.
    TWTaskPtr task =
        book.addTask(book.project, QStringLiteral("Design"), TWTaskTypeHour, 2, 10000, 10);
    TWExpensePtr expense = book.addExpense(book.project, QStringLiteral("Paper"), 2500);
    TWInvoicePtr invoice =
        book.storedInvoice(book.project, QStringLiteral("June"), twLocal(2024, 6, 20));
    task->setInvoiceQuantity(2);
    expense->setInvoiceQuantity(1);
    ASSERT_OK(b.updateInvoiceItems(invoice, {task}, {expense}));
    charge(invoice, 24500);
    pay(invoice, 10000);
    TWInvoicePtr settled = book.storedInvoice(book.project, QStringLiteral("May"), {}, true);
    charge(settled, 5000);
    pay(settled, 5000);

    open({book.project});
    showAllColumns();
    const int r = rowOf(QStringLiteral("June"));
    ASSERT_GE(r, 0);
    EXPECT_EQ(cell(r, TWInvoiceColumnTasks), money(22000, b)); // 200.00 + 10%
    EXPECT_EQ(cell(r, TWInvoiceColumnExpenses), money(2500, b));
    EXPECT_EQ(cell(r, TWInvoiceColumnTotal), money(24500, b));
    EXPECT_EQ(cell(r, TWInvoiceColumnOwe), money(14500, b));
    EXPECT_EQ(cell(r, TWInvoiceColumnOwe, Qt::ToolTipRole), money(14500, b));
    EXPECT_EQ(cell(r, TWInvoiceColumnPercentPaid), QStringLiteral("41%")); // 100 / 245
    // Due 20 June, now 1 July at noon: eleven days and a started twelfth.
    EXPECT_EQ(cell(r, TWInvoiceColumnOverdue), QStringLiteral("12 days"));
    EXPECT_EQ(cell(r, TWInvoiceColumnClient), QStringLiteral("Ada"));
    EXPECT_EQ(cell(r, TWInvoiceColumnProject), QStringLiteral("Site"));
    const QModelIndex overdue = list->model()->index(r, list->fieldColumn(TWInvoiceColumnOverdue));
    EXPECT_EQ(overdue.data(Qt::ForegroundRole).value<QColor>(), QColor(Qt::red));
    const int s = rowOf(QStringLiteral("May"));
    EXPECT_EQ(cell(s, TWInvoiceColumnOverdue), QString());
    EXPECT_EQ(cell(s, TWInvoiceColumnPercentPaid), QStringLiteral("100%"));
    EXPECT_EQ(list->model()
                  ->index(s, list->fieldColumn(TWInvoiceColumnPaid))
                  .data(Qt::CheckStateRole)
                  .toInt(),
              int(Qt::Checked));

    // Row colours: overdue first, then owing, then paid.
    TWPreferences &preferences = TWPreferences::preferences();
    preferences.setOverdueColour(QColor(200, 0, 0));
    preferences.setOweColour(QColor(0, 0, 200));
    preferences.setPaidColour(QColor(0, 150, 0));
    EXPECT_EQ(list->invoiceColour(r), QColor(200, 0, 0));
    EXPECT_EQ(list->invoiceColour(s), QColor(0, 150, 0));
    invoice->setPaid(true); // overdue and paid: still overdue
    list->model()->refreshRow(r);
    EXPECT_EQ(list->invoiceColour(r), QColor(200, 0, 0));

    // The count and total lines in the home currency.
    EXPECT_EQ(list->invoiceCountLabel()->text(), QStringLiteral("2 invoices"));
    EXPECT_EQ(list->invoiceTotalLabel()->text(), money(14500, b));
    list->selectRows({s});
    EXPECT_EQ(list->invoiceCountLabel()->text(), QStringLiteral("1 / 2 invoices"));
    EXPECT_EQ(list->invoiceTotalLabel()->text(),
              QStringLiteral("%1 / %2").arg(money(0, b), money(14500, b)));
    EXPECT_EQ(list->transactionCountLabel()->text(), QStringLiteral("2 transactions"));
}

TEST_F(InvoiceListTest, SortingReordersTheRowsAndLeavesEverySumAndThePaymentsAsTheyWere)
{
    TWFixedClock now(2024, 7, 1);
    // Invoices owing different amounts, one of them overpaid, one overdue.
    const QList<std::pair<qint64, qint64>> amounts = {
        {12000, 2000}, {5000, 5000}, {30000, 0}, {800, 1000}, {7000, 6999}};
    for (int i = 0; i < amounts.size(); ++i) {
        const TWInvoicePtr invoice = book.storedInvoice(book.project, QStringLiteral("I%1").arg(i),
                                                        i == 2 ? twLocal(2024, 6, 1) : QDateTime());
        charge(invoice, amounts.at(i).first);
        pay(invoice, amounts.at(i).second);
    }
    open({book.project});
    showAllColumns();
    const auto lines = [this] {
        return QStringList{list->invoiceCountLabel()->text(), list->invoiceTotalLabel()->text(),
                           list->transactionCountLabel()->text(),
                           list->transactionTotalLabel()->text()};
    };
    // Each invoice's cells, by invoice, whatever its row.
    const auto cells = [this] {
        QMap<QString, QStringList> byName;
        for (int row = 0; row < list->invoices().size(); ++row)
            for (const int tag : {TWInvoiceColumnTotal, TWInvoiceColumnOwe,
                                  TWInvoiceColumnPercentPaid, TWInvoiceColumnOverdue})
                byName[list->invoices().at(row)->name()].append(cell(row, tag));
        return byName;
    };
    const QStringList listed = lines();
    const QMap<QString, QStringList> shown = cells();
    const int payments = list->paymentsController()->transactions().size();
    ASSERT_EQ(payments, 10);

    for (const int tag : {TWInvoiceColumnOwe, TWInvoiceColumnOverdue, TWInvoiceColumnTotal}) {
        for (const bool ascending : {true, false}) {
            list->updateSortBy(tag, false);
            list->updateSortDirection(ascending, true);
            EXPECT_EQ(lines(), listed) << tag << ascending;
            EXPECT_EQ(cells(), shown) << tag << ascending;
            EXPECT_EQ(list->paymentsController()->transactions().size(), payments);
        }
    }
    // Descending by what is owed: 300.00, 100.00, 0.01, 0.00, then the overpaid -2.00.
    list->updateSortBy(TWInvoiceColumnOwe, false);
    list->updateSortDirection(false, true);
    QStringList order;
    for (const TWInvoicePtr &invoice : list->invoices())
        order.append(invoice->name());
    EXPECT_EQ(order, QStringList({"I2", "I0", "I4", "I1", "I3"}));

    // A sort ends a selection: the pane and the lines show every invoice again.
    list->selectRows({0, 1});
    ASSERT_NE(lines(), listed);
    ASSERT_EQ(list->paymentsController()->transactions().size(), 4);
    list->updateSortDirection(true, true);
    EXPECT_TRUE(list->selectedRows().isEmpty());
    EXPECT_EQ(lines(), listed);
    EXPECT_EQ(list->paymentsController()->transactions().size(), payments);
}

TEST_F(InvoiceListTest, EveryColumnSortsAsAStrictWeakOrdering)
{
    TWFixedClock now(2024, 7, 1);
    auto monthly = TWRepeat::repeatWithType(1, 1, 2, {}, true, 5);
    auto weekly = TWRepeat::repeatWithType(1, 1, 1, {}, true, 6);
    TWInvoiceRowList rows;
    const QList<QDateTime> dues = {{}, twLocal(2024, 6, 1),  twLocal(2024, 6, 20),
                                   {}, twLocal(2024, 6, 20), twLocal(2024, 8, 1)};
    for (int i = 0; i < 6; ++i) {
        TWInvoiceRow values =
            row(plain(100 + i, i % 3 ? QStringLiteral("N%1").arg(i % 3) : QString(), dues.at(i)));
        values.invoice->setSent(i % 2);
        values.owe = (i % 3) * 100;
        values.total = 100 - i % 2;
        values.percentPaid = i == 5 ? std::numeric_limits<float>::quiet_NaN() : float(i % 2);
        values.overdue = dues.at(i).isValid() && dues.at(i) < twLocal(2024, 7, 1);
        values.repeat = i % 3 == 0 ? nullptr : (i % 3 == 1 ? monthly : weekly);
        if (i % 2)
            values.client =
                TWClient::clientWithIdentifier(i, QStringLiteral("C%1").arg(i % 4), {}, 0, 0,
                                               QImage(), {}, {}, {}, QUrl(), {}, {});
        rows.append(values);
    }
    for (int tag = 0; tag < TWInvoiceColumnCount; ++tag) {
        const auto less = [tag](const TWInvoiceRow &a, const TWInvoiceRow &b) {
            return twCompareInvoiceRows(a, b, tag) < 0;
        };
        for (const TWInvoiceRow &a : rows) {
            EXPECT_FALSE(less(a, a)) << tag;
            for (const TWInvoiceRow &b : rows) {
                EXPECT_FALSE(less(a, b) && less(b, a)) << tag;
                EXPECT_EQ(twCompareInvoiceRows(a, b, tag), -twCompareInvoiceRows(b, a, tag)) << tag;
                for (const TWInvoiceRow &c : rows) {
                    if (less(a, b) && less(b, c)) {
                        EXPECT_TRUE(less(a, c)) << tag;
                    }
                    const auto equal = [&](const TWInvoiceRow &x, const TWInvoiceRow &y) {
                        return !less(x, y) && !less(y, x);
                    };
                    if (equal(a, b) && equal(b, c)) {
                        EXPECT_TRUE(equal(a, c)) << tag;
                    }
                }
            }
        }
    }

    // Due: with a date first, by date; without one last, in their order.
    TWInvoiceRowList sorted = rows;
    twSortInvoiceRows(sorted, TWInvoiceColumnDue, true);
    EXPECT_EQ(identifiers(sorted), (QList<qint32>{101, 102, 104, 105, 100, 103}));
    // Overdue ascending: the least overdue first, then the rest as they were.
    sorted = rows;
    twSortInvoiceRows(sorted, TWInvoiceColumnOverdue, true);
    EXPECT_EQ(identifiers(sorted), (QList<qint32>{102, 104, 101, 100, 103, 105}));
    // Descending swaps before and after; equal rows keep their order.
    twSortInvoiceRows(sorted, TWInvoiceColumnOverdue, false);
    EXPECT_EQ(identifiers(sorted), (QList<qint32>{100, 103, 105, 101, 102, 104}));
    // Schedules: none first, then the shorter.
    sorted = rows;
    twSortInvoiceRows(sorted, TWInvoiceColumnRepeat, true);
    EXPECT_EQ(identifiers(sorted), (QList<qint32>{100, 103, 102, 105, 101, 104}));
    // A missing name first.
    sorted = rows;
    twSortInvoiceRows(sorted, TWInvoiceColumnName, true);
    EXPECT_EQ(identifiers(sorted), (QList<qint32>{100, 103, 101, 104, 102, 105}));
}

TEST_F(InvoiceListTest, CanOperationsFollowModeProjectsRowsAndPane)
{
    TWInvoiceListState state;
    EXPECT_FALSE(twInvoiceListCan(TWQuery::CanAddInvoice, state));
    state.shownProjects = 1;
    EXPECT_TRUE(twInvoiceListCan(TWQuery::CanAddInvoice, state));
    state.shownProjects = 2;
    EXPECT_FALSE(twInvoiceListCan(TWQuery::CanAddInvoice, state));
    for (const TWQuery query :
         {TWQuery::CanEditInvoice, TWQuery::CanDuplicateInvoice, TWQuery::CanDeleteInvoice,
          TWQuery::CanMarkInvoice, TWQuery::CanSendInvoice})
        EXPECT_FALSE(twInvoiceListCan(query, state));
    state.concernedRows = 1;
    for (const TWQuery query :
         {TWQuery::CanEditInvoice, TWQuery::CanDuplicateInvoice, TWQuery::CanDeleteInvoice,
          TWQuery::CanMarkInvoice, TWQuery::CanSendInvoice})
        EXPECT_TRUE(twInvoiceListCan(query, state));
    state.concernedRows = 3;
    EXPECT_FALSE(twInvoiceListCan(TWQuery::CanEditInvoice, state));
    EXPECT_TRUE(twInvoiceListCan(TWQuery::CanDeleteInvoice, state));

    // A payment: the pane takes them, rows are selected and all of one project.
    state.selectedRows = 2;
    state.selectedOneProject = true;
    EXPECT_FALSE(twInvoiceListCan(TWQuery::CanAddTransaction, state));
    state.paneEnabled = true;
    EXPECT_TRUE(twInvoiceListCan(TWQuery::CanAddTransaction, state));
    state.selectedOneProject = false;
    EXPECT_FALSE(twInvoiceListCan(TWQuery::CanAddTransaction, state));
    state.selectedRows = 0;
    state.selectedOneProject = true;
    EXPECT_FALSE(twInvoiceListCan(TWQuery::CanAddTransaction, state));
    EXPECT_FALSE(twInvoiceListCan(TWQuery::ShowingSendInvoice, state));

    // The list answers the same through its buttons: two projects, no new invoice;
    // only invoices of an estimate, no payments.
    book.storedInvoice(book.estimate, QStringLiteral("Quote"));
    open({book.project, book.estimate});
    EXPECT_FALSE(list->invoiceButton(0)->isEnabled());
    EXPECT_FALSE(list->validationQuery(TWQuery::CanAddInvoice, false));
    EXPECT_GE(list->fieldColumn(TWInvoiceColumnClient), 0); // shown with two projects
    list->selectRows({0});
    EXPECT_TRUE(list->invoiceButton(2)->isEnabled());
    EXPECT_FALSE(list->paymentsController()->isEnabled());
    EXPECT_FALSE(list->canAddTransaction());
    open({book.project});
    EXPECT_TRUE(list->invoiceButton(0)->isEnabled());
    EXPECT_LT(list->fieldColumn(TWInvoiceColumnClient), 0); // the stored layout hides it
}

TEST_F(InvoiceListTest, MarkStopsAtTheRefusedInvoiceAndKeepsWhatIsStored)
{
    for (const char *name : {"A", "B", "C"})
        book.storedInvoice(book.project, QString::fromLatin1(name));
    open({book.project});
    list->updateSortBy(TWInvoiceColumnName, true);
    refuse("UPDATE", QStringLiteral("B"));
    list->selectRows({0, 1, 2});
    list->markInvoice(0, false);
    const auto sent = [this](const char *name) {
        return twQueryInt(
            book.b(),
            QStringLiteral("SELECT sent FROM invoices WHERE name = '%1'").arg(QLatin1String(name)));
    };
    EXPECT_EQ(sent("A"), std::optional<qint64>(1));
    EXPECT_EQ(sent("B"), std::optional<qint64>(0));
    EXPECT_EQ(sent("C"), std::optional<qint64>(0));
    ASSERT_EQ(prompts.errors.size(), 1);
    // The list shows what is stored: the refused mark is not kept in memory.
    EXPECT_FALSE(list->invoices().at(rowOf(QStringLiteral("B")))->sent());
    EXPECT_TRUE(list->selectedRows().isEmpty());

    // A refused check box: the store's record and the row stay unsent, with
    // the list's own error.
    const int b = rowOf(QStringLiteral("B"));
    const QModelIndex box = list->model()->index(b, list->fieldColumn(TWInvoiceColumnSent));
    list->model()->setData(box, Qt::Checked, Qt::CheckStateRole);
    EXPECT_EQ(box.data(Qt::CheckStateRole).toInt(), int(Qt::Unchecked));
    ASSERT_EQ(prompts.errors.size(), 2);
    EXPECT_EQ(prompts.errors.last().domain(), QStringLiteral("Tallyworth Invoice Error"));
    twExec(book.b(), QStringLiteral("DROP TRIGGER refuse"));
    list->model()->setData(box, Qt::Checked, Qt::CheckStateRole);
    EXPECT_EQ(sent("B"), std::optional<qint64>(1));

    // A context menu on a row outside the selection acts on that row alone.
    list->selectRows({rowOf(QStringLiteral("A"))});
    std::unique_ptr<QMenu> menu(list->contextMenuForRow(rowOf(QStringLiteral("C"))));
    EXPECT_EQ(list->selectedRows(), QList<int>{rowOf(QStringLiteral("A"))});
    list->markInvoice(4, true);
    const auto paid = [this](const char *name) {
        return twQueryInt(
            book.b(),
            QStringLiteral("SELECT paid FROM invoices WHERE name = '%1'").arg(QLatin1String(name)));
    };
    EXPECT_EQ(paid("A"), std::optional<qint64>(0));
    EXPECT_EQ(paid("C"), std::optional<qint64>(1));
}

TEST_F(InvoiceListTest, DeleteRefusesClosedPaymentsAndStopsAtAStoreError)
{
    TWInvoicePtr a = book.storedInvoice(book.project, QStringLiteral("A"));
    TWInvoicePtr b = book.storedInvoice(book.project, QStringLiteral("B"));
    TWInvoicePtr c = book.storedInvoice(book.project, QStringLiteral("C"));
    TWTransactionPtr closed = pay(b, 100, TWTransactionStateClosed);
    // Its period is closed; the refusal names it.
    book.b().businessInfo()->setAccountingPeriods({TWAccountingPeriod::accountingPeriodWithName(
        QStringLiteral("FY 2024"), twLocal(2024, 1, 1), twLocal(2024, 12, 31), true, 100)});
    open({book.project});
    list->updateSortBy(TWInvoiceColumnName, true);
    list->selectRows({0, 1, 2});
    list->deleteSelectedInvoice(false);
    EXPECT_EQ(book.count("SELECT COUNT(*) FROM invoices"), 3);
    // Refused before the question is asked.
    ASSERT_EQ(alerts.size(), 1);
    EXPECT_TRUE(alerts.first().message.startsWith(
        TWLocalized("deleteClosedTransaction").section(QStringLiteral("%1"), 0, 0)));
    EXPECT_TRUE(alerts.first().message.contains(QStringLiteral("FY 2024 (")));

    // Without the closed payment, a refused deletion stops at its invoice.
    closed->setState(TWTransactionStateNormal);
    ASSERT_OK(book.b().updateTransaction(closed, false, false, false, false));
    refuse("DELETE", QStringLiteral("B"));
    list->selectRows({0, 1, 2});
    list->deleteSelectedInvoice(false);
    EXPECT_FALSE(book.b().invoiceWithIdentifier(a->identifier()));
    EXPECT_TRUE(book.b().invoiceWithIdentifier(b->identifier()));
    EXPECT_TRUE(book.b().invoiceWithIdentifier(c->identifier()));
    EXPECT_EQ(prompts.errors.size(), 1);
    EXPECT_EQ(list->invoices().size(), 2);
    EXPECT_TRUE(book.document->isDocumentEdited());
}

TEST_F(InvoiceListTest, DeletingOneOfTwoInvoicesPaidTogetherNamesTheOtherAndLeavesNoStrayShare)
{
    TWBusiness &b = book.b();
    TWInvoicePtr first = book.storedInvoice(book.project, QStringLiteral("First"));
    TWInvoicePtr second = book.storedInvoice(book.project, QStringLiteral("Second"));
    second->setNumber(QStringLiteral("1002"));
    ASSERT_OK(b.updateInvoice(second, false));
    charge(first, 408500);
    charge(second, 285000);
    // One deposit pays both.
    const TWTransactionPtr deposit = pay(first, 408500 + 285000);
    ASSERT_OK(b.addRelationship(TWRelationship::relationshipWithType(
                                    0, 0, second->projectIdentifier(), second->identifier(),
                                    deposit->identifier(), 0, b.nextRelationshipIdentifier()),
                                false));
    const qint32 ar = receivable->identifier(), sales = income->identifier(),
                 cash = bank->identifier();
    EXPECT_EQ(twAccountSumsFromRows(b), (QHash<qint32, qint64>{{cash, 693500}, {sales, -693500}}));

    open({book.project});
    list->selectRows({rowOf(QStringLiteral("First"))});
    list->deleteSelectedInvoice(false);
    ASSERT_EQ(alerts.size(), 1);
    EXPECT_EQ(alerts.first().message, TWLocalized("deleteInvoiceTitle"));
    // The deposit is named with what it moved and whether it was reconciled.
    EXPECT_EQ(alerts.first().informativeText,
              TWLocalized("deletedPaymentsCount")
                      .arg(QStringLiteral("1"), QStringLiteral("$6,935.00"), QStringLiteral("0")) +
                  QStringLiteral("\n\n") +
                  TWLocalized("deletedPaymentsShared").arg(QStringLiteral("1002")));
    // The deposit went whole: the second invoice owes what its entry books,
    // and nothing stays on the receivable account that no invoice explains.
    EXPECT_FALSE(b.transactionWithIdentifier(deposit->identifier()));
    EXPECT_EQ(twAccountSumsFromRows(b), (QHash<qint32, qint64>{{ar, 285000}, {sales, -285000}}));
    EXPECT_TRUE(b.transactionsWithInvoice(*second).size() == 1);
}

TEST_F(InvoiceListTest, DeletingTheLatestInvoiceOfARepeatKeepsItDeleted)
{
    TWBusiness &b = book.b();
    const TWRepeatPtr monthly =
        TWRepeat::repeatWithType(TWRepeatTypeInvoice, 1, TWRepeatIntervalUnitMonth, QDateTime(),
                                 true, b.nextRepeatIdentifier());
    ASSERT_OK(b.addRepeat(monthly, false));
    TWInvoicePtr may = book.storedInvoice(book.project, QStringLiteral("May"));
    may->setDate(twLocal(2024, 5, 20));
    may->setRepeatIdentifier(monthly->identifier());
    ASSERT_OK(b.updateInvoice(may, false));
    ASSERT_OK(b.updateRepeatItemsForRepeat(monthly, false, false));
    ASSERT_EQ(b.itemsWithRepeatIdentifier(monthly->identifier()).size(), 2);

    open({book.project});
    const TWInvoicePtr june =
        b.latestItemWithRepeatIdentifier(monthly->identifier()).record<TWInvoice>();
    ASSERT_TRUE(june);
    int row = -1;
    for (int i = 0; i < list->invoices().size(); ++i)
        if (list->invoices().at(i)->identifier() == june->identifier())
            row = i;
    ASSERT_GE(row, 0);
    list->selectRows({row});
    list->deleteSelectedInvoice(false);
    ASSERT_OK(b.updateRepeatItems(false, false));
    const TWRepeatItemList items = b.itemsWithRepeatIdentifier(monthly->identifier());
    ASSERT_EQ(items.size(), 1);
    EXPECT_EQ(items.first().record<TWInvoice>()->identifier(), may->identifier());
    EXPECT_TRUE(twAccountSumsFromRows(b).isEmpty());
}

TEST_F(InvoiceListTest, DuplicateCopiesFieldsAndFirstEditableTransactionAndStops)
{
    auto schedule = TWRepeat::repeatWithType(1, 1, 2, {}, true, book.b().nextRepeatIdentifier());
    ASSERT_OK(book.b().addRepeat(schedule, false));
    TWInvoicePtr a =
        book.storedInvoice(book.project, QStringLiteral("A"), twLocal(2024, 8, 1), true);
    a->setSent(true);
    a->setRepeatIdentifier(schedule->identifier());
    a->setNotes(QStringLiteral("kept"));
    ASSERT_OK(book.b().updateInvoice(a, false));
    TWTaskPtr task = book.addTask(book.project, QStringLiteral("Design"), TWTaskTypeHour, 1, 5000);
    task->setInvoiceQuantity(1);
    ASSERT_OK(book.b().updateInvoiceItems(a, {task}, {}));
    charge(a, 5000);
    book.storedInvoice(book.project, QStringLiteral("B"));
    book.storedInvoice(book.project, QStringLiteral("C"));
    open({book.project});
    list->updateSortBy(TWInvoiceColumnName, true);
    const qint64 transactions = book.count("SELECT COUNT(*) FROM transactions");

    // B's copy is refused: A is copied with its entry, C is not reached.
    refuse("INSERT", QStringLiteral("B"));
    list->selectRows({0, 1, 2});
    list->duplicateSelectedInvoice(false);
    twExec(book.b(), QStringLiteral("DROP TRIGGER refuse"));
    EXPECT_EQ(book.count("SELECT COUNT(*) FROM invoices WHERE name = 'A'"), 2);
    EXPECT_EQ(book.count("SELECT COUNT(*) FROM invoices WHERE name = 'B'"), 1);
    EXPECT_EQ(book.count("SELECT COUNT(*) FROM invoices WHERE name = 'C'"), 1);
    EXPECT_EQ(prompts.errors.size(), 1);
    EXPECT_EQ(book.count("SELECT COUNT(*) FROM transactions"), transactions + 1);
    TWInvoicePtr copy;
    for (const TWInvoicePtr &invoice : book.b().invoices())
        if (invoice->name() == QLatin1String("A") && invoice->identifier() != a->identifier())
            copy = invoice;
    ASSERT_TRUE(copy);
    EXPECT_EQ(copy->number(), a->number());
    EXPECT_EQ(copy->repeatIdentifier(), schedule->identifier());
    EXPECT_EQ(copy->notes(), QStringLiteral("kept"));
    EXPECT_EQ(copy->dueDate(), a->dueDate());
    EXPECT_FALSE(copy->sent());
    EXPECT_FALSE(copy->paid());
    EXPECT_TRUE(book.b().tasksWithInvoice(*copy).isEmpty());
    EXPECT_EQ(book.b().transactionsWithInvoice(*copy).size(), 1);
    EXPECT_EQ(list->invoices().size(), 4);

    // A locked first entry asks first; the copy then has no transaction.
    TWTransactionPtr entry = book.b().transactionWithIdentifier(
        book.b().transactionsWithInvoice(*a).first()->identifier());
    entry->setState(TWTransactionStateLocked);
    ASSERT_OK(book.b().updateTransaction(entry, false, false, false, false));
    alerts.clear();
    list->selectRows({rowOf(QStringLiteral("C"))});
    list->selectInvoice(a);
    list->duplicateSelectedInvoice(false);
    ASSERT_EQ(alerts.size(), 1);
    EXPECT_EQ(alerts.first().message, TWLocalized("lockedClosedInvoiceTransactionsDuplicate"));
    EXPECT_EQ(book.count("SELECT COUNT(*) FROM invoices WHERE name = 'A'"), 3);
    EXPECT_EQ(book.count("SELECT COUNT(*) FROM transactions"), transactions + 1);
}

TEST_F(InvoiceListTest, PaymentPreparesAnUnstoredTransactionForTheEditor)
{
    twRegisterLedger();
    TWInvoicePtr a = book.storedInvoice(book.project, QStringLiteral("A"));
    charge(a, 12000);
    open({book.project});
    list->selectRows({0});
    ASSERT_TRUE(list->canAddTransaction());
    const qint64 transactions = book.count("SELECT COUNT(*) FROM transactions");
    list->newTransaction(false);
    TWTransactionEditor *editor = book.document->transactionController();
    ASSERT_TRUE(editor);
    ASSERT_TRUE(editor->transaction());
    // Against the receivable account the invoice already uses, not stored yet.
    EXPECT_EQ(editor->transaction()->account1Identifier(), receivable->identifier());
    EXPECT_EQ(book.count("SELECT COUNT(*) FROM transactions"), transactions);
    book.document->endSheet(editor->view(), -1001);
}

TEST_F(InvoiceListTest, PaymentMakesTheReceivableAccountOrStopsWithoutOne)
{
    twRegisterLedger();
    // No receivable account at all: the document makes one.
    ASSERT_OK(book.b().deleteAccount(receivable, false));
    TWInvoicePtr a = book.storedInvoice(book.project, QStringLiteral("A"));
    open({book.project});
    list->selectRows({0});
    list->newTransaction(false);
    int receivables = 0;
    for (const TWAccountPtr &account : book.b().accounts())
        receivables += account->accountType() == TWAccountTypeAccountsReceivable;
    EXPECT_EQ(receivables, 1);
    ASSERT_TRUE(book.document->transactionController());
    book.document->endSheet(book.document->transactionController()->view(), -1001);
}

TEST_F(InvoiceListTest, RepeatModeListsOneSchedulesInvoicesWithoutLinesOrButtons)
{
    auto schedule = TWRepeat::repeatWithType(1, 1, 2, {}, true, book.b().nextRepeatIdentifier());
    ASSERT_OK(book.b().addRepeat(schedule, false));
    TWInvoicePtr a = book.storedInvoice(book.project, QStringLiteral("A"));
    a->setRepeatIdentifier(schedule->identifier());
    ASSERT_OK(book.b().updateInvoice(a, false));
    book.storedInvoice(book.project, QStringLiteral("B"));
    list = std::make_unique<TWInvoicesController>();
    list->setBusinessController(book.document.get());
    list->setBusiness(&book.b());
    list->view();
    list->setRepeat(schedule);
    list->update();
    EXPECT_EQ(list->mode(), 1);
    ASSERT_EQ(list->invoices().size(), 1);
    EXPECT_EQ(list->invoices().first()->identifier(), a->identifier());
    EXPECT_FALSE(list->invoiceButton(0)->isVisibleTo(list->view()));
    EXPECT_FALSE(list->invoiceCountLabel()->isVisibleTo(list->view()));
    EXPECT_EQ(list->selectedItemIdentifiers(), QList<qint32>());
    list->selectItemWithIdentifier(a->identifier());
    EXPECT_EQ(list->selectedItemIdentifiers(), QList<qint32>{a->identifier()});

    // The context menu: edit, delete and mark for a row; nothing on empty space.
    std::unique_ptr<QMenu> menu(list->contextMenuForRow(0));
    ASSERT_TRUE(menu);
    QStringList titles;
    for (QAction *action : menu->actions())
        if (!action->isSeparator())
            titles.append(action->text());
    EXPECT_EQ(titles, (QStringList{TWLocalized("editInvoice"), TWLocalized("deleteInvoice"),
                                   TWLocalized("mark")}));
    EXPECT_EQ(list->contextMenuForRow(-1), nullptr);
}

TEST_F(InvoiceListTest, ColumnSettingsKeepWidthOrderAndSortAcrossReopening)
{
    book.storedInvoice(book.project, QStringLiteral("A"));
    open({book.project});
    QHeaderView *header = list->invoicesTableView()->horizontalHeader();
    const int number = list->fieldColumn(TWInvoiceColumnNumber);
    header->resizeSection(number, 300);
    header->setSortIndicator(list->fieldColumn(TWInvoiceColumnName), Qt::DescendingOrder);
    const QVariantMap stored = *book.b().columnSettings(TWColumnSettingsViewInvoices);
    EXPECT_EQ(stored.value(TWColumnSettingsSortFieldKey).toString(), QStringLiteral("name"));
    EXPECT_EQ(stored.value(TWColumnSettingsSortDirectionKey).toUInt(), 1u);

    open({book.project});
    header = list->invoicesTableView()->horizontalHeader();
    EXPECT_EQ(header->sectionSize(list->fieldColumn(TWInvoiceColumnNumber)), 300);
    EXPECT_EQ(header->sortIndicatorSection(), list->fieldColumn(TWInvoiceColumnName));
    EXPECT_EQ(header->sortIndicatorOrder(), Qt::DescendingOrder);

    // The header menu: the sixteen kinds, a separator and "sortBy".
    QMenu *menu = list->headerMenu();
    ASSERT_EQ(menu->actions().size(), 18);
    EXPECT_EQ(menu->actions().first()->text(), TWLocalized("client"));
    EXPECT_TRUE(menu->actions().at(16)->isSeparator());
    EXPECT_EQ(menu->actions().last()->text(), TWLocalized("sortBy"));
    EXPECT_EQ(menu->actions().last()->menu()->actions().size(), 19);
}

// Not a check: with TW_INVOICE_LIST_PACKAGE naming a business package, shows
// the list of the client project with the most invoices in a 1024 by 700
// window and writes pictures of it and of the send sheet opened from it, and
// the sheet's printed PDF, into the folder TW_INVOICE_LIST_SHOTS.
TEST(InvoiceListLook, PicturesOfTheListAndItsSendSheet)
{
    const QString package = qEnvironmentVariable("TW_INVOICE_LIST_PACKAGE");
    const QString shots = qEnvironmentVariable("TW_INVOICE_LIST_SHOTS");
    if (package.isEmpty() || shots.isEmpty())
        GTEST_SKIP() << "set TW_INVOICE_LIST_PACKAGE and TW_INVOICE_LIST_SHOTS to take pictures";
    TWErrorResult error;
    auto document = std::make_unique<TWBusinessController>();
    document->setBusiness(TWBusiness::businessWithURL(QUrl::fromLocalFile(package), false, &error));
    ASSERT_TRUE(document->business());
    TWBusiness &b = *document->business();
    TWProjectPtr busiest;
    qsizetype most = -1;
    for (const TWProjectPtr &project : b.projects())
        if (const qsizetype count = b.invoicesWithProject(*project).size(); count > most) {
            most = count;
            busiest = project;
        }
    ASSERT_TRUE(busiest);
    document->makeWindowControllers();
    document->showWindows();
    TWInvoicesController list;
    list.setBusinessController(document.get());
    list.setBusiness(&b);
    list.setMode(0);
    list.setProjects({busiest});
    QWidget *view = list.view();
    view->resize(1024, 700);
    view->show();
    list.update();
    QTest::qWait(500);
    list.selectRows({1});
    list.invoicesTableView()->setFocus();
    QTest::qWait(500);
    EXPECT_TRUE(view->grab().save(shots + QStringLiteral("/list.png")));
    list.setProjects(b.projects().mid(0, 3));
    list.update();
    QTest::qWait(300);
    EXPECT_TRUE(view->grab().save(shots + QStringLiteral("/list-three.png")));
    list.setProjects({busiest});
    list.update();
    list.selectRows({0});
    list.sendInvoice(false);
    ASSERT_TRUE(list.sendController());
    ASSERT_TRUE(twWaitFor([&list] { return !list.sendController()->previewData().isEmpty(); }));
    QTest::qWait(1000);
    EXPECT_TRUE(
        list.sendController()->view()->window()->grab().save(shots + QStringLiteral("/send.png")));
    EXPECT_TRUE(list.validationQuery(TWQuery::ShowingSendInvoice, false));
    const QByteArray pdf = list.printOperation(document->printer());
    QFile file(shots + QStringLiteral("/printed.pdf"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(pdf);
    file.close();
    list.sendController()->doDone();
    QTest::qWait(200);
    EXPECT_FALSE(list.showingSendInvoice());
}

TEST_F(InvoiceListTest, BothListsKeepTheirHeaderAndThreeRowsAtA1024By700Window)
{
    // Where a 1024 x 700 window puts the list (the client view's tab), with
    // the divider remembered from a taller window.
    book.b().setInvoiceDividerPosition(400.0);
    open({});
    list->view()->resize(750, 320);
    list->view()->show();
    QCoreApplication::processEvents();
    for (const QTableView *table :
         {static_cast<const QTableView *>(list->invoicesTableView()),
          static_cast<const QTableView *>(list->paymentsController()->tableView())}) {
        EXPECT_TRUE(twHeaderWhole(table)) << table->objectName().toStdString();
        EXPECT_GE(twWholeRowsInView(table), 3) << table->objectName().toStdString();
    }
    // The squeeze is not remembered: the user's position stays for a taller window.
    EXPECT_EQ(book.b().invoiceDividerPosition(), 400.0);
}

TEST_F(InvoiceListTest, AmountsOnScreenShowWholeInANarrowList)
{
    // Large amounts in a list as narrow as a 1024 x 700 window leaves it: each
    // amount column on screen is wide enough for its widest amount, the text
    // columns giving way first (before, the amounts kept only their titles'
    // width and read "$543...." for $543.90).
    TWBusiness &b = book.b();
    TWTaskPtr task =
        book.addTask(book.project, QStringLiteral("Design"), TWTaskTypeHour, 1, 123456789, 10);
    TWInvoicePtr invoice =
        book.storedInvoice(book.project, QStringLiteral("June"), twLocal(2024, 6, 20));
    task->setInvoiceQuantity(1);
    ASSERT_OK(b.updateInvoiceItems(invoice, {task}, {}));
    charge(invoice, 135802467);
    pay(invoice, 10000);
    open({book.project});
    list->view()->resize(750, 320);
    list->view()->show();
    QCoreApplication::processEvents();
    const QTableView *table = list->invoicesTableView();
    const QFontMetrics metrics = table->fontMetrics();
    const int r = rowOf(QStringLiteral("June"));
    ASSERT_GE(r, 0);
    int checked = 0;
    for (const int tag : {TWInvoiceColumnTasks, TWInvoiceColumnExpenses, TWInvoiceColumnTotal,
                          TWInvoiceColumnOwe}) {
        const int column = list->fieldColumn(tag);
        if (column < 0)
            continue;
        const QHeaderView *header = table->horizontalHeader();
        // Only what the list brings on screen: the scroll bar takes the rest.
        if (header->sectionViewportPosition(column) + header->sectionSize(column) >
            table->viewport()->width())
            continue;
        ++checked;
        EXPECT_GE(header->sectionSize(column), metrics.horizontalAdvance(cell(r, tag)) + 8)
            << cell(r, tag).toStdString();
    }
    EXPECT_GE(checked, 2);
}

// Duplicate copies the invoice's entry only: a deposit paid before the
// invoice's day or a discount dated before it is the client's money, never
// the copy's. The copy owes what its source's entry books.
TEST_F(InvoiceListTest, DuplicateCopiesTheEntryNeverMoneyOrADiscountDatedBeforeIt)
{
    TWBusiness &b = book.b();
    const TWInvoicePtr a = book.storedInvoice(book.project, QStringLiteral("A"));
    const TWTaskPtr task =
        book.addTask(book.project, QStringLiteral("Design"), TWTaskTypeHour, 1, 5000);
    task->setInvoiceQuantity(1);
    ASSERT_OK(b.updateInvoiceItems(a, {task}, {}));
    const TWTransactionPtr entry = charge(a, 5000);
    entry->setDate(a->date());
    ASSERT_OK(b.updateTransaction(entry, false, false, false, false));
    pay(a, 2000);                     // a deposit, ten days before the invoice
    link(a, income, receivable, 500); // a discount, dated before it too
    const qint64 bankBefore = b.accountBalances(twLocal(2099, 1, 1)).value(bank->identifier());
    open({book.project});
    list->selectRows({rowOf(QStringLiteral("A"))});
    list->duplicateSelectedInvoice(false);

    TWInvoicePtr copy;
    for (const TWInvoicePtr &invoice : b.invoices())
        if (invoice->identifier() != a->identifier())
            copy = invoice;
    ASSERT_TRUE(copy);
    const TWTransactionList copied = b.transactionsWithInvoice(*copy);
    ASSERT_EQ(copied.size(), 1);
    const TWTransactionPtr made = b.transactionWithIdentifier(copied.first()->identifier());
    ASSERT_TRUE(made);
    EXPECT_NE(made->identifier(), entry->identifier());
    EXPECT_EQ(made->account1Identifier(), receivable->identifier());
    EXPECT_EQ(made->account2Identifier(), income->identifier());
    EXPECT_EQ(made->total(), 5000);
    EXPECT_EQ(b.accountBalances(twLocal(2099, 1, 1)).value(bank->identifier()), bankBefore);
    twUpdateTransactions(*copy, b);
    EXPECT_EQ(twOwe(*copy, b), 5000);

    // Without an entry (a deposit alone), the copy has nothing linked.
    const TWInvoicePtr deposit = book.storedInvoice(book.project, QStringLiteral("D"));
    pay(deposit, 3000);
    open({book.project});
    list->selectRows({rowOf(QStringLiteral("D"))});
    list->duplicateSelectedInvoice(false);
    for (const TWInvoicePtr &invoice : b.invoices()) {
        if (invoice->name() == QLatin1String("D") &&
            invoice->identifier() != deposit->identifier()) {
            EXPECT_TRUE(b.transactionsWithInvoice(*invoice).isEmpty());
        }
    }
    EXPECT_EQ(book.count("SELECT COUNT(*) FROM invoices WHERE name = 'D'"), 2);
}

// After transactions changed, the rows of the invoices holding them and both count lines read
// what is stored; the other rows stay as they were; a row made yesterday is made again (what
// is overdue moves with the day).
TEST_F(InvoiceListTest, TransactionsChangedRefreshesWhatTheyTouchAndWhatTheDayMoves)
{
    TWBusiness &b = book.b();
    TWInvoicePtr june =
        book.storedInvoice(book.project, QStringLiteral("June"), twLocal(2024, 6, 20));
    charge(june, 24500);
    const TWTransactionPtr paid = pay(june, 10000);
    TWInvoicePtr july =
        book.storedInvoice(book.project, QStringLiteral("July"), twLocal(2024, 7, 2));
    charge(july, 5000);
    pay(july, 1000);

    open({book.project});
    showAllColumns();
    const int r = rowOf(QStringLiteral("June"));
    const int s = rowOf(QStringLiteral("July"));
    ASSERT_GE(r, 0);
    ASSERT_GE(s, 0);
    EXPECT_EQ(cell(r, TWInvoiceColumnOwe), money(14500, b));
    EXPECT_EQ(cell(s, TWInvoiceColumnOverdue), QString());
    EXPECT_EQ(list->invoiceTotalLabel()->text(), money(18500, b));
    EXPECT_EQ(list->transactionTotalLabel()->text(), money(18500, b));

    // The June payment grows, as an edit in a register would store it.
    paid->setTotal(15000);
    paid->setTotalAccount1(15000);
    paid->setTotalAccount2(15000);
    paid->setTotalBusiness(15000);
    ASSERT_OK(b.updateTransaction(paid, true, false, false, false));
    list->transactionsUpdated();
    EXPECT_EQ(cell(r, TWInvoiceColumnOwe), money(9500, b));
    EXPECT_EQ(cell(r, TWInvoiceColumnPercentPaid), QStringLiteral("61%")); // 150 / 245
    EXPECT_EQ(cell(s, TWInvoiceColumnOwe), money(4000, b));
    EXPECT_EQ(list->invoiceTotalLabel()->text(), money(13500, b));
    EXPECT_EQ(list->transactionTotalLabel()->text(), money(13500, b));

    // Nothing written, two days on: July is overdue by then.
    clock.set(twLocal(2024, 7, 3, 12));
    list->transactionsUpdated();
    EXPECT_EQ(cell(s, TWInvoiceColumnOverdue), QStringLiteral("2 days"));
    EXPECT_EQ(cell(r, TWInvoiceColumnOwe), money(9500, b));

    // With one invoice chosen, the count line sums what the pane holds of it.
    list->selectRows({s});
    EXPECT_EQ(list->transactionTotalLabel()->text(), money(4000, b));
    list->selectRows({});
    EXPECT_EQ(list->transactionTotalLabel()->text(), money(13500, b));
}
