#pragma once
// An invoice to a client for a project's tasks and expenses. It stores no
// amounts: its lines are the tasks and expenses linked to it with the quantity
// billed, and what was charged and paid is read from the ledger transactions
// linked to it on accounts receivable. It counts in its project's unit.

#include "model/TWExpense.h"
#include "model/TWPaymentEntry.h"
#include "model/TWTask.h"

#include <QDateTime>
#include <QList>
#include <QString>

#include <memory>

class TWInvoice;
using TWInvoicePtr = std::shared_ptr<TWInvoice>;
using TWInvoiceList = QList<TWInvoicePtr>;

class TWInvoice
{
public:
    TWInvoice() = default;
    TWInvoice(QDateTime date, QString number, QString name, bool sent, bool paid, QDateTime dueDate,
              qint32 repeatIdentifier, QString notes, qint32 projectIdentifier, qint32 identifier);

    static TWInvoicePtr invoiceWithDate(const QDateTime &date, const QString &number,
                                        const QString &name, bool sent, bool paid,
                                        const QDateTime &dueDate, qint32 repeatIdentifier,
                                        const QString &notes, qint32 projectIdentifier,
                                        qint32 identifier);

    // Every stored field; the copy has no lines and no transactions.
    TWInvoicePtr copy() const;

    const QDateTime &date() const { return m_date; }
    void setDate(const QDateTime &v) { m_date = v; }
    // The invoice number as shown.
    const QString &number() const { return m_number; }
    void setNumber(const QString &v) { m_number = v; }
    const QString &name() const { return m_name; }
    void setName(const QString &v) { m_name = v; }
    bool sent() const { return m_sent; }
    void setSent(bool v) { m_sent = v; }
    bool paid() const { return m_paid; }
    void setPaid(bool v) { m_paid = v; }
    // Invalid when there is none (then the invoice is never overdue).
    const QDateTime &dueDate() const { return m_dueDate; }
    void setDueDate(const QDateTime &v) { m_dueDate = v; }
    // The invoice schedule that makes this invoice; 0 when none.
    qint32 repeatIdentifier() const { return m_repeatIdentifier; }
    void setRepeatIdentifier(qint32 v) { m_repeatIdentifier = v; }
    const QString &notes() const { return m_notes; }
    void setNotes(const QString &v) { m_notes = v; }
    qint32 projectIdentifier() const { return m_projectIdentifier; }
    void setProjectIdentifier(qint32 v) { m_projectIdentifier = v; }
    qint32 identifier() const { return m_identifier; }
    void setIdentifier(qint32 v) { m_identifier = v; }

    // The lines, each carrying the quantity billed in invoiceQuantity, as last
    // filled in (updateTasksExpenses).
    const TWTaskList &tasks() const { return m_tasks; }
    void setTasks(const TWTaskList &v) { m_tasks = v; }
    const TWExpenseList &expenses() const { return m_expenses; }
    void setExpenses(const TWExpenseList &v) { m_expenses = v; }
    // The transactions that charge or pay the invoice, each shown for the
    // account (and split) linked, in date order, as last filled in
    // (updateTransactions).
    const TWTransactionList &transactions() const { return m_transactions; }
    void setTransactions(const TWTransactionList &v)
    {
        m_transactions = v;
        m_readings.dropMade();
    }
    // What an update's reading kept of the document with its transactions.
    TWDocumentReadings &readings() const { return m_readings; }

    bool isEqual(const TWInvoice &other) const { return m_identifier == other.m_identifier; }
    // By date, then identifier ascending: -1, 0 or 1.
    int compare(const TWInvoice &other) const;

    // --- Lines: money in the project's unit ---

    // The lines' invoiced subtotals, tasks then expenses.
    static qint64 invoiceSubtotalTotal(const TWTaskList &tasks, const TWExpenseList &expenses);
    // The tax by rate groups: the invoiced subtotals of the taxed lines are
    // summed per rate, and each group's tax is added to a running total that
    // is cut toward zero at every step. This is not the sum of the lines' own
    // (rounded) taxes.
    static qint64 invoiceTaxTotal(const TWTaskList &tasks, const TWExpenseList &expenses);
    // The tasks' (or expenses') subtotals with the tax of their rate groups,
    // the running total starting at the subtotal sum.
    static qint64 invoiceTasksTotal(const TWTaskList &tasks);
    static qint64 invoiceExpensesTotal(const TWExpenseList &expenses);
    static qint64 invoiceTotal(const TWTaskList &tasks, const TWExpenseList &expenses);

    // --- Charges and payments, from the entries of `transactions` ---

    // Amounts are converted from each line's unit into `projectUnit`.
    qint64 totalWithEntries(const TWPaymentEntryList &entries, const TWUnitPtr &projectUnit,
                            const TWUnitConverter &convert) const;
    qint64 paymentsWithEntries(const TWPaymentEntryList &entries, const TWUnitPtr &projectUnit,
                               const TWUnitConverter &convert) const;
    qint64 oweWithEntries(const TWPaymentEntryList &entries, const TWUnitPtr &projectUnit,
                          const TWUnitConverter &convert) const;
    // The amount owing from the home amounts, unconverted.
    qint64 homeOweWithEntries(const TWPaymentEntryList &entries) const;
    // The same, counting only the entries that are also among `given`.
    qint64 homeOweWithEntries(const TWPaymentEntryList &entries,
                              const TWPaymentEntryList &given) const;
    // Payments over charges since the account last stood settled (0.0 to 1.0
    // in normal use); with nothing charged 1.0, or 0.0 when something is still
    // owed.
    float percentPaidWithEntries(const TWPaymentEntryList &entries, const TWUnitPtr &projectUnit,
                                 const TWUnitConverter &convert) const;
    // A due date is set, at least one minor unit is owed, and the due date
    // lies before the end of today: an invoice due today is already overdue.
    bool overdueWithEntries(const TWPaymentEntryList &entries, const TWUnitPtr &projectUnit,
                            const TWUnitConverter &convert) const;
    // Whether the owing amount makes the invoice overdue today.
    bool overdueWithOwe(qint64 owe) const;

    // The next invoice of this invoice's schedule: `identifier`, `date`, this
    // invoice's number, name, schedule, notes and project; not sent, not
    // paid, no due date, no lines. Null when the identifier is 0 (none could
    // be given) or the date is missing.
    TWInvoicePtr repeatInvoiceWithDate(const QDateTime &date, qint32 identifier) const;

    // --- The same with what the business holds ---

    // TWPayments::totals of the entries, receivable side, in the unit of the
    // invoice's project.
    TWPaymentTotals paymentTotals(const TWPaymentEntryList &entries, const TWUnitPtr &projectUnit,
                                  const TWUnitConverter &convert) const;

private:
    QDateTime m_date;
    QString m_number;
    QString m_name;
    bool m_sent = false;
    bool m_paid = false;
    QDateTime m_dueDate;
    qint32 m_repeatIdentifier = 0;
    QString m_notes;
    qint32 m_projectIdentifier = 0;
    qint32 m_identifier = 0;
    TWTaskList m_tasks;
    TWExpenseList m_expenses;
    TWTransactionList m_transactions;
    mutable TWDocumentReadings m_readings;
};
