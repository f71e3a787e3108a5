#pragma once
// The transaction register: a table of transactions with one column per field,
// a running balance, a search filter, a sort order and a selection the
// document's commands act on. The document points it at accounts or filters;
// the repeats, client and merchant views and the import sheet embed their own.
// Configure with the setters and `setMode`, then call `update`.

#include "app/TWBusinessController.h"
#include "app/TWDetailInterfaces.h"
#include "app/TWLazyViewController.h"
#include "app/TWListViews.h"
#include "foundation/TWNotificationCenter.h"
#include "ledger/TWPreviewPanel.h"

#include "model/TWAttachment.h"

#include <QHash>
#include <QPointer>
#include <QSet>

#include <functional>
#include <optional>

class QMenu;
class TWTransactionsDelegate;
class TWTransactionsModel;

class TWTransactionsController final : public TWLazyViewController<TWRegisterDetail>,
                                       public TWTableViewDelegate,
                                       public TWTableRowViewDelegate,
                                       public TWBusinessControllerDelegate,
                                       public TWPreviewPanelDataSource
{
    Q_OBJECT
public:
    explicit TWTransactionsController(QObject *parent = nullptr);
    ~TWTransactionsController() override;

    // ---- The shell's register interface ----
    void setBusiness(TWBusiness *business) override;
    void update() override;
    void restoreFrame() override;
    TWTransactionList sortedTransactions() const override { return m_sortedTransactions; }
    bool canDeleteItem(bool context) const override;
    bool hasSelectedTransaction(bool context, bool single, bool multiple,
                                bool related) const override;
    bool hasFirstResponder() const override;
    void search(const QString &text) override { filterAndSort(text); }
    void toggleFieldVisible(const TWFieldPtr &field) override;
    void updateSortBy(const TWFieldPtr &field, bool updateSortDescriptors) override;
    void updateSortDirection(bool ascending, bool updateSortDescriptors) override;
    void setMode(TWRegisterMode mode) override;
    void setParentItems(const TWItemList &items) override { m_parentItems = items; }
    void setAccounts(const TWAccountList &accounts) override { m_accounts = accounts; }
    void setFilters(const TWFilterList &filters) override { m_filters = filters; }
    void updateTransactions() override;
    bool hasSelectedTransaction() const override { return !m_selectedTransactions.isEmpty(); }
    TWTransactionList selectedTransactions() const override { return m_selectedTransactions; }
    TWTransactionList transactions() const override { return m_transactions; }
    bool isRestored() const override { return m_restored; }
    TWAccountList shownAccounts() const override { return m_accounts; }
    TWTransactionList selectedTransactionsContext(bool context) const override;
    void selectTransactions(const TWTransactionList &transactions) override;
    void editSelectedTransaction(bool context) override;
    void duplicateSelectedTransaction(bool context) override;
    void deleteSelectedTransaction(bool context) override;
    void updateSelectedConvertedTotals(bool context) override;
    void showSelectedRelatedTransactions(bool context) override;
    void markSelectedTransaction(bool cleared, bool context) override;

    // ---- Inputs of the embedded registers ----
    void setRepeat(const TWRepeatPtr &repeat) { m_repeat = repeat; }
    void setInvoices(const TWInvoiceList &invoices) { m_invoices = invoices; }
    // Whether the rows are every payment of exactly `invoices` as the store holds them now:
    // loaded for them, with nothing written to the business since and no row replaced.
    bool holdsPaymentsOf(const TWInvoiceList &invoices) const;
    void setBills(const TWBillList &bills) { m_bills = bills; }
    // ImportPreview: the previewed transactions and the ticked ones.
    void setTransactions(const TWTransactionList &transactions)
    {
        m_transactions = transactions;
        m_loadedRevision = 0;
    }
    void setImportSelectedTransactions(const TWTransactionList &transactions);
    const TWTransactionList &importSelectedTransactions() const { return m_importSelected; }
    // The ticked transactions in display order.
    TWTransactionList sortedImportTransactions() const;
    // ImportPreview: the edited copy takes the previewed one's place.
    void updateTransaction(const TWTransactionPtr &old, const TWTransactionPtr &edited);
    // Told after a tick of the import column changed.
    std::function<void(TWTransactionsController *)> importSelectedTransactionsChanged;

    // ---- Rows and selection ----
    TWRegisterMode mode() const { return m_mode; }
    const QString &searchString() const { return m_searchString; }
    void filterAndSort(const QString &text);
    void clearSelection();
    QList<int> selectedRows() const { return m_selectedRows; }
    TWTransactionList transactionsForRowIndexes(const QList<int> &rows) const;
    // The first row of each listed transaction (copies are equal by
    // identifier), ascending, each once; unlisted ones are skipped.
    QList<int> rowIndexesForTransactions(const TWTransactionList &transactions) const;
    int transactionRow(const TWTransactionPtr &transaction) const;
    TWTransactionPtr transactionAtRow(int row) const;
    int fieldColumn(const TWFieldPtr &field) const;
    TWFieldPtr fieldAtColumn(int column) const;
    bool isEnabled() const;
    void setEnabled(bool enabled);

    // ---- Columns ----
    const std::optional<QVariantMap> &settings() const { return m_settings; }
    void loadSettings();
    void saveSettings();
    qint64 settingsViewIdentifier() const;
    void updateColumns();
    void updateSortDescriptors();
    void updateHeaderMenu();
    QMenu *headerMenu() const { return m_headerMenu; }
    // The width a double-click on the column's edge fits it to.
    int fittedWidth(int column) const;
    // The least width of a column: an amount column's widest amount in the
    // register and its whole title; another column's title.
    int minimumWidth(int column) const;
    // The least width a column's cells need whole: an amount column's widest
    // amount, a date column's widest date, the largest identifier; a text, a
    // tick or a repeat the least width a column has.
    int contentWidth(const TWField &field) const;
    // Shows each column at its stored width, widened where that would cut
    // its title or its widest amount. When they are wider than the register,
    // the columns of fixed-size content the user never dragged take their
    // fitted width; a scroll bar takes what still does not fit.
    void fitColumns();
    // Whether the menu (or the menu holding it) is the table's context or header menu.
    bool tableViewHasContextMenu(QMenu *menu) const;

    // ---- Actions ----
    void deleteTransactions(const TWTransactionList &transactions, bool deleteRepeating);
    void duplicateTransactions(const TWTransactionList &transactions);
    void markTransactions(const TWTransactionList &transactions, bool cleared);
    void updateConvertedTotals(const TWTransactionList &transactions);
    // A cell's check box (row, column of the displayed table) became `on`.
    void doCheckbox(int row, int column, bool on);
    // A cell's button: the repeat link or the paperclip.
    void doButton(int row, int column);
    void previewAttachments(const TWTransactionPtr &transaction);
    const TWTransactionPtr &previewTransaction() const { return m_previewTransaction; }
    // The attachments the preview window shows.
    TWAttachmentList previewItems() const;
    // The context menu for a click on `row` (-1 below the rows); the caller owns it.
    QMenu *contextMenuForRow(int row);
    const QList<int> &contextRows() const { return m_contextRows; }

    TWTableView *tableView() const { return m_tableView; }
    TWTransactionsModel *model() const { return m_model; }

    // ---- Table delegates ----
    bool tableViewDelete(TWTableView *) override;
    bool tableViewSpace(TWTableView *) override;
    bool tableViewReturn(TWTableView *) override;
    QMenu *tableViewMenu(TWTableView *, const QPoint &position) override;
    void beginPreviewPanelControl(TWBusinessController *) override;
    void endPreviewPanelControl(TWBusinessController *) override;
    int numberOfPreviewItems(TWPreviewPanel *) override;
    TWAttachmentPtr previewItemAtIndex(TWPreviewPanel *, int index) override;

protected:
    // The register's width changed: the columns are fitted to it again.
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void build() override;
    TWTransactionList loadList();
    // Whether the rows are the payments of the documents loading would read now, as loaded:
    // the same documents, nothing written to the business since and no row replaced.
    bool loadedPaymentsStand() const;
    bool loadedForTheseDocuments() const;
    // With nothing but transactions written since the rows were loaded for the same documents,
    // puts fresh copies in place of the rows of those written; false (nothing changed) when it
    // cannot tell, and the rows are loaded again.
    bool replaceWrittenPayments();
    void rebuildRowIndex();
    void selectionChanged();
    void applySelection(const QList<int> &rows);
    void sortRows();
    void columnMoved();
    void columnResized(int logical, int newSize);
    void headerClicked(int logical);
    // Sorts again, keeping the selected transactions selected.
    void resortKeepingSelection();
    // The pixel width of each amount column's widest text over the loaded rows.
    void measureAmounts();
    // The fitted width of a column of fixed-size content, in one pass or less.
    int fixedContentWidth(int column) const;
    void observe();
    void stopObserving();
    QWidget *alertWindow() const;
    // The closed-and-locked rule: runs `action` on the editable transactions,
    // after the action's question when some are closed or locked (or always,
    // with `question`).
    struct Question {
        QString message;
        QStringList buttons;
    };
    // `lockedMessage`: what is said when none of them can be changed (none:
    // the register's own words, for one row or several).
    void withEditable(const TWTransactionList &transactions, const char *mixedMessage,
                      const char *actionTitle, const std::optional<Question> &question,
                      std::function<void(const TWTransactionList &, int code)> action,
                      const char *lockedMessage = nullptr);
    void finishBatch(bool written, bool rebuild, int notifications);
    void endBatch(bool written, bool rebuild, int notifications, const TWErrorResult &error);
    // Applies `change` to each editable transaction and stores it; the first
    // refused write puts its row back and ends the batch.
    void updateEditable(const TWTransactionList &transactions,
                        const std::function<void(TWTransaction &)> &change);
    TWFieldList fieldsForColumns(const QList<struct TWRegisterColumn> &columns) const;

    // The window may delete the view first (the document closing).
    QPointer<TWTableView> m_tableView;
    TWTransactionsModel *m_model = nullptr;
    TWTransactionsDelegate *m_delegate = nullptr;
    QPointer<QMenu> m_headerMenu;
    QPointer<QMenu> m_contextMenu;

    TWItemList m_parentItems;
    TWAccountList m_accounts;
    TWFilterList m_filters;
    TWRepeatPtr m_repeat;
    TWInvoiceList m_invoices;
    TWBillList m_bills;

    TWTransactionList m_transactions;
    // The business's reading revision the rows were loaded at (0: not loaded, or one replaced).
    quint64 m_loadedRevision = 0;
    // What else the rows were loaded for: the transactions' writes counted then, the mode and
    // the documents whose payments they are. Loading the payments of the same documents again
    // with nothing written since reads the very rows the pane holds.
    quint64 m_loadedStamp = 0;
    TWRegisterMode m_loadedMode = TWRegisterMode::Nothing;
    TWInvoiceList m_loadedInvoices;
    TWBillList m_loadedBills;
    TWTransactionList m_sortedTransactions;
    TWTransactionList m_importSelected;
    QSet<const TWTransaction *> m_ticks;
    QHash<qint32, int> m_rowOfIdentifier;
    QList<int> m_selectedRows;
    TWTransactionList m_selectedTransactions;
    QList<int> m_contextRows;
    std::optional<QVariantMap> m_settings;
    QString m_searchString; // null: no search
    bool m_hasDisplayedList = false;
    bool m_restored = false;
    bool m_selectionIsChanging = false;
    bool m_updatingColumns = false;
    // Per shown column, the width from the settings and whether the user set
    // it; per amount field, its widest text, and per field of fixed-size
    // content its fitted width (measured when the rows load, never while
    // painting or resizing).
    QList<int> m_storedWidths;
    QList<bool> m_draggedWidths;
    QHash<qint32, int> m_widestAmounts;
    QHash<qint32, int> m_fixedFits;
    // The width of the largest identifier's text, measured with the amounts.
    int m_widestIdentifier = 0;
    TWTransactionPtr m_previewTransaction;
    std::vector<TWNotificationCenter::Token> m_observers;
};
