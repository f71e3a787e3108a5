#include "app/TWMenuValidation.h"

#include <QHash>
#include <QStringList>

#include <algorithm>
#include <array>

namespace
{

using A = TWAction;
using L = TWListTarget;
using Q = TWQuery;

const std::array<const char *, size_t(A::count)> &actionNames()
{
    static const std::array<const char *, size_t(A::count)> names = {
#define TW_ACTION_NAME(name) #name,
        TW_ACTIONS(TW_ACTION_NAME)
#undef TW_ACTION_NAME
    };
    return names;
}

// Main command of every command, made once from the names.
const std::array<A, size_t(A::count)> &mainActions()
{
    static const std::array<A, size_t(A::count)> mains = [] {
        std::array<A, size_t(A::count)> result{};
        for (int i = 0; i < int(A::count); ++i) {
            const QString name = QLatin1String(actionNames()[i]);
            result[i] = A(i);
            if (name.endsWith(QLatin1String("Context"))) {
                if (auto main = twActionFromName(name.chopped(7)))
                    result[i] = *main;
            }
        }
        return result;
    }();
    return mains;
}

TWValidation enabled(bool on)
{
    TWValidation result;
    result.enabled = on;
    return result;
}

bool isOneOf(A action, std::initializer_list<A> actions)
{
    return std::find(actions.begin(), actions.end(), action) != actions.end();
}

// The commands an import sheet's lists can take.
bool isImportAction(A main)
{
    return isOneOf(main, {A::doEditTransaction, A::doMarkTransaction, A::doEditTask, A::doMarkTask,
                          A::doEditTaskItem, A::doEditExpense});
}

TWImportKind importKind(A main)
{
    if (main == A::doEditTransaction || main == A::doMarkTransaction)
        return TWImportKind::Transactions;
    if (main == A::doEditExpense)
        return TWImportKind::Expenses;
    return TWImportKind::Tasks;
}

TWValidation validateImport(A action, A main, bool context, const TWValidationState &state)
{
    if (!isImportAction(main))
        return enabled(false);
    const TWImportKind kind = importKind(main);
    const L list =
        context ? state.importListWithContextMenu(kind) : state.importListWithFocus(kind);
    if (list == L::None)
        return enabled(false);
    switch (main) {
    case A::doEditTransaction:
        return enabled(state.hasSelectedTransaction(list, context, true, false, false));
    case A::doMarkTransaction:
        return enabled(state.hasSelectedTransaction(list, context, false, false, false));
    case A::doEditTask:
        return enabled(state.query(list, Q::CanEditTask, context));
    case A::doMarkTask:
        return enabled(state.query(list, Q::HasSelectedTask, context));
    case A::doEditTaskItem:
        return enabled(state.query(list, Q::CanEditTaskItem, context));
    case A::doEditExpense:
        return enabled(state.query(list, Q::CanEditExpense, context));
    default:
        Q_UNUSED(action);
        return enabled(false);
    }
}

bool isAlwaysEnabled(A action)
{
    return isOneOf(action, {A::doBusiness,
                            A::doNewAccount,
                            A::doNewAccountContext,
                            A::doNewAccountGroup,
                            A::doNewGroupContext,
                            A::doDownloadCurrencyExchangeRates,
                            A::doNewFilter,
                            A::doNewFilterContext,
                            A::doNewFilterGroup,
                            A::doNewClient,
                            A::doNewClientContext,
                            A::doNewClientGroup,
                            A::doNewMerchant,
                            A::doNewMerchantContext,
                            A::doNewMerchantGroup,
                            A::doNewReportContext,
                            A::doNewTransactionContext,
                            A::doAddMultipleTransactionsContext,
                            A::doNewField,
                            A::doNewFieldContext,
                            A::doNewFieldItemContext,
                            A::doNewUnit,
                            A::doNewUnitContext,
                            A::doNewValueContext,
                            A::doImportTransactions,
                            A::doImportTasks,
                            A::doImportExpenses,
                            A::doAdvancedFind});
}

// The column and sort commands and the list whose focus their main command needs.
std::optional<TWFocusList> listMenuFocus(A main, const TWValidationState &state, bool *isListMenu)
{
    *isListMenu = true;
    switch (main) {
    case A::doColumnAccount:
    case A::doSortByAccount:
    case A::doSortDirectionAccount:
        if (state.isMasterSelected(0) || state.isMasterSelected(1) || state.isMasterSelected(2))
            return TWFocusList::Register;
        if (state.isMasterSelected(3))
            return main == A::doColumnAccount ? TWFocusList::ClientInvoiceTransactions
                                              : TWFocusList::InvoicesTransactions;
        if (state.isMasterSelected(4))
            return TWFocusList::MerchantTransactions;
        if (state.isMasterSelected(10))
            return TWFocusList::RepeatsItems;
        return std::nullopt;
    case A::doColumnClientProject:
    case A::doSortByClientProject:
    case A::doSortDirectionClientProject:
        return TWFocusList::Projects;
    case A::doColumnClientTask:
    case A::doSortByClientTask:
    case A::doSortDirectionClientTask:
        return TWFocusList::Tasks;
    case A::doColumnClientTaskItem:
    case A::doSortByClientTaskItem:
    case A::doSortDirectionClientTaskItem:
        return TWFocusList::TaskItems;
    case A::doColumnClientExpense:
    case A::doSortByClientExpense:
    case A::doSortDirectionClientExpense:
        return TWFocusList::Expenses;
    case A::doColumnClientInvoice:
    case A::doSortByClientInvoice:
    case A::doSortDirectionClientInvoice:
        return TWFocusList::Invoices;
    case A::doColumnMerchantBill:
    case A::doSortByMerchantBill:
    case A::doSortDirectionMerchantBill:
        return TWFocusList::Bills;
    default:
        *isListMenu = false;
        return std::nullopt;
    }
}

// The transaction list of the selection: register, repeats, a client's
// payments (invoices tab only) or a merchant's.
L transactionList(const TWValidationState &state)
{
    if (state.isMasterSelected(0) || state.isMasterSelected(1) || state.isMasterSelected(2))
        return L::Register;
    if (state.isMasterSelected(10))
        return L::RepeatsList;
    if (state.isMasterSelected(3))
        return state.clientSelectedTab() == 2 ? L::InvoicePayments : L::None;
    if (state.isMasterSelected(4))
        return L::MerchantList;
    return L::None;
}

std::optional<TWValidation> validateTransactions(A action, A main, bool context,
                                                 const TWValidationState &state)
{
    if (!isOneOf(main, {A::doNewTransaction, A::doAddMultipleTransactions, A::doEditTransaction,
                        A::doShowRelatedTransactions, A::doEditMultipleTransactions,
                        A::doDeleteTransaction, A::doDuplicateTransaction, A::doMarkTransaction,
                        A::doUpdateConvertedTotals}))
        return std::nullopt;
    L list = transactionList(state);
    if (context) {
        // The context twins named by the rules; the others are the document's.
        if (!isOneOf(main, {A::doDuplicateTransaction, A::doDeleteTransaction, A::doMarkTransaction,
                            A::doUpdateConvertedTotals, A::doEditMultipleTransactions}))
            return std::nullopt;
        if (list == L::RepeatsList && main == A::doEditMultipleTransactions)
            return enabled(false);
        return enabled(list != L::None &&
                       state.hasSelectedTransaction(list, true, false, false, false));
    }
    Q_UNUSED(action);
    // A client's payments take commands only while it can add them.
    if (list == L::InvoicePayments && !state.query(L::ClientView, Q::CanAddTransaction, false))
        list = L::None;
    if (list == L::None)
        return enabled(false);
    switch (main) {
    case A::doNewTransaction:
    case A::doAddMultipleTransactions:
        if (list == L::RepeatsList)
            return enabled(false);
        if (list == L::MerchantList && !state.query(L::MerchantView, Q::CanAddTransaction, false))
            return enabled(false);
        // A new transaction needs the editor that makes it.
        return enabled(state.documentValidation(main));
    case A::doEditTransaction:
        return enabled(state.hasSelectedTransaction(list, false, true, false, false));
    case A::doShowRelatedTransactions:
        return enabled(state.hasSelectedTransaction(list, false, true, false, true));
    case A::doEditMultipleTransactions:
        return enabled(list != L::RepeatsList &&
                       state.hasSelectedTransaction(list, false, false, true, false));
    case A::doDuplicateTransaction:
        if (list == L::RepeatsList)
            return enabled(false);
        [[fallthrough]];
    default:
        return enabled(state.hasSelectedTransaction(list, false, false, false, false));
    }
}

std::optional<TWValidation> validateManage(A main, bool context, const TWValidationState &state)
{
    switch (main) {
    case A::doEditField:
        return enabled((context || state.isMasterSelected(8)) &&
                       state.query(L::Fields, Q::CanEditField, context));
    case A::doDeleteField:
        return enabled((context || state.isMasterSelected(8)) &&
                       state.query(L::Fields, Q::CanDeleteField, context));
    case A::doNewFieldItem:
        return enabled(state.isMasterSelected(8) && state.query(L::Fields, Q::CanAddItem, false));
    case A::doDeleteFieldItem:
        return enabled((context || state.isMasterSelected(8)) &&
                       state.query(L::Fields, Q::CanDeleteItem, context));
    case A::doEditUnit:
        return enabled(state.isMasterSelected(9) && state.query(L::Units, Q::CanEditUnit, context));
    case A::doDeleteUnit:
        return enabled((context || state.isMasterSelected(9)) &&
                       state.query(L::Units, Q::CanDeleteUnit, context));
    case A::doDeleteRepeatContext:
        return enabled(state.query(L::Repeats, Q::CanDeleteRepeat, true));
    case A::doNewValue:
        return enabled(state.isMasterSelected(11));
    case A::doDeleteValue:
        return enabled((context || state.isMasterSelected(11)) &&
                       state.query(L::Values, Q::CanDeleteValue, context));
    case A::doEditBudgetItem:
        return enabled(state.isMasterSelected(7) &&
                       state.query(L::Budget, Q::CanEditBudgetItem, context));
    case A::doResetBudgetItem:
        return enabled(state.isMasterSelected(7) &&
                       state.query(L::Budget, Q::CanResetBudgetItem, context));
    case A::printDocument:
        // Only what has pages: the register of accounts and filters, a report
        // (not a report group) and an invoice being sent.
        if (state.isMasterSelected(0) || state.isMasterSelected(1))
            return enabled(state.canPrintSelection());
        if (state.isMasterSelected(5))
            return enabled(state.selectedItemType() == 8 && state.canPrintSelection());
        return enabled(state.isMasterSelected(3) &&
                       state.query(L::Invoices, Q::ShowingSendInvoice, false));
    default:
        return std::nullopt;
    }
}

// The client view's commands: the query, its list and the tab it needs (-1 any).
struct ClientRule {
    A action;
    L list;
    Q query;
    int tab;
};

const ClientRule *clientRule(A main)
{
    static const ClientRule rules[] = {
        {A::doNewProject, L::ClientView, Q::CanAddProject, -1},
        {A::doNewProjectFromEstimate, L::ClientView, Q::CanAddProjectFromEstimate, -1},
        {A::doEditProject, L::ClientView, Q::CanEditProject, -1},
        {A::doDuplicateProject, L::ClientView, Q::CanDuplicateProject, -1},
        {A::doDeleteProject, L::ClientView, Q::CanDeleteProject, -1},
        {A::doMarkProject, L::ClientView, Q::CanMarkProject, -1},
        {A::doNewTask, L::Tasks, Q::CanAddTask, 0},
        {A::doNewTaskItem, L::Tasks, Q::CanAddTaskItem, 0},
        {A::doEditTask, L::Tasks, Q::CanEditTask, -1},
        {A::doDuplicateTask, L::Tasks, Q::CanDuplicateTask, -1},
        {A::doEditTaskItem, L::Tasks, Q::CanEditTaskItem, -1},
        {A::doDuplicateTaskItem, L::Tasks, Q::CanDuplicateTaskItem, -1},
        {A::doDeleteTask, L::Tasks, Q::CanDeleteTask, 0},
        {A::doDeleteTaskItem, L::Tasks, Q::CanDeleteTaskItem, 0},
        {A::doMarkTask, L::Tasks, Q::CanMarkTask, 0},
        {A::doNewExpense, L::Expenses, Q::CanAddExpense, 1},
        {A::doEditExpense, L::Expenses, Q::CanEditExpense, -1},
        {A::doDuplicateExpense, L::Expenses, Q::CanDuplicateExpense, -1},
        {A::doDeleteExpense, L::Expenses, Q::CanDeleteExpense, 1},
        {A::doNewInvoice, L::Invoices, Q::CanAddInvoice, 2},
        {A::doEditInvoice, L::Invoices, Q::CanEditInvoice, -1},
        {A::doDuplicateInvoice, L::Invoices, Q::CanDuplicateInvoice, 2},
        {A::doDeleteInvoice, L::Invoices, Q::CanDeleteInvoice, 2},
        {A::doMarkInvoice, L::Invoices, Q::CanMarkInvoice, 2},
        {A::doSendInvoice, L::Invoices, Q::CanSendInvoice, 2},
    };
    for (const ClientRule &rule : rules) {
        if (rule.action == main)
            return &rule;
    }
    return nullptr;
}

std::optional<TWValidation> validateClient(A action, A main, bool context,
                                           const TWValidationState &state)
{
    if (main == A::doStartStopTaskTimer) {
        const bool onTasks = state.isMasterSelected(3) && state.clientSelectedTab() == 0;
        return enabled((onTasks || state.isTaskTimerRunning()) &&
                       state.query(L::Tasks, Q::CanStartStopTaskTimer, context));
    }
    const ClientRule *rule = clientRule(main);
    if (!rule)
        return std::nullopt;
    TWValidation result;
    if (!context &&
        isOneOf(action, {A::doEditProject, A::doDuplicateProject, A::doDeleteProject})) {
        static const char *const projectKeys[] = {"editProject", "duplicateProject",
                                                  "deleteProject"};
        static const char *const estimateKeys[] = {"editEstimate", "duplicateEstimate",
                                                   "deleteEstimate"};
        const int index = action == A::doEditProject ? 0 : action == A::doDuplicateProject ? 1 : 2;
        result.titleKey = QLatin1String(state.selectedProjectType() != 0 ? projectKeys[index]
                                                                         : estimateKeys[index]);
    }
    if (state.isMasterSelected(3)) {
        result.enabled = (rule->tab < 0 || state.clientSelectedTab() == rule->tab) &&
                         state.query(rule->list, rule->query, context);
    } else if (state.isMasterSelected(10) && state.selectedRepeatKind() == 1 &&
               isOneOf(main, {A::doEditInvoice, A::doDeleteInvoice, A::doMarkInvoice})) {
        result.enabled = state.query(L::RepeatsInvoices, rule->query, context);
    }
    return result;
}

std::optional<TWValidation> validateBills(A main, bool context, const TWValidationState &state)
{
    Q query;
    switch (main) {
    case A::doNewBill:
        query = Q::CanAddBill;
        break;
    case A::doEditBill:
        query = Q::CanEditBill;
        break;
    case A::doDuplicateBill:
        query = Q::CanDuplicateBill;
        break;
    case A::doDeleteBill:
        query = Q::CanDeleteBill;
        break;
    case A::doMarkBill:
        query = Q::CanMarkBill;
        break;
    default:
        return std::nullopt;
    }
    if (state.isMasterSelected(4))
        return enabled(state.query(L::MerchantView, query, context && main != A::doNewBill));
    if (state.isMasterSelected(10) && state.selectedRepeatKind() == 2 &&
        isOneOf(main, {A::doEditBill, A::doDeleteBill, A::doMarkBill}))
        return enabled(state.query(L::RepeatsMerchant, query, context));
    return enabled(false);
}

} // namespace

QString twActionName(TWAction action)
{
    const int index = int(action);
    if (index < 0 || index >= int(A::count))
        return {};
    return QLatin1String(actionNames()[index]);
}

std::optional<TWAction> twActionFromName(const QString &name)
{
    static const QHash<QString, int> byName = [] {
        QHash<QString, int> result;
        for (int i = 0; i < int(A::count); ++i)
            result.insert(QLatin1String(actionNames()[i]), i);
        return result;
    }();
    const auto it = byName.constFind(name);
    if (it == byName.constEnd())
        return std::nullopt;
    return A(*it);
}

bool twIsContextAction(TWAction action)
{
    return twActionName(action).endsWith(QLatin1String("Context"));
}

TWAction twMainAction(TWAction action)
{
    const int index = int(action);
    if (index < 0 || index >= int(A::count))
        return action;
    return mainActions()[index];
}

TWValidation twValidateAction(TWAction action, int tag, const TWValidationState &state)
{
    const A main = twMainAction(action);
    const bool context = twIsContextAction(action);
    // 1 and 2: a sheet holds the window, except an import sheet's own lists.
    if (state.hasAttachedSheet() && !(state.isImporting() && isImportAction(main)))
        return enabled(false);
    if (state.isImporting())
        return validateImport(action, main, context, state);
    if (isAlwaysEnabled(action))
        return enabled(true);
    // Always, once the export sheets exist: the document knows.
    if (isOneOf(action, {A::doExportTransactions, A::doExportTasks, A::doExportExpenses}))
        return enabled(state.documentValidation(action));
    if (action == A::doShowInspectorContext || action == A::doDeleteContext)
        return enabled(state.contextMasterItemCount() == 1);
    if (action == A::doFind) {
        const int entry = state.selectedEntryType();
        const int itemType = state.selectedItemType();
        return enabled(
            (entry == 5 && (itemType == 1 || itemType == 5 || itemType == 9 || itemType == 10)) ||
            entry == 8 || entry == 10 || entry == 13);
    }
    if (action == A::doSearchType || action == A::doMasterSortBy) {
        TWValidation result = enabled(true);
        const int current = action == A::doSearchType ? state.searchFieldType() : state.sortBy();
        if (tag == 0 || tag == 1)
            result.check = current == tag ? TWCheck::On : TWCheck::Off;
        else if (action == A::doMasterSortBy)
            result.check = TWCheck::Off;
        return result;
    }
    bool isListMenu = false;
    const std::optional<TWFocusList> focus = listMenuFocus(main, state, &isListMenu);
    if (isListMenu) {
        if (!context && !(focus && state.hasFirstResponder(*focus)))
            return enabled(false);
        return state.validateListMenu(action, tag, context);
    }
    if (action == A::doShowInspector)
        return enabled(state.masterHasFirstResponder() && state.selectedEntryType() == 5);
    if (auto result = validateTransactions(action, main, context, state))
        return *result;
    if (auto result = validateManage(main, context, state))
        return *result;
    if (auto result = validateClient(action, main, context, state))
        return *result;
    if (auto result = validateBills(main, context, state))
        return *result;
    return enabled(state.documentValidation(action));
}
