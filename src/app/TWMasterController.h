#pragma once
// The source list at the left of a business window: builds the tree of
// records, headers and manage entries from the store, restores and records
// expansion and selection, hands selection changes to the document, offers
// the context menu and deletes records after a confirmation. Its rows show
// icons, amounts and colours; under it a panel shows the current period's
// figures.

#include "app/TWListViews.h"
#include "app/TWMasterItem.h"

#include "foundation/TWNotificationCenter.h"
#include "model/TWAccount.h"
#include "model/TWTransaction.h"

#include <QObject>
#include <QPointer>
#include <QRect>
#include <QSplitter>

#include <memory>
#include <vector>

#include <QMenu>
class TWBusiness;
class TWBusinessController;
class TWMasterModel;
class TWMasterSelectionModel;
class TWMasterTotals;
class QLabel;

// The split view of the outline and the summary panel: a double click on
// its divider collapses the panel.
class TWSummarySplitter final : public QSplitter
{
    Q_OBJECT
public:
    using QSplitter::QSplitter;
    // Collapses the panel and says so.
    void collapsePanel();

signals:
    void panelResized(bool collapsed);

protected:
    QSplitterHandle *createHandle() override;
};

// Bits of the business's `masterExpanded`, one per header.
enum TWMasterExpandedBit : quint32 {
    TWMasterExpandedAccounts = 1,
    TWMasterExpandedClients = 2,
    TWMasterExpandedMerchants = 4,
    TWMasterExpandedReports = 8,
    TWMasterExpandedManage = 16,
    TWMasterExpandedFilters = 32,
    TWMasterExpandedFind = 64,
};

class TWMasterController final : public QObject, public TWOutlineViewDelegate
{
    Q_OBJECT
public:
    explicit TWMasterController(QObject *parent = nullptr);
    ~TWMasterController() override;

    void setBusinessController(TWBusinessController *document) { m_document = document; }
    TWBusinessController *businessController() const { return m_document; }
    void setBusiness(TWBusiness *business);
    TWBusiness *business() const { return m_business; }

    QWidget *view();
    TWOutlineView *outlineView() const { return m_outline; }
    TWMasterModel *model() const { return m_model; }

    // Builds the tree afresh from the store, then restores expansion and
    // selection.
    void update();
    // Puts the node of one new account under its group (or the header).
    void updateAddAccount(const TWAccountPtr &account);

    const TWMasterItemList &masterItems() const;
    // Selects exactly the nodes that have rows and shows the first.
    void selectMasterItems(const TWMasterItemList &items);
    TWMasterItemPtr selectedMasterItem() const;
    TWMasterItemList selectedMasterItems() const;
    // The nodes the last context menu was opened for (children included).
    TWMasterItemList contextMasterItems() const;
    // The nodes at the flat rows in row order; without children, every node
    // whose ancestor is in the list is dropped.
    TWMasterItemList masterItems(const QList<int> &rows, bool includeChildren) const;
    TWMasterItemPtr masterItemWithType(quint32 type, quint32 subtype, qint32 identifier) const;
    // The header at the logical index (0 accounts, 1 filters, 2 find,
    // 3 clients, 4 merchants, 5 reports, 6 manage).
    TWMasterItemPtr masterItemAtIndex(int index) const;
    TWMasterItemPtr masterItemParent(const TWMasterItem &node) const;
    TWMasterItemPtr defaultMasterItem() const;
    // The node's row in the controller's view, kept inside the visible part.
    QRect rectForMasterItem(const TWMasterItem &node) const;
    bool hasFirstResponder() const;

    // Deletes the selected records (or, with `context`, the context rows)
    // after the user confirmed.
    void deleteMaster(bool context);

    // Recomputes the amounts and colours of the accounts, filters, find,
    // clients and merchants sections; of one node and everything below it.
    void updateTotals();
    void updateTotals(const TWMasterItem &node);
    // Redraws the client and merchant rows in the current preference colours.
    void updateColours();
    void updateColours(const TWMasterItem &node);
    // The colour of a row's texts: invalid (the normal text colour) for the
    // selected row and for rows without owing money.
    QColor itemColour(const TWMasterItem &node) const;
    const TWMasterTotals *totals() const { return m_totals.get(); }
    // Recomputes the panel's figures for the current accounting period.
    void updateSummary();

    // The panel under the outline and its value labels by name
    // ("assetsValueLabel", "debitValueLabel" ...).
    TWSummarySplitter *summarySplitter() const { return m_splitter; }
    QWidget *summaryPanel() const { return m_summary; }
    QLabel *summaryValueLabel(const QString &name) const;
    QLabel *retainedEarningsLabel() const { return m_retainedEarningsLabel; }
    bool summaryCollapsed() const;
    // The panel's fixed height.
    static constexpr int kSummaryHeight = 197;

    // The context menu for a point in the outline (viewport coordinates);
    // a point below the last row gives the menu without record commands.
    QMenu *contextMenu(const QPoint &position);
    const QList<int> &contextRows() const { return m_contextRows; }

    // TWOutlineViewDelegate
    bool outlineViewDelete(TWOutlineView *) override;
    QMenu *outlineViewMenu(TWOutlineView *, const QPoint &position) override;

private:
    TWMasterItemPtr sharedNode(const TWMasterItem *node) const;
    TWMasterItemPtr findRecord(const TWMasterItemPtr &node, int kind, qint32 identifier) const;
    TWMasterItemPtr findParent(const TWMasterItemPtr &root, const TWMasterItem &node) const;
    void expandAndSelectItems();
    void expandChildItems(const TWMasterItemPtr &node);
    void setExpanded(const TWMasterItem &node, bool expanded);
    void itemExpansionChanged(const QModelIndex &index, bool expanded);
    void selectionDidChange();
    QList<int> selectedRows() const;
    void observe();
    void stopObserving();
    void refreshManage(std::initializer_list<quint32> types);
    QWidget *makeSummaryPanel();
    void summaryResized(bool collapsed);
    // The delete after confirmation: every guard first, then the store.
    void deleteNodes(const QList<int> &rows);
    TWTransactionPtr closedTransaction(const TWMasterItem &node) const;
    // What the delete alert says of the payments the clients' invoices and
    // the merchants' bills among `nodes` take along; empty for none.
    QString deletedPaymentsText(const TWMasterItemList &nodes) const;

    TWBusinessController *m_document = nullptr;
    TWBusiness *m_business = nullptr;
    QPointer<TWSummarySplitter> m_splitter;
    QPointer<TWOutlineView> m_outline;
    QWidget *m_summary = nullptr;
    QLabel *m_retainedEarningsLabel = nullptr;
    std::unique_ptr<TWMasterTotals> m_totals;
    TWMasterModel *m_model = nullptr;
    TWMasterSelectionModel *m_selection = nullptr;
    QList<int> m_contextRows;
    QPointer<QMenu> m_menu;
    bool m_restoring = false;
    bool m_selectingInCode = false;
    std::vector<TWNotificationCenter::Token> m_observers;
};
