// Date criteria. The suite names start with "Date" so they also run in a zone with daylight
// saving.

#include "model/TWBuiltInFields.h"
#include "model/TWFilterCriteria.h"

#include "TWTestSupport.h"

#include <gtest/gtest.h>

#include <limits>

namespace
{

TWFilterCriteriaPtr dateCriteria(qint32 field, quint32 comparison, quint32 valueType,
                                 qint32 identifier, const QDateTime &day, qint32 n)
{
    return TWFilterCriteria::filterCriteriaWithType(TWFilterCriteriaTypeSimple, field, comparison,
                                                    valueType, identifier, QString(), false, 0, 0.0,
                                                    day, n, 0.0f);
}

TWFilterCriteriaPtr period(qint32 namedPeriod)
{
    return dateCriteria(TWFieldIdentifierDate, TWFilterComparisonIs, TWFilterValueTypeNamedPeriod,
                        namedPeriod, {}, 0);
}

TWFilterCriteriaPtr relative(quint32 comparison, qint32 n, qint32 field = TWFieldIdentifierDate)
{
    return dateCriteria(field, comparison, TWFilterValueTypeRelativeDate, 0, {}, n);
}

TWFilterCriteriaPtr onDay(qint32 field, quint32 comparison, const QDateTime &day)
{
    return dateCriteria(field, comparison, TWFilterValueTypeDate, 0, day, 0);
}

// The range's first and last days; both invalid when there is none. A range
// always runs from 00:00:00 to 23:59:59.
std::pair<QDate, QDate> days(const TWFilterCriteriaPtr &criteria)
{
    QDateTime start = twLocal(1999, 1, 1);
    QDateTime end = start;
    if (!criteria->startDate(&start, &end)) {
        EXPECT_FALSE(start.isValid() || end.isValid());
        return {};
    }
    EXPECT_EQ(start.time(), QTime(0, 0, 0));
    EXPECT_EQ(end.time(), QTime(23, 59, 59));
    return {start.date(), end.date()};
}

std::pair<QDate, QDate> span(QDate first, QDate last)
{
    return {first, last};
}

TWTransactionPtr dated(const QDateTime &date)
{
    return TWTransaction::transactionWithIdentifier(1, 0, 0, QString(), QString(), 100, 101, date,
                                                    0, 0, 0, 0, 0, 0, nullptr, false, 0, {}, false,
                                                    QString(), false, {}, date, date);
}

} // namespace

TEST(DateFilterCriteria, YesterdayIsTheCalendarDayBeforeAcrossDaylightSavingChanges)
{
    // Half past midnight after the 23-hour day on which New York's clocks go
    // forward: 24 hours earlier is already the day before that day.
    TWFixedClock clock(2024, 3, 11, 0, 30);
    EXPECT_EQ(days(period(TWFilterPeriodYesterday)), span(QDate(2024, 3, 10), QDate(2024, 3, 10)));
    EXPECT_EQ(days(period(TWFilterPeriodLastSevenDays)),
              span(QDate(2024, 3, 4), QDate(2024, 3, 11)));
    // Late on the 25-hour day the clocks go back, 24 hours earlier is today.
    clock.set(twLocal(2024, 11, 3, 23, 30));
    EXPECT_EQ(days(period(TWFilterPeriodYesterday)), span(QDate(2024, 11, 2), QDate(2024, 11, 2)));
}

TEST(DateFilterCriteria, AMissingDateIsInNoRangeAndNeitherBeforeNorAfter)
{
    const TWFixedClock clock(2024, 3, 15);
    TWFilterContext context;
    const TWFieldPtr due =
        TWField::fieldWithName(QStringLiteral("Due"), TWFieldTypeDate, false, false, 6);
    context.field = [due](qint32 identifier) { return identifier == 6 ? due : nullptr; };
    const TWTransactionPtr t = dated(twLocal(2024, 3, 15)); // no value for field 6
    const QDateTime day = twLocal(2024, 3, 15);

    for (const quint32 comparison :
         {TWFilterComparisonIs, TWFilterComparisonLess, TWFilterComparisonLessOrEqual,
          TWFilterComparisonGreater, TWFilterComparisonGreaterOrEqual})
        EXPECT_FALSE(onDay(6, comparison, day)->matchTransaction(*t, context)) << comparison;
    for (const quint32 comparison : {TWFilterComparisonWithinDays, TWFilterComparisonWithinYears})
        EXPECT_FALSE(relative(comparison, -5, 6)->matchTransaction(*t, context)) << comparison;
    EXPECT_FALSE(TWFilterCriteria::filterCriteriaWithFieldIdentifier(6, context)
                     ->matchTransaction(*t, context));
    // It is not in the period.
    EXPECT_TRUE(onDay(6, TWFilterComparisonIsNot, day)->matchTransaction(*t, context));

    // With a value the field compares like any date.
    t->fieldValueWithField(*due, true)->setDate(twLocal(2024, 3, 10));
    EXPECT_TRUE(onDay(6, TWFilterComparisonLess, day)->matchTransaction(*t, context));

    // A transaction without a creation date is after nothing.
    t->setDateCreated(QDateTime());
    EXPECT_FALSE(onDay(TWFieldIdentifierDateCreated, TWFilterComparisonGreater, twLocal(2000, 1, 1))
                     ->matchTransaction(*t, context));
}

TEST(DateFilterCriteria, ACriterionWithoutARangeMatchesNothing)
{
    const TWFixedClock clock(2024, 3, 15);
    const TWFilterContext context;
    const TWTransactionPtr t = dated(twLocal(2024, 3, 15));
    for (const quint32 comparison : {TWFilterComparisonIs, TWFilterComparisonIsNot,
                                     TWFilterComparisonLess, TWFilterComparisonGreater}) {
        // No day, a period that does not exist, a relative count with a
        // comparison that gives it no range, no date value type.
        EXPECT_FALSE(onDay(TWFieldIdentifierDate, comparison, {})->matchTransaction(*t, context));
        auto unknown = period(12);
        unknown->setMatch(comparison);
        EXPECT_FALSE(unknown->matchTransaction(*t, context));
        EXPECT_FALSE(relative(comparison, 3)->matchTransaction(*t, context));
        auto other = onDay(TWFieldIdentifierDate, comparison, twLocal(2024, 3, 15));
        other->setValueType(11);
        EXPECT_FALSE(other->matchTransaction(*t, context));
    }
}
