#pragma once
// Rules every business keeps whatever a user does to it, and what an
// operation tells them about itself. A snapshot is taken before and after
// each operation; each rule answers every record that breaks it.

#include "foundation/TWError.h"
#include "store/TWBusiness.h"

#include <QDate>
#include <QHash>
#include <QMap>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <functional>
#include <utility>

// An invoice or a bill as the suite reads it from the tables with its own SQL.
struct TWOwnDocument {
    std::uint32_t link = 0; // the relationship type of its transactions (invoice or bill payment)
    qint32 identifier = 0;
    QString name;
    qint32 repeat = 0;
    qint64 day = 0;       // its packed day
    bool charged = false; // a bill, or an invoice of a project (an estimate books nothing)
    QString unit;         // the unit it is billed in (the project's; the home unit for bills)
    qint64 billed = 0;    // what its lines bill, in that unit (invoices)
    QList<std::pair<qint64, qint64>> lines; // each line's subtotal and tax, in line order
    // Each linked transaction's rows on receivable (payable) accounts: in the
    // document's unit (rows in another unit converted at the units' rates)
    // and in the home unit, debit-positive.
    struct Linked {
        qint32 transaction = 0;
        qint64 amount = 0;
        qint64 home = 0;
        bool sameUnit = true;  // every row was in the document's unit
        bool moneyRow = false; // the transaction also moves bank, cash or card money
        // A charge raises what is owed; anything else, and on an invoice
        // money received or given back whatever its sign, pays.
        bool charge = false;
        qint32 state = 0;
    };
    QList<Linked> linked;
};

// A document's key: its link type and identifier.
inline qint64 twDocumentKey(std::uint32_t link, qint32 identifier)
{
    return qint64(link) << 32 | quint32(identifier);
}

struct TWInvariantSnapshot {
    // Every transaction's day, unit, total, rows and payee, by identifier.
    QHash<qint32, QString> transactions;
    QHash<qint32, std::uint32_t> states;
    QHash<qint32, QDate> days;
    QHash<qint32, bool> nominal;
    // Its rows on bank, cash and card accounts with its day (absent: none).
    QHash<qint32, QString> money;
    // The payments of invoices and bills (every linked transaction but the
    // record's own entry, the one made first).
    QSet<qint32> payments;
    // Transactions a schedule of transactions made.
    QSet<qint32> transactionRepeatItems;
    QList<std::pair<QDate, QDate>> closed;
    // Every row of every table.
    QString tables;
    // The invoices and bills, by key, and each one's own entry (the
    // transaction its save or its schedule made) where it has one.
    QMap<qint64, TWOwnDocument> documents;
    QHash<qint64, qint32> entries;
    // Each transaction's rows of the books: its row, its splits and its
    // payment links, as stored; and its row's columns by name.
    QHash<qint32, QString> book;
    QHash<qint32, QHash<QString, QString>> columns;
    QHash<qint32, QHash<qint32, QString>> splitTotals; // transaction -> split account -> totals
    // Debit-positive sums of the stored rows of receivable and payable accounts, home unit.
    qint64 receivable = 0;
    qint64 payable = 0;
    QString periodNames; // every closed period's name and days, for refusals
    // Each closed period's first and last day and the texts that name it.
    struct Period {
        QDate start;
        QDate end;
        QStringList names;
    };
    QList<Period> periods;
    // The rows of the books with each transaction's state left out: what a
    // year's closing or reopening may not change.
    QHash<qint32, QString> stateless;
    // Each schedule's interval and its unit, by identifier.
    QHash<qint32, std::pair<qint32, qint32>> repeats;
    QDate activeStart; // the first day of the year under way

    bool isClosed(const QDate &day) const;
};

TWInvariantSnapshot twInvariantSnapshot(TWBusiness &business);
// Finds each document's entry: the one known before (`known`, from the
// generator or the snapshot before) while it stands; else, for a document
// that had none, the first of its transactions new since `before`; a
// document nobody knew (an occurrence a schedule made) takes its first.
void twResolveEntries(TWInvariantSnapshot &now, const TWInvariantSnapshot *before,
                      const QHash<qint64, qint32> &known, const QSet<qint64> &knownDocuments);
// Every table's rows in a stable order, one line each.
QString twTableDump(TWBusiness &business);
// Lines of `before` missing from `after` and new in `after`, the first few.
QString twDumpDifference(const QString &before, const QString &after);

// What an operation did, and what it declares of itself.
struct TWOperationOutcome {
    // The transactions it entered, edited, imported or deleted itself.
    QSet<qint32> touched;
    // It changes rows of a closed period: it must be refused and change nothing.
    bool targetsClosed = false;
    // It closes, shortens or reopens a year: the year-end transfers move and
    // the transactions' states follow the periods; nothing else may change.
    bool periods = false;
    // Days of what it works on besides its transactions' own (a task's
    // invoice): a refusal names a closed period holding one of them.
    QList<QDate> targetDays;
    TWErrorResult result;
    // What the operation found itself: a row read back as new, a table
    // changed by a save.
    QStringList faults;
    // It changes nothing a user can see: no row of any table may change.
    bool unchanged = false;
    // What the operation asked for, checked on what it did (empty: holds).
    std::function<QString(const TWInvariantSnapshot &before, const TWInvariantSnapshot &now)> asked;
};

struct TWInvariant {
    const char *name;
    // It holds of the business itself, whatever the operation did: one
    // broken alike before the operation is the business's own (the opening
    // reports it).
    bool ofTheBusiness;
    // Every record that breaks the rule, one an entry; none when it holds.
    std::function<QStringList(TWBusiness &after, const TWInvariantSnapshot &before,
                              const TWInvariantSnapshot &now, const TWOperationOutcome &outcome)>
        check;
};

const QList<TWInvariant> &twInvariants();
// What a rule found, as a message: the count and the first `shown` records.
QString twBrokenRecords(const QStringList &found, int shown = 20);
// Of the records a rule of the business finds broken now, those not broken
// alike before the operation: what the business broke already is its own.
QStringList twFreshRecords(const QStringList &found, const QStringList &was);
// The keys whose values differ between two settings dictionaries (nested
// dictionaries and lists by their paths), the first few with both values.
QStringList twSettingsDifference(const QVariantMap &before, const QVariantMap &after);
