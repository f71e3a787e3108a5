// The repeats view on a real ledger: the schedules' sort keys, the list of
// items below, the divider, and deleting a schedule alone or with its items.

#include "../store/TWTransactionTestSupport.h"

#include "ledger/TWLedger.h"
#include "ledger/TWRepeatsController.h"
#include "ledger/TWRepeatsModel.h"
#include "ledger/TWTransactionsController.h"

#include "TWDenyGuard.h"
#include "TWTestSupport.h"
#include "app/TWAlert.h"
#include "app/TWAppRegistry.h"
#include "foundation/TWLocalized.h"
#include "store/TWClosedRefusals.h"

#include <QCoreApplication>
#include <QHeaderView>
#include <QMenu>
#include <QRandomGenerator>
#include <QSplitter>

#include <gtest/gtest.h>

namespace
{

class RepeatsViewFixture : public ::testing::Test
{
protected:
    void SetUp() override
    {
        TWAppRegistry::registry().reset();
        twRegisterLedger();
        business = twMakeLedger();
        ASSERT_TRUE(business);
        twSetAlertPresenter([this](const TWAlert &alert, TWAlertCompletion completion) {
            alerts.append(alert.message);
            if (completion)
                completion(answers.isEmpty() ? 1001 : answers.takeFirst());
        });
    }
    void TearDown() override
    {
        twSetAlertPresenter({});
        controller.reset();
        TWAppRegistry::registry().reset();
    }

    // A stored schedule with `count` transaction items, a month apart from
    // `first`, each with `payee`.
    TWRepeatPtr schedule(int count, const QString &payee = QString(),
                         std::uint32_t unit = TWRepeatIntervalUnitMonth,
                         const QDateTime &first = twDay(2024, 1, 10), std::uint32_t type = 0)
    {
        const TWRepeatPtr repeat = TWRepeat::repeatWithType(type, 1, unit, QDateTime(), true,
                                                            business->nextRepeatIdentifier());
        EXPECT_OK(business->addRepeat(repeat, false));
        for (int i = 0; i < count; ++i) {
            TWTransactionPtr item =
                twMakeTransaction(*business, business->nextTransactionIdentifier(),
                                  first.addMonths(i), kChecking, kSales, 100);
            item->setPayee(payee);
            item->setRepeatIdentifier(repeat->identifier());
            EXPECT_OK(business->addTransaction(item, false, false, false, false));
        }
        return repeat;
    }

    TWRepeatsController &open()
    {
        controller = std::make_unique<TWRepeatsController>();
        controller->setBusiness(business.get());
        QObject::connect(controller.get(), &TWRepeatsController::errorPresented,
                         [this](const TWError &error) { errors.append(error); });
        controller->view()->resize(900, 600);
        controller->update();
        return *controller;
    }

    int itemsOf(const TWRepeatPtr &repeat) const
    {
        return int(business->itemsWithRepeatIdentifier(repeat->identifier()).size());
    }

    TWFixedClock clock{2024, 6, 15};
    std::unique_ptr<TWBusiness> business;
    std::unique_ptr<TWRepeatsController> controller;
    QStringList alerts;
    QList<int> answers;
    QList<TWError> errors;
};

using RepeatsViewSort = RepeatsViewFixture;
using RepeatsViewItems = RepeatsViewFixture;
using RepeatsViewDelete = RepeatsViewFixture;

TWRepeatRow randomRow(QRandomGenerator &random)
{
    TWRepeatRow row;
    const auto pick = [&random](const QStringList &texts) {
        return texts[int(random.bounded(int(texts.size())))];
    };
    row.repeat = TWRepeat::repeatWithType(random.bounded(3), random.bounded(1, 4),
                                          random.bounded(4), QDateTime());
    row.hasItems = random.bounded(4) != 0;
    row.typeName = pick({"Bill", "Invoice", "Transaction", ""});
    row.payee = pick({"", "", "Acme", "acme", "Zed"});
    row.description = pick({"", "rent", "Rent"});
    row.account1 = pick({"", "Cash", "Bank", "Split"});
    row.account2 = pick({"", "Cash", "Sales"});
    row.debit = random.bounded(3) * 500;
    row.credit = random.bounded(3) * 250;
    row.itemCount = random.bounded(4);
    if (random.bounded(3) != 0)
        row.nextDate = twDay(2024, random.bounded(1, 4), random.bounded(1, 4));
    return row;
}

} // namespace

TEST_F(RepeatsViewSort, EveryKeyIsAStrictWeakOrderingBothWays)
{
    QRandomGenerator random(2024);
    QList<TWRepeatRow> rows;
    for (int i = 0; i < 25; ++i)
        rows.append(randomRow(random));
    const QStringList keys = {"type",     "payee",    "description", "account1",
                              "account2", "debit",    "credit",      "numberOfItems",
                              "repeats",  "nextItem", "unknown"};
    for (const QString &key : keys) {
        for (const bool ascending : {true, false}) {
            const auto less = [&](const TWRepeatRow &a, const TWRepeatRow &b) {
                const int order = TWRepeatsModel::compareRows(a, b, key);
                return ascending ? order < 0 : order > 0;
            };
            for (const TWRepeatRow &a : rows) {
                EXPECT_FALSE(less(a, a)) << key;
                for (const TWRepeatRow &b : rows) {
                    EXPECT_EQ(TWRepeatsModel::compareRows(a, b, key),
                              -TWRepeatsModel::compareRows(b, a, key))
                        << key;
                    for (const TWRepeatRow &c : rows) {
                        if (less(a, b) && less(b, c)) {
                            EXPECT_TRUE(less(a, c)) << key;
                        }
                        // Incomparability is transitive too.
                        if (!less(a, b) && !less(b, a) && !less(b, c) && !less(c, b)) {
                            EXPECT_TRUE(!less(a, c) && !less(c, a)) << key;
                        }
                    }
                }
            }
        }
    }
}

TEST_F(RepeatsViewItems, TheSelectedSchedulesItemsShowBelowInTheirList)
{
    const TWRepeatPtr three = schedule(3, QStringLiteral("Rent"));
    const TWRepeatPtr bills =
        schedule(0, QString(), TWRepeatIntervalUnitMonth, twDay(2024, 1, 10), TWRepeatTypeBill);
    open();
    controller->view()->show();
    QCoreApplication::processEvents();
    auto *items = qobject_cast<TWTransactionsController *>(controller->itemsRegister());
    ASSERT_TRUE(items);
    EXPECT_EQ(items->mode(), TWRegisterMode::RepeatItems);
    EXPECT_EQ(controller->transactionsController(), items);

    controller->selectRepeat(three);
    ASSERT_TRUE(controller->selectedRepeat());
    EXPECT_EQ(controller->selectedRepeat()->identifier(), three->identifier());
    EXPECT_EQ(items->transactions().size(), 3);
    EXPECT_EQ(controller->splitView()->widget(1), items->view());

    // A bill schedule swaps the lower pane for the merchants view, same size.
    const int lowerHeight = controller->splitView()->sizes().value(1);
    controller->selectRepeat(bills);
    EXPECT_EQ(controller->activeRepeatType(), 2);
    EXPECT_EQ(controller->selectedRepeatKind(), 2);
    ASSERT_TRUE(controller->merchantsView());
    EXPECT_EQ(controller->splitView()->widget(1), controller->merchantsView()->view());
    EXPECT_EQ(controller->splitView()->sizes().value(1), lowerHeight);
    controller->selectRepeat(three);
    EXPECT_EQ(controller->splitView()->widget(1), items->view());
}

TEST_F(RepeatsViewDelete, AloneKeepsTheItemsWithItemsRemovesThem)
{
    const TWRepeatPtr alone = schedule(2, QStringLiteral("Alone"));
    const TWRepeatPtr all = schedule(3, QStringLiteral("All"));
    open();
    EXPECT_FALSE(controller->canDeleteRepeat(false));
    controller->selectRepeat(alone);
    EXPECT_TRUE(controller->canDeleteRepeat(false));
    answers = {1000};
    controller->deleteRepeat(false);
    EXPECT_EQ(alerts, QStringList{TWLocalized("deleteRepeatTitle")});
    EXPECT_FALSE(business->repeatWithIdentifier(alone->identifier()));
    EXPECT_EQ(twQueryInt(*business, "SELECT COUNT(*) FROM transactions WHERE payee = 'Alone';"), 2);
    EXPECT_EQ(controller->model()->rowCount(), 1);

    // From the context menu of a row outside the selection.
    std::unique_ptr<QMenu> menu(controller->contextMenuForRow(0));
    ASSERT_TRUE(menu);
    EXPECT_EQ(controller->contextRows(), QList<int>{0});
    EXPECT_TRUE(controller->canDeleteRepeat(true));
    answers = {1002};
    menu->actions().first()->trigger();
    EXPECT_FALSE(business->repeatWithIdentifier(all->identifier()));
    EXPECT_EQ(twQueryInt(*business, "SELECT COUNT(*) FROM transactions WHERE payee = 'All';"), 0);
    EXPECT_EQ(controller->model()->rowCount(), 0);
    EXPECT_TRUE(errors.isEmpty());
}

TEST_F(RepeatsViewDelete, AClosedItemRefusesDeletingWithItemsAndCancelKeepsAll)
{
    const TWAccountingPeriodPtr year = TWAccountingPeriod::accountingPeriodWithName(
        "2023", twDay(2023, 1, 1), twDay(2023, 12, 31), true, 100);
    business->businessInfo()->setAccountingPeriods({year});
    const TWRepeatPtr repeat =
        schedule(2, QStringLiteral("Old"), TWRepeatIntervalUnitMonth, twDay(2023, 11, 10));
    ASSERT_OK(business->updateTransactionStates());
    open();
    controller->selectRepeat(repeat);
    answers = {1002};
    controller->deleteRepeat(false);
    EXPECT_EQ(
        alerts,
        (QStringList{TWLocalized("deleteRepeatTitle"),
                     TWLocalized("deleteClosedTransaction").arg(twAccountingPeriodText(*year))}));
    EXPECT_TRUE(business->repeatWithIdentifier(repeat->identifier()));
    EXPECT_EQ(itemsOf(repeat), 2);

    answers = {1001};
    controller->deleteRepeat(false);
    EXPECT_TRUE(business->repeatWithIdentifier(repeat->identifier()));
}

TEST_F(RepeatsViewDelete, AStoreErrorIsShownAndNothingGoes)
{
    const TWRepeatPtr repeat = schedule(2, QStringLiteral("Kept"));
    open();
    controller->selectRepeat(repeat);
    answers = {1002};
    {
        TWDenyGuard deny(*business, SQLITE_DELETE, "repeats");
        controller->deleteRepeat(false);
    }
    ASSERT_EQ(errors.size(), 1);
    EXPECT_TRUE(business->repeatWithIdentifier(repeat->identifier()));
    EXPECT_EQ(itemsOf(repeat), 2);
}

TEST(RepeatsViewRegistration, TheDocumentGetsTheRepeatsView)
{
    TWAppRegistry::registry().reset();
    twRegisterLedger();
    std::unique_ptr<TWDetailController> detail(
        TWAppRegistry::registry().makeDetailController(TWDetailRepeats, nullptr));
    EXPECT_TRUE(qobject_cast<TWRepeatsController *>(detail.get()));
    TWAppRegistry::registry().reset();
}

TEST_F(RepeatsViewItems, TheSelectionFollowsItsScheduleWhenTheOrderChanges)
{
    const TWRepeatPtr first = schedule(1, QStringLiteral("First"));
    const TWRepeatPtr second = schedule(2, QStringLiteral("Second"));
    open();
    controller->repeatsTableView()->horizontalHeader()->setSortIndicator(
        TWRepeatsModel::NumberOfItemsColumn, Qt::AscendingOrder);
    controller->selectRepeat(first);
    ASSERT_EQ(controller->selectedRepeat(), first);
    // Two more items put the first schedule below the second.
    for (int i = 0; i < 2; ++i) {
        TWTransactionPtr item = twMakeTransaction(*business, business->nextTransactionIdentifier(),
                                                  twDay(2024, 3 + i, 10), kChecking, kSales, 100);
        item->setRepeatIdentifier(first->identifier());
        ASSERT_OK(business->addTransaction(item, false, false, false, false));
    }
    controller->updateRepeatsAndTransactions();
    ASSERT_EQ(controller->model()->rowOfRepeat(first->identifier()), 1);
    EXPECT_EQ(controller->selectedRepeat(), first);
}
