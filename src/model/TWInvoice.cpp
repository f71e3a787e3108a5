#include "model/TWInvoice.h"

#include "model/TWWorkArithmetic.h"

#include <QHash>

using TWWorkArithmetic::add;

namespace
{

// Invoiced subtotals summed per tax rate, in the order the rates first appear.
class TWTaxGroups
{
public:
    void add(double taxRate, qint64 subtotal)
    {
        const double rate = TWWorkArithmetic::finiteOrZero(taxRate);
        if (rate == 0.0)
            return;
        const auto found = m_index.constFind(rate);
        if (found == m_index.constEnd()) {
            m_index.insert(rate, m_groups.size());
            m_groups.append({rate, subtotal});
        } else {
            qint64 &sum = m_groups[*found].second;
            sum = TWWorkArithmetic::add(sum, subtotal);
        }
    }

    // Each group's tax added to the running total, cut toward zero every step.
    qint64 taxedFrom(qint64 start) const
    {
        qint64 total = start;
        for (const auto &[rate, subtotal] : m_groups)
            total = TWWorkArithmetic::truncated(double(total) + rate * double(subtotal) / 100.0);
        return total;
    }

private:
    QList<std::pair<double, qint64>> m_groups;
    QHash<double, qsizetype> m_index;
};

qint64 tasksSubtotal(const TWTaskList &tasks, TWTaxGroups *groups)
{
    qint64 sum = 0;
    for (const TWTaskPtr &task : tasks) {
        if (!task)
            continue;
        const qint64 subtotal = task->invoiceSubtotal();
        sum = add(sum, subtotal);
        groups->add(task->taxRate(), subtotal);
    }
    return sum;
}

qint64 expensesSubtotal(const TWExpenseList &expenses, TWTaxGroups *groups)
{
    qint64 sum = 0;
    for (const TWExpensePtr &expense : expenses) {
        if (!expense)
            continue;
        const qint64 subtotal = expense->invoiceSubtotal();
        sum = add(sum, subtotal);
        groups->add(expense->taxRate(), subtotal);
    }
    return sum;
}

} // namespace

TWInvoice::TWInvoice(QDateTime date, QString number, QString name, bool sent, bool paid,
                     QDateTime dueDate, qint32 repeatIdentifier, QString notes,
                     qint32 projectIdentifier, qint32 identifier)
    : m_date(std::move(date)), m_number(std::move(number)), m_name(std::move(name)), m_sent(sent),
      m_paid(paid), m_dueDate(std::move(dueDate)), m_repeatIdentifier(repeatIdentifier),
      m_notes(std::move(notes)), m_projectIdentifier(projectIdentifier), m_identifier(identifier)
{
}

TWInvoicePtr TWInvoice::invoiceWithDate(const QDateTime &date, const QString &number,
                                        const QString &name, bool sent, bool paid,
                                        const QDateTime &dueDate, qint32 repeatIdentifier,
                                        const QString &notes, qint32 projectIdentifier,
                                        qint32 identifier)
{
    return std::make_shared<TWInvoice>(date, number, name, sent, paid, dueDate, repeatIdentifier,
                                       notes, projectIdentifier, identifier);
}

TWInvoicePtr TWInvoice::copy() const
{
    return invoiceWithDate(m_date, m_number, m_name, m_sent, m_paid, m_dueDate, m_repeatIdentifier,
                           m_notes, m_projectIdentifier, m_identifier);
}

int TWInvoice::compare(const TWInvoice &other) const
{
    if (const int c = TWWorkArithmetic::compareMoments(m_date, other.m_date))
        return c;
    if (m_identifier == other.m_identifier)
        return 0;
    return m_identifier < other.m_identifier ? -1 : 1;
}

qint64 TWInvoice::invoiceSubtotalTotal(const TWTaskList &tasks, const TWExpenseList &expenses)
{
    TWTaxGroups groups;
    return add(tasksSubtotal(tasks, &groups), expensesSubtotal(expenses, &groups));
}

qint64 TWInvoice::invoiceTaxTotal(const TWTaskList &tasks, const TWExpenseList &expenses)
{
    TWTaxGroups groups;
    tasksSubtotal(tasks, &groups);
    expensesSubtotal(expenses, &groups);
    return groups.taxedFrom(0);
}

qint64 TWInvoice::invoiceTasksTotal(const TWTaskList &tasks)
{
    TWTaxGroups groups;
    const qint64 subtotal = tasksSubtotal(tasks, &groups);
    return groups.taxedFrom(subtotal);
}

qint64 TWInvoice::invoiceExpensesTotal(const TWExpenseList &expenses)
{
    TWTaxGroups groups;
    const qint64 subtotal = expensesSubtotal(expenses, &groups);
    return groups.taxedFrom(subtotal);
}

qint64 TWInvoice::invoiceTotal(const TWTaskList &tasks, const TWExpenseList &expenses)
{
    return add(invoiceSubtotalTotal(tasks, expenses), invoiceTaxTotal(tasks, expenses));
}

TWPaymentTotals TWInvoice::paymentTotals(const TWPaymentEntryList &entries,
                                         const TWUnitPtr &projectUnit,
                                         const TWUnitConverter &convert) const
{
    return TWPayments::totals(entries, TWPaymentSide::Receivable, projectUnit, convert);
}

qint64 TWInvoice::totalWithEntries(const TWPaymentEntryList &entries, const TWUnitPtr &projectUnit,
                                   const TWUnitConverter &convert) const
{
    return paymentTotals(entries, projectUnit, convert).charges;
}

qint64 TWInvoice::paymentsWithEntries(const TWPaymentEntryList &entries,
                                      const TWUnitPtr &projectUnit,
                                      const TWUnitConverter &convert) const
{
    return paymentTotals(entries, projectUnit, convert).payments;
}

qint64 TWInvoice::oweWithEntries(const TWPaymentEntryList &entries, const TWUnitPtr &projectUnit,
                                 const TWUnitConverter &convert) const
{
    return paymentTotals(entries, projectUnit, convert).owe;
}

qint64 TWInvoice::homeOweWithEntries(const TWPaymentEntryList &entries) const
{
    return paymentTotals(entries, nullptr, {}).homeOwe;
}

qint64 TWInvoice::homeOweWithEntries(const TWPaymentEntryList &entries,
                                     const TWPaymentEntryList &given) const
{
    return homeOweWithEntries(TWPayments::entriesAmong(entries, given));
}

float TWInvoice::percentPaidWithEntries(const TWPaymentEntryList &entries,
                                        const TWUnitPtr &projectUnit,
                                        const TWUnitConverter &convert) const
{
    return paymentTotals(entries, projectUnit, convert).percentPaid;
}

bool TWInvoice::overdueWithEntries(const TWPaymentEntryList &entries, const TWUnitPtr &projectUnit,
                                   const TWUnitConverter &convert) const
{
    if (!m_dueDate.isValid())
        return false;
    return overdueWithOwe(oweWithEntries(entries, projectUnit, convert));
}

bool TWInvoice::overdueWithOwe(qint64 owe) const
{
    return TWPayments::isOverdue(m_dueDate, owe);
}

TWInvoicePtr TWInvoice::repeatInvoiceWithDate(const QDateTime &date, qint32 identifier) const
{
    if (identifier == 0 || !date.isValid())
        return nullptr;
    return invoiceWithDate(date, m_number, m_name, false, false, QDateTime(), m_repeatIdentifier,
                           m_notes, m_projectIdentifier, identifier);
}
