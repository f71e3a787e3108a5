#include "model/TWBill.h"

#include "model/TWWorkArithmetic.h"

namespace
{

TWPaymentTotals payableTotals(const TWPaymentEntryList &entries)
{
    return TWPayments::totals(entries, TWPaymentSide::Payable, nullptr, {});
}

} // namespace

TWBill::TWBill(QDateTime date, QString name, bool received, bool paid, QDateTime dueDate,
               qint32 repeatIdentifier, QString notes, qint32 merchantIdentifier, qint32 identifier)
    : m_date(std::move(date)), m_name(std::move(name)), m_received(received), m_paid(paid),
      m_dueDate(std::move(dueDate)), m_repeatIdentifier(repeatIdentifier),
      m_notes(std::move(notes)), m_merchantIdentifier(merchantIdentifier), m_identifier(identifier)
{
}

TWBillPtr TWBill::billWithDate(const QDateTime &date, const QString &name, bool received, bool paid,
                               const QDateTime &dueDate, qint32 repeatIdentifier,
                               const QString &notes, qint32 merchantIdentifier, qint32 identifier)
{
    return std::make_shared<TWBill>(date, name, received, paid, dueDate, repeatIdentifier, notes,
                                    merchantIdentifier, identifier);
}

TWBillPtr TWBill::copy() const
{
    return billWithDate(m_date, m_name, m_received, m_paid, m_dueDate, m_repeatIdentifier, m_notes,
                        m_merchantIdentifier, m_identifier);
}

int TWBill::compare(const TWBill &other) const
{
    if (const int c = TWWorkArithmetic::compareMoments(m_date, other.m_date))
        return c;
    if (m_identifier == other.m_identifier)
        return 0;
    return m_identifier < other.m_identifier ? -1 : 1;
}

qint64 TWBill::totalWithEntries(const TWPaymentEntryList &entries) const
{
    return payableTotals(entries).charges;
}

qint64 TWBill::oweWithEntries(const TWPaymentEntryList &entries) const
{
    return payableTotals(entries).owe;
}

qint64 TWBill::oweWithEntries(const TWPaymentEntryList &entries,
                              const TWPaymentEntryList &given) const
{
    return oweWithEntries(TWPayments::entriesAmong(entries, given));
}

float TWBill::percentPaidWithEntries(const TWPaymentEntryList &entries) const
{
    return payableTotals(entries).percentPaid;
}

bool TWBill::overdueWithEntries(const TWPaymentEntryList &entries) const
{
    if (!m_dueDate.isValid())
        return false;
    return TWPayments::isOverdue(m_dueDate, oweWithEntries(entries));
}

TWBillPtr TWBill::repeatBillWithDate(const QDateTime &date, qint32 identifier) const
{
    if (identifier == 0 || !date.isValid())
        return nullptr;
    return billWithDate(date, m_name, false, false, QDateTime(), m_repeatIdentifier, m_notes,
                        m_merchantIdentifier, identifier);
}
