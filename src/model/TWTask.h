#pragma once
// A piece of work on a project, billed by time (its task items), as one fixed
// price, or per hour, day, week, month, quarter or year. In an estimate a task
// counts its estimated quantity, in a project the quantity worked.

#include "model/TWInvoiceItem.h"
#include "model/TWRelationship.h"
#include "model/TWTaskItem.h"

#include <functional>

enum TWTaskType : int {
    TWTaskTypeTimed = 0, // rate per hour, quantity in seconds (from the task items)
    TWTaskTypeFlat = 1,  // rate is the whole price
    TWTaskTypeHour = 2,  // rate per unit from here on, quantity in those units
    TWTaskTypeDay = 3,
    TWTaskTypeWeek = 4,
    TWTaskTypeMonth = 5,
    TWTaskTypeQuarter = 6,
    TWTaskTypeYear = 7,
};

class TWTask;
using TWTaskPtr = std::shared_ptr<TWTask>;
using TWTaskList = QList<TWTaskPtr>;

class TWTask final : public TWInvoiceItem
{
public:
    TWTask() : TWInvoiceItem(QDateTime(), QString(), 0, 0, TWInvoiceItemTypeTask) {}
    TWTask(QDateTime date, bool completed, QString name, std::uint32_t taskType, double estimate,
           double quantity, qint64 rate, double taxRate, QString notes, qint32 projectIdentifier,
           qint32 identifier);
    TWTask(const TWTask &) = default;

    static TWTaskPtr taskWithDate(const QDateTime &date, bool completed, const QString &name,
                                  std::uint32_t taskType, double estimate, double quantity,
                                  qint64 rate, double taxRate, const QString &notes,
                                  qint32 projectIdentifier, qint32 identifier);

    // Every field, the invoiced quantity included; the task items are copied
    // one by one into a new list.
    TWTaskPtr copy() const;

    bool completed() const { return m_completed; }
    void setCompleted(bool v) { m_completed = v; }
    std::uint32_t taskType() const { return m_taskType; }
    // A task that stops being timed drops its task items: they count only for
    // timed tasks, and the store deletes them along with the change.
    void setTaskType(std::uint32_t v);
    // Seconds for a timed task, units otherwise.
    double estimate() const { return m_estimate; }
    void setEstimate(double v) { m_estimate = v; }
    // Units worked (a timed task's time comes from its items instead).
    double quantity() const { return m_quantity; }
    void setQuantity(double v) { m_quantity = v; }
    // Per hour (timed), the whole price (flat) or per unit.
    qint64 rate() const { return m_rate; }
    void setRate(qint64 v) { m_rate = v; }
    double taxRate() const { return m_taxRate; }
    void setTaxRate(double v) { m_taxRate = v; }
    const QString &notes() const { return m_notes; }
    void setNotes(const QString &v) { m_notes = v; }
    // The items of a task held in memory (e.g. one not stored yet); the
    // arithmetic takes the items it should count as an argument instead.
    const TWTaskItemList &taskItems() const { return m_taskItems; }
    void setTaskItems(const TWTaskItemList &v) { m_taskItems = v; }
    // The quantity billed on the invoice whose lines are being worked on (set
    // by whoever lists the lines; 0 otherwise).
    double invoiceQuantity() const { return m_invoiceQuantity; }
    void setInvoiceQuantity(double v) { m_invoiceQuantity = v; }

    // --- Arithmetic on what is passed in ---

    // The quantity the task counts in `project` (null: none): in a project
    // (type 1) a timed task's summed item durations in seconds and any other
    // task's quantity; in an estimate (type 0) the estimate; otherwise 0.
    // `taskItems` are this task's items.
    double quantityWithProject(const TWProject *project, const TWTaskItemList &taskItems) const;
    // `quantity` less what invoices other than `invoice` (null: none) bill of
    // this task, never below 0. Only the task links (type 1) with this task as
    // child among `relationships` count.
    double availableQuantity(const TWInvoice *invoice, double quantity,
                             const TWRelationshipList &relationships) const;
    // Flat: the rate. Timed: rate x seconds / 3600, cut toward zero. Per unit:
    // rate x quantity, cut toward zero.
    qint64 subtotalWithQuantity(double quantity) const;
    qint64 taxWithQuantity(double quantity) const
    {
        return taxWithSubtotal(subtotalWithQuantity(quantity), m_taxRate);
    }
    qint64 totalWithQuantity(double quantity) const
    {
        return totalWithSubtotal(subtotalWithQuantity(quantity), m_taxRate);
    }
    // The total of what is still to invoice, from the available quantity. A
    // flat task is invoiced whole or not at all: its price while no invoice
    // bills it (`billed` false and available equals quantity exactly), else
    // 0. Never negative.
    qint64 uninvoicedTotalWithAvailableQuantity(double available, bool billed = false) const;
    // A flat task that an invoice among `relationships` (other than `except`)
    // bills whole: a task link holding exactly `quantity` (how an invoice bills
    // its price, also for a flat task whose quantity is 0). False for other
    // task types.
    bool billedWhole(double quantity, const TWRelationshipList &relationships,
                     const TWInvoice *except = nullptr) const;
    // The line of the invoice being worked on, from invoiceQuantity (a flat
    // task: its price when the whole quantity is billed, else 0).
    qint64 invoiceSubtotal() const;
    qint64 invoiceTax() const { return taxWithSubtotal(invoiceSubtotal(), m_taxRate); }
    qint64 invoiceTotal() const { return totalWithSubtotal(invoiceSubtotal(), m_taxRate); }
    // A timed task's quantity (seconds) through `timeText`, any other task's
    // as a plain decimal number with "." (what files hold).
    QString quantityString(double quantity,
                           const std::function<QString(double seconds)> &timeText) const;

    // --- The same with what the business holds ---

    // As fields and lists show it: a timed task's time in the preferred
    // format, no seconds; any other task's number as the locale writes it.
    QString quantityString(double quantity) const;

private:
    bool m_completed = false;
    std::uint32_t m_taskType = TWTaskTypeTimed;
    double m_estimate = 0.0;
    double m_quantity = 0.0;
    qint64 m_rate = 0;
    double m_taxRate = 0.0;
    QString m_notes;
    TWTaskItemList m_taskItems;
    double m_invoiceQuantity = 0.0;
};
