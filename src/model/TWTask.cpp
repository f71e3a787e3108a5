#include "model/TWTask.h"

#include "model/TWFormatter.h"
#include "model/TWInvoice.h"
#include "model/TWPreferences.h"
#include "model/TWProject.h"
#include "model/TWWorkArithmetic.h"

#include <QLocale>

using TWWorkArithmetic::finiteOrZero;

namespace
{

// Rate x quantity for the per-unit and timed kinds, formed in double
// precision and then cut toward zero.
qint64 partialSubtotal(std::uint32_t taskType, qint64 rate, double quantity)
{
    const double product = double(rate) * finiteOrZero(quantity);
    if (taskType == TWTaskTypeTimed)
        return TWWorkArithmetic::truncated(product / 3600.0);
    return TWWorkArithmetic::truncated(product);
}

} // namespace

TWTask::TWTask(QDateTime date, bool completed, QString name, std::uint32_t taskType,
               double estimate, double quantity, qint64 rate, double taxRate, QString notes,
               qint32 projectIdentifier, qint32 identifier)
    : TWInvoiceItem(std::move(date), std::move(name), projectIdentifier, identifier,
                    TWInvoiceItemTypeTask),
      m_completed(completed), m_taskType(taskType), m_estimate(estimate), m_quantity(quantity),
      m_rate(rate), m_taxRate(taxRate), m_notes(std::move(notes))
{
}

TWTaskPtr TWTask::taskWithDate(const QDateTime &date, bool completed, const QString &name,
                               std::uint32_t taskType, double estimate, double quantity,
                               qint64 rate, double taxRate, const QString &notes,
                               qint32 projectIdentifier, qint32 identifier)
{
    return std::make_shared<TWTask>(date, completed, name, taskType, estimate, quantity, rate,
                                    taxRate, notes, projectIdentifier, identifier);
}

TWTaskPtr TWTask::copy() const
{
    auto task = std::make_shared<TWTask>(*this);
    TWTaskItemList items;
    items.reserve(m_taskItems.size());
    for (const TWTaskItemPtr &item : m_taskItems) {
        if (item)
            items.append(item->copy());
    }
    task->m_taskItems = items;
    return task;
}

void TWTask::setTaskType(std::uint32_t v)
{
    m_taskType = v;
    if (v != TWTaskTypeTimed)
        m_taskItems.clear();
}

double TWTask::quantityWithProject(const TWProject *project, const TWTaskItemList &taskItems) const
{
    if (!project)
        return 0.0;
    switch (project->type()) {
    case TWProjectTypeProject:
        if (m_taskType == TWTaskTypeTimed) {
            double seconds = 0.0;
            for (const TWTaskItemPtr &item : taskItems) {
                if (item)
                    seconds += item->duration();
            }
            return seconds;
        }
        return finiteOrZero(m_quantity);
    case TWProjectTypeEstimate:
        return finiteOrZero(m_estimate);
    default:
        return 0.0;
    }
}

double TWTask::availableQuantity(const TWInvoice *invoice, double quantity,
                                 const TWRelationshipList &relationships) const
{
    double available = finiteOrZero(quantity);
    for (const TWRelationshipPtr &link : relationships) {
        if (!link || link->type() != TWRelationshipTypeInvoiceTask ||
            link->childIdentifier() != identifier())
            continue;
        if (invoice && link->parentIdentifier() == invoice->identifier())
            continue;
        available -= finiteOrZero(link->value());
    }
    return available > 0.0 ? available : 0.0;
}

qint64 TWTask::subtotalWithQuantity(double quantity) const
{
    if (m_taskType == TWTaskTypeFlat)
        return m_rate;
    return partialSubtotal(m_taskType, m_rate, quantity);
}

bool TWTask::billedWhole(double quantity, const TWRelationshipList &relationships,
                         const TWInvoice *except) const
{
    if (m_taskType != TWTaskTypeFlat)
        return false;
    for (const TWRelationshipPtr &link : relationships) {
        if (link && link->type() == TWRelationshipTypeInvoiceTask &&
            link->childIdentifier() == identifier() &&
            !(except && link->parentIdentifier() == except->identifier()) &&
            finiteOrZero(link->value()) == finiteOrZero(quantity))
            return true;
    }
    return false;
}

qint64 TWTask::uninvoicedTotalWithAvailableQuantity(double available, bool billed) const
{
    qint64 total = 0;
    if (m_taskType == TWTaskTypeFlat) {
        // Exact comparison on purpose: any part billed leaves nothing to bill.
        // A task of quantity 0 has all of it available even once billed,
        // hence the separate word on whether an invoice bills it.
        if (!billed && finiteOrZero(available) == finiteOrZero(m_quantity))
            total = totalWithSubtotal(m_rate, m_taxRate);
    } else {
        total = totalWithSubtotal(partialSubtotal(m_taskType, m_rate, available), m_taxRate);
    }
    return total > 0 ? total : 0;
}

qint64 TWTask::invoiceSubtotal() const
{
    if (m_taskType == TWTaskTypeFlat)
        return finiteOrZero(m_invoiceQuantity) == finiteOrZero(m_quantity) ? m_rate : 0;
    return partialSubtotal(m_taskType, m_rate, m_invoiceQuantity);
}

QString TWTask::quantityString(double quantity,
                               const std::function<QString(double seconds)> &timeText) const
{
    if (m_taskType == TWTaskTypeTimed && timeText)
        return timeText(quantity);
    return QString::number(quantity, 'g', QLocale::FloatingPointShortest);
}

QString TWTask::quantityString(double quantity) const
{
    const TWFormatter &formatter = TWFormatter::formatter();
    if (m_taskType == TWTaskTypeTimed)
        return formatter.timeString(quantity, false, TWPreferences::preferences().timeFormat());
    return formatter.numberString(quantity);
}
