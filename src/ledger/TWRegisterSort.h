#pragma once
// The register's row order: one sort key per row, computed once per sort from
// the chosen field, then a stable sort with the identifier as tie-break in the
// same direction. Every key is a strict weak ordering: a missing value always
// sorts before a present one, whichever side it is on.

#include "model/TWTransaction.h"

#include <QSet>
#include <QString>

#include <vector>

class TWBusiness;

// The debit and credit amounts of a row as its active account sees them, in
// that account's unit; both are 0 or positive.
struct TWRegisterDebitCredit {
    qint64 debit = 0;
    qint64 credit = 0;
};
TWRegisterDebitCredit twRegisterDebitCredit(const TWTransaction &transaction);

// The account the cell of column -7 (`first` true) or -8 shows: the active
// account and the other one.
qint32 twRegisterShownAccount(const TWTransaction &transaction, bool first);

class TWRegisterSorter
{
public:
    // `ticks` are the import preview's ticked rows (field -1).
    TWRegisterSorter(TWBusiness &business, qint32 fieldIdentifier, bool ascending,
                     const QSet<const TWTransaction *> &ticks = {});

    // Sorts the rows in place (stable).
    void sort(TWTransactionList &rows);
    // -1, 0 or 1 for two rows as the sort orders them (direction applied);
    // for tests and callers that insert into a sorted list.
    int compare(const TWTransaction &a, const TWTransaction &b);

private:
    struct Key {
        int rank = 0; // 0 missing, then higher ranks after lower
        qint64 number = 0;
        double real = 0;
        QString text;
        bool hasText = false;
        bool hasReal = false;
    };
    Key keyFor(const TWTransaction &transaction);
    static int compareKeys(const Key &a, const Key &b);
    int rankOfRepeat(qint32 repeatIdentifier);

    TWBusiness &m_business;
    qint32 m_field;
    bool m_ascending;
    QSet<const TWTransaction *> m_ticks;
    TWFieldPtr m_fieldRecord;
    QString m_splitText;
    // Repeat identifier -> its position among the repeats by length (equal
    // lengths share one).
    QHash<qint32, int> m_repeatRanks;
    bool m_repeatRanksBuilt = false;
};
