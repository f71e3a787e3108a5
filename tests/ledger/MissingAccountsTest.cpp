// The sheet that creates the accounts an import names but the business
// lacks: proposed rows, type and unit choices, create, cancel and refusal.

#include "TWRecordTestSupport.h"
#include "ledger/TWMissingAccountsController.h"
#include "ledger/TWMissingAccountsModel.h"

#include "app/TWListViews.h"
#include "app/TWMasterController.h"
#include "model/TWFormatter.h"

#include <QComboBox>

namespace
{

class MissingAccountsTest : public TWRecordTest
{
protected:
    void SetUp() override
    {
        TWRecordTest::SetUp();
        document = windowDocument();
        business = document->business();
        controller.setBusinessController(document.get());
        controller.setBusiness(business);
        QObject::connect(&controller, &TWEditorController::endRequested,
                         [this](int code) { codes.append(code); });
    }

    void show(const TWAccountList &accounts)
    {
        controller.setAccounts(accounts);
        controller.reset();
    }

    // Picks the menu entry titled `title` in a row's pop-up, as the user would.
    void choose(int row, int column, const QString &title)
    {
        const QModelIndex index = controller.model()->index(row, column);
        TWMissingAccountsDelegate delegate;
        std::unique_ptr<QWidget> editor(
            delegate.createEditor(controller.tableView()->viewport(), {}, index));
        auto *combo = qobject_cast<QComboBox *>(editor.get());
        ASSERT_TRUE(combo);
        delegate.setEditorData(combo, index);
        const int position = combo->findText(title, Qt::MatchStartsWith);
        ASSERT_GE(position, 0) << title;
        combo->setCurrentIndex(position);
        delegate.setModelData(combo, controller.model(), index);
    }

    std::unique_ptr<TWBusinessController> document;
    TWBusiness *business = nullptr;
    TWMissingAccountsController controller;
    QList<int> codes;
};

} // namespace

TEST_F(MissingAccountsTest, TwoNamesAreCreatedInOrderWithTheChosenTypeAndUnit)
{
    const qint32 next = business->nextAccountIdentifier();
    const TWAccountList proposed = TWMissingAccountsController::accountsWithNames(
        *business, {QStringLiteral("Travel"), QStringLiteral("Fees")});
    ASSERT_EQ(proposed.size(), 2);
    EXPECT_EQ(proposed[0]->identifier(), next);
    EXPECT_EQ(proposed[1]->identifier(), next + 1);
    show(proposed);
    TWMissingAccountsModel &model = *controller.model();
    ASSERT_EQ(model.rowCount(), 2);
    EXPECT_EQ(model.index(0, 0).data().toString(), QStringLiteral("Travel"));
    EXPECT_EQ(model.index(1, 1).data().toString(), TWFormatter::formatter().accountTypeString(16));
    EXPECT_EQ(model.index(1, 2).data(Qt::EditRole).toInt(),
              model.units().indexOf(business->homeUnit()));
    // Names are not edited; no mileage unit is offered.
    EXPECT_FALSE(model.flags(model.index(0, 0)) & Qt::ItemIsEditable);
    EXPECT_FALSE(model.setData(model.index(0, 0), 3));
    EXPECT_TRUE(model.flags(model.index(0, 2)) & Qt::ItemIsEditable);
    for (const TWUnitPtr &unit : model.units())
        EXPECT_NE(unit->type(), std::uint32_t(TWUnitTypeMileage)) << unit->code();

    choose(0, TWMissingAccountsModel::TypeColumn, TWFormatter::formatter().accountTypeString(15));
    choose(1, TWMissingAccountsModel::UnitColumn, QStringLiteral("Euro"));
    controller.createButton()->click();
    EXPECT_EQ(codes, QList<int>{-1002});
    EXPECT_TRUE(prompts.errors.isEmpty());

    const TWAccountPtr travel = business->accountWithIdentifier(next);
    const TWAccountPtr fees = business->accountWithIdentifier(next + 1);
    ASSERT_TRUE(travel && fees);
    EXPECT_EQ(travel->name(), QStringLiteral("Travel"));
    EXPECT_EQ(int(travel->accountType()), 15);
    EXPECT_EQ(travel->unit()->code(), business->homeUnit()->code());
    EXPECT_EQ(int(fees->accountType()), 16);
    EXPECT_EQ(fees->unit()->code(), QStringLiteral("EUR"));
    EXPECT_LT(business->accounts().indexOf(travel), business->accounts().indexOf(fees));
    // Both show in the source list.
    EXPECT_TRUE(master(*document).masterItemWithType(TWMasterItemEntity, TWItemTypeAccount, next));
    EXPECT_TRUE(
        master(*document).masterItemWithType(TWMasterItemEntity, TWItemTypeAccount, next + 1));
}

TEST_F(MissingAccountsTest, CancelAddsNone)
{
    const qsizetype before = business->accounts().size();
    show(TWMissingAccountsController::accountsWithNames(*business, {QStringLiteral("Travel")}));
    controller.cancelButton()->click();
    EXPECT_EQ(codes, QList<int>{-1001});
    EXPECT_EQ(business->accounts().size(), before);
}

TEST_F(MissingAccountsTest, ARefusedAccountIsShownAndStopsTheImport)
{
    TWAccountList proposed = TWMissingAccountsController::accountsWithNames(
        *business, {QStringLiteral("Travel"), QStringLiteral("Fees"), QStringLiteral("Tips")});
    ASSERT_EQ(proposed.size(), 3);
    // The second one's number is taken meanwhile: the store refuses it.
    addAccount(*business, QStringLiteral("Taken"));
    const qint32 taken = business->accounts().last()->identifier();
    proposed[1]->setIdentifier(taken);
    show(proposed);
    controller.createButton()->click();
    EXPECT_EQ(codes, QList<int>{-1001});
    EXPECT_EQ(prompts.errors.size(), 1);
    // The first stays; nothing after the refusal was added.
    EXPECT_TRUE(business->accountWithIdentifier(proposed[0]->identifier()));
    EXPECT_EQ(business->accountWithIdentifier(taken)->name(), QStringLiteral("Taken"));
    EXPECT_FALSE(business->accountWithIdentifier(proposed[2]->identifier()));
}
