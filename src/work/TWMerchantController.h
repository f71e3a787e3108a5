#pragma once
// The merchants view: the bills of the chosen merchants over the register of
// their payments (mode 0), or the bills one schedule made inside the repeats
// view (mode 1). From here bills are made, edited, duplicated, deleted and
// marked, and paid through a new transaction in accounts payable.

#include "app/TWDetailInterfaces.h"
#include "app/TWLazyViewController.h"
#include "foundation/TWError.h"
#include "ledger/TWRepeatsController.h"
#include "work/TWWorkList.h"
#include "work/TWWorkTable.h"

#include "foundation/TWNotificationCenter.h"
#include "model/TWBill.h"
#include "model/TWMerchant.h"
#include "model/TWRepeat.h"

#include <QDateTime>
#include <QHash>
#include <QPointer>

class QLabel;
class TWSplitDivider;
class QSplitter;
class TWAddDeleteControl;
class TWBillController;
class TWTransactionsController;

// The bill columns. The work table keeps tag 0 for an import column, so the
// bill columns count from 1.
enum TWBillColumnTag : int {
    TWBillColumnDate = 1,
    TWBillColumnMerchant = 2,
    TWBillColumnName = 3,
    TWBillColumnReceived = 4,
    TWBillColumnPaid = 5,
    TWBillColumnDue = 6,
    TWBillColumnRepeat = 7,
    TWBillColumnTotal = 8,
    TWBillColumnOwe = 9,
    TWBillColumnPercentPaid = 10,
    TWBillColumnOverdue = 11,
    TWBillColumnNotes = 12,
};

// The mark commands' tags.
enum TWBillMark : int {
    TWBillMarkReceived = 2,
    TWBillMarkNotReceived = 3,
    TWBillMarkPaid = 4,
    TWBillMarkNotPaid = 5,
};

// What a bill shows from its linked transactions, read once per listing.
struct TWBillFigures {
    qint64 total = 0;
    qint64 owe = 0;
    float percentPaid = 0;
    bool overdue = false;
};

class TWMerchantController final : public TWLazyViewController<TWMerchantDetail>,
                                   public TWRepeatItemsList,
                                   public TWWorkTableSource
{
    Q_OBJECT
public:
    enum Mode { ModeMerchants = 0, ModeRepeat = 1 };

    explicit TWMerchantController(QObject *parent = nullptr, int mode = ModeMerchants);
    ~TWMerchantController() override;

    // ---- The shell's interface ----
    void setBusinessController(TWBusinessController *controller) override;
    void setBusiness(TWBusiness *business) override;
    // Shows the merchants' bills (the document chose them).
    void setMerchants(const TWMerchantList &merchants) override;
    void update() override;
    void restoreFrame() override;
    void transactionsUpdated() override;
    void updateMerchantCountTotalFrame() override;
    void selectBill(const TWBillPtr &bill) override;
    TWBillList bills() const override { return m_bills; }
    TWBillList selectedBills() const override;
    bool canAddTransaction() const override;
    void newTransaction(bool multiple) override;
    bool hasFirstResponder(TWFocusList list) const override;
    QList<TWListMenuItem> fieldMenuItems(TWFocusList list, TWAction action) const override;
    std::optional<QVariantMap> listSettings(TWFocusList list) const override;
    void editSelectedTransaction(bool context) override;
    void deleteSelectedTransaction(bool context) override;
    void updateSelectedConvertedTotals(bool context) override;
    void showSelectedRelatedTransactions(bool context) override;
    TWRegisterDetail *transactionsController() const override;
    bool validationQuery(TWQuery query, bool context) const override;
    bool canAddItem() const override { return canAddBill(); }
    bool canDeleteItem(bool context) const override { return canDeleteBill(context); }
    // The bill commands of the menus.
    void newBill() override;
    void editSelectedBill(bool context) override;
    void duplicateSelectedBill(bool context) override;
    void deleteSelectedBill(bool context) override;
    void markBill(int tag, bool context) override;
    void toggleFieldVisible(int tag) override;
    void updateSortBy(int tag, bool updateSortDescriptors) override;
    void updateSortDirection(bool ascending, bool updateSortDescriptors) override;

    // ---- The repeats view's list (mode 1) ----
    void setRepeat(const TWRepeatPtr &repeat) override;
    QList<qint32> selectedItemIdentifiers() const override;
    void selectItemWithIdentifier(qint32 identifier) override;

    int mode() const { return m_mode; }
    const TWRepeatPtr &repeat() const { return m_repeat; }

    // ---- The list ----
    // Lists the bills again, sorted, and hands them to the register.
    void updateMerchant();
    // Lists again after one of the view's own changes.
    void relist();
    // Hands the chosen bills (or all listed) to the register.
    void updateTransactions();
    TWBillList billsForRowIndexes(const QList<int> &rows) const;
    QList<int> rowIndexesForBills(const TWBillList &bills) const;
    int billRow(const TWBill &bill) const;
    bool billsHasFirstResponder() const;
    bool transactionsHasFirstResponder() const;
    QColor billColour(const TWBill &bill) const;
    TWBillFigures figures(const TWBill &bill) const;
    void updateMerchantCountTotal();

    bool canAddBill() const;
    bool canEditBill(bool context) const;
    bool canDuplicateBill(bool context) const;
    bool canDeleteBill(bool context) const;
    bool canMarkBill(bool context) const;

    void editBill(const TWBillPtr &bill);
    void duplicateBills(const TWBillList &bills);
    // Asks the store for the bill's schedule and has the document show it.
    void doRepeatButton(const TWBillPtr &bill);
    // The add (0) and delete (1) segments under the bills.
    void doAddDelete(int segment);

    // Three-way comparison of two bills by a column, before the identifier
    // tie-break and the direction.
    int compareBills(const TWBill &a, const TWBill &b, int tag) const;

    TWWorkTable *table() const { return m_table; }
    TWTransactionsController *paymentsRegister() const { return m_register; }
    TWBillController *billSheet() const { return m_sheet; }
    QSplitter *splitView() const { return m_splitter; }
    QLabel *countLabel() const { return m_countLabel; }
    QLabel *totalLabel() const { return m_totalLabel; }
    TWAddDeleteControl *addDeleteControl() const { return m_addDelete; }

    static QList<TWWorkColumn> billColumns();

    // ---- TWWorkTableSource ----
    int workRowCount(const TWWorkTable *table) const override;
    QString workText(const TWWorkTable *table, int row, int tag) const override;
    bool workChecked(const TWWorkTable *table, int row, int tag) const override;
    QColor workRowColour(const TWWorkTable *table, int row) const override;
    void workSort(TWWorkTable *table, int tag, bool ascending) override;
    void workCheckbox(TWWorkTable *table, int row, int tag, bool on) override;
    void workSelectionChanged(TWWorkTable *table) override;
    QMenu *workContextMenu(TWWorkTable *table, QWidget *parent, bool rowClicked) override;
    bool workKey(TWWorkTable *table, int key) override;
    void workDoubleClick(TWWorkTable *table) override;

private:
    void build() override;
    void loadSettings();
    void refreshFigures();
    void forgetRowIndex() { m_rows.forget(); }
    void updateAddDeleteEnabled();
    void presentError(const TWError &error) const;
    void changed() const;
    QWidget *alertWindow() const;
    // Says why, and answers true, when a bill acted on has closed entries.
    bool refuseClosedBills(bool context);
    void deleteConfirmed(const TWBillList &bills);
    TWBillController *ensureSheet();
    QString money(qint64 value) const;
    int shownMerchantCount() const { return int(m_merchants.size()); }

    int m_mode = ModeMerchants;
    TWRepeatPtr m_repeat;
    TWBillList m_bills;
    TWWorkList::RowIndex m_rows;
    // A bill's figures with the reading they were made of and the end of the day they were made
    // on: while that reading stands on that day, they are what reading again would make.
    struct KeptFigures {
        TWBillFigures figures;
        quint64 reading = 0;
        QDateTime dayEnd;
    };
    QHash<qint32, KeptFigures> m_figures;

    QSplitter *m_splitter = nullptr;
    QWidget *m_billsPane = nullptr;
    TWWorkTable *m_table = nullptr;
    TWTransactionsController *m_register = nullptr;
    TWAddDeleteControl *m_addDelete = nullptr;
    QLabel *m_countLabel = nullptr;
    QLabel *m_totalLabel = nullptr;
    TWBillController *m_sheet = nullptr;
    TWNotificationCenter::Token m_preferencesObserver = 0;
    TWSplitDivider *m_divider = nullptr;
    // The register was set up once.
    bool m_registerShown = false;
};
