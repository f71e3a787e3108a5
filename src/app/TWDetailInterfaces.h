#pragma once
// What the document window asks of each kind of detail view and of the lists
// inside them: switching, counting, totalling, enabling the bar's buttons
// and navigating. The pieces that build those views derive from these; every
// call has an inert default, so a view answers only what it knows.

#include "TWAppRegistry.h"

#include "TWAccount.h"
#include "TWBill.h"
#include "TWClient.h"
#include "TWFilter.h"
#include "TWInvoice.h"
#include "TWMerchant.h"
#include "TWProject.h"
#include "TWRepeat.h"
#include "TWReport.h"
#include "TWTransaction.h"

// A transaction register: the accounts or filters view, and the registers
// inside the client, merchant and repeats views.
class TWRegisterDetail : public TWDetailController
{
    Q_OBJECT
public:
    using TWDetailController::TWDetailController;
    // 0 nothing, 1 accounts, 2 filters, 3 repeat items, 4 invoice payments,
    // 5 bill payments, 6 import preview, 7 all transactions.
    virtual void setMode(int mode) { m_mode = mode; }
    int mode() const { return m_mode; }
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
    virtual TWTransactionList selectedTransactionsContext(bool) const { return selectedTransactions(); }
    virtual void selectTransactions(const TWTransactionList &) {}
    // The transaction commands; `context` as above.
    virtual void editSelectedTransaction(bool) {}
    virtual void duplicateSelectedTransaction(bool) {}
    virtual void deleteSelectedTransaction(bool) {}
    virtual void updateSelectedConvertedTotals(bool) {}
    virtual void showSelectedRelatedTransactions(bool) {}
    virtual void markSelectedTransaction(bool /*cleared*/, bool /*context*/) {}

protected:
    int m_mode = 0;
};

// The task and expense lists of the client view.
class TWTasksList
{
public:
    virtual ~TWTasksList() = default;
    virtual void updateTasks() {}
};

class TWExpensesList
{
public:
    virtual ~TWExpensesList() = default;
    virtual void updateExpenses() {}
};

// The invoice list of the client view (and of the repeats view).
class TWInvoicesList
{
public:
    virtual ~TWInvoicesList() = default;
    virtual void updateTransactionButtonsEnabled() {}
    virtual void updateInvoiceCountTotal() {}
    virtual TWRegisterDetail *transactionsController() const { return nullptr; }
};

class TWClientDetail : public TWDetailController
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

protected:
    TWClientList m_clients;
};

class TWMerchantDetail : public TWDetailController
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
    // The transaction commands, forwarded to its own lists.
    virtual void editSelectedTransaction(bool) {}
    virtual void deleteSelectedTransaction(bool) {}
    virtual void updateSelectedConvertedTotals(bool) {}
    virtual void showSelectedRelatedTransactions(bool) {}
    // Its bill payments.
    virtual TWRegisterDetail *transactionsController() const { return nullptr; }

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

class TWRepeatsDetail : public TWDetailController
{
    Q_OBJECT
public:
    using TWDetailController::TWDetailController;
    virtual TWRegisterDetail *transactionsController() const { return nullptr; }
    virtual void updateRepeatsAndTransactions() {}
    virtual void selectRepeat(const TWRepeatPtr &) {}
};

class TWFieldsDetail : public TWDetailController
{
    Q_OBJECT
public:
    using TWDetailController::TWDetailController;
};

class TWUnitsDetail : public TWDetailController
{
    Q_OBJECT
public:
    using TWDetailController::TWDetailController;
    virtual bool canDeleteUnit(bool) const { return false; }
};

class TWValuesDetail : public TWDetailController
{
    Q_OBJECT
public:
    using TWDetailController::TWDetailController;
    virtual bool canDeleteValue(bool) const { return false; }
};

class TWBudgetDetail : public TWDetailController
{
    Q_OBJECT
public:
    using TWDetailController::TWDetailController;
};

class TWAutofillDetail : public TWDetailController
{
    Q_OBJECT
public:
    using TWDetailController::TWDetailController;
};
