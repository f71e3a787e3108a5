#include "model/TWBudgetItem.h"

#include "foundation/TWClock.h"
#include "foundation/TWDateAdditions.h"

#include <QSet>

#include <algorithm>
#include <limits>

namespace
{

qint64 floorDiv(qint64 a, qint64 b)
{
    qint64 q = a / b;
    if ((a % b != 0) && ((a < 0) != (b < 0)))
        --q;
    return q;
}

// Rollover multiplies the amount per cycle by the number of cycles; a budget
// that has run for absurdly many cycles stops at the largest amount instead of
// wrapping round to the other sign.
qint64 saturatedProduct(qint64 total, qint64 count)
{
    qint64 result = 0;
    if (__builtin_mul_overflow(total, count, &result))
        return (total < 0) != (count < 0) ? std::numeric_limits<qint64>::min()
                                          : std::numeric_limits<qint64>::max();
    return result;
}

qint64 monthIndex(const QDate &date)
{
    return qint64(date.year()) * 12 + (date.month() - 1);
}

// The date `months` months after `start`, on the start's day of the month or
// on the month's last day when the month is shorter. Invalid beyond the years
// the calendar arithmetic supports.
QDate dateAfterMonths(const QDate &start, qint64 months)
{
    const qint64 index = monthIndex(start) + months;
    const qint64 year = floorDiv(index, 12);
    if (year < -4000000 || year > 4000000)
        return {};
    const int month = int(index - year * 12) + 1;
    const QDate first(int(year), month, 1);
    if (!first.isValid())
        return {};
    return QDate(int(year), month, std::min(start.day(), first.daysInMonth()));
}

qint64 saturatedSum(qint64 a, qint64 b)
{
    qint64 result = 0;
    if (__builtin_add_overflow(a, b, &result))
        return b < 0 ? std::numeric_limits<qint64>::min() : std::numeric_limits<qint64>::max();
    return result;
}

qint64 saturatedDifference(qint64 a, qint64 b)
{
    qint64 result = 0;
    if (__builtin_sub_overflow(a, b, &result))
        return b > 0 ? std::numeric_limits<qint64>::min() : std::numeric_limits<qint64>::max();
    return result;
}

// A cycle bound as the local midnight of its day; invalid stays invalid.
QDateTime midnight(const QDate &date)
{
    if (!date.isValid())
        return {};
    return TWDateAdditions::dateFromFields(date.year(), date.month(), date.day());
}

} // namespace

TWBudgetItem::TWBudgetItem(qint32 itemType, qint32 itemIdentifier, qint64 total, TWUnitPtr unit,
                           QDateTime startDate, std::uint32_t cycle, std::uint32_t cycleUnit,
                           bool rollover, qint32 identifier)
    : m_itemType(itemType), m_itemIdentifier(itemIdentifier), m_total(total),
      m_unit(std::move(unit)), m_startDate(std::move(startDate)), m_cycle(cycle),
      m_cycleUnit(cycleUnit), m_rollover(rollover), m_identifier(identifier)
{
}

TWBudgetItemPtr TWBudgetItem::budgetItemWithItemType(qint32 itemType, qint32 itemIdentifier,
                                                     qint64 total, const TWUnitPtr &unit,
                                                     const QDateTime &startDate,
                                                     std::uint32_t cycle, std::uint32_t cycleUnit,
                                                     bool rollover, qint32 identifier)
{
    return std::make_shared<TWBudgetItem>(itemType, itemIdentifier, total, unit, startDate, cycle,
                                          cycleUnit, rollover, identifier);
}

int TWBudgetItem::compareCycle(const TWBudgetItem &other) const
{
    // Counted in 64 bits: a long cycle must not wrap round to a short one.
    const auto length = [](const TWBudgetItem &item) {
        qint64 days = 1;
        switch (item.m_cycleUnit) {
        case TWBudgetCycleUnitWeek:
            days = 7;
            break;
        case TWBudgetCycleUnitMonth:
            days = 30;
            break;
        case TWBudgetCycleUnitYear:
            days = 365;
            break;
        default:
            break;
        }
        return qint64(item.m_cycle) * days;
    };
    const qint64 mine = length(*this);
    const qint64 theirs = length(other);
    if (mine == theirs)
        return 0;
    return mine < theirs ? -1 : 1;
}

TWBudgetItem::Cycle TWBudgetItem::cycleOnDate(const QDate &today) const
{
    const QDate start = m_startDate.isValid() ? m_startDate.toLocalTime().date() : QDate();

    // Days per step, or months per step; neither when the budget has no step.
    qint64 stepDays = 0;
    qint64 stepMonths = 0;
    switch (m_cycleUnit) {
    case TWBudgetCycleUnitDay:
        stepDays = qint64(m_cycle);
        break;
    case TWBudgetCycleUnitWeek:
        stepDays = 7 * qint64(m_cycle);
        break;
    case TWBudgetCycleUnitMonth:
        stepMonths = qint64(m_cycle);
        break;
    case TWBudgetCycleUnitYear:
        stepMonths = 12 * qint64(m_cycle);
        break;
    default:
        break;
    }
    // A step of nothing would never leave the first cycle; without a start
    // date there is nothing to step from. Either way: one open-ended period.
    if ((stepDays == 0 && stepMonths == 0) || !start.isValid() || !today.isValid())
        return {start, QDate(), m_total, false};

    // Completed cycles before the one holding today, computed directly rather
    // than stepped through, so a daily budget of many years costs nothing.
    qint64 completed = 0;
    QDate cycleStart = start;
    QDate nextStart;
    if (stepDays > 0) {
        if (today > start)
            completed = start.daysTo(today) / stepDays;
        cycleStart = start.addDays(completed * stepDays);
        nextStart = cycleStart.addDays(stepDays);
    } else {
        // Every boundary is reckoned from the start date itself, never from
        // the boundary before: a month end that cut one cycle short must not
        // shorten the cycles after it.
        if (today > start) {
            completed = (monthIndex(today) - monthIndex(start)) / stepMonths;
            cycleStart = dateAfterMonths(start, completed * stepMonths);
            // Today may lie in the boundary's month but before its day.
            if (!cycleStart.isValid() || cycleStart > today) {
                --completed;
                cycleStart = dateAfterMonths(start, completed * stepMonths);
            }
        }
        nextStart = dateAfterMonths(start, (completed + 1) * stepMonths);
    }
    // A next cycle beyond the calendar leaves this one without an end.
    const QDate cycleEnd = nextStart.isValid() ? nextStart.addDays(-1) : QDate();
    const qint64 available = m_rollover ? saturatedProduct(m_total, completed + 1) : m_total;
    return {cycleStart, cycleEnd, available, true};
}

QDateTime TWBudgetItem::reportedStartDate(const Cycle &cycle) const
{
    return cycle.stepped ? midnight(cycle.start) : m_startDate;
}

void TWBudgetItem::currentCycleStartDate(QDateTime *startDate, QDateTime *endDate,
                                         qint64 *total) const
{
    const Cycle cycle = cycleOnDate(TWClock::today());
    if (startDate)
        *startDate = reportedStartDate(cycle);
    if (endDate)
        *endDate = midnight(cycle.end);
    if (total)
        *total = cycle.available;
}

TWBudgetTotalPtr TWBudgetItem::budgetTotalWithTransactions(
    const TWTransactionList &transactions, const TWAccountList &accounts, const TWUnitPtr &homeUnit,
    const TWUnitConverter &convert, const TWDebitPositiveRule &isDebitPositive) const
{
    const Cycle cycle = cycleOnDate(TWClock::today());
    const auto debitPositive = [&](const TWAccount &account) {
        return !isDebitPositive || isDebitPositive(account);
    };

    // The counted accounts; their amounts are added debit side positive.
    QSet<qint32> counted;
    bool accountUnits = false; // the sums are in the account's own unit
    TWUnitPtr sumUnit = homeUnit;
    qint64 budgeted = cycle.available;
    int direction = 1; // -1 when the budget counts negative amounts
    if (m_itemType == TWItemTypeAccount) {
        for (const TWAccountPtr &account : accounts) {
            if (!account || account->identifier() != m_itemIdentifier)
                continue;
            counted.insert(account->identifier());
            if (m_unit && account->unit() && m_unit->isEqual(*account->unit())) {
                accountUnits = true;
                sumUnit = account->unit();
            }
            if (!debitPositive(*account)) {
                budgeted = saturatedDifference(0, budgeted);
                direction = -1;
            }
            break;
        }
    } else {
        // A group adds its accounts' amounts debit side positive and is never
        // negated: money received into an income account of the group offsets
        // what its expense accounts spent.
        counted.reserve(accounts.size());
        for (const TWAccountPtr &account : accounts) {
            if (account)
                counted.insert(account->identifier());
        }
    }

    const QDate budgetStart = m_startDate.isValid() ? m_startDate.toLocalTime().date() : QDate();
    const bool hasRolloverWindow = m_rollover && cycle.stepped && budgetStart.isValid() &&
                                   cycle.start.isValid() && budgetStart < cycle.start;

    // What one transaction moves into (plus) or out of (minus) the counted
    // accounts. Both sides of a transaction between two counted accounts
    // count, so a transfer inside a group nets out.
    const auto amountOf = [&](const TWTransaction &transaction) {
        qint64 amount = 0;
        if (transaction.hasSplit()) {
            for (const TWSplitPtr &split : transaction.splits()) {
                if (!split)
                    continue;
                if (!counted.contains(split->accountIdentifier()))
                    continue;
                amount = saturatedSum(amount, accountUnits ? split->totalAccount()
                                                           : split->totalBusiness());
            }
            return amount;
        }
        if (counted.contains(transaction.account1Identifier()))
            amount = saturatedSum(amount, accountUnits ? transaction.totalAccount1()
                                                       : transaction.totalBusiness());
        if (counted.contains(transaction.account2Identifier()))
            amount = saturatedDifference(amount, accountUnits ? transaction.totalAccount2()
                                                              : transaction.totalBusiness());
        return amount;
    };

    qint64 cycleSum = 0;
    qint64 rolloverSum = 0;
    if (!counted.isEmpty()) {
        for (const TWTransactionPtr &transaction : transactions) {
            // The year-end transfers only close the books: like the income
            // statement, a budget leaves them out, or a past year would come
            // back as money given back (or spent) on its last day.
            if (!transaction || !transaction->date().isValid() ||
                transaction->type() == TWTransactionTypeNominal)
                continue;
            const QDate day = transaction->date().toLocalTime().date();
            const bool inCycle = (!cycle.start.isValid() || day >= cycle.start) &&
                                 (!cycle.end.isValid() || day <= cycle.end);
            const bool inRollover = hasRolloverWindow && day >= budgetStart && day < cycle.start;
            if (inCycle)
                cycleSum = saturatedSum(cycleSum, amountOf(*transaction));
            else if (inRollover)
                rolloverSum = saturatedSum(rolloverSum, amountOf(*transaction));
        }
    }

    if (m_unit && sumUnit && !m_unit->isEqual(*sumUnit) && convert) {
        cycleSum = convert(cycleSum, *sumUnit, *m_unit);
        rolloverSum = convert(rolloverSum, *sumUnit, *m_unit);
    }

    const qint64 available = saturatedDifference(budgeted, rolloverSum);
    return TWBudgetTotal::budgetTotalWithStartDate(
        reportedStartDate(cycle), midnight(cycle.end), cycleSum,
        saturatedDifference(available, cycleSum),
        TWBudgetTotal::progressWithTotal(cycleSum, available, direction), m_unit);
}
