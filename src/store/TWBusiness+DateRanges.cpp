// Named date ranges (the calendar ones and the accounting periods), the
// lookup of the latest transaction sharing a field's value with another (what
// autofill copies from), and the columns task and expense imports and exports
// offer.

#include "store/TWBusiness.h"

#include "model/TWBuiltInFields.h"
#include "model/TWTransaction.h"
#include "model/TWWorkFields.h"
#include "store/TWSchema.h"

#include <initializer_list>
#include <utility>

// ---- Date ranges ----

void TWBusiness::dateRange(qint32 range, QDateTime *fromDate, QDateTime *toDate) const
{
    QDateTime from;
    QDateTime to;
    switch (range) {
    case TWDateRangeCurrentAccountingPeriod: {
        // An open bound of the current period reaches as far as the records.
        const TWAccountingPeriodPtr period = currentAccountingPeriod();
        if (fromDate)
            from = period->startDate().isValid() ? period->startDate() : oldestTransactionDate();
        if (toDate)
            to = period->endDate().isValid() ? period->endDate() : newestTransactionDate();
        break;
    }
    case TWDateRangeLastAccountingPeriod:
        if (const TWAccountingPeriodPtr period = lastAccountingPeriod()) {
            from = period->startDate();
            to = period->endDate();
        }
        break;
    default:
        // Anything but the calendar ranges is no range.
        TWDateRanges::calendarDateRange(range, &from, &to);
        break;
    }
    if (fromDate)
        *fromDate = from;
    if (toDate)
        *toDate = to;
}

// ---- The latest transaction with the same value ----

namespace
{

// The column of the transactions table that holds the field's value and that
// value as text, or none when the field's value cannot be looked up: a field
// of another kind, or a value that is empty or missing (nothing to match).
std::optional<std::pair<QString, QString>> columnAndValue(const TWTransaction &transaction,
                                                          const TWField &field)
{
    using Lookup = std::optional<std::pair<QString, QString>>;
    const auto text = [](const char *column, const QString &value) -> Lookup {
        if (value.isEmpty())
            return std::nullopt;
        return std::pair{QString::fromLatin1(column), value};
    };
    const auto number = [](const QString &column, const QString &value) -> Lookup {
        return std::pair{column, value};
    };

    if (field.type() == TWFieldTypeStandard) {
        switch (field.identifier()) {
        case TWFieldIdentifierPayee:
            return text("payee", transaction.payee());
        case TWFieldIdentifierDescription:
            return text("description", transaction.description());
        case TWFieldIdentifierNotes:
            return text("notes", transaction.notes());
        case TWFieldIdentifierAccount1:
            return number(QStringLiteral("account1Identifier"),
                          QString::number(transaction.account1Identifier()));
        case TWFieldIdentifierAccount2:
            return number(QStringLiteral("account2Identifier"),
                          QString::number(transaction.account2Identifier()));
        case TWFieldIdentifierTotal:
            return number(QStringLiteral("total"), QString::number(transaction.total()));
        default:
            return std::nullopt;
        }
    }

    const TWFieldValuePtr value = transaction.fieldValueWithIdentifier(field.identifier());
    if (!value || !value->hasValue())
        return std::nullopt;
    const QString column = TWSchema::userColumnName(field.identifier());
    switch (field.type()) {
    case TWFieldTypeText:
        if (value->text().isEmpty())
            return std::nullopt;
        return std::pair{column, value->text()};
    case TWFieldTypeCurrency:
    case TWFieldTypePercentTotal:
        return number(column, QString::number(value->currency()));
    case TWFieldTypeNumber:
        return number(column, QString::asprintf("%f", value->number()));
    case TWFieldTypePercent:
        return number(column, QString::asprintf("%f", double(value->percent())));
    case TWFieldTypeList:
        // No choice is nothing to match, as an empty text is.
        if (value->listItemIdentifier() < 0)
            return std::nullopt;
        return number(column, QString::number(value->listItemIdentifier()));
    default:
        // Checkboxes, dates and tags are not looked up.
        return std::nullopt;
    }
}

} // namespace

std::optional<qint32> TWBusiness::mostRecentTransactionIdentifier(const TWTransaction &transaction,
                                                                  const TWField &field)
{
    const auto lookup = columnAndValue(transaction, field);
    if (!lookup)
        return std::nullopt;
    // The column name is one of the fixed names above or "user_<number>";
    // the value is bound as text, which SQLite compares as a number in the
    // numeric columns.
    TWStatement select =
        temporaryStatement(QStringLiteral("SELECT identifier FROM transactions WHERE %1 = ? "
                                          "ORDER BY identifier DESC LIMIT 1;")
                               .arg(lookup->first));
    select.bindText(lookup->second);
    if (!select.next())
        return std::nullopt;
    return select.columnInt32(0);
}

TWTransactionPtr TWBusiness::mostRecentTransaction(const TWTransaction &transaction,
                                                   const TWField &field,
                                                   const TWTransactionList &transactions)
{
    const std::optional<qint32> identifier = mostRecentTransactionIdentifier(transaction, field);
    if (!identifier)
        return nullptr;
    for (const TWTransactionPtr &listed : transactions) {
        if (listed && listed->identifier() == *identifier)
            return listed;
    }
    return nullptr;
}

TWTransactionPtr TWBusiness::mostRecentTransaction(const TWTransaction &transaction,
                                                   const TWField &field)
{
    const std::optional<qint32> identifier = mostRecentTransactionIdentifier(transaction, field);
    return identifier ? transactionWithIdentifier(*identifier) : nullptr;
}

// ---- Task and expense columns ----

namespace
{

// The codes as export settings and column mappings store them.
template <typename Field> QList<qint32> fieldCodes(std::initializer_list<Field> fields)
{
    QList<qint32> codes;
    codes.reserve(qsizetype(fields.size()));
    for (const Field field : fields)
        codes.append(qint32(field));
    return codes;
}

} // namespace

QList<qint32> TWBusiness::importTaskFields()
{
    using F = TWTaskField;
    return fieldCodes({F::Client, F::Completed, F::Date, F::EndDate, F::Estimate, F::Name, F::Notes,
                       F::Project, F::Quantity, F::Rate, F::StartDate, F::TaxRate, F::Type});
}

QList<qint32> TWBusiness::exportTaskFields()
{
    using F = TWTaskField;
    return fieldCodes({F::Date, F::Client, F::Project, F::Type, F::Completed, F::Name, F::Estimate,
                       F::StartDate, F::EndDate, F::Quantity, F::Rate, F::Subtotal, F::TaxRate,
                       F::Total, F::Notes});
}

QList<qint32> TWBusiness::importExpenseFields()
{
    using F = TWExpenseField;
    return fieldCodes(
        {F::Client, F::Date, F::Name, F::Notes, F::Project, F::Quantity, F::Cost, F::TaxRate});
}

QList<qint32> TWBusiness::exportExpenseFields()
{
    using F = TWExpenseField;
    return fieldCodes({F::Date, F::Client, F::Project, F::Name, F::Quantity, F::Cost, F::Subtotal,
                       F::TaxRate, F::Total, F::Notes});
}
