// The search field's test of one transaction: texts by words, identifiers and
// amounts by the beginning of their plain text, custom values by their type.

#include "model/TWTransaction.h"

#include "foundation/TWStringAdditions.h"

#include <cmath>

namespace
{

bool hasPrefix(const QString &text, const QString &search)
{
    return text.startsWith(search, Qt::CaseSensitive);
}

} // namespace

bool TWTransaction::searchString(const QString &search,
                                 const TWTransactionSearchContext &context) const
{
    detachParts();
    const bool contains = context.contains;
    const auto words = [&](const QString &text) {
        return TWStringAdditions::searchString(text, search, contains);
    };
    const auto accountOf = [&context](qint32 identifier) -> TWAccountPtr {
        return context.account && identifier != 0 ? context.account(identifier) : TWAccountPtr();
    };

    if (hasPrefix(QString::number(m_identifier), search))
        return true;

    const TWAccountPtr account1 = accountOf(m_account1Identifier);
    const TWAccountPtr account2 = accountOf(m_account2Identifier);
    if (words(m_payee) || words(m_description) || words(notes()) ||
        (account1 && words(account1->name())) || (account2 && words(account2->name())))
        return true;

    // An amount in a unit the business does not know has no money text.
    const auto money = [&](qint64 amount, const TWUnitPtr &unit) {
        return context.moneyText && unit && hasPrefix(context.moneyText(amount, unit), search);
    };
    const TWUnitPtr account1Unit = account1 ? account1->unit() : TWUnitPtr();
    const TWUnitPtr account2Unit = account2 ? account2->unit() : TWUnitPtr();
    if (money(m_total, m_unit) || money(m_totalAccount1, account1Unit) ||
        money(m_totalAccount2, account2Unit) || money(m_totalBusiness, context.homeUnit))
        return true;
    if ((totalStart() != 0 && money(totalStart(), m_unit)) ||
        (totalEnd() != 0 && money(totalEnd(), m_unit)))
        return true;
    if (m_activeAccountIdentifier != 0) {
        if (m_activeAccountIdentifier == m_account1Identifier && money(m_balance, account1Unit))
            return true;
        if (m_activeAccountIdentifier == m_account2Identifier && money(m_balance, account2Unit))
            return true;
    }

    if (searchStringSplits(search, context))
        return true;

    return anyFieldValue([&](const TWFieldValue &value) {
        if (!value.hasValue())
            return false;
        switch (value.type()) {
        case TWFieldTypeText:
            if (words(value.text()))
                return true;
            break;
        case TWFieldTypeCurrency:
        case TWFieldTypePercentTotal:
            if (money(value.currency(), m_unit))
                return true;
            break;
        case TWFieldTypeNumber: {
            const double number = std::trunc(value.number());
            // Beyond 2^63 the integer text is not defined; such a number is
            // searched by its own text.
            const QString text = std::fabs(number) < 9.2e18 ? QString::number(qint64(number))
                                                            : QString::number(number, 'f', 0);
            if (hasPrefix(text, search))
                return true;
            break;
        }
        case TWFieldTypePercent:
            if (hasPrefix(QString::number(double(value.percent())) + QLatin1Char('%'), search))
                return true;
            break;
        case TWFieldTypeList:
        case TWFieldTypeTags: {
            const TWFieldPtr field = context.field ? context.field(value.identifier()) : nullptr;
            if (!field)
                break;
            if (value.type() == TWFieldTypeList) {
                const std::optional<QString> name =
                    field->listNameWithIdentifier(value.listItemIdentifier());
                if (name && words(*name))
                    return true;
                break;
            }
            const QList<qint32> chosen = value.tagItemIdentifiers();
            for (const TWFieldTagItemPtr &tag : field->tagItems()) {
                if (tag && chosen.contains(tag->identifier()) && words(tag->name()))
                    return true;
            }
            break;
        }
        default:
            break;
        }
        return false;
    });
}

bool TWTransaction::searchStringSplits(const QString &search,
                                       const TWTransactionSearchContext &context) const
{
    detachParts();
    for (const TWSplitPtr &split : splitList()) {
        if (!split)
            continue;
        const TWAccountPtr account = context.account && split->accountIdentifier() != 0
                                         ? context.account(split->accountIdentifier())
                                         : TWAccountPtr();
        if (split->searchString(search, context.contains, account ? account->name() : QString(),
                                account ? account->unit() : TWUnitPtr(), context.homeUnit,
                                context.moneyText))
            return true;
    }
    return false;
}
