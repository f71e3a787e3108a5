#pragma once
// The stored values view: the texts remembered for one field (payees,
// descriptions, custom text fields, and the names of projects, tasks,
// expenses, invoices and bills), listed by name; search, add, rename in
// place, delete, and reset from the records of the business.

#include "app/TWDetailInterfaces.h"
#include "app/TWLazyViewController.h"
#include "app/TWListViews.h"

#include "model/TWValue.h"

#include <QPointer>

class QComboBox;
class QPushButton;
class TWValuesTableModel;

class TWValuesController final : public TWLazyViewController<TWValuesDetail>,
                                 public TWTableViewDelegate
{
    Q_OBJECT
public:
    explicit TWValuesController(QObject *parent = nullptr);
    ~TWValuesController() override;

    // Starts over: no search, the first field.
    void update() override;

    bool canAddItem() const override { return true; }
    bool canDeleteItem(bool context) const override { return canDeleteValue(context); }
    bool canDeleteValue(bool context) const override;
    void newValue() override;
    void deleteValue(bool context) override;
    void search(const QString &text) override;

    // The chosen field's number (-5 payee, -6 description, a custom text
    // field, -50 to -53 and -100 for the names of the work side).
    qint32 chosenField() const;
    // Chooses the pop-up entry of that number, as a click would.
    void chooseField(qint32 number);
    // The numbers the pop-up offers, in order.
    QList<qint32> fieldNumbers() const;

    const TWValueList &values() const { return m_values; }
    const std::optional<QString> &searchString() const { return m_searchString; }
    void updateFieldValues();
    void filterAndSort(const QString &text);
    void renameValue(qsizetype row, const QString &name);
    // Asks, then rebuilds the chosen field's values from the records.
    void doReset();
    void setSortAscending(bool ascending);

    const QList<int> &contextRows() const { return m_contextRows; }

    // TWTableViewDelegate
    bool tableViewDelete(TWTableView *table) override;
    QMenu *tableViewMenu(TWTableView *table, const QPoint &position) override;

    QComboBox *fieldPopUpButton() const { return m_fieldPopUp; }
    TWTableView *tableView() const { return m_table; }
    QPushButton *resetButton() const { return m_resetButton; }

private:
    void build() override;
    void doField();
    void reloadFromStore();
    void sortValues();
    QList<int> selectedRows() const;
    void markEdited();
    void presentError(const class TWError &error);

    TWValueList m_values;
    std::optional<QString> m_searchString;
    bool m_ascending = true;
    QList<int> m_contextRows;

    QComboBox *m_fieldPopUp = nullptr;
    TWTableView *m_table = nullptr;
    TWValuesTableModel *m_model = nullptr;
    QPushButton *m_resetButton = nullptr;
    QPointer<QMenu> m_menu;
};
