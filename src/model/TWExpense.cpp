#include "model/TWExpense.h"

#include "model/TWInvoice.h"
#include "model/TWWorkArithmetic.h"

using TWWorkArithmetic::finiteOrZero;

TWExpense::TWExpense(QDateTime date, QString name, double quantity, qint64 cost, double taxRate,
                     QString notes, qint32 projectIdentifier, qint32 identifier)
    : TWInvoiceItem(std::move(date), std::move(name), projectIdentifier, identifier,
                    TWInvoiceItemTypeExpense),
      m_quantity(quantity), m_cost(cost), m_taxRate(taxRate), m_notes(std::move(notes))
{
}

TWExpensePtr TWExpense::expenseWithDate(const QDateTime &date, const QString &name, double quantity,
                                        qint64 cost, double taxRate, const QString &notes,
                                        qint32 projectIdentifier, qint32 identifier)
{
    return std::make_shared<TWExpense>(date, name, quantity, cost, taxRate, notes,
                                       projectIdentifier, identifier);
}

double TWExpense::availableQuantity(const TWInvoice *invoice,
                                    const TWRelationshipList &relationships) const
{
    double available = finiteOrZero(m_quantity);
    for (const TWRelationshipPtr &link : relationships) {
        if (!link || link->type() != TWRelationshipTypeInvoiceExpense ||
            link->childIdentifier() != identifier())
            continue;
        if (invoice && link->parentIdentifier() == invoice->identifier())
            continue;
        available -= finiteOrZero(link->value());
    }
    return available;
}

qint64 TWExpense::subtotal() const
{
    return TWWorkArithmetic::truncated(double(m_cost) * finiteOrZero(m_quantity));
}

qint64 TWExpense::uninvoicedTotalWithAvailableQuantity(double available) const
{
    const double amount = double(m_cost) * finiteOrZero(available);
    const double rate = finiteOrZero(m_taxRate);
    const qint64 total = rate == 0.0 ? TWWorkArithmetic::truncated(amount)
                                     : TWWorkArithmetic::rounded(amount * (rate + 100.0) / 100.0);
    return total > 0 ? total : 0;
}

qint64 TWExpense::invoiceSubtotal() const
{
    return TWWorkArithmetic::truncated(double(m_cost) * finiteOrZero(m_invoiceQuantity));
}
