// The business-information sheet: the record alone when the periods are
// untouched, new periods numbered above the old ones, and a failure half way
// leaving periods and record as they were.

#include "TWRecordTestSupport.h"

#include <sqlite3.h>

class BusinessInfoEditTest : public TWRecordTest
{
protected:
    void SetUp() override
    {
        TWRecordTest::SetUp();
        TWAppRegistry::registry().setBusinessInfoFactory([this](QObject *parent) {
            form = new TWFakeBusinessInfoForm(parent);
            return form;
        });
    }

    static QList<qint32> periodIdentifiers(const TWBusinessInfo &info)
    {
        QList<qint32> identifiers;
        for (const TWAccountingPeriodPtr &period : info.accountingPeriods())
            identifiers.append(period->identifier());
        std::sort(identifiers.begin(), identifiers.end());
        return identifiers;
    }

    // The periods as the file holds them.
    static QList<qint32> storedPeriodIdentifiers(TWBusiness &business)
    {
        EXPECT_OK(business.loadBusinessInfo());
        EXPECT_OK(business.loadAccountingPeriods());
        return periodIdentifiers(*business.businessInfo());
    }

    void save(TWBusinessController &document)
    {
        document.endSheet(form->view(), -1002);
        settle();
    }

    TWFakeBusinessInfoForm *form = nullptr;
};

TEST_F(BusinessInfoEditTest, AFailedPeriodLeavesPeriodsAndRecordAsTheyWere)
{
    auto document = windowDocument();
    TWBusiness &business = *document->business();
    const QString name = business.businessInfo()->name();
    const QList<qint32> before = periodIdentifiers(*business.businessInfo());
    document->doBusiness();
    ASSERT_TRUE(form && form->info);
    form->info->setName(QStringLiteral("Renamed Firm"));
    TWAccountingPeriodList periods = form->info->accountingPeriods();
    periods.append(TWAccountingPeriod::accountingPeriodWithName(
        QStringLiteral("next"), QDate(2040, 1, 1).startOfDay(), QDate(2040, 12, 31).startOfDay(),
        false, 0));
    form->info->setAccountingPeriods(periods);
    form->dirty = true;
    {
        TWDenyGuard deny(business, SQLITE_INSERT, "accountingPeriods");
        save(*document);
    }
    ASSERT_EQ(prompts.errors.size(), 1);
    EXPECT_EQ(business.businessInfo()->name(), name);
    EXPECT_EQ(periodIdentifiers(*business.businessInfo()), before);
    EXPECT_EQ(storedPeriodIdentifiers(business), before);
    EXPECT_EQ(business.businessInfo()->name(), name);
}
