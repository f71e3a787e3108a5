#pragma once
// The one place where the other user-interface pieces plug into the shell.
// src/main.cpp fills the slots; every slot holds an interim until its piece
// registers the real one, so the shell runs (and is tested) on its own.

#include "app/TWSheetResult.h"
#include "foundation/TWNotificationCenter.h"
#include "model/TWBusinessInfo.h"
#include "model/TWField.h"
#include "model/TWTransaction.h"

#include <QByteArray>
#include <QHash>
#include <QObject>
#include <QPageLayout>
#include <QUrl>

#include <functional>

class QMenu;
class QPrinter;
class QWidget;
class TWBusiness;
class TWBusinessController;
class TWInvoiceListDetail;

// The base of every detail view's controller (register, clients, merchants,
// report, autofill, budget, fields, units, repeats, values).
class TWDetailController : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;
    virtual QWidget *view() = 0;
    virtual void setBusinessController(TWBusinessController *controller)
    {
        m_document = controller;
    }
    virtual void setBusiness(TWBusiness *business) { m_business = business; }
    virtual void update() {}
    virtual void restoreFrame() {}
    // A PDF of what the view shows, laid out for the printer's page; empty
    // when it has nothing to print.
    virtual QByteArray printOperation(QPrinter &printer);
    // What the view's commands may do.
    virtual bool canAddItem() const { return false; }
    virtual bool canDeleteItem(bool context) const;
    // The register's rows in display order (other views: none).
    virtual TWTransactionList sortedTransactions() const { return {}; }

protected:
    TWBusinessController *m_document = nullptr;
    TWBusiness *m_business = nullptr;
};

// What an editor works on. The mode is kept as an int, which the transaction
// editor's own modes share (TWTransactionEditorMode); these compare with it.
enum class TWEditorMode : int {
    New = 0,      // a new record, shown as a sheet
    Existing = 1, // a listed record (a copy of it), in a sheet or a popover
};

constexpr bool operator==(int mode, TWEditorMode named)
{
    return mode == static_cast<int>(named);
}

// The base of every editor shown as a sheet (and of the new-business form).
// An editor ends itself with the document's `endSheet(view, code)`, or, when
// it is not a sheet, by emitting `endRequested` (TWSheetResult's codes).
class TWEditorController : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;
    virtual QWidget *view() = 0;
    virtual void setBusinessController(TWBusinessController *controller)
    {
        m_document = controller;
    }
    virtual void setBusiness(TWBusiness *business) { m_business = business; }
    virtual void setMode(int mode) { m_mode = mode; }
    void setMode(TWEditorMode mode) { setMode(static_cast<int>(mode)); }
    int mode() const { return m_mode; }
    virtual void reset() {}
    virtual void update() {}

signals:
    void endRequested(int code);

protected:
    TWBusinessController *m_document = nullptr;
    TWBusiness *m_business = nullptr;
    int m_mode = 0;
};

// The business-information editor (new business and the business sheet).
class TWBusinessInfoEditor : public TWEditorController
{
    Q_OBJECT
public:
    using TWEditorController::TWEditorController;
    virtual TWBusinessInfoPtr businessInfo() const = 0;
    virtual void setBusinessInfo(const TWBusinessInfoPtr &info) = 0;
    // The user changed the accounting periods of the record.
    virtual bool dirtyAccountingPeriods() const { return false; }
};

// An import sheet: starts from a file, or asks for one itself.
class TWImportController : public TWEditorController
{
    Q_OBJECT
public:
    using TWEditorController::TWEditorController;
    virtual void importURL(const QUrl &url) = 0;
    virtual void select() = 0;
    // Preselected where the records go: the transaction import's account,
    // the task and expense imports' project.
    virtual void setDefaultAccount(const std::shared_ptr<class TWAccount> &) {}
    virtual void setDefaultProject(const std::shared_ptr<class TWProject> &) {}

    // The selection step's two lists: 0 the records being imported, 1 the
    // existing ones (a register, or a task or expense list). Which owns the
    // context menu `menu` (any of its tables) and which has the focus.
    enum SelectionList { ImportList = 0, ExistingList = 1 };
    virtual QObject *selectionList(SelectionList) const { return nullptr; }
    virtual bool selectionListHasContextMenu(SelectionList, QMenu *) const { return false; }
    virtual bool selectionListHasFirstResponder(SelectionList) const { return false; }
    // A transaction of the import was edited: `edited` replaces `original`.
    virtual void updateTransaction(const TWTransactionPtr &, const TWTransactionPtr &) {}
};

// A document's task timer as the shell sees it (running state, the wake-up
// from sleep, the status menu).
class TWTaskTimer : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;
    virtual bool isTaskTimerRunning() const { return false; }
    // The task being timed, 0 when none.
    virtual qint32 timedTaskIdentifier() const { return 0; }
    // The time item the timer extends, 0 when none.
    virtual qint32 timedTaskItemIdentifier() const { return 0; }
    // Ends the running time item (at `endDate`, or now when invalid).
    virtual void stopTaskTimer(const QDateTime &) {}
    // The idle question is open: its answer decides where the item ends.
    virtual bool isAskingIdle() const { return false; }
    // Starts timing the task (none: nothing).
    virtual void startTaskTimer(const std::shared_ptr<class TWTask> &) {}
    // The task the status menu times.
    virtual qint32 menuletTaskIdentifier() const { return 0; }
    virtual void setMenuletTaskIdentifier(qint32) {}
    // A client, project, task or time item of the document's store changed or
    // went (the notification carries the record).
    virtual void taskTimerUpdateNotification(const TWNotification &) {}
    virtual void didWake() {}
    // Stops the timer and forgets what it timed (after a revert).
    virtual void reset() {}
    // Fills the status menu from scratch, or only refreshes its items.
    virtual void rebuildTimerMenulet(QMenu *menu);
    virtual void updateTimerMenulet(QMenu *) {}
};

// The detail kinds, numbered as the document's detail type.
enum TWDetailKind : int {
    TWDetailTransactionsAccounts = 1,
    TWDetailTransactionsFilters = 2,
    TWDetailClients = 3,
    TWDetailMerchants = 4,
    TWDetailReport = 5,
    TWDetailAutofill = 6,
    TWDetailBudget = 7,
    TWDetailFields = 8,
    TWDetailUnits = 9,
    TWDetailRepeats = 10,
    TWDetailValues = 11,
};

// The editors opened as sheets.
enum class TWEditorKind {
    Transaction,      // the transaction editor
    EditTransactions, // several transactions at once
    AccountInfo,
    ClientInfo,
    MerchantInfo,
    ReportInfo,
    ImportTransactions,
    ImportTasks,
    ImportExpenses,
    ExportTransactions,
    ExportTasks,
    ExportExpenses,
};

// What the register print table needs: the rows, the printed columns and the
// unique file names of the rows' attachments.
struct TWRegisterPrintRequest {
    TWBusiness *business = nullptr;
    TWTransactionList transactions;
    TWFieldList fields;
    QHash<qint32, QString> attachmentFileNames;
    QString title; // what the register shows: the account's or filter's name
};

// A register read into plain data, ready to be laid out on any thread.
struct TWRegisterPrintJob {
    // After each page: pages done, pages in all; false stops the work.
    using Progress = std::function<bool(int done, int pages)>;
    // The PDF for a page layout (empty when stopped).
    std::function<QByteArray(const QPageLayout &layout, const Progress &progress)> pdf;
    // Whether the columns fit the layout's width without shortening.
    std::function<bool(const QPageLayout &layout)> fits;
};

class TWAppRegistry
{
public:
    static TWAppRegistry &registry();

    // Puts every slot back to its interim (tests).
    void reset();

    using DetailFactory = std::function<TWDetailController *(QObject *parent)>;
    using InvoiceListFactory = std::function<TWInvoiceListDetail *(QObject *parent)>;
    using EditorFactory = std::function<TWEditorController *(QObject *parent)>;
    using BusinessInfoFactory = std::function<TWBusinessInfoEditor *(QObject *parent)>;
    using TaskTimerFactory = std::function<TWTaskTimer *(TWBusinessController *document)>;
    // Reads the register's rows on the main thread (the store is main-thread only).
    using RegisterPrintTable =
        std::function<TWRegisterPrintJob(const TWRegisterPrintRequest &request)>;

    // The detail view of a kind; the interim says "not available yet".
    TWDetailController *makeDetailController(TWDetailKind kind, QObject *parent) const;
    void setDetailFactory(TWDetailKind kind, DetailFactory factory);

    // An editor; nullptr while its piece is missing (its commands are off).
    TWEditorController *makeEditor(TWEditorKind kind, QObject *parent) const;
    bool hasEditor(TWEditorKind kind) const { return m_editors.contains(int(kind)); }
    void setEditorFactory(TWEditorKind kind, EditorFactory factory);

    // The business-information editor; the interim asks for the name, type,
    // home currency, start date and whether to create the usual accounts.
    TWBusinessInfoEditor *makeBusinessInfoEditor(QObject *parent) const;
    void setBusinessInfoFactory(BusinessInfoFactory factory)
    {
        m_businessInfo = std::move(factory);
    }

    // The invoice list of the client view and the merchants view of the
    // repeats view; the interims are an empty list and an empty pane.
    TWInvoiceListDetail *makeInvoiceList(QObject *parent) const;
    void setInvoiceListFactory(InvoiceListFactory factory) { m_invoiceList = std::move(factory); }
    TWDetailController *makeMerchantsView(QObject *parent) const;
    void setMerchantsViewFactory(DetailFactory factory) { m_merchantsView = std::move(factory); }

    // One per document; the interim never runs.
    TWTaskTimer *makeTaskTimer(TWBusinessController *document) const;
    void setTaskTimerFactory(TaskTimerFactory factory) { m_taskTimer = std::move(factory); }

    // Checks the exchange rates of a newly shown document (interim: nothing).
    std::function<void(TWBusinessController &document)> rateCheck;
    // The register ready to print (interim: none, nothing prints).
    RegisterPrintTable registerPrintTable;
    // Starts crash reporting, first thing at launch (interim: nothing).
    std::function<void()> crashReportingStart;

private:
    TWAppRegistry();

    QHash<int, DetailFactory> m_details;
    QHash<int, EditorFactory> m_editors;
    BusinessInfoFactory m_businessInfo;
    InvoiceListFactory m_invoiceList;
    DetailFactory m_merchantsView;
    TaskTimerFactory m_taskTimer;
};
