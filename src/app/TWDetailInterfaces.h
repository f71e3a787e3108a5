#pragma once
// What the document window asks of each kind of detail view and of the lists
// inside them: switching, counting, totalling, enabling the bar's buttons
// and navigating. The pieces that build those views derive from these; every
// call has an inert default, so a view answers only what it knows.

#include "app/TWAppRegistry.h"
#include "app/TWListMenus.h"
#include "app/TWMenuValidation.h"
#include "app/TWRegisterMode.h"

#include "model/TWAccount.h"
#include "model/TWBill.h"
#include "model/TWClient.h"
#include "model/TWField.h"
#include "model/TWFilter.h"
#include "model/TWInvoice.h"
#include "model/TWMerchant.h"
#include "model/TWProject.h"
#include "model/TWRepeat.h"
#include "model/TWReport.h"
#include "model/TWTransaction.h"

#include <optional>

// Answers the menus' can- and has- questions about its rows; NO until a
// list knows better.
class TWValidatedList
{
public:
    virtual ~TWValidatedList() = default;
    virtual bool validationQuery(TWQuery, bool /*context*/) const { return false; }
};

// A transaction register: the accounts or filters view, and the registers
// inside the client, merchant and repeats views.
class TWRegisterDetail : public TWDetailController, public TWValidatedList
{
    Q_OBJECT
public:
    using TWDetailController::TWDetailController;
    // Whether rows are selected (with `context`, the context menu's rows):
    // `single` exactly one, `multiple` more than one, `related` the one row
    // has related transactions.
    virtual bool hasSelectedTransaction(bool, bool, bool, bool) const { return false; }
    virtual bool hasFirstResponder() const { return false; }
    virtual void search(const QString &) {}
    // The column and sort commands of the register's menus.
    virtual void toggleFieldVisible(const TWFieldPtr &) {}
    virtual void updateSortBy(const TWFieldPtr &, bool /*updateSortDescriptors*/) {}
    virtual void updateSortDirection(bool /*ascending*/, bool /*updateSortDescriptors*/) {}
    virtual void setMode(TWRegisterMode mode) { m_mode = mode; }
    TWRegisterMode mode() const { return m_mode; }
    virtual void setParentItems(const TWItemList &) {}
    virtual void setAccounts(const TWAccountList &) {}
    virtual void setFilters(const TWFilterList &) {}
    // Reloads the rows from the store.
    virtual void updateTransactions() {}
    virtual bool hasSelectedTransaction() const { return false; }
    virtual TWTransactionList selectedTransactions() const { return {}; }
    virtual TWTransactionList transactions() const { return {}; }
    // Its inner layout was restored at least once.
    virtual bool isRestored() const { return false; }
    // The accounts the register shows.
    virtual TWAccountList shownAccounts() const { return {}; }
    // The rows a command acts on: with `context` the context menu's rows.
    virtual TWTransactionList selectedTransactionsContext(bool) const
    {
        return selectedTransactions();
    }
    virtual void selectTransactions(const TWTransactionList &) {}
    // The transaction commands; `context` as above.
    virtual void editSelectedTransaction(bool) {}
    virtual void duplicateSelectedTransaction(bool) {}
    virtual void deleteSelectedTransaction(bool) {}
    virtual void updateSelectedConvertedTotals(bool) {}
    virtual void showSelectedRelatedTransactions(bool) {}
    virtual void markSelectedTransaction(bool /*cleared*/, bool /*context*/) {}

protected:
    TWRegisterMode m_mode = TWRegisterMode::Nothing;
};

// The task and expense lists of the client view.
class TWTasksList : public TWValidatedList
{
public:
    virtual ~TWTasksList() = default;
    virtual void updateTasks() {}
    // The selected task (with `context`, the context menu's), none without.
    virtual std::shared_ptr<class TWTask> selectedTask(bool) const { return nullptr; }
    // The menus' edit and mark commands; `context` as for the register.
    virtual void editSelectedTask(bool /*context*/) {}
    virtual void editSelectedTaskItem(bool /*context*/) {}
    virtual void markTask(bool /*completed*/, bool /*context*/) {}
};

class TWExpensesList : public TWValidatedList
{
public:
    virtual ~TWExpensesList() = default;
    virtual void updateExpenses() {}
    // The menus' edit command; `context` as for the register.
    virtual void editSelectedExpense(bool /*context*/) {}
};

// What the invoice list lists: in the client view the invoices of the given
// projects, in the repeats view those one schedule made.
enum class TWInvoiceListMode : int {
    Projects = 0,
    Repeat = 1,
};

// The invoice list (TWInvoiceListMode). Its lower pane is the register of the
// listed invoices' payments.
class TWInvoicesList : public TWValidatedList
{
public:
    virtual ~TWInvoicesList() = default;
    virtual void setMode(int) {}
    void setMode(TWInvoiceListMode mode) { setMode(static_cast<int>(mode)); }
    virtual void setProjects(const TWProjectList &) {}
    virtual TWInvoiceList selectedInvoices() const { return {}; }
    // Selects the invoice's row; nothing when it is not listed.
    virtual void selectInvoice(const TWInvoicePtr &) {}
    // Whether the invoice table holds the keyboard focus.
    virtual bool hasFirstResponder() const { return false; }
    // The payment commands; `context` as for the register.
    virtual bool canAddTransaction() const { return false; }
    virtual void newTransaction(bool /*context*/) {}
    virtual void editSelectedTransaction(bool) {}
    virtual void deleteSelectedTransaction(bool) {}
    virtual void updateSelectedConvertedTotals(bool) {}
    virtual void showSelectedRelatedTransactions(bool) {}
    // The invoice commands of the menus; `context` as for the register, and
    // the mark tags 0 sent, 1 not sent, 4 paid, 5 not paid.
    virtual void newInvoice() {}
    virtual void editSelectedInvoice(bool /*context*/) {}
    virtual void duplicateSelectedInvoice(bool /*context*/) {}
    virtual void deleteSelectedInvoice(bool /*context*/) {}
    virtual void markInvoice(int /*tag*/, bool /*context*/) {}
    virtual void sendInvoice(bool /*context*/) {}
    // The Columns and Sort By menus: the column kinds' items with the command
    // given, the commands by the items' tags, and the column settings.
    virtual QList<TWListMenuItem> fieldMenuItems(TWAction) const { return {}; }
    virtual void toggleFieldVisible(int /*tag*/) {}
    virtual void updateSortBy(int /*tag*/, bool /*updateSortDescriptors*/) {}
    virtual void updateSortDirection(bool /*ascending*/, bool /*updateSortDescriptors*/) {}
    virtual std::optional<QVariantMap> listSettings() const { return std::nullopt; }
    // Refreshes after transactions changed.
    virtual void transactionsUpdated() {}
    // Places the project and invoice count and total lines.
    virtual void updateProjectCountTotalFrame() {}
    virtual void updateInvoiceCountTotalFrame() {}
    virtual void updateTransactionButtonsEnabled() {}
    virtual void updateInvoiceCountTotal() {}
    virtual TWRegisterDetail *transactionsController() const { return nullptr; }
};

// What the invoice-list slot of the registry makes.
class TWInvoiceListDetail : public TWDetailController, public TWInvoicesList
{
    Q_OBJECT
public:
    using TWDetailController::TWDetailController;
};

class TWClientDetail : public TWDetailController, public TWValidatedList
{
    Q_OBJECT
public:
    using TWDetailController::TWDetailController;
    virtual void setClients(const TWClientList &clients) { m_clients = clients; }
    const TWClientList &clients() const { return m_clients; }
    virtual void transactionsUpdated() {}
    virtual void updateClientCountTotalFrame() {}
    virtual void selectProject(const TWProjectPtr &, const TWInvoicePtr &) {}
    virtual TWTasksList *tasksController() const { return nullptr; }
    virtual TWExpensesList *expensesController() const { return nullptr; }
    virtual TWInvoicesList *invoicesController() const { return nullptr; }
    virtual TWProjectList selectedProjects() const { return {}; }
    // The transaction commands, forwarded to its own lists.
    virtual void editSelectedTransaction(bool) {}
    virtual void deleteSelectedTransaction(bool) {}
    virtual void updateSelectedConvertedTotals(bool) {}
    virtual void showSelectedRelatedTransactions(bool) {}
    virtual void newTransaction(bool /*multiple*/) {}
    // 0 tasks, 1 expenses, 2 invoices.
    virtual int selectedTab() const { return 0; }
    // The type of the one selected project: 0 estimate, 1 project (1 also
    // when not exactly one is selected).
    virtual int selectedProjectType() const { return 0; }
    // Runs a menu command of its lists (projects, and the tasks and expenses
    // of its tabs); false when it is not one of theirs. `main` is the
    // main-menu command, `tag` the item's tag.
    virtual bool performListCommand(TWAction /*main*/, int /*tag*/, bool /*context*/)
    {
        return false;
    }
    virtual bool hasFirstResponder(TWFocusList) const { return false; }
    // A list's field items for the Columns and Sort By menus, with the
    // command given, and its column settings.
    virtual QList<TWListMenuItem> fieldMenuItems(TWFocusList, TWAction) const { return {}; }
    virtual std::optional<QVariantMap> listSettings(TWFocusList) const { return std::nullopt; }

protected:
    TWClientList m_clients;
};

class TWMerchantDetail : public TWDetailController, public TWValidatedList
{
    Q_OBJECT
public:
    using TWDetailController::TWDetailController;
    virtual void setMerchants(const TWMerchantList &merchants) { m_merchants = merchants; }
    const TWMerchantList &merchants() const { return m_merchants; }
    virtual void transactionsUpdated() {}
    virtual void updateMerchantCountTotalFrame() {}
    virtual void selectBill(const TWBillPtr &) {}
    virtual TWBillList bills() const { return {}; }
    virtual TWBillList selectedBills() const { return {}; }
    virtual bool canAddTransaction() const { return false; }
    virtual void newTransaction(bool /*multiple*/) {}
    virtual bool hasFirstResponder(TWFocusList) const { return false; }
    virtual QList<TWListMenuItem> fieldMenuItems(TWFocusList, TWAction) const { return {}; }
    virtual std::optional<QVariantMap> listSettings(TWFocusList) const { return std::nullopt; }
    // The transaction commands, forwarded to its own lists.
    virtual void editSelectedTransaction(bool) {}
    virtual void deleteSelectedTransaction(bool) {}
    virtual void updateSelectedConvertedTotals(bool) {}
    virtual void showSelectedRelatedTransactions(bool) {}
    // Its bill payments.
    virtual TWRegisterDetail *transactionsController() const { return nullptr; }
    // The bill commands; `context` as for the register. `tag` of the mark
    // command: 2 received, 3 not received, 4 paid, 5 not paid.
    virtual void newBill() {}
    virtual void editSelectedBill(bool) {}
    virtual void duplicateSelectedBill(bool) {}
    virtual void deleteSelectedBill(bool) {}
    virtual void markBill(int /*tag*/, bool /*context*/) {}
    // The bill list's column and sort commands (tags of its menu items).
    virtual void toggleFieldVisible(int /*tag*/) {}
    virtual void updateSortBy(int /*tag*/, bool /*updateSortDescriptors*/) {}
    virtual void updateSortDirection(bool /*ascending*/, bool /*updateSortDescriptors*/) {}

protected:
    TWMerchantList m_merchants;
};

class TWReportDetail : public TWDetailController
{
    Q_OBJECT
public:
    using TWDetailController::TWDetailController;
    virtual void setReport(const TWReportPtr &report) { m_report = report; }
    const TWReportPtr &report() const { return m_report; }

protected:
    TWReportPtr m_report;
};

class TWRepeatsDetail : public TWDetailController, public TWValidatedList
{
    Q_OBJECT
public:
    using TWDetailController::TWDetailController;
    virtual TWRegisterDetail *transactionsController() const { return nullptr; }
    virtual void updateRepeatsAndTransactions() {}
    virtual void selectRepeat(const TWRepeatPtr &) {}
    // 0 without a selected repeat, 1 an invoice's, 2 a bill's.
    virtual int selectedRepeatKind() const { return 0; }
    virtual TWInvoicesList *invoicesController() const { return nullptr; }
    virtual TWValidatedList *merchantController() const { return nullptr; }
    virtual bool itemsHasFirstResponder() const { return false; }
    virtual bool invoicesHasFirstResponder() const { return false; }
};

class TWFieldsDetail : public TWDetailController, public TWValidatedList
{
    Q_OBJECT
public:
    using TWDetailController::TWDetailController;
    virtual void newItem() {}
    virtual void deleteItem(bool) {}
    // The field commands; `context` as for the register.
    virtual void newField() {}
    virtual void editSelectedField(bool) {}
    virtual void deleteField(bool) {}
};

class TWUnitsDetail : public TWDetailController, public TWValidatedList
{
    Q_OBJECT
public:
    using TWDetailController::TWDetailController;
    virtual bool canDeleteUnit(bool) const { return false; }
    virtual void refresh() {}
    virtual void newUnit() {}
    virtual void editSelectedUnit(bool) {}
    virtual void deleteUnit(bool) {}
    virtual void search(const QString &) {}
};

class TWValuesDetail : public TWDetailController, public TWValidatedList
{
    Q_OBJECT
public:
    using TWDetailController::TWDetailController;
    virtual bool canDeleteValue(bool) const { return false; }
    virtual void newValue() {}
    virtual void deleteValue(bool) {}
    virtual void search(const QString &) {}
};

class TWBudgetDetail : public TWDetailController, public TWValidatedList
{
    Q_OBJECT
public:
    using TWDetailController::TWDetailController;
    // The budget commands; `context` as for the register.
    virtual void editSelectedBudgetItem(bool) {}
    virtual void resetBudgetItem(bool) {}
    virtual void resetBudget() {}
};

class TWAutofillDetail : public TWDetailController
{
    Q_OBJECT
public:
    using TWDetailController::TWDetailController;
};
