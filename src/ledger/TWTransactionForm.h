#pragma once
// The editor's own rows for the amount and the repeat settings: a debit and a
// credit text with the unit, and a repeat switch with its interval. They edit
// nothing themselves; they report what the user typed or chose.

#include "TWRepeat.h"
#include "TWUnit.h"

#include <QWidget>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QSpinBox;
class TWBusiness;

class TWTransactionAmountRow final : public QWidget
{
    Q_OBJECT
public:
    explicit TWTransactionAmountRow(QWidget *parent = nullptr);
    // Shows the amount in `unit` from account 1's side, or account 2's when
    // `swapped`; the unit menu offers the business's units.
    void setValues(TWBusiness *business, qint64 total, const TWUnitPtr &unit, bool swapped,
                   bool editing);
    qint64 total() const { return m_total; }
    QLineEdit *debitField() const { return m_debit; }
    QLineEdit *creditField() const { return m_credit; }
    QComboBox *unitPopUp() const { return m_unitPopUp; }
    // Reads a typed debit or credit. Text that cannot be read keeps the
    // previous amount and shows it again: an amount is never silently zeroed.
    bool takeText(bool isDebit);

signals:
    void totalEdited(qint64 total);
    void unitChosen(const TWUnitPtr &unit);

private:
    void showTexts();

    QLineEdit *m_debit;
    QLineEdit *m_credit;
    QComboBox *m_unitPopUp;
    TWUnitList m_units;
    TWUnitPtr m_unit;
    qint64 m_total = 0;
    bool m_swapped = false;
    bool m_editing = true;
    bool m_filling = false;
};

class TWTransactionRepeatRow final : public QWidget
{
    Q_OBJECT
public:
    // The most items a schedule may be asked to repeat every.
    static constexpr int kMaximumInterval = 999;

    explicit TWTransactionRepeatRow(QWidget *parent = nullptr);
    // Shows a copy of `repeat` (none: off, a monthly default ready).
    void setRepeat(const TWRepeatPtr &repeat, bool enabled);
    // The edited schedule; none while the switch is off.
    TWRepeatPtr repeat() const;
    QCheckBox *checkBox() const { return m_check; }
    QSpinBox *countBox() const { return m_count; }
    QComboBox *unitPopUp() const { return m_unitPopUp; }

signals:
    void repeatChanged();

private:
    void changed();

    QCheckBox *m_check;
    QSpinBox *m_count;
    QComboBox *m_unitPopUp;
    TWRepeatPtr m_repeat;
    bool m_filling = false;
};
