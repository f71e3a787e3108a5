// The record commands of the document: where new records land, the
// transaction editor's guards and hand-over, and the routing of the
// transaction commands.

#include "TWRecordTestSupport.h"
#include "app/TWFilterInfoController.h"
#include "app/TWGroupInfoController.h"

#include <sqlite3.h>

class RecordCommandsTest : public TWRecordTest
{
protected:
    void SetUp() override
    {
        TWRecordTest::SetUp();
        registerRecordingViews();
    }

    // Saves the new-group sheet with a name.
    void saveNewGroup(TWBusinessController &document, const QString &name)
    {
        auto *editor = qobject_cast<TWGroupInfoController *>(
            document.newInfoController(TWItemTypeAccountGroup));
        ASSERT_TRUE(editor);
        editor->nameTextField()->setText(name);
        editor->doSave(1);
        settle();
    }
    void saveNewFilter(TWBusinessController &document, const QString &name)
    {
        auto *editor =
            qobject_cast<TWFilterInfoController *>(document.newInfoController(TWItemTypeFilter));
        ASSERT_TRUE(editor);
        editor->nameTextField()->setText(name);
        editor->doSave(1);
        settle();
    }
    static TWItemPtr findNamed(const QList<TWFilterPtr> &list, const QString &name)
    {
        for (const auto &item : list)
            if (item->name() == name)
                return item;
        return nullptr;
    }
    static TWItemPtr findNamed(const QList<TWGroupPtr> &list, const QString &name)
    {
        for (const auto &item : list)
            if (item->name() == name)
                return item;
        return nullptr;
    }
    TWItemPtr selectedRecord(TWBusinessController &document)
    {
        const TWMasterItemPtr node = master(document).selectedMasterItem();
        return node ? node->item() : nullptr;
    }
};

TEST_F(RecordCommandsTest, CancelChangesNothingAndAStoreErrorSelectsNothing)
{
    auto document = windowDocument();
    TWBusiness &business = *document->business();
    select(*document, TWMasterItemFiltersHeader);
    const qsizetype groups = business.filterGroups().size();
    document->newGroup(TWItemTypeFilterGroup);
    auto *editor =
        qobject_cast<TWGroupInfoController *>(document->newInfoController(TWItemTypeFilterGroup));
    ASSERT_TRUE(editor);
    editor->cancelButton()->click();
    settle();
    EXPECT_EQ(business.filterGroups().size(), groups);
    EXPECT_FALSE(document->hasAttachedSheet());

    document->newGroup(TWItemTypeFilterGroup);
    editor->nameTextField()->setText(QStringLiteral("Refused"));
    {
        TWDenyGuard deny(business, SQLITE_INSERT, "groups");
        editor->doSave(1);
        settle();
    }
    EXPECT_EQ(business.filterGroups().size(), groups);
    EXPECT_EQ(prompts.errors.size(), 1);
    EXPECT_EQ(master(*document).selectedMasterItem()->type(), quint32(TWMasterItemFiltersHeader));
}

TEST_F(RecordCommandsTest, ASaveWithoutSavedSelectsNothing)
{
    TWAccountPtr one;
    TWAccountPtr two;
    auto document = windowDocument([&](TWBusiness &b) {
        one = addAccount(b, "One");
        two = addAccount(b, "Two");
    });
    select(*document, TWMasterItemEntity, TWItemTypeAccount, one->identifier());
    document->newTransaction(false);
    ASSERT_TRUE(transactionEditor);
    EXPECT_EQ(transactionEditor->mode(), 0);
    EXPECT_EQ(transactionEditor->given->account1Identifier(), one->identifier());
    document->endSheet(transactionEditor->view(), -1002);
    settle();
    EXPECT_TRUE(recordingRegister->selections.isEmpty());

    document->newTransaction(true);
    EXPECT_EQ(transactionEditor->mode(), 1);
    transactionEditor->wasSaved = true;
    document->endSheet(transactionEditor->view(), -1002);
    settle();
    ASSERT_EQ(recordingRegister->selections.size(), 1);
    EXPECT_EQ(recordingRegister->selections.first().first(), transactionEditor->edited);

    // Cancelled: nothing.
    document->newTransaction(false);
    transactionEditor->wasSaved = true;
    document->endSheet(transactionEditor->view(), -1001);
    settle();
    EXPECT_EQ(recordingRegister->selections.size(), 1);
}
