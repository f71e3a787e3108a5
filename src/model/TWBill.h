#pragma once
// An amount the business owes a merchant. Like an invoice it stores no
// amounts: what was charged and paid is read from the ledger transactions
// linked to it on accounts payable, in the home unit.

#include "model/TWPaymentEntry.h"

#include <QDateTime>
#include <QList>
#include <QString>

#include <memory>

class TWBill;
using TWBillPtr = std::shared_ptr<TWBill>;
using TWBillList = QList<TWBillPtr>;

class TWBill
{
public:
    TWBill() = default;
    TWBill(QDateTime date, QString name, bool received, bool paid, QDateTime dueDate,
           qint32 repeatIdentifier, QString notes, qint32 merchantIdentifier, qint32 identifier);

    static TWBillPtr billWithDate(const QDateTime &date, const QString &name, bool received,
                                  bool paid, const QDateTime &dueDate, qint32 repeatIdentifier,
                                  const QString &notes, qint32 merchantIdentifier,
                                  qint32 identifier);

    // Every stored field; the copy has no transactions.
    TWBillPtr copy() const;

    const QDateTime &date() const { return m_date; }
    void setDate(const QDateTime &v) { m_date = v; }
    const QString &name() const { return m_name; }
    void setName(const QString &v) { m_name = v; }
    bool received() const { return m_received; }
    void setReceived(bool v) { m_received = v; }
    bool paid() const { return m_paid; }
    void setPaid(bool v) { m_paid = v; }
    // Invalid when there is none (then the bill is never overdue).
    const QDateTime &dueDate() const { return m_dueDate; }
    void setDueDate(const QDateTime &v) { m_dueDate = v; }
    // The bill schedule that makes this bill; 0 when none.
    qint32 repeatIdentifier() const { return m_repeatIdentifier; }
    void setRepeatIdentifier(qint32 v) { m_repeatIdentifier = v; }
    const QString &notes() const { return m_notes; }
    void setNotes(const QString &v) { m_notes = v; }
    qint32 merchantIdentifier() const { return m_merchantIdentifier; }
    void setMerchantIdentifier(qint32 v) { m_merchantIdentifier = v; }
    qint32 identifier() const { return m_identifier; }
    void setIdentifier(qint32 v) { m_identifier = v; }
    // The transactions that charge or pay the bill, each shown for the account
    // (and split) linked, in date order, as last filled in (updateTransactions).
    const TWTransactionList &transactions() const { return m_transactions; }
    void setTransactions(const TWTransactionList &v)
    {
        m_transactions = v;
        m_readings.dropMade();
    }
    // What an update's reading kept of the document with its transactions.
    TWDocumentReadings &readings() const { return m_readings; }

    bool isEqual(const TWBill &other) const { return m_identifier == other.m_identifier; }
    // By date, then identifier ascending: -1, 0 or 1.
    int compare(const TWBill &other) const;

    // --- Charges and payments, in the home unit, from the entries of `transactions` ---

    qint64 totalWithEntries(const TWPaymentEntryList &entries) const;
    qint64 oweWithEntries(const TWPaymentEntryList &entries) const;
    // The same, counting only the entries that are also among `given`.
    qint64 oweWithEntries(const TWPaymentEntryList &entries, const TWPaymentEntryList &given) const;
    // As for invoices.
    float percentPaidWithEntries(const TWPaymentEntryList &entries) const;
    bool overdueWithEntries(const TWPaymentEntryList &entries) const;

    // The next bill of this bill's schedule: `identifier`, `date`, this bill's
    // name, schedule, notes and merchant; not received, not paid, no due date.
    // Null when the identifier is 0 or the date is missing.
    TWBillPtr repeatBillWithDate(const QDateTime &date, qint32 identifier) const;

    // --- The same with what the business holds ---

private:
    QDateTime m_date;
    QString m_name;
    bool m_received = false;
    bool m_paid = false;
    QDateTime m_dueDate;
    qint32 m_repeatIdentifier = 0;
    QString m_notes;
    qint32 m_merchantIdentifier = 0;
    qint32 m_identifier = 0;
    TWTransactionList m_transactions;
    mutable TWDocumentReadings m_readings;
};
