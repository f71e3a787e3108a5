// The advanced find sheet: what it offers, what Find stores and shows, what
// Cancel keeps, and the sheet following the rows.

#include "TWRecordTestSupport.h"
#include "app/TWFilterEditor.h"
#include "app/TWMasterController.h"
#include "app/TWSearchController.h"

#include <QPushButton>

class AdvancedFindTest : public TWRecordTest
{
protected:
    static int ruleCount(const TWFilterCriteriaPtr &criteria)
    {
        return int(TWFilterCriteria::preOrderCriteria(criteria).size());
    }
};

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
