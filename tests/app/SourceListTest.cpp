// The source list over a real store: headers, expansion and selection kept in
// the document's settings, the selection rule, the context menu and deleting.

#include "TWWindowTestSupport.h"

#include "TWDenyGuard.h"
#include "TWStoreTestSupport.h"

#include <QMenu>
#include <QPushButton>

namespace
{

class SourceListTest : public TWWindowTest
{
protected:
    // Confirms (or cancels) the delete question the source list shows.
    static void answerDelete(TWBusinessController &document, bool confirm)
    {
        auto *alert = document.windowForSheet()->findChild<QMessageBox *>(
            QStringLiteral("deleteMasterAlert"));
        ASSERT_TRUE(alert);
        alert
            ->findChild<QPushButton *>(confirm ? QStringLiteral("confirm")
                                               : QStringLiteral("cancel"))
            ->click();
        QCoreApplication::processEvents();
    }
    static int flatRow(TWBusinessController &document, const TWMasterItemPtr &node)
    {
        return master(document).model()->flatRow(node.get());
    }
};

// The group's flag could not be stored: the row goes back to what the file
// keeps, and the error is shown on the window.
TEST_F(SourceListTest, AGroupFlagThatCannotBeStoredIsShownAndUndone)
{
    TWGroupPtr group;
    auto document = windowDocument([&](TWBusiness &b) {
        group = addGroup(b, TWItemTypeAccountGroup, QStringLiteral("Group"), 0, false);
        addAccount(b, QStringLiteral("Inside"), group->identifier());
    });
    TWMasterController &list = master(*document);
    const QModelIndex index = list.model()->indexOf(
        list.masterItemWithType(5, TWItemTypeAccountGroup, group->identifier()).get());
    {
        TWDenyGuard deny(*document->business(), SQLITE_UPDATE, "groups");
        list.outlineView()->expand(index);
    }
    ASSERT_EQ(prompts.errors.size(), 1);
    EXPECT_FALSE(list.outlineView()->isExpanded(index));
    EXPECT_FALSE(document->business()->groupWithIdentifier(group->identifier())->expanded());
}

TEST_F(SourceListTest, StoredSelectionSkipsWhatIsGoneAndFallsBackToTheFirstAccount)
{
    TWAccountPtr first;
    TWClientPtr kept;
    auto document = windowDocument([&](TWBusiness &b) {
        first = addAccount(b, QStringLiteral("Alpha"));
        kept = addClient(b, QStringLiteral("Kept"));
        const TWClientPtr gone = addClient(b, QStringLiteral("Gone"));
        b.setSelectedMasterItemSettings(QVariantList{
            QVariantMap{{"type", 5}, {"subtype", 6}, {"identifier", gone->identifier()}},
            QStringLiteral("not a dictionary"),
            QVariantMap{{"type", 5}, {"subtype", QStringLiteral("6")}, {"identifier", 1}},
            QVariantMap{{"type", 5}, {"subtype", 6}, {"identifier", kept->identifier()}}});
        ASSERT_OK(b.deleteClient(gone, false));
    });
    TWMasterController &list = master(*document);
    ASSERT_EQ(list.selectedMasterItems().size(), 1);
    EXPECT_EQ(list.selectedMasterItem()->item()->identifier(), kept->identifier());
    EXPECT_EQ(document->detailType(), int(TWDetailClients));

    // Nothing left of the stored selection: the first account.
    document->business()->setSelectedMasterItemSettings(
        QVariantList{QVariantMap{{"type", 5}, {"subtype", 7}, {"identifier", 999}}});
    list.update();
    ASSERT_TRUE(list.selectedMasterItem());
    EXPECT_EQ(list.selectedMasterItem()->item()->identifier(), first->identifier());
    EXPECT_EQ(document->detailType(), int(TWDetailTransactionsAccounts));
    // And the selection is recorded for the next opening.
    const QVariantList stored = *document->business()->selectedMasterItemSettings();
    ASSERT_EQ(stored.size(), 1);
    EXPECT_EQ(stored.first().toMap().value("identifier").toInt(), first->identifier());
}

TEST_F(SourceListTest, DeletingAfterConfirmation)
{
    TWGroupPtr group;
    TWClientPtr one;
    TWClientPtr two;
    TWClientPtr inGroup;
    TWGroupPtr reports;
    auto document = windowDocument([&](TWBusiness &b) {
        one = addClient(b, QStringLiteral("One"));
        two = addClient(b, QStringLiteral("Two"));
        group = addGroup(b, TWItemTypeClientGroup, QStringLiteral("Group"), 0, true);
        inGroup = addClient(b, QStringLiteral("Inner"), group->identifier());
        reports = addGroup(b, TWItemTypeReportGroup, QStringLiteral("Reports"));
        auto report = TWReport::reportWithIdentifier(b.nextReportIdentifier(), QStringLiteral("R"),
                                                     reports->identifier(), 0, TWReportType(0),
                                                     TWReportDateType(0), {}, {}, false,
                                                     TWReportDateType(0), {}, {}, false);
        ASSERT_OK(b.addReport(report, false));
    });
    TWMasterController &list = master(*document);
    TWBusiness &b = *document->business();

    // Two clients: the plural question; cancelling keeps both.
    list.selectMasterItems({list.masterItemWithType(5, 6, one->identifier()),
                            list.masterItemWithType(5, 6, two->identifier())});
    list.deleteMaster(false);
    auto *alert = document->windowForSheet()->findChild<QMessageBox *>("deleteMasterAlert");
    ASSERT_TRUE(alert);
    EXPECT_EQ(alert->text(), TWLocalized("deleteItemsMessage"));
    answerDelete(*document, false);
    EXPECT_TRUE(b.clientWithIdentifier(one->identifier()));
    list.deleteMaster(false);
    answerDelete(*document, true);
    EXPECT_FALSE(b.clientWithIdentifier(one->identifier()));
    EXPECT_FALSE(b.clientWithIdentifier(two->identifier()));
    EXPECT_FALSE(list.masterItemWithType(5, 6, one->identifier()));
    EXPECT_TRUE(document->isDocumentEdited());

    // A group with one of its clients: the group (and the client) once.
    list.selectMasterItems({list.masterItemWithType(5, 2, group->identifier()),
                            list.masterItemWithType(5, 6, inGroup->identifier())});
    list.deleteMaster(false);
    answerDelete(*document, true);
    EXPECT_FALSE(b.groupWithIdentifier(group->identifier()));
    EXPECT_FALSE(b.clientWithIdentifier(inGroup->identifier()));
    EXPECT_TRUE(prompts.errors.isEmpty());

    // A report group goes with its reports.
    list.selectMasterItems({list.masterItemWithType(5, 4, reports->identifier())});
    list.deleteMaster(false);
    EXPECT_EQ(document->windowForSheet()->findChild<QMessageBox *>("deleteMasterAlert")->text(),
              TWLocalized("deleteGroupMessage"));
    answerDelete(*document, true);
    EXPECT_FALSE(b.groupWithIdentifier(reports->identifier()));
    EXPECT_TRUE(b.reports().isEmpty() ||
                std::none_of(b.reports().begin(), b.reports().end(), [&](const TWReportPtr &r) {
                    return r->parentIdentifier() == reports->identifier();
                }));

    // Headers and manage entries are never deleted.
    list.selectMasterItems({list.masterItemWithType(TWMasterItemUnits, 0, 0)});
    list.deleteMaster(false);
    EXPECT_FALSE(document->windowForSheet()->findChild<QMessageBox *>("deleteMasterAlert"));
}

// A closed transaction anywhere in the chosen records refuses the whole
// delete: nothing is deleted, not even what comes before it.
TEST_F(SourceListTest, AClosedTransactionRefusesTheWholeDelete)
{
    TWAccountPtr first;
    TWGroupPtr group;
    TWAccountPtr locked;
    auto document = windowDocument([&](TWBusiness &b) {
        first = addAccount(b, QStringLiteral("A first"));
        group = addGroup(b, TWItemTypeAccountGroup, QStringLiteral("B group"), 0, true);
        const TWGroupPtr inner =
            addGroup(b, TWItemTypeAccountGroup, QStringLiteral("Inner"), group->identifier(), true);
        locked = addAccount(b, QStringLiteral("Locked"), inner->identifier());
        const TWAccountPtr other = addAccount(b, QStringLiteral("Z other"));
        addTransaction(b, locked, other, 500, 2);
    });
    TWMasterController &list = master(*document);
    TWBusiness &b = *document->business();
    list.selectMasterItems({list.masterItemWithType(5, 5, first->identifier()),
                            list.masterItemWithType(5, 1, group->identifier())});
    ASSERT_EQ(list.selectedMasterItems().size(), 2);
    list.deleteMaster(false);
    answerDelete(*document, true);
    EXPECT_EQ(prompts.messages, QStringList{TWLocalized("deleteClosedTransaction")});
    EXPECT_TRUE(b.accountWithIdentifier(first->identifier()));
    EXPECT_TRUE(b.groupWithIdentifier(group->identifier()));
    EXPECT_TRUE(b.accountWithIdentifier(locked->identifier()));
    EXPECT_TRUE(list.masterItemWithType(5, 5, first->identifier()));
}

// A store error midway stops; what went before stays deleted and the list
// shows exactly what the store holds.
TEST_F(SourceListTest, AStoreErrorMidwayLeavesTheListEqualToTheStore)
{
    TWGroupPtr empty;
    TWAccountPtr account;
    auto document = windowDocument([&](TWBusiness &b) {
        empty = addGroup(b, TWItemTypeAccountGroup, QStringLiteral("AAA Empty"));
        account = addAccount(b, QStringLiteral("ZZZ Account"));
    });
    TWMasterController &list = master(*document);
    TWBusiness &b = *document->business();
    list.selectMasterItems({list.masterItemWithType(5, 1, empty->identifier()),
                            list.masterItemWithType(5, 5, account->identifier())});
    ASSERT_EQ(list.selectedMasterItems().size(), 2);
    list.deleteMaster(false);
    {
        TWDenyGuard deny(b, SQLITE_DELETE, "accounts");
        answerDelete(*document, true);
    }
    ASSERT_EQ(prompts.errors.size(), 1);
    EXPECT_FALSE(b.groupWithIdentifier(empty->identifier()));
    EXPECT_TRUE(b.accountWithIdentifier(account->identifier()));
    EXPECT_FALSE(list.masterItemWithType(5, 1, empty->identifier()));
    EXPECT_TRUE(list.masterItemWithType(5, 5, account->identifier()));
    // Every account of the store has its row, and no row lacks its account.
    int rows = 0;
    for (const TWMasterItem *node : list.model()->flatNodes())
        if (node->itemType() == TWItemTypeAccount) {
            ++rows;
            EXPECT_TRUE(b.accountWithIdentifier(node->item()->identifier()));
        }
    EXPECT_EQ(rows, b.accounts().size());
}

} // namespace
