// What the source list's rows show beside their names over a real store:
// amounts in the right unit, the owe and overdue colours, the manage
// entries' words and counts, and the summary panel under the list.

#include "TWWindowTestSupport.h"

#include "TWIconCellView.h"
#include "TWMasterTotals.h"

#include "TWBuiltInFields.h"
#include "TWClock.h"
#include "TWFormatter.h"
#include "TWStoreTestSupport.h"

#include <QSplitter>

namespace
{

class SourceListRowsTest : public TWWindowTest
{
protected:
    void SetUp() override
    {
        TWWindowTest::SetUp();
        TWPreferences &preferences = TWPreferences::preferences();
        preferences.setOverdueColour(QColor(200, 0, 0));
        preferences.setOweColour(QColor(0, 0, 200));
    }

    static QString detail(TWMasterController &list, quint32 type, quint32 kind = 0, qint32 id = 0)
    {
        const TWMasterItemPtr node = list.masterItemWithType(type, kind, id);
        EXPECT_TRUE(node) << type << " " << kind << " " << id;
        return node ? list.model()
                          ->data(list.model()->indexOf(node.get()), TWIconCellDetailRole)
                          .toString()
                    : QString();
    }
    static QString money(TWBusiness &b, qint64 value, const TWUnitPtr &unit)
    {
        return TWMasterTotals::rowAmount(value, unit.get(), b);
    }
};

// A foreign account shows its own unit; its group adds everything below in
// the home unit; negative amounts stand in brackets.
// Group and filter rows are computed together in one pass; they must agree
// with the store's own totals, also where filters overlap and for splits.
TEST_F(SourceListRowsTest, GroupAndFilterTotalsAgreeWithTheStore)
{
    TWGroupPtr outer, inner, filters;
    TWFilterPtr byAccount, byDate, byPayee;
    auto document = windowDocument([&](TWBusiness &b) {
        outer = addGroup(b, TWItemTypeAccountGroup, QStringLiteral("Outer"), 0, true);
        inner =
            addGroup(b, TWItemTypeAccountGroup, QStringLiteral("Inner"), outer->identifier(), true);
        const TWAccountPtr bank = addAccount(b, QStringLiteral("Bank"), outer->identifier());
        const TWAccountPtr card =
            addAccount(b, QStringLiteral("Card"), inner->identifier(), QStringLiteral("USD"), 9);
        const TWAccountPtr sales =
            addAccount(b, QStringLiteral("Sales"), 0, QStringLiteral("USD"), 15);
        addTransaction(b, bank, sales, 1000);
        addTransaction(b, card, bank, 300)->setPayee(QStringLiteral("Shop"));
        // A split: 500 into the bank, 200 and 300 out of sales and the card.
        TWTransactionPtr split = TWTransaction::transactionWithBusiness(b);
        split->setUnit(b.homeUnit());
        split->setHasSplit(true);
        const auto line = [&](const TWAccountPtr &account, qint64 amount) {
            return TWSplit::splitWithIdentifier(0, QString(), account->identifier(), amount, amount,
                                                amount, 0, 0, b.homeUnit());
        };
        split->setSplits({line(bank, 500), line(sales, -200), line(card, -300)});
        ASSERT_FALSE(b.addTransaction(split, false, false, false, false));

        filters = addGroup(b, TWItemTypeFilterGroup, QStringLiteral("Mine"), 0, true);
        const auto filter = [&](const QString &name, const TWFilterCriteriaPtr &rule) {
            const TWFilterPtr made = TWFilter::filterWithIdentifier(
                b.nextFilterIdentifier(), name, filters->identifier(), 0,
                TWFilterCriteria::filterCriteriaCompoundWithMatch(TWFilterMatchAll, {rule}));
            EXPECT_FALSE(b.addFilter(made, false));
            return made;
        };
        TWFilterCriteriaPtr account =
            TWFilterCriteria::filterCriteriaWithFieldIdentifier(TWFieldIdentifierAccount1, b);
        account->setValueIdentifier(bank->identifier());
        byAccount = filter(QStringLiteral("Bank"), account);
        byDate =
            filter(QStringLiteral("This month"),
                   TWFilterCriteria::filterCriteriaWithFieldIdentifier(TWFieldIdentifierDate, b));
        byDate->criteria()->childCriteria().first()->setValueIdentifier(TWFilterPeriodThisMonth);
        TWFilterCriteriaPtr payee =
            TWFilterCriteria::filterCriteriaWithFieldIdentifier(TWFieldIdentifierPayee, b);
        payee->setValueText(QStringLiteral("Shop"));
        byPayee = filter(QStringLiteral("Shop"), payee);
    });
    TWMasterController &list = master(*document);
    TWBusiness &b = *document->business();
    const auto accountsBelow = [&](const TWGroupPtr &group) {
        return twItemsAs<TWAccount>(
            list.masterItemWithType(5, TWItemTypeAccountGroup, group->identifier())
                ->childItemsOfType(TWItemTypeAccount)
                .value_or(TWItemList()));
    };
    for (const TWGroupPtr &group : {outer, inner})
        EXPECT_EQ(detail(list, 5, TWItemTypeAccountGroup, group->identifier()),
                  money(b, b.transactionHomeTotalWithAccounts(accountsBelow(group)), b.homeUnit()))
            << group->name().toStdString();
    for (const TWFilterPtr &filter : {byAccount, byDate, byPayee})
        EXPECT_EQ(detail(list, 5, TWItemTypeFilter, filter->identifier()),
                  money(b, b.transactionHomeTotalWithFilters({filter}), b.homeUnit()))
            << filter->name().toStdString();
    const qint64 all = b.transactionHomeTotalWithFilters({byAccount, byDate, byPayee});
    EXPECT_EQ(all, 1000 + 300 + 500);
    EXPECT_EQ(detail(list, 5, TWItemTypeFilterGroup, filters->identifier()),
              money(b, all, b.homeUnit()));
}

// Collapsing the panel is remembered: the next window of the business opens
// without it.
TEST_F(SourceListRowsTest, CollapsingTheSummaryIsRemembered)
{
    auto document = windowDocument();
    TWBusiness &b = *document->business();
    EXPECT_TRUE(b.showSummary());
    EXPECT_FALSE(master(*document).summaryCollapsed());
    TWSummarySplitter *splitter = master(*document).summarySplitter();
    QTest::mouseDClick(splitter->handle(1), Qt::LeftButton);
    EXPECT_TRUE(master(*document).summaryCollapsed());
    EXPECT_FALSE(b.showSummary());
    EXPECT_FALSE(b.settings().value(QStringLiteral("showSummary"), true).toBool());

    document->initUI();
    QCoreApplication::processEvents();
    EXPECT_TRUE(master(*document).summaryCollapsed());
    // A collapsed panel is moved out of the split view's area.
    const QWidget *panel = master(*document).summaryPanel();
    EXPECT_FALSE(master(*document).summarySplitter()->rect().intersects(panel->geometry()));
}

} // namespace
