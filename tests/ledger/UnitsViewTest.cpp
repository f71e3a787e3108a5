// The units view: sections, search narrowing, sorting, favourites, the
// context menu and deleting custom units only when nothing uses them.

#include "TWUnitsTestSupport.h"

#include "ledger/TWLedger.h"
#include "ledger/TWUnitController.h"
#include "ledger/TWUnitsController.h"
#include "ledger/TWUnitsModel.h"

#include "app/TWMasterController.h"

#include "model/TWBudgetItem.h"

#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTableView>

namespace
{

class UnitsViewTest : public TWUnitsTest
{
protected:
    void SetUp() override
    {
        TWUnitsTest::SetUp();
        controller = std::make_unique<TWUnitsController>();
        controller->setBusinessController(document.get());
        controller->setBusiness(business);
        controller->view();
        controller->update();
    }
    void TearDown() override
    {
        controller.reset();
        TWUnitsTest::TearDown();
    }

    TWUnitsModel &model() const { return *controller->model(); }
    QStringList listedCodes() const
    {
        QStringList codes;
        for (int row = 0; row < model().rowCount(); ++row)
            if (const TWUnitPtr unit = model().unitForRow(row))
                codes.append(unit->code());
        return codes;
    }
    void select(const TWUnitPtr &unit) { controller->selectUnit(unit); }

    std::unique_ptr<TWUnitsController> controller;
};

} // namespace

TEST_F(UnitsViewTest, TypingFurtherNarrowsAndDeletingBackRebuilds)
{
    controller->search(QStringLiteral("E"));
    const QStringList afterE = listedCodes();
    EXPECT_TRUE(afterE.contains("EUR"));
    // A unit added meanwhile shows only once the list is rebuilt from the store.
    customUnit(QStringLiteral("EUX"), QStringLiteral("Eurobond"));
    controller->search(QStringLiteral("EU"));
    EXPECT_TRUE(listedCodes().contains("EUR"));
    EXPECT_FALSE(listedCodes().contains("EUX"));
    EXPECT_LT(listedCodes().size(), afterE.size());
    controller->search(QStringLiteral("E"));
    EXPECT_TRUE(listedCodes().contains("EUX"));

    controller->search(QStringLiteral("zzzz nothing"));
    EXPECT_EQ(model().rowCount(), 0);
}

TEST_F(UnitsViewTest, LastUpdatedSortsByTheDateNotItsText)
{
    TWUnitPtr april = customUnit(QStringLiteral("AAA"), QStringLiteral("April"));
    TWUnitPtr may = customUnit(QStringLiteral("BBB"), QStringLiteral("May"));
    TWUnitPtr never = customUnit(QStringLiteral("CCC"), QStringLiteral("Never"));
    april->setLastUpdatedDate(twLocal(2026, 4, 1));
    may->setLastUpdatedDate(twLocal(2025, 5, 1));
    controller->setSort(TWUnitsModel::LastUpdated, Qt::AscendingOrder);
    TWUnitList custom = model().sections()[2];
    ASSERT_EQ(custom.size(), 3);
    EXPECT_EQ(custom.at(0), never);
    EXPECT_EQ(custom.at(1), may);
    EXPECT_EQ(custom.at(2), april);
    controller->setSort(TWUnitsModel::LastUpdated, Qt::DescendingOrder);
    EXPECT_EQ(model().sections()[2].first(), april);
}

TEST_F(UnitsViewTest, FavouriteTickSurvivesSaveAndReopen)
{
    const TWUnitPtr eur = plainCurrency();
    ASSERT_TRUE(eur);
    const QModelIndex box = model().index(model().rowForUnit(*eur), TWUnitsModel::Favourite);
    ASSERT_TRUE(model().setData(box, Qt::Checked, Qt::CheckStateRole));
    EXPECT_TRUE(eur->favourite());
    EXPECT_TRUE(document->isDocumentEdited());

    const QString path = dir.filePath("Favourite.tallyworth");
    ASSERT_OK(business->writeToURL(QUrl::fromLocalFile(path), TWSaveOperationSaveAs));
    TWErrorResult error;
    auto reopened = TWBusiness::businessWithURL(QUrl::fromLocalFile(path), false, &error);
    ASSERT_TRUE(reopened);
    EXPECT_TRUE(reopened->unitWithCode(eur->code())->favourite());
}

TEST_F(UnitsViewTest, OnlyCustomUnitsCanBeDeleted)
{
    TWUnitPtr widgets = customUnit(QStringLiteral("WDG"));
    controller->update();
    select(business->unitWithCode("EUR"));
    EXPECT_FALSE(controller->canDeleteUnit(false));
    EXPECT_FALSE(controller->tableViewDelete(controller->tableView()));
    EXPECT_TRUE(alerts.isEmpty());

    // The context menu of a currency offers no deletion; of a custom unit it does.
    QTableView *table = controller->tableView();
    const auto menuTitles = [&](const TWUnitPtr &unit) {
        const int row = model().rowForUnit(*unit);
        const QPoint point = table->visualRect(model().index(row, 1)).center();
        std::unique_ptr<QMenu> menu(controller->tableViewMenu(controller->tableView(), point));
        QStringList titles;
        for (QAction *action : menu->actions())
            titles.append(action->text());
        return titles;
    };
    table->resize(900, 20000);
    EXPECT_EQ(menuTitles(business->unitWithCode("EUR")),
              QStringList({TWLocalized("newUnit"), TWLocalized("editUnit")}));
    EXPECT_EQ(menuTitles(widgets), QStringList({TWLocalized("newUnit"), TWLocalized("editUnit"),
                                                TWLocalized("deleteUnit")}));
    EXPECT_TRUE(controller->canDeleteUnit(true));

    // Unused: it goes.
    select(widgets);
    ASSERT_TRUE(controller->tableViewDelete(controller->tableView()));
    EXPECT_EQ(alerts, QStringList({TWLocalized("deleteUnitMessage")}));
    EXPECT_FALSE(business->unitWithCode("WDG"));
    EXPECT_EQ(model().rowForUnit(*widgets), -1);
    EXPECT_TRUE(document->isDocumentEdited());
}

TEST_F(UnitsViewTest, UnitInUseIsKeptWithItsCounts)
{
    TWUnitPtr widgets = customUnit(QStringLiteral("WDG"));
    ASSERT_FALSE(business->accounts().isEmpty());
    business->accounts().first()->setUnit(widgets);
    for (int i = 0; i < 2; ++i)
        ASSERT_OK(business->addBudgetItem(
            TWBudgetItem::budgetItemWithItemType(TWItemTypeAccount, 1, 100, widgets,
                                                 twLocal(2026, 1, 1), 1, TWBudgetCycleUnitMonth,
                                                 false, business->nextBudgetItemsIdentifier()),
            false));
    controller->update();
    select(widgets);
    controller->deleteUnit(false);
    ASSERT_EQ(alerts.size(), 2);
    EXPECT_EQ(alerts.last(),
              TWLocalized("deleteUnitInUseMessage").arg(1).arg(0).arg(0).arg(0).arg(2));
    EXPECT_TRUE(business->unitWithCode("WDG"));

    // Cancelling the question counts nothing and deletes nothing.
    alerts.clear();
    alertAnswer = 1001;
    controller->deleteUnit(false);
    EXPECT_EQ(alerts, QStringList({TWLocalized("deleteUnitMessage")}));
}

TEST_F(UnitsViewTest, NewUnitIsSelectedAfterSaveEvenWhenASearchHidIt)
{
    controller->search(QStringLiteral("EUR"));
    controller->newUnit();
    TWUnitController *sheet = controller->unitController();
    ASSERT_TRUE(sheet);
    ASSERT_TRUE(document->hasAttachedSheet());
    sheet->newCodeTextField()->setText(QStringLiteral("QQQ"));
    sheet->nameTextField()->setText(QStringLiteral("Quills"));
    sheet->saveButton()->click();
    settle();
    EXPECT_TRUE(controller->searchString().isEmpty());
    ASSERT_TRUE(controller->selectedUnit());
    EXPECT_EQ(controller->selectedUnit()->code(), "QQQ");
    EXPECT_EQ(controller->selectedUnit()->type(), quint32(TWUnitTypeCustom));
}

TEST_F(UnitsViewTest, FailedRefreshSaysWhyAndHidesTheProgress)
{
    // No quote service is set in the tests' preferences.
    controller->refresh();
    settle();
    EXPECT_FALSE(document->progressWindow());
    EXPECT_EQ(alerts, QStringList({TWLocalized("error")}));
    EXPECT_EQ(informative, QStringList({TWLocalized("exchangeRateServiceMissing")}));
}
