#pragma once
// A cost of a project passed on to its client: a quantity at a price per unit,
// with tax. Unlike a task, more of an expense can be billed than it holds, so
// its available quantity may be negative.

#include "model/TWInvoiceItem.h"
#include "model/TWRelationship.h"

class TWExpense;
using TWExpensePtr = std::shared_ptr<TWExpense>;
using TWExpenseList = QList<TWExpensePtr>;

class TWExpense final : public TWInvoiceItem
{
public:
    TWExpense() : TWInvoiceItem(QDateTime(), QString(), 0, 0, TWInvoiceItemTypeExpense) {}
    TWExpense(QDateTime date, QString name, double quantity, qint64 cost, double taxRate,
              QString notes, qint32 projectIdentifier, qint32 identifier);
    TWExpense(const TWExpense &) = default;

    static TWExpensePtr expenseWithDate(const QDateTime &date, const QString &name, double quantity,
                                        qint64 cost, double taxRate, const QString &notes,
                                        qint32 projectIdentifier, qint32 identifier);

    // Every field, the invoiced quantity included.
    TWExpensePtr copy() const { return std::make_shared<TWExpense>(*this); }

    double quantity() const { return m_quantity; }
    void setQuantity(double v) { m_quantity = v; }
    // The price of one unit.
    qint64 cost() const { return m_cost; }
    void setCost(qint64 v) { m_cost = v; }
    double taxRate() const { return m_taxRate; }
    void setTaxRate(double v) { m_taxRate = v; }
    const QString &notes() const { return m_notes; }
    void setNotes(const QString &v) { m_notes = v; }
    // The quantity billed on the invoice whose lines are being worked on.
    double invoiceQuantity() const { return m_invoiceQuantity; }
    void setInvoiceQuantity(double v) { m_invoiceQuantity = v; }
    // A line of the printed invoice made for a further charge linked to it
    // beside its entry (a late fee), not for a cost of the project; never
    // stored.
    bool isCharge() const { return m_charge; }
    void setCharge(bool v) { m_charge = v; }

    // The quantity less what invoices other than `invoice` (null: none) bill
    // of it; may be negative. Only the expense links (type 2) with this
    // expense as child among `relationships` count.
    double availableQuantity(const TWInvoice *invoice,
                             const TWRelationshipList &relationships) const;
    // cost x quantity, cut toward zero.
    qint64 subtotal() const;
    qint64 tax() const { return taxWithSubtotal(subtotal(), m_taxRate); }
    qint64 total() const { return totalWithSubtotal(subtotal(), m_taxRate); }
    // What is still to invoice: cost x available with the tax applied before
    // the cut (truncated without tax, rounded with it); never negative.
    qint64 uninvoicedTotalWithAvailableQuantity(double available) const;
    qint64 invoiceSubtotal() const;
    qint64 invoiceTax() const { return taxWithSubtotal(invoiceSubtotal(), m_taxRate); }
    qint64 invoiceTotal() const { return totalWithSubtotal(invoiceSubtotal(), m_taxRate); }

private:
    double m_quantity = 0.0;
    qint64 m_cost = 0;
    double m_taxRate = 0.0;
    QString m_notes;
    double m_invoiceQuantity = 0.0;
    bool m_charge = false;
};
