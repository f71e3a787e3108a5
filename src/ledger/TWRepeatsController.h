#pragma once
// The repeats view: every schedule of the business above, and below the
// items the selected schedule made, in the list that suits its kind (the
// register for transactions, the invoice list for invoices, the merchants
// view's bills for bills). Schedules are deleted from here, alone or with
// everything they made.

#include "app/TWDetailInterfaces.h"
#include "app/TWLazyViewController.h"
#include "app/TWListViews.h"

#include "foundation/TWError.h"

#include <QPointer>

class QSplitter;
class TWRepeatsModel;

// What a list below the schedules offers (the invoice list and the merchants
// view implement it): it shows the items of one schedule (its mode 1) and
// keeps its selection across a reload.
class TWRepeatItemsList
{
public:
    virtual ~TWRepeatItemsList() = default;
    virtual void setRepeat(const TWRepeatPtr &repeat) = 0;
    // The identifiers of the selected items, and selecting one again.
    virtual QList<qint32> selectedItemIdentifiers() const { return {}; }
    virtual void selectItemWithIdentifier(qint32) {}
};

class TWRepeatsController final : public TWLazyViewController<TWRepeatsDetail>,
                                  public TWTableViewDelegate
{
    Q_OBJECT
public:
    explicit TWRepeatsController(QObject *parent = nullptr);
    ~TWRepeatsController() override;

    // Handed on to the lists below.
    void setBusinessController(TWBusinessController *controller) override;
    void setBusiness(TWBusiness *business) override;
    // Places the divider at the stored position; from then on a moved
    // divider is stored.
    void restoreFrame() override;
    // Sorts by next item, ascending, from a fresh copy of the schedules.
    void update() override;
    // Reloads keeping the selected rows (and the selection below).
    void updateRepeatsAndTransactions() override;
    void selectRepeat(const TWRepeatPtr &repeat) override;
    // The stored schedule of the selected row; none without one.
    TWRepeatPtr selectedRepeat() const;
    int selectedRepeatKind() const override;
    // The register below, or the lower list's own register for invoice and
    // bill schedules.
    TWRegisterDetail *transactionsController() const override;
    TWInvoicesList *invoicesController() const override;
    TWValidatedList *merchantController() const override;
    bool hasFirstResponder() const;
    bool repeatsHasFirstResponder() const;
    bool itemsHasFirstResponder() const override;
    bool invoicesHasFirstResponder() const override;
    bool validationQuery(TWQuery query, bool context) const override;
    bool canDeleteItem(bool context) const override { return canDeleteRepeat(context); }

    // Shows the lower list of the selected schedule's kind.
    void updateItems();
    // Reads the items again and sorts by the header's key.
    void sort();
    // With `context`: the rows of the last context menu; else the selection.
    bool canDeleteRepeat(bool context) const;
    // Asks, then deletes the schedule alone (1000) or with its items (1002).
    void deleteRepeat(bool context);
    // The answer to the question, for the schedule of `context` (as above).
    void deleteRepeatAnswered(int returnCode, bool context);

    // The kind whose list is shown below: 0 transactions, 1 invoices, 2 bills.
    int activeRepeatType() const { return m_activeRepeatType; }
    QSplitter *splitView() const { return m_splitter; }
    TWTableView *repeatsTableView() const { return m_table; }
    TWRepeatsModel *model() const { return m_model; }
    TWRegisterDetail *itemsRegister() const { return m_register; }
    TWDetailController *invoiceList() const { return m_invoices; }
    TWDetailController *merchantsView() const { return m_merchants; }
    const QList<int> &contextRows() const { return m_contextRows; }

    // The table's delegate: Delete asks to delete, the context menu offers it.
    bool tableViewDelete(TWTableView *) override;
    QMenu *tableViewMenu(TWTableView *, const QPoint &position) override;
    // The menu for a click on `row` (-1 below the rows); the caller owns it.
    QMenu *contextMenuForRow(int row);

signals:
    // A store error was shown (through the document when there is one).
    void errorPresented(const TWError &error);

protected:
    // A resized upper pane stores its height once the divider was restored.
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void build() override;
    QList<int> selectedRows() const;
    void selectRows(const QList<int> &rows);
    TWRepeatPtr contextRepeat(bool context) const;
    TWDetailController *lowerList(int type);
    void presentError(const TWError &error);
    void fitColumnsOnce();

    QSplitter *m_splitter = nullptr;
    TWTableView *m_table = nullptr;
    TWRepeatsModel *m_model = nullptr;
    TWRegisterDetail *m_register = nullptr;
    TWDetailController *m_invoices = nullptr;
    TWDetailController *m_merchants = nullptr;
    QList<int> m_contextRows;
    int m_activeRepeatType = 0;
    bool m_restored = false;
    bool m_columnsFitted = false;
};
