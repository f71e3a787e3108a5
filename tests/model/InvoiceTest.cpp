// Invoices and bills: line totals with tax by rate groups, charges, payments,
// owing, percent paid, overdue, repeat copies and the check before editing.

#include "model/TWAccount.h"
#include "model/TWBill.h"
#include "model/TWInvoice.h"
#include "model/TWRepeat.h"

#include "TWTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>

namespace
{

// An unsplit transaction between accounts of the given types.
TWPaymentEntry entry(qint32 identifier, int account1Type, int account2Type, qint64 total,
                     qint64 totalBusiness = 0, const TWUnitPtr &in = nullptr)
{
    TWPaymentEntry e;
    e.identifier = identifier;
    e.account1Type = account1Type;
    e.account2Type = account2Type;
    e.total = total;
    e.totalBusiness = totalBusiness == 0 ? total : totalBusiness;
    e.unit = in;
    return e;
}

const int AR = TWAccountTypeAccountsReceivable;
const int AP = TWAccountTypeAccountsPayable;
const int Bank = TWAccountTypeBank;
const int Income = TWAccountTypeIncome;
const int Expense = TWAccountTypeExpense;

TWUnitPtr currency(const char *code, double rate, std::uint8_t places)
{
    return TWUnit::unitWithName(QString::fromLatin1(code), QString(), QString::fromLatin1(code),
                                QString(), rate, places, QDateTime(), false, TWUnitTypeCurrency);
}

// Rates per dollar, as the units database keeps them, halves away from zero.
const TWUnitConverter convert = [](qint64 total, const TWUnit &from, const TWUnit &to) {
    const double major = double(total) / std::pow(10.0, from.decimalPlaces()) / from.rate();
    return qint64(std::llround(major * to.rate() * std::pow(10.0, to.decimalPlaces())));
};

TWInvoicePtr invoice(const QDateTime &due = QDateTime())
{
    return TWInvoice::invoiceWithDate(twLocal(2024, 3, 1), QStringLiteral("2024-007"),
                                      QStringLiteral("March"), true, false, due, 40,
                                      QStringLiteral("Thanks"), 10, 200);
}

TWBillPtr bill(const QDateTime &due = QDateTime())
{
    return TWBill::billWithDate(twLocal(2024, 3, 1), QStringLiteral("Rent"), true, false, due, 41,
                                QStringLiteral("Monthly"), 30, 300);
}

TWTaskPtr hourTask(qint64 rate, double billed, double taxRate)
{
    TWTaskPtr task = TWTask::taskWithDate(twLocal(2024, 3, 1), false, QString(), TWTaskTypeHour,
                                          0.0, billed, rate, taxRate, QString(), 10, 1);
    task->setInvoiceQuantity(billed);
    return task;
}

TWExpensePtr billedExpense(qint64 cost, double billed, double taxRate)
{
    TWExpensePtr expense = TWExpense::expenseWithDate(twLocal(2024, 3, 1), QString(), billed, cost,
                                                      taxRate, QString(), 10, 1);
    expense->setInvoiceQuantity(billed);
    return expense;
}

} // namespace

TEST(Invoice, TaxIsTakenPerRateGroupAndCutTowardZero)
{
    const TWTaskList tasks{hourTask(1000, 1.0, 7.5)};
    TWExpenseList expenses{billedExpense(999, 1.0, 7.5)};
    // 1999 x 7.5 % = 149.925 -> 149, while the lines' own taxes are 75 + 75.
    EXPECT_EQ(TWInvoice::invoiceTaxTotal(tasks, expenses), 149);
    EXPECT_EQ(tasks.first()->invoiceTax() + expenses.first()->invoiceTax(), 150);
    EXPECT_EQ(TWInvoice::invoiceSubtotalTotal(tasks, expenses), 1999);
    EXPECT_EQ(TWInvoice::invoiceTotal(tasks, expenses), 2148);

    // A line without tax counts in the subtotal and adds no group.
    expenses.append(billedExpense(500, 1.0, 0.0));
    EXPECT_EQ(TWInvoice::invoiceSubtotalTotal(tasks, expenses), 2499);
    EXPECT_EQ(TWInvoice::invoiceTaxTotal(tasks, expenses), 149);

    // The tasks' and expenses' parts start the running total at their
    // subtotals: 1000 + 75; 1499 + 74.925 -> 1573.
    EXPECT_EQ(TWInvoice::invoiceTasksTotal(tasks), 1075);
    EXPECT_EQ(TWInvoice::invoiceExpensesTotal(expenses), 1573);

    // Two rates: each group's tax is added and the sum cut at every step
    // (75, then 75 + 99.9 -> 174).
    const TWExpenseList tenPercent{billedExpense(999, 1.0, 10.0)};
    EXPECT_EQ(TWInvoice::invoiceTaxTotal(tasks, tenPercent), 174);
}

TEST(Invoice, BillsCountHomeAmountsOnAccountsPayable)
{
    const TWBillPtr rent = bill();
    // Charged: expense against payable (account 2, above 0). Paid: payable
    // against the bank (account 1, above 0). The totals in the transactions'
    // own unit are not used.
    const TWPaymentEntryList entries{entry(1, Expense, AP, 1, 8000), entry(2, AP, Bank, 1, 3000),
                                     entry(3, AR, Income, 5000)}; // an invoice's, not counted
    EXPECT_EQ(rent->totalWithEntries(entries), 8000);
    EXPECT_EQ(rent->oweWithEntries(entries), 5000);
    EXPECT_FLOAT_EQ(rent->percentPaidWithEntries(entries), 0.375f);
    EXPECT_EQ(rent->oweWithEntries(entries, {entries[1]}), -3000);

    // A split bill: a payable line below 0 is a charge.
    TWPaymentEntry split = entry(4, 0, 0, 0);
    split.hasSplit = true;
    split.splits = {{1, AP, 0, -700, nullptr}, {2, Expense, 0, 700, nullptr}};
    EXPECT_EQ(rent->totalWithEntries({split}), 700);
    EXPECT_FLOAT_EQ(rent->percentPaidWithEntries({split}), 0.0f);
}

TEST(Invoice, RepeatCopies)
{
    const TWInvoicePtr source = invoice(twLocal(2024, 3, 31));
    source->setTasks({hourTask(1000, 1.0, 0.0)});
    const TWInvoicePtr next = source->repeatInvoiceWithDate(twLocal(2024, 4, 1), 201);
    ASSERT_TRUE(next);
    EXPECT_EQ(next->identifier(), 201);
    EXPECT_EQ(next->date(), twLocal(2024, 4, 1));
    EXPECT_EQ(next->repeatIdentifier(), 40);
    EXPECT_FALSE(next->sent());
    EXPECT_FALSE(next->dueDate().isValid());
    EXPECT_TRUE(next->tasks().isEmpty());
    // No identifier to give (the store could not tell one) or no date: no copy.
    EXPECT_FALSE(source->repeatInvoiceWithDate(twLocal(2024, 4, 1), 0));
    EXPECT_FALSE(source->repeatInvoiceWithDate(QDateTime(), 201));

    const TWBillPtr nextBill =
        bill(twLocal(2024, 3, 31))->repeatBillWithDate(twLocal(2024, 4, 1), 301);
    ASSERT_TRUE(nextBill);
    EXPECT_EQ(nextBill->identifier(), 301);
    EXPECT_FALSE(nextBill->received());
    EXPECT_FALSE(nextBill->dueDate().isValid());
    EXPECT_FALSE(bill()->repeatBillWithDate(twLocal(2024, 4, 1), 0));

    // A schedule holds invoices and bills as its items.
    const TWRepeatItem held(source);
    const TWInvoicePtr heldCopy = held.copy().record<TWInvoice>();
    ASSERT_TRUE(heldCopy);
    EXPECT_NE(heldCopy, source);
    EXPECT_EQ(heldCopy->identifier(), 200);
    EXPECT_TRUE(heldCopy->tasks().isEmpty()); // copies carry no lines
}

// Money moving through the bank after an invoice in another unit was paid:
// what was charged and paid is compared in the invoice's unit, so a refund
// of an overpayment gives money back and money paid out beyond what was
// paid is billed on. Each row: the invoice's entry, then each later line
// through the bank (the store's sign: a payment lowers the receivable),
// and the charges and payments read in the invoice's unit.
TEST(InvoiceTest, LinkedMoneyIsComparedInTheInvoicesUnit)
{
    const TWUnitPtr usd = currency("USD", 1.0, 2), jpy = currency("JPY", 150.0, 0),
                    eur = currency("EUR", 0.9, 2);
    struct Row {
        const char *shape;
        TWUnitPtr unit;
        qint64 entry;                // in the invoice's unit
        QList<qint64> bankInDollars; // each later line, in cents
        qint64 charges, payments;
    };
    const QList<Row> rows = {
        // 150,000 yen paid 1,100.00 dollars (165,000 yen), 100.00 refunded.
        {"yen overpaid, refund", jpy, 150000, {-110000, 10000}, 150000, 150000},
        // 1,000.00 euros paid in full in dollars, 50.00 paid out and billed on.
        {"euros paid, paid out after", eur, 100000, {-111111, 5000}, 104500, 100000},
        // Dollars that do not divide into yen: each line rounds to a yen, so
        // a refund of just the overpayment reads a yen above it.
        {"yen overpaid, refund rounded", jpy, 50000, {-36666, 3333}, 50000, 49999},
        // A payment that bounces: the same unit and amount, money given back.
        {"euros, bounced", eur, 100000, {-50000, 50000}, 100000, 0},
        // In the invoice's own unit nothing changes.
        {"dollars overpaid, refund", usd, 100000, {-110000, 10000}, 100000, 100000},
        {"dollars paid, paid out after", usd, 100000, {-100000, 5000}, 105000, 100000},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.shape);
        TWPaymentEntryList entries;
        TWPaymentEntry own =
            entry(1, AR, Income, row.entry, convert(row.entry, *row.unit, *usd), row.unit);
        own.charge = true;
        entries.append(own);
        qint32 identifier = 2;
        for (const qint64 cents : row.bankInDollars)
            entries.append(entry(identifier++, AR, Bank, cents, cents, usd));
        const TWPaymentTotals totals =
            TWPayments::totals(entries, TWPaymentSide::Receivable, row.unit, convert);
        EXPECT_EQ(totals.charges, row.charges);
        EXPECT_EQ(totals.payments, row.payments);
        const QList<qint64> charged =
            TWPayments::charges(entries, TWPaymentSide::Receivable, row.unit, convert);
        qint64 sum = 0;
        for (const qint64 amount : charged)
            sum += amount;
        EXPECT_EQ(sum, row.charges);
    }
}

// The same money after the invoice's unit moved against the dollar: a
// payment, a refund and money paid out are told apart by what each line was
// worth when it was booked, while the totals read at today's rate.
TEST(InvoiceTest, LinkedMoneyIsClassedAsBookedWhateverTodaysRate)
{
    const TWUnitPtr usd = currency("USD", 1.0, 2);
    struct Row {
        const char *shape;
        TWUnitPtr unit;               // at today's rate
        qint64 entry, entryInDollars; // as booked
        QList<qint64> bankInDollars;
        qint64 charges, payments;
    };
    const QList<Row> rows = {
        // 150,000 yen booked at 150 (1,000.00 dollars), paid 1,100.00,
        // 100.00 refunded; at 140 the refund is 14,000 yen, still money
        // given back: nothing is charged further.
        {"yen dearer, refund",
         currency("JPY", 140.0, 0),
         150000,
         100000,
         {-110000, 10000},
         150000,
         140000},
        // 1,000.00 euros booked at 0.90, paid in full in dollars, 50.00
        // paid out: at 0.95 the payment reads 55.56 euros beyond, but what
        // was paid out is billed on as it was that day.
        {"euros cheaper, paid out after",
         currency("EUR", 0.95, 2),
         100000,
         111111,
         {-111111, 5000},
         104750,
         105555},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.shape);
        TWPaymentEntry own = entry(1, AR, Income, row.entry, row.entryInDollars, row.unit);
        own.charge = true;
        TWPaymentEntryList entries{own};
        qint32 identifier = 2;
        for (const qint64 cents : row.bankInDollars)
            entries.append(entry(identifier++, AR, Bank, cents, cents, usd));
        const TWPaymentTotals totals =
            TWPayments::totals(entries, TWPaymentSide::Receivable, row.unit, convert);
        EXPECT_EQ(totals.charges, row.charges);
        EXPECT_EQ(totals.payments, row.payments);
    }
}
