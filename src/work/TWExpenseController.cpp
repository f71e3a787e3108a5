#include "work/TWExpenseController.h"

#include "foundation/TWClock.h"
#include "foundation/TWLocalized.h"
#include "model/TWFormatter.h"
#include "model/TWValue.h"
#include "store/TWBusiness.h"
#include "work/TWWorkList.h"

#include <QDateTimeEdit>
#include <QLineEdit>
#include <QLocale>
#include <QToolButton>

void TWExpenseController::buildForm()
{
    m_view->setWindowTitle(TWLocalized("expenseSheetTitle"));
    addRow("date", makeDateField(0, false, &m_date, &m_dateButton));
    connect(m_date, &QDateTimeEdit::dateTimeChanged, this, [this](const QDateTime &date) {
        if (m_editExpense)
            m_editExpense->setDate(date);
    });
    m_name = makeLineEdit(false);
    addRow("name", m_name);
    completeNames(m_name, TWValueListExpenseNames);
    m_quantity = makeNumberField();
    addRow("quantity", m_quantity);
    m_cost = makeMoneyField([this] { return unit(); });
    addRow("cost", m_cost);
    m_taxRate = makeNumberField();
    addRow("taxRate", m_taxRate);
    m_notes = makeLineEdit(false);
    addRow("notes", m_notes);
}

const TWUnit *TWExpenseController::unit() const
{
    const TWProjectPtr project =
        m_business && m_editExpense
            ? m_business->projectWithIdentifier(m_editExpense->projectIdentifier())
            : nullptr;
    return project && project->unit() ? project->unit().get() : nullptr;
}

void TWExpenseController::update()
{
    view();
    m_saved = false;
    m_editExpense = m_expense ? m_expense->copy() : nullptr;
    updateUI();
}

void TWExpenseController::updateUI()
{
    if (!m_editExpense)
        return;
    {
        QSignalBlocker block(m_date);
        m_date->setDateTime(m_editExpense->date().isValid() ? m_editExpense->date()
                                                            : TWClock::now());
    }
    m_name->setText(m_editExpense->name());
    m_quantity->setText(TWFormatter::formatter().numberString(m_editExpense->quantity()));
    m_cost->setText(TWFormatter::formatter().valueString(m_editExpense->cost(), unit(), false,
                                                         false, false, true, true));
    m_shownTaxRate = taxRateText(m_editExpense->taxRate());
    m_taxRate->setText(m_shownTaxRate);
    m_notes->setText(m_editExpense->notes());
    QSignalBlocker block(m_dateButton);
    m_dateButton->setChecked(false);
}

bool TWExpenseController::commitFields()
{
    if (!m_editExpense)
        return false;
    double quantity = 0;
    double taxRate = m_editExpense->taxRate();
    qint64 cost = 0;
    // A field that cannot be read is refused on its own; what was typed in
    // the others stays as it is.
    if (!readNumber(m_quantity, &quantity) || !readMoney(m_cost, unit(), &cost) ||
        !readEditedNumber(m_taxRate, m_shownTaxRate, &taxRate))
        return false;
    m_editExpense->setQuantity(quantity);
    m_editExpense->setCost(cost);
    m_editExpense->setTaxRate(taxRate);
    m_editExpense->setName(m_name->text());
    m_editExpense->setNotes(m_notes->text());
    m_editExpense->setDate(m_date->dateTime());
    return true;
}

void TWExpenseController::confirmSave(std::function<void()> save)
{
    // A change of what a sent or paid invoice bills is asked about first.
    if (m_isImport || m_mode != TWEditorMode::Existing || !m_business || !m_editExpense) {
        save();
        return;
    }
    TWWorkList::confirmBilledEdit(this, *m_business, {}, {m_editExpense}, m_view->window(),
                                  std::move(save));
}

TWErrorResult TWExpenseController::store()
{
    if (!m_business || !m_editExpense)
        return std::nullopt;
    return m_mode == TWEditorMode::New ? m_business->addExpense(m_editExpense, true)
                                       : m_business->updateExpense(m_editExpense, true);
}

void TWExpenseController::dateSelected(int tag, const QDateTime &date)
{
    if (tag != 0 || !m_editExpense)
        return;
    m_editExpense->setDate(date);
    QSignalBlocker block(m_date);
    m_date->setDateTime(date);
}
