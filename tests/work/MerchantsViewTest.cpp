// The merchants view: bill figures and row colours, the sort rules, the
// register of the chosen bills' payments, paying bills, deleting bills with
// closed payments, marking, duplicating, the bill sheet, and the list of one
// schedule's bills in the repeats view.

#include "TWDateTypingSupport.h"
#include "TWListRowsSupport.h"
#include "TWWorkTestSupport.h"

#include "app/TWWindowController.h"
#include "ledger/TWRepeatController.h"
#include "ledger/TWRepeatsController.h"
#include "ledger/TWTotalController.h"
#include "ledger/TWTransactionController.h"
#include "ledger/TWTransactionsController.h"
#include "work/TWBillController.h"
#include "work/TWMerchantController.h"

#include "app/TWMasterController.h"
#include "app/TWRecordEditors.h"

#include "TWDenyGuard.h"

#include "TWTestSupport.h"
#include "foundation/TWClock.h"
#include "foundation/TWLocalized.h"
#include "model/TWAccount.h"
#include "model/TWFormatter.h"
#include "model/TWMerchant.h"
#include "model/TWRelationship.h"
#include "model/TWRepeat.h"
#include "store/TWOwing.h"
#include "store/TWTransactionEditing.h"

#include <QCheckBox>
#include <QDateTimeEdit>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QTest>

#include <tuple>

namespace
{

// Takes the transaction the view hands over instead of showing an editor.
class CapturingEditor final : public TWTransactionEditor
{
public:
    using TWTransactionEditor::TWTransactionEditor;
    ~CapturingEditor() override { delete m_view; }
    // The sheet window takes the view: made on demand, deleted only when left.
    QWidget *view() override
    {
        if (!m_view)
            m_view = new QWidget;
        return m_view;
    }
    void setTransaction(const TWTransactionPtr &t) override { given = t; }
    TWTransactionPtr transaction() const override { return given; }
    TWTransactionPtr editTransaction() const override { return given; }
    void setRelationships(const TWRelationshipList &list) override { relationships = list; }
    void setIsImport(bool) override {}
    bool saved() const override { return false; }
    void updateWithNewAccount(const TWAccountPtr &) override {}

    static inline TWTransactionPtr given;
    static inline TWRelationshipList relationships;
    static inline int modeGiven = -1;
    void update() override { modeGiven = mode(); }

private:
    QPointer<QWidget> m_view;
};

class MerchantsView : public TWWorkTest
{
protected:
    void SetUp() override
    {
        TWWorkTest::SetUp();
        CapturingEditor::given = nullptr;
        CapturingEditor::relationships.clear();
        CapturingEditor::modeGiven = -1;
        TWAppRegistry::registry().setEditorFactory(
            TWEditorKind::Transaction, [](QObject *parent) { return new CapturingEditor(parent); });
        merchant = addMerchant(QStringLiteral("Paper Co"));
        bank = accountOfType(TWAccountTypeBank, QStringLiteral("Bank"));
        expense = accountOfType(TWAccountTypeExpense, QStringLiteral("Supplies"));
    }
    void TearDown() override
    {
        view.reset();
        TWWorkTest::TearDown();
    }

    TWMerchantPtr addMerchant(const QString &name)
    {
        TWMerchantPtr made = TWMerchant::merchantWithIdentifier(
            business->nextMerchantIdentifier(), name, QString(), 0, 0, QImage(), QString(),
            QString(), QString(), QUrl(), QString(), QString());
        EXPECT_OK(business->addMerchant(made, false));
        return made;
    }
    TWAccountPtr accountOfType(TWAccountType type, const QString &name,
                               const QString &unit = QStringLiteral("USD"))
    {
        for (const TWAccountPtr &account : business->accounts())
            if (account->accountType() == type && account->unit() &&
                account->unit()->code() == unit)
                return account;
        TWAccountPtr made = TWAccount::accountWithIdentifier(
            business->nextAccountIdentifier(), name, 0, 0, type, QString(), QImage(),
            business->unitWithCode(unit), QString());
        EXPECT_OK(business->addAccount(made, false));
        return made;
    }
    TWBillPtr addBill(const QString &name, const QDateTime &due = {},
                      const TWMerchantPtr &owner = nullptr, qint32 repeat = 0)
    {
        TWBillPtr made = TWBill::billWithDate(twLocal(2026, 3, 1), name, true, false, due, repeat,
                                              QString(), (owner ? owner : merchant)->identifier(),
                                              business->nextBillIdentifier());
        EXPECT_OK(business->addBill(made, false));
        return made;
    }
    // A transaction on the payable account linked to the bill: a charge is a
    // credit (negative), a payment a debit.
    TWTransactionPtr addEntry(const TWBillPtr &bill, qint64 total, const TWAccountPtr &other,
                              const TWAccountPtr &payable = nullptr, qint64 home = 0)
    {
        const TWAccountPtr ap =
            payable ? payable
                    : accountOfType(TWAccountTypeAccountsPayable, QStringLiteral("Payable"));
        TWTransactionPtr t = twNewTransaction(*business);
        t->setDate(twLocal(2026, 3, 2));
        t->setAccount1Identifier(ap->identifier());
        t->setAccount2Identifier(other->identifier());
        t->setUnit(ap->unit());
        t->setTotal(total);
        t->setTotalAccount1(total);
        t->setTotalAccount2(home ? home : total);
        t->setTotalBusiness(home ? home : total);
        EXPECT_OK(business->addTransaction(t, false, false, false, false));
        EXPECT_OK(business->addRelationship(
            TWRelationship::relationshipWithType(
                TWRelationshipTypeBillPayment, 0.0, bill->merchantIdentifier(), bill->identifier(),
                t->identifier(), 0, business->nextRelationshipIdentifier()),
            false));
        return t;
    }
    void open(const TWMerchantList &merchants, int mode = TWMerchantController::ModeMerchants,
              const TWRepeatPtr &repeat = nullptr)
    {
        view = std::make_unique<TWMerchantController>(nullptr, mode);
        view->setBusinessController(document.get());
        view->setBusiness(business);
        view->view()->resize(1000, 600);
        view->view()->show();
        view->setRepeat(repeat);
        if (mode == TWMerchantController::ModeMerchants)
            view->setMerchants(merchants);
        else
            view->update();
    }
    QString cell(int row, int tag) const { return view->workText(view->table(), row, tag); }
    int rowOf(const TWBillPtr &bill) const { return view->billRow(*bill); }
    // Duplicates the merchant's one bill through the view; the copy, or nullptr.
    TWBillPtr duplicateOfOnlyBill(const TWBillPtr &bill)
    {
        open({merchant});
        select({bill});
        view->duplicateSelectedBill(false);
        TWBillPtr copy;
        for (const TWBillPtr &listed : business->bills())
            if (listed->identifier() != bill->identifier())
                copy = listed;
        return copy;
    }
    void select(const TWBillList &bills)
    {
        view->table()->clearSelection();
        QItemSelection selection;
        for (const TWBillPtr &bill : bills) {
            const int row = rowOf(bill);
            selection.select(view->table()->model()->index(row, 0),
                             view->table()->model()->index(row, 0));
        }
        view->table()->table()->selectionModel()->select(
            selection, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    }

    std::unique_ptr<TWMerchantController> view;
    TWMerchantPtr merchant;
    TWAccountPtr bank;
    TWAccountPtr expense;
};

} // namespace

TEST_F(MerchantsView, CellsShowTheFiguresInTheHomeCurrencyAndRowsTakeTheirColour)
{
    TWFixedClock clock(2026, 3, 20, 12, 0, 0);
    TWPreferences &preferences = TWPreferences::preferences();
    preferences.setOverdueColour(QColor(200, 0, 0));
    preferences.setOweColour(QColor(0, 0, 200));
    preferences.setPaidColour(QColor(0, 150, 0));
    preferences.setBillColour(QColor(10, 10, 10));
    const TWAccountPtr payableEuro = accountOfType(
        TWAccountTypeAccountsPayable, QStringLiteral("Payable EUR"), QStringLiteral("EUR"));
    const TWBillPtr half = addBill(QStringLiteral("Half"), twLocal(2026, 3, 18));
    addEntry(half, -10000, expense);
    addEntry(half, 5000, bank);
    // Charged in euros: the columns show the home amount.
    const TWBillPtr euro = addBill(QStringLiteral("Euro"));
    addEntry(euro, -10000, expense, payableEuro, -12000);
    const TWBillPtr paid = addBill(QStringLiteral("Paid"), twLocal(2026, 3, 1));
    paid->setPaid(true);
    ASSERT_OK(business->updateBill(paid, false));
    const TWBillPtr plain = addBill(QStringLiteral("Plain"));
    open({merchant});

    const int h = rowOf(half);
    EXPECT_EQ(cell(h, TWBillColumnTotal), QStringLiteral("$100.00"));
    EXPECT_EQ(cell(h, TWBillColumnOwe), QStringLiteral("$50.00"));
    EXPECT_EQ(cell(h, TWBillColumnPercentPaid), QStringLiteral("50%"));
    EXPECT_EQ(cell(h, TWBillColumnOverdue),
              TWFormatter::formatter().overdueDateString(half->dueDate()));
    EXPECT_FALSE(cell(h, TWBillColumnOverdue).isEmpty());
    EXPECT_EQ(view->billColour(*half), QColor(200, 0, 0));
    const int e = rowOf(euro);
    EXPECT_EQ(cell(e, TWBillColumnTotal), QStringLiteral("$120.00"));
    EXPECT_EQ(cell(e, TWBillColumnPercentPaid), QStringLiteral("0%"));
    EXPECT_TRUE(cell(e, TWBillColumnDue).isEmpty());
    EXPECT_TRUE(cell(e, TWBillColumnOverdue).isEmpty());
    EXPECT_EQ(view->billColour(*euro), QColor(0, 0, 200));
    // Past its due date but owing nothing: not overdue, and marked paid.
    EXPECT_EQ(view->billColour(*paid), QColor(0, 150, 0));
    EXPECT_EQ(view->billColour(*plain), QColor(10, 10, 10));
    EXPECT_TRUE(view->workChecked(view->table(), rowOf(plain), TWBillColumnReceived));
    EXPECT_FALSE(view->workChecked(view->table(), rowOf(plain), TWBillColumnPaid));

    // The count and total line: every listed bill, then the selection.
    EXPECT_EQ(view->countLabel()->text(), QStringLiteral("4 ") + TWLocalized("billsLower"));
    EXPECT_EQ(view->totalLabel()->text(), QStringLiteral("$170.00"));
    select({half});
    EXPECT_EQ(view->countLabel()->text(), QStringLiteral("1 / 4 ") + TWLocalized("billsLower"));
    EXPECT_EQ(view->totalLabel()->text(), QStringLiteral("$50.00 / $170.00"));

    // A payment elsewhere: the rows are refreshed in place, the selection stays.
    addEntry(half, 5000, bank);
    view->transactionsUpdated();
    EXPECT_EQ(cell(h, TWBillColumnOwe), QStringLiteral("$0.00"));
    EXPECT_EQ(cell(h, TWBillColumnPercentPaid), QStringLiteral("100%"));
    EXPECT_EQ(view->selectedBills(), TWBillList({half}));
}

TEST_F(MerchantsView, APaymentWrittenReachesItsRowThePaneAndTheCountLineAndANewDayTheOverdue)
{
    TWFixedClock clock(2026, 3, 10);
    const TWBillPtr a = addBill(QStringLiteral("A"));
    const TWBillPtr b = addBill(QStringLiteral("B"), twLocal(2026, 3, 12));
    addEntry(a, -10000, expense);
    addEntry(b, -20000, expense);
    const TWTransactionPtr payment = addEntry(a, 4000, bank);
    open({merchant});
    EXPECT_EQ(cell(rowOf(a), TWBillColumnOwe), QStringLiteral("$60.00"));
    EXPECT_EQ(view->totalLabel()->text(), QStringLiteral("$260.00"));
    const auto paneTotal = [&] {
        for (const TWTransactionPtr &row : view->paymentsRegister()->transactions())
            if (row->identifier() == payment->identifier())
                return row->total();
        return qint64(-1);
    };
    EXPECT_EQ(paneTotal(), 4000);
    // Every bill chosen, then none: the same payments, with nothing written.
    select({a, b});
    select({});
    EXPECT_EQ(view->paymentsRegister()->transactions().size(), 3);

    // The payment grown through the store, as the register saves an edit.
    const TWTransactionPtr stored = business->transactionWithIdentifier(payment->identifier());
    ASSERT_TRUE(stored);
    stored->setTotal(7000);
    stored->setTotalAccount1(7000);
    stored->setTotalAccount2(7000);
    stored->setTotalBusiness(7000);
    EXPECT_OK(business->updateTransaction(stored, true, false, false, false));
    view->transactionsUpdated();
    EXPECT_EQ(cell(rowOf(a), TWBillColumnOwe), QStringLiteral("$30.00"));
    EXPECT_EQ(cell(rowOf(b), TWBillColumnOwe), QStringLiteral("$200.00"));
    EXPECT_EQ(view->totalLabel()->text(), QStringLiteral("$230.00"));
    EXPECT_EQ(paneTotal(), 7000);
    EXPECT_TRUE(cell(rowOf(b), TWBillColumnOverdue).isEmpty());
    // The pane's rows, order and running balances as a view opened now loads them.
    const auto paneRows = [&] {
        QList<std::tuple<qint32, qint64, qint64>> rows;
        for (const TWTransactionPtr &row : view->paymentsRegister()->transactions())
            rows.append({row->identifier(), row->total(), row->balance()});
        return rows;
    };
    const auto kept = paneRows();
    open({merchant});
    EXPECT_EQ(paneRows(), kept);

    // Three days on with nothing written: the bill due in between is overdue.
    clock.set(twLocal(2026, 3, 13, 12));
    view->transactionsUpdated();
    EXPECT_FALSE(cell(rowOf(b), TWBillColumnOverdue).isEmpty());
    EXPECT_EQ(cell(rowOf(a), TWBillColumnOwe), QStringLiteral("$30.00"));
}

TEST_F(MerchantsView, DueDatesSortWithMissingOnesLastAndTiesInIdentifierOrder)
{
    const TWBillPtr none1 = addBill(QStringLiteral("n1"));
    const TWBillPtr late = addBill(QStringLiteral("late"), twLocal(2026, 5, 1));
    const TWBillPtr early = addBill(QStringLiteral("early"), twLocal(2026, 4, 1));
    const TWBillPtr same = addBill(QStringLiteral("same"), twLocal(2026, 4, 1));
    const TWBillPtr none2 = addBill(QStringLiteral("n2"));
    open({merchant});
    view->updateSortBy(TWBillColumnDue, true);
    EXPECT_EQ(view->bills(), TWBillList({early, same, late, none1, none2}));
    view->updateSortDirection(false, true);
    EXPECT_EQ(view->bills(), TWBillList({none1, none2, late, early, same}));
    // Names: case-sensitive, plain order.
    view->updateSortDirection(true, true);
    view->updateSortBy(TWBillColumnName, true);
    EXPECT_EQ(view->bills(), TWBillList({early, late, none1, none2, same}));
}

TEST_F(MerchantsView, OverdueBillsSortByFewestDaysFirstBeforeTheOthers)
{
    TWFixedClock clock(2026, 6, 1, 9, 0, 0);
    const TWBillPtr current = addBill(QStringLiteral("current"), twLocal(2026, 7, 1));
    addEntry(current, -1000, expense);
    const TWBillPtr thirty = addBill(QStringLiteral("thirty"), twLocal(2026, 5, 2));
    addEntry(thirty, -1000, expense);
    const TWBillPtr two = addBill(QStringLiteral("two"), twLocal(2026, 5, 30));
    addEntry(two, -1000, expense);
    const TWBillPtr settled = addBill(QStringLiteral("settled"), twLocal(2026, 5, 1));
    open({merchant});
    view->updateSortBy(TWBillColumnOverdue, true);
    EXPECT_EQ(view->bills(), TWBillList({two, thirty, current, settled}));
    EXPECT_LT(view->compareBills(*two, *thirty, TWBillColumnOverdue), 0);
    EXPECT_EQ(view->compareBills(*current, *settled, TWBillColumnOverdue), 0);
    // Descending: the column order turns round, ties stay in identifier order.
    view->updateSortDirection(false, true);
    EXPECT_EQ(view->bills(), TWBillList({current, settled, thirty, two}));
    // Owing and percent paid compare the amounts.
    view->updateSortDirection(true, true);
    view->updateSortBy(TWBillColumnOwe, true);
    EXPECT_EQ(view->bills().first(), settled);
}

TEST_F(MerchantsView, TwoMerchantsShowTheMerchantColumnAndCannotAddBills)
{
    const TWMerchantPtr other = addMerchant(QStringLiteral("Ink Ltd"));
    const TWBillPtr mine = addBill(QStringLiteral("A"));
    const TWBillPtr theirs = addBill(QStringLiteral("B"), {}, other);
    open({merchant});
    EXPECT_EQ(view->table()->fieldColumn(TWBillColumnMerchant), -1);
    EXPECT_TRUE(view->canAddBill());
    view->setMerchants({merchant, other});
    EXPECT_GE(view->table()->fieldColumn(TWBillColumnMerchant), 0);
    EXPECT_FALSE(view->canAddBill());
    EXPECT_FALSE(view->addDeleteControl()->isSegmentEnabled(0));
    EXPECT_EQ(cell(rowOf(theirs), TWBillColumnMerchant), QStringLiteral("Ink Ltd"));
    // The context menu still offers a new bill (disabled).
    view->table()->setContextRows({});
    std::unique_ptr<QMenu> menu(view->workContextMenu(view->table(), nullptr, false));
    ASSERT_TRUE(menu);
    ASSERT_EQ(menu->actions().size(), 1);
    EXPECT_EQ(menu->actions().first()->text(), TWLocalized("newBill"));
    EXPECT_FALSE(menu->actions().first()->isEnabled());
    // Paying needs bills of one merchant.
    select({mine, theirs});
    EXPECT_FALSE(view->canAddTransaction());
    select({});
    EXPECT_FALSE(view->canAddTransaction());
}

TEST_F(MerchantsView, TheRegisterShowsThePaymentsOfTheChosenBillsOrOfAll)
{
    const TWBillPtr a = addBill(QStringLiteral("A"));
    const TWBillPtr b = addBill(QStringLiteral("B"));
    const TWBillPtr c = addBill(QStringLiteral("C"));
    addEntry(a, -100, expense);
    addEntry(b, -200, expense);
    addEntry(c, -300, expense);
    open({merchant});
    EXPECT_EQ(view->paymentsRegister()->transactions().size(), 3);
    select({a, c});
    EXPECT_EQ(view->paymentsRegister()->transactions().size(), 2);
    select({});
    EXPECT_EQ(view->paymentsRegister()->transactions().size(), 3);
}

TEST_F(MerchantsView, PayingOneBillOpensATransactionInPayablesLinkedToIt)
{
    const TWBillPtr bill = addBill(QStringLiteral("Toner"));
    const qsizetype accountsBefore = business->accounts().size();
    bool hadPayable = false;
    for (const TWAccountPtr &account : business->accounts())
        hadPayable = hadPayable || account->accountType() == TWAccountTypeAccountsPayable;
    open({merchant});
    select({bill});
    ASSERT_TRUE(view->canAddTransaction());
    view->newTransaction(false);
    ASSERT_TRUE(CapturingEditor::given);
    const TWAccountPtr payable =
        business->accountWithIdentifier(CapturingEditor::given->account1Identifier());
    ASSERT_TRUE(payable);
    EXPECT_EQ(payable->accountType(), TWAccountTypeAccountsPayable);
    if (!hadPayable) {
        // None existed: one was made, named after its type.
        EXPECT_EQ(business->accounts().size(), accountsBefore + 1);
        EXPECT_FALSE(payable->name().isEmpty());
    }
    EXPECT_EQ(CapturingEditor::given->total(), 0);
    EXPECT_EQ(CapturingEditor::given->payee(), QStringLiteral("Paper Co"));
    EXPECT_EQ(CapturingEditor::given->description(), QStringLiteral("Toner"));
    EXPECT_EQ(CapturingEditor::modeGiven, 0);
    ASSERT_EQ(CapturingEditor::relationships.size(), 1);
    const TWRelationshipPtr link = CapturingEditor::relationships.first();
    EXPECT_EQ(link->type(), std::uint32_t(TWRelationshipTypeBillPayment));
    EXPECT_EQ(link->parentIdentifier(), merchant->identifier());
    EXPECT_EQ(link->childIdentifier(), bill->identifier());
    EXPECT_EQ(link->transactionIdentifier(), CapturingEditor::given->identifier());
    // Nothing is stored until the editor saves.
    EXPECT_FALSE(business->transactionWithIdentifier(CapturingEditor::given->identifier()));
}

TEST_F(MerchantsView, PayingSeveralBillsUsesTheirPayableAccountAndOneLinePerBill)
{
    const TWAccountPtr payableEuro = accountOfType(
        TWAccountTypeAccountsPayable, QStringLiteral("Payable EUR"), QStringLiteral("EUR"));
    const TWBillPtr a = addBill(QStringLiteral("A"));
    const TWBillPtr b = addBill(QStringLiteral("B"));
    addEntry(a, -10000, expense, payableEuro, -12000);
    open({merchant});
    select({a, b});
    view->newTransaction(true);
    ASSERT_TRUE(CapturingEditor::given);
    EXPECT_EQ(CapturingEditor::modeGiven, 1);
    EXPECT_TRUE(CapturingEditor::given->hasSplit());
    EXPECT_EQ(CapturingEditor::given->activeAccountIdentifier(), payableEuro->identifier());
    ASSERT_EQ(CapturingEditor::relationships.size(), 2);
    QList<qint32> children;
    for (const TWRelationshipPtr &link : CapturingEditor::relationships) {
        children.append(link->childIdentifier());
        EXPECT_NE(link->splitIdentifier(), 0);
    }
    EXPECT_EQ(children, QList<qint32>({a->identifier(), b->identifier()}));
    int onPayable = 0;
    for (const TWSplitPtr &split : CapturingEditor::given->splits())
        onPayable += split->accountIdentifier() == payableEuro->identifier();
    EXPECT_EQ(onPayable, 2);
}

TEST_F(MerchantsView, BillsWithAClosedPaymentAreNotDeleted)
{
    const TWBillPtr open1 = addBill(QStringLiteral("Open"));
    const TWTransactionPtr normal = addEntry(open1, -500, expense);
    const TWBillPtr closed = addBill(QStringLiteral("Closed"));
    const TWTransactionPtr locked = addEntry(closed, -700, expense);
    locked->setState(2);
    ASSERT_OK(business->updateTransaction(locked, false, false, false, false));
    open({merchant});
    select({open1, closed});
    view->deleteSelectedBill(false);
    // Refused before the question is asked.
    EXPECT_EQ(alerts, QStringList({TWLocalized("deleteLockedTransaction")}));
    EXPECT_TRUE(business->billWithIdentifier(open1->identifier()));
    EXPECT_TRUE(business->billWithIdentifier(closed->identifier()));
    EXPECT_EQ(view->bills().size(), 2);

    // The other one alone goes, with its payment.
    alerts.clear();
    select({open1});
    view->deleteSelectedBill(false);
    EXPECT_EQ(alerts, QStringList({TWLocalized("deleteBillTitle")}));
    EXPECT_FALSE(business->billWithIdentifier(open1->identifier()));
    EXPECT_FALSE(business->transactionWithIdentifier(normal->identifier()));
    EXPECT_EQ(view->bills(), TWBillList({closed}));
    // Cancelling deletes nothing.
    alertAnswer = 1001;
    select({closed});
    view->deleteSelectedBill(false);
    EXPECT_TRUE(business->billWithIdentifier(closed->identifier()));
}

TEST_F(MerchantsView, MarkingActsOnTheChosenBillsAndStoresThem)
{
    const TWBillPtr a = addBill(QStringLiteral("A"));
    const TWBillPtr b = addBill(QStringLiteral("B"));
    const TWBillPtr c = addBill(QStringLiteral("C"));
    open({merchant});
    view->updateSortBy(TWBillColumnPaid, true);
    select({a, c});
    view->markBill(TWBillMarkPaid, false);
    EXPECT_TRUE(business->billWithIdentifier(a->identifier())->paid());
    EXPECT_FALSE(business->billWithIdentifier(b->identifier())->paid());
    EXPECT_TRUE(business->billWithIdentifier(c->identifier())->paid());
    // Sorted by paid, the unpaid bill comes first now; the selection is cleared.
    EXPECT_EQ(view->bills().first()->identifier(), b->identifier());
    EXPECT_TRUE(view->selectedBills().isEmpty());
    // The context rows: only the clicked row.
    view->table()->setContextRows({view->billRow(*business->billWithIdentifier(b->identifier()))});
    view->markBill(TWBillMarkNotReceived, true);
    EXPECT_FALSE(business->billWithIdentifier(b->identifier())->received());
    EXPECT_TRUE(business->billWithIdentifier(a->identifier())->received());
    // The check box stores its change.
    const int row = view->billRow(*a);
    view->workCheckbox(view->table(), row, TWBillColumnReceived, false);
    EXPECT_FALSE(business->billWithIdentifier(a->identifier())->received());
    EXPECT_EQ(document->isDocumentEdited(), true);
}

TEST_F(MerchantsView, DuplicatingCopiesTheBillAndOnlyItsFirstEditablePayment)
{
    const TWBillPtr bill = addBill(QStringLiteral("Rent"));
    bill->setPaid(true);
    ASSERT_OK(business->updateBill(bill, false));
    const TWTransactionPtr first = addEntry(bill, -1000, expense);
    addEntry(bill, 400, bank);
    addEntry(bill, 600, bank);
    open({merchant});
    select({bill});
    view->duplicateSelectedBill(false);
    ASSERT_EQ(view->bills().size(), 2);
    TWBillPtr copy;
    for (const TWBillPtr &listed : view->bills())
        if (listed->identifier() != bill->identifier())
            copy = listed;
    ASSERT_TRUE(copy);
    EXPECT_EQ(copy->name(), QStringLiteral("Rent"));
    EXPECT_FALSE(copy->paid());
    EXPECT_FALSE(copy->received());
    const TWTransactionList copied = business->transactionsWithBill(*copy);
    ASSERT_EQ(copied.size(), 1);
    EXPECT_NE(copied.first()->identifier(), first->identifier());
    EXPECT_EQ(copied.first()->total(), -1000);
    EXPECT_TRUE(alerts.isEmpty());

    // A closed first payment: asked first, then the bill is copied alone.
    first->setState(1);
    ASSERT_OK(business->updateTransaction(first, false, false, false, false));
    select({view->bills().at(view->billRow(*bill))});
    view->duplicateSelectedBill(false);
    EXPECT_EQ(alerts, QStringList({TWLocalized("lockedClosedBillTransactionsDuplicate")}));
    ASSERT_EQ(view->bills().size(), 3);
    const TWBillPtr last = view->bills().at(view->billRow(*business->bills().last()));
    EXPECT_TRUE(business->transactionsWithBill(*last).isEmpty());
}

// A bill an earlier build left, its charge made after its payment (the
// charge deleted and made again): the duplicate's copy of the charge is its
// charge, and the duplicate's sheet makes no second one.
TEST_F(MerchantsView, ADuplicateOfABillChargedAfterItsPaymentIsChargedOnce)
{
    const TWBillPtr bill = addBill(QStringLiteral("Rent"));
    const TWTransactionPtr payment = addEntry(bill, 1000, bank);
    payment->setDate(twLocal(2026, 3, 9));
    ASSERT_OK(business->updateTransaction(payment, false, false, false, false));
    const TWTransactionPtr charge = addEntry(bill, -1000, expense);
    const TWBillPtr copy = duplicateOfOnlyBill(bill);
    ASSERT_TRUE(copy);
    const TWTransactionList copied = business->transactionsWithBill(*copy);
    ASSERT_EQ(copied.size(), 1);
    ASSERT_TRUE(business->billCharge(*copy));
    EXPECT_EQ(business->billCharge(*copy)->identifier(), copied.first()->identifier());

    view->editBill(copy);
    TWBillController *sheet = view->billSheet();
    sheet->saveButton()->click();
    settle();
    ASSERT_TRUE(sheet->saved());
    EXPECT_EQ(business->transactionsWithBill(*copy).size(), 1);
    twUpdateTransactions(*copy, *business);
    EXPECT_EQ(twOwe(*copy, *business), 1000);
}

// A bill with a closed or locked entry opens read-only, as a closed
// transaction does; the next, open bill in the same sheet is editable again.
TEST_F(MerchantsView, ABillWithClosedEntriesOpensReadOnly)
{
    const TWBillPtr closed = addBill(QStringLiteral("Closed"));
    const TWTransactionPtr charge = addEntry(closed, -700, expense);
    charge->setState(TWTransactionStateClosed);
    ASSERT_OK(business->updateTransaction(charge, false, false, false, false));
    const TWBillPtr open1 = addBill(QStringLiteral("Open"));
    addEntry(open1, -500, expense);
    open({merchant});
    for (const auto &[bill, editable] : {std::pair(closed, false), std::pair(open1, true)}) {
        select({bill});
        view->editSelectedBill(false);
        TWBillController *sheet = view->billSheet();
        ASSERT_TRUE(sheet);
        EXPECT_EQ(sheet->isClosed(), !editable);
        for (QWidget *control : {static_cast<QWidget *>(sheet->datePicker()),
                                 static_cast<QWidget *>(sheet->nameField()),
                                 static_cast<QWidget *>(sheet->dueCheckbox()),
                                 static_cast<QWidget *>(sheet->saveButton())})
            EXPECT_EQ(control->isEnabled(), editable) << bill->name().toStdString();
        sheet->cancelButton()->click();
        settle();
    }
    EXPECT_EQ(business->billWithIdentifier(closed->identifier())->date(), closed->date());
}

TEST_F(MerchantsView, TheBillSheetSavesANewBillWithItsChargeAndCancelStoresNothing)
{
    open({merchant});
    view->newBill();
    TWBillController *sheet = view->billSheet();
    ASSERT_TRUE(sheet);
    EXPECT_TRUE(sheet->receivedCheckbox()->isChecked());
    EXPECT_FALSE(sheet->dueCheckbox()->isChecked());
    EXPECT_FALSE(sheet->duePicker()->isEnabled());
    // Cancel first: nothing is stored.
    const qsizetype billsBefore = business->bills().size();
    sheet->cancelButton()->click();
    settle();
    EXPECT_EQ(business->bills().size(), billsBefore);
    EXPECT_FALSE(sheet->saved());

    view->newBill();
    sheet->nameField()->setText(QStringLiteral("Electricity"));
    sheet->duePicker()->setDateTime(twLocal(2026, 4, 30));
    sheet->dueCheckbox()->click();
    EXPECT_TRUE(sheet->duePicker()->isEnabled());
    EXPECT_EQ(sheet->editBill()->dueDate().date(), QDate(2026, 4, 30));
    sheet->dueCheckbox()->click();
    EXPECT_FALSE(sheet->editBill()->dueDate().isValid());
    sheet->dueCheckbox()->click();
    sheet->saveButton()->click();
    settle();
    EXPECT_TRUE(sheet->saved());
    const TWBillPtr stored = business->billWithIdentifier(sheet->editBill()->identifier());
    ASSERT_TRUE(stored);
    EXPECT_EQ(stored->name(), QStringLiteral("Electricity"));
    EXPECT_EQ(stored->dueDate().date(), QDate(2026, 4, 30));
    // Its charge: a zero transaction in accounts payable, linked to it.
    const TWTransactionList charges = business->transactionsWithBill(*stored);
    ASSERT_EQ(charges.size(), 1);
    EXPECT_EQ(charges.first()->total(), 0);
    const TWAccountPtr payable =
        business->accountWithIdentifier(charges.first()->account1Identifier());
    ASSERT_TRUE(payable);
    EXPECT_EQ(payable->accountType(), TWAccountTypeAccountsPayable);
    // Listed and selected.
    ASSERT_EQ(view->selectedBills().size(), 1);
    EXPECT_EQ(view->selectedBills().first()->identifier(), stored->identifier());
    // The name is remembered for completion.
    EXPECT_TRUE(sheet->completions(TWValueListBillNames, QStringLiteral("elec"))
                    .contains(QStringLiteral("Electricity")));
}

TEST_F(MerchantsView, TheBillSheetReadsTypedDatesInTheLocalesOrder)
{
    TWLocaleGuard pinned{QStringLiteral("en_GB")};
    open({merchant});
    view->newBill();
    TWBillController *sheet = view->billSheet();
    ASSERT_TRUE(sheet);
    sheet->nameField()->setText(QStringLiteral("Water"));
    twTypeDate(sheet->datePicker(), QStringLiteral("5/10/26"));
    sheet->dueCheckbox()->click();
    twTypeDate(sheet->duePicker(), QStringLiteral("4 Nov 2026"));
    sheet->saveButton()->click();
    settle();
    ASSERT_TRUE(sheet->saved());
    const TWBillPtr stored = business->billWithIdentifier(sheet->editBill()->identifier());
    ASSERT_TRUE(stored);
    EXPECT_EQ(stored->date().date(), QDate(2026, 10, 5));
    EXPECT_EQ(stored->dueDate().date(), QDate(2026, 11, 4));
}

TEST_F(MerchantsView, TheBillSheetStoresAndDropsASchedule)
{
    TWFixedClock clock(2026, 3, 20, 12, 0, 0);
    const TWBillPtr bill = addBill(QStringLiteral("Rent"));
    open({merchant});
    view->editBill(bill);
    TWBillController *sheet = view->billSheet();
    sheet->repeatController()->doRepeats(true);
    sheet->repeatController()->doInterval(1);
    sheet->repeatController()->doIntervalUnit(TWRepeatIntervalUnitWeek);
    sheet->saveButton()->click();
    settle();
    const TWBillPtr stored = business->billWithIdentifier(bill->identifier());
    ASSERT_NE(stored->repeatIdentifier(), 0);
    const TWRepeatPtr repeat = business->repeatWithIdentifier(stored->repeatIdentifier());
    ASSERT_TRUE(repeat);
    EXPECT_EQ(repeat->type(), std::uint32_t(TWRepeatTypeBill));
    // The schedule made the weekly bills due up to today.
    EXPECT_GT(business->itemsWithRepeatIdentifier(repeat->identifier()).size(), 1);

    // No repetition: the schedule goes and the bill is left without one.
    view->editBill(business->billWithIdentifier(bill->identifier()));
    sheet->repeatController()->doRepeats(false);
    sheet->saveButton()->click();
    settle();
    EXPECT_EQ(business->billWithIdentifier(bill->identifier())->repeatIdentifier(), 0);
    EXPECT_FALSE(business->repeatWithIdentifier(repeat->identifier()));
}

TEST_F(MerchantsView, TheRepeatsViewListsOneSchedulesBills)
{
    const TWRepeatPtr repeat =
        TWRepeat::repeatWithType(TWRepeatTypeBill, 1, TWRepeatIntervalUnitMonth, QDateTime(), false,
                                 business->nextRepeatIdentifier());
    ASSERT_OK(business->addRepeat(repeat, false));
    const TWBillPtr first = addBill(QStringLiteral("Lease"), {}, nullptr, repeat->identifier());
    const TWBillPtr second = addBill(QStringLiteral("Lease"), {}, nullptr, repeat->identifier());
    addBill(QStringLiteral("Other"));
    TWDetailController *made = TWAppRegistry::registry().makeMerchantsView(nullptr);
    std::unique_ptr<TWDetailController> owned(made);
    auto *items = dynamic_cast<TWRepeatItemsList *>(made);
    ASSERT_TRUE(items);
    ASSERT_EQ(qobject_cast<TWMerchantController *>(made)->mode(), TWMerchantController::ModeRepeat);

    open({}, TWMerchantController::ModeRepeat, repeat);
    EXPECT_EQ(view->bills().size(), 2);
    EXPECT_TRUE(view->bills().contains(first));
    EXPECT_TRUE(view->bills().contains(second));
    EXPECT_FALSE(view->canAddBill());
    EXPECT_FALSE(view->countLabel()->isVisible());
    view->selectItemWithIdentifier(second->identifier());
    EXPECT_EQ(view->selectedItemIdentifiers(), QList<qint32>({second->identifier()}));
    // No new bill and no duplicate here; a click below the rows gives nothing.
    std::unique_ptr<QMenu> below(view->workContextMenu(view->table(), nullptr, false));
    EXPECT_TRUE(!below || below->isEmpty());
    view->table()->setContextRows({view->billRow(*second)});
    std::unique_ptr<QMenu> menu(view->workContextMenu(view->table(), nullptr, true));
    QStringList titles;
    for (QAction *action : menu->actions())
        titles.append(action->text());
    EXPECT_FALSE(titles.contains(TWLocalized("newBill")));
    EXPECT_FALSE(titles.contains(TWLocalized("duplicateBill")));
    EXPECT_TRUE(titles.contains(TWLocalized("deleteBill")));
}

TEST_F(MerchantsView, TheDocumentRoutesBillCommandsToTheChosenMerchant)
{
    const TWBillPtr a = addBill(QStringLiteral("A"));
    const TWBillPtr b = addBill(QStringLiteral("B"));
    business->setDocumentFrame(QRectF(20, 20, 1000, 700));
    document->showWindows();
    settle();
    const TWMasterItemPtr node = document->masterController()->masterItemWithType(
        TWMasterItemEntity, TWItemTypeMerchant, merchant->identifier());
    ASSERT_TRUE(node);
    document->selectMasterItems({node}, true);
    auto *shown =
        qobject_cast<TWMerchantController *>(document->detailController(TWDetailMerchants));
    ASSERT_TRUE(shown);
    ASSERT_EQ(shown->bills().size(), 2);
    EXPECT_TRUE(document->validate(TWAction::doNewBill, 0).enabled);
    EXPECT_FALSE(document->validate(TWAction::doEditBill, 0).enabled);

    shown->selectBill(a);
    EXPECT_TRUE(document->validate(TWAction::doEditBill, 0).enabled);
    document->perform(TWAction::doMarkBill, TWBillMarkPaid);
    EXPECT_TRUE(business->billWithIdentifier(a->identifier())->paid());
    EXPECT_FALSE(business->billWithIdentifier(b->identifier())->paid());

    // The column commands of the Columns menu reach the bill list.
    EXPECT_EQ(shown->table()->fieldColumn(TWBillColumnMerchant), -1);
    document->perform(TWAction::doColumnMerchantBill, TWBillColumnMerchant);
    EXPECT_GE(shown->table()->fieldColumn(TWBillColumnMerchant), 0);

    document->perform(TWAction::doNewBill);
    ASSERT_TRUE(shown->billSheet());
    shown->billSheet()->nameField()->setText(QStringLiteral("Water"));
    shown->billSheet()->saveButton()->click();
    settle();
    EXPECT_EQ(shown->bills().size(), 3);
    EXPECT_TRUE(document->isDocumentEdited());
}

TEST_F(MerchantsView, BillCommandsReachTheRepeatsViewsBills)
{
    TWAppRegistry::registry().setDetailFactory(
        TWDetailRepeats, [](QObject *parent) { return new TWRepeatsController(parent); });
    const TWRepeatPtr repeat =
        TWRepeat::repeatWithType(TWRepeatTypeBill, 1, TWRepeatIntervalUnitMonth, QDateTime(), false,
                                 business->nextRepeatIdentifier());
    ASSERT_OK(business->addRepeat(repeat, false));
    const TWBillPtr first = addBill(QStringLiteral("Lease"), {}, nullptr, repeat->identifier());
    const TWBillPtr second = addBill(QStringLiteral("Lease"), {}, nullptr, repeat->identifier());
    business->setDocumentFrame(QRectF(20, 20, 1000, 700));
    document->showWindows();
    settle();
    const TWMasterItemPtr node =
        document->masterController()->masterItemWithType(TWMasterItemRepeats, 0, 0);
    ASSERT_TRUE(node);
    document->selectMasterItems({node}, true);
    auto *repeats =
        qobject_cast<TWRepeatsController *>(document->detailController(TWDetailRepeats));
    ASSERT_TRUE(repeats);
    repeats->update();
    repeats->selectRepeat(repeat);
    auto *bills = qobject_cast<TWMerchantController *>(repeats->merchantsView());
    ASSERT_TRUE(bills);
    ASSERT_EQ(bills->bills().size(), 2);
    bills->selectBill(second);
    EXPECT_TRUE(document->validate(TWAction::doMarkBill, 0).enabled);
    EXPECT_FALSE(document->validate(TWAction::doNewBill, 0).enabled);
    document->perform(TWAction::doMarkBill, TWBillMarkPaid);
    EXPECT_TRUE(business->billWithIdentifier(second->identifier())->paid());
    EXPECT_FALSE(business->billWithIdentifier(first->identifier())->paid());
    // Both lists were read again: the schedule stays chosen, its bills listed.
    EXPECT_EQ(repeats->selectedRepeat()->identifier(), repeat->identifier());
    EXPECT_EQ(bills->bills().size(), 2);
}

TEST_F(MerchantsView, AFailedMarkOrCheckBoxLeavesTheStoredBillAsItWas)
{
    const TWBillPtr bill = addBill(QStringLiteral("A"));
    open({merchant});
    {
        TWDenyGuard deny(*business, SQLITE_UPDATE, "bills");
        select({bill});
        view->markBill(TWBillMarkPaid, false);
        view->workCheckbox(view->table(), view->billRow(*bill), TWBillColumnReceived, false);
    }
    ASSERT_EQ(prompts.errors.size(), 2);
    EXPECT_EQ(prompts.errors.at(1).domain(), QStringLiteral("Tallyworth Merchant Error"));
    EXPECT_EQ(prompts.errors.at(1).code(), -1);
    const TWBillPtr stored = business->billWithIdentifier(bill->identifier());
    EXPECT_FALSE(stored->paid());
    EXPECT_TRUE(stored->received());
    const int row = view->billRow(*bill);
    EXPECT_FALSE(view->workChecked(view->table(), row, TWBillColumnPaid));
    EXPECT_TRUE(view->workChecked(view->table(), row, TWBillColumnReceived));
}

TEST_F(MerchantsView, SavingANewBillAgainAfterItsChargeFailedStoresItOnce)
{
    open({merchant});
    view->newBill();
    TWBillController *sheet = view->billSheet();
    sheet->nameField()->setText(QStringLiteral("Gas"));
    {
        // The bill goes in, its charge's link does not: the sheet stays open.
        TWDenyGuard deny(*business, SQLITE_INSERT, "relationships");
        sheet->saveButton()->click();
        settle();
    }
    EXPECT_FALSE(sheet->saved());
    EXPECT_EQ(prompts.errors.size(), 1);
    const qint32 identifier = sheet->editBill()->identifier();
    sheet->saveButton()->click();
    settle();
    EXPECT_TRUE(sheet->saved());
    int listed = 0;
    for (const TWBillPtr &bill : business->bills())
        listed += bill->identifier() == identifier;
    EXPECT_EQ(listed, 1);
    EXPECT_EQ(business->transactionsWithBill(*business->billWithIdentifier(identifier)).size(), 1);
}

// The bill sheet's save is all or nothing: a bill dated in a closed year is
// refused with nothing of it stored (no bill without its charge, no
// schedule), Cancel leaves the merchant as it was, and the same sheet then
// saves the bill once on an open date.
TEST_F(MerchantsView, ABillRefusedForAClosedYearLeavesNothingStored)
{
    TWFixedClock clock(2026, 3, 20, 12, 0, 0);
    business->businessInfo()->setAccountingPeriods({TWAccountingPeriod::accountingPeriodWithName(
        QStringLiteral("2025"), twLocal(2025, 1, 1), twLocal(2025, 12, 31), true, 300)});
    const TWBillPtr rent = addBill(QStringLiteral("Rent"));
    addEntry(rent, -700, expense);
    open({merchant});
    const auto counts = [this] {
        return std::tuple(business->bills().size(), business->transactions().size(),
                          business->repeats().size(), business->relationships().size());
    };
    const auto before = counts();
    // New and cancelled; an edit moving the bill; new and saved on an open date.
    for (const auto &[isNew, retry] :
         {std::pair(true, false), std::pair(false, false), std::pair(true, true)}) {
        SCOPED_TRACE(isNew + 2 * retry);
        prompts.errors.clear();
        isNew ? view->newBill() : view->editBill(rent);
        TWBillController *sheet = view->billSheet();
        sheet->nameField()->setText(QStringLiteral("Heating"));
        sheet->datePicker()->setDateTime(twLocal(2025, 12, 20));
        sheet->repeatController()->doRepeats(true);
        sheet->saveButton()->click();
        settle();
        EXPECT_FALSE(sheet->saved());
        ASSERT_EQ(prompts.errors.size(), 1);
        // Named by its field, as the transaction editor names it.
        EXPECT_EQ(prompts.errors.first().localizedDescription(),
                  TWLocalized("refusedFieldMessage")
                      .arg(TWLocalized("date"), TWLocalized("editClosedTransaction")));
        EXPECT_EQ(counts(), before);
        EXPECT_EQ(business->billWithIdentifier(rent->identifier())->name(), QStringLiteral("Rent"));
        if (!retry) {
            sheet->cancelButton()->click();
            settle();
            EXPECT_EQ(view->bills().size(), 1);
            continue;
        }
        sheet->datePicker()->setDateTime(twLocal(2026, 3, 5));
        sheet->repeatController()->doRepeats(false);
        sheet->saveButton()->click();
        settle();
        ASSERT_TRUE(sheet->saved());
        EXPECT_EQ(business->bills().size(), std::get<0>(before) + 1);
        EXPECT_EQ(business->transactionsWithBill(*sheet->editBill()).size(), 1);
    }
}

// A bill's payment stays a payment when the bill's charge was deleted in the
// register: saving the bill again, on another day, books a new charge on
// that day and leaves the payment and the bank as they were.
TEST_F(MerchantsView, APaymentStaysAPaymentWhenTheChargeIsGone)
{
    TWFixedClock clock(2026, 3, 20, 12, 0, 0);
    const TWBillPtr rent = addBill(QStringLiteral("Rent"));
    const TWTransactionPtr charge = addEntry(rent, -50000, expense);
    const TWTransactionPtr payment = addEntry(rent, 30000, bank);
    ASSERT_OK(business->deleteTransaction(charge, false, true, true));
    const qint64 banked = business->transactionTotalWithAccount(*bank);
    open({merchant});
    view->editBill(rent);
    TWBillController *sheet = view->billSheet();
    sheet->datePicker()->setDateTime(twLocal(2026, 3, 6));
    sheet->saveButton()->click();
    settle();
    ASSERT_TRUE(sheet->saved());
    EXPECT_EQ(std::tuple(payment->date().date(), payment->account2Identifier(), payment->total()),
              std::tuple(QDate(2026, 3, 2), bank->identifier(), qint64(30000)));
    EXPECT_EQ(business->transactionTotalWithAccount(*bank), banked);
    const TWTransactionPtr made = business->billCharge(*rent);
    ASSERT_TRUE(made);
    EXPECT_NE(made->identifier(), payment->identifier());
    EXPECT_EQ(made->date().toLocalTime().date(), QDate(2026, 3, 6));
    EXPECT_EQ(business->transactionsWithBill(*rent).size(), 2);
}

TEST_F(MerchantsView, BothListsKeepTheirHeaderAndThreeRowsAtA1024By700Window)
{
    // A 1024 x 700 window's detail area, the divider remembered from a
    // taller window.
    business->setMerchantDividerPosition(500.0);
    // Restored as a reopened business does, before the view is laid out.
    view = std::make_unique<TWMerchantController>(nullptr, TWMerchantController::ModeMerchants);
    view->setBusinessController(document.get());
    view->setBusiness(business);
    view->setMerchants({merchant});
    view->restoreFrame();
    view->view()->resize(760, 610);
    view->view()->show();
    QCoreApplication::processEvents();
    for (const QTableView *table :
         {static_cast<const QTableView *>(view->table()->table()),
          static_cast<const QTableView *>(view->paymentsRegister()->tableView())}) {
        EXPECT_TRUE(twHeaderWhole(table)) << table->objectName().toStdString();
        EXPECT_GE(twWholeRowsInView(table), 3) << table->objectName().toStdString();
    }
    EXPECT_EQ(business->merchantDividerPosition(), 500.0);
}

// A new bill's charge books payable against the expense the merchant's
// bills name (the first expense account for a merchant without any), never
// the bank; its typed amount raises the payable and the expense, and saving
// the bill again unchanged adds nothing.
TEST_F(MerchantsView, ANewBillChargesTheMerchantsExpenseAndASecondSaveAddsNothing)
{
    TWFixedClock clock(2026, 11, 20, 12, 0, 0);
    const TWAccountPtr phone = accountOfType(TWAccountTypeExpense, QStringLiteral("Supplies"));
    const TWAccountPtr payable = accountOfType(TWAccountTypeAccountsPayable, QStringLiteral("AP"));
    const TWMerchantPtr mobile = addMerchant(QStringLiteral("Pacific Mobile"));
    // The merchant's earlier bill books another expense account.
    const TWAccountPtr other = TWAccount::accountWithIdentifier(
        business->nextAccountIdentifier(), QStringLiteral("Phone"), 0, 0, TWAccountTypeExpense,
        QString(), QImage(), business->homeUnit(), QString());
    ASSERT_OK(business->addAccount(other, false));
    addEntry(addBill(QStringLiteral("Phone Oct"), {}, mobile), -7000, other);
    const struct {
        TWMerchantPtr merchant;
        TWAccountPtr expected;
    } rows[] = {{mobile, other}, {merchant, phone}};
    for (const auto &row : rows) {
        SCOPED_TRACE(row.merchant->name().toStdString());
        open({row.merchant});
        view->newBill();
        TWBillController *sheet = view->billSheet();
        sheet->nameField()->setText(QStringLiteral("Nov"));
        sheet->saveButton()->click();
        settle();
        ASSERT_TRUE(sheet->saved());
        const TWBillPtr stored = business->billWithIdentifier(sheet->editBill()->identifier());
        const TWTransactionPtr charge = business->billCharge(*stored);
        ASSERT_TRUE(charge);
        EXPECT_EQ(std::pair(charge->account1Identifier(), charge->account2Identifier()),
                  std::pair(payable->identifier(), row.expected->identifier()));
        const qint64 expense = business->transactionTotalWithAccount(*row.expected);
        const qint64 banked = business->transactionTotalWithAccount(*bank);

        // 74.00 typed into the charge, then the bill saved twice unchanged.
        charge->setTotal(-7400);
        twUpdateTotals(*charge, TWTotalTypeTotal, TWTotalTypeAll, *business);
        ASSERT_OK(business->updateTransaction(charge, true, true, true, true));
        for (int i = 0; i < 2; ++i) {
            view->editBill(stored);
            view->billSheet()->saveButton()->click();
            settle();
            ASSERT_TRUE(view->billSheet()->saved());
        }
        EXPECT_EQ(business->transactionsWithBill(*stored).size(), 1);
        EXPECT_EQ(business->transactionTotalWithAccount(*row.expected), expense + 7400);
        EXPECT_EQ(business->transactionTotalWithAccount(*bank), banked);
        twUpdateTransactions(*stored, *business);
        EXPECT_EQ(twOwe(*stored, *business), 7400);
    }
}

// A bill's payment through any account (the owner, undeposited funds, a
// loan) stays a payment when its charge was deleted: a save books a new
// charge and leaves the payment on its day.
TEST_F(MerchantsView, APaymentThroughAnyAccountStaysABillPayment)
{
    TWFixedClock clock(2026, 3, 20, 12, 0, 0);
    for (const TWAccountType type :
         {TWAccountTypeEquity, TWAccountTypeCurrentAsset, TWAccountTypeLoan}) {
        SCOPED_TRACE(int(type));
        const TWAccountPtr through = accountOfType(type, QStringLiteral("Through"));
        const TWBillPtr rent = addBill(QStringLiteral("Rent"));
        const TWTransactionPtr charge = addEntry(rent, -50000, expense);
        const TWTransactionPtr payment = addEntry(rent, 30000, through);
        ASSERT_OK(business->deleteTransaction(charge, false, true, true));
        open({merchant});
        view->editBill(rent);
        view->billSheet()->saveButton()->click();
        settle();
        ASSERT_TRUE(view->billSheet()->saved());
        EXPECT_EQ(
            std::tuple(payment->date().date(), payment->account2Identifier(), payment->total()),
            std::tuple(QDate(2026, 3, 2), through->identifier(), qint64(30000)));
        const TWTransactionPtr made = business->billCharge(*rent);
        ASSERT_TRUE(made);
        EXPECT_NE(made->identifier(), payment->identifier());
        EXPECT_EQ(business->transactionsWithBill(*rent).size(), 2);
    }
}

// A payment saved in the transaction editor for a bill: once the payments
// reach the bill's total the bill is marked paid, and money paid beyond it is
// told, naming the bill and the amount over.
TEST_F(MerchantsView, APaymentThatSettlesABillMarksItPaidAndOneBeyondItIsTold)
{
    TWAppRegistry::registry().setEditorFactory(TWEditorKind::Transaction, [](QObject *parent) {
        return new TWTransactionController(parent);
    });
    struct Case {
        const char *typed;
        bool paid;
        QString over;
    };
    for (const Case &c : {Case{"60.00", false, {}}, Case{"100.00", true, {}},
                          Case{"130.00", true, QStringLiteral("$30.00")}}) {
        SCOPED_TRACE(c.typed);
        const TWBillPtr bill = addBill(QStringLiteral("Toner"));
        addEntry(bill, -10000, expense);
        open({merchant});
        select({bill});
        view->newTransaction(false);
        auto *editor = qobject_cast<TWTransactionController *>(document->transactionController());
        ASSERT_TRUE(editor);
        QLineEdit *debit = editor->totalController()->field(TWTotalFieldDebit);
        ASSERT_TRUE(debit);
        debit->selectAll();
        QTest::keyClicks(debit, QString::fromLatin1(c.typed));
        emit debit->editingFinished();
        alerts.clear();
        ASSERT_EQ(editor->doSave(1), TWSaveOutcome::Closed);
        settle();
        EXPECT_EQ(business->billWithIdentifier(bill->identifier())->paid(), c.paid);
        // The list, refreshed as the document does on a stored transaction.
        view->transactionsUpdated();
        const TWBillList listed = view->billsForRowIndexes({rowOf(bill)});
        ASSERT_EQ(listed.size(), 1);
        EXPECT_EQ(listed.first()->paid(), c.paid);
        if (c.over.isEmpty())
            EXPECT_TRUE(alerts.isEmpty()) << alerts.join(QLatin1Char('\n')).toStdString();
        else
            EXPECT_EQ(alerts,
                      QStringList{
                          TWLocalized("billOverpaidMessage").arg(QStringLiteral("Toner"), c.over)});
        view.reset();
    }
}

namespace
{

// What a transaction books, account by account: "account:amount" for each
// side or line, in order.
QString bookingOf(const TWTransaction &t)
{
    QStringList parts;
    if (t.hasSplit()) {
        for (const TWSplitPtr &split : t.splits())
            parts.append(
                QStringLiteral("%1:%2").arg(split->accountIdentifier()).arg(split->total()));
    } else {
        parts.append(QStringLiteral("%1:%2").arg(t.account1Identifier()).arg(t.total()));
        parts.append(QStringLiteral("%1:%2").arg(t.account2Identifier()).arg(-t.total()));
    }
    return parts.join(u' ');
}

// Books `t` as the user would in the register: payable (account 1, a credit
// of `total`) against `other`, or, with `lines`, a split of payable -total
// and the lines given.
void bookCharge(TWBusiness &b, const TWTransactionPtr &t, const TWAccountPtr &payable,
                const TWAccountPtr &other, qint64 total,
                const QList<std::pair<TWAccountPtr, qint64>> &lines)
{
    if (lines.isEmpty()) {
        t->setHasSplit(false);
        t->setSplits({});
        t->setAccount1Identifier(payable->identifier());
        t->setAccount2Identifier(other->identifier());
        t->setTotal(-total);
    } else {
        TWSplitList splits{TWSplit::splitWithIdentifier(0, QString(), payable->identifier(), -total,
                                                        0, 0, 0, 0, b.homeUnit())};
        for (const auto &[account, amount] : lines)
            splits.append(TWSplit::splitWithIdentifier(0, QString(), account->identifier(), amount,
                                                       0, 0, 0, 0, b.homeUnit()));
        t->setHasSplit(true);
        t->setSplits(splits);
        twUpdateSplitTotals(*t, b);
    }
    twUpdateTotals(*t, TWTotalTypeTotal, TWTotalTypeAll, b);
    EXPECT_OK(b.updateTransaction(t, true, true, true, true));
}

} // namespace

// A bill's charge is the transaction its sheet made, whatever the user books
// it to in the register (an expense, a year's insurance paid ahead, a loan
// instalment with its interest, a payroll liability, the owner): saving the
// bill unchanged stores nothing, a new date moves the charge, and each
// occurrence of its schedule is charged alike, once.
TEST_F(MerchantsView, ABillsChargeIsTheOneItsSheetMadeWhateverItBooks)
{
    TWFixedClock clock(2026, 3, 20, 12, 0, 0);
    const TWAccountPtr payable = accountOfType(TWAccountTypeAccountsPayable, QStringLiteral("AP"));
    const TWAccountPtr prepaid =
        accountOfType(TWAccountTypeCurrentAsset, QStringLiteral("Prepaid insurance"));
    const TWAccountPtr loan = accountOfType(TWAccountTypeLoan, QStringLiteral("Van loan"));
    const TWAccountPtr payroll =
        accountOfType(TWAccountTypeCurrentLiability, QStringLiteral("Payroll taxes due"));
    const TWAccountPtr owner = accountOfType(TWAccountTypeEquity, QStringLiteral("Owner"));
    const TWAccountPtr interest = TWAccount::accountWithIdentifier(
        business->nextAccountIdentifier(), QStringLiteral("Interest"), 0, 0, TWAccountTypeExpense,
        QString(), QImage(), business->homeUnit(), QString());
    ASSERT_OK(business->addAccount(interest, false));
    const struct {
        const char *name;
        TWAccountPtr other;
        QList<std::pair<TWAccountPtr, qint64>> lines;
    } rows[] = {
        {"expense", expense, {}},
        {"prepaid insurance", prepaid, {}},
        {"loan with interest", nullptr, {{loan, 45000}, {interest, 5000}}},
        {"payroll liability", payroll, {}},
        {"owner", owner, {}},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        open({merchant});
        view->newBill();
        TWBillController *sheet = view->billSheet();
        sheet->nameField()->setText(QString::fromLatin1(row.name));
        sheet->datePicker()->setDateTime(twLocal(2026, 3, 5));
        sheet->saveButton()->click();
        settle();
        ASSERT_TRUE(sheet->saved());
        const TWBillPtr stored = business->billWithIdentifier(sheet->editBill()->identifier());
        ASSERT_TRUE(stored);
        const TWTransactionPtr charge = business->billCharge(*stored);
        ASSERT_TRUE(charge);
        bookCharge(*business, charge, payable, row.other, 50000, row.lines);
        const QString booked = bookingOf(*charge);
        const qsizetype count = business->transactions().size();

        // Saved unchanged: nothing more.
        view->editBill(stored);
        view->billSheet()->saveButton()->click();
        settle();
        ASSERT_TRUE(view->billSheet()->saved());
        EXPECT_EQ(business->transactions().size(), count);
        EXPECT_EQ(business->transactionsWithBill(*stored).size(), 1);
        EXPECT_EQ(bookingOf(*charge), booked);

        // Dated two months back, monthly: the charge moves with the bill and
        // each occurrence up to today is charged the same, once.
        view->editBill(stored);
        sheet = view->billSheet();
        sheet->datePicker()->setDateTime(twLocal(2026, 1, 5));
        sheet->repeatController()->doRepeats(true);
        sheet->repeatController()->doInterval(1);
        sheet->repeatController()->doIntervalUnit(TWRepeatIntervalUnitMonth);
        sheet->saveButton()->click();
        settle();
        ASSERT_TRUE(sheet->saved());
        EXPECT_EQ(charge->date().toLocalTime().date(), QDate(2026, 1, 5));
        const TWBillPtr moved = business->billWithIdentifier(stored->identifier());
        ASSERT_NE(moved->repeatIdentifier(), 0);
        QList<QDate> days;
        for (const TWBillPtr &bill : business->bills()) {
            if (bill->repeatIdentifier() != moved->repeatIdentifier() ||
                bill->identifier() == moved->identifier())
                continue;
            days.append(bill->date().date());
            const TWTransactionList linked = business->transactionsWithBill(*bill);
            ASSERT_EQ(linked.size(), 1);
            const TWTransactionPtr copied = business->billCharge(*bill);
            ASSERT_TRUE(copied);
            EXPECT_EQ(bookingOf(*copied), booked);
            EXPECT_EQ(copied->date().date(), bill->date().date());
            twUpdateTransactions(*bill, *business);
            EXPECT_EQ(twOwe(*bill, *business), 50000);
        }
        std::sort(days.begin(), days.end());
        EXPECT_EQ(days, (QList<QDate>{QDate(2026, 2, 5), QDate(2026, 3, 5)}));
    }
}

// A new bill's charge books against the expense line of the merchant's
// latest charge (never its tax line, never money), else the first expense.
TEST_F(MerchantsView, ANewBillsChargeTakesTheExpenseLineOfTheMerchantsLastCharge)
{
    TWFixedClock clock(2026, 3, 20, 12, 0, 0);
    const TWAccountPtr payable = accountOfType(TWAccountTypeAccountsPayable, QStringLiteral("AP"));
    const TWAccountPtr tax = accountOfType(TWAccountTypeTax, QStringLiteral("Tax"));
    const TWAccountPtr card = accountOfType(TWAccountTypeCreditCard, QStringLiteral("Card"));
    const TWAccountPtr phone = TWAccount::accountWithIdentifier(
        business->nextAccountIdentifier(), QStringLiteral("Phone"), 0, 0, TWAccountTypeExpense,
        QString(), QImage(), business->homeUnit(), QString());
    ASSERT_OK(business->addAccount(phone, false));
    TWAccountPtr firstExpense;
    for (const TWAccountPtr &account : business->accounts())
        if (!firstExpense && account->accountType() == TWAccountTypeExpense)
            firstExpense = account;
    const struct {
        const char *name;
        TWAccountPtr other; // the earlier charge's other side; none for no earlier bill
        QList<std::pair<TWAccountPtr, qint64>> lines;
        TWAccountPtr expected;
    } rows[] = {
        {"expense", phone, {}, phone},
        {"tax line first", nullptr, {{tax, 1000}, {phone, 10000}}, phone},
        {"charged to the bank", bank, {}, firstExpense},
        {"charged to a card", card, {}, firstExpense},
        {"no earlier bill", nullptr, {}, firstExpense},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        const TWMerchantPtr seller = addMerchant(QString::fromLatin1(row.name));
        if (row.other || !row.lines.isEmpty()) {
            const TWTransactionPtr earlier =
                addEntry(addBill(QStringLiteral("Feb"), {}, seller), -11000, phone, payable);
            bookCharge(*business, earlier, payable, row.other, 11000, row.lines);
        }
        open({seller});
        view->newBill();
        TWBillController *sheet = view->billSheet();
        sheet->nameField()->setText(QStringLiteral("Mar"));
        sheet->saveButton()->click();
        settle();
        ASSERT_TRUE(sheet->saved());
        const TWTransactionPtr charge =
            business->billCharge(*business->billWithIdentifier(sheet->editBill()->identifier()));
        ASSERT_TRUE(charge);
        EXPECT_EQ(std::pair(charge->account1Identifier(), charge->account2Identifier()),
                  std::pair(payable->identifier(), row.expected->identifier()));
    }
}

// A bill's occurrences never move money: a charge an earlier build booked
// against the bank (a cash or a card account) is copied against the
// merchant's expense, so that the bank, cash or card balance stays as the
// user left it and each occurrence owes its amount. A payment made before
// the charge is never copied as the charge.
TEST_F(MerchantsView, ABillsOccurrencesNeverMoveMoney)
{
    TWFixedClock clock(2026, 3, 20, 12, 0, 0);
    const TWAccountPtr payable = accountOfType(TWAccountTypeAccountsPayable, QStringLiteral("AP"));
    const TWAccountPtr cash = accountOfType(TWAccountTypeCash, QStringLiteral("Till"));
    const TWAccountPtr card = accountOfType(TWAccountTypeCreditCard, QStringLiteral("Card"));
    const struct {
        const char *name;
        TWAccountPtr charged; // what the earlier build's charge booked against payable
        TWAccountPtr copiedTo;
        bool paidFirst = false; // its payment from the bank made before the charge
    } rows[] = {
        {"expense", expense, expense},
        {"bank", bank, expense},
        {"cash", cash, expense},
        {"card", card, expense},
        {"expense, after its payment", expense, expense, true},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        const TWMerchantPtr seller = addMerchant(QString::fromLatin1(row.name));
        const TWBillPtr bill = addBill(QStringLiteral("Hosting"), {}, seller);
        bill->setDate(twLocal(2026, 1, 2));
        ASSERT_OK(business->updateBill(bill, false));
        // Stored as an earlier build stored it: its link says nothing.
        if (row.paidFirst)
            addEntry(bill, 9000, bank, payable);
        addEntry(bill, -9000, row.charged, payable);
        const qint64 held = business->transactionTotalWithAccount(*row.charged);
        open({seller});
        view->editBill(bill);
        TWBillController *sheet = view->billSheet();
        sheet->repeatController()->doRepeats(true);
        sheet->repeatController()->doInterval(1);
        sheet->repeatController()->doIntervalUnit(TWRepeatIntervalUnitMonth);
        sheet->saveButton()->click();
        settle();
        ASSERT_TRUE(sheet->saved());
        const qint32 repeat = business->billWithIdentifier(bill->identifier())->repeatIdentifier();
        ASSERT_NE(repeat, 0);
        int occurrences = 0;
        for (const TWBillPtr &made : business->bills()) {
            if (made->repeatIdentifier() != repeat || made->identifier() == bill->identifier())
                continue;
            ++occurrences;
            const TWTransactionPtr copied = business->billCharge(*made);
            ASSERT_TRUE(copied);
            EXPECT_EQ(std::pair(copied->account1Identifier(), copied->account2Identifier()),
                      std::pair(payable->identifier(), row.copiedTo->identifier()));
            twUpdateTransactions(*made, *business);
            EXPECT_EQ(twOwe(*made, *business), 9000);
        }
        EXPECT_EQ(occurrences, 2);
        if (row.charged != row.copiedTo) {
            EXPECT_EQ(business->transactionTotalWithAccount(*row.charged), held);
        }
    }
}

// With its charge deleted in the register, what else is linked to a bill
// stays what it was, a supplier's credit through an expense account as a
// payment from the bank: the sheet's save makes a new charge on the bill's
// new day and leaves the others where they were.
TEST_F(MerchantsView, ASupplierCreditStaysACreditWhenTheChargeIsGone)
{
    TWFixedClock clock(2026, 3, 20, 12, 0, 0);
    const TWAccountPtr payable = accountOfType(TWAccountTypeAccountsPayable, QStringLiteral("AP"));
    const struct {
        const char *name;
        TWAccountPtr through;
    } rows[] = {{"payment from the bank", bank}, {"credit through an expense", expense}};
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        open({merchant});
        view->newBill();
        TWBillController *sheet = view->billSheet();
        sheet->nameField()->setText(QStringLiteral("Toner"));
        sheet->datePicker()->setDateTime(twLocal(2026, 3, 1));
        sheet->saveButton()->click();
        settle();
        ASSERT_TRUE(sheet->saved());
        const TWBillPtr stored = business->billWithIdentifier(sheet->editBill()->identifier());
        const TWTransactionPtr charge = business->billCharge(*stored);
        ASSERT_TRUE(charge);
        bookCharge(*business, charge, payable, expense, 20000, {});
        // 30.00 back (or paid), linked in the register; then the charge deleted.
        const TWTransactionPtr other = addEntry(stored, 3000, row.through, payable);
        const QString otherBooked = bookingOf(*other);
        ASSERT_OK(business->deleteTransaction(charge, false, true, true));

        view->editBill(stored);
        sheet = view->billSheet();
        sheet->datePicker()->setDateTime(twLocal(2026, 3, 9));
        sheet->saveButton()->click();
        settle();
        ASSERT_TRUE(sheet->saved());
        EXPECT_EQ(other->date().date(), QDate(2026, 3, 2));
        EXPECT_EQ(bookingOf(*other), otherBooked);
        const TWTransactionPtr made = business->billCharge(*stored);
        ASSERT_TRUE(made);
        EXPECT_NE(made->identifier(), other->identifier());
        EXPECT_EQ(made->date().toLocalTime().date(), QDate(2026, 3, 9));
        EXPECT_EQ(business->transactionsWithBill(*stored).size(), 2);
    }
}

// A bill paid before its charge's day (or moved past its payment): the
// duplicate copies the charge alone, never the payment, so the bank pays
// nothing twice.
TEST_F(MerchantsView, ADuplicateOfABillPaidBeforeItsChargeCopiesTheChargeOnly)
{
    const TWBillPtr bill = addBill(QStringLiteral("Storage unit"));
    const TWTransactionPtr charge = addEntry(bill, -22000, expense);
    const TWTransactionPtr payment = addEntry(bill, 22000, bank);
    payment->setDate(twLocal(2026, 2, 20));
    ASSERT_OK(business->updateTransaction(payment, false, false, false, false));
    const qint64 bankBefore =
        business->accountBalances(twLocal(2099, 1, 1)).value(bank->identifier());
    const TWBillPtr copy = duplicateOfOnlyBill(bill);
    ASSERT_TRUE(copy);
    const TWTransactionList copied = business->transactionsWithBill(*copy);
    ASSERT_EQ(copied.size(), 1);
    const TWTransactionPtr made = business->transactionWithIdentifier(copied.first()->identifier());
    ASSERT_TRUE(made);
    EXPECT_EQ(made->account2Identifier(), expense->identifier());
    EXPECT_EQ(made->total(), -22000);
    EXPECT_EQ(business->accountBalances(twLocal(2099, 1, 1)).value(bank->identifier()), bankBefore);
    twUpdateTransactions(*copy, *business);
    EXPECT_EQ(twOwe(*copy, *business), 22000);
}
