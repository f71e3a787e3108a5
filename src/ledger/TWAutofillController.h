#pragma once
// The autofill settings view: the business's autofill switch, and the
// fields that take part, each with whether typing into it starts autofill
// (trigger) and whether autofill copies its value.

#include "app/TWDetailInterfaces.h"
#include "app/TWLazyViewController.h"
#include "app/TWListViews.h"

#include "model/TWField.h"

#include <QPointer>

class QCheckBox;
class TWAutofillTableModel;

class TWAutofillController final : public TWLazyViewController<TWAutofillDetail>
{
    Q_OBJECT
public:
    // The columns, numbered as their header tags.
    enum Column { FieldColumn = 0, TypeColumn = 1, TriggerColumn = 2, AutofillColumn = 3 };

    explicit TWAutofillController(QObject *parent = nullptr);
    ~TWAutofillController() override;

    void update() override;

    // The switch, as a click on the check box.
    void doEnableAutofill(bool on);
    // Sorts by a column (its key), ascending or not.
    void sort(int column, bool ascending);
    // Sets a flag of the row's field (TriggerColumn or AutofillColumn) and
    // stores it; false when the cell cannot change.
    bool setFlag(int row, int column, bool on);
    // Whether the row has a trigger box: fields of type checkbox, date and
    // tags, and the built-in date and cleared fields, cannot trigger.
    static bool canTrigger(const TWField &field);

    const TWFieldList &fields() const { return m_fields; }
    QCheckBox *enableCheckbox() const { return m_enableCheckbox; }
    TWTableView *tableView() const { return m_table; }

private:
    void build() override;

    TWFieldList m_fields;
    int m_sortColumn = FieldColumn;
    bool m_ascending = true;

    QCheckBox *m_enableCheckbox = nullptr;
    TWTableView *m_table = nullptr;
    TWAutofillTableModel *m_model = nullptr;
};
