#include "TWStoreTestSupport.h"
#include "TWTestSupport.h"
#include "model/TWBuiltInFields.h"
#include "store/TWBusiness.h"
#include "store/TWTransactionSearch.h"

#include <gtest/gtest.h>

namespace
{

TWFilterCriteriaPtr simple(qint32 field, quint32 match, quint32 valueType)
{
    return TWFilterCriteria::filterCriteriaWithType(TWFilterCriteriaTypeSimple, field, match,
                                                    valueType, 0, QString(), false, 0, 0.0,
                                                    QDateTime(), 0, 0.0f);
}

TWFilterCriteriaPtr compound(quint32 match, const TWFilterCriteriaList &children = {})
{
    return TWFilterCriteria::filterCriteriaCompoundWithMatch(match, children);
}

TWFilterPtr makeFilter(qint32 identifier, const QString &name, const TWFilterCriteriaPtr &root,
                       qint32 parent = 0)
{
    return TWFilter::filterWithIdentifier(identifier, name, parent, 0, root);
}

TWTransactionPtr transaction(const QDateTime &date, bool cleared = true, qint32 repeat = 0)
{
    return TWTransaction::transactionWithIdentifier(
        150, 0, 0, QStringLiteral("Shop"), QString(), 100, 101, date, 500, 500, 500, 500, 0, 0,
        nullptr, false, repeat, {}, cleared, QString(), false, {}, date, date);
}

// "identifier/parent/sortOrder" of each stored row of a filter, by identifier.
QString storedShape(TWBusiness &business, qint32 filter)
{
    return twQueryText(business,
                       QStringLiteral("SELECT group_concat(identifier || '/' || parentIdentifier "
                                      "|| '/' || sortOrder, ' ') FROM (SELECT * FROM "
                                      "filterCriterion WHERE filterIdentifier=%1 ORDER BY "
                                      "identifier);")
                           .arg(filter))
        .value_or(QString());
}

void reload(TWBusiness &business)
{
    ASSERT_OK(business.loadFiltersAll());
}

} // namespace

TEST(Filters, AFailedSaveLeavesRowsListAndTreeAsTheyWere)
{
    auto business = twMakeBusiness();
    ASSERT_TRUE(business);
    auto oldRoot = compound(TWFilterMatchAll, {simple(-2, 3, 2), simple(-9, 3, 2)});
    const TWFilterPtr original = makeFilter(100, "Old", oldRoot);
    ASSERT_OK(business->addFilter(original, false));
    const auto before = storedShape(*business, 100);
    twExec(*business, "CREATE TRIGGER refuse BEFORE INSERT ON filterCriterion WHEN "
                      "NEW.identifier = 102 BEGIN SELECT RAISE(ABORT, 'refused'); END;");

    TWNotificationRecorder recorder(business.get());
    auto newRoot =
        compound(TWFilterMatchAny, {simple(-2, 3, 2), simple(-5, 5, 1), simple(-9, 3, 2)});
    for (const TWFilterCriteriaPtr &node : TWFilterCriteria::preOrderCriteria(newRoot))
        node->setSortOrder(9);
    const TWFilterPtr replacement = makeFilter(100, "New", newRoot);
    EXPECT_TRUE(business->updateFilter(replacement, true));
    EXPECT_EQ(storedShape(*business, 100), before);
    EXPECT_EQ(twQueryText(*business, "SELECT name FROM filters WHERE identifier=100;"), "Old");
    EXPECT_EQ(business->filters(), TWFilterList{original});
    // The numbering written into the tree is taken back as well.
    for (const TWFilterCriteriaPtr &node : TWFilterCriteria::preOrderCriteria(newRoot)) {
        EXPECT_EQ(node->identifier(), 0u);
        EXPECT_EQ(node->sortOrder(), 9u);
    }

    // An add that fails in its criteria leaves no filter row behind.
    EXPECT_TRUE(business->addFilter(makeFilter(101, "Other", newRoot), true));
    EXPECT_EQ(twQueryInt(*business, "SELECT COUNT(*) FROM filters WHERE identifier=101;"), 0);
    EXPECT_FALSE(business->filterWithIdentifier(101));
    EXPECT_TRUE(recorder.names().isEmpty());

    // The update then moves the new object to the end of the list.
    twExec(*business, "DROP TRIGGER refuse;");
    ASSERT_OK(business->addFilter(makeFilter(101, "Other", compound(0)), false));
    ASSERT_OK(business->updateFilter(replacement, true));
    EXPECT_EQ(business->filters(),
              (TWFilterList{business->filterWithIdentifier(101), replacement}));
    EXPECT_EQ(storedShape(*business, 100), "100/0/9 101/100/0 102/100/1 103/100/2");
    EXPECT_EQ(recorder.names(), QStringList{TWFilterUpdateNotification});
}

TEST(Filters, DamagedTreesLoadWithoutTheRowsThatCannotBeReached)
{
    auto business = twMakeBusiness();
    ASSERT_TRUE(business);
    twExec(*business, "INSERT INTO filters (identifier, name, parentIdentifier, sortOrder) VALUES "
                      "(100, 'Damaged', 0, 0), (101, 'Rootless', 0, 0);");
    // Rows that loop, a missing parent, a self-parent and a second row 101.
    twExec(*business,
           "INSERT INTO filterCriterion (identifier, parentIdentifier, filterIdentifier, "
           "fieldIdentifier, sortOrder, match, valueType, valueInteger) VALUES "
           "(100, 0, 100, 0, 0, 0, 0, NULL), (101, 100, 100, -2, 1, 3, 2, 1), "
           "(0, 100, 100, 0, 0, 1, 0, NULL), (102, 103, 100, -2, 0, 3, 2, 1), "
           "(103, 102, 100, 0, 0, 0, 0, NULL), (104, 999, 100, -2, 0, 3, 2, 1), "
           "(105, 105, 100, 0, 0, 0, 0, NULL), (101, 100, 100, -9, 2, 3, 2, 1), "
           "(100, 101, 101, -2, 0, 3, 2, 1), (101, 100, 101, 0, 0, 0, 0, NULL);");
    reload(*business);

    const TWFilterCriteriaPtr root = business->filterWithIdentifier(100)->criteria();
    ASSERT_TRUE(root);
    const TWFilterCriteriaList nodes = TWFilterCriteria::preOrderCriteria(root);
    QList<quint32> identifiers;
    for (const TWFilterCriteriaPtr &node : nodes)
        identifiers.append(node->identifier());
    EXPECT_EQ(identifiers, (QList<quint32>{100, 0, 101}));
    EXPECT_EQ(nodes[2]->fieldIdentifier(), -2);
    EXPECT_FALSE(twMatchTransaction(*business->filterWithIdentifier(100),
                                    *transaction(twLocal(2024, 1, 1)), *business));
    // A tree whose rows loop among themselves has no root: no criteria.
    EXPECT_FALSE(business->filterWithIdentifier(101)->criteria());
}

TEST(Filters, DeletingAFilterGroupDeletesItsFilters)
{
    auto business = twMakeBusiness();
    ASSERT_TRUE(business);
    const TWGroupPtr group =
        TWGroup::groupWithIdentifier(300, TWItemTypeFilterGroup, "G", 0, 0, QColor(), false);
    ASSERT_OK(business->addGroup(group, false));
    ASSERT_OK(business->addFilter(makeFilter(120, "In", compound(0), 300), false));
    ASSERT_OK(business->addFilter(makeFilter(121, "Out", compound(0)), false));

    twExec(*business, QStringLiteral("CREATE TRIGGER refuse BEFORE DELETE ON filters BEGIN "
                                     "SELECT RAISE(ABORT, 'no'); END;"));
    EXPECT_TRUE(business->deleteGroup(group, true));
    EXPECT_EQ(business->filters().size(), 2);
    EXPECT_TRUE(business->groupWithIdentifier(300));

    twExec(*business, QStringLiteral("DROP TRIGGER refuse;"));
    ASSERT_OK(business->deleteGroup(group, true));
    ASSERT_EQ(business->filters().size(), 1);
    EXPECT_EQ(business->filters().first()->identifier(), 121);
}
