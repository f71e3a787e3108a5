#pragma once
// How the transactions linked to an invoice or a bill read as charges and
// payments. The business describes each linked transaction as a payment entry
// (its account types looked up, its amounts and units copied); the invoice and
// bill arithmetic works on those entries alone.

#include "model/TWTotalType.h"
#include "model/TWUnit.h"

#include <QDateTime>
#include <QList>
#include <QMultiHash>

#include <array>
#include <cstdint>
#include <memory>
#include <utility>

class TWTransaction;
using TWTransactionPtr = std::shared_ptr<TWTransaction>;
using TWTransactionList = QList<TWTransactionPtr>;

// One split line of a linked transaction.
struct TWPaymentSplit {
    qint32 identifier = 0;
    // The type of the line's account (TWAccountType); 0 when the account is missing.
    int accountType = 0;
    qint64 total = 0;         // in `unit`
    qint64 totalBusiness = 0; // in the home unit
    TWUnitPtr unit;
};

// One linked transaction as shown for one account (and possibly one split).
struct TWPaymentEntry {
    qint32 identifier = 0;
    qint32 activeAccountIdentifier = 0;
    qint32 activeSplitIdentifier = 0;
    std::uint32_t state = 0; // 1 closed, 2 locked
    qint32 repeatIdentifier = 0;
    // A split transaction counts its splits and not its own accounts.
    bool hasSplit = false;
    QList<TWPaymentSplit> splits;
    int account1Type = 0; // 0 when the account is missing
    int account2Type = 0;
    qint64 total = 0;         // in `unit`
    qint64 totalBusiness = 0; // in the home unit
    TWUnitPtr unit;
    // The record's own entry, as the business keeps it: its lines count as
    // charges whatever their sign (a credit note charges less than nothing).
    // Every other entry of an invoice that books against a bank, cash, card
    // or other current-asset account is money: it pays when it lowers what
    // is owed, and, raising it, is money given back (a negative payment)
    // only as a bounce of an earlier payment of that amount or a refund of
    // what was paid beyond the total; any other raise through money (money
    // paid out for the client and billed on) charges. Every other entry
    // charges when it books the way the record's entry does (a late fee
    // linked to an invoice) and pays when it books the other way (a
    // write-off, a discount, a refund of a credit).
    bool charge = false;

    // The transactions' equality: the same identifier and, where both sides
    // name an active account (or split), the same one.
    bool isEqual(const TWPaymentEntry &other) const;
};

using TWPaymentEntryList = QList<TWPaymentEntry>;

// What an update's reading of a document kept on it (the store's TWDocumentReadScope numbers
// each update's reading; 0 is none): the reading that read its transactions, and the entries
// and the home amount owed made of its transactions in a reading. A reading made from the store
// also keeps the store's revision and transaction stamp it was made (or last found standing)
// at, so a later update with nothing written since but other transactions takes it as read. New
// transactions drop what was made of the old ones, and a copy of a document starts with what was
// made but never takes it as read again: a copy may be changed without the store knowing.
struct TWDocumentReadings {
    quint64 transactionsReadIn = 0;
    quint64 readAtRevision = 0;
    quint64 readAtStamp = 0;
    // Which reading from the store (never two alike; 0: none): what was made of one reading
    // is told from what was made of another.
    quint64 readSerial = 0;
    std::array<quint64, 2> entriesMadeIn{};
    std::array<quint64, 2> entriesMadeAt{};
    std::array<TWPaymentEntryList, 2> entries;
    quint64 homeOweMadeIn = 0;
    quint64 homeOweMadeAt = 0;
    qint64 homeOwe = 0;

    TWDocumentReadings() = default;
    TWDocumentReadings(const TWDocumentReadings &other)
        : transactionsReadIn(other.transactionsReadIn), entriesMadeIn(other.entriesMadeIn),
          entries(other.entries), homeOweMadeIn(other.homeOweMadeIn), homeOwe(other.homeOwe)
    {
    }
    TWDocumentReadings &operator=(const TWDocumentReadings &other)
    {
        if (this != &other) {
            TWDocumentReadings copied(other);
            *this = std::move(copied);
        }
        return *this;
    }
    TWDocumentReadings(TWDocumentReadings &&) = default;
    TWDocumentReadings &operator=(TWDocumentReadings &&) = default;

    void dropMade()
    {
        readAtRevision = 0;
        readAtStamp = 0;
        readSerial = 0;
        entriesMadeIn = {};
        entriesMadeAt = {};
        homeOweMadeIn = 0;
        homeOweMadeAt = 0;
    }
};

// Which side of the ledger a record is charged on: an invoice on accounts
// receivable, in the project's unit; a bill on accounts payable, in the home unit.
enum class TWPaymentSide { Receivable, Payable };

// The charges, payments and owing amount of one record.
struct TWPaymentTotals {
    qint64 charges = 0;  // in the record's unit
    qint64 payments = 0; // in the record's unit
    qint64 owe = 0;      // charges less payments, in the record's unit
    qint64 homeOwe = 0;  // the same from the home amounts, unconverted
    float percentPaid = 1.0f;
};

namespace TWPayments
{

// Reads the entries (in date order) for `side`. The entry marked as the
// record's charge charges; the others charge or pay as its direction says
// (see TWPaymentEntry::charge); without a marked charge (or one of nothing),
// an amount that raises what is owed is a charge and one that lowers it a
// payment. On the receivable side, an entry other than the marked charge
// that books against money pays when it lowers what is owed; raising it, it
// is a negative payment only as a bounce or a refund of an overpayment, and
// otherwise a charge (see TWPaymentEntry::charge); on a credit it pays
// back. Money paid before anything was charged counts toward what is
// charged next. Receivable amounts are the
// lines' own totals, converted into `recordUnit` one by one; payable amounts
// are the home totals as they stand (`recordUnit` and `convert` unused).
TWPaymentTotals totals(const TWPaymentEntryList &entries, TWPaymentSide side,
                       const TWUnitPtr &recordUnit, const TWUnitConverter &convert);

// What each entry charges as `totals` counts it (0 for a payment), in the
// order given and the same units.
QList<qint64> charges(const TWPaymentEntryList &entries, TWPaymentSide side,
                      const TWUnitPtr &recordUnit, const TWUnitConverter &convert);

// The entries of `own` that equal one of `given`, in the order of `own`.
TWPaymentEntryList entriesAmong(const TWPaymentEntryList &own, const TWPaymentEntryList &given);
// `given` by identifier (pointing into it, which must outlive it), made once for the
// entries of many records to be looked up among.
using EntriesByIdentifier = QMultiHash<qint32, const TWPaymentEntry *>;
EntriesByIdentifier entriesByIdentifier(const TWPaymentEntryList &given);
TWPaymentEntryList entriesAmong(const TWPaymentEntryList &own, const EntriesByIdentifier &given);

// A record with `dueDate` (invalid: none) and `owe` owing is overdue when at
// least one minor unit is owed and the due date lies before the end of today
// (TWClock), so a record due today is already overdue.
bool isOverdue(const QDateTime &dueDate, qint64 owe);

// Sets each given flag: some entry has a repeat; some is closed or locked;
// some is neither. All false for no entries.
void validateEdit(const TWPaymentEntryList &entries, bool *containsRepeat,
                  bool *containsClosedLocked, bool *containsNormal);

} // namespace TWPayments
