#include "model/TWInvoiceItem.h"

#include "model/TWWorkArithmetic.h"

TWInvoiceItem::TWInvoiceItem(QDateTime date, QString name, qint32 projectIdentifier,
                             qint32 identifier, std::uint32_t type)
    : m_date(std::move(date)), m_name(std::move(name)), m_projectIdentifier(projectIdentifier),
      m_identifier(identifier), m_type(type)
{
}

int TWInvoiceItem::compare(const TWInvoiceItem &other) const
{
    if (const int c = TWWorkArithmetic::compareMoments(m_date, other.m_date))
        return c;
    if (m_type != other.m_type)
        return m_type == TWInvoiceItemTypeExpense ? -1 : 1;
    if (m_identifier == other.m_identifier)
        return 0;
    return m_identifier < other.m_identifier ? -1 : 1;
}

qint64 TWInvoiceItem::taxWithSubtotal(qint64 subtotal, double taxRate)
{
    const double rate = TWWorkArithmetic::finiteOrZero(taxRate);
    if (rate == 0.0)
        return 0;
    return TWWorkArithmetic::rounded(double(subtotal) * rate / 100.0);
}

qint64 TWInvoiceItem::totalWithSubtotal(qint64 subtotal, double taxRate)
{
    const double rate = TWWorkArithmetic::finiteOrZero(taxRate);
    if (rate == 0.0)
        return subtotal;
    return TWWorkArithmetic::rounded((rate + 100.0) * double(subtotal) / 100.0);
}
