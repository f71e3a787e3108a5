#pragma once
// One open business document: owns its store for the document's whole life,
// its window (through TWWindowController), its background work and its
// sheets. Reads, upgrades, writes, reverts, prints and closes the document.

#include "TWAppRegistry.h"
#include "TWDetailInterfaces.h"
#include "TWMasterItem.h"

#include "TWBusiness.h"
#include "TWItem.h"
#include "TWNotificationCenter.h"

#include <QObject>
#include <QPointer>
#include <QUrl>

#include <functional>
#include <memory>
#include <vector>

class QMainWindow;
class QPrinter;
class QThreadPool;
#include "TWWindow.h"
class TWMasterController;
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
    bool saveDocument();
    // Asks for a place and saves there.
    bool saveDocumentAs();
    // Saves as a package at `url` (an existing package there is replaced
    // whole, only once the new one is complete). Location, title and the last
    // opened business change only after success.
    bool saveDocumentToURL(const QUrl &url);
    // Reads the package again into a new store; on failure the old store and
    // window stay and the error is shown.
    bool revertDocumentToSaved();
    // Saves when edited and already in a file (the autosave timer's call).
    void autoSave();
    // Asks about unsaved changes; false when the user cancelled.
    bool canClose();
    // Closes the window and lets the document go (after canClose).
    void close();

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
    // The record popover of the selection (comes with the information popovers).
    void showInspector(bool) {}
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
    // Stores the range (dates only for the custom range 11) and reloads the
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
    bool hasAttachedSheet() const { return !m_sheets.empty(); }
    TWWindow *innermostSheet() const;
    void showProgress(bool show);
    QWidget *progressWindow() const;

    // ---- Commands ----
    void importTransactionsURL(const QUrl &url);
    // Whether the chosen item can be printed.
    bool canPrint() const;
    // The PDF of the chosen item for the printer's page; empty when none.
    QByteArray printData(QPrinter &printer);
    // The print dialog on the document's printer, then the pages.
    void printDocument();
    QPrinter &printer();

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
    struct Sheet {
        QPointer<TWWindow> window;
        QPointer<QWidget> view;
        SheetCompletion completion;
    };

    void setFileURL(const QUrl &url);
    bool upgradeFromURL(const QUrl &url, TWErrorResult *error);
    bool writeToURL(const QUrl &url, TWSaveOperation operation, TWErrorResult *error);
    void observe();
    void stopObserving();
    void releaseControllers();
    void updateTitle();
    TWDetailController *ensureDetailController(int detailType);
    template <typename T>
    T *detailAs(int detailType) const
    {
        return qobject_cast<T *>(detailController(detailType));
    }
    QWidget *sheetParent() const;

    std::unique_ptr<TWBusiness> m_business;
    std::unique_ptr<QThreadPool> m_operationQueue;
    std::unique_ptr<TWWindowController> m_windowController;
    std::unique_ptr<QPrinter> m_printer;
    QUrl m_fileURL;
    QString m_displayName;
    bool m_edited = false;
    bool m_closing = false;

    int m_detailType = 0;
    std::map<int, TWDetailController *> m_details;
    TWMasterController *m_masterController = nullptr;
    QPointer<QWidget> m_detailButtonsView;
    QPointer<QWidget> m_subDetailButtonsView;
    TWBusinessControllerDelegate *m_delegate = nullptr;
    QMetaObject::Connection m_wakeConnection;
    TWImportController *m_importTransactions = nullptr;
    TWTaskTimer *m_taskTimer = nullptr;

    std::vector<Sheet> m_sheets;
    QPointer<TWWindow> m_progressWindow;
    std::vector<TWNotificationCenter::Token> m_observers;
};
