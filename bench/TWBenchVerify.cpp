#include "TWBenchVerify.h"

#include "foundation/TWClock.h"
#include "model/TWRelationship.h"

#include <QSet>

namespace
{

// The postings of one transaction in the home unit: the lines of a split
// transaction, else plus into account 1 and minus out of account 2.
qint64 homeImbalance(const TWTransaction &t, QString *fault)
{
    if (!t.hasSplit()) {
        if (t.account1Identifier() == 0 || t.account2Identifier() == 0)
            *fault = QStringLiteral("misses an account");
        return 0;
    }
    if (t.splits().size() < 2)
        *fault = QStringLiteral("is split over fewer than two lines");
    qint64 sum = 0;
    for (const TWSplitPtr &split : t.splits()) {
        if (!split || split->accountIdentifier() == 0)
            *fault = QStringLiteral("has a line without an account");
        else
            sum += split->totalBusiness();
    }
    return sum;
}

} // namespace

QStringList twBenchVerify(const TWBusiness &b)
{
    QStringList faults;
    const auto fault = [&faults](const QString &text) {
        // A broken generator breaks thousands of entries alike: the first few say it.
        if (faults.size() < 20)
            faults.append(text);
    };
    if (!b.businessInfo() || !b.homeUnit())
        return {QStringLiteral("the business has no record or no home unit")};

    int split = 0;
    QHash<std::uint32_t, bool> closedByDay;
    for (const TWTransactionPtr &t : b.transactions()) {
        QString problem;
        const qint64 imbalance = homeImbalance(*t, &problem);
        if (!problem.isEmpty())
            fault(QStringLiteral("transaction %1 %2").arg(t->identifier()).arg(problem));
        if (imbalance != 0)
            fault(QStringLiteral("transaction %1 is off by %2 in the home unit")
                      .arg(t->identifier())
                      .arg(imbalance));
        split += t->hasSplit() ? 1 : 0;
        if (t->state() == TWTransactionStateLocked)
            continue;
        auto found = closedByDay.constFind(t->dayValue());
        if (found == closedByDay.cend())
            found =
                closedByDay.insert(t->dayValue(), b.accountingPeriodForDate(t->date())->closed());
        if ((t->state() == TWTransactionStateClosed) != found.value())
            fault(QStringLiteral("transaction %1 has state %2 in a %3 period")
                      .arg(t->identifier())
                      .arg(t->state())
                      .arg(found.value() ? QStringLiteral("closed") : QStringLiteral("open")));
    }
    if (b.transactions().size() >= 100 && split == 0)
        fault(QStringLiteral("no split transactions"));

    // Periods: each closed one that has ended has its transfers, and the
    // active period is today's.
    const QDate today = TWClock::today();
    int closed = 0;
    for (const TWAccountingPeriodPtr &period : b.sortedAccountingPeriods()) {
        if (!period->closed())
            continue;
        ++closed;
        if (period->endDate().isValid() && period->endDate().date() >= today)
            continue;
        if (b.relationshipsWithParentIdentifier(period->identifier(),
                                                TWRelationshipTypeNominalTransfer)
                .isEmpty())
            fault(QStringLiteral("closed period %1 has no year-end transfers").arg(period->name()));
    }
    if (closed == 0)
        fault(QStringLiteral("no closed accounting periods"));
    if (b.businessInfo()->nominalTransferAccountIdentifier() == 0)
        fault(QStringLiteral("no nominal-transfer account"));
    const TWAccountingPeriodPtr current = b.currentAccountingPeriod();
    if (current->identifier() == 0 || b.activeAccountingPeriodIdentifier() != current->identifier())
        fault(QStringLiteral("the active period %1 is not today's period %2")
                  .arg(b.activeAccountingPeriodIdentifier())
                  .arg(current->identifier()));

    // What a real business holds besides its ledger.
    if (b.relationshipsOfType(TWRelationshipTypeInvoiceTask).isEmpty())
        fault(QStringLiteral("no invoice bills a task"));
    if (b.relationshipsOfType(TWRelationshipTypeInvoiceExpense).isEmpty())
        fault(QStringLiteral("no invoice bills an expense"));
    QSet<std::uint32_t> cycles;
    for (const TWBudgetItemPtr &item : b.budgetItems())
        cycles.insert(item->cycleUnit());
    if (cycles.size() < 2)
        fault(QStringLiteral("budget items in fewer than two kinds of cycle"));
    QSet<std::uint32_t> valueTypes;
    for (const TWTransactionPtr &t : b.transactions())
        for (const TWFieldValuePtr &value : t->fieldValues())
            valueTypes.insert(value->type());
    for (const TWFieldPtr &field : b.fields())
        if (field->type() != TWFieldTypeStandard && !valueTypes.contains(field->type()))
            fault(QStringLiteral("no transaction has a value of field %1").arg(field->name()));
    return faults;
}
