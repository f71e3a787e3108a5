// The group and filter editors: what a save makes, what a cancel leaves, the
// copy the filter editor works on and the window following the rows.

#include "TWRecordTestSupport.h"
#include "app/TWFilterEditor.h"
#include "app/TWFilterInfoController.h"
#include "app/TWGroupInfoController.h"

#include <QPushButton>

#include <sqlite3.h>

class GroupFilterInfoTest : public TWRecordTest
{
protected:
    // A controller in a sheet of the document, ready for a new record.
    template <typename Controller>
    void beginNew(TWBusinessController &document, Controller &controller, int *code)
    {
        controller.setMode(0);
        controller.setBusinessController(&document);
        controller.setBusiness(document.business());
        controller.view();
        controller.reset();
        document.beginSheetWithView(controller.view(), false, true,
                                    [code](int returnCode) { *code = returnCode; });
    }
};

TEST_F(GroupFilterInfoTest, CancelInAPopoverLeavesTheRecordAndSavedOff)
{
    auto document = windowDocument();
    TWGroupPtr group = addGroup(*document->business(), TWItemTypeAccountGroup, "Banks");
    TWGroupInfoController controller;
    controller.setMode(1);
    controller.view();
    controller.setGroup(group);
    controller.update();
    controller.nameTextField()->setText(QStringLiteral("Other"));
    controller.doSave(0);
    EXPECT_FALSE(controller.saved());
    EXPECT_EQ(group->name(), QStringLiteral("Banks"));
}

TEST_F(GroupFilterInfoTest, AGroupIdentifierThatCannotBeReadIsShownNotUsed)
{
    auto document = windowDocument();
    TWGroupInfoController controller;
    int code = 0;
    beginNew(*document, controller, &code);
    controller.setType(TWItemTypeAccountGroup);
    {
        // The identifier query is refused: it answers 0.
        TWDenyGuard deny(*document->business(), SQLITE_READ, "groups");
        controller.doSave(1);
    }
    settle();
    EXPECT_EQ(code, -1001);
    EXPECT_FALSE(controller.group());
    ASSERT_EQ(prompts.errors.size(), 1);
    EXPECT_EQ(prompts.errors.first().domain(), TWDatabaseErrorDomain);
}

TEST_F(GroupFilterInfoTest, ACancelledFilterEditKeepsItsCriteria)
{
    auto document = windowDocument();
    TWBusiness &business = *document->business();
    ASSERT_FALSE(business.filters().isEmpty());
    const TWFilterPtr listed = business.filters().first();
    const TWFilterPtr copy = listed->copy();
    const int before = int(TWFilterCriteria::preOrderCriteria(listed->criteria()).size());

    TWFilterInfoController controller;
    controller.setMode(1);
    controller.setBusinessController(document.get());
    controller.setBusiness(&business);
    controller.view();
    controller.setFilter(copy);
    controller.update();
    TWFilterEditor *editor = controller.filterEditor();
    ASSERT_GT(editor->numberOfRows(), 0);
    editor->doAdd(editor->flatCriterion().last());
    controller.doSave(0);
    EXPECT_EQ(int(TWFilterCriteria::preOrderCriteria(listed->criteria()).size()), before);
    EXPECT_EQ(copy->criteria(), listed->criteria());

    // A save hands the edited tree to the copy only.
    controller.update();
    editor->doAdd(editor->flatCriterion().last());
    controller.doSave(1);
    EXPECT_TRUE(controller.saved());
    EXPECT_EQ(int(TWFilterCriteria::preOrderCriteria(copy->criteria()).size()), before + 1);
    EXPECT_EQ(int(TWFilterCriteria::preOrderCriteria(listed->criteria()).size()), before);
}
