#pragma once
// The expense list: the expenses of the chosen projects (mode 0, the clients
// view), an import's file records to tick (mode 1, never stored) or the stored
// expenses beside an import (mode 2), with the expense editor sheet.

#include "app/TWDetailInterfaces.h"
#include "work/TWWorkListController.h"
#include "work/TWWorkTable.h"

#include "model/TWExpense.h"

#include <QHash>

class QMenu;
class TWExpenseController;
class TWExpensesController;

class TWExpensesControllerDelegate
{
public:
    virtual ~TWExpensesControllerDelegate() = default;
    virtual void expensesControllerImportSelectedExpensesChanged(TWExpensesController *) {}
};

enum TWExpenseColumnTag : int {
    TWExpenseColumnImport = 0,
    TWExpenseColumnDate = 1,
    TWExpenseColumnClient = 2,
    TWExpenseColumnProject = 3,
    TWExpenseColumnName = 4,
    TWExpenseColumnQuantity = 5,
    TWExpenseColumnCost = 6,
    TWExpenseColumnSubtotal = 7,
    TWExpenseColumnTaxRate = 8,
    TWExpenseColumnTotal = 9,
    TWExpenseColumnNotes = 10,
};

class TWExpensesController final : public TWWorkListController,
                                   public TWExpensesList,
                                   public TWWorkTableSource
{
    Q_OBJECT
public:
    explicit TWExpensesController(QObject *parent = nullptr);
    ~TWExpensesController() override;

    void setBusiness(TWBusiness *business);
    TWExpensesControllerDelegate *delegate() const { return m_delegate; }
    void setDelegate(TWExpensesControllerDelegate *delegate) { m_delegate = delegate; }
    const TWExpenseList &expenses() const { return m_expenses; }
    void setExpenses(const TWExpenseList &expenses) { m_expenses = expenses; }
    const TWExpenseList &importSelectedExpenses() const { return m_importSelectedExpenses; }
    void setImportSelectedExpenses(const TWExpenseList &expenses)
    {
        m_importSelectedExpenses = expenses;
    }

    TWWorkTable *table() const { return m_table; }
    TWExpenseController *expenseSheet() const { return m_sheet; }

    void update();
    void updateExpenses() override;
    void updateCountTotal();

    TWExpenseList selectedExpenses() const;
    TWExpenseList expensesForRows(const QList<int> &rows) const;
    int expenseRow(const TWExpense &expense) const;
    bool hasFirstResponder() const;
    bool tableViewHasContextMenu(const QMenu *menu) const;

    bool hasSelectedExpense(bool context, bool single, bool multiple) const;
    bool canAddExpense() const;
    bool canEditExpense(bool context) const;
    bool canDuplicateExpense(bool context) const;
    bool canDeleteExpense(bool context) const;
    bool validationQuery(TWQuery query, bool context) const override;

    void newExpense();
    void editSelectedExpense(bool context) override;
    void editExpense(const TWExpensePtr &expense, bool isImport);
    void duplicateSelectedExpense(bool context);
    void duplicateExpenses(const TWExpenseList &expenses);
    void deleteExpense(bool context);
    void updateExpense(const TWExpensePtr &original, const TWExpensePtr &edited);

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

    static QList<TWWorkColumn> expenseColumns();
    int compareExpenses(const TWExpense &a, const TWExpense &b, int tag) const;

signals:
    void expensesChanged();

private:
    void build() override;
    void updateAddDeleteButtonsEnabled();
    void rebuildRowIndex();
    TWProjectPtr projectOf(const TWExpense &expense) const;
    TWClientPtr clientOf(const TWExpense &expense) const;
    const TWUnit *unitOf(const TWExpense &expense) const;
    QString money(qint64 value, const TWUnit *unit) const;
    TWExpenseController *ensureSheet();

    TWExpensesControllerDelegate *m_delegate = nullptr;
    TWExpenseList m_expenses;
    TWExpenseList m_importSelectedExpenses;
    QHash<qint32, int> m_rows;

    TWWorkTable *m_table = nullptr;
    TWExpenseController *m_sheet = nullptr;
};
