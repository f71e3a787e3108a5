#include "TWTestSupport.h"
#include "model/TWBudgetItem.h"

#include <gtest/gtest.h>

#include <limits>
#include <ostream>

// Readable dates in failure messages.
static void PrintTo(const QDateTime &date, std::ostream *os)
{
    *os << date.toString(Qt::ISODate).toStdString();
}

namespace
{

TWUnitPtr unit(const QString &code)
{
    return TWUnit::unitWithName(code, code, code, QString(), 1.0, 2, QDateTime(), false,
                                TWUnitTypeCurrency);
}

TWBudgetItem budget(qint64 total, const QDateTime &start, std::uint32_t cycle,
                    std::uint32_t cycleUnit, bool rollover = false)
{
    return TWBudgetItem(TWItemTypeAccount, 200, total, unit("USD"), start, cycle, cycleUnit,
                        rollover, 100);
}

struct Cycle {
    QDateTime start;
    QDateTime end;
    qint64 total = 0;
};

Cycle currentCycle(const TWBudgetItem &item)
{
    Cycle cycle;
    item.currentCycleStartDate(&cycle.start, &cycle.end, &cycle.total);
    return cycle;
}

// On `today`, the current cycle runs from `start` to `end` and offers `total`.
struct Expected {
    QDate today;
    QDate start;
    QDate end;
    qint64 total;
};

void expectCycles(const TWBudgetItem &item, std::initializer_list<Expected> expectations)
{
    for (const Expected &e : expectations) {
        TWFixedClock clock(e.today.year(), e.today.month(), e.today.day());
        const Cycle c = currentCycle(item);
        SCOPED_TRACE(e.today.toString(Qt::ISODate));
        EXPECT_EQ(c.start, QDateTime(e.start, QTime(0, 0), Qt::LocalTime));
        EXPECT_EQ(c.end, QDateTime(e.end, QTime(0, 0), Qt::LocalTime));
        EXPECT_EQ(c.total, e.total);
    }
}

QDate d(int year, int month, int day)
{
    return QDate(year, month, day);
}

} // namespace

TEST(DateBudgetCycle, MonthlyFromTheThirtyFirstKeepsItsDay)
{
    // February is too short: its cycle starts on its last day, and March's
    // goes back to the 31st instead of drifting to the 28th for ever.
    expectCycles(budget(100, twLocal(2023, 1, 31), 1, TWBudgetCycleUnitMonth, true),
                 {{d(2023, 2, 15), d(2023, 1, 31), d(2023, 2, 27), 100},
                  {d(2023, 2, 28), d(2023, 2, 28), d(2023, 3, 30), 200},
                  {d(2023, 3, 31), d(2023, 3, 31), d(2023, 4, 29), 300},
                  // Before the start: the first cycle, counted once.
                  {d(2022, 6, 1), d(2023, 1, 31), d(2023, 2, 27), 100}});
    expectCycles(budget(500, twLocal(2023, 11, 30), 3, TWBudgetCycleUnitMonth),
                 {{d(2024, 2, 28), d(2023, 11, 30), d(2024, 2, 28), 500},
                  {d(2024, 2, 29), d(2024, 2, 29), d(2024, 5, 29), 500}});
}

TEST(BudgetItem, CompareCycleByRoughLength)
{
    const QDateTime start = twLocal(2024, 1, 1);
    const TWBudgetItem twoWeeks = budget(0, start, 2, TWBudgetCycleUnitWeek);
    EXPECT_EQ(twoWeeks.compareCycle(budget(0, start, 10, TWBudgetCycleUnitDay)), 1);
    EXPECT_EQ(twoWeeks.compareCycle(budget(0, start, 1, TWBudgetCycleUnitMonth)), -1);
    // 200 million months are 6 billion days: not wrapped round to a short cycle.
    EXPECT_EQ(budget(0, start, 200000000, TWBudgetCycleUnitMonth)
                  .compareCycle(budget(0, start, 1, TWBudgetCycleUnitDay)),
              1);
}

namespace
{

enum : qint32 { Bank = 100, Card = 101, Food = 110, Fuel = 111, Sales = 120, Fees = 121 };

bool debitPositive(const TWAccount &account)
{
    return account.accountType() < 9 || account.accountType() == TWAccountTypeExpense;
}

TWAccountPtr account(qint32 identifier, TWAccountType type, const QString &unitCode = "USD")
{
    return TWAccount::accountWithIdentifier(identifier, QString(), 0, 0, type, QString(), QImage(),
                                            unit(unitCode), QString());
}

// Moves `amount` into account 1 from account 2; `accountAmount` is what the
// accounts' own units make of it when they differ from the home unit.
TWTransactionPtr transfer(const QDateTime &date, qint32 account1, qint32 account2, qint64 amount,
                          qint64 accountAmount = 0)
{
    auto transaction = std::make_shared<TWTransaction>();
    transaction->setDate(date);
    transaction->setAccount1Identifier(account1);
    transaction->setAccount2Identifier(account2);
    transaction->setTotal(amount);
    transaction->setTotalBusiness(amount);
    transaction->setTotalAccount1(accountAmount ? accountAmount : amount);
    transaction->setTotalAccount2(accountAmount ? accountAmount : amount);
    return transaction;
}

TWSplitPtr line(qint32 account, qint64 amount)
{
    return TWSplit::splitWithIdentifier(0, QString(), account, amount, amount, amount, 0, 0,
                                        unit("USD"));
}

TWTransactionPtr splitTransaction(const QDateTime &date, const TWSplitList &lines)
{
    auto transaction = std::make_shared<TWTransaction>();
    transaction->setDate(date);
    transaction->setHasSplit(true);
    transaction->setSplits(lines);
    return transaction;
}

class DateBudgetTotal : public ::testing::Test
{
protected:
    // Monthly from 1 January; today is in the third cycle, March.
    TWBudgetItem monthly(qint32 itemType, qint32 identifier, qint64 total, bool rollover = false,
                         const TWUnitPtr &budgetUnit = {})
    {
        return TWBudgetItem(itemType, identifier, total, budgetUnit ? budgetUnit : home,
                            twLocal(2024, 1, 1), 1, TWBudgetCycleUnitMonth, rollover, 100);
    }
    TWBudgetTotalPtr totalOf(const TWBudgetItem &item, const TWAccountList &counted)
    {
        return item.budgetTotalWithTransactions(transactions, counted, home, convert,
                                                debitPositive);
    }

    TWFixedClock clock{2024, 3, 10};
    TWUnitPtr home = unit("USD");
    // Ten minor units of the target for every one of the source.
    TWUnitConverter convert = [](qint64 total, const TWUnit &, const TWUnit &) {
        return total * 10;
    };
    TWAccountPtr bank = account(Bank, TWAccountTypeBank);
    TWAccountPtr card = account(Card, TWAccountTypeCreditCard);
    TWAccountPtr food = account(Food, TWAccountTypeExpense);
    TWAccountPtr fuel = account(Fuel, TWAccountTypeExpense);
    TWAccountPtr sales = account(Sales, TWAccountTypeIncome);
    TWAccountPtr fees = account(Fees, TWAccountTypeIncome);
    TWTransactionList transactions;
};

} // namespace

TEST_F(DateBudgetTotal, CountsTheCycleByCalendarDay)
{
    const TWBudgetItem item = monthly(TWItemTypeAccount, Food, 10000);
    transactions = {
        transfer(twLocal(2024, 2, 29, 23, 59), Food, Bank, 999), // the day before the cycle
        transfer(twLocal(2024, 3, 1), Food, Bank, 2000),
        transfer(twLocal(2024, 3, 31, 23, 30), Food, Card, 500), // the cycle's last day
        transfer(twLocal(2024, 4, 1), Food, Bank, 777),          // after the cycle
        transfer(twLocal(2024, 3, 5), Bank, Food, 300),          // a refund
        transfer(twLocal(2024, 3, 5), Fuel, Bank, 4000),         // another account
        splitTransaction(twLocal(2024, 3, 6), {line(Food, 700), line(Fuel, 100), line(Bank, -800)}),
        transfer(QDateTime(), Food, Bank, 55555), // no date, no cycle
    };
    // The account's own entry is picked from whatever list it is handed.
    const TWBudgetTotalPtr total = totalOf(item, {fuel, food});
    EXPECT_EQ(total->total(), 2000 + 500 - 300 + 700);
    EXPECT_EQ(total->remainingTotal(), 10000 - 2900);
    EXPECT_FLOAT_EQ(total->progress(), 0.29f);
}

TEST_F(DateBudgetTotal, RolloverCarriesWhatEarlierCyclesLeft)
{
    const TWBudgetItem item = monthly(TWItemTypeAccount, Food, 10000, true);
    transactions = {
        transfer(twLocal(2023, 12, 31), Food, Bank, 5000), // before the budget began
        transfer(twLocal(2024, 1, 20), Food, Bank, 3000),
        transfer(twLocal(2024, 2, 10), Food, Bank, 2000),
        splitTransaction(twLocal(2024, 2, 29), {line(Food, 3000), line(Bank, -3000)}),
        transfer(twLocal(2024, 3, 2), Food, Bank, 1000),
    };
    // Three cycles of 100.00 less the 80.00 of January and February.
    const TWBudgetTotalPtr total = totalOf(item, {food});
    EXPECT_EQ(total->total(), 1000);
    EXPECT_EQ(total->remainingTotal(), 30000 - 8000 - 1000);
    EXPECT_FLOAT_EQ(total->progress(), 1000.0f / 22000.0f);

    // Overspending carries over as well.
    transactions.append(transfer(twLocal(2024, 1, 2), Food, Bank, 14000));
    const TWBudgetTotalPtr overspent = totalOf(item, {food});
    EXPECT_EQ(overspent->remainingTotal(), 30000 - 22000 - 1000);
}

// Earlier cycles that spent more than the budget up to now leave nothing (or
// less than nothing) for this one: whatever it spends is over the budget, a
// full bar, never an empty one.
TEST_F(DateBudgetTotal, SpendingWhenRolloverLeftNothingIsOverTheBudget)
{
    const TWBudgetItem item = monthly(TWItemTypeAccount, Food, 10000, true);
    transactions = {
        transfer(twLocal(2024, 1, 20), Food, Bank, 25000),
        transfer(twLocal(2024, 2, 10), Food, Bank, 9000),
        transfer(twLocal(2024, 3, 2), Food, Bank, 1000),
    };
    // Three cycles of 100.00 less 340.00 spent before March: -40.00 available.
    const TWBudgetTotalPtr negative = totalOf(item, {food});
    EXPECT_EQ(negative->remainingTotal(), 30000 - 34000 - 1000);
    EXPECT_GT(negative->progress(), 1.0f);

    // Used up exactly: 0.00 available.
    transactions[1] = transfer(twLocal(2024, 2, 10), Food, Bank, 5000);
    const TWBudgetTotalPtr usedUp = totalOf(item, {food});
    EXPECT_EQ(usedUp->remainingTotal(), -1000);
    EXPECT_GT(usedUp->progress(), 1.0f);

    // Nothing spent (or a refund) in a cycle with nothing available: empty.
    transactions[2] = transfer(twLocal(2024, 3, 2), Bank, Food, 1000);
    EXPECT_EQ(totalOf(item, {food})->progress(), 0.0f);
    transactions.removeLast();
    EXPECT_EQ(totalOf(item, {food})->progress(), 0.0f);

    // Income the other way round: more earned before March than three
    // cycles' budget, and more earned now, is over the budget as well.
    const TWBudgetItem income = monthly(TWItemTypeAccount, Sales, 10000, true);
    transactions = {
        transfer(twLocal(2024, 1, 20), Bank, Sales, 35000),
        transfer(twLocal(2024, 3, 2), Bank, Sales, 1000),
    };
    const TWBudgetTotalPtr earned = totalOf(income, {sales});
    EXPECT_GT(earned->progress(), 1.0f);
    // Within the budget the share stays as it was.
    transactions[0] = transfer(twLocal(2024, 1, 20), Bank, Sales, 10000);
    EXPECT_FLOAT_EQ(totalOf(income, {sales})->progress(), -1000.0f / -20000.0f);
}

// A group's line adds what its accounts receive, debit side positive, and the
// group's budget keeps its own sign: money received into an income account of
// the group offsets what its expense accounts spent.
TEST_F(DateBudgetTotal, AGroupSumsItsAccountsDebitPositive)
{
    const TWBudgetItem item = monthly(TWItemTypeAccountGroup, 7, 50000);
    transactions = {
        transfer(twLocal(2024, 3, 3), Food, Bank, 30000),  // 300.00 spent
        transfer(twLocal(2024, 3, 4), Bank, Sales, 10000), // 100.00 received
        transfer(twLocal(2024, 3, 5), Bank, Fees, 2500),   // not in the group
    };
    const TWBudgetTotalPtr total = totalOf(item, {food, sales});
    EXPECT_EQ(total->total(), 20000);
    EXPECT_EQ(total->remainingTotal(), 50000 - 20000);
    EXPECT_FLOAT_EQ(total->progress(), 0.4f);

    // Only income: a negative sum against a positive budget, never negated.
    const TWBudgetTotalPtr received = totalOf(item, {sales});
    EXPECT_EQ(received->total(), -10000);
    EXPECT_EQ(received->remainingTotal(), 60000);
}
