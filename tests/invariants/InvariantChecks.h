#pragma once
// Rules every business keeps whatever a user does to it, and what an
// operation tells them about itself. A snapshot is taken before and after
// each operation; each rule answers the first record that breaks it.

#include "foundation/TWError.h"
#include "store/TWBusiness.h"

#include <QDate>
#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>

#include <functional>
#include <utility>

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

    bool isClosed(const QDate &day) const;
};

TWInvariantSnapshot twInvariantSnapshot(TWBusiness &business);
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
    // It closes, shortens or reopens a year: the year-end transfers move.
    bool periods = false;
    TWErrorResult result;
    // What the operation found itself: a row read back as new, a table
    // changed by a save.
    QStringList faults;
};

struct TWInvariant {
    const char *name;
    // The first record that breaks the rule; empty when it holds.
    std::function<QString(TWBusiness &after, const TWInvariantSnapshot &before,
                          const TWInvariantSnapshot &now, const TWOperationOutcome &outcome)>
        check;
};

const QList<TWInvariant> &twInvariants();
