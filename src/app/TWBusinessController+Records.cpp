// Commands that create source-list records and open the transaction editor,
// and the routing of the transaction commands to the list that is shown.

#include "app/TWBusinessController.h"

#include "app/TWDocumentPrompts.h"
#include "app/TWFilterInfoController.h"
#include "app/TWGroupInfoController.h"
#include "app/TWMasterController.h"
#include "app/TWRecordEditors.h"

#include "foundation/TWLocalized.h"
#include "store/TWBusiness.h"
#include "store/TWTransactionEditing.h"

#include <QAction>
#include <QMainWindow>
#include <QMenu>

namespace
{

const QString kBusinessErrorDomain = QStringLiteral("Tallyworth Business Error");

// The group kind holding the records of a family.
int groupKindOfFamily(int family)
{
    switch (family) {
    case TWItemTypeAccount:
        return TWItemTypeAccountGroup;
    case TWItemTypeClient:
        return TWItemTypeClientGroup;
    case TWItemTypeMerchant:
        return TWItemTypeMerchantGroup;
    case TWItemTypeReport:
        return TWItemTypeReportGroup;
    case TWItemTypeFilter:
        return TWItemTypeFilterGroup;
    default:
        return family; // a group is its own kind
    }
}

const char *accountTypeKey(int type)
{
    switch (type) {
    case 1:
        return "accountsReceivable";
    case 2:
        return "bank";
    case 3:
        return "cash";
    case 4:
        return "inventory";
    case 5:
        return "investment";
    case 6:
        return "fixedAsset";
    case 7:
        return "currentAsset";
    case 9:
        return "accountsPayable";
    case 10:
        return "creditCard";
    case 11:
        return "loan";
    case 12:
        return "tax";
    case 13:
        return "longTermLiability";
    case 14:
        return "currentLiability";
    case 15:
        return "income";
    case 16:
        return "expense";
    case 17:
        return "equity";
    default:
        return "account";
    }
}

TWEditorKind editorKindOfFamily(int family)
{
    switch (family) {
    case TWItemTypeClient:
        return TWEditorKind::ClientInfo;
    case TWItemTypeMerchant:
        return TWEditorKind::MerchantInfo;
    case TWItemTypeReport:
        return TWEditorKind::ReportInfo;
    default:
        return TWEditorKind::AccountInfo;
    }
}

} // namespace

// ---- Information controllers ----

TWInfoEditor *TWBusinessController::makeInfoController(int family)
{
    if (TWItem::isGroupType(family))
        return new TWGroupInfoController(this);
    if (family == TWItemTypeFilter)
        return new TWFilterInfoController(this);
    // Accounts, clients, merchants and reports come from their pieces; until
    // then nothing opens for them.
    TWEditorController *editor =
        TWAppRegistry::registry().makeEditor(editorKindOfFamily(family), this);
    auto *info = qobject_cast<TWInfoEditor *>(editor);
    if (!info)
        delete editor;
    return info;
}

TWInfoEditor *TWBusinessController::newInfoController(int family)
{
    // One controller serves every kind of group.
    const int key = TWItem::isGroupType(family) ? int(TWItemTypeAccountGroup) : family;
    const auto found = m_newInfoControllers.find(key);
    if (found != m_newInfoControllers.end())
        return found->second;
    TWInfoEditor *editor = makeInfoController(family);
    if (editor)
        m_newInfoControllers[key] = editor;
    return editor;
}

// ---- New records ----

void TWBusinessController::newGroup(int kind)
{
    if (!TWItem::isGroupType(kind))
        return;
    showNewRecordSheet(kind, kind);
}

void TWBusinessController::newAccount(bool fromEditor)
{
    if (!fromEditor) {
        showNewRecordSheet(TWItemTypeAccount, 0);
        return;
    }
    TWInfoEditor *editor = newInfoController(TWItemTypeAccount);
    if (!editor || !m_business)
        return;
    editor->setMode(TWEditorMode::New);
    editor->setBusinessController(this);
    editor->setBusiness(m_business.get());
    editor->view();
    editor->reset();
    beginSheetWithView(editor->view(), false, true, [this, editor](int code) {
        if (code != TWSheetResult::Confirmed || !m_business)
            return;
        const auto account = std::dynamic_pointer_cast<TWAccount>(editor->item());
        if (!account)
            return;
        updateItemParentAndSortOrder(account, nullptr);
        if (TWErrorResult error = m_business->addAccount(account, true)) {
            presentError(*error);
            return;
        }
        if (m_masterController)
            m_masterController->updateAddAccount(account);
        if (m_transactionController)
            m_transactionController->updateWithNewAccount(account);
    });
}

void TWBusinessController::newFilter()
{
    showNewRecordSheet(TWItemTypeFilter, 0);
}

void TWBusinessController::newClient()
{
    showNewRecordSheet(TWItemTypeClient, 0);
}

void TWBusinessController::newMerchant()
{
    showNewRecordSheet(TWItemTypeMerchant, 0);
}

void TWBusinessController::newReport()
{
    showNewRecordSheet(TWItemTypeReport, 0);
}

void TWBusinessController::showNewRecordSheet(int family, int groupKind)
{
    TWInfoEditor *editor = newInfoController(family);
    if (!editor || !m_business)
        return;
    editor->setMode(TWEditorMode::New);
    editor->setBusinessController(this);
    editor->setBusiness(m_business.get());
    if (groupKind)
        editor->setType(groupKind);
    editor->view();
    editor->reset();
    beginSheetWithView(editor->view(), false, true, [this, editor, family](int code) {
        if (code == TWSheetResult::Confirmed)
            addNewRecord(family, editor->item());
    });
}

void TWBusinessController::addNewRecord(int family, const TWItemPtr &item)
{
    if (!item || !m_business)
        return;
    // Inside a selected group of the family, beside a selected record (in
    // its group), at the top level otherwise.
    const int kind = groupKindOfFamily(family);
    TWMasterItemPtr parent =
        m_masterController ? m_masterController->selectedMasterItem() : nullptr;
    if (parent && parent->type() == TWMasterItemEntity && parent->item() &&
        int(parent->item()->type()) != kind)
        parent = m_masterController->masterItemWithType(TWMasterItemEntity, quint32(kind),
                                                        parent->item()->parentIdentifier());
    updateItemParentAndSortOrder(item, parent.get());
    TWBusiness &business = *m_business;
    TWErrorResult error;
    if (TWItem::isGroupType(family))
        error = business.addGroup(std::dynamic_pointer_cast<TWGroup>(item), true);
    else if (family == TWItemTypeAccount)
        error = business.addAccount(std::dynamic_pointer_cast<TWAccount>(item), true);
    else if (family == TWItemTypeFilter)
        error = business.addFilter(std::dynamic_pointer_cast<TWFilter>(item), true);
    else if (family == TWItemTypeClient)
        error = business.addClient(std::dynamic_pointer_cast<TWClient>(item), true);
    else if (family == TWItemTypeMerchant)
        error = business.addMerchant(std::dynamic_pointer_cast<TWMerchant>(item), true);
    else if (family == TWItemTypeReport)
        error = business.addReport(std::dynamic_pointer_cast<TWReport>(item), true);
    else
        return;
    if (error) {
        presentError(*error);
        return;
    }
    if (!m_masterController)
        return;
    m_masterController->update();
    if (const TWMasterItemPtr node = m_masterController->masterItemWithType(
            TWMasterItemEntity, quint32(item->type()), item->identifier()))
        selectMasterItems({node}, true);
}

TWAccountPtr TWBusinessController::newAccountOfType(int accountType)
{
    if (!m_business)
        return nullptr;
    const qint32 identifier = m_business->nextAccountIdentifier();
    if (identifier == 0) {
        // A record numbered 0 would never be stored.
        presentError(lastStoreError());
        return nullptr;
    }
    TWAccountPtr account = TWAccount::accountWithIdentifier(
        identifier, TWLocalized(accountTypeKey(accountType)), 0, 0, TWAccountType(accountType),
        QString(), QImage(), m_business->homeUnit(), QString());
    updateItemParentAndSortOrder(account, nullptr);
    if (TWErrorResult error = m_business->addAccount(account, true)) {
        // Callers must not build on an account that does not exist.
        presentError(*error);
        return nullptr;
    }
    if (m_masterController)
        m_masterController->update();
    return account;
}

// ---- Transactions ----

void TWBusinessController::newTransaction(bool multiple)
{
    if (!m_business)
        return;
    TWTransactionPtr transaction = twNewTransaction(*m_business);
    TWRegisterDetail *transactions = transactionsController();
    twUpdateAccounts(*transaction, *m_business,
                     transactions ? std::optional(transactions->shownAccounts()) : std::nullopt,
                     false);
    transaction->setActiveAccountIdentifier(transaction->account1Identifier());
    newTransaction(transaction, {}, multiple, transactions);
}

void TWBusinessController::newTransaction(const TWTransactionPtr &transaction,
                                          const TWRelationshipList &relationships, bool multiple,
                                          TWRegisterDetail *transactionsController)
{
    if (!m_business || !transaction)
        return;
    if (m_business->accounts().size() < 2) {
        presentError(TWError(kBusinessErrorDomain, -1, TWLocalized("twoAccountsMessage")));
        return;
    }
    if (!m_transactionController)
        m_transactionController = qobject_cast<TWTransactionEditor *>(
            TWAppRegistry::registry().makeEditor(TWEditorKind::Transaction, this));
    TWTransactionEditor *editor = m_transactionController;
    if (!editor)
        return;
    editor->setMode(multiple ? TWTransactionEditorMode::NewSeveral : TWTransactionEditorMode::New);
    editor->setTransaction(transaction);
    editor->setRelationships(relationships);
    editor->setIsImport(false);
    editor->setBusinessController(this);
    editor->setBusiness(m_business.get());
    editor->update();
    QPointer<TWRegisterDetail> target(transactionsController);
    beginSheetWithView(editor->view(), false, false, [editor, target](int code) {
        if (code == TWSheetResult::Confirmed && editor->saved() && target &&
            editor->editTransaction())
            target->selectTransactions({editor->editTransaction()});
    });
}

void TWBusinessController::editTransaction(const TWTransactionPtr &transaction, bool isImport,
                                           TWRegisterDetail *transactionsController)
{
    if (!m_business || !transaction)
        return;
    if (!m_transactionController)
        m_transactionController = qobject_cast<TWTransactionEditor *>(
            TWAppRegistry::registry().makeEditor(TWEditorKind::Transaction, this));
    TWTransactionEditor *editor = m_transactionController;
    if (!editor)
        return;
    const bool closed = transaction->state() == 1 || transaction->state() == 2;
    editor->setMode(closed ? TWTransactionEditorMode::ReadOnly : TWTransactionEditorMode::Edit);
    editor->setTransaction(transaction);
    editor->setRelationships({});
    editor->setIsImport(isImport);
    editor->setBusinessController(this);
    editor->setBusiness(m_business.get());
    editor->update();
    QPointer<TWRegisterDetail> target(transactionsController);
    beginSheetWithView(editor->view(), false, false, [this, editor, target](int code) {
        if (code != TWSheetResult::Confirmed || !editor->saved())
            return;
        if (m_importing && m_importTransactions)
            m_importTransactions->updateTransaction(editor->transaction(),
                                                    editor->editTransaction());
        if (target && editor->editTransaction())
            target->selectTransactions({editor->editTransaction()});
    });
}

// ---- Routing of the transaction commands ----

TWBusinessController::RouteTarget TWBusinessController::routeTarget() const
{
    const TWMasterItemPtr node =
        m_masterController ? m_masterController->selectedMasterItem() : nullptr;
    if (!node)
        return RouteTarget::None;
    if (node->type() == TWMasterItemSearchResults)
        return RouteTarget::Register;
    if (node->type() == TWMasterItemRepeats)
        return RouteTarget::Repeats;
    switch (node->itemType()) {
    case TWItemTypeAccountGroup:
    case TWItemTypeAccount:
    case TWItemTypeFilterGroup:
    case TWItemTypeFilter:
        return RouteTarget::Register;
    case TWItemTypeClientGroup:
    case TWItemTypeClient:
        return RouteTarget::Clients;
    case TWItemTypeMerchantGroup:
    case TWItemTypeMerchant:
        return RouteTarget::Merchants;
    default:
        return RouteTarget::None;
    }
}

TWRegisterDetail *TWBusinessController::routedRegister(RouteTarget target) const
{
    if (target == RouteTarget::Register)
        return transactionsController();
    if (target == RouteTarget::Repeats) {
        const auto *repeats = detailAs<TWRepeatsDetail>(TWDetailRepeats);
        return repeats ? repeats->transactionsController() : nullptr;
    }
    return nullptr;
}

template <typename Call>
TWBusinessController::RouteTarget TWBusinessController::routeToSelectedList(Call &&call) const
{
    const RouteTarget target = routeTarget();
    if (TWRegisterDetail *list = routedRegister(target)) {
        call(*list);
    } else if (target == RouteTarget::Clients) {
        if (auto *clients = detailAs<TWClientDetail>(TWDetailClients))
            call(*clients);
    } else if (target == RouteTarget::Merchants) {
        if (auto *merchants = detailAs<TWMerchantDetail>(TWDetailMerchants))
            call(*merchants);
    }
    return target;
}

namespace
{

// The menu a triggered item belongs to (a context menu tells its list).
QMenu *menuOfItem(QAction *item)
{
    if (!item)
        return nullptr;
    for (QObject *object : item->associatedObjects())
        if (auto *menu = qobject_cast<QMenu *>(object))
            return menu;
    return qobject_cast<QMenu *>(item->parent());
}

} // namespace

void TWBusinessController::editTransaction(bool context, QAction *item)
{
    if (m_importing) {
        if (TWRegisterDetail *list = activeTransactionsController(context, false, menuOfItem(item)))
            list->editSelectedTransaction(context);
        return;
    }
    routeToSelectedList([&](auto &list) { list.editSelectedTransaction(context); });
}

void TWBusinessController::markTransaction(bool context, QAction *item)
{
    if (TWRegisterDetail *list = activeTransactionsController(context, false, menuOfItem(item)))
        list->markSelectedTransaction(!item || item->data().toInt() == 0, context);
}

void TWBusinessController::duplicateTransaction(bool context)
{
    const RouteTarget target = routeTarget();
    if (TWRegisterDetail *list = routedRegister(target)) {
        list->duplicateSelectedTransaction(context);
    } else if (target == RouteTarget::Clients) {
        auto *clients = detailAs<TWClientDetail>(TWDetailClients);
        TWInvoicesList *invoices = clients ? clients->invoicesController() : nullptr;
        if (TWRegisterDetail *payments = invoices ? invoices->transactionsController() : nullptr)
            payments->duplicateSelectedTransaction(context);
        updateDetailButtonsEnabled();
    } else if (target == RouteTarget::Merchants) {
        auto *merchants = detailAs<TWMerchantDetail>(TWDetailMerchants);
        if (TWRegisterDetail *payments = merchants ? merchants->transactionsController() : nullptr)
            payments->duplicateSelectedTransaction(context);
        updateDetailButtonsEnabled();
    }
}

void TWBusinessController::deleteTransaction(bool context)
{
    const RouteTarget target =
        routeToSelectedList([&](auto &list) { list.deleteSelectedTransaction(context); });
    if (target == RouteTarget::Clients || target == RouteTarget::Merchants)
        updateDetailButtonsEnabled();
}

void TWBusinessController::updateConvertedTotals(bool context)
{
    routeToSelectedList([&](auto &list) { list.updateSelectedConvertedTotals(context); });
}

void TWBusinessController::showRelatedTransactions(bool context)
{
    routeToSelectedList([&](auto &list) { list.showSelectedRelatedTransactions(context); });
}

void TWBusinessController::editMultipleTransactions(bool context)
{
    TWRegisterDetail *list = activeTransactionsController(context, true, nullptr);
    if (!list || !m_business)
        return;
    const TWTransactionList transactions = list->selectedTransactionsContext(context);
    bool closedOrLocked = false;
    TWTransaction::validateEditTransactions(transactions, nullptr, &closedOrLocked, nullptr);
    if (closedOrLocked) {
        TWDocumentPrompts::prompts().showMessage(TWLocalized("lockedClosedTransactions"),
                                                 windowForSheet());
        return;
    }
    if (!m_editTransactionsController)
        m_editTransactionsController = qobject_cast<TWEditTransactionsEditor *>(
            TWAppRegistry::registry().makeEditor(TWEditorKind::EditTransactions, this));
    TWEditTransactionsEditor *editor = m_editTransactionsController;
    if (!editor)
        return;
    editor->setBusinessController(this);
    editor->setBusiness(m_business.get());
    editor->setTransactions(list->selectedTransactionsContext(context));
    editor->reset();
    beginSheetWithView(editor->view(), true, true, nullptr);
}
