// The information popover of a source-list record: which editor it holds,
// and that a save stores an edited copy while a cancel or a refused update
// leaves the stored record as it was.

#include "TWRecordTestSupport.h"
#include "app/TWFilterInfoController.h"
#include "app/TWGroupInfoController.h"

#include <sqlite3.h>

class InformationPopoverTest : public TWRecordTest
{
};

TEST_F(InformationPopoverTest, AFailedUpdateIsShownAndTheStoredValuesStay)
{
    TWGroupPtr group;
    auto document = windowDocument(
        [&](TWBusiness &b) { group = addGroup(b, TWItemTypeAccountGroup, "Banks"); });
    select(*document, TWMasterItemEntity, TWItemTypeAccountGroup, group->identifier());
    document->showInspector(false);
    auto *editor = qobject_cast<TWGroupInfoController *>(document->editInfoController(1));
    ASSERT_TRUE(editor);
    editor->nameTextField()->setText(QStringLiteral("Savings"));
    {
        TWDenyGuard deny(*document->business(), SQLITE_UPDATE, "groups");
        editor->doSave(1);
    }
    ASSERT_EQ(prompts.errors.size(), 1);
    const TWGroupPtr stored = document->business()->groupWithIdentifier(group->identifier());
    EXPECT_EQ(stored, group);
    EXPECT_EQ(stored->name(), QStringLiteral("Banks"));
    const TWMasterItemPtr node = master(*document).masterItemWithType(
        TWMasterItemEntity, TWItemTypeAccountGroup, group->identifier());
    ASSERT_TRUE(node);
    EXPECT_EQ(node->item()->name(), QStringLiteral("Banks"));
}
