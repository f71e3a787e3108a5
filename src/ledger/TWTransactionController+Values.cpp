// Editing values: texts into the working copy, completion and the one-shot
// autofill, the account, list and tag pop-ups, units and percent totals.

#include "ledger/TWTransactionController.h"

#include "app/TWAlert.h"
#include "app/TWBusinessController.h"
#include "app/TWTypedNumberField.h"
#include "ledger/TWAmountArithmetic.h"
#include "ledger/TWSplitController.h"
#include "ledger/TWTotalController.h"
#include "ledger/TWValueCompleter.h"

#include "foundation/TWLocalized.h"
#include "foundation/TWStringAdditions.h"
#include "model/TWBuiltInFields.h"
#include "model/TWFormatter.h"
#include "model/TWPreferences.h"
#include "store/TWTransactionEditing.h"

#include <QComboBox>
#include <QLineEdit>

namespace
{
constexpr int kKindRole = Qt::UserRole;
constexpr int kIdentifierRole = Qt::UserRole + 1;
enum PopUpItemKind { PopUpRecord = 0, PopUpSplit = 1, PopUpNew = 2, PopUpNone = 3 };

} // namespace

void TWTransactionController::setFieldValue(const TWField &field, const QString &text,
                                            qint64 currency, double number, float percent,
                                            const QDateTime &date, bool checkboxValue,
                                            qint32 listItemIdentifier,
                                            const QList<qint32> &tagItemIdentifiers)
{
    if (!m_editTransaction || field.type() == TWFieldTypeStandard)
        return;
    const TWFieldValuePtr value = m_editTransaction->fieldValueWithField(field, true);
    if (!value)
        return;
    switch (field.type()) {
    case TWFieldTypeText:
        value->setText(text.isEmpty() ? QString() : text);
        break;
    case TWFieldTypeCurrency:
    case TWFieldTypePercentTotal:
        value->setCurrency(currency);
        break;
    case TWFieldTypeNumber:
        value->setNumber(number);
        break;
    case TWFieldTypePercent:
        value->setPercent(percent);
        break;
    case TWFieldTypeCheckbox:
        value->setCheckboxValue(checkboxValue);
        break;
    case TWFieldTypeDate:
        value->setDate(date);
        break;
    case TWFieldTypeList:
        value->setListItemIdentifier(listItemIdentifier);
        break;
    case TWFieldTypeTags:
        value->setTagItemIdentifiers(tagItemIdentifiers);
        break;
    default:
        break;
    }
}

void TWTransactionController::textFieldDidEndEditing(QLineEdit *textField, const TWFieldPtr &field)
{
    if (!m_editTransaction || !field || !textField)
        return;
    const QString text = textField->text();
    const TWFormatter &formatter = TWFormatter::formatter();
    switch (field->type()) {
    case TWFieldTypeStandard:
        if (field->identifier() == TWFieldIdentifierNotes)
            m_editTransaction->setNotes(text);
        else if (field->identifier() == TWFieldIdentifierDescription)
            m_editTransaction->setDescription(text);
        else if (field->identifier() == TWFieldIdentifierPayee)
            m_editTransaction->setPayee(text);
        break;
    case TWFieldTypeText:
        setFieldValue(*field, text, 0, 0, 0, {}, false, -1, {});
        break;
    case TWFieldTypeCurrency:
    case TWFieldTypePercentTotal:
    case TWFieldTypeNumber:
    case TWFieldTypePercent: {
        const bool money =
            field->type() == TWFieldTypeCurrency || field->type() == TWFieldTypePercentTotal;
        const std::optional<qint64> value =
            money ? formatter.typedValue(text, m_editTransaction->unit().get()) : 0;
        const std::optional<double> number = money ? 0.0 : formatter.typedNumber(text);
        if (!value || !number) {
            // Not a number as the locale writes it: the field keeps the text
            // (still to be read), marked, and Save refuses it.
            textField->setModified(true);
            m_refusedField = textField;
            twRefuseTypedNumber(textField);
            return;
        }
        // Readable text is read as before (six places for plain numbers).
        if (field->type() == TWFieldTypeNumber)
            setFieldValue(*field, {}, 0, formatter.doubleValueFromString(text), 0, {}, false, -1,
                          {});
        else if (field->type() == TWFieldTypePercent)
            setFieldValue(*field, {}, 0, 0, formatter.percentValueFromString(text), {}, false, -1,
                          {});
        else
            setFieldValue(*field, {}, *value, 0, 0, {}, false, -1, {});
        break;
    }
    default:
        break;
    }
    if (m_refusedField == textField)
        m_refusedField.clear();
    fieldEdited(field);
}

QStringList TWTransactionController::completionsForField(const TWField &field, const QString &text)
{
    if (!m_business || !twFieldCompletes(field) ||
        !TWPreferences::preferences().autoCompleteTextFields() || text.size() < 4)
        return {};
    const std::optional<TWValueList> values = m_business->values(field.identifier());
    if (!values)
        return {};
    QStringList names;
    names.reserve(values->size());
    for (const TWValuePtr &value : *values) {
        if (value)
            names.append(value->name());
    }
    return twValueCompletions(names, text);
}

void TWTransactionController::fieldEdited(const TWFieldPtr &field)
{
    if (!field || !m_business || !m_editTransaction)
        return;
    if (!m_business->autofill() || !m_autofill)
        return;
    m_autofill = false;
    if (!field->autofillTrigger())
        return;
    const TWTransactionPtr source = m_business->mostRecentTransaction(*m_editTransaction, *field);
    if (!source)
        return;
    twAutofill(*m_editTransaction, *field, *source, *m_business);
    // What autofill copied is written in the unit it brought along.
    m_fieldValuesUnit = m_editTransaction->unit();
    updateValues();
}

void TWTransactionController::doPopUpButton(QComboBox *popUp)
{
    const TWFieldPtr field = fieldOfControl(popUp);
    if (!field || !m_editTransaction || m_updatingUI)
        return;
    const int index = popUp->currentIndex();
    const int kind = index >= 0 ? popUp->itemData(index, kKindRole).toInt() : -1;
    const qint32 identifier = index >= 0 ? popUp->itemData(index, kIdentifierRole).toInt() : 0;

    if (field->identifier() == TWFieldIdentifierAccount1 ||
        field->identifier() == TWFieldIdentifierAccount2) {
        if (kind == PopUpSplit) {
            updateValue(field);
            splitTransaction();
            return;
        }
        accountChosen(field, kind == PopUpRecord ? m_business->accountWithIdentifier(identifier)
                                                 : TWAccountPtr());
        return;
    }
    if (field->type() == TWFieldTypeList) {
        if (kind == PopUpRecord) {
            setFieldValue(*field, {}, 0, 0, 0, {}, false, identifier, {});
        } else if (kind == PopUpNone) {
            // The empty entry: the transaction keeps no item for the field.
            m_editTransaction->removeFieldValueWithIdentifier(field->identifier());
        } else {
            updateValue(field);
            beginAddItemSheet(field, AddItem::ListItem);
        }
        fieldEdited(field);
        return;
    }
    if (field->type() == TWFieldTypeTags) {
        if (kind == PopUpRecord) {
            for (const TWFieldTagItemPtr &tag : field->tagItems()) {
                if (tag->identifier() == identifier) {
                    addTagItem(tag, field);
                    break;
                }
            }
        } else {
            beginAddItemSheet(field, AddItem::TagItem);
        }
        updateValue(field);
        fieldEdited(field);
    }
}

bool TWTransactionController::isMileageAccount(const TWAccountPtr &account) const
{
    return account &&
           TWStringAdditions::searchString(account->name(), TWLocalized("mileage"), true);
}

void TWTransactionController::accountChosen(const TWFieldPtr &field, const TWAccountPtr &account)
{
    if (!field || !m_editTransaction || !m_business)
        return;
    if (!account) {
        updateValue(field);
        createNewAccount(field);
        fieldEdited(field);
        return;
    }
    const TWTransactionPtr edit = m_editTransaction;
    const bool slotIsAccount1 =
        (field->identifier() == TWFieldIdentifierAccount1) != m_swappedAccounts;
    const qint32 slotAccount =
        slotIsAccount1 ? edit->account1Identifier() : edit->account2Identifier();
    const TWAccountPtr oldAccount = m_business->accountWithIdentifier(slotAccount);
    const TWUnitPtr oldUnit = oldAccount ? oldAccount->unit() : TWUnitPtr();
    const bool unitIsMileage = edit->unit() && edit->unit()->type() == TWUnitTypeMileage;
    const bool hadMileage =
        isMileageAccount(m_business->accountWithIdentifier(edit->account1Identifier())) ||
        isMileageAccount(m_business->accountWithIdentifier(edit->account2Identifier()));
    const bool chosenIsMileage = isMileageAccount(account);

    if (edit->activeAccountIdentifier() == slotAccount)
        edit->setActiveAccountIdentifier(account->identifier());
    if (slotIsAccount1)
        edit->setAccount1Identifier(account->identifier());
    else
        edit->setAccount2Identifier(account->identifier());

    if (!unitIsMileage && !hadMileage && chosenIsMileage) {
        TWUnitPtr unit = m_business->lastMileageUnit();
        if (!unit)
            unit = m_business->unitWithCode(TWFormatter::formatter().isUS() ? QStringLiteral("MIL")
                                                                            : QStringLiteral("KM"));
        if (unit && updateUnit(unit))
            twUpdateTotals(*edit, TWTotalTypeTotal, TWTotalTypeAll, *m_business);
    } else if (unitIsMileage && hadMileage && !chosenIsMileage) {
        const TWUnitPtr unit = account->unit() ? account->unit() : m_business->homeUnit();
        if (unit && updateUnit(unit))
            twUpdateTotals(*edit, TWTotalTypeTotal, TWTotalTypeAll, *m_business);
    } else {
        const TWUnitPtr newUnit = account->unit();
        const bool differ =
            bool(oldUnit) != bool(newUnit) || (oldUnit && newUnit && !oldUnit->isEqual(*newUnit));
        if (differ)
            twUpdateTotals(*edit, TWTotalTypeTotal,
                           slotIsAccount1 ? TWTotalTypeAccount1 : TWTotalTypeAccount2, *m_business);
    }

    // The two accounts never coincide: the other slot takes the first other account.
    if (edit->account1Identifier() == edit->account2Identifier()) {
        for (const TWAccountPtr &other : m_business->accounts()) {
            if (other->identifier() == account->identifier())
                continue;
            if (slotIsAccount1)
                edit->setAccount2Identifier(other->identifier());
            else
                edit->setAccount1Identifier(other->identifier());
            break;
        }
        updateValue(m_business->fieldWithIdentifier(field->identifier() == TWFieldIdentifierAccount1
                                                        ? TWFieldIdentifierAccount2
                                                        : TWFieldIdentifierAccount1));
    }
    showTotals();
    fieldEdited(field);
}

bool TWTransactionController::updateUnit(const TWUnitPtr &unit)
{
    if (!unit || !m_editTransaction || !m_business)
        return false;
    const TWTransactionPtr edit = m_editTransaction;
    const int oldPlaces = edit->unit() ? edit->unit()->decimalPlaces() : 0;
    const int newPlaces = unit->decimalPlaces();
    // Exact integer rescaling: an amount too large for the new unit's places
    // refuses the change instead of wrapping or losing digits.
    const std::optional<qint64> total =
        TWAmountArithmetic::rescaledTotal(edit->total(), oldPlaces, newPlaces);
    if (!total) {
        TWAlert alert;
        alert.message = TWLocalized("unitChangeTooLargeMessage");
        alert.informativeText = TWLocalized("unitChangeTooLargeInformative");
        alert.buttons = {TWLocalized("ok")};
        alert.window = sheetWindow();
        twRunAlert(alert);
        showTotals();
        return false;
    }
    edit->setUnit(unit);
    if (unit->type() != TWUnitTypeMileage) {
        edit->setTotalStart(0);
        edit->setTotalEnd(0);
    }
    edit->setTotal(*total);
    twUpdateTotals(*edit, TWTotalTypeTotal, TWTotalTypeAll, *m_business);
    followUnitInFieldValues();
    showTotals();
    updatePercentTotals();
    return true;
}

void TWTransactionController::followUnitInFieldValues()
{
    if (!m_editTransaction || !m_business)
        return;
    const TWUnitPtr unit = m_editTransaction->unit();
    const TWUnitPtr before = std::exchange(m_fieldValuesUnit, unit);
    if (!before || !unit || before->decimalPlaces() == unit->decimalPlaces())
        return;
    for (const TWFieldPtr &field : m_business->userFields()) {
        if (field->type() != TWFieldTypeCurrency)
            continue;
        const TWFieldValuePtr value = m_editTransaction->fieldValueWithField(*field, false);
        if (!value || !value->hasValue())
            continue;
        // A value too large for the new places stays as it was.
        if (const std::optional<qint64> rescaled = TWAmountArithmetic::rescaledTotal(
                value->currency(), before->decimalPlaces(), unit->decimalPlaces()))
            value->setCurrency(*rescaled);
        updateValue(field);
    }
}

void TWTransactionController::totalUpdated()
{
    if (!m_editTransaction || !m_business || !m_totalController)
        return;
    m_totalController->copyValuesToTransaction(*m_editTransaction);
    followUnitInFieldValues();
    fieldEdited(m_business->fieldWithIdentifier(-12));
    updatePercentTotals();
}

void TWTransactionController::createNewAccount(const TWFieldPtr &field)
{
    m_createItemField = field;
    m_createItemSplit.reset();
    if (m_document)
        m_document->newAccount(true);
}

void TWTransactionController::createNewAccount(const TWSplitPtr &split)
{
    m_createItemSplit = split;
    m_createItemField.reset();
    if (m_document)
        m_document->newAccount(true);
}

void TWTransactionController::updateWithNewAccount(const TWAccountPtr &account)
{
    if (!account || !m_editTransaction || !m_business)
        return;
    auto unitsDiffer = [&account](const TWAccountPtr &previous) {
        const TWUnitPtr before = previous ? previous->unit() : TWUnitPtr();
        const TWUnitPtr after = account->unit();
        return bool(before) != bool(after) || (before && after && !before->isEqual(*after));
    };
    if (const TWSplitPtr split = std::exchange(m_createItemSplit, {})) {
        const TWAccountPtr previous = m_business->accountWithIdentifier(split->accountIdentifier());
        split->setAccountIdentifier(account->identifier());
        if (unitsDiffer(previous))
            split->updateTotalsWithMasterTotalType(TWTotalTypeTotal, TWTotalTypeAccount,
                                                   account->unit(), m_business->homeUnit(),
                                                   TWBusiness::unitConverter());
        for (TWSplitController *row : std::as_const(m_splitControllers)) {
            if (row->split() == split)
                row->update();
        }
        splitUpdated();
    } else if (const TWFieldPtr field = std::exchange(m_createItemField, {})) {
        if (field->identifier() == TWFieldIdentifierAccount1 ||
            field->identifier() == TWFieldIdentifierAccount2) {
            const TWTransactionPtr edit = m_editTransaction;
            const bool slotIsAccount1 =
                (field->identifier() == TWFieldIdentifierAccount1) != m_swappedAccounts;
            const TWAccountPtr previous = m_business->accountWithIdentifier(
                slotIsAccount1 ? edit->account1Identifier() : edit->account2Identifier());
            if (slotIsAccount1)
                edit->setAccount1Identifier(account->identifier());
            else
                edit->setAccount2Identifier(account->identifier());
            if (unitsDiffer(previous))
                twUpdateTotals(*edit, TWTotalTypeTotal,
                               slotIsAccount1 ? TWTotalTypeAccount1 : TWTotalTypeAccount2,
                               *m_business);
        }
        updateValue(field);
        showTotals();
    }
}

void TWTransactionController::addTagItem(const TWFieldTagItemPtr &tag, const TWFieldPtr &field)
{
    if (!tag || !field || !m_editTransaction)
        return;
    const TWFieldValuePtr value = m_editTransaction->fieldValueWithField(*field, false);
    QList<qint32> tags = value ? value->tagItemIdentifiers() : QList<qint32>();
    if (!tags.removeOne(tag->identifier()))
        tags.append(tag->identifier());
    setFieldValue(*field, {}, 0, 0, 0, {}, false, -1, tags);
}

void TWTransactionController::updatePercentTotals()
{
    if (!m_editTransaction || !m_business)
        return;
    twUpdatePercentTotals(*m_editTransaction, *m_business);
    for (const TWFieldPtr &field : m_business->userFields()) {
        if (field->type() != TWFieldTypePercentTotal)
            continue;
        auto *text = qobject_cast<QLineEdit *>(m_valueViews.value(field->identifier()));
        if (!text)
            continue;
        const TWFieldValuePtr value = m_editTransaction->fieldValueWithField(*field, false);
        text->setText(value && value->hasValue()
                          ? TWFormatter::formatter().valueString(value->currency(),
                                                                 m_editTransaction->unit().get(),
                                                                 false, false, false, true, true)
                          : QString());
        text->setModified(false);
    }
}
