// The figures behind the client, uninvoiced, time and merchant reports: what
// the invoice links of each client's projects count, work still to invoice,
// time worked, what the bill links of each merchant count, and the linked
// amounts and times per report column. Each reads the lists in memory once,
// never the database.

#include "store/TWBusiness.h"

#include "model/TWProject.h"
#include "model/TWTask.h"
#include "model/TWTaskItem.h"
#include "store/TWLedgerEntries.h"
#include "store/TWWorkTotals.h"

#include <QSet>

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>
#include <vector>

using TWLedgerEntries::add;
using TWLedgerEntries::DaySpan;
using TWLedgerEntries::negated;

namespace
{

// The links and accounts of one side, and which way its accounts gain: a
// receivable account by what is booked into it, a payable one by what leaves
// it.
struct PaymentSide {
    std::uint32_t linkType;
    int accountType;
    bool inbound;

    qint64 oriented(qint64 amount) const { return inbound ? amount : negated(amount); }
};

constexpr PaymentSide kReceived{TWRelationshipTypeInvoicePayment, TWAccountTypeAccountsReceivable,
                                true};
constexpr PaymentSide kPaid{TWRelationshipTypeBillPayment, TWAccountTypeAccountsPayable, false};

bool isOfType(const TWLedgerEntries::AccountKinds &kinds, qint32 account, int type)
{
    const auto kind = kinds.constFind(account);
    return kind != kinds.constEnd() && kind->type == type;
}

// What the link's transaction adds to the side's accounts, at least 1, or 0
// when it adds nothing there (also when the named line is gone).
qint64 paymentAmount(const TWLedgerEntries::AccountKinds &kinds, const PaymentSide &side,
                     const TWTransaction &transaction, qint32 splitIdentifier)
{
    const auto counted = [](qint64 amount) { return amount >= 1 ? amount : 0; };
    if (splitIdentifier != 0) {
        const TWSplitPtr split =
            transaction.hasSplit() ? transaction.splitWithIdentifier(splitIdentifier) : nullptr;
        if (!split || !isOfType(kinds, split->accountIdentifier(), side.accountType))
            return 0;
        return counted(side.oriented(split->totalBusiness()));
    }
    if (transaction.hasSplit()) {
        qint64 total = 0;
        for (const TWSplitPtr &split : transaction.splits()) {
            if (split && isOfType(kinds, split->accountIdentifier(), side.accountType))
                add(total, counted(side.oriented(split->totalBusiness())));
        }
        return total;
    }
    // Account 1 receives the total, account 2 gives it. When account 1 is of
    // the side's type it alone decides, even when it does not gain.
    if (isOfType(kinds, transaction.account1Identifier(), side.accountType))
        return counted(side.oriented(transaction.totalBusiness()));
    if (isOfType(kinds, transaction.account2Identifier(), side.accountType))
        return counted(side.oriented(negated(transaction.totalBusiness())));
    return 0;
}

// Calls visit(day, parentIdentifier, amount) for every link of the side whose
// transaction exists and counts something, `day` being the transaction's
// packed day.
template <typename Visit>
void forEachPayment(const TWBusiness &business, const PaymentSide &side, Visit &&visit)
{
    const TWRelationshipList links = business.relationshipsOfType(side.linkType);
    if (links.isEmpty())
        return;
    const TWLedgerEntries::AccountKinds kinds = TWLedgerEntries::accountKinds(business.accounts());
    for (const TWRelationshipPtr &link : links) {
        if (!link)
            continue;
        const TWTransactionPtr transaction =
            business.transactionWithIdentifier(link->transactionIdentifier());
        if (!transaction)
            continue;
        const qint64 amount = paymentAmount(kinds, side, *transaction, link->splitIdentifier());
        if (amount != 0)
            visit(transaction->dayValue(), link->parentIdentifier(), amount);
    }
}

// The client of a listed project, when both are still there.
std::optional<qint32> clientOfProject(const TWBusiness &business, const TWProject *project)
{
    if (!project || !business.clientWithIdentifier(project->clientIdentifier()))
        return std::nullopt;
    return project->clientIdentifier();
}

// Calls visit(day, client, project, amount) for each counting invoice link.
template <typename Visit> void forEachClientPayment(const TWBusiness &business, Visit &&visit)
{
    forEachPayment(business, kReceived, [&](std::uint32_t day, qint32 project, qint64 amount) {
        const TWProjectPtr owner = business.projectWithIdentifier(project);
        if (const std::optional<qint32> client = clientOfProject(business, owner.get()))
            visit(day, *client, project, amount);
    });
}

// Calls visit(day, merchant, amount) for each counting bill link.
template <typename Visit> void forEachMerchantPayment(const TWBusiness &business, Visit &&visit)
{
    forEachPayment(business, kPaid, [&](std::uint32_t day, qint32 merchant, qint64 amount) {
        if (business.merchantWithIdentifier(merchant))
            visit(day, merchant, amount);
    });
}

// The client and project a time item's work counts for: its task's project
// when that is a project proper (estimates hold no work) of a listed client.
struct TimeOwner {
    qint32 client = 0;
    qint32 project = 0;
};

std::optional<TimeOwner> timeOwner(const TWBusiness &business, const TWTaskItem &item)
{
    const TWTaskPtr task = business.taskWithIdentifier(item.taskIdentifier());
    if (!task)
        return std::nullopt;
    const TWProjectPtr project = business.projectWithIdentifier(task->projectIdentifier());
    if (!project || project->type() != TWProjectTypeProject)
        return std::nullopt;
    const std::optional<qint32> client = clientOfProject(business, project.get());
    if (!client)
        return std::nullopt;
    return TimeOwner{*client, project->identifier()};
}

// Seconds as a whole number, towards zero; nothing for what is not a number.
qint64 wholeSeconds(double seconds)
{
    if (!(seconds > 0))
        return 0;
    if (seconds >= 9.2e18)
        return std::numeric_limits<qint64>::max();
    return qint64(std::trunc(seconds));
}

void addTo(qint64 &total, qint64 amount)
{
    add(total, amount);
}

void addTo(double &total, double amount)
{
    total += amount;
}

// Client -> the sum of its projects' values.
template <typename T> QHash<qint32, T> sumsPerClient(const QHash<qint32, QHash<qint32, T>> &clients)
{
    QHash<qint32, T> totals;
    totals.reserve(clients.size());
    for (auto client = clients.cbegin(); client != clients.cend(); ++client) {
        T total = 0;
        for (const T value : client.value())
            addTo(total, value);
        totals.insert(client.key(), total);
    }
    return totals;
}

} // namespace

TWClientTotals TWBusiness::clientTotals(const QDateTime &fromDate, const QDateTime &toDate) const
{
    const DaySpan span(TWDateSpan{fromDate, toDate});
    TWClientTotals result;
    forEachClientPayment(*this,
                         [&](std::uint32_t day, qint32 client, qint32 project, qint64 amount) {
                             if (span.contains(day))
                                 add(result.clients[client][project], amount);
                         });
    result.totals = sumsPerClient(result.clients);
    return result;
}

TWClientTotals TWBusiness::clientUninvoicedTotals(const QDateTime &fromDate,
                                                  const QDateTime &toDate)
{
    TWClientTotals result;
    // A client listed twice (a damaged document) is counted once.
    QSet<qint32> seen;
    for (const TWClientPtr &client : std::as_const(m_clients)) {
        if (!client || seen.contains(client->identifier()))
            continue;
        seen.insert(client->identifier());
        const TWProjectList projects = projectsWithClient(*client);
        for (const TWProjectPtr &project : projects) {
            if (!project)
                continue;
            const qint64 amount = twUninvoicedTotal(*project, *this, fromDate, toDate);
            if (amount > 0)
                add(result.clients[client->identifier()][project->identifier()], amount);
        }
    }
    result.totals = sumsPerClient(result.clients);
    return result;
}

TWClientTimes TWBusiness::clientTimes(const QDateTime &fromDate, const QDateTime &toDate) const
{
    const DaySpan span(TWDateSpan{fromDate, toDate});
    TWClientTimes result;
    for (const TWTaskItemPtr &item : m_taskItems.list()) {
        if (!item)
            continue;
        const std::uint32_t start = TWLedgerEntries::dayValue(item->startDateTime());
        const std::uint32_t end = TWLedgerEntries::dayValue(item->endDateTime());
        if (start == 0 || end == 0 || !(span.contains(start) || span.contains(end)))
            continue;
        const std::optional<TimeOwner> owner = timeOwner(*this, *item);
        if (!owner)
            continue;
        const double seconds = item->durationWithStartDate(fromDate, toDate);
        if (seconds > 0)
            result.clients[owner->client][owner->project] += seconds;
    }
    result.totals = sumsPerClient(result.clients);
    return result;
}

QHash<qint32, qint64> TWBusiness::merchantTotalsWithMerchants(const QDateTime &fromDate,
                                                              const QDateTime &toDate) const
{
    const DaySpan span(TWDateSpan{fromDate, toDate});
    QHash<qint32, qint64> result;
    forEachMerchantPayment(*this, [&](std::uint32_t day, qint32 merchant, qint64 amount) {
        if (span.contains(day))
            add(result[merchant], amount);
    });
    return result;
}

QList<qint64> TWBusiness::groupClientTotals(const QList<TWDateSpan> &columns) const
{
    const TWLedgerEntries::ColumnStretches stretches(columns);
    std::vector<qint64> sums(stretches.count(), 0);
    if (!columns.isEmpty()) {
        forEachClientPayment(*this, [&](std::uint32_t day, qint32, qint32, qint64 amount) {
            add(sums[stretches.stretchOfDay(day)], amount);
        });
    }
    return stretches.perColumn(sums);
}

QList<qint64> TWBusiness::groupMerchantTotals(const QList<TWDateSpan> &columns) const
{
    const TWLedgerEntries::ColumnStretches stretches(columns);
    std::vector<qint64> sums(stretches.count(), 0);
    if (!columns.isEmpty()) {
        forEachMerchantPayment(*this, [&](std::uint32_t day, qint32, qint64 amount) {
            add(sums[stretches.stretchOfDay(day)], amount);
        });
    }
    return stretches.perColumn(sums);
}

QList<qint64> TWBusiness::groupClientTimes(const QList<TWDateSpan> &columns) const
{
    // An item's whole duration goes to the stretch of its first day, which
    // is right for every column holding all of its days. Columns with a bound
    // inside the item's days get a correction to what falls into their own
    // days; most items lie within one day and need none.
    const TWLedgerEntries::ColumnStretches stretches(columns);
    std::vector<qint64> sums(stretches.count(), 0);
    const std::size_t columnCount = std::size_t(columns.size());
    std::vector<qint64> corrections(columnCount, 0);
    if (columnCount == 0)
        return stretches.perColumn(sums);

    // Column bounds by day, for finding the columns whose bound lies within
    // an item's days.
    using Bound = std::pair<std::uint32_t, std::size_t>;
    std::vector<Bound> starts;
    std::vector<Bound> ends;
    for (std::size_t i = 0; i < columnCount; ++i) {
        const DaySpan &span = stretches.spans()[i];
        if (span.from != 0)
            starts.emplace_back(span.from, i);
        if (span.to != 0)
            ends.emplace_back(span.to, i);
    }
    std::sort(starts.begin(), starts.end());
    std::sort(ends.begin(), ends.end());
    // The item that last corrected each column (its number plus one), so a
    // column with both bounds inside an item is corrected once.
    std::vector<std::size_t> correctedBy(columnCount, 0);
    std::size_t itemNumber = 0;

    for (const TWTaskItemPtr &item : m_taskItems.list()) {
        ++itemNumber;
        if (!item)
            continue;
        const qint64 whole = wholeSeconds(item->duration());
        if (whole == 0)
            continue;
        if (!timeOwner(*this, *item))
            continue;
        const std::uint32_t first = TWLedgerEntries::dayValue(item->startDateTime());
        const std::uint32_t last = TWLedgerEntries::dayValue(item->endDateTime());
        add(sums[stretches.stretchOfDay(first)], whole);
        if (last <= first)
            continue;
        const auto correct = [&](std::size_t column) {
            if (correctedBy[column] == itemNumber)
                return;
            correctedBy[column] = itemNumber;
            const TWDateSpan &span = columns.at(qsizetype(column));
            const qint64 part =
                wholeSeconds(item->durationWithStartDate(span.fromDate, span.toDate));
            // A column holding the first day has the whole duration already.
            add(corrections[column], stretches.spans()[column].contains(first)
                                         ? TWLedgerEntries::sum(part, -whole)
                                         : part);
        };
        // Columns starting after the first day, on or before the last one.
        for (auto bound =
                 std::upper_bound(starts.cbegin(), starts.cend(), Bound(first, columnCount));
             bound != starts.cend() && bound->first <= last; ++bound)
            correct(bound->second);
        // Columns ending on or after the first day, before the last one.
        for (auto bound = std::lower_bound(ends.cbegin(), ends.cend(), Bound(first, 0));
             bound != ends.cend() && bound->first < last; ++bound)
            correct(bound->second);
    }

    QList<qint64> result = stretches.perColumn(sums);
    for (qsizetype i = 0; i < result.size(); ++i)
        result[i] = TWLedgerEntries::sum(result.at(i), corrections[std::size_t(i)]);
    return result;
}
