// The transaction model's operations that need the business (its accounts,
// units, fields, settings and stored attachments), and the changes a field
// write makes to the transactions in memory.

#include "store/TWBusiness.h"
#include "store/TWTransactionEditing.h"
#include "store/TWTransactionSearch.h"

#include "model/TWFormatter.h"
#include "model/TWPreferences.h"

#include <algorithm>
#include <utility>
#include <vector>

// ---- What the model borrows from the business ----

TWNewTransactionDefaults TWBusiness::newTransactionDefaults()
{
    const LastTransactionSettings last = lastTransactionSettings();
    TWNewTransactionDefaults defaults;
    defaults.identifier = nextTransactionIdentifier();
    defaults.useLastDateUnit = TWPreferences::preferences().defaultLastDateUnit();
    defaults.lastDate = last.lastDate;
    defaults.lastUnit = last.lastUnit;
    defaults.homeUnit = m_homeUnit;
    defaults.userFields = userFields();
    return defaults;
}

TWAccountDefaults TWBusiness::accountDefaults() const
{
    const LastTransactionSettings last = lastTransactionSettings();
    TWAccountDefaults defaults;
    defaults.accounts = m_accounts;
    defaults.lastAccount1Identifier = last.lastAccount1Identifier;
    defaults.lastAccount2Identifier = last.lastAccount2Identifier;
    defaults.mileageUnit = last.lastMileageUnit;
    if (!defaults.mileageUnit) {
        defaults.mileageUnit = unitWithCode(TWFormatter::formatter().isUS() ? QStringLiteral("MIL")
                                                                            : QStringLiteral("KM"));
    }
    return defaults;
}

TWTransactionSearchContext TWBusiness::transactionSearchContext() const
{
    TWTransactionSearchContext context;
    context.contains = transactionSearchFieldType() == 0;
    context.account = [this](qint32 identifier) { return accountWithIdentifier(identifier); };
    context.field = [this](qint32 identifier) { return fieldWithIdentifier(identifier); };
    context.homeUnit = m_homeUnit;
    // No unit shown, no grouping separators, signed, decimals shown.
    context.moneyText = [](qint64 total, const TWUnitPtr &unit) {
        return TWFormatter::formatter().valueString(total, unit.get(), false, false, false, false,
                                                    true);
    };
    return context;
}

// ---- Transactions ----

TWTransactionPtr twNewTransaction(TWBusiness &business)
{
    return TWTransaction::transactionWithDefaults(business.newTransactionDefaults());
}

const std::optional<TWAttachmentList> &twLoadedAttachments(TWTransaction &transaction,
                                                           TWBusiness &business)
{
    if (transaction.needsAttachmentLoad())
        business.loadTransactionAttachments(transaction);
    return transaction.attachments();
}

void twCopyRepeatFields(TWTransaction &transaction, const TWTransaction &source,
                        TWBusiness &business)
{
    transaction.copyRepeatFields(source, business.userFields());
}

void twAutofill(TWTransaction &transaction, const TWField &field, const TWTransaction &source,
                TWBusiness &business)
{
    transaction.autofill(
        field.identifier(), source, business.fields(),
        [&business](qint32 identifier) { return business.accountWithIdentifier(identifier); },
        business.homeUnit(), TWBusiness::unitConverter());
}

void twUpdateAccounts(TWTransaction &transaction, TWBusiness &business,
                      const std::optional<TWAccountList> &accounts, bool ignoreSplits)
{
    transaction.updateAccounts(business.accountDefaults(), accounts, ignoreSplits);
}

void twUpdateTotals(TWTransaction &transaction, int masterTotalType, int totalType,
                    TWBusiness &business)
{
    const auto unitOf = [&business](qint32 identifier) -> TWUnitPtr {
        const TWAccountPtr account = business.accountWithIdentifier(identifier);
        return account ? account->unit() : TWUnitPtr();
    };
    transaction.updateTotalsWithMasterTotalType(
        masterTotalType, totalType, unitOf(transaction.account1Identifier()),
        unitOf(transaction.account2Identifier()), business.homeUnit(), TWBusiness::unitConverter());
}

void twUpdateSplitTotals(TWTransaction &transaction, TWBusiness &business)
{
    transaction.updateSplitTotals(
        [&business](qint32 identifier) { return business.accountWithIdentifier(identifier); },
        business.homeUnit(), TWBusiness::unitConverter());
}

void twUpdatePercentTotals(TWTransaction &transaction, TWBusiness &business)
{
    transaction.updatePercentTotals(business.fields());
}

QString twUniqueAttachmentName(TWTransaction &transaction, const QString &name,
                               const QString &extension, TWBusiness &business)
{
    // The stored attachments count too, so they are read first.
    twLoadedAttachments(transaction, business);
    return transaction.uniqueAttachmentName(name, extension);
}

bool twSearch(const TWTransaction &transaction, const QString &search, TWBusiness &business)
{
    return transaction.searchString(search, business.transactionSearchContext());
}

bool twSearchSplits(const TWTransaction &transaction, const QString &search, TWBusiness &business)
{
    return transaction.searchStringSplits(search, business.transactionSearchContext());
}

// ---- Lines ----

void twUpdateTotals(TWSplit &split, int masterTotalType, int totalType, TWBusiness &business)
{
    const TWAccountPtr account = business.accountWithIdentifier(split.accountIdentifier());
    split.updateTotalsWithMasterTotalType(masterTotalType, totalType,
                                          account ? account->unit() : TWUnitPtr(),
                                          business.homeUnit(), TWBusiness::unitConverter());
}

bool twSearch(const TWSplit &split, const QString &search, TWBusiness &business)
{
    const TWTransactionSearchContext context = business.transactionSearchContext();
    const TWAccountPtr account = business.accountWithIdentifier(split.accountIdentifier());
    return split.searchString(search, context.contains, account ? account->name() : QString(),
                              account ? account->unit() : TWUnitPtr(), context.homeUnit,
                              context.moneyText);
}

// ---- Field writes reaching the transactions in memory ----
// Each runs inside the field write that calls it; its own scope joins that
// write, so the values come back if the write rolls back.

void TWBusiness::fieldHookTransactionsRemoveFieldValues(const TWFieldPtr &field)
{
    if (!field)
        return;
    const qint32 identifier = field->identifier();
    WriteScope scope(*this);
    std::vector<std::pair<TWTransactionPtr, TWFieldValueList>> changed;
    for (const TWTransactionPtr &transaction : std::as_const(m_transactions)) {
        const TWFieldValueList &values = transaction->fieldValues();
        const auto first = std::find_if(values.cbegin(), values.cend(), [&](const auto &value) {
            return value && value->identifier() == identifier;
        });
        if (first == values.cend())
            continue;
        TWFieldValueList kept = values;
        kept.removeAt(first - values.cbegin());
        changed.emplace_back(transaction, values);
        transaction->setFieldValues(kept);
    }
    if (!changed.empty()) {
        scope.onRollback([changed = std::move(changed)] {
            for (const auto &[transaction, values] : changed)
                transaction->setFieldValues(values);
        });
    }
    scope.commit();
}

void TWBusiness::fieldHookTransactionsClearListItem(const TWFieldPtr &field,
                                                    qint32 listItemIdentifier)
{
    if (!field)
        return;
    WriteScope scope(*this);
    TWFieldValueList changed;
    for (const TWTransactionPtr &transaction : std::as_const(m_transactions)) {
        const TWFieldValuePtr value = transaction->fieldValueWithIdentifier(field->identifier());
        if (value && value->type() == TWFieldTypeList &&
            value->listItemIdentifier() == listItemIdentifier && value->hasValue()) {
            value->setListItemIdentifier(-1);
            changed.append(value);
        }
    }
    if (!changed.isEmpty()) {
        scope.onRollback([changed, listItemIdentifier] {
            for (const TWFieldValuePtr &value : changed)
                value->setListItemIdentifier(listItemIdentifier);
        });
    }
    scope.commit();
}

void TWBusiness::fieldHookTransactionsRemoveTagItem(const TWFieldPtr &field,
                                                    qint32 tagItemIdentifier)
{
    if (!field)
        return;
    WriteScope scope(*this);
    std::vector<std::pair<TWFieldValuePtr, QList<qint32>>> changed;
    for (const TWTransactionPtr &transaction : std::as_const(m_transactions)) {
        const TWFieldValuePtr value = transaction->fieldValueWithIdentifier(field->identifier());
        if (!value || value->type() != TWFieldTypeTags)
            continue;
        const QList<qint32> tags = value->tagItemIdentifiers();
        if (!tags.contains(tagItemIdentifier))
            continue;
        QList<qint32> kept = tags;
        kept.removeAll(tagItemIdentifier);
        value->setTagItemIdentifiers(kept);
        changed.emplace_back(value, tags);
    }
    if (!changed.empty()) {
        scope.onRollback([changed = std::move(changed)] {
            for (const auto &[value, tags] : changed)
                value->setTagItemIdentifiers(tags);
        });
    }
    scope.commit();
}
