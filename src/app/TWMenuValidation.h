#pragma once
// Every command of the document's menus, context menus and buttons, and the
// rule that decides whether one is enabled, checked or retitled. The rule is a
// plain function of the command and a state the window answers, so it is
// tested without a widget.

#include <QString>

#include <optional>

// Each command and its context-menu twin ("...Context"), which acts on the
// rows the context menu was opened on instead of the focused list's
// selection.
// clang-format off
#define TW_ACTIONS(X) \
    X(doBusiness) X(doShowInspector) X(doShowInspectorContext) X(doMasterDelete) \
    X(doDeleteContext) X(doMasterAdd) X(doNewGroupContext) X(doNewAccount) \
    X(doNewAccountContext) X(doNewAccountGroup) X(doNewClientGroup) X(doNewMerchantGroup) \
    X(doNewReportGroup) X(doNewFilterGroup) X(doNewFilter) X(doNewFilterContext) X(doNewClient) \
    X(doNewClientContext) X(doNewMerchant) X(doNewMerchantContext) X(doNewReport) \
    X(doNewReportContext) X(doMasterSortBy) X(doNewTransaction) X(doNewTransactionContext) \
    X(doAddMultipleTransactions) X(doAddMultipleTransactionsContext) X(doEditTransaction) \
    X(doEditTransactionContext) X(doMarkTransaction) X(doMarkTransactionContext) \
    X(doDuplicateTransaction) X(doDuplicateTransactionContext) X(doDeleteTransaction) \
    X(doDeleteTransactionContext) X(doEditMultipleTransactions) \
    X(doEditMultipleTransactionsContext) X(doUpdateConvertedTotals) \
    X(doUpdateConvertedTotalsContext) X(doShowRelatedTransactions) \
    X(doShowRelatedTransactionsContext) X(doNewProject) X(doNewProjectContext) \
    X(doNewProjectFromEstimate) X(doNewProjectFromEstimateContext) X(doEditProject) \
    X(doEditProjectContext) X(doDuplicateProject) X(doDuplicateProjectContext) \
    X(doDeleteProject) X(doDeleteProjectContext) X(doMarkProject) X(doMarkProjectContext) \
    X(doNewTask) X(doNewTaskContext) X(doNewTaskItem) X(doNewTaskItemContext) X(doDuplicateTask) \
    X(doDuplicateTaskContext) X(doDeleteTask) X(doDeleteTaskContext) X(doDuplicateTaskItem) \
    X(doDuplicateTaskItemContext) X(doDeleteTaskItem) X(doDeleteTaskItemContext) X(doEditTask) \
    X(doEditTaskContext) X(doEditTaskItem) X(doEditTaskItemContext) X(doMarkTask) \
    X(doMarkTaskContext) X(doStartStopTaskTimer) X(doStartStopTaskTimerContext) X(doNewExpense) \
    X(doNewExpenseContext) X(doDuplicateExpense) X(doDuplicateExpenseContext) X(doDeleteExpense) \
    X(doDeleteExpenseContext) X(doEditExpense) X(doEditExpenseContext) X(doNewInvoice) \
    X(doNewInvoiceContext) X(doDuplicateInvoice) X(doDuplicateInvoiceContext) X(doSendInvoice) \
    X(doSendInvoiceContext) X(doEditInvoice) X(doEditInvoiceContext) X(doDeleteInvoice) \
    X(doDeleteInvoiceContext) X(doMarkInvoice) X(doMarkInvoiceContext) X(doNewBill) \
    X(doNewBillContext) X(doDuplicateBill) X(doDuplicateBillContext) X(doEditBill) \
    X(doEditBillContext) X(doDeleteBill) X(doDeleteBillContext) X(doMarkBill) \
    X(doMarkBillContext) X(doNewField) X(doNewFieldContext) X(doEditField) X(doEditFieldContext) \
    X(doDeleteField) X(doDeleteFieldContext) X(doNewFieldItem) X(doNewFieldItemContext) \
    X(doDeleteFieldItem) X(doDeleteFieldItemContext) X(doNewUnit) X(doNewUnitContext) \
    X(doEditUnit) X(doEditUnitContext) X(doDeleteUnit) X(doDeleteUnitContext) \
    X(doDownloadCurrencyExchangeRates) X(doDeleteRepeatContext) X(doNewValue) \
    X(doNewValueContext) X(doDeleteValue) X(doDeleteValueContext) X(doEditBudgetItem) \
    X(doEditBudgetItemContext) X(doResetBudgetItem) X(doResetBudgetItemContext) \
    X(doDetailAddDelete) X(doDetailRefresh) X(doDetailReset) X(doDetailPopUpButton) X(doFind) \
    X(doSearch) X(doSearchType) X(doAdvancedFind) X(doImportTransactions) X(doImportTasks) \
    X(doImportExpenses) X(doExportTransactions) X(doExportTasks) X(doExportExpenses) \
    X(doColumnAccount) X(doColumnAccountContext) X(doSortByAccount) X(doSortByAccountContext) \
    X(doSortDirectionAccount) X(doSortDirectionAccountContext) X(doColumnClientProject) \
    X(doColumnClientProjectContext) X(doSortByClientProject) X(doSortByClientProjectContext) \
    X(doSortDirectionClientProject) X(doSortDirectionClientProjectContext) X(doColumnClientTask) \
    X(doColumnClientTaskContext) X(doSortByClientTask) X(doSortByClientTaskContext) \
    X(doSortDirectionClientTask) X(doSortDirectionClientTaskContext) X(doColumnClientTaskItem) \
    X(doColumnClientTaskItemContext) X(doSortByClientTaskItem) X(doSortByClientTaskItemContext) \
    X(doSortDirectionClientTaskItem) X(doSortDirectionClientTaskItemContext) \
    X(doColumnClientExpense) X(doColumnClientExpenseContext) X(doSortByClientExpense) \
    X(doSortByClientExpenseContext) X(doSortDirectionClientExpense) \
    X(doSortDirectionClientExpenseContext) X(doColumnClientInvoice) \
    X(doColumnClientInvoiceContext) X(doSortByClientInvoice) X(doSortByClientInvoiceContext) \
    X(doSortDirectionClientInvoice) X(doSortDirectionClientInvoiceContext) \
    X(doColumnMerchantBill) X(doColumnMerchantBillContext) X(doSortByMerchantBill) \
    X(doSortByMerchantBillContext) X(doSortDirectionMerchantBill) \
    X(doSortDirectionMerchantBillContext) X(doMenuletStartStopTaskTimer) X(doMenuletTaskSelect) \
    X(saveDocument) X(saveDocumentAs) X(revertDocumentToSaved) X(printDocument)
// clang-format on

enum class TWAction : int {
#define TW_ACTION_ENUM(name) name,
    TW_ACTIONS(TW_ACTION_ENUM)
#undef TW_ACTION_ENUM
        count
};

// The command's own name ("doEditTask", "doEditTaskContext").
QString twActionName(TWAction action);
// The command of that name; empty for an unknown name.
std::optional<TWAction> twActionFromName(const QString &name);
// Whether it is a context-menu twin, and the main command of a twin (the
// command itself otherwise).
bool twIsContextAction(TWAction action);
TWAction twMainAction(TWAction action);

// The lists and views a rule asks.
enum class TWListTarget {
    None,
    Register,        // the document's transaction register
    RepeatsList,     // the repeats view's transactions
    InvoicePayments, // the client view's invoices list's payments
    MerchantList,    // the merchant view's bill payments
    ImportRows,      // the import sheet's imported rows
    ImportAll,       // the import sheet's list of all the document's rows
    ClientView,      // the client view (its projects)
    Tasks,
    Expenses,
    Invoices,
    RepeatsInvoices, // the repeats view's invoices list
    MerchantView,    // the merchant view (its bills)
    RepeatsMerchant, // the repeats view's bills
    Fields,
    Units,
    Repeats,
    Values,
    Budget,
};

// What an import sheet holds.
enum class TWImportKind { Transactions, Tasks, Expenses };

// The lists whose keyboard focus the column and sort commands test.
enum class TWFocusList {
    Register,
    ClientInvoiceTransactions, // columns of a client's payments
    InvoicesTransactions,      // sorting of a client's payments
    MerchantTransactions,
    RepeatsItems,
    Projects,
    Tasks,
    TaskItems,
    Expenses,
    Invoices,
    Bills,
};

// The can- and has- questions a rule puts to a list; the context flag says
// whether they concern the context menu's rows.
enum class TWQuery {
    CanAddProject,
    CanAddProjectFromEstimate,
    CanEditProject,
    CanDuplicateProject,
    CanDeleteProject,
    CanMarkProject,
    CanAddTask,
    CanAddTaskItem,
    CanEditTask,
    CanDuplicateTask,
    CanEditTaskItem,
    CanDuplicateTaskItem,
    CanDeleteTask,
    CanDeleteTaskItem,
    CanMarkTask,
    CanStartStopTaskTimer,
    HasSelectedTask, // (context, not single, not multiple)
    CanAddExpense,
    CanEditExpense,
    CanDuplicateExpense,
    CanDeleteExpense,
    CanAddInvoice,
    CanEditInvoice,
    CanDuplicateInvoice,
    CanDeleteInvoice,
    CanMarkInvoice,
    CanSendInvoice,
    ShowingSendInvoice,
    CanAddBill,
    CanEditBill,
    CanDuplicateBill,
    CanDeleteBill,
    CanMarkBill,
    CanAddTransaction,
    CanEditField,
    CanDeleteField,
    CanAddItem,
    CanDeleteItem,
    CanEditUnit,
    CanDeleteUnit,
    CanDeleteRepeat,
    CanDeleteValue,
    CanEditBudgetItem,
    CanResetBudgetItem,
};

// A check mark to set, or none to leave the item's own.
enum class TWCheck { Keep, On, Off };

struct TWValidation {
    bool enabled = false;
    TWCheck check = TWCheck::Keep;
    // A title to give the item (a strings key), empty to keep its own.
    QString titleKey;
};

// What the window answers for the rules. The document answers it over its
// live views; tests answer it with a fake.
class TWValidationState
{
public:
    virtual ~TWValidationState() = default;
    virtual bool hasAttachedSheet() const = 0;
    virtual bool isImporting() const = 0;
    // The import sheet's list of that kind with the keyboard focus, and the
    // one whose table owns the menu being validated (None when neither).
    virtual TWListTarget importListWithFocus(TWImportKind kind) const = 0;
    virtual TWListTarget importListWithContextMenu(TWImportKind kind) const = 0;
    virtual bool isMasterSelected(int section) const = 0;
    // The selected source-list entry's type (-1 without selection) and, when
    // it shows a record, the record's item type (0 otherwise).
    virtual int selectedEntryType() const = 0;
    virtual int selectedItemType() const = 0;
    virtual int contextMasterItemCount() const = 0;
    virtual bool masterHasFirstResponder() const = 0;
    virtual int searchFieldType() const = 0;
    virtual int sortBy() const = 0;
    virtual bool hasFirstResponder(TWFocusList list) const = 0;
    // The column and sort menus' own decision and check marks.
    virtual TWValidation validateListMenu(TWAction action, int tag, bool context) const = 0;
    // The client view's tab: 0 tasks, 1 expenses, 2 invoices.
    virtual int clientSelectedTab() const = 0;
    // The kind of the repeats view's selected repeat (0 without one).
    virtual int selectedRepeatKind() const = 0;
    // The type of the client view's selected project (0 also without one).
    virtual int selectedProjectType() const = 0;
    virtual bool isTaskTimerRunning() const = 0;
    // Whether what print needs of the selection is there (the register's
    // print table, the report view).
    virtual bool canPrintSelection() const = 0;
    virtual bool hasSelectedTransaction(TWListTarget list, bool context, bool single, bool multiple,
                                        bool related) const = 0;
    virtual bool query(TWListTarget list, TWQuery query, bool context) const = 0;
    // The answer for a command no rule names (saving, reverting and the
    // like), and whether an export or new-transaction command has the sheet
    // it opens.
    virtual bool documentValidation(TWAction action) const = 0;
};

TWValidation twValidateAction(TWAction action, int tag, const TWValidationState &state);
