#include "TWTestSupport.h"
#include "foundation/TWLocalized.h"
#include "model/TWBusinessInfo.h"

#include <algorithm>
#include <vector>

#include <gtest/gtest.h>

namespace
{

TWAccountingPeriodPtr period(const char *name, int startYear, int endYear, qint32 identifier,
                             bool closed = false)
{
    return TWAccountingPeriod::accountingPeriodWithName(
        QString::fromLatin1(name), twLocal(startYear, 1, 1), twLocal(endYear, 12, 31), closed,
        identifier);
}

TWBusinessInfoPtr sampleInfo(bool createDefaultAccounts)
{
    QImage logo(4, 4, QImage::Format_RGB32);
    logo.fill(Qt::red);
    const TWAccountingPeriodList periods{period("1", 2023, 2023, 100, true),
                                         period("2", 2024, 2024, 101)};
    return TWBusinessInfo::businessInfoWithType(
        TWBusinessTypeCorporation, QStringLiteral("Acme"), QStringLiteral("ID-7"), logo,
        twLocal(2023, 1, 1), QStringLiteral("CAD"), TWCurrencyUpdateMonthly,
        QStringLiteral("notes"), QStringLiteral("555-1"), QStringLiteral("555-2"),
        QStringLiteral("a@b.c"), QUrl(QStringLiteral("http://acme.example")),
        QStringLiteral("1 Road\nTown"), periods, true, 143, QStringLiteral("Kept"), 0.05,
        QStringLiteral("GST"), QStringLiteral("head"), QStringLiteral("foot"),
        QStringLiteral("30 days"), createDefaultAccounts);
}

// A few fields from each group of the record, and the periods.
void expectSameFields(const TWBusinessInfo &a, const TWBusinessInfo &b)
{
    EXPECT_EQ(a.name(), b.name());
    EXPECT_EQ(a.logo(), b.logo());
    EXPECT_EQ(a.address(), b.address());
    ASSERT_EQ(a.accountingPeriods().size(), b.accountingPeriods().size());
    for (qsizetype i = 0; i < a.accountingPeriods().size(); ++i) {
        EXPECT_EQ(a.accountingPeriods()[i]->name(), b.accountingPeriods()[i]->name());
        EXPECT_EQ(a.accountingPeriods()[i]->closed(), b.accountingPeriods()[i]->closed());
    }
    EXPECT_EQ(a.invoiceTaxRate(), b.invoiceTaxRate());
    EXPECT_EQ(a.invoiceTerms(), b.invoiceTerms());
    EXPECT_EQ(a.createDefaultAccounts(), b.createDefaultAccounts());
}

} // namespace

TEST(BusinessInfo, ALoadedRecordNeverAsksForDefaultAccounts)
{
    const TWBusinessInfoPtr created = sampleInfo(true);
    // Rebuilt the way a load does: every stored field, without the flag.
    const TWBusinessInfoPtr loaded = TWBusinessInfo::businessInfoWithType(
        created->type(), created->name(), created->businessID(), created->logo(),
        created->startDate(), created->homeCurrency(), created->currencyUpdateInterval(),
        created->notes(), created->phone(), created->fax(), created->email(), created->website(),
        created->address(), created->accountingPeriods(), created->createNewAccountingPeriods(),
        created->nominalTransferAccountIdentifier(), created->retainedEarningsName(),
        created->invoiceTaxRate(), created->invoiceTaxName(), created->invoiceHeader(),
        created->invoiceFooter(), created->invoiceTerms());
    EXPECT_FALSE(loaded->createDefaultAccounts());
    loaded->setCreateDefaultAccounts(true);
    expectSameFields(*loaded, *created);
    // The record keeps the very periods it was given.
    EXPECT_EQ(loaded->accountingPeriods().first(), created->accountingPeriods().first());
}

TEST(BusinessInfo, CopiesDoNotShareTheirPeriods)
{
    const TWBusinessInfoPtr original = sampleInfo(true);
    const TWBusinessInfoPtr copy = original->copy();
    expectSameFields(*copy, *original);

    // Editing the copy's periods, or its list, leaves the original alone.
    copy->accountingPeriods()[1]->setClosed(true);
    copy->accountingPeriods()[1]->setName(QStringLiteral("changed"));
    TWAccountingPeriodList list = copy->accountingPeriods();
    list.append(period("3", 2025, 2025, 0));
    copy->setAccountingPeriods(list);
    ASSERT_EQ(original->accountingPeriods().size(), 2);
    EXPECT_FALSE(original->accountingPeriods()[1]->closed());

    TWBusinessInfo assigned;
    assigned = *original;
    assigned.accountingPeriods()[0]->setClosed(false);
    EXPECT_TRUE(original->accountingPeriods()[0]->closed());
    assigned = assigned; // self-assignment keeps the record intact
    ASSERT_EQ(assigned.accountingPeriods().size(), 2);
    EXPECT_EQ(assigned.name(), QStringLiteral("Acme"));
}

TEST(AccountingPeriod, OrderedByStartWithOpenStartsFirst)
{
    const TWAccountingPeriodPtr y2024 = period("2", 2024, 2024, 101);
    const TWAccountingPeriodPtr y2023 = period("1", 2023, 2023, 100);
    const TWAccountingPeriodPtr open =
        TWAccountingPeriod::noneAccountingPeriodWithStartDate(QDateTime(), twLocal(2022, 12, 31));
    const TWAccountingPeriodPtr open2 =
        TWAccountingPeriod::noneAccountingPeriodWithStartDate(QDateTime(), QDateTime());
    EXPECT_EQ(y2023->compare(*period("x", 2023, 2030, 5)), 0);
    EXPECT_EQ(y2023->compare(*open), 1);
    EXPECT_EQ(open->compare(*open2), 0);

    std::vector<TWAccountingPeriodPtr> list{y2024, open, y2023, open2};
    std::stable_sort(list.begin(), list.end(),
                     [](const auto &a, const auto &b) { return a->compare(*b) < 0; });
    EXPECT_EQ(list, (std::vector<TWAccountingPeriodPtr>{open, open2, y2023, y2024}));
}

// Named Date* so that it also runs in a zone with daylight saving.
TEST(DateRateRefresh, IntervalsCountWholeCalendarUnits)
{
    TWBusinessInfo info;
    const QDateTime now = twLocal(2025, 3, 12, 12, 0);

    info.setCurrencyUpdateInterval(TWCurrencyUpdateNever);
    EXPECT_FALSE(info.currencyUpdateDue(QDateTime(), now));
    EXPECT_FALSE(info.currencyUpdateDue(twLocal(2020, 1, 1), now));

    // No earlier download: any other interval downloads.
    for (std::uint32_t interval : {1u, 9u}) {
        info.setCurrencyUpdateInterval(interval);
        EXPECT_TRUE(info.currencyUpdateDue(QDateTime(), now)) << interval;
    }

    info.setCurrencyUpdateInterval(TWCurrencyUpdateDaily);
    EXPECT_FALSE(info.currencyUpdateDue(twLocal(2025, 3, 11, 12, 0, 1), now));
    EXPECT_TRUE(info.currencyUpdateDue(twLocal(2025, 3, 11, 12, 0), now));
    EXPECT_FALSE(info.currencyUpdateDue(now.addDays(3), now)); // a clock set back

    // Weekly: six whole days are not enough, seven are, across the change to
    // summer time in zones that have one (9 March 2025 in New York).
    info.setCurrencyUpdateInterval(TWCurrencyUpdateWeekly);
    EXPECT_FALSE(info.currencyUpdateDue(twLocal(2025, 3, 5, 12, 0, 1), now));
    EXPECT_TRUE(info.currencyUpdateDue(twLocal(2025, 3, 5, 12, 0), now));

    // Monthly: a month is reached on the same day and time, clamped to the
    // end of a shorter month.
    info.setCurrencyUpdateInterval(TWCurrencyUpdateMonthly);
    EXPECT_TRUE(info.currencyUpdateDue(twLocal(2025, 2, 12, 12, 0), now));
    EXPECT_FALSE(info.currencyUpdateDue(twLocal(2025, 2, 12, 12, 1), now));
    EXPECT_FALSE(info.currencyUpdateDue(twLocal(2025, 1, 31, 9, 0), twLocal(2025, 2, 27, 23, 0)));
    EXPECT_TRUE(info.currencyUpdateDue(twLocal(2025, 1, 31, 9, 0), twLocal(2025, 2, 28, 9, 0)));
    EXPECT_TRUE(info.currencyUpdateDue(twLocal(2024, 12, 20), twLocal(2025, 1, 20)));

    // An unknown interval never downloads once a last date exists.
    info.setCurrencyUpdateInterval(9);
    EXPECT_FALSE(info.currencyUpdateDue(twLocal(2000, 1, 1), now));
}
