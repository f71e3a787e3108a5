// The document's business-information sheet, the small editors that pop up
// over source-list records, which list a command acts on, and starting an
// import of transactions, tasks or expenses.

#include "app/TWBusinessController.h"

#include "app/TWFilterInfoController.h"
#include "app/TWGroupInfoController.h"
#include "app/TWMasterController.h"
#include "app/TWPopover.h"
#include "app/TWRecordEditors.h"

#include "store/TWBusiness.h"

#include <QMainWindow>
#include <QMenu>

namespace
{

// Which kind of record each information popover edits; one popover per kind
// is made and kept.
constexpr qint64 kTagGroup = 1;
constexpr qint64 kTagAccount = 2;
constexpr qint64 kTagFilter = 3;
constexpr qint64 kTagClient = 4;
constexpr qint64 kTagMerchant = 5;
constexpr qint64 kTagReport = 6;

} // namespace

TWError TWBusinessController::lastStoreError() const
{
    return m_business ? m_business->lastDatabaseError() : TWBusiness::databaseError(1);
}

TWError TWBusinessController::lastStoreError(const TWBusinessController *document)
{
    return document ? document->lastStoreError() : TWBusiness::databaseError(1);
}

// ---- Business information ----

void TWBusinessController::doBusiness()
{
    if (!m_business || !m_business->businessInfo())
        return;
    if (!m_businessInfoController) {
        m_businessInfoController = TWAppRegistry::registry().makeBusinessInfoEditor(this);
        if (!m_businessInfoController)
            return;
        // The editor asks to be closed by a signal; the sheet ends here.
        connect(m_businessInfoController, &TWEditorController::endRequested, this,
                [this](int code) { endSheet(m_businessInfoController->view(), code); });
    }
    TWBusinessInfoEditor *editor = m_businessInfoController;
    editor->setMode(TWEditorMode::Existing);
    editor->view();
    editor->setBusinessInfo(m_business->businessInfo()->copy());
    editor->setBusinessController(this);
    editor->setBusiness(m_business.get());
    editor->update();
    beginSheetWithView(editor->view(), false, true, [this](int code) {
        if (code != TWSheetResult::Confirmed || !m_business || !m_businessInfoController)
            return;
        const TWBusinessInfoPtr info = m_businessInfoController->businessInfo();
        if (!info)
            return;
        if (TWErrorResult error =
                storeBusinessInfo(info, m_businessInfoController->dirtyAccountingPeriods())) {
            presentError(*error);
            return;
        }
        if (m_masterController)
            m_masterController->update();
    });
}

TWErrorResult TWBusinessController::storeBusinessInfo(const TWBusinessInfoPtr &info,
                                                      bool periodsChanged)
{
    // One write: the periods are deleted before they are added again, so a
    // failure half way must bring back the old ones with the old record.
    TWBusiness &business = *m_business;
    TWBusiness::WriteScope scope(business);
    const TWAccountingPeriodList previousPeriods = info->accountingPeriods();
    if (TWErrorResult error = business.updateBusinessInfo(info))
        return scope.finish(error);
    if (!periodsChanged)
        return scope.commit();
    if (TWErrorResult error = business.deleteAccountingPeriods(true))
        return scope.finish(error);
    qint32 next = business.nextAccountingPeriodIdentifier();
    if (next == 0)
        return scope.finish(lastStoreError());
    for (const TWAccountingPeriodPtr &period : previousPeriods)
        if (period && period->identifier() >= next)
            next = period->identifier() + 1;
    // Numbering changes the periods in the record: undone with the rest.
    QList<std::pair<TWAccountingPeriodPtr, qint32>> numbered;
    for (const TWAccountingPeriodPtr &period : previousPeriods) {
        if (period && period->identifier() == 0) {
            numbered.append({period, 0});
            period->setIdentifier(next++);
        }
    }
    scope.onRollback([numbered] {
        for (const auto &[period, identifier] : numbered)
            period->setIdentifier(identifier);
    });
    for (const TWAccountingPeriodPtr &period : previousPeriods)
        if (period)
            if (TWErrorResult error = business.addAccountingPeriod(period, true))
                return scope.finish(error);
    if (TWErrorResult error = business.updateAccountingPeriods(true))
        return scope.finish(error);
    if (TWErrorResult error = business.updateTransactionStates())
        return scope.finish(error);
    return scope.commit();
}

// ---- Information popovers ----

TWInfoEditor *TWBusinessController::editInfoController(qint64 tag) const
{
    const auto found = m_editInfoControllers.find(tag);
    return found == m_editInfoControllers.end() ? nullptr : found->second;
}

TWInfoEditor *TWBusinessController::ensureEditInfoController(qint64 tag, int family)
{
    if (TWInfoEditor *editor = editInfoController(tag))
        return editor;
    TWInfoEditor *editor = makeInfoController(family);
    if (editor)
        m_editInfoControllers[tag] = editor;
    return editor;
}

void TWBusinessController::showInspector(bool context)
{
    if (!m_masterController || !m_business)
        return;
    TWMasterItemPtr node;
    if (context) {
        const TWMasterItemList nodes = m_masterController->contextMasterItems();
        node = nodes.isEmpty() ? nullptr : nodes.first();
    } else {
        node = m_masterController->selectedMasterItem();
    }
    if (!node || !node->isRecord())
        return;
    qint64 tag = 0;
    int family = 0;
    switch (node->itemType()) {
    case TWItemTypeAccountGroup:
    case TWItemTypeClientGroup:
    case TWItemTypeMerchantGroup:
    case TWItemTypeReportGroup:
    case TWItemTypeFilterGroup:
        tag = kTagGroup;
        family = TWItemTypeAccountGroup;
        break;
    case TWItemTypeAccount:
        tag = kTagAccount;
        family = TWItemTypeAccount;
        break;
    case TWItemTypeFilter:
        tag = kTagFilter;
        family = TWItemTypeFilter;
        break;
    case TWItemTypeClient:
        tag = kTagClient;
        family = TWItemTypeClient;
        break;
    case TWItemTypeMerchant:
        tag = kTagMerchant;
        family = TWItemTypeMerchant;
        break;
    case TWItemTypeReport:
        tag = kTagReport;
        family = TWItemTypeReport;
        break;
    default:
        return;
    }
    TWInfoEditor *editor = ensureEditInfoController(tag, family);
    if (!editor)
        return;
    if (!m_popover) {
        m_popover = new TWPopover(windowForSheet());
        m_popover->setObjectName(QStringLiteral("informationPopover"));
        connect(m_popover, &TWPopover::closed, this, [this] { popoverDidClose(); });
    } else {
        if (m_popover->isShown())
            m_popover->performClose();
        m_popover->setContentWidget(nullptr);
    }
    editor->setMode(TWEditorMode::Existing);
    editor->setBusinessController(this);
    editor->setBusiness(m_business.get());
    editor->view();
    // The editor works on a copy: the listed record changes only when the
    // store has taken the edit.
    editor->setItem(node->item()->copy());
    editor->setParentPopover(m_popover);
    editor->update();
    m_popoverTag = tag;
    m_popover->setContentWidget(editor->view());
    QWidget *anchor = m_masterController->outlineView();
    QRect rect = m_masterController->rectForMasterItem(*node);
    if (anchor && anchor->isVisible()) {
        m_popover->showRelativeToRect(rect, anchor, TWPopover::MinXEdge);
    } else {
        QWidget *window = windowForSheet();
        m_popover->showRelativeToRect(window ? QRect(QPoint(0, 0), QSize(1, 1)) : QRect(), window,
                                      TWPopover::MinXEdge);
    }
}

void TWBusinessController::popoverDidClose()
{
    const qint64 tag = m_popoverTag;
    m_popoverTag = 0;
    TWInfoEditor *editor = editInfoController(tag);
    if (!editor || !editor->saved() || !m_business)
        return;
    const TWItemPtr item = editor->item();
    TWErrorResult error;
    TWBusiness &business = *m_business;
    switch (tag) {
    case kTagGroup:
        error = business.updateGroup(std::dynamic_pointer_cast<TWGroup>(item), true);
        break;
    case kTagAccount:
        error = business.updateAccount(std::dynamic_pointer_cast<TWAccount>(item), true);
        break;
    case kTagFilter:
        error = business.updateFilter(std::dynamic_pointer_cast<TWFilter>(item), true);
        break;
    case kTagClient:
        error = business.updateClient(std::dynamic_pointer_cast<TWClient>(item), true);
        break;
    case kTagMerchant:
        error = business.updateMerchant(std::dynamic_pointer_cast<TWMerchant>(item), true);
        break;
    case kTagReport:
        error = business.updateReport(std::dynamic_pointer_cast<TWReport>(item), true);
        break;
    default:
        return;
    }
    if (m_masterController)
        m_masterController->update();
    if (error)
        presentError(*error);
}

// ---- The list a command acts on ----

namespace
{

// While an import sheet shows its two lists (rows to import, rows already in
// the books), a command acts on the list whose context menu was opened, else
// on the one that has the keyboard focus.
template <typename List>
List *importSelectionList(const TWImportController *import, bool context, QMenu *menu)
{
    if (!import)
        return nullptr;
    for (const auto which : {TWImportController::ImportList, TWImportController::ExistingList}) {
        const bool matches = context ? menu && import->selectionListHasContextMenu(which, menu)
                                     : import->selectionListHasFirstResponder(which);
        if (matches)
            return dynamic_cast<List *>(import->selectionList(which));
    }
    return nullptr;
}

} // namespace

TWRegisterDetail *TWBusinessController::activeTransactionsController(bool context,
                                                                     bool ignoreImport,
                                                                     QMenu *menu) const
{
    if (m_importing && !ignoreImport)
        return importSelectionList<TWRegisterDetail>(m_importTransactions, context, menu);
    if (!m_masterController)
        return nullptr;
    const TWMasterItemPtr node = m_masterController->selectedMasterItem();
    if (!node)
        return nullptr;
    if (node->type() == TWMasterItemSearchResults)
        return transactionsController();
    if (node->type() == TWMasterItemRepeats) {
        const auto *repeats = detailAs<TWRepeatsDetail>(TWDetailRepeats);
        return repeats ? repeats->transactionsController() : nullptr;
    }
    switch (node->itemType()) {
    case TWItemTypeAccountGroup:
    case TWItemTypeAccount:
    case TWItemTypeFilterGroup:
    case TWItemTypeFilter:
        return transactionsController();
    case TWItemTypeClientGroup:
    case TWItemTypeClient: {
        const auto *clients = detailAs<TWClientDetail>(TWDetailClients);
        TWInvoicesList *invoices = clients ? clients->invoicesController() : nullptr;
        return invoices ? invoices->transactionsController() : nullptr;
    }
    case TWItemTypeMerchantGroup:
    case TWItemTypeMerchant: {
        const auto *merchants = detailAs<TWMerchantDetail>(TWDetailMerchants);
        return merchants ? merchants->transactionsController() : nullptr;
    }
    default:
        return nullptr;
    }
}

TWTasksList *TWBusinessController::activeTasksController(bool context, bool ignoreImport,
                                                         QMenu *menu) const
{
    if (m_importing && !ignoreImport)
        return importSelectionList<TWTasksList>(m_importTasks, context, menu);
    const auto *clients = detailAs<TWClientDetail>(TWDetailClients);
    return clients ? clients->tasksController() : nullptr;
}

TWExpensesList *TWBusinessController::activeExpensesController(bool context, bool ignoreImport,
                                                               QMenu *menu) const
{
    if (m_importing && !ignoreImport)
        return importSelectionList<TWExpensesList>(m_importExpenses, context, menu);
    const auto *clients = detailAs<TWClientDetail>(TWDetailClients);
    return clients ? clients->expensesController() : nullptr;
}

// ---- Imports ----

namespace
{

TWImportController *ensureImport(TWImportController *&slot, TWEditorKind kind, QObject *parent)
{
    if (!slot)
        slot =
            qobject_cast<TWImportController *>(TWAppRegistry::registry().makeEditor(kind, parent));
    return slot;
}

} // namespace

void TWBusinessController::importTransactionsURL(const QUrl &url)
{
    TWImportController *import =
        ensureImport(m_importTransactions, TWEditorKind::ImportTransactions, this);
    if (!import)
        return;
    const TWItemPtr selected = selectedItem();
    TWAccountPtr account = selected && selected->type() == TWItemTypeAccount
                               ? std::dynamic_pointer_cast<TWAccount>(selected)
                               : nullptr;
    import->setBusinessController(this);
    import->setBusiness(m_business.get());
    import->setDefaultAccount(account);
    import->reset();
    if (url.isEmpty())
        import->select();
    else
        import->importURL(url);
}

namespace
{

TWProjectPtr defaultProject(const TWBusinessController &document)
{
    const TWItemPtr selected = document.selectedItem();
    if (!selected || selected->type() != TWItemTypeClient)
        return nullptr;
    const auto *clients =
        qobject_cast<TWClientDetail *>(document.detailController(TWDetailClients));
    const TWProjectList projects = clients ? clients->selectedProjects() : TWProjectList();
    return projects.isEmpty() ? nullptr : projects.first();
}

} // namespace

void TWBusinessController::importTasksURL(const QUrl &url)
{
    TWImportController *import = ensureImport(m_importTasks, TWEditorKind::ImportTasks, this);
    if (!import)
        return;
    import->setBusinessController(this);
    import->setBusiness(m_business.get());
    import->setDefaultProject(defaultProject(*this));
    import->reset();
    if (url.isEmpty())
        import->select();
    else
        import->importURL(url);
}

void TWBusinessController::importExpensesURL(const QUrl &url)
{
    TWImportController *import = ensureImport(m_importExpenses, TWEditorKind::ImportExpenses, this);
    if (!import)
        return;
    import->setBusinessController(this);
    import->setBusiness(m_business.get());
    import->setDefaultProject(defaultProject(*this));
    import->reset();
    if (url.isEmpty())
        import->select();
    else
        import->importURL(url);
}
