#include "ledger/TWTotalController.h"

#include "app/TWAlert.h"
#include "app/TWControls.h"
#include "app/TWTypedNumberField.h"
#include "foundation/TWLocalized.h"
#include "ledger/TWAmountArithmetic.h"
#include "model/TWBuiltInFields.h"
#include "model/TWFormatter.h"
#include "model/TWTransaction.h"
#include "model/TWUtilities.h"
#include "store/TWBusiness.h"
#include "store/TWUnitMenu.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QWidget>

#include <limits>

namespace
{

bool sameUnit(const TWUnitPtr &a, const TWUnitPtr &b)
{
    return a && b && a->isEqual(*b);
}

bool isMileage(const TWUnitPtr &unit)
{
    return unit && unit->type() == TWUnitTypeMileage;
}

bool isCreditTag(int tag)
{
    return tag >= TWTotalFieldDebit && tag % 2 == 1;
}

// The converted row a field tag belongs to: 0 account 1, 1 account 2, 2 home; -1 none.
int rowOfTag(int tag)
{
    return tag >= TWTotalFieldAccount1Debit && tag <= TWTotalFieldBusinessCredit
               ? (tag - TWTotalFieldAccount1Debit) / 2
               : -1;
}

QString unitTitle(const TWUnitPtr &unit)
{
    if (!unit)
        return QString();
    return QStringLiteral("%1 (%2 / %3)").arg(unit->name(), unit->description(), unit->code());
}

qint64 magnitude(qint64 value)
{
    return value == std::numeric_limits<qint64>::min() ? std::numeric_limits<qint64>::max()
                                                       : (value < 0 ? -value : value);
}

} // namespace

TWTotalController::TWTotalController(QObject *parent) : QObject(parent)
{
    buildView();
}

TWTotalController::~TWTotalController()
{
    // The view goes with its controller wherever it was embedded.
    delete m_view.data();
}

QWidget *TWTotalController::view() const
{
    return m_view;
}

void TWTotalController::buildView()
{
    m_view = new QWidget;
    m_view->setObjectName(QStringLiteral("TWTotalView"));
    m_grid = new QGridLayout(m_view);
    m_grid->setContentsMargins(0, 0, 0, 0);
    m_grid->setHorizontalSpacing(6);
    m_grid->setVerticalSpacing(2);

    auto caption = [this](const QString &text) {
        auto *label = new QLabel(text, m_view);
        QFont font = label->font();
        font.setUnderline(true);
        label->setFont(font);
        label->setAlignment(Qt::AlignHCenter | Qt::AlignBottom);
        return label;
    };
    auto smallLabel = [this](Qt::Alignment alignment) {
        auto *label = new QLabel(m_view);
        QFont font = label->font();
        font.setPointSizeF(font.pointSizeF() * 0.85);
        label->setFont(font);
        label->setAlignment(alignment);
        return label;
    };

    m_startLabel = caption(TWLocalized("odometerStart"));
    m_endLabel = caption(TWLocalized("odometerEnd"));
    m_debitLabel = caption(QString());
    m_creditLabel = caption(QString());

    for (int tag = 0; tag < int(m_fields.size()); ++tag) {
        auto *field = new QLineEdit(m_view);
        field->setObjectName(QStringLiteral("totalField%1").arg(tag));
        field->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        field->setMinimumWidth(110);
        m_fields[tag] = field;
        connect(field, &QLineEdit::textEdited, this, [this, tag] {
            m_changed = true;
            m_editingTag = tag;
        });
        connect(field, &QLineEdit::editingFinished, this, [this, tag] {
            if (m_changed && m_editingTag == tag) {
                m_changed = false;
                m_editingTag = -1;
                updateTotalTextField(tag);
            }
        });
        if (rowOfTag(tag) >= 0)
            m_exchangeLabels[tag] = smallLabel(Qt::AlignRight | Qt::AlignTop);
    }
    for (auto &label : m_rowUnitLabels)
        label = smallLabel(Qt::AlignLeft | Qt::AlignVCenter);

    m_unitPopUpButton = new TWPopUpButton(m_view);
    m_unitPopUpButton->setObjectName(QStringLiteral("unitPopUpButton"));
    m_unitPopUpButton->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    m_unitPopUpButton->setMinimumContentsLength(16);
    connect(m_unitPopUpButton, &QComboBox::activated, this,
            [this](int index) { unitMenuActivated(index); });
    m_unitLabel = new QLabel(m_view);
    m_unitLabel->setWordWrap(true);
    m_balanceButton = new QPushButton(TWLocalized("balance"), m_view);
    m_balanceButton->setObjectName(QStringLiteral("balanceButton"));
    m_balanceButton->setEnabled(false);
    connect(m_balanceButton, &QPushButton::clicked, this, [this] { emit balanceClicked(this); });

    auto *unitBox = new QWidget(m_view);
    auto *unitLayout = new QHBoxLayout(unitBox);
    unitLayout->setContentsMargins(0, 0, 0, 0);
    unitLayout->setSpacing(4);
    unitLayout->addWidget(m_balanceButton);
    unitLayout->addWidget(m_unitPopUpButton, 1);
    unitLayout->addWidget(m_unitLabel, 1);

    // Top to bottom: odometer captions and readings, the debit and credit
    // captions, the unit with the amount in it, then the converted rows
    // (account 1, account 2, home), each with its exchange labels below.
    m_grid->addWidget(m_startLabel, 0, 1);
    m_grid->addWidget(m_endLabel, 0, 2);
    m_grid->addWidget(m_fields[TWTotalFieldStart], 1, 1);
    m_grid->addWidget(m_fields[TWTotalFieldEnd], 1, 2);
    m_grid->addWidget(m_debitLabel, 2, 1);
    m_grid->addWidget(m_creditLabel, 2, 2);
    m_grid->addWidget(unitBox, 3, 0);
    m_grid->addWidget(m_fields[TWTotalFieldDebit], 3, 1);
    m_grid->addWidget(m_fields[TWTotalFieldCredit], 3, 2);
    for (int row = 0; row < 3; ++row) {
        const int gridRow = 4 + row * 2;
        const int debitTag = TWTotalFieldAccount1Debit + row * 2;
        m_grid->addWidget(m_rowUnitLabels[row], gridRow, 0);
        m_grid->addWidget(m_fields[debitTag], gridRow, 1);
        m_grid->addWidget(m_fields[debitTag + 1], gridRow, 2);
        m_grid->addWidget(m_exchangeLabels[debitTag], gridRow + 1, 1);
        m_grid->addWidget(m_exchangeLabels[debitTag + 1], gridRow + 1, 2);
    }
    m_grid->setColumnStretch(0, 1);
}

// --- Units of the fields ---

TWUnitPtr TWTotalController::account1Unit() const
{
    return m_account1 ? m_account1->unit() : TWUnitPtr();
}

TWUnitPtr TWTotalController::account2Unit() const
{
    return m_account2 ? m_account2->unit() : TWUnitPtr();
}

TWUnitPtr TWTotalController::homeUnit() const
{
    return m_business ? m_business->homeUnit() : TWUnitPtr();
}

TWUnitPtr TWTotalController::unitForTag(int tag) const
{
    switch (rowOfTag(tag)) {
    case 0:
        return account1Unit();
    case 1:
        return account2Unit();
    case 2:
        return homeUnit();
    default:
        return m_unit;
    }
}

bool TWTotalController::showsOdometerRow() const
{
    return isMileage(m_unit);
}

bool TWTotalController::showsAccount1Row() const
{
    return account1Unit() && m_unit && !sameUnit(account1Unit(), m_unit);
}

bool TWTotalController::showsAccount2Row() const
{
    return !m_split && account2Unit() && m_unit && !sameUnit(account2Unit(), m_unit) &&
           !sameUnit(account2Unit(), account1Unit());
}

bool TWTotalController::showsBusinessRow() const
{
    const TWUnitPtr home = homeUnit();
    return home && m_unit && !sameUnit(home, m_unit) && !sameUnit(home, account1Unit()) &&
           (m_split || !sameUnit(home, account2Unit()));
}

// --- Transaction hand-over ---

void TWTotalController::setValuesFromTransaction(const TWTransaction &transaction, bool swapped)
{
    m_account1 = m_business ? m_business->accountWithIdentifier(transaction.account1Identifier())
                            : TWAccountPtr();
    m_account2 = m_business ? m_business->accountWithIdentifier(transaction.account2Identifier())
                            : TWAccountPtr();
    m_totalStart = transaction.totalStart();
    m_totalEnd = transaction.totalEnd();
    m_total = transaction.total();
    m_totalAccount1 = transaction.totalAccount1();
    m_totalAccount2 = transaction.totalAccount2();
    m_totalBusiness = transaction.totalBusiness();
    m_unit = transaction.unit();
    m_swapped = swapped;
}

void TWTotalController::copyValuesToTransaction(TWTransaction &transaction) const
{
    const TWUnitPtr u1 = account1Unit();
    const TWUnitPtr u2 = account2Unit();
    const TWUnitPtr home = homeUnit();
    transaction.setTotalStart(m_totalStart);
    transaction.setTotalEnd(m_totalEnd);
    transaction.setTotal(m_total);
    transaction.setUnit(m_unit);
    transaction.setTotalAccount1(sameUnit(u1, m_unit) ? m_total : m_totalAccount1);
    if (sameUnit(u2, m_unit))
        transaction.setTotalAccount2(m_total);
    else if (sameUnit(u2, u1))
        transaction.setTotalAccount2(transaction.totalAccount1());
    else
        transaction.setTotalAccount2(m_totalAccount2);
    if (sameUnit(home, m_unit))
        transaction.setTotalBusiness(m_total);
    else if (sameUnit(home, u1))
        transaction.setTotalBusiness(transaction.totalAccount1());
    else if (sameUnit(home, u2))
        transaction.setTotalBusiness(transaction.totalAccount2());
    else
        transaction.setTotalBusiness(m_totalBusiness);
}

// --- Operations ---

void TWTotalController::reset()
{
    if (!m_view || !m_business)
        return;
    // Typing not taken belongs to what the view showed before; it must not be
    // read into the amounts handed in now.
    m_changed = false;
    m_editingTag = -1;
    m_filling = true;
    m_unitPopUpButton->clear();
    m_menuUnits.clear();
    const TWUnitMenuItems items = twUnitMenuItems(*m_business, true);
    for (const TWUnitMenuItem &item : items) {
        if (item.separator) {
            m_unitPopUpButton->insertSeparator(m_unitPopUpButton->count());
            m_menuUnits.append(nullptr);
        } else {
            m_unitPopUpButton->addItem(item.title);
            m_menuUnits.append(item.unit);
        }
    }
    m_filling = false;
    updateEditState();
    update();
    updateFrame(false);
}

void TWTotalController::update()
{
    m_totalStart = magnitude(m_totalStart);
    m_totalEnd = magnitude(m_totalEnd);
    updateUI();
    updateValues();
}

void TWTotalController::updateEditState()
{
    for (QLineEdit *field : m_fields) {
        field->setEnabled(m_editing);
        field->setReadOnly(!m_editing);
    }
    m_unitPopUpButton->setEnabled(m_editing);
}

void TWTotalController::updateCaptions()
{
    const TWFormatter &formatter = TWFormatter::formatter();
    const TWAccountPtr &account = m_swapped ? m_account2 : m_account1;
    auto fieldName = [this](qint32 identifier) {
        const TWFieldPtr field =
            m_business ? m_business->fieldWithIdentifier(identifier) : TWFieldPtr();
        return field ? field->name() : QString();
    };
    QString debit = fieldName(TWFieldIdentifierDebit);
    QString credit = fieldName(TWFieldIdentifierCredit);
    if (account) {
        debit =
            QStringLiteral("%1 (%2)").arg(debit, formatter.debitNameString(account->accountType()));
        credit = QStringLiteral("%1 (%2)").arg(credit,
                                               formatter.creditNameString(account->accountType()));
    }
    m_debitLabel->setText(debit);
    m_creditLabel->setText(credit);
}

void TWTotalController::writeField(int tag)
{
    const TWFormatter &formatter = TWFormatter::formatter();
    QLineEdit *field = m_fields[tag];
    QString text;
    if (tag == TWTotalFieldStart || tag == TWTotalFieldEnd) {
        const qint64 value = tag == TWTotalFieldStart ? m_totalStart : m_totalEnd;
        if (m_unit)
            text = formatter.valueString(value, m_unit.get(), false, !m_editing, true, false, true);
    } else {
        qint64 value = m_total;
        switch (rowOfTag(tag)) {
        case 0:
            value = m_totalAccount1;
            break;
        case 1:
            value = m_totalAccount2;
            break;
        case 2:
            value = m_totalBusiness;
            break;
        default:
            break;
        }
        const TWUnitPtr unit = unitForTag(tag);
        if (unit)
            text = formatter.debitCreditValue(value, unit.get(), m_swapped, !isCreditTag(tag),
                                              m_editing);
    }
    field->setText(text);
}

void TWTotalController::writeExchangeLabel(int tag)
{
    const int row = rowOfTag(tag);
    if (row < 0)
        return;
    const qint64 amounts[3] = {m_totalAccount1, m_totalAccount2, m_totalBusiness};
    const qint64 amount = amounts[row];
    const TWUnitPtr unit = unitForTag(tag);
    const bool onDebit = (!m_swapped && amount >= 1) || (m_swapped && amount < 0);
    const bool onCredit = (!m_swapped && amount < 0) || (m_swapped && amount >= 1);
    QString conversion;
    if (unit && m_unit)
        conversion =
            TWFormatter::formatter().conversionString(amount, unit.get(), m_total, m_unit.get());
    const int debitTag = TWTotalFieldAccount1Debit + row * 2;
    m_exchangeLabels[debitTag]->setText(onDebit ? conversion : QString());
    m_exchangeLabels[debitTag + 1]->setText(onCredit ? conversion : QString());
}

void TWTotalController::writeAllFieldsExcept(int tag)
{
    for (int other = 0; other < int(m_fields.size()); ++other) {
        if (other == tag)
            continue;
        if (other == TWTotalFieldStart || other == TWTotalFieldEnd) {
            if (!showsOdometerRow())
                continue;
        } else if ((rowOfTag(other) == 0 && !showsAccount1Row()) ||
                   (rowOfTag(other) == 1 && !showsAccount2Row()) ||
                   (rowOfTag(other) == 2 && !showsBusinessRow())) {
            continue;
        }
        writeField(other);
        writeExchangeLabel(other);
    }
}

void TWTotalController::updateValues()
{
    if (!m_view)
        return;
    m_filling = true;
    updateCaptions();
    writeAllFieldsExcept(-1);
    if (m_editing) {
        int index = -1;
        for (int i = 0; i < m_menuUnits.size(); ++i) {
            if (sameUnit(m_menuUnits.at(i), m_unit)) {
                index = i;
                break;
            }
        }
        m_unitPopUpButton->setCurrentIndex(index);
    } else {
        m_unitLabel->setText(unitTitle(m_unit));
    }
    m_rowUnitLabels[0]->setText(unitTitle(account1Unit()));
    m_rowUnitLabels[1]->setText(unitTitle(account2Unit()));
    m_rowUnitLabels[2]->setText(unitTitle(homeUnit()));
    m_filling = false;
}

void TWTotalController::updateUI()
{
    if (!m_view)
        return;
    const bool odometer = showsOdometerRow();
    for (QWidget *widget :
         {static_cast<QWidget *>(m_startLabel), static_cast<QWidget *>(m_endLabel),
          static_cast<QWidget *>(m_fields[TWTotalFieldStart]),
          static_cast<QWidget *>(m_fields[TWTotalFieldEnd])})
        widget->setHidden(!odometer);
    const bool rows[3] = {showsAccount1Row(), showsAccount2Row(), showsBusinessRow()};
    for (int row = 0; row < 3; ++row) {
        const int debitTag = TWTotalFieldAccount1Debit + row * 2;
        m_rowUnitLabels[row]->setHidden(!rows[row]);
        for (int tag : {debitTag, debitTag + 1}) {
            m_fields[tag]->setHidden(!rows[row]);
            m_exchangeLabels[tag]->setHidden(!rows[row]);
        }
    }
    m_unitPopUpButton->setHidden(!m_editing);
    m_unitLabel->setHidden(m_editing);
    m_balanceButton->setHidden(!(m_editing && m_split));

    m_grid->invalidate();
    const double wantedHeight = m_grid->sizeHint().height();
    const QSizeF wanted(m_view->width(), wantedHeight);
    if (wanted != m_frameSize) {
        const bool heightChanged = wantedHeight != m_frameSize.height();
        m_frameSize = wanted;
        if (heightChanged)
            emit sizeChanged(wantedHeight - m_view->height(), this);
    }
}

void TWTotalController::updateFrame(bool)
{
    if (!m_view)
        return;
    m_view->setMinimumHeight(int(m_frameSize.height()));
    m_view->updateGeometry();
    if (!m_view->parentWidget() || !m_view->parentWidget()->layout())
        m_view->resize(m_view->width(), int(m_frameSize.height()));
}

void TWTotalController::updateTotalsWithMasterTotalType(int masterTotalType, int totalType)
{
    if (!m_business || masterTotalType < TWTotalTypeTotal || masterTotalType > TWTotalTypeBusiness)
        return;
    const TWUnitPtr u1 = account1Unit();
    const TWUnitPtr u2 = account2Unit();
    const TWUnitPtr home = homeUnit();
    qint64 masterValue = m_total;
    TWUnitPtr masterUnit = m_unit;
    switch (masterTotalType) {
    case TWTotalTypeAccount1:
        masterValue = m_totalAccount1;
        masterUnit = u1;
        break;
    case TWTotalTypeAccount2:
        masterValue = m_totalAccount2;
        masterUnit = u2;
        break;
    case TWTotalTypeBusiness:
        masterValue = m_totalBusiness;
        masterUnit = home;
        break;
    default:
        break;
    }
    auto wanted = [&](int kind) {
        return kind != masterTotalType && (totalType == TWTotalTypeAll || totalType == kind);
    };
    if (wanted(TWTotalTypeTotal))
        m_total = m_business->totalInUnit(masterValue, masterUnit, m_unit);
    if (wanted(TWTotalTypeAccount1))
        m_totalAccount1 = m_business->totalInUnit(masterValue, masterUnit, u1);
    if (!m_split && wanted(TWTotalTypeAccount2))
        m_totalAccount2 = m_business->totalInUnit(masterValue, masterUnit, u2);
    if (wanted(TWTotalTypeBusiness))
        m_totalBusiness = m_business->totalInHomeCurrency(masterValue, masterUnit);
}

void TWTotalController::updateBalanceButton(bool enabled, const QString &toolTip)
{
    m_balanceButton->setEnabled(enabled);
    m_balanceButton->setToolTip(toolTip);
}

bool TWTotalController::commitEditing()
{
    if (m_editingTag >= 0 && m_changed) {
        const int tag = m_editingTag;
        m_changed = false;
        m_editingTag = -1;
        return updateTotalTextField(tag);
    }
    return true;
}

QLineEdit *TWTotalController::editingField() const
{
    return m_changed && m_editingTag >= 0 ? m_fields[m_editingTag] : nullptr;
}

bool TWTotalController::updateTotalTextField(int tag)
{
    if (tag < 0 || tag >= int(m_fields.size()))
        return true;
    QLineEdit *field = m_fields[tag];
    const QString text = field->text().trimmed();
    qint64 value = 0;
    if (!text.isEmpty()) {
        const TWUnitPtr unit = unitForTag(tag);
        if (!unit) {
            writeField(tag);
            return true;
        }
        const std::optional<qint64> typed = TWFormatter::formatter().typedValue(text, unit.get());
        // Text the locale does not write as a number ("1234,56" under en_US)
        // must not become another amount, nor leave the previous one to be
        // saved in its place: the field keeps the text and the focus, and the
        // text is still pending for Save to refuse.
        if (!typed || *typed == std::numeric_limits<qint64>::min()) {
            m_changed = true;
            m_editingTag = tag;
            twRefuseTypedNumber(field);
            return false;
        }
        value = *typed;
    }
    if (isCreditTag(tag))
        value = -value;
    if (tag >= TWTotalFieldDebit && m_swapped)
        value = -value;

    const qint64 previousTotal = m_total;
    bool rewriteOthers = false;
    auto odometerTotal = [this](qint64 &newTotal) {
        const std::optional<qint64> distance =
            TWAmountArithmetic::distance(m_totalStart, m_totalEnd, m_total);
        newTotal = distance.value_or(0);
    };

    switch (tag) {
    case TWTotalFieldStart:
    case TWTotalFieldEnd: {
        const bool start = tag == TWTotalFieldStart;
        (start ? m_totalStart : m_totalEnd) = magnitude(value);
        const qint64 other = start ? m_totalEnd : m_totalStart;
        if (other == 0) {
            if (m_total != 0) {
                const qint64 distance = magnitude(m_total);
                if (start) {
                    qint64 end = 0;
                    m_totalEnd = __builtin_add_overflow(m_totalStart, distance, &end) ? 0 : end;
                    writeField(TWTotalFieldEnd);
                } else {
                    m_totalStart = distance <= m_totalEnd ? m_totalEnd - distance : 0;
                    writeField(TWTotalFieldStart);
                }
            }
            emit totalUpdated(this);
            return true;
        }
        qint64 newTotal = 0;
        odometerTotal(newTotal);
        m_total = newTotal;
        if (m_total != previousTotal) {
            updateTotalsWithMasterTotalType(TWTotalTypeTotal, TWTotalTypeAll);
            rewriteOthers = true;
        }
        writeField(TWTotalFieldDebit);
        writeField(TWTotalFieldCredit);
        break;
    }
    case TWTotalFieldDebit:
    case TWTotalFieldCredit:
        m_total = value;
        if (m_total != previousTotal) {
            updateTotalsWithMasterTotalType(TWTotalTypeTotal, TWTotalTypeAll);
            rewriteOthers = true;
        }
        if (isMileage(m_unit)) {
            // The odometer follows the distance, whichever side it is on.
            const qint64 distance = magnitude(m_total);
            if (m_totalStart == 0 && m_totalEnd != 0) {
                m_totalStart = distance <= m_totalEnd ? m_totalEnd - distance : 0;
                writeField(TWTotalFieldStart);
            } else if (m_totalStart != 0) {
                qint64 end = 0;
                m_totalEnd = __builtin_add_overflow(m_totalStart, distance, &end) ? 0 : end;
                writeField(TWTotalFieldEnd);
            }
        }
        break;
    case TWTotalFieldAccount1Debit:
    case TWTotalFieldAccount1Credit:
    case TWTotalFieldAccount2Debit:
    case TWTotalFieldAccount2Credit:
    case TWTotalFieldBusinessDebit:
    case TWTotalFieldBusinessCredit: {
        const int row = rowOfTag(tag);
        qint64 &amount =
            row == 0 ? m_totalAccount1 : (row == 1 ? m_totalAccount2 : m_totalBusiness);
        const int master =
            row == 0 ? TWTotalTypeAccount1 : (row == 1 ? TWTotalTypeAccount2 : TWTotalTypeBusiness);
        const qint64 old = amount;
        amount = value;
        // A converted amount typed over is an override of the rate, unless
        // there was no amount yet or the amount changed sides.
        if (m_total == 0 || (old < 0) != (value < 0)) {
            updateTotalsWithMasterTotalType(master, TWTotalTypeAll);
            rewriteOthers = true;
        }
        writeExchangeLabel(tag);
        break;
    }
    default:
        emit totalUpdated(this);
        return true;
    }
    if (rewriteOthers) {
        m_filling = true;
        writeAllFieldsExcept(tag);
        m_filling = false;
    }
    emit totalUpdated(this);
    return true;
}

void TWTotalController::unitMenuActivated(int index)
{
    if (m_filling || index < 0 || index >= m_menuUnits.size() || !m_menuUnits.at(index))
        return;
    chooseUnit(m_menuUnits.at(index));
}

bool TWTotalController::chooseUnit(const TWUnitPtr &unit)
{
    if (!unit || !m_business)
        return false;
    if (!commitEditing()) {
        // A refused amount is mended first; the menu shows the unit kept, and
        // the field the text as typed.
        QLineEdit *field = editingField();
        const QString typed = field ? field->text() : QString();
        updateValues();
        if (field)
            field->setText(typed);
        return false;
    }
    qint64 total = m_total;
    if (m_unit && m_unit->decimalPlaces() != unit->decimalPlaces()) {
        const std::optional<qint64> rescaled = TWAmountArithmetic::rescaledTotal(
            m_total, m_unit->decimalPlaces(), unit->decimalPlaces());
        if (!rescaled) {
            // The amount cannot be written with that many decimals: keep the unit.
            updateValues();
            TWAlert alert;
            alert.message = TWLocalized("unitChangeTooLargeMessage");
            alert.informativeText = TWLocalized("unitChangeTooLargeInformative");
            alert.buttons = {TWLocalized("ok")};
            alert.window = m_view ? m_view->window() : nullptr;
            twRunAlert(alert);
            return false;
        }
        total = *rescaled;
    }
    m_unit = unit;
    if (!isMileage(unit)) {
        m_totalStart = 0;
        m_totalEnd = 0;
    }
    m_total = total;
    const TWUnitPtr u1 = account1Unit();
    const TWUnitPtr u2 = account2Unit();
    const TWUnitPtr home = homeUnit();
    m_totalAccount1 = sameUnit(u1, unit) ? 0 : m_business->totalInUnit(total, unit, u1);
    if (!m_split)
        m_totalAccount2 =
            sameUnit(u2, unit) || sameUnit(u2, u1) ? 0 : m_business->totalInUnit(total, unit, u2);
    m_totalBusiness = sameUnit(home, unit) || sameUnit(home, u1) || (!m_split && sameUnit(home, u2))
                          ? 0
                          : m_business->totalInUnit(total, unit, home);
    update();
    emit totalUpdated(this);
    return true;
}

QLineEdit *TWTotalController::field(int tag) const
{
    return tag >= 0 && tag < int(m_fields.size()) ? m_fields[tag] : nullptr;
}

QLabel *TWTotalController::exchangeLabel(int tag) const
{
    return rowOfTag(tag) >= 0 ? m_exchangeLabels[tag] : nullptr;
}

QLabel *TWTotalController::rowUnitLabel(int row) const
{
    return row >= 0 && row < 3 ? m_rowUnitLabels[row] : nullptr;
}
