// The advanced find sheet: what it offers, what Find stores and shows, what
// Cancel keeps, and the sheet following the rows.

#include "TWFilterEditor.h"
#include "TWMasterController.h"
#include "TWRecordTestSupport.h"
#include "TWSearchController.h"

#include <QPushButton>

class AdvancedFindTest : public TWRecordTest
{
protected:
    static int ruleCount(const TWFilterCriteriaPtr &criteria)
    {
        return int(TWFilterCriteria::preOrderCriteria(criteria).size());
    }
};

TEST_F(AdvancedFindTest, FindStoresTheSearchFilterAndSelectsTheResults)
{
    auto document =
        windowDocument([](TWBusiness &b) { addAccount(b, QStringLiteral("Checking")); });
    TWBusiness &b = *document->business();
    document->updateChangeCount(2); // as if just saved
    ASSERT_FALSE(document->isDocumentEdited());
    document->perform(TWAction::doAdvancedFind);
    TWSearchController *search = document->searchController();
    ASSERT_TRUE(search);
    // Unchanged: still stored, still an edit of the document.
    search->findButton()->click();
    settle();
    EXPECT_FALSE(document->hasAttachedSheet());
    const TWFilterPtr stored = b.advancedFindFilter();
    ASSERT_TRUE(stored);
    EXPECT_EQ(stored->identifier(), 0);
    EXPECT_EQ(stored->name(), TWLocalized("searchResults"));
    EXPECT_EQ(ruleCount(stored->criteria()), 2);
    EXPECT_TRUE(document->isDocumentEdited());
    const TWMasterItemPtr selected = master(*document).selectedMasterItem();
    ASSERT_TRUE(selected);
    EXPECT_EQ(selected->type(), quint32(TWMasterItemSearchResults));
    EXPECT_TRUE(document->isMasterSelected(TWMasterSectionSearchResults));

    // A second Find keeps the same filter and stores the edited tree.
    document->perform(TWAction::doAdvancedFind);
    TWFilterEditor *editor = search->filterEditor();
    editor->doAdd(editor->flatCriterion().last());
    search->findButton()->click();
    settle();
    EXPECT_EQ(b.advancedFindFilter(), stored);
    EXPECT_EQ(ruleCount(stored->criteria()), 3);
}

TEST_F(AdvancedFindTest, ALaterFindShowsTheStoredCriteriaAndCancelKeepsThem)
{
    auto document =
        windowDocument([](TWBusiness &b) { addAccount(b, QStringLiteral("Checking")); });
    TWBusiness &b = *document->business();
    document->perform(TWAction::doAdvancedFind);
    TWSearchController *search = document->searchController();
    TWFilterEditor *editor = search->filterEditor();
    editor->doAdd(editor->flatCriterion().last());
    search->findButton()->click();
    settle();
    const TWFilterCriteriaPtr stored = b.advancedFindFilter()->criteria();
    ASSERT_EQ(ruleCount(stored), 3);

    document->perform(TWAction::doAdvancedFind);
    EXPECT_EQ(editor->numberOfRows(), 3);
    // The editor works on a copy.
    EXPECT_NE(editor->criteria(), stored);
    editor->doAdd(editor->flatCriterion().last());
    editor->doAdd(editor->flatCriterion().last());
    search->cancelButton()->click();
    settle();
    EXPECT_EQ(b.advancedFindFilter()->criteria(), stored);
    EXPECT_EQ(ruleCount(stored), 3);
}
