#pragma once
// The expense list: the expenses of the chosen projects (mode 0, the clients
// view), an import's file records to tick (mode 1, never stored) or the stored
// expenses beside an import (mode 2), with the expense editor sheet.

#include "app/TWDetailInterfaces.h"
#include "app/TWLazyViewController.h"
#include "foundation/TWError.h"
#include "work/TWWorkTable.h"

#include "foundation/TWNotificationCenter.h"
#include "model/TWExpense.h"
#include "model/TWProject.h"

#include <QHash>
#include <QObject>
#include <QPointer>

#include <optional>

class QLabel;
class QMenu;
class QPushButton;
class QToolButton;
class TWBusiness;
class TWBusinessController;
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

class TWExpensesController final : public TWLazyViewController<QObject>,
                                   public TWExpensesList,
                                   public TWWorkTableSource
{
    Q_OBJECT
public:
    enum Mode { ModeProjects = 0, ModeImportSelection = 1, ModeAllRecords = 2 };

    explicit TWExpensesController(QObject *parent = nullptr);
    ~TWExpensesController() override;

    void setBusinessController(TWBusinessController *document);
    void setBusiness(TWBusiness *business);
    int mode() const { return m_mode; }
    void setMode(int mode) { m_mode = mode; }
    TWExpensesControllerDelegate *delegate() const { return m_delegate; }
    void setDelegate(TWExpensesControllerDelegate *delegate) { m_delegate = delegate; }
    const std::optional<TWProjectList> &projects() const { return m_projects; }
    void setProjects(const std::optional<TWProjectList> &projects) { m_projects = projects; }
    const TWExpenseList &expenses() const { return m_expenses; }
    void setExpenses(const TWExpenseList &expenses) { m_expenses = expenses; }
    const TWExpenseList &importSelectedExpenses() const { return m_importSelectedExpenses; }
    void setImportSelectedExpenses(const TWExpenseList &expenses)
    {
        m_importSelectedExpenses = expenses;
    }

    TWWorkTable *table() const { return m_table; }
    QLabel *countLabel() const { return m_countLabel; }
    QLabel *totalLabel() const { return m_totalLabel; }
    QToolButton *addButton() const { return m_addButton; }
    QPushButton *deleteButton() const { return m_deleteButton; }
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
    void editSelectedExpense(bool context);
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
    void presentError(const TWError &error) const;
    void changed() const;
    TWProjectPtr projectOf(const TWExpense &expense) const;
    TWClientPtr clientOf(const TWExpense &expense) const;
    const TWUnit *unitOf(const TWExpense &expense) const;
    QString money(qint64 value, const TWUnit *unit) const;
    int shownProjectCount() const { return m_projects ? int(m_projects->size()) : 0; }
    TWExpenseController *ensureSheet();

    QPointer<TWBusinessController> m_document;
    TWBusiness *m_business = nullptr;
    int m_mode = ModeProjects;
    TWExpensesControllerDelegate *m_delegate = nullptr;
    std::optional<TWProjectList> m_projects;
    TWExpenseList m_expenses;
    TWExpenseList m_importSelectedExpenses;
    QHash<qint32, int> m_rows;

    TWWorkTable *m_table = nullptr;
    QLabel *m_countLabel = nullptr;
    QLabel *m_totalLabel = nullptr;
    QToolButton *m_addButton = nullptr;
    QPushButton *m_deleteButton = nullptr;
    TWExpenseController *m_sheet = nullptr;
    TWNotificationCenter::Token m_preferencesObserver = 0;
};
