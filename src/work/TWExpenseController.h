#pragma once
// The expense editor sheet: date, name (completed from the remembered expense
// names), quantity, cost in the project's unit, tax rate and notes of a
// working copy of the expense.

#include "work/TWWorkSheet.h"

#include "model/TWExpense.h"

class QDateTimeEdit;
class QLineEdit;
class QToolButton;

class TWExpenseController final : public TWWorkSheet
{
    Q_OBJECT
public:
    using TWWorkSheet::TWWorkSheet;

    const TWExpensePtr &expense() const { return m_expense; }
    void setExpense(const TWExpensePtr &expense) { m_expense = expense; }
    const TWExpensePtr &editExpense() const { return m_editExpense; }
    void update() override;

    QDateTimeEdit *datePicker() const { return m_date; }
    QLineEdit *nameField() const { return m_name; }
    QLineEdit *quantityField() const { return m_quantity; }
    QLineEdit *costField() const { return m_cost; }
    QLineEdit *taxRateField() const { return m_taxRate; }
    QLineEdit *notesField() const { return m_notes; }

protected:
    void buildForm() override;
    void updateUI() override;
    bool commitFields() override;
    void confirmSave(std::function<void()> save) override;
    TWErrorResult store() override;
    void dateSelected(int tag, const QDateTime &date) override;

private:
    const TWUnit *unit() const;

    TWExpensePtr m_expense;
    TWExpensePtr m_editExpense;
    QDateTimeEdit *m_date = nullptr;
    QToolButton *m_dateButton = nullptr;
    QLineEdit *m_name = nullptr;
    QLineEdit *m_quantity = nullptr;
    QLineEdit *m_cost = nullptr;
    QLineEdit *m_taxRate = nullptr;
    QLineEdit *m_notes = nullptr;
    // The tax rate as shown: a rate shown shorter than it is stored keeps its
    // exact value until its text is edited.
    QString m_shownTaxRate;
};
