#pragma once
// The invoice list: the invoices of the projects chosen in the client view
// (ModeProjects), or those one invoice schedule made in the repeats view (ModeRepeat),
// in an upper table, and the payment transactions of the selected invoices
// (all listed invoices without a selection) in a lower register. Under each
// pane a line counts the rows and totals what is owed in the home currency.
// It carries the invoice commands: new, edit, duplicate, delete, mark, send
// and a payment.

#include "app/TWDetailInterfaces.h"
#include "app/TWLazyViewController.h"
#include "app/TWListViews.h"
#include "invoicing/ui/TWInvoicesColumns.h"
#include "ledger/TWRepeatsController.h"

#include "foundation/TWError.h"
#include "foundation/TWNotificationCenter.h"

#include <QHash>
#include <QPointer>
#include <QVariantMap>

class QLabel;
class TWSplitDivider;
class QMenu;
class QSplitter;
class QToolButton;
class TWInvoiceController;
class TWInvoicesDelegate;
class TWInvoicesModel;
class TWSendInvoiceController;
class TWTransactionsController;

class TWInvoicesController final : public TWLazyViewController<TWInvoiceListDetail>,
                                   public TWRepeatItemsList,
                                   public TWTableViewDelegate
{
    Q_OBJECT
public:
    enum Mode {
        ModeProjects = int(TWInvoiceListMode::Projects),
        ModeRepeat = int(TWInvoiceListMode::Repeat),
    };
    // The invoice table's segments and the payments pane's.
    enum InvoiceSegment { SegmentNew = 0, SegmentDelete = 1, SegmentSend = 2 };
    enum TransactionSegment { SegmentAddTransaction = 0, SegmentDeleteTransaction = 1 };

    explicit TWInvoicesController(QObject *parent = nullptr);
    ~TWInvoicesController() override;

    // ---- Set-up by the owner ----
    void setBusinessController(TWBusinessController *controller) override;
    void setBusiness(TWBusiness *business) override;
    void setMode(int mode) override;
    int mode() const { return m_mode; }
    void setProjects(const TWProjectList &projects) override;
    const TWProjectList &projects() const { return m_projects; }
    // The schedule whose invoices are listed; the list turns to ModeRepeat.
    void setRepeat(const TWRepeatPtr &repeat) override;
    const TWRepeatPtr &repeat() const { return m_repeat; }
    // Settings, columns, sorting and rows from scratch; the divider the first time.
    void update() override;
    void restoreFrame() override;
    void updateInvoices();
    void updateTransactions();
    void transactionsUpdated() override;

    // ---- Count and total lines ----
    void updateProjectCountTotal();
    void updateInvoiceCountTotal() override;
    void updateProjectCountTotalFrame() override;
    void updateInvoiceCountTotalFrame() override;

    // ---- Buttons, keys and clicks ----
    void updateInvoiceButtonsEnabled();
    void updateTransactionButtonsEnabled() override;
    void doInvoiceAddDelete(int segment);
    void doTransactionAddDelete(int segment);
    void doEdit();
    bool tableViewDelete(TWTableView *) override;
    bool tableViewSpace(TWTableView *) override;
    bool tableViewReturn(TWTableView *) override;
    QMenu *tableViewMenu(TWTableView *, const QPoint &position) override;
    // The context menu for a click on `row` (-1 below the rows); the caller owns it.
    QMenu *contextMenuForRow(int row);

    // ---- Rows ----
    const TWInvoiceList &invoices() const { return m_invoices; }
    TWInvoiceList selectedInvoices() const override;
    TWInvoiceList invoicesForRowIndexes(const QList<int> &rows) const;
    QList<int> rowIndexesForInvoices(const TWInvoiceList &invoices) const;
    // -1 when the invoice is not listed.
    int invoiceRow(const TWInvoice &invoice) const;
    void selectInvoice(const TWInvoicePtr &invoice) override;
    QList<int> selectedRows() const;
    void selectRows(const QList<int> &rows);
    const QList<int> &contextRows() const { return m_contextRows; }
    // The rows a command acts on: with `context` the last context menu's.
    QList<int> concernedRows(bool context) const;
    QList<qint32> selectedItemIdentifiers() const override;
    void selectItemWithIdentifier(qint32 identifier) override;

    // ---- Focus and the payments pane ----
    // The invoice table holds the keyboard focus.
    bool hasFirstResponder() const override;
    bool invoicesHasFirstResponder() const;
    bool transactionsHasFirstResponder() const;
    TWRegisterDetail *transactionsController() const override;
    void editSelectedTransaction(bool context) override;
    void deleteSelectedTransaction(bool context) override;
    void updateSelectedConvertedTotals(bool context) override;
    void showSelectedRelatedTransactions(bool context) override;
    bool showingSendInvoice() const { return m_showingSendInvoice; }
    // The invoice of the open send sheet for the printer's page; empty otherwise.
    QByteArray printOperation(QPrinter &printer) override;

    // ---- Columns and sorting ----
    void loadSettings();
    void saveSettings();
    const QVariantMap &settings() const { return m_settings; }
    void updateColumns();
    // Shows the columns at their stored widths, the fixed-size ones (dates,
    // ticks, the repeat) fitted when the columns are wider than the list.
    void fitColumns();
    void updateSortDescriptors();
    void updateHeaderMenu();
    QMenu *headerMenu() const { return m_headerMenu; }
    QList<TWListMenuItem> fieldMenuItems(TWAction action) const override;
    void toggleFieldVisible(int tag) override;
    void updateSortBy(int tag, bool updateSortDescriptors) override;
    void updateSortDirection(bool ascending, bool updateSortDescriptors) override;
    std::optional<QVariantMap> listSettings() const override;
    // The index of the shown column with the tag, -1 when hidden.
    int fieldColumn(int tag) const;
    int sortTag() const;
    bool sortAscending() const;
    // Reads each listed invoice's values from the store and shows the rows sorted.
    void sort();
    // Shows the rows shown in the order the sort settings give, reading nothing again.
    void resort();
    // The width a double click on the column's divider gives it.
    int sizeToFitWidth(int tag) const;
    // The sent (5) or paid (6) check box of a row was clicked.
    void doCheckbox(int row, int tag, bool on);
    void doRepeatButton(int row);
    QColor invoiceColour(int row) const;

    // ---- What the commands may do ----
    TWInvoiceListState listState(bool context) const;
    bool canAddInvoice() const;
    bool canEditInvoice(bool context) const;
    bool canDuplicateInvoice(bool context) const;
    bool canDeleteInvoice(bool context) const;
    bool canMarkInvoice(bool context) const;
    bool canSendInvoice(bool context) const;
    bool canAddTransaction() const override;
    bool validationQuery(TWQuery query, bool context) const override;

    // ---- Commands ----
    void newInvoice() override;
    void editSelectedInvoice(bool context) override;
    void editInvoice(const TWInvoicePtr &invoice);
    void duplicateSelectedInvoice(bool context) override;
    // Stops at the first store error, which it returns; what was added stays.
    TWErrorResult duplicateInvoices(const TWInvoiceList &invoices);
    void deleteSelectedInvoice(bool context) override;
    // The confirmed deletion of the concerned invoices.
    void deleteInvoicesConfirmed(const TWInvoiceList &invoices);
    // Tags 0 sent, 1 not sent, 4 paid, 5 not paid.
    void markInvoice(int tag, bool context) override;
    void sendInvoice(bool context) override;
    void newTransaction(bool multiple) override;

    // Widgets, for the window and tests.
    QSplitter *splitView() const { return m_splitter; }
    TWTableView *invoicesTableView() const { return m_table; }
    TWInvoicesModel *model() const { return m_model; }
    TWInvoicesDelegate *delegate() const { return m_delegate; }
    QToolButton *invoiceButton(int segment) const;
    QToolButton *transactionButton(int segment) const;
    QLabel *invoiceCountLabel() const { return m_invoiceCount; }
    QLabel *invoiceTotalLabel() const { return m_invoiceTotal; }
    QLabel *transactionCountLabel() const { return m_transactionCount; }
    QLabel *transactionTotalLabel() const { return m_transactionTotal; }
    TWTransactionsController *paymentsController() const { return m_transactionsController; }
    TWInvoiceController *invoiceController() const { return m_invoiceController; }
    TWSendInvoiceController *sendController() const { return m_sendController; }

signals:
    // A store error was handed to the document to show.
    void errorPresented(const TWError &error);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void build() override;
    void applyMode();
    // Sorts the rows and shows them (the invoices in their order), the selection cleared.
    void showSorted(TWInvoiceRowList rows);
    void selectionChanged();
    void sectionMoved();
    void sectionResized(int logical, int size);
    void sortIndicatorChanged(int logical, Qt::SortOrder order);
    void presentError(const TWError &error);
    void changed();
    QString money(qint64 value) const;
    QVariantList fields() const;
    TWInvoiceController *ensureInvoiceController();
    void showInvoiceEditor(const TWInvoicePtr &invoice, TWEditorMode mode);

    TWProjectList m_projects;
    TWRepeatPtr m_repeat;
    int m_mode = ModeProjects;
    TWInvoiceList m_invoices;
    QList<int> m_selectedRows;
    QList<int> m_contextRows;
    QVariantMap m_settings;
    bool m_settingsLoaded = false;
    bool m_showingSendInvoice = false;
    bool m_selectionIsChanging = false;
    bool m_updatingSort = false;
    bool m_updatingColumns = false;
    // Per shown column, the stored width and whether the user set it.
    QList<int> m_storedWidths;
    QList<bool> m_draggedWidths;
    // What the cells of the fixed-content and amount columns need, by tag,
    // measured once per load of the rows rather than at every change of the
    // list's width.
    QHash<int, int> m_fixedFits;
    TWSplitDivider *m_divider = nullptr;

    QSplitter *m_splitter = nullptr;
    QWidget *m_invoicesView = nullptr;
    QWidget *m_invoiceBar = nullptr;
    TWTableView *m_table = nullptr;
    TWInvoicesModel *m_model = nullptr;
    TWInvoicesDelegate *m_delegate = nullptr;
    QMenu *m_headerMenu = nullptr;
    QPointer<QMenu> m_contextMenu;
    QList<QToolButton *> m_invoiceButtons;
    QLabel *m_invoiceCount = nullptr;
    QLabel *m_invoiceTotal = nullptr;
    QWidget *m_transactionsContainer = nullptr;
    QWidget *m_transactionBar = nullptr;
    QList<QToolButton *> m_transactionButtons;
    QLabel *m_transactionCount = nullptr;
    QLabel *m_transactionTotal = nullptr;
    TWTransactionsController *m_transactionsController = nullptr;
    TWInvoiceController *m_invoiceController = nullptr;
    TWSendInvoiceController *m_sendController = nullptr;
    TWNotificationCenter::Token m_preferencesObserver = 0;
};
