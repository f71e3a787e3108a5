#pragma once
// One open business document: owns its store for the document's whole life,
// its window (through TWWindowController), its background work and its
// sheets. Reads, upgrades, writes, reverts, prints and closes the document.

#include "app/TWAppRegistry.h"
#include "app/TWDetailInterfaces.h"
#include "app/TWMasterItem.h"
#include "app/TWMenuValidation.h"
#include "app/TWPopover.h"

#include "foundation/TWNotificationCenter.h"
#include "model/TWItem.h"
#include "model/TWRelationship.h"
#include "store/TWBusiness.h"

#include <QObject>
#include <QPointer>
#include <QUrl>

#include <atomic>
#include <functional>
#include <memory>
#include <vector>

class QMainWindow;
class QPrinter;
class QThreadPool;
#include "app/TWWindow.h"
class QAction;
class QMenu;
class TWEditTransactionsEditor;
class TWInfoEditor;
class TWDateRangeController;
class TWDateRangeControllerDelegate;
class TWMasterController;
class TWSearchController;
class TWPopover;
class TWTransactionEditor;
class TWWindowController;
class TWBusinessController;

// Takes part in the preview window while its view is the one in front (the
// register and the attachments view).
class TWBusinessControllerDelegate
{
public:
    virtual ~TWBusinessControllerDelegate() = default;
    virtual void beginPreviewPanelControl(TWBusinessController *) {}
    virtual void endPreviewPanelControl(TWBusinessController *) {}
};

// Master sections, as `isMasterSelected` takes them; the detail type is the
// section plus one.
enum TWMasterSection : int {
    TWMasterSectionAccounts = 0,
    TWMasterSectionFilters = 1,
    TWMasterSectionSearchResults = 2,
    TWMasterSectionClients = 3,
    TWMasterSectionMerchants = 4,
    TWMasterSectionReports = 5,
    TWMasterSectionAutofill = 6,
    TWMasterSectionBudget = 7,
    TWMasterSectionFields = 8,
    TWMasterSectionUnits = 9,
    TWMasterSectionRepeats = 10,
    TWMasterSectionValues = 11,
};

class TWBusinessController final : public QObject
{
    Q_OBJECT
public:
    using SheetCompletion = std::function<void(int returnCode)>;

    explicit TWBusinessController(QObject *parent = nullptr);
    // Removes its observers, stops and waits for its background work (late
    // results are dropped with this object), then releases the store.
    ~TWBusinessController() override;

    // ---- The store ----
    TWBusiness *business() const { return m_business.get(); }
    void setBusiness(std::unique_ptr<TWBusiness> business);
    // A new business in memory from the form's record, marked edited.
    TWErrorResult createWithBusinessInfo(const TWBusinessInfoPtr &info);
    // Work off the main thread for this document; cleared when it closes.
    QThreadPool *operationQueue() const { return m_operationQueue.get(); }

    // ---- As a document ----
    const QUrl &fileURL() const { return m_fileURL; }
    QString displayName() const;
    void setDisplayName(const QString &name);
    bool isDocumentEdited() const { return m_edited; }
    // 0 a change was made, 1 undone, 2 cleared (saved).
    void updateChangeCount(int change);

    // Reads the package without upgrading; an older package leads through the
    // upgrade question to a saved, upgraded copy, which becomes the document.
    // false with `error` empty when the user cancelled.
    bool readFromURL(const QUrl &url, TWErrorResult *error);
    // Saves into its own package; without one, asks for a place (Save As).
    // When another program saved the package since this window read or
    // saved it, asks first: Save Anyway, Revert (to what was saved there) or
    // Cancel. Attachments whose files were missing are named to the user, as
    // after Save As.
    bool saveDocument();
    // Asks for a place and saves there.
    bool saveDocumentAs();
    // Saves as a package at `url` (an existing package there is replaced
    // whole, only once the new one is complete). Location, title and the last
    // opened business change only after success. Attachments whose files were
    // missing are then named to the user (the save itself succeeded).
    bool saveDocumentToURL(const QUrl &url);
    // The message naming attachments a save left out: each transaction's
    // date and payee and the attachment's own file name, shortened; at most
    // the first twenty, then how many more there are.
    static QString missingAttachmentsMessage(const QList<TWMissingAttachment> &missing);
    // Reads the package the document holds again, wherever it is now, into
    // a new store; on failure the old store and window stay and the error is
    // shown.
    bool revertDocumentToSaved();
    // Saves when edited and already in a file (the autosave timer's call).
    // While the close or revert question is open the turn is held back, so
    // that "Don't Save" and Revert discard what they say; it is taken once
    // the question ends with the document kept as it is. While a save is
    // under way (its messages and Save As dialog) the turn is skipped.
    void autoSave();
    // Asks about unsaved changes; false when the user cancelled.
    bool canClose();
    // Closes the window and lets the document go (after canClose).
    void close();
    // Brings the document's window (and its sheets) to the front, when it has one.
    void comeForward();

    // ---- The window ----
    void makeWindowControllers();
    void showWindows();
    TWWindowController *windowController() const { return m_windowController.get(); }
    QMainWindow *windowForSheet() const;
    // Builds the window's content for the store (again after a revert).
    void initUI();
    // The detail view shown, created on first use (0 before the first).
    int detailType() const { return m_detailType; }
    void updateSplitViewDetail(int detailType);
    TWDetailController *detailController(int detailType) const;
    // The record of the first selected source-list entry (none for a header,
    // a manage entry or no selection).
    TWItemPtr selectedItem() const;
    TWMasterController *masterController() const { return m_masterController; }
    // The register of the accounts and filters views, when it is a real one.
    TWRegisterDetail *transactionsController() const;

    // ---- Detail switching and navigation ----
    bool shouldSelectMasterItem() const { return true; }
    // Shows the detail for the selection; with `updateMaster` also selects
    // the entries in the source list.
    void selectMasterItems(const TWMasterItemList &items, bool updateMaster);
    bool isMasterSelected(int section) const;
    // Places a new record under `parent` (or its family's header) before it
    // is stored: parent identifier and, by the sort mode, sort order.
    void updateItemParentAndSortOrder(const TWItemPtr &item, const TWMasterItem *parent) const;
    void showRepeat(const TWRepeatPtr &repeat);
    void showClient(const TWClientPtr &client, const TWProjectPtr &project,
                    const TWInvoicePtr &invoice);
    void showMerchant(const TWMerchantPtr &merchant, const TWBillPtr &bill);
    // A client is about to be deleted: a timer running for one of its tasks stops.
    void clientDeleted(const TWClientPtr &client);
    // The information popover of the selected record (with `context`, of the
    // context menu's record), beside its row.
    void showInspector(bool context);
    // Stores the popover's edited copy when its editor saved.
    void popoverDidClose();
    TWPopover *popover() const { return m_popover; }
    // 0 none, 1 group, 2 account, 3 filter, 4 client, 5 merchant, 6 report.
    qint64 popoverTag() const { return m_popoverTag; }
    // The edit controller of a popover tag, once made.
    TWInfoEditor *editInfoController(qint64 tag) const;
    void transactionsUpdated();
    void tasksUpdated();
    void expensesUpdated();
    void presentError(const TWError &error);

    // ---- The bar under the detail ----
    void updateSearch(const TWMasterItem *item);
    void clearSearch();
    void updateDetailButtons(const TWMasterItem *item);
    void updateDetailButtonsFrame();
    void updateDetailButtonsEnabled();
    void updateDeleteButton(const TWMasterItem *item);
    void updateCountTotal();
    void updateCountTotalFrame();
    // Stores the range (dates only for TWDateRangeCustom) and reloads the
    // register shown.
    void filterTransactions(int rangeType, const QDateTime &fromDate, const QDateTime &toDate);
    static int dateRangeTagForDateRange(qint64 rangeType);
    QWidget *detailButtonsView() const { return m_detailButtonsView; }
    QWidget *subDetailButtonsView() const { return m_subDetailButtonsView; }

    // ---- Preview window ----
    TWBusinessControllerDelegate *delegate() const { return m_delegate; }
    void setDelegate(TWBusinessControllerDelegate *delegate) { m_delegate = delegate; }
    bool acceptsPreviewPanelControl() const { return m_delegate != nullptr; }
    void beginPreviewPanelControl();
    void endPreviewPanelControl();

    // ---- Sheets ----
    // Shows `view` in a new sheet window on the innermost open sheet (or the
    // document window). The completion runs on the main thread after the
    // sheet has closed, with the code given to endSheet.
    void beginSheetWithView(QWidget *view, bool resize, bool autoKeyLoop,
                            SheetCompletion completion);
    // Ends the sheet that shows `view`; the view is taken out for reuse.
    void endSheet(QWidget *view, int returnCode);
    void endSheet(QWidget *view, TWSheetResult result) { endSheet(view, sheetReturnCode(result)); }
    bool hasAttachedSheet() const { return !m_sheets.empty(); }
    TWWindow *innermostSheet() const;
    void showProgress(bool show);
    // The progress sheet's bar as a count of `total` (busy while total is 0).
    void setProgress(int done, int total);
    QWidget *progressWindow() const;

    // ---- Commands ----
    // The business-information sheet; its save is all or nothing.
    void doBusiness();
    TWBusinessInfoEditor *businessInfoController() const { return m_businessInfoController; }
    // Set by the import sheets while they are open.
    bool isImporting() const { return m_importing; }
    void setImporting(bool importing) { m_importing = importing; }
    // The list a command acts on (during an import, the import sheet's list
    // that has the focus or owns `menu`); nullptr when none.
    TWRegisterDetail *activeTransactionsController(bool context, bool ignoreImport,
                                                   QMenu *menu) const;
    TWTasksList *activeTasksController(bool context, bool ignoreImport, QMenu *menu) const;
    TWExpensesList *activeExpensesController(bool context, bool ignoreImport, QMenu *menu) const;
    void importTransactionsURL(const QUrl &url);
    void importTasksURL(const QUrl &url);
    void importExpensesURL(const QUrl &url);
    TWImportController *importTransactionsController() const { return m_importTransactions; }
    TWImportController *importTasksController() const { return m_importTasks; }
    TWImportController *importExpensesController() const { return m_importExpenses; }
    // The store's latest failure as an error (for an identifier query that
    // answered 0).
    TWError lastStoreError() const;
    // The same for a document that may be gone (a failure all the same).
    static TWError lastStoreError(const TWBusinessController *document);

    // ---- Record commands ----
    // New records through their information sheets, placed beside or inside
    // the selection and selected once stored. `kind` is a group item type.
    void newGroup(int kind);
    // With `fromEditor`, the transaction editor asked: the account joins its
    // choices and the selection stays.
    void newAccount(bool fromEditor);
    // An account of the type named by its kind, at the top level, without a
    // sheet; none when it could not be stored (the error has been shown).
    TWAccountPtr newAccountOfType(int accountType);
    void newFilter();
    void newClient();
    void newMerchant();
    void newReport();
    // The information controller for new records of a family (made once).
    TWInfoEditor *newInfoController(int family);
    void newTransaction(bool multiple);
    void newTransaction(const TWTransactionPtr &transaction,
                        const TWRelationshipList &relationships, bool multiple,
                        TWRegisterDetail *transactionsController);
    void editTransaction(const TWTransactionPtr &transaction, bool isImport,
                         TWRegisterDetail *transactionsController);
    // Menu commands routed to the selected entry's list; `item` is the menu
    // item triggered (its menu tells a context menu's list; its data is the
    // mark tag).
    void editTransaction(bool context, QAction *item);
    void markTransaction(bool context, QAction *item);
    void duplicateTransaction(bool context);
    void deleteTransaction(bool context);
    void updateConvertedTotals(bool context);
    void showRelatedTransactions(bool context);
    void editMultipleTransactions(bool context);
    TWTransactionEditor *transactionController() const { return m_transactionController; }
    // Whether the chosen item can be printed.
    bool canPrint() const;
    // The PDF of the chosen item for the printer's page; empty when none.
    QByteArray printData(QPrinter &printer);
    // The print dialog on the document's printer, then the pages. A register
    // is read here and laid out and sent on the document's queue, with the
    // progress sheet showing the pages done.
    void printDocument();
    QPrinter &printer();
    // What printing the register shown needs; none when the chosen item is
    // not a register or nothing prints registers.
    // `rows` limits the request to the register's first rows (all when negative).
    std::optional<TWRegisterPrintRequest> registerPrintRequest(qsizetype rows = -1) const;
    // Prints the register on the document's printer off the main thread.
    void printRegister(const TWRegisterPrintRequest &request);
    // Whether a register is being printed.
    bool isPrinting() const { return bool(m_printWork); }

    // ---- Menus ----
    // Runs a command of the menu bar, a context menu or the bar's controls.
    // `tag` is the item's tag (the segment of the add-delete control, the
    // range of the pop-up); `item` the menu item triggered, for its menu
    // and represented object.
    void perform(TWAction action, int tag = 0, QAction *item = nullptr);
    // A bill command (its main-menu action) for the bill list given.
    void billCommand(TWMerchantDetail &bills, TWAction main, bool context, int tag);
    // Whether the command is enabled now, its check mark and title; `menu`
    // is the menu item (its menu tells a context menu's list).
    TWValidation validate(TWAction action, int tag, QAction *item = nullptr) const;
    // Validates a menu item built by twMenuAction and applies the answer.
    void validateItem(QAction *item) const;
    TWDateRangeController *dateRangeController() const { return m_dateRangeController; }
    // The advanced find sheet; once it ends with Find the source list shows
    // the search results.
    void doAdvancedFind();
    TWSearchController *searchController() const { return m_searchController; }
    // The items of the Columns, Sort By and Mark menus for the focused list.
    QList<TWListMenuItem> columnMenuItems() const;
    QList<TWListMenuItem> sortMenuItems() const;
    QList<TWListMenuItem> clientMarkMenuItems() const;

    // ---- Task timer ----
    TWTaskTimer *taskTimer() const { return m_taskTimer; }
    bool isTaskTimerRunning() const;

    // Whether the application is in front (progress shows only then);
    // replaceable for tests.
    static void setApplicationActiveQuery(std::function<bool()> query);
    static bool isApplicationActive();

signals:
    // The window was closed and the document released its window.
    void documentClosed(TWBusinessController *document);
    void changeCountChanged();
    void fileURLChanged();

private:
    // The name of what Print prints now (its job and its proposed file).
    QString printJobName() const;
    // Asks a question about the unsaved changes with the autosave held back;
    // `kept(answer)` tells whether the document stays as it was, edited.
    template <typename Ask, typename Kept>
    auto askHoldingAutoSave(Ask ask, Kept kept) -> decltype(ask());
    struct Sheet {
        QPointer<TWWindow> window;
        QPointer<QWidget> view;
        SheetCompletion completion;
    };

    void setFileURL(const QUrl &url);
    bool upgradeFromURL(const QUrl &url, TWErrorResult *error);
    bool writeToURL(const QUrl &url, TWSaveOperation operation, TWErrorResult *error);
    // The document's location follows its package when it was renamed or
    // moved while open; true when it did.
    bool followPackage();
    // Where the package went when it was not followed because no business
    // is kept there; empty otherwise.
    QString movedToUnfitPlace() const;
    // Save As onto the existing `url`: only a business package is replaced,
    // and only by a whole one.
    bool replacePackage(const QUrl &url);
    // Why `target` could not be replaced when its folder took no new package
    // (`reason`): a full disk said as full.
    static TWError replaceFolderError(const QString &target, const QString &reason);
    // Runs `attempt` again for as long as it is refused because another
    // process keeps the business locked and the user asks to try again
    // (never asked during an autosave, which tries at its next turn).
    bool whileBusyAsk(TWErrorResult *error, const std::function<bool(TWErrorResult *)> &attempt);
    // Names the attachments the last save left out, if any.
    void showMissingAttachments();
    // Reads the package the document holds, wherever it is now, into a new
    // store (no question asked); on failure the old store stays.
    bool revertToSavedPackage();
    void observe();
    void stopObserving();
    void releaseControllers();
    void updateTitle();
    TWDetailController *ensureDetailController(int detailType);
    template <typename T> T *detailAs(int detailType) const
    {
        return qobject_cast<T *>(detailController(detailType));
    }
    QWidget *sheetParent() const;
    TWInfoEditor *makeInfoController(int family);
    void showNewRecordSheet(int family, int groupKind);
    void addNewRecord(int family, const TWItemPtr &item);
    TWErrorResult storeBusinessInfo(const TWBusinessInfoPtr &info, bool periodsChanged);
    TWInfoEditor *ensureEditInfoController(qint64 tag, int family);
    // The register, client or merchant list a routed command goes to.
    enum class RouteTarget { None, Register, Repeats, Clients, Merchants };
    RouteTarget routeTarget() const;
    TWRegisterDetail *routedRegister(RouteTarget target) const;
    // Calls `call` on the register, client or merchant list the selection
    // shows (each has the same selected-transaction commands); answers where
    // it went.
    template <typename Call> RouteTarget routeToSelectedList(Call &&call) const;
    void masterSortBy(int tag);
    // The task and expense commands an open import sheet's lists take.
    void importListCommand(TWAction main, int tag, bool context, QAction *item);
    void detailAddDelete(int segment);
    void showDateRangePopover();
    void searchDetail(const QString &text);
    void listMenuCommand(TWAction main, int tag, QAction *item);
    // The invoice commands, for the invoice list the selection shows.
    void invoiceCommand(TWAction main, int tag, bool context);
    // The export sheet of the kind, kept after its first use.
    void showExportSheet(TWEditorKind kind);

    std::unique_ptr<TWBusiness> m_business;
    std::unique_ptr<QThreadPool> m_operationQueue;
    std::unique_ptr<TWWindowController> m_windowController;
    std::unique_ptr<QPrinter> m_printer;
    // The register print running on the queue; its flag stops it at the next page.
    QPointer<QObject> m_printWork;
    std::shared_ptr<std::atomic_bool> m_printCancel;
    QUrl m_fileURL;
    QString m_displayName;
    bool m_edited = false;
    bool m_closing = false;
    int m_questionsOpen = 0;
    // Saves under way (their messages and dialogs run the event loop).
    int m_saving = 0;
    bool m_autoSaveHeld = false;
    // Set while an autosave runs: a business another process keeps locked
    // is left to the next autosave, never asked about.
    bool m_autoSaving = false;
    // The user kept the changes unsaved when told another copy had saved the
    // business: autosaves leave it to the user's next save to ask again.
    bool m_changedQuestionDeclined = false;

    int m_detailType = 0;
    std::map<int, TWDetailController *> m_details;
    TWMasterController *m_masterController = nullptr;
    QPointer<QWidget> m_detailButtonsView;
    QPointer<QWidget> m_subDetailButtonsView;
    TWBusinessControllerDelegate *m_delegate = nullptr;
    QMetaObject::Connection m_wakeConnection;
    TWImportController *m_importTransactions = nullptr;
    TWImportController *m_importTasks = nullptr;
    TWImportController *m_importExpenses = nullptr;
    bool m_importing = false;
    TWBusinessInfoEditor *m_businessInfoController = nullptr;
    QPointer<TWPopover> m_popover;
    qint64 m_popoverTag = 0;
    // By popover tag (edits) and by family item type (new records).
    std::map<qint64, TWInfoEditor *> m_editInfoControllers;
    std::map<int, TWInfoEditor *> m_newInfoControllers;
    TWTransactionEditor *m_transactionController = nullptr;
    TWEditTransactionsEditor *m_editTransactionsController = nullptr;
    TWTaskTimer *m_taskTimer = nullptr;
    TWDateRangeController *m_dateRangeController = nullptr;
    TWSearchController *m_searchController = nullptr;
    std::map<int, TWEditorController *> m_exportControllers;
    std::unique_ptr<TWDateRangeControllerDelegate> m_dateRangeDelegate;

    std::vector<Sheet> m_sheets;
    QPointer<TWWindow> m_progressWindow;
    std::vector<TWNotificationCenter::Token> m_observers;
};
