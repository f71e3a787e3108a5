// The document's commands as the menus, context menus and the bar's controls
// send them, and the window state their enabling rules read.

#include "app/TWBusinessController.h"
#include "app/TWDateRangeController.h"
#include "app/TWMasterController.h"
#include "app/TWMenus.h"
#include "app/TWSearchController.h"
#include "app/TWWindowController.h"

#include "foundation/TWClock.h"
#include "foundation/TWLocalized.h"
#include "model/TWRepeat.h"
#include "model/TWTask.h"

#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QMenu>

namespace
{

using A = TWAction;
using L = TWListTarget;

QMenu *menuOf(QAction *item)
{
    if (!item)
        return nullptr;
    for (QObject *object : item->associatedObjects())
        if (auto *menu = qobject_cast<QMenu *>(object))
            return menu;
    return nullptr;
}

// The chosen custom range comes back to the document.
class DateRangeDelegate final : public TWDateRangeControllerDelegate
{
public:
    explicit DateRangeDelegate(TWBusinessController *document) : m_document(document) {}
    void dateRangeDidSelectFromDate(const QDateTime &fromDate, const QDateTime &toDate,
                                    TWDateRangeController *) override
    {
        m_document->filterTransactions(TWDateRangeCustom, fromDate, toDate);
    }

private:
    TWBusinessController *m_document;
};

} // namespace

// The window as the enabling rules see it, over the document's live views.
class TWDocumentValidationState final : public TWValidationState
{
public:
    TWDocumentValidationState(const TWBusinessController &document, QAction *item,
                              TWClientDetail *clients, TWMerchantDetail *merchants,
                              TWRepeatsDetail *repeats, TWValidatedList *fields,
                              TWUnitsDetail *units, TWValuesDetail *values, TWBudgetDetail *budget)
        : m_document(document), m_item(item), m_menu(menuOf(item)), m_clients(clients),
          m_merchants(merchants), m_repeats(repeats), m_fields(fields), m_units(units),
          m_values(values), m_budget(budget)
    {
    }

    bool hasAttachedSheet() const override { return m_document.hasAttachedSheet(); }
    bool isImporting() const override { return m_document.isImporting(); }
    TWListTarget importListWithFocus(TWImportKind kind) const override
    {
        TWImportController *import = importController(kind);
        if (!import)
            return L::None;
        if (import->selectionListHasFirstResponder(TWImportController::ImportList))
            return L::ImportRows;
        if (import->selectionListHasFirstResponder(TWImportController::ExistingList))
            return L::ImportAll;
        return L::None;
    }
    TWListTarget importListWithContextMenu(TWImportKind kind) const override
    {
        TWImportController *import = importController(kind);
        if (!import || !m_menu)
            return L::None;
        if (import->selectionListHasContextMenu(TWImportController::ImportList, m_menu))
            return L::ImportRows;
        if (import->selectionListHasContextMenu(TWImportController::ExistingList, m_menu))
            return L::ImportAll;
        return L::None;
    }
    bool isMasterSelected(int section) const override
    {
        return m_document.isMasterSelected(section);
    }
    int selectedEntryType() const override
    {
        TWMasterController *master = m_document.masterController();
        const TWMasterItemPtr selected = master ? master->selectedMasterItem() : nullptr;
        return selected ? int(selected->type()) : -1;
    }
    int selectedItemType() const override
    {
        const TWItemPtr item = m_document.selectedItem();
        return item ? int(item->type()) : 0;
    }
    int contextMasterItemCount() const override
    {
        TWMasterController *master = m_document.masterController();
        return master ? int(master->contextMasterItems().size()) : 0;
    }
    bool masterHasFirstResponder() const override
    {
        TWMasterController *master = m_document.masterController();
        return master && master->hasFirstResponder();
    }
    int searchFieldType() const override
    {
        return m_document.business() ? m_document.business()->searchFieldType() : 0;
    }
    int sortBy() const override
    {
        return m_document.business() ? int(m_document.business()->sortBy()) : 0;
    }
    bool hasFirstResponder(TWFocusList list) const override
    {
        switch (list) {
        case TWFocusList::Register: {
            TWRegisterDetail *reg = m_document.transactionsController();
            return reg && reg->hasFirstResponder();
        }
        case TWFocusList::MerchantTransactions:
        case TWFocusList::Bills:
            return m_merchants && m_merchants->hasFirstResponder(list);
        case TWFocusList::RepeatsItems:
            return m_repeats && m_repeats->itemsHasFirstResponder();
        default:
            return m_clients && m_clients->hasFirstResponder(list);
        }
    }
    TWValidation validateListMenu(TWAction action, int tag, bool context) const override
    {
        Q_UNUSED(context);
        return twValidateListMenu(m_document, action, tag, twRepresentedObject(m_item));
    }
    int clientSelectedTab() const override { return m_clients ? m_clients->selectedTab() : 0; }
    int selectedRepeatKind() const override
    {
        return m_repeats ? m_repeats->selectedRepeatKind() : 0;
    }
    int selectedProjectType() const override
    {
        return m_clients ? m_clients->selectedProjectType() : 0;
    }
    bool isTaskTimerRunning() const override { return m_document.isTaskTimerRunning(); }
    bool canPrintSelection() const override { return m_document.canPrint(); }
    bool hasSelectedTransaction(TWListTarget list, bool context, bool single, bool multiple,
                                bool related) const override
    {
        TWRegisterDetail *reg = transactionList(list);
        return reg && reg->hasSelectedTransaction(context, single, multiple, related);
    }
    bool query(TWListTarget list, TWQuery query, bool context) const override
    {
        if (list == L::ClientView && query == TWQuery::CanAddTransaction)
            return m_clients && m_clients->validationQuery(query, context);
        if (list == L::MerchantView && query == TWQuery::CanAddTransaction)
            return m_merchants && m_merchants->canAddTransaction();
        if (query == TWQuery::CanDeleteUnit)
            return m_units && m_units->canDeleteUnit(context);
        if (query == TWQuery::CanDeleteValue)
            return m_values && m_values->canDeleteValue(context);
        if (list == L::ImportRows || list == L::ImportAll) {
            // The list of the import the question is about: a task or an
            // expense import may have run before and kept its own lists.
            const auto *found =
                dynamic_cast<const TWValidatedList *>(importList(importKindOf(query), list));
            return found && found->validationQuery(query, context);
        }
        const TWValidatedList *target = validatedList(list);
        return target && target->validationQuery(query, context);
    }
    bool documentValidation(TWAction action) const override
    {
        switch (action) {
        case A::revertDocumentToSaved:
            return !m_document.fileURL().isEmpty() && m_document.isDocumentEdited();
        case A::doShowRelatedTransactionsContext:
        case A::doEditTransactionContext: {
            TWRegisterDetail *reg = m_document.activeTransactionsController(true, false, m_menu);
            return reg && reg->hasSelectedTransaction(true, action == A::doEditTransactionContext,
                                                      false, false);
        }
        case A::doNewTransaction:
        case A::doAddMultipleTransactions:
            return TWAppRegistry::registry().hasEditor(TWEditorKind::Transaction);
        case A::doExportTransactions:
            return TWAppRegistry::registry().hasEditor(TWEditorKind::ExportTransactions);
        case A::doExportTasks:
            return TWAppRegistry::registry().hasEditor(TWEditorKind::ExportTasks);
        case A::doExportExpenses:
            return TWAppRegistry::registry().hasEditor(TWEditorKind::ExportExpenses);
        default:
            return true;
        }
    }

private:
    TWImportController *importController(TWImportKind kind) const
    {
        switch (kind) {
        case TWImportKind::Transactions:
            return m_document.importTransactionsController();
        case TWImportKind::Tasks:
            return m_document.importTasksController();
        case TWImportKind::Expenses:
            return m_document.importExpensesController();
        }
        return nullptr;
    }
    TWRegisterDetail *transactionList(TWListTarget list) const
    {
        switch (list) {
        case L::Register:
            return m_document.transactionsController();
        case L::RepeatsList:
            return m_repeats ? m_repeats->transactionsController() : nullptr;
        case L::InvoicePayments: {
            TWInvoicesList *invoices = m_clients ? m_clients->invoicesController() : nullptr;
            return invoices ? invoices->transactionsController() : nullptr;
        }
        case L::MerchantList:
            return m_merchants ? m_merchants->transactionsController() : nullptr;
        case L::ImportRows:
        case L::ImportAll:
            return qobject_cast<TWRegisterDetail *>(importList(TWImportKind::Transactions, list));
        default:
            return nullptr;
        }
    }
    QObject *importList(TWImportKind kind, TWListTarget list) const
    {
        TWImportController *import = importController(kind);
        return import
                   ? import->selectionList(list == L::ImportRows ? TWImportController::ImportList
                                                                 : TWImportController::ExistingList)
                   : nullptr;
    }
    static TWImportKind importKindOf(TWQuery query)
    {
        switch (query) {
        case TWQuery::CanEditTask:
        case TWQuery::HasSelectedTask:
        case TWQuery::CanEditTaskItem:
            return TWImportKind::Tasks;
        case TWQuery::CanEditExpense:
            return TWImportKind::Expenses;
        default:
            return TWImportKind::Transactions;
        }
    }
    const TWValidatedList *validatedList(TWListTarget list) const
    {
        switch (list) {
        case L::ClientView:
            return m_clients;
        case L::Tasks:
            return m_clients ? m_clients->tasksController() : nullptr;
        case L::Expenses:
            return m_clients ? m_clients->expensesController() : nullptr;
        case L::Invoices:
            return m_clients ? m_clients->invoicesController() : nullptr;
        case L::RepeatsInvoices:
            return m_repeats ? m_repeats->invoicesController() : nullptr;
        case L::MerchantView:
            return m_merchants;
        case L::RepeatsMerchant:
            return m_repeats ? m_repeats->merchantController() : nullptr;
        case L::Fields:
            return m_fields;
        case L::Units:
            return m_units;
        case L::Repeats:
            return m_repeats;
        case L::Values:
            return m_values;
        case L::Budget:
            return m_budget;
        default:
            return transactionList(list);
        }
    }

    const TWBusinessController &m_document;
    QAction *m_item;
    QMenu *m_menu;
    TWClientDetail *m_clients;
    TWMerchantDetail *m_merchants;
    TWRepeatsDetail *m_repeats;
    TWValidatedList *m_fields;
    TWUnitsDetail *m_units;
    TWValuesDetail *m_values;
    TWBudgetDetail *m_budget;
};

TWValidation TWBusinessController::validate(TWAction action, int tag, QAction *item) const
{
    const TWDocumentValidationState state(
        *this, item, detailAs<TWClientDetail>(TWDetailClients),
        detailAs<TWMerchantDetail>(TWDetailMerchants), detailAs<TWRepeatsDetail>(TWDetailRepeats),
        detailAs<TWFieldsDetail>(TWDetailFields), detailAs<TWUnitsDetail>(TWDetailUnits),
        detailAs<TWValuesDetail>(TWDetailValues), detailAs<TWBudgetDetail>(TWDetailBudget));
    return twValidateAction(action, tag, state);
}

void TWBusinessController::validateItem(QAction *item) const
{
    const std::optional<TWAction> action = twActionOf(item);
    if (!action)
        return;
    const TWValidation result = validate(*action, twTagOf(item), item);
    item->setEnabled(result.enabled);
    if (result.check != TWCheck::Keep) {
        item->setCheckable(true);
        item->setChecked(result.check == TWCheck::On);
    }
    if (!result.titleKey.isEmpty())
        item->setText(TWLocalized(result.titleKey));
}

void TWBusinessController::perform(TWAction action, int tag, QAction *item)
{
    if (!m_business)
        return;
    const A main = twMainAction(action);
    const bool context = twIsContextAction(action);
    auto *clients = detailAs<TWClientDetail>(TWDetailClients);
    auto *merchants = detailAs<TWMerchantDetail>(TWDetailMerchants);
    switch (action) {
    case A::doBusiness:
        doBusiness();
        return;
    case A::doShowInspector:
    case A::doShowInspectorContext:
        showInspector(context);
        return;
    case A::doMasterDelete:
    case A::doDeleteContext:
        if (m_masterController)
            m_masterController->deleteMaster(action == A::doDeleteContext);
        return;
    case A::doMasterAdd: {
        static const int groups[] = {-1, 1, -1, 9, -1, 2, -1, 3, -1, 4};
        if (tag < 0 || tag > 9)
            return;
        if (groups[tag] > 0)
            newGroup(groups[tag]);
        else if (tag == 0)
            newAccount(false);
        else if (tag == 2)
            newFilter();
        else if (tag == 4)
            newClient();
        else if (tag == 6)
            newMerchant();
        else
            newReport();
        return;
    }
    case A::doNewGroupContext: {
        static const int groups[] = {1, 9, 2, 3, 4};
        if (tag >= 0 && tag <= 4)
            newGroup(groups[tag]);
        return;
    }
    case A::doNewAccount:
    case A::doNewAccountContext:
        newAccount(false);
        return;
    case A::doNewAccountGroup:
        newGroup(1);
        return;
    case A::doNewClientGroup:
        newGroup(2);
        return;
    case A::doNewMerchantGroup:
        newGroup(3);
        return;
    case A::doNewReportGroup:
        newGroup(4);
        return;
    case A::doNewFilterGroup:
        newGroup(9);
        return;
    case A::doNewFilter:
    case A::doNewFilterContext:
        newFilter();
        return;
    case A::doNewClient:
    case A::doNewClientContext:
        newClient();
        return;
    case A::doNewMerchant:
    case A::doNewMerchantContext:
        newMerchant();
        return;
    case A::doNewReport:
    case A::doNewReportContext:
        newReport();
        return;
    case A::doMasterSortBy:
        masterSortBy(tag);
        return;
    default:
        break;
    }

    switch (main) {
    case A::doNewTransaction:
    case A::doAddMultipleTransactions: {
        const bool multiple = main == A::doAddMultipleTransactions;
        if (isMasterSelected(TWMasterSectionClients) && clients)
            clients->newTransaction(multiple);
        else if (isMasterSelected(TWMasterSectionMerchants) && merchants)
            merchants->newTransaction(multiple);
        else
            newTransaction(multiple);
        return;
    }
    case A::doNewBill:
    case A::doEditBill:
    case A::doDuplicateBill:
    case A::doDeleteBill:
    case A::doMarkBill:
    case A::doColumnMerchantBill:
    case A::doSortByMerchantBill:
    case A::doSortDirectionMerchantBill: {
        // The merchants view's bills, or those of the bill schedule chosen in
        // the repeats view.
        TWMerchantDetail *bills = nullptr;
        if (isMasterSelected(TWMasterSectionMerchants)) {
            bills = merchants;
        } else if (isMasterSelected(TWMasterSectionRepeats)) {
            auto *repeats = detailAs<TWRepeatsDetail>(TWDetailRepeats);
            if (repeats && repeats->selectedRepeatKind() == TWRepeatTypeBill)
                bills = dynamic_cast<TWMerchantDetail *>(repeats->merchantController());
        }
        if (bills)
            billCommand(*bills, main, context, tag);
        return;
    }
    case A::doEditTransaction:
        editTransaction(context, item);
        return;
    case A::doMarkTransaction:
        markTransaction(context, item);
        return;
    case A::doDuplicateTransaction:
        duplicateTransaction(context);
        return;
    case A::doDeleteTransaction:
        deleteTransaction(context);
        return;
    case A::doEditMultipleTransactions:
        editMultipleTransactions(context);
        return;
    case A::doUpdateConvertedTotals:
        updateConvertedTotals(context);
        return;
    case A::doShowRelatedTransactions:
        showRelatedTransactions(context);
        return;
    case A::doNewField:
    case A::doNewUnit:
    case A::doDownloadCurrencyExchangeRates: {
        const quint32 entry = main == A::doNewField ? TWMasterItemFields : TWMasterItemUnits;
        if (!context) {
            if (!shouldSelectMasterItem() || !m_masterController)
                return;
            if (const TWMasterItemPtr node = m_masterController->masterItemWithType(entry, 0, 0))
                selectMasterItems({node}, true);
        }
        if (main == A::doNewUnit) {
            if (auto *units = detailAs<TWUnitsDetail>(TWDetailUnits))
                units->newUnit();
        } else if (main == A::doDownloadCurrencyExchangeRates) {
            if (auto *units = detailAs<TWUnitsDetail>(TWDetailUnits))
                units->refresh();
        } else if (auto *fields = detailAs<TWFieldsDetail>(TWDetailFields)) {
            fields->newField();
        }
        return;
    }
    case A::doEditField:
        if (auto *fields = detailAs<TWFieldsDetail>(TWDetailFields))
            fields->editSelectedField(context);
        return;
    case A::doDeleteField:
        if (auto *fields = detailAs<TWFieldsDetail>(TWDetailFields))
            fields->deleteField(context);
        return;
    case A::doNewFieldItem:
        if (auto *fields = detailAs<TWFieldsDetail>(TWDetailFields))
            fields->newItem();
        return;
    case A::doDeleteFieldItem:
        if (auto *fields = detailAs<TWFieldsDetail>(TWDetailFields))
            fields->deleteItem(context);
        return;
    case A::doEditUnit:
        if (auto *units = detailAs<TWUnitsDetail>(TWDetailUnits))
            units->editSelectedUnit(context);
        return;
    case A::doDeleteUnit:
        if (auto *units = detailAs<TWUnitsDetail>(TWDetailUnits))
            units->deleteUnit(context);
        return;
    case A::doNewValue:
        if (auto *values = detailAs<TWValuesDetail>(TWDetailValues))
            values->newValue();
        return;
    case A::doDeleteValue:
        if (auto *values = detailAs<TWValuesDetail>(TWDetailValues))
            values->deleteValue(context);
        return;
    case A::doEditBudgetItem:
        if (auto *budget = detailAs<TWBudgetDetail>(TWDetailBudget))
            budget->editSelectedBudgetItem(context);
        return;
    case A::doResetBudgetItem:
        if (auto *budget = detailAs<TWBudgetDetail>(TWDetailBudget))
            budget->resetBudgetItem(context);
        return;
    case A::doDetailAddDelete:
        detailAddDelete(tag);
        return;
    case A::doDetailRefresh:
        if (m_detailType == TWDetailUnits)
            if (auto *units = detailAs<TWUnitsDetail>(TWDetailUnits))
                units->refresh();
        return;
    case A::doDetailReset:
        if (m_detailType == TWDetailBudget)
            if (auto *budget = detailAs<TWBudgetDetail>(TWDetailBudget))
                budget->resetBudget();
        return;
    case A::doDetailPopUpButton:
        if (tag >= 0 && tag <= 10)
            filterTransactions(tag, QDateTime(), QDateTime());
        else if (tag == 11)
            showDateRangePopover();
        return;
    case A::doFind:
        if (m_windowController && m_windowController->searchField()->isEnabled())
            m_windowController->searchField()->setFocus(Qt::ShortcutFocusReason);
        return;
    case A::doSearch:
        searchDetail(m_windowController ? m_windowController->searchField()->text() : QString());
        return;
    case A::doSearchType:
        if (tag == 0 || tag == 1)
            m_business->setSearchFieldType(tag);
        return;
    case A::doAdvancedFind:
        doAdvancedFind();
        return;
    case A::doExportTransactions:
        showExportSheet(TWEditorKind::ExportTransactions);
        return;
    case A::doExportTasks:
        showExportSheet(TWEditorKind::ExportTasks);
        return;
    case A::doExportExpenses:
        showExportSheet(TWEditorKind::ExportExpenses);
        return;
    case A::doImportTransactions:
        importTransactionsURL(QUrl());
        return;
    case A::doImportTasks:
        importTasksURL(QUrl());
        return;
    case A::doImportExpenses:
        importExpensesURL(QUrl());
        return;
    case A::doNewInvoice:
    case A::doEditInvoice:
    case A::doDuplicateInvoice:
    case A::doDeleteInvoice:
    case A::doMarkInvoice:
    case A::doSendInvoice:
    case A::doColumnClientInvoice:
    case A::doSortByClientInvoice:
    case A::doSortDirectionClientInvoice:
        invoiceCommand(main, tag, context);
        return;
    case A::doColumnAccount:
    case A::doSortByAccount:
    case A::doSortDirectionAccount:
        // The context menu's register commands wait while an import runs.
        if (context && m_importing)
            return;
        listMenuCommand(main, tag, item);
        return;
    case A::doStartStopTaskTimer:
        if (!m_taskTimer)
            return;
        if (m_taskTimer->timedTaskIdentifier() == 0) {
            TWTasksList *tasks = clients ? clients->tasksController() : nullptr;
            if (tasks)
                m_taskTimer->startTaskTimer(tasks->selectedTask(context));
        } else {
            m_taskTimer->stopTaskTimer(QDateTime());
        }
        return;
    case A::doMenuletStartStopTaskTimer:
        if (!m_taskTimer)
            return;
        if (m_taskTimer->timedTaskIdentifier() == 0)
            m_taskTimer->startTaskTimer(
                m_business->taskWithIdentifier(m_taskTimer->menuletTaskIdentifier()));
        else
            m_taskTimer->stopTaskTimer(QDateTime());
        return;
    case A::doMenuletTaskSelect: {
        if (!m_taskTimer)
            return;
        const TWTaskPtr task = twRepresentedObject(item).value<TWTaskPtr>();
        if (m_taskTimer->isTaskTimerRunning())
            m_taskTimer->stopTaskTimer(QDateTime());
        if (task)
            m_taskTimer->setMenuletTaskIdentifier(task->identifier());
        return;
    }
    case A::saveDocument:
        saveDocument();
        return;
    case A::saveDocumentAs:
        saveDocumentAs();
        return;
    case A::revertDocumentToSaved:
        revertDocumentToSaved();
        return;
    case A::printDocument:
        printDocument();
        return;
    case A::doEditTask:
    case A::doEditTaskItem:
    case A::doMarkTask:
    case A::doEditExpense:
        // While an import sheet is open these act on its list (the one whose
        // context menu was opened, else the one with the focus).
        if (m_importing) {
            importListCommand(main, tag, context, item);
            return;
        }
        if (clients && isMasterSelected(TWMasterSectionClients))
            clients->performListCommand(main, tag, context);
        return;
    default:
        // The projects, tasks and expenses commands go to the clients view
        // shown.
        if (clients && !m_importing && isMasterSelected(TWMasterSectionClients))
            clients->performListCommand(main, tag, context);
        return;
    }
}

void TWBusinessController::billCommand(TWMerchantDetail &bills, TWAction main, bool context,
                                       int tag)
{
    switch (main) {
    case A::doNewBill:
        bills.newBill();
        break;
    case A::doEditBill:
        bills.editSelectedBill(context);
        break;
    case A::doDuplicateBill:
        bills.duplicateSelectedBill(context);
        break;
    case A::doDeleteBill:
        bills.deleteSelectedBill(context);
        break;
    case A::doMarkBill:
        bills.markBill(tag, context);
        break;
    case A::doColumnMerchantBill:
        bills.toggleFieldVisible(tag);
        break;
    case A::doSortByMerchantBill:
        bills.updateSortBy(tag, true);
        break;
    case A::doSortDirectionMerchantBill:
        bills.updateSortDirection(tag != 1, true);
        break;
    default:
        break;
    }
}

void TWBusinessController::importListCommand(TWAction main, int tag, bool context, QAction *item)
{
    QMenu *menu = menuOf(item);
    if (main == A::doEditExpense) {
        if (TWExpensesList *expenses = activeExpensesController(context, false, menu))
            expenses->editSelectedExpense(context);
        return;
    }
    TWTasksList *tasks = activeTasksController(context, false, menu);
    if (!tasks)
        return;
    if (main == A::doEditTask)
        tasks->editSelectedTask(context);
    else if (main == A::doEditTaskItem)
        tasks->editSelectedTaskItem(context);
    else if (main == A::doMarkTask)
        tasks->markTask(tag == 6, context);
}

void TWBusinessController::masterSortBy(int tag)
{
    if (tag == 0 || tag == 1) {
        // Renumbering the families can fail as a whole: the store keeps its
        // mode and order, and the error is shown instead of a mode not taken.
        if (TWErrorResult error = m_business->setSortBy(quint32(tag)))
            presentError(*error);
    }
    if (m_masterController)
        m_masterController->update();
}

void TWBusinessController::detailAddDelete(int segment)
{
    auto *merchants = detailAs<TWMerchantDetail>(TWDetailMerchants);
    auto *fields = detailAs<TWFieldsDetail>(TWDetailFields);
    auto *units = detailAs<TWUnitsDetail>(TWDetailUnits);
    auto *values = detailAs<TWValuesDetail>(TWDetailValues);
    switch (m_detailType) {
    case TWDetailTransactionsAccounts:
    case TWDetailTransactionsFilters:
        if (segment == 0)
            newTransaction(false);
        else if (segment == 1)
            if (TWRegisterDetail *reg = transactionsController())
                reg->deleteSelectedTransaction(false);
        break;
    case TWDetailClients:
        // The payments of the invoices tab.
        if (auto *clients = detailAs<TWClientDetail>(TWDetailClients); clients && segment == 0)
            clients->newTransaction(false);
        else if (clients && segment == 1)
            clients->deleteSelectedTransaction(false);
        break;
    case TWDetailMerchants:
        if (merchants && segment == 0)
            merchants->newTransaction(false);
        else if (merchants && segment == 1)
            merchants->deleteSelectedTransaction(false);
        break;
    case TWDetailFields:
        if (fields && segment == 0)
            fields->newItem();
        else if (fields && segment == 1)
            fields->deleteItem(false);
        break;
    case TWDetailUnits:
        if (units && segment == 0)
            units->newUnit();
        else if (units && segment == 1)
            units->deleteUnit(false);
        break;
    case TWDetailValues:
        if (values && segment == 0)
            values->newValue();
        else if (values && segment == 1)
            values->deleteValue(false);
        break;
    default:
        break;
    }
    updateDetailButtonsEnabled();
}

void TWBusinessController::showDateRangePopover()
{
    if (!m_dateRangeController) {
        m_dateRangeController = new TWDateRangeController(this);
        m_dateRangeDelegate = std::make_unique<DateRangeDelegate>(this);
        m_dateRangeController->setDelegate(m_dateRangeDelegate.get());
    }
    const QDateTime now = TWClock::now();
    const QDateTime from = m_business->transactionRangeFromDate();
    const QDateTime to = m_business->transactionRangeToDate();
    m_dateRangeController->setFromDate(from.isValid() ? from : now);
    m_dateRangeController->setToDate(to.isValid() ? to : now);
    m_dateRangeController->showPopOver(m_windowController ? m_windowController->rangePopUp()
                                                          : nullptr);
}

void TWBusinessController::searchDetail(const QString &text)
{
    const TWMasterItemPtr selected =
        m_masterController ? m_masterController->selectedMasterItem() : nullptr;
    if (!selected)
        return;
    const int kind = selected->itemType();
    if ((selected->type() == TWMasterItemEntity &&
         (kind == TWItemTypeAccountGroup || kind == TWItemTypeAccount ||
          kind == TWItemTypeFilterGroup || kind == TWItemTypeFilter)) ||
        selected->type() == TWMasterItemSearchResults) {
        if (TWRegisterDetail *reg = transactionsController())
            reg->search(text);
    } else if (selected->type() == TWMasterItemUnits) {
        if (auto *units = detailAs<TWUnitsDetail>(TWDetailUnits))
            units->search(text);
    } else if (selected->type() == TWMasterItemValues) {
        if (auto *values = detailAs<TWValuesDetail>(TWDetailValues))
            values->search(text);
    }
}

void TWBusinessController::listMenuCommand(TWAction main, int tag, QAction *item)
{
    TWRegisterDetail *reg = activeTransactionsController(false, false, nullptr);
    if (!reg)
        return;
    const TWFieldPtr field = twRepresentedField(item);
    switch (main) {
    case A::doColumnAccount:
        if (field)
            reg->toggleFieldVisible(field);
        break;
    case A::doSortByAccount:
        if (field)
            reg->updateSortBy(field, true);
        break;
    case A::doSortDirectionAccount:
        reg->updateSortDirection(tag != 1, true);
        break;
    default:
        break;
    }
}

void TWBusinessController::invoiceCommand(TWAction main, int tag, bool context)
{
    // The invoice list of the client view, or the repeats view's for an
    // invoice schedule.
    TWInvoicesList *invoices = nullptr;
    if (isMasterSelected(TWMasterSectionClients)) {
        if (auto *clients = detailAs<TWClientDetail>(TWDetailClients))
            invoices = clients->invoicesController();
    } else if (isMasterSelected(TWMasterSectionRepeats)) {
        // The repeats view keeps its invoice list after another kind of
        // schedule is chosen: act on it only while it is the one shown.
        auto *repeats = detailAs<TWRepeatsDetail>(TWDetailRepeats);
        if (repeats && repeats->selectedRepeatKind() == TWRepeatTypeInvoice)
            invoices = repeats->invoicesController();
    }
    if (!invoices)
        return;
    switch (main) {
    case A::doNewInvoice:
        invoices->newInvoice();
        break;
    case A::doEditInvoice:
        invoices->editSelectedInvoice(context);
        break;
    case A::doDuplicateInvoice:
        invoices->duplicateSelectedInvoice(context);
        break;
    case A::doDeleteInvoice:
        invoices->deleteSelectedInvoice(context);
        break;
    case A::doMarkInvoice:
        invoices->markInvoice(tag, context);
        break;
    case A::doSendInvoice:
        invoices->sendInvoice(context);
        break;
    case A::doColumnClientInvoice:
        invoices->toggleFieldVisible(tag);
        break;
    case A::doSortByClientInvoice:
        invoices->updateSortBy(tag, true);
        break;
    case A::doSortDirectionClientInvoice:
        invoices->updateSortDirection(tag != 1, true);
        break;
    default:
        break;
    }
}

void TWBusinessController::doAdvancedFind()
{
    if (!m_business)
        return;
    if (!m_searchController)
        m_searchController = new TWSearchController(this);
    m_searchController->setBusinessController(this);
    m_searchController->setBusiness(m_business.get());
    m_searchController->update();
    QPointer<TWBusinessController> guarded(this);
    beginSheetWithView(m_searchController->view(), true, true, [guarded](int returnCode) {
        if (!guarded || returnCode != TWSheetResult::Confirmed || !guarded->m_masterController)
            return;
        TWMasterController *master = guarded->m_masterController;
        master->update();
        if (const TWMasterItemPtr node =
                master->masterItemWithType(TWMasterItemSearchResults, 0, 0))
            guarded->selectMasterItems({node}, true);
    });
}

void TWBusinessController::showExportSheet(TWEditorKind kind)
{
    TWEditorController *&sheet = m_exportControllers[int(kind)];
    if (!sheet)
        sheet = TWAppRegistry::registry().makeEditor(kind, this);
    if (!sheet)
        return;
    sheet->setBusinessController(this);
    sheet->setBusiness(m_business.get());
    sheet->reset();
    beginSheetWithView(sheet->view(), true, true, {});
}
