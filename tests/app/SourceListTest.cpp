// The source list over a real store: headers, expansion and selection kept in
// the document's settings, the selection rule, the context menu and deleting.

#include "TWWindowTestSupport.h"

#include "TWDenyGuard.h"
#include "TWStoreTestSupport.h"

#include "model/TWBill.h"
#include "model/TWFormatter.h"
#include "model/TWInvoice.h"
#include "model/TWProject.h"
#include "model/TWRelationship.h"

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

// Deleting a client or a merchant says which money goes with its invoices or
// bills: how many payments, how much, how many reconciled.
TEST_F(SourceListTest, DeletingAClientOrAMerchantNamesThePaymentsThatGo)
{
    // A group deleted takes the clients or merchants below it with their
    // payments, so it says what goes as a single delete does.
    struct Case {
        const char *name;
        bool group;
    };
    for (const Case &c : {Case{"one record", false}, Case{"its group", true}}) {
        SCOPED_TRACE(c.name);
        TWClientPtr client;
        TWMerchantPtr merchant;
        TWGroupPtr clients, merchants;
        TWAccountPtr bank, receivable, payable, sales, costs;
        auto document = windowDocument([&](TWBusiness &b) {
            bank = addAccount(b, QStringLiteral("Bank"));
            receivable = addAccount(b, QStringLiteral("Receivable"), 0, QStringLiteral("USD"), 1);
            payable = addAccount(b, QStringLiteral("Payable"), 0, QStringLiteral("USD"), 9);
            sales = addAccount(b, QStringLiteral("Sales"), 0, QStringLiteral("USD"), 15);
            costs = addAccount(b, QStringLiteral("Costs"), 0, QStringLiteral("USD"), 16);
            clients = addGroup(b, TWItemTypeClientGroup, QStringLiteral("Clients"), 0, true);
            const TWGroupPtr inner = addGroup(b, TWItemTypeClientGroup, QStringLiteral("Inner"),
                                              clients->identifier(), true);
            merchants = addGroup(b, TWItemTypeMerchantGroup, QStringLiteral("Suppliers"), 0, true);
            client = addClient(b, QStringLiteral("Acme"), inner->identifier());
            merchant = addMerchant(b, QStringLiteral("Paper Co"), merchants->identifier());
            const TWProjectPtr project = TWProject::projectWithDate(
                twLocal(2024, 1, 1), false, QStringLiteral("Site"), TWProjectTypeProject, {}, {}, 0,
                b.homeUnit(), 0.0, {}, client->identifier(), b.nextProjectIdentifier());
            ASSERT_OK(b.addProject(project, false));
            const auto link = [&b](const TWTransactionPtr &t, std::uint32_t type, qint32 parent,
                                   qint32 child) {
                EXPECT_OK(b.addRelationship(
                    TWRelationship::relationshipWithType(type, 0, parent, child, t->identifier(), 0,
                                                         b.nextRelationshipIdentifier()),
                    false));
            };
            const TWInvoicePtr invoice = TWInvoice::invoiceWithDate(
                twLocal(2024, 6, 1), QStringLiteral("1001"), QString(), true, false, {}, 0, {},
                project->identifier(), b.nextInvoiceIdentifier());
            ASSERT_OK(b.addInvoice(invoice, false));
            link(addTransaction(b, receivable, sales, 90000), 0, project->identifier(),
                 invoice->identifier());
            for (const qint64 amount : {50000, 30000, 10000}) {
                const TWTransactionPtr deposit = addTransaction(b, bank, receivable, amount);
                deposit->setCleared(amount != 10000);
                ASSERT_OK(b.updateTransaction(deposit, false, false, false, false));
                link(deposit, 0, project->identifier(), invoice->identifier());
            }
            const TWBillPtr bill =
                TWBill::billWithDate(twLocal(2024, 6, 2), QStringLiteral("Paper"), true, false, {},
                                     0, {}, merchant->identifier(), b.nextBillIdentifier());
            ASSERT_OK(b.addBill(bill, false));
            link(addTransaction(b, costs, payable, 4000), 3, merchant->identifier(),
                 bill->identifier());
            const TWTransactionPtr payment = addTransaction(b, payable, bank, 4000);
            payment->setCleared(true);
            ASSERT_OK(b.updateTransaction(payment, false, false, false, false));
            link(payment, 3, merchant->identifier(), bill->identifier());
        });
        TWMasterController &list = master(*document);
        TWBusiness &b = *document->business();
        const auto money = [&b](qint64 value) {
            return TWFormatter::formatter().valueString(value, b.homeUnit().get(), true, true,
                                                        false, true, true);
        };
        const qint32 cash = bank->identifier(), income = sales->identifier(),
                     expense = costs->identifier();
        EXPECT_EQ(twAccountSumsFromRows(b),
                  (QHash<qint32, qint64>{{cash, 90000 - 4000}, {income, -90000}, {expense, 4000}}));

        list.selectMasterItems(
            {c.group ? list.masterItemWithType(5, TWItemTypeClientGroup, clients->identifier())
                     : list.masterItemWithType(5, 6, client->identifier())});
        list.deleteMaster(false);
        auto *alert = document->windowForSheet()->findChild<QMessageBox *>("deleteMasterAlert");
        ASSERT_TRUE(alert);
        EXPECT_EQ(alert->informativeText(),
                  TWLocalized("deletedPaymentsCount")
                      .arg(QStringLiteral("3"), money(90000), QStringLiteral("2")));
        answerDelete(*document, true);
        EXPECT_EQ(twAccountSumsFromRows(b),
                  (QHash<qint32, qint64>{{cash, -4000}, {expense, 4000}}));

        list.selectMasterItems(
            {c.group ? list.masterItemWithType(5, TWItemTypeMerchantGroup, merchants->identifier())
                     : list.masterItemWithType(5, 7, merchant->identifier())});
        list.deleteMaster(false);
        alert = document->windowForSheet()->findChild<QMessageBox *>("deleteMasterAlert");
        ASSERT_TRUE(alert);
        EXPECT_EQ(alert->informativeText(),
                  TWLocalized("deletedPaymentsCount")
                      .arg(QStringLiteral("1"), money(4000), QStringLiteral("1")));
        answerDelete(*document, true);
        EXPECT_TRUE(twAccountSumsFromRows(b).isEmpty());
    }
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
    EXPECT_EQ(prompts.messages, QStringList{TWLocalized("deleteLockedTransaction")});
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
