#include "TWStoreTestSupport.h"
#include "TWTestSupport.h"
#include "model/TWTransaction.h"
#include "store/TWBusiness.h"

#include <gtest/gtest.h>

namespace
{

std::unique_ptr<TWBusiness> businessWithYears(const QList<int> &years)
{
    auto business = twMakeBusiness();
    if (!business)
        return nullptr;
    TWAccountingPeriodList periods;
    for (int y : years)
        periods.append(TWAccountingPeriod::accountingPeriodWithName(
            QString::number(y), twLocal(y, 1, 1), twLocal(y, 12, 31), false, 0));
    TWBusinessInfoPtr info = TWBusinessInfo::newBusinessInfo();
    info->setAccountingPeriods(periods);
    business->setBusinessInfo(info);
    EXPECT_OK(business->populateBusinessInfo());
    EXPECT_OK(business->populateAccountingPeriods());
    EXPECT_OK(business->loadBusinessInfo());
    EXPECT_OK(business->loadAccountingPeriods());
    return business;
}

// "first..last" by day, "-" for no date.
QString range(const TWBusiness &business, qint32 type)
{
    QDateTime from = twLocal(1999, 1, 1);
    QDateTime to = from;
    business.dateRange(type, &from, &to);
    const auto day = [](const QDateTime &d) {
        return d.isValid() ? d.date().toString(Qt::ISODate) : QStringLiteral("-");
    };
    return day(from) + QStringLiteral("..") + day(to);
}

TWTransactionPtr transaction(qint32 identifier, const QString &payee, qint32 account1, qint64 total,
                             const TWFieldValueList &values = {})
{
    const QDateTime date = twLocal(2024, 3, 1);
    return TWTransaction::transactionWithIdentifier(
        identifier, 0, 0, payee, QString(), account1, 101, date, total, total, total, total, 0, 0,
        nullptr, false, 0, values, false, QString(), false, {}, date, date);
}

} // namespace

TEST(DateRanges, CalendarAndAccountingPeriodRanges)
{
    TWFixedClock clock(2024, 1, 10, 14, 30);
    auto business = businessWithYears({2023, 2024});
    auto without = businessWithYears({});
    ASSERT_TRUE(business && without);
    const TWBusiness &b = *business;
    EXPECT_EQ(range(b, TWDateRangeLastMonth), QStringLiteral("2023-12-01..2023-12-31"));
    for (qint32 none : {0, 11, -1})
        EXPECT_EQ(range(b, none), QStringLiteral("-..-")) << none;
    EXPECT_EQ(range(b, 9), QStringLiteral("2024-01-01..2024-12-31"));
    EXPECT_EQ(range(b, 10), QStringLiteral("2023-01-01..2023-12-31"));

    // After the last period: the days since. An open bound of the current
    // period takes the span of the transactions, today when there are none.
    clock.set(twLocal(2025, 3, 1));
    EXPECT_EQ(range(b, 9), QStringLiteral("2025-01-01..2025-03-01"));
    EXPECT_EQ(range(b, 10), QStringLiteral("2024-01-01..2024-12-31"));
    // Before the first period there is no last one.
    clock.set(twLocal(2022, 6, 1));
    EXPECT_EQ(range(b, 9), QStringLiteral("2022-06-01..2022-12-31"));
    EXPECT_EQ(range(b, 10), QStringLiteral("-..-"));
    // Without periods the current one is open at both ends.
    EXPECT_EQ(range(*without, 9), QStringLiteral("2022-06-01..2022-06-01"));
    EXPECT_EQ(range(*without, 10), QStringLiteral("-..-"));
}

TEST(MostRecentTransaction, HighestIdentifierWithTheSameValueWins)
{
    auto business = twMakeBusiness();
    ASSERT_TRUE(business);
    TWBusiness &b = *business;
    const auto add = [&](std::uint32_t type) {
        TWFieldPtr field = TWField::fieldWithName(QStringLiteral("F"), type, false, false,
                                                  b.nextFieldIdentifier());
        EXPECT_OK(b.addField(field, false));
        return field;
    };
    const TWFieldPtr job = add(TWFieldTypeText);      // user_1
    const TWFieldPtr hours = add(TWFieldTypeNumber);  // user_2
    const TWFieldPtr kind = add(TWFieldTypeList);     // user_3
    const TWFieldPtr paid = add(TWFieldTypeCheckbox); // user_4
    // 120 is dated later than 150: the identifier decides.
    twExec(b, "INSERT INTO transactions (identifier, payee, description, account1Identifier, "
              "date, total, user_1, user_2, user_3, user_4) VALUES "
              "(120, 'Acme', '', 105, 1037000, 5000, 'Roof', 2.5, 2, 1), "
              "(150, 'Acme', 'x', 106, 1036000, 5000, 'Roof', 7.25, 3, 1), "
              "(160, 'Other', '', 105, 1036000, -20, NULL, NULL, NULL, 1);");
    const TWTransactionList stored{transaction(120, "Acme", 105, 5000),
                                   transaction(150, "Acme", 106, 5000),
                                   transaction(160, "Other", 105, -20)};
    const auto found = [&](const TWTransaction &t, const TWField &field) {
        const TWTransactionPtr match = b.mostRecentTransaction(t, field, stored);
        return match ? match->identifier() : 0;
    };
    const auto builtIn = [](qint32 identifier) {
        return TWField::fieldWithName(QString(), TWFieldTypeStandard, false, false, identifier);
    };
    const TWTransactionPtr edited = transaction(0, "Acme", 105, -20);
    EXPECT_EQ(found(*edited, *builtIn(-5)), 150);
    EXPECT_EQ(found(*edited, *builtIn(-7)), 160);
    // Empty texts and other built-in fields are not looked up.
    EXPECT_EQ(found(*edited, *builtIn(-6)), 0);
    // Quotes are data, not SQL; a match outside the given list is none.
    EXPECT_EQ(found(*transaction(0, "' OR 1=1 --", 1, 1), *builtIn(-5)), 0);
    EXPECT_FALSE(b.mostRecentTransaction(*edited, *builtIn(-5), {stored.at(0)}));

    const auto byValue = [&](const TWFieldPtr &field,
                             const std::function<void(TWFieldValue &)> &set) {
        TWFieldValuePtr value =
            TWFieldValue::fieldValueWithIdentifier(field->identifier(), field->type());
        set(*value);
        return found(*transaction(0, QString(), 1, 1, {value}), *field);
    };
    EXPECT_EQ(byValue(job, [](TWFieldValue &v) { v.setText(QStringLiteral("Roof")); }), 150);
    EXPECT_EQ(byValue(hours, [](TWFieldValue &v) { v.setNumber(2.5); }), 120);
    EXPECT_EQ(byValue(kind, [](TWFieldValue &v) { v.setListItemIdentifier(3); }), 150);
    // No text, no choice, a checkbox, or no value at all: nothing to match.
    EXPECT_EQ(byValue(job, [](TWFieldValue &v) { v.setText(QString()); }), 0);
    EXPECT_EQ(byValue(paid, [](TWFieldValue &v) { v.setCheckboxValue(true); }), 0);
}

// The codes are stored in export settings and column mappings, and the order is
// the order the sheets offer them in: both must stay as they are.
TEST(WorkColumns, ImportAndExportOfferTheStoredCodesInTheirOrder)
{
    EXPECT_EQ(TWBusiness::importTaskFields(),
              (QList<qint32>{-2, -5, -1, -9, -7, -6, -15, -3, -10, -11, -8, -13, -4}));
    EXPECT_EQ(TWBusiness::exportTaskFields(),
              (QList<qint32>{-1, -2, -3, -4, -5, -6, -7, -8, -9, -10, -11, -12, -13, -14, -15}));
    EXPECT_EQ(TWBusiness::importExpenseFields(), (QList<qint32>{-2, -1, -4, -10, -3, -5, -6, -8}));
    EXPECT_EQ(TWBusiness::exportExpenseFields(),
              (QList<qint32>{-1, -2, -3, -4, -5, -6, -7, -8, -9, -10}));
}
