#pragma once
// Fixture of the budget view and budget line sheet suites: a document whose
// chart has nested groups, budget lines of every kind and transactions in
// their cycles, the clock pinned to Wednesday 18 March 2026, and alerts
// recorded (and answered) instead of shown.
//
// The chart in master-list order (indent):
//   Checking (0)  no line
//   Costs (0)     group, 2,000.00 from 1 Jan, no cycle
//     Rent (1)    1,000.00 a month from 1 Jan
//     Travel (1)  group, 80.00 a month from 1 Mar
//       Meals (2) 100.00 a week from Mon 2 Mar, rollover
//       Taxi (2)  no line
//   Sales (0)     no line

#include "TWAppTestSupport.h"
#include "TWTransactionTestSupport.h"

#include "app/TWAlert.h"

#include "model/TWAccount.h"
#include "model/TWBudgetItem.h"
#include "model/TWGroup.h"

#include <QCoreApplication>

class TWBudgetTest : public TWAppTest
{
protected:
    enum : qint32 {
        kCosts = 100,
        kTravel = 101,
        kChecking = 200,
        kRent = 201,
        kMeals = 202,
        kTaxi = 203,
        kSales = 204,
    };

    void SetUp() override
    {
        TWAppTest::SetUp();
        document = std::make_unique<TWBusinessController>();
        TWBusinessInfoPtr info = TWBusinessInfo::newBusinessInfo();
        info->setName(QStringLiteral("Budget Firm"));
        info->setCreateDefaultAccounts(false);
        ASSERT_OK(document->createWithBusinessInfo(info));
        business = document->business();
        ASSERT_EQ(business->homeUnit()->code(), QStringLiteral("USD"));
        ASSERT_OK(business->setSortBy(0));

        group(kCosts, "Costs", 0);
        group(kTravel, "Travel", kCosts);
        account(kChecking, "Checking", 0, TWAccountTypeBank);
        account(kRent, "Rent", kCosts, TWAccountTypeExpense);
        account(kMeals, "Meals", kTravel, TWAccountTypeExpense);
        account(kTaxi, "Taxi", kTravel, TWAccountTypeExpense);
        account(kSales, "Sales", 0, TWAccountTypeIncome);

        line(1, TWItemTypeAccountGroup, kCosts, 200000, twDay(2026, 1, 1), 0, TWBudgetCycleUnitNone,
             false);
        line(2, TWItemTypeAccount, kRent, 100000, twDay(2026, 1, 1), 1, TWBudgetCycleUnitMonth,
             false);
        line(3, TWItemTypeAccountGroup, kTravel, 8000, twDay(2026, 3, 1), 1, TWBudgetCycleUnitMonth,
             false);
        line(4, TWItemTypeAccount, kMeals, 10000, twDay(2026, 3, 2), 1, TWBudgetCycleUnitWeek,
             true);

        spend(1, twDay(2026, 3, 5), kRent, 50000);
        spend(2, twDay(2026, 3, 3), kMeals, 4000);
        spend(3, twDay(2026, 3, 17), kMeals, 6000);
        spend(4, twDay(2026, 2, 10), kTaxi, 10000);

        document->updateChangeCount(2);
        twSetAlertPresenter([this](const TWAlert &alert, TWAlertCompletion completion) {
            alerts.append(alert.message);
            alertButtons.append(alert.buttons);
            if (completion)
                completion(alertAnswer);
        });
    }
    void TearDown() override
    {
        twSetAlertPresenter({});
        document.reset();
        TWAppTest::TearDown();
    }

    void group(qint32 identifier, const char *name, qint32 parent)
    {
        ASSERT_OK(
            business->addGroup(TWGroup::groupWithIdentifier(identifier, TWItemTypeAccountGroup,
                                                            QString::fromLatin1(name), parent, 0,
                                                            QColor(Qt::darkCyan), true),
                               false));
    }
    void account(qint32 identifier, const char *name, qint32 parent, TWAccountType type)
    {
        ASSERT_OK(business->addAccount(
            TWAccount::accountWithIdentifier(identifier, QString::fromLatin1(name), parent, 0, type,
                                             QString(), QImage(), business->homeUnit(), QString()),
            false));
    }
    void line(qint32 identifier, qint32 type, qint32 item, qint64 total, const QDateTime &start,
              std::uint32_t cycle, std::uint32_t cycleUnit, bool rollover)
    {
        ASSERT_OK(business->addBudgetItem(
            TWBudgetItem::budgetItemWithItemType(type, item, total, business->homeUnit(), start,
                                                 cycle, cycleUnit, rollover, 100 + identifier),
            false));
    }
    // An expense paid from Checking.
    void spend(qint32 identifier, const QDateTime &date, qint32 account, qint64 total)
    {
        ASSERT_OK(business->addTransaction(
            twMakeTransaction(*business, 1000 + identifier, date, account, kChecking, total), false,
            false, false, false));
    }

    TWBudgetItemPtr storedLine(qint32 type, qint32 item) const
    {
        return business->budgetItemWithType(type, item);
    }

    // Lets queued sheet completions run.
    static void settle()
    {
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
    }

    TWFixedClock clock{2026, 3, 18};
    std::unique_ptr<TWBusinessController> document;
    TWBusiness *business = nullptr;
    QStringList alerts;
    QList<QStringList> alertButtons;
    int alertAnswer = 1000;
};
