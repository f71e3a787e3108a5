// Projects, tasks, expenses and task items: quantities, line arithmetic, what
// is left to invoice, durations, copies and order.

#include "model/TWPaymentEntry.h"
#include "model/TWProject.h"
#include "model/TWTask.h"
#include "model/TWTaskItem.h"
#include "model/TWWorkArithmetic.h"

#include "TWTestSupport.h"
#include "TWZoneGuard.h"
#include "foundation/TWDateAdditions.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>
#include <vector>

namespace
{

TWTaskPtr task(std::uint32_t taskType, qint64 rate, double quantity, double taxRate = 0.0,
               qint32 identifier = 100)
{
    return TWTask::taskWithDate(twLocal(2024, 3, 1), false, QStringLiteral("Work"), taskType, 0.0,
                                quantity, rate, taxRate, QString(), 10, identifier);
}

TWExpensePtr expense(qint64 cost, double quantity, double taxRate = 0.0, qint32 identifier = 100)
{
    return TWExpense::expenseWithDate(twLocal(2024, 3, 1), QStringLiteral("Travel"), quantity, cost,
                                      taxRate, QString(), 10, identifier);
}

TWTaskItemPtr item(const QDateTime &start, const QDateTime &end, qint32 identifier = 1)
{
    return TWTaskItem::taskItemWithStartDateTime(start, end, QString(), 100, identifier);
}

TWRelationshipPtr link(std::uint32_t type, qint32 invoice, qint32 child, double value)
{
    return TWRelationship::relationshipWithType(type, value, invoice, child, 0, 0, 0);
}

} // namespace

TEST(Work, AvailableQuantityLeavesOutWhatOtherInvoicesBill)
{
    const TWTaskPtr perHour = task(TWTaskTypeHour, 1000, 10.0, 0.0, 100);
    const TWRelationshipList links{
        link(TWRelationshipTypeInvoiceTask, 200, 100, 4.0),
        link(TWRelationshipTypeInvoiceTask, 201, 100, 3.0),
        link(TWRelationshipTypeInvoiceExpense, 202, 100, 1.0), // an expense with the same number
        link(TWRelationshipTypeInvoiceTask, 203, 101, 1.0),    // another task
    };
    EXPECT_EQ(perHour->availableQuantity(nullptr, 10.0, links), 3.0);
    const TWInvoicePtr editing =
        TWInvoice::invoiceWithDate(twLocal(2024, 3, 1), QString(), QString(), false, false,
                                   QDateTime(), 0, QString(), 10, 200);
    EXPECT_EQ(perHour->availableQuantity(editing.get(), 10.0, links), 7.0);
    // A task billed beyond its quantity has nothing left, never less.
    EXPECT_EQ(perHour->availableQuantity(nullptr, 5.0, links), 0.0);
    EXPECT_EQ(perHour->uninvoicedTotalWithAvailableQuantity(3.0), 3000);

    // An expense may be over-billed: its available quantity goes negative,
    // but what is left to invoice does not.
    const TWExpensePtr travel = expense(2500, 2.0, 10.0, 100);
    const TWRelationshipList expenseLinks{link(TWRelationshipTypeInvoiceExpense, 200, 100, 3.0),
                                          link(TWRelationshipTypeInvoiceTask, 201, 100, 9.0)};
    const double available = travel->availableQuantity(nullptr, expenseLinks);
    EXPECT_EQ(available, -1.0);
    EXPECT_EQ(travel->uninvoicedTotalWithAvailableQuantity(available), 0);
    EXPECT_EQ(travel->availableQuantity(editing.get(), expenseLinks), 2.0);
}

TEST(Work, FlatTaskIsLeftToInvoiceOnlyUntilAnInvoiceBillsItWhole)
{
    const TWTaskPtr none = task(TWTaskTypeFlat, 40000, 0.0, 10.0, 100);
    const TWTaskPtr one = task(TWTaskTypeFlat, 10000, 1.0, 0.0, 101);
    EXPECT_EQ(none->uninvoicedTotalWithAvailableQuantity(0.0, none->billedWhole(0.0, {})), 44000);
    EXPECT_EQ(one->uninvoicedTotalWithAvailableQuantity(1.0, one->billedWhole(1.0, {})), 10000);

    // Quantity 0: billing it leaves all of it "available", yet it is billed.
    const TWRelationshipList links{link(TWRelationshipTypeInvoiceTask, 200, 100, 0.0),
                                   link(TWRelationshipTypeInvoiceTask, 201, 101, 0.0)};
    EXPECT_TRUE(none->billedWhole(0.0, links));
    EXPECT_EQ(none->availableQuantity(nullptr, 0.0, links), 0.0);
    EXPECT_EQ(none->uninvoicedTotalWithAvailableQuantity(0.0, true), 0);
    // A line billing 0 of a task of quantity 1 bills nothing of it.
    EXPECT_FALSE(one->billedWhole(1.0, links));
    EXPECT_EQ(one->uninvoicedTotalWithAvailableQuantity(1.0, false), 10000);
    // Only flat tasks are billed whole.
    EXPECT_FALSE(task(TWTaskTypeHour, 100, 0.0, 0.0, 100)->billedWhole(0.0, links));
}

TEST(Work, SubtotalsCutTowardZeroAndTaxRoundsHalvesAwayFromZero)
{
    // -5.5 cut toward zero is -5, not -6.
    EXPECT_EQ(task(TWTaskTypeHour, -10, 0.55)->subtotalWithQuantity(0.55), -5);

    // Tax of -0.5 is -1 and a total of -5.5 is -6, mirroring the positive side.
    const TWExpensePtr credit = expense(-5, 1.0, 10.0);
    EXPECT_EQ(credit->tax(), -1);
    EXPECT_EQ(credit->total(), -6);
    EXPECT_EQ(expense(5, 1.0, 10.0)->total(), 6);
    // Nothing negative is left to invoice.
    EXPECT_EQ(task(TWTaskTypeHour, -1000, 2.0)->uninvoicedTotalWithAvailableQuantity(2.0), 0);
}

TEST(Work, ExpenseUninvoicedTaxIsAppliedBeforeTheCut)
{
    const TWExpensePtr cheap = expense(1, 1.0, 100.0);
    // 1 x 0.9 x 2 = 1.8 -> 2; cutting first would give 0.
    EXPECT_EQ(cheap->uninvoicedTotalWithAvailableQuantity(0.9), 2);
    cheap->setTaxRate(0.0);
    EXPECT_EQ(cheap->uninvoicedTotalWithAvailableQuantity(0.9), 0);

    const TWExpensePtr travel = expense(333, 1.5);
    travel->setInvoiceQuantity(0.5);
    EXPECT_EQ(travel->invoiceSubtotal(), 166);
}

TEST(Work, DamagedNumbersGiveDefinedAmounts)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const qint64 max = std::numeric_limits<qint64>::max();

    EXPECT_EQ(task(TWTaskTypeHour, 1000, 0.0)->subtotalWithQuantity(nan), 0);
    EXPECT_EQ(task(TWTaskTypeHour, 1000, 0.0)->subtotalWithQuantity(inf), 0);
    // An unreadable tax rate counts as none.
    EXPECT_EQ(expense(1000, 1.0, nan)->total(), 1000);
    // Amounts beyond the 64-bit range are held at its ends.
    EXPECT_EQ(task(TWTaskTypeHour, max, 0.0)->subtotalWithQuantity(1e10), max);
    EXPECT_EQ(expense(max, 1.0, 50.0)->total(), max);
    EXPECT_EQ(expense(-max, 2.0)->subtotal(), std::numeric_limits<qint64>::min());
    EXPECT_EQ(TWWorkArithmetic::add(max, 1), max);
    EXPECT_EQ(TWWorkArithmetic::subtract(std::numeric_limits<qint64>::min(), 1),
              std::numeric_limits<qint64>::min());
}

TEST(Work, TaskThatStopsBeingTimedDropsItsItems)
{
    const TWTaskPtr timed = task(TWTaskTypeTimed, 1000, 0.0);
    timed->setTaskItems({item(twLocal(2024, 3, 1, 9), twLocal(2024, 3, 1, 10))});
    timed->setInvoiceQuantity(1800.0);

    // A copy owns copies of the items and keeps the invoiced quantity.
    const TWTaskPtr copied = timed->copy();
    ASSERT_EQ(copied->taskItems().size(), 1);
    copied->taskItems().first()->setNotes(QStringLiteral("changed"));
    EXPECT_TRUE(timed->taskItems().first()->notes().isEmpty());
    EXPECT_EQ(copied->invoiceQuantity(), 1800.0);

    timed->setTaskType(TWTaskTypeHour);
    EXPECT_TRUE(timed->taskItems().isEmpty());
}

// A time item keeps wall-clock times: stored in New York on its clock-change
// days (and on Berlin's), 01:00 to 03:00 is two hours wherever it is read.
TEST(WorkTimeItems, AStoredItemHasOneLengthInEveryZone)
{
    std::vector<std::pair<std::uint64_t, std::uint64_t>> stored;
    {
        const TWZoneGuard zone("America/New_York");
        for (const QDate &day :
             {QDate(2026, 3, 8), QDate(2026, 3, 29), QDate(2026, 10, 25), QDate(2026, 11, 1)})
            stored.emplace_back(TWDateAdditions::dateTimeValue(QDateTime(day, QTime(1, 0))),
                                TWDateAdditions::dateTimeValue(QDateTime(day, QTime(3, 0))));
    }
    for (const char *name : {"America/New_York", "Asia/Tokyo", "Europe/Berlin"}) {
        SCOPED_TRACE(name);
        const TWZoneGuard zone(name);
        for (const auto &[start, end] : stored)
            EXPECT_DOUBLE_EQ(TWTaskItem(TWDateAdditions::dateTimeWithValue(start),
                                        TWDateAdditions::dateTimeWithValue(end), QString(), 1, 1)
                                 .duration(),
                             7200.0);
    }
}
