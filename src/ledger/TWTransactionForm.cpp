#include "TWTransactionForm.h"

#include "TWBusiness.h"
#include "TWFormatter.h"
#include "TWLocalized.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>

// ---- Amount ----

TWTransactionAmountRow::TWTransactionAmountRow(QWidget *parent)
    : QWidget(parent), m_debit(new QLineEdit(this)), m_credit(new QLineEdit(this)),
      m_unitPopUp(new QComboBox(this))
{
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    m_debit->setAlignment(Qt::AlignRight);
    m_credit->setAlignment(Qt::AlignRight);
    m_debit->setPlaceholderText(TWLocalized("debit"));
    m_credit->setPlaceholderText(TWLocalized("credit"));
    layout->addWidget(m_debit, 1);
    layout->addWidget(m_credit, 1);
    layout->addWidget(m_unitPopUp);
    connect(m_debit, &QLineEdit::editingFinished, this, [this] {
        if (!m_filling && m_debit->isModified() && takeText(true))
            emit totalEdited(m_total);
        m_debit->setModified(false);
    });
    connect(m_credit, &QLineEdit::editingFinished, this, [this] {
        if (!m_filling && m_credit->isModified() && takeText(false))
            emit totalEdited(m_total);
        m_credit->setModified(false);
    });
    connect(m_unitPopUp, qOverload<int>(&QComboBox::activated), this, [this](int index) {
        if (!m_filling && index >= 0 && index < m_units.size())
            emit unitChosen(m_units.at(index));
    });
}

void TWTransactionAmountRow::setValues(TWBusiness *business, qint64 total, const TWUnitPtr &unit,
                                       bool swapped, bool editing)
{
    m_filling = true;
    m_total = total;
    m_unit = unit;
    m_swapped = swapped;
    m_editing = editing;
    m_units = business ? business->units() : TWUnitList();
    m_unitPopUp->clear();
    int selected = -1;
    for (const TWUnitPtr &candidate : std::as_const(m_units)) {
        if (unit && candidate && candidate->isEqual(*unit))
            selected = m_unitPopUp->count();
        m_unitPopUp->addItem(candidate ? candidate->code() : QString());
    }
    m_unitPopUp->setCurrentIndex(selected);
    m_debit->setReadOnly(!editing);
    m_credit->setReadOnly(!editing);
    m_unitPopUp->setEnabled(editing);
    showTexts();
    m_filling = false;
}

void TWTransactionAmountRow::showTexts()
{
    const TWFormatter &formatter = TWFormatter::formatter();
    m_debit->setText(formatter.debitCreditValue(m_total, m_unit.get(), m_swapped, true, m_editing));
    m_credit->setText(
        formatter.debitCreditValue(m_total, m_unit.get(), m_swapped, false, m_editing));
    m_debit->setModified(false);
    m_credit->setModified(false);
}

bool TWTransactionAmountRow::takeText(bool isDebit)
{
    QLineEdit *field = isDebit ? m_debit : m_credit;
    bool ok = false;
    const qint64 value = TWFormatter::formatter().valueFromString(field->text(), m_unit.get(), &ok);
    if (!ok || value == std::numeric_limits<qint64>::min()) {
        showTexts();
        return false;
    }
    // A debit adds to account 1 (from account 2's side it is the credit).
    const bool positive = isDebit != m_swapped;
    const qint64 magnitude = value < 0 ? -value : value;
    m_total = positive ? magnitude : -magnitude;
    showTexts();
    return true;
}

// ---- Repeat ----

TWTransactionRepeatRow::TWTransactionRepeatRow(QWidget *parent)
    : QWidget(parent), m_check(new QCheckBox(this)), m_count(new QSpinBox(this)),
      m_unitPopUp(new QComboBox(this))
{
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    m_count->setRange(1, kMaximumInterval);
    for (const char *key : {"day", "week", "month", "year"})
        m_unitPopUp->addItem(TWLocalized(key));
    layout->addWidget(m_check);
    layout->addWidget(m_count);
    layout->addWidget(m_unitPopUp);
    layout->addStretch(1);
    connect(m_check, &QCheckBox::toggled, this, &TWTransactionRepeatRow::changed);
    connect(m_count, qOverload<int>(&QSpinBox::valueChanged), this,
            &TWTransactionRepeatRow::changed);
    connect(m_unitPopUp, qOverload<int>(&QComboBox::currentIndexChanged), this,
            &TWTransactionRepeatRow::changed);
}

void TWTransactionRepeatRow::setRepeat(const TWRepeatPtr &repeat, bool enabled)
{
    m_filling = true;
    m_repeat = repeat ? repeat->copy()
                      : TWRepeat::repeatWithType(TWRepeatTypeTransaction, 1,
                                                 TWRepeatIntervalUnitMonth, QDateTime());
    m_check->setChecked(bool(repeat));
    m_count->setValue(int(std::clamp<std::uint32_t>(m_repeat->interval(), 1, kMaximumInterval)));
    m_unitPopUp->setCurrentIndex(int(std::min<std::uint32_t>(m_repeat->intervalUnit(), 3)));
    m_check->setEnabled(enabled);
    m_count->setEnabled(enabled && repeat);
    m_unitPopUp->setEnabled(enabled && repeat);
    m_filling = false;
}

TWRepeatPtr TWTransactionRepeatRow::repeat() const
{
    return m_check->isChecked() ? m_repeat : TWRepeatPtr();
}

void TWTransactionRepeatRow::changed()
{
    if (m_filling)
        return;
    m_repeat->setInterval(std::uint32_t(m_count->value()));
    m_repeat->setIntervalUnit(std::uint32_t(m_unitPopUp->currentIndex()));
    m_count->setEnabled(m_check->isChecked() && m_check->isEnabled());
    m_unitPopUp->setEnabled(m_check->isChecked() && m_check->isEnabled());
    emit repeatChanged();
}
