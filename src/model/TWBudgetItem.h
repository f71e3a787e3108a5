#pragma once
// A budget line: so much per cycle of days, weeks, months or years for one
// account or for a group of accounts, optionally accumulating what earlier
// cycles left unspent. It knows its current cycle and how to weigh the ledger
// against it; the store keeps the lines and hands it the transactions.

#include "model/TWAccount.h"
#include "model/TWBudgetTotal.h"
#include "model/TWTotalType.h"
#include "model/TWTransaction.h"
#include "model/TWUnit.h"

#include <QDate>
#include <QDateTime>
#include <QList>

#include <cstdint>
#include <functional>
#include <memory>

enum TWBudgetCycleUnit : int {
    TWBudgetCycleUnitNone = 0, // one open-ended period from the start date
    TWBudgetCycleUnitDay = 1,
    TWBudgetCycleUnitWeek = 2,
    TWBudgetCycleUnitMonth = 3,
    TWBudgetCycleUnitYear = 4,
};

// Whether an account's shown amounts are its raw, debit-positive sums (true) or
// their negation (false); the business's rule for the account's type.
using TWDebitPositiveRule = std::function<bool(const TWAccount &account)>;

class TWBudgetItem
{
public:
    TWBudgetItem() = default;
    TWBudgetItem(qint32 itemType, qint32 itemIdentifier, qint64 total, TWUnitPtr unit,
                 QDateTime startDate, std::uint32_t cycle, std::uint32_t cycleUnit, bool rollover,
                 qint32 identifier);

    static std::shared_ptr<TWBudgetItem>
    budgetItemWithItemType(qint32 itemType, qint32 itemIdentifier, qint64 total,
                           const TWUnitPtr &unit, const QDateTime &startDate, std::uint32_t cycle,
                           std::uint32_t cycleUnit, bool rollover, qint32 identifier);

    // Every field; the unit object is shared, as units are shared records.
    std::shared_ptr<TWBudgetItem> copy() const { return std::make_shared<TWBudgetItem>(*this); }

    // TWItemTypeAccount or TWItemTypeAccountGroup: what is budgeted.
    qint32 itemType() const { return m_itemType; }
    void setItemType(qint32 v) { m_itemType = v; }
    qint32 itemIdentifier() const { return m_itemIdentifier; }
    void setItemIdentifier(qint32 v) { m_itemIdentifier = v; }
    // The amount per cycle, in minor units of `unit`.
    qint64 total() const { return m_total; }
    void setTotal(qint64 v) { m_total = v; }
    const TWUnitPtr &unit() const { return m_unit; }
    void setUnit(const TWUnitPtr &v) { m_unit = v; }
    // The first day of the first cycle; invalid = none.
    const QDateTime &startDate() const { return m_startDate; }
    void setStartDate(const QDateTime &v) { m_startDate = v; }
    // The cycle is `cycle` cycle units (TWBudgetCycleUnit) long.
    std::uint32_t cycle() const { return m_cycle; }
    void setCycle(std::uint32_t v) { m_cycle = v; }
    std::uint32_t cycleUnit() const { return m_cycleUnit; }
    void setCycleUnit(std::uint32_t v) { m_cycleUnit = v; }
    // The budget accumulates: each cycle adds `total` to what is available.
    bool rollover() const { return m_rollover; }
    void setRollover(bool v) { m_rollover = v; }
    qint32 identifier() const { return m_identifier; }
    void setIdentifier(qint32 v) { m_identifier = v; }

    bool isEqual(const TWBudgetItem &other) const { return m_identifier == other.m_identifier; }
    // By the cycle's rough length in days (cycle times 1, 7, 30 or 365; a
    // cycle without a known unit counts as days): the shorter first. -1, 0, 1.
    int compareCycle(const TWBudgetItem &other) const;

    // The cycle that holds today (the first one when today lies before the
    // start date) and the amount available in it: `total`, times the number
    // of cycles from the start date up to and including this one when the
    // budget rolls over. Months and years count from the start date, so a
    // budget started on the 31st begins each cycle on the month's last day
    // where the month is shorter and on the 31st again where it is not.
    // A budget without a step (cycle unit none or unknown, a cycle of 0, no
    // start date) is one open-ended period from its start date with `total`
    // available. Cycle bounds are local midnights; a null output is skipped.
    void currentCycleStartDate(QDateTime *startDate, QDateTime *endDate, qint64 *total) const;

    // The figures of the current cycle, computed from the business's
    // transactions. `accounts` are the accounts the budget counts: the
    // budgeted account (only the entry with `itemIdentifier` is used), or the
    // accounts of the budgeted group. An account's sums are in its own unit
    // when that is the budget's unit, else in the home unit; a group's are in
    // the home unit. Sums in another unit than the budget's are converted.
    //
    // An account budget shows the raw debit-positive sums and negates the
    // budgeted amount for an account that is not debit-positive (income
    // arrives as a negative amount against a negative budget). A group adds
    // up its accounts each as it is shown (negated where the account is not
    // debit-positive), so an income group that is on track moves forward.
    // With rollover, what the counted accounts moved from the start date to
    // the day before the cycle is taken off the amount available. The
    // year-end transfers count in neither sum.
    TWBudgetTotalPtr budgetTotalWithTransactions(const TWTransactionList &transactions,
                                                 const TWAccountList &accounts,
                                                 const TWUnitPtr &homeUnit,
                                                 const TWUnitConverter &convert,
                                                 const TWDebitPositiveRule &isDebitPositive) const;

private:
    struct Cycle {
        QDate start;      // invalid when the budget has no start date
        QDate end;        // invalid for an open-ended period
        qint64 available; // the budgeted amount for this cycle
        bool stepped;     // false: the single period of a budget without a step
    };
    Cycle cycleOnDate(const QDate &today) const;
    // The cycle's first day as reported: the start date itself for a single
    // period, else the local midnight of the first day.
    QDateTime reportedStartDate(const Cycle &cycle) const;

    qint32 m_itemType = TWItemTypeAccount;
    qint32 m_itemIdentifier = 0;
    qint64 m_total = 0;
    TWUnitPtr m_unit;
    QDateTime m_startDate;
    std::uint32_t m_cycle = 0;
    std::uint32_t m_cycleUnit = TWBudgetCycleUnitNone;
    bool m_rollover = false;
    qint32 m_identifier = 0;
};

using TWBudgetItemPtr = std::shared_ptr<TWBudgetItem>;
using TWBudgetItemList = QList<TWBudgetItemPtr>;
