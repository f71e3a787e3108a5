#include "model/TWProject.h"

#include "foundation/TWDateAdditions.h"
#include "model/TWWorkArithmetic.h"

using TWWorkArithmetic::add;

TWProject::TWProject(QDateTime date, bool completed, QString name, std::uint32_t type,
                     QDateTime startDate, QDateTime endDate, qint64 rate, TWUnitPtr unit,
                     double taxRate, QString notes, qint32 clientIdentifier, qint32 identifier)
    : m_date(std::move(date)), m_completed(completed), m_name(std::move(name)), m_type(type),
      m_startDate(std::move(startDate)), m_endDate(std::move(endDate)), m_rate(rate),
      m_unit(std::move(unit)), m_taxRate(taxRate), m_notes(std::move(notes)),
      m_clientIdentifier(clientIdentifier), m_identifier(identifier)
{
}

TWProjectPtr TWProject::projectWithDate(const QDateTime &date, bool completed, const QString &name,
                                        std::uint32_t type, const QDateTime &startDate,
                                        const QDateTime &endDate, qint64 rate,
                                        const TWUnitPtr &unit, double taxRate, const QString &notes,
                                        qint32 clientIdentifier, qint32 identifier)
{
    return std::make_shared<TWProject>(date, completed, name, type, startDate, endDate, rate, unit,
                                       taxRate, notes, clientIdentifier, identifier);
}

TWProjectPtr TWProject::copy() const
{
    auto project = std::make_shared<TWProject>(*this);
    project->m_invoices.clear();
    return project;
}

int TWProject::compare(const TWProject &other) const
{
    const int c = m_name.compare(other.m_name, Qt::CaseSensitive);
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

qint64 TWProject::sumOverInvoices(const std::function<qint64(const TWInvoice &)> &amount) const
{
    qint64 sum = 0;
    for (const TWInvoicePtr &invoice : m_invoices) {
        if (invoice)
            sum = add(sum, amount(*invoice));
    }
    return sum;
}

bool TWProject::overdueOverInvoices(const std::function<bool(const TWInvoice &)> &overdue,
                                    QDateTime *dueDate) const
{
    bool any = false;
    QDateTime earliest;
    for (const TWInvoicePtr &invoice : m_invoices) {
        if (!invoice || !overdue(*invoice))
            continue;
        any = true;
        if (!dueDate)
            break; // nobody asks which date
        if (!earliest.isValid() || invoice->dueDate() < earliest)
            earliest = invoice->dueDate();
    }
    if (dueDate)
        *dueDate = earliest;
    return any;
}

float TWProject::percentPaid(qint64 total, qint64 owe)
{
    if (total == 0)
        return 0.0f;
    return float(TWWorkArithmetic::subtract(total, owe)) / float(total);
}

qint64 TWProject::uninvoicedTotal(const TWTaskList &tasks, const TWExpenseList &expenses,
                                  const std::function<qint64(const TWTask &)> &taskUninvoiced,
                                  const std::function<qint64(const TWExpense &)> &expenseUninvoiced)
{
    qint64 sum = 0;
    for (const TWTaskPtr &task : tasks) {
        if (task)
            sum = add(sum, taskUninvoiced(*task));
    }
    for (const TWExpensePtr &expense : expenses) {
        if (expense)
            sum = add(sum, expenseUninvoiced(*expense));
    }
    return sum;
}

qint64 TWProject::uninvoicedTotal(const TWTaskList &tasks, const TWExpenseList &expenses,
                                  const std::function<qint64(const TWTask &)> &taskUninvoiced,
                                  const std::function<qint64(const TWExpense &)> &expenseUninvoiced,
                                  const QDateTime &fromDate, const QDateTime &toDate,
                                  const TWUnitPtr &homeUnit, const TWUnitConverter &convert) const
{
    const auto inRange = [&](const TWInvoiceItem &item) {
        return TWDateAdditions::containsDate(item.date(), fromDate, toDate);
    };
    TWTaskList datedTasks;
    for (const TWTaskPtr &task : tasks) {
        if (task && inRange(*task))
            datedTasks.append(task);
    }
    TWExpenseList datedExpenses;
    for (const TWExpensePtr &expense : expenses) {
        if (expense && inRange(*expense))
            datedExpenses.append(expense);
    }
    const qint64 total =
        uninvoicedTotal(datedTasks, datedExpenses, taskUninvoiced, expenseUninvoiced);
    if (!convert || !m_unit || !homeUnit)
        return total;
    return convert(total, *m_unit, *homeUnit);
}
