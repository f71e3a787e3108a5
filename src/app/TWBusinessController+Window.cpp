// The document's window content: the source list, switching the detail view
// by the selection, navigation to records and the store notifications that
// refresh what is shown.

#include "app/TWBusinessController.h"

#include "app/TWMasterController.h"
#include "app/TWWindowController.h"

#include "foundation/TWNotificationCenter.h"
#include "platform/wake/TWWakeMonitor.h"

#include <QStackedWidget>

void TWBusinessController::initUI()
{
    if (m_windowController)
        m_windowController->setRestored(false);
    m_detailType = 0;
    delete m_masterController;
    m_masterController = new TWMasterController(this);
    m_masterController->setBusinessController(this);
    m_masterController->setBusiness(m_business.get());
    if (m_windowController)
        m_windowController->setMasterView(m_masterController->view());
    m_masterController->update();
    if (m_detailType == 0)
        selectMasterItems({}, false);
    if (m_windowController) {
        m_windowController->restoreLayout(m_business.get());
        updateDetailButtonsFrame();
        updateCountTotalFrame();
        for (int type : {int(TWDetailClients), int(TWDetailMerchants), int(TWDetailFields),
                         int(TWDetailRepeats)})
            if (TWDetailController *controller = detailController(type))
                controller->restoreFrame();
    }
    observe();
}

void TWBusinessController::observe()
{
    stopObserving();
    TWNotificationCenter &center = TWNotificationCenter::defaultCenter();
    const void *sender = m_business.get();
    if (!sender)
        return;
    const auto add = [&](std::initializer_list<const char *> names, auto handler) {
        for (const char *name : names)
            m_observers.push_back(center.addObserver(QLatin1String(name), sender, handler));
    };
    add({"clientNew", "clientDelete", "clientUpdate", "projectNew", "projectDelete",
         "projectUpdate", "taskNew", "taskDelete", "taskUpdate", "taskItemDelete"},
        [this](const TWNotification &note) {
            if (m_taskTimer)
                m_taskTimer->taskTimerUpdateNotification(note);
        });
    add({"taskNew", "taskDelete", "taskUpdate"},
        [this](const TWNotification &) { tasksUpdated(); });
    add({"expenseNew", "expenseDelete", "expenseUpdate"},
        [this](const TWNotification &) { expensesUpdated(); });
    add({"transactionNew", "transactionDelete", "transactionUpdate"},
        [this](const TWNotification &) { transactionsUpdated(); });
    add({"repeatUpdatedItems"}, [this](const TWNotification &) { updateChangeCount(0); });
    m_wakeConnection = connect(TWWakeMonitor::shared(), &TWWakeMonitor::didWake, this, [this] {
        if (m_taskTimer)
            m_taskTimer->didWake();
    });
}

void TWBusinessController::stopObserving()
{
    for (TWNotificationCenter::Token token : m_observers)
        TWNotificationCenter::defaultCenter().removeObserver(token);
    m_observers.clear();
    disconnect(m_wakeConnection);
}

void TWBusinessController::releaseControllers()
{
    delete m_masterController;
    m_masterController = nullptr;
    for (auto &[type, controller] : m_details) {
        if (QWidget *view = controller->view())
            view->setParent(nullptr);
        delete controller;
    }
    m_details.clear();
    delete m_importTransactions;
    m_importTransactions = nullptr;
    delete m_importTasks;
    m_importTasks = nullptr;
    delete m_importExpenses;
    m_importExpenses = nullptr;
    m_importing = false;
    m_detailType = 0;
    m_detailButtonsView = nullptr;
    m_subDetailButtonsView = nullptr;
}

TWDetailController *TWBusinessController::detailController(int detailType) const
{
    // The register serves both of its detail types.
    if (detailType == TWDetailTransactionsFilters)
        detailType = TWDetailTransactionsAccounts;
    const auto found = m_details.find(detailType);
    return found == m_details.end() ? nullptr : found->second;
}

TWRegisterDetail *TWBusinessController::transactionsController() const
{
    return detailAs<TWRegisterDetail>(TWDetailTransactionsAccounts);
}

TWDetailController *TWBusinessController::ensureDetailController(int detailType)
{
    const int key =
        detailType == TWDetailTransactionsFilters ? int(TWDetailTransactionsAccounts) : detailType;
    TWDetailController *controller = detailController(key);
    if (!controller) {
        controller = TWAppRegistry::registry().makeDetailController(TWDetailKind(key), this);
        controller->setBusinessController(this);
        controller->setBusiness(m_business.get());
        m_details[key] = controller;
    }
    return controller;
}

void TWBusinessController::updateSplitViewDetail(int detailType)
{
    if (detailType == m_detailType || detailType < TWDetailTransactionsAccounts ||
        detailType > TWDetailValues)
        return;
    m_detailType = detailType;
    TWDetailController *controller = ensureDetailController(detailType);
    if (auto *transactions = qobject_cast<TWRegisterDetail *>(controller);
        transactions && detailType <= TWDetailTransactionsFilters)
        transactions->setMode(TWRegisterMode(detailType));
    if (!m_windowController)
        return;
    m_windowController->setDetailView(controller->view());
    if (!m_windowController->isRestored())
        return;
    // The inner layout of the view just shown.
    switch (detailType) {
    case TWDetailTransactionsAccounts:
    case TWDetailTransactionsFilters:
        controller->restoreFrame();
        break;
    case TWDetailClients:
        if (auto *clients = qobject_cast<TWClientDetail *>(controller)) {
            if (TWInvoicesList *invoices = clients->invoicesController())
                if (TWRegisterDetail *payments = invoices->transactionsController();
                    payments && payments->isRestored())
                    payments->restoreFrame();
        }
        controller->restoreFrame();
        break;
    case TWDetailMerchants:
        if (auto *merchants = qobject_cast<TWMerchantDetail *>(controller))
            if (TWRegisterDetail *payments = merchants->transactionsController())
                payments->restoreFrame();
        controller->restoreFrame();
        break;
    case TWDetailFields:
        controller->restoreFrame();
        break;
    case TWDetailRepeats:
        if (auto *repeats = qobject_cast<TWRepeatsDetail *>(controller))
            if (TWRegisterDetail *items = repeats->transactionsController())
                items->restoreFrame();
        controller->restoreFrame();
        break;
    default:
        break;
    }
}

TWItemPtr TWBusinessController::selectedItem() const
{
    if (!m_masterController)
        return {};
    const TWMasterItemPtr selected = m_masterController->selectedMasterItem();
    return selected && selected->isRecord() ? selected->item() : nullptr;
}

void TWBusinessController::selectMasterItems(const TWMasterItemList &items, bool updateMaster)
{
    const TWMasterItemPtr first = items.isEmpty() ? nullptr : items.first();
    const quint32 type = first ? first->type() : quint32(-1);
    const int kind = first ? first->itemType() : 0;
    const auto showRegister = [&](int detail, TWRegisterMode mode) {
        updateSplitViewDetail(detail);
        auto *transactions = transactionsController();
        if (!transactions)
            return;
        if (mode == TWRegisterMode::Nothing) {
            transactions->setParentItems({});
            transactions->setAccounts({});
        } else {
            transactions->setParentItems(TWMasterItem::childItems(items));
            if (mode == TWRegisterMode::Accounts)
                transactions->setAccounts(
                    twItemsAs<TWAccount>(TWMasterItem::childItems(items, TWItemTypeAccount)));
            else if (type == TWMasterItemSearchResults)
                transactions->setFilters(m_business && m_business->advancedFindFilter()
                                             ? TWFilterList{m_business->advancedFindFilter()}
                                             : TWFilterList{});
            else
                transactions->setFilters(
                    twItemsAs<TWFilter>(TWMasterItem::childItems(items, TWItemTypeFilter)));
        }
        transactions->setMode(mode);
    };

    if (type == TWMasterItemEntity &&
        (kind == TWItemTypeAccountGroup || kind == TWItemTypeAccount)) {
        showRegister(TWDetailTransactionsAccounts, TWRegisterMode::Accounts);
    } else if (type == TWMasterItemEntity &&
               (kind == TWItemTypeClientGroup || kind == TWItemTypeClient)) {
        updateSplitViewDetail(TWDetailClients);
        if (auto *clients = detailAs<TWClientDetail>(TWDetailClients))
            clients->setClients(
                twItemsAs<TWClient>(TWMasterItem::childItems(items, TWItemTypeClient)));
    } else if (type == TWMasterItemEntity &&
               (kind == TWItemTypeMerchantGroup || kind == TWItemTypeMerchant)) {
        updateSplitViewDetail(TWDetailMerchants);
        if (auto *merchants = detailAs<TWMerchantDetail>(TWDetailMerchants))
            merchants->setMerchants(
                twItemsAs<TWMerchant>(TWMasterItem::childItems(items, TWItemTypeMerchant)));
    } else if (type == TWMasterItemEntity && kind == TWItemTypeReport) {
        updateSplitViewDetail(TWDetailReport);
        if (auto *report = detailAs<TWReportDetail>(TWDetailReport))
            report->setReport(std::dynamic_pointer_cast<TWReport>(first->item()));
    } else if ((type == TWMasterItemEntity &&
                (kind == TWItemTypeFilterGroup || kind == TWItemTypeFilter)) ||
               type == TWMasterItemSearchResults) {
        showRegister(TWDetailTransactionsFilters, TWRegisterMode::Filters);
    } else if (type == TWMasterItemAutofill) {
        updateSplitViewDetail(TWDetailAutofill);
    } else if (type == TWMasterItemBudget) {
        updateSplitViewDetail(TWDetailBudget);
    } else if (type == TWMasterItemFields) {
        updateSplitViewDetail(TWDetailFields);
    } else if (type == TWMasterItemUnits) {
        updateSplitViewDetail(TWDetailUnits);
    } else if (type == TWMasterItemRepeats) {
        updateSplitViewDetail(TWDetailRepeats);
    } else if (type == TWMasterItemValues) {
        updateSplitViewDetail(TWDetailValues);
    } else {
        // Headers, report groups and no selection: the register without rows.
        showRegister(TWDetailTransactionsAccounts, TWRegisterMode::Nothing);
    }
    if (TWDetailController *shown = detailController(m_detailType))
        shown->update();

    if (updateMaster && m_masterController)
        m_masterController->selectMasterItems(items);
    updateSearch(first.get());
    updateDetailButtons(first.get());
    updateDeleteButton(first.get());
    // Selections made in code never pass the source list's change handler,
    // so the line is counted here in both cases.
    updateCountTotal();
    updateCountTotalFrame();
}

bool TWBusinessController::isMasterSelected(int section) const
{
    const TWMasterItemPtr selected =
        m_masterController ? m_masterController->selectedMasterItem() : nullptr;
    if (!selected)
        return false;
    const int kind = selected->itemType();
    switch (section) {
    case TWMasterSectionAccounts:
        return kind == TWItemTypeAccountGroup || kind == TWItemTypeAccount;
    case TWMasterSectionFilters:
        return kind == TWItemTypeFilterGroup || kind == TWItemTypeFilter;
    case TWMasterSectionSearchResults:
        return selected->type() == TWMasterItemSearchResults;
    case TWMasterSectionClients:
        return kind == TWItemTypeClientGroup || kind == TWItemTypeClient;
    case TWMasterSectionMerchants:
        return kind == TWItemTypeMerchantGroup || kind == TWItemTypeMerchant;
    case TWMasterSectionReports:
        return kind == TWItemTypeReportGroup || kind == TWItemTypeReport;
    case TWMasterSectionAutofill:
        return selected->type() == TWMasterItemAutofill;
    case TWMasterSectionBudget:
        return selected->type() == TWMasterItemBudget;
    case TWMasterSectionFields:
        return selected->type() == TWMasterItemFields;
    case TWMasterSectionUnits:
        return selected->type() == TWMasterItemUnits;
    case TWMasterSectionRepeats:
        return selected->type() == TWMasterItemRepeats;
    case TWMasterSectionValues:
        return selected->type() == TWMasterItemValues;
    default:
        return false;
    }
}

void TWBusinessController::updateItemParentAndSortOrder(const TWItemPtr &item,
                                                        const TWMasterItem *parent) const
{
    if (!item)
        return;
    item->setParentIdentifier(parent && parent->item() ? parent->item()->identifier() : 0);
    if (!m_business)
        return;
    if (m_business->sortBy() == 0) {
        item->setSortOrder(0);
        return;
    }
    if (m_business->sortBy() != 1)
        return;
    if (parent) {
        item->setSortOrder(parent->nextSortOrder());
        return;
    }
    int index = -1;
    switch (item->type()) {
    case 1:
    case 5:
        index = 0;
        break;
    case 2:
    case 6:
        index = 3;
        break;
    case 3:
    case 7:
        index = 4;
        break;
    case 4:
    case 8:
        index = 5;
        break;
    case 9:
    case 10:
        index = 1;
        break;
    default:
        return;
    }
    if (m_masterController)
        if (const TWMasterItemPtr header = m_masterController->masterItemAtIndex(index))
            item->setSortOrder(header->nextSortOrder());
}

// ---- Navigation ----

void TWBusinessController::showRepeat(const TWRepeatPtr &repeat)
{
    if (!shouldSelectMasterItem() || !m_masterController)
        return;
    const TWMasterItemPtr node = m_masterController->masterItemWithType(TWMasterItemRepeats, 0, 0);
    if (!node)
        return;
    selectMasterItems({node}, true);
    if (auto *repeats = detailAs<TWRepeatsDetail>(TWDetailRepeats)) {
        repeats->update();
        repeats->selectRepeat(repeat);
    }
}

void TWBusinessController::showClient(const TWClientPtr &client, const TWProjectPtr &project,
                                      const TWInvoicePtr &invoice)
{
    if (!shouldSelectMasterItem() || !m_masterController || !client)
        return;
    const TWMasterItemPtr node = m_masterController->masterItemWithType(
        TWMasterItemEntity, TWItemTypeClient, client->identifier());
    if (!node)
        return;
    selectMasterItems({node}, true);
    if (auto *clients = detailAs<TWClientDetail>(TWDetailClients)) {
        clients->update();
        clients->selectProject(project, invoice);
    }
}

void TWBusinessController::showMerchant(const TWMerchantPtr &merchant, const TWBillPtr &bill)
{
    if (!shouldSelectMasterItem() || !m_masterController || !merchant)
        return;
    const TWMasterItemPtr node = m_masterController->masterItemWithType(
        TWMasterItemEntity, TWItemTypeMerchant, merchant->identifier());
    if (!node)
        return;
    selectMasterItems({node}, true);
    if (auto *merchants = detailAs<TWMerchantDetail>(TWDetailMerchants)) {
        merchants->update();
        merchants->selectBill(bill);
    }
}

// ---- Notifications ----

void TWBusinessController::transactionsUpdated()
{
    const TWMasterItemPtr selected =
        m_masterController ? m_masterController->selectedMasterItem() : nullptr;
    if (selected) {
        const int kind = selected->itemType();
        if (selected->type() == TWMasterItemSearchResults || kind == TWItemTypeAccountGroup ||
            kind == TWItemTypeAccount || kind == TWItemTypeFilterGroup ||
            kind == TWItemTypeFilter) {
            if (TWRegisterDetail *transactions = transactionsController())
                transactions->updateTransactions();
        } else if (selected->type() == TWMasterItemRepeats) {
            if (auto *repeats = detailAs<TWRepeatsDetail>(TWDetailRepeats))
                repeats->updateRepeatsAndTransactions();
        } else if (kind == TWItemTypeClientGroup || kind == TWItemTypeClient) {
            if (auto *clients = detailAs<TWClientDetail>(TWDetailClients))
                clients->transactionsUpdated();
        } else if (kind == TWItemTypeMerchantGroup || kind == TWItemTypeMerchant) {
            if (auto *merchants = detailAs<TWMerchantDetail>(TWDetailMerchants))
                merchants->transactionsUpdated();
        }
    }
    updateCountTotal();
    if (m_business && m_business->showSummary() && m_masterController)
        m_masterController->updateSummary();
}

void TWBusinessController::tasksUpdated()
{
    if (!isMasterSelected(TWMasterSectionClients))
        return;
    if (auto *clients = detailAs<TWClientDetail>(TWDetailClients))
        if (TWTasksList *tasks = clients->tasksController())
            tasks->updateTasks();
}

void TWBusinessController::expensesUpdated()
{
    if (!isMasterSelected(TWMasterSectionClients))
        return;
    if (auto *clients = detailAs<TWClientDetail>(TWDetailClients))
        if (TWExpensesList *expenses = clients->expensesController())
            expenses->updateExpenses();
}

void TWBusinessController::clientDeleted(const TWClientPtr &client)
{
    auto *clients = detailAs<TWClientDetail>(TWDetailClients);
    if (!client || !clients || !m_business || !m_taskTimer)
        return;
    const bool shown =
        std::any_of(clients->clients().begin(), clients->clients().end(),
                    [&client](const TWClientPtr &candidate) {
                        return candidate && candidate->identifier() == client->identifier();
                    });
    const qint32 timed = m_taskTimer->timedTaskIdentifier();
    if (!shown || timed == 0)
        return;
    const TWTaskPtr task = m_business->taskWithIdentifier(timed);
    const TWProjectPtr project =
        task ? m_business->projectWithIdentifier(task->projectIdentifier()) : nullptr;
    if (project && project->clientIdentifier() == client->identifier())
        m_taskTimer->stopTaskTimer(QDateTime());
}

// ---- Preview window ----

void TWBusinessController::beginPreviewPanelControl()
{
    if (m_delegate)
        m_delegate->beginPreviewPanelControl(this);
}

void TWBusinessController::endPreviewPanelControl()
{
    if (m_delegate)
        m_delegate->endPreviewPanelControl(this);
}
