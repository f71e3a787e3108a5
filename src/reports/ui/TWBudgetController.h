#pragma once
// The budget view: every account group and account in master-list order with
// its budget line and the line's current cycle (dates, spent, remaining,
// progress). From it the user opens the line editor, ticks rollover in place
// and resets chosen lines or the whole budget.

#include "app/TWDetailInterfaces.h"
#include "app/TWLazyViewController.h"
#include "app/TWListViews.h"

#include "foundation/TWNotificationCenter.h"

#include "foundation/TWError.h"
#include "model/TWBudgetItem.h"
#include "model/TWItem.h"

#include <QPointer>

#include <vector>

class TWBudgetItemController;
class TWBudgetModel;

class TWBudgetController final : public TWLazyViewController<TWBudgetDetail>,
                                 public TWTableViewDelegate
{
    Q_OBJECT
public:
    explicit TWBudgetController(QObject *parent = nullptr);
    ~TWBudgetController() override;

    void setBusiness(TWBusiness *business) override;
    // Name order, rows and figures fresh from the store.
    void update() override;
    // The rows again (tree order, then the current sort) and new snapshots
    // of the lines and their cycles; nothing selected.
    void updateBudgetItems();

    // The row item's line; with `createIfNecessary`, a missing one is made
    // (no amount, home unit, today, no cycle) and stored. A failed store
    // leaves `error` set and returns the unsaved line.
    TWBudgetItemPtr budgetItemForItem(const TWItemPtr &item, bool createIfNecessary,
                                      TWErrorResult *error = nullptr);

    // What the menus may do: with `context` on the context menu's rows, else
    // on the selection.
    bool canEditBudgetItem(bool context) const;
    bool canResetBudgetItem(bool context) const;
    bool validationQuery(TWQuery query, bool context) const override;

    // Opens the line editor on the one row concerned (nothing otherwise).
    void editSelectedBudgetItem(bool context) override;
    void newBudgetItem(const TWItemPtr &item);
    void editBudgetItem(const TWBudgetItemPtr &budgetItem, const TWItemPtr &item);
    // Deletes the lines of the rows concerned after asking; all or none.
    void resetBudgetItem(bool context) override;
    // Deletes every line after asking.
    void resetBudget() override;
    // Stores a changed line; false (the error shown) when the store refused.
    bool updateBudgetItem(const TWBudgetItemPtr &budgetItem);
    // A click on a row's rollover box.
    void doCheckbox(int row, bool on);

    TWItemList selectedItems() const;
    QList<int> selectedRows() const;
    int itemRow(const TWItemPtr &item) const;
    int budgetItemRow(const TWBudgetItemPtr &budgetItem) const;
    void selectRows(const QList<int> &rows);

    TWTableView *tableView() const { return m_table; }
    TWBudgetModel *model() const { return m_model; }
    TWBudgetItemController *budgetItemController() const { return m_itemController; }
    const QList<int> &contextRows() const { return m_contextRows; }

    QMenu *tableViewMenu(TWTableView *table, const QPoint &position) override;
    bool tableViewDelete(TWTableView *table) override;
    bool tableViewSpace(TWTableView *table) override;
    bool tableViewReturn(TWTableView *table) override;

private:
    void build() override;
    void observe();
    void stopObserving();
    QList<int> rowsFor(bool context) const;
    // A new, unsaved line for the item.
    TWBudgetItemPtr makeBudgetItem(const TWItemPtr &item);
    void showEditor(const TWBudgetItemPtr &budgetItem, const TWItemPtr &item, TWEditorMode mode);
    void presentError(const TWError &error);
    void markEdited();
    // The error of a store write as the budget view reports it.
    static TWError budgetError(const TWError &error);

    TWTableView *m_table = nullptr;
    TWBudgetModel *m_model = nullptr;
    TWBudgetItemController *m_itemController = nullptr;
    QList<int> m_contextRows;
    QPointer<QMenu> m_menu;
    std::vector<TWNotificationCenter::Token> m_observers;
};
